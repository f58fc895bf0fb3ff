// Sample data of the later effects: the smoke, sonic ripple, lava and sun-ray pictures; the
// types 252 (sound source), 338 (sonic blast), 350-352 (regrowing plants), 408 (ink emitter),
// 426 (sun rays) and 431 (respawner); and a sun-ray object and a regrowing plant in level 0.
#include "tools/sampledata/sampledata.h"

#include <cmath>
#include <cstring>

#include "tests/support/level_writer.h"
#include "tests/support/resfile_writer.h"

namespace {

void Word(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    for (int i = 0; i < 4; i++)
        r[size_t(4 * word + i)] = uint8_t(v >> (8 * i));
}

void Float(std::vector<uint8_t>& r, int32_t word, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    Word(r, word, v);
}

// A type of every level group on a model, with `blocks` private records a chunk.
std::vector<uint8_t> Kind(uint32_t type, const char* model, uint32_t blocks, float radius) {
    std::vector<uint8_t> r = TypeRecord(type);
    std::memcpy(&r[size_t(4 * 34)], model, std::strlen(model));
    Float(r, 1, 100.0f);
    Float(r, 10, radius);
    Float(r, 11, radius);
    Word(r, 30, 0xFFFF);
    Word(r, 32, blocks << 16);
    Word(r, 69, 100);
    Word(r, 70, 100);
    return r;
}

// 0..1 from the centre of a square picture to its rim.
float Out(int32_t x, int32_t y, int32_t size) {
    const float h = float(size) * 0.5f;
    return std::hypot(float(x) + 0.5f - h, float(y) + 0.5f - h) / h;
}

void Picture(std::vector<PackWriterEntry>& out, const std::string& name, int32_t size,
             const SampleShade& shade) {
    out.push_back({name + ".bmp", SampleBmp(size, shade)});
}

} // namespace

void SampleEffects2Textures(std::vector<PackWriterEntry>& out) {
    // A soft cloud, lumpy at its rim; drawn as the darkness it leaves behind.
    Picture(out, "SMOKE2", 64, [](int32_t x, int32_t y) {
        const float lumps = 0.15f * std::sin(float(x) * 0.7f) * std::cos(float(y) * 0.5f);
        const float t = std::fmax(0.0f, 1.0f - Out(x, y, 64) + lumps);
        return SampleRgb(230 * t, 230 * t, 230 * t);
    });
    // Faint concentric rings of the sonic blast.
    Picture(out, "sonica", 32, [](int32_t x, int32_t y) {
        const float d = Out(x, y, 32);
        const float t = d < 1.0f ? 0.5f + 0.5f * std::cos(d * 18.0f) : 0.0f;
        return SampleRgb(120 * t, 200 * t, 255 * t);
    });
    // A glowing lava blob and its mask.
    Picture(out, "lavablob", 32, [](int32_t x, int32_t y) {
        const float t = std::fmax(0.0f, 1.0f - Out(x, y, 32));
        return SampleRgb(255 * t, 180 * t * t, 60 * t * t * t);
    });
    Picture(out, "lavablom", 32, [](int32_t x, int32_t y) {
        const float t = std::fmax(0.0f, 1.0f - Out(x, y, 32));
        return SampleRgb(255 * t, 255 * t, 255 * t);
    });
    // A ray: bright down the middle, fading to the sides and toward its far end (v = 1).
    Picture(out, "sunray", 32, [](int32_t x, int32_t y) {
        const float across = std::fmax(0.0f, 1.0f - std::fabs(float(x) - 15.5f) / 16.0f);
        const float along = 1.0f - float(y) / 40.0f;
        const float t = across * along;
        return SampleRgb(255 * t, 245 * t, 200 * t);
    });
}

void SampleEffects2TypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(Kind(252, "DOT", 8, 0.1f)); // sound source
    // The sonic blast: a body that floats in the water and touches what it meets.
    std::vector<uint8_t> blast = Kind(338, "BALL", 32, 0.6f);
    Word(blast, 7, (1u << 0) | (1u << 1));
    Word(blast, 31, (1u << 28) | (8u << 14) | 8u);
    Float(blast, 2, 1.0f);
    Float(blast, 3, 1.0f);
    types.push_back(blast);
    // Regrowing plants: bodies held in place until the magnet lets them float.
    for (uint32_t t = 350; t <= 352; t++) {
        std::vector<uint8_t> plant = Kind(t, "BALL", 8, 0.5f);
        Word(plant, 31, (1u << 28) | (8u << 14) | 8u);
        Float(plant, 2, 1.0f);
        Float(plant, 3, 1.0f);
        types.push_back(plant);
    }
    types.push_back(Kind(408, "DOT", 4, 0.1f)); // ink emitter
    types.push_back(Kind(426, "DOT", 14, 0.5f)); // sun rays
    types.push_back(Kind(431, "DOT", 16, 0.1f)); // respawner
}

void SampleEffects2LevelRecords(LevelDesc& level) {
    // A fan of sun rays slanting down from below the surface onto the seabed, and a plant on it.
    LevelItem rays = LevelItemAt(0x00130001, 426, 40, 24, 20);
    const float at[3] = {0.3f, -0.9f, 0.3f};
    const float n = std::sqrt(at[0] * at[0] + at[1] * at[1] + at[2] * at[2]);
    for (int k = 0; k < 3; k++)
        rays.at[k] = at[k] / n;
    const float right[3] = {rays.at[2], 0.0f, -rays.at[0]}; // y x at, level
    const float r = std::sqrt(right[0] * right[0] + right[2] * right[2]);
    rays.right[0] = right[0] / r;
    rays.right[1] = 0.0f;
    rays.right[2] = right[2] / r;
    rays.up[0] = rays.at[1] * rays.right[2] - rays.at[2] * rays.right[1];
    rays.up[1] = rays.at[2] * rays.right[0] - rays.at[0] * rays.right[2];
    rays.up[2] = rays.at[0] * rays.right[1] - rays.at[1] * rays.right[0];
    level.records.push_back({0x0013FFFF, 1, {rays, LevelItemAt(0x00130002, 350, 45, 4, 25)}});
}
