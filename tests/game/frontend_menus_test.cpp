// Menu instances and items over a hand-written menu chunk: the two-buffer lifecycle, message
// dispatch, focus, and the default behaviour of sliders, lists and fields.
#include "game/frontend/menus.h"

#include "engine/core/memory.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/bytes.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/events.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "tests/game/frontend_sink.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A file item of `kind` with its common words; `words` sets more (numbered from 1).
Bytes Item(uint32_t id, uint32_t kind, int32_t x, int32_t y, int32_t w, int32_t h,
           std::vector<std::pair<int, uint32_t>> words = {}) {
    Bytes b(kMV2MenuItemFileSize[kind], 0);
    auto put = [&](int n, uint32_t v) { MV2WriteU32(b.data() + 4 * (n - 1), v); };
    put(1, id), put(2, kind), put(3, uint32_t(x)), put(4, uint32_t(y)), put(6, uint32_t(w)),
        put(7, uint32_t(h));
    for (auto [n, v] : words) put(n, v);
    return b;
}

uint32_t F(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Chunk 0: the directory rows, then the items of each menu.
Bytes Chunk(const std::vector<std::pair<uint32_t, std::vector<Bytes>>>& menus) {
    Bytes b(menus.size() * kMV2MenuRowSize);
    for (size_t m = 0; m < menus.size(); m++) {
        MV2WriteU32(b.data() + m * 12, menus[m].first);
        MV2WriteU32(b.data() + m * 12 + 4, uint32_t(menus[m].second.size()));
        MV2WriteU32(b.data() + m * 12 + 8, uint32_t(b.size()));
        for (const Bytes& item : menus[m].second) b.insert(b.end(), item.begin(), item.end());
    }
    return b;
}

// Messages the callback saw: menu (by its user value), message, item.
struct Seen {
    intptr_t user;
    int32_t message, item;
    intptr_t arg;
};
std::vector<Seen> g_seen;
int32_t g_refuseCreate = -1; // item id that answers 0 to create

int32_t Recording(MV2MenuInstance* m, int32_t message, int32_t item, const intptr_t* args) {
    g_seen.push_back({m->user, message, item, args[0]});
    if (message == kMV2MenuCreate && item == g_refuseCreate) return 0;
    return MV2MenuItemDispatch(m, message, item, args);
}

class MenusTest : public Sink2DTest {
protected:
    void SetUp() override {
        Sink2DTest::SetUp();
        saved = gMV2MenuResource;
        savedState = gMV2GameState;
        savedFrontEnd = gMV2MainLoop.frontEnd;
        gMV2MainLoop.frontEnd = 0;
        gMV2GameState = {};
        PlatformUseManualClock(true, 1000);
        PlatformClearMessageBoxes();
        g_seen.clear();
        g_refuseCreate = -1;
        // Menu 1: label, button, hold slider 0..10 whose fill picture covers 1/8..7/8 of the
        // width, list, digits field of 5, a button the tests disable. Menu 2: two buttons.
        // Menu 3: a field claiming 400 characters and a key field.
        chunk = Chunk({
            {1,
             {Item(1, 1, 320, 40, 300, 40),
              Item(2, 0, 320, 100, 200, 30),
              Item(3, 2, 320, 150, 200, 20,
                   {{54, 0xFFFFFFFFu}, {59, F(0.125f)}, {61, F(0.875f)}, {63, 0}, {64, 10}}),
              Item(4, 3, 320, 250, 200, 100),
              Item(5, 4, 320, 350, 100, 20, {{9, 5}}),
              Item(6, 0, 320, 400, 200, 30)}},
            {2, {Item(1, 0, 320, 100, 200, 30), Item(2, 0, 320, 140, 200, 30)}},
            {3, {Item(1, 4, 320, 100, 300, 20, {{9, 400}}), Item(2, 4, 320, 140, 100, 20, {{9, 1}})}},
        });
        gMV2MenuResource = {};
        gMV2MenuResource.menus = chunk.data();
        gMV2MenuResource.dir[MV2_CHUNK_MENUS] = {0, 3, 0, uint32_t(chunk.size()), 0};
        ASSERT_EQ(MV2MenuResourceSizeMenus(), 1);
    }
    void TearDown() override {
        for (MV2MenuInstance* m : {MV2MenuGetClosingInstance(), MV2MenuGetCurrentInstance()})
            if (m) MV2MenuSendMessage(m, kMV2MenuDestroy, kMV2MenuAllItems);
        MV2MenuReset();
        TvFree(gMV2MenuResource.instanceBuffers[0]);
        gMV2MenuResource = saved;
        gMV2GameState = savedState;
        gMV2MainLoop.frontEnd = savedFrontEnd;
        PlatformUseManualClock(false);
        Sink2DTest::TearDown();
    }

    std::vector<Seen> SeenOf(int32_t message) {
        std::vector<Seen> out;
        for (const Seen& s : g_seen)
            if (s.message == message) out.push_back(s);
        return out;
    }

    Bytes chunk;
    MV2MenuResource saved{};
    MV2GameStateWord savedState{};
    int32_t savedFrontEnd = 0;
};

template <class T> T* As(MV2MenuInstance* m, int32_t id) {
    return reinterpret_cast<T*>(MV2MenuGetItem(m, id));
}

// Two buffers: the replaced menu is drawn once more before the new one and destroyed at the
// next update; a third open destroys the oldest at once and the new menu takes its buffer.
TEST_F(MenusTest, TwoBufferLifecycle) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 100), 1);
    MV2MenuInstance* first = MV2MenuGetCurrentInstance();
    EXPECT_EQ(gMV2GameState.menuDepth, 1);
    EXPECT_EQ(first->focused, 2); // the label is passed over
    EXPECT_EQ(first->state, kMV2MenuActive);

    ASSERT_EQ(MV2MenuOpen(2, Recording, 200), 1);
    EXPECT_EQ(MV2MenuGetClosingInstance(), first);
    EXPECT_EQ(first->state, kMV2MenuClosing);
    EXPECT_EQ(gMV2GameState.menuDepth, 1);
    EXPECT_NE(MV2MenuGetCurrentInstance(), first);

    g_seen.clear();
    MV2MenuRender();
    std::vector<intptr_t> order;
    for (const Seen& s : SeenOf(kMV2MenuDraw)) order.push_back(s.user);
    EXPECT_EQ(order, (std::vector<intptr_t>{100, 100, 100, 100, 100, 100, 200, 200}));

    // Third open before the update.
    g_seen.clear();
    MV2MenuInstance* second = MV2MenuGetCurrentInstance();
    ASSERT_EQ(MV2MenuOpen(2, Recording, 300), 1);
    EXPECT_EQ(SeenOf(kMV2MenuDestroy).size(), 6u); // the first menu's six items
    EXPECT_EQ(SeenOf(kMV2MenuDestroy)[0].user, 100);
    EXPECT_EQ(MV2MenuGetClosingInstance(), second);
    EXPECT_EQ(reinterpret_cast<void*>(MV2MenuGetCurrentInstance()), reinterpret_cast<void*>(first));

    g_seen.clear();
    MV2MenuUpdate();
    EXPECT_EQ(MV2MenuGetClosingInstance(), nullptr);
    ASSERT_EQ(SeenOf(kMV2MenuDestroy).size(), 2u);
    EXPECT_EQ(SeenOf(kMV2MenuDestroy)[0].user, 200);
    EXPECT_EQ(SeenOf(kMV2MenuTick).size(), 2u);

    MV2MenuClose();
    EXPECT_EQ(gMV2GameState.menuDepth, 0);
    MV2MenuClose(); // nothing current: the depth stays at 0
    EXPECT_EQ(gMV2GameState.menuDepth, 0);
}

// Failures: a menu not in the directory, and an item that refuses creation (the depth byte is
// not raised, so closing does not lower it).
TEST_F(MenusTest, FailedOpens) {
    EXPECT_EQ(MV2MenuOpen(9, Recording, 0), 0);
    EXPECT_EQ(PlatformMessageBoxes().back().text, "_menusCreateMenuInstance failed");
    g_refuseCreate = 2;
    gMV2GameState.menuDepth = 0;
    EXPECT_EQ(MV2MenuOpen(2, Recording, 0), 0);
    EXPECT_EQ(PlatformMessageBoxes().back().text, "MENU_ITEM_CREATE failed");
    EXPECT_EQ(gMV2GameState.menuDepth, 0);
    EXPECT_EQ(MV2MenuGetCurrentInstance()->focused, 0); // nobody got the focus
    MV2MenuClose();
    EXPECT_EQ(gMV2GameState.menuDepth, 0);
}

// Item -1 reaches every item and keeps the answers; -3 without a focus reaches nobody; -2
// (Escape) reaches only the callback.
TEST_F(MenusTest, DispatchTargets) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    for (int32_t i = 0; i < m->count; i++) EXPECT_EQ(m->results[i], 1) << i;
    As<MV2MenuSlider>(m, 3)->value = 7;
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, kMV2MenuAllItems), 0);
    EXPECT_EQ(m->results[2], 7);

    MV2MenuSetFocusItem(m, kMV2MenuNoItem);
    g_seen.clear();
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, kMV2MenuFocusedItem), 0);
    EXPECT_TRUE(g_seen.empty());

    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuKeyDown, kMV2MenuNoItem, kMV2KeyEscape), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].item, kMV2MenuNoItem);
    EXPECT_EQ(g_seen[0].arg, kMV2KeyEscape);
}

// Focus wraps from the last selectable item to the first and back; labels and disabled
// items are never focused.
TEST_F(MenusTest, FocusWrapsOverLabelsAndDisabledItems) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    MV2MenuGetItem(m, 6)->flags |= kMV2ItemDisabled;
    EXPECT_EQ(MV2MenuFindNextItem(m, 5, 1)->id, 2u);
    EXPECT_EQ(MV2MenuFindNextItem(m, 2, 0)->id, 5u);
    EXPECT_EQ(MV2MenuFindNextItem(m, 99, 1)->id, 2u); // unknown: from the last item

    MV2MenuSendMessage(m, kMV2MenuFocus, 5, 1);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 5, kMV2KeyDown);
    EXPECT_EQ(m->focused, 2);
    EXPECT_FALSE(MV2MenuGetItem(m, 5)->flags & kMV2ItemFocused);
    EXPECT_TRUE(MV2MenuGetItem(m, 2)->flags & kMV2ItemFocused);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 2, kMV2KeyUp);
    EXPECT_EQ(m->focused, 5);

    // A button pressed with Enter shows pressed until Enter is released, then is activated.
    MV2MenuSendMessage(m, kMV2MenuFocus, 2, 1);
    g_seen.clear();
    MV2MenuSendMessage(m, kMV2MenuKeyDown, 2, kMV2KeyEnter);
    EXPECT_TRUE(MV2MenuGetItem(m, 2)->flags & kMV2ItemPressed);
    EXPECT_EQ(m->pressed, 2);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 2, kMV2KeyEnter);
    EXPECT_FALSE(MV2MenuGetItem(m, 2)->flags & kMV2ItemPressed);
    EXPECT_EQ(m->pressed, -1);
    EXPECT_EQ(SeenOf(kMV2MenuActivated).size(), 1u);
}

// Sliders: hold stepping toward the arrow pressed last, clamping, the pointer mapping of the
// normal style and the drag maths of the scroll-bar style; a zero range never divides.
TEST_F(MenusTest, SliderHoldAndDrag) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    auto* s = As<MV2MenuSlider>(m, 3);
    MV2MenuSendMessage(m, kMV2MenuFocus, 3, 1);
    MV2MenuSendMessage(m, kMV2MenuSetValue, 3, 5);
    MV2MenuSendMessage(m, kMV2MenuKeyDown, 3, kMV2KeyRight);
    MV2MenuSendMessage(m, kMV2MenuKeyDown, 3, kMV2KeyLeft); // last pressed wins
    g_seen.clear();
    MV2MenuSendMessage(m, kMV2MenuTick, 3, 16);
    MV2MenuSendMessage(m, kMV2MenuTick, 3, 16);
    EXPECT_EQ(s->value, 3);
    ASSERT_FALSE(SeenOf(kMV2MenuValueChanged).empty());
    EXPECT_EQ(SeenOf(kMV2MenuValueChanged).back().arg, 3);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 3, kMV2KeyLeft);
    MV2MenuSendMessage(m, kMV2MenuTick, 3, 16);
    EXPECT_EQ(s->value, 3);

    MV2MenuSendMessage(m, kMV2MenuSetValue, 3, 50);
    EXPECT_EQ(s->value, 10);
    MV2MenuSendMessage(m, kMV2MenuSetValue, 3, -4);
    EXPECT_EQ(s->value, 0);

    // Normal style, width 200, active 150, range 10: value = (x + trunc(15 - 25)) x 10 / 150.
    struct { int32_t x, value; } cases[] = {{10, 0}, {25, 1}, {100, 6}, {159, 9}, {160, 10}, {199, 10}, {0, 0}};
    for (auto c : cases) {
        MV2MenuSendMessage(m, kMV2MenuMouse, 3, c.x, 10, 1);
        EXPECT_EQ(s->value, c.value) << c.x;
    }
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 100, 0, 1); // y outside 1..height - 1
    EXPECT_EQ(s->value, 0);

    // Scroll-bar style, height 20 + 52 = 72: track 20, thumb top = value x 20 / 10 + 16.
    s->h.flags |= kMV2ItemScrollBarStyle;
    s->h.height = 72;
    MV2MenuSendMessage(m, kMV2MenuSetValue, 3, 5);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 30, 1); // grabs the thumb (26..46) 4 down
    EXPECT_EQ(s->h.kindWord, 4);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 34, 1); // (34 - 4 - 16) x 10 / 20 = 7
    EXPECT_EQ(s->value, 7);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 5, 1); // top arrow: one step down
    EXPECT_EQ(s->value, 6);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 5, 1); // not again within 100 ms
    EXPECT_EQ(s->value, 6);
    PlatformUseManualClock(true, 1200);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 5, 1);
    EXPECT_EQ(s->value, 5);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 5, 0);
    EXPECT_EQ(s->h.kindWord, -1);

    // A range of 0: the value is the minimum and nothing steps or divides.
    MV2MenuSendMessage(m, kMV2MenuSetRange, 3, 0, 0);
    EXPECT_EQ(s->value, 0);
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 5, 30, 1);
    s->h.flags &= ~kMV2ItemScrollBarStyle;
    MV2MenuSendMessage(m, kMV2MenuMouse, 3, 100, 10, 1);
    EXPECT_EQ(s->value, 0);
    MV2MenuRender();
}

// Lists: entries added at the end, choosing, the chosen byte, the highlight by key, the row
// under the pointer, and no more than 255 entries.
TEST_F(MenusTest, ListAddChooseScroll) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    auto* l = As<MV2MenuList>(m, 4);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 4), 0);
    MV2MenuRender(); // no entries: only the frame
    const char* names[] = {"alpha", "beta", "gamma", "a very long save name indeed ok"};
    for (const char* n : names)
        EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuAddEntry, 4, reinterpret_cast<intptr_t>(n), 0), 1);
    EXPECT_EQ(l->count, 4);
    EXPECT_STREQ(l->tail->text, names[3]);

    MV2MenuSendMessage(m, kMV2MenuSetValue, 4, 2);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 4), 2);
    MV2MenuSendMessage(m, kMV2MenuFocus, 4, 1);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 4, kMV2KeyEnter); // opens
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 4, kMV2KeyDown);
    g_seen.clear();
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 4, kMV2KeyEnter); // chooses entry 3, moves on
    ASSERT_EQ(SeenOf(kMV2MenuSelection).size(), 1u);
    EXPECT_EQ(SeenOf(kMV2MenuSelection)[0].arg, 3);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 4), 3);
    EXPECT_EQ(m->focused, 5);

    MV2MenuSendMessage(m, kMV2MenuFocus, 4, 1);
    MV2MenuSendMessage(m, kMV2MenuMouse, 4, 10, 25, 1); // the second row
    MV2MenuSendMessage(m, kMV2MenuActivated, 4);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 4), 1);
    MV2MenuRender();

    for (int32_t i = 4; i < 300; i++)
        MV2MenuSendMessage(m, kMV2MenuAddEntry, 4, reinterpret_cast<intptr_t>("x"), 0);
    EXPECT_EQ(l->count, kMV2ListMaxEntries);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuAddEntry, 4, reinterpret_cast<intptr_t>("x"), 0), 0);
}

// Fields: capacity 5 takes digits only, above 5 letters and space too; values are cut to
// the capacity and read back terminated within the caller's size; key names and binding.
TEST_F(MenusTest, FieldCapacityAndKeys) {
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    auto* f = As<MV2MenuField>(m, 5);
    EXPECT_EQ(f->letters, 0);
    MV2MenuSendMessage(m, kMV2MenuActivated, 5);
    for (intptr_t c : {'1', 'a', ' ', '2', '3', '4', '5', '6'}) MV2MenuSendMessage(m, kMV2MenuKeyUp, 5, c);
    EXPECT_STREQ(MV2MenuFieldText(f), "12345");
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 5, kMV2KeyBackspace);
    EXPECT_STREQ(MV2MenuFieldText(f), "1234");
    char out[3] = {'x', 'x', 'x'};
    MV2MenuSendMessage(m, kMV2MenuGetValue, 5, reinterpret_cast<intptr_t>(out), 3);
    EXPECT_STREQ(out, "12");

    ASSERT_EQ(MV2MenuOpen(3, Recording, 3), 1);
    m = MV2MenuGetCurrentInstance();
    auto* wide = As<MV2MenuField>(m, 1);
    EXPECT_EQ(wide->capacity, kMV2FieldMaxCapacity);
    EXPECT_EQ(wide->letters, 1);
    std::string longText(400, 'q');
    MV2MenuSendMessage(m, kMV2MenuSetValue, 1, reinterpret_cast<intptr_t>(longText.c_str()), 400);
    EXPECT_EQ(wide->length, kMV2FieldMaxCapacity);
    char back[300];
    MV2MenuSendMessage(m, kMV2MenuGetValue, 1, reinterpret_cast<intptr_t>(back), sizeof back);
    EXPECT_EQ(std::strlen(back), size_t(kMV2FieldMaxCapacity));
    MV2MenuSendMessage(m, kMV2MenuActivated, 1);
    for (intptr_t c : {'A', 'b', ' ', '9', '#'}) MV2MenuSendMessage(m, kMV2MenuKeyUp, 1, c);
    EXPECT_STREQ(MV2MenuFieldText(wide), "Ab 9");

    // The key field takes a bindable raw key while waiting and ignores typing.
    MV2MenuSendMessage(m, kMV2MenuActivated, 2);
    MV2MenuSendMessage(m, kMV2MenuKeyUp, 2, 'a');
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 2), 0);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuRawKey, 2, 300), 1);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 2), 300);
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuRawKey, 2, 301), 0); // no longer waiting

    struct { int32_t code, text; } names[] = {{141, 1414}, {168, 1427}, {171, 1396}, {175, 1430},
                                              {169, -1},   {140, -1},   {176, -1}};
    for (auto n : names) EXPECT_EQ(MV2MenuKeyNameTextId(n.code), n.text) << n.code;
    for (int32_t code : {0, 65, 150, 301, 302, 350, 405}) {
        MV2MenuSendMessage(m, kMV2MenuSetValue, 2, code);
        MV2MenuRender();
    }
}

// Every kind is built inside the instance the sizing reserves: items at 8-byte boundaries,
// the result words after the last item, all within the buffer (ASan watches the writes).
TEST_F(MenusTest, EveryItemKindFitsItsInstance) {
    for (int32_t menu : {1, 2, 3}) {
        ASSERT_EQ(MV2MenuOpen(menu, nullptr, 0), 1);
        MV2MenuInstance* m = MV2MenuGetCurrentInstance();
        const uint8_t* base = reinterpret_cast<uint8_t*>(m);
        MV2MenuItemHeader* item = MV2MenuFirstItem(m);
        for (int32_t i = 0; i < m->count; i++, item = MV2MenuNextItem(item)) {
            EXPECT_EQ((reinterpret_cast<uint8_t*>(item) - base) % 8, 0);
            EXPECT_GE(item->size, MV2MenuItemRuntimeSize(item->kind, 0));
        }
        EXPECT_EQ(reinterpret_cast<uint8_t*>(item), reinterpret_cast<uint8_t*>(m->results));
        EXPECT_LE(size_t(reinterpret_cast<uint8_t*>(m->results + m->count) - base), m->size);
        EXPECT_LE(m->size, gMV2MenuResource.instanceSize);
        MV2MenuSendMessage(m, kMV2MenuDraw, kMV2MenuAllItems);
        MV2MenuUpdate();
    }
}

} // namespace

// The menu input: key edges reach the focused item (Escape the menu), a key pressed in one
// menu is not released into the next, the cursor focuses what it moves onto, clicks a button
// and hands sliders the pointer relative to their corner.
TEST_F(MenusTest, KeysAndCursorReachTheItems) {
    const MV2MouseCursor savedCursor = gMV2MouseCursor;
    MV2ResetKeyStates();
    gMV2MouseCursor.x = 10, gMV2MouseCursor.y = 470;
    MV2MouseButton(0, 0);
    auto key = [](int32_t code, bool down) {
        down ? MV2KeyPressed(uint32_t(code)) : MV2KeyReleased(uint32_t(code));
        MV2MenuHandleInput();
    };
    // Escape held when the menu opens is not a press for it.
    MV2KeyPressed(kMV2KeyEscape);
    ASSERT_EQ(MV2MenuOpen(2, Recording, 2), 1);
    MV2MenuInstance* m = MV2MenuGetCurrentInstance();
    g_seen.clear();
    MV2MenuHandleInput();
    key(kMV2KeyEscape, false);
    EXPECT_TRUE(SeenOf(kMV2MenuKeyDown).empty());
    EXPECT_TRUE(SeenOf(kMV2MenuKeyUp).empty());
    EXPECT_EQ(m->focused, 1);
    key(kMV2KeyDown, true);
    EXPECT_EQ(m->focused, 1); // buttons move on the release
    key(kMV2KeyDown, false);
    EXPECT_EQ(m->focused, 2);

    g_seen.clear();
    key(kMV2KeyEnter, true);
    EXPECT_EQ(m->pressed, 2);
    key(kMV2KeyEnter, false);
    ASSERT_EQ(SeenOf(kMV2MenuActivated).size(), 1u);
    EXPECT_EQ(SeenOf(kMV2MenuActivated)[0].item, 2);
    key(kMV2KeyEscape, true);
    ASSERT_EQ(SeenOf(kMV2MenuKeyDown).size(), 2u);
    EXPECT_EQ(SeenOf(kMV2MenuKeyDown)[1].item, kMV2MenuNoItem);
    key(kMV2KeyEscape, false);

    // Enter goes down in one menu and comes up in the next: the new menu activates nothing.
    key(kMV2KeyEnter, true);
    ASSERT_EQ(MV2MenuOpen(2, Recording, 3), 1);
    m = MV2MenuGetCurrentInstance();
    g_seen.clear();
    key(kMV2KeyEnter, false);
    EXPECT_TRUE(SeenOf(kMV2MenuKeyUp).empty());
    EXPECT_TRUE(SeenOf(kMV2MenuActivated).empty());

    // The cursor onto item 2 focuses it; a click there activates it; a press that leaves the
    // button before the release does not.
    gMV2MouseCursor.x = 320, gMV2MouseCursor.y = 145;
    MV2MenuHandleInput();
    EXPECT_EQ(m->focused, 2);
    MV2MouseButton(0, 1);
    MV2MenuHandleInput();
    EXPECT_EQ(m->pressed, 2);
    MV2MouseButton(0, 0);
    MV2MenuHandleInput();
    EXPECT_EQ(m->pressed, -1);
    ASSERT_EQ(SeenOf(kMV2MenuActivated).size(), 1u);
    EXPECT_EQ(SeenOf(kMV2MenuActivated)[0].item, 2);
    MV2MouseButton(0, 1);
    MV2MenuHandleInput();
    gMV2MouseCursor.y = 300;
    MV2MouseButton(0, 0);
    MV2MenuHandleInput();
    EXPECT_EQ(SeenOf(kMV2MenuActivated).size(), 1u);

    // A slider gets the pointer from its top-left corner while the button is held.
    ASSERT_EQ(MV2MenuOpen(1, Recording, 1), 1);
    m = MV2MenuGetCurrentInstance();
    g_seen.clear();
    gMV2MouseCursor.x = 250, gMV2MouseCursor.y = 150;
    MV2MenuHandleInput();
    MV2MouseButton(0, 1);
    MV2MenuHandleInput();
    EXPECT_EQ(m->focused, 3);
    gMV2MouseCursor.x = 300;
    MV2MenuHandleInput();
    MV2MouseButton(0, 0);
    MV2MenuHandleInput();
    const std::vector<Seen> pointer = SeenOf(kMV2MenuMouse);
    ASSERT_EQ(pointer.size(), 3u);
    EXPECT_EQ(pointer[0].arg, 30);
    EXPECT_EQ(pointer[1].arg, 80);
    EXPECT_EQ(pointer[2].item, 3);

    // A key field waiting for its key takes the right mouse button as a raw key.
    ASSERT_EQ(MV2MenuOpen(3, Recording, 3), 1);
    m = MV2MenuGetCurrentInstance();
    MV2MenuHandleInput();
    MV2MenuSetFocusItem(m, 2);
    MV2MenuSendMessage(m, kMV2MenuActivated, 2);
    gMV2Controls.state[kMV2MouseButtonCode + 1] = 1;
    MV2MenuHandleInput();
    gMV2Controls.state[kMV2MouseButtonCode + 1] = 0;
    MV2MenuHandleInput();
    EXPECT_EQ(MV2MenuSendMessage(m, kMV2MenuGetValue, 2), kMV2MouseButtonCode + 1);
    gMV2MouseCursor = savedCursor;
    MV2ResetKeyStates();
}
