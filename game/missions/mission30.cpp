// Mission row 30: the level-5 lock gates. Each of the three lock switches opens some bubble
// vents of the locks and closes others; the final gate opens once all three have been thrown,
// in any order, and the last switch shows the hall's machinery and sets the stone ball rolling.
#include "game/missions/mission30.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "game/missions/bubblevent.h"
#include "game/missions/machineryprops.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"
#include "game/player/stoneball.h"
#include "shell/sounds.h"

MV2Mission30State gMV2Mission30;

namespace {

constexpr int32_t kRow = 30;
// A vent held on (its on time outlasts any visit) or held off.
constexpr int32_t kHeld = 99999;

const uint32_t kTable[kMV2Mission30Objects] = {
    0x05000034, 0x0500000E, 0x0500000F, 0x0500003B, 0x05000011, 0x0500002B, 0x0500002F,
    0x05000035, 0x05000031, 0x05000032, 0x05000033, 0x05000010, 0x0500002C, 0x05000030,
    0x05000036, 0x05000025, 0x05000027, 0x05000028, 0x0500004A, 0x0500004B, 0x05000049,
    0x05000051, 0x05000087, 0x05000066, 0x05000065, 0x05000067, 0x0500000C, 0x0500000D,
    0x0500005D, 0x05000064, 0x05000068, 0x05000069, 0x0500006A, 0x0500006B, 0x0500006C,
    0x050000A1, 0x050000A2, 0x0500009F, 0x05000094, 0x050000A0, 0x05000088, 0x0500009E,
    0x05000081, 0x050000AC, 0x050000AD, 0x050000AE, 0x050000AF, 0x050000B0, 0x050000A8,
    0x050000A9, 0x050000AA, 0x050000AB};

const uint32_t kTriggers[] = {0x0500003B, 0x050000A1, 0x0500009F, 0x050000A0, 0x05000088,
                              0x050000AC, 0x050000AD, 0x050000AE, 0x050000AF, 0x050000B0};

MV2RowTable Table() {
    return {kTable, kMV2Mission30Objects, gMV2Mission30.objects, gMV2Mission30.handles};
}

void Vents(std::initializer_list<uint32_t> ids, int32_t on) {
    for (uint32_t id : ids)
        MV2SetVentCycle(MV2RowFind(id), on ? kHeld : 0, on ? 0 : kHeld, 0);
}

void SetAtomicFlags(uint32_t id, uint8_t flags) {
    MV2Object* object = MV2RowFind(id);
    if (object && object->clump) MV2SetAllAtomicFlags(object->clump, flags);
}

void Open(uint32_t id) {
    MV2RowSend(id, 12, 1, 0);
}

// Sound 99 on its own sample slot, placed at the main camera.
void CameraSound() {
    const int32_t slot = MV2GetSoundSlot(99);
    const int32_t channel = slot ? MV2PlaySound(slot, 0, 0) : 0;
    const TvMatrix* camera = MV2ScriptCameraMatrix();
    if (!channel || !camera) return;
    const TvV3d velocity{0.0f, 1.0f, 0.0f};
    MV2PlaceSound3D(slot, channel, &camera->pos, &velocity, 0, 0.0f);
}

// The fixed view from the camera post `id`; nothing while the camera has no frame.
void ViewFrom(uint32_t id) {
    MV2ScriptCameraToPost(MV2RowFind(id), true);
}

void FinalSwitch() {
    gMV2Mission30.finalSwitchFlag = 1;
    MV2RowSend(0x05000035, 11, 1, 0);
    ViewFrom(0x050000A8);
    SetAtomicFlags(0x05000081, 5);
    CameraSound();
}

void OpenFinalGateWhenReady() {
    const MV2Mission30State& s = gMV2Mission30;
    if (s.gateAFlag && s.gateBFlag && s.gateCFlag) Open(0x05000036);
}

void Reset() {
    MV2Mission30State& s = gMV2Mission30;
    MV2MissionBegin(kRow, 1);
    if (MV2Object* player = MV2RowPlayer()) MV2ObjectSendMessage(player, 63, 0, 0);
    MV2RowTable table = Table();
    MV2RowBindTable(table, &MV2Mission30SwitchHit);
    s.gateAFlag = s.gateBFlag = s.gateCFlag = s.finalSwitchFlag = 0;
    MV2Object* const waypoints[4] = {MV2RowFind(0x05000037), MV2RowFind(0x05000038),
                                     MV2RowFind(0x05000039), MV2RowFind(0x0500003A)};
    MV2SetStoneBallWaypoints(MV2RowFind(0x05000035), waypoints);
    SetAtomicFlags(0x05000081, 0);
    for (uint32_t id : kTriggers)
        MV2RowSend(id, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission30ProximityHit));
    MV2SetPusherAmplitude(MV2RowFind(0x05000027), 38.0f);
    MV2SetPusherAmplitude(MV2RowFind(0x05000028), 27.0f);
}

} // namespace

float MV2MissionTriggerFacing(MV2Object* trigger, MV2Object* other) {
    if (!trigger || !other || !trigger->matrix || !other->matrix) return 0.0f;
    return TvV3dDot(trigger->matrix->at, TvV3dSub(trigger->matrix->pos, other->matrix->pos));
}

int32_t MV2MissionWithinHalfRadius(MV2Object* trigger, MV2Object* other) {
    const float half = trigger ? trigger->radius * 0.5f : 0.0f;
    const float d = trigger && other ? MV2RowDistanceSquared(trigger, other) : -1.0f;
    return d >= 0.0f && d < half * half;
}

void MV2Mission30SwitchHit(MV2Object* object, int32_t) {
    if (!object) return;
    MV2Mission30State& s = gMV2Mission30;
    switch (uint32_t(object->scriptId)) {
    case 0x0500000E:
        Open(0x05000010);
        MV2RowCutScene(0x0502FFFF, 0);
        break;
    case 0x0500000F: Vents({0x0500004A, 0x0500004B, 0x05000049}, 1); break;
    case 0x05000011:
        MV2RowCutScene(0x0506FFFF, 0);
        MV2MissionSetTimer(kRow, 256, 1000);
        break;
    case 0x0500002B:
        Open(0x0500002C);
        MV2RowCutScene(0x0503FFFF, 0);
        break;
    case 0x0500002F:
        Open(0x05000030);
        MV2RowCutScene(0x0504FFFF, 0);
        break;
    case 0x05000031:
        Vents({0x05000069, 0x0500006A, 0x0500006B, 0x0500006C}, 0);
        Vents({0x05000066, 0x05000065, 0x05000067, 0x0500000C}, 1);
        s.gateAFlag = 1;
        break;
    case 0x05000032:
        Vents({0x0500000D, 0x0500005D, 0x05000064, 0x05000068}, 1);
        Vents({0x05000066, 0x05000065, 0x05000067, 0x0500000C}, 0);
        s.gateBFlag = 1;
        break;
    case 0x05000033:
        Vents({0x0500000D, 0x0500005D, 0x05000064, 0x05000068}, 0);
        Vents({0x05000069, 0x0500006A, 0x0500006B, 0x0500006C}, 1);
        s.gateCFlag = 1;
        break;
    case 0x05000034: FinalSwitch(); break;
    default: break;
    }
    OpenFinalGateWhenReady();
}

void MV2Mission30ProximityHit(MV2Object* trigger, MV2Object* other) {
    if (!trigger || !other || other != MV2RowPlayer()) return;
    const uint32_t id = uint32_t(trigger->scriptId);
    if (id < 0x0500003B || id > 0x050000B0) return;
    const MV2Mission30State& s = gMV2Mission30;
    switch (id) {
    case 0x0500003B:
        MV2ObjectSendMessage(trigger, 12, 0, 0);
        MV2RowSend(0x05000027, 11, 1, 0);
        MV2RowSend(0x05000028, 11, 1, 0);
        break;
    case 0x05000088: ViewFrom(0x0500009E); break;
    case 0x0500009F:
    case 0x050000A0:
        if (MV2MissionTriggerFacing(trigger, other) < 0.0f) ViewFrom(0x05000094);
        else MV2SetCameraMode(1);
        break;
    case 0x050000A1:
        if (MV2MissionWithinHalfRadius(trigger, other)) ViewFrom(0x050000A2);
        else MV2SetCameraMode(1);
        break;
    case 0x050000AC: if (s.finalSwitchFlag) ViewFrom(0x050000A9); break;
    case 0x050000AD: if (s.finalSwitchFlag) ViewFrom(0x050000AA); break;
    case 0x050000AE: if (s.finalSwitchFlag) ViewFrom(0x050000AB); break;
    case 0x050000AF: if (s.finalSwitchFlag) ViewFrom(0x050000A8); break;
    case 0x050000B0: MV2SetCameraMode(1); break;
    default: break;
    }
}

int32_t MV2Mission30Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptBegin: {
        MV2PlayMissionMessage(1365);
        static const int32_t kTracks[3] = {1, 2, 5};
        MV2RowMusic(1, kTracks, 3);
        break;
    }
    case kMV2ScriptEvent:
        if (a == 3) MV2SetCameraMode(1);
        [[fallthrough]];
    case 256:
        if (MV2Object* object = MV2RowTableObject(Table(), 0x05000051))
            MV2ObjectSendMessage(object, 4, 0, 0);
        break;
    default: break;
    }
    return 1;
}
