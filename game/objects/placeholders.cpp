// Entry points of object-system modules not built yet, each doing the least its callers need.
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/collision.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectsounds.h"
#include "game/objects/sky.h"
#include "game/objects/water.h"
#include "game/objects/world.h"

static int32_t g_worldCaustics = 0;
static int32_t g_atomicCaustics = 0;

// Placeholder: there is no caustic renderer to install yet; the setting is only remembered.
void MV2SetWorldCaustics(int32_t on) {
    g_worldCaustics = on;
}

// Placeholder: there is no caustic renderer to install yet; the setting is only remembered.
void MV2SetAtomicCaustics(int32_t on) {
    g_atomicCaustics = on;
}

// Placeholder: the remembered world caustics setting.
int32_t MV2GetWorldCaustics() {
    return g_worldCaustics;
}

// Placeholder: the remembered atomic caustics setting.
int32_t MV2GetAtomicCaustics() {
    return g_atomicCaustics;
}

static int32_t g_cameraMode = 0;

// Placeholder: the camera mode is only remembered.
void MV2SetCameraMode(int32_t mode) {
    g_cameraMode = mode;
}

// Placeholder: the remembered camera mode.
int32_t MV2GetCameraMode() {
    return g_cameraMode;
}

// Placeholder: the camera module does not own the main camera yet; whoever makes it sets this.
TvCamera* MV2MainCamera = nullptr;

// Placeholder: the water module is not built; the surface lies at height 0 everywhere.
float MV2GetWaterHeight(const TvV3d*) {
    return 0.0f;
}

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

// Placeholder: there is no day clock yet.
void MV2ResetDayClock() {}

// Placeholder: there are no mission timers yet.
void MV2RecreateMissionTimers() {}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpAtomicCollDataPluginAttach() {
    return 1;
}

// Placeholder: the plug-in is not built; it attaches nothing and reports success.
int32_t TpAtomicDataPluginAttach() {
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


// Placeholder: there is no fog table to load; no file opens.
int32_t MV2LoadFog(const char*) {
    return 0;
}

// Placeholder: the water surface is not built; there is nothing to reset.
void MV2ResetWater() {}

// Placeholder: there is no sky model to free.
void MV2FreeSky() {}

// Placeholder: there is no sky to load.
void MV2LoadSky() {}

// Placeholder: the game camera is not built; the matrix is dropped.
void MV2SetCameraMatrix(const TvMatrix*) {}

// Placeholder: the game camera does not blend yet.
void MV2CancelCameraBlend() {}

// Placeholder: the per-level model set is not built; models load on demand at creation.
void MV2LoadLevelObjectModels(uint32_t) {}

// Placeholder: collision files are not read yet; no block.
void* MV2ReadCollisionFile(const char*, TpClump*) {
    return nullptr;
}
