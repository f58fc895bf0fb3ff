#include "game/frontend/hudmessages.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/random.h"
#include "engine/world/world_plugin.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/menus.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/player/player.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/bytes.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"
#include "shell/voices.h"
#include "shell/frametimer.h"

#include <cmath>

MV2HudMessageRing gMV2HudMessages = {};
void (*gMV2HudMessageNotify)(int32_t, intptr_t) = [](int32_t event, intptr_t parameter) {
    MV2NotifyScripts(nullptr, event, parameter);
};

const MV2FaceRow kMV2FaceTable[kMV2FaceRows] = {
    {4, {269, 270, 271, 272}}, {4, {209, 210, 211, 212}}, {4, {213, 214, 215, 216}},
    {4, {221, 222, 223, 224}}, {4, {289, 290, 291, 292}}, {4, {253, 254, 255, 256}},
    {4, {209, 209, 209, 209}}, {4, {209, 209, 209, 209}}, {4, {209, 209, 209, 209}},
    {4, {225, 226, 227, 228}}, {4, {237, 238, 239, 240}}, {4, {241, 242, 243, 244}},
    {4, {217, 218, 219, 220}}, {4, {257, 258, 259, 260}}, {4, {245, 246, 247, 248}},
    {4, {277, 278, 279, 280}}, {4, {273, 274, 275, 276}}, {4, {285, 286, 287, 288}},
    {4, {233, 234, 235, 236}}, {4, {249, 250, 251, 252}}, {4, {261, 262, 263, 264}},
    {4, {265, 266, 267, 268}}, {4, {281, 282, 283, 284}}, {4, {229, 230, 231, 232}}};

namespace {

constexpr uint32_t kSpeechBit = 1u << 24;
constexpr uint32_t kNoSpeaker = 0xFFFFFFFFu;

int32_t g_subtitlesShown = 1, g_briefingSubtitles = 0;

int32_t Step(int32_t i) {
    return (i + 1) % kMV2HudMessageSlots;
}
int32_t Back(int32_t i) {
    return (i + kMV2HudMessageSlots - 1) % kMV2HudMessageSlots;
}

bool HasSpeech(const MV2TextDescriptor* d) {
    return d->text && (MV2ReadU32(d->text) & kSpeechBit);
}

uint32_t Speaker(const MV2TextDescriptor* d) {
    return d->text ? MV2ReadU32(d->text + 4) : kNoSpeaker;
}

void FaceReset() {
    gMV2TalkingFace = {-1, 0, MV2GetGameTime()};
}

// The speech name after the text, copied bounded: at most 31 characters and never past the
// end of the language chunk. Null when there is none.
const char* SpeechName(const MV2TextDescriptor* d, char (&out)[32]) {
    out[0] = 0;
    const uint8_t* at = MV2TextRecordEnd(d);
    if (!at) return nullptr;
    const uint8_t* base = gMV2MenuResource.languages;
    const uint8_t* end = at + 31;
    if (base && at >= base) end = base + gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size;
    size_t n = 0;
    while (n < 31 && at + n < end && at[n]) {
        out[n] = char(at[n]);
        ++n;
    }
    out[n] = 0;
    return n ? out : nullptr;
}

void PlayCue(const char* name) {
    const int32_t slot = MV2GetSoundSlot(MV2FindSoundByName(name));
    if (!slot) return;
    const int32_t channel = MV2PlaySound(slot, 0, 0);
    if (channel <= 0) return;
    TvV3d at = {}, still = {};
    if (gMV2MainCamera) {
        TvFrame* frame = TvObjectGetFrame(gMV2MainCamera);
        if (frame) at = TvFrameGetLTM(frame)->pos;
    }
    MV2PlaceSound3D(slot, channel, &at, &still, 0, -500.0f);
}

void BeginMessage(MV2HudMessage& m, uint32_t now) {
    m.start = now ? now : 1;
    if (!HasSpeech(&m.text)) {
        MV2Object* player = MV2GetPlayerObject();
        if (player && player->matrix)
            MV2PlaySoundAt(&player->matrix->pos, 10.0f, MV2FindSoundByName("MESSAGE"), 0, 0, 2000);
        return;
    }
    if (m.speechStarted || gMV2GameState.current == 7) return;
    PlayCue(Speaker(&m.text) == kNoSpeaker ? "MESSAGE" : "RADIO");
    char buffer[32];
    if (const char* name = SpeechName(&m.text, buffer)) MV2PlaySpeech(name, 0, 1);
    m.speechStarted = 1;
}

} // namespace

uint32_t MV2GetHudMessageDuration(const MV2TextDescriptor* text) {
    if (!HasSpeech(text)) return 5500;
    char buffer[32];
    const float seconds = MV2GetWavDuration(SpeechName(text, buffer));
    const uint32_t ms = uint32_t(std::lround(double(seconds) * 1000.0));
    return (ms ? ms : 4000) + 1500;
}

void MV2ResetHudMessages() {
    for (MV2HudMessage& m : gMV2HudMessages.slots) m.state = kMV2MessageFree;
    gMV2HudMessages.write = gMV2HudMessages.read = 0;
    gMV2HudMessages.initialised = 1;
    FaceReset();
}

void MV2ClearHudMessages() {
    if (!gMV2HudMessages.initialised) return;
    FaceReset();
    for (MV2HudMessage& m : gMV2HudMessages.slots) m.state = kMV2MessageFree;
}

uint32_t MV2AddHudMessage(uint32_t textId) {
    MV2HudMessageRing& r = gMV2HudMessages;
    if (MV2GetGameOverState() != 0) return 0;
    const int32_t previous = Back(r.write);
    if (r.read == r.write && r.slots[previous].state != kMV2MessageFree &&
        r.slots[previous].text.id == textId) {
        r.write = previous;
        r.read = Back(r.read);
    }
    MV2HudMessage& m = r.slots[r.write];
    m.state = kMV2MessageQueued;
    m.speechStarted = 0;
    m.start = 0;
    m.text = {};
    m.text.id = textId;
    MV2GetText(&m.text);
    m.text.revealCount = 0;
    m.text.fadeFront = 0;
    m.displayTime = MV2GetHudMessageDuration(&m.text);
    r.write = Step(r.write);
    MV2HudMessage& next = r.slots[r.write];
    switch (next.state) {
    case kMV2MessageQueued: OutputDebugStringA("Too many messages\n"); return m.displayTime;
    case kMV2MessageShowing:
        OutputDebugStringA("Almost too many messages\n");
        // A script chaining on the cut message still hears that it ended.
        if (gMV2HudMessageNotify) gMV2HudMessageNotify(kMV2ScriptEventMessageDone, intptr_t(next.text.id));
        r.read = Step(r.read);
        [[fallthrough]];
    case kMV2MessageFinished:
        if (r.read == r.write) r.read = Step(r.read);
        next.state = kMV2MessageFree;
        break;
    default: break;
    }
    return m.displayTime;
}

uint32_t MV2HudMessagesFinished() {
    return gMV2HudMessages.slots[gMV2HudMessages.read].state == kMV2MessageFree ? 1 : 0;
}

void MV2UpdateHudMessages() {
    MV2HudMessageRing& r = gMV2HudMessages;
    MV2HudMessage& m = r.slots[r.read];
    if (m.state == kMV2MessageQueued) {
        m.state = kMV2MessageShowing;
        m.start = 0;
        return;
    }
    if (m.state != kMV2MessageShowing && m.state != kMV2MessageFinished) return;
    const uint32_t now = timeGetTime();
    if (m.start == 0 || now - m.start < m.displayTime) {
        if (m.start == 0 && m.state != kMV2MessageFinished) BeginMessage(m, now);
        const uint32_t speaker = Speaker(&m.text);
        // Speakers beyond the face table show no face.
        if (m.text.text && speaker < uint32_t(kMV2FaceRows)) {
            if (gMV2TalkingFace.row != int32_t(speaker)) gMV2TalkingFace.row = int32_t(speaker);
        } else {
            FaceReset();
        }
        return;
    }
    if (m.state == kMV2MessageShowing && gMV2HudMessageNotify)
        gMV2HudMessageNotify(kMV2ScriptEventMessageDone, intptr_t(m.text.id));
    m.state = kMV2MessageFinished;
    FaceReset();
    int32_t i = r.read;
    for (;;) {
        i = Step(i);
        if (i == r.write) break;
        if (r.slots[i].state != kMV2MessageFinished) {
            r.slots[i].start = 0;
            break;
        }
    }
    r.read = i;
}

void MV2DrawTalkingFace(int32_t x, int32_t y, uint8_t alpha) {
    MV2TalkingFace& f = gMV2TalkingFace;
    if (f.row < 0 || f.row >= kMV2FaceRows) return;
    const MV2FaceRow& row = kMV2FaceTable[f.row];
    const uint32_t now = MV2GetGameTime();
    if (int32_t(now - f.nextChange) > 0 && row.frames >= 2) {
        f.frame += 1;
        if (row.frames > 2) f.frame += TvRandom() % (row.frames - 1);
        while (f.frame >= row.frames) f.frame -= row.frames;
        f.nextChange = now + 120 + uint32_t(TvRandom() & 127);
    }
    if (f.frame < 0 || f.frame >= row.frames || f.frame >= 4) f.frame = 0;
    const int8_t mode = gMV2GameState.current;
    if (mode == 1) gMV2GameState.current = 0;
    MV2SpriteDraw q = {};
    q.x = x, q.y = y, q.sprite = row.sprites[f.frame], q.scaleX = q.scaleY = 1.0f;
    q.colour0 = q.colour1 = (uint32_t(alpha) << 24) | (kMV2HudColour & 0xFFFFFF);
    MV2Draw2DSprite(&q);
    gMV2GameState.current = mode;
}

void MV2DrawHudMessageText(const MV2HudTextBox* box) {
    MV2HudMessageRing& r = gMV2HudMessages;
    MV2HudMessage& m = r.slots[r.read];
    if (m.state != kMV2MessageShowing && m.state != kMV2MessageFinished) return;
    const bool intro = gMV2GameState.current == 7;
    if (!g_subtitlesShown && !intro) return;
    MV2TextDescriptor* list[2] = {&m.text, nullptr};
    const int32_t half = box->width / 2, cx = box->x + half;
    MV2Set2DColourARGB(kMV2HudColour);
    if (intro) {
        const int32_t top = box->y - (MV2HudScreenWidth() == 800 ? 32 : 0);
        MV2DrawTextWrapped(cx, top, -half, list, 0, 8);
        MV2AdvanceTextReveal(&m.text);
        return;
    }
    const uint32_t backdrop = gMV2GameState.current == 1 ? 0xC0000000u : box->colour;
    const bool bottom = (box->flags & 2) != 0;
    const int32_t saved = m.text.revealCount;
    const int32_t height = MV2DrawTextWrapped(cx, box->y, -half, list, 0x200, 8);
    m.text.revealCount = saved;
    if (backdrop >> 24) {
        MV2Set2DColourARGB(backdrop);
        const int32_t boxBottom = box->y + box->height;
        if (bottom)
            MV2Draw2DRect(box->x, boxBottom - height, box->x + box->width, boxBottom, 0);
        else
            MV2Draw2DRect(box->x, box->y, box->x + box->width, box->y + height, 0);
    }
    MV2Set2DColourARGB(kMV2HudColour);
    if (bottom)
        MV2DrawTextWrapped(cx, box->y + box->height - 20, half, list, 0, 8);
    else
        MV2DrawTextWrapped(cx, box->y, -half, list, 0, 8);
    // The text is revealed character by character as frames pass.
    MV2AdvanceTextReveal(&m.text);
}

void MV2DrawHudMessageHistory() {
    MV2HudMessageRing& r = gMV2HudMessages;
    const int32_t width = MV2HudScreenWidth(), height = MV2HudScreenHeight();
    const int32_t half = 300 * width / 640, cx = width / 2;
    int32_t i = r.read;
    const uint32_t s = r.slots[i].state;
    if (s != kMV2MessageShowing && s != kMV2MessageFinished) i = Back(i);
    int32_t y = 10;
    const int32_t first = i;
    bool offScreen = false;
    do {
        MV2HudMessage& m = r.slots[i];
        if (m.state != kMV2MessageShowing && m.state != kMV2MessageFinished) break;
        MV2TextDescriptor* list[2] = {&m.text, nullptr};
        const int32_t saved = m.text.revealCount;
        const int32_t h = MV2DrawTextWrapped(cx, y, -half, list, 0x200, 8);
        m.text.revealCount = saved;
        if (y + h >= height) {
            offScreen = true;
            break;
        }
        MV2Set2DColourARGB(0x40000000u);
        MV2Draw2DRect(cx - half - 2, y - 2, cx + half + 2, y + h + 2, 0);
        MV2Set2DColourARGB(kMV2HudColour);
        MV2DrawTextWrapped(cx, y, -half, list, 0, 8);
        y += h + 8;
        i = Back(i);
    } while (i != first);
    if (offScreen) return;
    MV2Set2DColourARGB(0x40000000u);
    MV2Draw2DRect(cx - half - 2, y, cx + half + 2, y + 24, 0);
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    const int32_t bar = int32_t(200.0f * sx);
    MV2Set2DColourARGB(0xC0000000u | (kMV2HudColour & 0xFFFFFF));
    MV2Draw2DRect(cx - bar / 2, y + 9, cx + bar / 2, y + 11, 0);
}

void MV2DrawBuiltInSubtitle(int32_t screenWidth) {
    struct Place {
        MV2HudTextBox box;
        int32_t faceX, faceY;
    };
    static const Place places[3] = {
        {{70, 390, 500, 60, 2, 0x40000000u}, 3, 413},
        {{87, 487, 625, 75, 2, 0x40000000u}, 4, 516},
        {{112, 624, 800, 96, 2, 0x40000000u}, 5, 661}};
    const Place& p = places[screenWidth == 640 ? 0 : (screenWidth == 800 ? 1 : 2)];
    MV2DrawHudMessageText(&p.box);
    MV2DrawTalkingFace(p.faceX, p.faceY, 255);
}

void MV2SetSubtitles(int32_t value) {
    g_subtitlesShown = value == 1 || value == 2;
    g_briefingSubtitles = value == 2;
}

int32_t MV2GetSubtitles() {
    return g_briefingSubtitles ? 2 : (g_subtitlesShown ? 1 : 0);
}

int32_t MV2SubtitlesShown() {
    return g_subtitlesShown;
}

int32_t MV2BriefingSubtitles() {
    return g_briefingSubtitles;
}

// The game clock in milliseconds is the frame timer's clock.
uint32_t MV2GetGameTime() {
    return gMV2FrameTimer.frameClock;
}
