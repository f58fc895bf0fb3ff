// Jellyfish (type 59) and lesser jellyfish (185) that drift until a craft comes near and then
// sting it; the young jelly (60) and the jelly egg (61); and the jelly mother (368) with her birth
// opening (369) and birth pods (370), which breed jellyfish while fewer than 8 are about.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

// Kept behind the shared creature record.
struct MV2JellyfishRecord {
    MV2ObjectHandle foundHandle;
    int32_t close;
    int32_t chasing;
    MV2ObjectRef assigned;
    float thrust;
    uint32_t fleeUntil; // game ms
    float searchCountdown;
    MV2Object* found;
    float stingCooldown;
    int32_t circlingSide;
    float arrivalCooldown;
};

struct MV2LesserJellyRecord {
    int32_t chasing;
    MV2ObjectRef assigned;
    float thrust;
    uint32_t fleeUntil;
    int32_t close;
    float searchCountdown;
    MV2ObjectRef found;
};

struct MV2BabyJellyData {
    int32_t pulse;
    float life;
    MV2ObjectRef target;
};

struct MV2JellyPodData {
    int32_t breedRequest;
    int32_t breeding;
    float breedTimer;
    const TvV3d* mouth;  // position row of the part-tag-2 frame, in the pod's frame
    const TvV3d* outlet; // part tag 3
    float progress;
    MV2ObjectRef carried;
    MV2ObjectHandler carriedHandler; // the carried jellyfish's own handler
    float lastEnergy;
    TvV3d restPosition;
    TvV3d restUp;
};

struct MV2JellyMotherState {
    int32_t active;
    MV2Object* mother;
    MV2Object* opening;
    int32_t playerNear;
    int32_t vulnerable;
    float lastEnergy;
    float deathCountdown;
    int32_t dying;
    uintptr_t sound;
    float phase;
    float openingTimer;
    int32_t open;
    int32_t armed;
};

inline constexpr int32_t kMV2JellyBreedCap = 8;
inline constexpr float kMV2JellyBreedRadius = 35.0f;
inline constexpr float kMV2JellyEggMinutes = 5.0f;

intptr_t MV2JellyfishHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LesserJellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BabyJellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2JellyEggHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2JellyMotherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2JellyMotherBirthHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2JellyPodHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2JellySwimCallback(TpAtomic* atomic, float position);
float MV2LesserJellySwimCallback(TpAtomic* atomic, float position);
float MV2JellyBreedCallback(TpAtomic* atomic, float position);
// The jellyfish's thrust for swim key k (0 outside keys 0-3).
float MV2JellySwimThrust(int32_t k, int32_t close, bool lesser);

const MV2JellyMotherState& MV2GetJellyMotherState();
void MV2ResetJellyMother();
void MV2RegisterJellyHandlers();
