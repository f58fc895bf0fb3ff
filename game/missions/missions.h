// Missions: the umbrella header of the mission layer that other modules include, and the
// entry points of mission modules not built yet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/missions/city.h"
#include "game/missions/cutscenes.h"
#include "game/missions/friendlyfire.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/mining.h"
#include "game/missions/scriptevents.h"
#include "game/missions/textureflags.h"

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
// The point at t (0..1) along a waterfall's path.
void MV2StripPathPoint(const MV2Waterfall* waterfall, float t, TvV3d* out);
int32_t MV2InitialiseSpecialMoves();
// The special-craft trigger of submarine message 63.
void MV2TriggerCraftSpecial(MV2Object* craft);
// Level objects the effects call: the carrier object (types 42 and 450) keeps a number (messages
// 12 and 13) and a link (27 and 28) and gives its handle (17).
intptr_t MV2DummyObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The effect pass's parts of the level objects: the current's quad-strip buffers and draw
// (type 294), the dirt column (type 135) and the flickering object.
int32_t MV2InitialiseCurrentBuffers();
void MV2RenderCurrent(MV2Object* object);
void MV2DrawDirtColumn(MV2Object* object);
void MV2DrawMissionFlicker();
// A turret craft's own targeting: the target it keeps, its scan and sight timers and the turret
// frame's matrix; each call aims, and fires or stops firing.
struct TvMatrix;
struct MV2TurretTargetRecord {
    MV2Object* target;
    uint32_t targetHandle;
    float scanTimer;
    float sightTimer;
    TvMatrix* turretMatrix;
};
void MV2TurretTrackTarget(MV2Object* craft, MV2TurretTargetRecord* record);
