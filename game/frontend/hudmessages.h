// HUD messages: a ring of 16 queued texts shown one after the other with their speech and a
// talking face, the subtitle box, the message history and the subtitles setting.
#pragma once

#include <cstdint>

#include "shell/resfile.h"

inline constexpr int32_t kMV2HudMessageSlots = 16;
inline constexpr uint32_t kMV2MessageFree = 0, kMV2MessageQueued = 1, kMV2MessageShowing = 2,
                          kMV2MessageFinished = 3;

struct MV2HudMessage {
    uint32_t state;
    uint32_t start; // timeGetTime ms; 0 not started
    uint32_t displayTime;
    MV2TextDescriptor text;
    uint32_t speechStarted;
};

struct MV2HudMessageRing {
    MV2HudMessage slots[kMV2HudMessageSlots];
    int32_t write, read;
    int32_t initialised;
};
extern MV2HudMessageRing gMV2HudMessages;

// The face table: by speaker number, a frame count and four sprites.
struct MV2FaceRow {
    int32_t frames;
    int32_t sprites[4];
};
inline constexpr int32_t kMV2FaceRows = 24;
extern const MV2FaceRow kMV2FaceTable[kMV2FaceRows];

// A text box element: position and size, flags (bit 1: anchored at the bottom), ARGB colour.
struct MV2HudTextBox {
    int32_t x, y, width, height;
    uint32_t flags;
    uint32_t colour;
};

// Where a finished message is told to the listening scripts (script event 19 and its text id).
extern void (*gMV2HudMessageNotify)(int32_t event, intptr_t parameter);
inline constexpr int32_t kMV2ScriptEventMessageDone = 19;

void MV2ResetHudMessages();
void MV2ClearHudMessages();
uint32_t MV2AddHudMessage(uint32_t textId);
uint32_t MV2GetHudMessageDuration(const MV2TextDescriptor* text);
uint32_t MV2HudMessagesFinished();
void MV2UpdateHudMessages();
void MV2DrawHudMessageText(const MV2HudTextBox* box);
void MV2DrawTalkingFace(int32_t x, int32_t y, uint8_t alpha);
void MV2DrawHudMessageHistory();
// The subtitle box and face at the built-in positions for a screen width.
void MV2DrawBuiltInSubtitle(int32_t screenWidth);
void MV2SetSubtitles(int32_t value);
int32_t MV2GetSubtitles();
// The two flags of the subtitles setting: shown (what movies read) and briefing subtitles.
int32_t MV2SubtitlesShown();
int32_t MV2BriefingSubtitles();

// The game clock in milliseconds: the frame timer's clock.
uint32_t MV2GetGameTime();
