// The in-sub console: its page, as the game-state machine starts it.
#pragma once

// Prepares the console page and fits the weapons unlocked since the last visit to the sub.
void MV2StartConsole();
