// Mission row 17: a race along a chain of checkpoints between the player and two computer
// craft. A commentary follows changes of the lead; the race ends when any racer reaches the
// finish. Three turning stones on the track must stand upright before the player passes them.
#include <initializer_list>

#include "engine/world/random.h"
#include "game/creatures/eel.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/mission17.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/sky.h"
#include "game/player/loadout.h"
#include "game/player/player.h"
#include "shell/cdaudio.h"
#include "shell/cursor.h"
#include "shell/gamestate.h"

const uint8_t kMV2RaceTrack[kMV2RaceTrackLength] = {
    0x00, 0x1C, 0x1D, 0x05, 0x1E, 0x1F, 0x20, 0x06, 0x08, 0x07, 0x26, 0x27, 0x28, 0x09, 0x29,
    0x2A, 0x2B, 0x2C, 0x0A, 0x2D, 0x2E, 0x2F, 0x0B, 0x30, 0x31, 0x32, 0x34, 0x33, 0x35, 0x36,
    0x01, 0x0C, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x0D, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x02, 0x0E,
    0x41, 0x42, 0x0F, 0x43, 0x44, 0x45, 0x10, 0x46, 0x47, 0x48, 0x49, 0x13, 0x64, 0x4A, 0x65,
    0x12, 0x66, 0x4B, 0x67, 0x11, 0x68, 0x4C, 0x69, 0x4D, 0x4E, 0x4F, 0x14, 0x50, 0x51, 0x52,
    0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x61,
    0x62, 0x63, 0x15, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75,
    0x76, 0x77, 0x78, 0x16, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x17, 0x7F, 0x80, 0x81, 0x82,
    0x83, 0x18, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90,
    0x91, 0x92, 0x04, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x03};

namespace {

constexpr int32_t kRow = 17;
constexpr int32_t kTrack = 0x250000;
constexpr uint32_t kStartCutScene = 0x26FFFF;
constexpr int32_t kFinalLead = 21;

// The side chain that joins the track at 08.
constexpr uint8_t kSideChain[] = {0x25, 0x21, 0x23, 0x22, 0x24, 0x08};

struct Mission17 {
    MV2ObjectRef player, rival, craftA; // the racers' current checkpoints
    int32_t lead;
    MV2ObjectHandler savedHandler;
    MV2Object* start;
    uint32_t stuckDeadline;
    int32_t commentary;
};
Mission17 g_m17;

MV2Object* Checkpoint(int32_t n) {
    return MV2FindObjectByScriptID(kTrack + n);
}

int32_t NumberOf(MV2Object* checkpoint) {
    return checkpoint ? checkpoint->scriptId - kTrack : -1;
}

// The checkpoint after this one: its own answer to message 34, else the track's order.
MV2Object* Next(MV2Object* checkpoint) {
    if (!checkpoint) return nullptr;
    MV2Object* next = nullptr;
    MV2ObjectSendMessage(checkpoint, 34, 0, reinterpret_cast<intptr_t>(&next));
    if (next) return next;
    const int32_t n = NumberOf(checkpoint);
    for (const auto* chain : {static_cast<const uint8_t*>(kSideChain), static_cast<const uint8_t*>(kMV2RaceTrack)}) {
        const size_t size = chain == kMV2RaceTrack ? sizeof kMV2RaceTrack : sizeof kSideChain;
        for (size_t i = 0; i + 1 < size; ++i)
            if (chain[i] == n) return Checkpoint(chain[i + 1]);
    }
    return nullptr;
}

int32_t LeadValue(MV2Object* checkpoint) {
    static const uint8_t kLeads[][2] = {
        {0x05, 1},  {0x06, 2},  {0x07, 3},  {0x09, 4},  {0x0A, 5},  {0x0B, 6},  {0x0C, 7},
        {0x0D, 8},  {0x0E, 9},  {0x0F, 10}, {0x10, 11}, {0x13, 12}, {0x12, 13}, {0x11, 14},
        {0x14, 15}, {0x15, 16}, {0x16, 17}, {0x17, 18}, {0x18, 19}, {0x04, 20}, {0x03, 21}};
    if (!checkpoint || MV2TypeOf(checkpoint) == 324) return 0;
    const int32_t n = NumberOf(checkpoint);
    for (const auto& l : kLeads)
        if (l[0] == n) return l[1];
    return 0;
}

void Highlight(MV2Object* checkpoint, int32_t how) {
    if (checkpoint) MV2ObjectSendMessage(checkpoint, 12, how, 0);
}

// The player's checkpoint moves on: skips passing marks, highlights what comes next.
void AdvancePlayer(MV2ObjectRef& ref) {
    MV2Object* old = MV2ScriptLive(ref);
    Highlight(old, 0);
    MV2Object* next = Next(old);
    while (next && MV2TypeOf(next) == 433)
        next = Next(next);
    MV2Object* shown = next && MV2TypeOf(next) == 324 ? Next(next) : next;
    Highlight(shown, 1);
    MV2ScriptKeep(ref, next);
    MV2HudSetObjective(shown);
}

// One racer's checkpoint step: 1 when it set a new lead.
int32_t Step(MV2Object* racer, MV2ObjectRef& ref) {
    Mission17& m = g_m17;
    MV2Object* checkpoint = MV2ScriptLive(ref);
    const uint32_t now = MV2GetGameTime();
    if (!racer || !checkpoint) return 0;
    const bool isA = racer == MV2GetMissionObjectA();
    if (MV2ScriptDistanceSquared(racer, checkpoint) >= 16.0f) {
        if (isA && int32_t(now - m.stuckDeadline) > 0) {
            m.stuckDeadline = now + 12000;
            MV2ScriptKeep(ref, Next(checkpoint));
            MV2SubAIOrderMoveDirectKinematic(racer, MV2ScriptLive(ref));
        }
        return 0;
    }
    const int32_t value = LeadValue(checkpoint);
    if (racer != MV2GetPlayerObject()) {
        switch (NumberOf(checkpoint)) {
        case 0x24: case 0x2D: case 0x36: case 0x40: case 0x7D: case 0x9B:
            MV2MissionToolCommand(racer, 12, 53, 0, nullptr);
            break;
        default: break;
        }
        MV2ScriptKeep(ref, Next(checkpoint));
        MV2SubAIOrderMoveDirect(racer, MV2ScriptLive(ref));
        if (isA) m.stuckDeadline = now + 12000;
    } else {
        AdvancePlayer(ref);
    }
    if (value > m.lead) {
        m.lead = value;
        return 1;
    }
    return 0;
}

// A stone stood upright: it passes when it is the player's checkpoint.
void StoneSettled(MV2Object* stone, int32_t) {
    Mission17& m = g_m17;
    const bool current = MV2RefIs(m.player, stone);
    stone->scriptId = kTrack + 0x08;
    if (!current) return;
    MV2Object* next = Next(stone);
    MV2ScriptKeep(m.player, next);
    MV2HudSetObjective(next);
}

// Holds the player on the start line until the countdown ends.
intptr_t HoldHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    Mission17& m = g_m17;
    if (message != 2) return m.savedHandler ? m.savedHandler(object, message, p1, p2) : 1;
    const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
    if (m.start && m.start->matrix && object->matrix) {
        MV2ObjectCopyFrame(object, m.start);
        object->matrix->pos = m.start->matrix->pos;
        if (object->body) object->body->velocity = {0, 0, 0};
        MV2ObjectMoved(object);
    }
    return result;
}

void SetUp() {
    Mission17& m = g_m17;
    MV2HudSetObjective(nullptr);
    MV2MissionBegin(kRow, 1);
    MV2PendingMission = 32;
    MV2MissionInstallNotify(kRow, 13);
    MV2ScriptDestroy(MV2GetMissionObjectA());
    MV2ScriptDestroy(MV2GetMissionObjectB());
    MV2SpawnLevelRecord(0x25FFFF, kRow);
    Highlight(Checkpoint(0x05), 1);
    Highlight(Checkpoint(0x03), 2);
    for (size_t i = 0; i + 1 < sizeof kMV2RaceTrack; ++i)
        if (MV2Object* c = Checkpoint(kMV2RaceTrack[i]))
            MV2ObjectSendMessage(c, 33, 0, reinterpret_cast<intptr_t>(Checkpoint(kMV2RaceTrack[i + 1])));
    for (size_t i = 0; i + 1 < sizeof kSideChain; ++i)
        if (MV2Object* c = Checkpoint(kSideChain[i]))
            MV2ObjectSendMessage(c, 33, 0, reinterpret_cast<intptr_t>(Checkpoint(kSideChain[i + 1])));
    for (int32_t n : {0x08, 0x01, 0x02})
        if (MV2Object* stone = Checkpoint(n))
            MV2ObjectSendMessage(stone, 12, 0, reinterpret_cast<intptr_t>(StoneSettled));
    m = {};
    MV2ScriptKeep(m.player, Checkpoint(0x05));
    MV2ScriptKeep(m.rival, Checkpoint(0x00));
    MV2ScriptKeep(m.craftA, Checkpoint(0x00));
    m.start = MV2FindObjectByScriptID(0x250019);
    MV2SelectWallSet(6);
}

MV2Object* CreateRacer(int32_t scriptId) {
    MV2Object* mark = MV2FindObjectByScriptID(scriptId);
    MV2Object* craft = MV2ScriptCreateAt(1, mark);
    if (!craft) return nullptr;
    MV2ObjectSendMessage(craft, 29, reinterpret_cast<intptr_t>(MV2SubAIBrain), 0);
    return craft;
}

void LineUp() {
    Mission17& m = g_m17;
    MV2SelectSub(1);
    MV2HudSetObjective(MV2ScriptLive(m.player));
    if (MV2Object* player = MV2GetPlayerObject(); player && m.start && m.start->matrix) {
        MV2ScriptTakeFrame(player, m.start);
        gMV2GameCamera.savedPlayer = *m.start->matrix;
        player->typeWord |= kMV2ObjectCollidesWorld;
    }
    MV2Object* a = CreateRacer(0x25001A);
    MV2Object* rival = CreateRacer(0x25001B);
    if (a) {
        MV2SetMissionObjectA(a);
        MV2SetMissionObjectAState(2);
        MV2SubAIOrderLevelOff(a);
        MV2ScriptTakeFrame(a, MV2FindObjectByScriptID(0x25001A));
    }
    if (rival) {
        MV2SetProtectedSub(rival);
        MV2SetProtectedSubFlag(2);
        MV2SubAIOrderLevelOff(rival);
        MV2ScriptTakeFrame(rival, MV2FindObjectByScriptID(0x25001B));
    }
    MV2PlayCutScene(kStartCutScene, 0);
    MV2ResetMouseCursor();
    for (uint32_t id = 1252; id <= 1257; ++id)
        MV2PlayMissionMessage(id);
    MV2MissionInstallNotify(kRow, 19);
    MV2MissionInstallNotify(kRow, 17);
}

MV2Object* Rival() {
    return MV2GetProtectedSub();
}

void Go() {
    Mission17& m = g_m17;
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->overrideHandler == HoldHandler) player->overrideHandler = m.savedHandler;
    m.stuckDeadline = MV2GetGameTime() + 12000;
    m.commentary = 4;
    MV2MissionSetTimer(kRow, 257, 250);
    MV2Object* racers[2] = {Rival(), MV2GetMissionObjectA()};
    MV2ObjectRef* checkpoints[2] = {&m.rival, &m.craftA};
    for (int32_t i = 0; i < 2; ++i) {
        MV2Object* racer = racers[i];
        if (!racer) continue;
        if (MV2SubAIData* ai = MV2GetSubAIData(racer)) ai->obstacle = {};
        MV2SubAIOrderMoveDirect(racer, MV2ScriptLive(*checkpoints[i]));
        MV2ObjectSendMessage(racer, 48, 12, 0);
    }
}

void Race() {
    Mission17& m = g_m17;
    MV2Object* rival = Rival();
    MV2Object* a = MV2GetMissionObjectA();
    int32_t leader = -1;
    if (Step(MV2GetPlayerObject(), m.player)) leader = 0;
    if (Step(rival, m.rival)) leader = 1;
    if (Step(a, m.craftA)) leader = 2;
    if (leader == 1) {
        const uint32_t r = uint32_t(TvRandom()) % 4;
        MV2PlayMissionMessage(r == 0 ? 1258 : r == 1 ? 1259 : 1260);
    } else if (leader == 2) {
        if (m.commentary == 2) MV2PlayMissionMessage(1261);
        if (m.commentary == 4 && rival) MV2PlayMissionMessage(1262);
        if (m.commentary == 7) MV2PlayMissionMessage(1263);
        m.commentary = (m.commentary + 1) % 8;
    }
    MV2MissionSetTimer(kRow, m.lead >= kFinalLead ? 258 : 257, 250);
}

void OnEvent(int32_t event, intptr_t argument) {
    Mission17& m = g_m17;
    switch (event) {
    case 13:
        MV2SelectSub(1);
        MV2SetTimeOfDay(2.0f);
        MV2MissionRemoveNotify(kRow, 13);
        MV2MissionInstallNotify(kRow, 8);
        break;
    case 8:
        if (MV2PendingMission) {
            MV2PendingMission = 0;
            MV2MissionInstallNotify(kRow, 4);
        }
        MV2AddMusicTrack(19, 1);
        MV2StartMusic();
        break;
    case 4:
        MV2MissionRemoveNotify(kRow, 4);
        LineUp();
        break;
    case 17:
        if (uint32_t(argument) != kStartCutScene) break;
        MV2MissionRemoveNotify(kRow, 17);
        if (MV2Object* player = MV2GetPlayerObject(); player && player->overrideHandler != HoldHandler) {
            m.savedHandler = player->overrideHandler;
            player->overrideHandler = HoldHandler;
        }
        break;
    case 19:
        if (argument != 1256) break;
        MV2MissionRemoveNotify(kRow, 19);
        MV2MissionSetTimer(kRow, 256, 0);
        break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission17Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    Mission17& m = g_m17;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: SetUp(); break;
    case kMV2ScriptEvent: OnEvent(int32_t(a), b); break;
    case 256: Go(); break;
    case 257: Race(); break;
    case 258: {
        if (MV2Object* a = MV2GetMissionObjectA()) MV2SubAIOrderLevelOff(a);
        const int32_t d = int32_t(MV2PlayMissionMessage(MV2ScriptLive(m.player) ? 1269 : 1266));
        MV2HudSetObjective(nullptr);
        MV2MissionSetTimer(kRow, 259, d + 100);
        MV2MissionRemoveNotify(kRow, 8);
        MV2FadeMusic(0.0f, 3.0f);
        break;
    }
    case 259: MV2MissionRestart(18); break;
    default: break;
    }
    return 1;
}
