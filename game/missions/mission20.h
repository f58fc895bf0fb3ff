// Mission row 20: holding mining site 2 with a borrowed craft, and the status panel the HUD
// draws while the player drives that craft.
#pragma once

#include <cstdint>

// Drawn by the HUD each frame; draws only while the panel is switched on.
void MV2Mission20DrawStatus();
void MV2Mission20HideStatus();
int32_t MV2Mission20StatusShown();
// The colour of a guarded object's row: red in the flashing frames while its flash lasts
// (bit 7 of the time left set), else the HUD colour at half energy or more, else yellow.
uint32_t MV2Mission20StatusColour(uint32_t flashEnd, uint32_t now, float fraction);
