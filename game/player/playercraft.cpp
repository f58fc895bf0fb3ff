// The player's craft: references, spawn, the player brain, the dead brain, the equipment level,
// alternate thrust and the message-trigger and spinning-prop objects.
#include "game/player/playercraft.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/camera.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/missionmap.h"
#include "game/frontend/radar.h"
#include "game/missions/city.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/scanner.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "platform/crt/crt.h"
#include "shell/audio.h"
#include "shell/controls.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

namespace {

struct HurtTracker {
    MV2ObjectRef object;
    float lastEnergy;
    int32_t flashEnd;
};

struct PlayerState {
    MV2ObjectRef controlled;
    MV2ObjectRef sub;
    int32_t equipmentLevel;
    uint32_t multiplayerFreeze;
    uint32_t altThrust;
    HurtTracker hurt;
    int32_t deathTime;
    MV2ObjectRef lastAttacker;
    int32_t toolDelay;
    int32_t rememberedTool = -1;
    uint32_t beamId;
    TvV3d beamStart, beamEnd;
    int32_t lockChannel;
    int32_t lockSlot;
    TpLight* headlight;
    TvFrame* headlightFrame;
    uint8_t controlState;
    // The approach to a city door (state 1) or a drop point (state 2); 0 none.
    MV2CityBay* dockDoor;
    MV2ObjectRef dockDrop;
    MV2ObjectRef dockDoorObject;
    TvV3d dockPoint;
    int32_t dockState;
};
PlayerState g_player;

// The weapon keys in the order they are tried.
constexpr int32_t kWeaponKeys[] = {19, 20, 21, 22, 23, 24, 53, 54, 55, 56};

int32_t Now() {
    return int32_t(MV2ShotClock());
}

bool Multiplayer() {
    return gMV2GameType == 3 || gMV2GameType == 4;
}

MV2SubData* SubData(MV2Object* craft) {
    if (!craft || !craft->type || craft->type->privateDataSize < sizeof(MV2SubData)) return nullptr;
    return static_cast<MV2SubData*>(craft->privateData);
}

const MV2Action& Action(int32_t i) {
    return gMV2Controls.actions[i];
}

void ClearAction(int32_t i) {
    gMV2Controls.actions[i].active = 0;
}

void Send(MV2Object* craft, int32_t message, intptr_t p1 = 0, intptr_t p2 = 0) {
    MV2ObjectSendMessage(craft, message, p1, p2);
}

void SendFloat(MV2Object* craft, int32_t message, float value) {
    MV2ObjectSendMessage(craft, message, 0, reinterpret_cast<intptr_t>(&value));
}

void RemoveBeam() {
    if (g_player.beamId) MV2RemoveBeam(g_player.beamId);
    g_player.beamId = 0;
}

void StopLockTone() {
    if (g_player.lockChannel > 0) MV2StopSound(g_player.lockSlot, g_player.lockChannel);
    g_player.lockChannel = 0;
}

bool CameraPosition(TvV3d* out) {
    if (!gMV2MainCamera || !gMV2MainCamera->object.frame) return false;
    *out = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    return true;
}

void LockTone(bool on) {
    if (!on) {
        StopLockTone();
        return;
    }
    const int32_t slot = MV2GetSoundSlot(MV2ShotSound("LOCK2"));
    if (g_player.lockChannel <= 0) {
        g_player.lockSlot = slot;
        g_player.lockChannel = MV2PlaySound(slot, 0, 1);
    }
    TvV3d camera;
    if (g_player.lockChannel > 0 && CameraPosition(&camera))
        MV2PlaceSound3D(g_player.lockSlot, g_player.lockChannel, &camera, nullptr, 0, 0.0f);
}

void DestroyHeadlight() {
    if (!g_player.headlight) return;
    if (TpWorld* world = TpLightGetWorld(g_player.headlight))
        TpWorldRemoveLight(world, g_player.headlight);
    TpLightSetFrame(g_player.headlight, nullptr);
    TpLightDestroy(g_player.headlight);
    if (g_player.headlightFrame) TvFrameDestroy(g_player.headlightFrame);
    g_player.headlight = nullptr;
    g_player.headlightFrame = nullptr;
}

bool CreateHeadlight(MV2Object* craft) {
    if (g_player.headlight) return true;
    g_player.headlight = TpLightCreate(0x80);
    if (!g_player.headlight) return false;
    g_player.headlightFrame = TvFrameCreate();
    if (!g_player.headlightFrame) {
        TpLightDestroy(g_player.headlight);
        g_player.headlight = nullptr;
        return false;
    }
    TpLightSetFlags(g_player.headlight, 3);
    TpLightSetRadius(g_player.headlight, 10.0f);
    TpLightSetColor(g_player.headlight, 1.0f, 1.0f, 1.0f, 1.0f);
    TpLightSetFrame(g_player.headlight, g_player.headlightFrame);
    Send(craft, 11, 1);
    return true;
}

void Headlight(MV2Object* craft) {
    if (!g_player.headlight) {
        const MV2SubDefinition* def = MV2GetSubDefinition(craft);
        if (def && def->attachmentCount > 0 && MV2CraftLightsOn(craft)) CreateHeadlight(craft);
        return;
    }
    TvMatrix* m = TvFrameGetMatrix(g_player.headlightFrame);
    m->pos = craft->matrix->pos;
    TvFrameUpdateObjects(g_player.headlightFrame);
    const int32_t type = MV2ShotTypeOf(craft);
    if (type == 142 || type == 15 || type == 96) return;
    TpWorld* in = TpLightGetWorld(g_player.headlight);
    if (MV2CraftLightsOn(craft)) {
        if (!in)
            if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddLight(world, g_player.headlight);
    } else if (in) {
        TpWorldRemoveLight(in, g_player.headlight);
    }
}

void TrackHurt(MV2Object* craft) {
    HurtTracker& h = g_player.hurt;
    if (MV2GetObjectRef(&h.object) != craft) {
        MV2SetObjectRef(&h.object, craft);
        h.lastEnergy = craft->energy;
        h.flashEnd = Now() - 1;
        return;
    }
    const float drop = h.lastEnergy - craft->energy;
    if (drop <= 0.0f) {
        h.lastEnergy = craft->energy;
    } else if (drop <= 1.0f) {
        h.lastEnergy -= MV2ShotFrameSeconds();
    } else if (Now() - h.flashEnd > 100) {
        h.flashEnd = Now() + 200;
        h.lastEnergy = craft->energy;
    }
}

void AimingBeam(MV2Object* craft) {
    MV2SubData* data = SubData(craft);
    TvFrame* mount = data ? data->mounts[0] : nullptr;
    const int32_t mode = MV2GetCameraMode();
    if (mode == 1 || mode == 5 || !mount) {
        RemoveBeam();
        return;
    }
    const TvMatrix* m = TvFrameGetLTM(mount);
    g_player.beamStart = m->pos;
    g_player.beamEnd = TvV3dAdd(m->pos, TvV3dScale(m->at, 60.0f));
    TvV3d hit;
    if (MV2TraceLine(TpWorldGetCurrent(), &g_player.beamStart, &g_player.beamEnd, &hit, nullptr,
                     nullptr, nullptr, craft))
        g_player.beamEnd = hit;
    if (!g_player.beamId || !MV2BeamExists(g_player.beamId))
        g_player.beamId = MV2CreateBeam(&g_player.beamStart, &g_player.beamEnd, 0.01f, 6, 0x462);
}

bool IsDead(MV2Object* craft) {
    MV2Object* sub = MV2GetPlayerSub();
    if (craft == sub && craft->energy <= 0.0f) return true;
    return MV2ShotTypeOf(craft) == 167 && (craft->energy <= 0.0f || (sub && sub->energy <= 0.0f));
}

void Die(MV2Object* craft) {
    RemoveBeam();
    g_player.controlState = 0x80;
    MV2Object* attacker = MV2GetLastAttacker();
    if (!attacker || attacker == craft) {
        MV2NetAddLocalFrags(-1);
    } else {
        MV2NetSendKilled(attacker);
        MV2ClearObjectRef(&g_player.lastAttacker);
    }
    if (gMV2GameType == 2) MV2StartGameOver(3000);
    if (gMV2GameState.current != 15) {
        MV2SetCameraMode(0);
        if (gMV2GameType == 2) {
            MV2HudSetMode(1);
            MV2AudioStopStream();
            MV2ResetHudMessages();
        }
        StopLockTone();
        gMV2GameState.requested = 0;
        Send(craft, 31);
        Send(craft, 29, 0, reinterpret_cast<intptr_t>(&MV2DeadPlayerHandler));
        craft->energy = 1000.0f;
        g_player.deathTime = Now() + 1000;
    }
}

// The answer word of a tool question: nonzero when any tool of the list says so.
intptr_t AskTools(MV2Object* craft, int32_t command) {
    intptr_t answer = 0;
    if (MV2SubData* data = SubData(craft))
        MV2BroadcastToolCommand(data, command, 0, reinterpret_cast<intptr_t>(&answer));
    return answer;
}

intptr_t AskToolKind(MV2Object* craft, int32_t kind, int32_t command) {
    intptr_t answer = 0;
    MV2SendToolCommand(craft, kind, command, 0, &answer);
    return answer;
}

int32_t CurrentSlot(MV2Object* craft) {
    MV2SubData* data = SubData(craft);
    return data ? data->weapons.currentWeaponSlot : -1;
}

bool HasTools(MV2Object* craft) {
    MV2SubData* data = SubData(craft);
    return data && data->tools.first;
}

int32_t CurrentTool(MV2Object* craft) {
    MV2SubData* data = SubData(craft);
    return data ? data->tools.currentKind : -1;
}

void Interface(const char* name) {
    MV2ShotInterfaceSound(name);
}

void Camera(MV2Object* craft) {
    const int32_t mode = MV2GetCameraMode();
    if (mode == 2) return;
    if (!AskTools(craft, 34) && !AskToolKind(craft, 2, 13)) {
        if (mode != 1 && mode != 5) MV2SetCameraMode(1);
    } else if (mode != 0) {
        MV2SetCameraMode(0);
    }
}

void WeaponChoice(MV2Object* craft) {
    MV2WeaponRecord* before = MV2GetCurrentWeapon(craft);
    const int32_t slotBefore = before ? before->slot : -1;
    intptr_t steps = 0;
    if (Action(7).active) {
        Send(craft, 26, 0);
        steps = 1;
    } else {
        for (int32_t key : kWeaponKeys)
            if (Action(key).active) {
                steps = MV2ObjectSendMessage(craft, 26, key, 0);
                break;
            }
    }
    if (!steps) return;
    MV2ShiftWeaponStrip(int32_t(steps));
    MV2WeaponRecord* after = MV2GetCurrentWeapon(craft);
    Interface(!after || after->slot == slotBefore ? "MAPNOTAVAILABLE" : "TOOLSELECT");
}

void ForcedTool(MV2Object* craft) {
    const bool slot23 = CurrentSlot(craft) == 23;
    if (slot23) {
        if (g_player.rememberedTool < 0 || CurrentTool(craft) != 13) {
            if (CurrentTool(craft) != 13) g_player.rememberedTool = CurrentTool(craft);
            Send(craft, 48, 13);
            intptr_t found = 0;
            Send(craft, 52, 13, reinterpret_cast<intptr_t>(&found));
        }
        return;
    }
    if (g_player.rememberedTool < 0) return;
    intptr_t found = 0;
    Send(craft, 52, g_player.rememberedTool, reinterpret_cast<intptr_t>(&found));
    if (!found) Send(craft, 51);
    Send(craft, 49, 13);
    g_player.rememberedTool = -1;
}

void NextTool(MV2Object* craft) {
    if (!Action(9).active) return;
    if (g_player.rememberedTool >= 0 || !HasTools(craft)) {
        Interface("MAPNOTAVAILABLE");
        return;
    }
    const int32_t before = CurrentTool(craft);
    Send(craft, 51);
    MV2ShiftToolStrip(1);
    Interface(CurrentTool(craft) != before ? "TOOLSELECT" : "MAPNOTAVAILABLE");
}

void UseTool(MV2Object* craft) {
    if (Action(1).active && g_player.toolDelay < 1) {
        MV2Tool* tool = MV2GetCurrentTool(craft);
        const int32_t cooldown = tool ? tool->cooldown : 0;
        intptr_t made = 0;
        Send(craft, 53, 0, reinterpret_cast<intptr_t>(&made));
        if (Multiplayer()) {
            if (auto* object = reinterpret_cast<MV2Object*>(made)) {
                TvV3d zero{};
                Send(object, 12, 0, reinterpret_cast<intptr_t>(&zero));
            }
            if (cooldown == 0) MV2NetSendToolHit();
        }
    }
    g_player.toolDelay -= MV2ShotFrameMilliseconds();
}

bool AboveSurface(MV2Object* craft) {
    return craft->matrix->pos.y - MV2GetWaterHeight(&craft->matrix->pos) >= 0.5f;
}

void Movement(MV2Object* craft) {
    const int32_t type = MV2ShotTypeOf(craft);
    const bool surfaceRule = type == 84 || !AboveSurface(craft);
    const bool frozen = Multiplayer() && (g_player.multiplayerFreeze || MV2IsPowerUpActive(7));
    bool skipRest = false;
    if (!frozen) {
        if (!g_player.altThrust) {
            if (Action(4).active) {
                const float v = Action(4).value;
                SendFloat(craft, 8, v);
                g_player.controlState |= v > 0.0f ? 4 : v < 0.0f ? 8 : 0;
            }
        } else if (Action(2).active) {
            SendFloat(craft, 8, Action(2).value);
        }
        if (Action(27).active) SendFloat(craft, 81, Action(27).value);
        if (!g_player.altThrust && Action(2).active) {
            const float v = Action(2).value;
            g_player.controlState |= v > 0.0f ? 1 : v < 0.0f ? 2 : 0;
            if (type == 142 && v < 0.0f) skipRest = true;
            else if (surfaceRule) SendFloat(craft, 5, v);
        }
    }
    if (skipRest) return;
    if (Action(3).active && surfaceRule) {
        const float v = Action(3).value;
        SendFloat(craft, 7, v);
        g_player.controlState |= v > 0.0f ? 16 : v < 0.0f ? 32 : 0;
    }
    if (Action(6).active) SendFloat(craft, 6, Action(6).value);
}

void Controls(MV2Object* craft) {
    Camera(craft);
    if (Action(13).active) {
        MV2CycleCameraView();
        ClearAction(13);
    }
    if (Action(11).active) {
        MV2HudSetMode(7);
        Interface("TOOLSELECT");
        ClearAction(11);
    }
    WeaponChoice(craft);
    ForcedTool(craft);
    NextTool(craft);
    UseTool(craft);
    if (Multiplayer()) {
        const bool on = MV2CraftLightsOn(craft);
        if (Action(5).active) Send(craft, 11, on ? 0 : 1);
        if (MV2CraftLightsOn(craft)) g_player.controlState |= 64;
    }
    Movement(craft);
    Headlight(craft);
}

float DistanceSquared(const TvV3d& a, const TvV3d& b) {
    const TvV3d d = TvV3dSub(a, b);
    return TvV3dDot(d, d);
}

void ClearDockApproach() {
    g_player.dockDoor = nullptr;
    MV2ClearObjectRef(&g_player.dockDrop);
    MV2ClearObjectRef(&g_player.dockDoorObject);
    g_player.dockState = 0;
}

// An approach under way: dropped beyond 15 units, completed within 2.75, else the door is
// told to stay open.
void ContinueApproach(MV2Object* craft) {
    MV2Object* door = MV2GetObjectRef(&g_player.dockDoorObject);
    const float d2 = DistanceSquared(craft->matrix->pos, g_player.dockPoint);
    if (d2 > 225.0f) {
        g_player.toolDelay = 200;
        if (door) Send(door, 33, 0);
        ClearDockApproach();
    } else if (d2 < 7.5625f) {
        if (g_player.dockState == 1) {
            MV2Object* arriving = door;
            MV2CityReceiveCraft(craft, &arriving);
            g_player.dockDoor = nullptr;
            MV2SubData* data = SubData(craft);
            const MV2SubDefinition* def = MV2GetSubDefinition(craft);
            if (data && def) MV2StopObjectSound(craft, def->soundId, &data->soundSlot);
        } else if (MV2Object* drop = MV2GetObjectRef(&g_player.dockDrop)) {
            if (!AskTools(craft, 34) && MV2GetEquipmentLevel() > 1) {
                int32_t id = 0;
                Send(drop, 35, 0, reinterpret_cast<intptr_t>(&id));
                MV2CityStartDelivery(drop, id);
            }
        }
    } else if (door) {
        Send(door, 33, 1);
    }
}

// The doors, drop points and mothership docks near the craft: an approach starts, or a pull
// door or dock draws the craft in along its vector.
void DockApproach(MV2Object* craft) {
    const bool remembered = g_player.dockState == 1 ? g_player.dockDoor != nullptr
                            : g_player.dockState == 2 ? MV2GetObjectRef(&g_player.dockDrop) != nullptr
                                                      : false;
    if (remembered) {
        ContinueApproach(craft);
        return;
    }
    const TvV3d pos = craft->matrix->pos;
    MV2Object* pull = nullptr;
    TvV3d vector{}, point{};
    bool door = false;
    for (MV2CityBay& bay : gMV2CityBays) {
        MV2Object* object = MV2GetObjectRef(&bay.door);
        if (!object || !object->matrix) continue;
        const TvMatrix* m = object->matrix;
        const float d2 = DistanceSquared(pos, m->pos);
        if (bay.routeKind == 2) {
            if (d2 < object->radius * object->radius) {
                pull = object;
                vector = m->at;
                point = TvV3dAdd(m->pos, vector);
            }
        } else if (d2 < 49.0f) {
            MV2CityCraftExited(craft, &bay);
            g_player.dockDoor = &bay;
            MV2SetObjectRef(&g_player.dockDoorObject, object);
            g_player.dockPoint = TvV3dSub(m->pos, TvV3dScale(m->at, 3.0f));
            g_player.dockState = 1;
            door = true;
            break;
        }
    }
    if (!door) {
        if (MV2Object* dropDoor = MV2CityCheckDropPoint(craft)) {
            const int32_t i = gMV2City.lastDropPoint;
            MV2Object* drop = i >= 0 && i < 2 ? gMV2City.record.dropPoints[i] : nullptr;
            if (drop && drop->matrix) {
                MV2SetObjectRef(&g_player.dockDrop, drop);
                MV2SetObjectRef(&g_player.dockDoorObject, dropDoor);
                g_player.dockPoint =
                    TvV3dAdd(drop->matrix->pos, TvV3dScale(drop->matrix->at, 2.5f));
                g_player.dockState = 2;
            }
        } else if (!pull) {
            for (int32_t i = 0; i < 2 && !pull; ++i) {
                MV2Object* dock = MV2GetMothershipDock(i);
                if (dock && dock->matrix &&
                    DistanceSquared(pos, dock->matrix->pos) < dock->radius * dock->radius) {
                    pull = dock;
                    vector = dock->matrix->up;
                    point = TvV3dAdd(dock->matrix->pos, vector);
                }
            }
        }
    }
    if (!pull) return;
    float d = TvV3dDot(TvV3dSub(pos, point), vector);
    if (d < 0.0f) d = 0.0f;
    if (2.0f - d > 0.0f) {
        const TvV3d force = TvV3dScale(vector, (2.0f - d) * MV2ShotFrameSeconds() * 2.0f);
        MV2AddForce(craft, &force);
    }
}

void MapToggle() {
    if (!Action(16).active || gMV2GameState.current == 6) return;
    const int32_t answer = MV2SetMapMode(gMV2GameState.current == 0 ? 1 : 0);
    Interface(answer ? "TOOLSELECT" : "MAPNOTAVAILABLE");
    ClearAction(16);
}

intptr_t Update(MV2Object* craft, intptr_t p1, intptr_t p2) {
    TrackHurt(craft);
    if (MV2IsPowerUpActive(3) && craft->type) craft->energy = MV2TypeFloat(craft->type, 1);
    g_player.controlState = 0;
    const uint32_t hudMode = MV2HudGetMode();
    LockTone(MV2GetLockedTarget() && (hudMode == 0 || hudMode == 4));
    AimingBeam(craft);
    if (IsDead(craft)) {
        Die(craft);
        return 1;
    }
    const intptr_t busy = AskTools(craft, 37);
    const int32_t type = MV2ShotTypeOf(craft);
    if (!gMV2Level.changePending && gMV2GameType == 2 && type != 142 && type != 167 && !busy)
        DockApproach(craft);
    if (gMV2GameType == 2) MapToggle();
    else if (Multiplayer()) MV2UpdatePowerUps();
    if (gMV2GameState.current == 0 || gMV2GameState.current == 15) Controls(craft);

    const MV2ObjectHandle handle = craft->handle;
    const intptr_t result = craft->typeHandler ? craft->typeHandler(craft, 2, p1, p2) : 0;
    if (!result) return 0;
    if (!MV2ObjectHandleAlive(handle)) return 1;
    if (!Action(0).active) {
        Send(craft, 64);
        return result;
    }
    MV2WeaponRecord* w = MV2GetCurrentWeapon(craft);
    const int32_t countdown = w ? w->reloadCountdown : 0;
    intptr_t shot = 0;
    Send(craft, 10, 0, reinterpret_cast<intptr_t>(&shot));
    if (Multiplayer()) {
        if (auto* projectile = reinterpret_cast<MV2Object*>(shot)) {
            TvV3d zero{};
            Send(projectile, 12, 0, reinterpret_cast<intptr_t>(&zero));
        }
        if (countdown == 0) MV2NetSendWeaponHit();
    }
    return result;
}

void BrainRemoved(MV2Object* craft) {
    Send(craft, 64);
    MV2ClearLockOn();
    StopLockTone();
    gMV2Hud.scanTime = 2001; // past the target pointer's 2000 ms run
    MV2SendToolCommand(craft, 1, 12, 0, nullptr);
    RemoveBeam();
    DestroyHeadlight();
}

// The collision sound rule of messages 19 and 101.
void DamageSound(MV2Object* craft, MV2Object* other) {
    const char* name;
    if (MV2ShotMaterialClass(other) != 0) {
        name = "GROUNDCOLLISION";
    } else {
        const int32_t r = PlatformRand() & 3;
        name = r == 0 ? "METALCOLLISION" : r == 1 ? "GROUNDCOLLISION" : "HITMETAL2";
    }
    MV2ShotPlayAt(craft->matrix->pos, 30.0f, name, 0);
}

// The speed at which two colliding objects close on each other along the line between them.
float ClosingSpeed(MV2Object* a, MV2Object* b) {
    if (!a->matrix || !b->matrix) return 0.0f;
    const TvV3d va = a->body ? a->body->velocity : TvV3d{};
    const TvV3d vb = b->body ? b->body->velocity : TvV3d{};
    const TvV3d line = MV2ShotUnit(TvV3dSub(b->matrix->pos, a->matrix->pos));
    return std::fabs(TvV3dDot(TvV3dSub(va, vb), line));
}

void Impact(MV2Object* craft, intptr_t p2) {
    const float impact = p2 ? std::fabs(*reinterpret_cast<const float*>(p2)) : 0.0f;
    if (impact <= 0.03f) return;
    TvV3d camera;
    if (MV2GetCameraMode() == 1 && CameraPosition(&camera))
        MV2ShotPlayAt(camera, 1.0f, "GROUNDCOLLISION", -500);
    const TvV3d* normal = MV2GetContactNormal();
    const TvV3d direction = normal ? TvV3dScale(*normal, -1.0f) : TvV3d{0.0f, -1.0f, 0.0f};
    const TvV3d at = TvV3dAdd(craft->matrix->pos, TvV3dScale(direction, craft->radius));
    const int32_t count = PlatformRand() & 31;
    for (int32_t i = 0; i < count; ++i) {
        const float scale = impact * 50.0f * 0.02f;
        TvV3d v{direction.x * scale * float(PlatformRand() & 255) / 255.0f,
                direction.y * scale * float(PlatformRand() & 255) / 255.0f,
                direction.z * scale * float(PlatformRand() & 255) / 255.0f};
        const float degrees = float(PlatformRand() & 255) * 0.15686275f - 20.0f;
        TvV3d axis{float(PlatformRand() & 255) / 255.0f - 1.0f,
                   float(PlatformRand() & 255) / 255.0f - 1.0f,
                   float(PlatformRand() & 255) / 255.0f - 1.0f};
        axis = MV2ShotUnit(axis);
        if (TvV3dDot(axis, axis) > 0.0f) {
            TvMatrix turn;
            TvMatrixSetIdentity(&turn);
            TvMatrixRotate(&turn, &axis, degrees, 0);
            TvV3dTransformVectors(&v, &v, 1, &turn);
        }
        float position[3], velocity[3];
        MV2ShotPoint(at, position);
        MV2ShotPoint(v, velocity);
        MV2CreateGravel(position, velocity);
    }
}

} // namespace

MV2Object* MV2GetPlayerObject() {
    return MV2GetObjectRef(&g_player.controlled);
}

MV2Object* MV2GetPlayerSub() {
    return MV2GetObjectRef(&g_player.sub);
}

void MV2SetPlayerObject(MV2Object* object) {
    if (object) MV2SetObjectRef(&g_player.controlled, object);
    else MV2ClearObjectRef(&g_player.controlled);
}

void MV2SetPlayerSub(MV2Object* object) {
    if (object) MV2SetObjectRef(&g_player.sub, object);
    else MV2ClearObjectRef(&g_player.sub);
}

void MV2SetEquipmentLevel(int32_t level) {
    g_player.equipmentLevel = level < 0 ? 0 : level;
}

int32_t MV2GetEquipmentLevel() {
    return g_player.equipmentLevel;
}

void MV2SetAltThrustControl(uint32_t on, int32_t store, int32_t announce) {
    if (store) g_player.altThrust = on;
    if (announce) MV2PlayMissionMessage(on ? 1072 : 1073);
}

uint32_t MV2GetAltThrustControl() {
    return g_player.altThrust;
}

void MV2SetMultiplayerFreeze(uint32_t on) {
    g_player.multiplayerFreeze = on;
}

float MV2GetCraftDepthLimit(MV2Object* object) {
    if (!object || !object->type) return 0.0f;
    const uint32_t word = object->type->words[29];
    const int32_t mission = MV2GetCurrentMission();
    return float(mission >= 1 && mission <= 20 ? word >> 16 : word & 0xFFFF);
}

float MV2GetPlayerHullFraction() {
    MV2Object* sub = MV2GetPlayerSub();
    if (!sub || !sub->type) return 1.0f;
    const float initial = MV2TypeFloat(sub->type, 1);
    return initial != 0.0f ? sub->energy / initial : 0.0f;
}

void MV2SetLastAttacker(MV2Object* attacker) {
    if (attacker) MV2SetObjectRef(&g_player.lastAttacker, attacker);
    else MV2ClearObjectRef(&g_player.lastAttacker);
}

MV2Object* MV2GetLastAttacker() {
    return MV2GetObjectRef(&g_player.lastAttacker);
}

uint8_t MV2GetPlayerControlState() {
    return g_player.controlState;
}

void MV2SetPlayerControlState(uint8_t state) {
    g_player.controlState = state;
}

int32_t MV2GetHurtFlashEnd() {
    return g_player.hurt.flashEnd;
}

int32_t MV2SpawnPlayer() {
    // A headlight whose craft went without its brain being removed (a shut-down game) belongs to
    // nothing now; it is forgotten, not touched.
    if (!MV2GetPlayerSub()) {
        g_player.headlight = nullptr;
        g_player.headlightFrame = nullptr;
    }
    int32_t type;
    TvV3d at = *MV2GetStartPosition();
    TvV3d direction{};
    int32_t haveDirection = 0;
    const bool multiplayer = Multiplayer();
    if (!multiplayer) {
        type = MV2GetCurrentSubType();
    } else {
        type = MV2NetChosenCraftType();
        haveDirection = MV2NetGetSpawnPoint(&at, &direction);
    }
    float position[3];
    MV2ShotPoint(at, position);
    MV2Object* craft = MV2CreateObject(type, position, nullptr);
    if (!craft) return 0;
    if (multiplayer) {
        if (haveDirection) {
            MV2ShotFaceAlong(craft->matrix, MV2ShotUnit(direction));
            MV2ShotSyncFrame(craft);
        }
        if (type == 84) {
            if (AboveSurface(craft)) Send(craft, 63);
            Send(craft, 48, 10);
        }
    }
    MV2SetPlayerSub(craft);
    Send(craft, 12, 0, 0);
    MV2SetPlayerObject(craft);
    Send(craft, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
    if (!multiplayer) MV2EquipPlayerSub(craft);
    else Send(craft, 21, 21, 0);
    MV2RecentrePlanktum();
    MV2LoadMPWeapons();
    MV2SetCameraMatrix(craft->matrix);
    Send(craft, 11, 1);
    ClearDockApproach();
    MV2ClearObjectRef(&g_player.lastAttacker);
    g_player.altThrust = 0;
    MV2SetObjectRef(&g_player.hurt.object, craft);
    g_player.hurt.lastEnergy = craft->energy;
    g_player.hurt.flashEnd = Now() - 1;
    return 1;
}

intptr_t MV2PlayerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto next = [&]() -> intptr_t {
        return object->typeHandler ? object->typeHandler(object, message, p1, p2) : 0;
    };
    switch (message) {
    case 2: return Update(object, p1, p2);
    case 4: {
        MV2Object* sub = MV2GetPlayerSub();
        if (MV2GetPlayerObject() == sub || !sub) MV2SetCameraMode(2);
        else MV2TakeControlOfCraft(sub);
        BrainRemoved(object);
        return next();
    }
    case 14: {
        const intptr_t result = next();
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other) return result;
        const bool noCollision =
            (object->type && (object->type->words[7] & kMV2TypeCollisionTree)) ||
            (other->type && (other->type->words[7] & kMV2TypeCollisionTree));
        intptr_t owner = 0;
        if (!noCollision) MV2ObjectSendMessage(other, 16, 0, reinterpret_cast<intptr_t>(&owner));
        return !noCollision && reinterpret_cast<MV2Object*>(owner) == object ? 0 : result;
    }
    case 18:
        Impact(object, p2);
        return next();
    case 19: {
        const intptr_t result = next();
        if (MV2GetCameraMode() == 1 && std::labs(long(p1)) >= 651)
            DamageSound(object, reinterpret_cast<MV2Object*>(p2));
        return result;
    }
    case 31:
        BrainRemoved(object);
        return next();
    case 32:
        if (!CreateHeadlight(object)) return 0;
        return next();
    case 68: {
        const int32_t left = g_player.hurt.flashEnd - Now();
        if (MV2GetObjectRef(&g_player.hurt.object) == object && left > 0)
            MV2Draw2DScreenFill(255, 0, 0, uint8_t(left * 96 / 200));
        return next();
    }
    case 83: {
        if (const auto* at = reinterpret_cast<const float*>(p2))
            gMV2Level.startPosition = {at[0], at[1], at[2]};
        RemoveBeam();
        const intptr_t result = next();
        Send(object, 66);
        return result;
    }
    case 101: {
        const intptr_t result = next();
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (MV2GetCameraMode() == 1 && other && other->aiCategory == 6 &&
            ClosingSpeed(object, other) > MV2ShotFrameStep() * 0.02f &&
            !(MV2ShotTypeOf(other) == 167 && MV2ObjectSendMessage(other, 13, 1, 0)))
            DamageSound(object, other);
        return result;
    }
    case 103:
        if (p1 == 0)
            if (MV2WeaponRecord* w = MV2GetCurrentWeapon(object)) MV2WeaponSendMessage(w, 103, p1, p2);
        return next();
    default: return next();
    }
}

intptr_t MV2DeadPlayerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 14:
    case 18:
    case 19:
    case 75: return 1;
    case 2:
        if (Now() - g_player.deathTime > 0) {
            object->energy = -1.0f;
            if (Multiplayer()) MV2DropPickups(object);
        }
        break;
    default: break;
    }
    if (object->typeHandler) object->typeHandler(object, message, p1, p2);
    return 0;
}

namespace {

struct TriggerRow {
    int32_t scriptId;
    int32_t message;
};
constexpr TriggerRow kTriggerRows[] = {
    {0x7000083, 44}, {0x700005f, 46}, {0x700008d, 58}, {0x7000092, 61}, {0x7000085, 45},
    {0x700008c, 47}, {0x7000091, 59}, {0x7000088, 77}, {0x7000093, 78}, {0xa00001f, 74},
};

} // namespace

intptr_t MV2MessageTriggerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    intptr_t& id = object->words[0];
    switch (message) {
    case 96: return MV2ShotAnswerSize(p2, 0);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        id = -1;
        Send(object, 0, 1);
        return result;
    }
    case 2:
        if (id == -1) {
            for (const TriggerRow& row : kTriggerRows)
                if (row.scriptId == object->scriptId) {
                    Send(object, 12, row.message);
                    break;
                }
            Send(object, 1, 1);
        }
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 12: id = p1; return 1;
    case 13: return id;
    case 97:
        if (id >= 1) {
            MV2PlayMissionMessage(int32_t(id));
            id = 0;
        }
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SpinPropHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    intptr_t& word = object->words[0];
    switch (message) {
    case 24: word = p1; return 1;
    case 84: return word;
    case 70: return 1;
    case 96: return MV2ShotAnswerSize(p2, 0);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        word = 0;
        if (object->type) object->type->words[7] &= ~(1u << 23);
        if (object->body)
            object->body->angularVelocity = {float(PlatformRand() & 255) * 0.0023529413f,
                                             float(PlatformRand() & 255) * 0.0023529413f,
                                             float(PlatformRand() & 255) * 0.0023529413f};
        return result;
    }
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterPlayerHandlers() {
    // Tool rows whose handlers are the scanner's and the stun dart's.
    MV2SetToolRowHandler(1, MV2ScannerToolHandler);
    MV2SetToolRowHandler(14, MV2StunDartToolHandler);
    for (int32_t type : {253, 254, 256, 259, 260, 261, 263})
        MV2SetObjectTypeHandler(type, MV2MessageTriggerHandler);
    MV2SetObjectTypeHandler(343, MV2SpinPropHandler);
    MV2SetObjectTypeHandler(2, MV2BoltHandler);
    MV2SetObjectTypeHandler(146, MV2BoltHandler);
    MV2SetObjectTypeHandler(3, MV2DebrisPieceHandler);
    MV2SetObjectTypeHandler(145, MV2BulletHandler);
    MV2SetObjectTypeHandler(394, MV2HomingMissileHandler);
    MV2SetObjectTypeHandler(258, MV2StingerHandler);
    MV2SetObjectTypeHandler(187, MV2Type187Handler);
    MV2SetObjectTypeHandler(100, MV2TargetGroupHandler);
    MV2SetObjectTypeHandler(395, MV2TargetSocketHandler);
    MV2SetObjectTypeHandler(296, MV2FlareHandler);
    MV2SetObjectTypeHandler(286, MV2WaypointStoneBallHandler);
    MV2SetObjectTypeHandler(97, MV2FloatingObjectHandler);
    MV2SetObjectTypeHandler(kMV2MagnetHeadType, MV2MagnetHeadHandler);
    MV2SetObjectTypeHandler(kMV2MagnetLinkType, MV2MagnetLinkHandler);
    MV2SetObjectTypeHandler(kMV2RovType, MV2RovHandler);
    MV2SetObjectTypeHandler(kMV2TurretType, MV2DeployableTurretHandler);
    MV2RegisterPickupHandlers();
}
