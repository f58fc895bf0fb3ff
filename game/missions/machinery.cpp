// Sliding machinery and panel doors.
#include "game/missions/machinery.h"

#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/missions/levelobjects.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"

namespace {

bool IsGeneric(int32_t type) {
    switch (type) {
    case 152: case 188: case 220: case 233: case 275: case 297: case 299: case 300: case 303:
        return true;
    default: return false;
    }
}

bool SwitchSounds(int32_t type) {
    return type == 184 || type == 364 || type == 412;
}

void Move(MV2Object* object, const TvV3d& axis, float amount) {
    TvV3d& p = MV2ObjectPosition(object);
    p = TvV3dAdd(p, TvV3dScale(axis, amount));
}

void SnapHome(MV2Object* object, MV2SlidingMachineData* d) {
    MV2ObjectPosition(object) = d->home;
}

// Type 364 keeps the player's sub out of its part.
void Repel(MV2Object* object, MV2SlidingMachineData* d) {
    MV2Object* sub = MV2GetPlayerSub();
    if (!d->part || !sub) return;
    TvFrame* frame = d->part->object.frame;
    if (!frame) return;
    TvV3d v = TvV3dSub(MV2ObjectPosition(sub), TvFrameGetLTM(frame)->pos);
    if (TvV3dDot(v, v) >= 0.64f) return;
    const float length = MV2Normalise(&v);
    if (length <= 0.0f) return; // no direction to push along
    const TvV3d force = TvV3dScale(v, 0.8f - length);
    MV2AddForce(sub, &force);
    (void)object;
}

void MachineUpdate(MV2Object* object, MV2SlidingMachineData* d) {
    const int32_t type = MV2TypeOf(object);
    const TvMatrix* m = object->matrix;
    const TvV3d offset = TvV3dSub(MV2ObjectPosition(object), d->home);
    const float D = TvV3dDot(offset, offset);
    const float step = MV2FrameStep();
    if (IsGeneric(type) || type == 131) {
        const float range = type == 131 ? 140.0f : d->range;
        const float speed = type == 131 ? 0.2f : d->speed;
        const bool home = type == 131 ? D <= 0.9f : TvV3dDot(m->up, offset) >= 0.0f;
        if (d->on ? D >= range : home) {
            if (!d->on) SnapHome(object, d);
            MV2StopNamedSound(object, "DRAGSTONE", &d->sound);
        } else {
            Move(object, m->up, (d->on ? -speed : speed) * step);
            MV2LoopNamedSound(object, "DRAGSTONE", &d->sound);
        }
    } else if (type == 184 || type == 412) {
        const TvV3d axis = type == 184 ? m->up : m->right;
        const float limit = type == 184 ? 25.0f : 10.0f;
        const float near = type == 184 ? 0.25f : 0.04f;
        const float speed = type == 184 ? 0.2f : 0.1f;
        if (d->on) {
            if (D < limit) Move(object, axis, speed * step);
        } else if (D <= near) {
            SnapHome(object, d);
        } else {
            Move(object, axis, -speed * step);
        }
    } else if (type == 323) {
        // Home is tested against the up axis although the block travels along at.
        if (d->on ? D >= 38.0f : TvV3dDot(m->up, offset) >= 0.0f) {
            if (!d->on) SnapHome(object, d);
            MV2StopNamedSound(object, "DRAGSTONE", &d->sound);
        } else {
            Move(object, m->at, (d->on ? 0.02f : -0.02f) * step);
            MV2LoopNamedSound(object, "DRAGSTONE", &d->sound);
        }
    } else if (type == 364) {
        Repel(object, d);
        MV2StopNamedSound(object, "DRAGSTONE", &d->sound);
    }
    MV2ObjectMoved(object);
}

void DoorUpdate(MV2Object* object, MV2PanelDoorData* d) {
    const float step = MV2FrameStep();
    d->openTimer -= MV2FrameSeconds();
    bool moved = false;
    if (d->holdOpen || d->openTimer > 0.0f) {
        if (d->opening < d->maximum) {
            d->opening += 0.04f * step;
            if (d->opening > d->maximum) d->opening = d->maximum;
            moved = true;
        }
    } else if (d->opening > 0.0f) {
        d->opening -= 0.04f * step;
        if (d->opening < 0.0f) d->opening = 0.0f;
        moved = true;
    }
    if (moved) {
        TvMatrix* m = object->matrix;
        m->pos = TvV3dSub(d->home, TvV3dScale(m->right, d->opening));
        TvMatrix* panel = TvFrameGetMatrix(d->panel);
        panel->pos = TvV3dAdd(d->panelHome, TvV3dScale(panel->right, 2.0f * d->opening));
        TvFrameUpdateObjects(d->panel);
        MV2ObjectMoved(object);
    }
    // The deployed magnet keeps the controlled craft on one side of the door's plane.
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft) return;
    intptr_t deployed = 0;
    if (!MV2SendToolCommand(craft, 0, 37, 0, &deployed) || !deployed) return;
    const TvMatrix* m = object->matrix;
    const TvV3d v = TvV3dSub(MV2ObjectPosition(craft), m->pos);
    if (TvV3dDot(v, v) >= 4.0f) return;
    const float s = TvV3dDot(m->at, v);
    const bool back = MV2TypeOf(object) == 86 ? s > 0.0f : s < 0.0f;
    if (back) {
        MV2ObjectPosition(craft) = TvV3dSub(MV2ObjectPosition(craft), TvV3dScale(m->at, s));
        MV2ObjectMoved(craft);
    }
}

} // namespace

intptr_t MV2SlidingMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message < 2 || message > 96) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SlidingMachineData));
    auto* d = MV2LevelData<MV2SlidingMachineData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const int32_t type = MV2TypeOf(object);
    switch (message) {
    case 2: MachineUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2SlidingMachineData{};
        d->home = MV2ObjectPosition(object);
        d->range = type == 233 ? 30.0f : 80.0f;
        d->speed = type == 220 ? 0.03f : type == 188 ? 0.01f : 0.02f;
        if (type == 364 && object->clump) d->part = MV2FindAtomicByTag(object->clump, 2);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 4: MV2StopNamedSound(object, "DRAGSTONE", &d->sound); break;
    case 12: {
        const uint32_t on = p1 != 0;
        if (p2) d->range = *reinterpret_cast<const float*>(p2);
        if (on != d->on && SwitchSounds(type))
            MV2PlayObjectSound(object, 30.0f, on ? "SDOOROPEN" : "SDOORCLOSE", 1000);
        d->on = on;
        break;
    }
    case 14:
        if (MV2PushSpiderAway(object, reinterpret_cast<MV2Object*>(p2))) return 1;
        break;
    case 65:
        if (type == 364 && d->part && d->part->object.frame && p1) {
            const TvV3d v = TvV3dSub(*reinterpret_cast<const TvV3d*>(p1),
                                     TvFrameGetLTM(d->part->object.frame)->pos);
            if (TvV3dDot(v, v) < 0.25f)
                TpAtomicSetFlags(d->part, uint8_t(d->part->object.object.flags & ~5u));
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2PanelDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message < 2 || message > 96) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PanelDoorData));
    auto* d = MV2LevelData<MV2PanelDoorData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: DoorUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2PanelDoorData{};
        d->panel = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        if (!d->panel) return 0;
        d->home = MV2ObjectPosition(object);
        d->panelHome = TvFrameGetMatrix(d->panel)->pos;
        d->maximum = MV2TypeOf(object) == 127 ? 3.5f : 1.5f;
        object->aiCategory = 8;
        TvFrameUpdateObjects(d->panel);
        MV2ObjectMoved(object);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12:
        d->link = p2 ? *reinterpret_cast<const intptr_t*>(p2) : 0;
        return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->link;
        return 1;
    case 24: d->holdOpen = uint32_t(p1 != 0); break;
    case 33:
        if (p1) {
            if (d->openTimer < 0.0f) MV2PlayObjectSound(object, 20.0f, "LDOOROPEN", 0);
            d->openTimer = 1.0f;
        } else {
            if (d->openTimer > 0.0f) MV2PlayObjectSound(object, 20.0f, "LDOORCLOSE", 0);
            d->openTimer = 0.0f;
        }
        return 1;
    case 62: d->openTimer = 60.0f; return 1;
    case 63:
        d->openTimer = 60.0f;
        d->opening = d->maximum - 0.001f;
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterMachineryHandlers() {
    for (int32_t type : {131, 152, 184, 188, 220, 233, 275, 297, 299, 300, 303, 323, 364, 412})
        MV2SetObjectTypeHandler(type, MV2SlidingMachineHandler);
    for (int32_t type : {46, 47, 48, 49, 86, 127})
        MV2SetObjectTypeHandler(type, MV2PanelDoorHandler);
}
