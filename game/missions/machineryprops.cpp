// Turning props, the pressure plate, the pusher and the hidden-object handler.
#include "game/missions/machineryprops.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

const TvV3d kUp{0.0f, 1.0f, 0.0f};
const TvV3d kRight{1.0f, 0.0f, 0.0f};

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) > 0;
}

bool Running(const MV2TurningPropData* d) {
    return d->forEver || !Passed(d->until);
}

void Start(MV2TurningPropData* d, intptr_t p1) {
    d->forEver = p1 && d->duration == kMV2TurnForEver;
    // A stop lands just behind the clock, so the next update sees it at any game time.
    d->until = p1 ? MV2GameClock() + d->duration : MV2GameClock() - 1u;
}

// Types 50 and 398-401 turn about their up axis while started.
void TurnAboutUp(MV2Object* prop, MV2TurningPropData* d) {
    if (Running(d)) {
        d->running = 1;
        MV2RotateMatrixInPlace(prop->matrix, &kUp, MV2FrameStep() * 5.0f, 2);
        MV2ObjectMoved(prop);
        MV2LoopNamedSound(prop, "COG2", &d->sound);
    } else if (d->running) {
        d->running = 0;
        MV2StopNamedSound(prop, "COG2", &d->sound);
        MV2RunCallback(d->notify, prop, 1);
        MV2PlayObjectSound(prop, 1.0f, "MGHATTACH", 1000);
    }
}

// Type 143 turns about its right axis unless a hit holds it.
void TurnAboutRight(MV2Object* prop, MV2TurningPropData* d) {
    if (!d->forEver && int32_t(MV2GameClock() - d->until) >= 0) {
        d->running = 1;
        MV2RunCallback(d->notify, prop, 0);
        d->angle = std::fmod(d->angle - MV2FrameStep() * d->speed, 360.0f);
        if (d->angle < 0.0f) d->angle += 360.0f;
        if (d->angle >= 360.0f) d->angle = 0.0f;
    } else {
        d->running = 0;
    }
    TvMatrix* m = prop->matrix;
    const TvV3d position = m->pos;
    TvMatrixRotate(m, &kRight, d->angle, 0);
    m->pos = position;
    MV2ObjectMoved(prop);
}

void Hit(MV2Object* prop, MV2TurningPropData* d) {
    d->forEver = d->duration == kMV2TurnForEver;
    d->until = MV2GameClock() + d->duration;
    MV2RunCallback(d->notify, prop, 1);
    d->angle = 90.0f * std::floor(d->angle / 90.0f + 0.5f);
}

bool FromPlayer(intptr_t p2) {
    MV2Object* player = MV2GetPlayerObject();
    return player && reinterpret_cast<MV2Object*>(p2) == player;
}

} // namespace

intptr_t MV2TurningPropHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2TurningPropData));
    auto* d = MV2LevelData<MV2TurningPropData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const bool rolling = MV2TypeOf(object) == 143;
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2TurningPropData{};
        d->speed = 5.0f;
        object->energy = 100000.0f;
        if (MV2TypeOf(object) == 50) d->running = 1;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 2:
        if (rolling)
            TurnAboutRight(object, d);
        else
            TurnAboutUp(object, d);
        break;
    case 4: MV2StopNamedSound(object, "COG2", &d->sound); break;
    case 11:
        if (!rolling) {
            Start(d, p1);
            return 1;
        }
        if (!p2) return 0;
        d->speed = *reinterpret_cast<const float*>(p2);
        return 1;
    case 12: d->notify = MV2CallbackOf(p2); return 1;
    case 14:
    case 19:
    case 65:
        if (!rolling) break;
        if (!p2) return 0;
        // Messages 14 and 19 name the other object; message 65 carries only an amount.
        if (message != 65 && MV2TypeOf(reinterpret_cast<MV2Object*>(p2)) == 143) break;
        Hit(object, d);
        break;
    case 24: d->duration = uint32_t(p1); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2PressurePlateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PressurePlateData));
    auto* d = MV2LevelData<MV2PressurePlateData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2PressurePlateData{};
        d->restHeight = MV2ObjectPosition(object).y;
        return 1;
    case 2:
        MV2ObjectPosition(object).y = Passed(d->until) ? d->restHeight : d->restHeight - 0.05f;
        MV2ObjectMoved(object);
        break;
    case 12: d->notify = MV2CallbackOf(p2); return 1;
    case 19:
        if (FromPlayer(p2) && Passed(d->until)) {
            d->until = MV2GameClock() + 5000;
            MV2RunCallback(d->notify, object, 1);
            MV2PlayObjectSound(object, 1.0f, "MGHATTACH", 1000);
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2PusherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PusherData));
    auto* d = MV2LevelData<MV2PusherData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2PusherData{};
        d->goingOut = 1;
        d->base = MV2ObjectPosition(object);
        d->speed = 0.2f;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 2:
        if (d->active) {
            MV2LoopNamedSound(object, "DRAGSTONE", &d->sound);
            const float step = MV2FrameStep() * d->speed;
            if (d->goingOut) {
                d->offset += step;
                if (d->offset >= d->amplitude) d->goingOut = 0;
            } else {
                d->offset -= step;
                if (d->offset < 0.0f) d->goingOut = 1;
            }
            MV2ObjectPosition(object) =
                TvV3dAdd(d->base, TvV3dScale(object->matrix->right, d->offset));
            MV2ObjectMoved(object);
        }
        break;
    case 4: MV2StopNamedSound(object, "DRAGSTONE", &d->sound); break;
    case 11: d->active = 1; return 1;
    case 19:
        if (FromPlayer(p2)) reinterpret_cast<MV2Object*>(p2)->energy -= MV2FrameStep();
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

int32_t MV2SetPusherAmplitude(MV2Object* pusher, float amplitude) {
    if (!pusher || (MV2TypeOf(pusher) != 279 && MV2TypeOf(pusher) != 306)) return 0;
    auto* d = MV2LevelData<MV2PusherData>(pusher);
    if (!d) return 0;
    d->amplitude = amplitude;
    return 1;
}

intptr_t MV2HiddenObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 3 && result && object->clump) MV2SetAllAtomicFlags(object->clump, 0);
    return result;
}

void MV2RegisterMachineryPropHandlers() {
    for (int32_t type : {50, 143, 398, 399, 400, 401})
        MV2SetObjectTypeHandler(type, MV2TurningPropHandler);
    MV2SetObjectTypeHandler(268, MV2PressurePlateHandler);
    MV2SetObjectTypeHandler(279, MV2PusherHandler);
    MV2SetObjectTypeHandler(306, MV2PusherHandler);
}
