// Turret craft on their bases, fire jets, fireflies and the firefly light.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TpLight;
struct TvFrame;

struct MV2TurretCraftExtension {
    TvFrame* barrel; // tagged 2
    TpAtomic* barrelAtomic;
    TvV3d home;
    float barrelRestZ;
    float recoil; // decays x 0.9 a frame
    MV2ObjectRef base;
    TvFrame* baseFrame; // the base's part tagged 2
    MV2TurretTargetRecord aim;
    void* brainData;
    TvV3d up;
};

struct MV2TurretBase {
    MV2ObjectRef owner;
};

struct MV2FireJet {
    uintptr_t sound;
    float accumulator;
    uint32_t burning;
    int32_t onTime;  // ms; -1 until set from the creation value
    int32_t offTime; // ms
    int32_t nextSwitch; // game ms
};

struct MV2FireflyLight {
    uint32_t armed;
    MV2ObjectRef light;
    int32_t slot; // -1 none
};

inline constexpr int32_t kMV2FireflySlots = 10;

struct MV2Firefly {
    MV2ObjectRef leader;
    float followRange;
    uint32_t followClose;
    float catchTimer;
    uint32_t caught;
    uint32_t released;
    float ten;
    uint32_t helping;
    uint32_t carrying;
    MV2ObjectRef target;
    float glow;
    float spinRate; // degrees per second
    TvV3d drift;
    float phases[3];
    float phaseRates[3];
    TpLight* light;
    uintptr_t sound;
    float targetEnergy;
    MV2ObjectRef companion; // type 264
};

intptr_t MV2TurretCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2TurretBaseHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FireJetHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FireflyLightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FireflyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Handed to the companions a firefly creates: called as callback(object, 1).
void MV2FireflyCallback(MV2Object* object, int32_t stage);
// The companion a mission released; the firefly that made it destroys it.
extern MV2Object* gMV2FireflyReleased;
// Level reset: the firefly slots are cleared.
void MV2ResetFireflies();
void MV2RegisterTurretHandlers();
