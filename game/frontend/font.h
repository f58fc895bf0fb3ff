// The HUD font: 8-bit strings drawn on screen.
#pragma once

#include <cstdint>

// Anchor 0 draws from (x, y); `large` chooses the large font.
void MV2FontDrawTextAnchored(const char* text, int32_t x, int32_t y, uint32_t colour,
                             int32_t anchor, int32_t large);

// A glyph of the small HUD font: the character code and its rectangle on the font page.
struct MV2FontGlyph {
    int32_t code;
    int32_t left, top, right, bottom;
    int32_t word5, word6;
};
inline constexpr int32_t kMV2SmallFontGlyphs = 183;
extern const MV2FontGlyph gMV2SmallFontGlyphs[kMV2SmallFontGlyphs];

// Draws a text id of the language word-wrapped into a box; the height used.
int32_t MV2DrawTextWrapped(uint32_t textId, int32_t x, int32_t y, int32_t box, float scale,
                           int32_t lineHeight);
