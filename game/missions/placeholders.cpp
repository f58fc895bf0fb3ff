// Entry points of mission modules not built yet, each doing the least its callers need.
#include "game/missions/missions.h"
#include "game/objects/waterfalls.h"

// Placeholder: no mission runs; row 0.
int32_t MV2GetCurrentMission() {
    return 0;
}

// Placeholder: the mission table is not built; nothing is selected.
void MV2MissionSelect(int32_t) {}

// Placeholder: the mission table is not built; nothing starts.
void MV2MissionStart(int32_t, int32_t) {}

// Placeholder: the block is kept here until the mission system owns it.
uint8_t* MV2GetMissionStateBlock() {
    static uint8_t block[kMV2MissionStateSize];
    return block;
}

// Placeholder: every row has rank value 0.
int32_t MV2GetMissionRankValue(int32_t) {
    return 0;
}

// Placeholder: every row is 0% of the campaign.
int32_t MV2GetMissionCompletion(int32_t) {
    return 0;
}

// Placeholder: script 41 is not built; its state reads as zeros.
void MV2GetScript41State(MV2Script41State* out) {
    *out = {};
}

// Placeholder: script 41 is not built; the state is dropped.
void MV2SetScript41State(const MV2Script41State*) {}

// Placeholder: no scripts run, so no script hears the event.
void MV2NotifyScripts(int32_t, intptr_t) {}

// Placeholder: there are no script event lists yet.
void MV2AddScriptEventRow(int32_t, int32_t) {}

// Placeholder: there are no script event lists yet.
void MV2RemoveScriptEventRow(int32_t, int32_t) {}

// Placeholder: cut-scenes are not built; none starts.
int32_t MV2StartCutScene(uint32_t, uint32_t) {
    return 0;
}

// Placeholder: no cut-scene runs.
void MV2EndCutScene() {}

// Placeholder: no cut-scene runs.
void MV2UpdateCutScene() {}

// Placeholder: the screen fade is not built.
void MV2SetScreenFade(int32_t) {}
// Placeholder: no mission scripts run; every message reaches its object unless a test says
// otherwise through this answer.
int32_t MV2ScriptMessageAnswer = 1;

int32_t MV2ObjectToScriptMessage(MV2Object*, int32_t, intptr_t, intptr_t) {
    return MV2ScriptMessageAnswer;
}

// Placeholder: no mission has begun.
int32_t MV2GetBegunMission() {
    return 0;
}

// Placeholder: there is no begin message to send.
void MV2MissionDispatchBegin() {}

// Placeholder: there are no mission scripts to restart.
void MV2MissionRestart(int32_t) {}

// Placeholder: the missions' switch actions are not built; nothing happens.
void MV2RunLevelSwitchAction21To24(int32_t) {}

// Placeholder: the city is not built; no craft leaves it.
void MV2CityDispatchCraft(MV2Object*, int32_t, MV2Object*) {}

// Placeholder: the mission system is not built; there is nothing to reset.
int32_t MV2MissionSystemReset() {
    return 1;
}

// Placeholder: no cut-scene sequence runs.
void MV2ResetCutSceneSequence() {}

// Placeholder: there are no mission scripts to reset.
void MV2ResetMissionScripts() {}

// Placeholder: there are no mission scripts to shut down.
void MV2ShutdownMissionScripts() {}

// Placeholder: there are no special moves to set up.
int32_t MV2InitialiseSpecialMoves() {
    return 1;
}

// Placeholder: the mining sites are not built; nothing to read.
int32_t MV2MiningLoad() {
    return 1;
}

// Placeholder: the city is not built; nothing to find.
int32_t MV2InitialiseCityLogic() {
    return 1;
}

// Placeholder: the path point by straight interpolation between the waterfall's points.
void MV2StripPathPoint(const MV2Waterfall* w, float t, TvV3d* out) {
    auto lerp = [out](const TvV3d& a, const TvV3d& b, float f) {
        *out = TvV3dAdd(a, TvV3dScale(TvV3dSub(b, a), f));
    };
    if (w->type == 376 && gMV2Waterfalls.poolFlag)
        lerp(w->straight[0], w->straight[1], t);
    else if (t <= 0.25f)
        lerp(w->path[0], w->path[1], 4 * t);
    else if (t <= 0.75f)
        lerp(w->path[1], w->path[2], 2 * (t - 0.25f));
    else
        lerp(w->path[2], w->path[3], 4 * (t - 0.75f));
}
// Placeholder: the drop points need no set-up yet.
int32_t MV2InitialiseDropPoints() {
    return 1;
}

// Placeholder: the mission level set-up runs an empty hook.
int32_t MV2InitialiseMissionLevel() {
    return 1;
}

// Placeholder: there are no script-event lists to empty.
void MV2ClearMissionNotify() {}

// Placeholder: the mining sites are not built; there is nothing to bind.
void MV2MiningLinkSiteObjects() {}

// Placeholder: no mission scripts run; nobody hears it.
intptr_t MV2NotifyObjectScript(MV2Object*, int32_t, intptr_t, intptr_t) {
    return 0;
}

// Placeholder: no special craft are built.
void MV2TriggerCraftSpecial(MV2Object*) {}

// Placeholder: there are no mining sites yet.
int32_t MV2MiningFindNearestSite(const TvV3d*, float* distance) {
    if (distance) *distance = 0.0f;
    return -1;
}

// Placeholder: there are no mining sites yet.
MV2Object* MV2MiningPickTargetPart(int32_t) {
    return nullptr;
}

// Placeholders: there are no mining sites or wait slots yet; no site accepts a craft.
int32_t MV2MiningDockCraft(MV2Object*, MV2Object*) { return 0; }
void MV2MiningStartLoading(MV2Object*) {}
void MV2MiningReleaseSite(MV2Object*) {}
MV2Object* MV2MiningClaimDamagedPart(int32_t, MV2Object*) { return nullptr; }
void MV2SetMissionSlotDone(int32_t) {}
