// Mission row 29: a chain of cut-scenes brings the player into level 2, where switch groups
// open doors and light coloured beam lines, a two-stage power beam runs, camera zones hold a
// chase camera, and a ship must survive three pirates before the way back to level 0.
#include "game/missions/mission29.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/pirates.h"
#include "game/creatures/submarines.h"
#include "game/creatures/subai.h"
#include "game/effects/beams.h"
#include "game/effects/primitives.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/cursor.h"
#include "shell/frametimer.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 29;

// The vector scaled to unit length; 0 (the vector untouched) when it has none.
float Normalise(TvV3d* v) {
    const float length = std::sqrt(TvV3dDot(*v, *v));
    if (length <= 0.0f) return 0.0f;
    *v = TvV3dScale(*v, 1.0f / length);
    return length;
}

// The part table: the script ids of the level-2 parts the script drives.
constexpr int32_t kPartIds[] = {
    0x2010000, 0x2010011, 0x2010012, 0x2010030, 0x201002D, 0x2010014, 0x201001F, 0x2010016,
    0x2010017, 0x2010018, 0x2010019, 0x201001A, 0x201001B, 0x201001C, 0x201001D, 0x2010015,
    0x201001E, 0x201000F, 0x201000D, 0x2010010, 0x201000E, 0x201000C, 0x2010001, 0x201000A,
    0x201000B, 0x2010004, 0x2010005, 0x2010006, 0x2010007, 0x2010008, 0x2010009, 0x2010002,
    0x2010003, 0x2010027, 0x2010028, 0x2010021, 0x2010022, 0x2010032, 0x2010023, 0x2010024,
    0x2010025, 0x2010026, 0x2010020, 0x201002B, 0x201002A, 0x201002C, 0x201002F, 0x201002E,
    0x2010031, 0x2010036, 0x2010037, 0x2010038, 0x2010039, 0x201003B, 0x201003C, 0x201003D,
    0x201003E, 0x201003F, 0x2010040, 0x2010041, 0x2010042, 0x200000B, 0x200000C, 0x200000F,
    0x2000010, 0x200000D, 0x200000E};
constexpr int32_t kParts = int32_t(sizeof kPartIds / sizeof kPartIds[0]);

struct SwitchGroup {
    const int32_t* members;
    int32_t count;
    const int32_t* right;
    int32_t rightCount;
    int32_t threshold;
};
constexpr int32_t kGroup1[] = {0x2010016, 0x2010017, 0x2010018, 0x2010019,
                               0x201001A, 0x201001B, 0x201001C, 0x201001D};
constexpr int32_t kGroup1Right[] = {0x2010017, 0x2010018, 0x201001A};
constexpr int32_t kGroup2[] = {0x2010001, 0x201000A, 0x201000B, 0x2010004, 0x2010005, 0x2010006,
                               0x2010007, 0x2010008, 0x2010009, 0x2010002, 0x2010003};
constexpr int32_t kGroup2Right[] = {0x2010001, 0x2010006, 0x2010007, 0x2010002, 0x2010003};
constexpr int32_t kGroup3[] = {0x2010022, 0x2010032, 0x2010023, 0x2010024, 0x2010025, 0x2010026};
constexpr int32_t kGroup3Right[] = {0x2010022, 0x2010024, 0x2010025, 0x2010026};
constexpr SwitchGroup kGroups[3] = {{kGroup1, 8, kGroup1Right, 3, 3},
                                    {kGroup2, 11, kGroup2Right, 5, 5},
                                    {kGroup3, 6, kGroup3Right, 4, 4}};

struct Mission29 {
    MV2ObjectRef parts[kParts];
    uint32_t cutScene;
    int32_t active;
    MV2ObjectRef ship;
    int32_t shipWatch, approachWait;
    MV2ObjectRef pirates[3];
    float savedEnergy;
    int32_t groupDone[3];
    int32_t firstTrigger;
    int32_t zone; // 0 none, 1 or 2
    uint32_t beams[3];
    TvV3d points[3];
    uint32_t beamEnd;
    int32_t phase;
    MV2CameraZone zones[2];
};
Mission29 g_m29;

MV2Object* Part(int32_t id) {
    for (int32_t i = 0; i < kParts; ++i)
        if (kPartIds[i] == id) return MV2ScriptLive(g_m29.parts[i]);
    return nullptr;
}

void Send(int32_t id, int32_t message, intptr_t p1) {
    if (MV2Object* part = Part(id)) MV2ObjectSendMessage(part, message, p1, 0);
}

// A switch is on when word 15 of its private record is set; records too small have no word 15.
bool SwitchOn(MV2Object* part) {
    if (!part || !part->privateData || !part->type || part->type->privateDataSize < 16 * sizeof(int32_t))
        return false;
    return static_cast<const int32_t*>(part->privateData)[15] != 0;
}

bool Lit(int32_t id) {
    MV2Object* part = Part(id);
    intptr_t answer = 0;
    return part && MV2ObjectSendMessage(part, 13, 0, reinterpret_cast<intptr_t>(&answer)) && answer != 0;
}

const TvV3d* PositionOfId(int32_t id) {
    return MV2ScriptPosition(MV2FindObjectByScriptID(id));
}

// A line of beam objects from an emitter to targets, which are used up.
void BeamLines(uint32_t record, int32_t emitter, std::initializer_list<int32_t> targets, uint32_t colour) {
    MV2SpawnLevelRecord(record, kRow);
    MV2Object* source = MV2FindObjectByScriptID(emitter);
    for (int32_t id : targets) {
        MV2Object* target = MV2FindObjectByScriptID(id);
        MV2Object* line = MV2ScriptCreateAt(426, source);
        if (line && target) {
            TvV3d at = target->matrix->pos;
            MV2ObjectSendMessage(line, 33, 0, reinterpret_cast<intptr_t>(&at));
            MV2ObjectSendMessage(line, 12, intptr_t(colour), 0);
        }
        MV2ScriptDestroy(target);
    }
}

void ShowAtomics(int32_t id, uint8_t flags) {
    if (MV2Object* part = Part(id); part && part->clump) MV2SetAllAtomicFlags(part->clump, flags);
}

void RedLines() {
    BeamLines(0x205FFFF, 0x2050006, {0x2050003, 0x2050004, 0x2050005}, 0xFF0000);
}
void GreenLines() {
    BeamLines(0x204FFFF, 0x204000A, {0x2040005, 0x2040006, 0x2040007, 0x2040008, 0x2040009}, 0xD000);
    ShowAtomics(0x2000010, 5);
    ShowAtomics(0x200000F, 0);
}
void BlueLines() {
    BeamLines(0x203FFFF, 0x203000A, {0x2030006, 0x2030007, 0x2030008, 0x2030009}, 0xFF);
    ShowAtomics(0x200000E, 5);
    ShowAtomics(0x200000D, 0);
}

void GroupSwitched(int32_t g) {
    Mission29& m = g_m29;
    const SwitchGroup& group = kGroups[g];
    if (m.groupDone[g]) return;
    int32_t on = 0;
    for (int32_t i = 0; i < group.count; ++i)
        on += SwitchOn(Part(group.members[i]));
    if (on < group.threshold) return;
    bool right = true;
    for (int32_t i = 0; i < group.rightCount; ++i)
        right = right && SwitchOn(Part(group.right[i]));
    if (!right) {
        for (int32_t i = 0; i < group.count; ++i)
            Send(group.members[i], 11, 0);
        MV2Object* held = nullptr;
        if (g == 1 && MV2MissionToolCommand(MV2GetPlayerObject(), 0, 34, 0, &held) && held)
            MV2MissionToolCommand(MV2GetPlayerObject(), 0, 53, 0, nullptr);
        return;
    }
    m.groupDone[g] = 1;
    if (g == 0) {
        Send(0x2010015, 11, 0);
        Send(0x2010027, 12, 1);
        MV2PlayCutScene(0x206FFFF, 0);
        MV2ScriptDestroy(Part(0x201003F));
        MV2ScriptDestroy(Part(0x2010040));
    } else if (g == 1) {
        Send(0x201000E, 11, 0);
    } else {
        Send(0x2010021, 11, 0);
        Send(0x201000F, 12, 1);
        MV2PlayCutScene(0x207FFFF, 0);
        MV2ScriptDestroy(Part(0x2010041));
        MV2ScriptDestroy(Part(0x2010042));
    }
}

void SwitchCallback(MV2Object* part, int32_t) {
    if (!part) return;
    const int32_t id = part->scriptId;
    for (int32_t g = 0; g < 3; ++g)
        for (int32_t i = 0; i < kGroups[g].count; ++i)
            if (kGroups[g].members[i] == id) {
                GroupSwitched(g);
                return;
            }
    switch (id) {
    case 0x201000E:
        MV2MissionSetTimer(kRow, 258, 180000);
        if (TvMatrix* camera = MV2ScriptCameraMatrix()) {
            MV2PlayNamedSoundAt(camera->pos, 5.0f, "LIGHT1", 0);
            MV2PlayNamedSoundAt(camera->pos, 5.0f, "LIGHT2", 0);
        }
        MV2MissionSetTimer(kRow, 260, 1);
        break;
    case 0x2010011:
        if (MV2Object* door = Part(0x2010012)) {
            MV2ObjectSendMessage(door, 11, 0, 0);
            if (door->matrix) MV2AddForce(door, &door->matrix->at);
        }
        MV2PlayCutScene(0x20FFFFF, 0);
        break;
    case 0x201002A:
        Send(0x201002C, 12, 1);
        MV2PlayCutScene(0x209FFFF, 0);
        break;
    case 0x201002F:
    case 0x201002E:
    case 0x2010031:
        if (id == 0x201002F) RedLines();
        if (id == 0x201002E) GreenLines();
        if (id == 0x2010031) BlueLines();
        if (Lit(0x201002F) && Lit(0x201002E) && Lit(0x2010031)) {
            MV2PlayCutScene(0x210FFFF, 0);
            Send(0x201002B, 11, 1);
        }
        break;
    default: break;
    }
}

void ZoneCallback(MV2Object* part, int32_t) {
    Mission29& m = g_m29;
    MV2Object* player = MV2GetPlayerObject();
    if (!part || !player || !player->matrix) return;
    if (m.zone) {
        if (!MV2PointInCameraZone(&m.zones[m.zone - 1], player->matrix->pos)) {
            MV2SetCameraMode(1);
            m.zone = 0;
        }
        return;
    }
    const int32_t zone = part->scriptId == 0x201003F ? 1 : 2;
    const TvMatrix* p = player->matrix;
    const TvV3d eye = TvV3dAdd(p->pos, TvV3dScale(TvV3dSub(TvV3dScale(p->up, 1.5f), TvV3dScale(p->at, 3.0f)), 0.25f));
    const MV2CameraZone& z = m.zones[zone - 1];
    if (!MV2PointInCameraZone(&z, p->pos) || !MV2PointInCameraZone(&z, eye)) return;
    if (TvMatrix* camera = MV2ScriptCameraMatrix()) {
        camera->pos = eye;
        MV2ScriptCameraMoved();
    }
    MV2SetCameraMode(2);
    m.zone = zone;
    MV2MissionSetTimer(kRow, 263, 1);
}

void FirstTriggerCallback(MV2Object*, int32_t) {
    Mission29& m = g_m29;
    if (m.firstTrigger) return;
    m.firstTrigger = 1;
    for (int32_t id : {0x201003B, 0x201003C, 0x201003D})
        Send(id, 12, 0);
    MV2PlayMissionMessage(1364);
}

void SetCallback(int32_t id, MV2ObjectCallback callback) {
    if (MV2Object* part = Part(id)) MV2ObjectSendMessage(part, 12, 0, reinterpret_cast<intptr_t>(callback));
}

void FindParts(bool withCallbacks) {
    Mission29& m = g_m29;
    for (int32_t i = 0; i < kParts; ++i) {
        MV2Object* part = MV2FindObjectByScriptID(kPartIds[i]);
        MV2ScriptKeep(m.parts[i], part);
        if (withCallbacks && part && MV2TypeOf(part) != 42)
            MV2ObjectSendMessage(part, 12, 0, reinterpret_cast<intptr_t>(SwitchCallback));
    }
}

void BuildZones() {
    static const int32_t kIds[2][8] = {
        {0x2000012, 0x2000014, 0x2000016, 0x2000018, 0x2000013, 0x2000015, 0x2000017, 0x2000019},
        {0x200001A, 0x200001C, 0x200001E, 0x2000020, 0x200001B, 0x200001D, 0x200001F, 0x2000021}};
    for (int32_t z = 0; z < 2; ++z) {
        TvV3d points[8] = {};
        for (int32_t i = 0; i < 8; ++i) {
            MV2Object* o = MV2FindObjectByScriptID(kIds[z][i]);
            if (const TvV3d* p = MV2ScriptPosition(o)) points[i] = *p;
            MV2ScriptDestroy(o);
        }
        MV2BuildCameraZone(&g_m29.zones[z], points, points + 4);
    }
}

void LinkFrom(int32_t type, int32_t partId) {
    MV2Object* part = MV2FindObjectByScriptID(partId);
    MV2Object* made = MV2ScriptCreateAt(type, part);
    if (!made) return;
    MV2ObjectSendMessage(made, 11, 0, 0);
    MV2ObjectSendMessage(part ? part : made, 33, 0, reinterpret_cast<intptr_t>(made));
}

void StartCutScene(uint32_t id) {
    g_m29.cutScene = id;
    if (MV2CutSceneStart(id, 0)) {
        MV2ScriptSetCutSceneMode();
        MV2MissionInstallNotify(kRow, 3);
    }
}

void WatchShip(MV2Object* ship) {
    Mission29& m = g_m29;
    MV2ScriptKeep(m.ship, ship);
    if (!ship) return;
    MV2MissionAttachObject(kRow, ship);
    m.shipWatch = 1;
}

void ReturnVisit() {
    Mission29& m = g_m29;
    MV2SpawnLevelRecord(0x20DFFFF, kRow);
    FindParts(false);
    LinkFrom(230, 0x20D000B);
    LinkFrom(229, 0x20D000D);
    LinkFrom(231, 0x20D0009);
    RedLines();
    GreenLines();
    BlueLines();
    WatchShip(MV2FindObjectByScriptID(0x20D000F));
    m.approachWait = 1;
    MV2MissionSetTimer(kRow, 256, 1000);
}

void Begin() {
    Mission29& m = g_m29;
    MV2MissionSetTimer(kRow, 269, 3000);
    MV2SpawnLevelRecord(0x201FFFF, kRow);
    LinkFrom(230, 0x201000E);
    LinkFrom(229, 0x2010015);
    LinkFrom(231, 0x2010021);
    m.active = 1;
    FindParts(true);
    const int32_t links[3][2] = {{0x201002F, 0x2010030}, {0x201002E, 0x2010012}, {0x2010031, 0x201002D}};
    for (const auto& l : links)
        if (MV2Object* part = Part(l[0])) MV2ObjectSendMessage(part, 33, 0, reinterpret_cast<intptr_t>(Part(l[1])));
    Send(0x2010030, 11, 0);
    Send(0x201002D, 11, 0);
    m.groupDone[0] = m.groupDone[1] = m.groupDone[2] = 0;
    m.firstTrigger = 0;
    m.zone = 0;
    SetCallback(0x201003B, FirstTriggerCallback);
    SetCallback(0x201003C, FirstTriggerCallback);
    for (int32_t i = 0; i < 2; ++i) {
        MV2Object* zone = Part(i ? 0x2010041 : 0x201003F);
        if (!zone) continue;
        MV2ObjectSendMessage(zone, 12, 0, reinterpret_cast<intptr_t>(ZoneCallback));
        MV2ObjectSendMessage(zone, 79, 0, 0);
        MV2ObjectSendMessage(zone, 33, 0, reinterpret_cast<intptr_t>(Part(i ? 0x2010042 : 0x2010040)));
    }
    for (int32_t id : {0x200000B, 0x2000010, 0x200000E})
        ShowAtomics(id, 0);
    const int32_t owners[3][4] = {{0x2010015, 0x2010014, 0x201001E, 0},
                                  {0x201000E, 0x201000D, 0x201000C, 0x2010010},
                                  {0x2010021, 0x2010020, 0x2010028, 0}};
    for (const auto& o : owners)
        if (MV2Object* part = Part(o[0]); part && part->privateData && part->type &&
                                          part->type->privateDataSize >= 3 * sizeof(MV2ObjectRef))
            for (int32_t k = 1; k < 4 && o[k]; ++k)
                MV2ScriptKeep(static_cast<MV2ObjectRef*>(part->privateData)[k - 1], Part(o[k]));
    Send(0x201001F, 12, 1);
    MV2MissionInstallNotify(kRow, 4);
    MV2SetLetterbox(1);
    MV2ResetMouseCursor();
    if (MV2Object* player = MV2GetPlayerObject()) {
        if (player->clump && TpClumpGetWorld(player->clump))
            TpWorldRemoveClump(TpClumpGetWorld(player->clump), player->clump);
        MV2ScriptMoveTo(player, TvV3d{1.0f, 0.0f, 0.0f});
        MV2ObjectSendMessage(player, 11, 0, 0);
    }
    StartCutScene(0x20AFFFF);
    MV2MissionQueueMessage(kRow, 1357, int32_t(MV2PlayMissionMessage(1356)));
}

void PathEnded() {
    Mission29& m = g_m29;
    MV2SetCameraMode(1);
    MV2Object* player = MV2GetPlayerObject();
    switch (m.cutScene) {
    case 0x20AFFFF:
        MV2DestroyLevelRecordObjects(0x20AFFFF);
        StartCutScene(0x20EFFFF);
        MV2MissionQueueMessage(kRow, 1359, int32_t(MV2PlayMissionMessage(1358)));
        break;
    case 0x20EFFFF:
        MV2DestroyLevelRecordObjects(0x20EFFFF);
        StartCutScene(0x20BFFFF);
        MV2MissionQueueMessage(kRow, 1361, int32_t(MV2PlayMissionMessage(1360)));
        break;
    case 0x20BFFFF: {
        MV2Object* start = MV2FindObjectByScriptID(0x20B0001);
        if (player) {
            if (player->clump && gMV2Level.landscape && !TpClumpGetWorld(player->clump))
                TpWorldAddClump(gMV2Level.landscape, player->clump);
            MV2ScriptTakeFrame(player, start);
            MV2SetCameraMode(1);
            MV2UpdateCamera(player);
            MV2ObjectSendMessage(player, 11, 1, 0);
        }
        MV2Object* ship = MV2ScriptCreateAt(4, start);
        MV2ScriptTakeFrame(ship, start);
        WatchShip(ship);
        MV2ScriptDestroy(start);
        MV2DestroyLevelRecordObjects(0x20BFFFF);
        MV2MissionRemoveNotify(kRow, 3);
        MV2ScriptClearRequestedMode();
        MV2SetLetterbox(2);
        MV2PlayMissionMessage(1362);
        break;
    }
    case 0x20CFFFF:
        MV2MissionRemoveNotify(kRow, 3);
        MV2ScriptClearRequestedMode();
        MV2SetLetterbox(2);
        MV2RequestLevelChange(0xFFFFFF);
        MV2ReportMissionOutcome(kMV2OutcomeLevelChange, 0xFFFFFF);
        MV2MissionInstallNotify(kRow, 15);
        break;
    default: break;
    }
}

void OnEvent(MV2Object* object, int32_t event, intptr_t argument) {
    Mission29& m = g_m29;
    switch (event) {
    case 3: PathEnded(); break;
    case 15:
        if ((MV2GetCurrentLevelId() >> 24) != 0) break;
        MV2MissionRemoveNotify(kRow, 15);
        MV2Mission28Script(nullptr, kMV2ScriptEvent, 4, 0);
        break;
    case 16:
        if (object) break;
        if (argument == 2) {
            m.beamEnd = MV2GetGameTime() + 2000;
            MV2MissionRemoveNotify(kRow, 16);
            m.phase = 1;
        } else if (argument == 39) {
            MV2MissionRemoveNotify(kRow, 16);
            if (const TvV3d* p = PositionOfId(0x2120001)) {
                const TvV3d up{0, 1, 0};
                MV2AddRipple(p, &up);
            }
        } else if (argument == 40) {
            MV2MissionRemoveNotify(kRow, 16);
            Send(0x2010000, 12, 0);
        }
        break;
    default: break;
    }
}

const TvV3d* PartPosition(int32_t id) {
    return MV2ScriptPosition(Part(id));
}

// The power beam: two beams sweep to the collector, then a wide beam runs on to the target.
void PowerBeam(int32_t timer) {
    Mission29& m = g_m29;
    const uint32_t now = MV2GetGameTime();
    const TvV3d* a = PartPosition(0x2010036);
    const TvV3d* b = PartPosition(0x2010037);
    const TvV3d* c = PartPosition(0x2010038);
    const TvV3d* d = PartPosition(0x2010039);
    if (!a || !b || !c || !d) return;
    const float left = float(int32_t(m.beamEnd - now) > 0 ? m.beamEnd - now : 0) * 0.0005f;
    if (timer == 260) {
        m.phase = 0;
        MV2MissionInstallNotify(kRow, 16);
        MV2PlayCutScene(0x208FFFF, 0);
        m.points[0] = *a;
        m.points[1] = *b;
        m.beams[0] = MV2CreateBeam(Part(0x2010036), &m.points[0], 0.5f, 2, 193);
        m.beams[1] = MV2CreateBeam(Part(0x2010037), &m.points[1], 0.5f, 4, 193);
        m.beamEnd = now + 2000;
        MV2MissionSetTimer(kRow, 261, 1);
        return;
    }
    if (timer == 261) {
        if (left > 0.0f || !m.phase) {
            m.points[0] = TvV3dAdd(*c, TvV3dScale(TvV3dSub(*a, *c), left));
            m.points[1] = TvV3dAdd(*c, TvV3dScale(TvV3dSub(*b, *c), left));
            MV2MissionSetTimer(kRow, 261, 1);
            return;
        }
        MV2RemoveBeam(m.beams[0]);
        MV2RemoveBeam(m.beams[1]);
        m.beams[0] = MV2CreateBeam(Part(0x2010036), Part(0x2010038), 0.5f, 2, 129);
        m.beams[1] = MV2CreateBeam(Part(0x2010037), Part(0x2010038), 0.5f, 4, 129);
        m.points[2] = *c;
        m.beams[2] = MV2CreateBeam(Part(0x2010038), &m.points[2], 1.0f, 5, 193);
        m.beamEnd = now + 2000;
        MV2MissionSetTimer(kRow, 262, 1);
        return;
    }
    if (left > 0.0f) {
        m.points[2] = TvV3dAdd(*d, TvV3dScale(TvV3dSub(*c, *d), left));
        MV2MissionSetTimer(kRow, 262, 1);
        return;
    }
    MV2RemoveBeam(m.beams[2]);
    m.beams[2] = MV2CreateBeam(Part(0x2010038), Part(0x2010039), 1.0f, 5, 131);
    Send(0x2010000, 12, 1);
}

void ZoneCamera() {
    Mission29& m = g_m29;
    MV2Object* player = MV2GetPlayerObject();
    if (!m.zone || !m.active || !player || !player->matrix || gMV2GameState.current == 12) return;
    const TvMatrix* p = player->matrix;
    const TvV3d wanted = TvV3dAdd(p->pos, TvV3dSub(TvV3dScale(p->up, 1.5f), TvV3dScale(p->at, 3.0f)));
    const TvV3d target = MV2ClampToCameraZone(&m.zones[m.zone - 1], p->pos, wanted);
    if (TvMatrix* camera = MV2ScriptCameraMatrix()) {
        camera->pos = TvV3dAdd(camera->pos, TvV3dScale(TvV3dSub(target, camera->pos), gMV2FrameTimer.ticks * 0.05f));
        MV2ScriptCameraMoved();
    }
    MV2MissionSetTimer(kRow, 263, 1);
}

void ShipCamera(int32_t timer) {
    Mission29& m = g_m29;
    MV2Object* ship = MV2ScriptLive(m.ship);
    if (timer == 265) {
        MV2Object* eye = MV2FindObjectByScriptID(MV2Level2ReturnFlag ? 0x2130000 : 0x2000011);
        TvMatrix* camera = MV2ScriptCameraMatrix();
        if (camera && eye && eye->matrix) {
            camera->pos = eye->matrix->pos;
            MV2ScriptCameraMoved();
        }
        MV2SetCameraMode(5);
        MV2ScriptClearRequestedMode();
        if (MV2Object* sub = MV2GetPlayerSub()) {
            m.savedEnergy = sub->energy;
            sub->energy = 9999999.0f;
            MV2ObjectSendMessage(sub, 29, reinterpret_cast<intptr_t>(MV2SubmarineHandler), 0);
        }
    }
    if (MV2GetCameraMode() != 5 || !ship) return;
    if (TvMatrix* camera = MV2ScriptCameraMatrix(); camera && ship->matrix) {
        TvV3d at = TvV3dSub(ship->matrix->pos, camera->pos);
        const TvV3d up{0, 1, 0};
        TvV3d right = TvV3dCross(up, at);
        // A camera straight above or below the ship keeps its last orientation.
        if (Normalise(&at) > 0.0f && Normalise(&right) > 0.0f) {
            camera->at = at;
            camera->right = right;
            camera->up = TvV3dCross(at, right);
            MV2ScriptCameraMoved();
        }
    }
    MV2MissionSetTimer(kRow, 266, 1);
}

void Pirates() {
    Mission29& m = g_m29;
    MV2SpawnLevelRecord(0x213FFFF, kRow);
    const int32_t ids[3] = {0x2130001, 0x2130003, 0x2130002};
    MV2Object* ship = MV2ScriptLive(m.ship);
    for (int32_t i = 0; i < 3; ++i) {
        MV2Object* pirate = MV2FindObjectByScriptID(ids[i]);
        MV2ScriptKeep(m.pirates[i], pirate);
        if (!pirate) continue;
        MV2ObjectSendMessage(pirate, 29, reinterpret_cast<intptr_t>(MV2PirateBrain), 0);
        MV2ObjectSendMessage(pirate, 21, 24, 0);
        if (ship) MV2SubAIOrderAttack(pirate, ship, 1);
    }
    MV2MissionSetTimer(kRow, 265, 1);
    MV2MissionSetTimer(kRow, 267, 5000);
}

void Watch() {
    Mission29& m = g_m29;
    MV2Object* ship = MV2ScriptLive(m.ship);
    MV2Object* player = MV2GetPlayerObject();
    if (m.approachWait && ship && MV2ScriptNear(player, ship, 250.0f)) {
        m.approachWait = 0;
        MV2MissionSetTimer(kRow, 264, int32_t(MV2MissionMessageDuration(1307)));
    }
    if (m.shipWatch && ship && MV2ScriptNear(player, ship, 8.0f)) {
        MV2ParkObject(player, nullptr, nullptr);
        MV2ParkObject(ship, nullptr, nullptr);
        MV2SetLetterbox(1);
        MV2ResetMouseCursor();
        StartCutScene(0x20CFFFF);
        return;
    }
    MV2MissionSetTimer(kRow, 256, 1000);
    MV2Object* sub = MV2GetPlayerSub();
    for (MV2ObjectRef& ref : m.pirates)
        if (MV2Object* pirate = MV2ScriptLive(ref))
            MV2SubAIOrderAttack(pirate, MV2ScriptNear(pirate, sub, 20.0f) ? sub : MV2FindObjectByScriptID(0x20D0010), 1);
}

} // namespace

void MV2BuildCameraZone(MV2CameraZone* zone, const TvV3d corners[4], const TvV3d heights[4]) {
    float bottom = 0.0f, top = 0.0f;
    for (int32_t i = 0; i < 4; ++i) {
        zone->corners[i] = corners[i];
        bottom += corners[i].y;
        top += heights[i].y;
    }
    zone->bottom = bottom * 0.25f;
    zone->top = top * 0.25f;
    const TvV3d vertical{0, 1, 0};
    for (int32_t i = 0; i < 4; ++i) {
        TvV3d edge = TvV3dSub(corners[(i + 1) & 3], corners[i]);
        TvV3d normal = TvV3dCross(edge, vertical);
        Normalise(&normal);
        zone->normals[i] = normal;
    }
}

int32_t MV2PointInCameraZone(const MV2CameraZone* zone, const TvV3d& point) {
    if (point.y < zone->bottom || point.y > zone->top) return 0;
    // The inner side is the side the zone's centre lies on.
    TvV3d centre{0, 0, 0};
    for (const TvV3d& c : zone->corners)
        centre = TvV3dAdd(centre, TvV3dScale(c, 0.25f));
    for (int32_t i = 0; i < 4; ++i) {
        const float inner = TvV3dDot(zone->normals[i], TvV3dSub(centre, zone->corners[i]));
        const float side = TvV3dDot(zone->normals[i], TvV3dSub(point, zone->corners[i]));
        if ((inner >= 0.0f) != (side >= 0.0f)) return 0;
    }
    return 1;
}

TvV3d MV2ClampToCameraZone(const MV2CameraZone* zone, const TvV3d& from, const TvV3d& wanted) {
    TvV3d p = wanted;
    const float limit = p.y > zone->top ? zone->top : p.y < zone->bottom ? zone->bottom : p.y;
    if (limit != p.y && p.y != from.y) {
        const float t = (limit - from.y) / (p.y - from.y);
        p = TvV3dAdd(from, TvV3dScale(TvV3dSub(p, from), t < 0.0f ? 0.0f : t));
    }
    TvV3d centre{0, 0, 0};
    for (const TvV3d& c : zone->corners)
        centre = TvV3dAdd(centre, TvV3dScale(c, 0.25f));
    for (int32_t i = 0; i < 4; ++i) {
        const TvV3d& n = zone->normals[i];
        const float inner = TvV3dDot(n, TvV3dSub(centre, zone->corners[i]));
        const float side = TvV3dDot(n, TvV3dSub(p, zone->corners[i]));
        if ((inner >= 0.0f) != (side >= 0.0f)) p = TvV3dSub(p, TvV3dScale(n, side));
    }
    return p;
}

int32_t MV2Mission29Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission29& m = g_m29;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        if (!MV2Level2ReturnFlag) {
            MV2MissionBegin(kRow, 1);
            BuildZones();
            break;
        }
        ReturnVisit();
        MV2MissionSetTimer(kRow, 269, 3000);
        if (MV2GetCameraMode() == 5) ShipCamera(266);
        break;
    case kMV2ScriptAutosaveQuery:
        if (MV2Level2ReturnFlag && b) *reinterpret_cast<int32_t*>(b) = 0;
        break;
    case kMV2ScriptShutdown: m.active = 0; break;
    case kMV2ScriptBegin: Begin(); break;
    case kMV2ScriptEvent: OnEvent(object, int32_t(a), b); break;
    case kMV2ScriptObjectKilled:
        if (object && m.shipWatch && MV2RefIs(m.ship, object)) {
            m.shipWatch = 0;
            MV2MissionSetTimer(kRow, 268, 15000);
            MV2MissionSetTimer(kRow, 265, 4000);
        }
        break;
    case 256: Watch(); break;
    case 258:
        if (m.active) MV2PlayMissionMessage(1366);
        break;
    case 260: case 261: case 262: PowerBeam(message); break;
    case 263: ZoneCamera(); break;
    case 264: Pirates(); break;
    case 265: case 266: ShipCamera(message); break;
    case 267: {
        if (MV2Object* sub = MV2GetPlayerSub()) {
            MV2ObjectSendMessage(sub, 29, reinterpret_cast<intptr_t>(MV2PlayerHandler), 0);
            sub->energy = m.savedEnergy;
        }
        MV2SetCameraMode(1);
        MV2PlayMissionMessage(1366);
        if (MV2Object* ship = MV2ScriptLive(m.ship)) MV2HudSetObjective(ship);
        MV2MissionSetTimer(kRow, 256, 1000);
        break;
    }
    case 268:
        MV2StartGameOver(0);
        break;
    case 269:
        MV2AddMusicTrack(8, 1);
        MV2AddMusicTrack(9, 1);
        MV2StartMusic();
        break;
    default: break;
    }
    return 1;
}
