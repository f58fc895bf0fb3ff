// Missions: the umbrella header of the mission layer that other modules include, and the
// entry points of mission modules not built yet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/missions/city.h"
#include "game/missions/currentcolumn.h"
#include "game/missions/cutscenes.h"
#include "game/missions/friendlyfire.h"
#include "game/missions/levelobjects.h"
#include "game/missions/locator.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/mining.h"
#include "game/missions/scriptevents.h"
#include "game/missions/specialmoves.h"
#include "game/missions/strips.h"
#include "game/missions/textureflags.h"
#include "game/missions/turrettargeting.h"

struct MV2Object;
struct MV2Waterfall;
struct TvV3d;

struct MV2Script41State {
    int32_t counters[2];
    float values[6];
};

void MV2GetScript41State(MV2Script41State* out);
void MV2SetScript41State(const MV2Script41State* state);
// The own action of level switches 21 to 24.
void MV2RunLevelSwitchAction21To24(int32_t index);
// The two mothership dock objects (index 0 or 1) that draw the player's craft in; null when
// there is none.
MV2Object* MV2GetMothershipDock(int32_t index);
// The effect pass's part of the dirt column (type 135).
void MV2DrawDirtColumn(MV2Object* object);
