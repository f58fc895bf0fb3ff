// Menus: the current and the closing menu instance built from the menu chunk, the messages
// sent to their items, focus, and the per-frame update and draw.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/frontend/gameover.h"
#include "game/frontend/menuitems.h"

// Menu messages.
enum MV2MenuMessage : int32_t {
    kMV2MenuPreCreate = 0,
    kMV2MenuCreate = 1, // MENU_ITEM_CREATE
    kMV2MenuDestroy = 2,
    kMV2MenuPressed = 3,
    kMV2MenuReleased = 4,
    kMV2MenuFocus = 6,
    kMV2MenuTick = 7,
    kMV2MenuDraw = 8,
    kMV2MenuKeyUp = 9,
    kMV2MenuKeyDown = 10,
    kMV2MenuActivated = 11,
    kMV2MenuHotKey = 12,
    kMV2MenuValueChanged = 13,
    kMV2MenuSetValue = 14,
    kMV2MenuGetValue = 15,
    kMV2MenuFindSubItem = 16,
    kMV2MenuAddEntry = 17,
    kMV2MenuSetRange = 18,
    kMV2MenuMouse = 19,
    kMV2MenuSelection = 20,
    kMV2MenuRawKey = 21,
};
inline constexpr int32_t kMV2MenuMessageDestroy = kMV2MenuDestroy;

// Item ids with a meaning of their own.
inline constexpr int32_t kMV2MenuAllItems = -1;
inline constexpr int32_t kMV2MenuNoItem = -2;
inline constexpr int32_t kMV2MenuFocusedItem = -3;

// Key codes.
enum MV2MenuKey : int32_t {
    kMV2KeyEscape = 128,
    kMV2KeyDelete = 142,
    kMV2KeyUp = 147,
    kMV2KeyDown = 148,
    kMV2KeyLeft = 149,
    kMV2KeyRight = 150,
    kMV2KeyPad8 = 157,
    kMV2KeyPad2 = 158,
    kMV2KeyPad4 = 159,
    kMV2KeyPad6 = 160,
    kMV2KeyBackspace = 168,
    kMV2KeyTab = 169,
    kMV2KeyEnter = 171,
};

using MV2MenuCallback = int32_t (*)(MV2MenuInstance* instance, int32_t message, int32_t itemId,
                                    const intptr_t* args);

// The instance header; the items follow at kMV2MenuItemsOffset, then one result per item.
struct MV2MenuInstance {
    uint32_t size;
    int32_t state; // 2 active, 3 closing
    int32_t count;
    int32_t focused; // -2 none
    int32_t pressed; // -1 none
    MV2MenuCallback callback;
    intptr_t user;
    int32_t* results;
    int32_t depthRaised; // the menu-depth byte was raised for this instance
};
inline constexpr size_t kMV2MenuItemsOffset = (sizeof(MV2MenuInstance) + 7) & ~size_t(7);
inline constexpr int32_t kMV2MenuActive = 2;
inline constexpr int32_t kMV2MenuClosing = 3;

// The bytes an instance of menu directory row `row` takes (chunk already checked).
size_t MV2MenuInstanceSize(const uint8_t* chunk, uint32_t row);

int32_t MV2MenuOpen(int32_t menuId, MV2MenuCallback callback, intptr_t user);
void MV2MenuClose();
void MV2MenuUpdate();
void MV2MenuRender();
// Forgets both instances without messages (the menu chunk goes away).
void MV2MenuReset();

// Arguments are pointer-wide; missing ones are 0.
int32_t MV2MenuSendMessage(MV2MenuInstance* instance, int32_t message, int32_t itemId,
                           intptr_t a0 = 0, intptr_t a1 = 0, intptr_t a2 = 0);
// The resource file's form of the call.
int32_t MV2MenuSendMessageRaw(void* instance, int32_t message, int32_t itemId, intptr_t a0,
                              intptr_t a1, intptr_t a2);
int32_t MV2MenuItemDispatch(MV2MenuInstance* instance, int32_t message, int32_t itemId,
                            const intptr_t* args);
MV2MenuItemHeader* MV2MenuGetItem(MV2MenuInstance* instance, int32_t id);
MV2MenuItemHeader* MV2MenuFirstItem(MV2MenuInstance* instance);
MV2MenuItemHeader* MV2MenuNextItem(MV2MenuItemHeader* item);
MV2MenuInstance* MV2MenuGetCurrentInstance();
MV2MenuInstance* MV2MenuGetClosingInstance();
void MV2MenuSetFocusItem(MV2MenuInstance* instance, int32_t id);
MV2MenuItemHeader* MV2MenuFindNextItem(MV2MenuInstance* instance, int32_t id, int32_t forward);
void MV2MenuSetLabelText(MV2MenuInstance* instance, int32_t itemId, int32_t textId);
void MV2MenuImageFromFile(const uint8_t* fileImage, MV2MenuImage* out);
// Focus moves of the screens: message 6 with 0 to the focused item, 1 to the item `steps`
// selectable items on (negative: back).
void MV2MenuMoveFocus(MV2MenuInstance* instance, int32_t fromId, int32_t steps);
// The picture behind the options menus in the front end.
TvRaster* MV2MenuBackground();

// Opens the top menu of the current state; the result of the open.
int32_t MV2MenuOpenTop();
// The menu input of the menu sections: cursor buttons, focus and item activation.
void MV2MenuHandleInput();
// The game-over sequence, the console, the interface screens, the save screen and the HUD
// messages, as the game-state machine drives them.
void MV2EnterConsoleMode();
void MV2LeaveConsoleMode();
void MV2EnterInterfaceScreens();
void MV2LeaveInterfaceScreens();
// The save screen of game mode 17 (its picture: gMV2SaveScreenBackground, screens.h).
void MV2CloseSaveScreen();
void MV2DrawSaveScreenBackground();
void MV2UpdateInterfaceScreens();
