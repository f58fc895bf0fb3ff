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
