// The clump-to-object plug-in: every clump carries the object that owns it.
#pragma once

#include <cstdint>

struct TpClump;
struct MV2Object;

inline constexpr uint32_t kMV2ClumpDataPluginId = 336;

int32_t TpClumpDataPluginAttach();
void MV2SetClumpObject(TpClump* clump, MV2Object* object);
MV2Object* MV2GetClumpObject(const TpClump* clump);
