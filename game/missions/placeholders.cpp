// Entry points of mission modules not built yet, each doing the least its callers need.
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "game/objects/waterfalls.h"

// Placeholder: the faded start is not built; the cut-scene starts without the fade.
void MV2PlayCutSceneFaded(uint32_t recordId, uint32_t objectId, uint32_t, uint32_t, uint32_t) {
    MV2PlayCutScene(recordId, objectId);
}

// Placeholder: script 41 is not built; its state reads as zeros.
void MV2GetScript41State(MV2Script41State* out) {
    *out = {};
}

// Placeholder: script 41 is not built; the state is dropped.
void MV2SetScript41State(const MV2Script41State*) {}

// Placeholder: the mothership docks are not built; there is none.
MV2Object* MV2GetMothershipDock(int32_t) {
    return nullptr;
}

// Placeholder: the missions' switch actions are not built; nothing happens.
void MV2RunLevelSwitchAction21To24(int32_t) {}

// Placeholder: there are no special moves to set up.
int32_t MV2InitialiseSpecialMoves() {
    return 1;
}

// Placeholder: no special craft are built.
void MV2TriggerCraftSpecial(MV2Object*) {}

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

// Placeholders: the scripts of these rows are not built yet; they answer 1 to every message.
#define MV2_PLACEHOLDER_SCRIPT(name) \
    int32_t name(MV2Object*, int32_t, intptr_t, intptr_t) { return 1; }
MV2_PLACEHOLDER_SCRIPT(MV2Mission1Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission2Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission3Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission4Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission5Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission6Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission7Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission8Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission9Script)
MV2_PLACEHOLDER_SCRIPT(MV2RescueMissionScript)
MV2_PLACEHOLDER_SCRIPT(MV2Mission11Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission12Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission13Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission14Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission15Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission16Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission17Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission18Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission19Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission20Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission21Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission22Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission26Script)
MV2_PLACEHOLDER_SCRIPT(MV2SporeAtkMissionScript)
MV2_PLACEHOLDER_SCRIPT(MV2Mission28Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission29Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission30Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission31Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission32Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission33Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission34Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission35Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission36Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission37Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission38Script)
MV2_PLACEHOLDER_SCRIPT(MV2Mission39Script)
MV2_PLACEHOLDER_SCRIPT(MV2GlobalScript41)
MV2_PLACEHOLDER_SCRIPT(MV2DayClockScript)
#undef MV2_PLACEHOLDER_SCRIPT

// Placeholder: the carrier object keeps its number in word 0 and its link in word 1.
intptr_t MV2DummyObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 12: object->words[0] = p1; return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = object->words[0];
        return 1;
    case 17:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(object->handle);
        return 1;
    case 27:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = object->words[1];
        return 1;
    case 28: object->words[1] = p2; return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

// Placeholders: the current and dirt-column objects are not built; nothing is drawn.
int32_t MV2InitialiseCurrentBuffers() {
    return 1;
}
void MV2RenderCurrent(MV2Object*) {}
void MV2DrawDirtColumn(MV2Object*) {}
void MV2DrawMissionFlicker() {}

// Placeholder: turret targeting is not built; the aim is left unchanged.
void MV2TurretTrackTarget(MV2Object*, MV2TurretTargetRecord*) {}

// Placeholder: script 41 is not built; the stray craft is never delivered.
int32_t MV2GetStrayCraftDelivered() {
    return 0;
}
