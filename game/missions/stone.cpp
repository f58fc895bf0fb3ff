// The turning stone.
#include "game/missions/stone.h"

#include <cmath>

#include "game/missions/missionflow.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/player/player.h"

namespace {

constexpr int32_t kDragSound = 44; // DRAGSTONE

// The frame made orthonormal again around its at and up axes; a degenerate frame is kept.
void Straighten(TvMatrix* m) {
    TvV3d at = m->at;
    if (TvV3dNormalize(&at, &at) <= 0.0f) return;
    TvV3d right = TvV3dCross(m->up, at);
    if (TvV3dNormalize(&right, &right) <= 0.0f) return;
    m->at = at;
    m->right = right;
    m->up = TvV3dCross(at, right);
}

bool Upright(const TvMatrix* m) {
    return std::fabs(m->at.y) >= 0.98f || std::fabs(m->up.z) >= 0.98f;
}

} // namespace

intptr_t MV2StoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = MV2LevelData<MV2StoneData>(object);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (d) {
            *d = MV2StoneData{};
            if (object->matrix) {
                d->start = object->matrix->pos;
                d->lastAt = object->matrix->at;
            }
        }
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 12:
        if (d && p2) d->callback = MV2CallbackOf(p2); // a first parameter alone is a highlight
        return 1;
    case 2: {
        if (!d || !object->matrix) break;
        TvMatrix* m = object->matrix;
        if (!d->settled && Upright(m)) {
            d->settled = 1;
            MV2RunCallback(d->callback, object, 1);
            if (!MV2Level2ReturnFlag)
                MV2MissionToolCommand(MV2GetPlayerObject(), 0, 53, 0, nullptr);
        }
        const MV2ObjectHandle handle = object->handle;
        MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!MV2ObjectHandleAlive(handle)) return 1;
        if (d->settled) {
            m->right = {1, 0, 0};
            m->up = {0, 1, 0};
            m->at = {0, 0, 1};
        } else {
            Straighten(m);
            const TvV3d change = TvV3dSub(m->at, d->lastAt);
            if (TvV3dDot(change, change) > 0.0f)
                MV2StartObjectSound(object, kDragSound, &d->sound, 5000, 0);
            else if (d->sound)
                MV2StopObjectSound(object, kDragSound, &d->sound);
        }
        m->pos = d->start;
        d->lastAt = m->at;
        MV2ObjectMoved(object);
        return 1;
    }
    case 4:
        if (d && d->sound) MV2StopObjectSound(object, kDragSound, &d->sound);
        break;
    case 44: return 1;
    case 96: return intptr_t(sizeof(MV2StoneData));
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterStoneHandler() {
    MV2SetObjectTypeHandler(190, MV2StoneHandler);
}
