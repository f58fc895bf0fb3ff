#include "platform/ddraw/ddraw_pixels.h"

#include <cstring>

namespace {

uint16_t Rgb565(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void Expand565(uint16_t c, uint8_t out[4]) {
    uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
    out[3] = 255;
}

// The colour half of a DXT block into 16 RGBA texels.
void DecodeColourBlock(const uint8_t* block, bool dxt1, uint8_t texels[16][4]) {
    uint16_t c0 = Rgb565(block), c1 = Rgb565(block + 2);
    uint8_t palette[4][4];
    Expand565(c0, palette[0]);
    Expand565(c1, palette[1]);
    for (int i = 0; i < 3; ++i) {
        if (!dxt1 || c0 > c1) {
            palette[2][i] = static_cast<uint8_t>((2 * palette[0][i] + palette[1][i]) / 3);
            palette[3][i] = static_cast<uint8_t>((palette[0][i] + 2 * palette[1][i]) / 3);
        } else {
            palette[2][i] = static_cast<uint8_t>((palette[0][i] + palette[1][i]) / 2);
            palette[3][i] = 0;
        }
    }
    palette[2][3] = 255;
    palette[3][3] = (!dxt1 || c0 > c1) ? 255 : 0;
    uint32_t bits =
        block[4] | block[5] << 8 | block[6] << 16 | static_cast<uint32_t>(block[7]) << 24;
    for (int i = 0; i < 16; ++i)
        memcpy(texels[i], palette[(bits >> (2 * i)) & 3], 4);
}

DDrawChannel MakeChannel(uint32_t mask) {
    DDrawChannel c{mask, 0, 0};
    if (!mask) return c;
    while (!((mask >> c.shift) & 1))
        ++c.shift;
    for (uint32_t m = mask >> c.shift; m & 1; m >>= 1)
        ++c.bits;
    if (c.bits > 8) { // keep the top eight bits of wide channels
        c.shift += c.bits - 8;
        c.bits = 8;
    }
    return c;
}

} // namespace

DDrawPixelLayout DDrawMakePixelLayout(const DDPIXELFORMAT& f) {
    DDrawPixelLayout l{};
    l.r = MakeChannel(f.dwRBitMask);
    l.g = MakeChannel(f.dwGBitMask);
    l.b = MakeChannel(f.dwBBitMask);
    l.alpha = (f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRGBAlphaBitMask;
    l.a = MakeChannel(l.alpha ? f.dwRGBAlphaBitMask : 0);
    return l;
}

int DDrawBytesPerPixel(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_FOURCC) return 0;
    int bytes = static_cast<int>((f.dwRGBBitCount + 7) / 8);
    return bytes >= 1 && bytes <= 4 ? bytes : 0;
}

bool DDrawIsDxt(const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_FOURCC) && f.dwFourCC >= FOURCC_DXT1 && f.dwFourCC <= FOURCC_DXT5 &&
           (f.dwFourCC & 0x00FFFFFF) == (FOURCC_DXT1 & 0x00FFFFFF);
}

size_t DDrawDxtLevelSize(DWORD fourCC, DWORD width, DWORD height) {
    size_t blocks = static_cast<size_t>((width + 3) / 4) * ((height + 3) / 4);
    return blocks * (fourCC == FOURCC_DXT1 ? 8 : 16);
}

void DDrawPixelToRgba(const DDPIXELFORMAT& f, uint32_t pixel, uint8_t rgba[4]) {
    DDrawLayoutToRgba(DDrawMakePixelLayout(f), pixel, rgba);
}

uint32_t DDrawRgbaToPixel(const DDPIXELFORMAT& f, const uint8_t rgba[4]) {
    return DDrawLayoutToPixel(DDrawMakePixelLayout(f), rgba);
}

void DDrawDecodeRow(const DDPIXELFORMAT& f, const uint8_t* src, DWORD count, uint8_t* rgba,
                    bool keyed, uint32_t key) {
    const DDrawPixelLayout l = DDrawMakePixelLayout(f);
    int bytes = DDrawBytesPerPixel(f);
    if (!bytes) return;
    for (DWORD i = 0; i < count; ++i, src += bytes, rgba += 4) {
        uint32_t p = DDrawLoadPixel(src, bytes);
        DDrawLayoutToRgba(l, p, rgba);
        if (!l.alpha && keyed && p == key) rgba[3] = 0;
    }
}

void DDrawEncodeRow(const DDPIXELFORMAT& f, const uint8_t* rgba, DWORD count, uint8_t* dst) {
    const DDrawPixelLayout l = DDrawMakePixelLayout(f);
    int bytes = DDrawBytesPerPixel(f);
    if (!bytes) return;
    for (DWORD i = 0; i < count; ++i, dst += bytes, rgba += 4)
        DDrawStorePixel(dst, bytes, DDrawLayoutToPixel(l, rgba));
}

void DDrawDecodeDxt(DWORD fourCC, const uint8_t* blocks, DWORD width, DWORD height, uint8_t* rgba) {
    const bool dxt1 = fourCC == FOURCC_DXT1;
    const bool explicitAlpha = fourCC == FOURCC_DXT2 || fourCC == FOURCC_DXT3;
    const size_t blockSize = dxt1 ? 8 : 16;
    for (DWORD by = 0; by < (height + 3) / 4; ++by) {
        for (DWORD bx = 0; bx < (width + 3) / 4; ++bx, blocks += blockSize) {
            uint8_t texels[16][4];
            DecodeColourBlock(dxt1 ? blocks : blocks + 8, dxt1, texels);
            if (explicitAlpha) {
                for (int i = 0; i < 16; ++i) {
                    uint32_t a = (blocks[i / 2] >> (4 * (i & 1))) & 15;
                    texels[i][3] = static_cast<uint8_t>(a << 4 | a);
                }
            } else if (!dxt1) {
                uint32_t a0 = blocks[0], a1 = blocks[1];
                uint32_t alphas[8] = {a0, a1};
                for (int i = 2; i < 8; ++i) {
                    if (a0 > a1)
                        alphas[i] = ((8 - i) * a0 + (i - 1) * a1) / 7;
                    else if (i < 6)
                        alphas[i] = ((6 - i) * a0 + (i - 1) * a1) / 5;
                    else
                        alphas[i] = i == 6 ? 0 : 255;
                }
                uint64_t bits = 0;
                for (int i = 0; i < 6; ++i)
                    bits |= static_cast<uint64_t>(blocks[2 + i]) << (8 * i);
                for (int i = 0; i < 16; ++i)
                    texels[i][3] = static_cast<uint8_t>(alphas[(bits >> (3 * i)) & 7]);
            }
            for (int i = 0; i < 16; ++i) {
                DWORD x = bx * 4 + (i & 3), y = by * 4 + (i >> 2);
                if (x < width && y < height)
                    memcpy(rgba + (static_cast<size_t>(y) * width + x) * 4, texels[i], 4);
            }
        }
    }
}
