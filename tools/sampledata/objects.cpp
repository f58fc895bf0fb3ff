#include "tools/sampledata/objects.h"

#include <cmath>
#include <cstring>
#include <filesystem>

#include "tests/support/chunk_writer.h"
#include "tests/support/image_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_writer.h"

namespace {

constexpr uint32_t kPartTagPlugin = 368;

void SetWord(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    SampleTypeSetWord(r, word, v);
}

void SetFloat(std::vector<uint8_t>& r, int32_t word, float f) {
    SampleTypeSetFloat(r, word, f);
}

void SetName(std::vector<uint8_t>& r, int32_t word, const char* name) {
    SampleTypeSetName(r, word, name);
}

std::vector<uint8_t> Tag(uint32_t tag) {
    return {uint8_t(tag), uint8_t(tag >> 8), uint8_t(tag >> 16), uint8_t(tag >> 24)};
}

// A box from -size to size on each axis about `centre`, 12 triangles facing out.
GeometryRecord Box(std::array<float, 3> centre, std::array<float, 3> size) {
    GeometryRecord g;
    g.numVertices = 8;
    MorphRecord m;
    for (int i = 0; i < 8; i++)
        m.vertices.push_back({centre[0] + (i & 1 ? size[0] : -size[0]),
                              centre[1] + (i & 2 ? size[1] : -size[1]),
                              centre[2] + (i & 4 ? size[2] : -size[2])});
    const float r = std::sqrt(size[0] * size[0] + size[1] * size[1] + size[2] * size[2]);
    m.sphere = {centre[0], centre[1], centre[2], r};
    g.morphs.push_back(m);
    const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        g.triangles.push_back({f[0], f[1], f[2], 0xFFFF});
        g.triangles.push_back({f[0], f[2], f[3], 0xFFFF});
    }
    return g;
}

// An octahedron of radius 1 about the origin.
GeometryRecord Ball() {
    GeometryRecord g;
    g.numVertices = 6;
    MorphRecord m;
    m.vertices = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    m.sphere = {0, 0, 0, 1};
    g.morphs.push_back(m);
    const uint16_t tris[8][3] = {{0, 2, 4}, {4, 2, 1}, {1, 2, 5}, {5, 2, 0},
                                 {0, 4, 3}, {4, 1, 3}, {1, 5, 3}, {5, 0, 3}};
    for (const auto& t : tris)
        g.triangles.push_back({t[0], t[1], t[2], 0xFFFF});
    return g;
}

std::string Model(const std::vector<FrameRecord>& frames, std::vector<AtomicRecord> atomics) {
    for (size_t i = 0; i < atomics.size(); i++)
        atomics[i].extension = {{kPartTagPlugin, Tag(uint32_t(i + 1))}};
    ChunkWriter w;
    WriteClump(w, frames, atomics);
    return std::string(w.data().begin(), w.data().end());
}

std::vector<uint8_t> Record(uint32_t type, const char* model) {
    std::vector<uint8_t> r = TypeRecord(type);
    SetName(r, 34, model);
    SetFloat(r, 1, 100.0f); // initial energy
    SetFloat(r, 10, 1.0f);  // bounding radius: the model's extent
    SetFloat(r, 11, 1.0f);
    SetWord(r, 30, 0x1); // level group 0
    SetWord(r, 69, 100);
    SetWord(r, 70, 100);
    return r;
}

} // namespace

void SampleTypeSetWord(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    for (int i = 0; i < 4; i++)
        r[size_t(4 * word + i)] = uint8_t(v >> (8 * i));
}

void SampleTypeSetFloat(std::vector<uint8_t>& r, int32_t word, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    SampleTypeSetWord(r, word, v);
}

void SampleTypeSetName(std::vector<uint8_t>& r, int32_t word, const char* name) {
    std::memcpy(&r[size_t(4 * word)], name, std::strlen(name));
}

void SampleObjectTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    std::vector<uint8_t> prop = Record(kSampleTreePropType, "PROP.DFF");
    SetWord(prop, 7, 1u << 2); // collides through its collision tree
    SetWord(prop, 33, 2u << 12);
    SetName(prop, 42, "PROP.COL");
    types.push_back(prop);

    std::vector<uint8_t> ball = Record(kSampleBallType, "BALL");
    SetWord(ball, 7, (1u << 0) | (1u << 1) | (1u << 20)); // objects, landscape, can die
    SetWord(ball, 31, 1u << 28);                          // linear motion: a body
    SetWord(ball, 33, 1u << 12);                          // the root atomic collides
    SetFloat(ball, 2, 1.0f);
    SetFloat(ball, 3, 1.0f);
    types.push_back(ball);

    std::vector<uint8_t> shadowed = Record(kSampleShadowedType, "BALL");
    SetName(shadowed, 46, "SHADBALL");
    types.push_back(shadowed);
}

void SampleObjectModels(std::vector<PackWriterEntry>& clumpPack) {
    // The prop: a floor plate and a pillar standing on it, each an atomic of its own.
    AtomicRecord plate, pillar;
    plate.frameIndex = 0;
    plate.geometry = Box({0, -0.25f, 0}, {4, 0.25f, 4});
    pillar.frameIndex = 1;
    pillar.geometry = Box({0, 1.5f, 0}, {0.5f, 1.5f, 0.5f});
    clumpPack.push_back(
        {"PROP.DFF", Model({FrameAt(0, 0, 0, -1), FrameAt(2, 0, 0, 0)}, {plate, pillar})});
    AtomicRecord ball;
    ball.geometry = Ball();
    clumpPack.push_back({"BALL.DFF", Model({FrameAt(0, 0, 0, -1)}, {ball})});
}

void SampleObjectTextures(std::vector<PackWriterEntry>& texturePack) {
    // A round soft shadow and its mask.
    for (bool mask : {false, true}) {
        BmpDesc d;
        d.width = d.height = 32;
        d.bits = 24;
        d.data = BmpRows(32, 32, 24, [mask](int32_t x, int32_t y) -> uint32_t {
            const float dx = float(x) - 15.5f, dy = float(y) - 15.5f;
            const float t = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy) / 16.0f);
            const auto v = uint32_t(t * 255.0f);
            return mask ? (v << 16 | v << 8 | v) : 0x101010;
        });
        const std::vector<uint8_t> bytes = BmpFile(d);
        texturePack.push_back(
            {mask ? "SHADBALL.bmp" : "SHADALPH.bmp", std::string(bytes.begin(), bytes.end())});
    }
}

bool SampleObjectFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder) / "CLUMP", ec);
    return !ec;
}
