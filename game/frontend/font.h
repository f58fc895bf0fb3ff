// The HUD font: 8-bit strings drawn on screen.
#pragma once

#include <cstdint>

// Anchor 0 draws from (x, y); `large` chooses the large font.
void MV2FontDrawTextAnchored(const char* text, int32_t x, int32_t y, uint32_t colour,
                             int32_t anchor, int32_t large);
