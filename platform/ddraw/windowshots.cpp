#include "platform/ddraw/windowshots.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Shots {
    bool read = false;
    std::string folder;
    std::vector<uint32_t> times;
    size_t next = 0; // the next time not yet taken
    int taken = 0;
};
Shots g_shots;

void ReadEnvironment() {
    g_shots.read = true;
    const char* folder = getenv("MAROVANT_WINDOW_SHOTS");
    const char* times = getenv("MAROVANT_WINDOW_SHOT_TIMES");
    if (!folder || !*folder || !times) return;
    g_shots.folder = folder;
    for (const char* p = times; *p;) {
        char* end = nullptr;
        const unsigned long t = strtoul(p, &end, 10);
        if (end == p) break;
        g_shots.times.push_back(uint32_t(t));
        p = *end == ',' ? end + 1 : end;
        if (*end != ',') break;
    }
}

} // namespace

bool DDrawWindowShotDue(uint32_t now, std::string* path) {
    if (!g_shots.read) ReadEnvironment();
    if (g_shots.next >= g_shots.times.size()) return false;
    if (int32_t(now - g_shots.times[g_shots.next]) < 0) return false;
    while (g_shots.next < g_shots.times.size() &&
           int32_t(now - g_shots.times[g_shots.next]) >= 0)
        ++g_shots.next;
    *path = g_shots.folder + "/shot-" + std::to_string(g_shots.taken++) + ".ppm";
    return true;
}

bool DDrawWriteWindowShot(const std::string& path, int width, int height,
                          const std::vector<uint8_t>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() < size_t(width) * size_t(height) * 4) return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fprintf(f, "P6\n%d %d\n255\n", width, height) > 0;
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height && ok; ++y) {
        const uint8_t* from = rgba.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x)
            std::memcpy(&row[size_t(x) * 3], from + size_t(x) * 4, 3);
        ok = fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    return fclose(f) == 0 && ok;
}

void DDrawResetWindowShots() {
    g_shots = Shots{};
}
