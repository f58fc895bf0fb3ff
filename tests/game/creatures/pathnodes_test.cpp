#include "tests/game/creatures/creature_fixture.h"

#include <cstring>

#include "game/creatures/routes.h"
#include "tests/support/path_record_writer.h"

namespace {

void Install(const std::vector<PathNodeSpec>& nodes) {
    const std::vector<uint8_t> bytes = PathNodeRecordBytes(0x01FEFFFF, nodes);
    MV2PathGraph graph;
    ASSERT_EQ(MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {}, &graph), 1);
    MV2SetPathNodeGraph(&graph);
}

PathNodeSpec Node(uint32_t id, float x, float z, std::vector<uint32_t> links, float weight = 0) {
    PathNodeSpec n;
    n.id = id;
    n.x = x;
    n.y = -10.0f;
    n.z = z;
    n.weight = weight;
    n.links = std::move(links);
    return n;
}

// The node ids along the chain from the start after a search.
std::vector<uint32_t> Chain(int32_t start) {
    std::vector<uint32_t> ids;
    for (const MV2PathSearchRecord* r = MV2GetPathNodeGraph()->nodes[start].search; r;
         r = r->parent)
        ids.push_back(r->node->id);
    return ids;
}

} // namespace

TEST(PathRecord, ReadsHandWrittenBytes) {
    const uint32_t words[] = {0x01FEFFFF, 16 + 32 + 28, 0, 2,
                              // node 7 at (1, 2, 3), weight 0.5, one link to 9
                              7, 0xFFFFFFFF, 0x3F800000, 0x40000000, 0x40400000, 0x3F000000, 1, 9,
                              // node 9 at (4, 5, 6), no links
                              9, 0, 0x40800000, 0x40A00000, 0x40C00000, 0, 0};
    std::vector<uint8_t> bytes(sizeof words);
    std::memcpy(bytes.data(), words, sizeof words); // the build machines are little-endian
    MV2PathGraph graph;
    ASSERT_EQ(MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {10, 0, 0}, &graph), 1);
    ASSERT_EQ(graph.count, 2);
    EXPECT_EQ(graph.nodes[0].id, 7u);
    EXPECT_FLOAT_EQ(graph.nodes[0].position.x, 11.0f); // moved by the corner
    EXPECT_FLOAT_EQ(graph.nodes[0].position.z, 3.0f);
    EXPECT_FLOAT_EQ(graph.nodes[0].weight, 0.5f);
    ASSERT_EQ(graph.nodes[0].linkCount, 1);
    EXPECT_EQ(graph.nodes[0].links[0], 1);
    EXPECT_EQ(graph.nodes[1].linkCount, 0);
    MV2FreePathGraph(&graph);
}

TEST(PathRecord, BadRecords) {
    const std::vector<PathNodeSpec> two = {Node(1, 0, 0, {2}), Node(2, 1, 0, {1})};
    const std::vector<uint8_t> good = PathNodeRecordBytes(1, two);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t available;
        int32_t ok;
    };
    std::vector<uint8_t> hugeCount = good;
    hugeCount[12] = 0xFF;
    hugeCount[13] = 0xFF;
    std::vector<uint8_t> hugeLinks = good;
    hugeLinks[16 + 24] = 0xFF;
    hugeLinks[16 + 25] = 0xFF;
    const Case cases[] = {
        {"good", good, good.size(), 1},
        {"size below 16", PathNodeRecordBytes(1, {}, 12), 16, 0},
        {"size beyond the record", PathNodeRecordBytes(1, two, uint32_t(good.size() + 4)),
         good.size(), 0},
        {"node beyond the size", PathNodeRecordBytes(1, two, uint32_t(good.size() - 4)),
         good.size(), 0},
        {"count beyond the size", hugeCount, hugeCount.size(), 0},
        {"links beyond the size", hugeLinks, hugeLinks.size(), 0},
        {"fewer bytes than a header", good, 8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MV2PathGraph graph;
        EXPECT_EQ(MV2ParsePathNodeRecord(c.bytes.data(), c.available, {}, &graph), c.ok);
        if (!c.ok) {
            EXPECT_EQ(graph.count, 0);
        }
        MV2FreePathGraph(&graph);
    }
}

TEST(PathRecord, UnknownLinksDropAndDuplicateIdsResolveToTheFirst) {
    const std::vector<uint8_t> bytes =
        PathNodeRecordBytes(1, {Node(1, 0, 0, {2, 99}), Node(2, 1, 0, {}), Node(2, 5, 0, {})});
    MV2PathGraph graph;
    ASSERT_EQ(MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {}, &graph), 1);
    ASSERT_EQ(graph.nodes[0].linkCount, 1);
    EXPECT_EQ(graph.nodes[0].links[0], 1);
    MV2FreePathGraph(&graph);
}

TEST_F(CreatureTest, NoRecordGivesAnEmptyGraph) {
    MV2CreatePathNodeGraph();
    const TvV3d a{0, 0, 0}, b{10, 0, 0};
    EXPECT_EQ(MV2FindPathNodeToward(&a, &b), -1);
    TvV3d p = a;
    MV2SnapToHiddenPathNode(&p);
    EXPECT_FLOAT_EQ(p.x, 0.0f);
    MV2Route route;
    MV2RouteInit(&route);
    EXPECT_EQ(MV2RoutePlan(&route, &a, &b), 0);
}

TEST_F(CreatureTest, AStar) {
    // 0 - 1 - 2, and 0 - 3 - 2 through a node of weight 100.
    Install({Node(10, 0, 0, {11, 13}), Node(11, 5, 0, {10, 12}), Node(12, 10, 0, {11, 13}),
             Node(13, 5, 5, {10, 12}, 100.0f)});
    EXPECT_EQ(MV2PathSearchAStar(0, 0), 1);
    EXPECT_EQ(Chain(0), std::vector<uint32_t>{10});
    EXPECT_EQ(MV2PathSearchAStar(0, 2), 3);
    EXPECT_EQ(Chain(0), (std::vector<uint32_t>{10, 11, 12}));
    // Reaching 13 itself is refused: it is never entered.
    EXPECT_EQ(MV2PathSearchAStar(0, 3), 0);

    // Only through the weight-100 node: no path.
    Install({Node(1, 0, 0, {2}), Node(2, 5, 0, {3}, 100.0f), Node(3, 10, 0, {})});
    EXPECT_EQ(MV2PathSearchAStar(0, 2), 0);

    // Two equal ways around a square: the newest of equal f is taken first.
    Install({Node(1, 0, 0, {2, 3}), Node(2, 0, 5, {4}), Node(3, 0, -5, {4}), Node(4, 10, 0, {})});
    EXPECT_EQ(MV2PathSearchAStar(0, 3), 3);
    EXPECT_EQ(Chain(0), (std::vector<uint32_t>{1, 3, 4}));
}

TEST_F(CreatureTest, Routes) {
    Install({Node(1, 0, 0, {2}), Node(2, 10, 0, {1})});
    MV2Route route;
    MV2RouteInit(&route);
    // Both ends nearest the same node: F, T; after planning T alone.
    const TvV3d f{-1, -10, 0}, t{-2, -10, 1};
    ASSERT_EQ(MV2RoutePlan(&route, &f, &t), 1);
    EXPECT_EQ(route.count, 1);
    ASSERT_NE(route.current, nullptr);
    EXPECT_FLOAT_EQ(route.current->position.x, -2.0f);
    EXPECT_FLOAT_EQ(route.legDirection.x, -1.0f / std::sqrt(2.0f));
    MV2RouteClear(&route);
    EXPECT_TRUE(MV2RouteIsEmpty(&route));

    // A line of 150 nodes: the route keeps 101 of them and still ends at T.
    std::vector<PathNodeSpec> line;
    for (uint32_t i = 0; i < 150; ++i) {
        std::vector<uint32_t> links;
        if (i > 0) links.push_back(i);
        if (i + 1 < 150) links.push_back(i + 2);
        line.push_back(Node(i + 1, float(i) * 2.0f, 0, links));
    }
    Install(line);
    const TvV3d start{-1, -10, 0}, end{299, -10, 0};
    ASSERT_EQ(MV2RoutePlan(&route, &start, &end), 1);
    EXPECT_EQ(route.count, 102);
    const MV2RouteWayPoint* w = route.current;
    while (w->next) w = w->next;
    EXPECT_FLOAT_EQ(w->position.x, 299.0f);

    // Planning again and again keeps the pool flat.
    const int32_t inUse = MV2RouteWayPointsInUse();
    for (int32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(MV2RoutePlan(&route, &start, &end), 1);
    EXPECT_EQ(MV2RouteWayPointsInUse(), inUse);
    MV2RouteClear(&route);
}

TEST_F(CreatureTest, CraftOrderedToAPointArrives) {
    std::vector<PathNodeSpec> nodes;
    for (uint32_t i = 0; i < 5; ++i) {
        std::vector<uint32_t> links;
        if (i > 0) links.push_back(i);
        if (i < 4) links.push_back(i + 2);
        nodes.push_back(Node(i + 1, float(i) * 8.0f, 0, links));
    }
    Install(nodes);
    MV2Object* craft = MakeSub(0, {0.0f, -10.0f, 0.0f});
    ModelType(5, 0.5f);
    const float there[3] = {32.0f, -10.0f, 0.0f};
    MV2Object* goal = MV2CreateObject(5, there, nullptr);
    ASSERT_TRUE(craft && goal);
    MV2SubAIOrderGoTo(craft, goal, 3.0f);
    int32_t frames = 0;
    while (MV2SubAIGetCommand(craft)->code == kMV2SubAIGoTo && frames < 3000) {
        Frame(craft);
        ++frames;
    }
    EXPECT_LT(frames, 3000);
    EXPECT_LT(std::sqrt(MV2ObjectDistanceSquared(craft, goal)), 6.0f);
}
