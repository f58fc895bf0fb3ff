#include "game/missions/shuttle.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/levelobjects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"

namespace {

constexpr int32_t kSound = 179;

MV2ShuttleData* Data(MV2Object* object) {
    return MV2SizedLevelData<MV2ShuttleData>(object);
}

uint32_t State(const MV2ShuttleData* d) {
    return d->state & 0xFFFFu;
}

void SetState(MV2ShuttleData* d, uint32_t state) {
    d->state = (d->state & ~0xFFFFu) | state;
}

void Notify(MV2Object* shuttle, MV2ShuttleData* d, int32_t value) {
    if (d->notify) d->notify(shuttle, value);
}

void Place(MV2Object* shuttle, const TvV3d& at) {
    shuttle->matrix->pos = at;
    MV2ObjectMoved(shuttle);
}

void StopSound(MV2Object* shuttle, MV2ShuttleData* d) {
    if (d->sound) MV2StopObjectSound(shuttle, kSound, &d->sound);
}

void Arrive(MV2Object* shuttle, MV2ShuttleData* d) {
    if (State(d) == kMV2ShuttleToB) {
        Notify(shuttle, d, 1);
        Place(shuttle, d->b);
    } else {
        Place(shuttle, d->a);
    }
    SetState(d, State(d) + 1);
    for (MV2ObjectRef& link : d->links)
        if (link.object && MV2ObjectHandleAlive(link.handle))
            MV2ObjectSendMessage(link.object, 63, 0, 0);
    StopSound(shuttle, d);
}

void Update(MV2Object* shuttle, MV2ShuttleData* d) {
    const uint32_t now = MV2GameClock();
    const uint32_t state = State(d);
    if (d->state & kMV2ShuttlePaused) {
        const uint32_t held = now - d->lastUpdate;
        d->tripStart += held;
        d->tripEnd += held;
        StopSound(shuttle, d);
    } else if ((state == kMV2ShuttleToA || state == kMV2ShuttleToB) &&
               int32_t(now - d->tripStart) >= 0) {
        if (int32_t(now - d->tripEnd) < 0) {
            const float e = float(now - d->tripStart);
            float f = (MV2CosDegrees(0.004f * e) + 1.0f) * 0.5f;
            if (state == kMV2ShuttleToB) f = 1.0f - f;
            Place(shuttle, TvV3dAdd(d->a, TvV3dScale(TvV3dSub(d->b, d->a), f)));
            MV2StartObjectSound(shuttle, kSound, &d->sound, 0, 0);
        } else {
            Arrive(shuttle, d);
        }
    }
    d->lastUpdate = now;
    MV2ObjectMoved(shuttle);
}

void Go(MV2Object* shuttle, MV2ShuttleData* d, intptr_t p1) {
    if (!p1) {
        d->state |= kMV2ShuttlePaused;
        return;
    }
    if (d->state & kMV2ShuttlePaused) {
        d->state &= ~kMV2ShuttlePaused;
        return;
    }
    const uint32_t state = State(d);
    if (state != kMV2ShuttleAtA && state != kMV2ShuttleAtB) return;
    if (state == kMV2ShuttleAtB) Notify(shuttle, d, 0);
    SetState(d, state == kMV2ShuttleAtA ? kMV2ShuttleToB : kMV2ShuttleToA);
    d->tripStart = MV2GameClock();
    d->tripEnd = d->tripStart + kMV2ShuttleTripMs;
}

void SetB(MV2Object* shuttle, MV2ShuttleData* d, intptr_t p1, MV2Object* target) {
    if (!target || !target->matrix) return;
    d->b = target->matrix->pos;
    if (!p1) return;
    Place(shuttle, d->b);
    SetState(d, kMV2ShuttleAtB);
    Notify(shuttle, d, 1);
}

void Link(MV2ShuttleData* d, MV2Object* other) {
    if (!other) return;
    MV2ObjectRef& slot = d->links[0].object ? d->links[1] : d->links[0];
    MV2SetObjectRef(&slot, other);
}

} // namespace

intptr_t MV2ShuttleHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ShuttleData));
    MV2ShuttleData* d = object->matrix ? Data(object) : nullptr;
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (!(d = Data(object)) || !object->matrix) return 1;
        *d = MV2ShuttleData{};
        d->state = kMV2ShuttleAtA;
        d->a = d->b = object->matrix->pos;
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        return 1;
    }
    if (d) switch (message) {
        case 2: Update(object, d); break;
        case 4: StopSound(object, d); break;
        case 11: Go(object, d, p1); break;
        case 12: d->notify = reinterpret_cast<MV2ShuttleNotify>(p2); break;
        case 33: SetB(object, d, p1, reinterpret_cast<MV2Object*>(p2)); break;
        case 63: Link(d, reinterpret_cast<MV2Object*>(p2)); break;
        case 75: return 0;
        default: break;
        }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterShuttleHandler() {
    MV2SetObjectTypeHandler(kMV2ShuttleType, MV2ShuttleHandler);
}
