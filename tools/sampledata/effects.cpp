// Sample data of the effects: the shared effect textures, the explosion, scorch, bubble, spark,
// fireball and flak pictures, and the object types 39 (process), 42 (invisible carrier) and 78
// (darting fish) with the carrier's tiny model.
#include "tools/sampledata/sampledata.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#include "tests/support/chunk_writer.h"
#include "tests/support/image_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_writer.h"

namespace {

using Shade = SampleShade;
constexpr auto Bmp = SampleBmp;
constexpr auto Rgb = SampleRgb;

float Radius(int32_t x, int32_t y, int32_t size) {
    const float h = float(size) * 0.5f;
    return std::hypot(float(x) + 0.5f - h, float(y) + 0.5f - h) / h;
}

// A soft round blob of the colour, fading to black at the rim.
void Blob(std::vector<PackWriterEntry>& out, const std::string& name, float r, float g, float b,
          float sharpness = 1.0f) {
    out.push_back({name + ".bmp", Bmp(32, [=](int32_t x, int32_t y) {
                       const float t = std::pow(std::fmax(0.0f, 1.0f - Radius(x, y, 32)), sharpness);
                       return Rgb(r * t, g * t, b * t);
                   })});
}

// A ring of the colour at the given radius.
void Ring(std::vector<PackWriterEntry>& out, const std::string& name, float at, float grey) {
    out.push_back({name + ".bmp", Bmp(32, [=](int32_t x, int32_t y) {
                       const float t = std::fmax(0.0f, 1.0f - std::fabs(Radius(x, y, 32) - at) * 6);
                       return Rgb(grey * t, grey * t, grey * t);
                   })});
}

void SetWord(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    for (int i = 0; i < 4; i++)
        r[size_t(4 * word + i)] = uint8_t(v >> (8 * i));
}

void SetFloat(std::vector<uint8_t>& r, int32_t word, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    SetWord(r, word, v);
}

std::vector<uint8_t> Type(uint32_t type, const char* model) {
    std::vector<uint8_t> r = TypeRecord(type);
    std::memcpy(&r[size_t(4 * 34)], model, std::strlen(model));
    SetFloat(r, 1, 100.0f);
    SetFloat(r, 10, 1.0f);
    SetFloat(r, 11, 1.0f);
    SetWord(r, 30, 0xFFFF); // every level group
    SetWord(r, 69, 100);
    SetWord(r, 70, 100);
    return r;
}

} // namespace

void SampleEffectTextures(std::vector<PackWriterEntry>& out) {
    for (int32_t i = 1; i <= 3; i++) {
        const std::string n = "DIRT" + std::to_string(i);
        Blob(out, n, 120, 100, 70);
        Blob(out, n + "M", 200, 200, 200, 2.0f);
    }
    Blob(out, "CORONA", 255, 255, 230, 2.0f);
    Blob(out, "CORONAM", 255, 255, 255, 2.0f);
    Blob(out, "SILCOR2", 200, 255, 200, 2.0f);
    Blob(out, "SILCORM", 255, 255, 255, 2.0f);
    Blob(out, "BLOOD", 150, 10, 10);
    Blob(out, "BLOODM", 220, 220, 220);
    // Flame frames of the ten kinds: a blob that grows and dims frame by frame.
    const float tint[10][3] = {{255, 140, 60}, {255, 230, 120}, {140, 180, 255}, {255, 120, 30},
                               {255, 240, 150}, {255, 250, 190}, {120, 150, 200}, {255, 220, 110},
                               {130, 120, 220}, {90, 190, 120}};
    char name[32];
    for (int32_t kind = 0; kind < 10; kind++)
        for (int32_t f = 0; f < 7; f++) {
            std::snprintf(name, sizeof name, "explo%d%c", kind, 'a' + f);
            const float k = 1.0f - float(f) * 0.12f;
            Blob(out, name, tint[kind][0] * k, tint[kind][1] * k, tint[kind][2] * k,
                 0.5f + float(f) * 0.3f);
        }
    for (int32_t f = 0; f < 3; f++) {
        std::snprintf(name, sizeof name, "ering%c", 'a' + f);
        Ring(out, name, 0.6f + 0.1f * float(f), 220);
        Ring(out, std::string(name) + "m", 0.6f + 0.1f * float(f), 255);
    }
    for (const char* n : {"CLEAR1", "CLEAR2", "CLEAR3"})
        Blob(out, n, 20, 20, 20);
    Blob(out, "CLEARR", 160, 20, 10);
    Blob(out, "CLEARG", 20, 160, 30);
    for (int32_t i = 1; i <= 3; i++)
        Blob(out, "SCORCH" + std::to_string(i), 230, 230, 230, 0.5f + 0.5f * float(i));
    for (const char* n : {"bubblea", "bubbleb", "bubblec"})
        Ring(out, n, 0.8f, 230);
    // Spark frames and the splat: four-pointed glints and a dull patch.
    for (const char* n : {"sparkb", "sparka", "spark"})
        out.push_back({std::string(n) + ".bmp", Bmp(32, [](int32_t x, int32_t y) {
                           const float dx = std::fabs(float(x) - 15.5f), dy = std::fabs(float(y) - 15.5f);
                           const float t = std::fmax(0.0f, 1.0f - std::fmin(dx, dy) / 3.0f) *
                                           std::fmax(0.0f, 1.0f - std::fmax(dx, dy) / 16.0f);
                           return Rgb(255 * t, 240 * t, 180 * t);
                       })});
    Blob(out, "splat", 90, 80, 60);
    Blob(out, "FIREBALA", 255, 150, 40, 1.5f);
    // The flak sheet: 5 x 5 cells of 51 pixels, each a puff that grows through the sheet.
    for (bool mask : {false, true})
        out.push_back({mask ? "flakm.bmp" : "flak.bmp", Bmp(256, [mask](int32_t x, int32_t y) {
                           const int32_t cell = (y / 51) * 5 + x / 51;
                           const float cx = float(x % 51) - 25.0f, cy = float(y % 51) - 25.0f;
                           const float grow = 8.0f + float(cell);
                           const float t = std::fmax(0.0f, 1.0f - std::hypot(cx, cy) / grow);
                           return mask ? Rgb(255 * t, 255 * t, 255 * t)
                                       : Rgb(255 * t, 180 * t, 60 * t);
                       })});
    // Beam strips: a bright core line and broken sparks across the middle of the texture.
    out.push_back({"CORE.bmp", Bmp(32, [](int32_t x, int32_t) {
                       const float t = std::fmax(0.0f, 1.0f - std::fabs(float(x) - 15.5f) / 4.0f);
                       return Rgb(180 * t, 200 * t, 255 * t);
                   })});
    out.push_back({"BITS.bmp", Bmp(32, [](int32_t x, int32_t y) {
                       const float t = std::fmax(0.0f, 1.0f - std::fabs(float(x) - 15.5f) / 4.0f);
                       const float on = ((x * 7 + y * 13) % 5 == 0) ? 1.0f : 0.2f;
                       return Rgb(200 * t * on, 220 * t * on, 255 * t * on);
                   })});
    // Glows of the plasma and spider shots and the motion-trail speck, each with its mask.
    Blob(out, "PLASMA1", 120, 200, 255, 1.5f);
    Blob(out, "PLASMA1M", 255, 255, 255, 1.5f);
    Blob(out, "PLASMA2", 200, 160, 255, 2.0f);
    Blob(out, "PLASMA2M", 255, 255, 255, 2.0f);
    Blob(out, "SPIDSHT", 120, 255, 120, 1.5f);
    Blob(out, "SPIDSHTM", 255, 255, 255, 1.5f);
    Blob(out, "MTrail", 200, 220, 235, 0.7f);
    Blob(out, "MTrailm", 160, 160, 160, 0.7f);
    // The squid's ink cloud: a dark puff and its mask.
    Blob(out, "ink", 20, 15, 30, 1.2f);
    Blob(out, "inkm", 255, 255, 255, 1.2f);
}

void SampleEffectTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    // 39: a processing plant part with its looped sound; private data of two words.
    std::vector<uint8_t> process = Type(39, "BALL");
    SetWord(process, 32, 4u << 16);
    types.push_back(process);
    // 42: the invisible carrier of scorches and sparks.
    std::vector<uint8_t> carrier = Type(42, "DOT");
    SetWord(carrier, 32, 8u << 16); // its number and link
    types.push_back(carrier);
    // 78: the darting fish, a body that turns and is righted.
    std::vector<uint8_t> fish = Type(78, "BALL");
    SetFloat(fish, 2, 1.0f);
    SetFloat(fish, 3, 1.0f);
    SetFloat(fish, 9, 1.0f);
    SetFloat(fish, 10, 0.3f);
    SetWord(fish, 7, (1u << 1) | (1u << 20)); // landscape contacts, can die
    SetWord(fish, 31, 2u << 28);              // linear and angular motion
    types.push_back(fish);
}

void SampleEffectModels(std::vector<PackWriterEntry>& clumpPack) {
    // The carrier's model: one tiny triangle.
    AtomicRecord dot;
    dot.geometry.numVertices = 3;
    MorphRecord m;
    m.vertices = {{0, 0, 0}, {0.001f, 0, 0}, {0, 0.001f, 0}};
    m.sphere = {0, 0, 0, 0.01f};
    dot.geometry.morphs.push_back(m);
    dot.geometry.triangles.push_back({0, 1, 2, 0xFFFF});
    dot.extension = {{368, {1, 0, 0, 0}}}; // part tag 1, as every object model carries
    ChunkWriter w;
    WriteClump(w, {FrameAt(0, 0, 0, -1)}, {dot});
    clumpPack.push_back({"DOT.DFF", std::string(w.data().begin(), w.data().end())});
}
