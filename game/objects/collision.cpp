#include "game/objects/collision.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/objects/modeltags.h"
#include "game/objects/utilities.h"
#include "platform/crt/crt.h"
#include "shell/errors.h"

namespace {

constexpr int32_t kCellsPerAxis = 4;
constexpr size_t kBuildBuffer = 64000;
constexpr int32_t kReportedMax = 128;

// State of the running sphere query.
struct QueryState {
    TvV3d centre;
    float radius;
    int32_t reported[kReportedMax];
    int32_t numReported;
};

QueryState g_query;
int32_t g_oneSided = 0;

// The header as stored: the count, then 30 {part tag, grid offset} entries.
struct Entry {
    uint32_t tag;
    uint32_t offset;
};

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

Entry GetEntry(const uint8_t* block, int32_t i) {
    const uint8_t* e = block + 4 + 8 * i;
    return {GetU32(e), GetU32(e + 4)};
}

TvV3d TriangleNormal(const TvV3d& a, const TvV3d& b, const TvV3d& c) {
    TvV3d n = TvV3dCross(TvV3dSub(b, a), TvV3dSub(c, a));
    const float length = std::sqrt(TvV3dDot(n, n));
    return length > 0.0f ? TvV3dScale(n, 1.0f / length) : TvV3d{0, 0, 0};
}

float Axis(const TvV3d& v, int32_t i) {
    return i == 0 ? v.x : i == 1 ? v.y : v.z;
}

// Exact separating-axis test of a triangle against a closed box (centre, half sizes).
bool TriangleOverlapsBox(const TvV3d& boxCentre, const TvV3d& half, const TvV3d* tri,
                         const TvV3d& normal) {
    const TvV3d v[3] = {TvV3dSub(tri[0], boxCentre), TvV3dSub(tri[1], boxCentre),
                        TvV3dSub(tri[2], boxCentre)};
    // The box's own axes.
    for (int32_t i = 0; i < 3; i++) {
        const float a = Axis(v[0], i), b = Axis(v[1], i), c = Axis(v[2], i);
        const float lo = std::fmin(a, std::fmin(b, c)), hi = std::fmax(a, std::fmax(b, c));
        if (lo > Axis(half, i) || hi < -Axis(half, i)) return false;
    }
    // The triangle's plane.
    const float d = TvV3dDot(normal, v[0]);
    const float r =
        half.x * std::fabs(normal.x) + half.y * std::fabs(normal.y) + half.z * std::fabs(normal.z);
    if (std::fabs(d) > r) return false;
    // Edge x box-axis cross products.
    const TvV3d e[3] = {TvV3dSub(v[1], v[0]), TvV3dSub(v[2], v[1]), TvV3dSub(v[0], v[2])};
    const TvV3d axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const TvV3d& edge : e) {
        for (const TvV3d& u : axes) {
            const TvV3d a = TvV3dCross(u, edge);
            const float p0 = TvV3dDot(a, v[0]), p1 = TvV3dDot(a, v[1]), p2 = TvV3dDot(a, v[2]);
            const float lo = std::fmin(p0, std::fmin(p1, p2));
            const float hi = std::fmax(p0, std::fmax(p1, p2));
            const float rad =
                half.x * std::fabs(a.x) + half.y * std::fabs(a.y) + half.z * std::fabs(a.z);
            if (lo > rad || hi < -rad) return false;
        }
    }
    return true;
}

// A growing build buffer from the engine's allocation hook.
struct Buffer {
    uint8_t* data = nullptr;
    size_t size = 0;
    size_t capacity = 0;

    bool Reserve(size_t bytes) {
        if (bytes <= capacity) return true;
        size_t grown = capacity ? capacity : kBuildBuffer;
        while (grown < bytes)
            grown *= 2;
        auto* p = static_cast<uint8_t*>(data ? TvRealloc(data, grown) : TvMalloc(grown));
        if (!p) return false;
        std::memset(p + capacity, 0, grown - capacity);
        data = p;
        capacity = grown;
        return true;
    }
};

// Appends the grid of one atomic (from morph target 0) at the buffer's end.
bool BuildGrid(TpAtomic* atomic, Buffer& out) {
    const TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    const TvV3d* vertices = target ? TpMorphTargetGetVertices(target) : nullptr;
    const int32_t numVertices = vertices ? TpGeometryGetNumVertices(geometry) : 0;
    const int32_t numTriangles = vertices ? TpGeometryGetNumTriangles(geometry) : 0;
    const TpTriangle* triangles = numTriangles ? TpGeometryGetTriangles(geometry) : nullptr;

    MV2CollisionGrid grid{};
    TvV3d lo{0, 0, 0}, hi{0, 0, 0};
    for (int32_t i = 0; i < numVertices; i++) {
        const TvV3d& v = vertices[i];
        if (i == 0) lo = hi = v;
        lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z)};
        hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z)};
    }
    lo = TvV3dSub(lo, {0.01f, 0.01f, 0.01f});
    hi = TvV3dAdd(hi, {0.01f, 0.01f, 0.01f});
    const TvV3d size = TvV3dScale(TvV3dSub(hi, lo), 1.0f / kCellsPerAxis);
    grid.min[0] = lo.x, grid.min[1] = lo.y, grid.min[2] = lo.z;
    grid.max[0] = hi.x, grid.max[1] = hi.y, grid.max[2] = hi.z;
    grid.reciprocal[0] = 1.0f / size.x;
    grid.reciprocal[1] = 1.0f / size.y;
    grid.reciprocal[2] = 1.0f / size.z;
    const TvV3d half = TvV3dScale(size, 0.5f);

    // Exactly four cells per axis: the box is split in four whatever the rounding.
    auto overlaps = [&](int32_t cell, int32_t t) {
        const int32_t x = cell & 3, y = (cell >> 2) & 3, z = cell >> 4;
        const TvV3d centre{lo.x + size.x * (float(x) + 0.5f), lo.y + size.y * (float(y) + 0.5f),
                           lo.z + size.z * (float(z) + 0.5f)};
        const TpTriangle& tr = triangles[t];
        if (tr.vertex[0] >= numVertices || tr.vertex[1] >= numVertices ||
            tr.vertex[2] >= numVertices)
            return false;
        const TvV3d tri[3] = {vertices[tr.vertex[0]], vertices[tr.vertex[1]],
                              vertices[tr.vertex[2]]};
        return TriangleOverlapsBox(centre, half, tri, TriangleNormal(tri[0], tri[1], tri[2]));
    };

    int32_t total = 0;
    for (int32_t cell = 0; cell < 64; cell++) {
        grid.cells[cell].first = total;
        for (int32_t t = 0; t < numTriangles; t++)
            grid.cells[cell].count += overlaps(cell, t);
        total += grid.cells[cell].count;
    }
    const size_t start = out.size;
    if (!out.Reserve(start + sizeof grid + size_t(total) * 4)) return false;
    std::memcpy(out.data + start, &grid, sizeof grid);
    uint8_t* list = out.data + start + sizeof grid;
    for (int32_t cell = 0; cell < 64; cell++)
        for (int32_t t = 0; t < numTriangles; t++)
            if (overlaps(cell, t)) {
                PutU32(list, uint32_t(t));
                list += 4;
            }
    out.size = start + sizeof grid + size_t(total) * 4;
    return true;
}

// The grid of an entry when it lies whole inside the block and its runs and triangle indices
// fit the atomic's geometry; null otherwise.
const MV2CollisionGrid* CheckedGrid(const uint8_t* block, int64_t size, Entry entry,
                                    TpAtomic* atomic) {
    const int64_t start = int64_t(kMV2CollisionHeaderBytes) + entry.offset;
    if (entry.offset % 4 != 0 || start + int64_t(sizeof(MV2CollisionGrid)) > size) return nullptr;
    const auto* grid = reinterpret_cast<const MV2CollisionGrid*>(block + start);
    const int64_t listLength = (size - start - int64_t(sizeof(MV2CollisionGrid))) / 4;
    const TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const int64_t numTriangles = geometry ? TpGeometryGetNumTriangles(geometry) : 0;
    const uint32_t* list = MV2CollisionGridTriangles(grid);
    for (const MV2CollisionCell& cell : grid->cells) {
        if (cell.count < 0 || cell.first < 0 || int64_t(cell.first) + cell.count > listLength)
            return nullptr;
        for (int32_t i = 0; i < cell.count; i++)
            if (int64_t(list[cell.first + i]) >= numTriangles) return nullptr;
    }
    return grid;
}

int32_t EntryCount(const uint8_t* block, int64_t size) {
    if (size < kMV2CollisionHeaderBytes) return -1;
    const int32_t n = int32_t(GetU32(block));
    return n >= 0 && n <= kMV2CollisionFileEntries ? n : -1;
}

// Links every entry of a block to the clump's atomics; false at the first entry that does not.
bool Link(uint8_t* block, int64_t size, TpClump* clump) {
    const int32_t n = EntryCount(block, size);
    if (n < 0) return false;
    for (int32_t i = 0; i < n; i++) {
        const Entry entry = GetEntry(block, i);
        TpAtomic* atomic = MV2FindAtomicByTag(clump, entry.tag);
        if (!atomic) return false;
        const MV2CollisionGrid* grid = CheckedGrid(block, size, entry, atomic);
        if (!grid) return false;
        MV2AtomicSetCollData(atomic, const_cast<MV2CollisionGrid*>(grid));
    }
    return true;
}

// Each loaded block keeps its size in front of the file image.
struct BlockHeader {
    int64_t size;
    int64_t pad;
};

uint8_t* BlockData(void* block) {
    return static_cast<uint8_t*>(block) + sizeof(BlockHeader);
}

bool AlreadyReported(int32_t triangle) {
    for (int32_t i = 0; i < g_query.numReported; i++)
        if (g_query.reported[i] == triangle) return true;
    return false;
}

int32_t CellRangeLow(float v) {
    if (!(v > 0.0f)) return 0;
    return v >= float(kCellsPerAxis) ? kCellsPerAxis : int32_t(v);
}

int32_t CellRangeHigh(float v) {
    if (!(v > -1.0f)) return 0;
    return v >= float(kCellsPerAxis - 1) ? kCellsPerAxis : int32_t(v) + 1;
}

// A collision file read through the engine's file interface, or from the data folder itself
// when the interface does not have it: files are written beside the models even when the
// models come from a pack, whose prefix hides the folder.
struct CollisionFile {
    TvFileInterface* files = nullptr;
    void* handle = nullptr;
    FILE* disk = nullptr;

    static CollisionFile Open(const char* path) {
        CollisionFile f;
        f.files = TvEngineGetFileInterface();
        if (f.files && f.files->open) f.handle = f.files->open(path, "rb");
        if (!f.handle && (f.disk = PlatformOpenFile(path, "rb"))) f.handle = f.disk;
        return f;
    }
    long Length() {
        if (!disk) return files->length ? files->length(handle) : -1;
        if (std::fseek(disk, 0, SEEK_END) != 0) return -1;
        const long length = std::ftell(disk);
        return std::fseek(disk, 0, SEEK_SET) == 0 ? length : -1;
    }
    size_t Read(void* buffer, size_t bytes) {
        return disk ? std::fread(buffer, 1, bytes, disk) : files->read(buffer, 1, bytes, handle);
    }
    void Close() {
        if (disk)
            std::fclose(disk);
        else
            files->close(handle);
    }
};

} // namespace

int32_t MV2WriteCollisionFile(TpClump* clump, const char* path) {
    TvFileInterface* files = TvEngineGetFileInterface();
    if (!files || !files->open || !clump) return 0;
    int32_t n = 0;
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a))
        n++;
    if (n >= kMV2CollisionFileEntries)
        MV2ErrorBox("Too many children for hierarchical collision tree");
    if (n > kMV2CollisionFileEntries) n = kMV2CollisionFileEntries;

    Buffer buffer;
    if (!buffer.Reserve(kBuildBuffer)) return 0;
    buffer.size = kMV2CollisionHeaderBytes;
    PutU32(buffer.data, uint32_t(n));
    int32_t i = 0;
    bool built = true;
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a && i < n && built;
         a = MV2GetNextAtomic(clump, a), i++) {
        const size_t offset = buffer.size - kMV2CollisionHeaderBytes;
        PutU32(buffer.data + 4 + 8 * i, MV2AtomicGetPartTag(a));
        PutU32(buffer.data + 8 + 8 * i, uint32_t(offset));
        built = BuildGrid(a, buffer);
    }
    int32_t result = 0;
    if (built) {
        if (void* file = files->open(path, "wb")) {
            result = files->write(buffer.data, 1, buffer.size, file) == buffer.size;
            if (files->close(file) != 0) result = 0;
        }
    }
    TvFree(buffer.data);
    return result;
}

void* MV2ReadCollisionFile(const char* path, TpClump* clump) {
    if (!clump) return nullptr;
    CollisionFile file = CollisionFile::Open(path);
    if (!file.handle) return nullptr;
    const long length = file.Length();
    void* block = nullptr;
    if (length >= kMV2CollisionHeaderBytes) {
        block = TvMalloc(sizeof(BlockHeader) + size_t(length));
        if (block && file.Read(BlockData(block), size_t(length)) != size_t(length)) {
            TvFree(block);
            block = nullptr;
        }
    }
    file.Close();
    if (!block) return nullptr;
    static_cast<BlockHeader*>(block)->size = length;
    if (!Link(BlockData(block), length, clump)) {
        // Nothing may keep pointing into the block once it is freed.
        for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a))
            MV2AtomicSetCollData(a, nullptr);
        TvFree(block);
        return nullptr;
    }
    return block;
}

int32_t MV2LinkCollisionData(void* block, TpClump* clump) {
    if (!block || !clump) return 0;
    if (!Link(BlockData(block), static_cast<BlockHeader*>(block)->size, clump)) {
        MV2ErrorBox("Could not link collision file to clump");
        return 0;
    }
    return 1;
}

void MV2SetCollisionTreeOneSided(int32_t on) {
    g_oneSided = on;
}

int32_t MV2SphereTouchesTriangle(const TvV3d* centre, float radius, const TvV3d* normal,
                                 const TvV3d* a, const TvV3d* b, const TvV3d* c) {
    const TvV3d& p = *centre;
    const float ahead = TvV3dDot(*normal, TvV3dSub(*a, p));
    if (g_oneSided && ahead >= 0.0f) return 0;
    if (std::fabs(ahead) > radius) return 0;
    const float r2 = radius * radius;
    const TvV3d* v[3] = {a, b, c};
    for (const TvV3d* q : v) {
        const TvV3d d = TvV3dSub(*q, p);
        if (TvV3dDot(d, d) < r2) return 1;
    }
    for (int32_t i = 0; i < 3; i++) {
        const TvV3d& s = *v[i];
        const TvV3d e = TvV3dSub(*v[(i + 1) % 3], s);
        const float ee = TvV3dDot(e, e);
        if (ee <= 0.0f) continue;
        float t = TvV3dDot(TvV3dSub(p, s), e) / ee;
        t = std::fmin(1.0f, std::fmax(0.0f, t));
        const TvV3d d = TvV3dSub(TvV3dAdd(s, TvV3dScale(e, t)), p);
        if (TvV3dDot(d, d) < r2) return 1;
    }
    // The centre's projection onto the plane inside all three edges.
    const TvV3d q = TvV3dAdd(p, TvV3dScale(*normal, ahead));
    for (int32_t i = 0; i < 3; i++) {
        const TvV3d e = TvV3dSub(*v[(i + 1) % 3], *v[i]);
        if (TvV3dDot(TvV3dCross(e, TvV3dSub(q, *v[i])), *normal) < 0.0f) return 0;
    }
    return 1;
}

int32_t MV2CollisionTreeSphereQuery(TpAtomic* atomic, const TvV3d* centre, float radius,
                                    int32_t max, MV2TriangleHit* out) {
    const auto* grid = static_cast<const MV2CollisionGrid*>(MV2AtomicGetCollData(atomic));
    if (!grid || max <= 0) return 0;
    if (max > kMV2CollisionMaxHits) max = kMV2CollisionMaxHits;
    g_query.centre = *centre;
    g_query.radius = radius;
    g_query.numReported = 0;
    const float c[3] = {centre->x, centre->y, centre->z};
    int32_t lo[3], hi[3];
    for (int32_t i = 0; i < 3; i++) {
        if (c[i] + radius < grid->min[i] || c[i] - radius > grid->max[i]) return 0;
        lo[i] = CellRangeLow((c[i] - radius - grid->min[i]) * grid->reciprocal[i]);
        hi[i] = CellRangeHigh((c[i] + radius - grid->min[i]) * grid->reciprocal[i]);
    }
    const TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    TvV3d* vertices = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(geometry, 0));
    const TpTriangle* triangles = TpGeometryGetTriangles(geometry);
    const uint32_t* list = MV2CollisionGridTriangles(grid);
    int32_t hits = 0;
    for (int32_t z = lo[2]; z < hi[2]; z++)
        for (int32_t y = lo[1]; y < hi[1]; y++)
            for (int32_t x = lo[0]; x < hi[0]; x++) {
                const MV2CollisionCell& cell = grid->cells[x + 4 * y + 16 * z];
                for (int32_t i = 0; i < cell.count; i++) {
                    const int32_t t = int32_t(list[cell.first + i]);
                    if (AlreadyReported(t)) continue;
                    const TpTriangle& tr = triangles[t];
                    TvV3d* a = &vertices[tr.vertex[0]];
                    TvV3d* b = &vertices[tr.vertex[1]];
                    TvV3d* d = &vertices[tr.vertex[2]];
                    const TvV3d normal = TriangleNormal(*a, *b, *d);
                    if (!MV2SphereTouchesTriangle(&g_query.centre, g_query.radius, &normal, a, b,
                                                  d))
                        continue;
                    g_query.reported[g_query.numReported++] = t;
                    out[hits].normal = normal;
                    out[hits].vertices[0] = a;
                    out[hits].vertices[1] = b;
                    out[hits].vertices[2] = d;
                    if (++hits == max) return hits;
                }
            }
    return hits;
}
