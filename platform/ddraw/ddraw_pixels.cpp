#include "platform/ddraw/ddraw_pixels.h"

#include <cstring>

namespace {

struct Channel {
    uint32_t mask;
    int shift; // position of the lowest set bit
    int bits;
};

Channel MakeChannel(uint32_t mask) {
    Channel c{mask, 0, 0};
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

uint8_t Widen(uint32_t pixel, const Channel& c) {
    if (!c.bits) return 0;
    uint32_t v = (pixel >> c.shift) & ((1u << c.bits) - 1);
    // Replicate the bits so that the largest value becomes 255.
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << c.bits) | v;
        filled += c.bits;
    }
    return static_cast<uint8_t>(out >> (filled - 8));
}

uint32_t Narrow(uint8_t value, const Channel& c) {
    if (!c.bits) return 0;
    return (static_cast<uint32_t>(value) >> (8 - c.bits)) << c.shift & c.mask;
}

struct Layout {
    Channel r, g, b, a;
    bool alpha;
};

Layout MakeLayout(const DDPIXELFORMAT& f) {
    Layout l{};
    l.r = MakeChannel(f.dwRBitMask);
    l.g = MakeChannel(f.dwGBitMask);
    l.b = MakeChannel(f.dwBBitMask);
    l.alpha = (f.dwFlags & DDPF_ALPHAPIXELS) && f.dwRGBAlphaBitMask;
    l.a = MakeChannel(l.alpha ? f.dwRGBAlphaBitMask : 0);
    return l;
}

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

} // namespace

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

uint32_t DDrawLoadPixel(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

void DDrawStorePixel(uint8_t* p, int bytes, uint32_t value) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void DDrawPixelToRgba(const DDPIXELFORMAT& f, uint32_t pixel, uint8_t rgba[4]) {
    Layout l = MakeLayout(f);
    rgba[0] = Widen(pixel, l.r);
    rgba[1] = Widen(pixel, l.g);
    rgba[2] = Widen(pixel, l.b);
    rgba[3] = l.alpha ? Widen(pixel, l.a) : 255;
}

uint32_t DDrawRgbaToPixel(const DDPIXELFORMAT& f, const uint8_t rgba[4]) {
    Layout l = MakeLayout(f);
    return Narrow(rgba[0], l.r) | Narrow(rgba[1], l.g) | Narrow(rgba[2], l.b) |
           (l.alpha ? Narrow(rgba[3], l.a) : 0);
}

void DDrawDecodeRow(const DDPIXELFORMAT& f, const uint8_t* src, DWORD count, uint8_t* rgba,
                    bool keyed, uint32_t key) {
    Layout l = MakeLayout(f);
    int bytes = DDrawBytesPerPixel(f);
    if (!bytes) return;
    for (DWORD i = 0; i < count; ++i, src += bytes, rgba += 4) {
        uint32_t p = DDrawLoadPixel(src, bytes);
        rgba[0] = Widen(p, l.r);
        rgba[1] = Widen(p, l.g);
        rgba[2] = Widen(p, l.b);
        if (l.alpha)
            rgba[3] = Widen(p, l.a);
        else
            rgba[3] = keyed && p == key ? 0 : 255;
    }
}

void DDrawEncodeRow(const DDPIXELFORMAT& f, const uint8_t* rgba, DWORD count, uint8_t* dst) {
    Layout l = MakeLayout(f);
    int bytes = DDrawBytesPerPixel(f);
    if (!bytes) return;
    for (DWORD i = 0; i < count; ++i, dst += bytes, rgba += 4) {
        uint32_t p = Narrow(rgba[0], l.r) | Narrow(rgba[1], l.g) | Narrow(rgba[2], l.b) |
                     (l.alpha ? Narrow(rgba[3], l.a) : 0);
        DDrawStorePixel(dst, bytes, p);
    }
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
