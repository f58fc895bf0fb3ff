#include <cstring>
#include <functional>
#include <string_view>

#include "tests/game/objects/puppet_fixture.h"
#include "tests/support/data_folder.h"

using namespace std::string_view_literals;

namespace {

struct Item {
    uint8_t modifier;
    uint8_t kind;
    int32_t index;
    bool operator==(const Item&) const = default;
};

std::vector<Item> Items(const MV2AnimScriptItem* list) {
    std::vector<Item> items;
    for (; list; list = list->next)
        items.push_back({list->modifier, list->kind, list->index});
    return items;
}

bool Equal(const TvV3d& a, const TvV3d& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

} // namespace

class AnimScriptTest : public PuppetTest {
public:
    void Reload(const std::string& script) {
        MV2PuppetFreeAnims(instance_);
        MV2PuppetDestroy(puppet_);
        instance_ = nullptr;
        puppet_ = nullptr;
        Load(script);
    }
    MV2PuppetAnim* A(const char* name) { return MV2PuppetFindAnim(puppet_, name); }
};

// Each lexical rule and the grammar's edge cases, on small scripts.
TEST_F(AnimScriptTest, TokenRulesAndGrammar) {
    struct Case {
        std::string_view script;
        int32_t result;
        std::function<bool(AnimScriptTest&)> check;
    };
    const Case cases[] = {
        {"", 1, nullptr},
        // Numbers: an optional minus, digits, and an optional point with digits after it.
        {"swing { move -7 5. 3 }", 1, [](auto& t) { return Equal(t.A("swing")->move, {-7, 5, 3}); }},
        {"swing { move 1.25 -0.5 2 }", 1,
         [](auto& t) { return Equal(t.A("swing")->move, {1.25f, -0.5f, 2}); }},
        {"swing { move -7-5 3 }", 1, [](auto& t) { return Equal(t.A("swing")->move, {-7, -5, 3}); }},
        // A point before digits is a character, and so is a minus before a non-digit.
        {"swing { move .5 1 2 }", 0, nullptr},
        {"swing { move - 5 1 2 }", 0, nullptr},
        {"5abc", 0, nullptr},
        // Keywords are lower case only; longer words are names.
        {"Swing { }", 1, [](auto& t) { return !t.A("swing")->defined; }},
        {"swing { Trigger { } }", 0, nullptr},
        {"swing { triggers { } }", 0, nullptr},
        {"norunx { move 1 1 1 }", 1, [](auto& t) { return t.A("swing")->move.x == 0; }},
        // Comments of all three kinds; an open block comment runs to the end.
        {"// swing {\n# lift {\n/* walk {\n */ swing { }", 1,
         [](auto& t) { return t.A("swing")->defined && !t.A("lift")->defined; }},
        {"swing { } /* walk {", 1, [](auto& t) { return !t.A("walk")->defined; }},
        {"swing{trigger{state a}}lift{}", 1, [](auto& t) { return t.A("lift")->defined == 1; }},
        // A syntax error stops with 0 and keeps what was built.
        {"swing { move 1 2 3 } lift { move 1 }", 0,
         [](auto& t) { return Equal(t.A("swing")->move, {1, 2, 3}) && t.A("lift")->defined; }},
        {"swing {\0}"sv, 0, nullptr},
        // A second declaration of an animation is read and dropped.
        {"swing { } swing { move 1 1 1 }", 1, [](auto& t) { return t.A("swing")->move.x == 0; }},
        {"norun nosuch", 1, [](auto& t) { return t.A("swing")->run && t.A("walk")->run; }},
        {"norun walk", 1, [](auto& t) { return t.A("walk")->run == 0 && t.A("swing")->run; }},
        // Node names: '_' matches the blank the node name keeps; unknown names leave no foot.
        {"swing { foot left_arm } lift { foot nosuch }", 1,
         [](auto& t) { return t.A("swing")->footNode == 20 && t.A("lift")->footNode == -1; }},
        // Items go to the front of their list: the reverse of the file's order.
        {"swing { trigger { +state a -state b !state c anim lift } }", 1,
         [](auto& t) {
             const MV2AnimTrigger* tr = t.A("swing")->triggers;
             return tr && !tr->next &&
                    Items(tr->items) == std::vector<Item>{{0, 1, 1}, {3, 0, 2}, {2, 0, 1}, {1, 0, 0}};
         }},
        {"swing { trigger { } trigger { state a } }", 1,
         [](auto& t) {
             const MV2AnimTrigger* tr = t.A("swing")->triggers;
             return tr && !tr->items && tr->next && tr->next->items && !tr->next->next;
         }},
        {"swing { start { callback bd callback nosuch anim nosuch } end { -anim walk } }", 1,
         [](auto& t) {
             return Items(t.A("swing")->startEvents) ==
                        std::vector<Item>{{0, 1, -1}, {0, 2, -1}, {0, 2, 1}} &&
                    Items(t.A("swing")->endEvents) == std::vector<Item>{{2, 1, 2}};
         }},
        // Flags are added in order of first use, also inside a dropped declaration.
        {"nosuch { trigger { state first } } swing { end { +state second +state first } }", 1,
         [](auto& t) {
             return t.puppet_->flags.count == 2 &&
                    Items(t.A("swing")->endEvents) == std::vector<Item>{{1, 0, 0}, {1, 0, 1}};
         }},
        // Names are cut at 63 characters; flags keep their first 16 bytes.
        {"swing { trigger { state abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrs"
         " state abcdefghijklmnopZZ } }",
         1,
         [](auto& t) {
             return t.puppet_->flags.count == 1 &&
                    std::strcmp(t.puppet_->flags.first->name, "abcdefghijklmnop") == 0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script));
        Reload(std::string(c.script));
        EXPECT_EQ(script_, c.result);
        if (c.check) {
            EXPECT_TRUE(c.check(*this));
        }
    }
}

// The file reader: a missing file, a file cut at 8192 bytes, and a script of exactly that size.
TEST_F(AnimScriptTest, FileIsReadUpTo8192Bytes) {
    Load();
    DataFolder folder;
    EXPECT_EQ(MV2AnimScriptParseFile(puppet_, ".\\clump\\none\\anim.txt"), 0);

    const std::string head = "swing { move 1 2 3 }", tail = "lift { }";
    const std::string whole =
        head + std::string(kMV2AnimScriptMaxBytes - head.size() - tail.size(), ' ') + tail;
    folder.Write("clump/test/anim.txt", whole);
    EXPECT_EQ(MV2AnimScriptParseFile(puppet_, ".\\clump\\test\\anim.txt"), 1);
    EXPECT_TRUE(A("lift")->defined);

    // What lies beyond 8192 bytes is not read: here a whole declaration, there half a name.
    Reload("");
    folder.Write("clump/test/anim.txt", whole + " walk { }");
    EXPECT_EQ(MV2AnimScriptParseFile(puppet_, ".\\clump\\test\\anim.txt"), 1);
    EXPECT_TRUE(A("lift")->defined);
    EXPECT_FALSE(A("walk")->defined);

    Reload("");
    folder.Write("clump/test/anim.txt", std::string(kMV2AnimScriptMaxBytes - 3, ' ') + "swing { }");
    EXPECT_EQ(MV2AnimScriptParseFile(puppet_, ".\\clump\\test\\anim.txt"), 0);
    EXPECT_FALSE(A("swing")->defined);
}
