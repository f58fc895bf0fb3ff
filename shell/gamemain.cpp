#include "shell/gamemain.h"

#include "shell/statehash.h"

#include "engine/core/camera.h"
#include "engine/core/d3d/dds.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/resources.h"
#include "engine/core/texture.h"
#include "engine/world/random.h"
#include "framework/core/framework.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/heapcount.h"
#include "shell/pack.h"
#include "shell/render.h"
#include "shell/savegame.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "shell/voices.h"
#include "shell/window.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

TvCamera* gMV2MainCamera = nullptr;
TvCamera* gMV2SubCamera = nullptr;
MV2MainLoop gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
int32_t gMV2WatchFocus = 0;

namespace {

constexpr const char* kCaption = "Marovant Error !";
const TvV2d kGameWindow = {0.55f, 0.55f};

void Box(const char* text) {
    MessageBoxA(nullptr, text, kCaption, MB_OK);
}

void Option(const std::string& word) {
    struct Entry {
        const char* word;
        int32_t* flag;
        bool quiet;
    };
    const Entry table[] = {{"utalk", nullptr, true},
                           {"edit", &gMV2MainLoop.editing, true},
                           {"data", &gMV2MainLoop.dataRebuild, true},
                           {"mouse", nullptr, false},
                           {"keyboard", nullptr, false},
                           {"joystick", nullptr, false}};
    for (const Entry& e : table) {
        size_t n = std::strlen(e.word);
        if (n != word.size() || strncasecmp(e.word, word.c_str(), n) != 0) continue;
        if (e.flag) *e.flag = 1;
        if (!e.quiet) MV2DebugPrint("Unrecognised command line option\n");
        return;
    }
    MV2DebugPrint("Unrecognised command line option\n");
}

// The quit message was seen: the loops end and the game shuts down.
void NoteQuit() {
    if (!gMV2Window.quitSeen) return;
    gMV2MainLoop.quit = 1;
    gMV2MainLoop.returnToMenu = 1;
}

void ModeAndTimer() {
    if (gMV2GameState.current != gMV2GameState.requested) {
        MV2SetGameMode();
        gMV2GameState.current = gMV2GameState.requested;
        MV2UpdateFrameTimer(1);
    } else {
        MV2UpdateFrameTimer(0);
    }
}

void ShowSequence() {
    MV2ShowTitleScreen();
    gMV2StateMachine.passes = 0;
    gMV2GameState.sequence = gMV2GameStateCompanion.requestedSequence;
}

void HandleReturnToMenu() {
    MV2RequestModeAndSequence(8, 6);
    gMV2StateMachine.passes = 0;
    gMV2MainLoop.frontEnd = 1;
    gMV2MainLoop.returnToMenu = 0;
}

// Whether the window has lost the focus; never while focus is not watched.
bool FocusLost() {
    return gMV2WatchFocus && !(GetFocus() == MV2GetWindow() && MV2GetWindow() != nullptr);
}

void HelpPicture() {
    MV2Action& help = gMV2Controls.actions[kMV2ActionHelp];
    if (!help.active) return;
    help.active = 0;
    gMV2MainLoop.pictureShowing = 1;
    TvRaster* picture = MV2LoadScreenPicture("f1demo");
    if (picture) {
        MV2ResetSounds();
        while (!help.active && !gMV2Window.quitSeen) {
            MV2DrawScreenPicture(picture);
            MV2PumpMessages();
            MV2ProcessControls(gMV2GameState.current);
            if (PlatformIsHeadless()) Sleep(1);
        }
        TvRasterDestroy(picture);
    }
    if (gMV2MainCamera) TvCameraSetViewWindow(gMV2MainCamera, &kGameWindow);
    help.active = 0;
    gMV2MainLoop.pictureShowing = 0;
    NoteQuit();
}

} // namespace

void MV2ParseCommandLine(const char* commandLine) {
    if (!commandLine) return;
    MV2DebugPrint(commandLine);
    MV2DebugPrint("\n");
    std::string word;
    bool inWord = false, quoted = false;
    for (const char* p = commandLine;; ++p) {
        char c = *p;
        if (c == '\0' || ((c == ' ' || c == '\t') && !quoted)) {
            if (inWord) Option(word);
            inWord = false;
            word.clear();
            if (c == '\0') break;
        } else if (c == '-') {
            inWord = true;
            word.clear();
        } else if (c == '"') {
            quoted = !quoted;
        } else if (inWord) {
            word.push_back(c);
        }
    }
}

void MV2SetWholeScreenView(TvCamera* camera) {
    if (TvFrame* frame = camera->object.frame) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        *m = {};
        m->right.x = m->up.y = m->at.z = 1.0f;
        m->flags = 0x20003;
        TvV3d zero = {0, 0, 0};
        TvFrameTranslate(frame, &zero, 1);
    }
    const TvV2d whole = {1.0f, 1.0f};
    TvCameraSetViewWindow(camera, &whole);
}

bool MV2BeginWholeScreenUpdate(TvCamera* camera) {
    MV2SetWholeScreenView(camera);
    TvRGBA black = {0, 0, 0, 0};
    TvCameraClear(camera, &black, 3);
    return TvCameraBeginUpdate(camera) != nullptr;
}

TvRaster* MV2LoadScreenPicture(const char* name) {
    std::string saved = TvImageGetPath() ? TvImageGetPath() : "";
    TvImageSetPath(".\\texture\\");
    char file[96];
    std::snprintf(file, sizeof file, "%s.jpg", name);
    TvRaster* raster = TvRasterRead(file);
    if (!raster) {
        std::snprintf(file, sizeof file, "%s.bmp", name);
        raster = TvRasterRead(file);
    }
    TvImageSetPath(saved.c_str());
    return raster;
}

void MV2DrawScreenPicture(TvRaster* raster) {
    TvCamera* camera = gMV2MainCamera;
    if (!camera) return;
    if (MV2BeginWholeScreenUpdate(camera)) {
        MV2DrawBackgroundRaster(raster);
        TvCameraEndUpdate(camera);
    }
    TvCameraShowRaster(camera, MV2GetWindow(), 0);
}

TvTexture* MV2ReadTexture(const char* name, const char* maskName) {
    // Names are cut at their last "."; copies, so the caller's names stay as they were.
    char base[260] = "", mask[260] = "";
    if (name) std::snprintf(base, sizeof base, "%s", name);
    if (maskName) std::snprintf(mask, sizeof mask, "%s", maskName);
    if (char* dot = std::strrchr(base, '.')) *dot = 0;
    if (char* dot = std::strrchr(mask, '.')) *dot = 0;
    TvTextureSetReadCallBack(gMV2MainLoop.savedTextureRead);
    TvTexture* texture = TvTextureRead(base, maskName ? mask : nullptr);
    if (!texture) {
        char text[600];
        std::snprintf(text, sizeof text, "Could not locate %s and mask %s\n", base,
                      maskName ? mask : "(null)");
        MessageBoxA(nullptr, text, "Ohhh crikey !!!", MB_OK);
    }
    gMV2MainLoop.savedTextureRead = TvTextureGetReadCallBack();
    TvTextureSetReadCallBack(MV2ReadTexture);
    return texture;
}

namespace {
// Attaches the rasters and the frame and sets the view window and clip planes of a camera.
void SetUpCamera(TvCamera* camera, TvRaster* raster, TvRaster* depth, TvFrame* frame) {
    TvCameraSetRaster(camera, raster);
    TvCameraSetZRaster(camera, depth);
    TvCameraSetViewWindow(camera, &kGameWindow);
    TvCameraSetFrame(camera, frame);
    TvCameraSetNearClipPlane(camera, 0.1f);
    TvCameraSetFarClipPlane(camera, kMV2FarClipDistance);
}
} // namespace

TvCamera* MV2CreateMainCamera() {
    TvFrame* frame = TvFrameCreate();
    TvCamera* camera = TvCameraCreate();
    TvRaster* raster = MV2CreateCameraRaster(640, 480, 0);
    TvRaster* depth = TvRasterCreate(640, 480, 0, 1);
    if (!frame || !camera || !raster || !depth) {
        Box("Could not create camera");
        if (depth) TvRasterDestroy(depth);
        if (frame) TvFrameDestroy(frame);
        return nullptr;
    }
    SetUpCamera(camera, raster, depth, frame);
    return camera;
}

TvCamera* MV2CreateSubCamera() {
    TvCamera* main = gMV2MainCamera;
    TvRaster* mainRaster = main ? TvCameraGetRaster(main) : nullptr;
    TvRaster* mainDepth = main ? TvCameraGetZRaster(main) : nullptr;
    TvFrame* frame = TvFrameCreate();
    TvCamera* camera = TvCameraCreate();
    TvRaster* raster = TvRasterCreate(0, 0, 0, 130);
    TvRaster* depth = TvRasterCreate(0, 0, 0, 129);
    if (!mainRaster || !mainDepth || !frame || !camera || !raster || !depth) {
        Box("Could not create sub camera");
        return nullptr;
    }
    TvRect rect = {0, 0, mainRaster->width / 4, mainRaster->height / 4};
    TvRasterSubRaster(raster, mainRaster, &rect);
    TvRasterSubRaster(depth, mainDepth, &rect);
    SetUpCamera(camera, raster, depth, frame);
    return camera;
}

int32_t MV2OpenGameServices() {
    if (!MV2LoadSaveScreenText()) {
        Box("Could not load savegame info language file");
        return 0;
    }
    TvRandomSeed(uint32_t(std::time(nullptr)));
    MV2InitialiseControls();
    gMV2SubCamera = MV2CreateSubCamera();
    if (!gMV2SubCamera) {
        Box("Could not create sub camera");
        return 0;
    }
    if (!MV2ReadControlFile(kMV2ControlsFile) && !MV2WriteControlFile(kMV2ControlsFile)) {
        Box("Could not load/create controls");
        return 0;
    }
    MV2SetMovieRect();
    if (!MV2StartSounds(16, 0)) return 0;
    MV2InitialiseBriefingTexts();
    gMV2MainLoop.clumpPack = MV2MountPackFile(".\\clump.pak");
    gMV2Packs.clump = gMV2MainLoop.clumpPack;
    MV2InstallFileNameRecorder();
    return 1;
}

int32_t MV2OpenDisplay() {
    MV2RequestModeAndSequence(8, 0);
    if (VkInitialise(nullptr) < 0) return 0;
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    if (!registry) return 0;
    VkRegisterStandardComponents(registry);
    VkRegisterMediaComponents(registry);
    VkOpen();
    gMV2MainLoop.dxtSupported = TvD3DSupportsDXT();
    gMV2MainLoop.savedTextureRead = TvTextureGetReadCallBack();
    TvTextureSetReadCallBack(MV2ReadTexture);
    gMV2MainLoop.texturePack = MV2MountPackFile(".\\texture.pak");
    gMV2Packs.texture = gMV2MainLoop.texturePack;
    gMV2MainLoop.arena = TvMalloc(kMV2ArenaSize);
    // Without a block the arena keeps size 0, so its allocations fail cleanly.
    TvResourcesArenaMemory = gMV2MainLoop.arena;
    TvResourcesSetArenaSize(gMV2MainLoop.arena ? kMV2ArenaSize : 0);
    if (!gMV2MainLoop.arena) Box("Cannot allocate resource arena");
    TvTextureSetMipmapping(true);
    char path[64];
    std::snprintf(path, sizeof path, ".\\%s", "TEXTURE\\");
    TvImageSetPath(path);
    std::snprintf(path, sizeof path, ".\\%s", "ANIMS\\");
    MV2MovieSetFolder(path);
    if (!MV2FindDisplayRequestMode()) {
        Box("Could not find display mode");
        return 0;
    }
    gMV2MainCamera = MV2CreateMainCamera();
    if (!gMV2MainCamera) {
        Box("Could not create main camera");
        return 0;
    }
    if (!MV2OpenGameServices()) {
        Box("Could not init codec logo");
        return 0;
    }
    return 1;
}

MV2PassResult MV2FrontEndPass() {
    ModeAndTimer();
    if (gMV2GameState.sequence != gMV2GameStateCompanion.requestedSequence) ShowSequence();
    MV2PumpMessages();
    NoteQuit();
    MV2ProcessControls(gMV2GameState.current);
    MV2UpdateGameState();
    MV2RenderFrame(0);
    if (!gMV2MainLoop.frontEnd) {
        gMV2GameStateCompanion.requestedSequence = 9;
        ShowSequence();
    }
    if (FocusLost() && !gMV2Paused && gMV2GameInitialised) MV2RequestModeAndSequence(8, 7);
    if (gMV2MainLoop.frontEnd) {
        if (gMV2MainLoop.returnToMenu) HandleReturnToMenu();
        return gMV2MainLoop.quit ? MV2_PASS_CLOSING : MV2_PASS_FRONT_END;
    }
    return MV2_PASS_IN_GAME;
}

MV2PassResult MV2InGamePass() {
    if (gMV2MainLoop.returnToMenu) {
        HandleReturnToMenu();
        return gMV2MainLoop.quit ? MV2_PASS_CLOSING : MV2_PASS_FRONT_END;
    }
    ModeAndTimer();
    MV2PumpMessages();
    NoteQuit();
    MV2ProcessControls(gMV2GameState.current);
    HelpPicture();
    if (FocusLost() && !gMV2Paused) MV2MenuOpenTop();
    if (gMV2MainLoop.returnToMenu) {
        HandleReturnToMenu();
        return gMV2MainLoop.quit ? MV2_PASS_CLOSING : MV2_PASS_FRONT_END;
    }
    MV2UpdateGameFrame();
    MV2RenderGameFrame();
    MV2HeapLogFrame();
    if (gMV2MainLoop.frontEnd) return gMV2MainLoop.quit ? MV2_PASS_CLOSING : MV2_PASS_FRONT_END;
    return MV2_PASS_IN_GAME;
}

bool MV2ClosingPicturePass(TvRaster* picture, uint32_t endTime, uint32_t* key) {
    uint32_t now = timeGetTime();
    if (int32_t(now - endTime) >= 0 || *key || gMV2Window.quitSeen) return false;
    MV2DrawScreenPicture(picture);
    MV2PumpMessages();
    // A key in the last three seconds is not noted.
    if (int32_t(endTime - timeGetTime()) > 3000) *key = gMV2Window.lastKey;
    return *key == 0;
}

void MV2ClosingSequence() {
    MV2WriteStateHashIfAsked();
    MV2HeapLog("end");
    uint32_t endTime = timeGetTime() + 10000;
    MV2ResetSounds();
    gMV2Window.lastKey = 0;
    // Closing on a quit message shows no picture.
    TvRaster* picture = gMV2Window.quitSeen ? nullptr : MV2LoadScreenPicture("enddemo");
    if (picture) {
        uint32_t key = 0;
        while (MV2ClosingPicturePass(picture, endTime, &key))
            if (PlatformIsHeadless()) Sleep(1);
        TvRasterDestroy(picture);
    }
    MV2ShutdownGame();
    MV2ReleaseDisplay();
    VkUninitialise();
}

void MV2ReleaseDisplay() {
    MV2GameStateMachine& s = gMV2StateMachine;
    if (s.background) TvRasterDestroy(s.background);
    s.background = nullptr;
    // Sub-rasters go before the rasters they stand in.
    for (TvCamera** camera : {&gMV2SubCamera, &gMV2MainCamera}) {
        if (!*camera) continue;
        TvRaster* raster = TvCameraGetRaster(*camera);
        TvRaster* depth = TvCameraGetZRaster(*camera);
        TvFrame* frame = (*camera)->object.frame;
        TvCameraSetRaster(*camera, nullptr);
        TvCameraSetZRaster(*camera, nullptr);
        TvCameraSetFrame(*camera, nullptr);
        if (raster) TvRasterDestroy(raster);
        if (depth) TvRasterDestroy(depth);
        if (frame) TvFrameDestroy(frame);
        *camera = nullptr;
    }
    gMV2CameraRaster = nullptr;
}

int32_t MV2GameMain() {
    // Headless there is no focus to lose, so headless runs go on.
    gMV2WatchFocus = !PlatformIsHeadless();
    MV2ParseCommandLine(GetCommandLineA());
    if (!MV2OpenDisplay()) return 0;
    gMV2GameState.sequence = -1;
    if (!gMV2MainLoop.quit) {
        MV2PassResult where = MV2_PASS_FRONT_END;
        while (where != MV2_PASS_CLOSING) {
            where = where == MV2_PASS_FRONT_END ? MV2FrontEndPass() : MV2InGamePass();
            NoteQuit();
            if (gMV2MainLoop.quit && where == MV2_PASS_IN_GAME) where = MV2InGamePass();
        }
    }
    MV2ClosingSequence();
    return 0;
}
