#include "tests/support/world_writer.h"

#include "engine/core/d3d/tristrip.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world_plugin.h"
#include "tests/support/null_device.h"

GeometryRecord LineGeometry(int32_t n, int32_t triangles) {
    GeometryRecord g;
    g.numVertices = n;
    MorphRecord m;
    for (int32_t i = 0; i < n; i++)
        m.vertices.push_back({float(i), 0, 0});
    g.morphs.push_back(m);
    for (int32_t i = 0; i < triangles; i++)
        g.triangles.push_back({0, uint16_t((i + 1) % n), uint16_t((i + 2) % n), 0xFFFF});
    return g;
}

ChunkWriter& WriteMaterialList(ChunkWriter& writer, const std::vector<MaterialRecord>& materials) {
    writer.Begin(TV_ID_MATLIST).Begin(TV_ID_STRUCT).I32(int32_t(materials.size()));
    for (const MaterialRecord& m : materials)
        writer.I32(m.sharedIndex);
    writer.End();
    for (const MaterialRecord& m : materials) {
        if (m.sharedIndex >= 0) continue;
        writer.Begin(TV_ID_MATERIAL).Begin(TV_ID_STRUCT).U32(0).Bytes(m.rgba.data(), 4).U32(0);
        writer.U32(m.texture.empty() ? 0 : 1).End();
        if (!m.texture.empty()) {
            writer.Begin(TV_ID_TEXTURE).Begin(TV_ID_STRUCT).U32(0x1102).End();
            writer.String(m.texture).String("");
            WriteExtension(writer, {});
            writer.End();
        }
        WriteExtension(writer, {}).End();
    }
    return writer.End();
}

ChunkWriter& WriteGeometryBody(ChunkWriter& writer, const GeometryRecord& g) {
    writer.Begin(TV_ID_STRUCT).U32(g.flags).I32(int32_t(g.triangles.size())).I32(g.numVertices);
    writer.I32(int32_t(g.morphs.size()));
    for (float s : g.surface)
        writer.F32(s);
    writer.End(); // a 28-byte body; the arrays follow the struct chunk
    writer.Bytes(g.preLight.data(), g.preLight.size());
    for (float t : g.texCoords)
        writer.F32(t);
    writer.Bytes(g.modulation.data(), g.modulation.size());
    for (const TriangleRecord& t : g.triangles)
        writer.U32(uint32_t(t.v1) << 16 | t.v2).U32(uint32_t(t.v3) << 16 | t.material);
    for (const MorphRecord& m : g.morphs) {
        for (float s : m.sphere)
            writer.F32(s);
        writer.U32(m.vertices.empty() ? 0 : 1).U32(m.normals.empty() ? 0 : 1);
        for (const auto& v : m.vertices)
            writer.F32(v[0]).F32(v[1]).F32(v[2]);
        for (const auto& v : m.normals)
            writer.F32(v[0]).F32(v[1]).F32(v[2]);
    }
    WriteMaterialList(writer, g.materials);
    return WriteExtension(writer, {});
}

ChunkWriter& WriteGeometry(ChunkWriter& writer, const GeometryRecord& geometry) {
    writer.Begin(TV_ID_GEOMETRY);
    return WriteGeometryBody(writer, geometry).End();
}

ChunkWriter& WriteAtomic(ChunkWriter& writer, const AtomicRecord& atomic) {
    writer.Begin(TV_ID_ATOMIC).Begin(TV_ID_STRUCT).U32(atomic.frameIndex).U32(atomic.flags);
    writer.U32(0).End();
    WriteGeometry(writer, atomic.geometry);
    return WriteExtension(writer, atomic.extension).End();
}

ChunkWriter& WriteClumpBody(ChunkWriter& writer, const std::vector<FrameRecord>& frames,
                            const std::vector<AtomicRecord>& atomics) {
    writer.Begin(TV_ID_STRUCT).I32(int32_t(atomics.size())).End();
    writer.Begin(TV_ID_FRAMELIST);
    WriteFrameList(writer, frames).End();
    for (const AtomicRecord& a : atomics)
        WriteAtomic(writer, a);
    return WriteExtension(writer, {});
}

ChunkWriter& WriteClump(ChunkWriter& writer, const std::vector<FrameRecord>& frames,
                        const std::vector<AtomicRecord>& atomics) {
    writer.Begin(TV_ID_CLUMP);
    return WriteClumpBody(writer, frames, atomics).End();
}

namespace {
bool (*g_extraAttach)() = nullptr;
bool AttachWorld() {
    return TpWorldPluginAttach() == 1 && (!g_extraAttach || g_extraAttach());
}
} // namespace

WorldEngine::WorldEngine(bool (*extra)()) {
    g_extraAttach = extra;
    engine_ = new NullEngine(nullptr, true, AttachWorld);
    ok_ = engine_->ok();
    if (ok_) TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
}

WorldEngine::~WorldEngine() {
    delete engine_;
}

void AppendColouredMaterial(TpMaterialList* list, const TpRGBA& colour) {
    TpMaterial* m = TpMaterialCreate();
    TpMaterialSetColor(m, &colour);
    TpMaterialListAppendMaterial(list, m);
    TpMaterialDestroy(m);
}

TpAtomic* AtomicOnOwnFrame(TpGeometry* geometry, TvFrame** frame) {
    TpGeometryUnlock(geometry);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    *frame = TvFrameCreate();
    TpAtomicSetFrame(atomic, *frame);
    return atomic;
}
