// Mission row 20: the player takes over a craft placed in the level and defends five guarded
// objects and mining site 2 for a fixed time while creatures rain down at five drop zones and
// up to three pirates hunt the player. The site's efficiency at the end decides; losing the
// borrowed craft loses at once.
#include "game/missions/mission20.h"

#include "engine/core/frame.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/effects/primitives.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/routepoint.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objecttypes.h"
#include "game/objects/water.h"
#include "game/player/commands.h"
#include "game/player/player.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 20;
constexpr int32_t kGuarded = 5, kZones = 5, kPursuers = 3;
constexpr int32_t kBorrowedCraft = 0x4C0008;

enum Mission20State : int32_t { kRunning = 0, kTimeUp = 1, kLost = 2, kWon = 3 };

struct Mission20Guarded {
    MV2ObjectRef object;
    uint32_t flashEnd; // game ms
    float lastEnergy;
};

struct Mission20Zone {
    TvV3d centre;
    float spread;
    uint32_t shortestStay, longestStay;
};

struct Mission20 {
    int32_t statusShown;
    int32_t state;
    int32_t borrowed; // the player drives the borrowed craft
    Mission20Guarded guarded[kGuarded];
    Mission20Zone zones[kZones];
    int32_t zone;
    uint32_t nextZoneChange;
    MV2ObjectRef pursuers[kPursuers];
};
Mission20 g_m20;

constexpr int32_t kGuardedIds[kGuarded] = {0x20036, 0x20033, 0x20032, 0x20037, 0x2001B};
constexpr int32_t kZoneIds[kZones] = {0x20032, 0x20033, 0x20036, 0x20037, 0x2001B};
constexpr float kZoneSpread[kZones] = {4.0f, 4.0f, 3.5f, 0.5f, 0.5f};

uint32_t Random() {
    return uint32_t(TvRandom());
}

void Begin() {
    Mission20& m = g_m20;
    const uint32_t now = MV2GetGameTime();
    m = {};
    MV2SpawnLevelRecord(0x9FFFF, kRow);
    for (int32_t i = 0; i < kGuarded; ++i) {
        MV2Object* o = MV2FindObjectByScriptID(kGuardedIds[i]);
        MV2ScriptKeep(m.guarded[i].object, o);
        m.guarded[i].lastEnergy = o ? o->energy : 0.0f;
        m.guarded[i].flashEnd = now - 1000;
    }
    for (int32_t i = 0; i < kZones; ++i) {
        Mission20Zone& z = m.zones[i];
        const TvV3d* p = MV2ScriptPosition(MV2FindObjectByScriptID(kZoneIds[i]));
        z.centre = p ? *p : TvV3d{0, 0, 0};
        z.centre.y = MV2GetWaterHeight(&z.centre) + 2.0f;
        z.spread = kZoneSpread[i];
        z.shortestStay = i < 3 ? 6000 : 1;
        z.longestStay = i < 3 ? 14000 : 2000;
    }
    m.zone = int32_t(Random() & 2);
    const int32_t d = int32_t(MV2PlayMissionMessage(1244));
    MV2MissionSetTimer(kRow, 257, d);
    m.nextZoneChange = now + uint32_t(d) + 2000;
    const int32_t end1186 = MV2MissionQueueMessage(kRow, 1186, d);
    MV2MissionSetTimer(kRow, 264, end1186 - 500);
    const int32_t end1187 = MV2MissionQueueMessage(kRow, 1187, end1186);
    MV2MissionSetTimer(kRow, 256, end1187 + 3500);
    const int32_t end1247 = MV2MissionQueueMessage(kRow, 1247, end1187);
    static const struct {
        int32_t timer, at;
    } kWaves[] = {{258, 32000}, {259, 48000},  {259, 98000},  {258, 100000},
                  {259, 130000}, {258, 132000}, {259, 140000}, {260, 180000}};
    for (const auto& w : kWaves)
        MV2MissionSetTimer(kRow, w.timer, end1247 + w.at);
}

void DropCreature() {
    Mission20& m = g_m20;
    const Mission20Zone& z = m.zones[m.zone];
    const float scale = z.spread * 2.0f / 4095.0f;
    TvV3d at = z.centre;
    at.x += (float(Random() & 4095) - 2047.5f) * scale;
    at.z += (float(Random() & 4095) - 2047.5f) * scale;
    static const int32_t kTypes[4] = {365, 366, 366, 367};
    if (MV2Object* creature = MV2ScriptCreateAtPoint(kTypes[Random() & 3], at))
        MV2ObjectSendMessage(creature, 0, 1, 0);
    const uint32_t now = MV2GetGameTime();
    if (int32_t(now - m.nextZoneChange) > 0) {
        m.zone = (m.zone + 1 + int32_t(Random() & 3)) % kZones;
        const Mission20Zone& next = m.zones[m.zone];
        m.nextZoneChange = now + next.shortestStay + Random() % (next.longestStay - next.shortestStay);
    }
}

void SendPursuer(int32_t towardsId) {
    Mission20& m = g_m20;
    MV2Object* sub = MV2GetPlayerObject();
    for (MV2ObjectRef& slot : m.pursuers) {
        if (MV2ScriptLive(slot)) continue;
        const TvV3d* goal = MV2ScriptPosition(MV2FindObjectByScriptID(towardsId));
        const float reach = 55.0f;
        TvV3d point;
        if (!sub || !goal || !MV2FindRoutePointAtDistance(goal, &reach, &point)) return;
        MV2Object* pirate = MV2ScriptCreateAtPoint(397, point);
        if (!pirate) return;
        MV2ObjectSendMessage(pirate, 21, 17, 0);
        MV2SubAIOrderAttack(pirate, sub, 5);
        MV2ScriptKeep(slot, pirate);
        return;
    }
}

void End() {
    Mission20& m = g_m20;
    MV2MissionDetachObject(MV2FindObjectByScriptID(kBorrowedCraft));
    MV2ScriptClearRequestedMode();
    m.statusShown = 0;
    MV2SetLetterbox(0);
    m.borrowed = 0;
    if (MV2Object* sub = MV2GetPlayerSub()) MV2TakeControlOfCraft(sub);
    for (MV2ObjectRef& slot : m.pursuers)
        MV2ScriptDestroy(MV2ScriptLive(slot));
    MV2LockNearestTarget();
    MV2PlayMissionMessage(797);
    MV2MissionInstallNotify(kRow, 7);
}

// The borrowed craft is lost: control goes home and the camera looks straight down on the spot.
void CraftLost(MV2Object* craft) {
    Mission20& m = g_m20;
    if (MV2Object* sub = MV2GetPlayerSub()) MV2TakeControlOfCraft(sub);
    MV2HudShowResultBanner(0);
    m.state = kLost;
    TvMatrix* camera = MV2ScriptCameraMatrix();
    if (camera && craft->matrix) {
        camera->right = {1, 0, 0};
        camera->up = {0, 0, 1};
        camera->at = {0, -1, 0};
        camera->pos = TvV3dAdd(craft->matrix->pos, TvV3d{0, 8.0f, 0});
        MV2ScriptCameraMoved();
    }
    MV2SetCameraMode(5);
    MV2SetLetterbox(1);
    MV2MissionSetTimer(kRow, 263, 2000);
}

void OnTimer(int32_t timer) {
    Mission20& m = g_m20;
    switch (timer) {
    case 256:
        if (MV2Object* craft = MV2FindObjectByScriptID(kBorrowedCraft)) {
            MV2ScriptClearRequestedMode();
            m.statusShown = 1;
            MV2TakeControlOfCraft(craft);
            m.borrowed = 1;
            MV2MissionAttachObject(kRow, craft);
        }
        break;
    case 257:
        if (m.state != kRunning) break;
        DropCreature();
        MV2MissionSetTimer(kRow, 257, 1200 + int32_t(Random() & 2047));
        break;
    case 258:
    case 259:
        if (m.state == kRunning) SendPursuer(timer == 258 ? 0x40291 : 0x40292);
        break;
    case 260:
        if (m.state != kRunning) break;
        m.state = kTimeUp;
        MV2MissionSetTimer(kRow, 261, 13000);
        break;
    case 261:
        if (m.state == kTimeUp) {
            float efficiency = 0.0f, production = 0.0f, fill = 0.0f;
            uint32_t word = 0;
            MV2MiningGetSiteStatus(2, &efficiency, &production, &fill, &word);
            if (efficiency < 0.5f) {
                m.state = kLost;
                MV2MissionSetTimer(kRow, 262, 2000);
            } else {
                m.state = kWon;
                MV2MissionSetTimer(kRow, 262, int32_t(MV2PlayMissionMessage(1248)));
            }
            break;
        }
        [[fallthrough]];
    case 262:
        MV2HudShowResultBanner(m.state == kWon);
        End();
        break;
    case 263: End(); break;
    case 264: MV2StartCameraShake(1, 0.6f); break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission20Script(MV2Object* object, int32_t message, intptr_t a, intptr_t) {
    switch (message) {
    case kMV2ScriptStart:
        MV2QueueCutScene(0x3BFFFF, 0x3B0001);
        [[fallthrough]];
    case kMV2ScriptRestart:
        MV2MissionBegin(kRow, 1);
        MV2SelectWallSet(8);
        break;
    case kMV2ScriptBegin: Begin(); break;
    case 10:
        if (object && object->scriptId == kBorrowedCraft && g_m20.state != kLost) CraftLost(object);
        break;
    case kMV2ScriptEvent:
        if (a == 7) {
            MV2MissionRemoveNotify(kRow, 7);
            MV2DestroyLevelRecordObjects(0x9FFFF);
            MV2MissionRestart(21);
        }
        break;
    default:
        if (message >= kMV2ScriptFirstTimer) OnTimer(message);
        break;
    }
    return 1;
}

uint32_t MV2Mission20StatusColour(uint32_t flashEnd, uint32_t now, float fraction) {
    const int32_t left = int32_t(flashEnd - now);
    if (left > 0 && (uint32_t(left) & 0x80u)) return 0xFFFF0000u;
    return fraction >= 0.5f ? kMV2HudColour : 0xFFFFFF00u;
}

void MV2Mission20DrawStatus() {
    Mission20& m = g_m20;
    if (!m.statusShown) return;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    const uint32_t now = MV2GetGameTime();
    for (int32_t i = 0; i < kGuarded; ++i) {
        Mission20Guarded& g = m.guarded[i];
        MV2Object* o = MV2ScriptLive(g.object);
        if (!o) continue;
        const float initial = MV2InitialEnergy(o);
        const float fraction = o->energy < 0.0f || initial <= 0.0f ? 0.0f : o->energy / initial;
        if (o->energy < g.lastEnergy) g.flashEnd = now + 1000;
        g.lastEnergy = o->energy;
        const uint32_t colour = MV2Mission20StatusColour(g.flashEnd, now, fraction);
        MV2SpriteDraw q{};
        q.x = int32_t(540.0f * sx);
        q.y = int32_t(float(20 * i) + 64.0f * sy - 7.0f);
        q.sprite = o->type ? int32_t(o->type->words[33] & 0xFFFu) : 0;
        q.colour0 = q.colour1 = colour;
        q.scaleX = q.scaleY = 1.0f;
        MV2Draw2DSprite(&q);
        MV2HudDrawNumber(int32_t(fraction * 100.0f), int32_t(54.0f + 540.0f * sx),
                         int32_t(float(20 * i) + 64.0f * sy), colour, 2);
    }
    MV2Set2DColourARGB(0xA0000000u);
    MV2Draw2DRect(int32_t(7.0f + 540.0f * sx), int32_t(100.0f + 64.0f * sy),
                  int32_t(55.0f + 540.0f * sx), int32_t(118.0f + 64.0f * sy), 0);
    float efficiency = 0.0f, production = 0.0f, fill = 0.0f;
    uint32_t word = 0;
    MV2MiningGetSiteStatus(2, &efficiency, &production, &fill, &word);
    MV2HudDrawNumber(int32_t(efficiency * 100.0f), int32_t(54.0f + 540.0f * sx),
                     int32_t(100.0f + 64.0f * sy), efficiency >= 0.5f ? kMV2HudColour : 0xFFFFFF00u,
                     2);
}

void MV2Mission20HideStatus() {
    g_m20.statusShown = 0;
}

int32_t MV2Mission20StatusShown() {
    return g_m20.statusShown;
}
