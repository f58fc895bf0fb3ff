// The geiger counter tool: the radiation of the objects around the controlled craft (an
// object's level-data value word is its strength), its HUD icon and ticking, the one-shot alert
// a mission arms, and the reading mission scripts ask for.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2Tool;
struct TpIntersection;
struct TpWorldSector;
struct TpAtomic;

struct MV2GeigerData {
    float reading;        // 0..1
    float forwardReading; // 0..1
    uint32_t time;        // ms of displayed frames
};

inline constexpr float kMV2GeigerRadius = 35.0f;

int32_t MV2GeigerToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
TpAtomic* MV2GeigerSource(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                          float distance, void* data);
TpAtomic* MV2GeigerSourceSum(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                             float distance, void* data);
// The radiation sum s / d^2 of the sources within 35 units of the object (0 without one).
float MV2ReadGeiger(MV2Object* object);
void MV2ArmGeigerAlert(int32_t flag);
// The module-wide ticking switch.
int32_t MV2GeigerSoundOn();
// An object's radiation strength: its level-data value word read as a float.
float MV2GeigerStrength(const MV2Object* object);
