// Pickups, power-ups, the multiplayer weapon values, the teleporter, the drops of a dead player,
// pickup model baking and the light level at an object.
#include "game/player/pickups.h"

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/resources.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/intersect.h"
#include "engine/world/light.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/creatures/submarines.h"
#include "game/effects/primitives.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionprops.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "platform/crt/crt.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"

namespace {

constexpr MV2PowerUp kPowerUps[kMV2PowerUps] = {
    {439, 21, 0, {0.9f, 0.0f, 0.0f}, 0, 0.0f},  {440, 22, 0, {1.0f, 0.2f, 0.0f}, 0, 0.0f},
    {441, 23, 24, {0.5f, 0.5f, 0.0f}, 0, 0.0f}, {442, 25, 26, {0.5f, 0.5f, 0.0f}, 0, 0.0f},
    {443, 27, 28, {0.0f, 0.5f, 0.5f}, 0, 0.0f}, {444, 30, 31, {0.0f, 0.4f, 0.0f}, 0, 0.0f},
    {445, 29, 31, {0.0f, 0.6f, 0.0f}, 0, 0.0f}, {0, 32, 33, {0.0f, 0.0f, 0.0f}, 0, 0.0f},
    {446, 0, 0, {0.5f, 0.5f, 0.5f}, 0, 0.0f},
};
MV2PowerUp g_powerUps[kMV2PowerUps] = {
    kPowerUps[0], kPowerUps[1], kPowerUps[2], kPowerUps[3], kPowerUps[4],
    kPowerUps[5], kPowerUps[6], kPowerUps[7], kPowerUps[8],
};

// The rows' weapon slots and the pickups of each (weapon, ammunition).
constexpr int32_t kRowSlots[kMV2MPWeaponRows] = {0, 5, 9, 10, 27, 21};
constexpr int32_t kWeaponPickups[5] = {447, 448, 453, 454, 455};
constexpr int32_t kAmmoPickups[5] = {456, 457, 458, 459, 460};
MV2MPWeaponRow g_weapons[kMV2MPWeaponRows] = {
    {11, 17, 1.0f, 0, 0, {0, 0, 0, 0}}, {12, 18, 1.0f, 0, 0, {0, 0, 0, 0}},
    {13, 19, 1.0f, 0, 0, {0, 0, 0, 0}}, {0, 0, 1.0f, 0, 0, {0, 0, 0, 0}},
    {14, 20, 1.0f, 0, 0, {0, 0, 0, 0}}, {0, 0, 1.0f, 0, 0, {0, 0, 0, 0}},
};

// The shine cache: the nearest shining pickup of a frame gets its environment mapping redone.
struct ShineSlot {
    TpClump* clump;
    float distance;
};
constexpr int32_t kShineSlots = 7;
constexpr int32_t kShineSlot = 3; // the only slot in use

struct PickupModule {
    MV2PickupData* pickups;
    MV2TeleporterData* teleporters;
    int32_t users;
    ShineSlot shine[kShineSlots];
};
PickupModule g_module = {nullptr, nullptr, 0, {{nullptr, FLT_MAX}, {nullptr, FLT_MAX},
                         {nullptr, FLT_MAX}, {nullptr, FLT_MAX}, {nullptr, FLT_MAX},
                         {nullptr, FLT_MAX}, {nullptr, FLT_MAX}}};

TvFrame* AtomicFrame(TpAtomic* atomic) {
    return atomic ? atomic->object.frame : nullptr;
}

bool Multiplayer() {
    return gMV2GameType == 3 || gMV2GameType == 4;
}

int32_t RowOfSlot(int32_t slot) {
    for (int32_t r = 0; r < kMV2MPWeaponRows; ++r)
        if (kRowSlots[r] == slot) return r;
    return 0;
}

int32_t PowerUpOfType(int32_t type) {
    for (int32_t i = 0; i < kMV2PowerUps; ++i)
        if (g_powerUps[i].pickupType == type && type != 0) return i;
    return -1;
}

void ShowLine(int32_t line) {
    if (line) MV2NetShowMessage(line);
}

MV2SubData* CraftData(MV2Object* object) {
    if (!object || !object->type || object->type->privateDataSize < sizeof(MV2SubData))
        return nullptr;
    return static_cast<MV2SubData*>(object->privateData);
}

MV2WeaponRecord* HeldWeapon(MV2Object* collector, int32_t slot) {
    MV2SubData* data = CraftData(collector);
    if (!data) return nullptr;
    for (MV2WeaponRecord* w = data->weapons.first; w; w = w->next)
        if (w->slot == slot) return w;
    return nullptr;
}

int32_t MaximumFor(const MV2MPWeaponRow& row, MV2Object* collector) {
    switch (MV2ShotTypeOf(collector)) {
    case 67: return row.maximum[1];
    case 1: return row.maximum[2];
    case 84: return row.maximum[3];
    default: return row.maximum[0];
    }
}

// The hook's users: the first pickup or teleporter adds it, the last removes it.
void Glow(TvCamera* camera);
void Shine(TvCamera* camera);
void AddUser() {
    if (g_module.users++ == 0) MV2AddEffectHook("pickups", Shine, nullptr, Glow);
}
void DropUser() {
    if (g_module.users > 0 && --g_module.users == 0) MV2RemoveEffectHook("pickups");
}

template <typename T> void Link(T*& head, T* item) {
    item->previous = nullptr;
    item->next = head;
    if (head) head->previous = item;
    head = item;
}

template <typename T> void Unlink(T*& head, T* item) {
    if (item->previous) item->previous->next = item->next;
    else if (head == item) head = item->next;
    if (item->next) item->next->previous = item->previous;
    item->next = item->previous = nullptr;
}

TvV3d CameraPosition() {
    return gMV2MainCamera && gMV2MainCamera->object.frame
               ? TvFrameGetLTM(gMV2MainCamera->object.frame)->pos
               : TvV3d{};
}

bool InView(TvCamera* camera, const TvV3d& centre, float radius) {
    const TvSphere sphere{centre, radius};
    return !camera || TvCameraFrustumTestSphere(camera, &sphere) != kTvSphereOutside;
}

void DrawTeleporter(TvCamera* camera, const MV2TeleporterData* t) {
    const TvV3d pos = t->object->matrix->pos;
    TpAtomic* root = t->object->clump ? MV2FindRootAtomic(t->object->clump) : nullptr;
    const TvSphere* bound = root ? TpAtomicGetWorldBoundingSphere(root) : nullptr;
    if (!InView(camera, bound ? bound->center : pos, 2.5f)) return;
    MV2DrawCorona(&pos, MV2RandomUnit() * 1.25f, 1.0f, 1.0f, 0.0f);
    for (const MV2TeleporterMote& m : t->motes) {
        // Each mote drifts out along its direction while turning about its axis.
        const TvV3d a = TvV3dScale({m.a[0], m.a[1], m.a[2]}, m.life * 1.25f);
        const TvV3d axis{m.b[0], m.b[1], m.b[2]};
        TvMatrix turn;
        TvMatrixSetIdentity(&turn);
        TvMatrixRotate(&turn, &axis, m.life * 60.0f, kTvCombineReplace);
        TvV3d point;
        TvV3dTransformVectors(&point, &a, 1, &turn);
        point = TvV3dAdd(point, pos);
        const float s = std::sin(m.life * 3.14f);
        MV2DrawCorona(&point, 0.3125f, 0.8f * s, 0.4f * s, 0.0f);
    }
}

void Glow(TvCamera* camera) {
    for (MV2TeleporterData* t = g_module.teleporters; t; t = t->next)
        if (t->object->matrix) DrawTeleporter(camera, t);
    // Each power-up pickup draws its glowing part, hidden from the world pass, and glows in its
    // entry's colour.
    for (MV2PickupData* p = g_module.pickups; p; p = p->next) {
        const int32_t entry = PowerUpOfType(MV2ShotTypeOf(p->object));
        if (entry < 0 || !p->object->matrix) continue;
        TpAtomic* glow = p->object->clump ? MV2FindAtomicByTag(p->object->clump, 3) : nullptr;
        const TvSphere* bound = glow ? TpAtomicGetWorldBoundingSphere(glow) : nullptr;
        if (bound && InView(camera, bound->center, bound->radius)) {
            TpAtomicSetFlags(glow, kTpAtomicRender);
            TpAtomicRender(glow);
            TpAtomicSetFlags(glow, 0);
        }
        const float* c = g_powerUps[entry].colour;
        MV2DrawCorona(&p->object->matrix->pos, 2.0f, c[0], c[1], c[2]);
    }
}

void ClearShine(ShineSlot& slot) {
    slot.clump = nullptr;
    slot.distance = FLT_MAX;
}

// Once a frame: the cached pickups' shine follows the camera, and their geometry is instanced
// afresh with the new texture coordinates.
void Shine(TvCamera*) {
    for (ShineSlot& slot : g_module.shine) {
        if (!slot.clump) continue;
        MV2SetEnvMapTexCoords(MV2FindRootAtomic(slot.clump));
        if (TpAtomic* first = MV2GetFirstAtomic(slot.clump); first && first->instancedData) {
            TvResourcesFreeResEntry(first->instancedData);
            first->instancedData = nullptr;
        }
        ClearShine(slot);
    }
}

// Turns the frame of an atomic about its own up vector by `degrees`, its position kept.
void Spin(TpAtomic* atomic, float degrees) {
    if (!atomic) return;
    TvFrame* frame = AtomicFrame(atomic);
    if (!frame) return;
    TvMatrix* m = TvFrameGetMatrix(frame);
    MV2RotateMatrixInPlace(m, &m->up, degrees, 2);
    TvFrameUpdateObjects(frame);
}

void Animate(MV2Object* pickup) {
    TpClump* clump = pickup->clump;
    if (!clump) return;
    if (TpAtomic* face = MV2FindAtomicByTag(clump, 2)) {
        if (TvFrame* frame = AtomicFrame(face)) {
            TvMatrix* m = TvFrameGetMatrix(frame);
            m->at = MV2ShotUnit(TvV3dSub(CameraPosition(), pickup->matrix->pos));
            m->up = gMV2MainCamera && gMV2MainCamera->object.frame
                        ? TvFrameGetLTM(gMV2MainCamera->object.frame)->up
                        : TvV3d{0.0f, 1.0f, 0.0f};
            m->right = MV2ShotUnit(TvV3dCross(m->up, m->at));
            m->up = TvV3dCross(m->at, m->right);
            TvFrameUpdateObjects(frame);
        }
    }
    const bool powerUp = PowerUpOfType(MV2ShotTypeOf(pickup)) >= 0;
    TpAtomic* spinning = powerUp ? MV2FindAtomicByTag(clump, 3) : MV2FindRootAtomic(clump);
    if (MV2ShotTypeOf(pickup) == 452) {
        ShineSlot& slot = g_module.shine[kShineSlot];
        const float distance = MV2ShotLength(TvV3dSub(CameraPosition(), pickup->matrix->pos));
        if (distance <= slot.distance) slot = {clump, distance};
    }
    const float degrees = 120.0f * MV2ShotFrameSeconds();
    Spin(spinning, -degrees);
    Spin(MV2FindAtomicByTag(clump, 4), degrees);
}

// What the collector gets for a pickup of the type; 0 when it is refused.
int32_t Grant(MV2Object* collector, int32_t type) {
    if (type >= 439 && type <= 445) return MV2ApplyPowerUp(collector, type - 439);
    if (type == 446) return MV2ApplyPowerUp(collector, TvRandom() & 7);
    for (int32_t i = 0; i < 5; ++i) {
        if (type == kWeaponPickups[i]) return MV2GiveWeapon(collector, kRowSlots[i]);
        if (type == kAmmoPickups[i]) return MV2GiveAmmo(collector, kRowSlots[i]);
    }
    if (type == 449 || type == 452) {
        MV2ObjectSendMessage(collector, 48, type == 449 ? 9 : 12, 0);
        ShowLine(type == 449 ? 16 : 15);
        return 1;
    }
    return 0;
}

void CreateGlowLight(MV2Object* pickup, MV2PickupData* d, int32_t entry) {
    float position[3];
    MV2ShotPoint(pickup->matrix->pos, position);
    MV2Object* light = MV2CreateObject(69, position, nullptr);
    if (!light) return;
    if (auto* l = static_cast<MV2LightObjectData*>(light->privateData)) {
        l->red = g_powerUps[entry].colour[0];
        l->green = g_powerUps[entry].colour[1];
        l->blue = g_powerUps[entry].colour[2];
        l->radius = 3.0f;
        l->glowSize = 0.5f;
        l->blinkPeriod = 0;
        l->blinkLeft = 0;
        l->flags = (l->flags & ~(0x3Eu | 0x780u)) | 0x40u | 0x800u;
    }
    d->light = light;
    MV2ObjectSendMessage(light, 17, 0, reinterpret_cast<intptr_t>(&d->lightHandle));
    MV2ObjectSendMessage(light, 11, 1, 0);
}

// A spot near the object that the world line from it reaches freely; false after ten tries.
bool DropSpot(MV2Object* object, TvV3d* out) {
    static const TvV3d kOffsets[6] = {{0, 0, 0.5f},  {0, 0, -0.5f}, {0.5f, 0, 0},
                                      {-0.5f, 0, 0}, {0, 0.5f, 0},  {0, -0.5f, 0}};
    const TvV3d from = object->matrix->pos;
    for (int32_t i = 0; i < 10; ++i) {
        TvV3d v;
        MV2RandomDirection(&v);
        v.x *= MV2RandomUnit();
        v.y *= MV2RandomUnit();
        v.z *= MV2RandomUnit();
        const TvV3d spot = TvV3dAdd(TvV3dAdd(v, kOffsets[uint32_t(TvRandom()) % 6u]), from);
        TvV3d hit;
        if (!MV2TraceLine(TpWorldGetCurrent(), &from, &spot, &hit, nullptr, nullptr, nullptr,
                          object)) {
            *out = spot;
            return true;
        }
    }
    return false;
}

void Drop(MV2Object* object, int32_t type) {
    TvV3d spot;
    if (!DropSpot(object, &spot)) return;
    float position[3];
    MV2ShotPoint(spot, position);
    MV2NetRequestObject(type, position);
}

void NewMote(MV2TeleporterMote& m) {
    m.life = MV2RandomUnit();
    TvV3d a, b;
    MV2RandomDirection(&a);
    MV2RandomDirection(&b);
    MV2ShotPoint(a, m.a);
    MV2ShotPoint(b, m.b);
}

MV2TeleporterData* Destination(MV2TeleporterData* from) {
    if (from->link != 0) {
        MV2TeleporterData* last = from;
        for (MV2TeleporterData* t = g_module.teleporters; t; t = t->next) {
            if (t != from && t->link == from->link) return t;
            last = t;
        }
        return last;
    }
    int32_t count = 0;
    for (MV2TeleporterData* t = g_module.teleporters; t; t = t->next)
        ++count;
    if (count == 0) return from;
    int32_t p = int32_t(uint32_t(TvRandom()) % uint32_t(count));
    auto at = [](int32_t index) {
        MV2TeleporterData* t = g_module.teleporters;
        while (t && index-- > 0) t = t->next;
        return t;
    };
    MV2TeleporterData* t = at(p);
    if (t == from) t = at(count - 1 - p);
    return t ? t : from;
}

void Teleport(MV2Object* player, MV2TeleporterData* to) {
    const TvMatrix* dest = to->object->matrix;
    const float speed = player->body ? MV2ShotLength(player->body->velocity) : 0.0f;
    const TvV3d position = TvV3dAdd(dest->pos, TvV3dScale(dest->at, 0.05f));
    if (player->body) {
        player->body->velocity = TvV3dScale(dest->at, speed + 0.1f);
        player->body->angularVelocity = {};
    }
    player->matrix->right = dest->right;
    player->matrix->up = dest->up;
    player->matrix->at = dest->at;
    float at[3];
    MV2ShotPoint(position, at);
    MV2ObjectSendMessage(player, 83, 0, reinterpret_cast<intptr_t>(at));
    if (Multiplayer()) MV2NetSendObjectMove(player, &position);
    MV2ShotPlayAt(position, 1.0f, "MPTELEPORT", 0);
}

} // namespace

MV2PowerUp* MV2GetPowerUp(int32_t index) {
    return index >= 0 && index < kMV2PowerUps ? &g_powerUps[index] : nullptr;
}

MV2MPWeaponRow* MV2GetMPWeaponRow(int32_t row) {
    return row >= 0 && row < kMV2MPWeaponRows ? &g_weapons[row] : nullptr;
}

void MV2ParseMPWeapons(const char* text, size_t size) {
    // Lines as a bounded line read gives them: at most 255 characters, the newline kept.
    size_t at = 0;
    auto nextLine = [&](char* line) {
        if (at >= size) return false;
        size_t n = 0;
        while (at < size && n < 255) {
            const char c = text[at++];
            line[n++] = c;
            if (c == '\n') break;
        }
        line[n] = 0;
        return true;
    };
    char line[256];
    if (!nextLine(line)) return;
    for (MV2MPWeaponRow& row : g_weapons) {
        if (!nextLine(line)) return;
        std::sscanf(line, "%*[^,],%f,%d,%d,%d,%d,%d,%d\n", &row.damage, &row.initialAmmunition,
                    &row.ammunitionPerPickup, &row.maximum[0], &row.maximum[1], &row.maximum[2],
                    &row.maximum[3]);
    }
}

void MV2LoadMPWeapons() {
    for (MV2PowerUp& p : g_powerUps)
        p.active = 0;
    TvFileInterface* files = TvEngineGetFileInterface();
    if (!files || !files->open || !files->readLine) return;
    void* f = files->open("data/mpweapon.csv", "r");
    if (!f) return;
    // The file is read line by line into one bounded text, then parsed in the C locale.
    char text[7 * 256];
    size_t size = 0;
    char line[256];
    for (int32_t i = 0; i < 7 && files->readLine(line, 256, f); ++i) {
        const size_t n = std::strlen(line);
        std::memcpy(text + size, line, n);
        size += n;
        if (n == 0 || line[n - 1] != '\n') text[size++] = '\n';
    }
    files->close(f);
    MV2ParseMPWeapons(text, size);
}

float MV2GetMPWeaponDamage(MV2Object* object) {
    MV2SubData* data = CraftData(object);
    return g_weapons[RowOfSlot(data ? data->weapons.currentWeaponSlot : 0)].damage;
}

void MV2UpdatePowerUps() {
    for (MV2PowerUp& p : g_powerUps) {
        if (!p.active) continue;
        p.timeLeft -= MV2ShotFrameSeconds();
        if (p.timeLeft < 0.0f) {
            p.active = 0;
            ShowLine(p.expiryLine);
        }
    }
}

int32_t MV2IsPowerUpActive(int32_t index) {
    return index >= 0 && index < kMV2PowerUps ? g_powerUps[index].active : 0;
}

int32_t MV2GetMPPickupMask() {
    int32_t mask = 0;
    for (int32_t i = 0; i < kMV2PowerUps; ++i)
        if (g_powerUps[i].active) mask |= 1 << i;
    return mask;
}

int32_t MV2ApplyPowerUp(MV2Object* collector, int32_t index) {
    if (!collector || index < 0 || index >= kMV2PowerUps) return 0;
    MV2PowerUp& p = g_powerUps[index];
    if (index <= 1) {
        const float initial = collector->type ? MV2TypeFloat(collector->type, 1) : 0.0f;
        if (std::trunc(collector->energy + 0.5f) >= initial) return 0;
        collector->energy += initial * (index == 0 ? 0.16666667f : 0.5f);
        if (collector->energy > initial) collector->energy = initial;
    } else {
        p.active = 1;
        p.timeLeft = index == 7 ? 5.0f : 20.0f;
    }
    ShowLine(p.collectLine);
    return 1;
}

int32_t MV2GiveWeapon(MV2Object* collector, int32_t slot) {
    if (HeldWeapon(collector, slot)) return MV2GiveAmmo(collector, slot);
    MV2ObjectSendMessage(collector, 21, slot, 0);
    if (MV2WeaponRecord* w = HeldWeapon(collector, slot)) {
        const MV2MPWeaponRow& row = g_weapons[RowOfSlot(slot)];
        w->ammunition = row.initialAmmunition;
        w->maximum = MaximumFor(row, collector);
        ShowLine(row.weaponLine);
    }
    return 1;
}

int32_t MV2GiveAmmo(MV2Object* collector, int32_t slot) {
    MV2WeaponRecord* w = HeldWeapon(collector, slot);
    if (!w || w->ammunition >= w->maximum) return 0;
    const MV2MPWeaponRow& row = g_weapons[RowOfSlot(slot)];
    w->ammunition += row.ammunitionPerPickup;
    if (w->ammunition > w->maximum) w->ammunition = w->maximum;
    ShowLine(row.ammunitionLine);
    return 1;
}

void MV2DropPickups(MV2Object* object) {
    if (!object || !object->matrix) return;
    for (MV2PowerUp& p : g_powerUps)
        if (p.pickupType && p.active) Drop(object, p.pickupType);
    for (MV2PowerUp& p : g_powerUps)
        p.active = 0;
    MV2SubData* data = CraftData(object);
    if (!data) return;
    TvV3d spot;
    if (DropSpot(object, &spot)) {
        for (int32_t i = 0; i < 5; ++i)
            if (data->weapons.currentWeaponSlot == kRowSlots[i]) {
                float position[3];
                MV2ShotPoint(spot, position);
                MV2NetRequestObject(kWeaponPickups[i], position);
            }
    }
    for (MV2Tool* t = data->tools.first; t; t = t->next) {
        if (t->kind == 9) Drop(object, 449);
        else if (t->kind == 12) Drop(object, 452);
    }
}

intptr_t MV2PickupHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2PickupData*>(object->privateData);
    switch (message) {
    case 96: return MV2ShotAnswerSize(p2, sizeof(MV2PickupData));
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (!d) return result;
        *d = MV2PickupData{};
        if (Multiplayer() && gMV2NetHost)
            MV2ObjectSendMessage(object, 100, intptr_t(MV2NetSpawnObject(MV2ShotTypeOf(object), object)), 0);
        d->object = object;
        Link(g_module.pickups, d);
        AddUser();
        const int32_t entry = PowerUpOfType(MV2ShotTypeOf(object));
        if (entry >= 0 && object->matrix) CreateGlowLight(object, d, entry);
        if (object->clump) {
            if (TpAtomic* a = MV2FindAtomicByTag(object->clump, 5)) TpAtomicSetFlags(a, 0);
            if (TpAtomic* a = MV2FindAtomicByTag(object->clump, 3)) TpAtomicSetFlags(a, 0);
        }
        return result;
    }
    case 4:
        if (d && d->object == object) {
            // A cached shine must not outlive its clump.
            for (ShineSlot& slot : g_module.shine)
                if (object->clump && slot.clump == object->clump) ClearShine(slot);
            Unlink(g_module.pickups, d);
            DropUser();
            if (d->light && MV2ObjectHandleAlive(d->lightHandle)) MV2ObjectSendMessage(d->light, 4, 0, 0);
            d->object = nullptr;
        }
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 99: return d ? intptr_t(d->netId) : 0;
    case 100:
        if (d) d->netId = uint32_t(p1);
        return 1;
    case 2: {
        MV2Object* player = MV2GetPlayerObject();
        if (player && player->matrix && object->matrix &&
            MV2ShotLength(TvV3dSub(player->matrix->pos, object->matrix->pos)) < 1.0f &&
            Grant(player, MV2ShotTypeOf(object))) {
            MV2ShotPlayAt(player->matrix->pos, 1.0f, "MPPICKUP", 0);
            if (Multiplayer()) MV2NetRemoveObject(object);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        if (object->matrix) Animate(object);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2TeleporterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2TeleporterData*>(object->privateData);
    switch (message) {
    case 96: return MV2ShotAnswerSize(p2, sizeof(MV2TeleporterData));
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (!d) return result;
        *d = MV2TeleporterData{};
        d->object = object;
        Link(g_module.teleporters, d);
        AddUser();
        // The link id is the level data's value word; it is used up here.
        float value;
        std::memcpy(&value, &object->typeWord68, sizeof value);
        d->link = std::isfinite(value) && std::fabs(value) < 2e9f ? int32_t(value) : 0;
        object->typeWord68 = 0;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        for (MV2TeleporterMote& m : d->motes)
            NewMote(m);
        return result;
    }
    case 4:
        if (d && d->object == object) {
            Unlink(g_module.teleporters, d);
            DropUser();
            MV2StopObjectSound(object, MV2ShotSound("PLUTORODHUM"), &d->sound);
            d->object = nullptr;
        }
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 2: {
        if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, 2, p1, p2);
        MV2Object* player = MV2GetPlayerObject();
        if (player && player->matrix) {
            const TvV3d toTeleporter = TvV3dSub(object->matrix->pos, player->matrix->pos);
            const TvV3d velocity = player->body ? player->body->velocity : TvV3d{};
            if (MV2ShotLength(toTeleporter) < 1.25f && TvV3dDot(velocity, toTeleporter) >= 0.0f)
                Teleport(player, Destination(d));
        }
        for (MV2TeleporterMote& m : d->motes) {
            m.life -= MV2ShotFrameSeconds();
            if (m.life < 0.0f) NewMote(m);
        }
        MV2StartObjectSound(object, MV2ShotSound("PLUTORODHUM"), &d->sound, 0, 0);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

namespace {

TpAtomic* Flatten(TpAtomic* atomic, void*) {
    TpGeometry* g = TpAtomicGetGeometry(atomic);
    TvFrame* frame = AtomicFrame(atomic);
    if (!g || !frame || g->numVertices <= 3) return atomic;
    if (!TpGeometryLock(g, kTpLockVertices | kTpLockNormals)) return atomic;
    TvMatrix turn = *TvFrameGetLTM(frame);
    turn.pos = {};
    if (TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0)) {
        TvV3dTransformVectors(m->vertices, m->vertices, g->numVertices, &turn);
        if (m->normals) TvV3dTransformVectors(m->normals, m->normals, g->numVertices, &turn);
    }
    TpGeometryUnlock(g);
    TvMatrixSetIdentity(TvFrameGetMatrix(frame));
    TvFrameUpdateObjects(frame);
    return atomic;
}

} // namespace

void MV2BakePickupModel(TpClump* clump, int32_t type) {
    if (!clump) return;
    TpAtomic* root = MV2FindRootAtomic(clump);
    if (TvFrame* frame = root ? AtomicFrame(root) : nullptr) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        const float degrees = type < 447 ? 90.0f : type == 452 ? 0.0f : -90.0f;
        if (degrees != 0.0f) MV2RotateMatrixInPlace(m, &m->right, degrees, 2);
        TvFrameUpdateObjects(frame);
    }
    TpClumpForAllAtomics(clump, Flatten, nullptr);
    if (TvFrame* frame = MV2GetRootFrame(clump)) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        const TvV3d pos = m->pos;
        TvMatrixSetIdentity(m);
        m->pos = pos;
        TvFrameUpdateObjects(frame);
    }
}

namespace {

struct Brightness {
    TvV3d at;
    float rgb[3];
    TpWorldSector* sector;
};

TpWorldSector* FirstSector(TpIntersection*, TpWorldSector* sector, void* data) {
    static_cast<Brightness*>(data)->sector = sector;
    return nullptr;
}

TpLight* AddLight(TpLight* light, void* data) {
    auto* b = static_cast<Brightness*>(data);
    if (!(light->object.object.flags & (kTpLightAtomics | kTpLightWorld))) return light;
    float weight = 1.0f;
    if (TpLightGetType(light) >= kTpLightFirstLocal) {
        const TvV3d pos = light->object.frame ? TvFrameGetLTM(light->object.frame)->pos : TvV3d{};
        const float d = MV2ShotLength(TvV3dSub(b->at, pos));
        weight = light->radius > 0.0f ? (light->radius - d) / light->radius : 0.0f;
        if (weight < 0.0f) weight = 0.0f;
    }
    b->rgb[0] += light->red * weight;
    b->rgb[1] += light->green * weight;
    b->rgb[2] += light->blue * weight;
    return light;
}

} // namespace

float MV2GetObjectBrightness(MV2Object* object) {
    if (!object || !object->clump || !MV2FindRootAtomic(object->clump) || !object->matrix) return 0.0f;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return 0.0f;
    Brightness b{object->matrix->pos, {0.0f, 0.0f, 0.0f}, nullptr};
    TpIntersection q{};
    q.type = kTpIntersectPoint;
    q.t.point = b.at;
    TpWorldForAllSectorIntersections(world, &q, FirstSector, &b);
    if (b.sector) TpWorldSectorForAllLights(b.sector, AddLight, &b);
    for (float& c : b.rgb)
        c = c < 0.0f ? 0.0f : c > 1.0f ? 1.0f : c;
    return 0.3f * b.rgb[0] + 0.5f * b.rgb[1] + 0.2f * b.rgb[2];
}

void MV2RegisterPickupHandlers() {
    for (int32_t type = 439; type <= 460; ++type)
        if (type != 450 && type != 451) MV2SetObjectTypeHandler(type, MV2PickupHandler);
    MV2SetObjectTypeHandler(451, MV2TeleporterHandler);
}
