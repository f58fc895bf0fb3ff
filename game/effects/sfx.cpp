#include "game/effects/sfx.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creatures.h"
#include "game/creatures/pirates.h"
#include "game/effects/bubbles.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/effects/explosions.h"
#include "game/effects/fireballs.h"
#include "game/effects/gravel.h"
#include "game/effects/primitives.h"
#include "game/effects/scorches.h"
#include "game/effects/shadows.h"
#include "game/effects/sparks.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/missions/orbstation.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/objectupdate.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/objects/waterfalls.h"
#include "game/player/player.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

#include <cstring>

TvTexture* gMV2Dirt1Texture = nullptr;
TvTexture* gMV2Dirt2Texture = nullptr;
TvTexture* gMV2Dirt3Texture = nullptr;
TvTexture* gMV2CoronaTexture = nullptr;
TvTexture* gMV2Silcor2Texture = nullptr;
TvTexture* gMV2BloodTexture = nullptr;
int32_t MV2EffectDetail = 3;

namespace {

int32_t g_ambientCount = 0;
// The type-135 objects seen in the pass now running, drawn at its end.
MV2Object* g_columns[kMV2DirtColumns];
int32_t g_columnCount = 0;

struct SharedTexture {
    TvTexture** texture;
    const char* name;
    const char* mask;
};
const SharedTexture kSharedTextures[] = {
    {&gMV2Dirt1Texture, "DIRT1", "DIRT1M"},     {&gMV2Dirt2Texture, "DIRT2", "DIRT2M"},
    {&gMV2Dirt3Texture, "DIRT3", "DIRT3M"},     {&gMV2CoronaTexture, "CORONA", "CORONAM"},
    {&gMV2Silcor2Texture, "SILCOR2", "SILCORM"}, {&gMV2BloodTexture, "BLOOD", "BLOODM"},
};

// The light object's glow as the corona queue reads it; its fade level is kept in the light's
// spare word between frames.
void QueueLightCorona(MV2Object* object) {
    auto* d = static_cast<MV2LightObjectData*>(object->privateData);
    if (!d || !object->clump || !object->clump->frame) return;
    MV2CoronaLight light = {d->red, d->green, d->blue, d->glowSize, 0.0f, d->flags};
    std::memcpy(&light.intensity, &d->spare, sizeof light.intensity);
    const TvV3d position = TvFrameGetLTM(object->clump->frame)->pos;
    MV2QueueCorona(&light, &position);
    std::memcpy(&d->spare, &light.intensity, sizeof d->spare);
}

} // namespace

int32_t MV2InitialiseSFX() {
    MV2SetObjectTypeHandler(kMV2ProcessType, MV2ProcessObjectHandler);
    MV2RegisterRegrowHandlers();
    MV2InitialiseEffectPrimitives();
    if (!MV2InitialiseTrails()) return 0;
    for (const SharedTexture& t : kSharedTextures) {
        if (!*t.texture) *t.texture = MV2ReadEffectTexture(t.name, t.mask);
        if (!*t.texture) return 0;
    }
    MV2InitialisePlasmaBeams();
    MV2InitialiseRipples();
    MV2InitialiseMTrails();
    MV2InitialiseBeams();
    MV2InitialiseElectricArcs();
    MV2InitialiseFlak();
    MV2InitialiseLavaBlobs();
    if (!MV2InitialiseWaterfalls()) return 0;
    return MV2InitialiseCurrentBuffers() > 0 ? 1 : 0;
}

void MV2ShutdownSFX() {
    MV2ShutdownTrails();
    MV2ShutdownRipples();
    MV2ShutdownPlasmaBeams();
    MV2ShutdownMTrails();
    MV2ShutdownFlak();
    for (const SharedTexture& t : kSharedTextures)
        MV2DestroyEffectTexture(*t.texture);
}

int32_t MV2RenderEffects(TvCamera* camera) {
    gMV2EffectCamera = camera;
    const bool main = camera == gMV2MainCamera;
    const int32_t mode = gMV2GameState.current;
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    if (main && mode != 9) {
        MV2DrawShadows();
        MV2DrawScorches();
    }
    intptr_t source = 0;
    TvRenderStateGet(kTvRenderStateSrcBlend, &source);
    TvRenderStateSet(kTvRenderStateSrcBlend, 2);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    const int32_t caustics = MV2GetAtomicCaustics();
    MV2SetAtomicCaustics(0);

    g_columnCount = 0;
    const int32_t seen = gMV2VisibleList.counter < kMV2VisibleObjects ? gMV2VisibleList.counter
                                                                      : kMV2VisibleObjects;
    for (int32_t i = 0; i < seen; i++) {
        const MV2VisibleObject& v = gMV2VisibleList.entries[i];
        if (!v.object || !MV2ObjectHandleAlive(v.handle)) continue;
        switch (v.object->typeWord & kMV2ObjectTypeMask) {
        case 294: MV2RenderCurrent(v.object); break;
        case 353:
        case 354: MV2DrawSporeGlow(v.object); break;
        case 292: MV2DrawPinGlow(v.object); break;
        case 69:
            if (MV2EffectDetail != 0) QueueLightCorona(v.object);
            break;
        case 135:
            if (g_columnCount < kMV2DirtColumns) g_columns[g_columnCount++] = v.object;
            break;
        default: break;
        }
    }
    MV2FlushCoronas();
    MV2DrawTrails();
    if (MV2EffectDetail > 1 && mode != 5 && mode != 6 && main) MV2DrawPlanktum();

    MV2DrawScarabDust();
    MV2DrawPlasmaBeams();
    MV2DrawBeams();
    MV2RenderElectricArcs();
    // The flickering orbs of the energy stations.
    if (gMV2OrbPool.liveStations > 0) MV2DrawStationOrbs(gMV2CoronaTexture);
    MV2DrawFlak();
    MV2DrawLavaBlobs();
    MV2RenderSky();
    MV2DrawExplosions(camera);
    MV2DrawSparks(camera);

    if (main) {
        MV2DrawBubbles();
        MV2DrawRipples(camera);
        MV2DrawMTrails(camera);
        MV2DrawFireballs();
        MV2DrawSmoke();
        MV2DrawTracers();
        MV2DrawSonicDistortions();
        MV2DrawGravel();
        if (MV2EffectDetail == 3) MV2DrawBloodClouds();
    }

    MV2RenderFireflies();
    MV2DrawLightShafts(camera);
    MV2DrawEffectHooks(camera);
    MV2SetAtomicCaustics(caustics);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
    TvRenderStateSet(kTvRenderStateFogEnable, 1);
    for (int32_t i = 0; i < g_columnCount; i++)
        MV2DrawDirtColumn(g_columns[i]);
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    return TvRenderStateSet(kTvRenderStateDestBlend, 6) ? 1 : 0;
}

void MV2UpdateEffects() {
    MV2UpdateFireballs();
    MV2UpdateSmoke();
    MV2UpdateTracers();
    MV2UpdatePlasmaBeams();
    MV2UpdateBeams();
    MV2UpdateElectricArcs();
    MV2UpdateFlak();
    MV2UpdateLavaBlobs();
    MV2UpdateMTrails();
    MV2UpdateExplosions();
    MV2UpdateSunMoonBeams(gMV2MainCamera);
    MV2UpdateEffectHooks(gMV2MainCamera);
    if (MV2Object* player = MV2GetPlayerObject())
        if (player->matrix && player->body) MV2UpdateAmbientSpawns(&player->matrix->pos, player->body);
    MV2UpdatePlanktum();
    MV2UpdateBubbles();
    MV2UpdateTrails();
}

void MV2ShutdownEffects() {
    MV2ShutdownSFX();
    MV2ShutdownBubbles();
    MV2ShutdownFireballs();
    MV2ShutdownExplosions();
    MV2ShutdownSparks();
    MV2ShutdownScorches();
    MV2ShutdownGravel();
    MV2ShutdownSmoke();
    MV2ShutdownSonicDistortions();
    MV2ShutdownSunRays();
    MV2ShutdownLavaBlobs();
    MV2ShutdownEffectHooks();
}

// ---- Ambient creatures ----

void MV2UpdateAmbientSpawns(const TvV3d* position, const MV2Body* body) {
    if (g_ambientCount >= MV2AmbientLimit(MV2GetCurrentLevelId()) || !position || !body) return;
    const float far = MV2EffectFar();
    const float reach = far + 5.0f;
    TvV3d direction = body->velocity;
    const float speed = TvV3dNormalize(&direction, &body->velocity);
    const TvV3d side = MV2EffectUnit(TvV3dCross(direction, {0.0f, 1.0f, 0.0f}));
    float a[3];
    const float p[3] = {position->x, position->y, position->z};
    const float d[3] = {direction.x, direction.y, direction.z};
    const float s[3] = {side.x, side.y, side.z};
    for (int32_t k = 0; k < 3; k++) {
        const float r = float(MV2EffectRandom() & 255);
        a[k] = p[k] + d[k] * reach + s[k] * far * (r / 255.0f - 0.5f);
    }
    if (int32_t(MV2EffectRandom() & 0x1FF) >= int32_t(speed * 1137.7778f)) return;
    TvV3d at = {a[0], a[1], a[2]};
    const TvV3d down = {at.x, -5000.0f, at.z};
    MV2TriangleHit hit = {};
    float fraction = 0.0f;
    if (!MV2IntersectWorldLine(MV2World, &at, &down, &hit, &fraction)) return;
    const float floor = at.y + (down.y - at.y) * fraction - 2.0f;
    at.y = at.y - far * 0.5f + far * float(MV2EffectRandom() & 255) / 255.0f;
    const float surface = MV2GetWaterHeight(&at) - 0.25f;
    if (surface < at.y)
        at.y = surface;
    else if (at.y < floor)
        at.y = floor;
    const int32_t type = MV2PickAmbientCreatureType(&at);
    if (type == 461) return;
    const float where[3] = {at.x, at.y, at.z};
    MV2Object* creature = MV2CreateObject(type, where, nullptr);
    if (!creature) return;
    creature->overrideHandler = MV2AmbientSpawnHandler;
    g_ambientCount++;
    MV2ObjectSendMessage(creature, 0, 1, 0);
}

intptr_t MV2AmbientSpawnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 2) {
        bool keep = MV2InViewUpdateFlag && gMV2MainCamera && object->matrix;
        if (keep) {
            const TvV3d d = TvV3dSub(object->matrix->pos, MV2CameraMatrix(gMV2MainCamera)->pos);
            const float limit = MV2EffectFar() * 1.4f;
            keep = TvV3dDot(d, d) <= limit * limit;
        }
        if (!keep) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
    } else if (message == 4) {
        if (g_ambientCount > 0) g_ambientCount--;
    }
    return object->typeHandler ? object->typeHandler(object, message, p1, p2) : 0;
}

int32_t MV2AmbientLimit(uint32_t levelId) {
    return (levelId >> 24) == 1 ? 8 : 10;
}

int32_t MV2ResetAmbientSpawns() {
    g_ambientCount = 0;
    return 1;
}

int32_t MV2GetRememberedColumns(MV2Object* const** out) {
    if (out) *out = g_columns;
    return g_columnCount;
}

int32_t MV2GetAmbientCount() {
    return g_ambientCount;
}
