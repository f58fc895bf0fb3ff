#include "shell/render.h"

#include "game/multiplayer/multiplayer.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "game/frontend/console.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/interfacescreens.h"
#include "game/frontend/missionmap.h"
#include "game/missions/cutscenes.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/frontend/interfacestate.h"
#include "game/missions/strips.h"
#include "game/player/player.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/lighting.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "engine/world/clump.h"
#include "engine/world/pvs.h"
#include "game/objects/caustics.h"
#include "game/objects/rocktunnel.h"
#include "game/objects/waterfalls.h"
#include "game/player/targetgroups.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/window.h"

#include <cmath>
#include <cstdio>

MV2RenderState gMV2Render = {0.0f, 0, 1.0f, 0};

namespace {

const TvV2d kGameWindow = {0.55f, 0.55f};

void Show() {
    if (gMV2MainCamera) {
        TvCameraShowRaster(gMV2MainCamera, MV2GetWindow(), 0);
        TvCameraSetViewWindow(gMV2MainCamera, &kGameWindow);
    }
    ++gMV2Render.frames;
}

// The background picture over the whole frame; false when no update could begin.
bool BeginPictureFrame() {
    TvCamera* camera = gMV2MainCamera;
    if (!camera || !MV2BeginWholeScreenUpdate(camera)) return false;
    TvRenderStateSet(16, 1);
    TvRenderStateSet(12, 1);
    TvRenderStateSet(16, 0);
    TvRenderStateSet(12, 0);
    TvRenderStateSet(4, 0);
    MV2DrawBackgroundRaster(gMV2StateMachine.background);
    return true;
}

void EndFrame(bool drawing) {
    if (drawing) TvCameraEndUpdate(gMV2MainCamera);
    Show();
}

void LoadingFrame(int32_t steps) {
    float& p = gMV2Render.progress;
    float old = p;
    p += float(steps) * 0.015625f;
    if (p >= 1.0f)
        p = 1.0f;
    else if (old < 0.0f)
        p = 0.0f;
    bool drawing = BeginPictureFrame();
    if (drawing) {
        TvRenderStateSet(1, 0);
        float sx = 1.0f, sy = 1.0f;
        MV2GetScreenScale(&sx, &sy);
        float x0 = 327.0f * sx, x1 = (327.0f + 214.0f * p) * sx;
        float y0 = 221.0f * sy, y1 = 236.0f * sy;
        TvIm2DVertex v[4] = {};
        const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i)
            v[i] = {xs[i], ys[i], 0.05f, 20.0f, 0xFF00FF00u, 0, 0, 0};
        uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        TvIm2DRenderIndexedPrimitive(kTvPrimitiveTriangleList, v, 4, indices, 6);
    }
    EndFrame(drawing);
}

void WarningOverlay() {
    if (gMV2Messages.showing) MV2DrawMessage();
}

// The queued coronas, drawn with render states 8 and 9 set to 2 for the call.
void DrawCoronas() {
    intptr_t source = 0, destination = 0;
    TvRenderStateGet(8, &source);
    TvRenderStateGet(9, &destination);
    TvRenderStateSet(8, 2);
    TvRenderStateSet(9, 2);
    MV2FlushCoronas();
    TvRenderStateSet(8, source);
    TvRenderStateSet(9, destination);
}

void RefreshCameraFrame(TvCamera* camera) {
    if (TvFrame* frame = camera->object.frame) TvFrameUpdateObjects(frame);
}

void RenderCurrentWorld() {
    if (TpWorld* world = TpWorldGetCurrent()) TpWorldRender(world);
}

// A 3-D frame: the scene light of the camera, cleared with its colour, which is the fog colour
// too; false when no update could begin.
bool BeginSceneFrame(TvCamera* camera) {
    RefreshCameraFrame(camera);
    TvRGBA clear = {};
    MV2ComputeSceneLight(camera, &clear);
    TvCameraClear(camera, &clear, 3);
    if (!TvCameraBeginUpdate(camera)) return false;
    MV2SetFogColour(&clear);
    return true;
}

// A clump drawn by the frame itself (the cockpit, the sky) rather than through the world: atomic
// caustics off and the object render flag cleared for it, both given back afterwards; the sky
// also leaves the depth buffer alone.
void RenderOwnClump(TpClump* clump, bool noDepthWrite) {
    if (noDepthWrite) TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    const int32_t caustics = MV2GetAtomicCaustics();
    MV2SetAtomicCaustics(0);
    MV2ClearAtomicRenderFlag();
    TpClumpRender(clump);
    MV2SetAtomicRenderFlag();
    MV2SetAtomicCaustics(caustics);
    if (noDepthWrite) TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
}

// How far the sights reach from the controlled object.
constexpr float kSightsRange = 50.0f;

// The nearest object along the controlled object's heading becomes the targeted object; an empty
// line keeps the target chosen before (on the map, say).
void TargetUnderSights(MV2Object* controlled) {
    if (!controlled || !controlled->matrix) return;
    const TvMatrix* m = controlled->matrix;
    if (MV2Object* hit = MV2FindObjectOnRay(&m->pos, kSightsRange, &m->at, nullptr, nullptr, 1))
        MV2SetTargetedObject(hit);
}

// The in-sub console's view: the docked scene with its effects and the overlays.
void ConsoleFrame() {
    bool drawing = BeginSceneFrame(gMV2MainCamera);
    if (drawing) {
        RenderCurrentWorld();
        TvRenderStateSet(10, 1);
        TvRenderStateSet(16, 0);
        TvRenderStateSet(16, 1);
        MV2RenderEffects(gMV2MainCamera);
        MV2RenderConsole();
        MV2MenuRender();
        MV2DrawMouseCursor();
        WarningOverlay();
        TvRenderStateSet(12, 1);
        TvRenderStateSet(12, 0);
        DrawCoronas();
    }
    EndFrame(drawing);
}

// The 2-D screens of modes 10 and 17 over a black frame.
void ScreenStatesOn() {
    TvRenderStateSet(16, 1);
    TvRenderStateSet(12, 1);
    TvRenderStateSet(4, 0);
    TvRenderStateSet(6, 0);
    TvRenderStateSet(10, 1);
    TvRenderStateSet(12, 0);
}

void ScreenStatesOff() {
    TvRenderStateSet(4, 1);
    TvRenderStateSet(6, 1);
    TvRenderStateSet(12, 1);
}

// The interface screens' frame: the camera looks at the whole screen for it and is given its
// matrix and view window back afterwards.
void InterfaceScreensFrame() {
    TvCamera* camera = gMV2MainCamera;
    TvFrame* frame = camera->object.frame;
    TvMatrix saved = frame ? *TvFrameGetMatrix(frame) : TvMatrix{};
    const TvV2d window = camera->viewWindow;
    MV2SetWholeScreenView(camera);
    TvRGBA black = {0, 0, 0, 0};
    TvCameraClear(camera, &black, 3);
    bool drawing = TvCameraBeginUpdate(camera) != nullptr;
    if (drawing) {
        ScreenStatesOn();
        if (TvRasterPushContext(TvCameraGetRaster(camera))) {
            TvRenderStateSet(5, 2);
            MV2RenderInterfaceScreens();
            MV2MenuRender();
            MV2DrawMouseCursor();
            WarningOverlay();
            TvRasterPopContext();
        }
        ScreenStatesOff();
    }
    EndFrame(drawing);
    if (frame) {
        *TvFrameGetMatrix(frame) = saved;
        TvFrameUpdateObjects(frame);
    }
    TvCameraSetViewWindow(camera, &window);
}

void SaveScreenFrame() {
    TvCamera* camera = gMV2MainCamera;
    TvRGBA black = {0, 0, 0, 0};
    TvCameraClear(camera, &black, 3);
    bool drawing = TvCameraBeginUpdate(camera) != nullptr;
    if (drawing) {
        ScreenStatesOn();
        WarningOverlay();
        ScreenStatesOff();
    }
    EndFrame(drawing);
}

} // namespace

float MV2SceneBrightness(float height, float floor, float surface, float dayLight) {
    // A level whose surface lies on its floor has no depth: full brightness.
    float depth = surface - floor;
    float b = depth != 0.0f ? (height - floor) / depth * dayLight : 1.0f;
    if (!(b >= 0.2f)) b = 0.2f; // NaN too
    if (b > 1.0f) b = 1.0f;
    return b;
}

MV2SceneLight MV2SceneLightColours(const MV2SceneLightInput& in, float previous) {
    MV2SceneLight out = {};
    float b = previous;
    auto part = [](float v) { return uint8_t(int32_t(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    const int32_t mode = in.mode;
    if (mode == 9) {
        out.clear = {31, 43, 31, 255};
        b = 0.0f;
    } else {
        if (mode == 6 || mode == 15) b = 1.0f;
        if ((mode == 1 || mode == 6 || mode == 15) && in.mainCamera) {
            out.clear = {0, 0, 0, 255};
        } else {
            // The fog follows the brightness of the frame before.
            float red = kMV2FogBase[0] * b, green = kMV2FogBase[1] * b, blue = kMV2FogBase[2] * b;
            b = MV2SceneBrightness(in.height, in.floor, in.surface, in.daylight);
            MV2ApplyLightingZone(&b, &red, &green, &blue);
            out.clear = {part(red), part(green), part(blue), 255};
        }
    }
    out.clear.red &= 0xF8;
    out.clear.green &= 0xFC;
    out.clear.blue &= 0xF8;
    out.brightness = b;
    const float a = kMV2AmbientBase * b;
    if (in.cockpitOf167) {
        out.ambient[0] = 0.0f;
        out.ambient[1] = a * 0.5764706f;
        out.ambient[2] = a * 0.8156863f;
    } else {
        out.ambient[0] = out.ambient[1] = out.ambient[2] = a;
    }
    out.light = kMV2LightBase * b;
    return out;
}

void MV2ComputeSceneLight(TvCamera* camera, TvRGBA* colour) {
    MV2SceneLightInput in = {};
    in.mode = gMV2GameState.current;
    in.mainCamera = camera && camera == gMV2MainCamera;
    TvFrame* frame = camera ? camera->object.frame : nullptr;
    TvV3d at = frame ? TvFrameGetLTM(frame)->pos : TvV3d{0.0f, 0.0f, 0.0f};
    in.height = at.y;
    in.floor = MV2GetDarknessDepth();
    in.surface = MV2GetWaterHeight(&at);
    in.daylight = MV2GetDaylight(); // refreshes the time-of-day light in every mode
    MV2Object* player = MV2GetPlayerObject();
    in.cockpitOf167 = player && (player->typeWord & kMV2ObjectTypeMask) == 167 &&
                      MV2GetCameraMode() == 1;
    MV2SceneLight light = MV2SceneLightColours(in, gMV2Render.brightness);
    gMV2Render.brightness = light.brightness;
    *colour = light.clear;
    MV2SetAmbientColour(light.ambient[0], light.ambient[1], light.ambient[2], 1.0f);
    if (gMV2DirectionalLight)
        TpLightSetColor(gMV2DirectionalLight, light.light, light.light, light.light, 1.0f);
}

void MV2SetFogColour(const TvRGBA* colour) {
    TvRenderStateSet(13, intptr_t(0xFF000000u | uint32_t(colour->red) << 16 |
                                  uint32_t(colour->green) << 8 | colour->blue));
}

void MV2RenderFrame(int32_t steps) {
    switch (gMV2GameState.sequence) {
    case 0: {
        bool drawing = BeginPictureFrame();
        if (drawing) WarningOverlay();
        EndFrame(drawing);
        return;
    }
    case 1:
    case 2:
    case 3:
    case 4: {
        static const char* const movies[4] = {"quendal", "halverno", "trevanex", "padi"};
        MV2PlayMovie(movies[gMV2GameState.sequence - 1]);
        return;
    }
    case 5: LoadingFrame(steps); return;
    case 6: {
        bool drawing = BeginPictureFrame();
        if (drawing) {
            if (!gMV2Messages.showing && gMV2StateMachine.passes % 60 < 30)
                MV2DrawTextIdWrapped(kMV2PromptTextId, 320, 370, -180, 30);
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 7: {
        bool drawing = BeginPictureFrame();
        if (drawing) {
            MV2RenderGameOver();
            MV2MenuRender();
            MV2DrawMouseCursor();
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 9: return;
    default:
        gMV2Render.phase = (gMV2Render.phase + int32_t(MV2GetFrameMilliseconds())) % 1000;
        MV2BroadcastToolCommand(nullptr, 74, 0, 0);
        MV2RenderWorld();
        return;
    }
}

void MV2RenderWorld() {
    TvCamera* camera = gMV2MainCamera;
    if (!camera) return;
    TpWorld* world = MV2World; // the update, which makes it current, has not begun
    if (world && gMV2Level.levelHasPVS && camera->object.frame)
        TpPVSSetViewPosition(world, &TvFrameGetLTM(camera->object.frame)->pos);
    MV2UpdateLetterbox();
    bool drawing = BeginSceneFrame(camera);
    bool pushed = drawing && TvRasterPushContext(TvCameraGetRaster(camera));
    if (drawing) {
        const int32_t mode = gMV2GameState.current;
        MV2Object* controlled = MV2GetPlayerObject();
        const bool cockpit = controlled && controlled->clump && MV2GetCameraMode() == 1;
        RenderCurrentWorld();
        DrawCoronas();
        if (controlled) {
            MV2DrawTargetIndicator();
            if (mode == 1) {
                RenderCurrentWorld();
                MV2RenderMap();
            }
        }
        if (cockpit) RenderOwnClump(controlled->clump, false);
        // The sky behind the landscape: drawn without depth writes, then the world again over it.
        TpClump* sky = MV2GetLevelSkyFlag() ? MV2GetSkyModel() : nullptr;
        if (sky) {
            RenderOwnClump(sky, true);
            RenderCurrentWorld();
        }
        if (mode == 15) MV2DrawRockTunnel();
        MV2DrawInkClouds(camera);
        MV2RenderEffectHooks(camera);
        MV2DrawWaterSurface();
        MV2RenderEffects(camera);
        MV2DrawStripSprites();
        if (mode == 15) MV2DrawTunnelClouds();
        MV2DrawSunMoonBeams(camera);
        MV2DrawSunRays();
        MV2DrawWaterfallSpray();
        DrawCoronas();
        MV2DrawScreenCracks();
        if (cockpit) RenderOwnClump(controlled->clump, false);
        if (gMV2GameState.menuDepth <= 0) {
            if (MV2HudBeginDraw(1))
                MV2DrawHudOverlay();
            else
                MV2HudEndDraw();
            TargetUnderSights(controlled);
            // The overlays of the player's current tool and weapon.
            MV2DrawCurrentTool();
            MV2DrawPlayerWeapon();
        }
        if (MV2IsLetterboxShown())
            MV2DrawLetterbox();
        else if (mode == 0)
            MV2RenderHud(controlled);
        MV2DrawScreenFade();
        MV2RenderGameOver();
        MV2MenuRender();
        // The network game's overlay: ticker, player list, name tags, the end-of-game table.
        if (gMV2GameType == 3 || gMV2GameType == 4) MV2NetDrawHud();
        MV2DrawMouseCursor();
        WarningOverlay();
    }
    if (pushed) TvRasterPopContext();
    EndFrame(drawing);
}

namespace {

constexpr int32_t kBriefingShownEvent = 13;

// Mode 11: the pending mission's briefing movie plays through, is remembered as shown, and the
// console comes back with the mission's scripts told (script event 13).
void BriefingFrame() {
    if (gMV2MainLoop.frontEnd || MV2PendingMission == 0) return;
    char name[24];
    std::snprintf(name, sizeof name, "brief%d", int(MV2PendingMission));
    MV2PlayMovie(name);
    MV2BriefedMission = MV2PendingMission;
    if (gMV2MissionFlow.pendingBegin) return;
    gMV2GameState.requested = 9;
    MV2NotifyScripts(nullptr, kBriefingShownEvent, 0);
}

} // namespace

void MV2RenderGameFrame() {
    gMV2Render.phase = (gMV2Render.phase + int32_t(MV2GetFrameMilliseconds())) % 1000;
    MV2BroadcastToolCommand(nullptr, 74, 0, 0);
    switch (gMV2GameState.current) {
    case 8:
    case 14: {
        if (!gMV2Messages.showing || !gMV2MainCamera) return;
        TvRGBA black = {0, 0, 0, 0};
        TvCameraClear(gMV2MainCamera, &black, 3);
        bool drawing = TvCameraBeginUpdate(gMV2MainCamera) != nullptr;
        if (drawing) {
            TvRenderStateSet(16, 1);
            TvRenderStateSet(12, 1);
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 9:
        if (gMV2MainCamera) ConsoleFrame();
        return;
    case 10:
        if (gMV2MainCamera) InterfaceScreensFrame();
        return;
    case 11: BriefingFrame(); return;
    case 17:
        if (gMV2MainCamera) SaveScreenFrame();
        return;
    default: MV2RenderWorld(); return;
    }
}
