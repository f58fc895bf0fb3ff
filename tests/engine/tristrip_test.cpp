#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "engine/core/d3d/tristrip.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

using Tri = std::array<uint16_t, 3>;

// Two materials: A opaque, B translucent. B sits at the lower address so that only the
// opaque-first rule can put A first.
struct Materials {
    int b = 0;
    int a = 0;
};
Materials g_mats;
bool IsTransparent(const void* m) {
    return m == &g_mats.b;
}

// Cyclic rotation with the smallest index first: the same triangle with the same winding always
// gives the same key.
Tri Canonical(Tri t) {
    auto low = std::min_element(t.begin(), t.end()) - t.begin();
    return {t[size_t(low)], t[size_t(low + 1) % 3], t[size_t(low + 2) % 3]};
}

// An n x n grid of quads, two triangles each with one winding; materials alternate per quad.
std::vector<TvD3DMeshTriangle> Grid(int n) {
    std::vector<TvD3DMeshTriangle> tris;
    auto at = [n](int x, int y) { return uint16_t(y * (n + 1) + x); };
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const void* m = (x + y) % 2 ? &g_mats.b : &g_mats.a;
            tris.push_back({{at(x, y), at(x + 1, y), at(x + 1, y + 1)}, 0, m});
            tris.push_back({{at(x, y), at(x + 1, y + 1), at(x, y + 1)}, 0, m});
        }
    return tris;
}

// A fan of eight triangles around vertex 0, all material A.
std::vector<TvD3DMeshTriangle> Fan() {
    std::vector<TvD3DMeshTriangle> tris;
    for (uint16_t k = 1; k <= 8; k++)
        tris.push_back({{0, k, uint16_t(k % 8 + 1)}, 0, &g_mats.a});
    return tris;
}

// Edges shared by three triangles, a degenerate triangle and a lone one.
std::vector<TvD3DMeshTriangle> Awkward() {
    return {{{0, 1, 2}, 0, &g_mats.a}, {{1, 0, 3}, 0, &g_mats.a}, {{1, 0, 4}, 0, &g_mats.a},
            {{5, 5, 6}, 0, &g_mats.a}, {{7, 8, 9}, 0, &g_mats.b}, {{2, 1, 7}, 0, &g_mats.b}};
}

// Triangles of each mesh as drawn (strip triangles with a repeated index skipped), keyed by
// material, in mesh order.
std::vector<std::pair<const void*, std::multiset<Tri>>> Drawn(TvD3DMeshHeader* header) {
    std::vector<std::pair<const void*, std::multiset<Tri>>> meshes;
    TvD3DMesh* mesh = TvD3DMeshFirst(header);
    for (int m = 0; m < header->numMeshes; m++, mesh = TvD3DMeshNext(header, mesh)) {
        std::multiset<Tri> drawn;
        const uint16_t* ix = TvD3DMeshIndices(mesh);
        if (header->flags == kTvD3DMeshTriangleList) {
            for (uint32_t t = 0; t < mesh->count; t++)
                drawn.insert(Canonical({ix[4 * t], ix[4 * t + 1], ix[4 * t + 2]}));
        } else {
            for (uint32_t k = 0; k + 2 < mesh->count; k++) {
                Tri t = k % 2 ? Tri{ix[k], ix[k + 2], ix[k + 1]} : Tri{ix[k], ix[k + 1], ix[k + 2]};
                if (t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) drawn.insert(Canonical(t));
            }
        }
        meshes.push_back({mesh->material, drawn});
    }
    return meshes;
}

class TriStripTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvD3DMeshWorldData world{};
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        world.isTransparent = IsTransparent;
        world.meshSerial = 7;
    }
    TvD3DMeshHeader* Build(const std::vector<TvD3DMeshTriangle>& tris, int32_t flags) {
        TvD3DMeshSource src{tris.data(), int32_t(tris.size()), &world};
        TvD3DMeshHeader* header = nullptr;
        EXPECT_EQ(TvD3DBuildMeshes(&header, &src, flags), 1);
        return header;
    }
};

TEST_F(TriStripTest, EveryTriangleOnceWithItsWindingOpaqueMaterialFirst) {
    const std::vector<TvD3DMeshTriangle> fixtures[] = {Grid(1), Grid(5), Fan(), Awkward()};
    for (int32_t flags : {0, 1}) {
        for (const auto& tris : fixtures) {
            SCOPED_TRACE(testing::Message() << "flags " << flags << ", " << tris.size() << " tris");
            std::map<const void*, std::multiset<Tri>> expected;
            for (const auto& t : tris) {
                Tri v{t.vertex[0], t.vertex[1], t.vertex[2]};
                if (flags == 0 || (v[0] != v[1] && v[1] != v[2] && v[0] != v[2]))
                    expected[t.material].insert(Canonical(v));
                else
                    expected[t.material]; // a degenerate triangle draws nothing
            }
            uint16_t serial = world.meshSerial;
            TvD3DMeshHeader* header = Build(tris, flags);
            ASSERT_NE(header, nullptr);
            EXPECT_EQ(header->flags, flags);
            EXPECT_EQ(header->numTriangles, tris.size());
            EXPECT_EQ(header->serialNum, serial);
            EXPECT_EQ(world.meshSerial, serial + 1);
            auto meshes = Drawn(header);
            ASSERT_EQ(meshes.size(), expected.size());
            if (meshes.size() == 2) {
                EXPECT_EQ(meshes[0].first, &g_mats.a);
            }
            for (const auto& [material, drawn] : meshes)
                EXPECT_EQ(drawn, expected[material]);
            TvFree(header);
        }
    }
}

TEST_F(TriStripTest, ConnectedTrianglesShareStrips) {
    // 32 triangles of one material in strips: far fewer indices than a list's 96.
    std::vector<TvD3DMeshTriangle> tris = Grid(4);
    for (auto& t : tris)
        t.material = &g_mats.a;
    TvD3DMeshHeader* header = Build(tris, 1);
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(header->numMeshes, 1);
    EXPECT_LT(TvD3DMeshFirst(header)->count, 60u);
    TvFree(header);
}

TEST_F(TriStripTest, ListMeshesGoThroughTheReorderStepUntilOneFails) {
    static int calls;
    calls = 0;
    world.reorderLists = true;
    world.reorderMesh = [](TvD3DMesh*) { return ++calls < 1; };
    TvD3DMeshHeader* header = Build(Grid(2), 0);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->numMeshes, 2);
    EXPECT_EQ(calls, 1);
    TvFree(header);
}

TEST_F(TriStripTest, NoTrianglesGiveTheSharedEmptyBlock) {
    for (int32_t flags : {0, 1}) {
        TvD3DMeshHeader* header = Build({}, flags);
        EXPECT_EQ(header, TvD3DEmptyMeshBlock());
        EXPECT_EQ(header->numMeshes, 0);
        EXPECT_EQ(header->numTriangles, 0u);
    }
}

TEST_F(TriStripTest, FailedAllocationGivesNullAndLeaksNothing) {
    static int allowed;
    static int live;
    TvMemoryFunctions* funcs = TvEngineGetMemoryFunctions();
    const TvMemoryFunctions saved = *funcs;
    funcs->allocate = [](size_t n) -> void* {
        if (allowed-- <= 0) return nullptr;
        live++;
        return std::malloc(n);
    };
    funcs->reallocate = [](void* p, size_t n) -> void* {
        if (allowed-- <= 0) return nullptr;
        if (!p) live++;
        return std::realloc(p, n);
    };
    funcs->free = [](void* p) {
        if (p) live--;
        std::free(p);
    };
    const auto tris = Grid(3);
    for (int32_t flags : {0, 1}) {
        for (int budget = 0; budget < 12; budget++) {
            allowed = budget;
            live = 0;
            TvD3DMeshSource src{tris.data(), int32_t(tris.size()), &world};
            TvD3DMeshHeader* header = reinterpret_cast<TvD3DMeshHeader*>(1);
            int32_t ok = TvD3DBuildMeshes(&header, &src, flags);
            EXPECT_EQ(ok != 0, header != nullptr);
            if (header) {
                TvFree(header);
            } else {
                EXPECT_EQ(LastErrorCode(), E_TV_NOMEM);
            }
            EXPECT_EQ(live, 0) << "budget " << budget;
        }
    }
    *funcs = saved;
}

} // namespace
