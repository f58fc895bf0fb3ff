// Levers and the push switch: the lamp flicker after switching live, presses refused within the
// re-arm time, by others than the player's craft and while dead, the timed on-state, the quiet
// message 63, and the lever thrown only through its grip, swinging to its end once and never
// moving.
#include "game/missions/levers.h"

#include <vector>

#include "engine/core/frame.h"
#include "game/missions/leveldevices.h"
#include "game/objects/objectupdate.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

std::vector<uint32_t> gNotices;

void Notice(MV2Object*, uint32_t value) {
    gNotices.push_back(value);
}

class LeverTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        LevelType(178, sizeof(MV2LeverSwitchData), {2, 3}, 1.0f, true);
        LevelType(179, sizeof(MV2LeverSwitchData), {2, 4}, 1.0f, true);
        LevelType(180, sizeof(MV2LeverSwitchData), {2, 5, 4, 3, 21, 22});
        LevelType(1, 0, {}, 1.0f, true); // the player's craft
        LevelType(52, 0);                // the magnet's head
        gNotices.clear();
        gMV2FrameTimer.frameClock = 10000;
    }
    MV2Object* Switch(int32_t type) {
        MV2Object* o = Make(type);
        MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(&Notice));
        return o;
    }
    static MV2LeverSwitchData* Data(MV2Object* o) {
        return static_cast<MV2LeverSwitchData*>(o->privateData);
    }
    static TpAtomic* Part(MV2Object* o, uint32_t tag) { return MV2FindAtomicByTag(o->clump, tag); }
    static bool Shown(MV2Object* o, uint32_t tag) { return Part(o, tag)->object.object.flags == 5; }
    // A touch of `other` on the part with `tag`.
    static void Touch(MV2Object* o, MV2Object* other, uint32_t tag) {
        const_cast<MV2CollisionState*>(MV2GetCollisionState())->struck = Part(o, tag);
        MV2ObjectSendMessage(o, 19, 1, reinterpret_cast<intptr_t>(other));
        const_cast<MV2CollisionState*>(MV2GetCollisionState())->struck = nullptr;
    }
    MV2Object* Craft() {
        MV2Object* craft = Make(1, {0, 0, 3});
        MV2SetPlayerObject(craft);
        return craft;
    }
    static void At(MV2Object* o, uint32_t ms) {
        gMV2FrameTimer.frameClock = ms;
        MV2ObjectSendMessage(o, 2, 0, 0);
    }
};

} // namespace

TEST_F(LeverTest, LampsFlicker50_150_50_250_50AfterSwitchingLive) {
    MV2Object* s = Switch(180);
    EXPECT_TRUE(Shown(s, 3)); // off lamp lit at creation
    EXPECT_FALSE(Shown(s, 5));
    MV2ObjectSendMessage(s, 11, 0, 0);
    EXPECT_TRUE(Shown(s, 5)); // dead button shown
    EXPECT_TRUE(Shown(s, 22));
    EXPECT_FALSE(Shown(s, 3));
    const uint32_t t0 = 20000;
    gMV2FrameTimer.frameClock = t0;
    MV2ObjectSendMessage(s, 11, 1, 0);
    EXPECT_TRUE(Shown(s, 2));
    EXPECT_TRUE(Shown(s, 3));
    std::vector<uint32_t> changes; // times the lamp changes between lit and unlit
    bool lit = true;
    for (uint32_t t = t0; t < t0 + 1000; t++) {
        At(s, t);
        EXPECT_NE(Shown(s, 3), Shown(s, 22)) << t; // one lamp at a time
        if (Shown(s, 3) != lit) {
            lit = Shown(s, 3);
            changes.push_back(t - t0);
        }
    }
    ASSERT_EQ(changes.size(), 6u);
    // Each step ends at the first update after its time: 50, 150, 50, 250 and 50 ms.
    const uint32_t lengths[5] = {51, 151, 51, 251, 51};
    for (size_t i = 0; i < 5; i++)
        EXPECT_EQ(changes[i + 1] - changes[i], lengths[i]) << i;
    EXPECT_TRUE(lit);
    EXPECT_EQ(Data(s)->blinkCounter, 0u);
}

TEST_F(LeverTest, PressesToggleOnlyFromThePlayersCraftOnTheButtonOutsideTheRearmTime) {
    MV2Object* s = Switch(180);
    MV2Object* craft = Craft();
    MV2Object* head = Make(52);
    struct Press {
        uint32_t at;
        MV2Object* by;
        uint32_t tag;
        uint32_t state;
    } presses[] = {
        {10000, craft, 2, 1}, {10999, craft, 2, 1}, // second press within 1000 ms
        {11000, craft, 4, 1},                       // a lamp is not the button
        {11000, head, 2, 1},                        // the magnet's head
        {11000, craft, 2, 0},
        {12000, craft, 5, 1}, // the dead button counts too
    };
    for (const Press& p : presses) {
        gMV2FrameTimer.frameClock = p.at;
        Touch(s, p.by, p.tag);
        EXPECT_EQ(Data(s)->state, p.state) << p.at << " tag " << p.tag;
    }
    EXPECT_EQ(gNotices, (std::vector<uint32_t>{1, 0, 1}));
    EXPECT_EQ(LevelSounds::Count("PUSHSWITCH"), 3);
    EXPECT_TRUE(Shown(s, 4)); // on lamp lit

    // A craft type that cannot press switches.
    craft->type->words[7] |= 0x40000;
    gMV2FrameTimer.frameClock = 20000;
    Touch(s, craft, 2);
    EXPECT_EQ(Data(s)->state, 1u);
    craft->type->words[7] &= ~0x40000u;

    // Dead: presses and message 63 change nothing.
    MV2ObjectSendMessage(s, 11, 0, 0);
    Touch(s, craft, 2);
    MV2ObjectSendMessage(s, 63, 0, 0);
    EXPECT_EQ(Data(s)->state, 1u);
    // Live: message 63 stores its value quietly and re-arms for 2000 ms.
    MV2ObjectSendMessage(s, 11, 1, 0);
    MV2ObjectSendMessage(s, 63, 7, 0);
    EXPECT_EQ(Data(s)->state, 7u);
    gMV2FrameTimer.frameClock = 21999;
    Touch(s, craft, 2);
    EXPECT_EQ(Data(s)->state, 7u);
    EXPECT_EQ(gNotices.size(), 3u);
    EXPECT_EQ(LevelSounds::Count("PUSHSWITCH"), 3);
}

TEST_F(LeverTest, TimedOnStateEndsByItself) {
    MV2Object* s = Switch(180);
    MV2Object* craft = Craft();
    gMV2FrameTimer.frameClock = 10000;
    MV2ObjectSendMessage(s, 24, 3000, 0);
    Touch(s, craft, 2); // within the duration set by message 24: refused
    EXPECT_EQ(Data(s)->state, 0u);
    gMV2FrameTimer.frameClock = 13000;
    Touch(s, craft, 2);
    EXPECT_EQ(Data(s)->state, 1u);
    gMV2FrameTimer.frameClock = 15000; // past the re-arm time, within the duration
    Touch(s, craft, 2);
    EXPECT_EQ(Data(s)->state, 1u);
    for (uint32_t t = 15000; t <= 16000; t += 100)
        At(s, t);
    EXPECT_EQ(Data(s)->state, 1u);
    At(s, 16001);
    EXPECT_EQ(Data(s)->state, 0u);
    EXPECT_EQ(gNotices, (std::vector<uint32_t>{1, 0}));
    EXPECT_TRUE(Shown(s, 3));
    EXPECT_FALSE(Shown(s, 4));
    // The button sank while on and rises back to rest.
    TvMatrix* button = TvFrameGetMatrix(MV2FindFrameByTag(s->clump, 2));
    EXPECT_LT(button->pos.z, 0.01f);
    button->pos.z = -0.1f;
    At(s, 16100);
    EXPECT_NEAR(button->pos.z, -0.095f, 1e-6f);
}

TEST_F(LeverTest, MagnetMayTakeLeversOnly) {
    struct Case {
        int32_t type;
        intptr_t answer;
        uint32_t frameTag;
    } cases[] = {{178, 1, 3}, {179, 1, 4}, {180, 0, 0}};
    for (const Case& c : cases) {
        MV2Object* o = Switch(c.type);
        TvFrame* frame = nullptr;
        EXPECT_EQ(MV2ObjectSendMessage(o, 45, 0, reinterpret_cast<intptr_t>(&frame)), c.answer);
        EXPECT_EQ(frame, c.frameTag ? MV2FindFrameByTag(o->clump, c.frameTag) : nullptr);
        EXPECT_EQ(MV2ObjectSendMessage(o, 75, 0, 0), 0);
    }
}

TEST_F(LeverTest, GrippedLeverThrownByAPullSwingsToItsEndOnce) {
    MV2Object* lever = Switch(178);
    lever->type->words[31] &= ~(3u << 28); // velocities stay as set between updates
    MV2Object* head = Make(52);
    // Not gripped: a pull neither throws it nor is taken away.
    lever->body->velocity = {0.0f, 0.5f, 0.0f};
    MV2ObjectSendMessage(lever, 2, 0, 0);
    EXPECT_EQ(Data(lever)->state, 0u);
    EXPECT_FLOAT_EQ(lever->body->velocity.y, 0.5f);
    // A touch on another part does not grip; on the grip it does and reports 0.
    Touch(lever, head, 2);
    EXPECT_EQ(Data(lever)->active, 0u);
    Touch(lever, head, 3);
    EXPECT_EQ(Data(lever)->active, 1u);
    EXPECT_EQ(gNotices, std::vector<uint32_t>{0});
    // A weak pull is taken away.
    lever->body->velocity = {0.0f, 0.003f, 0.0f};
    MV2ObjectSendMessage(lever, 2, 0, 0);
    EXPECT_EQ(Data(lever)->state, 0u);
    EXPECT_FLOAT_EQ(lever->body->velocity.y, 0.0f);
    // Held with no submarine: nothing is reported about the magnet.
    EXPECT_EQ(gNotices.size(), 1u);
    // A strong pull throws it; the handle swings about 143 degrees and the end is told once.
    lever->body->velocity = {0.0f, 0.01f, 0.0f};
    const TvV3d start = lever->matrix->pos;
    int32_t updates = 0;
    for (; updates < 60; updates++)
        MV2ObjectSendMessage(lever, 2, 0, 0);
    EXPECT_EQ(Data(lever)->state, 1u);
    EXPECT_EQ(LevelSounds::Count("LEVER1"), 1);
    EXPECT_EQ(gNotices, (std::vector<uint32_t>{0, 1}));
    const TvMatrix* handle = TvFrameGetLTM(MV2FindFrameByTag(lever->clump, 2));
    EXPECT_LE(TvV3dDot(handle->at, lever->matrix->at), -0.8f);
    EXPECT_GT(TvV3dDot(handle->at, lever->matrix->at), -0.85f);
    EXPECT_FLOAT_EQ(lever->matrix->pos.y, start.y); // never moves
}
