// The weapon table, weapon lists, firing, the default weapon answers, the damage rule and the
// mine launcher, disc bomb and lock-only launcher.
#include "game/player/weapons.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "game/creatures/pirates.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/loadout.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "platform/crt/crt.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/sounds.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;

struct RowSpec {
    int32_t shotType;
    int32_t reload;
    MV2WeaponHandler handler;
    const char* sound;
    int32_t usesAmmunition;
    int32_t flash;
    int32_t icon;
};

// The rows whose handlers live in this folder name them; the others are registered.
const RowSpec kRows[kMV2WeaponRows] = {
    {9, 1200, nullptr, "MISSILE", 1, 0, 12},
    {2, 200, MV2BoltGunHandler, "TBLAST1", 0, 0, 2},
    {94, 500, nullptr, "STUNDART", 1, 0, 47},
    {74, 500, nullptr, "MISSILE", 1, 0, 21},
    {461, 500, MV2LaserGunHandler, "LASER", 0, 0, 14},
    {332, 500, MV2MineLauncherHandler, "BABYMINELAUNCH", 1, 0, 46},
    {2, 500, MV2StandardWeaponHandler, "BOLTFIRING", 0, 0, 2},
    {333, 500, nullptr, "BABYMINELAUNCH", 1, 0, 28},
    {334, 500, MV2DiscBombHandler, "DISCBOMB", 1, 0, 29},
    {461, 500, MV2ShotgunHandler, "SHOTGUNSHOT", 1, 1, 18},
    {461, 100, MV2MachineGunHandler, nullptr, 1, 1, 30},
    {461, 500, MV2LaserGunHandler, "LASER", 0, 0, 31},
    {292, 2000, nullptr, "PINGUNFIRING", 1, 1, 32},
    {2, 500, MV2StandardWeaponHandler, "BOLTFIRING", 0, 0, 34},
    {338, 500, nullptr, "BOLTFIRING", 0, 0, 35},
    {2, 500, MV2StandardWeaponHandler, "BOLTFIRING", 0, 0, 2},
    {74, 500, nullptr, "MISSILE", 1, 0, 36},
    {292, 500, nullptr, "RAPIDPINGUNFIRING", 1, 1, 33},
    {339, 500, nullptr, "SPOREWEAPONSHOT", 0, 0, 2},
    {353, 500, nullptr, "SPOREWEAPONSHOT", 0, 0, 2},
    {353, 500, nullptr, "SPOREWEAPONSHOT", 0, 0, 2},
    {145, 200, MV2BulletGunHandler, "BOLTFIRING", 0, 0, 16},
    {2, 500, MV2StandardWeaponHandler, "BABYMINELAUNCH", 0, 0, 62},
    {291, 1000, nullptr, "BABYMINELAUNCH", 1, 0, 78},
    {355, 500, nullptr, "SPOREWEAPONSHOT", 1, 0, 2},
    {241, 1, MV2LockOnlyLauncherHandler, "BOLTFIRING", 0, 0, 179},
    {394, 1500, MV2HomingLauncherHandler, "MISSILE", 1, 0, 60},
    {292, 180, nullptr, "RAPIDPINGUNFIRING", 1, 1, 298},
};

MV2WeaponSlot g_rows[kMV2WeaponRows];
bool g_rowsReady = false;
TvFreeList* g_records = nullptr;
int32_t g_slotQuery = 0;
MV2ObjectRef g_damageSource{};

// Sound ids come from the sound list's names, which are only known once the program runs.
void EnsureRows() {
    if (g_rowsReady) return;
    for (int32_t i = 0; i < kMV2WeaponRows; ++i) {
        const RowSpec& r = kRows[i];
        g_rows[i] = {r.shotType, r.reload,
                     r.handler ? r.handler : g_rows[i].handler,
                     r.sound ? MV2ShotSound(r.sound) : kMV2NoSound, r.usesAmmunition, r.flash};
    }
    g_rowsReady = true;
}

bool IsController(const MV2Object* object) {
    return object && object == MV2GetPlayerObject();
}

MV2SubData* SubDataOf(const MV2WeaponRecord* w) {
    return static_cast<MV2SubData*>(w->ownerData);
}

// The frame a record's shot leaves from, or null.
TvFrame* MountFrame(const MV2WeaponRecord* w, MV2Object* shooter) {
    MV2SubData* data = SubDataOf(w);
    if (!data || w->mount < 0 || w->mount > 3) return nullptr;
    if (w->row && w->row->muzzleFlash && IsController(shooter) && MV2GetCameraMode() == 1 &&
        data->secondMounts[w->mount])
        return data->secondMounts[w->mount];
    return data->mounts[w->mount];
}

float Speed(const MV2Object* object) {
    return object->body ? MV2ShotLength(object->body->velocity) : 0.0f;
}

// The flash at the muzzle, on a copy of the spawn matrix.
void MuzzleFlash(MV2Object* shooter, const TvMatrix& spawn, const MV2CreationRecord& record) {
    float s = float(PlatformRand() & 0x3ff) * 0.00024437928f + 0.875f;
    if (MV2ShotTypeOf(shooter) == 15) s *= 2.25f;
    TvMatrix m = spawn;
    MV2ShotTurn(&m, m.at, float(PlatformRand() & 255));
    m.right = TvV3dScale(m.right, s);
    m.up = TvV3dScale(m.up, s);
    m.at = TvV3dScale(m.at, s);
    MV2CreationRecord flash = record;
    flash.matrix = &m;
    float position[3];
    MV2ShotPoint(m.pos, position);
    MV2CreateObject(331, position, &flash);
}

// Out of ammunition on the player's craft: the bullet gun takes over after a second.
void SwitchToBullets(MV2WeaponList* list, MV2Object* shooter) {
    const int32_t current = list->currentWeaponSlot;
    for (MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == current) MV2WeaponSendMessage(w, 64, 0, 0);
    for (MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == 21) {
            list->currentWeaponSlot = 21;
            w->reloadCountdown = 1000;
        }
    MV2ShotPlayAt(shooter->matrix->pos, 1.0f, "NOAMMO", 0);
}

bool AboveWater(MV2Object* object) {
    return object->matrix->pos.y > MV2GetWaterHeight(&object->matrix->pos);
}

// One record's shot: 1 when it went off (a projectile or a handler shot), else 0.
void FireRecord(MV2WeaponRecord* w, MV2Object* shooter, const MV2CreationRecord* given,
                MV2Object** projectile) {
    w->reloadCountdown = w->row->reload;
    if (w->ammunition != -1) --w->ammunition;

    TvMatrix spawn = given->matrix ? *given->matrix : *shooter->matrix;
    TvV3d at = shooter->matrix->pos;
    if (TvFrame* mount = MountFrame(w, shooter)) {
        spawn = *TvFrameGetLTM(mount);
        at = spawn.pos;
    }
    spawn.pos = at;
    if (given->aim) {
        const TvV3d aim{given->aim[0], given->aim[1], given->aim[2]};
        TvV3d right = MV2ShotUnit(TvV3dCross(TvV3d{0.0f, 1.0f, 0.0f}, aim));
        spawn.at = aim;
        spawn.right = right;
        spawn.up = TvV3dCross(aim, right);
    }
    MV2CreationRecord record = *given;
    record.matrix = &spawn;
    record.owner = shooter;

    if (w->row->handler &&
        w->row->handler(w, 10, 0, reinterpret_cast<intptr_t>(&record))) {
        if (w->row->muzzleFlash) MuzzleFlash(shooter, spawn, record);
        return;
    }
    const int32_t type = w->row->shotType;
    if (type == kMV2NoShotType) return;
    float position[3];
    MV2ShotPoint(at, position);
    MV2Object* shot = MV2CreateObject(type, position, &record);
    if (!shot) return;
    if (type != 353) shot->aiCategory = 10;
    MV2Object* locked = IsController(shooter) && MV2WeaponSendMessage(w, 10, 1, 0)
                            ? MV2GetLockedTarget()
                            : nullptr;
    const MV2ObjectHandle shotHandle = shot->handle;
    if (locked) {
        TvMatrix* m = shot->matrix;
        MV2ShotFaceAlong(m, MV2ShotUnit(TvV3dSub(locked->matrix->pos, shooter->matrix->pos)));
        MV2ShotSyncFrame(shot);
        TvV3d velocity = TvV3dScale(m->at, Speed(shooter));
        MV2ObjectSendMessage(shot, 12, 0, reinterpret_cast<intptr_t>(&velocity));
        if (MV2ObjectHandleAlive(shotHandle))
            MV2ObjectSendMessage(shot, 15, 1, reinterpret_cast<intptr_t>(shooter));
    } else {
        TvV3d velocity = shooter->body ? shooter->body->velocity : TvV3d{};
        if (given->aim)
            velocity = TvV3dScale(TvV3d{given->aim[0], given->aim[1], given->aim[2]},
                                  Speed(shooter));
        MV2ObjectSendMessage(shot, 12, 0, reinterpret_cast<intptr_t>(&velocity));
        if (MV2ObjectHandleAlive(shotHandle))
            MV2ObjectSendMessage(shot, 15, 0, reinterpret_cast<intptr_t>(shooter));
    }
    if (w->row->sound != kMV2NoSound)
        MV2ShotPlayIdAt(shooter->matrix->pos, 1.0f, w->row->sound, -200);
    MV2ObjectSendMessage(shooter, 23, 0, 0);
    if (MV2ObjectHandleAlive(shotHandle)) *projectile = shot;
    if (w->row->muzzleFlash) MuzzleFlash(shooter, spawn, record);
}

bool IsPuppet(const MV2Object* object) {
    return object->type && (object->type->words[7] & kMV2TypePuppet);
}

bool CannotDie(MV2Object* target) {
    if (target->overrideHandler != MV2SubAIBrain && target->overrideHandler != MV2PirateBrain)
        return false;
    const MV2SubAIData* data = MV2GetSubAIData(target);
    return data && data->cannotDie;
}

bool SurvivorType(int32_t type) {
    switch (type) {
    case 4: case 13: case 14: case 16: case 39: case 363: return true;
    default: return false;
    }
}

// The struck puppet part: the node nearest the hit point in the model's frame (0 without one).
int32_t PuppetPart(MV2Object* target, const float* hitPoint) {
    if (!hitPoint) return 0;
    const TvV3d world{hitPoint[0], hitPoint[1], hitPoint[2]};
    const TvMatrix* m = target->matrix;
    const TvV3d rel = TvV3dSub(world, m->pos);
    const TvV3d local{TvV3dDot(rel, m->right), TvV3dDot(rel, m->up), TvV3dDot(rel, m->at)};
    MV2TriangleHit hit;
    uint32_t part = 0;
    TvV3d velocity;
    return MV2ObjectPuppetPartTriangles(target, &local, 0.25f, 1, &hit, &part, &velocity) > 0
               ? int32_t(part)
               : 0;
}

} // namespace

const MV2WeaponSlot* MV2GetWeaponRow(int32_t slot) {
    if (slot < 0 || slot >= kMV2WeaponRows) return nullptr;
    EnsureRows();
    return &g_rows[slot];
}

int32_t MV2GetWeaponIcon(int32_t slot) {
    return slot >= 0 && slot < kMV2WeaponRows ? kRows[slot].icon : -1;
}

void MV2SetWeaponRowHandler(int32_t slot, MV2WeaponHandler handler) {
    if (slot < 0 || slot >= kMV2WeaponRows) return;
    EnsureRows();
    g_rows[slot].handler = handler;
}

void MV2InitWeaponList(MV2WeaponList* list) {
    list->first = list->last = nullptr;
    list->currentWeaponSlot = 0;
}

MV2WeaponRecord* MV2AddWeapon(MV2WeaponList* list, void* ownerData,
                              const MV2SubDefinition* definition, int32_t slot, int32_t mount,
                              MV2Object* owner) {
    // Slots and mounts arrive from save games, missions and the network.
    if (!list || slot < 0 || slot >= kMV2WeaponRows) return nullptr;
    if (mount < 0 || mount > (definition ? 3 : 0)) return nullptr;
    if (!g_records) {
        g_records = TvFreeListCreate(sizeof(MV2WeaponRecord), 20);
        if (!g_records) {
            MV2ErrorBox("Could not allocate weapons free list");
            return nullptr;
        }
    }
    auto* w = static_cast<MV2WeaponRecord*>(TvFreeListAlloc(g_records));
    if (!w) return nullptr;
    EnsureRows();
    *w = MV2WeaponRecord{};
    w->slot = slot;
    w->row = &g_rows[slot];
    w->ammunition = w->maximum = definition ? definition->ammunition[slot] : -1;
    w->reloadCountdown = w->row->reload;
    w->mount = mount;
    w->owner = owner;
    w->ownerData = ownerData;
    MV2WeaponRecord* at = list->first;
    while (at && at->slot < slot) at = at->next;
    w->next = at;
    w->prev = at ? at->prev : list->last;
    if (w->prev) w->prev->next = w;
    else list->first = w;
    if (at) at->prev = w;
    else list->last = w;
    list->currentWeaponSlot = slot;
    MV2WeaponSendMessage(w, 3, 0, reinterpret_cast<intptr_t>(owner));
    return w;
}

namespace {
void Unlink(MV2WeaponList* list, MV2WeaponRecord* w) {
    if (w->prev) w->prev->next = w->next;
    else list->first = w->next;
    if (w->next) w->next->prev = w->prev;
    else list->last = w->prev;
    TvFreeListFree(g_records, w);
}
} // namespace

int32_t MV2RemoveWeapon(MV2WeaponList* list, int32_t slot) {
    for (MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == slot) {
            MV2WeaponSendMessage(w, 4, 0, 0);
            Unlink(list, w);
            return 1;
        }
    return 0;
}

void MV2RemoveAllWeapons(MV2WeaponList* list) {
    while (MV2WeaponRecord* w = list->first) {
        MV2WeaponSendMessage(w, 4, 0, 0);
        Unlink(list, w);
    }
}

int32_t MV2SelectWeapon(MV2WeaponList* list, int32_t slot) {
    if (!MV2HasWeapon(list, slot)) return 0;
    list->currentWeaponSlot = slot;
    return 1;
}

void MV2SelectNextWeapon(MV2WeaponList* list) {
    MV2WeaponRecord* w = list->first;
    while (w && w->slot != list->currentWeaponSlot) w = w->next;
    if (!w) return;
    MV2WeaponSendMessage(w, 64, 0, 0);
    MV2WeaponRecord* n = w->next;
    while (n && n->slot == w->slot) n = n->next;
    list->currentWeaponSlot = n ? n->slot : list->first->slot;
}

int32_t MV2HasWeapon(const MV2WeaponList* list, int32_t slot) {
    for (const MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == slot) return 1;
    return 0;
}

int32_t* MV2QueryWeaponSlot(const MV2WeaponList* list, int32_t slot) {
    g_slotQuery = MV2HasWeapon(list, slot);
    return &g_slotQuery;
}

int32_t MV2CountWeapons(const MV2WeaponList* list) {
    int32_t n = 0;
    for (const MV2WeaponRecord* w = list->first; w; w = w->next)
        ++n;
    return n;
}

void MV2WeaponsTriggerReleased(MV2WeaponList* list) {
    for (MV2WeaponRecord* w = list->first; w; w = w->next)
        if (w->slot == list->currentWeaponSlot) MV2WeaponSendMessage(w, 64, 0, 0);
}

void MV2WeaponsBroadcast(MV2WeaponList* list, int32_t message, intptr_t p1, intptr_t p2) {
    const int32_t ms = message == 2 ? MV2ShotFrameMilliseconds() : 0;
    for (MV2WeaponRecord* w = list->first; w;) {
        MV2WeaponRecord* next = w->next;
        if (message == 2) w->reloadCountdown = w->reloadCountdown > ms ? w->reloadCountdown - ms : 0;
        if (w->row && w->row->handler) w->row->handler(w, message, p1, p2);
        w = next;
    }
}

intptr_t MV2FireWeapon(MV2WeaponList* list, MV2Object* shooter, const MV2CreationRecord* record,
                       MV2Object** projectile) {
    MV2Object* made = nullptr;
    if (projectile) *projectile = nullptr;
    if (!list || !shooter || !record) return 0;
    const int32_t current = list->currentWeaponSlot;
    for (MV2WeaponRecord* w = list->first; w; w = w->next) {
        if (w->slot != current) continue;
        if (w->ammunition == 0) {
            if (IsController(shooter)) {
                SwitchToBullets(list, shooter);
                break;
            }
            continue;
        }
        if (w->reloadCountdown != 0) continue;
        if ((gMV2GameType == 3 || gMV2GameType == 4) && (current == 0 || current == 5) &&
            AboveWater(shooter))
            break;
        FireRecord(w, shooter, record, &made);
    }
    if (projectile) *projectile = made;
    return reinterpret_cast<intptr_t>(made);
}

MV2WeaponRecord* MV2GetCurrentWeapon(MV2Object* object) {
    auto* data = object ? static_cast<MV2SubData*>(object->privateData) : nullptr;
    if (!data || !object->type || object->type->privateDataSize < sizeof(MV2SubData))
        return nullptr;
    for (MV2WeaponRecord* w = data->weapons.first; w; w = w->next)
        if (w->slot == data->weapons.currentWeaponSlot) return w;
    return nullptr;
}

intptr_t MV2WeaponSendMessage(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    if (!weapon) return 0;
    if (weapon->row && weapon->row->handler) return weapon->row->handler(weapon, message, p1, p2);
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

intptr_t MV2StandardWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t, intptr_t p2) {
    if (!weapon) return 0;
    switch (message) {
    case 13:
        if (p2) *reinterpret_cast<int32_t*>(p2) = weapon->ammunition;
        return weapon->row ? weapon->row->usesAmmunition : 0;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {MV2GetWeaponIcon(weapon->slot), 0xff0000u};
        return 1;
    case 60:
        if (p2) {
            // Unlimited ammunition reads full; a maximum of 0 or less reads empty.
            float f = 1.0f;
            if (weapon->maximum != -1 || weapon->ammunition != -1)
                f = weapon->maximum > 0 ? float(weapon->ammunition) / float(weapon->maximum)
                                        : 0.0f;
            *reinterpret_cast<float*>(p2) = f;
        }
        return 1;
    case 61:
        if (auto* lock = reinterpret_cast<MV2LockOnState*>(p2)) {
            lock->flags &= ~3u;
            lock->range = 100000.0f;
        }
        return 1;
    default: return 0;
    }
}

int32_t MV2GetCurrentWeaponAmmo(MV2Object* object, int32_t* ammo) {
    MV2WeaponRecord* w = MV2GetCurrentWeapon(object);
    if (!w) return 0;
    return int32_t(MV2WeaponSendMessage(w, 13, 0, reinterpret_cast<intptr_t>(ammo)));
}

float MV2GetCurrentWeaponAmmoFraction(MV2Object* object) {
    MV2WeaponRecord* w = MV2GetCurrentWeapon(object);
    float f = 0.0f;
    if (w) MV2WeaponSendMessage(w, 60, 0, reinterpret_cast<intptr_t>(&f));
    return f;
}

int32_t MV2GetWeaponMuzzlePosition(MV2Object* object, float* position) {
    MV2WeaponRecord* w = MV2GetCurrentWeapon(object);
    if (!w) return 0;
    TvFrame* frame = MountFrame(w, object);
    MV2ShotPoint(frame ? TvFrameGetLTM(frame)->pos : object->matrix->pos, position);
    return 1;
}

void MV2DrawPlayerWeapon() {
    if (MV2WeaponRecord* w = MV2GetCurrentWeapon(MV2GetPlayerObject()))
        MV2WeaponSendMessage(w, 20, 0, 0);
}

void MV2SetDamageSource(MV2Object* source) {
    if (source) MV2SetObjectRef(&g_damageSource, source);
    else MV2ClearObjectRef(&g_damageSource);
}

MV2Object* MV2GetDamageSource() {
    return MV2GetObjectRef(&g_damageSource);
}

void MV2DamageObject(MV2Object* source, MV2Object* target, const float* hitPoint, float damage,
                     int32_t playSound) {
    if (!target) return;
    const int32_t targetType = MV2ShotTypeOf(target);
    if (source && MV2ShotTypeOf(source) == 186 && targetType == 186) return;
    MV2Object* controlled = MV2GetPlayerObject();
    if ((gMV2GameType == 3 || gMV2GameType == 4) && target == controlled) {
        damage *= 2.0f;
        if (MV2IsPowerUpActive(6)) damage *= 0.5f;
        else if (MV2IsPowerUpActive(5)) damage *= 0.6666667f;
        MV2SetLastAttacker(MV2GetDamageSource());
        if (source && source == controlled) {
            damage *= MV2GetMPWeaponDamage(source);
            if (MV2IsPowerUpActive(2)) damage *= 4.0f;
        }
    }
    if (playSound) {
        const uint32_t material = MV2ShotMaterialClass(target);
        static const char* const kNames[3] = {"WEAPONHITMETAL", "WEAPONHITMINERAL",
                                              "WEAPONHITBIOLOGICAL"};
        if (material < 3) MV2ShotPlayAt(target->matrix->pos, 1.0f, kNames[material], 1000);
    }
    if (IsPuppet(target)) {
        const intptr_t scaled = intptr_t(damage * 1000.0f);
        MV2ObjectSendMessage(target, 76, scaled, PuppetPart(target, hitPoint));
        return;
    }
    const float before = target->energy;
    if (target->type && (target->type->words[7] & kMV2TypeCanDie)) target->energy -= damage;
    if (before < 0.0f || !source) return;
    const bool survives = target->energy >= 0.0f || CannotDie(target) || SurvivorType(targetType);
    const bool byController = source == controlled;
    const bool asSub = byController && controlled == MV2GetPlayerSub();
    if (survives) {
        if (byController) {
            MV2ObjectSendMessage(target, 65, reinterpret_cast<intptr_t>(hitPoint),
                                 reinterpret_cast<intptr_t>(&damage));
            if (asSub && target != controlled) {
                if (target->flags & 8u) MV2FriendlyFireAddDamage(target, damage);
                else if (target->flags & 16u) MV2FriendlyFireDecaySlow(target, damage);
            }
        } else {
            MV2ObjectSendMessage(target, 76, reinterpret_cast<intptr_t>(&damage),
                                 reinterpret_cast<intptr_t>(source));
        }
        return;
    }
    MV2NotifyObjectScript(target, 13, 0, reinterpret_cast<intptr_t>(source));
    MV2NotifyScripts(source, 2, targetType);
    if (byController && target != controlled) {
        if (asSub) {
            if (target->flags & 8u) MV2FriendlyFireAddKill(target);
            else if (target->flags & 16u) MV2FriendlyFireDecayFast(target);
        }
        if (targetType == 56 || targetType == 70 || targetType == 397) MV2AddAwardCounter(0, 0, 1);
    }
}

intptr_t MV2MineLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                intptr_t p2) {
    if (message == 57) {
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {46, kHudStandard};
        return 1;
    }
    if (message != 10) return MV2StandardWeaponHandler(weapon, message, p1, p2);
    if (p1 == 1) return 1;
    const auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
    if (!weapon || !record || !record->matrix) return 1;
    MV2Object* shooter = record->owner;
    if (weapon->ammunition != -1) ++weapon->ammunition; // the generic path's unit comes back
    const TvMatrix& m = *record->matrix;
    const float r = float(PlatformRand() & 0x3ff) / 1023.0f;
    const float k = r * 0.05f + 0.25f;
    const TvV3d offsets[5] = {
        TvV3dScale(m.right, -k), {}, TvV3dScale(m.right, k), TvV3dScale(m.up, -k),
        TvV3dScale(m.up, k)};
    const TvV3d base = shooter && shooter->body ? shooter->body->velocity : TvV3d{};
    for (int32_t i = 0; i < 5; ++i) {
        if (weapon->ammunition == 0) break;
        const TvV3d direction = MV2ShotUnit(TvV3dSub(offsets[i], m.at));
        TvV3d velocity = TvV3dAdd(TvV3dScale(direction, (r + 1.0f) * 0.2f), base);
        float position[3];
        MV2ShotPoint(TvV3dAdd(m.pos, offsets[i]), position);
        MV2Object* mine = MV2CreateObject(weapon->row ? weapon->row->shotType : 332, position, record);
        if (!mine) continue;
        mine->aiCategory = 10;
        const MV2ObjectHandle handle = mine->handle;
        MV2ObjectSendMessage(mine, 12, 0, reinterpret_cast<intptr_t>(&velocity));
        if (MV2ObjectHandleAlive(handle))
            MV2ObjectSendMessage(mine, 15, 1, reinterpret_cast<intptr_t>(shooter));
        if (i == 0) MV2ShotPlayAt(m.pos, 1.0f, "BABYMINELAUNCH", 2000);
        if (weapon->ammunition != -1) --weapon->ammunition;
    }
    return 1;
}

intptr_t MV2DiscBombHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 10 && p1 == 1) return 0;
    if (message == 57) {
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {29, kHudStandard};
        return 1;
    }
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

intptr_t MV2LockOnlyLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                    intptr_t p2) {
    const bool mission39 = MV2GetCurrentMission() == 39;
    switch (message) {
    case 10:
        if (p1 == 1) return 0;
        if (MV2GetLockedTarget()) return 0;
        if (weapon && weapon->ammunition != -1) ++weapon->ammunition;
        return 1;
    case 57:
        if (p2)
            *reinterpret_cast<MV2WeaponIcon*>(p2) = {179, mission39 ? kHudStandard : 0xff0000u};
        return 1;
    case 61:
        if (auto* lock = reinterpret_cast<MV2LockOnState*>(p2)) {
            lock->flags = mission39 ? 1u : 0u;
            lock->captureSize = lock->progress >= 1.0f ? 150 : 50;
            lock->range = 250.0f;
        }
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}
