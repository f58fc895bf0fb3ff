// The bobbing mine.
#include "game/missions/bobbingmine.h"

#include <cmath>

#include "game/creatures/creatures.h"
#include "game/missions/levelobjects.h"
#include "game/objects/dynamics.h"

namespace {

constexpr float kRadiansPerMs = 0.00052359875f; // one turn in 12000 ms
constexpr int32_t kCraftCategory = 6;

} // namespace

TvV3d MV2BobbingMineOffset(const TvV3d& right, const TvV3d& up, const TvV3d& at, uint32_t gameMs) {
    const float t = float(gameMs) * kRadiansPerMs;
    const float c = 0.25f * std::cos(t), s = 0.25f * std::sin(t);
    return TvV3dAdd(TvV3dScale(TvV3dAdd(up, at), c), TvV3dScale(right, s));
}

intptr_t MV2BobbingMineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* rest = MV2LevelData<TvV3d>(object);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        object->aiCategory = 7;
        if (rest && object->matrix) *rest = object->matrix->pos;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 2: {
        if (object->energy <= 0.0f) {
            MV2CreateDebris(object);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        const MV2ObjectHandle handle = object->handle;
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!MV2ObjectHandleAlive(handle) || !rest || !object->matrix) return result;
        TvMatrix* m = object->matrix;
        m->pos = TvV3dAdd(*rest, MV2BobbingMineOffset(m->right, m->up, m->at, MV2GameClock()));
        MV2ObjectMoved(object);
        return result;
    }
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && other != object && other->aiCategory == kCraftCategory && other->matrix &&
            object->matrix) {
            MV2PlayObjectSound(object, 5.0f, "GROUNDCOLLISION", 0);
            MV2PlayObjectSound(object, 5.0f, "METALCOLLISION", 0);
            other->energy -= 4.0f;
            TvV3d away = TvV3dSub(other->matrix->pos, object->matrix->pos);
            if (TvV3dNormalize(&away, &away) > 0.0f) MV2AddForce(other, &away);
        }
        break;
    }
    case 80: return 1;
    case 96: return intptr_t(sizeof(TvV3d));
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterBobbingMineHandler() {
    MV2SetObjectTypeHandler(271, MV2BobbingMineHandler);
}
