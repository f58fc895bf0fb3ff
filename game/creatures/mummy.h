// The mummy boss (type 309): a puppet that throws palm bolts and a charge ball while both arms
// are on, burns the player with eye beams once they are shot off, and dies when its chest
// protector has taken enough hits, releasing its heart to the mission. It holds the player's
// craft on one plane while it lives.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2PuppetInstance;

// The boss state the tests and the mission read.
struct MV2MummyState {
    MV2Object* mummy;
    int32_t leftArmOn, rightArmOn;
    int32_t leftArmFiring, rightArmFiring;
    int32_t leftArmHits, rightArmHits;
    uint32_t nextCharge, nextLeftFire, nextRightFire, nextEyeBeam, eyeBeamEnd, nextHitReaction;
    int32_t charging;
    int32_t chargeEvents;
    TvV3d chargePosition;
    int32_t thrownCharge;
    TvV3d thrownTarget;
    uint32_t thrownBeam;
    TvV3d beamTarget;
    uint32_t eyeBeams[2];
    int32_t protectorHits;
    int32_t dead;
    MV2ObjectRef lights[5]; // left eye, right eye, left palm, right palm, charge ball
    TvV3d lockPoint;
    void (*deathCallback)(MV2Object* object, int32_t value);
    float headYaw, headPitch, chestYaw;
    uintptr_t laserSound;
    int32_t movePlayed;
};

enum MV2MummyLight : int32_t {
    kMV2MummyLeftEye = 0,
    kMV2MummyRightEye = 1,
    kMV2MummyLeftPalm = 2,
    kMV2MummyRightPalm = 3,
    kMV2MummyChargeBall = 4,
};

intptr_t MV2MummyBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2MummyPoseCallback(MV2PuppetInstance* instance);
const MV2MummyState& MV2GetMummyState();

// The words shared with the mission script of the mummy's level.
void MV2SetMummyAwake(int32_t awake);
void MV2SetMummyFight(int32_t fight);
int32_t MV2GetMummyAwake();
int32_t MV2GetMummyFight();
int32_t MV2MummyHeartReleased();
// The heart object while it lives, else null.
MV2Object* MV2GetMummyHeart();
// Level reset: the boss state and the shared words cleared.
void MV2ResetMummy();
void MV2RegisterMummyHandlers();
