#include "game/missions/missionflow.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/submarines.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/city.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/loadout.h"
#include "game/player/player.h"
#include "game/player/tools.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"
#include "shell/pack.h"
#include "shell/resfile.h"
#include "shell/savegame.h"

const MV2MissionTableRow kMV2MissionTable[kMV2MissionRows] = {
    {MV2InitialiseDropPoints, 0x00FFFFFF, 0, 0, 0, 0},
    {MV2Mission1Script, 0x00FFFFFF, 0, 0, 1, 5},
    {MV2Mission2Script, 0x00FFFFFF, 0, 0, 1, 7},
    {MV2Mission3Script, 0x00FFFFFF, 0, 1, 1, 8},
    {MV2Mission4Script, 0x00FFFFFF, 0, 2, 2, 10},
    {MV2Mission5Script, 0x00FFFFFF, 0, 2, 2, 12},
    {MV2Mission6Script, 0x00FFFFFF, 0, 3, 3, 15},
    {MV2Mission7Script, 0x00FFFFFF, 0, 4, 3, 17},
    {MV2Mission8Script, 0x00FFFFFF, 0, 4, 4, 20},
    {MV2Mission9Script, 0x00FFFFFF, 0, 5, 4, 21},
    {MV2RescueMissionScript, 0x00FFFFFF, 67, 20, 4, 22},
    {MV2Mission11Script, 0x00FFFFFF, 67, 20, 4, 23},
    {MV2Mission12Script, 0x01FFFFFF, 67, 25, 4, 24},
    {MV2Mission13Script, 0x00FFFFFF, 67, 25, 5, 25},
    {MV2Mission14Script, 0x00FFFFFF, 67, 25, 5, 26},
    {MV2Mission15Script, 0x00FFFFFF, 67, 30, 5, 28},
    {MV2Mission16Script, 0x00FFFFFF, 67, 30, 5, 30},
    {MV2Mission17Script, 0x00FFFFFF, 1, 50, 6, 31},
    {MV2Mission18Script, 0x00FFFFFF, 1, 50, 6, 33},
    {MV2Mission19Script, 0x00FFFFFF, 1, 50, 6, 37},
    {MV2Mission20Script, 0x00FFFFFF, 1, 50, 8, 40},
    {MV2Mission21Script, 0x00FFFFFF, 67, 50, 8, 41},
    {MV2Mission22Script, 0x03FFFFFF, 67, 55, 8, 42},
    {MV2InitialiseDropPoints, 0x03FFFFFF, 67, 55, 8, 43},
    {MV2InitialiseDropPoints, 0x03FFFFFF, 67, 55, 8, 44},
    {MV2InitialiseDropPoints, 0x03FFFFFF, 67, 55, 8, 45},
    {MV2Mission26Script, 0x04FFFFFF, 67, 60, 11, 50},
    {MV2SporeAtkMissionScript, 0x00FFFFFF, 1, 80, 11, 55},
    {MV2Mission28Script, 0x00FFFFFF, 84, 85, 11, 57},
    {MV2Mission29Script, 0x02FFFFFF, 84, 85, 11, 61},
    {MV2Mission30Script, 0x05FFFFFF, 84, 85, 11, 64},
    {MV2Mission31Script, 0x07FFFFFF, 84, 85, 11, 68},
    {MV2Mission32Script, 0x09FFFFFF, 84, 85, 11, 71},
    {MV2Mission33Script, 0x0AFFFFFF, 84, 85, 11, 74},
    {MV2Mission34Script, 0x0BFFFFFF, 84, 85, 11, 77},
    {MV2Mission35Script, 0x00FFFFFF, 1, 85, 16, 80},
    {MV2Mission36Script, 0x00FFFFFF, 67, 90, 16, 83},
    {MV2Mission37Script, 0x00FFFFFF, 328, 100, 17, 85},
    {MV2Mission38Script, 0x06FFFFFF, 328, 100, 17, 90},
    {MV2Mission39Script, 0x06FFFFFF, 328, 100, 17, 95},
    {MV2CutSceneScript, 0, 0, 0, 0, 0},
    {MV2GlobalScript41, 0, 0, 0, 0, 0},
    {MV2FriendlyFireScript, 0, 0, 0, 0, 0},
    {MV2DayClockScript, 0, 0, 0, 0, 0},
    {MV2CityScript, 0, 0, 0, 0, 0},
};

const MV2LevelSwitchThreshold kMV2LevelSwitchThresholdTable[kMV2LevelSwitchThresholds] = {
    {5, 0},   {6, 2},   {6, 1},   {8, 3},   {8, 4},   {11, 5},  {14, 7},  {15, 8},  {16, 9},
    {22, 21}, {22, 22}, {23, 23}, {24, 24}, {26, 25}, {27, 10}, {35, 11}, {35, 16}, {36, 19},
};

MV2MissionFlow gMV2MissionFlow = {};
int32_t MV2PendingMission = 0;
int32_t MV2Level2ReturnFlag = 0;
void (*gMV2MissionOutcomeHook)(int32_t, intptr_t) = nullptr;

namespace {

constexpr int32_t kGlobalRows[] = {41, 42, 40};
constexpr int32_t kStartSwitches[] = {17, 18, 20, 26};
constexpr int32_t kMaxGameEvents = 256;

// Object message -> script message, sorted by object message.
constexpr int32_t kMessageMap[][2] = {{4, 10},  {40, 7},  {43, 21}, {44, 20}, {47, 6},  {65, 8},
                                      {76, 9},  {90, 16}, {91, 17}, {93, 18}, {94, 19}};

uint8_t g_stateBlock[kMV2MissionStateSize];
MV2MissionScript g_standIns[kMV2MissionRows];
uint8_t g_nearCounts[kMV2ObjectTypes];
int32_t g_gameEvents[kMaxGameEvents];
int32_t g_gameEventCount = 0;

bool ValidRow(int32_t row) {
    return row >= 0 && row < kMV2MissionRows;
}

bool CampaignRow(int32_t row) {
    return row >= 0 && row < kMV2CampaignRows;
}

void RunStartSwitches() {
    for (int32_t s : kStartSwitches)
        MV2SetLevelSwitch(s, 1);
}

// Message 22: the script may refuse the autosave; otherwise the row becomes the mission in
// play and is saved.
void AutosaveQuery(int32_t row) {
    int32_t allow = 1;
    MV2CallMissionScript(row, nullptr, kMV2ScriptAutosaveQuery, 0, reinterpret_cast<intptr_t>(&allow));
    if (allow != 1) return;
    gMV2MissionFlow.current = row;
    MV2ReportMissionOutcome(kMV2OutcomeAutoSave, row);
    MV2AutoSave();
}

int32_t MapMessage(int32_t message) {
    size_t i = 0;
    while (i + 1 < std::size(kMessageMap) && kMessageMap[i + 1][0] <= message)
        ++i;
    return kMessageMap[i][0] == message ? kMessageMap[i][1] : -1;
}

MV2Object* OrPlayer(MV2Object* object) {
    return object ? object : MV2GetPlayerObject();
}

// Every world object reports to row 0 from now on (the ownership flag stays).
TpClump* ClearMissionRow(TpClump* clump, void*) {
    if (TpClumpGetCallBack(clump) == MV2UpdateClumpObject)
        if (MV2Object* object = MV2GetClumpObject(clump)) object->missionRow = 0;
    return clump;
}

void ClearAllMissionRows() {
    MV2CurrentLevelWorld current;
    if (TpWorld* world = TpWorldGetCurrent()) TpWorldForAllClumps(world, ClearMissionRow, nullptr);
}

struct NearCount {
    const TvV3d* centre;
};

int32_t CountAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    TpClump* clump = TpAtomicGetClump(atomic);
    if (!clump || TpClumpGetCallBack(clump) != MV2UpdateClumpObject) return 1;
    MV2Object* object = MV2GetClumpObject(clump);
    if (!object || !(object->energy > 0.0f)) return 1;
    const int32_t type = int32_t(object->typeWord & kMV2ObjectTypeMask);
    if (type < 0 || type >= kMV2ObjectTypes) return 1;
    if ((type == 75 || type == 95) && object->typeHandler != MV2AmbientCreatureHandler) return 1;
    if (g_nearCounts[type] < 255) ++g_nearCounts[type];
    return 1;
}

struct WorldIdSearch {
    int32_t id;
    MV2Object* found;
};

TpClump* MatchWorldId(TpClump* clump, void* data) {
    auto* search = static_cast<WorldIdSearch*>(data);
    if (TpClumpGetCallBack(clump) != MV2UpdateClumpObject) return clump;
    MV2Object* object = MV2GetClumpObject(clump);
    if (!object || object->scriptId != search->id) return clump;
    search->found = object;
    return nullptr;
}

} // namespace

void MV2ReportMissionOutcome(int32_t outcome, intptr_t value) {
    if (gMV2MissionOutcomeHook) gMV2MissionOutcomeHook(outcome, value);
}

int32_t MV2CallMissionScript(int32_t row, MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2CurrentLevelWorld current;
    if (!ValidRow(row)) return 0;
    if (MV2MissionScript stand = g_standIns[row]) return stand(object, message, a, b);
    return kMV2MissionTable[row].script(object, message, a, b);
}

void MV2SetMissionScriptForTest(int32_t row, MV2MissionScript script) {
    if (ValidRow(row)) g_standIns[row] = script;
}

int32_t MV2InitialiseDropPoints() {
    return 1;
}

int32_t MV2InitialiseDropPoints(MV2Object*, int32_t, intptr_t, intptr_t) {
    return 1;
}

void MV2EmptyHook() {}

void MV2MissionSelect(int32_t row) {
    if (!CampaignRow(row)) return;
    MV2OpenPacks(row);
    if (gMV2MainLoop.returnToMenu) return;
    MV2ClearGameEvents();
    gMV2Level.currentLevelId = kMV2MissionTable[row].levelId;
    MV2ResetLevelSwitches();
    for (const MV2LevelSwitchThreshold& t : kMV2LevelSwitchThresholdTable)
        if (row > t.row) MV2SetLevelSwitch(t.levelSwitch, 0);
    MV2CallMissionScript(row, nullptr, kMV2ScriptSelect, 0, 0);
}

int32_t MV2MissionStart(int32_t row, int32_t withLoadout) {
    if (!ValidRow(row)) return 0;
    const MV2MissionTableRow& r = kMV2MissionTable[row];
    MV2ResetMusic();
    RunStartSwitches();
    if (row < kMV2CampaignRows) {
        MV2SetEquipmentLevel(r.rankValue);
        if (row > 1 && MV2GetCurrentLevelId() <= kMV2WholeLevel) MV2EnterCity();
        if (withLoadout) {
            MV2SelectSub(-1);
            MV2SelectSub(r.craftType);
            MV2EquipPlayerSub(MV2GetPlayerSub());
        }
        MV2SelectWallSet(r.chapter);
    }
    const int32_t result = MV2CallMissionScript(row, nullptr, kMV2ScriptStart, 0, 0);
    if (row >= kMV2CampaignRows) return result;
    AutosaveQuery(row);
    MV2OpenPacks(row);
    return 1;
}

int32_t MV2MissionRestart(int32_t row) {
    if (!ValidRow(row)) return 0;
    MV2ReportMissionOutcome(kMV2OutcomeRestart, row);
    RunStartSwitches();
    const int32_t result = MV2CallMissionScript(row, nullptr, kMV2ScriptRestart, 0, 0);
    if (row >= kMV2CampaignRows) return result;
    MV2SetEquipmentLevel(kMV2MissionTable[row].rankValue);
    AutosaveQuery(row);
    MV2OpenPacks(row);
    return 1;
}

void MV2MissionBegin(int32_t row, int32_t clearHudMessages) {
    if (!ValidRow(row)) return;
    if (clearHudMessages) MV2ResetHudMessages();
    gMV2MissionFlow.pendingBegin = 1;
    gMV2MissionFlow.begun = row;
    MV2MissionDispatchBegin();
}

void MV2MissionDispatchBegin() {
    if (!gMV2MissionFlow.pendingBegin) return;
    MV2CallMissionScript(gMV2MissionFlow.begun, nullptr, kMV2ScriptBegin, 0, 0);
    gMV2MissionFlow.pendingBegin = 0;
}

int32_t MV2GetBegunMission() {
    return gMV2MissionFlow.begun;
}

int32_t MV2GetCurrentMission() {
    return gMV2MissionFlow.current;
}

int32_t MV2ResetMissionScripts() {
    MV2ClearMissionNotify();
    MV2MissionSystemReset();
    int32_t result = 0;
    for (int32_t row : kGlobalRows) {
        RunStartSwitches();
        result = MV2CallMissionScript(row, nullptr, kMV2ScriptRestart, 0, 0);
    }
    return result;
}

int32_t MV2ShutdownMissionScripts() {
    for (int32_t row = 0; row < kMV2MissionRows; ++row)
        MV2CallMissionScript(row, nullptr, kMV2ScriptShutdown, 0, 0);
    ClearAllMissionRows();
    return 1;
}

int32_t MV2MissionResetAndSend(int32_t row, int32_t message) {
    MV2ClearMissionNotify();
    MV2MissionSystemReset();
    MV2ResetHudMessages();
    MV2MissionSetPeriodicMessage(-1, 0);
    ClearAllMissionRows();
    const int32_t result = MV2CallMissionScript(row, nullptr, message, 0, 0);
    MV2MissionStopTimerPass();
    return result;
}

int32_t MV2MissionSystemReset() {
    MV2RecreateMissionTimers();
    MV2ResetMissionTimerState();
    MV2ClearWaitSlots();
    MV2ClearScriptEvents();
    gMV2MissionFlow = {};
    std::memset(g_stateBlock, 0, 4);
    return 1;
}

void MV2ClearMissionNotify() {
    MV2DestroyMissionTimers();
    MV2ClearScriptEvents();
    gMV2MissionFlow.pendingBegin = 0;
}

int32_t MV2InitialiseMissionLevel() {
    MV2EmptyHook();
    return 1;
}

int32_t MV2UpdateMissions() {
    MV2MissionUpdateTimers();
    return 1;
}

int32_t MV2GetMissionRankValue(int32_t row) {
    return ValidRow(row) ? kMV2MissionTable[row].rankValue : 0;
}

int32_t MV2GetMissionCompletion(int32_t row) {
    return ValidRow(row) ? kMV2MissionTable[row].completion : 0;
}

uint8_t* MV2GetMissionStateBlock() {
    return g_stateBlock;
}

int32_t MV2ObjectToScriptMessage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (!object || !(object->flags & kMV2ObjectMissionOwned)) return 1;
    const int32_t mapped = MapMessage(message);
    if (mapped < 0) return 1;
    return MV2CallMissionScript(object->missionRow, object, mapped, p1, p2);
}

intptr_t MV2NotifyObjectScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    if (!object || !(object->flags & kMV2ObjectMissionOwned)) return 1;
    return MV2CallMissionScript(object->missionRow, object, message, a, b);
}

int32_t MV2MissionAttachObject(int32_t row, MV2Object* object) {
    if (!object) return 0;
    object->flags |= kMV2ObjectMissionOwned;
    object->missionRow = row;
    return int32_t(MV2ObjectSendMessage(object, 0, 1, 0));
}

MV2Object* MV2MissionCreateObject(int32_t type, MV2Object* placing, int32_t row) {
    MV2CurrentLevelWorld current;
    placing = OrPlayer(placing);
    if (!placing || !placing->matrix) return nullptr;
    const TvV3d at = placing->matrix->pos;
    MV2Object* object = MV2CreateObject(type, &at.x, nullptr);
    if (!object) return nullptr;
    object->flags |= kMV2ObjectMissionOwned;
    object->missionRow = row;
    MV2ObjectCopyFrame(object, placing);
    MV2ObjectSendMessage(object, 0, 1, 0);
    return object;
}

void MV2MissionDetachObject(MV2Object* object) {
    if (object) object->flags &= ~kMV2ObjectMissionOwned;
}

void MV2ObjectCopyFrame(MV2Object* object, MV2Object* source) {
    object = OrPlayer(object);
    source = OrPlayer(source);
    if (!object || !source || !object->matrix || !source->matrix) return;
    object->matrix->right = source->matrix->right;
    object->matrix->up = source->matrix->up;
    object->matrix->at = source->matrix->at;
    TvMatrixUpdate(object->matrix);
}

MV2Object* MV2FindObjectByWorldID(int32_t id) {
    MV2CurrentLevelWorld current;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return nullptr;
    WorldIdSearch search{id, nullptr};
    TpWorldForAllClumps(world, MatchWorldId, &search);
    return search.found;
}

float MV2ObjectDistance(MV2Object* a, MV2Object* b) {
    a = OrPlayer(a);
    b = OrPlayer(b);
    if (!a || !b || !a->matrix || !b->matrix) return 100000.0f;
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

void MV2CountObjectsNear(MV2Object* object, float radius) {
    MV2CurrentLevelWorld current;
    std::memset(g_nearCounts, 0, sizeof g_nearCounts);
    object = OrPlayer(object);
    if (!object || !object->matrix) return;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    MV2ForAllAtomicsInSphere(world, &object->matrix->pos, radius, CountAtomic, nullptr);
}

int32_t MV2GetNearbyObjectCount(int32_t type) {
    if (type < 0 || type >= kMV2ObjectTypes) return 0;
    return g_nearCounts[type];
}

MV2Tool* MV2GetPlayerToolOfKind(int32_t kind) {
    MV2Object* player = MV2GetPlayerObject();
    // Only craft with the submarine handler carry a tool list.
    if (!player || player->typeHandler != MV2SubmarineHandler || !player->privateData) return nullptr;
    return MV2FindTool(&static_cast<MV2SubData*>(player->privateData)->tools, kind);
}

intptr_t (*gMV2MissionToolCommandHook)(MV2Object*, int32_t, int32_t, intptr_t, void*) =
    MV2SendToolCommand;

intptr_t MV2MissionToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                               void* out) {
    if (!object) return 0;
    return gMV2MissionToolCommandHook(object, kind, command, parameter, out);
}

uint32_t MV2MissionMessageDuration(uint32_t messageId) {
    MV2TextDescriptor text = {};
    text.id = messageId;
    MV2GetText(&text);
    return MV2GetHudMessageDuration(&text);
}

uint32_t MV2PlayMissionMessage(uint32_t messageId) {
    MV2ReportMissionOutcome(kMV2OutcomeMessageShown, intptr_t(messageId));
    return MV2AddHudMessage(messageId);
}

int32_t MV2MissionHudMessagesFinished() {
    return int32_t(MV2HudMessagesFinished());
}

void MV2TriggerGameEvent(int32_t id) {
    if (MV2GameEventFired(id)) return;
    if (g_gameEventCount < kMaxGameEvents) g_gameEvents[g_gameEventCount++] = id;
}

int32_t MV2GameEventFired(int32_t id) {
    for (int32_t i = 0; i < g_gameEventCount; ++i)
        if (g_gameEvents[i] == id) return 1;
    return 0;
}

void MV2ClearGameEvents() {
    g_gameEventCount = 0;
}
