#include "engine/core/d3d/tristrip.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/core/error.h"
#include "engine/core/memory.h"

namespace {

constexpr size_t kAlign = alignof(TvD3DMesh);

constexpr size_t AlignUp(size_t bytes) {
    return (bytes + kAlign - 1) / kAlign * kAlign;
}

constexpr size_t kHeaderBytes = AlignUp(sizeof(TvD3DMeshHeader));

alignas(TvD3DMesh) TvD3DMeshHeader g_emptyBlock{};

size_t MeshBytes(uint16_t flags, uint32_t count) {
    size_t data = flags == kTvD3DMeshTriangleStrip ? size_t(count) * 2 : size_t(count) * 8;
    return sizeof(TvD3DMesh) + AlignUp(data);
}

void* Allocate(size_t bytes) {
    void* block = TvMalloc(bytes);
    if (!block) TvErrorCore(E_TV_NOMEM);
    return block;
}

// Material order: opaque before transparent, then by address; equal materials compare equal.
struct MaterialOrder {
    bool (*isTransparent)(const void*);
    int Class(const void* m) const { return isTransparent && isTransparent(m) ? 1 : 0; }
    bool operator()(const TvD3DMeshTriangle* a, const TvD3DMeshTriangle* b) const {
        if (a->material == b->material) return false;
        int ca = Class(a->material), cb = Class(b->material);
        if (ca != cb) return ca < cb;
        return std::less<const void*>()(a->material, b->material);
    }
};

// Sorted pointers to the triangles, or null.
const TvD3DMeshTriangle** SortTriangles(const TvD3DMeshSource* src) {
    auto** order = static_cast<const TvD3DMeshTriangle**>(
        Allocate(sizeof(TvD3DMeshTriangle*) * size_t(src->numTriangles)));
    if (!order) return nullptr;
    for (int32_t i = 0; i < src->numTriangles; i++)
        order[i] = &src->triangles[i];
    std::sort(order, order + src->numTriangles,
              MaterialOrder{src->world ? src->world->isTransparent : nullptr});
    return order;
}

int32_t CountRuns(const TvD3DMeshTriangle* const* order, int32_t count) {
    int32_t runs = 1;
    for (int32_t i = 1; i < count; i++)
        if (order[i]->material != order[i - 1]->material) runs++;
    return runs;
}

TvD3DMeshHeader* NewBlock(size_t bytes, uint16_t flags, uint16_t meshes,
                          const TvD3DMeshSource* src) {
    auto* header = static_cast<TvD3DMeshHeader*>(Allocate(bytes));
    if (!header) return nullptr;
    std::memset(header, 0, bytes);
    header->flags = flags;
    header->numMeshes = meshes;
    header->numTriangles = uint32_t(src->numTriangles);
    header->firstMeshOffset = 0;
    if (src->world) header->serialNum = src->world->meshSerial++;
    return header;
}

TvD3DMeshHeader* BuildLists(const TvD3DMeshSource* src) {
    const TvD3DMeshTriangle** order = SortTriangles(src);
    if (!order) return nullptr;
    int32_t runs = CountRuns(order, src->numTriangles);
    size_t bytes = kHeaderBytes + size_t(runs) * sizeof(TvD3DMesh) + size_t(src->numTriangles) * 8;
    TvD3DMeshHeader* header = NewBlock(bytes, kTvD3DMeshTriangleList, uint16_t(runs), src);
    if (header) {
        TvD3DMesh* mesh = TvD3DMeshFirst(header);
        mesh->material = order[0]->material;
        uint16_t* out = TvD3DMeshIndices(mesh);
        for (int32_t i = 0; i < src->numTriangles; i++) {
            if (order[i]->material != mesh->material) {
                mesh = reinterpret_cast<TvD3DMesh*>(out);
                mesh->material = order[i]->material;
                out = TvD3DMeshIndices(mesh);
            }
            for (int k = 0; k < 3; k++)
                *out++ = order[i]->vertex[k];
            *out++ = 0;
            mesh->count++;
        }
        if (src->world && src->world->reorderLists && src->world->reorderMesh) {
            mesh = TvD3DMeshFirst(header);
            for (int32_t m = 0; m < runs && src->world->reorderMesh(mesh); m++)
                mesh = TvD3DMeshNext(header, mesh);
        }
    }
    TvFree(order);
    return header;
}

// ---- Strips ----

struct Edge {
    uint16_t a, b;      // as the creating triangle walks it
    int32_t tris[2];    // triangles on the edge
    int32_t count;      // triangles on the edge
    int32_t remaining;  // of them not yet in a strip
    int32_t nextInSlot; // hash chain, newest first
};

struct Tri {
    uint16_t v[3];
    int32_t edge[3]; // first-second, second-third, third-first; -1 for a degenerate triangle
    int32_t degree;  // neighbours not yet in a strip
    bool used;
    int32_t prev, next; // degree list
};

// Growable index buffer through the memory hooks.
struct Indices {
    uint16_t* data = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    bool ok = true;

    void Push(uint16_t index) {
        if (!ok) return;
        if (count == capacity) {
            size_t grown = capacity ? capacity * 2 : 64;
            auto* more = static_cast<uint16_t*>(TvRealloc(data, grown * sizeof(uint16_t)));
            if (!more) {
                TvErrorCore(E_TV_NOMEM);
                ok = false;
                return;
            }
            data = more;
            capacity = grown;
        }
        data[count++] = index;
    }
};

// Strips over one material's triangles.
class Stripper {
public:
    Stripper(Tri* tris, int32_t numTris, Edge* edges, int32_t* slots, int32_t numSlots)
        : tris_(tris), numTris_(numTris), edges_(edges), slots_(slots), numSlots_(numSlots) {}

    void BuildEdges() {
        std::fill(slots_, slots_ + numSlots_, -1);
        for (int32_t t = 0; t < numTris_; t++) {
            Tri& tri = tris_[t];
            tri.degree = 0;
            tri.used = false;
            bool degenerate = tri.v[0] == tri.v[1] || tri.v[1] == tri.v[2] || tri.v[2] == tri.v[0];
            for (int k = 0; k < 3; k++)
                tri.edge[k] = degenerate ? -1 : AddEdge(t, tri.v[k], tri.v[(k + 1) % 3]);
        }
        for (int32_t d = 0; d < 4; d++)
            heads_[d] = -1;
        for (int32_t t = numTris_ - 1; t >= 0; t--)
            Link(t);
    }

    // Appends every strip of this material to `out`, joined by repeated vertices.
    void Run(Indices& out) {
        size_t materialStart = out.count;
        for (int32_t start; (start = LowestDegree()) >= 0;) {
            strip_.count = 0;
            Strip(start);
            if (!strip_.ok) {
                out.ok = false;
                return;
            }
            if (out.count > materialStart) {
                // Repeat the last and first vertices; one more keeps the new strip on an even
                // position so its winding is kept.
                bool odd = (out.count - materialStart) % 2 != 0;
                out.Push(out.data[out.count - 1]);
                out.Push(strip_.data[0]);
                if (odd) out.Push(strip_.data[0]);
            }
            for (size_t i = 0; i < strip_.count; i++)
                out.Push(strip_.data[i]);
        }
    }

    ~Stripper() { TvFree(strip_.data); }

    int32_t numEdges = 0;

private:
    int32_t Slot(uint16_t a, uint16_t b) const {
        uint32_t lo = std::min(a, b), hi = std::max(a, b);
        return int32_t(((lo * 40503u) ^ (hi * 2654435761u)) & uint32_t(numSlots_ - 1));
    }

    int32_t AddEdge(int32_t t, uint16_t a, uint16_t b) {
        int32_t slot = Slot(a, b);
        for (int32_t e = slots_[slot]; e >= 0; e = edges_[e].nextInSlot) {
            Edge& edge = edges_[e];
            if (edge.a == b && edge.b == a && edge.count < 2) {
                tris_[edge.tris[0]].degree++;
                tris_[t].degree++;
                edge.tris[edge.count++] = t;
                edge.remaining++;
                return e;
            }
        }
        int32_t e = numEdges++;
        edges_[e] = Edge{a, b, {t, -1}, 1, 1, slots_[slot]};
        slots_[slot] = e;
        return e;
    }

    void Link(int32_t t) {
        Tri& tri = tris_[t];
        tri.prev = -1;
        tri.next = heads_[tri.degree];
        if (tri.next >= 0) tris_[tri.next].prev = t;
        heads_[tri.degree] = t;
    }
    void Unlink(int32_t t) {
        Tri& tri = tris_[t];
        if (tri.prev >= 0)
            tris_[tri.prev].next = tri.next;
        else
            heads_[tri.degree] = tri.next;
        if (tri.next >= 0) tris_[tri.next].prev = tri.prev;
    }

    int32_t LowestDegree() const {
        for (int32_t d = 0; d < 4; d++)
            if (heads_[d] >= 0) return heads_[d];
        return -1;
    }

    int32_t Remaining(int32_t e) const { return e < 0 ? 0 : edges_[e].remaining; }

    // Takes the triangle out of play: its neighbours lose a degree, its edges a triangle.
    void Use(int32_t t) {
        Unlink(t);
        tris_[t].used = true;
        for (int32_t e : tris_[t].edge) {
            if (e < 0) continue;
            Edge& edge = edges_[e];
            edge.remaining--;
            for (int32_t k = 0; k < edge.count; k++) {
                int32_t n = edge.tris[k];
                if (n == t || tris_[n].used) continue;
                Unlink(n);
                tris_[n].degree--;
                Link(n);
            }
        }
    }

    // The edge of triangle t joining vertices a and b, or -1.
    int32_t EdgeOf(int32_t t, uint16_t a, uint16_t b) const {
        const Tri& tri = tris_[t];
        for (int k = 0; k < 3; k++) {
            uint16_t p = tri.v[k], q = tri.v[(k + 1) % 3];
            if ((p == a && q == b) || (p == b && q == a)) return tri.edge[k];
        }
        return -1;
    }

    int32_t Neighbour(int32_t e) const {
        if (e < 0) return -1;
        const Edge& edge = edges_[e];
        for (int32_t k = 0; k < edge.count; k++)
            if (!tris_[edge.tris[k]].used) return edge.tris[k];
        return -1;
    }

    static uint16_t Third(const Tri& tri, uint16_t a, uint16_t b) {
        for (uint16_t v : tri.v)
            if (v != a && v != b) return v;
        return tri.v[0];
    }

    void Strip(int32_t start) {
        const Tri& s = tris_[start];
        // Leave through edges that still have neighbours: the strip exits through the rotated
        // triangle's second edge and, reversed, through its first.
        int32_t r0 = Remaining(s.edge[0]), r1 = Remaining(s.edge[1]), r2 = Remaining(s.edge[2]);
        int first;
        if (r1 == 2 && r2 == 2)
            first = 1;
        else if (r2 == 2 && r0 == 2)
            first = 2;
        else if (r0 == 2 && r1 == 2)
            first = 0;
        else if (r0 >= r1 && r0 >= r2)
            first = 2; // edge 0 becomes the exit
        else if (r1 >= r2)
            first = 0;
        else
            first = 1;
        for (int k = 0; k < 3; k++)
            strip_.Push(s.v[(first + k) % 3]);
        Use(start);
        if (!strip_.ok) return;
        Extend(start);
        if (strip_.ok && Neighbour(EdgeOf(start, strip_.data[0], strip_.data[1])) >= 0) {
            Reverse();
            Extend(start);
        }
    }

    // Reversal keeps each triangle's winding when the length is even; an odd strip gets its
    // (new) first vertex repeated.
    void Reverse() {
        std::reverse(strip_.data, strip_.data + strip_.count);
        if (strip_.count % 2 != 0) {
            strip_.Push(0);
            std::memmove(strip_.data + 1, strip_.data, (strip_.count - 1) * sizeof(uint16_t));
        }
    }

    void Extend(int32_t last) {
        while (strip_.ok) {
            uint16_t a = strip_.data[strip_.count - 2], b = strip_.data[strip_.count - 1];
            int32_t entry = EdgeOf(last, a, b);
            int32_t next = Neighbour(entry);
            if (next < 0) return;
            Use(next);
            uint16_t w = Third(tris_[next], a, b);
            if (Neighbour(EdgeOf(next, b, w)) < 0 && Neighbour(EdgeOf(next, a, w)) >= 0) {
                if (strip_.count % 2 == 0) {
                    strip_.Push(a); // turn: the exit becomes (a, w)
                } else {
                    strip_.Push(w);
                    return;
                }
            }
            strip_.Push(w);
            last = next;
        }
    }

    Tri* tris_;
    int32_t numTris_;
    Edge* edges_;
    int32_t* slots_;
    int32_t numSlots_;
    int32_t heads_[4] = {-1, -1, -1, -1};
    Indices strip_;
};

TvD3DMeshHeader* BuildStrips(const TvD3DMeshSource* src) {
    const int32_t n = src->numTriangles;
    const TvD3DMeshTriangle** order = SortTriangles(src);
    if (!order) return nullptr;
    int32_t runs = CountRuns(order, n);
    int32_t numSlots = 16;
    while (int64_t(numSlots) < int64_t(n) * 6)
        numSlots *= 2;
    auto* tris = static_cast<Tri*>(Allocate(sizeof(Tri) * size_t(n)));
    auto* edges = static_cast<Edge*>(Allocate(sizeof(Edge) * size_t(n) * 3));
    auto* slots = static_cast<int32_t*>(Allocate(sizeof(int32_t) * size_t(numSlots)));
    auto* counts = static_cast<uint32_t*>(Allocate(sizeof(uint32_t) * size_t(runs)));
    Indices all;
    TvD3DMeshHeader* header = nullptr;
    if (tris && edges && slots && counts) {
        int32_t run = 0;
        for (int32_t begin = 0; begin < n; run++) {
            int32_t end = begin + 1;
            while (end < n && order[end]->material == order[begin]->material)
                end++;
            for (int32_t i = begin; i < end; i++) {
                std::memcpy(tris[i - begin].v, order[i]->vertex, sizeof(tris[0].v));
            }
            size_t before = all.count;
            int32_t runSlots = 16;
            while (runSlots < (end - begin) * 6)
                runSlots *= 2;
            Stripper stripper(tris, end - begin, edges, slots, runSlots);
            stripper.BuildEdges();
            stripper.Run(all);
            counts[run] = uint32_t(all.count - before);
            begin = end;
        }
        if (all.ok) {
            size_t bytes = kHeaderBytes;
            for (int32_t r = 0; r < runs; r++)
                bytes += MeshBytes(kTvD3DMeshTriangleStrip, counts[r]);
            header = NewBlock(bytes, kTvD3DMeshTriangleStrip, uint16_t(runs), src);
        }
        if (header) {
            TvD3DMesh* mesh = TvD3DMeshFirst(header);
            const uint16_t* in = all.data;
            int32_t begin = 0;
            for (int32_t r = 0; r < runs; r++) {
                mesh->count = counts[r];
                mesh->material = order[begin]->material;
                std::memcpy(TvD3DMeshIndices(mesh), in, counts[r] * sizeof(uint16_t));
                in += counts[r];
                while (begin < n && order[begin]->material == mesh->material)
                    begin++;
                mesh = TvD3DMeshNext(header, mesh);
            }
        }
    }
    TvFree(all.data);
    TvFree(counts);
    TvFree(slots);
    TvFree(edges);
    TvFree(tris);
    TvFree(order);
    return header;
}

} // namespace

TvD3DMesh* TvD3DMeshFirst(TvD3DMeshHeader* header) {
    return reinterpret_cast<TvD3DMesh*>(reinterpret_cast<uint8_t*>(header) + kHeaderBytes +
                                        header->firstMeshOffset);
}

TvD3DMesh* TvD3DMeshNext(const TvD3DMeshHeader* header, TvD3DMesh* mesh) {
    return reinterpret_cast<TvD3DMesh*>(reinterpret_cast<uint8_t*>(mesh) +
                                        MeshBytes(header->flags, mesh->count));
}

TvD3DMeshHeader* TvD3DEmptyMeshBlock() {
    return &g_emptyBlock;
}

int32_t TvD3DBuildMeshes(void* out, void* in, int32_t flags) {
    auto** result = static_cast<TvD3DMeshHeader**>(out);
    const auto* src = static_cast<const TvD3DMeshSource*>(in);
    *result = nullptr;
    if (src->numTriangles <= 0 || !src->triangles) {
        *result = &g_emptyBlock;
        return 1;
    }
    *result = (flags & 1) ? BuildStrips(src) : BuildLists(src);
    return *result ? 1 : 0;
}
