// The mission table and mission flow: the 45 rows with their scripts, selecting, starting,
// restarting, beginning and shutting down missions, the routing of mission-owned objects'
// messages to their scripts, object ownership and the small helpers scripts call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct MV2Tool;

inline constexpr int32_t kMV2MissionRows = 45;     // 0-39 campaign, 40-44 global scripts
inline constexpr int32_t kMV2CampaignRows = 40;
inline constexpr size_t kMV2MissionStateSize = 100; // the global mission state block
inline constexpr int32_t kMV2LevelSwitchThresholds = 18;

// Script messages.
enum MV2ScriptMessage : int32_t {
    kMV2ScriptSelect = 0,
    kMV2ScriptStart = 1,
    kMV2ScriptRestart = 2,
    kMV2ScriptSequenceEnd = 3,
    kMV2ScriptShutdown = 4,
    kMV2ScriptEvent = 11,
    kMV2ScriptCountdownOver = 12,
    kMV2ScriptObjectKilled = 13,
    kMV2ScriptAutosaveQuery = 22,
    kMV2ScriptBegin = 23,
    kMV2ScriptFirstTimer = 256,
};

// A row's script: (object or null, script message, a, b).
using MV2MissionScript = int32_t (*)(MV2Object* object, int32_t message, intptr_t a, intptr_t b);

struct MV2MissionTableRow {
    MV2MissionScript script;
    uint32_t levelId;
    int32_t craftType;
    int32_t rankValue;
    int32_t chapter;
    int32_t completion;
};
extern const MV2MissionTableRow kMV2MissionTable[kMV2MissionRows];

struct MV2LevelSwitchThreshold {
    int32_t row;
    int32_t levelSwitch;
};
extern const MV2LevelSwitchThreshold kMV2LevelSwitchThresholdTable[kMV2LevelSwitchThresholds];

// What the layer keeps between frames.
struct MV2MissionFlow {
    int32_t current;      // the mission in play
    int32_t begun;        // last row passed to MV2MissionBegin
    int32_t pendingBegin; // a begin waits for dispatch
};
extern MV2MissionFlow gMV2MissionFlow;

// Words shared by the scripts and the front end: the briefing number the console's briefing
// mode plays ("brief%d"), and the level-2 return flag.
extern int32_t MV2PendingMission;
extern int32_t MV2Level2ReturnFlag;

// The test seam of the mission layer: every outward effect, in order. Null in the game.
enum MV2MissionOutcome : int32_t {
    kMV2OutcomeMessageQueued = 0, // value: text id
    kMV2OutcomeMessageShown = 1,  // value: text id
    kMV2OutcomeMissionFailed = 2, // value: the message id given to the friendly-fire trigger
    kMV2OutcomeRestart = 3,       // value: row
    kMV2OutcomeCutScene = 4,      // value: record id
    kMV2OutcomeAutoSave = 5,      // value: row
    kMV2OutcomeLevelChange = 6,   // value: level id
};
extern void (*gMV2MissionOutcomeHook)(int32_t outcome, intptr_t value);
void MV2ReportMissionOutcome(int32_t outcome, intptr_t value);

// Flow.
void MV2MissionSelect(int32_t row);
int32_t MV2MissionStart(int32_t row, int32_t withLoadout);
int32_t MV2MissionRestart(int32_t row);
void MV2MissionBegin(int32_t row, int32_t clearHudMessages);
void MV2MissionDispatchBegin();
int32_t MV2GetBegunMission();
int32_t MV2GetCurrentMission();
// The delivered flag of global script row 41 (the stray craft brought into the city).
int32_t MV2GetStrayCraftDelivered();
int32_t MV2ResetMissionScripts();
int32_t MV2ShutdownMissionScripts();
int32_t MV2MissionResetAndSend(int32_t row, int32_t message);
int32_t MV2MissionSystemReset();
void MV2ClearMissionNotify();
int32_t MV2InitialiseMissionLevel();
int32_t MV2UpdateMissions();
// The row's script result; 0 for a row outside 0..44.
int32_t MV2CallMissionScript(int32_t row, MV2Object* object, int32_t message, intptr_t a,
                             intptr_t b);
// Test seam: a script that answers for a row in place of the table's (null restores it).
void MV2SetMissionScriptForTest(int32_t row, MV2MissionScript script);
// The no-op script of rows 0 and 23-25, also the level start's drop-point set-up.
int32_t MV2InitialiseDropPoints();
int32_t MV2InitialiseDropPoints(MV2Object* object, int32_t message, intptr_t a, intptr_t b);
// Does nothing: the hook the level set-up and the cut-scene camera run.
void MV2EmptyHook();

// The table's rank value and completion percentage of a row (0 outside 0..44).
int32_t MV2GetMissionRankValue(int32_t row);
int32_t MV2GetMissionCompletion(int32_t row);
// The global mission state block (kMV2MissionStateSize bytes), saved with the game.
uint8_t* MV2GetMissionStateBlock();

// Routing of owned objects' messages: 0 when the script handled the message.
int32_t MV2ObjectToScriptMessage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2NotifyObjectScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b);

// Ownership and creation.
int32_t MV2MissionAttachObject(int32_t row, MV2Object* object);
MV2Object* MV2MissionCreateObject(int32_t type, MV2Object* placing, int32_t row);
void MV2MissionDetachObject(MV2Object* object);
void MV2ObjectCopyFrame(MV2Object* object, MV2Object* source);
MV2Object* MV2FindObjectByWorldID(int32_t id);

// Helpers for scripts.
float MV2ObjectDistance(MV2Object* a, MV2Object* b);
void MV2CountObjectsNear(MV2Object* object, float radius);
int32_t MV2GetNearbyObjectCount(int32_t type);
MV2Tool* MV2GetPlayerToolOfKind(int32_t kind);
// A command to an object's tools of a kind, as the mission layer sends it (tests script the
// answers through the hook).
intptr_t MV2MissionToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                               void* out);
extern intptr_t (*gMV2MissionToolCommandHook)(MV2Object* object, int32_t kind, int32_t command,
                                              intptr_t parameter, void* out);
uint32_t MV2PlayMissionMessage(uint32_t messageId);
// How long the HUD shows a message: its speech length + 1500 ms, 5500 ms without speech.
uint32_t MV2MissionMessageDuration(uint32_t messageId);
int32_t MV2MissionHudMessagesFinished();

// One-shot game events: an id is recorded once; new game and load clear the set.
void MV2TriggerGameEvent(int32_t id);
inline void MV2GameEventOnce(int32_t id) {
    MV2TriggerGameEvent(id);
}
int32_t MV2GameEventFired(int32_t id);
void MV2ClearGameEvents();
