// Target groups, their sockets and indicator, and the targeted and selected objects.
#include "game/player/targetgroups.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "game/effects/effects.h"
#include "game/frontend/hud.h"
#include "game/objects/dynamics.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "platform/crt/crt.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"

namespace {

struct GroupRow {
    int32_t scriptId;
    uint32_t recordId;
    int32_t levelSwitch;
};
constexpr GroupRow kGroups[] = {
    {0x40263, 0x31ffff, 5},  {0x40049, 0x32ffff, 7},  {0x40066, 0x36ffff, 11},
    {0x40067, 0x37ffff, 12}, {0x40068, 0x35ffff, 13}, {0x4021f, 0x42ffff, 15},
    {0x40054, 0x40ffff, 14},
};

constexpr uint32_t kStateColours[3] = {0xff0000ffu, 0xff00ff00u, 0xff00ffffu};
constexpr uint32_t kBlink = 0xffffffffu;

struct Indicator {
    MV2ObjectRef group;
    float closeness;
    int32_t countdownEnd;
    int32_t lockChannel;
    int32_t lockSlot;
    TvIm3DVertex vertices[kMV2IndicatorVertices];
    uint16_t indices[kMV2IndicatorVertices];
    int32_t vertexCount;
    MV2Object* settingUp;
};
Indicator g_indicator;

MV2ObjectRef g_targeted{};
MV2ObjectRef g_selected{};

int32_t Now() {
    return int32_t(MV2ShotClock());
}

MV2TargetGroup* Group(MV2Object* o) {
    return static_cast<MV2TargetGroup*>(o->privateData);
}

MV2TargetSocket* Socket(MV2Object* o) {
    return static_cast<MV2TargetSocket*>(o->privateData);
}

void StopLock() {
    if (g_indicator.lockChannel > 0) MV2StopSound(g_indicator.lockSlot, g_indicator.lockChannel);
    g_indicator.lockChannel = 0;
}

void DropIndication(MV2Object* group) {
    if (MV2GetObjectRef(&g_indicator.group) == group) MV2ClearObjectRef(&g_indicator.group);
}

bool Near(MV2Object* a, intptr_t p2) {
    auto* other = reinterpret_cast<MV2Object*>(p2);
    return other && MV2ShotDistanceSquared(a->matrix->pos, other->matrix->pos) < 0.16f;
}

bool InView(MV2Object* group) {
    if (!gMV2MainCamera) return false;
    TvSphere sphere{group->matrix->pos, group->radius};
    return TvCameraFrustumTestSphere(gMV2MainCamera, &sphere) != kTvSphereOutside;
}

void Burst(MV2Object* group, const GroupRow* row) {
    const TvV3d centre = group->matrix->pos;
    auto spread = []() { return (float(PlatformRand() & 0x7f) - 63.5f) * 0.003921569f; };
    for (int32_t i = 0; i < 8; ++i) {
        TvV3d offset;
        MV2RandomDirection(&offset);
        offset = TvV3dScale(offset, group->radius * 0.5f * MV2RandomUnit());
        float position[3];
        MV2ShotPoint(TvV3dAdd(centre, offset), position);
        MV2Object* piece = MV2CreateObject(i % 3 == 0 ? 6 : 7, position, nullptr);
        if (piece && piece->body) {
            piece->body->velocity = {spread(), spread(), spread()};
            piece->body->angularVelocity = {spread(), spread(), spread()};
        }
    }
    float position[3];
    MV2ShotPoint(centre, position);
    MV2CreateExplosion(position, group->radius, 0.0f, nullptr, 4, 0x1e);
    if (row) MV2SetLevelSwitch(row->levelSwitch, 0);
    MV2ObjectSendMessage(group, 4, 1, 0);
}

const GroupRow* RowOf(const MV2Object* group) {
    for (const GroupRow& row : kGroups)
        if (row.scriptId == group->scriptId) return &row;
    return nullptr;
}

void Indicate(MV2Object* group, MV2TargetGroup* g) {
    MV2Object* craft = MV2GetPlayerObject();
    MV2WeaponRecord* w = craft ? MV2GetCurrentWeapon(craft) : nullptr;
    if (!w || w->slot != 23) {
        MV2ClearObjectRef(&g_indicator.group);
        return;
    }
    if (!g->enabled) return;
    const float d2 = MV2ShotDistanceSquared(group->matrix->pos, craft->matrix->pos);
    const float closeness = d2 < 144.0f && InView(group) ? 1.0f / (d2 + 1.0f) : -1.0f;
    MV2Object* indicated = MV2GetObjectRef(&g_indicator.group);
    if (indicated == group) {
        g_indicator.closeness = closeness;
        if (closeness < 0.0f) MV2ClearObjectRef(&g_indicator.group);
        return;
    }
    if ((!indicated && closeness > 0.0f) || (indicated && closeness > g_indicator.closeness)) {
        MV2SetObjectRef(&g_indicator.group, group);
        g_indicator.closeness = closeness;
        g_indicator.countdownEnd = Now() + 1000;
    }
}

intptr_t GroupUpdate(MV2Object* group, MV2TargetGroup* g, intptr_t p1, intptr_t p2) {
    const GroupRow* row = RowOf(group);
    if (g->firstUpdate) {
        g->firstUpdate = 0;
        MV2ObjectSendMessage(group, 1, 1, 0);
        g->enabled = 0;
        if (row) {
            g_indicator.settingUp = group;
            MV2SpawnLevelRecord(row->recordId, group->missionRow);
            g_indicator.settingUp = nullptr;
            g->enabled = row->scriptId != 0x40049 || MV2TestLevelSwitch(6);
        }
    }
    if (MV2HudGetMode() != 0) StopLock();
    int32_t live = 0, triggered = 0, occupied = 0;
    for (MV2ObjectRef& ref : g->sockets)
        if (MV2Object* s = MV2GetObjectRef(&ref)) {
            ++live;
            triggered += Socket(s)->state == 2;
            occupied += Socket(s)->state == 1;
        }
    if (live > 0 && triggered == live) {
        Burst(group, row);
        return 1;
    }
    if (!g->allOccupied && live > 0 && occupied == live) {
        g->allOccupied = 1;
        if (MV2MissionMessagesDone()) MV2PlayMissionMessage(980);
    }
    Indicate(group, g);
    return MV2ObjectDefaultHandler(group, 2, p1, p2);
}

// The socket on the group's surface along the line from outside towards the group's centre.
void PlaceSocket(MV2Object* socket, MV2Object* group) {
    if (!group->clump) return;
    const TvV3d centre = group->matrix->pos;
    const TvV3d out = MV2ShotUnit(TvV3dSub(socket->matrix->pos, centre));
    const TvV3d start = TvV3dAdd(centre, TvV3dScale(out, group->radius + 1.0f));
    MV2SocketHit hit{2.0f, -1, nullptr};
    for (TpAtomic* a = MV2GetFirstAtomic(group->clump); a; a = MV2GetNextAtomic(group->clump, a))
        MV2SocketHitCallback(a, &start, &centre, &hit);
    if (!hit.atomic) return;
    TvMatrix* m = socket->matrix;
    m->pos = TvV3dAdd(start, TvV3dScale(TvV3dSub(centre, start), hit.fraction));
    TpGeometry* geometry = TpAtomicGetGeometry(hit.atomic);
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    const TvV3d* v = target ? TpMorphTargetGetVertices(target) : nullptr;
    const TpTriangle* tris = geometry ? TpGeometryGetTriangles(geometry) : nullptr;
    TvV3d normal = out;
    if (v && tris && hit.triangle >= 0 && hit.triangle < TpGeometryGetNumTriangles(geometry)) {
        const TpTriangle& t = tris[hit.triangle];
        const int32_t n = TpGeometryGetNumVertices(geometry);
        if (t.vertex[0] < n && t.vertex[1] < n && t.vertex[2] < n) {
            const TvV3d local = TvV3dCross(TvV3dSub(v[t.vertex[1]], v[t.vertex[0]]),
                                           TvV3dSub(v[t.vertex[2]], v[t.vertex[0]]));
            TvV3dTransformVectors(&normal, &local, 1, TvFrameGetLTM(hit.atomic->object.frame));
            normal = MV2ShotUnit(normal);
        }
    }
    MV2ShotFaceAlong(m, normal);
    MV2ShotSyncFrame(socket);
}

void Arrow(const TvV3d& position, const TvV3d& dir, const TvV3d& side, float s, uint32_t colour) {
    if (g_indicator.vertexCount + 3 > kMV2IndicatorVertices) return;
    const TvV3d tip = TvV3dAdd(position, TvV3dScale(dir, s));
    const TvV3d base = TvV3dAdd(tip, TvV3dScale(dir, 0.15f));
    const TvV3d corners[3] = {tip, TvV3dAdd(base, TvV3dScale(side, 0.04f)),
                              TvV3dSub(base, TvV3dScale(side, 0.04f))};
    for (const TvV3d& c : corners) {
        TvIm3DVertex& v = g_indicator.vertices[g_indicator.vertexCount++];
        v.objVertex = c;
        v.u = v.v = 0.0f;
        v.alpha = uint8_t(colour >> 24);
        v.red = uint8_t(colour >> 16);
        v.green = uint8_t(colour >> 8);
        v.blue = uint8_t(colour);
    }
}

} // namespace

void MV2SocketHitCallback(TpAtomic* atomic, const TvV3d* start, const TvV3d* end,
                          MV2SocketHit* hit) {
    int32_t triangle = -1;
    float fraction = 0.0f;
    if (MV2IntersectAtomicLine(atomic, start, end, &triangle, &fraction) && fraction < hit->fraction)
        *hit = {fraction, triangle, atomic};
}

intptr_t MV2TargetGroupHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2TargetGroup));
    MV2TargetGroup* g = Group(object);
    if (!g) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *g = MV2TargetGroup{};
        g->enabled = 1;
        g->firstUpdate = 1;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 2: return GroupUpdate(object, g, p1, p2);
    case 4:
        for (MV2ObjectRef& ref : g->sockets)
            if (MV2Object* s = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(s, 4, 1, 0);
        DropIndication(object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        g->enabled = p1 != 0;
        DropIndication(object);
        return 1;
    case 33: {
        auto* socket = reinterpret_cast<MV2Object*>(p2);
        if (!socket) return 1;
        MV2ObjectRef* free = nullptr;
        for (MV2ObjectRef& ref : g->sockets) {
            MV2Object* s = MV2GetObjectRef(&ref);
            if (s == socket) return 1;
            if (!s && !free) free = &ref;
        }
        if (free) MV2SetObjectRef(free, socket);
        return 1;
    }
    case 83: {
        if (!p2) return 1;
        const auto* at = reinterpret_cast<const float*>(p2);
        const TvV3d offset = TvV3dSub(TvV3d{at[0], at[1], at[2]}, object->matrix->pos);
        const intptr_t result = MV2ObjectDefaultHandler(object, 83, p1, p2);
        for (MV2ObjectRef& ref : g->sockets)
            if (MV2Object* s = MV2GetObjectRef(&ref)) {
                float moved[3];
                MV2ShotPoint(TvV3dAdd(s->matrix->pos, offset), moved);
                MV2ObjectSendMessage(s, 83, 0, reinterpret_cast<intptr_t>(moved));
            }
        return result;
    }
    case 90:
    case 91:
    case 92:
        for (MV2ObjectRef& ref : g->sockets)
            if (MV2Object* s = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(s, message, p1, p2);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2TargetSocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2TargetSocket));
    MV2TargetSocket* s = Socket(object);
    if (!s) return MV2ObjectDefaultHandler(object, message, p1, p2);
    MV2Object* group = MV2GetObjectRef(&s->group);
    MV2TargetGroup* g = group ? Group(group) : nullptr;
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *s = MV2TargetSocket{};
        if (MV2Object* owner = g_indicator.settingUp) {
            MV2ObjectSendMessage(object, 15, 0, reinterpret_cast<intptr_t>(owner));
            MV2ObjectSendMessage(owner, 33, 0, reinterpret_cast<intptr_t>(object));
        }
        MV2ShotShowModel(object, 0);
        return result;
    }
    case 15:
        if (auto* owner = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&s->group, owner);
            PlaceSocket(object, owner);
        }
        return 1;
    case 90:
        if (!Near(object, p2)) return 0;
        ++s->occupants;
        if (s->state == 0) {
            s->state = 1;
            return 1;
        }
        return 0;
    case 91:
        if (!Near(object, p2)) return 0;
        s->state = 2;
        if (g) g->socketTimer = Now() + 1000;
        return 1;
    case 92:
        if (!Near(object, p2)) return 0;
        if (--s->occupants <= 0) {
            s->occupants = 0;
            if (s->state == 1) {
                s->state = 0;
                if (g) g->allOccupied = 0;
            }
        }
        return 1;
    case 2:
        if (s->state == 2 && g && Now() - g->socketTimer > 0) {
            if (s->occupants == 0) {
                s->state = 0;
                g->allOccupied = 0;
            } else {
                s->state = 1;
            }
        }
        MV2ShotTurn(object->matrix, object->matrix->at, MV2ShotFrameStep() * 2.5f);
        MV2ShotSyncFrame(object);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = group;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2ResetTargetIndicator() {
    for (int32_t i = 0; i < kMV2IndicatorVertices; ++i)
        g_indicator.indices[i] = uint16_t(i);
    MV2ClearObjectRef(&g_indicator.group);
    g_indicator.vertexCount = 0;
}

MV2Object* MV2GetIndicatedGroup() {
    return MV2GetObjectRef(&g_indicator.group);
}

int32_t MV2GetIndicatorVertexCount() {
    return g_indicator.vertexCount;
}

uint32_t MV2GetIndicatorColour(int32_t vertex) {
    if (vertex < 0 || vertex >= g_indicator.vertexCount) return 0;
    const TvIm3DVertex& v = g_indicator.vertices[vertex];
    return uint32_t(v.alpha) << 24 | uint32_t(v.red) << 16 | uint32_t(v.green) << 8 | v.blue;
}

void MV2DrawTargetIndicator() {
    g_indicator.vertexCount = 0;
    MV2Object* group = MV2GetObjectRef(&g_indicator.group);
    if (!group) return;
    MV2TargetGroup* g = Group(group);
    const int32_t now = Now();
    float s = 0.1f;
    if (now - g_indicator.countdownEnd < 0) {
        s = float(g_indicator.countdownEnd - now) * 0.005f + 0.025f;
        const int32_t slot = MV2GetSoundSlot(MV2ShotSound("LOCK2"));
        if (g_indicator.lockChannel <= 0) {
            g_indicator.lockSlot = slot;
            g_indicator.lockChannel = MV2PlaySound(slot, 0, 1);
        }
        if (g_indicator.lockChannel > 0 && gMV2MainCamera && gMV2MainCamera->object.frame)
            MV2PlaceSound3D(g_indicator.lockSlot, g_indicator.lockChannel,
                            &TvFrameGetLTM(gMV2MainCamera->object.frame)->pos, nullptr, 0, 0.0f);
    } else {
        StopLock();
    }
    const bool blink = g->allOccupied && (uint32_t(now) & 0x7f) <= 0x3f;
    for (MV2ObjectRef& ref : g->sockets) {
        MV2Object* socket = MV2GetObjectRef(&ref);
        if (!socket) continue;
        const int32_t state = Socket(socket)->state;
        const uint32_t colour = blink ? kBlink : kStateColours[state >= 0 && state < 3 ? state : 0];
        const TvMatrix* m = socket->matrix;
        const TvV3d dirs[4] = {m->up, TvV3dScale(m->right, -1.0f), TvV3dScale(m->up, -1.0f),
                               m->right};
        for (int32_t i = 0; i < 4; ++i)
            Arrow(m->pos, dirs[i], dirs[(i + 1) % 4], s, colour);
    }
    if (g_indicator.vertexCount == 0) return;
    int32_t zWrite = 0, vertexAlpha = 0, source = 0, destination = 0;
    TvRenderStateGet(kTvRenderStateZWriteEnable, &zWrite);
    TvRenderStateGet(kTvRenderStateVertexAlphaEnable, &vertexAlpha);
    TvRenderStateGet(kTvRenderStateSrcBlend, &source);
    TvRenderStateGet(kTvRenderStateDestBlend, &destination);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 6);
    if (TvIm3DTransform(g_indicator.vertices, g_indicator.vertexCount, nullptr, 0)) {
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_indicator.indices,
                                     g_indicator.vertexCount);
        TvIm3DEnd();
    }
    TvRenderStateSet(kTvRenderStateZWriteEnable, zWrite);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, vertexAlpha);
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    TvRenderStateSet(kTvRenderStateDestBlend, destination);
}

void MV2SetTargetedObject(MV2Object* object) {
    MV2Object* craft = MV2GetPlayerObject();
    if (object && MV2ShotTypeOf(object) == 40 && craft && MV2ShotTypeOf(craft) == 15 &&
        object->privateData && *static_cast<MV2Object* const*>(object->privateData) == craft)
        object = nullptr;
    if (object) MV2SetObjectRef(&g_targeted, object);
    else MV2ClearObjectRef(&g_targeted);
}

MV2Object* MV2GetTargetedObject() {
    return MV2GetObjectRef(&g_targeted);
}

void MV2SetSelectedObject(MV2Object* object) {
    if (object) MV2SetObjectRef(&g_selected, object);
    else MV2ClearObjectRef(&g_selected);
}

MV2Object* MV2GetSelectedObject() {
    return MV2GetObjectRef(&g_selected);
}
