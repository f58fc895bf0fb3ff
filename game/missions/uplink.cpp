#include "game/missions/uplink.h"

#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/creaturemath.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/missions/missionflow.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kUplinkSound = 36;    // "UPLINK"
constexpr int32_t kRechargeSound = 175; // "RECHARGE"
constexpr int32_t kMagnetHeadType = 52;

void ShowPart(MV2Object* o, uint32_t tag, uint8_t flags) {
    if (!o->clump) return;
    if (TpAtomic* a = MV2FindAtomicByTag(o->clump, tag)) TpAtomicSetFlags(a, flags);
}

void StopRecharge(MV2Object* socket, MV2UplinkData* d) {
    if (d->sound) MV2StopObjectSound(socket, kRechargeSound, &d->sound);
}

void Update(MV2Object* socket, MV2UplinkData* d) {
    if (MV2Object* sub = MV2GetPlayerSub()) {
        MV2Object* held = nullptr;
        MV2MissionToolCommand(sub, 0, 34, 0, &held);
        if (held == socket) {
            const float full = MV2InitialEnergy(sub);
            sub->energy += 0.5f;
            if (sub->energy >= full) {
                sub->energy = full;
                StopRecharge(socket, d);
            } else {
                MV2StartObjectSound(socket, kRechargeSound, &d->sound, 0, 0);
            }
        } else {
            ShowPart(socket, 3, 1);
            ShowPart(socket, 2, 5);
            if (d->docked) {
                d->docked = 0;
                StopRecharge(socket, d);
                if (d->callback) d->callback(socket, 0);
            }
        }
    }
    // The socket never moves.
    TvMatrix* m = socket->matrix;
    m->right = d->savedFrame[0];
    m->up = d->savedFrame[1];
    m->at = d->savedFrame[2];
    m->pos = d->savedFrame[3];
}

void Dock(MV2Object* socket, MV2UplinkData* d, MV2Object* other) {
    if (!other || MV2TypeOf(other) != kMagnetHeadType || d->docked) return;
    TvFrame* contact = socket->clump ? MV2FindFrameByTag(socket->clump, 5) : nullptr;
    if (contact && other->matrix) {
        other->matrix->pos = TvFrameGetLTM(contact)->pos;
        MV2SyncObjectFrame(other);
    }
    if (d->callback) {
        d->docked = 1;
        d->callback(socket, 1);
    }
    ShowPart(socket, 3, 5);
    ShowPart(socket, 2, 1);
    MV2PlaySoundAt(&socket->matrix->pos, 1.0f, kUplinkSound, 0, 0, 1000);
}

void Create(MV2Object* socket, MV2UplinkData* d) {
    d->callback = nullptr;
    d->docked = 0;
    d->sound = 0;
    if (TpClump* clump = socket->clump) {
        if (TpAtomic* root = MV2FindRootAtomic(clump))
            MV2SetGeometryLightable(TpAtomicGetGeometry(root));
        for (uint32_t tag : {3u, 2u})
            if (TpAtomic* a = MV2FindAtomicByTag(clump, tag))
                MV2SetGeometryFullBright(TpAtomicGetGeometry(a));
    }
    ShowPart(socket, 3, 1);
    ShowPart(socket, 2, 5);
    socket->typeWord &= ~kMV2ObjectCollidesWorld;
    const TvMatrix* m = socket->matrix;
    d->savedFrame[0] = m->right;
    d->savedFrame[1] = m->up;
    d->savedFrame[2] = m->at;
    d->savedFrame[3] = m->pos;
}

} // namespace

intptr_t MV2UplinkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2UplinkData*>(object->privateData);
    switch (message) {
    case 2:
        if (d && object->matrix) Update(object, d);
        break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
        if (d && object->matrix) Create(object, d);
        return 1;
    case 4:
        if (d) StopRecharge(object, d);
        break;
    case 12:
        if (d) d->callback = reinterpret_cast<MV2DeviceNotify>(p2);
        break;
    case 14:
    case 19:
        if (d && object->matrix) Dock(object, d, reinterpret_cast<MV2Object*>(p2));
        break;
    case 96: return MV2AnswerSize(p2, sizeof(MV2UplinkData));
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterUplinkHandler() {
    MV2SetObjectTypeHandler(183, MV2UplinkHandler);
}
