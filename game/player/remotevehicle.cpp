// The remote vehicle tool and the vehicle's handler.
#include "game/player/remotevehicle.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/camera.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/submarines.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/commands.h"
#include "game/player/playercraft.h"
#include "game/player/shots.h"
#include "game/player/tools.h"
#include "shell/gamemain.h"

namespace {

TvFreeList* g_refs = nullptr;
int32_t g_recallKey = 0;

const TvV3d kDrive{0.0f, 50.0f, 0.0f};

MV2Object* Vehicle(MV2Tool* tool) {
    auto* ref = tool ? reinterpret_cast<MV2RovRef*>(tool->word) : nullptr;
    return ref ? MV2GetObjectRef(&ref->vehicle) : nullptr;
}

MV2SubData* Sub(MV2Object* o) {
    return static_cast<MV2SubData*>(o->privateData);
}

bool Expired(const MV2RovDock* d) {
    return int32_t(MV2ShotClock() - d->waitUntil) >= 0;
}

TvV3d CameraPosition() {
    if (gMV2MainCamera && gMV2MainCamera->object.frame) return TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    MV2Object* p = MV2GetPlayerObject();
    return p && p->matrix ? p->matrix->pos : TvV3d{};
}

TvV3d EntryPoint(const MV2RovDock* d) {
    const TvMatrix* m = TvFrameGetLTM(d->dock);
    return TvV3dSub(m->pos, m->up);
}

void SetWorldMatrix(MV2Object* vehicle, const TvMatrix* m) {
    if (!vehicle->matrix) return;
    *vehicle->matrix = *m;
    MV2ShotSyncFrame(vehicle);
}

void Launch(MV2Object* vehicle, MV2RovDock* d) {
    const uint32_t now = MV2ShotClock();
    if ((gMV2Level.currentLevelId >> 24) != 4) {
        d->waitUntil = now + 500;
        const TvV3d at = CameraPosition();
        MV2ShotPlayAt(at, 5.0f, "MAPNOTAVAILABLE", 0);
        return;
    }
    if (!d->launched) {
        MV2TakeControlOfCraft(vehicle);
        MV2SetCameraMode(0);
        d->launched = 1;
        d->waitUntil = now + 2000;
        if (vehicle->clump) MV2SetAllAtomicFlags(vehicle->clump, kTpAtomicCollisionTest | kTpAtomicRender);
        if (d->dock && vehicle->matrix) {
            const TvV3d pos = vehicle->matrix->pos;
            *vehicle->matrix = *TvFrameGetLTM(d->dock);
            vehicle->matrix->pos = pos;
            MV2ShotSyncFrame(vehicle);
        }
        if (vehicle->matrix) {
            const TvV3d push = TvV3dScale(vehicle->matrix->up, -0.5f);
            MV2AddForce(vehicle, &push);
        }
        Sub(vehicle)->rightingOffset = kDrive;
    } else if (!d->returning) {
        d->waitUntil = now + 2000;
        MV2TakeControlOfCraft(vehicle);
    } else {
        return;
    }
    MV2ObjectSendMessage(vehicle, 11, 1, 0);
    g_recallKey = 0;
}

void Recall(MV2Object* vehicle, MV2RovDock* d) {
    MV2SubData* s = Sub(vehicle);
    s->rightingOffset = kDrive;
    const bool controlled = vehicle == MV2GetPlayerObject();
    if (!Expired(d) || !(d->recallRequest || (controlled && g_recallKey)) || !d->dock || !vehicle->matrix)
        return;
    d->recallRequest = 0;
    g_recallKey = 0;
    MV2Object* sub = MV2GetPlayerSub();
    if (MV2ShotDistanceSquared(vehicle->matrix->pos, EntryPoint(d)) < 6.25f) {
        if (MV2GetCameraMode() == 1) MV2ShotPlayAt(CameraPosition(), 1.0f, "DOCKINGAMBIENT", 0);
        d->returning = 1;
        if (sub) {
            d->waitUntil = MV2ShotClock() + 2000;
            MV2TakeControlOfCraft(sub);
            MV2SetCameraMode(0);
        }
        s->rightingOffset = {};
    } else if (sub && sub != MV2GetPlayerObject()) {
        d->waitUntil = MV2ShotClock() + 2000;
        MV2TakeControlOfCraft(sub);
    }
}

void Return(MV2Object* vehicle, MV2RovDock* d) {
    if (!d->dock || !vehicle->matrix) return;
    const TvMatrix* dock = TvFrameGetLTM(d->dock);
    TvMatrix* m = vehicle->matrix;
    m->pos = TvV3dAdd(m->pos, TvV3dScale(TvV3dSub(dock->pos, m->pos), 0.1f));
    if (MV2ShotDistanceSquared(m->pos, dock->pos) < 0.04f) {
        MV2SetCameraMode(1);
        d->launched = d->returning = 0;
        MV2ObjectSendMessage(vehicle, 11, 0, 0);
        SetWorldMatrix(vehicle, dock);
        return;
    }
    // A tenth of the way towards the dock's orientation, kept orthonormal.
    m->at = MV2ShotUnit(TvV3dAdd(m->at, TvV3dScale(TvV3dSub(dock->at, m->at), 0.1f)));
    m->up = MV2ShotUnit(TvV3dAdd(m->up, TvV3dScale(TvV3dSub(dock->up, m->up), 0.1f)));
    m->right = MV2ShotUnit(TvV3dCross(m->up, m->at));
    m->up = TvV3dCross(m->at, m->right);
    MV2ShotSyncFrame(vehicle);
}

intptr_t Touch(MV2Object* vehicle, MV2RovDock* d, int32_t message, intptr_t p1, intptr_t p2) {
    MV2Object* other = reinterpret_cast<MV2Object*>(p2);
    if (message == 14 && other && other->type && (other->type->words[7] & kMV2TypeCollisionTree)) return 1;
    if (message == 14 && other && other == MV2GetObjectRef(&d->carrier) && (!Expired(d) || d->returning))
        return 0;
    Sub(vehicle)->rightingOffset = kDrive;
    d->returning = 0;
    d->contact = 1;
    if (!d->launched) return 0;
    return MV2SubmarineHandler(vehicle, message, p1, p2);
}

} // namespace

void MV2SetRovRecallKey(int32_t on) {
    g_recallKey = on;
}

int32_t MV2GetRovRecallKey() {
    return g_recallKey;
}

MV2RovDock* MV2GetRovDock(MV2Object* vehicle) {
    if (!vehicle || !vehicle->type || vehicle->typeHandler != MV2RovHandler ||
        vehicle->type->privateDataSize < sizeof(MV2SubData) + sizeof(MV2RovDock) || !vehicle->privateData)
        return nullptr;
    return reinterpret_cast<MV2RovDock*>(static_cast<MV2SubData*>(vehicle->privateData) + 1);
}

intptr_t MV2RovHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        const intptr_t r = MV2SubmarineHandler(object, 96, p1, p2);
        if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(sizeof(MV2RovDock));
        return r;
    }
    if (message == 3) {
        if (!MV2SubmarineHandler(object, 3, p1, p2)) return 0;
        MV2RovDock* d = MV2GetRovDock(object);
        if (!d) return 0;
        *d = MV2RovDock{};
        MV2ObjectSendMessage(object, 0, 1, 0);
        MV2ObjectSendMessage(object, 11, 0, 0);
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2ShotSyncFrame(object);
        return 1;
    }
    MV2RovDock* d = MV2GetRovDock(object);
    if (!d) return MV2SubmarineHandler(object, message, p1, p2);
    auto out = [p2](intptr_t v) {
        if (p2) *reinterpret_cast<intptr_t*>(p2) = v;
    };
    switch (message) {
    case 2: {
        if (object->energy <= 0.0f) MV2StartGameOver(1000);
        MV2Object* carrier = MV2GetObjectRef(&d->carrier);
        if (!d->launched) {
            if (carrier && d->dock) SetWorldMatrix(object, TvFrameGetLTM(d->dock));
            const intptr_t r = MV2SubmarineHandler(object, message, p1, p2);
            if (carrier) {
                const MV2SubDefinition* def = MV2GetSubDefinition(object);
                if (def) MV2StopObjectSound(object, def->soundId, &Sub(object)->soundSlot);
            }
            return r;
        }
        if (d->returning) Return(object, d);
        else Recall(object, d);
        break;
    }
    case 12: d->launched = p1 == 0; return 1;
    case 13: out(p1 == 0 ? (d->launched ? 0 : 1) : d->returning); return 1;
    case 14:
    case 19: return Touch(object, d, message, p1, p2);
    case 53:
        // The use key while the vehicle is steered asks for the recall.
        if (object == MV2GetPlayerObject()) g_recallKey = 1;
        return 1;
    case 63: d->recallRequest = 1; return 1;
    case 68: {
        MV2Object* sub = MV2GetPlayerSub();
        int32_t near = 0;
        if (d->dock && object->matrix && sub && sub->matrix && !d->contact &&
            MV2ShotDistanceSquared(object->matrix->pos, EntryPoint(d)) < 6.25f) {
            const TvV3d from = object->matrix->pos;
            near = MV2HasLineOfSight(TpWorldGetCurrent(), &from, &sub->matrix->pos, object, sub) ? 1 : 0;
        }
        out(near);
        d->contact = 0;
        return 1;
    }
    case 75:
        if (!d->launched) return 0;
        break;
    default: break;
    }
    return MV2SubmarineHandler(object, message, p1, p2);
}

int32_t MV2RovToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2Object* vehicle = Vehicle(tool);
    MV2RovDock* d = MV2GetRovDock(vehicle);
    switch (command) {
    case 3: {
        auto* ref = static_cast<MV2RovRef*>(
            MV2ShotGunDataAlloc(&g_refs, sizeof(MV2RovRef), "Could not create free list for rov tool", nullptr));
        if (!ref || !tool) return 0;
        *ref = MV2RovRef{};
        tool->word = reinterpret_cast<uintptr_t>(ref);
        auto* carrier = reinterpret_cast<MV2Object*>(p2);
        const float origin[3] = {0.0f, 0.0f, 0.0f};
        MV2Object* made = MV2CreateObject(kMV2RovType, origin, nullptr);
        MV2RovDock* dock = MV2GetRovDock(made);
        if (!dock) {
            if (made) MV2ObjectSendMessage(made, 4, 0, 0);
            return 0;
        }
        MV2SetObjectRef(&ref->vehicle, made);
        MV2SetObjectRef(&ref->carrier, carrier);
        dock->contact = 0;
        MV2SetObjectRef(&dock->carrier, carrier);
        dock->waitUntil = MV2ShotClock();
        dock->dock = carrier && carrier->clump ? MV2FindFrameByTag(carrier->clump, kMV2RovDockTag) : nullptr;
        return dock->dock ? 1 : 0;
    }
    case 4:
        if (vehicle) MV2ObjectSendMessage(vehicle, 4, 0, 0);
        if (tool && tool->word) TvFreeListFree(g_refs, reinterpret_cast<void*>(tool->word));
        if (tool) tool->word = 0;
        return 1;
    case 2:
        if (tool && !vehicle) {
            auto* ref = reinterpret_cast<MV2RovRef*>(tool->word);
            MV2Object* carrier = ref ? MV2GetObjectRef(&ref->carrier) : nullptr;
            if (carrier && carrier->type && carrier->type->privateDataSize >= sizeof(MV2SubData)) {
                MV2ToolList* list = &Sub(carrier)->tools;
                MV2SelectNextTool(list);
                MV2RemoveTool(list, 6);
            }
        }
        return 1;
    case 13:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = vehicle;
        return 1;
    case 34:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = d && d->launched ? vehicle : nullptr;
        return 1;
    case 53:
        if (vehicle && d && Expired(d)) {
            Launch(vehicle, d);
            if (d->launched && tool) tool->charges = -1;
        }
        return 1;
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) {
            uint32_t colour = kMV2HudColour & 0xFFFFFFu;
            if (d && d->launched) colour = 0xFFFF00u;
            else if ((gMV2Level.currentLevelId >> 24) != 4) colour = 0xFF0000u;
            *icon = {50, colour};
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}
