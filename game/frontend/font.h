// Text drawing: localised 16-bit texts through text descriptors with the language's glyph
// widths and font pages, and 8-bit strings with the HUD font in two sizes.
#pragma once

#include <cstdint>

#include "engine/core/im2d.h"

struct MV2TextDescriptor;
struct TvTexture;

// Descriptor texts; positions and sizes in screen pixels.
struct MV2TextPoint {
    float x, y;
};
int32_t MV2DrawText(MV2TextPoint centre, MV2TextPoint size, MV2TextDescriptor* descriptor,
                    uint8_t alignment, int32_t style);
int32_t MV2DrawTextAtDepth(MV2TextPoint centre, MV2TextPoint size, float depth, float rhw,
                           MV2TextDescriptor* descriptor, uint8_t alignment, int32_t style);
int32_t MV2DrawTextShadowed(MV2TextPoint centre, MV2TextPoint size, MV2TextDescriptor* descriptor,
                            uint8_t alignment, int32_t style, int32_t shadow);
// `list` ends with a null entry; a negative half width starts the block at y, a positive one
// puts its last line at y. The height used.
int32_t MV2DrawTextWrapped(int32_t x, int32_t y, int32_t halfWidth, MV2TextDescriptor* const* list,
                           uint32_t flags, int32_t style);
int32_t MV2DrawTextWrappedAtDepth(int32_t x, int32_t y, int32_t halfWidth, float depth, int32_t rhw,
                                  MV2TextDescriptor* const* list, uint32_t flags, int32_t style);
// The glyph loop: `quad` holds the pen (vertex 0 x), the line top (vertex 0 y) and bottom
// (vertex 1 y); `count` counted characters of `characters`. The width drawn.
int32_t MV2DrawTextGlyphs(TvIm2DVertex* quad, MV2TextDescriptor* descriptor, int32_t style,
                          uint32_t count, const uint8_t* characters);
void MV2SetTextColourStyle(TvIm2DVertex* quad, int32_t style, const TvIm2DVertex* source);
// Adds the frame time to the descriptor's reveal clock, revealing one character per 25 ms.
void MV2AdvanceTextReveal(MV2TextDescriptor* descriptor);
// Where the text record's speech reference begins: the first 4-byte-aligned offset, counted
// from the start of the language chunk, after the record's last unit (parameter pairs and
// 0xFFFF units included). Null without a text.
const uint8_t* MV2TextRecordEnd(const MV2TextDescriptor* descriptor);
// The reveal count of a wrapped text whose later lines are not drawn.
inline constexpr int32_t kMV2TextRevealFinished = 0x10000000;

// The HUD colour of the text styles without colours of their own: MV2HudColour (hud.h).

// A glyph of the HUD font: the code and its rectangle on the font page.
struct MV2Glyph {
    int32_t code;
    int32_t left, top, right, bottom;
    int32_t font;    // 1 large, 0 small
    int32_t pageRow; // 1 large, 2 small
};
inline constexpr int32_t kMV2FontGlyphs = 183;
extern const MV2Glyph* const gMV2SmallFontGlyphs; // kMV2FontGlyphs each
extern const MV2Glyph* const gMV2LargeFontGlyphs;
// The font pages the HUD font is read from, by name: 0 small, 1 large.
struct MV2FontPage {
    const char* name;
    const char* maskName;
    TvTexture* texture; // read on first use
};
extern MV2FontPage gMV2FontPages[2];
void MV2FontReleasePages();

int32_t MV2FontFindGlyph(const MV2Glyph* table, int32_t character);
int32_t MV2FontGetTextWidth(const char* text, int32_t large);
int32_t MV2FontDrawText(const char* text, int32_t x, int32_t y, uint32_t colour, int32_t large);
void MV2FontDrawTextAnchored(const char* text, int32_t x, int32_t y, uint32_t colour,
                             int32_t large, int32_t anchor);
int32_t MV2FontDrawTextShadowed(const char* text, int32_t x, int32_t y, uint32_t colour,
                                int32_t large, int32_t shadow);
int32_t MV2FontDrawTextAnchoredShadowed(const char* text, int32_t x, int32_t y, uint32_t colour,
                                        int32_t large, int32_t anchor, int32_t shadow);
