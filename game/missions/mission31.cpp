// Mission row 31: the level-7 machine hall. The script binds the level's objects, answers their
// switches, writes the machines' settings into their records, moves the camera to fixed posts in
// narrow passages, takes the seven machine parts at the deposit and reassembles them, and runs
// the mummy's grab with the drag of its heart and the spinning wreck.
#include "game/missions/mission31.h"

#include <cmath>
#include <cstring>

#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/mummy.h"
#include "game/effects/explosions.h"
#include "game/effects/primitives.h"
#include "game/missions/industrial.h"
#include "game/missions/machinery.h"
#include "game/missions/machineryprops.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/missions/switches.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

namespace {

constexpr int32_t kRow = 31;
constexpr int32_t kObjects = 113;

constexpr uint32_t kTable[kObjects] = {
    0x07000001, 0x07000010, 0x07000013, 0x0700001C, 0x0700000F, 0x0700000E, 0x07000039, 0x07000012,
    0x07000022, 0x07000024, 0x0700000C, 0x0700000D, 0x07000011, 0x0700001D, 0x07000025, 0x07000047,
    0x0700003E, 0x0700001A, 0x0700001B, 0x07000020, 0x07000023, 0x0700003D, 0x07000032, 0x07000033,
    0x07000034, 0x07000035, 0x07000036, 0x07000037, 0x07000038, 0x0700003C, 0x0700003B, 0x0700002A,
    0x07000029, 0x07000028, 0x07000027, 0x07000026, 0x0700003F, 0x07000014, 0x07000015, 0x07000016,
    0x07000046, 0x0700006B, 0x0700006D, 0x07000040, 0x07000017, 0x07000009, 0x07000008, 0x07000064,
    0x07000079, 0x0700007A, 0x07000021, 0x0700001F, 0x0700007B, 0x0700004A, 0x0700003A, 0x07000041,
    0x07000042, 0x0700004B, 0x0700004D, 0x0700004E, 0x0700004F, 0x07000050, 0x07000051, 0x07000052,
    0x07000054, 0x07000053, 0x07000055, 0x07000056, 0x07000057, 0x07000058, 0x07000060, 0x07000061,
    0x07000076, 0x07000077, 0x07000078, 0x0700007C, 0x07000018, 0x0700005B, 0x0700005C, 0x0700009B,
    0x0700009C, 0x0700009D, 0x0700007E, 0x07000074, 0x07000075, 0x0700005A, 0x0700007D, 0x0700001E,
    0x0700007F, 0x0700009E, 0x0700009F, 0x070000A0, 0x070000AF, 0x07000089, 0x070000A2, 0x070000A1,
    0x0700000A, 0x07000019, 0x070000A3, 0x070000A4, 0x070000AA, 0x07000063, 0x0700004C, 0x07000059,
    0x070000A7, 0x070000A6, 0x070000A5, 0x07000048, 0x070000AE, 0x070000B1, 0x070000B0, 0x070000B2,
    0x070000B3,
};

constexpr int32_t TableIndex(uint32_t id) {
    for (int32_t i = 0; i < kObjects; ++i)
        if (kTable[i] == id) return i;
    return -1;
}

// The machines that switch 0x07000079 stops: table positions 54..81.
constexpr int32_t kMachinesFirst = 54, kMachinesLast = 81;
static_assert(TableIndex(0x0700003A) == kMachinesFirst && TableIndex(0x0700009D) == kMachinesLast);

constexpr int32_t kParts = 7;
constexpr int32_t kFirstPartType = 315;
constexpr uint32_t kPartIds[kParts] = {0x07000032, 0x07000033, 0x07000034, 0x07000035,
                                       0x07000036, 0x07000037, 0x07000038};
// Where the lever puts the reassembled parts, in part order.
constexpr uint32_t kPartPosts[kParts] = {0x0700003C, 0x0700003B, 0x0700002A, 0x07000029,
                                         0x07000028, 0x07000027, 0x07000026};

constexpr uint32_t kDeposit = 0x0700003D;
constexpr uint32_t kProximityTriggers[15] = {
    0x0700003D, 0x0700007E, 0x07000075, 0x0700007D, 0x0700009E, 0x0700009F, 0x070000A0, 0x070000AF,
    0x070000A2, 0x0700000A, 0x070000A3, 0x070000AA, 0x070000A7, 0x07000048, 0x070000B1};

constexpr uint32_t kBoss = 0x07030000;
constexpr uint32_t kWreck = 0x070F0001;
constexpr int32_t kReliefType = 77;
constexpr int32_t kMaxRelief = 10;
constexpr uint32_t kWindowEnd = 99999; // the end of the move window that holds a machine

struct Mission31 {
    uint32_t missionActive;
    uint32_t pendingCutScene;
    uint32_t depositReadyAtMs;
    uint32_t exitOpened;
    uint32_t gateReady;
    uint32_t grabTriggered;
    uint32_t leverPulled;
    int32_t reliefSpawned;
    uint32_t heldView;
    MV2ObjectRef wreck;
    uint32_t spinStopped;
    float spinAngle;
    uint32_t nextBlastMs;
    MV2Object* objects[kObjects];
    MV2ObjectHandle handles[kObjects];
};
Mission31 g_m31;

MV2RowTable Table() {
    return MV2RowTable{kTable, kObjects, g_m31.objects, g_m31.handles};
}

// The bound table object of the id while it lives.
MV2Object* Bound(uint32_t id) {
    return MV2RowTableObject(Table(), id);
}

// A bound object, or the level object of the id for the few the table does not hold.
MV2Object* Obj(uint32_t id) {
    if (TableIndex(id) >= 0) return Bound(id);
    return MV2RowFind(id);
}

void Send(uint32_t id, int32_t message, intptr_t p1, intptr_t p2 = 0) {
    if (MV2Object* o = Obj(id)) MV2ObjectSendMessage(o, message, p1, p2);
}

void Timer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

void AtomicFlags(MV2Object* o, uint8_t flags) {
    if (o && o->clump) MV2SetAllAtomicFlags(o->clump, flags);
}

// The private records the script writes, each only for the object type that owns it.
template <typename T> T* Record(MV2Object* o, MV2ObjectHandler handler) {
    return o && o->typeHandler == handler ? MV2SizedLevelData<T>(o) : nullptr;
}

// A gate's move window: start, end and rate.
void GateWindow(MV2Object* o, uint32_t start, uint32_t end) {
    if (MV2GateData* d = MV2GateRecord(o)) {
        d->start = start;
        d->end = end;
        d->rate = 0.0f;
    }
}

// A door's first part: start, end and start offset.
void DoorWindow(MV2Object* o, uint32_t start, uint32_t end) {
    if (MV2DoorPartRecord* d = MV2DoorPartRecords(o)) {
        d->start = start;
        d->end = end;
        d->startOffset = 0;
    }
}

void WheelTurn(MV2Object* o, float speed, float stopAngle) {
    if (auto* d = Record<MV2RotatorData>(o, MV2RotatorHandler)) {
        d->speed = speed;
        d->stopAngle = stopAngle;
    }
}

// Letterbox, cursor reset and handler 3, then the cut-scene whose end is handled next.
void CinematicCutScene(uint32_t id) {
    MV2SetLetterbox(1);
    MV2ResetMouseCursor();
    MV2MissionInstallNotify(kRow, 3);
    g_m31.pendingCutScene = id;
    MV2PlayCutScene(id, 0);
}

void SetResumeCutScene(uint32_t id) {
    g_m31.pendingCutScene = id;
    gMV2StateMachine.pendingCutScene = id;
    gMV2StateMachine.pendingCutSceneScript = 0;
}

// A new object of the type at the post with the post's axes.
MV2Object* CreateOnPost(int32_t type, uint32_t postId) {
    MV2Object* post = MV2RowFind(postId);
    if (!post) return nullptr;
    MV2Object* o = MV2ScriptCreateAt(type, post);
    MV2ScriptTakeFrame(o, post);
    return o;
}

void Start() {
    g_m31 = Mission31{};
    MV2MissionBegin(kRow, 1);
    MV2MissionInstallNotify(kRow, 17);
    MV2RowTable table = Table();
    MV2RowBindTable(table, MV2Mission31SwitchHit);
    g_m31.missionActive = 1;
    const intptr_t proximity = reinterpret_cast<intptr_t>(&MV2Mission31ProximityHit);
    for (uint32_t id : kProximityTriggers)
        Send(id, 12, 0, proximity);
    AtomicFlags(Obj(0x070000B2), 1);
    AtomicFlags(Obj(0x070000B3), 1);
    for (uint32_t id : kPartIds)
        MV2RowClumpInWorld(Obj(id), 0);
    Send(0x07000064, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission31GrabTrigger));
    Send(0x0700001A, 11, 1);
    Send(0x0700001B, 11, 1);
    MV2SetPusherAmplitude(Obj(0x0700001A), 10.0f);
    if (auto* d = Record<MV2PusherData>(Obj(0x0700001A), MV2PusherHandler)) d->speed = 0.14f;
    MV2SetPusherAmplitude(Obj(0x0700001B), 9.0f);
    for (int32_t i = 0; i < kParts; ++i) {
        AtomicFlags(Obj(kPartIds[i]), 5);
        if (MV2ObjectType* type = MV2GetObjectType(kFirstPartType + i))
            type->words[7] |= kMV2TypeCollidesObjects;
    }
    if (auto* d = Record<MV2SlidingMachineData>(Obj(0x07000001), MV2SlidingMachineHandler))
        d->range = 19.0f;
    Timer(257, 1000);
    AtomicFlags(Obj(0x07000079), 4);
}

void ShutDown() {
    if (!g_m31.missionActive) return;
    MV2MissionRemoveNotify(kRow, 3);
    Send(0x07000017, 12, 0, 0);
    Send(0x07000008, 12, 0, 0);
    if (MV2Object* boss = MV2RowFind(kBoss)) MV2ObjectSendMessage(boss, 12, 0, 0);
    g_m31.missionActive = 0;
}

void CutSceneEnded() {
    MV2SetCameraMode(1);
    switch (g_m31.pendingCutScene) {
    case 0x0707FFFF:
        MV2DestroyLevelRecordObjects(0x0707FFFF);
        MV2MissionRemoveNotify(kRow, 3);
        MV2SetMummyFight(1);
        MV2SetAltThrustControl(1, 0, 1);
        MV2PlayMusicTrack(16 + (TvRandom() & 1));
        break;
    case 0x0708FFFF:
        MV2DestroyLevelRecordObjects(0x0708FFFF);
        MV2ScriptDestroy(MV2GetMummyHeart());
        SetResumeCutScene(0x070FFFFF);
        MV2MissionInstallNotify(kRow, 16);
        break;
    case 0x070FFFFF:
        MV2DestroyLevelRecordObjects(0x070FFFFF);
        for (uint32_t id : kPartIds)
            MV2RowClumpInWorld(Obj(id), 1);
        SetResumeCutScene(0x0712FFFF);
        MV2MissionInstallNotify(kRow, 3);
        break;
    case 0x0712FFFF:
        MV2SetAltThrustControl(0, 0, 1);
        MV2StopMusicTrack();
        MV2MissionRemoveNotify(kRow, 3);
        break;
    case 0x0704FFFF: {
        if (MV2Object* o = CreateOnPost(382, 0x07040001)) {
            TvV3d lower = o->matrix->pos;
            lower.y -= 1.5f;
            MV2ScriptMoveTo(o, lower);
        }
        MV2Object* b0 = Obj(0x070000B0);
        AtomicFlags(b0, 5);
        if (const TvV3d* p = MV2ScriptPosition(MV2RowFind(0x07040002))) MV2ScriptMoveTo(b0, *p);
        MV2DestroyLevelRecordObjects(0x0704FFFF);
        Send(0x07000022, 12, 1);
        SetResumeCutScene(0x0705FFFF);
        break;
    }
    case 0x0705FFFF:
        MV2DestroyLevelRecordObjects(0x0705FFFF);
        MV2MissionRemoveNotify(kRow, 3);
        break;
    case 0x0706FFFF:
        CreateOnPost(381, 0x07060001);
        MV2DestroyLevelRecordObjects(0x0706FFFF);
        MV2MissionRemoveNotify(kRow, 3);
        break;
    default: break;
    }
}

void PathEvent(intptr_t b) {
    switch (b) {
    case 17:
        if (MV2Object* wreck = MV2RowFind(kWreck)) {
            MV2CreateExplosion(&wreck->matrix->pos.x, 4.0f, 0.0f, nullptr, 1, 0x9A);
            MV2RowClumpInWorld(wreck, 0);
        }
        MV2MissionRemoveNotify(kRow, 16);
        g_m31.spinStopped = 1;
        break;
    case 18:
        MV2SetMummyAwake(1);
        MV2MissionRemoveNotify(kRow, 16);
        break;
    case 42:
        if (const TvV3d* p = MV2ScriptPosition(MV2RowFind(0x07040001)))
            MV2PlaySoundAt(p, 10.0f, 165, 0, 1, 10000);
        MV2MissionRemoveNotify(kRow, 16);
        break;
    default: break;
    }
}

void ScriptEvent(intptr_t event, intptr_t b) {
    switch (event) {
    case 3: CutSceneEnded(); break;
    case 16: PathEvent(b); break;
    case 17:
        if (uint32_t(b) != 0x070AFFFF) break;
        MV2MissionRemoveNotify(kRow, 17);
        MV2RespawnScriptObject(0x070A0001);
        break;
    default: break;
    }
}

// The magnet's load decides the camera: the post view while it holds 0x07000020.
void HeldViewCheck() {
    if (!g_m31.missionActive) return;
    intptr_t held = 0;
    MV2MissionToolCommand(MV2RowPlayer(), 0, 34, 0, &held);
    MV2Object* heldObject = reinterpret_cast<MV2Object*>(held);
    if (heldObject && heldObject == Obj(0x07000020)) {
        g_m31.heldView = 1;
        MV2ScriptCameraToPost(Obj(0x070000A5));
    } else if (g_m31.heldView) {
        g_m31.heldView = 0;
        MV2SetCameraMode(1);
    }
    Timer(257, 1000);
}

// The door of 0x0700001D closes once the player has left it.
void DoorWatch() {
    if (!g_m31.missionActive || !MV2RowPlayer()) return;
    if (MV2RowPlayerDistanceSquared(Obj(0x0700001D)) < 9.0f) {
        Timer(258, 1000);
        return;
    }
    Timer(256, 2000);
}

// Every frame until the wreck stops: the heart is dragged to its post and the wreck spins and
// bursts.
void Drag() {
    if (!g_m31.missionActive || g_m31.spinStopped) return;
    MV2Object* heart = MV2GetMummyHeart();
    const TvV3d* goal = MV2ScriptPosition(Obj(0x070000AE));
    if (heart && heart->matrix && goal) {
        TvV3d v = TvV3dSub(*goal, heart->matrix->pos);
        const float length = std::sqrt(TvV3dDot(v, v));
        if (length > 0.1f) v = TvV3dScale(v, 0.1f / length);
        MV2ScriptMoveTo(heart, TvV3dAdd(heart->matrix->pos, v));
    }
    MV2Object* wreck = MV2ScriptLive(g_m31.wreck);
    if (wreck && wreck->matrix) {
        const TvV3d up{0.0f, 1.0f, 0.0f};
        MV2RotateMatrixInPlace(wreck->matrix, &up, g_m31.spinAngle, 0);
        MV2ObjectMoved(wreck);
        g_m31.spinAngle = std::fmod(g_m31.spinAngle + 5.0f * MV2FrameStep(), 360.0f);
        const uint32_t now = MV2RowNow();
        if (int32_t(now - g_m31.nextBlastMs) >= 0) {
            MV2CreateExplosion(&wreck->matrix->pos.x, 2.0f, 0.0f, nullptr, 16, 0x9A);
            g_m31.nextBlastMs = now + 100;
        }
    } else if (!g_m31.wreck.object) {
        MV2ScriptKeep(g_m31.wreck, MV2RowFind(kWreck));
    }
    Timer(259, 1);
}

void Grab() {
    Send(0x07000012, 12, 1);
    if (MV2Object* player = MV2RowPlayer()) {
        MV2SetCameraMode(0);
        MV2UpdateCamera(player);
    }
    CinematicCutScene(0x0708FFFF);
    gMV2Controls.actions[0].value = 0.0f;
    if (MV2Object* player = MV2RowPlayer())
        if (player->typeHandler) player->typeHandler(player, 64, 0, 0);
    MV2ResetSounds();
    Timer(259, 1);
}

// The lever: pulled, it lets the water in; at rest, it reassembles seven live parts.
void Lever(int32_t state) {
    if (g_m31.leverPulled) return;
    if (state) {
        MV2Object* valve = Obj(0x07000079);
        AtomicFlags(valve, 5);
        if (valve) {
            MV2ObjectSendMessage(valve, 11, 0, 0);
            const TvV3d push{1.0f, 0.0f, 0.0f};
            MV2AddForce(valve, &push);
        }
        g_m31.leverPulled = 1;
        return;
    }
    MV2Object* parts[kParts];
    for (int32_t i = 0; i < kParts; ++i)
        if (!(parts[i] = Obj(kPartIds[i]))) return;
    for (int32_t i = 0; i < kParts; ++i)
        if (const TvV3d* p = MV2ScriptPosition(Obj(kPartPosts[i]))) MV2ScriptMoveTo(parts[i], *p);
    if (g_m31.reliefSpawned < kMaxRelief) {
        MV2ScriptCreateAt(kReliefType, Obj(0x0700006B));
        MV2ScriptCreateAt(kReliefType, Obj(0x0700006D));
        g_m31.reliefSpawned += 2;
    }
}

// Switch 0x07000079: the water rises, the machines stop and the proximity triggers go.
void FloodHall() {
    Send(0x07000079, 12, 0, 0);
    if (const TvV3d* p = MV2ScriptPosition(MV2RowFind(0x07000062))) MV2SetWaterTargetHeight(p->y);
    for (int32_t i = kMachinesFirst; i <= kMachinesLast; ++i)
        GateWindow(Bound(kTable[i]), 0, kWindowEnd);
    MV2SpawnLevelRecord(0x070EFFFF, kRow);
    for (uint32_t id : kProximityTriggers)
        MV2ScriptDestroy(Obj(id));
    const int32_t deposit = TableIndex(kDeposit);
    g_m31.objects[deposit] = nullptr;
    g_m31.handles[deposit] = 0;
}

// The deposit takes the first machine part the suck-up holds, one every 2000 ms.
void Deposit() {
    const uint32_t now = MV2RowNow();
    if (int32_t(now - g_m31.depositReadyAtMs) < 0) return;
    MV2Object* player = MV2RowPlayer();
    intptr_t count = 0;
    if (!MV2MissionToolCommand(player, 5, 37, 0, &count) || count <= 0) return;
    for (int32_t item = 0; item < 40; ++item) {
        intptr_t type = 0;
        if (!MV2MissionToolCommand(player, 5, 13, item, &type)) return;
        const int32_t part = int32_t(type) - kFirstPartType;
        if (part < 0 || part >= kParts) continue;
        MV2Object* made = MV2ScriptCreateAt(int32_t(type), Obj(0x0700003F));
        // Without the new part the item stays in the tool, so the part is not lost.
        if (!made) return;
        const int32_t entry = TableIndex(kPartIds[part]);
        g_m31.objects[entry] = made;
        g_m31.handles[entry] = made->handle;
        MV2PlaySoundAt(&player->matrix->pos, 1.0f, 4, 0, 0, 1000);
        MV2MissionToolCommand(player, 5, 33, item, nullptr);
        g_m31.depositReadyAtMs = now + 2000;
        return;
    }
}

enum class Camera { Behind, Near, Always };

struct CameraTrigger {
    uint32_t id;
    Camera test;
    uint32_t post;
};

constexpr CameraTrigger kCameraTriggers[] = {
    {0x0700000A, Camera::Behind, 0x0700005A}, {0x07000075, Camera::Behind, 0x0700005A},
    {0x0700007D, Camera::Behind, 0x0700005A}, {0x07000048, Camera::Behind, 0x07000063},
    {0x070000AA, Camera::Behind, 0x07000063}, {0x0700007E, Camera::Always, 0},
    {0x0700009E, Camera::Behind, 0x07000089}, {0x0700009F, Camera::Behind, 0x07000089},
    {0x070000A0, Camera::Behind, 0x07000089}, {0x070000AF, Camera::Behind, 0x07000089},
    {0x070000A2, Camera::Near, 0x070000A1},   {0x070000A3, Camera::Near, 0x070000A4},
    {0x070000A7, Camera::Near, 0x070000A6},
};

} // namespace

void MV2Mission31SwitchHit(MV2Object* object, int32_t state) {
    if (!g_m31.missionActive || !object) return;
    switch (uint32_t(object->scriptId)) {
    case 0x07000008:
        if (g_m31.exitOpened) return;
        g_m31.exitOpened = 1;
        if (g_m31.gateReady) Send(0x07000039, 12, 1);
        CinematicCutScene(0x0706FFFF);
        break;
    case 0x0700000C:
        Timer(260, 1000);
        MV2PlayCutScene(0x0713FFFF, 0);
        break;
    case 0x0700000D:
        Send(0x0700000F, 12, 1);
        Send(0x0700000E, 12, 1);
        break;
    case 0x07000011: Send(0x07000010, 12, 1); break;
    case 0x07000014:
    case 0x07000015:
    case 0x07000016: {
        int32_t left = 0;
        for (uint32_t id : {0x07000014u, 0x07000015u, 0x07000016u})
            left += id != uint32_t(object->scriptId) && Obj(id);
        if (left == 0) MV2SetPusherAmplitude(Obj(0x0700001A), 22.0f);
        break;
    }
    case 0x07000017: {
        MV2ScriptDestroy(Obj(0x07000009));
        MV2Object* player = MV2RowPlayer();
        const TvV3d* safe = MV2ScriptPosition(Obj(0x0700007F));
        if (player && safe && MV2RowPlayerDistanceSquared(Obj(0x0700001E)) < 16.0f) {
            MV2ScriptMoveTo(player, *safe);
            gMV2Level.startPosition = *safe;
        }
        MV2SetLetterbox(1);
        MV2ResetMouseCursor();
        MV2MissionInstallNotify(kRow, 3);
        AtomicFlags(Obj(0x070000B0), 0);
        g_m31.pendingCutScene = 0x0704FFFF;
        MV2MissionInstallNotify(kRow, 16);
        MV2PlayCutScene(0x0704FFFF, 0);
        break;
    }
    case 0x07000019:
        for (uint32_t id : {0x0700004Cu, 0x07000059u})
            DoorWindow(Obj(id), 0, kWindowEnd);
        g_m31.pendingCutScene = 0x070BFFFF;
        MV2PlayCutScene(0x070BFFFF, 0);
        break;
    case 0x0700001D:
        Send(0x0700001C, 12, 1);
        Timer(258, 500);
        break;
    case 0x07000020:
        WheelTurn(Obj(0x0700001F), 1.0f, 90.0f);
        MV2ScriptDestroy(Obj(0x070000B3));
        break;
    case 0x07000023:
        Send(0x07000024, 12, 1);
        g_m31.pendingCutScene = 0x0709FFFF;
        MV2PlayCutScene(0x0709FFFF, 0);
        break;
    case 0x07000025: Send(0x07000001, 12, 1); break;
    case 0x0700003E: Lever(state); break;
    case 0x07000046: Send(0x07000013, 12, 1); break;
    case 0x07000047:
        g_m31.gateReady = 1;
        if (g_m31.exitOpened) Send(0x07000039, 12, 1);
        break;
    case 0x07000079: FloodHall(); break;
    case 0x0700007A:
        WheelTurn(Obj(0x07000021), 1.0f, 90.0f);
        MV2ScriptDestroy(Obj(0x070000B2));
        break;
    case 0x0700007B: {
        Send(0x0700004A, 12, 1);
        GateWindow(Obj(0x07000076), 0, kWindowEnd);
        GateWindow(Obj(0x0700003A), kWindowEnd, 0);
        g_m31.pendingCutScene = 0x070DFFFF;
        MV2PlayCutScene(0x070DFFFF, 0);
        break;
    }
    case kBoss: Timer(261, 1); break;
    default: break;
    }
}

void MV2Mission31ProximityHit(MV2Object* trigger, MV2Object* other) {
    if (!g_m31.missionActive || !trigger || !trigger->matrix) return;
    MV2Object* player = MV2RowPlayer();
    if (!player || other != player || !player->matrix || gMV2GameState.current == 12) return;
    const uint32_t id = uint32_t(trigger->scriptId);
    if (id < 0x0700000A || id > 0x070000B1) return;
    if (id == kDeposit) {
        Deposit();
        return;
    }
    const TvV3d toTrigger = TvV3dSub(trigger->matrix->pos, player->matrix->pos);
    const float dot = TvV3dDot(trigger->matrix->at, toTrigger);
    if (id == 0x070000B1) {
        if (dot < 0.0f) {
            MV2ScriptDestroy(trigger);
            MV2PlayCutScene(0x0710FFFF, 0);
        }
        return;
    }
    for (const CameraTrigger& t : kCameraTriggers) {
        if (t.id != id) continue;
        bool passed = false;
        uint32_t post = t.post;
        switch (t.test) {
        case Camera::Behind: passed = dot < 0.0f; break;
        case Camera::Always:
            passed = true;
            post = dot >= 0.0f ? 0x07000089 : 0x07000074;
            break;
        case Camera::Near: {
            const float half = 0.5f * trigger->radius;
            passed = TvV3dDot(toTrigger, toTrigger) < half * half;
            break;
        }
        }
        if (passed) MV2ScriptCameraToPost(Obj(post));
        else MV2SetCameraMode(1);
        return;
    }
}

void MV2Mission31GrabTrigger(MV2Object* trigger, MV2Object* other) {
    if (!g_m31.missionActive || g_m31.grabTriggered || !other || other != MV2RowPlayer()) return;
    g_m31.grabTriggered = 1;
    Send(0x07000013, 12, 0);
    MV2ScriptDestroy(Obj(0x07000046));
    MV2SpawnLevelRecord(0x0703FFFF, kRow);
    if (MV2Object* boss = MV2RowFind(kBoss)) {
        MV2ObjectSendMessage(boss, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission31SwitchHit));
        if (MV2Object* lock = MV2RowFind(0x0700006F)) {
            TvV3d point = lock->matrix->pos;
            MV2ObjectSendMessage(boss, 24, 0, reinterpret_cast<intptr_t>(&point));
        }
    }
    MV2SetCameraMode(0);
    MV2UpdateCamera(other);
    CinematicCutScene(0x0707FFFF);
    MV2MissionInstallNotify(kRow, 16);
    MV2RowClumpInWorld(trigger, 0);
}

int32_t MV2Mission31Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
        MV2PlayCutScene(0x070AFFFF, 0x070A0002);
        Start();
        break;
    case kMV2ScriptRestart: Start(); break;
    case kMV2ScriptBegin: {
        static const int32_t kTracks[3] = {1, 2, 5};
        MV2RowMusic(1, kTracks, 3);
        break;
    }
    case kMV2ScriptShutdown: ShutDown(); break;
    case kMV2ScriptEvent: ScriptEvent(a, b); break;
    case 256:
        if (Obj(0x0700001D)) {
            Send(0x0700001D, 11, 0);
            Send(0x0700001C, 12, 0);
        }
        break;
    case 257: HeldViewCheck(); break;
    case 258: DoorWatch(); break;
    case 259: Drag(); break;
    case 260: GateWindow(Obj(0x0700003A), 0, kWindowEnd); break;
    case 261:
        if (g_m31.missionActive) Grab();
        break;
    default: break;
    }
    return 1;
}
