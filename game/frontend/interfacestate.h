// State the in-sub console and the interface screens share: the nine interface pictures, the
// ambient sound loop of whichever of the two is showing, and the words the console, the
// briefing mode and the load-out screens pass between them.
#pragma once

#include <cstdint>

struct TvRaster;

inline constexpr int32_t kMV2InterfaceSlots = 9;
// Ambient channel values besides a playing channel.
inline constexpr int32_t kMV2AmbientNone = -1;
inline constexpr int32_t kMV2AmbientPending = -2;

struct MV2InterfaceShared {
    TvRaster* rasters[kMV2InterfaceSlots];
    int32_t ambientChannel; // channel of the looping ambient sound, or one of the values above
    int32_t ambientSound;   // the sound id the channel plays
};
extern MV2InterfaceShared gMV2InterfaceShared;

// The mission whose briefing has been shown (cleared with the pending mission), the equipment
// level at the last fitting (saved with the game) and the award slot the medals page shows.
extern int32_t MV2BriefedMission;
extern uint32_t MV2LastEquipmentLevel;
extern int32_t MV2ShownAwardSlot;

// Destroys the rasters that are loaded and empties all nine slots.
void MV2ClearInterfaceRasters();
// Starts the named sound looping at full volume; the channel, kMV2AmbientNone when none is free.
int32_t MV2StartAmbientLoop(const char* name);
// Keeps a playing loop at full volume.
void MV2RefreshAmbientLoop();
// Stops a playing loop; the channel word becomes `after`.
void MV2StopAmbientLoop(int32_t after);
// Plays a named sound once at full volume.
void MV2PlayNamedSound(const char* name);
