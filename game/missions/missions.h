// Missions: the mission in play, selecting and starting rows of the mission table, the global
// mission state block and the state of global script 41 that a save game stores.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kMV2MissionRows = 45;      // 0-39 campaign, 40-44 global scripts
inline constexpr size_t kMV2MissionStateSize = 100; // the global mission state block

struct MV2Script41State {
    int32_t counters[2];
    float values[6];
};

int32_t MV2GetCurrentMission();
void MV2MissionSelect(int32_t row);
void MV2MissionStart(int32_t row, int32_t withLoadout);
// The global mission state block (kMV2MissionStateSize bytes).
uint8_t* MV2GetMissionStateBlock();
// The mission table's rank value and completion percentage of a row.
int32_t MV2GetMissionRankValue(int32_t row);
int32_t MV2GetMissionCompletion(int32_t row);
void MV2GetScript41State(MV2Script41State* out);
void MV2SetScript41State(const MV2Script41State* state);

// Script events: `MV2NotifyScripts` raises an event with a parameter; mission rows can be
// added to or removed from the list of an event.
void MV2NotifyScripts(int32_t event, intptr_t parameter);
void MV2AddScriptEventRow(int32_t event, int32_t row);
void MV2RemoveScriptEventRow(int32_t event, int32_t row);
// Cut-scenes: 1 when the record started.
int32_t MV2StartCutScene(uint32_t recordId, uint32_t scriptId);
void MV2EndCutScene();
void MV2UpdateCutScene();
void MV2SetScreenFade(int32_t fade);
struct MV2Object;
// 0 when the script owning the object handled the message (the object must not see it).
int32_t MV2ObjectToScriptMessage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

// The begun mission row (0: none) and its pending begin message.
int32_t MV2GetBegunMission();
void MV2MissionDispatchBegin();
// Restarts the mission of a level after a level change.
void MV2MissionRestart(int32_t row);
// The own action of level switches 21 to 24.
void MV2RunLevelSwitchAction21To24(int32_t index);
struct MV2Waterfall;
struct TvV3d;
// The point at t (0..1) along a waterfall's path.
void MV2StripPathPoint(const MV2Waterfall* waterfall, float t, TvV3d* out);
// Sends a craft out of the city through one of its doors towards a target (or none).
void MV2CityDispatchCraft(MV2Object* craft, int32_t door, MV2Object* target);

// Mission system start, level start and shut-down; the initialisers return 1, or 0 when they
// failed.
int32_t MV2MissionSystemReset();
void MV2ResetCutSceneSequence();
void MV2ResetMissionScripts();
void MV2ShutdownMissionScripts();
int32_t MV2InitialiseSpecialMoves();
int32_t MV2MiningLoad();
int32_t MV2InitialiseCityLogic();
int32_t MV2InitialiseDropPoints();
int32_t MV2InitialiseMissionLevel();
// Empties the script-event handler lists and destroys the mission timers' free list.
void MV2ClearMissionNotify();
// Binds every mining site's parts to their objects by script id.
void MV2MiningLinkSiteObjects();
// The running mission countdown: 1 with the milliseconds left and its kind word, 0 when none runs.
int32_t MV2GetMissionCountdown(uint32_t* millisecondsLeft, int32_t* kind);
// Tells the object's owning mission script (message 13: the object died).
intptr_t MV2NotifyObjectScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b);
// The special-craft trigger of submarine message 63.
void MV2TriggerCraftSpecial(MV2Object* craft);
struct TvV3d;
// Mining sites: the nearest site whose main object lives (-1 none) and a random live part.
int32_t MV2MiningFindNearestSite(const TvV3d* position, float* distance);
MV2Object* MV2MiningPickTargetPart(int32_t site);
// Mining sites and drones: the site object accepts a docking craft (1), loads it and lets it go;
// a damaged part of a site claimed by a repairer, or null.
int32_t MV2MiningDockCraft(MV2Object* site, MV2Object* craft);
void MV2MiningStartLoading(MV2Object* site);
void MV2MiningReleaseSite(MV2Object* site);
MV2Object* MV2MiningClaimDamagedPart(int32_t site, MV2Object* repairer);
// Sets done the first mission wait slot holding the id.
void MV2SetMissionSlotDone(int32_t id);
