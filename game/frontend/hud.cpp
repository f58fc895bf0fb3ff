#include "game/frontend/hud.h"

#include "engine/core/camera.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/engine.h"
#include "game/effects/effects.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/menus.h"
#include "game/frontend/missionmap.h"
#include "game/frontend/radar.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/water.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "game/creatures/creatures.h"
#include "game/creatures/repairdrone.h"
#include "game/missions/mission20.h"
#include "shell/bytes.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "engine/world/world_plugin.h"
#include "shell/cursor.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

MV2TextDescriptor gMV2HudText[kMV2HudTextRows];
const uint32_t kMV2HudTextIds[kMV2HudTextRows] = {
    529, 387, 558, 559, 560, 561, 562, 563, 564, 565, 566, 567, 502, 556, 226, 403, 411, 570,
    571, 572, 390, 415, 416, 417, 418, 419, 420, 421, 422, 569, 568, 279, 229, 227, 230, 280,
    48,  2,   277, 52,  386, 2,   51,  2,   282, 55,  1,   281, 350, 141, 143, 145, 147, 49,
    2,   50,  236, 278, 585, 586, 3,   544, 545, 513, 140, 142, 144, 146, 547, 533, 435, 406,
    541, 506, 231, 660, 661, 918, 680, 712, 713, 714, 715, 716, 719, 717, 720, 749};
const int32_t kMV2HudCraftTable[kMV2HudCraftTypes] = {0, 67, 1, 84, 328, 329, 330, 15, 96, 142, 167};

MV2HudFile gMV2HudFile = {};
MV2HudState gMV2Hud = {};

namespace {

constexpr int32_t kRowPoint = 12, kRowDepthWarning = 13, kRowSuccess = 76, kRowFailure = 77;
constexpr int32_t kRowMinus = 84, kRowT = 85, kRowColon = 86, kRowCountdown = 87;
constexpr uint32_t kBannerMs = 20000;

// What the begin of a HUD pass saved, restored at its end.
struct SavedStates {
    int32_t zTest, zWrite, fog, filter, vertexAlpha, shade;
    intptr_t raster;
    bool full;
};
SavedStates g_saved = {};

// The view matrix of the HUD's 3-D projections: the inverse of the main camera's frame.
TvMatrix g_view = {};

int32_t GetState(int32_t state) {
    int32_t v = 0;
    TvRenderStateGet(state, &v);
    return v;
}

uint32_t Rgba(uint32_t word) {
    // A colour word holds red, green, blue, alpha in memory order: ARGB of it.
    const uint8_t r = uint8_t(word), g = uint8_t(word >> 8), b = uint8_t(word >> 16);
    return (word & 0xFF000000u) | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

uint32_t Lerp(uint32_t a, uint32_t b, float t) {
    uint32_t out = 0;
    for (int32_t s = 0; s < 32; s += 8) {
        const float x = float((a >> s) & 255), y = float((b >> s) & 255);
        out |= uint32_t(int32_t(x + (y - x) * t) & 255) << s;
    }
    return out;
}

void Sprite(int32_t sprite, int32_t x, int32_t y, float sx, float sy, uint32_t colour) {
    MV2SpriteDraw q = {};
    q.x = x, q.y = y, q.sprite = sprite, q.colour0 = q.colour1 = colour;
    q.scaleX = sx, q.scaleY = sy;
    MV2Draw2DSprite(&q);
}

void Quad(TvIm2DVertex* quad, uint32_t colour) {
    for (int32_t i = 0; i < 4; ++i) {
        quad[i] = {};
        quad[i].recipZ = 20.0f;
        quad[i].colour = colour;
    }
}

void HudString(const char* text, float x, float y, uint32_t colour) {
    TvIm2DVertex quad[4];
    Quad(quad, colour);
    for (const char* c = text; *c; ++c) {
        const int32_t row = MV2HudCharacterRow(*c);
        if (row >= 0) x = MV2HudDrawGlyph(quad, row, x, y, y + 20.0f);
    }
}

void TextRow(int32_t row, float cx, float cy, float w, float h, uint8_t align, uint32_t colour) {
    MV2Set2DColourARGB(colour);
    MV2DrawText({cx, cy}, {w, h}, &gMV2HudText[row], align, 8);
}

void TextDescriptor(MV2TextDescriptor* d, float cx, float cy, float w, float h, uint8_t align,
                    uint32_t colour) {
    MV2Set2DColourARGB(colour);
    MV2DrawText({cx, cy}, {w, h}, d, align, 8);
}

bool ValidElement(const uint8_t* at, uint32_t room) {
    if (room < 8) return false;
    const uint32_t size = MV2ReadU32(at), kind = MV2ReadU32(at + 4);
    if (size < 8 || size % 4 || size > room) return false;
    // Each kind whose words the draw loop reads must hold them.
    uint32_t need = 8;
    switch (kind) {
    case 0: case 6: case 7: case 8: case 9: case 10: case 11: case 15: case 16: case 17:
    case 18: need = 24; break;
    case 1: need = 36; break;
    case 13: need = 36; break;
    case 22: {
        need = 28;
        if (size < need) return false;
        const uint32_t segments = MV2ReadU32(at + 20);
        if (segments > (size - 28) / 16) return false;
        break;
    }
    default: break;
    }
    return size >= need;
}

void ReadLayout(const uint8_t* at, MV2HudLayout* out) {
    auto w = [at](int32_t i) { return MV2ReadU32(at + 4 * i); };
    auto f = [at](int32_t i) {
        uint32_t bits = MV2ReadU32(at + 4 * i);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    };
    out->size = w(0), out->craft = w(1), out->mode = w(2), out->width = w(3);
    out->scaleX = f(4), out->scaleY = f(5), out->elementCount = w(6);
    for (int32_t i = 0; i < 3; ++i) {
        out->signSprites[i] = w(7 + i);
        out->edgeSprites[i] = w(10 + i);
        out->signSizes[i] = w(13 + i);
        out->signColours[i] = w(18 + i);
    }
    out->reticleSprites[0] = w(16), out->reticleSprites[1] = w(17);
    out->reticleWord = w(21);
    out->elements = at + kMV2HudLayoutHead;
}

} // namespace

uint32_t MV2HudElement::Word(int32_t i) const {
    const uint32_t at = uint32_t(i) * 4;
    return at + 4 <= size - 8 ? MV2ReadU32(words + at) : 0;
}

uint32_t MV2HudColour() {
    return kMV2HudColour;
}

int32_t MV2HudCharacterRow(char c) {
    switch (c) {
    case '.': return kRowPoint;
    case '-': return kRowMinus;
    case 'T': return kRowT;
    case ':': return kRowColon;
    default: break;
    }
    // Characters outside the table are skipped.
    const int32_t row = int32_t(uint8_t(c)) - 46;
    return row >= 0 && row < kMV2HudTextRows ? row : -1;
}


uint32_t MV2HudCountLayouts(const uint8_t* data, size_t size) {
    if (!data || size < 4) return 0;
    const uint32_t count = MV2ReadU32(data);
    size_t at = 4;
    uint32_t good = 0;
    for (; good < count; ++good) {
        if (size - at < kMV2HudLayoutHead) break;
        const uint32_t lsize = MV2ReadU32(data + at);
        if (lsize < kMV2HudLayoutHead || lsize % 4 || lsize > size - at) break;
        const uint32_t elements = MV2ReadU32(data + at + 24);
        uint32_t e = at + kMV2HudLayoutHead, end = uint32_t(at + lsize);
        bool ok = true;
        for (uint32_t i = 0; i < elements && ok; ++i) {
            ok = ValidElement(data + e, end - e);
            if (ok) e += MV2ReadU32(data + e);
        }
        if (!ok) break;
        at += lsize;
    }
    return good;
}

int32_t MV2HudGetLayout(uint32_t index, MV2HudLayout* out) {
    if (!gMV2HudFile.data || index >= gMV2HudFile.layouts) return 0;
    const uint8_t* at = gMV2HudFile.data + 4;
    for (uint32_t i = 0; i < index; ++i) at += MV2ReadU32(at);
    ReadLayout(at, out);
    return 1;
}

int32_t MV2HudFindLayout(int32_t objectType, int32_t width, uint32_t mode, MV2HudLayout* out) {
    if (!gMV2HudFile.data) return 0;
    const uint8_t* at = gMV2HudFile.data + 4;
    for (uint32_t i = 0; i < gMV2HudFile.layouts; ++i, at += MV2ReadU32(at)) {
        const uint32_t craft = MV2ReadU32(at + 4);
        // A craft index beyond the table never matches.
        if (craft >= uint32_t(kMV2HudCraftTypes) || kMV2HudCraftTable[craft] != objectType) continue;
        if (MV2ReadU32(at + 12) != uint32_t(width) || MV2ReadU32(at + 8) != mode) continue;
        ReadLayout(at, out);
        return 1;
    }
    return 0;
}

int32_t MV2HudNextElement(const MV2HudLayout* layout, MV2HudElement* element) {
    // The counted layouts' elements were checked when the file was taken.
    if (element->index >= layout->elementCount) return 0;
    const uint8_t* at = element->words ? element->words - 8 + element->size : layout->elements;
    element->size = MV2ReadU32(at);
    element->kind = MV2ReadU32(at + 4);
    element->words = at + 8;
    element->index++;
    return 1;
}

void MV2HudSetLayoutData(uint8_t* data, uint32_t size) {
    if (gMV2HudFile.data) TvFree(gMV2HudFile.data);
    gMV2HudFile = {data, size, MV2HudCountLayouts(data, size)};
}

void MV2HudFillTexts() {
    for (int32_t i = 0; i < kMV2HudTextRows; ++i) {
        gMV2HudText[i] = {};
        gMV2HudText[i].id = kMV2HudTextIds[i];
        MV2GetText(&gMV2HudText[i]);
    }
}

int32_t MV2HudReadLayoutFile() {
    TvFileInterface* files = TvEngineGetFileInterface();
    void* f = files && files->open ? files->open("data\\hud.daf", "rb") : nullptr;
    if (!f) {
        MV2ErrorBox("Error: file data\\hud.daf not found!");
        return 0;
    }
    uint8_t head[4];
    const long length = files->length ? files->length(f) : -1;
    bool ok = files->read(head, 1, 4, f) == 4;
    const uint32_t n = ok ? MV2ReadU32(head) : 0;
    // The byte count must fit the file; a short file fails the load like a missing one.
    ok = ok && length >= 4 && uint64_t(n) <= uint64_t(length - 4);
    uint8_t* data = ok && n ? static_cast<uint8_t*>(TvMalloc(n)) : nullptr;
    if (ok && data && files->read(data, 1, n, f) != n) ok = false;
    files->close(f);
    if (!ok) {
        if (data) TvFree(data);
        MV2HudSetLayoutData(nullptr, 0);
        MV2ErrorBox("Error: file data\\hud.daf not found!");
        return 0;
    }
    // A failed allocation leaves no layouts: the HUD then draws only its overlay.
    MV2HudSetLayoutData(data, data ? n : 0);
    return 1;
}

int32_t MV2HudLoadResources() {
    if (!MV2Create2DTextures()) {
        MV2ErrorBox("MV2Create2DTextures error");
        return 0;
    }
    MV2HudFillTexts();
    return MV2HudReadLayoutFile();
}

void MV2HudFreeResources() {
    MV2HudSetLayoutData(nullptr, 0);
    MV2Destroy2DTextures();
}

int32_t MV2CreateHud() {
    MV2HudAddScoreRow(0, 0, 0, 1);
    MV2ClearHudMessages();
    MV2HideMouseCursor();
    MV2HudSetObjective(nullptr);
    if (!MV2InitialiseRadar()) {
        MV2ErrorBox("MV2InitialiseRadar failed");
        return 0;
    }
    if (!MV2InitialiseWeaponSystem()) {
        MV2ErrorBox("MV2InitialiseWeaponSystem failed");
        return 0;
    }
    MV2ResetHudMessages();
    MV2ResetTarget();
    MV2MapReset();
    MV2DisableRepairDroneHud();
    MV2MapSelectTileSet(0);
    gMV2Hud.bannerEnd = 0;
    gMV2Hud.mode = 0;
    MV2Rect2D whole = {0, 0, MV2HudScreenWidth(), MV2HudScreenHeight()};
    MV2Set2DClipRect(&whole);
    MV2ClearAwardCounters();
    return 1;
}

int32_t MV2HudTypeInSet(int32_t set, int32_t type) {
    if (set < 0 || set > 2 || type < 0 || type >= kMV2HudTypeSetBits) return 0;
    return (gMV2Hud.typeSets[set][type >> 3] >> (type & 7)) & 1;
}

void MV2HudAddTypeToSet(int32_t set, int32_t type) {
    if (MV2HudTypeInSet(set, type) || set < 0 || set > 2 || type < 0 ||
        type >= kMV2HudTypeSetBits)
        return;
    gMV2Hud.typeSets[set][type >> 3] |= uint8_t(1u << (type & 7));
    gMV2Hud.typeCounts[set]++;
}

void MV2ResetHudState() {
    std::memset(gMV2Hud.typeSets, 0, sizeof gMV2Hud.typeSets);
    std::memset(gMV2Hud.typeCounts, 0, sizeof gMV2Hud.typeCounts);
    for (int32_t t = 350; t <= 352; ++t) MV2HudAddTypeToSet(1, t);
    gMV2Hud.crackLevel = 0;
    MV2Mission20HideStatus();
}

// The screen size from the 2-D scale, which the display keeps at width / 640 and height / 480.
int32_t MV2HudScreenWidth() {
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    return int32_t(sx * 640.0f + 0.5f);
}

int32_t MV2HudScreenHeight() {
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    return int32_t(sy * 480.0f + 0.5f);
}

int32_t MV2HudObjectType(const MV2Object* object) {
    return object ? int32_t(object->typeWord & kMV2ObjectTypeMask) : -1;
}

const TvV3d* MV2HudObjectPosition(const MV2Object* object) {
    return object && object->matrix ? &object->matrix->pos : nullptr;
}

float MV2HudEnergyFraction(const MV2Object* object) {
    if (!object || !object->type) return 0.0f;
    const float initial = MV2TypeFloat(object->type, 1);
    if (!(initial > 0.0f)) return 0.0f;
    const float f = object->energy / initial;
    return f > 1.0f ? 1.0f : (f > 0.0f ? f : 0.0f);
}

void MV2HudSetObjective(MV2Object* object) {
    gMV2Hud.objective = object;
    gMV2Hud.objectiveHandle = object ? object->handle : 0;
}

void MV2HudGetObjective(MV2Object** object, uint32_t* handle) {
    if (gMV2Hud.objective && !MV2ObjectHandleAlive(gMV2Hud.objectiveHandle))
        gMV2Hud.objective = nullptr;
    if (object) *object = gMV2Hud.objective;
    if (handle) *handle = gMV2Hud.objectiveHandle;
}

uint32_t MV2HudGetMode() {
    return gMV2Hud.mode;
}

void MV2HudSetMode(uint32_t mode) {
    if (mode == 7) {
        if (gMV2Hud.mode == 0)
            gMV2Hud.mode = 3;
        else if (gMV2Hud.mode == 3)
            gMV2Hud.mode = 0;
        return;
    }
    gMV2Hud.mode = mode;
}

void MV2HudShowResultBanner(int32_t success) {
    gMV2Hud.bannerEnd = MV2GetGameTime() + kBannerMs;
    gMV2Hud.bannerRow = success ? kRowSuccess : kRowFailure;
    if (!success) {
        MV2AddMusicTrack(22, 0);
        MV2StartMusic();
    }
}

void MV2HudHideResultBanner() {
    gMV2Hud.bannerEnd = MV2GetGameTime();
}

void MV2HudAddScoreRow(int32_t textId, int32_t value, int32_t score, int32_t clear) {
    if (clear) {
        for (int32_t i = 0; i < kMV2HudScoreRows; ++i) gMV2Hud.rows[i].textId = -1;
        gMV2Hud.rowCount = 0;
        gMV2Hud.tableShown = 0;
        return;
    }
    // Rows beyond the table are ignored.
    if (gMV2Hud.rowCount >= kMV2HudScoreRows) return;
    MV2HudScoreRow& row = gMV2Hud.rows[gMV2Hud.rowCount++];
    row.textId = textId, row.value = value, row.score = score;
    gMV2Hud.tableShown = 1;
}

void MV2HudSortScoreTable(int32_t titleId1, int32_t titleId2) {
    MV2HudScoreRow* rows = gMV2Hud.rows;
    const int32_t n = std::min(gMV2Hud.rowCount, kMV2HudScoreRows);
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = i + 1; j < n; ++j) {
            const bool higher = rows[j].score > rows[i].score;
            const bool keep = rows[i].textId == 739 || (rows[i].textId == 732 && rows[j].textId == 733);
            if (higher || (rows[j].score == rows[i].score && !keep)) std::swap(rows[i], rows[j]);
        }
    rows[kMV2HudScoreRows].textId = titleId1;
    rows[kMV2HudScoreRows + 1].textId = titleId2;
    for (int32_t i = 0; i < kMV2HudScoreRows + 2; ++i) {
        if (i < kMV2HudScoreRows && i >= n) continue;
        rows[i].text = {};
        rows[i].text.id = uint32_t(rows[i].textId);
        MV2GetText(&rows[i].text);
    }
}

float MV2HudDrawGlyph(TvIm2DVertex* quad, int32_t row, float x, float vTop, float vBottom) {
    if (row < 0 || row >= kMV2HudTextRows) return x;
    MV2TextDescriptor* d = &gMV2HudText[row];
    if (!d->text) return x;
    quad[0].x = x;
    quad[0].y = vTop;
    quad[1].y = vBottom;
    const int32_t w = MV2DrawTextGlyphs(quad, d, 9, 1, d->text + kMV2TextRecordHeadSize);
    return x + float(w);
}

void MV2HudDrawNumber(int32_t value, int32_t x, int32_t y, uint32_t colour, int32_t align) {
    if (value < 0) value = 0;
    int32_t digits[7];
    int32_t v = value % 10000000;
    int32_t n = 0;
    do {
        digits[n++] = v % 10;
        v /= 10;
    } while (v && n < 7);
    float width = 0.0f;
    for (int32_t i = 0; i < n; ++i) width += float(gMV2HudText[2 + digits[i]].width);
    float pen = float(x);
    if (align == 0)
        pen -= width * 0.5f;
    else if (align == 2)
        pen -= width;
    TvIm2DVertex quad[4];
    Quad(quad, colour);
    for (int32_t i = n - 1; i >= 0; --i)
        pen = MV2HudDrawGlyph(quad, 2 + digits[i], pen, float(y), float(y + 20));
}

void MV2HudDrawGauge(const MV2HudElement* e, float f, const uint32_t* overrideColour) {
    const uint32_t mode = e->Word(0), n = e->Word(3);
    if (mode > 2 || n == 0) return;
    const int32_t x = e->Int(1), y = e->Int(2);
    const uint32_t base = e->Word(4);
    const uint32_t empty = MV2HudColourAlpha(base);
    uint32_t target = kMV2HudColour;
    if (mode == 1)
        target = f >= 0.5f ? kMV2HudColour : (f <= 0.25f ? kMV2HudRed : kMV2HudYellow);
    else if (mode == 2)
        target = overrideColour ? *overrideColour : 0xFFFFFFFFu;
    bool reached = false;
    for (int32_t i = int32_t(n) - 1; i >= 0; --i) {
        const int32_t k = int32_t(n) - 1 - i; // list order
        const uint32_t sprite = e->Word(5 + 4 * k), full = e->Word(8 + 4 * k);
        const int32_t dx = e->Int(6 + 4 * k), dy = e->Int(7 + 4 * k);
        uint32_t colour;
        if (reached) {
            colour = mode == 0 ? MV2HudColourAlpha(full)
                               : (mode == 1 ? target | 0xFF000000u : target);
        } else if (float(i) / float(n) <= f) {
            reached = true;
            const float t = std::clamp(float(n) * f - float(i), 0.0f, 1.0f);
            const float a0 = float(base >> 24);
            if (mode == 0) {
                const float a1 = float(full >> 24);
                colour = (uint32_t(int32_t(a0 + t * (a1 - a0))) << 24) | (kMV2HudColour & 0xFFFFFF);
            } else {
                const float a1 = mode == 1 ? 255.0f : float(target >> 24);
                colour = (Lerp(kMV2HudColour, target, t) & 0xFFFFFF) |
                         uint32_t(int32_t(a0 + t * (a1 - a0))) << 24;
            }
        } else {
            colour = empty;
        }
        Sprite(int32_t(sprite), x + dx, y + dy, 1.0f, 1.0f, colour);
    }
}

float gMV2CircleTable[72][2];

namespace {
const bool g_circleFilled = [] {
    for (int32_t i = 0; i < 72; ++i) {
        const double a = double(i) * 5.0 * 3.14159265358979323846 / 180.0;
        gMV2CircleTable[i][0] = float(-std::cos(a));
        gMV2CircleTable[i][1] = float(std::sin(a));
    }
    return true;
}();
} // namespace

int32_t MV2CircleTableStep(int32_t entry, int32_t steps) {
    int32_t e = (entry + steps) % 72;
    return e < 0 ? e + 72 : e;
}

void MV2HudDrawClock(int32_t x, int32_t y, int32_t) {
    const int32_t* countdown = MV2GetMissionCountdown();
    if (!countdown) return;
    const int32_t kind = 0; // the countdown keeps no kind word: no label
    const uint32_t left = *countdown > 0 ? uint32_t(*countdown) : 0;
    const uint32_t seconds = left / 1000;
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    float px = 10.0f + 540.0f * sx, py = 40.0f * sy - 10.0f;
    (void)x, (void)y; // the second camera's position is not used: there is no second camera view
    if (kind == 1) TextRow(kRowCountdown, 540.0f * sx - 10.0f - 80.0f, 40.0f * sy, 160, 20, 2, kMV2HudColour);
    HudString(text, px, py, kMV2HudColour);
}

float MV2GetObjectDepth(MV2Object* object) {
    const TvV3d* p = MV2HudObjectPosition(object);
    if (!p || !object->clump) return 0.0f;
    float d = (MV2GetWaterHeight(p) - p->y) * 3.0f;
    if (!(d > 0.0f)) return 0.0f;
    if ((MV2GetCurrentLevelId() >> 24) == 4) d = (d - 825.0f) * 0.25f + 825.0f;
    return d;
}

void MV2UpdateDepthDamage() {
    if (gMV2GameType != 2) return;
    MV2Object* player = MV2GetPlayerObject();
    const TvV3d* p = MV2HudObjectPosition(player);
    if (!p || (p->x == 0.0f && p->y == 0.0f && p->z == 0.0f)) return;
    const uint32_t ms = MV2GetFrameMilliseconds();
    gMV2Hud.depthTimers[0] += ms;
    if (gMV2Hud.depthTimers[0] >= 1000) {
        gMV2Hud.depthTimers[0] -= 1000;
        if (MV2ReadGeiger(player) > 1.0f) player->energy -= 0.1f;
    }
    gMV2Hud.depthTimers[1] += ms;
    const float over = MV2GetObjectDepth(player) - MV2GetCraftDepthLimit(player);
    if (over > 0.0f) {
        player->energy -= (over + 5.0f) * gMV2FrameTimer.seconds;
        if (gMV2Hud.depthTimers[1] >= 1000) {
            gMV2Hud.depthTimers[1] = 0;
            MV2PlaySoundAt(p, 1.0f, MV2FindSoundByName("DEPTHWARNING"), 0, 0, 0);
        }
    }
    if (gMV2Hud.depthTimers[1] > 1000) gMV2Hud.depthTimers[1] = 1000;
}

void MV2UpdateScreenCrackLevel(MV2Object* sub) {
    const TvV3d* p = MV2HudObjectPosition(sub);
    if (!p || (p->x == 0.0f && p->y == 0.0f && p->z == 0.0f)) return;
    float level = MV2GetObjectDepth(sub) - MV2GetCraftDepthLimit(sub) + 25.0f;
    const float f = MV2HudEnergyFraction(sub);
    if (f < 0.25f) level = std::max(level, (0.25f - f) * 64.0f);
    if (!(level > 0.0f)) return;
    const int32_t l = int32_t(std::min(level, 100.0f));
    if (gMV2Hud.crackLevel == 0) MV2ResetScreenCracks();
    if (l > gMV2Hud.crackLevel) {
        MV2AddScreenCracks(l - gMV2Hud.crackLevel);
        gMV2Hud.crackLevel = l;
    }
}

int32_t MV2HudBeginDraw(int32_t inPlay) {
    const bool pausedUnderMenus = inPlay && gMV2Paused && gMV2GameState.menuDepth > 0;
    g_saved.zTest = GetState(kTvRenderStateZTestEnable);
    g_saved.zWrite = GetState(kTvRenderStateZWriteEnable);
    g_saved.fog = GetState(kTvRenderStateFogEnable);
    g_saved.filter = GetState(kTvRenderStateTextureFilter);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateTextureFilter, 2);
    g_saved.full = !pausedUnderMenus;
    if (g_saved.full) {
        if (gMV2MainCamera) {
            TvFrame* frame = TvObjectGetFrame(gMV2MainCamera);
            if (frame) TvMatrixInvert(&g_view, TvFrameGetLTM(frame));
        }
        g_saved.vertexAlpha = GetState(kTvRenderStateVertexAlphaEnable);
        g_saved.shade = GetState(kTvRenderStateShadeMode);
        TvRenderStateGet(kTvRenderStateTextureRaster, &g_saved.raster);
        TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
        TvRenderStateSet(kTvRenderStateShadeMode, 2);
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2Get2DTextureRaster(0)));
    } else {
        TvRenderStateSet(kTvRenderStateZTestEnable, g_saved.zTest);
        TvRenderStateSet(kTvRenderStateZWriteEnable, g_saved.zWrite);
    }
    MV2MapSetVisited(MV2GetPlayerObject());
    return g_saved.full ? 1 : 0;
}

const TvMatrix* MV2HudViewMatrix() {
    return &g_view;
}

void MV2DrawHudOverlay() {
    float sx, sy;
    MV2GetScreenScale(&sx, &sy);
    if (gMV2Hud.frameRateShown) {
        const uint32_t ms = MV2GetFrameMilliseconds();
        MV2HudDrawNumber(int32_t(ms ? 1000 / ms : 0), 630, 372, 0xFFFFFFFFu, 2);
    }
    if (gMV2Hud.mode == 0 && gMV2GameState.current == 0) {
        if (int32_t(gMV2Hud.bannerEnd - MV2GetGameTime()) > 0)
            TextRow(gMV2Hud.bannerRow, 320.0f * sx, 30.0f * sy, 320, 22, 0, kMV2HudColour);
        if (gMV2Hud.tableShown) {
            Sprite(27, int32_t(10 + 540 * sx), int32_t(55 * sy), 0.5f, 0.5f, kMV2HudColour);
            Sprite(3, int32_t(32 + 540 * sx), int32_t(48 * sy), 1.0f, 1.0f, kMV2HudColour);
            const int32_t n = std::min(gMV2Hud.rowCount, kMV2HudScoreRows);
            for (int32_t k = 0; k < n; ++k) {
                MV2HudScoreRow& r = gMV2Hud.rows[k];
                const float right = 540.0f * sx - 10.0f;
                TextDescriptor(&r.text, right - 80.0f, float(20 * k + 20) + 64.0f * sy, 160, 20, 2,
                               kMV2HudColour);
                const int32_t y = int32_t(64 * sy) + 20 * k + 10;
                MV2HudDrawNumber(r.value, int32_t(10 + 540 * sx), y, kMV2HudColour, 1);
                MV2HudDrawNumber(r.score, int32_t(40 + 540 * sx), y, kMV2HudColour, 1);
            }
        }
        MV2DrawRepairDroneHud();
        MV2Mission20DrawStatus();
    }
    MV2HudEndDraw();
}

void MV2HudEndDraw() {
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, g_saved.zTest);
    TvRenderStateSet(kTvRenderStateZWriteEnable, g_saved.zWrite);
    TvRenderStateSet(kTvRenderStateFogEnable, g_saved.fog);
    TvRenderStateSet(kTvRenderStateTextureFilter, g_saved.filter);
    if (g_saved.full) {
        TvRenderStateSet(kTvRenderStateVertexAlphaEnable, g_saved.vertexAlpha);
        TvRenderStateSet(kTvRenderStateShadeMode, g_saved.shade);
        TvRenderStateSet(kTvRenderStateTextureRaster, g_saved.raster);
    }
}

namespace {

constexpr int32_t kHalvedSprites[] = {145, 146, 150, 154, 155, 156, 158, 159, 160,
                                      161, 162, 163, 165, 166, 167, 305, 306};

void DrawSpriteElement(const MV2HudLayout& layout, const MV2HudElement& e, int32_t cameraMode) {
    const int32_t sprite = e.Int(0);
    float sx = layout.scaleX, sy = layout.scaleY;
    if (cameraMode != 1 && std::find(std::begin(kHalvedSprites), std::end(kHalvedSprites), sprite) !=
                               std::end(kHalvedSprites))
        sx *= 0.5f, sy *= 0.5f;
    uint32_t colour = MV2HudColourAlpha(e.Word(3));
    if (sprite == 200 && gMV2Hud.blinkTimer >= 2000) colour = kMV2HudRed;
    Sprite(sprite, e.Int(1), e.Int(2), sx, sy, colour);
}

void DrawEnergyBar(const MV2HudElement& e, MV2Object* sub, int32_t cameraMode) {
    const float f = MV2HudEnergyFraction(sub);
    const float scale = cameraMode == 1 ? 1.0f : 0.5f;
    const MV2SpriteCell cell = MV2GetSpriteCell(e.Int(0));
    MV2SpriteDraw q = {};
    q.x = e.Int(1), q.y = e.Int(2), q.sprite = e.Int(0), q.scaleX = q.scaleY = scale;
    const uint32_t elementColour = MV2HudColourAlpha(e.Word(3));
    if (cell.bottom - cell.top > cell.right - cell.left) {
        const float empty = 1.0f - f;
        q.left = 0.0f, q.right = 1.0f, q.top = 0.0f, q.bottom = empty;
        q.colour0 = q.colour1 = elementColour;
        MV2Draw2DSpritePart(&q);
        q.top = empty, q.bottom = 1.0f;
        q.colour0 = q.colour1 =
            empty <= 0.5f ? kMV2HudColour : (empty >= 0.75f ? kMV2HudRed : kMV2HudYellow);
        MV2Draw2DSpritePart(&q);
    } else {
        q.left = 0.0f, q.right = f, q.top = 0.0f, q.bottom = 1.0f;
        q.colour0 = q.colour1 = f >= 0.5f ? kMV2HudColour : (f > 0.25f ? kMV2HudYellow : kMV2HudRed);
        MV2Draw2DSpritePart(&q);
    }
}

void DrawDepth(const MV2HudElement& e, MV2Object* sub) {
    const int32_t d = int32_t(MV2GetObjectDepth(sub));
    const float limit = MV2GetCraftDepthLimit(sub);
    int32_t x = e.Int(1), y = e.Int(2);
    const int32_t type = MV2HudObjectType(sub), width = MV2HudScreenWidth();
    if (type == 0 && width == 800) y -= 25;
    if (type == 0 && width == 1024) y -= 70;
    if (type == 84 && width == 1024) x -= 10, y -= 30;
    if (type == 329 && width == 1024) x -= 30;
    uint32_t colour = MV2HudColourAlpha(e.Word(3));
    if (float(d) >= limit - 25.0f) {
        colour = kMV2HudRed;
        uint32_t warning = kMV2HudRed;
        if (float(d) >= limit) {
            gMV2Hud.warningPulse += MV2GetFrameMilliseconds();
            warning = 0xFF000000u | (gMV2Hud.warningPulse & 255) << 16;
        }
        TextRow(kRowDepthWarning, float(x), float(y + 25), 30, 20, 0, warning);
    } else if (float(d) >= limit - 50.0f) {
        colour = kMV2HudYellow;
    }
    MV2HudDrawNumber(d, x, y, colour, 0);
}

void DrawElement(const MV2HudLayout& layout, const MV2HudElement& e, MV2Object* sub,
                 int32_t cameraMode) {
    switch (e.kind) {
    case 0: DrawSpriteElement(layout, e, cameraMode); break;
    case 1:
        if (gMV2GameType == 2) MV2RadarDrawElement(sub, &layout, &e);
        break;
    case 2: case 4: case 21: MV2DrawWeaponPanel(sub, &e); break;
    case 3: case 5: case 20: MV2DrawToolPanel(sub, &e); break;
    case 6: DrawEnergyBar(e, sub, cameraMode); break;
    case 7: {
        MV2Object* player = MV2GetPlayerObject();
        if (MV2HudObjectType(player) != 167) break;
        const bool on = MV2ObjectSendMessage(player, 68, 0, 0) != 0;
        Sprite(e.Int(0), e.Int(1), e.Int(2), 1.0f, 1.0f, on ? kMV2HudYellow : MV2HudColourAlpha(e.Word(3)));
        break;
    }
    case 8: {
        const intptr_t at = intptr_t((uint32_t(e.Int(2)) << 16) | (uint32_t(e.Int(1)) & 0xFFFF));
        MV2Set2DColourARGB(MV2HudColourAlpha(e.Word(3)));
        MV2SendToolCommand(sub, 4, 68, at, reinterpret_cast<void*>(intptr_t(e.Word(0))));
        break;
    }
    case 9: {
        const intptr_t charge = MV2SendToolCommand(sub, 4, 59, 0, 0) & 255;
        MV2SpriteDraw q = {};
        q.x = e.Int(1), q.y = e.Int(2), q.sprite = e.Int(0), q.scaleX = q.scaleY = 1.0f;
        q.colour0 = q.colour1 = Rgba(e.Word(3));
        q.sweep = float(charge) / 255.0f;
        MV2Draw2DSpriteSweep(&q);
        break;
    }
    case 10: {
        const uint32_t colour = MV2GetHeat() > 0 ? MV2GetHeatColour() : MV2HudColourAlpha(e.Word(3));
        Sprite(e.Int(0), e.Int(1), e.Int(2), 1.0f, 1.0f, colour);
        break;
    }
    case 11: MV2DrawTalkingFace(e.Int(1), e.Int(2), uint8_t(e.Word(3) >> 24)); break;
    case 12: MV2UpdateTarget(); break;
    case 13: {
        MV2HudTextBox box = {e.Int(0), e.Int(1), e.Int(2), e.Int(3), e.Word(5), Rgba(e.Word(6))};
        MV2DrawHudMessageText(&box);
        break;
    }
    case 15: case 16: MV2RadarDrawLevelSign(sub, e.kind == 16, e.Int(0), e.Int(1), e.Int(2),
                                            MV2HudColourAlpha(e.Word(3)));
        break;
    case 17: MV2RadarDrawHeadingTape(e.Int(0), e.Int(1), e.Int(2), MV2HudColourAlpha(e.Word(3))); break;
    case 18: DrawDepth(e, sub); break;
    case 22: MV2HudDrawGauge(&e, MV2HudEnergyFraction(sub), nullptr); break;
    default: break;
    }
}

void DrawBuiltIn() {
    MV2DrawBuiltInSubtitle(MV2HudScreenWidth());
}

} // namespace

void MV2RenderHud(MV2Object* object) {
    gMV2Hud.blinkTimer = (gMV2Hud.blinkTimer + MV2GetFrameMilliseconds()) % 4000;
    if (!object) {
        if (MV2HudBeginDraw(1)) DrawBuiltIn();
        MV2HudEndDraw();
        return;
    }
    MV2HudGetObjective(nullptr, nullptr);
    if (!MV2HudBeginDraw(1)) {
        MV2HudEndDraw();
        return;
    }
    MV2UpdateScreenCrackLevel(object);
    if (!gMV2HudFile.data) {
        MV2HudEndDraw();
        return;
    }
    if (object == MV2GetPlayerObject()) MV2ObjectSendMessage(object, 68, 0, 0);
    const int32_t cameraMode = MV2GetCameraMode();
    bool haveMode = true;
    uint32_t mode = gMV2Hud.mode;
    if (cameraMode == 0 || cameraMode == 2) {
        if (mode == 0) mode = 4;
    } else if (cameraMode != 1) {
        haveMode = false;
    }
    MV2HudLayout layout;
    if (haveMode && mode == 3) {
        MV2DrawHudMessageHistory();
    } else if (haveMode && mode == 5) {
        DrawBuiltIn();
    } else if (haveMode &&
               MV2HudFindLayout(MV2HudObjectType(object), MV2HudScreenWidth(), mode, &layout)) {
        if (mode == 4) MV2RadarDrawReticle(object, &layout);
        MV2RadarPrepareObjective(object);
        MV2HudElement e = {};
        while (MV2HudNextElement(&layout, &e)) DrawElement(layout, e, object, cameraMode);
        MV2SendToolCommand(MV2GetPlayerSub(), 0, 68, 0, 0);
        MV2HudDrawClock(5, 20, 1);
    } else {
        MV2HudDrawClock(5, 20, 1);
    }
    MV2HudEndDraw();
}
