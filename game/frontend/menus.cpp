// Menu instances: two buffers from the resource file, the current instance that takes input
// and the closing one drawn once more; message dispatch, focus, update and draw.
#include "game/frontend/menus.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "shell/bytes.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/events.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

namespace {

struct MenuState {
    MV2MenuInstance* current;
    MV2MenuInstance* closing;
    TvRaster* background;
    uint32_t opened; // counts opens: input begun in one menu never finishes in the next
};
MenuState g_menus;

// What the menu input saw last pass: the keys and buttons held (with the open they were
// pressed in) and the cursor button with the item it went down on.
struct MenuInput {
    uint8_t held[kMV2InputCodes];
    uint32_t pressedIn[kMV2InputCodes];
    int32_t mouseHeld;
    int32_t mouseItem;
    uint32_t mouseIn;
    int32_t lastX, lastY;
    int32_t placed; // lastX and lastY hold a position seen
    uint32_t opened; // the open the last pass ended with
};
MenuInput g_input;

MV2MenuItemHeader* ItemAt(MV2MenuInstance* instance, size_t offset) {
    return reinterpret_cast<MV2MenuItemHeader*>(reinterpret_cast<uint8_t*>(instance) + offset);
}

void DestroyBackground() {
    if (g_menus.background) TvRasterDestroy(g_menus.background);
    g_menus.background = nullptr;
}

void LowerDepth(MV2MenuInstance* instance) {
    if (!instance->depthRaised) return;
    instance->depthRaised = 0;
    if (gMV2GameState.menuDepth > 0) gMV2GameState.menuDepth--;
}

void Destroy(MV2MenuInstance*& instance) {
    if (!instance) return;
    MV2MenuSendMessage(instance, kMV2MenuDestroy, kMV2MenuAllItems);
    instance = nullptr;
}

bool Selectable(const MV2MenuItemHeader* item) {
    return item->kind != 1 && item->kind <= 4 && !(item->flags & kMV2ItemDisabled);
}

const uint8_t* FindRow(int32_t menuId, uint32_t* rowIndex) {
    const MV2MenuResource& r = gMV2MenuResource;
    if (!r.menus) return nullptr;
    for (uint32_t m = 0; m < r.dir[MV2_CHUNK_MENUS].count; m++) {
        const uint8_t* row = r.menus + m * kMV2MenuRowSize;
        if (int32_t(MV2ReadU32(row)) == menuId) {
            *rowIndex = m;
            return row;
        }
    }
    return nullptr;
}

MV2MenuInstance* Create(int32_t menuId) {
    MV2MenuResource& r = gMV2MenuResource;
    uint32_t rowIndex = 0;
    const uint8_t* row = FindRow(menuId, &rowIndex);
    if (!row || !r.instanceBuffers[0]) return nullptr;
    const size_t size = MV2MenuInstanceSize(r.menus, rowIndex);
    if (size > r.instanceSize) return nullptr;
    uint8_t* buffer = r.instanceBuffers[0];
    if (g_menus.closing && reinterpret_cast<uint8_t*>(g_menus.closing) == buffer)
        buffer = r.instanceBuffers[1];
    std::memset(buffer, 0, size);
    auto* instance = new (buffer) MV2MenuInstance{};
    const uint32_t count = MV2ReadU32(row + 4);
    instance->size = uint32_t(size);
    instance->state = kMV2MenuActive;
    instance->count = int32_t(count);
    instance->focused = 0;
    instance->pressed = 0;
    const uint8_t* file = r.menus + MV2ReadU32(row + 8);
    size_t at = kMV2MenuItemsOffset;
    for (uint32_t i = 0; i < count; i++) {
        const uint32_t kind = MV2ReadU32(file + 4);
        MV2MenuItemHeader* item = ItemAt(instance, at);
        file += gMV2MenuItemCreators[kind](item, file);
        at += item->size;
    }
    instance->results = reinterpret_cast<int32_t*>(buffer + at);
    return instance;
}

int32_t Deliver(MV2MenuInstance* instance, int32_t message, int32_t itemId, const intptr_t* args) {
    if (instance->callback) return instance->callback(instance, message, itemId, args);
    return MV2MenuItemDispatch(instance, message, itemId, args);
}

} // namespace

size_t MV2MenuInstanceSize(const uint8_t* chunk, uint32_t rowIndex) {
    const uint8_t* row = chunk + rowIndex * kMV2MenuRowSize;
    const uint32_t count = MV2ReadU32(row + 4);
    const uint8_t* file = chunk + MV2ReadU32(row + 8);
    size_t size = kMV2MenuItemsOffset;
    for (uint32_t i = 0; i < count; i++) {
        const uint32_t kind = MV2ReadU32(file + 4);
        size += MV2MenuItemRuntimeSize(kind, kind == 4 ? uint32_t(MV2MenuFieldCapacity(file)) : 0);
        file += kMV2MenuItemFileSize[kind];
    }
    return size + sizeof(int32_t) * count;
}

MV2MenuItemHeader* MV2MenuFirstItem(MV2MenuInstance* instance) {
    return instance->count > 0 ? ItemAt(instance, kMV2MenuItemsOffset) : nullptr;
}

MV2MenuItemHeader* MV2MenuNextItem(MV2MenuItemHeader* item) {
    return reinterpret_cast<MV2MenuItemHeader*>(reinterpret_cast<uint8_t*>(item) + item->size);
}

int32_t MV2MenuOpen(int32_t menuId, MV2MenuCallback callback, intptr_t user) {
    DestroyBackground();
    Destroy(g_menus.closing);
    if (g_menus.current) {
        g_menus.closing = g_menus.current;
        g_menus.closing->state = kMV2MenuClosing;
        g_menus.current = nullptr;
        LowerDepth(g_menus.closing);
    }
    MV2MenuInstance* instance = Create(menuId);
    if (!instance) {
        MV2ErrorBox("_menusCreateMenuInstance failed");
        return 0;
    }
    g_menus.current = instance;
    g_menus.opened++;
    if ((menuId == 6 || menuId == 19) && gMV2MainLoop.frontEnd)
        g_menus.background = MV2LoadScreenPicture("options");
    instance->callback = callback;
    instance->user = user;
    MV2MenuSendMessage(instance, kMV2MenuPreCreate, kMV2MenuAllItems);
    MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
    for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item)) {
        if (MV2TextDescriptor* text = MV2MenuItemText(item)) MV2GetText(text);
    }
    MV2MenuSendMessage(instance, kMV2MenuCreate, kMV2MenuAllItems);
    for (int32_t i = 0; i < instance->count; i++) {
        if (instance->results[i] != 1) {
            MV2ErrorBox("MENU_ITEM_CREATE failed");
            return 0;
        }
    }
    MV2MenuItemHeader* first = MV2MenuFindNextItem(instance, -1, 1);
    if (first) MV2MenuSendMessage(instance, kMV2MenuFocus, int32_t(first->id), 1);
    instance->depthRaised = 1;
    gMV2GameState.menuDepth++;
    return 1;
}

void MV2MenuClose() {
    DestroyBackground();
    Destroy(g_menus.closing);
    if (g_menus.current) {
        g_menus.closing = g_menus.current;
        g_menus.closing->state = kMV2MenuClosing;
        g_menus.current = nullptr;
        LowerDepth(g_menus.closing);
    }
}

void MV2MenuReset() {
    g_menus.current = g_menus.closing = nullptr;
    DestroyBackground();
}

void MV2MenuUpdate() {
    Destroy(g_menus.closing);
    if (g_menus.current && g_menus.current->state == kMV2MenuActive) {
        MV2MenuSendMessage(g_menus.current, kMV2MenuTick, kMV2MenuAllItems,
                           intptr_t(MV2GetFrameMilliseconds()));
    } else if (!g_menus.current && gMV2Paused) {
        MV2PauseGame(0);
    }
}

void MV2MenuRender() {
    if (!g_menus.current && !g_menus.closing) return;
    static constexpr int32_t kStates[5] = {4, 6, 5, 10, 12};
    intptr_t saved[5] = {};
    for (int32_t i = 0; i < 5; i++) TvRenderStateGet(kStates[i], &saved[i]);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    if (gMV2MainLoop.frontEnd) {
        if (g_menus.background) MV2DrawBackgroundRaster(g_menus.background);
    } else {
        MV2Draw2DScreenShade();
    }
    for (MV2MenuInstance* instance : {g_menus.closing, g_menus.current}) {
        if (!instance) continue;
        MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
        for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item))
            MV2MenuSendMessage(instance, kMV2MenuDraw, int32_t(item->id));
    }
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    for (int32_t i = 0; i < 5; i++) TvRenderStateSet(kStates[i], saved[i]);
}

int32_t MV2MenuSendMessage(MV2MenuInstance* instance, int32_t message, int32_t itemId, intptr_t a0,
                           intptr_t a1, intptr_t a2) {
    if (!instance) return 0;
    const intptr_t args[3] = {a0, a1, a2};
    if (itemId == kMV2MenuAllItems) {
        MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
        for (int32_t i = 0; i < instance->count; i++) {
            // The answer is stored before moving on: an item never changes its own size.
            MV2MenuItemHeader* next = MV2MenuNextItem(item);
            instance->results[i] = Deliver(instance, message, int32_t(item->id), args);
            item = next;
        }
        return 0;
    }
    if (itemId == kMV2MenuFocusedItem) {
        if (instance->focused < 0) return 0;
        int32_t target = instance->focused;
        if (target & 0x40000000) target = (target >> 16) & 0xFFF;
        return Deliver(instance, message, target, args);
    }
    return Deliver(instance, message, itemId, args);
}

int32_t MV2MenuSendMessageRaw(void* instance, int32_t message, int32_t itemId, intptr_t a0,
                              intptr_t a1, intptr_t a2) {
    return MV2MenuSendMessage(static_cast<MV2MenuInstance*>(instance), message, itemId, a0, a1, a2);
}

int32_t MV2MenuItemDispatch(MV2MenuInstance* instance, int32_t message, int32_t itemId,
                            const intptr_t* args) {
    MV2MenuItemHeader* item = MV2MenuGetItem(instance, itemId);
    if (!item || item->kind > 4) return 0;
    if (item->kind == 1 && item->id == 0 && message == kMV2MenuDraw && gMV2MainLoop.frontEnd &&
        !g_menus.background)
        return 0;
    static const intptr_t kNone[3] = {0, 0, 0};
    return gMV2MenuItemHandlers[item->kind](instance, message, item, args ? args : kNone);
}

MV2MenuItemHeader* MV2MenuGetItem(MV2MenuInstance* instance, int32_t id) {
    if (!instance) return nullptr;
    const bool sub = (uint32_t(id) & 0xC0000000u) == 0x40000000u;
    MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
    for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item)) {
        if (!sub) {
            if (int32_t(item->id) == id) return item;
        } else if (int32_t(item->id) == ((id >> 16) & 0xFFF) && item->kind == 3) {
            // Only a list owns a sub-item: its scroll bar.
            MV2MenuSlider* bar = reinterpret_cast<MV2MenuList*>(item)->scrollBar;
            if (bar && int32_t(bar->h.id) == id) return &bar->h;
        }
    }
    return nullptr;
}

MV2MenuInstance* MV2MenuGetCurrentInstance() {
    return g_menus.current;
}

MV2MenuInstance* MV2MenuGetClosingInstance() {
    return g_menus.closing;
}

TvRaster* MV2MenuBackground() {
    return g_menus.background;
}

void MV2MenuSetFocusItem(MV2MenuInstance* instance, int32_t id) {
    if (id == kMV2MenuNoItem) {
        if (MV2MenuItemHeader* old = MV2MenuGetItem(instance, instance->focused))
            old->flags = (old->flags & ~kMV2ItemFocused) | kMV2ItemRedraw;
        instance->focused = kMV2MenuNoItem;
        return;
    }
    if (instance->pressed != -1 && MV2MenuGetItem(instance, instance->pressed))
        MV2MenuSendMessage(instance, kMV2MenuReleased, instance->pressed);
    if (MV2MenuItemHeader* item = MV2MenuGetItem(instance, id)) {
        item->flags |= kMV2ItemFocused | kMV2ItemRedraw;
        instance->focused = id;
    }
}

MV2MenuItemHeader* MV2MenuFindNextItem(MV2MenuInstance* instance, int32_t id, int32_t forward) {
    if (!instance || instance->count <= 0) return nullptr;
    // One pass: the start is the item with that id (else the last item); forward takes the
    // first selectable item after it, else the first one at or before it; backward the last
    // one before it, else the last one at or after it.
    int32_t start = instance->count - 1;
    MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
    for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item))
        if (int32_t(item->id) == id) {
            start = i;
            break;
        }
    MV2MenuItemHeader *before = nullptr, *after = nullptr;
    item = MV2MenuFirstItem(instance);
    for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item)) {
        if (!Selectable(item)) continue;
        if (forward) {
            if (i <= start && !before) before = item;
            if (i > start && !after) after = item;
        } else {
            if (i < start) before = item;
            if (i >= start) after = item;
        }
    }
    return forward ? (after ? after : before) : (before ? before : after);
}

void MV2MenuMoveFocus(MV2MenuInstance* instance, int32_t fromId, int32_t steps) {
    int32_t id = fromId;
    MV2MenuItemHeader* target = nullptr;
    for (int32_t i = 0; i < (steps < 0 ? -steps : steps); i++) {
        target = MV2MenuFindNextItem(instance, id, steps > 0);
        if (!target) return;
        id = int32_t(target->id);
    }
    if (!target) return;
    MV2MenuSendMessage(instance, kMV2MenuFocus, kMV2MenuFocusedItem, 0);
    MV2MenuSendMessage(instance, kMV2MenuFocus, int32_t(target->id), 1);
}

void MV2MenuSetLabelText(MV2MenuInstance* instance, int32_t itemId, int32_t textId) {
    MV2MenuItemHeader* item = MV2MenuGetItem(instance, itemId);
    if (!item || item->kind != 1) return;
    auto* label = reinterpret_cast<MV2MenuLabel*>(item);
    label->text.id = uint32_t(textId);
    MV2GetText(&label->text);
    item->flags |= kMV2ItemRedraw;
}

void MV2MenuImageFromFile(const uint8_t* fileImage, MV2MenuImage* out) {
    const uint32_t id = MV2ReadU32(fileImage);
    TvTexture* texture = id == 0xFFFFFFFFu ? nullptr : MV2MenuResourceFindTexture(id);
    out->raster = texture ? TvTextureGetRaster(texture) : nullptr;
    float v[8];
    for (int32_t i = 0; i < 8; i++) {
        const uint32_t bits = MV2ReadU32(fileImage + 4 + 4 * i);
        std::memcpy(&v[i], &bits, sizeof bits);
    }
    *out = {out->raster, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
}

namespace {

// A point of the 640 x 480 screen relative to an item's top-left corner (items are placed by
// their centres); true when it lies on the item.
bool Relative(const MV2MenuItemHeader* item, int32_t x, int32_t y, int32_t* rx, int32_t* ry) {
    const float px = float(x) - (item->x - item->width / 2.0f);
    const float py = float(y) - (item->y - item->height / 2.0f);
    *rx = int32_t(px), *ry = int32_t(py);
    return px >= 0.0f && py >= 0.0f && px < item->width && py < item->height;
}

// The selectable item under a point.
MV2MenuItemHeader* ItemAtPoint(MV2MenuInstance* instance, int32_t x, int32_t y) {
    int32_t rx, ry;
    MV2MenuItemHeader* item = MV2MenuFirstItem(instance);
    for (int32_t i = 0; i < instance->count; i++, item = MV2MenuNextItem(item))
        if (Selectable(item) && Relative(item, x, y, &rx, &ry)) return item;
    return nullptr;
}

void Focus(MV2MenuInstance* instance, int32_t id) {
    if (instance->focused == id) return;
    MV2MenuSendMessage(instance, kMV2MenuFocus, kMV2MenuFocusedItem, 0);
    MV2MenuSendMessage(instance, kMV2MenuFocus, id, 1);
}

// Whether input code `k` is held: keys from the key-state table, mouse and joystick buttons
// (codes from 300) as the controls' event handler keeps them.
uint8_t InputHeld(int32_t k) {
    if (k < 256) return (gMV2KeyStates[k] & MV2_KEY_HELD) ? 1 : 0;
    return k >= kMV2MouseButtonCode && gMV2Controls.state[k] ? 1 : 0;
}

// Key edges since the last pass. A key goes down to the focused item (Escape to the menu,
// item -2); a field that binds keys takes it first as a raw key, as it takes mouse and
// joystick buttons. A key's release reaches the menu only when no other menu opened in
// between, so an Enter that opened a menu does not activate an item of the new one.
void KeyInput(MV2MenuInstance* instance) {
    MenuInput& in = g_input;
    for (int32_t k = 0; k < kMV2InputCodes; k++) {
        const uint8_t now = InputHeld(k);
        if (now == in.held[k]) continue;
        in.held[k] = now;
        if (g_menus.current != instance || instance->state != kMV2MenuActive) {
            in.pressedIn[k] = 0; // the menu changed during this pass: the edge is dropped
            continue;
        }
        if (now) {
            in.pressedIn[k] = g_menus.opened;
            if (MV2MenuSendMessage(instance, kMV2MenuRawKey, kMV2MenuFocusedItem, k) == 1 || k >= 256)
                continue;
            MV2MenuSendMessage(instance, kMV2MenuKeyDown,
                               k == kMV2KeyEscape ? kMV2MenuNoItem : kMV2MenuFocusedItem, k);
        } else if (k < 256 && in.pressedIn[k] == g_menus.opened) {
            in.pressedIn[k] = 0;
            MV2MenuSendMessage(instance, kMV2MenuKeyUp, kMV2MenuFocusedItem, k);
        }
    }
}

// The cursor: moving onto a selectable item focuses it; the first button presses a button
// item and activates it when released over it; sliders and lists get the pointer (message
// 19) while the button is held on them and once more at its release.
void CursorInput(MV2MenuInstance* instance) {
    MenuInput& in = g_input;
    int32_t x = 0, y = 0, rx = 0, ry = 0;
    MV2GetMousePosition(&x, &y);
    const int32_t button = gMV2MouseCursor.buttons[0].held ? 1 : 0;
    MV2MenuItemHeader* over = ItemAtPoint(instance, x, y);
    const bool moved = in.placed && (x != in.lastX || y != in.lastY);
    in.lastX = x, in.lastY = y, in.placed = 1;
    if (over && moved && !in.mouseHeld) Focus(instance, int32_t(over->id));
    if (button && !in.mouseHeld) {
        in.mouseHeld = 1;
        in.mouseIn = g_menus.opened;
        in.mouseItem = over ? int32_t(over->id) : kMV2MenuNoItem;
        if (!over) return;
        Focus(instance, int32_t(over->id));
        Relative(over, x, y, &rx, &ry);
        if (over->kind == 0)
            MV2MenuSendMessage(instance, kMV2MenuPressed, int32_t(over->id));
        else
            MV2MenuSendMessage(instance, kMV2MenuMouse, int32_t(over->id), rx, ry, 1);
        return;
    }
    if (!in.mouseHeld) return;
    MV2MenuItemHeader* held = in.mouseIn == g_menus.opened && in.mouseItem != kMV2MenuNoItem
                                  ? MV2MenuGetItem(instance, in.mouseItem)
                                  : nullptr;
    if (held) Relative(held, x, y, &rx, &ry);
    if (button) {
        if (held && held->kind != 0) MV2MenuSendMessage(instance, kMV2MenuMouse, int32_t(held->id), rx, ry, 1);
        return;
    }
    in.mouseHeld = 0;
    if (!held) return;
    if (held->kind == 0) {
        MV2MenuSendMessage(instance, kMV2MenuReleased, int32_t(held->id));
        if (over == held) MV2MenuSendMessage(instance, kMV2MenuActivated, int32_t(held->id));
    } else {
        MV2MenuSendMessage(instance, kMV2MenuMouse, int32_t(held->id), rx, ry, 0);
    }
}

} // namespace

void MV2MenuHandleInput() {
    MenuInput& in = g_input;
    MV2MenuInstance* instance = g_menus.current;
    if (!instance || instance->state != kMV2MenuActive || in.opened != g_menus.opened) {
        // No menu, or one opened since the last pass: keys and the button held now were
        // pressed before it and are not presses for it.
        for (int32_t k = 0; k < kMV2InputCodes; k++) in.held[k] = InputHeld(k);
        in.mouseHeld = gMV2MouseCursor.buttons[0].held ? 1 : 0;
        in.mouseItem = kMV2MenuNoItem;
        MV2GetMousePosition(&in.lastX, &in.lastY);
        in.placed = 1;
        in.opened = g_menus.opened;
        if (!instance || instance->state != kMV2MenuActive) return;
    }
    KeyInput(instance);
    if (g_menus.current == instance && instance->state == kMV2MenuActive) CursorInput(instance);
    in.opened = g_menus.opened;
}
