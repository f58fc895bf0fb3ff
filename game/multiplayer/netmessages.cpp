#include "game/multiplayer/netmessages.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/random.h"
#include "framework/network/network.h"
#include "game/creatures/submarines.h"
#include "game/effects/explosions.h"
#include "game/frontend/screens.h"
#include "game/multiplayer/netclient.h"
#include "game/multiplayer/remoteplayers.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "platform/winmm/winmm.h"
#include "shell/settings.h"
#include "shell/sounds.h"

const uint8_t kMV2NetPayloadSize[kMV2NetMessageTypes] = {36, 36, 26, 24, 24, 8,  40, 8,  8, 12,
                                                         40, 20, 44, 8,  8,  40, 8,  12, 8};
const int32_t MV2NetRemoteCraftTypes[4] = {0, 67, 1, 84};

namespace {

// Multiplayer pickups and the other types a peer may have made or removed.
constexpr int32_t kFirstNetObjectType = 439;
constexpr int32_t kLastNetObjectType = 460;
constexpr size_t kNameField = 35; // 34 characters and the terminator
constexpr float kShotRange = 30.0f;

struct Buffer {
    alignas(VkNetMessage) uint8_t bytes[kVkNetHeaderSize + kMV2NetMaxPayload];
    VkNetMessage* Message() { return reinterpret_cast<VkNetMessage*>(bytes); }
    uint8_t* Payload() { return bytes + kVkNetHeaderSize; }
};
Buffer g_buffers[kMV2NetMessageTypes];

// Little-endian fields at unaligned payload offsets.
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
uint16_t GetU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void PutF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    VkNetPutU32(p, bits);
}
float GetF32(const uint8_t* p) {
    const uint32_t bits = VkNetGetU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
void PutV3(uint8_t* p, const TvV3d& v) {
    PutF32(p, v.x);
    PutF32(p + 4, v.y);
    PutF32(p + 8, v.z);
}
TvV3d GetV3(const uint8_t* p) {
    return {GetF32(p), GetF32(p + 4), GetF32(p + 8)};
}
bool Finite(const TvV3d& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Writes the header fields a send needs and sends; nothing goes out without a session.
void Send(uint8_t type, uint32_t to, uint32_t flags) {
    IVkNetwork* n = gMV2Net.network;
    if (!n || !gMV2Net.inSession || type >= kMV2NetMessageTypes) return;
    Buffer& b = g_buffers[type];
    VkNetMessage* m = b.Message();
    m->header = kVkNetHeaderWord;
    m->sender = gMV2Net.localId;
    m->receiver = to;
    m->length = uint32_t(kVkNetHeaderSize) + kMV2NetPayloadSize[type];
    m->payload = b.Payload();
    // Stamped at every send too, so a reset that stopped early never sends a kindless buffer.
    VkNetPutU32(b.Payload(), kMV2NetGameKind);
    b.Payload()[4] = type;
    if (to == 0) n->SendToAll(m, flags);
    else n->Send(m, flags);
}

uint8_t* Out(uint8_t type) {
    return g_buffers[type].Payload();
}

bool Alive(const MV2NetRemotePlayer* r) {
    return r && r->craft && MV2ObjectHandleAlive(r->handle);
}

MV2Object* SenderCraft(uint32_t sender) {
    MV2NetRemotePlayer* r = MV2NetFindRemotePlayer(sender);
    return Alive(r) ? r->craft : nullptr;
}

MV2SubData* SubData(MV2Object* object) {
    if (!object || !object->type || !object->privateData ||
        object->type->privateDataSize < sizeof(MV2SubData))
        return nullptr;
    return static_cast<MV2SubData*>(object->privateData);
}

int32_t TypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

float InitialEnergy(const MV2Object* object) {
    return object && object->type ? MV2TypeFloat(object->type, 1) : 0.0f;
}

uint8_t EnergyByte(float energy, float initial) {
    if (!(initial > 0.0f) || !std::isfinite(energy)) return 0;
    const float v = energy / initial * 255.0f;
    return v <= 0.0f ? 0 : v >= 255.0f ? 255 : uint8_t(v);
}

void PlaySound(const TvV3d& at, const char* name) {
    TvV3d p = at;
    MV2PlaySoundAt(&p, 1.0f, MV2FindSoundByName(name), 0, 1, 0);
}

void SpawnSound(int32_t type, const TvV3d& at) {
    if (type >= 439 && type <= 446) PlaySound(at, "MPSPAWNPLAYER");
    else if ((type >= 447 && type <= 449) || (type >= 452 && type <= 455)) PlaySound(at, "MPSPAWNWEAPON");
    else if (type >= 456 && type <= 460) PlaySound(at, "MPSPAWNAMMO");
}

void SyncFrame(MV2Object* object) {
    if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
}

void FaceAlong(TvMatrix* m, const TvV3d& direction) {
    TvV3d at;
    if (TvV3dNormalize(&at, &direction) <= 1e-6f) return;
    TvV3d right = TvV3dCross({0.0f, 1.0f, 0.0f}, at);
    // Straight up or down: any right axis across it.
    if (TvV3dDot(right, right) < 1e-12f) right = {1.0f, 0.0f, 0.0f};
    TvV3dNormalize(&right, &right);
    TvV3d up = TvV3dCross(at, right);
    TvV3dNormalize(&up, &up);
    m->at = at;
    m->right = right;
    m->up = up;
}

// The local player enters the first free record for the end-of-game table.
void EnterLocalPlayer(MV2Object* craft) {
    MV2NetRemotePlayer* r = MV2NetFirstFreeRecord();
    if (!r) return;
    *r = MV2NetRemotePlayer{};
    r->inUse = 1;
    r->networkId = gMV2Net.localId;
    r->frags = gMV2Net.frags;
    std::snprintf(r->name, sizeof r->name, "%s", gMV2Settings.playerName);
    if (craft) {
        r->craft = craft;
        r->handle = craft->handle;
    }
}

void ShowFormatted(int32_t line, const char* a, const char* b) {
    if (line < 0 || line >= kMV2NetTextLines) return;
    const char* args[2] = {a, b};
    char text[kMV2NetTextSize];
    MV2NetFormatText(text, sizeof text, gMV2Net.texts[line], args, 2);
    MV2NetTickerPush(text);
}

void ShowKill(const char* killer, const char* victim) {
    ShowFormatted(int32_t(uint32_t(TvRandom()) % 9u), killer, victim);
}

// A text of `max` bytes at most from the payload's end, cut to the record's size.
void ReadName(char* out, size_t size, const uint8_t* p, size_t available) {
    size_t n = 0;
    const size_t limit = available < kNameField - 1 ? available : kNameField - 1;
    while (n < limit && p[n])
        ++n;
    if (n > size - 1) n = size - 1;
    std::memcpy(out, p, n);
    out[n] = '\0';
}

void GameOver(MV2NetRemotePlayer* sender) {
    gMV2Net.gameOver = 1;
    if (sender) ++sender->frags;
    MV2LoadMPWeapons();
    EnterLocalPlayer(MV2GetPlayerObject());
}

void ReceiveSpawn(const VkNetMessage* m, const uint8_t* p) {
    if (gMV2Net.spawnData) return;
    const uint32_t level = VkNetGetU32(p + 32);
    bool known = false;
    for (const MV2NetLevel& l : kMV2NetLevelTable)
        known = known || l.levelId == level;
    const TvV3d position = GetV3(p + 8);
    TvV3d direction = GetV3(p + 20);
    if (!known || !Finite(position)) return;
    if (!Finite(direction) || TvV3dDot(direction, direction) < 1e-12f) direction = {0.0f, 0.0f, 1.0f};
    gMV2LevelToLoad = level;
    gMV2Net.spawnPosition = position;
    gMV2Net.spawnDirection = direction;
    gMV2Level.startPosition = position;
    gMV2Net.hostId = m->sender;
    gMV2Net.spawnData = 1;
}

void ShowCraft(MV2NetRemotePlayer* r, uint8_t state) {
    MV2Object* craft = r->craft;
    if (!(r->powerUps & 0x40)) {
        if (craft->clump) {
            MV2SetAllAtomicFlags(craft->clump, 4);
            if (TpAtomic* root = MV2FindRootAtomic(craft->clump)) TpAtomicSetFlags(root, 5);
        }
        MV2SetTag69PartVisible(craft, 0);
        const uint32_t wanted = (state >> 6) & 1u;
        if (wanted != r->toggle) {
            r->toggle = wanted;
            MV2ObjectSendMessage(craft, 11, intptr_t(r->toggle), 0);
        }
    } else {
        if (craft->clump) {
            MV2SetAllAtomicFlags(craft->clump, 0);
            if (TpAtomic* root = MV2FindRootAtomic(craft->clump)) TpAtomicSetFlags(root, 1);
        }
        if (r->toggle) {
            r->toggle = 0;
            MV2ObjectSendMessage(craft, 11, 0, 0);
        }
    }
}

void ReceiveState(const VkNetMessage* m, const uint8_t* p) {
    // The local player's own score-table record is no remote craft.
    if (m->sender == gMV2Net.localId) return;
    const uint8_t state = p[5];
    const TvV3d position = GetV3(p + 8);
    const uint8_t craftByte = p[29];
    if ((craftByte & 15) > 3 || !Finite(position)) return;
    MV2NetRemotePlayer* r = MV2NetFindRemotePlayer(m->sender);
    if (Alive(r)) {
        if (uint8_t(p[32] - r->sequence) < 1) return;
        r->flags = state;
        if (!(state & 0x80)) {
            r->targetPosition = position;
            r->frags = int8_t(p[30]);
            r->energy = p[31];
            MV2NetUnpackOrientation(p + 20, &r->targetMatrix);
        }
    } else {
        if (state & 0x80) return;
        if (!r) r = MV2NetFirstFreeRecord();
        if (!r) return;
        const float at[3] = {position.x, position.y, position.z};
        MV2Object* craft = MV2CreateObject(MV2NetRemoteCraftTypes[craftByte & 15], at, nullptr);
        if (!craft) return;
        if (!craft->matrix) {
            MV2ObjectSendMessage(craft, 4, 0, 0);
            return;
        }
        PlaySound(position, "MPSPAWNPLAYER");
        const bool named = r->inUse && r->networkId == m->sender && r->named;
        char name[sizeof r->name];
        std::memcpy(name, r->name, sizeof name);
        const int32_t frags = r->frags;
        *r = MV2NetRemotePlayer{};
        if (named) {
            // A known player's craft comes back: its name and interval stay.
            std::memcpy(r->name, name, sizeof name);
        }
        r->frags = frags;
        r->networkId = m->sender;
        craft->netData = r;
        r->nameRequestTime = timeGetTime();
        r->interval = 1000;
        r->nextSend = 0;
        Send(kMV2NetNameRequest, m->sender, 0);
        MV2ObjectSendMessage(craft, 0, 1, 0);
        MV2ObjectSendMessage(craft, 21, 21, 0);
        MV2ObjectSendMessage(craft, 21, 0, 0);
        craft->flags |= 2;
        r->inUse = 1;
        r->craft = craft;
        r->handle = craft->handle;
        craft->matrix->pos = position;
        craft->previousPosition = position;
        MV2NetUnpackOrientation(p + 20, craft->matrix);
        SyncFrame(craft);
        r->targetMatrix = *craft->matrix;
        r->targetPosition = position;
        r->flags = state;
    }
    if (state & 0x80) return;
    r->powerUps = craftByte;
    ShowCraft(r, state);
}

void ReceiveExplosion(const uint8_t* p) {
    const TvV3d position = GetV3(p + 8);
    const uint16_t first = GetU16(p + 20);
    const uint16_t second = GetU16(p + 22);
    // Only the creator's kinds and flags are taken.
    constexpr uint16_t kFlags = kMV2ExplosionRing | kMV2ExplosionBubbles | kMV2ExplosionLight |
                                kMV2ExplosionSound | kMV2ExplosionDebrisPieces |
                                kMV2ExplosionRisingDebris;
    if (!Finite(position) || second >= kMV2ExplosionKinds || (first & ~kFlags)) return;
    const float at[3] = {position.x, position.y, position.z};
    MV2CreateExplosion(at, float(p[25]) * 0.04f, float(p[24]) * 0.04f, nullptr, second,
                       uint32_t(first) | 0x100u);
}

// The point the shot of a remote craft is aimed at: the local craft (else the sender's own)
// less the offset.
bool AimPoint(MV2Object* craft, const uint8_t* p, TvV3d* aim) {
    const TvV3d offset = GetV3(p + 8);
    if (!Finite(offset)) return false;
    MV2Object* target = MV2GetPlayerObject();
    if (!target || !target->matrix) target = craft;
    *aim = TvV3dSub(target->matrix->pos, offset);
    return Finite(*aim);
}

TvV3d Direction(const TvV3d& from, const TvV3d& to, const MV2Object* craft) {
    TvV3d d = TvV3dSub(to, from), unit;
    if (TvV3dNormalize(&unit, &d) <= 1e-6f || !Finite(unit)) unit = craft->matrix->at;
    return unit;
}

void ReceiveWeaponHit(const VkNetMessage* m, const uint8_t* p) {
    MV2Object* craft = SenderCraft(m->sender);
    MV2SubData* sub = SubData(craft);
    const int32_t id = p[20];
    TvV3d aim;
    if (!sub || id >= kMV2WeaponRows || !AimPoint(craft, p, &aim)) return;
    if (!MV2SelectWeapon(&sub->weapons, id)) {
        MV2ObjectSendMessage(craft, 21, id, 0);
        MV2SelectWeapon(&sub->weapons, id);
    }
    MV2WeaponRecord* w = MV2GetCurrentWeapon(craft);
    if (!w) return;
    if (w->row && w->row->usesAmmunition && w->ammunition >= 0 && w->ammunition < 5)
        w->ammunition += 5;
    w->reloadCountdown = 0;
    float muzzle[3] = {craft->matrix->pos.x, craft->matrix->pos.y, craft->matrix->pos.z};
    MV2GetWeaponMuzzlePosition(craft, muzzle);
    TvV3d direction = Direction({muzzle[0], muzzle[1], muzzle[2]}, aim, craft);
    if (id == 9) MV2WeaponSendMessage(w, 12, reinterpret_cast<intptr_t>(&direction), 0);
    intptr_t shot = 0;
    MV2ObjectSendMessage(craft, 10, 0, reinterpret_cast<intptr_t>(&shot));
    auto* projectile = reinterpret_cast<MV2Object*>(shot);
    if (!projectile || !projectile->matrix) return;
    if (id == 21) {
        TvV3d zero{};
        MV2ObjectSendMessage(projectile, 87, reinterpret_cast<intptr_t>(&direction), 0);
        MV2ObjectSendMessage(projectile, 12, reinterpret_cast<intptr_t>(&zero), 0);
    } else if (id == 27 && projectile->body) {
        projectile->body->velocity = TvV3dScale(direction, 2.0f);
    }
    FaceAlong(projectile->matrix, direction);
    SyncFrame(projectile);
}

void ReceiveToolHit(const VkNetMessage* m, const uint8_t* p) {
    MV2Object* craft = SenderCraft(m->sender);
    MV2SubData* sub = SubData(craft);
    const int32_t id = p[20];
    TvV3d aim;
    if (!sub || id >= kMV2ToolKinds || !AimPoint(craft, p, &aim)) return;
    if (!MV2FindTool(&sub->tools, id)) MV2ObjectSendMessage(craft, 48, id, 0);
    if (!MV2FindTool(&sub->tools, id)) return;
    sub->tools.currentKind = id;
    TvV3d direction = Direction(craft->matrix->pos, aim, craft);
    intptr_t made = 0;
    MV2ObjectSendMessage(craft, 53, 0, reinterpret_cast<intptr_t>(&made));
    auto* object = reinterpret_cast<MV2Object*>(made);
    if (!object) return;
    TvV3d zero{};
    MV2ObjectSendMessage(object, 87, reinterpret_cast<intptr_t>(&direction), 0);
    MV2ObjectSendMessage(object, 12, reinterpret_cast<intptr_t>(&zero), 0);
}

void ReceiveNameAnswer(const VkNetMessage* m, const uint8_t* p, uint32_t size) {
    MV2NetRemotePlayer* r = MV2NetFindRemotePlayer(m->sender);
    if (!r) return;
    ReadName(r->name, sizeof r->name, p + 5, size - 5);
    const uint32_t now = timeGetTime();
    uint32_t interval = (now - r->nameRequestTime) / 2;
    interval = interval < 100 ? 100 : interval > 1000 ? 1000 : interval;
    r->interval = interval;
    r->named = 1;
    r->nextSend = now + interval;
}

void ReceiveFrag() {
    ++gMV2Net.frags;
    if (gMV2Net.frags != gMV2Net.fragLimit) return;
    MV2NetSendSimple(kMV2NetGameOver, 0);
    gMV2Net.gameOver = 1;
    MV2LoadMPWeapons();
    if (MV2Object* craft = MV2GetPlayerObject()) craft->energy = -1.0f;
    EnterLocalPlayer(nullptr);
}

void ReceiveObjectRemoved(const uint8_t* p) {
    uint32_t id = VkNetGetU32(p + 8);
    if (id == 0) return;
    MV2NetForEachWorldObject(
        [](MV2Object* o, void* data) {
            if (uint32_t(MV2ObjectSendMessage(o, 99, 0, 0)) != *static_cast<uint32_t*>(data))
                return true;
            MV2ObjectSendMessage(o, 4, 0, 0);
            return false;
        },
        &id);
}

void ReceiveObjectSpawned(const uint8_t* p) {
    const uint32_t id = VkNetGetU32(p + 8);
    const int32_t type = GetU16(p + 12);
    const TvV3d position = GetV3(p + 16);
    if (type < kFirstNetObjectType || type > kLastNetObjectType || !Finite(position)) return;
    if (!gMV2NetHost) {
        const float at[3] = {position.x, position.y, position.z};
        MV2Object* object = MV2CreateObject(type, at, nullptr);
        if (!object) return;
        if (object->matrix) {
            MV2NetUnpackOrientation(p + 28, object->matrix);
            SyncFrame(object);
        }
        MV2ObjectSendMessage(object, 100, intptr_t(id), 0);
    }
    SpawnSound(type, position);
}

void ReceiveCreateRequest(const uint8_t* p) {
    const int32_t type = GetU16(p + 6);
    const TvV3d position = GetV3(p + 8);
    if (type < kFirstNetObjectType || type > kLastNetObjectType || !Finite(position)) return;
    const float at[3] = {position.x, position.y, position.z};
    MV2CreateObject(type, at, nullptr);
}

void ReceiveTeleport(const VkNetMessage* m, const uint8_t* p) {
    MV2Object* craft = SenderCraft(m->sender);
    const TvV3d position = GetV3(p + 8);
    const TvV3d second = GetV3(p + 20);
    if (!craft || !Finite(position) || !Finite(second)) return;
    craft->previousPosition = position;
    craft->matrix->pos = position;
    MV2NetUnpackOrientation(p + 32, craft->matrix);
    SyncFrame(craft);
    if (MV2NetRemotePlayer* r = MV2NetFindRemotePlayer(m->sender)) r->targetPosition = position;
    PlaySound(second, "MPTELEPORT");
    PlaySound(position, "MPTELEPORT");
}

void ReceiveHello(const VkNetMessage* m, const uint8_t* p, uint32_t size) {
    char name[kNameField];
    ReadName(name, sizeof name, p + 5, size - 5);
    if (gMV2NetHost) {
        uint32_t to = m->sender;
        MV2NetForEachWorldObject(
            [](MV2Object* o, void* data) {
                const uint32_t id = uint32_t(MV2ObjectSendMessage(o, 99, 0, 0));
                if (!id || !o->matrix) return true;
                uint8_t* out = Out(kMV2NetObjectSpawned);
                VkNetPutU32(out + 8, id);
                PutU16(out + 12, uint16_t(TypeOf(o)));
                PutV3(out + 16, o->matrix->pos);
                MV2NetPackOrientation(o->matrix, out + 28);
                Send(kMV2NetObjectSpawned, *static_cast<uint32_t*>(data), 0);
                return true;
            },
            &to);
    }
    ShowFormatted(9, name, nullptr);
}

// A player left (its own message) or its machine went (the layer's removal).
void PlayerLeft(uint32_t id) {
    MV2NetRemotePlayer* r = MV2NetFindRecordAny(id);
    if (!r) return;
    ShowFormatted(10, r->name, nullptr);
    r->networkId = uint32_t(-1);
    r->inUse = 0;
    if (Alive(r)) r->craft->energy = -1.0f;
    if (gMV2Net.playerCount > 0) --gMV2Net.playerCount;
}

void ReceiveKilled(const VkNetMessage* m, const uint8_t* p) {
    MV2NetRemotePlayer* victim = MV2NetFindRemotePlayer(m->sender);
    if (!victim) return;
    const uint32_t killerId = VkNetGetU32(p + 8);
    const char* killer = nullptr;
    if (MV2NetRemotePlayer* k = MV2NetFindRemotePlayer(killerId)) killer = k->name;
    else if (killerId == gMV2Net.localId) killer = gMV2Settings.playerName;
    if (!killer) return;
    ShowKill(killer, victim->name);
}

void SendSpawnTo(uint32_t player) {
    uint8_t* out = Out(kMV2NetSpawn);
    TvV3d position = gMV2Level.startPosition;
    TvV3d direction = {0.0f, 0.0f, 1.0f};
    MV2NetGetSpawnPoint(&position, &direction);
    PutV3(out + 8, position);
    PutV3(out + 20, direction);
    VkNetPutU32(out + 32, gMV2LevelToLoad);
    Send(kMV2NetSpawn, player, 1);
    Out(kMV2NetFragLimit)[5] = uint8_t(gMV2Net.fragLimit);
    Send(kMV2NetFragLimit, player, 1);
}

} // namespace

void MV2NetPackOrientation(const TvMatrix* matrix, uint8_t* out) {
    const TvV3d rows[3] = {matrix->right, matrix->up, matrix->at};
    for (int32_t i = 0; i < 3; ++i) {
        const float v[3] = {rows[i].x, rows[i].y, rows[i].z};
        for (int32_t j = 0; j < 3; ++j) {
            float s = v[j] * 127.0f;
            s = std::isfinite(s) ? (s > 127.0f ? 127.0f : s < -127.0f ? -127.0f : s) : 0.0f;
            out[3 * i + j] = uint8_t(int8_t(s));
        }
    }
}

int32_t MV2NetUnpackOrientation(const uint8_t* bytes, TvMatrix* matrix) {
    constexpr float kScale = 0.007874016f;
    TvV3d v[3];
    for (int32_t i = 0; i < 3; ++i)
        v[i] = {float(int8_t(bytes[3 * i])) * kScale, float(int8_t(bytes[3 * i + 1])) * kScale,
                float(int8_t(bytes[3 * i + 2])) * kScale};
    TvV3d at, right, up;
    if (TvV3dNormalize(&at, &v[2]) < 0.05f) return 0;
    const TvV3d across = TvV3dCross(v[1], at);
    if (TvV3dNormalize(&right, &across) < 0.05f) return 0;
    const TvV3d upward = TvV3dCross(at, right);
    if (TvV3dNormalize(&up, &upward) < 0.05f) return 0;
    matrix->right = right;
    matrix->up = up;
    matrix->at = at;
    return 1;
}

int32_t MV2NetLocalCraftChoice() {
    const int32_t c = gMV2Screens.gameType;
    return c >= 0 && c <= 3 ? c : 0;
}

int32_t MV2NetChosenCraftType() {
    return MV2NetRemoteCraftTypes[MV2NetLocalCraftChoice()];
}

void MV2NetStampBuffers() {
    for (uint8_t t = 0; t < kMV2NetMessageTypes; ++t) {
        g_buffers[t].Message()->sender = gMV2Net.localId;
        VkNetPutU32(g_buffers[t].Payload(), kMV2NetGameKind);
        g_buffers[t].Payload()[4] = t;
    }
}

void MV2NetSendSimple(uint8_t type, uint32_t to) {
    const bool joinTraffic = type == kMV2NetSessionClosed || type == kMV2NetGameOver ||
                             type == kMV2NetPlayerLeft;
    Send(type, to, joinTraffic ? 1 : 0);
}

int32_t MV2NetMessageCallBack(VkNetMessage* m) {
    if (!m || !m->payload || m->length < 4) return 0;
    const uint8_t* p = m->payload;
    // On arrival the length is the payload size; the host's own player notice carries its block
    // size, which is no less.
    const uint32_t size = m->length;
    switch (VkNetGetU32(p)) {
    case kVkNetPlayerRequest:
        if (gMV2Net.playerCount >= kMV2NetMaxPlayers) return kMV2NetRefusePlayer;
        ++gMV2Net.playerCount;
        return 0;
    case kVkNetPlayerAdded:
        if (size >= 12 && gMV2NetHost && VkNetGetU32(p + 8) != gMV2Net.localId)
            SendSpawnTo(VkNetGetU32(p + 8));
        return 0;
    case kVkNetPlayerRemoved: {
        // A player whose machine left, crashed or was dropped: as if it had said goodbye.
        uint32_t owner = 0;
        if (size >= 8 && gMV2Net.network &&
            gMV2Net.network->GetPlayerOwner(VkNetGetU32(p + 4), &owner) >= 0 && owner != 0 &&
            owner != gMV2Net.localId)
            PlayerLeft(owner);
        return 0;
    }
    case kMV2NetGameKind: break;
    default: return 0;
    }
    if (size < 5) return 0;
    const uint8_t type = p[4];
    // A name may end with the message.
    const uint32_t needed =
        type == kMV2NetNameAnswer || type == kMV2NetHello ? 5u
        : type < kMV2NetMessageTypes                       ? kMV2NetPayloadSize[type]
                                                           : 0u;
    if (type >= kMV2NetMessageTypes || size < needed) return 0;
    switch (type) {
    case kMV2NetSpawn: ReceiveSpawn(m, p); break;
    case kMV2NetPlayerState: ReceiveState(m, p); break;
    case kMV2NetExplosion: ReceiveExplosion(p); break;
    case kMV2NetWeaponHit: ReceiveWeaponHit(m, p); break;
    case kMV2NetToolHit: ReceiveToolHit(m, p); break;
    case kMV2NetNameRequest: {
        uint8_t* out = Out(kMV2NetNameAnswer);
        std::memset(out + 5, 0, kNameField);
        std::snprintf(reinterpret_cast<char*>(out + 5), kNameField, "%s", gMV2Settings.playerName);
        Send(kMV2NetNameAnswer, m->sender, 1);
        break;
    }
    case kMV2NetNameAnswer: ReceiveNameAnswer(m, p, size); break;
    case kMV2NetFrag: ReceiveFrag(); break;
    case kMV2NetSessionClosed:
        if (m->sender != gMV2Net.hostId) break;
        if (gMV2Net.texts[34][0]) MV2NetTickerPush(gMV2Net.texts[34]);
        GameOver(MV2NetFindRemotePlayer(m->sender));
        break;
    case kMV2NetObjectRemoved: ReceiveObjectRemoved(p); break;
    case kMV2NetObjectSpawned: ReceiveObjectSpawned(p); break;
    case kMV2NetCreateRequest:
        if (gMV2NetHost) ReceiveCreateRequest(p);
        break;
    case kMV2NetTeleport: ReceiveTeleport(m, p); break;
    case kMV2NetFragLimit:
        if (m->sender == gMV2Net.hostId) gMV2Net.fragLimit = p[5];
        break;
    case kMV2NetGameOver: GameOver(MV2NetFindRemotePlayer(m->sender)); break;
    case kMV2NetHello: ReceiveHello(m, p, size); break;
    case kMV2NetPlayerLeft: PlayerLeft(m->sender); break;
    case kMV2NetKilled: ReceiveKilled(m, p); break;
    case kMV2NetEnergy:
        if (MV2NetRemotePlayer* r = MV2NetFindRemotePlayer(m->sender); Alive(r)) r->energy = p[5];
        break;
    default: break;
    }
    return 0;
}

void MV2NetFillPlayerState() {
    uint8_t* out = Out(kMV2NetPlayerState);
    std::memset(out + 5, 0, kMV2NetPayloadSize[kMV2NetPlayerState] - 5);
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft || !craft->matrix) {
        // Not in play: the receivers ignore the rest.
        out[5] = 0x80;
        return;
    }
    out[5] = MV2GetPlayerControlState();
    PutV3(out + 8, craft->matrix->pos);
    MV2NetPackOrientation(craft->matrix, out + 20);
    uint8_t powerUps = 0;
    if (MV2IsPowerUpActive(2)) powerUps |= 0x10;
    if (MV2IsPowerUpActive(3)) powerUps |= 0x20;
    if (MV2IsPowerUpActive(4)) powerUps |= 0x40;
    out[29] = uint8_t(MV2NetLocalCraftChoice() | powerUps);
    out[30] = uint8_t(gMV2Net.frags);
    out[31] = EnergyByte(craft->energy, InitialEnergy(craft));
    out[32] = gMV2Net.sequence++;
}

void MV2NetSendPlayerState(uint32_t to) {
    Send(kMV2NetPlayerState, to, 0);
}

namespace {
void SendHits(uint8_t type, int32_t id, bool fromTag) {
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft || !craft->matrix || !gMV2Net.inSession) return;
    TvV3d start = craft->matrix->pos;
    if (fromTag && TypeOf(craft) == 84 && craft->clump) {
        if (TvFrame* f = MV2FindFrameByTag(craft->clump, 500)) start = TvFrameGetLTM(f)->pos;
    }
    TvV3d end = TvV3dAdd(start, TvV3dScale(craft->matrix->at, kShotRange));
    float fraction = 1.0f;
    if (MV2World && MV2IntersectWorldLine(MV2World, &start, &end, nullptr, &fraction) &&
        fraction >= 0.0f && fraction <= 1.0f)
        end = TvV3dAdd(start, TvV3dScale(TvV3dSub(end, start), fraction));
    for (int32_t i = 0; i < kMV2NetMaxPlayers; ++i) {
        MV2NetRemotePlayer* r = &gMV2NetPlayers[i];
        if (!r->inUse || !Alive(r) || r->networkId == gMV2Net.localId) continue;
        const TvV3d d = TvV3dSub(r->craft->matrix->pos, craft->matrix->pos);
        if (TvV3dDot(d, d) >= kShotRange * kShotRange) continue;
        uint8_t* out = Out(type);
        PutV3(out + 8, TvV3dSub(r->craft->matrix->pos, end));
        out[20] = uint8_t(id);
        Send(type, r->networkId, 0);
    }
}
} // namespace

void MV2NetSendWeaponHit() {
    MV2WeaponRecord* w = MV2GetCurrentWeapon(MV2GetPlayerObject());
    if (w) SendHits(kMV2NetWeaponHit, w->slot, true);
}

void MV2NetSendToolHit() {
    MV2SubData* sub = SubData(MV2GetPlayerObject());
    if (sub) SendHits(kMV2NetToolHit, sub->tools.currentKind, false);
}

void MV2NetSendKilled(MV2Object* killer) {
    MV2NetRemotePlayer* r = killer ? static_cast<MV2NetRemotePlayer*>(killer->netData) : nullptr;
    if (!r || !r->inUse || r->craft != killer) r = MV2NetFindRecordOfCraft(killer);
    if (!r) return;
    VkNetPutU32(Out(kMV2NetKilled) + 8, r->networkId);
    Send(kMV2NetKilled, 0, 0);
    ShowKill(r->name, gMV2Settings.playerName);
    Send(kMV2NetFrag, r->networkId, 0);
}

uint32_t MV2NetSpawnObject(int32_t type, MV2Object* object) {
    if (!object || !object->matrix) return 0;
    uint8_t* out = Out(kMV2NetObjectSpawned);
    const uint32_t id = gMV2Net.nextObjectId++;
    VkNetPutU32(out + 8, id);
    PutU16(out + 12, uint16_t(type));
    PutV3(out + 16, object->matrix->pos);
    MV2NetPackOrientation(object->matrix, out + 28);
    Send(kMV2NetObjectSpawned, 0, 0);
    SpawnSound(type, object->matrix->pos);
    return id;
}

void MV2NetRemoveObject(MV2Object* object) {
    if (!object) return;
    VkNetPutU32(Out(kMV2NetObjectRemoved) + 8, uint32_t(MV2ObjectSendMessage(object, 99, 0, 0)));
    Send(kMV2NetObjectRemoved, 0, 0);
}

void MV2NetRequestObject(int32_t type, const float* position) {
    if (!position) return;
    if (gMV2NetHost || !gMV2Net.inSession) {
        MV2CreateObject(type, position, nullptr);
        return;
    }
    uint8_t* out = Out(kMV2NetCreateRequest);
    PutU16(out + 6, uint16_t(type));
    PutV3(out + 8, {position[0], position[1], position[2]});
    Send(kMV2NetCreateRequest, gMV2Net.hostId, 0);
}

void MV2NetSendObjectMove(MV2Object* object, const TvV3d* point) {
    if (!object || !object->matrix || !point) return;
    uint8_t* out = Out(kMV2NetTeleport);
    PutV3(out + 8, object->matrix->pos);
    PutV3(out + 20, *point);
    MV2NetPackOrientation(object->matrix, out + 32);
    Send(kMV2NetTeleport, 0, 0);
}

void MV2NetAnnounce() {
    uint8_t* out = Out(kMV2NetHello);
    std::memset(out + 5, 0, kNameField);
    std::snprintf(reinterpret_cast<char*>(out + 5), kNameField, "%s", gMV2Settings.playerName);
    Send(kMV2NetHello, 0, 1);
    MV2SetPlayerControlState(0);
    MV2NetFillPlayerState();
    Send(kMV2NetPlayerState, 0, 1);
}

void MV2NetSendEnergy(MV2NetRemotePlayer* record, MV2Object* hit, float newEnergy) {
    if (!record || !hit) return;
    Out(kMV2NetEnergy)[5] = EnergyByte(newEnergy, InitialEnergy(hit));
    Send(kMV2NetEnergy, record->networkId, 0);
}
