// Mission timers: one list of one-shot timers that call a script, show a mission message or
// set a flag word, the mission countdown and the periodic mission message.
#pragma once

#include <cstdint>

enum MV2MissionTimerKind : uint32_t {
    kMV2TimerScript = 0,
    kMV2TimerMessage = 1,
    kMV2TimerFlag = 2,
};

struct MV2MissionTimer {
    MV2MissionTimer* next;
    MV2MissionTimer* prev;
    int32_t row;      // kind 0; 0 for kinds 1 and 2
    uint32_t serial;  // the timer serial when queued
    int32_t reserved; // always -1
    int32_t msLeft;
    uint32_t kind;
    int32_t event; // kind 0: script message; kind 1: text id
    uint32_t* flag; // kind 2
    int32_t dead;   // killed during a pass; reclaimed at its end
};

// A one-shot hint of a script: {message id, spare, shown, done}.
struct MV2MissionMessageRecord {
    uint32_t messageId;
    uint32_t spare;
    uint32_t shown;
    uint32_t done;
};

void MV2CreateMissionTimers();
void MV2DestroyMissionTimers();
// Destroy then create: the game-mode switch's rebuild when play starts.
void MV2RecreateMissionTimers();
int32_t MV2MissionTimersReady();

int32_t MV2MissionSetTimer(int32_t row, int32_t event, int32_t ms);
void MV2MissionSetFlagTimer(uint32_t* flag, int32_t ms);
int32_t MV2MissionQueueMessage(int32_t row, uint32_t messageId, int32_t ms);
void MV2MissionInitMessageRecord(MV2MissionMessageRecord* record, uint32_t messageId);
uint32_t MV2MissionShowMessageRecord(MV2MissionMessageRecord* record);
void MV2MissionKillTimer(int32_t row, int32_t event);
void MV2MissionKillTimers(int32_t row);
void MV2MissionPurgeTimers(int32_t row);
int32_t MV2MissionMessagesDone();
void MV2MissionSetCountdown(int32_t row, int32_t ms);
// The countdown's milliseconds left while one runs, else null.
int32_t* MV2GetMissionCountdown();
void MV2MissionSetPeriodicMessage(int32_t messageId, int32_t periodSeconds);
// The per-frame pass over the frame's game milliseconds.
void MV2MissionUpdateTimers();
void MV2MissionUpdateTimers(int32_t dt);
// Raises the stop flag: a pass in progress returns after the current callback.
void MV2MissionStopTimerPass();
// Countdown and periodic message off, purge request cleared, serial 0.
void MV2ResetMissionTimerState();
// Counts of the queued timers (dead ones excluded), for the console and tests.
int32_t MV2CountMissionTimers(int32_t row, int32_t event);
