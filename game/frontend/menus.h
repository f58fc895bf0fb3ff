// Menus: the current and the closing menu instance and the messages sent to their items.
#pragma once

#include <cstdint>

inline constexpr int32_t kMV2MenuMessageDestroy = 2;

// The open menu instance, or null when no menu is open.
void* MV2MenuGetCurrentInstance();
// The instance being closed, or null.
void* MV2MenuGetClosingInstance();
// Sends `message` to the item `itemId` of `instance` (-1: every item).
int32_t MV2MenuSendMessage(void* instance, int32_t message, int32_t itemId, ...);

// Opens the top menu of the current state; 1 when one opened.
int32_t MV2MenuOpenTop();
// The menu input of the menu sections: cursor buttons, focus and item activation.
void MV2MenuHandleInput();
// Closes the menus.
void MV2MenuClose();
// The per-frame menu step.
void MV2MenuUpdate();
// The state of the game-over sequence; 0 when none runs.
int32_t MV2GetGameOverState();
// Switches the map's free scroll on or off.
void MV2MapSetFreeScroll(int32_t on);
// The game-over sequence, the console, the interface screens, the save screen and the HUD
// messages, as the game-state machine drives them.
void MV2UpdateGameOver();
void MV2EnterConsoleMode();
void MV2LeaveConsoleMode();
void MV2EnterInterfaceScreens();
void MV2LeaveInterfaceScreens();
void MV2CloseSaveScreen();
void MV2MapClose();
// The mission map tiles of the level and the world-to-map transform.
void MV2MapFreeTiles();
void MV2MapLoadTiles();
void MV2MapInitialiseTransform();
void MV2ResetHudMessages();
void MV2UpdateHudMessages();
// Draws the menus.
void MV2MenuRender();
void MV2UpdateInterfaceScreens();
