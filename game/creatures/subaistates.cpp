// SubAI states: one function per command code, run on the top frame each update.
#include "game/creatures/subaistates.h"

#include <algorithm>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/creatures/subaisteer.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/missions/cutscenes.h"
#include "game/missions/missions.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

namespace {

// Slot flags of the weapon rows 0 to 27, as the fire step chooses by them.
constexpr uint8_t kSlotFlags[28] = {34, 34, 1,  50, 40, 52, 50, 36, 34, 33, 33, 33, 33, 49,
                                    33, 40, 50, 33, 0,  0,  0,  35, 52, 0,  33, 0,  34, 33};

int32_t g_cruiserSwitch = 0;

TvV3d Pos(const MV2Object* o) {
    return o->matrix->pos;
}

MV2SubData* Sub(MV2Object* o) {
    return static_cast<MV2SubData*>(o->privateData);
}

void Send(MV2Object* craft, int32_t message, intptr_t p1, float value) {
    MV2ObjectSendMessage(craft, message, p1, reinterpret_cast<intptr_t>(&value));
}

void Steer(MV2Object* craft, TvV3d d, float speed, int32_t reverse) {
    MV2SubAISteer(craft, &d, &speed, reverse);
}

void PushGoTo(MV2Object* craft, MV2Object* target, float arrival) {
    if (MV2SubAIPushCommand(craft)) MV2SubAISetGoTo(craft, target, arrival);
}

void PushAttack(MV2Object* craft, MV2Object* target, int32_t mode) {
    if (MV2SubAIPushCommand(craft)) MV2SubAISetAttack(craft, target, mode);
}

void UprightAndGravity(MV2Object* craft) {
    const TvV3d offset{0.0f, 10.0f, 0.0f};
    MV2ApplyUprightForce(craft, &offset);
    MV2ApplyGravity(craft);
}

bool Different(const MV2Object* a, const MV2Object* b) {
    return MV2IsObjectFriendly(a) != MV2IsObjectFriendly(b);
}

int32_t TypeOf(const MV2Object* o) {
    return int32_t(o->typeWord & kMV2ObjectTypeMask);
}

// The approach step: a go-to when far, steering when near; the distance.
float Approach(MV2Object* craft, MV2Object* target, TvV3d v) {
    const float length = MV2Normalise(&v);
    if (length > 10.0f)
        PushGoTo(craft, target, 5.0f);
    else if (length > 0.5f)
        Steer(craft, v, length >= 4.0f ? 0.25f : length * 0.25f * 0.25f, 1);
    return length;
}

MV2WeaponRecord* CurrentWeapon(MV2SubData* sub) {
    for (MV2WeaponRecord* w = sub->weapons.first; w; w = w->next)
        if (w->slot == sub->weapons.currentWeaponSlot) return w;
    return nullptr;
}

bool Matches(const MV2WeaponRecord* w, uint32_t wanted, uint32_t excluded) {
    if (w->slot < 0 || w->slot >= 28) return false;
    const uint32_t flags = kSlotFlags[w->slot];
    return (flags & wanted) && !(flags & excluded) && w->ammunition != 0;
}

bool ChooseWeapon(MV2Object* craft, uint32_t wanted, uint32_t excluded) {
    MV2SubData* sub = Sub(craft);
    if (!sub) return false;
    MV2ObjectSendMessage(craft, 64, 0, 0);
    if (const MV2WeaponRecord* w = CurrentWeapon(sub); w && Matches(w, wanted, excluded))
        return true;
    for (MV2WeaponRecord* w = sub->weapons.first; w; w = w->next)
        if (Matches(w, wanted, excluded)) {
            MV2SelectWeapon(&sub->weapons, w->slot);
            MV2ObjectSendMessage(craft, 64, 0, 0);
            return true;
        }
    return false;
}

bool FiringAllowed() {
    return gMV2GameState.current != 12;
}

void FireStep(MV2Object* craft, MV2SubAICommand* frame, MV2Object* target, const TvV3d& d,
              float distance) {
    if (!FiringAllowed()) return;
    const uint32_t wanted = distance <= 12.0f ? 32u : 33u;
    const uint32_t excluded = distance < 4.0f ? 6u : 4u;
    frame->attack.lineCountdown -= MV2FrameSeconds();
    if (frame->attack.lineCountdown <= 0.0f) {
        frame->attack.lineCountdown = 0.5f;
        const TvV3d start = TvV3dAdd(Pos(craft), TvV3dScale(d, craft->radius * 1.4f));
        const TvV3d end = TvV3dSub(Pos(target), TvV3dScale(d, target->radius * 1.4f));
        TvV3d point, normal;
        float fraction;
        TpAtomic* atomic = nullptr;
        TpWorld* world = TpWorldGetCurrent();
        frame->attack.lineClear =
            !world || !MV2TraceLine(world, &start, &end, &point, &normal, &fraction, &atomic, craft);
    }
    if (frame->attack.lineClear && TvV3dDot(craft->matrix->at, d) > 0.7f &&
        ChooseWeapon(craft, wanted, excluded)) {
        TvV3d aim = d;
        MV2ObjectSendMessage(craft, 10, 2, reinterpret_cast<intptr_t>(&aim));
    } else {
        MV2ObjectSendMessage(craft, 64, 0, 0);
    }
}

struct RearSearch {
    MV2Object* craft;
    bool pursued;
};

int32_t RearAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<RearSearch*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o == s->craft || o->aiCategory != 6 || !Different(o, s->craft) || !o->body)
        return 1;
    TvV3d toCraft = TvV3dSub(Pos(s->craft), Pos(o));
    if (MV2Normalise(&toCraft) > 10.0f) return 1;
    const TvV3d velocity = o->body->velocity;
    if (MV2Length(velocity) <= 0.05f) return 1;
    const TvV3d own = s->craft->body ? MV2Unit(s->craft->body->velocity) : TvV3d{};
    if (TvV3dDot(MV2Unit(velocity), toCraft) > 0.8f && TvV3dDot(own, toCraft) > 0.8f) {
        s->pursued = true;
        return 0;
    }
    return 1;
}

void RearCheck(MV2Object* craft) {
    TpWorld* world = TpWorldGetCurrent();
    if (!FiringAllowed() || !world) return;
    RearSearch search{craft, false};
    const TvV3d centre = TvV3dSub(Pos(craft), TvV3dScale(craft->matrix->at, 10.0f));
    MV2ForAllAtomicsInSphere(world, &centre, 8.0f, RearAtomic, &search);
    if (search.pursued && ChooseWeapon(craft, 4u, 0u)) {
        MV2ObjectSendMessage(craft, 10, 0, 0);
        MV2ObjectSendMessage(craft, 64, 0, 0);
    }
}

void AttackApproach(MV2Object* craft, MV2SubAIData* data, MV2Object* target, const TvV3d& d,
                    float distance) {
    UprightAndGravity(craft);
    if (MV2Length(TvV3dSub(Pos(target), data->sightedPosition)) > 5.0f)
        data->sightedPosition = Pos(target);
    const bool submarine = target->aiCategory == 6;
    const MV2SubData* other = submarine ? Sub(target) : nullptr;
    const MV2SubData* own = Sub(craft);
    float speed = 1.0f;
    bool closeIn = !submarine;
    if (submarine) {
        const float theirs = other ? other->thrust : 0.0f;
        speed = theirs - (own ? own->thrust : 0.0f);
        closeIn = theirs < 0.001f;
    }
    if (TvV3dDot(craft->matrix->at, target->matrix->at) > 0.0f || closeIn) {
        const float r = craft->radius + target->radius;
        if (distance > r + 4.0f) speed = 1.0f;
        if (distance < r + 2.0f) speed = 0.0f;
    }
    Steer(craft, d, speed, submarine ? 0 : 1);
}

void Attack(MV2Object* craft, MV2SubAIData* data, MV2SubAICommand* frame) {
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    if (frame->attack.mode == 5) {
        if (frame->attack.site == -1 && target)
            frame->attack.site = MV2MiningFindNearestSite(&target->matrix->pos, nullptr);
        if (MV2Object* part = MV2MiningPickTargetPart(frame->attack.site))
            PushAttack(craft, part, 1);
        return;
    }
    if (!target) {
        MV2SubAICommandSetTarget(frame, nullptr);
        frame->attack.evading = 0;
        MV2SubAIPopCommand(craft);
        return;
    }
    TvV3d d = TvV3dSub(Pos(target), Pos(craft));
    const float distance = MV2Normalise(&d);
    if (distance >= 40.0f) {
        PushGoTo(craft, target, 32.0f);
        return;
    }
    const float dt = MV2FrameSeconds();
    if (frame->attack.phase == 0) {
        frame->attack.lineCountdown = 0.0f;
        if (target->aiCategory == 3) {
            frame->attack.phase = 2;
            frame->attack.briefCountdown = 0.5f;
        } else {
            frame->attack.phase = 1;
        }
    }
    if (frame->attack.phase == 2) {
        frame->attack.briefCountdown -= dt;
        if (frame->attack.briefCountdown < 0.0f) {
            MV2SubAIPopCommand(craft);
            MV2SubAICommandSetTarget(&data->frames[data->depth], nullptr);
        } else {
            FireStep(craft, frame, target, d, distance);
        }
        return;
    }
    if (!frame->attack.evading && distance < 5.0f) MV2SubAIPickEvadePoint(craft, frame);
    if (frame->attack.evading) {
        TvV3d v = TvV3dSub(frame->attack.evadePoint, Pos(craft));
        const float toPoint = MV2Length(v);
        Steer(craft, v, 1.0f, 1);
        if (distance > 17.0f || toPoint < 1.0f) frame->attack.evading = 0;
    } else {
        AttackApproach(craft, data, target, d, distance);
    }
    frame->attack.fireCheck -= dt;
    if (frame->attack.fireCheck < 0.0f) {
        RearCheck(craft);
        frame->attack.fireCheck = 2.0f;
    }
    if (distance >= 32.0f) {
        MV2ObjectSendMessage(craft, 64, 0, 0);
        return;
    }
    FireStep(craft, frame, target, d, distance);
}

struct HuntSearch {
    MV2Object* craft;
    int32_t category;
    int32_t type;
    MV2Object* found;
};

int32_t HuntAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<HuntSearch*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o == s->craft) return 1;
    if (s->category != kMV2AnyCategory && o->aiCategory != s->category) return 1;
    if (s->type != kMV2AnyType && TypeOf(o) != s->type) return 1;
    if (!Different(o, s->craft)) return 1;
    s->found = o;
    return 0;
}

// The hunt of the guard: the first enemy in range becomes an attack; true when one was found.
bool Hunt(MV2Object* craft, MV2SubAIData* data, MV2SubAICommand* frame) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return false;
    HuntSearch search{craft, frame->guard.category, frame->guard.type, nullptr};
    const TvV3d centre = Pos(craft);
    MV2ForAllAtomicsInSphere(world, &centre, frame->guard.range, HuntAtomic, &search);
    if (!search.found) return false;
    data->sightedPosition = Pos(search.found);
    PushAttack(craft, search.found, 1);
    return true;
}

void Guard(MV2Object* craft, MV2SubAIData* data, MV2SubAICommand* frame) {
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    if (target && target->energy <= 0.0f) {
        MV2SubAICommandSetTarget(frame, nullptr);
        target = nullptr;
    }
    switch (frame->guard.mode) {
    case 1: {
        if (frame->timer > 1.0f) {
            frame->timer = 0.0f;
            if (Hunt(craft, data, frame)) return;
        }
        if (MV2SubAIRouteStep(craft, data, 0)) return;
        intptr_t chosen = 0;
        MV2ObjectSendMessage(craft, 86, 0, reinterpret_cast<intptr_t>(&chosen));
        if (chosen == 1)
            if (MV2Object* next = MV2SubAICommandGetTarget(frame)) {
                const TvV3d from = Pos(craft), to = Pos(next);
                MV2RoutePlan(&data->route, &from, &to);
                MV2ObjectSendMessage(craft, 33, 1, reinterpret_cast<intptr_t>(next));
            }
        return;
    }
    case 2: {
        if (frame->timer > 10.0f && target) {
            TvV3d h;
            MV2RandomHorizontalDirection(&h);
            frame->guard.hover = {5.0f * h.x, 6.0f, 5.0f * h.z};
            frame->timer = 0.0f;
        }
        if (Hunt(craft, data, frame)) return;
        if (target) {
            const TvV3d v = TvV3dSub(TvV3dAdd(Pos(target), frame->guard.hover), Pos(craft));
            Steer(craft, v, std::min(MV2Length(v), 1.0f) * 0.5f, 0);
        }
        return;
    }
    case 3: {
        if (frame->timer > 1.0f &&
            (!target || MV2Length(TvV3dSub(Pos(target), Pos(craft))) <= 20.0f)) {
            frame->timer = 0.0f;
            if (Hunt(craft, data, frame)) return;
        }
        if (!target) return;
        if (MV2RouteIsEmpty(&data->route)) {
            TvV3d goal{};
            TpWorld* world = TpWorldGetCurrent();
            for (int32_t tries = 0; tries < 5; ++tries) {
                TvV3d h;
                MV2RandomHorizontalDirection(&h);
                const TvV3d w = MV2Unit(TvV3dAdd(MV2Unit(TvV3dSub(Pos(target), Pos(craft))),
                                                 TvV3dScale(h, 0.35f)));
                const TvV3d t = Pos(target);
                auto r = [] { return 20.0f + float(uint32_t(TvRandom()) % 5u); };
                goal.x = t.x + r() * w.x;
                goal.y = t.y + r() * w.y;
                goal.z = t.z + r() * w.z;
                const TvV3d from = Pos(craft);
                const bool above = goal.y > MV2GetWaterHeight(&goal);
                const bool blocked =
                    world && MV2IntersectWorldLine(world, &from, &goal, nullptr, nullptr);
                if (!above && !blocked) break;
            }
            const TvV3d from = Pos(craft);
            MV2RoutePlan(&data->route, &from, &goal);
        }
        if (MV2Length(TvV3dSub(data->route.end, Pos(target))) < 40.0f)
            MV2SubAIRouteStep(craft, data, 0);
        else
            MV2RouteClear(&data->route);
        return;
    }
    default: return;
    }
}

void GoTo(MV2Object* craft, MV2SubAIData* data, MV2SubAICommand* frame) {
    if (frame->goTo.bubbles) {
        TvV3d r;
        MV2RandomDirection(&r);
        const TvV3d at = TvV3dAdd(Pos(craft), TvV3dScale(r, 0.5f * MV2RandomUnit()));
        const float position[3] = {at.x, at.y, at.z};
        MV2CreateBubble(position, nullptr, 0.05f);
    }
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    if (!target) {
        MV2RouteClear(&data->route);
        MV2SubAIPopCommand(craft);
        return;
    }
    const float arrival = frame->goTo.arrival;
    const TvV3d from = Pos(craft), to = Pos(target);
    switch (frame->goTo.phase) {
    case 1:
        if (MV2RoutePlan(&data->route, &from, &to)) frame->goTo.phase = 2;
        return;
    case 2:
        if (!MV2SubAIRouteStep(craft, data, TypeOf(craft) == 51 ? 1 : 0)) {
            frame->goTo.phase = 3;
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(to, Pos(craft))) < arrival) {
            MV2RouteClear(&data->route);
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(to, data->route.end)) > arrival) {
            MV2RouteClear(&data->route);
            frame->goTo.phase = MV2RoutePlan(&data->route, &from, &to) ? 2 : 1;
        }
        return;
    case 3:
        if (!MV2RouteIsEmpty(&data->route)) frame->goTo.phase = 2;
        return;
    case 4:
    case 5: {
        TvV3d v = TvV3dSub(to, from);
        const float distance = MV2Normalise(&v);
        float speed = std::max(TvV3dDot(craft->matrix->at, v) * 0.5f, 0.05f);
        data->avoiding = 0;
        data->avoidanceCountdown = 5.0f;
        if (frame->goTo.phase == 4)
            MV2SubAISteer(craft, &v, &speed, 0);
        else
            MV2SubAISteerKinematic(craft, &v, &speed);
        if (distance < arrival) MV2SubAIPopCommand(craft);
        return;
    }
    default: return;
    }
}

// The tool the fetch and deliver commands drive.
int32_t ToolCommand(MV2Object* craft, int32_t kind, int32_t command, intptr_t a, intptr_t b) {
    return int32_t(MV2SendToolCommand(craft, kind, command, a, reinterpret_cast<void*>(b)));
}

void Fetch(MV2Object* craft, MV2SubAIData*, MV2SubAICommand* frame) {
    intptr_t hold = 0; // the suck-up answers in a whole word
    ToolCommand(craft, 5, 37, 0, reinterpret_cast<intptr_t>(&hold));
    if (hold >= 40) frame->fetch.phase = 2;
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    switch (frame->fetch.phase) {
    case 0:
        if (!target) {
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(Pos(target), Pos(craft))) > 25.0f) {
            PushGoTo(craft, target, 5.0f);
            return;
        }
        // Nothing to collect is known here without the suck-up tool: the hold decides.
        if (hold == 0)
            MV2SubAIOrderCityRoute(craft, 1);
        else
            frame->fetch.phase = 2;
        return;
    case 1: {
        if (!target) {
            MV2SubAIPopCommand(craft);
            return;
        }
        const TvV3d velocity = target->body ? target->body->velocity : TvV3d{};
        TvV3d lead = TvV3dScale(velocity, MV2FrameStep() * 30.0f);
        lead.y = std::min(lead.y, 0.0f);
        const TvV3d goal = TvV3dAdd(TvV3dAdd(Pos(target), lead), TvV3d{0.0f, 1.0f, 0.0f});
        const float distance = Approach(craft, target, TvV3dSub(goal, Pos(craft)));
        const int32_t on = ToolCommand(craft, 5, 13, 0, 0);
        const bool inRange = distance < 4.0f;
        if ((!on && inRange) || (on && !inRange)) ToolCommand(craft, 5, 53, 0, 0);
        return;
    }
    case 2: {
        MV2Object* drone = MV2GetObjectRef(&frame->fetch.drone);
        if (!drone) {
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(Pos(drone), Pos(craft))) > 15.0f) {
            PushGoTo(craft, drone, 10.0f);
            return;
        }
        const TvV3d goal = TvV3dAdd(Pos(drone), TvV3d{0.0f, 2.5f, 0.0f});
        Approach(craft, drone, TvV3dSub(goal, Pos(craft)));
        return;
    }
    case 3:
        frame->fetch.wait -= MV2FrameSeconds();
        if (frame->fetch.wait < 0.0f) frame->fetch.phase = 0;
        return;
    case 4: {
        if (!target) {
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(Pos(target), Pos(craft))) > 15.0f) {
            PushGoTo(craft, target, 10.0f);
            return;
        }
        TvV3d v = TvV3dSub(frame->fetch.approach, Pos(craft));
        if (MV2Length(v) >= 1.0f) {
            Steer(craft, v, 0.1f, 1);
            return;
        }
        const TvV3d toTarget = MV2Unit(TvV3dSub(Pos(target), Pos(craft)));
        if (TvV3dDot(craft->matrix->at, toTarget) >= 0.7f) {
            PushAttack(craft, target, 1);
        } else {
            MV2SubSteerTowards(craft, &toTarget);
            MV2SubAILevelOff(craft);
        }
        return;
    }
    default: return;
    }
}

// A horizontal offset whose sphere at the cargo touches no facing wall, in at most 16 tries;
// the last offset drawn is kept.
void SeekClearOffset(MV2Object* cargo, MV2SubAICommand* frame) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    MV2TriangleHit hits[9];
    for (int32_t tries = 0; tries < 16; ++tries) {
        const TvV3d centre = TvV3dAdd(Pos(cargo), frame->deliver.offset);
        if (MV2GetFacingTrianglesInSphere(world, &centre, 0.8f, 9, hits) == 0) return;
        MV2RandomHorizontalDirection(&frame->deliver.offset);
    }
}

void Deliver(MV2Object* craft, MV2SubAICommand* frame) {
    MV2Object* cargo = MV2SubAICommandGetTarget(frame);
    if (!cargo) {
        MV2SubAIPopCommand(craft);
        return;
    }
    const float dt = MV2FrameSeconds();
    switch (frame->deliver.phase) {
    case 0:
        if (MV2Length(TvV3dSub(Pos(cargo), Pos(craft))) > 10.0f) {
            PushGoTo(craft, cargo, 5.0f);
            return;
        }
        frame->deliver.phase = 1;
        frame->deliver.countdown = 0.0f;
        frame->deliver.offset = {1.0f, 0.0f, 0.0f};
        SeekClearOffset(cargo, frame);
        return;
    case 1: {
        intptr_t held = 0;
        ToolCommand(craft, 0, 34, 0, reinterpret_cast<intptr_t>(&held));
        if (reinterpret_cast<MV2Object*>(held) == cargo) {
            frame->deliver.phase = 2;
            return;
        }
        MV2ToolGauge gauge{};
        ToolCommand(craft, 0, 59, 0, reinterpret_cast<intptr_t>(&gauge));
        const bool active = gauge.on != 0;
        TvV3d v = TvV3dSub(TvV3dAdd(Pos(cargo), frame->deliver.offset), Pos(craft));
        frame->deliver.countdown -= dt;
        if (frame->deliver.countdown >= 0.0f) {
            Approach(craft, cargo, v);
            return;
        }
        if (active) {
            ToolCommand(craft, 0, 53, 0, 0);
            frame->deliver.countdown = 2.0f;
            SeekClearOffset(cargo, frame);
            return;
        }
        const float length = MV2Length(v);
        if (length >= 2.5f) {
            Approach(craft, cargo, v);
            return;
        }
        const TvV3d pull = TvV3dScale(v, length * 0.05f);
        if (craft->body) MV2AddForce(craft, &pull);
        MV2SubAILevelOff(craft);
        TvV3d toCargo = TvV3dSub(Pos(cargo), Pos(craft));
        toCargo.y = 0.0f;
        toCargo = MV2Unit(toCargo);
        MV2SubSteerTowards(craft, &toCargo);
        const TvV3d forward = MV2Unit(TvV3d{craft->matrix->at.x, 0.0f, craft->matrix->at.z});
        if (TvV3dDot(forward, toCargo) > 0.95f && length < 1.0f) {
            ToolCommand(craft, 0, 53, 0, 0);
            frame->deliver.countdown = 4.0f;
        }
        return;
    }
    case 2: {
        MV2Object* destination = MV2GetObjectRef(&frame->deliver.destination);
        if (!destination) {
            MV2SubAIPopCommand(craft);
            return;
        }
        if (MV2Length(TvV3dSub(Pos(destination), Pos(craft))) > 5.0f) {
            PushGoTo(craft, destination, 5.0f);
            return;
        }
        TvV3d apart = TvV3dSub(Pos(cargo), Pos(destination));
        apart.y = 0.0f;
        if (MV2Length(apart) < 2.0f) {
            ToolCommand(craft, 0, 53, 0, 0);
            MV2SubAIPopCommand(craft);
            return;
        }
        const TvV3d goal = TvV3dAdd(Pos(destination), TvV3d{0.0f, 2.5f, 0.0f});
        Approach(craft, destination, TvV3dSub(goal, Pos(craft)));
        return;
    }
    default: return;
    }
}

void DieRun(MV2Object* craft, MV2SubAICommand* frame) {
    Send(craft, 5, 0, 1.0f);
    MV2ApplyGravity(craft);
    MV2ApplyGravity(craft);
    const TvMatrix* m = craft->matrix;
    TvV3d torque, point;
    TvV3dTransformVectors(&torque, &frame->die.torque, 1, m);
    TvV3dTransformPoints(&point, &frame->die.point, 1, m);
    if (craft->body) MV2AddTorque(craft, &torque, &point);
    if (float(MV2RandomBits(255)) < MV2FrameSeconds() * 255.0f) {
        TvV3d r;
        MV2RandomDirection(&r);
        const TvV3d at = TvV3dAdd(m->pos, TvV3dScale(r, craft->radius));
        const float position[3] = {at.x, at.y, at.z};
        MV2CreateExplosion(position, 1.0f, 0.0f, nullptr, 4, 30);
    }
}

void FollowActor(MV2Object* craft, MV2SubAICommand* frame) {
    MV2Object* actor = MV2SubAICommandGetTarget(frame);
    if (!actor) {
        MV2SubAIPopCommand(craft);
        return;
    }
    const TvV3d v = TvV3dSub(Pos(actor), Pos(craft));
    const bool near = MV2Length(v) < frame->follow.lag;
    // The actor's path runs only while the craft keeps up; at its end the craft is done once near.
    if (MV2CutSceneActorTime(actor) < uint32_t(frame->follow.endIndex)) {
        MV2ObjectSendMessage(actor, 12, near ? 1 : 0, 0);
        if (near) MV2ObjectSendMessage(actor, 2, 0, 0);
    } else if (near) {
        MV2SubAIPopCommand(craft);
        return;
    } else {
        MV2ObjectSendMessage(actor, 12, 0, 0);
    }
    Steer(craft, v, 0.5f, 0);
}

} // namespace

void MV2SubAIPickEvadePoint(MV2Object* craft, MV2SubAICommand* frame) {
    MV2Object* target = MV2SubAICommandGetTarget(frame);
    if (!target || frame->attack.evading) return;
    const TvV3d h = MV2Unit(TvV3d{Pos(target).x - Pos(craft).x, 0.0f,
                                  Pos(target).z - Pos(craft).z});
    const TvV3d p{h.z, 0.0f, -h.x};
    const float u1 = MV2RandomUnit(), u2 = MV2RandomUnit();
    const TvV3d point = TvV3dAdd(TvV3dAdd(Pos(target), TvV3dScale(h, 10.0f * u1)),
                                 TvV3dScale(p, (u2 - 0.5f) * 16.0f));
    TpWorld* world = TpWorldGetCurrent();
    const TvV3d from = Pos(craft);
    if (!world || !MV2IntersectWorldLine(world, &from, &point, nullptr, nullptr)) {
        frame->attack.evadePoint = point;
        frame->attack.evading = 1;
    }
}

int32_t MV2SubAIRunCommand(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return 1;
    MV2SubAICommand* frame = &data->frames[data->depth];
    frame->timer += MV2FrameSeconds();
    switch (frame->code) {
    case kMV2SubAIAttack: Attack(craft, data, frame); break;
    case kMV2SubAIGuard: Guard(craft, data, frame); break;
    case kMV2SubAIFetch: Fetch(craft, data, frame); break;
    case kMV2SubAIGoTo: GoTo(craft, data, frame); break;
    case kMV2SubAICityRoute:
        // The city's route records are not resolved here: the command ends.
        if (!frame->city.route) MV2SubAIPopCommand(craft);
        break;
    case kMV2SubAIFullAhead: Send(craft, 5, 0, 1.0f); break;
    case kMV2SubAILevelOffCode: MV2SubAILevelOff(craft); break;
    case kMV2SubAIDie: DieRun(craft, frame); break;
    case kMV2SubAIDeliver: Deliver(craft, frame); break;
    case kMV2SubAISink:
        MV2ApplyGravity(craft);
        MV2ApplyGravity(craft);
        break;
    case kMV2SubAIFollowActor: FollowActor(craft, frame); break;
    default: break;
    }
    return 1;
}

intptr_t MV2CruiserHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 12: g_cruiserSwitch = p1 != 0; break;
    case 2: {
        const int32_t sound = MV2FindSoundByName("CRUISER");
        if (g_cruiserSwitch) {
            MV2RotateMatrixInPlace(object->matrix, &object->matrix->up,
                                   MV2FrameStep() * 17.142857f, 1);
            if (sound >= 0)
                MV2StartObjectSound(object, sound, reinterpret_cast<uintptr_t*>(&object->words[0]), 0, 5000);
        } else if (object->words[0] && sound >= 0) {
            MV2StopObjectSound(object, sound, reinterpret_cast<uintptr_t*>(&object->words[0]));
        }
        if (object->clump) TvFrameUpdateObjects(object->clump->frame);
        break;
    }
    case 4: {
        const int32_t sound = MV2FindSoundByName("CRUISER");
        if (sound >= 0) MV2StopObjectSound(object, sound, reinterpret_cast<uintptr_t*>(&object->words[0]));
        break;
    }
    case 3:
        g_cruiserSwitch = 0;
        object->words[0] = 0;
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2ResetCruiser() {
    g_cruiserSwitch = 0;
}
