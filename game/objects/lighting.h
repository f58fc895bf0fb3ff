// The game's frame-tag and custom-light engine plug-ins, the world lights with the ambient
// colour, the lighting zone that tints the depth light, and the water current (type 150).
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TpLight;
struct TvFrame;

inline constexpr uint32_t kMV2FrameTagPluginId = 320;
inline constexpr uint32_t kMV2CustomLightPluginId = 400;
inline constexpr uint8_t kMV2UniformSphereLight = 131;
inline constexpr uint8_t kMV2FacingSphereLight = 132;
inline constexpr int32_t kMV2CurrentType = 150;

// The frame extension: the tag (100 on a new frame) and a name list.
struct MV2FrameTagData {
    uint32_t tag;
    uint32_t nameCount;
    void* names[2];
};

int32_t TpFrameTagPluginAttach();
int32_t TpCustonLightPluginAttach();
void MV2FrameSetTag(TvFrame* frame, uint32_t tag);
uint32_t MV2FrameGetTag(const TvFrame* frame);

// The world's ambient light and directional light (null until made at game start-up).
extern TpLight* gMV2AmbientLight;
extern TpLight* gMV2DirectionalLight;
// The ambient colour as bytes red, green, blue, alpha.
extern uint8_t gMV2AmbientColour[4];
void MV2SetAmbientColour(float r, float g, float b, float a);

// The active lighting zone, set by the zone object's own handler: the object (its private data
// words 3 light factor A, 4-6 colour A, 7 light factor B, 8-10 colour B, 11 blend with the
// current values), its handle and the blend weight w in -1..1.
struct MV2LightingZone {
    MV2Object* object;
    MV2ObjectHandle handle;
    float weight;
};
extern MV2LightingZone gMV2LightingZone;
void MV2ApplyLightingZone(float* lightFactor, float* r, float* g, float* b);
void MV2ResetLightingZone();

// The water current's private data.
struct MV2CurrentData {
    float radius;
    float strength;
    const TvV3d* direction; // the object's own at vector
};
intptr_t MV2CurrentHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
