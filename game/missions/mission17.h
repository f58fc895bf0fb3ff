// Mission row 17: the race track.
#pragma once

#include <cstdint>

// The checkpoint numbers of the race track from start to finish (script ids 0x250000 + n).
inline constexpr int32_t kMV2RaceTrackLength = 149;
extern const uint8_t kMV2RaceTrack[kMV2RaceTrackLength];
