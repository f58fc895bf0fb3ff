// Controls: bindings of keys, buttons and axes to actions.
#pragma once

// Clears the per-input state table (2048 bytes); done when the window becomes active.
void MV2ClearInputTable();
