// The shotgun and object type 187.
#include "game/player/shotgun.h"

#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"
#include "platform/crt/crt.h"
#include "shell/gameinit.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;
constexpr float kRange = 40.0f;

TvV3d g_remoteAim{0.0f, 0.0f, 1.0f}; // the aim last received for another player's shotgun

float Spread() {
    return (float(PlatformRand() & 0x7ff) * 0.0009770396f - 1.0f) * 1.5f;
}

void Shot(const MV2CreationRecord* record) {
    if (!record || !record->matrix || !record->owner) return;
    const TvMatrix& m = *record->matrix;
    MV2Object* shooter = record->owner;
    const bool remote = (gMV2GameType == 3 || gMV2GameType == 4) && shooter != MV2GetPlayerObject();
    const TvV3d direction = remote ? g_remoteAim : m.at;
    const TvV3d start = shooter->matrix->pos;
    float farthest = -1.0f;
    for (int32_t i = 0; i < 15; ++i) {
        const float s1 = Spread(), s2 = Spread();
        const TvV3d end = TvV3dAdd(TvV3dAdd(start, TvV3dScale(direction, kRange)),
                                   TvV3dAdd(TvV3dScale(m.right, s1), TvV3dScale(m.up, s2)));
        TvV3d point{}, normal{};
        float distance = 0.0f;
        TpAtomic* atomic = nullptr;
        if (!MV2TraceLine(TpWorldGetCurrent(), &start, &end, &point, &normal, &distance, &atomic,
                          shooter))
            continue;
        float hit[3], along[3];
        MV2ShotPoint(point, hit);
        MV2ShotPoint(normal, along);
        MV2Object* struck = atomic ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
        uint32_t material;
        if (struck) {
            MV2SetDamageSource(shooter);
            MV2DamageObject(shooter, struck, hit, distance * 0.025f + 0.6f, 1);
            MV2SetDamageSource(nullptr);
            material = MV2ShotMaterialClass(struck);
        } else {
            if ((PlatformRand() & 7) > 5) MV2AddScorch(hit, 0.07f, 0);
            material = uint32_t(MV2ShotMineralLevel());
        }
        MV2CreateSparks(hit, along, material);
        if (distance > farthest) farthest = distance;
    }
    if (farthest < 0.0f) farthest = kRange;
    float t = 0.0f;
    for (int32_t i = 0; i < 12; ++i) {
        t += float(PlatformRand() & 0x3ff) * 0.00048875855f + 0.25f;
        if (t > farthest) break;
        float position[3], velocity[3];
        MV2ShotPoint(TvV3dAdd(m.pos, TvV3dScale(m.at, t)), position);
        MV2ShotPoint(TvV3dScale(m.at, float((PlatformRand() & 0x3ff) + 2977) * 2.0833333e-05f),
                     velocity);
        MV2CreateBubble(position, velocity, 0.05f);
    }
    for (int32_t i = 0; i < 5; ++i) {
        float position[3], velocity[3];
        MV2ShotPoint(m.pos, position);
        MV2ShotPoint(TvV3dScale(m.at, float((PlatformRand() & 0x3ff) + 2977) * 7.8125e-06f),
                     velocity);
        MV2CreateBubble(position, velocity, 0.05f);
    }
    MV2ShotPlayAt(shooter->matrix->pos, 1.0f, "SHOTGUNSHOT", 0);
}

} // namespace

intptr_t MV2ShotgunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 10:
        if (p1 == 1) return 0;
        Shot(reinterpret_cast<const MV2CreationRecord*>(p2));
        return 1;
    case 12:
        if (p2) g_remoteAim = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {18, kHudStandard};
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2Type187Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message != 3) return 0;
    MV2ObjectSendMessage(object, 0, 1, 0);
    return 1;
}
