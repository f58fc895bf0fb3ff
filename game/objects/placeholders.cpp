// Entry points of object-system modules not built yet, each doing the least its callers need.
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/water.h"
#include "game/objects/world.h"

static uint8_t g_levelSwitches[kMV2LevelSwitchStateSize];

// Placeholder: the level switch state is kept here until the level module owns it.
void MV2GetLevelSwitchState(uint8_t* out) {
    for (size_t i = 0; i < kMV2LevelSwitchStateSize; i++)
        out[i] = g_levelSwitches[i];
}

// Placeholder: the level switch state is kept here until the level module owns it.
void MV2SetLevelSwitchState(const uint8_t* state) {
    for (size_t i = 0; i < kMV2LevelSwitchStateSize; i++)
        g_levelSwitches[i] = state[i];
}

// Placeholder: the level module does not load worlds yet.
TpWorld* MV2World = nullptr;

// Placeholder: the world record's depth reference is not read yet; it lies at height 0.
float MV2GetWorldDepthReference() {
    return 0.0f;
}

// Placeholder: objects carry no looped sounds yet; there is nothing to update.
int32_t MV2UpdateObjectSounds() {
    return 0;
}

// Placeholder: objects carry no looped sounds yet; there is nothing to release.
void MV2StopAllObjectSounds() {}
// Placeholder: there are no level records' objects.
void MV2DestroyLevelRecordObjects(uint32_t) {}

// Placeholder: there are no level records' objects.
void MV2RespawnLevelRecordObjects(uint32_t) {}

// Placeholder: level loading is not built; no level loads.
int32_t MV2LoadLevel(uint32_t, int32_t) {
    return 0;
}

// Placeholder: no level is loaded; id 0.
uint32_t MV2GetCurrentLevelId() {
    return 0;
}

// Placeholder: the level switches are only kept as bytes.
void MV2ClearLevelSwitches() {
    for (uint8_t& b : g_levelSwitches)
        b = 0;
}

// Placeholder: there are no mission timers yet.
void MV2RecreateMissionTimers() {}

// Placeholder: there is no player craft to move.
void MV2MovePlayerToStart(uint32_t) {}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpCustonLightPluginAttach() {
    return 1;
}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpAtomicCollDataPluginAttach() {
    return 1;
}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpAtomicDataPluginAttach() {
    return 1;
}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpFrameTagPluginAttach() {
    return 1;
}

// Placeholder: model files are not read yet; the type counts as loaded without a model.
int32_t MV2LoadObjectTypeModel(MV2ObjectType* type) {
    type->words[7] |= kMV2TypeModelLoaded;
    return 1;
}

// Placeholder: model files are not read yet.
TpClump* MV2ClumpLoad(const char*) {
    return nullptr;
}

// Placeholder: the per-frame object update is not built; the callback only marks object clumps.
TpClump* MV2UpdateClumpObject(TpClump* clump, void*) {
    return clump;
}

// Placeholder: the part-tag plug-in is not attached yet; every atomic has tag 0.
uint32_t MV2AtomicGetPartTag(const TpAtomic*) {
    return 0;
}

// Placeholder: the frame-tag plug-in is not attached yet; every frame has the initial tag.
uint32_t MV2FrameGetTag(const TvFrame*) {
    return kMV2DefaultFrameTag;
}

// Placeholder: no level is loaded; the name is empty.
const char* MV2GetLevelName() {
    return "";
}

// Placeholder: the level header's default minimum light level.
float MV2GetMinimumLightLevel() {
    return 0.2f;
}

// Placeholder: no level is loaded; the sky lies at height 0.
float MV2GetSkyHeight() {
    return 0.0f;
}

// Placeholder: no level is loaded; no sky.
int32_t MV2GetLevelSkyFlag() {
    return 0;
}

// Placeholder: no level is loaded; no caustics show.
float MV2GetCausticStrength() {
    return 0.0f;
}

// Placeholder: no level is loaded; the start lies at the origin.
const TvV3d* MV2GetStartPosition() {
    static const TvV3d origin{0.0f, 0.0f, 0.0f};
    return &origin;
}

// Placeholder: object sounds are not built; nothing plays.
int32_t MV2StartObjectSound(MV2Object*, int32_t, int32_t*, int32_t, int32_t) {
    return 0;
}

// Placeholder: object sounds are not built; the caller's variable is cleared.
void MV2StopObjectSound(MV2Object*, int32_t, int32_t* variable) {
    if (variable) *variable = 0;
}

// Placeholder: object sounds are not built; nothing plays.
int32_t MV2PlaySoundAt(const TvV3d*, float, int32_t, int32_t, int32_t, int32_t) {
    return 0;
}

// Placeholder: landscape contacts are not resolved yet; nothing is pushed.
int32_t MV2ResolveSphereWorldContact(float*, float, int32_t) {
    return 0;
}
