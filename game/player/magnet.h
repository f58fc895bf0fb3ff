// The magnet: a grab on a cable of six links, launched from the craft's mount, sticking to what
// accepts it and pulling it and the craft together like a spring; a second use reels it in.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"

struct MV2Tool;
struct TvFrame;
struct MV2SubDefinition;

inline constexpr int32_t kMV2MagnetLinks = 6;
inline constexpr int32_t kMV2MagnetHeadType = 52;
inline constexpr int32_t kMV2MagnetLinkType = 53;

enum MV2MagnetState : int32_t {
    kMV2MagnetAttached = 0,
    kMV2MagnetLaunched = 1,
    kMV2MagnetReeling = 2,
    kMV2MagnetStowed = 3,
};

// The tool word points here.
struct MV2MagnetRef {
    MV2ObjectRef head;
};

// The private data of the head (type 52).
struct MV2MagnetHead {
    int32_t state;
    int32_t armed;
    MV2ObjectRef owner;
    TvV3d mountOffset; // in the owner's frame
    float mountDistance;
    MV2ObjectRef attached;
    TvFrame* attachedFrame; // the frame the attachment point is held in
    TvV3d attachPoint;
    float attachDistance;
    float segment; // length of one cable segment
    MV2ObjectRef links[kMV2MagnetLinks];
    const MV2SubDefinition* sub;
    TvV3d contact[3];
    int32_t contactKind; // 3 attached to an object without a collision tree
    MV2ObjectRef target;  // under the aiming ray
    TvFrame* targetFrame;
    uint32_t autoReel; // frame clock, ms
    TvV3d lastPosition; // the head's position at the previous step
};

int32_t MV2MagnetToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
intptr_t MV2MagnetHeadHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2MagnetLinkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Cable helpers.
void MV2MagnetLinkImpulse(MV2Object* a, MV2Object* b);
void MV2MagnetSpring(int32_t mode, float rest, const TvV3d& direction, MV2Object* a, MV2Object* b);
void MV2MagnetConstrain(const MV2MagnetHead* head, MV2Object* a, MV2Object* b);
void MV2MagnetOrientLink(MV2Object* a, MV2Object* b);
// The head of the craft's magnet tool, or null.
MV2Object* MV2GetMagnetHead(MV2Object* craft);
