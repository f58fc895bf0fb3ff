// The magnet tool, its head (type 52) and cable links (type 53).
#include "game/player/magnet.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/submarines.h"
#include "game/frontend/hud.h"
#include "game/frontend/radar.h"
#include "game/missions/missionflow.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/shots.h"
#include "game/player/tools.h"
#include "shell/gamemain.h"

namespace {

constexpr float kSegment = 0.18f;
constexpr float kEndOffset = 0.2f;

TvFreeList* g_refs = nullptr;

MV2MagnetHead* Head(MV2Object* head) {
    return head ? static_cast<MV2MagnetHead*>(head->privateData) : nullptr;
}

MV2Object* HeadOf(MV2Tool* tool) {
    auto* ref = tool ? reinterpret_cast<MV2MagnetRef*>(tool->word) : nullptr;
    return ref ? MV2GetObjectRef(&ref->head) : nullptr;
}

float Mass(const MV2Object* o) {
    return o && o->type ? MV2TypeFloat(o->type, 2) : 0.0f;
}

TvV3d Turn(const TvMatrix* m, const TvV3d& v) {
    return TvV3dAdd(TvV3dAdd(TvV3dScale(m->right, v.x), TvV3dScale(m->up, v.y)), TvV3dScale(m->at, v.z));
}

TvV3d Local(const TvMatrix* m, const TvV3d& v) {
    return {TvV3dDot(v, m->right), TvV3dDot(v, m->up), TvV3dDot(v, m->at)};
}

void Place(MV2Object* o, const TvV3d& at) {
    if (!o || !o->matrix) return;
    o->matrix->pos = at;
    MV2ShotSyncFrame(o);
}

// Shows the model with the atomic flags and puts it in the world, or takes it out.
void Show(MV2Object* o, uint8_t flags, bool inWorld) {
    if (!o || !o->clump) return;
    MV2SetAllAtomicFlags(o->clump, flags);
    TpWorld* in = TpClumpGetWorld(o->clump);
    if (inWorld && !in) {
        if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddClump(world, o->clump);
    } else if (!inWorld && in) {
        TpWorldRemoveClump(in, o->clump);
    }
}

void SetCollides(MV2Object* o, bool on) {
    if (!o || !o->type) return;
    if (on) o->type->words[7] |= kMV2TypeCollidesObjects;
    else o->type->words[7] &= ~kMV2TypeCollidesObjects;
}

TvV3d Anchor(MV2Object* owner, const MV2MagnetHead* h) {
    TvV3d offset = h->mountOffset;
    if (MV2ShotTypeOf(owner) == 84)
        if (MV2Object* load = MV2GetObjectRef(const_cast<MV2ObjectRef*>(&h->attached))) {
            const int32_t type = MV2ShotTypeOf(load);
            if (type == 230 || type == 231) offset = {0.0f, -0.5f, 0.0f};
        }
    return TvV3dAdd(owner->matrix->pos, Turn(owner->matrix, offset));
}

TvV3d LaunchDirection(const MV2MagnetHead* h, const TvMatrix* owner) {
    const TvV3d v = h->sub ? h->sub->vector : TvV3d{0.0f, 0.0f, 1.0f};
    return Turn(owner, v);
}

void Stow(MV2Object* head, MV2MagnetHead* h) {
    for (MV2ObjectRef& link : h->links)
        Show(MV2GetObjectRef(&link), 0, false);
    Show(head, 0, false);
    SetCollides(head, false);
    h->state = kMV2MagnetStowed;
}

void Use(MV2Object* head) {
    MV2MagnetHead* h = Head(head);
    MV2Object* owner = h ? MV2GetObjectRef(&h->owner) : nullptr;
    if (!h || !head->matrix || h->state == kMV2MagnetReeling) return;
    // The head turns back to no rotation where it is.
    const TvV3d pos = head->matrix->pos;
    TvMatrixSetIdentity(head->matrix);
    head->matrix->pos = pos;
    if (h->state == kMV2MagnetStowed) {
        if (!owner || !owner->matrix) return;
        h->autoReel = MV2ShotClock() + 5000;
        MV2ShotPlayAt(owner->matrix->pos, 1.0f, "MGHRELEASE", 0);
        h->state = kMV2MagnetLaunched;
        h->segment = kSegment;
        const TvV3d launch = TvV3dAdd(owner->matrix->pos, Turn(owner->matrix, h->mountOffset));
        Place(head, launch);
        h->lastPosition = launch;
        MV2Object* target = MV2GetObjectRef(&h->target);
        const TvV3d direction = target && target->matrix
                                    ? MV2ShotUnit(TvV3dSub(target->matrix->pos, launch))
                                    : MV2ShotUnit(LaunchDirection(h, owner->matrix));
        if (head->body) head->body->velocity = TvV3dScale(direction, 0.1f);
        Show(head, kTpAtomicCollisionTest | kTpAtomicRender, true);
        SetCollides(head, true);
        for (MV2ObjectRef& ref : h->links) {
            MV2Object* link = MV2GetObjectRef(&ref);
            if (!link) continue;
            Show(link, kTpAtomicRender, true);
            if (link->body) link->body->velocity = {};
            Place(link, launch);
        }
        return;
    }
    if (MV2Object* load = MV2GetObjectRef(&h->attached); load && owner && owner->matrix) {
        MV2ShotPlayAt(owner->matrix->pos, 1.0f, "MGHRELEASE", 0);
        MV2ObjectSendMessage(load, 43, 0, reinterpret_cast<intptr_t>(owner));
        MV2NotifyObjectScript(load, kMV2ScriptEvent, 12, reinterpret_cast<intptr_t>(owner));
    }
    MV2ClearObjectRef(&h->attached);
    h->state = kMV2MagnetReeling;
    MV2ShotSyncFrame(head);
    if (head->clump) MV2SetAllAtomicFlags(head->clump, kTpAtomicRender);
    SetCollides(head, false);
}

void CableStep(MV2Object* head, MV2MagnetHead* h) {
    if (h->state == kMV2MagnetStowed) return;
    if (h->state == kMV2MagnetReeling) {
        h->segment -= MV2ShotFrameStep() * 0.01f;
        if (h->segment <= 0.0f) {
            Stow(head, h);
            return;
        }
    }
    MV2Object* owner = MV2GetObjectRef(&h->owner);
    if (!owner || !owner->matrix || !head->matrix) return;
    MV2Object* links[kMV2MagnetLinks];
    for (int32_t i = 0; i < kMV2MagnetLinks; ++i) {
        links[i] = MV2GetObjectRef(&h->links[i]);
        if (!links[i] || !links[i]->matrix) return;
    }
    const TvV3d anchor = Anchor(owner, h);
    MV2Object* end = head;
    TvV3d endPoint;
    float endDistance;
    MV2Object* load = MV2GetObjectRef(&h->attached);
    if (load && h->attachedFrame) {
        const TvMatrix* f = TvFrameGetLTM(h->attachedFrame);
        endPoint = TvV3dAdd(f->pos, Turn(f, h->attachPoint));
        endDistance = h->attachDistance;
        end = load;
    } else {
        MV2ClearObjectRef(&h->attached);
        const TvMatrix* f = head->matrix;
        if (TpAtomic* first = head->clump ? MV2GetFirstAtomic(head->clump) : nullptr)
            if (first->object.frame) f = TvFrameGetLTM(first->object.frame);
        endPoint = TvV3dAdd(f->pos, Turn(f, {0.0f, kEndOffset, 0.0f}));
        endDistance = kEndOffset;
        if (owner == MV2GetPlayerObject() && h->state == kMV2MagnetLaunched &&
            int32_t(MV2ShotClock() - h->autoReel) > 0)
            Use(head);
    }
    if (load) Place(head, endPoint);
    const TvV3d span = TvV3dSub(endPoint, anchor);
    const float stretch = MV2ShotLength(span) - h->segment * 6.0f;
    if (stretch > 0.0f) {
        const TvV3d u = MV2ShotUnit(span);
        const TvV3d pull = TvV3dScale(u, -stretch * 0.1f);
        MV2AddForce(end, &pull);
        MV2AddTorque(end, &pull, &endPoint);
        const float rest = TvV3dDot(TvV3dSub(endPoint, owner->matrix->pos), u) + endDistance + h->segment * 6.0f;
        MV2MagnetSpring(h->state, rest, u, owner, end);
    }
    MV2Object* last = links[kMV2MagnetLinks - 1];
    if (last->body)
        last->body->velocity = TvV3dAdd(last->body->velocity,
                                        TvV3dScale(TvV3dSub(head->matrix->pos, last->matrix->pos), 0.5f));
    Place(links[0], anchor);
    for (int32_t i = 1; i < kMV2MagnetLinks; ++i)
        MV2MagnetConstrain(h, links[i - 1], links[i]);
    for (int32_t i = kMV2MagnetLinks - 1; i >= 1; --i)
        MV2MagnetLinkImpulse(links[i], links[i - 1]);
    Place(links[0], anchor);
    for (int32_t i = 1; i < kMV2MagnetLinks; ++i)
        MV2MagnetOrientLink(links[i], links[i - 1]);
    MV2MagnetOrientLink(head, last);
    h->lastPosition = head->matrix->pos;
}

void Aim(MV2Object* owner, MV2MagnetHead* h) {
    MV2ClearObjectRef(&h->target);
    h->targetFrame = nullptr;
    if (h->state != kMV2MagnetStowed || !owner || !owner->matrix) return;
    const TvV3d origin = TvV3dAdd(owner->matrix->pos, Turn(owner->matrix, h->mountOffset));
    const TvV3d direction = MV2ShotUnit(LaunchDirection(h, owner->matrix));
    int32_t triangle = 0;
    float distance = 0.0f;
    MV2Object* hit = MV2FindObjectOnRay(&origin, 1.08f * 1.62f, &direction, &triangle, &distance, 0);
    if (!hit || hit == owner || !hit->clump) return;
    TvFrame* frame = MV2GetRootFrame(hit->clump);
    if (!MV2ObjectSendMessage(hit, 45, 0, reinterpret_cast<intptr_t>(&frame))) return;
    MV2SetObjectRef(&h->target, hit);
    h->targetFrame = frame ? frame : MV2GetRootFrame(hit->clump);
}

void DrawIndicator(MV2MagnetHead* h) {
    if (!MV2GetObjectRef(&h->target) || !h->targetFrame) return;
    MV2DrawScreenIndicator(&TvFrameGetLTM(h->targetFrame)->pos, gMV2MainCamera, 2, 0xFF00FF00u);
}

void Attach(MV2Object* head, MV2MagnetHead* h, MV2Object* other) {
    MV2Object* owner = MV2GetObjectRef(&h->owner);
    if (!other->clump || !head->matrix) return;
    MV2SetObjectRef(&h->attached, other);
    TpAtomic* atomic = MV2GetFirstAtomic(other->clump);
    h->attachedFrame = atomic && atomic->object.frame ? atomic->object.frame : MV2GetRootFrame(other->clump);
    const TvMatrix* f = TvFrameGetLTM(h->attachedFrame);
    const bool noTree = other->type && (other->type->words[7] & kMV2TypeCollisionTree) == 0;
    h->contactKind = noTree ? 3 : 0;
    // Held at the contact point in the struck atomic's frame (its centre without a tree).
    h->attachPoint = noTree ? TvV3d{} : Local(f, TvV3dSub(head->matrix->pos, f->pos));
    h->attachDistance = MV2ShotLength(h->attachPoint);
    h->contact[0] = f->right;
    h->contact[1] = f->up;
    h->contact[2] = f->at;
    h->state = kMV2MagnetAttached;
    if (head->clump) MV2SetAllAtomicFlags(head->clump, kTpAtomicRender);
    if (head->body) head->body->velocity = head->body->angularVelocity = {};
    if (owner && owner->matrix) MV2ShotPlayAt(owner->matrix->pos, 1.0f, "MGHATTACH", 0);
    MV2ObjectSendMessage(other, 44, 0, reinterpret_cast<intptr_t>(owner));
    MV2NotifyObjectScript(other, kMV2ScriptEvent, 11, reinterpret_cast<intptr_t>(owner));
}

bool NoCollision(const MV2Object* o) {
    return o && o->type && (o->type->words[7] & kMV2TypeCollisionTree);
}

intptr_t Contact(MV2Object* head, MV2MagnetHead* h, MV2Object* other, int32_t message, intptr_t p1) {
    if (!other) return 0;
    MV2Object* owner = MV2GetObjectRef(&h->owner);
    if (message == 14 && (NoCollision(head) || NoCollision(other))) return 0;
    if (head == MV2GetPlayerObject() || other == owner) return 0;
    MV2ObjectDefaultHandler(head, message, p1, reinterpret_cast<intptr_t>(other));
    if ((h->state == kMV2MagnetLaunched && h->armed) && MV2ObjectSendMessage(other, 45, 0, 0))
        Attach(head, h, other);
    return 0;
}

void AttachDirectly(MV2Object* head, MV2MagnetHead* h, MV2Object* other) {
    MV2Object* owner = MV2GetObjectRef(&h->owner);
    if (!other || !other->matrix || !owner || !owner->matrix || !head->matrix) return;
    h->state = kMV2MagnetLaunched;
    h->segment = kSegment;
    Show(head, kTpAtomicCollisionTest | kTpAtomicRender, true);
    for (MV2ObjectRef& ref : h->links) {
        MV2Object* link = MV2GetObjectRef(&ref);
        Show(link, kTpAtomicRender, true);
        Place(link, owner->matrix->pos);
    }
    const TvV3d towards = MV2ShotUnit(TvV3dSub(owner->matrix->pos, other->matrix->pos));
    const float radius = NoCollision(other) ? other->radius : 0.0f;
    Place(head, TvV3dAdd(other->matrix->pos, TvV3dScale(towards, radius)));
    if (head->body && NoCollision(other)) head->body->velocity = TvV3dScale(towards, -0.1f);
    MV2ObjectSendMessage(head, 19, 0, reinterpret_cast<intptr_t>(other));
}

void SetOwner(MV2Object* head, MV2MagnetHead* h, MV2Object* owner) {
    MV2SetObjectRef(&h->owner, owner);
    h->sub = MV2GetSubDefinition(owner);
    h->mountOffset = {};
    if (!owner || !owner->matrix) return;
    if (owner->type && owner->type->privateDataSize >= sizeof(MV2SubData)) {
        const auto* data = static_cast<const MV2SubData*>(owner->privateData);
        if (data->mounts[0])
            h->mountOffset = Local(owner->matrix, TvV3dSub(TvFrameGetLTM(data->mounts[0])->pos, owner->matrix->pos));
    }
    h->mountDistance = MV2ShotLength(h->mountOffset);
    TvV3d at = Anchor(owner, h);
    for (MV2ObjectRef& ref : h->links) {
        Place(MV2GetObjectRef(&ref), at);
        at.y -= h->segment;
    }
    Place(head, at);
}

intptr_t CreateHead(MV2Object* head, MV2MagnetHead* h) {
    *h = MV2MagnetHead{};
    h->state = kMV2MagnetStowed;
    h->armed = 1;
    h->segment = kSegment;
    const TvV3d at = head->matrix ? head->matrix->pos : TvV3d{};
    for (MV2ObjectRef& ref : h->links) {
        MV2Object* link = MV2CreateObject(kMV2MagnetLinkType, &at.x, nullptr);
        if (!link) continue;
        MV2SetObjectRef(&ref, link);
        Show(link, 0, false);
    }
    Show(head, 0, false);
    SetCollides(head, false);
    return 1;
}

} // namespace

void MV2MagnetLinkImpulse(MV2Object* a, MV2Object* b) {
    if (!a || !b || !a->body || !b->body || !a->matrix || !b->matrix) return;
    const float ma = Mass(a), mb = Mass(b);
    if (ma + mb <= 0.0f) return;
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    if (MV2ShotLength(d) <= 0.0f) return;
    const TvV3d u = MV2ShotUnit(d);
    const float va = TvV3dDot(a->body->velocity, u), vb = TvV3dDot(b->body->velocity, u);
    const float sum = va + vb;
    a->body->velocity = TvV3dAdd(a->body->velocity, TvV3dScale(u, sum * ma / (ma + mb) - va));
    b->body->velocity = TvV3dAdd(b->body->velocity, TvV3dScale(u, sum * mb / (ma + mb) - vb));
}

void MV2MagnetSpring(int32_t mode, float rest, const TvV3d& direction, MV2Object* a, MV2Object* b) {
    if (!a || !b || !a->matrix || !b->matrix || !(rest > 0.0f)) return;
    const float s = (MV2ShotLength(TvV3dSub(b->matrix->pos, a->matrix->pos)) - rest) / rest;
    if (s <= 0.0f) return;
    const TvV3d va = a->body ? a->body->velocity : TvV3d{};
    const TvV3d vb = b->body ? b->body->velocity : TvV3d{};
    const TvV3d force = TvV3dAdd(TvV3dScale(direction, s * 0.3f),
                                 TvV3dScale(direction, 0.02f * TvV3dDot(TvV3dSub(va, vb), direction)));
    if (mode != kMV2MagnetReeling) MV2AddForce(a, &force);
    const TvV3d back = TvV3dScale(force, -1.0f);
    MV2AddForce(b, &back);
}

void MV2MagnetConstrain(const MV2MagnetHead* head, MV2Object* a, MV2Object* b) {
    if (!head || !a || !b || !a->matrix || !b->matrix) return;
    const TvV3d d = TvV3dSub(b->matrix->pos, a->matrix->pos);
    const float distance = MV2ShotLength(d);
    if (distance <= 0.0f) return;
    Place(b, TvV3dAdd(a->matrix->pos, TvV3dScale(d, head->segment / distance)));
}

void MV2MagnetOrientLink(MV2Object* a, MV2Object* b) {
    if (!a || !b || !a->matrix || !b->matrix) return;
    const TvV3d d = TvV3dSub(b->matrix->pos, a->matrix->pos);
    if (MV2ShotLength(d) <= 0.0f) return;
    TvMatrix* m = a->matrix;
    m->up = TvV3dScale(MV2ShotUnit(d), -1.0f);
    TvV3d at{0.0f, 1.0f, 0.0f};
    TvV3d right = TvV3dCross(m->up, at);
    if (MV2ShotLength(right) <= 1e-6f) right = TvV3dCross(m->up, TvV3d{0.0f, 0.0f, 1.0f});
    m->right = MV2ShotUnit(right);
    m->at = TvV3dCross(m->right, m->up);
    MV2ShotSyncFrame(a);
}

MV2Object* MV2GetMagnetHead(MV2Object* craft) {
    if (!craft || !craft->type || craft->type->privateDataSize < sizeof(MV2SubData)) return nullptr;
    return HeadOf(MV2FindTool(&static_cast<MV2SubData*>(craft->privateData)->tools, 0));
}

int32_t MV2MagnetToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2Object* head = HeadOf(tool);
    MV2MagnetHead* h = Head(head);
    auto out = [p2](intptr_t value) {
        if (p2) *reinterpret_cast<intptr_t*>(p2) = value;
    };
    switch (command) {
    case 3: {
        auto* ref = static_cast<MV2MagnetRef*>(
            MV2ShotGunDataAlloc(&g_refs, sizeof(MV2MagnetRef), "Could not create free list for magnet", nullptr));
        if (!ref || !tool) return 0;
        *ref = MV2MagnetRef{};
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        const TvV3d at = owner && owner->matrix ? owner->matrix->pos : TvV3d{};
        MV2Object* made = MV2CreateObject(kMV2MagnetHeadType, &at.x, nullptr);
        if (!made || !Head(made)) {
            if (made) MV2ObjectSendMessage(made, 4, 0, 0);
            TvFreeListFree(g_refs, ref);
            return 0;
        }
        MV2ObjectSendMessage(made, 15, 0, p2);
        MV2SetObjectRef(&ref->head, made);
        tool->word = reinterpret_cast<uintptr_t>(ref);
        return 1;
    }
    case 4:
        if (head) MV2ObjectSendMessage(head, 4, 0, 0);
        if (tool && tool->word) TvFreeListFree(g_refs, reinterpret_cast<void*>(tool->word));
        if (tool) tool->word = 0;
        return 1;
    case 2:
        if (h) CableStep(head, h);
        return 1;
    case 12:
        if (h) h->armed = int32_t(p1);
        return 1;
    case 13: out(h ? h->armed : 0); return 1;
    case 20:
        if (h) DrawIndicator(h);
        return 1;
    case 33:
        if (head) MV2ObjectSendMessage(head, 33, p1, p2);
        return 1;
    case 34:
        out(h && h->state == kMV2MagnetAttached ? reinterpret_cast<intptr_t>(MV2GetObjectRef(&h->attached)) : 0);
        return 1;
    case 37: out(h && h->state != kMV2MagnetStowed ? 1 : 0); return 1;
    case 49:
        if (h) Stow(head, h);
        return 1;
    case 53:
        if (head) Use(head);
        return 1;
    case 57: {
        auto* icon = reinterpret_cast<MV2ToolIcon*>(p2);
        if (!icon) return 1;
        const int32_t state = h ? h->state : kMV2MagnetStowed;
        const bool held = h && MV2GetObjectRef(&h->attached);
        icon->sprite = state == kMV2MagnetAttached ? (held ? 7 : 13) : state == kMV2MagnetLaunched ? 13 : 5;
        icon->colour = state == kMV2MagnetStowed && !(h && MV2GetObjectRef(&h->target))
                           ? kMV2HudColour & 0xFFFFFFu
                           : 0xFFFF00u;
        return 1;
    }
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2)) {
            g->on = h && h->state != kMV2MagnetStowed ? 1 : 0;
            MV2Object* load = h ? MV2GetObjectRef(&h->attached) : nullptr;
            const float mass = load ? std::min(Mass(load), 100.0f) : 0.0f;
            g->level = (int32_t(2.55f * std::max(mass, 0.0f)) & 255) | 256;
        }
        return 0;
    case 68:
        if (h) {
            Aim(MV2GetObjectRef(&h->owner), h);
            DrawIndicator(h);
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}

intptr_t MV2MagnetHeadHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2MagnetHead));
    MV2MagnetHead* h = Head(object);
    if (!h) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        return CreateHead(object, h);
    case 15: SetOwner(object, h, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 14:
    case 19: return Contact(object, h, reinterpret_cast<MV2Object*>(p2), message, p1);
    case 33: AttachDirectly(object, h, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 4:
        for (MV2ObjectRef& ref : h->links)
            if (MV2Object* link = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(link, 4, 0, 0);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2MagnetLinkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, 0);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}
