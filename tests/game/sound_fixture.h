// Game sound tests: a data folder with a sound list, tone samples, null.wav and a base volume
// table; an engine with its random generator; sound devices rendering through loopback.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/world/random.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/audio.h"
#include "shell/sounds.h"
#include "shell/voices.h"
#include "tests/support/data_folder.h"
#include "tests/support/loopback.h"
#include "tests/support/null_device.h"
#include "tests/support/sound_writer.h"

inline bool AttachRandom() {
    return TvRandomPluginAttach() == 1;
}

class GameSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        PlatformClearMessageBoxes();
        WavTone tone;
        tone.frames = 4410;
        folder.Write("SOUND/tone.wav", WavToneBytes(tone));
        tone.frequency = 0.0f;
        folder.Write("SOUND/null.wav", WavToneBytes(tone));
    }
    void TearDown() override {
        MV2ShutdownSounds();
        PlatformClearMessageBoxes();
    }

    void WriteList(const std::vector<SoundListRecord>& records) {
        folder.Write("DATA/sounds.dat", SoundListBytes(records));
    }
    // Starts sound with the list and loads its samples.
    void Start(const std::vector<SoundListRecord>& records, int32_t expectLoad = 1) {
        WriteList(records);
        ASSERT_EQ(MV2StartSounds(16, 0), 1);
        ASSERT_EQ(MV2LoadSounds(), expectLoad);
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const PlatformMessageBoxRecord& b : PlatformMessageBoxes())
            out.push_back(b.text);
        return out;
    }

    DataFolder folder;
    LoopbackScope loopback;
    NullEngine engine{nullptr, true, AttachRandom};
};
