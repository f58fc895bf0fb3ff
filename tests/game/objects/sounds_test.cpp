// Object sounds through a recording channel layer: slots, range, dead owners and one-shots.
#include <string>

#include "engine/core/camera.h"
#include "game/objects/objectsounds.h"
#include "shell/gamemain.h"
#include "tests/game/objects/object_fixture.h"

namespace {

struct Channels {
    static inline std::vector<std::string> calls;
    static inline int32_t next = 0;
    static inline bool busy[64];
    static int32_t Play(int32_t slot, int32_t, int32_t loop) {
        calls.push_back("play " + std::to_string(slot) + (loop ? " loop" : " once"));
        const int32_t c = ++next;
        busy[c] = true;
        return c;
    }
    static void Stop(int32_t, int32_t channel) {
        calls.push_back("stop " + std::to_string(channel));
        busy[channel] = false;
    }
    static int32_t Playing(int32_t, int32_t channel) { return busy[channel]; }
    static void Attach(int32_t, int32_t channel, const TvV3d*) {
        calls.push_back("attach " + std::to_string(channel));
    }
    static void LowPass(int32_t, int32_t channel, int32_t on) {
        calls.push_back("lowpass " + std::to_string(channel) + " " + std::to_string(on));
    }
    static void Place(int32_t, int32_t channel, const TvV3d*, const TvV3d*, uint32_t a, float b) {
        calls.push_back("place " + std::to_string(channel) + " " + std::to_string(a) + " " +
                        std::to_string(int(b)));
    }
    static int32_t SoundSlot(int32_t sound) { return sound + 1; }
};

class ObjectSoundTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        saved_ = gMV2ObjectSoundCalls;
        gMV2ObjectSoundCalls = {Channels::Play,     Channels::Stop,    Channels::Playing,
                                Channels::Attach,   Channels::LowPass, Channels::Place,
                                Channels::SoundSlot};
        Channels::calls.clear();
        Channels::next = 0;
        std::fill(std::begin(Channels::busy), std::end(Channels::busy), false);
        camera_ = TvCameraCreate();
        cameraFrame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, cameraFrame_);
        TvFrameSyncDirty();
        gMV2MainCamera = camera_;
        ModelType(5, 1.0f);
    }
    void TearDown() override {
        MV2StopAllObjectSounds();
        gMV2MainCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(cameraFrame_);
        gMV2ObjectSoundCalls = saved_;
        ObjectTest::TearDown();
    }
    MV2Object* Make(float z) {
        const float at[3] = {0, 0, z};
        MV2Object* o = MV2CreateObject(5, at, nullptr);
        TvFrameSyncDirty();
        return o;
    }
    void MoveCamera(float z) {
        const TvV3d to{0, 0, z};
        TvFrameTranslate(cameraFrame_, &to, kTvCombineReplace);
        TvFrameSyncDirty();
    }

    MV2ObjectSoundCalls saved_{};
    TvCamera* camera_ = nullptr;
    TvFrame* cameraFrame_ = nullptr;
};

TEST_F(ObjectSoundTest, LoopFollowsItsObjectUntilOutOfRange) {
    MV2Object* o = Make(10);
    uintptr_t variable = 0;
    ASSERT_EQ(MV2StartObjectSound(o, 7, &variable, 0, 1000), 1);
    EXPECT_TRUE(Channels::calls.empty()); // the voice waits for the update
    ASSERT_EQ(MV2UpdateObjectSounds(), 1);
    const std::vector<std::string> started = {"play 8 loop", "lowpass 1 1", "attach 1",
                                              "place 1 0 1000"};
    EXPECT_EQ(Channels::calls, started);
    EXPECT_EQ(variable, 1u);

    // Asked again every frame: only a and b change.
    Channels::calls.clear();
    ASSERT_EQ(MV2StartObjectSound(o, 7, &variable, 3, -1000), 1);
    MV2UpdateObjectSounds();
    EXPECT_EQ(Channels::calls, std::vector<std::string>{"place 1 3 -1000"});

    // Another variable of the same sound on the same object is refused.
    uintptr_t other = 0;
    EXPECT_EQ(MV2StartObjectSound(o, 7, &other, 0, 0), 0);

    // The camera moves away: the voice stops and the variable reads 0.
    MoveCamera(-30);
    Channels::calls.clear();
    EXPECT_EQ(MV2StartObjectSound(o, 7, &variable, 0, 0), 0);
    EXPECT_EQ(Channels::calls, std::vector<std::string>{"stop 1"});
    EXPECT_EQ(variable, 0u);
    EXPECT_EQ(o->soundSlot, nullptr);
    Channels::calls.clear();
    MV2UpdateObjectSounds(); // the slot is freed, nothing more plays
    EXPECT_TRUE(Channels::calls.empty());
    MoveCamera(0);
    EXPECT_EQ(MV2StartObjectSound(o, 7, &variable, 0, 0), 1);
    EXPECT_EQ(MV2StopAllObjectSounds(), 1);
}

TEST_F(ObjectSoundTest, FiftySlotsAndADeadOwner) {
    std::vector<MV2Object*> objects;
    std::vector<uintptr_t> variables(51, 0);
    for (int32_t i = 0; i < 51; i++)
        objects.push_back(Make(1.0f + 0.1f * float(i)));
    for (int32_t i = 0; i < 50; i++)
        ASSERT_EQ(MV2StartObjectSound(objects[i], 3, &variables[i], 0, 0), 1);
    EXPECT_EQ(MV2StartObjectSound(objects[50], 3, &variables[50], 0, 0), 0);
    MV2UpdateObjectSounds();
    EXPECT_EQ(Channels::next, 50);
    EXPECT_EQ(variables[50], 0u);

    // The owner of slot 0 dies: its voice stops on the next update and the variable reads 0.
    const uintptr_t voice = variables[0];
    MV2ObjectSendMessage(objects[0], 4, 1, 0);
    Channels::calls.clear();
    MV2UpdateObjectSounds();
    EXPECT_EQ(Channels::calls.front(), "stop " + std::to_string(voice));
    EXPECT_EQ(variables[0], 0u);
    // Its slot is free again.
    EXPECT_EQ(MV2StartObjectSound(objects[50], 3, &variables[50], 0, 0), 1);

    // Stopping by hand frees the slot and clears the variable.
    MV2StopObjectSound(objects[1], 3, &variables[1]);
    EXPECT_EQ(variables[1], 0u);
    EXPECT_EQ(objects[1]->soundSlot, nullptr);
    MV2StopAllObjectSounds();
    for (uintptr_t v : variables)
        EXPECT_EQ(v, 0u);
}

TEST_F(ObjectSoundTest, OneShotsNeedTheCameraInRange) {
    const TvV3d near{0, 0, 28}, far{0, 0, 29};
    EXPECT_EQ(MV2PlaySoundAt(&far, 10.0f, 4, 0, 1, 0), 0);
    EXPECT_TRUE(Channels::calls.empty());
    EXPECT_EQ(MV2PlaySoundAt(&near, 10.0f, 4, 0, 1, 2000), 1);
    const std::vector<std::string> calls = {"play 5 once", "lowpass 1 1", "attach 1",
                                            "place 1 0 2000"};
    EXPECT_EQ(Channels::calls, calls);
    gMV2MainCamera = nullptr;
    EXPECT_EQ(MV2UpdateObjectSounds(), 0);
}

} // namespace
