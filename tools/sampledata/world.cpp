// Sample textures of the world modules: the water surface frames, ripples, drops and
// splashes, caustic frames, clouds, sun and moon, the tunnel's rocks and its cloud sheets.
#include "tools/sampledata/sampledata.h"

#include <cmath>
#include <cstdio>
#include <functional>

#include "tests/support/image_writer.h"

namespace {

using Shade = SampleShade;
constexpr auto Bmp = SampleBmp;
constexpr auto Rgb = SampleRgb;

uint32_t Grey(float v) {
    return Rgb(v, v, v);
}

// Distance of (x, y) from the picture's centre, 0 at the middle and 1 at the edge's midpoint.
float Radius(int32_t x, int32_t y, int32_t size) {
    const float h = float(size) * 0.5f;
    return std::hypot(float(x) + 0.5f - h, float(y) + 0.5f - h) / h;
}

void Add(std::vector<PackWriterEntry>& out, const std::string& name, int32_t size,
         const Shade& shade) {
    out.push_back({name + ".bmp", Bmp(size, shade)});
}

} // namespace

void SampleDataAddWorldTextures(std::vector<PackWriterEntry>& out) {
    const float pi = 3.14159265f;
    // Twenty surface frames: crossing waves moving by a twentieth of their period per frame.
    for (int32_t f = 0; f < 20; f++) {
        char name[32], mask[32];
        std::snprintf(name, sizeof name, "WATER%c", char('A' + f));
        std::snprintf(mask, sizeof mask, "WATER%cM", char('A' + f));
        const float phase = float(f) * 2.0f * pi / 20.0f;
        auto wave = [=](int32_t x, int32_t y) {
            return std::sin(float(x) * 2 * pi / 32 + phase) + std::sin(float(y) * 2 * pi / 64 - phase);
        };
        Add(out, name, 64, [=](int32_t x, int32_t y) {
            const float w = wave(x, y);
            return Rgb(40 + 20 * w, 110 + 30 * w, 170 + 30 * w);
        });
        Add(out, mask, 64, [=](int32_t x, int32_t y) { return Grey(170 + 40 * wave(x, y)); });
    }
    Add(out, "RIPPLE", 64, [](int32_t x, int32_t y) {
        const float r = Radius(x, y, 64);
        return r > 1.0f ? 0 : Grey(255 * std::exp(-std::pow((r - 0.8f) * 8, 2.0f)));
    });
    Add(out, "NWSPLASH", 64, [](int32_t x, int32_t y) {
        return Grey(200 + 55 * std::sin(float(x) * 0.4f) * std::cos(float(y) * 0.3f));
    });
    Add(out, "DROP", 16, [](int32_t x, int32_t y) {
        const float r = Radius(x, y, 16);
        return r > 1.0f ? 0 : Rgb(180 * (1 - r) + 60, 220 * (1 - r) + 30, 255);
    });
    // Thirty-two caustic frames: bright lines where two moving patterns cross.
    for (int32_t f = 0; f < 32; f++) {
        char name[32], mask[32];
        std::snprintf(name, sizeof name, "CAUST%02d", f);
        std::snprintf(mask, sizeof mask, "CAUST%02dm", f);
        const float phase = float(f) * 2.0f * pi / 32.0f;
        auto light = [=](int32_t x, int32_t y) {
            const float a = std::sin(float(x) * 2 * pi / 32 + phase + std::sin(float(y) * 0.2f));
            const float b = std::sin(float(y) * 2 * pi / 32 - phase + std::sin(float(x) * 0.2f));
            return std::pow(1.0f - std::fabs(a * b), 6.0f);
        };
        Add(out, name, 32, [=](int32_t x, int32_t y) { return Grey(64 + 191 * light(x, y)); });
        Add(out, mask, 32, [=](int32_t x, int32_t y) { return Grey(255 * light(x, y)); });
    }
    Add(out, "CLOUDS", 64, [=](int32_t x, int32_t y) {
        const float c = 0.5f + 0.25f * std::sin(float(x) * 2 * pi / 64) +
                        0.25f * std::cos(float(y + x / 2) * 2 * pi / 32);
        return Rgb(90 + 160 * c, 130 + 120 * c, 210 + 45 * c);
    });
    for (const char* body : {"SUN", "MOON"}) {
        const bool sun = body[0] == 'S';
        Add(out, body, 32, [=](int32_t x, int32_t y) {
            const float r = Radius(x, y, 32);
            return sun ? Rgb(255, 240 - 60 * r, 160 - 120 * r) : Grey(230 - 50 * r);
        });
        Add(out, std::string(body) + "M", 32, [](int32_t x, int32_t y) {
            const float r = Radius(x, y, 32);
            return r > 0.9f ? 0 : Grey(255 * std::fmin(1.0f, (0.9f - r) * 5));
        });
    }
    // Six rocks: layered browns and greys, each of its own grain.
    for (int32_t i = 1; i <= 6; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "vrocks%d", i);
        Add(out, name, 64, [=](int32_t x, int32_t y) {
            const float g = std::sin(float(y * i) * 0.3f + std::sin(float(x) * 0.2f) * 2) * 0.5f + 0.5f;
            const float n = float((x * 37 + y * 91 + i * 13) % 17) / 17.0f;
            return Rgb(70 + 50 * g + 20 * n + 5 * i, 60 + 40 * g + 20 * n, 50 + 30 * g + 15 * n);
        });
    }
    // Eight cloud sheets that are their own masks: soft blobs, each placed differently.
    for (int32_t i = 1; i <= 8; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "cloud%dm", i);
        Add(out, name, 32, [=](int32_t x, int32_t y) {
            const float r = Radius(x, y, 32);
            const float wisp = 0.5f + 0.5f * std::sin(float(x + i * 3) * 0.5f) * std::cos(float(y) * 0.4f);
            return Grey(255 * std::fmax(0.0f, 1.0f - r) * (0.6f + 0.4f * wisp));
        });
    }
}
