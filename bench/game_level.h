// Header-only: the game started in-process on a freshly generated sample data folder, headless
// on the Direct3D stand-in at 640 x 480 and on the driven clock, as far as play in the first
// level, for the benchmarks of whole frames and level loads.
#pragma once

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/effects/primitives.h"
#include "framework/core/framework.h"
#include "game/missions/missionflow.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/enginestart.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/heapcount.h"
#include "shell/window.h"
#include "platform/win32/inputlog.h"
#include "tests/support/input_script.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class GameBench {
public:
    // The sample folder written and made the working folder, the engine and the display
    // started, the front end run by a key recording through the title and the menus to a new
    // campaign in the first level (its first mission's script kept quiet),
    // with the player's craft out of its dock (with `leaveDock` false, as the campaign start
    // leaves it: in the city's route, watched from the city's camera). False, with a line on
    // standard error, when a step fails.
    bool Start(bool leaveDock = true) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        char tmpl[] = "/tmp/marovant-bench-XXXXXX";
        if (!mkdtemp(tmpl)) return Fail("no temporary folder");
        dir_ = tmpl;
        std::error_code noFolder;
        home_ = std::filesystem::current_path(noFolder);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        const std::string data = dir_ + "/data";
        if (!SampleDataWrite(data) || chdir(data.c_str()) != 0)
            return Fail("the sample data folder could not be written");
        // The start-up pictures, the logo movies and the menus as far as a new campaign,
        // from a recording of the keys on its driven clock, as the replay tests play them.
        InputScript script;
        script.frames = 420;
        AddCampaignStartKeys(script);
        const std::vector<uint8_t> keys = WriteInputScript(script);
        if (!PlatformStartInputReplayFromMemory(keys.data(), keys.size()))
            return Fail("the key recording was not taken");
        // The first mission's opening would take the camera and the controls into the console:
        // its script is kept quiet, so that the view is the player's in free play.
        MV2SetMissionScriptForTest(1, [](MV2Object*, int32_t, intptr_t, intptr_t) { return 1; });
        quiet_ = true;
        // As the program's entry point does.
        gMV2Window.captureMode = 1;
        HWND window = MV2CreateMainWindow(nullptr, SW_SHOWNORMAL);
        auto* memory = const_cast<TvMemoryFunctions*>(MV2HeapLogMemoryFunctions());
        if (!window || !MV2EngineStart(window, memory)) return Fail("the engine did not start");
        engine_ = true;
        gMV2Window.running = 1;
        SetFocus(window);
        gMV2WatchFocus = 0;
        MV2ParseCommandLine("");
        if (!MV2OpenDisplay()) return Fail("the display did not open");
        display_ = true;
        gMV2GameState.sequence = -1;
        MV2PassResult where = MV2_PASS_FRONT_END;
        while (PlatformInputReplayEventsLeft() > 2 && !gMV2MainLoop.quit) {
            where = where == MV2_PASS_FRONT_END ? MV2FrontEndPass() : MV2InGamePass();
            if (where == MV2_PASS_IN_GAME && gMV2GameState.current != 14 &&
                gMV2GameState.current != 8)
                break;
        }
        // From here the bench drives the clock.
        const uint32_t now = timeGetTime();
        PlatformStopInputLog();
        PlatformUseManualClock(true, now);
        if (where != MV2_PASS_IN_GAME) return Fail("the campaign did not start");
        gMV2GameState.requested = 0;
        Passes(2);
        MV2Object* sub = MV2GetPlayerSub();
        if (gMV2GameState.current != 0 || !sub) return Fail("the first level is not in play");
        if (leaveDock) LeaveDock();
        return true;
    }

    // Out of the city's dock, under the player's brain, as the launch leaves it: the view from
    // the cockpit, the letterbox going.
    void LeaveDock() {
        MV2Object* sub = MV2GetPlayerSub();
        if (!sub) return;
        MV2ObjectSendMessage(sub, 31, 0, 0);
        MV2ObjectSendMessage(sub, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
        MV2ObjectSendMessage(sub, 0, 1, 0);
        MV2SetCameraMode(kMV2CameraCockpit);
        MV2SetLetterbox(2);
        Passes(30);
    }

    void Passes(int n) {
        for (int i = 0; i < n; ++i) {
            PlatformAdvanceClock(33);
            MV2InGamePass();
        }
    }

    // Objects of the world whose bounding sphere the main camera's view meets.
    static int32_t ObjectsInView() {
        int32_t n = 0;
        for (TpClump* c = MV2World ? MV2GetFirstWorldClump(MV2World) : nullptr; c;
             c = MV2GetNextWorldClump(MV2World, c)) {
            MV2Object* o = MV2GetClumpObject(c);
            TvFrame* root = o ? MV2GetRootFrame(c) : nullptr;
            if (!root) continue;
            const TvSphere s{TvFrameGetLTM(root)->pos, o->radius};
            if (TvCameraFrustumTestSphere(gMV2MainCamera, &s) != kTvSphereOutside) ++n;
        }
        return n;
    }

    // Turns the player's craft to the heading (of eight) that shows the most objects; then, when
    // fewer than `wanted` are in view, adds objects of the sample's shadowed prop type in rows in
    // front of the camera until there are. Prints what the view holds.
    bool BusiestView(int32_t wanted) {
        MV2Object* sub = MV2GetPlayerSub();
        if (!sub || !sub->matrix || !gMV2MainCamera) return Fail("no player's craft in view");
        int best = 0, most = -1;
        for (int h = 0; h < 8; ++h) {
            Heading(sub, h);
            Passes(15);
            const int32_t n = ObjectsInView();
            if (n > most) most = n, best = h;
        }
        Heading(sub, best);
        Passes(15);
        const int32_t found = ObjectsInView();
        int32_t added = 0;
        TvFrame* eye = gMV2MainCamera->object.frame;
        for (int i = 0; i < 400 && ObjectsInView() < wanted; ++i) {
            const TvMatrix* m = TvFrameGetLTM(eye);
            const float depth = 4.0f + float(i / 12) * 0.8f;
            const float across = (float(i % 4) - 1.5f) * 0.25f * depth;
            const float rise = (float(i / 4 % 3) - 1.0f) * 0.2f * depth;
            float at[3];
            for (int k = 0; k < 3; ++k)
                at[k] = (&m->pos.x)[k] + (&m->at.x)[k] * depth + (&m->right.x)[k] * across +
                        (&m->up.x)[k] * rise;
            MV2CurrentLevelWorld level; // the new object joins the level's world
            if (!MV2CreateObject(int32_t(kSampleShadowedType), at, nullptr)) break;
            ++added;
            if (i % 12 == 11) Passes(1);
        }
        Passes(30);
        const int32_t inView = ObjectsInView();
        int32_t active = 0, world = 0;
        for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
            ++active;
        for (TpClump* c = MV2GetFirstWorldClump(MV2World); c; c = MV2GetNextWorldClump(MV2World, c))
            world += MV2GetClumpObject(c) != nullptr;
        std::printf("view: heading %d of 8, %d objects in view of %d in the world, %d active (%d "
                    "found, %d props added)\n",
                    best, inView, world, active, found, added);
        return inView >= wanted ? true : Fail("fewer objects in view than wanted");
    }

    void Stop() {
        if (quiet_) MV2SetMissionScriptForTest(1, nullptr);
        if (display_) {
            MV2ShutdownGame();
            MV2ReleaseDisplay();
            VkUninitialise();
        }
        if (engine_) MV2EngineStop();
        PlatformUseManualClock(false);
        if (!dir_.empty()) {
            // Back to the folder the run started in before its data folder goes: later tests
            // of the same process work from there.
            std::error_code ignored;
            if (!home_.empty()) std::filesystem::current_path(home_, ignored);
            std::filesystem::remove_all(dir_, ignored);
        }
    }

private:
    static bool Fail(const char* what) {
        std::fprintf(stderr, "game bench: %s\n", what);
        return false;
    }
    // Heading h of eight around the vertical, level.
    static void Heading(MV2Object* o, int h) {
        const float a = float(h) * 0.7853982f;
        TvMatrix* m = o->matrix;
        m->at = {std::sin(a), 0.0f, std::cos(a)};
        m->up = {0.0f, 1.0f, 0.0f};
        m->right = {std::cos(a), 0.0f, -std::sin(a)};
        if (TvFrame* f = MV2GetRootFrame(o->clump)) TvFrameUpdateObjects(f);
    }

    std::string dir_;
    std::filesystem::path home_;
    bool engine_ = false, display_ = false, quiet_ = false;
};
