// Death sites and the eaters that scavenge them.
#include "shell/gamemain.h"
#include "game/objects/camera.h"
#include "game/creatures/deathsites.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/ambient.h"
#include "game/creatures/pathnodes.h"
#include "game/objects/camera.h"
#include "game/objects/world.h"
#include "shell/gameinit.h"

namespace {

constexpr int32_t kEaterType = 68;

// Circular lists with heads; a record is on exactly one of its pool's two lists.
template <typename T, int32_t N>
struct Pool {
    T records[N];
    T active;
    T free;
};

Pool<MV2DeathSite, kMV2DeathSites> g_sites;
Pool<MV2EaterSlot, kMV2EaterSlots> g_eaters;
int32_t g_nextSweep = 0;
int32_t g_nextEater = 0;

template <typename T>
void Unlink(T* r) {
    r->prev->next = r->next;
    r->next->prev = r->prev;
}

template <typename T>
void LinkLast(T* head, T* r) {
    r->prev = head->prev;
    r->next = head;
    head->prev->next = r;
    head->prev = r;
}

template <typename T, int32_t N>
void Reset(Pool<T, N>& pool) {
    pool.active.next = pool.active.prev = &pool.active;
    pool.free.next = pool.free.prev = &pool.free;
    for (T& r : pool.records)
        LinkLast(&pool.free, &r);
}

int32_t Now() {
    return int32_t(MV2GameClock());
}

float SquaredDistance(const TvV3d& a, const TvV3d& b) {
    const TvV3d d = TvV3dSub(a, b);
    return TvV3dDot(d, d);
}

MV2DeathSite* TakeSite() {
    if (g_sites.free.next != &g_sites.free) {
        MV2DeathSite* site = g_sites.free.next;
        Unlink(site);
        LinkLast(&g_sites.active, site);
        return site;
    }
    // The active site that expires first (the first of equal ones).
    MV2DeathSite* soonest = nullptr;
    for (MV2DeathSite* s = g_sites.active.next; s != &g_sites.active; s = s->next)
        if (!soonest || s->expiry < soonest->expiry) soonest = s;
    return soonest;
}

bool BeyondFarClip(MV2Object* eater) {
    return eater->matrix && MV2BeyondFarClip(eater->matrix->pos);
}

// The slot of the eater to place: a free or dead one (to spawn into) or one out of view (to
// move); null when every eater lives within the far clip.
MV2EaterSlot* ChooseEater(bool* spawn) {
    if (g_eaters.free.next != &g_eaters.free) {
        MV2EaterSlot* slot = g_eaters.free.next;
        Unlink(slot);
        LinkLast(&g_eaters.active, slot);
        *spawn = true;
        return slot;
    }
    for (MV2EaterSlot* s = g_eaters.active.next; s != &g_eaters.active; s = s->next) {
        MV2Object* eater = MV2GetObjectRef(&s->eater);
        if (!eater) {
            *spawn = true;
            return s;
        }
        if (BeyondFarClip(eater)) {
            *spawn = false;
            return s;
        }
    }
    return nullptr;
}

void ManageEaters(const TvV3d& position) {
    const int32_t now = Now();
    bool spawn = false;
    MV2EaterSlot* slot = ChooseEater(&spawn);
    if (!slot) {
        g_nextEater = now + 5000;
        return;
    }
    TvV3d at = position;
    MV2SnapToHiddenPathNode(&at);
    MV2Object* eater = nullptr;
    if (spawn) {
        const float p[3] = {at.x, at.y, at.z};
        eater = MV2CreateObject(kEaterType, p, nullptr);
        if (eater) {
            MV2ObjectSendMessage(eater, 0, 1, 0);
            MV2ObjectHandle handle = 0;
            MV2ObjectSendMessage(eater, 17, 0, reinterpret_cast<intptr_t>(&handle));
            slot->eater = {eater, handle};
        } else {
            MV2ClearObjectRef(&slot->eater);
        }
    } else {
        eater = MV2GetObjectRef(&slot->eater);
        if (eater) MV2ObjectSendMessage(eater, 83, 0, reinterpret_cast<intptr_t>(&at));
    }
    if (!eater) {
        g_nextEater = now + 5000;
    } else if (eater->matrix && !MV2IsOutsideAmbientArea(&eater->matrix->pos)) {
        g_nextEater = now + 20000;
    } else {
        MV2ObjectSendMessage(eater, 4, 1, 0);
        MV2ClearObjectRef(&slot->eater);
        g_nextEater = now + 5000;
    }
}

} // namespace

int32_t MV2InitialiseDeathSites() {
    Reset(g_sites);
    Reset(g_eaters);
    for (MV2EaterSlot& slot : g_eaters.records)
        slot.eater = {};
    g_nextSweep = 0;
    g_nextEater = 0;
    return 1;
}

void MV2PostDeathSite(const TvV3d* position) {
    if (g_sites.active.next == nullptr) MV2InitialiseDeathSites();
    MV2DeathSite* site = TakeSite();
    if (!site) return;
    site->expiry = Now() + 10000;
    site->position = *position;
    const bool worldZero = MV2GetCurrentLevelId() < 0x1000000u;
    if (worldZero && !MV2IsOutsideAmbientArea(position) && Now() - g_nextEater >= 0)
        ManageEaters(*position);
}

const TvV3d* MV2FindNearestDeathSite(const TvV3d* position, float maxSquaredDistance) {
    if (g_sites.active.next == nullptr) return nullptr;
    const MV2DeathSite* best = nullptr;
    float bestDistance = 9999999.0f;
    for (const MV2DeathSite* s = g_sites.active.next; s != &g_sites.active; s = s->next) {
        const float d = SquaredDistance(s->position, *position);
        if (d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best && bestDistance < maxSquaredDistance ? &best->position : nullptr;
}

void MV2ExpireDeathSites() {
    if (g_sites.active.next == nullptr) return;
    const int32_t now = Now();
    if (now - g_nextSweep < 0) return;
    g_nextSweep = now + 2000;
    for (MV2DeathSite* s = g_sites.active.next; s != &g_sites.active;) {
        MV2DeathSite* next = s->next;
        if (s->expiry - now < 0) {
            Unlink(s);
            LinkLast(&g_sites.free, s);
        }
        s = next;
    }
}
