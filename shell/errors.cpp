#include "shell/errors.h"

#include "engine/core/camera.h"
#include "engine/core/file_interface.h"
#include "engine/core/im2d.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/movies.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/savegame.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "shell/voices.h"
#include "shell/window.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

const MV2MessageSlot kMV2MessageSlotTable[kMV2MessageSlots] = {
    {-1, 0, 0, 0, 0},  {1185, 0, 4, 1, 1}, {1391, 0, 1, 1, 1}, {1387, 0, 9, 1, 1},
    {599, 0, 0, 1, 1}, {601, 0, 0, 1, 0},  {596, 2, 8, 1, 1},  {905, 2, 6, 1, 1},
    {652, 2, 4, 1, 1}, {920, 2, 5, 1, 1},  {654, 2, 8, 1, 1},  {583, 2, 1, 1, 1},
    {595, 2, 5, 1, 0}, {-2, 0, 4, 1, 1},   {592, 3, 0, 1, 1},  {593, 3, 0, 1, 1},
    {904, 3, 0, 1, 1}, {582, 4, 0, 1, 1},  {957, 3, 0, 1, 1},  {958, 0, 1, 1, 1},
    {979, 0, 1, 1, 1}, {991, 0, 1, 1, 1},  {990, 0, 1, 1, 1},  {959, 0, 1, 1, 1},
    {991, 0, 1, 1, 1}, {-3, 1, 1, 1, 1},
};

namespace {

constexpr MV2ChoiceSet kChoiceSets[kMV2ChoiceSets] = {
    {0, -1, -1, 0, 0},    {1, 602, -1, 1, 1},   {2, 602, 603, 2, 2}, {2, 602, 603, 1, 1},
    {1, 907, -1, 1, 1},   {2, 907, 603, 1, 1},  {2, 907, 603, 2, 2}, {1, 603, -1, 1, 1},
    {2, 900, 903, 1, 1},  {2, 900, 903, 2, 2},
};

constexpr int32_t kActionConfirm = 14;
constexpr int32_t kActionCursor0 = 28;
constexpr int32_t kActionCursor1 = 29;
constexpr int32_t kActionLeft = 34;
constexpr int32_t kActionRight = 35;
constexpr int32_t kGapWidth = 5;

void* (*g_savedOpen)(const char* name, const char* mode) = nullptr;

void* RecordingOpen(const char* name, const char* access) {
    MV2NoteFileName(name);
    return g_savedOpen ? g_savedOpen(name, access) : nullptr;
}

MV2ChoiceSet& CurrentSet() {
    int32_t set = gMV2Messages.choiceSet;
    if (set < 0 || set >= kMV2ChoiceSets) set = 0;
    return gMV2Messages.sets[set];
}

void PauseForMessage(int32_t slot) {
    MV2MessageScreen& m = gMV2Messages;
    if (gMV2Paused || m.showing) return;
    MV2RequestSoundPause(1);
    MV2PauseSpeech();
    m.pausedSpeech = 1;
    if (kMV2MessageSlotTable[slot].pause) {
        MV2PauseMusic();
        m.pausedMusic = 1;
    }
    gMV2Paused = 1;
    m.pausedGame = 1;
}

void MakeCurrent(int32_t slot) {
    MV2MessageScreen& m = gMV2Messages;
    m.current = slot;
    m.textId = kMV2MessageSlotTable[slot].textId;
    m.choiceSet = kMV2MessageSlotTable[slot].choiceSet;
}

void TurnOn(int32_t slot, int32_t pause) {
    MV2MessageScreen& m = gMV2Messages;
    if (m.on[slot]) return;
    if (slot > m.current || !m.showing) MakeCurrent(slot);
    m.on[slot] = 1;
    m.pauseFlag[slot] = pause;
    MV2ChoiceSet& set = m.sets[kMV2MessageSlotTable[slot].choiceSet];
    set.current = set.initial;
    PauseForMessage(slot);
    m.shownText = 0;
    if (kMV2MessageSlotTable[slot].reset) MV2ResetControlsSoon();
    m.showing = 1;
    m.redraw = 1;
}

// The fatal warning's own loop: it runs until the message is dismissed or the program is
// asked to quit.
void FatalWarningLoop() {
    MV2MessageScreen& m = gMV2Messages;
    while (m.showing && m.current == kMV2FatalSlot) {
        if (gMV2Window.quitSeen) {
            MV2CloseMessage();
            break;
        }
        bool drawing = gMV2MainCamera && TvCameraBeginUpdate(gMV2MainCamera);
        if (drawing) {
            TvRenderStateSet(16, 1);
            TvRenderStateSet(10, 1);
        }
        MV2PumpMessages();
        MV2ProcessControls(3);
        MV2UpdateMessage();
        if (drawing) {
            MV2DrawMessage();
            TvCameraEndUpdate(gMV2MainCamera);
            TvRasterShowRaster(TvCameraGetRaster(gMV2MainCamera), MV2GetWindow(), 0);
        } else {
            Sleep(1);
        }
    }
}

// The glyph width of a character of the small font; 5 when it is not in the table.
int32_t GlyphWidth(unsigned char c) {
    int32_t i = c ? MV2FontFindGlyph(gMV2SmallFontGlyphs, c) : -1;
    return i >= 0 ? gMV2SmallFontGlyphs[i].right - gMV2SmallFontGlyphs[i].left + 2 : kGapWidth;
}

} // namespace

MV2MessageScreen gMV2Messages = [] {
    MV2MessageScreen m = {};
    std::memcpy(m.sets, kChoiceSets, sizeof kChoiceSets);
    return m;
}();

char gMV2LastFileName[kMV2FileNameSize];

void MV2NoteFileName(const char* name) {
    if (!name) return;
    std::snprintf(gMV2LastFileName, sizeof gMV2LastFileName, "%s", name);
}

void MV2InstallFileNameRecorder() {
    TvFileInterface* files = TvEngineGetFileInterface();
    if (!files || files->open == RecordingOpen) return;
    g_savedOpen = files->open;
    files->open = RecordingOpen;
}

void MV2RemoveFileNameRecorder() {
    TvFileInterface* files = TvEngineGetFileInterface();
    if (files && files->open == RecordingOpen) files->open = g_savedOpen;
    g_savedOpen = nullptr;
}

int MV2ErrorBox(const char* text) {
    return MessageBoxA(nullptr, text, "Marovant Error !", MB_OK);
}

void MV2ResetMessages() {
    gMV2Messages = MV2MessageScreen{};
    std::memcpy(gMV2Messages.sets, kChoiceSets, sizeof kChoiceSets);
}

void MV2ShowMessage(int32_t slot, int32_t on, int32_t pause, const char* format, ...) {
    if (slot < 0 || slot >= kMV2MessageSlots) return;
    MV2MessageScreen& m = gMV2Messages;
    if (!on) {
        if (!m.on[slot]) return;
        if (slot != m.current) {
            m.on[slot] = 0;
            m.pauseFlag[slot] = 0;
            return;
        }
        MV2CloseMessage();
        return;
    }
    if (slot != kMV2FatalSlot) {
        TurnOn(slot, pause);
        return;
    }
    char text[kMV2FatalTextSize] = "";
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    std::snprintf(m.fatalText, sizeof m.fatalText, "FATAL WARNING:\n%s\n%s", text,
                  gMV2LastFileName);
    gMV2Save.savingForbidden = 1;
    m.on[slot] = 0; // shown afresh
    TurnOn(slot, pause);
    MakeCurrent(slot);
    gMV2MainLoop.frontEnd = 1;
    FatalWarningLoop();
}

void MV2CloseMessage() {
    MV2MessageScreen& m = gMV2Messages;
    int32_t slot = m.current;
    if (slot > 0 && slot < kMV2MessageSlots) {
        m.on[slot] = 0;
        m.pauseFlag[slot] = 0;
        if (kMV2MessageSlotTable[slot].reset) MV2ResetControlsSoon();
    }
    for (int32_t s = kMV2FatalSlot - 1; s > 0; --s) {
        if (m.on[s]) {
            MakeCurrent(s);
            m.redraw = 1;
            return;
        }
    }
    m.current = 0;
    m.textId = -1;
    m.choiceSet = 0;
    m.showing = 0;
    if (m.pausedGame) {
        MV2ResetFrameClocks();
        MV2RequestSoundPause(0);
        MV2MovieResumeSound();
        if (m.pausedSpeech) MV2ResumeSpeech();
        if (m.pausedMusic) MV2ResumeMusic();
        gMV2Paused = 0;
    }
    m.pausedGame = m.pausedSpeech = m.pausedMusic = 0;
}

int32_t MV2UpdateMessage() {
    MV2MessageScreen& m = gMV2Messages;
    if (!m.showing) return 0;
    if (m.redraw) return 1;
    int32_t slot = m.current;
    if (slot == 12) {
        MV2CloseMessage();
        MV2RequestModeAndSequence(8, 7);
        return 1;
    }
    MV2ChoiceSet& set = CurrentSet();
    if (MV2GetAction(kActionCursor1).active && set.count > 1) {
        MV2CloseMessage();
        return 1;
    }
    if (!MV2GetAction(kActionCursor0).active && !MV2GetAction(kActionConfirm).active) {
        if (MV2GetAction(kActionLeft).active && set.current > 1) {
            --set.current;
            m.redraw = 1;
        }
        if (MV2GetAction(kActionRight).active && set.current < set.count) {
            ++set.current;
            m.redraw = 1;
        }
        return kMV2MessageSlotTable[slot].reset;
    }
    bool first = set.current == 1;
    switch (slot) {
    case 6:
    case 9:
        if (first) gMV2GameState.requested = 14;
        break;
    case 7:
        if (first && MV2SaveGame(0, gMV2Save.currentSlot, gMV2Save.currentName))
            gMV2GameState.requested = 14;
        break;
    case 11:
        if (first) gMV2Save.currentSlot = -1;
        break;
    case 12:
        if (first) MV2RequestModeAndSequence(8, 7);
        break;
    default:
        if (set.count < 1) return 1;
        break;
    }
    MV2CloseMessage();
    return 1;
}

int32_t MV2DrawTextIdWrapped(uint32_t textId, int32_t x, int32_t y, int32_t halfWidth, int32_t rhw) {
    MV2TextDescriptor text = {};
    text.id = textId;
    MV2GetText(&text);
    MV2TextDescriptor* list[2] = {&text, nullptr};
    return MV2DrawTextWrappedAtDepth(x, y, halfWidth, 0.025f, rhw, list, 0, 2);
}

void MV2DrawMessage() {
    MV2MessageScreen& m = gMV2Messages;
    if (!m.showing) return;
    m.redraw = 0;
    TvRenderStateSet(1, 0);
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    int32_t half = 320;
    int32_t end;
    if (m.current == kMV2FatalSlot) {
        end = 120 + MV2DrawMessageText(m.fatalText, 20, 120, 620, 0xFFFFFFFF) + 20;
    } else {
        end = 180 + MV2DrawTextIdWrapped(uint32_t(m.textId), half, 180, -180, 30) + 20;
    }
    const MV2ChoiceSet& set = CurrentSet();
    if (set.count == 1) {
        MV2DrawTextIdWrapped(uint32_t(set.first), half, end + 200, 100, 20);
    } else if (set.count == 2) {
        MV2DrawTextIdWrapped(uint32_t(set.first), half - 90, end + 200, 180, 20);
        MV2DrawTextIdWrapped(uint32_t(set.second), half + 90, end + 200, 180, 20);
    }
    MV2Set2DColour(0, 0, 0, 192);
    MV2Draw2DRectAtDepth(int32_t(float(half - 200) * sx), int32_t(160.0f * sy),
                         int32_t(float(half + 200) * sx), int32_t(float(end + 180) * sy), 0.03f,
                         25.0f, 0);
}

int32_t MV2LayoutMessageText(const char* text, int32_t width,
                             char (*lines)[kMV2MessageTextChars + 1]) {
    if (!text) return 0;
    char copy[kMV2MessageTextChars + 1];
    std::snprintf(copy, sizeof copy, "%s", text);
    size_t n = std::strlen(copy);
    if (n == 0) return 0;
    // Words move to the next line when they do not fit; a word wider than the line is placed
    // alone on its own line.
    int32_t count = 0, used = 0;
    size_t length = 0; // characters on the current line
    auto endLine = [&] {
        if (lines) lines[count][length] = 0;
        ++count;
        used = 0;
        length = 0;
    };
    auto put = [&](const char* from, size_t k) {
        if (lines) std::memcpy(lines[count] + length, from, k);
        length += k;
    };
    size_t i = 0;
    while (i < n && count < kMV2MessageTextLines) {
        if (copy[i] == '\n') {
            endLine();
            ++i;
            continue;
        }
        if (copy[i] == ' ') {
            if (used + kGapWidth <= width || length == 0) {
                put(copy + i, 1);
                used += kGapWidth;
            }
            ++i;
            continue;
        }
        size_t j = i;
        int32_t w = 0;
        while (j < n && copy[j] != ' ' && copy[j] != '\n')
            w += GlyphWidth(uint8_t(copy[j++]));
        if (length > 0 && used + w > width) {
            // Trailing spaces stay off the line that ends here.
            while (length > 0 && (lines ? lines[count][length - 1] == ' ' : false))
                --length;
            endLine();
            if (count >= kMV2MessageTextLines) break;
        }
        put(copy + i, j - i);
        used += w;
        i = j;
    }
    if (length > 0 && count < kMV2MessageTextLines) endLine();
    return count;
}

int32_t MV2DrawMessageText(const char* text, int32_t x, int32_t y, int32_t width, uint32_t colour) {
    // The lines are drawn with the small HUD font, whose pages are "fp000" and "fp000m".
    static char lines[kMV2MessageTextLines][kMV2MessageTextChars + 1];
    int32_t count = MV2LayoutMessageText(text, width, lines);
    for (int32_t i = 0; i < count; ++i) MV2FontDrawText(lines[i], x, y + 20 * i, colour, 0);
    return (count * 5 + 5) * 4;
}
