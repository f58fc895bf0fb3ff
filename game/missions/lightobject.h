// The light object (type 69): a switchable, optionally blinking engine light placed in levels
// and hung on craft by their attachments.
#pragma once

#include <cstdint>

struct MV2Object;
struct TpLight;
struct TvFrame;

// Flag bits of the light object.
inline constexpr uint32_t kMV2LightAttached = 1u << 0;
inline constexpr uint32_t kMV2LightLinked = 1u << 1;
inline constexpr uint32_t kMV2LightRandomBlink = 1u << 3;
inline constexpr uint32_t kMV2LightOn = 1u << 12;
inline constexpr uint32_t kMV2LightFacing = 1u << 13;
inline constexpr uint32_t kMV2LightBlinking = 1u << 14;
inline constexpr uint32_t kMV2LightCreationFlags = 0x5804;

struct MV2LightObjectData {
    TpLight* light;
    float red, green, blue;
    float radius;         // 0: no engine light
    uint32_t blinkPeriod; // ms, or with the random flag an index into the random period table
    int32_t blinkLeft;    // ms
    float glowSize;
    TvFrame* parent;
    uint32_t value24; // set by message 24
    float frameOffset; // along the parent's z; 0: no frame of its own
    TvFrame* ownFrame;
    uint32_t spare;
    float linkValue; // handed to the light-link list
    uint32_t flags;  // bits 4-11 the engine light type
};

intptr_t MV2LightObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
