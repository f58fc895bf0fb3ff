// The carrier brain over the SubAI brain.
#include "game/creatures/carrier.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/missions/missions.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"

namespace {

TvFreeList* g_carriers = nullptr;

int32_t CargoCount(const MV2CarrierData* d) {
    int32_t n = 0;
    for (uint32_t type : d->cargo)
        if (type != kMV2EmptyCargo) ++n;
    return n;
}

// Turns a door about its own forward axis (about its own position).
void TurnDoor(TvFrame* door, float degrees) {
    TvMatrix* m = TvFrameGetMatrix(door);
    const TvV3d axis = m->at;
    MV2RotateMatrixInPlace(m, &axis, degrees, 1);
    TvFrameUpdateObjects(door);
}

float DoorUp(TvFrame* door, const TvV3d& axis) {
    return TvV3dDot(TvFrameGetLTM(door)->up, axis);
}

int32_t Release(MV2Object* object, MV2CarrierData* d, intptr_t p1) {
    int32_t slot = int32_t(p1);
    if (slot < 0 || slot >= kMV2CarrierSlots) {
        slot = -1;
        for (int32_t i = 0; i < kMV2CarrierSlots && slot < 0; ++i)
            if (d->cargo[i] != kMV2EmptyCargo) slot = i;
    }
    if (slot < 0 || d->cargo[slot] == kMV2EmptyCargo) return 0;
    const MV2Point3 at = MV2Point(TvFrameGetLTM(d->releasePoint)->pos);
    if (MV2Object* cargo = MV2CreateObject(int32_t(d->cargo[slot]), at.v, nullptr)) {
        MV2SetObjectRef(&d->released[slot], cargo);
        const TvV3d push{0.0f, -0.5f, 0.0f};
        MV2AddForce(cargo, &push);
        MV2RaiseScriptEvent(12, cargo, object);
    }
    d->cargo[slot] = kMV2EmptyCargo;
    return 1;
}

void Update(MV2Object* object, MV2CarrierData* d) {
    TvMatrix* m = object->matrix;
    if (d->keepLevel) {
        m->right.y = 0.0f;
        MV2Normalise(&m->right);
        m->up = MV2Unit(TvV3dCross(m->at, m->right));
        m->at = TvV3dCross(m->right, m->up);
        MV2SyncObjectFrame(object);
    }
    const float initial = MV2InitialEnergy(object);
    if (initial > 0.0f && object->energy / initial < 0.3f) {
        intptr_t count = 0;
        MV2ObjectSendMessage(object, 13, 0, reinterpret_cast<intptr_t>(&count));
        d->doorsOpen = count ? 1 : 0;
    }
    const float step = MV2FrameStep();
    const TvV3d up = m->up;
    if (d->doorsOpen) {
        TurnDoor(d->leftDoor, step * -5.0f * DoorUp(d->leftDoor, up));
        TurnDoor(d->rightDoor, step * 5.0f * DoorUp(d->rightDoor, up));
        if (MV2Elapsed(d->nextRelease) > 0 && std::fabs(DoorUp(d->rightDoor, up)) < 0.05f) {
            d->nextRelease = int32_t(MV2GameClock()) + 500;
            intptr_t released = 0;
            MV2ObjectSendMessage(object, 39, -1, reinterpret_cast<intptr_t>(&released));
            if (!released) {
                d->doorsOpen = 0;
                d->forgetTimer = 3.0f;
            }
        }
        return;
    }
    if (d->forgetTimer > 0.0f) {
        d->forgetTimer -= MV2FrameSeconds();
        if (d->forgetTimer <= 0.0f)
            for (MV2ObjectRef& ref : d->released)
                MV2ClearObjectRef(&ref);
    }
    MV2Object* player = MV2GetPlayerObject();
    if (!player || MV2ObjectDistanceSquared(player, object) <= 5.0) return;
    const TvV3d right = m->right;
    for (TvFrame* door : {d->leftDoor, d->rightDoor}) {
        const float dot = DoorUp(door, right);
        if (std::fabs(dot) > 0.0001f) TurnDoor(door, step * 5.0f * dot);
    }
}

} // namespace

intptr_t MV2CarrierBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2CarrierData*>(message == 32 ? nullptr : MV2GetLayeredData(object));
    switch (message) {
    case 2:
        if (d) Update(object, d);
        break;
    case 4:
        MV2FreeLayeredData(object, g_carriers, d);
        if (object->typeHandler) object->typeHandler(object, 31, 0, 0);
        break;
    case 12:
        if (d) d->keepLevel = 0;
        break;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d ? CargoCount(d) : 0;
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (d && other)
            for (MV2ObjectRef& ref : d->released)
                if (MV2GetObjectRef(&ref) == other) return 0;
        return 1;
    }
    case 32: {
        d = static_cast<MV2CarrierData*>(MV2AllocLayeredData(object, &g_carriers,
                                                             sizeof(MV2CarrierData), 5,
                                                             "Cannot create freelist for carrier"));
        if (!d) return 0;
        d->keepLevel = 1;
        for (uint32_t& type : d->cargo)
            type = kMV2EmptyCargo;
        if (object->clump) {
            d->leftDoor = MV2FindFrameByTag(object->clump, 7);
            d->rightDoor = MV2FindFrameByTag(object->clump, 8);
            d->releasePoint = MV2FindFrameByTag(object->clump, 400);
        }
        if (!d->leftDoor || !d->rightDoor || !d->releasePoint) {
            MV2FreeLayeredData(object, g_carriers, d);
            return 0;
        }
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 38:
        if (!d) return 0;
        for (int32_t i = 0; i < kMV2CarrierSlots; ++i)
            if (d->cargo[i] == kMV2EmptyCargo) {
                d->cargo[i] = uint32_t(p1);
                if (p2) *reinterpret_cast<intptr_t*>(p2) = i;
                return 1;
            }
        return 0;
    case 39: {
        const int32_t released = d ? Release(object, d, p1) : 0;
        if (p2) *reinterpret_cast<intptr_t*>(p2) = released;
        return 1;
    }
    case 54:
        if (d && p2)
            for (int32_t i = 0; i < kMV2CarrierSlots; ++i)
                if (d->cargo[i] == uint32_t(p1)) {
                    *reinterpret_cast<intptr_t*>(p2) = i;
                    break;
                }
        return 1;
    case 63:
        if (d) d->doorsOpen = 1;
        break;
    default: break;
    }
    return MV2SubAIBrain(object, message, p1, p2) ? 1 : 0;
}

void MV2ShutdownCarriers() {
    if (g_carriers) TvFreeListDestroy(g_carriers);
    g_carriers = nullptr;
}
