// The default behaviour of the five menu item kinds: creation from the file items, input,
// values, list entries and drawing in 640 x 480 units times the screen scale.
#include "game/frontend/menuitems.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/memory.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "platform/winmm/winmm.h"
#include "shell/bytes.h"
#include "shell/controls.h"

namespace {

constexpr size_t Align8(size_t n) {
    return (n + 7) & ~size_t(7);
}

int32_t Word(const uint8_t* fileItem, int32_t number) { // counted from 1
    return int32_t(MV2ReadU32(fileItem + 4 * (number - 1)));
}

uint32_t State(const MV2MenuItemHeader* item) {
    return item->flags & kMV2ItemStateMask;
}
void SetState(MV2MenuItemHeader* item, uint32_t state) {
    item->flags = (item->flags & ~kMV2ItemStateMask) | (state & kMV2ItemStateMask);
}

int32_t Send(MV2MenuInstance* instance, int32_t message, const MV2MenuItemHeader* item,
             intptr_t a0 = 0, intptr_t a1 = 0) {
    return MV2MenuSendMessage(instance, message, int32_t(item->id), a0, a1);
}

struct Box {
    float x, y, w, h; // centre and size in screen pixels
};
Box ScreenBox(const MV2MenuItemHeader* item) {
    float sx = 1, sy = 1;
    MV2GetScreenScale(&sx, &sy);
    return {item->x * sx, item->y * sy, item->width * sx, item->height * sy};
}

uint32_t LineHeight(const MV2TextDescriptor* d) {
    return d->text ? (MV2ReadU32(d->text) >> 16) & 0xFF : 0;
}

uint8_t Alignment(const MV2MenuItemHeader* item) {
    return uint8_t(int8_t(item->alignment & 0xFF));
}

// Focus (message 6) as buttons take it: redraw; 1 here, 0 none.
void TakeFocus(MV2MenuInstance* instance, MV2MenuItemHeader* item, intptr_t on) {
    item->flags |= kMV2ItemRedraw;
    if (on) {
        MV2MenuSetFocusItem(instance, int32_t(item->id));
    } else {
        item->flags &= ~kMV2ItemFocused;
        if (instance->focused == int32_t(item->id)) instance->focused = kMV2MenuNoItem;
    }
}

// Previous (147, 157) or next (148, 158, 169) selectable item; true when the key moved.
bool Navigate(MV2MenuInstance* instance, MV2MenuItemHeader* item, intptr_t key) {
    int32_t forward;
    if (key == kMV2KeyUp || key == kMV2KeyPad8) {
        forward = 0;
    } else if (key == kMV2KeyDown || key == kMV2KeyPad2 || key == kMV2KeyTab) {
        forward = 1;
    } else {
        return false;
    }
    MV2MenuItemHeader* next = MV2MenuFindNextItem(instance, int32_t(item->id), forward);
    if (!next) return false;
    Send(instance, kMV2MenuFocus, item, 0);
    Send(instance, kMV2MenuFocus, next, 1);
    return true;
}

bool IsLower(intptr_t key) {
    return key == kMV2KeyLeft || key == kMV2KeyPad4;
}
bool IsRaise(intptr_t key) {
    return key == kMV2KeyRight || key == kMV2KeyPad6;
}

void DrawOutline(const Box& b) {
    MV2Draw2DRectOutline(int32_t(b.x - b.w / 2) - 2, int32_t(b.y - b.h / 2) - 2,
                         int32_t(b.x + b.w / 2) + 2, int32_t(b.y + b.h / 2) + 2);
}

uint32_t FrameColour(const MV2MenuItemHeader* item) {
    if (item->flags & kMV2ItemFocused) return kMV2MenuHighlighted;
    if (item->flags & kMV2ItemDisabled) return kMV2MenuDisabled;
    return kMV2MenuNormal;
}

void DrawImage(const MV2MenuImage& image, float x0, float y0, float x1, float y1,
               float uInset = 0.0f) {
    MV2ImageDraw draw = {0xFFFFFFFFu, 0xFFFFFFFFu, x0, x1, y0, y1, image.raster,
                         image.uLeft + uInset, image.vTop + uInset, image.uRight - uInset,
                         image.vBottom - uInset};
    MV2Draw2DImage(&draw);
}

// ---- slider ----

MV2MenuSlider* AsSlider(MV2MenuItemHeader* item) {
    return reinterpret_cast<MV2MenuSlider*>(item);
}

void SetSliderValue(MV2MenuSlider* s, int32_t value) {
    s->value = std::clamp(value, s->minimum, std::max(s->minimum, s->maximum));
    if (s->maximum < s->minimum) s->value = s->minimum;
    s->h.flags |= kMV2ItemRedraw;
}

void SliderMouse(MV2MenuInstance* instance, MV2MenuSlider* s, int32_t x, int32_t y, int32_t button) {
    MV2MenuItemHeader& h = s->h;
    if (!button) {
        h.kindWord = -1;
        return;
    }
    const int32_t width = int32_t(h.width), height = int32_t(h.height);
    if (h.flags & kMV2ItemScrollBarStyle) {
        const int32_t track = height - 32 - 20;
        if (s->maximum <= 0 || track <= 0) { // no range: the thumb stays at the top
            s->value = s->minimum;
            h.kindWord = -1;
            return;
        }
        const int32_t thumb = s->value * track / s->maximum + 16;
        const uint32_t now = timeGetTime();
        if (y < 16 || y > height - 16) {
            if (now - s->lastStep < 100) return;
            if (y < 16 && s->value >= 1) {
                s->lastStep = now;
                SetSliderValue(s, s->value - 1);
            } else if (y > height - 16 && s->value < s->maximum) {
                s->lastStep = now;
                SetSliderValue(s, s->value + 1);
            }
            return;
        }
        if (y > thumb && y < thumb + 20) {
            if (h.kindWord == -1) {
                h.kindWord = y - thumb;
            } else {
                SetSliderValue(s, (y - h.kindWord - 16) * s->maximum / track);
            }
        } else {
            h.kindWord = -1;
        }
        return;
    }
    if (y < 1 || y > height - 1) return;
    const int32_t range = s->maximum - s->minimum;
    const MV2MenuImage& fill = s->images[5];
    const int32_t active = int32_t(float(width) * (fill.textRight - fill.textLeft));
    if (range <= 0 || active <= 0) {
        s->value = s->minimum;
        return;
    }
    const int32_t offset = int32_t(float(active) / float(range) - float(width - active) / 2.0f);
    int64_t value = s->minimum + int64_t(x + offset) * range / active;
    SetSliderValue(s, int32_t(std::clamp<int64_t>(value, s->minimum, s->maximum)));
    (void)instance;
}

void SliderDraw(MV2MenuSlider* s) {
    MV2MenuItemHeader& h = s->h;
    const Box b = ScreenBox(&h);
    const float left = b.x - b.w / 2, top = b.y - b.h / 2, right = b.x + b.w / 2,
                bottom = b.y + b.h / 2;
    if (h.flags & kMV2ItemScrollBarStyle) {
        float sx = 1, sy = 1;
        MV2GetScreenScale(&sx, &sy);
        MV2Set2DColour(0, 0, 0, 64);
        MV2Draw2DRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom), 0);
        DrawImage(s->images[1], left, top, right, top + 16 * sy, 0.0625f);
        DrawImage(s->images[2], left, bottom - 16 * sy, right, bottom, 0.0625f);
        const int32_t track = int32_t(h.height) - 52;
        const float at = s->maximum > 0 && track > 0 ? float(s->value * track / s->maximum) : 0.0f;
        const float thumbTop = top + (16 + at) * sy;
        DrawImage(s->images[3], left, thumbTop, right, thumbTop + 20 * sy);
        return;
    }
    DrawImage(s->images[0], left, top, right, bottom);
    const MV2MenuImage& fill = s->images[5];
    const int32_t range = s->maximum - s->minimum;
    if (fill.raster && range > 0) {
        const float active = b.w * (fill.textRight - fill.textLeft);
        const float part = float(s->value - s->minimum) / float(range);
        const float fh = b.h * (fill.textBottom - fill.textTop);
        MV2MenuImage shown = fill;
        shown.uRight = fill.uLeft + (fill.uRight - fill.uLeft) * part;
        DrawImage(shown, b.x - active / 2, b.y - fh / 2, b.x - active / 2 + active * part, b.y + fh / 2);
    }
    const bool focused = h.flags & kMV2ItemFocused;
    MV2Set2DColourARGB(focused ? kMV2MenuHighlighted : kMV2MenuNormal);
    MV2DrawTextShadowed({b.x, top - 11}, {b.w, 22}, &s->text, Alignment(&h), 8, focused);
}

// ---- list ----

MV2MenuList* AsList(MV2MenuItemHeader* item) {
    return reinterpret_cast<MV2MenuList*>(item);
}
int32_t Chosen(const MV2MenuList* l) {
    return int32_t(l->selection & 0xFF);
}
int32_t Highlight(const MV2MenuList* l) {
    return int32_t((l->selection >> 8) & 0xFF);
}
int32_t FirstVisible(const MV2MenuList* l) {
    return int32_t((l->selection >> 16) & 0xFF);
}
void SetSelection(MV2MenuList* l, int32_t chosen, int32_t highlight, int32_t first) {
    l->selection = uint32_t(chosen & 0xFF) | uint32_t(highlight & 0xFF) << 8 |
                   uint32_t(first & 0xFF) << 16;
}

void TellBar(MV2MenuInstance* instance, MV2MenuList* l) {
    if (l->scrollBar) SetSliderValue(l->scrollBar, Highlight(l));
    (void)instance;
}

void FreeEntries(MV2MenuList* l) {
    for (MV2MenuListEntry* e = l->head; e;) {
        MV2MenuListEntry* next = e->next;
        TvFree(e);
        e = next;
    }
    l->head = l->tail = nullptr;
    l->count = 0;
}

void ChooseHighlight(MV2MenuInstance* instance, MV2MenuList* l) {
    Send(instance, kMV2MenuSelection, &l->h, Highlight(l));
}

char g_rowText[260];

void ListDraw(MV2MenuInstance* instance, MV2MenuList* l) {
    MV2MenuItemHeader& h = l->h;
    const Box b = ScreenBox(&h);
    MV2Set2DColourARGB(FrameColour(&h) == kMV2MenuHighlighted ? kMV2MenuHighlighted
                       : (h.flags & kMV2ItemDisabled)          ? kMV2MenuDisabled
                                                               : kMV2MenuNormal);
    DrawOutline(b);
    const int32_t rows = int32_t(b.h) / kMV2ListRowHeight;
    float rowWidth = b.w;
    if (l->scrollBar && l->count > rows) {
        MV2MenuSliderHandler(instance, kMV2MenuDraw, &l->scrollBar->h, nullptr);
        rowWidth -= kMV2ScrollBarWidth;
    }
    const bool focused = h.flags & kMV2ItemFocused;
    const bool open = State(&h) & kMV2ListOpen;
    if (!focused) {
        SetSelection(l, Chosen(l), Chosen(l), FirstVisible(l));
        TellBar(instance, l);
    }
    int32_t first = FirstVisible(l);
    if (Highlight(l) < first) first = Highlight(l);
    if (rows > 0 && Highlight(l) >= first + rows) first = Highlight(l) - rows + 1;
    SetSelection(l, Chosen(l), Highlight(l), first);
    const float left = b.x - b.w / 2, top = b.y - b.h / 2;
    int32_t index = 0;
    for (MV2MenuListEntry* e = l->head; e; e = e->next, index++) {
        if (index < first) continue;
        if (index >= first + rows) break;
        const float y = top + float((index - first) * kMV2ListRowHeight);
        if (index == Chosen(l)) {
            MV2Set2DColour(0, 0, 0, 127);
            MV2Draw2DRect(int32_t(left), int32_t(y), int32_t(left + rowWidth),
                          int32_t(y + kMV2ListRowHeight), 0);
        }
        const bool lit = index == Highlight(l) && focused && open;
        const uint32_t colour = lit ? kMV2MenuHighlighted : kMV2MenuNormal;
        if (e->hasText) {
            std::snprintf(g_rowText, sizeof g_rowText, "%s", e->text);
            size_t n = std::strlen(g_rowText);
            // Replace the tail by "..." one character further left until it fits; stop at the
            // first character.
            while (n > 0 && MV2FontGetTextWidth(g_rowText, 0) > int32_t(rowWidth)) {
                n--;
                std::snprintf(g_rowText + n, sizeof g_rowText - n, "...");
            }
            MV2FontDrawTextShadowed(g_rowText, int32_t(left), int32_t(y), colour, 0, lit);
        } else {
            MV2Set2DColourARGB(colour);
            MV2DrawTextShadowed({left + rowWidth / 2, y + kMV2ListRowHeight / 2.0f},
                                {rowWidth, float(kMV2ListRowHeight)}, &e->descriptor, 1, 8, lit);
        }
    }
}

void ListMouse(MV2MenuInstance* instance, MV2MenuList* l, int32_t x, int32_t y, int32_t button) {
    MV2MenuItemHeader& h = l->h;
    if (!(State(&h) & kMV2ListOpen) && !button) return;
    const Box b = ScreenBox(&h);
    const int32_t rows = int32_t(b.h) / kMV2ListRowHeight;
    if (l->scrollBar && l->count > rows && x >= int32_t(b.w) - kMV2ScrollBarWidth) {
        SliderMouse(instance, l->scrollBar, x - (int32_t(b.w) - kMV2ScrollBarWidth), y, button);
        const int32_t value = l->scrollBar->value;
        SetSelection(l, Chosen(l), value, FirstVisible(l));
        SetState(&h, State(&h) | kMV2ListOpen | kMV2ListPressOnBar);
        return;
    }
    SetState(&h, State(&h) & ~kMV2ListPressOnBar);
    const int32_t row = y / kMV2ListRowHeight + FirstVisible(l);
    if (y >= 0 && row < l->count && row - FirstVisible(l) < rows) {
        SetSelection(l, Chosen(l), row, FirstVisible(l));
        TellBar(instance, l);
    }
}

// ---- field ----

MV2MenuField* AsField(MV2MenuItemHeader* item) {
    return reinterpret_cast<MV2MenuField*>(item);
}

void FieldReset(MV2MenuField* f) {
    f->length = 0;
    std::memset(MV2MenuFieldText(f), 0, size_t(f->capacity) + 1);
    f->keyCode = 0;
    f->letters = f->capacity > 5;
}

void FieldStartEditing(MV2MenuField* f) {
    SetState(&f->h, kMV2FieldEditing);
    if (f->capacity != 1) {
        f->length = 0;
        MV2MenuFieldText(f)[0] = 0;
    }
}

bool Typable(const MV2MenuField* f, intptr_t code) {
    if (code >= '0' && code <= '9') return true;
    if (!f->letters) return false;
    return code == ' ' || (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z');
}

char g_keyName[64];
MV2TextDescriptor g_keyText;

void FieldDraw(MV2MenuField* f) {
    MV2MenuItemHeader& h = f->h;
    const Box b = ScreenBox(&h);
    const bool editing = State(&h) & kMV2FieldEditing;
    const bool focused = h.flags & kMV2ItemFocused;
    MV2Set2DColourARGB(FrameColour(&h));
    DrawOutline(b);
    const uint32_t colour = editing ? kMV2MenuHighlighted : kMV2MenuNormal;
    const float left = b.x - b.w / 2, top = b.y - b.h / 2;
    if (f->capacity == 1) {
        if (editing) return; // waiting for a key
        const int32_t code = f->keyCode;
        int32_t textId = MV2MenuKeyNameTextId(code);
        if (code == 301) textId = 458;
        else if (code == 302) textId = 459;
        else if (code >= 300 && code < 400) textId = 457;
        else if (code >= 400) textId = 438;
        if (textId >= 0) {
            g_keyText = {};
            g_keyText.id = uint32_t(textId);
            g_keyText.revealCount = g_keyText.fadeFront = -1;
            MV2GetText(&g_keyText);
            MV2Set2DColourARGB(colour);
            MV2DrawText({b.x, b.y}, {b.w, b.h}, &g_keyText, 0, 8);
            if (code >= 400) {
                std::snprintf(g_keyName, sizeof g_keyName, " %d", code - 399);
                MV2FontDrawTextAnchored(g_keyName, int32_t(b.x + float(g_keyText.width) / 2),
                                        int32_t(b.y), colour, 0, 3);
            }
        } else if (code > 0) {
            std::snprintf(g_keyName, sizeof g_keyName, "%c", code & 0xFF);
            MV2FontDrawTextAnchored(g_keyName, int32_t(b.x), int32_t(b.y), colour, 0, 0);
        }
        return;
    }
    const char* text = MV2MenuFieldText(f);
    const int32_t room = int32_t(b.w) - (focused ? 10 : 0);
    while (*text && MV2FontGetTextWidth(text, 0) > room) text++;
    MV2FontDrawText(text, int32_t(left) + 2, int32_t(top), colour, 0);
    if (editing && focused && timeGetTime() % 1000 < 500) {
        const int32_t x = int32_t(left) + 2 + MV2FontGetTextWidth(text, 0);
        MV2Set2DColourARGB(kMV2MenuHighlighted);
        MV2Draw2DRect(x, int32_t(top), x + 8, int32_t(top) + 20, 0);
    }
}

constexpr int32_t kKeyNames[][2] = {
    {141, 1414}, {142, 1415}, {143, 1416}, {144, 1417}, {145, 1418}, {146, 1419}, {147, 1420},
    {148, 1421}, {149, 1422}, {150, 1423}, {151, 1412}, {152, 1413}, {153, 1403}, {154, 1409},
    {155, 1405}, {156, 1410}, {157, 1404}, {158, 1408}, {159, 1406}, {160, 1407}, {161, 1402},
    {162, 1401}, {163, 1400}, {164, 1399}, {165, 1398}, {166, 1397}, {167, 1411}, {168, 1427},
    {171, 1396}, {172, 1431}, {173, 1428}, {174, 1433}, {175, 1430},
};

} // namespace

size_t MV2MenuItemRuntimeSize(uint32_t kind, uint32_t capacity) {
    switch (kind) {
    case 0: return Align8(sizeof(MV2MenuButton));
    case 1: return Align8(sizeof(MV2MenuLabel));
    case 2: return Align8(sizeof(MV2MenuSlider));
    case 3: return Align8(sizeof(MV2MenuList));
    case 4:
        return Align8(sizeof(MV2MenuField) + std::min<uint32_t>(capacity, kMV2FieldMaxCapacity) + 1);
    default: return 0;
    }
}

int32_t MV2MenuFieldCapacity(const uint8_t* fileItem) {
    const uint32_t capacity = MV2ReadU32(fileItem + 32);
    return int32_t(std::min<uint32_t>(capacity, kMV2FieldMaxCapacity));
}

int32_t MV2MenuKeyNameTextId(int32_t code) {
    for (const auto& k : kKeyNames)
        if (k[0] == code) return k[1];
    return -1;
}

MV2TextDescriptor* MV2MenuItemText(MV2MenuItemHeader* item) {
    switch (item->kind) {
    case 0: return &reinterpret_cast<MV2MenuButton*>(item)->text;
    case 1: return &reinterpret_cast<MV2MenuLabel*>(item)->text;
    case 2: return &reinterpret_cast<MV2MenuSlider*>(item)->text;
    default: return nullptr;
    }
}

static void InitText(MV2TextDescriptor* d, uint32_t id) {
    *d = {};
    d->id = id;
    d->revealCount = -1;
    d->fadeFront = -1;
}

uint32_t MV2MenuButtonCreate(MV2MenuItemHeader* item, const uint8_t* file) {
    MV2MenuItemInitFromFile(item, file, uint32_t(MV2MenuItemRuntimeSize(0, 0)));
    item->flags &= ~kMV2ItemDisabled;
    InitText(&reinterpret_cast<MV2MenuButton*>(item)->text, uint32_t(Word(file, 9)));
    return kMV2MenuItemFileSize[0];
}

uint32_t MV2MenuLabelCreate(MV2MenuItemHeader* item, const uint8_t* file) {
    MV2MenuItemInitFromFile(item, file, uint32_t(MV2MenuItemRuntimeSize(1, 0)));
    auto* label = reinterpret_cast<MV2MenuLabel*>(item);
    InitText(&label->text, uint32_t(Word(file, 18)));
    MV2MenuImageFromFile(file + 32, &label->image);
    return kMV2MenuItemFileSize[1];
}

uint32_t MV2MenuSliderCreate(MV2MenuItemHeader* item, const uint8_t* file) {
    MV2MenuItemInitFromFile(item, file, uint32_t(MV2MenuItemRuntimeSize(2, 0)));
    auto* s = AsSlider(item);
    SetState(item, 0);
    item->kindWord = -1;
    s->minimum = Word(file, 63);
    s->maximum = Word(file, 64);
    for (int32_t i = 0; i < 6; i++) MV2MenuImageFromFile(file + 32 + 36 * i, &s->images[i]);
    InitText(&s->text, uint32_t(Word(file, 65)));
    s->mode = uint32_t(Word(file, 66)) & 1;
    s->value = s->minimum;
    return kMV2MenuItemFileSize[2];
}

uint32_t MV2MenuListCreate(MV2MenuItemHeader* item, const uint8_t* file) {
    MV2MenuItemInitFromFile(item, file, uint32_t(MV2MenuItemRuntimeSize(3, 0)));
    auto* l = AsList(item);
    l->fileValue = Word(file, 81);
    l->scrollBarFlag = Word(file, 82);
    return kMV2MenuItemFileSize[3];
}

uint32_t MV2MenuFieldCreate(MV2MenuItemHeader* item, const uint8_t* file) {
    const int32_t capacity = MV2MenuFieldCapacity(file);
    MV2MenuItemInitFromFile(item, file, uint32_t(MV2MenuItemRuntimeSize(4, uint32_t(capacity))));
    auto* f = AsField(item);
    SetState(item, 0);
    f->capacity = capacity;
    f->word10 = Word(file, 10);
    f->letters = 1;
    return kMV2MenuItemFileSize[4];
}

const MV2MenuItemCreator gMV2MenuItemCreators[5] = {MV2MenuButtonCreate, MV2MenuLabelCreate,
                                                    MV2MenuSliderCreate, MV2MenuListCreate,
                                                    MV2MenuFieldCreate};

bool MV2MenuTextHasHotKey(const MV2TextDescriptor* d, int32_t character) {
    if (!d || !d->text) return false;
    const uint32_t units = MV2ReadU32(d->text) & 0xFFFF;
    const uint8_t* p = d->text + 8;
    const uint8_t* end = gMV2MenuResource.languages
                             ? gMV2MenuResource.languages + gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size
                             : nullptr;
    auto upper = [](int32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    // Walk units up to the end marker; the first parameter pair names the hot key.
    for (uint32_t i = 0; i < units + 64; i++, p += 2) {
        if (end && p + 4 > end) return false;
        const uint16_t u = uint16_t(p[0] | p[1] << 8);
        if (u == kMV2UnitEnd) return false;
        if (u == kMV2UnitParam) {
            const uint16_t v = uint16_t(p[2] | p[3] << 8);
            return upper(v) == upper(character);
        }
    }
    return false;
}

int32_t MV2MenuButtonHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                             const intptr_t* args) {
    auto* button = reinterpret_cast<MV2MenuButton*>(item);
    switch (message) {
    case kMV2MenuCreate: return 1;
    case kMV2MenuPressed:
        item->flags |= kMV2ItemPressed | kMV2ItemRedraw;
        instance->pressed = int32_t(item->id);
        return 0;
    case kMV2MenuReleased:
        item->flags = (item->flags & ~kMV2ItemPressed) | kMV2ItemRedraw;
        instance->pressed = -1;
        return 0;
    case kMV2MenuFocus: TakeFocus(instance, item, args[0]); return 0;
    case kMV2MenuKeyUp:
        if (args[0] == kMV2KeyEnter) {
            Send(instance, kMV2MenuReleased, item);
            Send(instance, kMV2MenuActivated, item);
        } else {
            Navigate(instance, item, args[0]);
        }
        return 0;
    case kMV2MenuKeyDown:
        if (args[0] == kMV2KeyEnter) Send(instance, kMV2MenuPressed, item);
        return 0;
    case kMV2MenuHotKey:
        if (MV2MenuTextHasHotKey(&button->text, int32_t(args[0]))) Send(instance, kMV2MenuActivated, item);
        return 0;
    case kMV2MenuDraw: {
        uint32_t colour = kMV2MenuNormal;
        bool shadow = false;
        if (item->flags & kMV2ItemPressed) colour = kMV2MenuHighlighted;
        else if (item->flags & kMV2ItemDisabled) colour = kMV2MenuDisabled;
        else if (item->flags & kMV2ItemFocused) colour = kMV2MenuHighlighted, shadow = true;
        Box b = ScreenBox(item);
        const float line = float(LineHeight(&button->text));
        if ((item->id & 0xC0000000u) == 0x40000000u) b.h = line;
        else b.h = std::max(b.h, line);
        MV2Set2DColourARGB(colour);
        return MV2DrawTextShadowed({b.x, b.y}, {b.w, b.h}, &button->text, Alignment(item), 8, shadow);
    }
    default: return 0;
    }
}

void MV2MenuLabelDraw(MV2MenuInstance*, MV2MenuItemHeader* item) {
    auto* label = reinterpret_cast<MV2MenuLabel*>(item);
    const Box b = ScreenBox(item);
    const float left = b.x - b.w / 2, top = b.y - b.h / 2;
    MV2TextPoint centre = {b.x, b.y}, size = {b.w, 44};
    if (label->image.raster) {
        DrawImage(label->image, left, top, left + b.w, top + b.h);
        const MV2MenuImage& i = label->image;
        centre = {left + b.w * (i.textLeft + i.textRight) / 2, top + b.h * (i.textTop + i.textBottom) / 2};
        size = {b.w * (i.textRight - i.textLeft), b.h * (i.textBottom - i.textTop)};
    }
    MV2Set2DColourARGB(kMV2MenuNormal);
    MV2DrawText(centre, size, &label->text, Alignment(item), 8);
}

int32_t MV2MenuLabelHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                            const intptr_t* args) {
    switch (message) {
    case kMV2MenuCreate: return 1;
    case kMV2MenuFocus:
        instance->focused = args[0] ? int32_t(item->id) : kMV2MenuNoItem;
        return 0;
    case kMV2MenuDraw: MV2MenuLabelDraw(instance, item); return 0;
    default: return 0;
    }
}

int32_t MV2MenuSliderHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                             const intptr_t* args) {
    MV2MenuSlider* s = AsSlider(item);
    static const intptr_t kNone[3] = {0, 0, 0};
    if (!args) args = kNone;
    const intptr_t key = args[0];
    switch (message) {
    case kMV2MenuCreate: item->kindWord = -1; return 1;
    case kMV2MenuFocus: TakeFocus(instance, item, args[0]); return 0;
    case kMV2MenuTick:
        if (!(item->flags & kMV2ItemFocused)) {
            SetState(item, State(item) & ~(kMV2SliderLowerHeld | kMV2SliderRaiseHeld));
        } else if (s->maximum > s->minimum) {
            if ((State(item) & kMV2SliderRaiseHeld) && s->value < s->maximum) s->value++, item->flags |= kMV2ItemRedraw;
            if ((State(item) & kMV2SliderLowerHeld) && s->value > s->minimum) s->value--, item->flags |= kMV2ItemRedraw;
        }
        if (item->flags & kMV2ItemRedraw) {
            item->flags &= ~kMV2ItemRedraw;
            Send(instance, kMV2MenuValueChanged, item, s->value);
        }
        return 0;
    case kMV2MenuKeyUp:
        if (Navigate(instance, item, key)) return 0;
        if (s->mode & 1) {
            int32_t value = s->value;
            if (IsLower(key) && value > s->minimum) value--;
            else if (IsRaise(key) && value < s->maximum) value++;
            if (value != s->value) {
                s->value = value;
                MV2MenuSendMessage(instance, kMV2MenuValueChanged, kMV2MenuFocusedItem, value);
            }
        } else if (IsLower(key)) {
            SetState(item, State(item) & ~kMV2SliderLowerHeld);
        } else if (IsRaise(key)) {
            SetState(item, State(item) & ~kMV2SliderRaiseHeld);
        }
        return 0;
    case kMV2MenuKeyDown:
        if (s->mode & 1) return 0;
        if (IsLower(key)) SetState(item, (State(item) | kMV2SliderLowerHeld) & ~kMV2SliderRaiseHeld);
        else if (IsRaise(key)) SetState(item, (State(item) | kMV2SliderRaiseHeld) & ~kMV2SliderLowerHeld);
        return 0;
    case kMV2MenuActivated: SetState(item, State(item) | kMV2SliderActivated); return 0;
    case kMV2MenuSetValue: SetSliderValue(s, int32_t(args[0])); return 0;
    case kMV2MenuGetValue: return s->value;
    case kMV2MenuSetRange:
        s->minimum = int32_t(args[0]);
        s->maximum = int32_t(args[1]);
        SetSliderValue(s, s->value);
        return 0;
    case kMV2MenuMouse:
        SliderMouse(instance, s, int32_t(args[0]), int32_t(args[1]), int32_t(args[2]));
        return 0;
    case kMV2MenuDraw: SliderDraw(s); return 0;
    default: return 0;
    }
}

int32_t MV2MenuListCreateScrollBar(MV2MenuInstance*, MV2MenuList* l) {
    if (!l->scrollBarFlag) return 1;
    auto* bar = static_cast<MV2MenuSlider*>(TvCalloc(1, sizeof(MV2MenuSlider)));
    if (!bar) return 0;
    MV2MenuItemHeader& h = bar->h;
    h.id = 0x40000000u | (l->h.id & 0xFFF) << 16;
    h.size = uint32_t(sizeof(MV2MenuSlider));
    h.kind = 2;
    h.width = kMV2ScrollBarWidth;
    h.height = l->h.height;
    h.x = l->h.x + l->h.width / 2 - kMV2ScrollBarWidth / 2.0f;
    h.y = l->h.y;
    h.kindWord = -1;
    h.fileItem = l->h.fileItem;
    h.flags = kMV2ItemRedraw | kMV2ItemScrollBarStyle | kMV2ItemDisabled;
    bar->mode = 1;
    MV2MenuImageFromFile(l->h.fileItem + 176, &bar->images[1]);
    bar->images[2] = bar->images[1];
    MV2MenuImageFromFile(l->h.fileItem + 284, &bar->images[3]);
    bar->minimum = 0;
    bar->maximum = std::max(0, l->count - 1);
    l->scrollBar = bar;
    return 1;
}

int32_t MV2MenuListHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                           const intptr_t* args) {
    MV2MenuList* l = AsList(item);
    const intptr_t key = args[0];
    const bool open = State(item) & kMV2ListOpen;
    switch (message) {
    case kMV2MenuCreate:
        if (!MV2MenuListCreateScrollBar(instance, l)) return 0;
        Send(instance, kMV2MenuSelection, item, 0);
        return 1;
    case kMV2MenuDestroy:
        TvFree(l->scrollBar);
        l->scrollBar = nullptr;
        FreeEntries(l);
        SetSelection(l, 0, 0, 0);
        return 0;
    case kMV2MenuFocus:
        TakeFocus(instance, item, args[0]);
        SetState(item, 0);
        return 0;
    case kMV2MenuKeyUp:
        if (key == kMV2KeyTab) {
            Navigate(instance, item, key);
        } else if (key == kMV2KeyEnter) {
            if (open) {
                ChooseHighlight(instance, l);
                MV2MenuMoveFocus(instance, int32_t(item->id), 1);
            } else {
                SetState(item, State(item) | kMV2ListOpen);
            }
        } else if (open && (key == kMV2KeyUp || key == kMV2KeyPad8)) {
            if (Highlight(l) > 0) SetSelection(l, Chosen(l), Highlight(l) - 1, FirstVisible(l));
            TellBar(instance, l);
        } else if (open && (key == kMV2KeyDown || key == kMV2KeyPad2)) {
            if (Highlight(l) + 1 < l->count) SetSelection(l, Chosen(l), Highlight(l) + 1, FirstVisible(l));
            TellBar(instance, l);
        } else if (!open) {
            Navigate(instance, item, key);
        }
        return 0;
    case kMV2MenuActivated:
        SetState(item, State(item) | kMV2ListOpen);
        if (!(State(item) & kMV2ListPressOnBar)) ChooseHighlight(instance, l);
        return 0;
    case kMV2MenuSelection:
        if (key >= 0 && key < std::max(1, l->count)) SetSelection(l, int32_t(key), int32_t(key), FirstVisible(l));
        TellBar(instance, l);
        return 0;
    case kMV2MenuSetValue: {
        int32_t chosen = int32_t(key);
        if (chosen == -1) chosen = l->scrollBar ? l->scrollBar->value : 0;
        if (chosen >= 0 && chosen < l->count) SetSelection(l, chosen, chosen, FirstVisible(l));
        TellBar(instance, l);
        return 0;
    }
    case kMV2MenuGetValue: return Chosen(l);
    case kMV2MenuFindSubItem:
        return l->scrollBar && int32_t(l->scrollBar->h.id) == int32_t(key) ? 1 : 0;
    case kMV2MenuAddEntry: {
        if (l->count >= kMV2ListMaxEntries) return 0;
        const char* text = reinterpret_cast<const char*>(args[0]);
        const size_t length = text ? std::strlen(text) : 0;
        auto* e = static_cast<MV2MenuListEntry*>(TvCalloc(1, sizeof(MV2MenuListEntry) + length));
        if (!e) return 0;
        InitText(&e->descriptor, uint32_t(args[1]));
        if (text) {
            std::memcpy(e->text, text, length + 1);
            e->hasText = 1;
        } else {
            MV2GetText(&e->descriptor);
        }
        if (l->tail) l->tail->next = e;
        else l->head = e;
        l->tail = e;
        l->count++;
        if (l->scrollBar) {
            l->scrollBar->minimum = 0;
            l->scrollBar->maximum = l->count - 1;
            SetSliderValue(l->scrollBar, l->scrollBar->value);
        }
        return 1;
    }
    case kMV2MenuMouse: ListMouse(instance, l, int32_t(args[0]), int32_t(args[1]), int32_t(args[2])); return 0;
    case kMV2MenuDraw: ListDraw(instance, l); return 0;
    default: return 0;
    }
}

int32_t MV2MenuFieldHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                            const intptr_t* args) {
    MV2MenuField* f = AsField(item);
    char* text = MV2MenuFieldText(f);
    const intptr_t key = args[0];
    const bool editing = State(item) & kMV2FieldEditing;
    switch (message) {
    case kMV2MenuCreate: FieldReset(f); return 1;
    case kMV2MenuFocus:
        TakeFocus(instance, item, args[0]);
        SetState(item, 0);
        return 0;
    case kMV2MenuTick: f->lastTick = timeGetTime(); return 0;
    case kMV2MenuKeyUp:
        if (editing && f->capacity == 1) return 0; // the key comes as a raw key
        if (key == kMV2KeyEnter) {
            if (!editing) {
                FieldStartEditing(f);
            } else {
                SetState(item, 0);
                MV2MenuMoveFocus(instance, int32_t(item->id), 1);
            }
        } else if (!editing) {
            Navigate(instance, item, key);
        } else if (key == kMV2KeyDelete || key == kMV2KeyBackspace) {
            if (f->length > 0) text[--f->length] = 0;
        } else if (f->length < f->capacity && Typable(f, key)) {
            text[f->length++] = char(key);
            text[f->length] = 0;
        }
        return 0;
    case kMV2MenuActivated:
        if (editing) SetState(item, 0);
        else FieldStartEditing(f);
        return 0;
    case kMV2MenuRawKey:
        if (f->capacity == 1 && editing && MV2IsKeyBindable(int32_t(key))) {
            f->keyCode = int32_t(key);
            SetState(item, 0);
            return 1;
        }
        return 0;
    case kMV2MenuSetValue:
        if (f->capacity == 1) {
            f->keyCode = int32_t(key);
        } else {
            const char* from = reinterpret_cast<const char*>(args[0]);
            int32_t n = std::clamp<int32_t>(int32_t(args[1]), 0, f->capacity);
            if (!from) n = 0;
            std::memset(text, 0, size_t(f->capacity) + 1);
            if (n) std::memcpy(text, from, size_t(n));
            f->length = int32_t(std::strlen(text));
        }
        item->flags |= kMV2ItemRedraw;
        return 0;
    case kMV2MenuGetValue: {
        if (f->capacity == 1) return f->keyCode;
        char* out = reinterpret_cast<char*>(args[0]);
        const intptr_t size = args[1];
        if (!out || size <= 0) return f->length;
        const intptr_t n = std::min<intptr_t>(size - 1, f->length);
        std::memcpy(out, text, size_t(n));
        out[n] = 0;
        return int32_t(n);
    }
    case kMV2MenuDraw: FieldDraw(f); return 0;
    default: return 0;
    }
}

const MV2MenuItemHandler gMV2MenuItemHandlers[5] = {MV2MenuButtonHandler, MV2MenuLabelHandler,
                                                    MV2MenuSliderHandler, MV2MenuListHandler,
                                                    MV2MenuFieldHandler};
