// Per-atomic data the game hangs on engine atomics: the part tag (plug-in 368) and the
// collision grid (plug-in 369); and tags of frames.
#pragma once

#include <cstdint>

struct TpAtomic;
struct TvFrame;

inline constexpr uint32_t kMV2AtomicCollDataPluginId = 369;
inline constexpr uint32_t kMV2AtomicDataPluginId = 368;
inline constexpr uint32_t kMV2DefaultFrameTag = 100;

// Each attach returns 1, or 0 when the engine refused a registration.
int32_t TpAtomicCollDataPluginAttach();
int32_t TpAtomicDataPluginAttach();

// The atomic's collision grid (owned by its loader; copies share it), or null.
void MV2AtomicSetCollData(TpAtomic* atomic, void* tree);
void* MV2AtomicGetCollData(const TpAtomic* atomic);
void MV2AtomicSetPartTag(TpAtomic* atomic, uint32_t tag);
uint32_t MV2AtomicGetPartTag(const TpAtomic* atomic);

// Frame tags (plug-in 320): MV2FrameSetTag / MV2FrameGetTag in lighting.h.
