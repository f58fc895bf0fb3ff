// Entry points of mission modules not built yet, each doing the least its callers need.
#include "game/missions/missions.h"

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
