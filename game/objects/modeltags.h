// Part tags of atomics and tags of frames, carried by the game's engine plug-ins.
#pragma once

#include <cstdint>

struct TpAtomic;
struct TvFrame;

inline constexpr uint32_t kMV2DefaultFrameTag = 100;

uint32_t MV2AtomicGetPartTag(const TpAtomic* atomic);
uint32_t MV2FrameGetTag(const TvFrame* frame);
