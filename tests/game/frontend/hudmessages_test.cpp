#include "tests/game/frontend/hud_fixture.h"

#include "engine/world/random.h"
#include "game/frontend/hudmessages.h"
#include "platform/winmm/winmm.h"
#include "tests/support/data_folder.h"
#include "tests/support/sound_writer.h"

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int32_t, intptr_t>>* g_events = nullptr;

class HudMessagesTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        for (uint32_t id = 1; id <= 20; ++id) AddText(id, u"ab");
        AddText(30, u"spoken", 3, "nothing");  // speech whose sample does not exist
        AddText(31, u"spoken", 3, "tone");     // a one-second sample
        AddText(32, u"x", 24);                 // a speaker beyond the face table
        Install();
        g_events = &events;
        savedNotify = gMV2HudMessageNotify;
        gMV2HudMessageNotify = [](int32_t event, intptr_t p) { g_events->push_back({event, p}); };
        PlatformUseManualClock(true, 50000);
        // The talking face's next change is set from the game time at the reset: start both
        // from a known frame clock, not the one an earlier test left.
        gMV2FrameTimer.frameClock = 0;
        MV2ResetHudMessages();
    }
    void TearDown() override {
        PlatformUseManualClock(false);
        gMV2HudMessageNotify = savedNotify;
        g_events = nullptr;
        MV2ResetHudMessages();
        HudTest::TearDown();
    }

    // Updates until the message at the read index has been shown for its time.
    void ShowCurrent() {
        MV2UpdateHudMessages(); // queued -> showing
        MV2UpdateHudMessages(); // starts
        // One frame of a second in the subtitle box reveals the whole text.
        gMV2FrameTimer.milliseconds = 1000;
        const MV2HudTextBox box = {70, 390, 500, 60, 2, 0x40000000u};
        MV2DrawHudMessageText(&box);
        MV2DrawHudMessageText(&box);
        gMV2FrameTimer.milliseconds = 0;
        PlatformAdvanceClock(gMV2HudMessages.slots[gMV2HudMessages.read].displayTime);
        MV2UpdateHudMessages(); // times out
    }

    std::vector<std::pair<int32_t, intptr_t>> events;
    void (*savedNotify)(int32_t, intptr_t) = nullptr;
};

TEST_F(HudMessagesTest, SixteenAddsWithoutUpdateFillTheRing) {
    testing::internal::CaptureStderr();
    for (uint32_t id = 1; id <= 15; ++id) EXPECT_EQ(MV2AddHudMessage(id), 5500u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MV2AddHudMessage(16), 5500u); // queued, but the ring is full
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Too many messages\n");
    EXPECT_EQ(gMV2HudMessages.write, 0); // on the oldest queued message
    EXPECT_EQ(gMV2HudMessages.slots[15].text.id, 16u);
    testing::internal::CaptureStderr();
    MV2AddHudMessage(17);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(gMV2HudMessages.slots[0].text.id, 17u);
    EXPECT_TRUE(events.empty());
}

TEST_F(HudMessagesTest, WrapOntoAShowingMessageCutsItAndTellsTheScriptsOnce) {
    MV2AddHudMessage(1);
    MV2UpdateHudMessages();
    MV2UpdateHudMessages();
    ASSERT_EQ(gMV2HudMessages.slots[0].state, kMV2MessageShowing);
    for (uint32_t id = 2; id <= 15; ++id) MV2AddHudMessage(id);
    testing::internal::CaptureStderr();
    MV2AddHudMessage(16);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Almost too many messages\n");
    const std::vector<std::pair<int32_t, intptr_t>> cut = {{19, 1}};
    EXPECT_EQ(events, cut);
    EXPECT_EQ(gMV2HudMessages.read, 1); // the next queued message shows
    EXPECT_EQ(gMV2HudMessages.slots[0].state, kMV2MessageFree);
    ShowCurrent();
    const std::vector<std::pair<int32_t, intptr_t>> both = {{19, 1}, {19, 2}};
    EXPECT_EQ(events, both);
}

TEST_F(HudMessagesTest, FinishedFlagAndEventNineteen) {
    EXPECT_EQ(MV2HudMessagesFinished(), 1u);
    MV2AddHudMessage(4);
    EXPECT_EQ(MV2HudMessagesFinished(), 0u);
    MV2UpdateHudMessages();
    MV2UpdateHudMessages();
    PlatformAdvanceClock(5499);
    MV2UpdateHudMessages();
    EXPECT_EQ(MV2HudMessagesFinished(), 0u);
    EXPECT_TRUE(events.empty());
    PlatformAdvanceClock(1);
    MV2UpdateHudMessages();
    MV2UpdateHudMessages();
    EXPECT_EQ(MV2HudMessagesFinished(), 1u);
    const std::vector<std::pair<int32_t, intptr_t>> once = {{19, 4}};
    EXPECT_EQ(events, once);
}

TEST_F(HudMessagesTest, SameIdAfterItFinishedReusesItsSlot) {
    MV2AddHudMessage(5);
    ShowCurrent();
    EXPECT_EQ(gMV2HudMessages.read, 1);
    MV2AddHudMessage(5);
    EXPECT_EQ(gMV2HudMessages.read, 0);
    EXPECT_EQ(gMV2HudMessages.write, 1);
    EXPECT_EQ(gMV2HudMessages.slots[0].state, kMV2MessageQueued);
    EXPECT_EQ(gMV2HudMessages.slots[1].state, kMV2MessageFree);
    // Another id takes a slot of its own.
    MV2AddHudMessage(6);
    EXPECT_EQ(gMV2HudMessages.write, 2);
}

TEST_F(HudMessagesTest, DisplayTimeFollowsTheSpeechSample) {
    DataFolder folder;
    WavTone tone;
    tone.frames = 22050;
    folder.Write("Sound/tone.wav", WavToneBytes(tone));
    const struct {
        uint32_t id, ms;
    } cases[] = {{1, 5500}, {30, 5500}, {31, 2500}, {999, 5500}};
    for (const auto& c : cases) EXPECT_EQ(MV2AddHudMessage(c.id), c.ms) << c.id;
}

TEST_F(HudMessagesTest, TalkingFaceAnimatesWithTheSeededGenerator) {
    gMV2FrameTimer.frameClock = 1000;
    MV2AddHudMessage(31);
    MV2UpdateHudMessages();
    MV2UpdateHudMessages();
    ASSERT_EQ(gMV2TalkingFace.row, 3);
    TvRandomSeed(7);
    const int32_t r1 = TvRandom(), r2 = TvRandom();
    TvRandomSeed(7);
    gMV2FrameTimer.frameClock = 1001;
    Calls().clear();
    MV2DrawTalkingFace(3, 413, 255);
    const int32_t frame = (1 + r1 % 3) % 4;
    EXPECT_EQ(gMV2TalkingFace.frame, frame);
    EXPECT_EQ(gMV2TalkingFace.nextChange, 1001u + 120u + uint32_t(r2 & 127));
    ASSERT_EQ(Sprites(), 1u);
    // Row 3's sprites are 221-224: the drawn cell is that of sprite 221 + frame.
    const MV2SpriteCell cell = MV2GetSpriteCell(221 + frame);
    EXPECT_NEAR(Calls().back().vertices[0].u * 256.0f, float(cell.left), 0.6f);
    EXPECT_EQ(Calls().back().vertices[0].colour, 0xFF61BDFFu);
    // No change before the next change time.
    gMV2FrameTimer.frameClock = 1050;
    MV2DrawTalkingFace(3, 413, 255);
    EXPECT_EQ(gMV2TalkingFace.frame, frame);

    // A speaker number past the table shows no face.
    MV2ResetHudMessages();
    MV2AddHudMessage(32);
    MV2UpdateHudMessages();
    MV2UpdateHudMessages();
    EXPECT_EQ(gMV2TalkingFace.row, -1);
}

TEST_F(HudMessagesTest, HistoryListsTheShownMessagesWithAFooter) {
    for (uint32_t id : {1u, 2u, 3u}) {
        MV2AddHudMessage(id);
        ShowCurrent();
    }
    MV2AddHudMessage(4); // queued, not shown yet: not in the history
    Calls().clear();
    MV2DrawHudMessageHistory();
    EXPECT_EQ(Glyphs(), 6u); // three texts of two glyphs
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls().back().vertices[0].colour, 0xC061BDFFu); // the footer's bar
}

TEST_F(HudMessagesTest, SubtitlesSettingHoldsTwoFlags) {
    const struct {
        int32_t value, shown, briefing;
    } cases[] = {{0, 0, 0}, {1, 1, 0}, {2, 1, 1}, {1, 1, 0}};
    for (const auto& c : cases) {
        MV2SetSubtitles(c.value);
        EXPECT_EQ(MV2SubtitlesShown(), c.shown);
        EXPECT_EQ(MV2BriefingSubtitles(), c.briefing);
        EXPECT_EQ(MV2GetSubtitles(), c.value);
    }
    // The box draws only while subtitles are shown.
    MV2AddHudMessage(1);
    MV2UpdateHudMessages();
    const MV2HudTextBox box = {70, 390, 500, 60, 2, 0x40000000u};
    MV2SetSubtitles(0);
    Calls().clear();
    MV2DrawHudMessageText(&box);
    EXPECT_TRUE(Calls().empty());
    MV2SetSubtitles(1);
    MV2DrawHudMessageText(&box);
    EXPECT_FALSE(Calls().empty());
}

} // namespace
