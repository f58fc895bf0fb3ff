// The sound files as bytes: the writers against hand-written bytes, and the readers of the
// sound list and the base volume table on hand-written and hostile input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/audio.h"
#include "shell/sounds.h"
#include "tests/support/sound_writer.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

TEST(SoundFiles, WavToneBytes) {
    // Four frames of an 8-bit stereo tone at a quarter of the rate: 0, +1, 0, -1 of amplitude.
    std::vector<uint8_t> expected = Bytes(
        {'R', 'I', 'F', 'F', 44, 0, 0,    0,    'W', 'A', 'V',  'E',  'f', 'm', 't', ' ', 16, 0,
         0,   0,   1,   0,   2,  0, 0x10, 0x27, 0,   0,   0x20, 0x4E, 0,   0,   2,   0,   8,  0,
         'd', 'a', 't', 'a', 8,  0, 0,    0,    128, 128, 255,  255,  128, 128, 1,   1});
    WavTone tone{2, 8, 10000, 4, 2500.0f, 1.0f};
    EXPECT_EQ(WavToneBytes(tone), expected);
    // 16-bit mono: 0, 16383 (half of 32767, rounded), 0, -16383.
    WavTone wide{1, 16, 8, 4, 2.0f, 0.5f};
    std::vector<uint8_t> samples = WavToneSamples(wide);
    EXPECT_EQ(samples, Bytes({0, 0, 0x00, 0x40, 0, 0, 0x00, 0xC0}));
}

TEST(SoundFiles, SoundListRecordsReadAsWritten) {
    std::vector<uint8_t> bytes(64, 0);
    std::memcpy(bytes.data(), "EXPLOSION", 9);
    std::memcpy(bytes.data() + 40, "boom", 4);
    bytes[56] = 3;
    bytes[60] = 1;
    EXPECT_EQ(SoundListBytes({{"EXPLOSION", "boom", 3, 1}}), bytes);
    MV2SoundListRecord r;
    MV2ReadSoundListRecord(bytes.data(), 64, 0, &r);
    EXPECT_STREQ(r.name, "EXPLOSION");
    EXPECT_STREQ(r.file, "boom");
    EXPECT_EQ(r.channels, 3u);
    EXPECT_EQ(r.priority, 1u);
    // Fields filled to the brim are still read terminated.
    std::vector<uint8_t> full(128, 'x');
    MV2ReadSoundListRecord(full.data(), 128, 1, &r);
    EXPECT_EQ(std::strlen(r.name), 40u);
    EXPECT_EQ(std::strlen(r.file), 16u);
    EXPECT_EQ(MV2SoundListRecordCount(127), 1);
    MV2ReadSoundListRecord(full.data(), 127, 1, &r);
    EXPECT_STREQ(r.name, "");
}

TEST(SoundFiles, BaseVolumeText) {
    std::string text = "# base volume of each sample\nBOOM 0.500\nsplash 0.250\n";
    EXPECT_EQ(BaseVolumeText({{"BOOM", 0.5f}, {"splash", 0.25f}}), text);
    MV2BaseVolume table[kMV2BaseVolumeEntries];
    ASSERT_EQ(MV2ParseBaseVolumes(text.data(), text.size(), table), 2);
    EXPECT_STREQ(table[1].name, "SPLASH");
    EXPECT_FLOAT_EQ(table[1].volume, 0.25f);
}

TEST(SoundFiles, BaseVolumeBadLines) {
    std::string text = "#COMMENT 0.1\n"
                       "NOVALUE\n"
                       "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0.5\n"   // a name longer than 15 characters
                       + std::string(300, 'L') + " 0.7\n" + // a line over 256 characters
                       "TAIL 0.9";
    MV2BaseVolume table[kMV2BaseVolumeEntries];
    int32_t n = MV2ParseBaseVolumes(text.data(), text.size(), table);
    // The long name is cut to 15 characters and its rest does not scan as a number; the
    // over-long line keeps its first 256 characters, which hold no value.
    ASSERT_EQ(n, 1);
    EXPECT_STREQ(table[0].name, "TAIL");
    std::string many;
    for (int i = 0; i < 310; ++i)
        many += "S" + std::to_string(i) + " 1.0\n";
    EXPECT_EQ(MV2ParseBaseVolumes(many.data(), many.size(), table), kMV2BaseVolumeEntries);
    EXPECT_STREQ(table[299].name, "S299");
}

} // namespace
