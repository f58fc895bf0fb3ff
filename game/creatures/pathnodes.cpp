// The path-node graph of the level and the A* search over it.
#include "shell/gamemain.h"
#include "game/creatures/pathnodes.h"
#include "game/creatures/drones.h"
#include "game/creatures/eel.h"
#include "game/creatures/silentmum.h"
#include "game/creatures/smallmother.h"
#include "game/creatures/squid.h"
#include "game/creatures/leapramp.h"
#include "game/creatures/levelcreatures.h"
#include "game/creatures/turrets.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/world.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/deathsites.h"
#include "game/creatures/heat.h"
#include "game/creatures/subaistates.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/world.h"
#include "game/player/player.h"

namespace {

constexpr size_t kRecordHeader = 16;
constexpr size_t kNodeHeader = 28;
constexpr float kHiddenDistance = 30.0f;

MV2PathGraph g_graph{};
// Search memory: a state word and a search record per node, and the open ring's head.
std::vector<uint8_t> g_states;
std::vector<MV2PathSearchRecord> g_records;
MV2PathSearchRecord g_open{};
TvV3d g_hidden{};

void Unlink(MV2PathSearchRecord* r) {
    r->prev->next = r->next;
    r->next->prev = r->prev;
    r->next = r->prev = nullptr;
}

// Before the first open record whose f is not below its own: the newest of equal f first.
// The ring is sorted, so that place is found from the back, after the last record whose f is
// below; A*'s f values mostly grow, so the walk is short.
void InsertOpen(MV2PathSearchRecord* r) {
    MV2PathSearchRecord* after = g_open.prev;
    while (after != &g_open && !(after->f < r->f)) after = after->prev;
    r->prev = after;
    r->next = after->next;
    after->next->prev = r;
    after->next = r;
}

TvV3d CameraPosition(bool* ok) {
    *ok = gMV2MainCamera && gMV2MainCamera->object.frame;
    return *ok ? TvFrameGetLTM(gMV2MainCamera->object.frame)->pos : TvV3d{};
}

} // namespace

int32_t MV2ParsePathNodeRecord(const uint8_t* record, size_t available, const TvV3d& corner,
                               MV2PathGraph* out) {
    *out = MV2PathGraph{};
    if (!record || available < kRecordHeader) return 0;
    const size_t size = TvLoadU32(record + 4);
    if (size < kRecordHeader || size > available) return 0;
    const uint32_t count = TvLoadU32(record + 12);
    // Every node takes at least its header, so the count is bounded by the size.
    if (count > (size - kRecordHeader) / kNodeHeader) return 0;
    std::vector<size_t> offsets(count);
    size_t at = kRecordHeader;
    uint64_t totalLinks = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - at < kNodeHeader) return 0;
        const uint32_t links = TvLoadU32(record + at + 24);
        if (links > (size - at - kNodeHeader) / 4) return 0;
        offsets[i] = at;
        totalLinks += links;
        at += kNodeHeader + 4 * size_t(links);
    }
    // Ids to the first node that carries them.
    std::vector<std::pair<uint32_t, int32_t>> ids(count);
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = {TvLoadU32(record + offsets[i]), int32_t(i)};
    std::stable_sort(ids.begin(), ids.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    auto find = [&ids](uint32_t id) {
        auto it = std::lower_bound(ids.begin(), ids.end(), id,
                                   [](const auto& e, uint32_t v) { return e.first < v; });
        return it != ids.end() && it->first == id ? it->second : -1;
    };
    MV2PathGraph g{};
    try {
        g.nodes = new MV2PathNode[count > 0 ? count : 1]{};
        g.links = new int32_t[totalLinks > 0 ? totalLinks : 1]{};
    } catch (const std::bad_alloc&) {
        delete[] g.nodes;
        return 0;
    }
    g.count = int32_t(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* n = record + offsets[i];
        MV2PathNode& node = g.nodes[i];
        node.id = TvLoadU32(n);
        node.position = TvV3dAdd({TvLoadF32(n + 8), TvLoadF32(n + 12), TvLoadF32(n + 16)}, corner);
        node.weight = TvLoadF32(n + 20);
        node.links = g.links + g.linkCount;
        const uint32_t links = TvLoadU32(n + 24);
        for (uint32_t k = 0; k < links; ++k) {
            const int32_t target = find(TvLoadU32(n + kNodeHeader + 4 * k));
            if (target >= 0) g.links[g.linkCount++] = target; // unknown ids are dropped
        }
        node.linkCount = int32_t(g.links + g.linkCount - node.links);
    }
    *out = g;
    return 1;
}

void MV2FreePathGraph(MV2PathGraph* graph) {
    delete[] graph->nodes;
    delete[] graph->links;
    *graph = MV2PathGraph{};
}

void MV2SetPathNodeGraph(MV2PathGraph* graph) {
    MV2DestroyPathNodeGraph();
    g_graph = *graph;
    *graph = MV2PathGraph{};
    MV2CreatePathSearch();
}

const MV2PathGraph* MV2GetPathNodeGraph() {
    return &g_graph;
}

void MV2CreatePathNodeGraph() {
    MV2DestroyPathNodeGraph();
    const uint32_t id = (MV2GetCurrentLevelId() & 0xFF000000u) | 0x00FEFFFFu;
    MV2LevelRecord found;
    if (!MV2FindLevelRecord(id, &found)) return;
    const uint8_t* record = found.bytes;
    TvV3d corner{};
    if (TpWorld* world = TpWorldGetCurrent())
        if (const TvBBox* box = TpWorldGetBBox(world)) corner = box->sup;
    MV2PathGraph graph;
    if (MV2ParsePathNodeRecord(record, found.size, corner, &graph))
        MV2SetPathNodeGraph(&graph);
}

void MV2DestroyPathNodeGraph() {
    MV2DestroyPathSearch();
    MV2FreePathGraph(&g_graph);
}

int32_t MV2CreatePathSearch() {
    MV2DestroyPathSearch();
    const size_t n = size_t(g_graph.count);
    try {
        g_states.assign(n, 0);
        g_records.assign(n, MV2PathSearchRecord{});
    } catch (const std::bad_alloc&) {
        MV2DestroyPathSearch();
        return 0;
    }
    for (size_t i = 0; i < n; ++i) {
        g_records[i].state = &g_states[i];
        g_records[i].node = &g_graph.nodes[i];
        g_graph.nodes[i].search = &g_records[i];
    }
    g_open.next = g_open.prev = &g_open;
    return 1;
}

void MV2DestroyPathSearch() {
    g_states.clear();
    g_states.shrink_to_fit();
    g_records.clear();
    g_records.shrink_to_fit();
    for (int32_t i = 0; i < g_graph.count; ++i)
        g_graph.nodes[i].search = nullptr;
    g_open.next = g_open.prev = &g_open;
}

int32_t MV2FindPathNodeToward(const TvV3d* from, const TvV3d* to) {
    if (g_graph.count <= 0) return -1;
    const TvV3d u = MV2Unit(TvV3dSub(*to, *from));
    float bestNearest = 9999999.0f, bestAhead = 9999999.0f;
    int32_t nearest = -1, ahead = -1;
    for (int32_t i = 0; i < g_graph.count; ++i) {
        TvV3d w = TvV3dSub(g_graph.nodes[i].position, *from);
        const float d = MV2Normalise(&w);
        if (d < bestNearest) {
            bestNearest = d;
            nearest = i;
        }
        const float c = TvV3dDot(w, u);
        if (c > 0.01f && d / c < bestAhead) {
            bestAhead = d / c;
            ahead = i;
        }
    }
    return ahead >= 0 && bestAhead - bestNearest <= 20.0f ? ahead : nearest;
}

void MV2SnapToHiddenPathNode(TvV3d* position) {
    bool ok;
    const TvV3d camera = CameraPosition(&ok);
    if (!ok || g_graph.count <= 0) return;
    float best = 0.0f;
    const MV2PathNode* found = nullptr;
    for (int32_t i = 0; i < g_graph.count; ++i) {
        const TvV3d& p = g_graph.nodes[i].position;
        if (MV2Length(TvV3dSub(p, camera)) <= kHiddenDistance) continue;
        const float d = MV2Length(TvV3dSub(p, *position));
        if (!found || d < best) {
            best = d;
            found = &g_graph.nodes[i];
        }
    }
    if (found) *position = found->position;
}

const TvV3d* MV2FindHiddenPathNode() {
    bool ok;
    const TvV3d camera = CameraPosition(&ok);
    MV2Object* player = MV2GetPlayerObject();
    if (!ok || !player || g_graph.count <= 0) return nullptr;
    if (!player->matrix) return nullptr;
    const float playerX = player->matrix->pos.x;
    float best = 0.0f;
    const MV2PathNode* found = nullptr;
    for (int32_t i = 0; i < g_graph.count; ++i) {
        const TvV3d& p = g_graph.nodes[i].position;
        const float d = MV2Length(TvV3dSub(p, camera));
        if (d <= kHiddenDistance || p.x <= playerX) continue;
        if (!found || d < best) {
            best = d;
            found = &g_graph.nodes[i];
        }
    }
    if (!found) return nullptr;
    g_hidden = found->position;
    return &g_hidden;
}

float MV2PathSearchDistance(const MV2PathSearchRecord* a, const MV2PathSearchRecord* b) {
    const float dx = a->node->position.x - b->node->position.x;
    const float dz = a->node->position.z - b->node->position.z;
    return std::sqrt(dx * dx + dz * dz);
}

float MV2PathSearchCost(const MV2PathSearchRecord* record) {
    return 100.0f * record->node->weight;
}

int32_t MV2PathSearchAStar(int32_t start, int32_t goal) {
    const int32_t n = int32_t(g_records.size());
    if (start < 0 || goal < 0 || start >= n || goal >= n) return 0;
    MV2PathSearchRecord* s = &g_records[size_t(start)];
    MV2PathSearchRecord* g = &g_records[size_t(goal)];
    s->g = 0.0f;
    s->parent = nullptr;
    s->h = MV2PathSearchDistance(g, s);
    s->steps = 0.0f;
    s->f = s->h;
    g_open.next = g_open.prev = &g_open;
    InsertOpen(s);
    *s->state = 1;
    int32_t result = 0;
    while (g_open.next != &g_open) {
        MV2PathSearchRecord* x = g_open.next;
        Unlink(x);
        *x->state = 2;
        if (x == g) {
            // Reverse the chain so that each parent word names the next record toward G.
            MV2PathSearchRecord* next = nullptr;
            for (MV2PathSearchRecord* r = g; r;) {
                MV2PathSearchRecord* previous = r->parent;
                r->parent = next;
                next = r;
                ++result;
                r = previous;
            }
            break;
        }
        const MV2PathNode* node = x->node;
        for (int32_t k = 0; k < node->linkCount; ++k) {
            MV2PathSearchRecord* y = &g_records[size_t(node->links[k])];
            if (y == x->parent || y->node->weight >= 100.0f) continue;
            const float cost = MV2PathSearchDistance(y, x) + MV2PathSearchCost(y);
            if (*y->state == 0 || x->g + cost < y->g) {
                y->g = x->g + cost;
                y->parent = x;
                y->h = MV2PathSearchDistance(g, y);
                y->f = y->g + y->h;
                y->steps = x->steps + 1.0f;
                if (*y->state == 1) Unlink(y);
                InsertOpen(y);
                *y->state = 1;
            }
        }
    }
    std::memset(g_states.data(), 0, g_states.size());
    for (MV2PathSearchRecord* r = g_open.next; r != &g_open;) {
        MV2PathSearchRecord* next = r->next;
        r->next = r->prev = nullptr;
        r = next;
    }
    g_open.next = g_open.prev = &g_open;
    return result;
}

void MV2BuildPathNodes() {
    MV2CreatePathNodeGraph();
    MV2InitialiseDeathSites();
}

void MV2DestroyPathNodes() {
    MV2DestroyPathNodeGraph();
    MV2ResetCruiser();
    MV2InitialiseDeathSites();
    MV2ResetHeat();
    MV2ResetDrones();
    MV2ResetFireflies();
    MV2ResetLeapRamps();
    MV2ResetSilentMum();
    MV2ResetEel();
    MV2ResetSquid();
    MV2ResetSmallMother();
    MV2ResetLevelCreatures();
}
