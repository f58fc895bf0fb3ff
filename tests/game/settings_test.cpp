// Registry settings: defaults when absent, write-then-read round trips, and values of the wrong
// shape or size that must leave the setting alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "game/frontend/hudmessages.h"
#include "game/effects/shadows.h"
#include "game/frontend/movies.h"
#include "game/objects/caustics.h"
#include "platform/win32/registry.h"
#include "shell/cdaudio.h"
#include "shell/settings.h"
#include "shell/voices.h"
#include "tests/support/data_folder.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformSetRegistryFile(folder.path() + "/registry.txt");
        SetAll(100, 100, 75, 0, 1, "PLAYER", 10, 1);
    }
    void TearDown() override { PlatformSetRegistryFile(""); }

    static void SetAll(int32_t sfx, int32_t cd, int32_t speech, int32_t subtitles, int32_t shadows,
                       const char* name, int32_t frags, int32_t dappling) {
        MV2SetSfxVolume(sfx);
        MV2SetCdVolume(cd);
        MV2SetSpeechVolume(speech);
        MV2SetSubtitles(subtitles);
        MV2SetShadows(shadows);
        MV2SetPlayerName(name);
        gMV2Settings.fragLimit = frags;
        gMV2Settings.worldCaustics = gMV2Settings.atomicCaustics = dappling;
    }

    static void Store(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kMV2SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    DataFolder folder;
};

TEST_F(SettingsTest, MissingKeyKeepsEveryDefault) {
    EXPECT_EQ(MV2ReadAllSettings(), 0);
    for (int32_t i = 0; i < MV2_SETTING_COUNT; i++)
        EXPECT_EQ(MV2ReadSetting(i), 0) << i;
    EXPECT_EQ(MV2GetSpeechVolume(), 75);
    EXPECT_EQ(MV2GetShadows(), 1);
    EXPECT_EQ(MV2GetSubtitles(), 0);
    EXPECT_STREQ(gMV2Settings.playerName, "PLAYER");
    EXPECT_EQ(gMV2Settings.fragLimit, 10);
    EXPECT_EQ(gMV2Settings.worldCaustics, 1);
}

TEST_F(SettingsTest, WrittenValuesReadBack) {
    SetAll(40, 60, 20, 2, 2, "Diver", 25, 0);
    for (int32_t i = 0; i < MV2_SETTING_COUNT; i++) {
        EXPECT_EQ(MV2WriteSetting(i), i == MV2_SETTING_DETAIL ? 0 : 1) << i;
    }
    EXPECT_EQ(MV2WriteSetting(9), 0);
    EXPECT_EQ(MV2WriteSetting(-1), 0);
    SetAll(1, 2, 3, 1, 0, "Other", 4, 1);

    int32_t detail = 3;
    Store("Detail", REG_DWORD, &detail, 4);
    EXPECT_EQ(MV2ReadAllSettings(), 1);
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_DETAIL), 1);
    EXPECT_EQ(MV2GetSfxVolume(), 40);
    EXPECT_EQ(MV2GetCdVolume(), 60);
    EXPECT_EQ(MV2GetSpeechVolume(), 20);
    EXPECT_EQ(MV2GetSubtitles(), 2);
    EXPECT_EQ(MV2GetShadows(), 2);
    EXPECT_STREQ(gMV2Settings.playerName, "Diver");
    EXPECT_EQ(gMV2Settings.fragLimit, 25);
    EXPECT_EQ(gMV2Settings.worldCaustics, 0);
    EXPECT_EQ(gMV2Settings.atomicCaustics, 0);

    // The stored name keeps its terminator; numbers are 4-byte words.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kMV2SettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "NetworkName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(RegQueryValueExA(key, "FragLimit", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

// The subtitle and dappling values are stored under their own names; a stored dappling value
// reaches both caustics setters.
TEST_F(SettingsTest, SubtitlesAndDapplingUnderTheirNames) {
    SetAll(100, 100, 75, 2, 1, "PLAYER", 10, 0);
    ASSERT_EQ(MV2WriteSetting(MV2_SETTING_SUBTITLES), 1);
    ASSERT_EQ(MV2WriteSetting(MV2_SETTING_DAPPLING), 1);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kMV2SettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    for (auto [name, expected] : {std::pair{"Subtitles", 2}, std::pair{"Dappling", 0}}) {
        int32_t value = -1;
        DWORD type = 0, size = sizeof value;
        EXPECT_EQ(
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS)
            << name;
        EXPECT_EQ(type, REG_DWORD) << name;
        EXPECT_EQ(value, expected) << name;
    }
    RegCloseKey(key);

    const int32_t one = 1;
    Store("Subtitles", REG_DWORD, &one, 4);
    Store("Dappling", REG_DWORD, &one, 4);
    MV2SetWorldCaustics(0);
    MV2SetAtomicCaustics(0);
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_SUBTITLES), 1);
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_DAPPLING), 1);
    EXPECT_EQ(MV2GetSubtitles(), 1);
    EXPECT_EQ(gMV2Settings.worldCaustics, 1);
    EXPECT_EQ(gMV2Settings.atomicCaustics, 1);
    EXPECT_EQ(MV2GetWorldCaustics(), 1);
    EXPECT_EQ(MV2GetAtomicCaustics(), 1);
}

TEST_F(SettingsTest, ValuesOfTheWrongShapeLeaveTheSetting) {
    const uint8_t two[2] = {50, 0};
    const uint8_t eight[8] = {50, 0, 0, 0, 0, 0, 0, 0};
    int32_t fifty = 50;
    const int32_t shadows = MV2GetShadows();
    Store("SFXVolume", REG_BINARY, two, 2);
    Store("CDVolume", REG_DWORD, eight, 8);
    Store("SpeechVolume", REG_SZ, "abc", 4);
    Store("FragLimit", REG_BINARY, &fifty, 4);
    Store("Shadows", REG_DWORD, &fifty, 4);
    struct Case {
        int32_t index;
        int32_t expected;
    } cases[] = {{MV2_SETTING_SFX_VOLUME, 0},    {MV2_SETTING_CD_VOLUME, 0},
                 {MV2_SETTING_SPEECH_VOLUME, 0}, {MV2_SETTING_FRAG_LIMIT, 0},
                 {MV2_SETTING_SHADOWS, 1},       {MV2_SETTING_DAPPLING, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(MV2ReadSetting(c.index), c.expected) << c.index;
    EXPECT_EQ(MV2GetSfxVolume(), 100);
    EXPECT_EQ(MV2GetCdVolume(), 100);
    EXPECT_EQ(MV2GetSpeechVolume(), 75);
    EXPECT_EQ(gMV2Settings.fragLimit, 10);
    EXPECT_EQ(MV2GetShadows(), shadows); // 50 is no shadows option: the setter ignores it

    // A name longer than the query buffer fails and keeps the old one; a long one that fits is
    // cut to the player name buffer.
    std::string tooLong(300, 'n');
    Store("NetworkName", REG_SZ, tooLong.c_str(), DWORD(tooLong.size() + 1));
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_NETWORK_NAME), 0);
    EXPECT_STREQ(gMV2Settings.playerName, "PLAYER");
    // 256 characters need 257 bytes: one more than the buffer; 255 just fit.
    for (size_t length : {size_t(256), size_t(255)}) {
        std::string edge(length, 'e');
        Store("NetworkName", REG_SZ, edge.c_str(), DWORD(edge.size() + 1));
        EXPECT_EQ(MV2ReadSetting(MV2_SETTING_NETWORK_NAME), length == 255 ? 1 : 0) << length;
    }
    EXPECT_EQ(std::string(gMV2Settings.playerName), std::string(31, 'e'));
    std::string longName(40, 'a');
    longName[30] = 'Z';
    Store("NetworkName", REG_SZ, longName.c_str(), DWORD(longName.size() + 1));
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_NETWORK_NAME), 1);
    EXPECT_EQ(std::strlen(gMV2Settings.playerName), 31u);
    EXPECT_EQ(gMV2Settings.playerName[30], 'Z');
    Store("NetworkName", REG_DWORD, &fifty, 4);
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_NETWORK_NAME), 0);
}

} // namespace
