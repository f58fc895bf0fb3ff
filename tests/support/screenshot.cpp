#include "tests/support/screenshot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

uint32_t Big32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

int Shift(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

} // namespace

bool ReadXwd(const std::vector<uint8_t>& b, Screenshot* out) {
    constexpr size_t kFields = 25;
    if (b.size() < kFields * 4) return false;
    uint32_t f[kFields];
    for (size_t i = 0; i < kFields; ++i)
        f[i] = Big32(b, i * 4);
    const uint32_t headerSize = f[0], version = f[1], format = f[2], width = f[4], height = f[5];
    const uint32_t byteOrder = f[7], bitsPerPixel = f[11], bytesPerLine = f[12];
    const uint32_t masks[3] = {f[14], f[15], f[16]};
    const uint32_t colours = f[19];
    // Version 7, ZPixmap, 32 bits a pixel with the channels in masks.
    if (version != 7 || format != 2 || bitsPerPixel != 32 || headerSize < kFields * 4) return false;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 || bytesPerLine < width * 4)
        return false;
    const uint64_t pixelsAt = uint64_t(headerSize) + uint64_t(colours) * 12;
    if (pixelsAt + uint64_t(bytesPerLine) * height > b.size()) return false;
    out->width = int(width);
    out->height = int(height);
    out->rgb.assign(size_t(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = size_t(pixelsAt) + size_t(y) * bytesPerLine + size_t(x) * 4;
            const uint32_t p = byteOrder == 0
                                   ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 |
                                         uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24
                                   : Big32(b, at);
            uint8_t* px = &out->rgb[(size_t(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c)
                px[c] = uint8_t((p & masks[c]) >> Shift(masks[c]));
        }
    return true;
}

bool XwdDump(const std::string& display, const std::string& id, Screenshot* out) {
    char path[] = "/tmp/marovant-xwd-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    const std::string command = "xwd -silent -display " + display +
                                (id == "root" ? std::string(" -root") : " -id " + id) + " -out " +
                                path + " 2>/dev/null";
    const bool ran = std::system(command.c_str()) == 0;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return ran && ReadXwd(bytes, out);
}

bool ReadPpm(const std::string& path, Screenshot* out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    if (!(in >> magic >> w >> h >> max) || magic != "P6" || max != 255 || w <= 0 || h <= 0 ||
        w > 16384 || h > 16384)
        return false;
    in.get();
    out->width = w;
    out->height = h;
    out->rgb.assign(size_t(w) * size_t(h) * 3, 0);
    in.read(reinterpret_cast<char*>(out->rgb.data()), std::streamsize(out->rgb.size()));
    return size_t(in.gcount()) == out->rgb.size();
}

bool WritePpm(const std::string& path, const Screenshot& shot) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << shot.width << " " << shot.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(shot.rgb.data()), std::streamsize(shot.rgb.size()));
    return bool(out);
}

double LitShare(const Screenshot& shot, int level) {
    if (shot.width <= 0 || shot.height <= 0) return 0.0;
    size_t lit = 0;
    for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3)
        lit += std::max({shot.rgb[i], shot.rgb[i + 1], shot.rgb[i + 2]}) > level;
    return double(lit) / (double(shot.width) * double(shot.height));
}

int CountColour(const Screenshot& shot, int x0, int y0, int x1, int y1, const uint8_t rgb[3],
                int tolerance) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(shot.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(shot.width, x1); ++x) {
            const uint8_t* p = shot.At(x, y);
            bool close = true;
            for (int c = 0; c < 3; ++c)
                close = close && std::abs(int(p[c]) - int(rgb[c])) <= tolerance;
            n += close;
        }
    return n;
}
