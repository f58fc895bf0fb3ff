// Entry points of mission modules not built yet, each doing the least its callers need.
#include "game/missions/missions.h"
#include "game/objects/objects.h"

// Placeholder: the faded start is not built; the cut-scene starts without the fade.
void MV2PlayCutSceneFaded(uint32_t recordId, uint32_t objectId, uint32_t, uint32_t, uint32_t) {
    MV2PlayCutScene(recordId, objectId);
}

// Placeholder: the mothership docks are not built; there is none.
MV2Object* MV2GetMothershipDock(int32_t) {
    return nullptr;
}

// Placeholders: the scripts of these rows are not built yet; they answer 1 to every message.
#define MV2_PLACEHOLDER_SCRIPT(name) \
    int32_t name(MV2Object*, int32_t, intptr_t, intptr_t) { return 1; }
MV2_PLACEHOLDER_SCRIPT(MV2Mission6Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission7Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission8Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission30Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission31Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission32Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission33Script)
#undef MV2_PLACEHOLDER_SCRIPT
