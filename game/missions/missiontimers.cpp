#include "game/missions/missiontimers.h"

#include "engine/core/memory.h"
#include "game/missions/missionflow.h"
#include "game/objects/world.h"
#include "platform/win32/win32.h"
#include "shell/errors.h"
#include "shell/frametimer.h"

namespace {

constexpr int32_t kBlocksPerChunk = 10;

struct TimerState {
    MV2MissionTimer head; // circular list with a fixed head
    TvFreeList* freeList;
    uint32_t serial;
    int32_t countdownRow;
    int32_t countdownLeft;
    int32_t periodicId; // -1 off
    int32_t periodicPeriod;
    int32_t periodicLeft;
    int32_t purgeRequested;
    int32_t purgeRow;
    int32_t stop;
    int32_t inPass;
    int32_t deadCount;
    uint32_t generation; // changes whenever the list is replaced
};
TimerState g_timers = {{&g_timers.head, &g_timers.head, 0, 0, -1, 0, 0, 0, nullptr, 0},
                       nullptr, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0};

void EmptyList() {
    g_timers.head.next = g_timers.head.prev = &g_timers.head;
    g_timers.deadCount = 0;
    ++g_timers.generation;
}

void Unlink(MV2MissionTimer* t) {
    t->prev->next = t->next;
    t->next->prev = t->prev;
    t->next = t->prev = t;
}

void Release(MV2MissionTimer* t) {
    if (g_timers.freeList) TvFreeListFree(g_timers.freeList, t);
}

MV2MissionTimer* Queue(uint32_t kind, int32_t row, int32_t event, uint32_t* flag, int32_t ms) {
    if (!g_timers.freeList) {
        OutputDebugStringA("Mission timers are not set up\n");
        return nullptr;
    }
    auto* t = static_cast<MV2MissionTimer*>(TvFreeListAlloc(g_timers.freeList));
    if (!t) {
        MV2ErrorBox("Couldn't allocate memory for timer.");
        return nullptr;
    }
    t->prev = &g_timers.head;
    t->next = g_timers.head.next;
    g_timers.head.next->prev = t;
    g_timers.head.next = t;
    t->kind = kind;
    t->serial = ++g_timers.serial;
    t->reserved = -1;
    t->row = row;
    t->event = event;
    t->flag = flag;
    t->msLeft = ms;
    t->dead = 0;
    return t;
}

// Deletes the kind-0 timers of a row (and event, when `anyEvent` is false). During a pass the
// records are only marked: the walk skips them and reclaims them at its end.
void Kill(int32_t row, int32_t event, bool anyEvent) {
    if (!g_timers.freeList) return;
    MV2MissionTimer* t = g_timers.head.next;
    while (t != &g_timers.head) {
        MV2MissionTimer* next = t->next;
        if (!t->dead && t->kind == kMV2TimerScript && t->row == row && (anyEvent || t->event == event)) {
            if (g_timers.inPass) {
                t->dead = 1;
                ++g_timers.deadCount;
            } else {
                Unlink(t);
                Release(t);
            }
        }
        t = next;
    }
}

void ReclaimDead() {
    if (!g_timers.deadCount) return;
    MV2MissionTimer* t = g_timers.head.next;
    while (t != &g_timers.head) {
        MV2MissionTimer* next = t->next;
        if (t->dead) {
            Unlink(t);
            Release(t);
        }
        t = next;
    }
    g_timers.deadCount = 0;
}

} // namespace

void MV2CreateMissionTimers() {
    EmptyList();
    if (!g_timers.freeList)
        g_timers.freeList = TvFreeListCreate(sizeof(MV2MissionTimer), kBlocksPerChunk);
    g_timers.serial = 0;
}

void MV2DestroyMissionTimers() {
    if (g_timers.freeList) TvFreeListDestroy(g_timers.freeList);
    g_timers.freeList = nullptr;
    EmptyList();
}

void MV2RecreateMissionTimers() {
    MV2DestroyMissionTimers();
    MV2CreateMissionTimers();
}

int32_t MV2MissionTimersReady() {
    return g_timers.freeList ? 1 : 0;
}

void MV2ResetMissionTimerState() {
    g_timers.serial = 0;
    g_timers.countdownRow = 0;
    g_timers.countdownLeft = 0;
    g_timers.periodicId = -1;
    g_timers.periodicPeriod = 0;
    g_timers.periodicLeft = 0;
    g_timers.purgeRequested = 0;
    g_timers.purgeRow = 0;
}

int32_t MV2MissionSetTimer(int32_t row, int32_t event, int32_t ms) {
    Queue(kMV2TimerScript, row, event, nullptr, ms);
    return row;
}

void MV2MissionSetFlagTimer(uint32_t* flag, int32_t ms) {
    Queue(kMV2TimerFlag, 0, 0, flag, ms);
}

int32_t MV2MissionQueueMessage(int32_t, uint32_t messageId, int32_t ms) {
    if (!Queue(kMV2TimerMessage, 0, int32_t(messageId), nullptr, ms)) return ms + 10000;
    MV2ReportMissionOutcome(kMV2OutcomeMessageQueued, intptr_t(messageId));
    return ms + int32_t(MV2MissionMessageDuration(messageId));
}

void MV2MissionInitMessageRecord(MV2MissionMessageRecord* record, uint32_t messageId) {
    *record = {messageId, 0, 0, 0};
}

uint32_t MV2MissionShowMessageRecord(MV2MissionMessageRecord* record) {
    const uint32_t d = MV2PlayMissionMessage(record->messageId);
    record->shown = 1;
    MV2MissionTimer* t = Queue(kMV2TimerFlag, 0, 0, &record->done, int32_t(d));
    return t ? t->serial : 0;
}

void MV2MissionKillTimer(int32_t row, int32_t event) {
    Kill(row, event, false);
}

void MV2MissionKillTimers(int32_t row) {
    Kill(row, 0, true);
}

void MV2MissionPurgeTimers(int32_t row) {
    g_timers.purgeRow = row;
    g_timers.purgeRequested = 1;
}

int32_t MV2MissionMessagesDone() {
    for (MV2MissionTimer* t = g_timers.head.next; t != &g_timers.head; t = t->next)
        if (!t->dead && t->kind == kMV2TimerMessage) return 0;
    return 1;
}

int32_t MV2CountMissionTimers(int32_t row, int32_t event) {
    int32_t n = 0;
    for (MV2MissionTimer* t = g_timers.head.next; t != &g_timers.head; t = t->next)
        if (!t->dead && t->kind == kMV2TimerScript && t->row == row && t->event == event) ++n;
    return n;
}

void MV2MissionSetCountdown(int32_t row, int32_t ms) {
    g_timers.countdownRow = row;
    g_timers.countdownLeft = ms;
}

int32_t* MV2GetMissionCountdown() {
    return g_timers.countdownRow > 0 ? &g_timers.countdownLeft : nullptr;
}

void MV2MissionSetPeriodicMessage(int32_t messageId, int32_t periodSeconds) {
    g_timers.periodicId = messageId;
    g_timers.periodicPeriod = periodSeconds * 1000;
    g_timers.periodicLeft = g_timers.periodicPeriod;
}

void MV2MissionStopTimerPass() {
    g_timers.stop = 1;
}

void MV2MissionUpdateTimers() {
    MV2MissionUpdateTimers(int32_t(MV2GetFrameMilliseconds()));
}

void MV2MissionUpdateTimers(int32_t dt) {
    TimerState& s = g_timers;
    if (s.purgeRequested) Kill(s.purgeRow, 0, true);
    s.purgeRequested = 0;
    s.stop = 0;
    const uint32_t generation = s.generation;
    s.inPass = 1;
    MV2MissionTimer* t = s.head.next;
    while (t != &s.head) {
        MV2MissionTimer* next = t->next;
        if (t->dead) {
            t = next;
            continue;
        }
        t->msLeft -= dt;
        if (t->msLeft >= 1) {
            t = next;
            continue;
        }
        // The record leaves the list before its action runs, so a callback that kills timers
        // (its own included) or queues new ones never meets it again.
        Unlink(t);
        switch (t->kind) {
        case kMV2TimerScript: {
            const int32_t row = t->row, event = t->event;
            Release(t);
            if (row) MV2CallMissionScript(row, nullptr, event, 0, 0);
            if (s.stop || s.generation != generation) {
                // The layer was reset: the list in hand is gone.
                s.inPass = 0;
                return;
            }
            break;
        }
        case kMV2TimerMessage: {
            const uint32_t id = uint32_t(t->event);
            Release(t);
            MV2PlayMissionMessage(id);
            if (s.stop || s.generation != generation) {
                s.inPass = 0;
                return;
            }
            break;
        }
        default:
            if (t->flag) *t->flag = 1;
            Release(t);
            break;
        }
        // A callback may have killed the successor taken above; it is still linked (only
        // marked), so the walk goes on from it.
        t = next;
    }
    s.inPass = 0;
    ReclaimDead();
    if (s.countdownRow) {
        if (s.countdownLeft <= dt) {
            const int32_t row = s.countdownRow;
            s.countdownRow = 0;
            MV2CallMissionScript(row, nullptr, kMV2ScriptCountdownOver, 0, 0);
        } else {
            s.countdownLeft -= dt;
        }
    }
    if (s.purgeRequested) {
        Kill(s.purgeRow, 0, true);
        s.purgeRequested = 0;
    }
    if (s.periodicId < 0) return;
    s.periodicLeft -= dt;
    if (s.periodicLeft <= 0) {
        MV2PlayMissionMessage(uint32_t(s.periodicId));
        s.periodicLeft += s.periodicPeriod;
    }
}
