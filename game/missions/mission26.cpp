#include "game/missions/mission26.h"

#include <cstdint>
#include <initializer_list>

#include "engine/world/random.h"
#include "game/creatures/eel.h"
#include "game/effects/explosions.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"

MV2Mission26State gMV2Mission26 = {};

namespace {

constexpr int32_t kRow = 26;
constexpr uint32_t kCutScenes[11] = {0x410FFFF, 0x40EFFFF, 0x40FFFFF, 0x412FFFF, 0x413FFFF, 0x414FFFF,
                                     0x411FFFF, 0x40CFFFF, 0x418FFFF, 0x418FFFF, 0x417FFFF};
constexpr int32_t kCollapse = 256, kLights = 257, kLiftStep = 258, kEelScene = 259,
                  kPlayPending = 260, kRerun = 261, kHomeHint = 262, kLoadWatch = 263;
constexpr int32_t kGravelType = 343;
constexpr int32_t kHintMessage = 24;

// One-shot state that is not the tests' business.
struct Once {
    int32_t hint;
    int32_t messages[16]; // message ids already shown
    int32_t messageCount;
    int32_t finished;
    int32_t firstSwitch;
    int32_t record403;
    MV2ObjectHandle deferredHandle;
    MV2ObjectRef lights[4];
};
Once g_once = {};

MV2Object* Find(int32_t id) {
    return MV2FindObjectByScriptID(id);
}

void Send(int32_t id, int32_t message, intptr_t p1, intptr_t p2 = 0) {
    if (MV2Object* o = Find(id)) MV2ObjectSendMessage(o, message, p1, p2);
}

// To relay is to pass the state on with message 12, to switch is message 11.
void Relay(int32_t id, intptr_t state) {
    Send(id, 12, state);
}
void SwitchTo(int32_t id, intptr_t state, intptr_t p2 = 0) {
    Send(id, 11, state, p2);
}

bool ShownOnce(int32_t message) {
    for (int32_t i = 0; i < g_once.messageCount; i++)
        if (g_once.messages[i] == message) return true;
    if (g_once.messageCount < int32_t(sizeof g_once.messages / sizeof g_once.messages[0]))
        g_once.messages[g_once.messageCount++] = message;
    return false;
}

// Shows the messages one after another, each at most once in a run.
void ShowOnce(std::initializer_list<int32_t> messages) {
    int32_t at = -1;
    for (int32_t m : messages) {
        if (ShownOnce(m)) continue;
        at = at < 0 ? int32_t(MV2PlayMissionMessage(uint32_t(m))) : MV2MissionQueueMessage(kRow, uint32_t(m), at);
    }
}

void Hint() {
    if (g_once.hint) return;
    g_once.hint = 1;
    MV2PlayMissionMessage(kHintMessage);
}

// The first time a switch of the cut-scene table acts: true when its action waits for the
// re-run after the cut-scene. A switch acting while another's cut-scene is pending only marks
// its own as played.
bool DeferForCutScene(int32_t row, int32_t delay, MV2Object* sw, int32_t state) {
    MV2Mission26State& s = gMV2Mission26;
    if (s.played[row]) return false;
    s.played[row] = 1;
    if (!s.pendingCutScene) {
        s.deferredSwitch = sw;
        g_once.deferredHandle = sw->handle;
        s.deferredState = state;
        s.pendingCutScene = kCutScenes[row];
        MV2MissionSetTimer(kRow, kPlayPending, delay);
    }
    return true;
}

void CameraAt(int32_t id) {
    MV2SetCameraMode(2);
    if (MV2Object* o = Find(id)) MV2MoveCameraToObject(o);
}

struct RelayEntry {
    int32_t sw;
    int32_t targets[2];
};
constexpr RelayEntry kRelays[] = {
    {0x401000A, {0x4010006, 0}}, {0x401000B, {0x4010001, 0}}, {0x401000D, {0x4010004, 0}},
    {0x401001D, {0x4010039, 0}}, {0x401001E, {0x4010003, 0}}, {0x4010021, {0x4010020, 0}},
    {0x4010024, {0x401001F, 0}}, {0x4010026, {0x4010025, 0}}, {0x4010027, {0x4010028, 0}},
    {0x4010034, {0x401002B, 0}}, {0x4010035, {0x4010032, 0}}, {0x4010036, {0x401002F, 0}},
    {0x4010037, {0x4010030, 0}}, {0x401003B, {0x4010029, 0}}, {0x401003D, {0x401003A, 0}},
    {0x4060000, {0x4060005, 0x4060004}}, {0x4060001, {0x4060006, 0x4060007}},
};

// Every switch of the network, in the order they get the callback.
constexpr int32_t kSwitches[] = {
    0x4010002, 0x401000A, 0x401000B, 0x401000C, 0x401000D, 0x401000E, 0x4010010, 0x4010011,
    0x4010012, 0x4010013, 0x4010014, 0x4010015, 0x4010019, 0x401001A, 0x401001C, 0x401001D,
    0x401001E, 0x4010021, 0x4010023, 0x4010024, 0x4010026, 0x4010027, 0x401002A, 0x401002C,
    0x4010033, 0x4010034, 0x4010035, 0x4010036, 0x4010037, 0x4010038, 0x401003B, 0x401003C,
    0x401003D, 0x4060000, 0x4060001, 0x406000B, 0x406000C, 0x406000D, 0x406000E};

void MapArea(MV2Object* area, int32_t value) {
    if (!area || !value) return;
    if (area->scriptId == 0x4000002) MV2MapSelectTileSet(1);
    if (area->scriptId == 0x4000003) MV2MapSelectTileSet(0);
}

bool PlayerHasGravel() {
    intptr_t load = 0;
    MV2MissionToolCommand(MV2GetPlayerObject(), 5, 25, 0, &load);
    return load > 0;
}

void Finish() {
    Relay(0x401003E, 122);
    for (int32_t id = 0x4080000; id <= 0x4080003; id++) Relay(id, 1);
    Send(0x4080001, 34, 0, reinterpret_cast<intptr_t>(Find(0x408000C)));
    MV2MissionSetTimer(kRow, kCollapse, 1);
    MV2MissionSetTimer(kRow, kLights, 1);
    Relay(0x401003A, 0);
    Send(0x401003D, 63, 0);
    MV2SetLevelSwitch(25, 0);
    MV2MissionSetTimer(kRow, kLoadWatch, 20000);
    ShowOnce({26, 31});
}

void Collapse() {
    Send(0x4080001, 4, 0);
    MV2Object* centre = Find(0x408000E);
    if (centre && centre->matrix) {
        const TvV3d c = centre->matrix->pos;
        MV2PlaySoundAt(&c, 30.0f, 120, 0, 0, 0);
        MV2CreateExplosion(&c.x, 2.0f, 0.5f, nullptr, 6, 22);
        for (int32_t i = 0; i < 20; i++) {
            float at[3];
            at[0] = c.x + (float(TvRandom() & 7) - 3.5f) * 0.2857143f;
            at[2] = c.z + (float(TvRandom() & 7) - 3.5f) * 0.2857143f;
            at[1] = c.y + float(TvRandom() & 7) * 0.14285715f;
            if (MV2Object* gravel = MV2CreateObject(kGravelType, at, nullptr))
                MV2ObjectSendMessage(gravel, 0, 1, 0);
        }
    }
    for (int32_t id : {0x408000D, 0x408000C}) {
        MV2Object* mark = Find(id);
        if (!mark || !mark->matrix) continue;
        if (MV2Object* o = MV2CreateObject(342, &mark->matrix->pos.x, nullptr)) {
            MV2ObjectCopyFrame(o, mark);
            MV2ObjectMoved(o);
        }
    }
}

bool OnLevel(uint32_t level) {
    return (MV2GetCurrentLevelId() >> 24) == level;
}

void LiftStep() {
    MV2Mission26State& s = gMV2Mission26;
    if (!OnLevel(4)) return;
    const float height = s.liftBase + float(s.liftCounter) * s.liftStep;
    for (MV2ObjectRef& r : g_once.lights)
        if (MV2Object* o = MV2GetObjectRef(&r); o && o->matrix) {
            o->matrix->pos.y = height;
            MV2ObjectMoved(o);
        }
    s.liftCounter = (s.liftCounter + 1) % 12;
    MV2MissionSetTimer(kRow, kLiftStep, 40);
}

void Lights() {
    MV2Mission26State& s = gMV2Mission26;
    const int32_t ids[4] = {0x4080004, 0x4080008, 0x4080009, 0x408000A};
    MV2Object* base = Find(0x4080004);
    MV2Object* top = Find(0x4080005);
    s.liftBase = base && base->matrix ? base->matrix->pos.y : 0.0f;
    s.liftStep = top && top->matrix ? top->matrix->pos.y - s.liftBase : 0.0f;
    s.liftCounter = 0;
    for (int32_t i = 0; i < 4; i++) {
        g_once.lights[i] = {};
        MV2Object* mark = Find(ids[i]);
        if (!mark || !mark->matrix) continue;
        MV2Object* light = MV2CreateObject(69, &mark->matrix->pos.x, nullptr);
        if (!light) continue;
        MV2SetObjectRef(&g_once.lights[i], light);
        if (auto* d = static_cast<MV2LightObjectData*>(light->privateData)) {
            d->red = d->green = d->blue = 1.0f;
            d->radius = 8.0f;
            d->flags |= 1u << 11;
        }
        MV2ObjectSendMessage(light, 11, 1, 0);
    }
    LiftStep();
}

void Setup(int32_t message) {
    MV2Mission26State& s = gMV2Mission26;
    (void)message;
    MV2PlayCutScene(0x405FFFF, 0x4050001);
    MV2MissionBegin(kRow, 1);
    MV2SelectWallSet(11);
    MV2MapSetAvailable(0);
    s = {};
    g_once = {};
    const intptr_t callback = reinterpret_cast<intptr_t>(&MV2Mission26SwitchChanged);
    for (int32_t id : kSwitches) Send(id, 12, 0, callback);
    MV2Object* lift0 = Find(0x4060000);
    MV2Object* lift1 = Find(0x4060001);
    auto object = [](int32_t id) { return reinterpret_cast<intptr_t>(Find(id)); };
    Send(0x4060000, 33, 0, object(0x4060003));
    Send(0x4060000, 63, object(0x406000C), object(0x406000B));
    Send(0x4060001, 33, 1, object(0x4060002));
    Send(0x4060001, 63, object(0x406000D), object(0x406000E));
    for (int32_t id : {0x4010011, 0x4010010, 0x401000A, 0x401000B, 0x401000C, 0x401000D, 0x401001D,
                       0x401001E, 0x4010021, 0x401003D})
        SwitchTo(id, 0);
    Send(0x401000C, 24, 3400);
    if (lift0 && lift0->matrix) Send(0x4060008, 24, 0, reinterpret_cast<intptr_t>(&lift0->matrix->pos));
    if (lift1 && lift1->matrix) Send(0x4060009, 24, 0, reinterpret_cast<intptr_t>(&lift1->matrix->pos));
    const intptr_t area = reinterpret_cast<intptr_t>(&MapArea);
    Send(0x4000002, 12, 0, area);
    Send(0x4000003, 12, 0, area);
    Send(0x401003F, 12, 117);
    Send(0x4000004, 24, 1);
    Send(0x4000004, 12, 0);
    MV2MissionInstallNotify(kRow, 17);
    MV2MissionInstallNotify(kRow, 15);
    MV2SetEelBoltsPaused(0);
}

void OnEvent(intptr_t event, intptr_t value) {
    MV2Mission26State& s = gMV2Mission26;
    switch (event) {
    case 0:
        if (value != kGravelType) break;
        MV2MissionSetTimer(kRow, kHomeHint, 3000);
        MV2LockNearestTarget();
        MV2MissionRemoveNotify(kRow, 0);
        MV2MissionRemoveNotify(kRow, 1);
        MV2HudShowResultBanner(1);
        MV2AddMusicTrack(21, 0);
        MV2StartMusic();
        break;
    case 1:
        MV2MissionRemoveNotify(kRow, 0);
        MV2MissionRemoveNotify(kRow, 1);
        MV2HudShowResultBanner(0);
        break;
    case 7:
        s.enteredCity = 1;
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionRestart(27);
        break;
    case 15:
        if (s.levelChangeState == 0 && OnLevel(3)) {
            MV2MissionRemoveNotify(kRow, 17);
            Send(0x3000018, 24, 1);
            Send(0x3000018, 12, 0);
            MV2MapSetAvailable(1);
            MV2SetLevelGates(0xFFFFFF, 1);
            s.levelChangeState = 1;
        } else if (s.levelChangeState == 1 && OnLevel(0)) {
            if (PlayerHasGravel()) MV2PlayMissionMessage(1130);
            s.levelChangeState = 2;
            MV2MissionRemoveNotify(kRow, 15);
        }
        break;
    case 17:
        if (uint32_t(value) == 0x40BFFFF) {
            SwitchTo(0x401003E, 1);
            SwitchTo(0x401003F, 1);
            MV2SetEelBoltsPaused(0);
        } else if (uint32_t(value) == 0x40CFFFF) {
            SwitchTo(0x401003E, 0);
            SwitchTo(0x401003F, 0);
            MV2MissionSetTimer(kRow, kEelScene, 100);
            for (int32_t e : {7, 0, 1}) MV2MissionInstallNotify(kRow, e);
        } else if (uint32_t(value) == 0x410FFFF) {
            Send(0x401000C, 24, 3400);
        }
        break;
    default: break;
    }
}

} // namespace

void MV2Mission26SwitchChanged(MV2Object* sw, int32_t state) {
    MV2Mission26State& s = gMV2Mission26;
    if (!sw) return;
    const int32_t id = sw->scriptId;
    const bool on = state != 0;
    for (const RelayEntry& r : kRelays)
        if (r.sw == id) {
            for (int32_t t : r.targets)
                if (t) Relay(t, state);
            return;
        }
    switch (id) {
    case 0x4010002:
        if (!g_once.firstSwitch) {
            g_once.firstSwitch = 1;
            ShowOnce({25, 27});
            MV2MapSetAvailable(1);
        }
        Hint();
        break;
    case 0x401000C:
        if (on) DeferForCutScene(0, 500, sw, state);
        Relay(0x4010003, state); // this switch acts at once as well
        break;
    case 0x401000E:
        if (DeferForCutScene(1, 500, sw, state)) return;
        Relay(0x4010005, state);
        break;
    case 0x4010010:
    case 0x4010011: {
        const bool b = id == 0x4010010;
        int32_t& own = b ? s.flagB : s.flagA;
        const int32_t other = b ? s.flagA : s.flagB;
        if (DeferForCutScene(other ? 4 : 3, 500, sw, state)) return;
        if (!own) {
            own = 1;
            MV2SpawnLevelRecord(b ? 0x40AFFFF : 0x409FFFF, kRow);
            break;
        }
        SwitchTo(0x401001E, 1, state);
        SwitchTo(0x4010021, 1, state);
        if (s.flagA && s.flagB) {
            SwitchTo(0x401001D, 1, state);
            SwitchTo(0x401000B, 1, state);
        }
        break;
    }
    case 0x4010012:
        if (DeferForCutScene(2, 500, sw, state)) return;
        SwitchTo(0x401000C, 1);
        SwitchTo(0x401000D, 1);
        if (!g_once.record403) {
            g_once.record403 = 1;
            MV2SpawnLevelRecord(0x403FFFF, kRow);
        }
        break;
    case 0x4010013:
        if (state == 0) CameraAt(0x4000009);
        if (state == 1) Relay(0x4010007, 1);
        if (state == 2) MV2SetCameraMode(1);
        break;
    case 0x4010014:
        if (!on) break;
        if (DeferForCutScene(5, 1000, sw, state)) return;
        Relay(0x4010000, 1);
        ShowOnce({28});
        Hint();
        break;
    case 0x4010015:
        if (!on) break;
        Relay(0x4010008, 1);
        ShowOnce({29});
        Hint();
        break;
    case 0x4010019: SwitchTo(0x4010011, 1); break;
    case 0x401001A: SwitchTo(0x4010010, 1); break;
    case 0x401001C:
        if (!on) break;
        Relay(0x4010009, 1);
        ShowOnce({33});
        Hint();
        break;
    case 0x4010023:
        if (!on) break;
        if (DeferForCutScene(6, 1000, sw, state)) return;
        SwitchTo(0x401000A, 1);
        Hint();
        break;
    case 0x401002A:
        if (!on || g_once.finished) break;
        if (DeferForCutScene(7, 1000, sw, state)) return;
        g_once.finished = 1;
        Finish();
        Hint();
        break;
    case 0x401002C:
        SwitchTo(0x401003C, state);
        if (!on) {
            if (DeferForCutScene(9, 1000, sw, state)) return;
            s.played[9] = 0;
            SwitchTo(0x401003C, 0);
        } else {
            if (DeferForCutScene(8, 1000, sw, state)) return;
            ShowOnce({30});
            Hint();
        }
        break;
    case 0x4010033:
        if (state == 0) CameraAt(0x4000008);
        if (state == 1) {
            if (DeferForCutScene(10, 500, sw, state)) return;
            Relay(0x401002D, 1);
        }
        if (state == 2) MV2SetCameraMode(1);
        break;
    case 0x4010038:
        if (!on) break;
        Relay(0x4010031, 1);
        SwitchTo(0x401003D, 1);
        Hint();
        break;
    case 0x401003C:
        Relay(0x401002E, state);
        Relay(0x401002D, 0);
        s.played[9] = 1;
        break;
    case 0x406000B:
    case 0x406000C:
        SwitchTo(0x4060000, state);
        Send(id == 0x406000B ? 0x406000C : 0x406000B, 63, state);
        break;
    case 0x406000D:
    case 0x406000E:
        SwitchTo(0x4060001, state);
        Send(id == 0x406000D ? 0x406000E : 0x406000D, 63, state);
        break;
    default: break;
    }
}

int32_t MV2Mission26Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    MV2Mission26State& s = gMV2Mission26;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Setup(message); break;
    case kMV2ScriptBegin:
        MV2AddMusicTrack(3, 0);
        MV2AddMusicTrack(4, 0);
        MV2StartMusic();
        break;
    case kCollapse: Collapse(); break;
    case kLights: Lights(); break;
    case kLiftStep: LiftStep(); break;
    case kEelScene:
        Send(0x4000005, 12, 1);
        if (MV2PlayCutScene(0x40BFFFF, 0)) MV2SetEelBoltsPaused(1);
        break;
    case kPlayPending:
        MV2PlayCutScene(s.pendingCutScene, 0);
        if (!s.deferredSwitch)
            s.pendingCutScene = 0;
        else
            MV2MissionSetTimer(kRow, kRerun, 750);
        break;
    case kRerun: {
        MV2Object* sw = s.deferredSwitch;
        s.deferredSwitch = nullptr;
        if (sw && MV2ObjectHandleAlive(g_once.deferredHandle)) MV2Mission26SwitchChanged(sw, s.deferredState);
        s.pendingCutScene = 0;
        break;
    }
    case kHomeHint:
        if (!s.enteredCity) MV2PlayMissionMessage(917);
        break;
    case kLoadWatch:
        if (PlayerHasGravel()) {
            MV2PlayMissionMessage(32);
            SwitchTo(0x4000004, 1);
        } else {
            MV2MissionSetTimer(kRow, kLoadWatch, 20000);
        }
        break;
    case kMV2ScriptEvent: OnEvent(a, b); break;
    default: break;
    }
    return 1;
}
