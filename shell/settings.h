// The player's options under the current user's key "Software\Halvern Studios\Marovant": read
// all at the end of the game-system initialisation, written one at a time by the option menus.
#pragma once

#include <cstdint>

enum MV2Setting : int32_t {
    MV2_SETTING_SFX_VOLUME = 0,
    MV2_SETTING_CD_VOLUME = 1,
    MV2_SETTING_SPEECH_VOLUME = 2,
    MV2_SETTING_SUBTITLES = 3,
    MV2_SETTING_SHADOWS = 4,
    MV2_SETTING_DETAIL = 5, // read, not applied, never written
    MV2_SETTING_NETWORK_NAME = 6,
    MV2_SETTING_FRAG_LIMIT = 7,
    MV2_SETTING_DAPPLING = 8,
    MV2_SETTING_COUNT = 9,
};

inline constexpr const char* kMV2SettingsKey = "Software\\Halvern Studios\\Marovant";
extern const char* const MV2SettingNames[MV2_SETTING_COUNT];

inline constexpr int32_t kMV2PlayerNameSize = 32;
inline constexpr int32_t kMV2NetworkNameBufferSize = 256;

// The settings this module keeps itself; the others live in the modules they apply to.
struct MV2Settings {
    char playerName[kMV2PlayerNameSize]; // "PLAYER" until a name is known
    int32_t fragLimit;                   // 10
    int32_t worldCaustics;               // 1
    int32_t atomicCaustics;              // 1
};
extern MV2Settings gMV2Settings;

// The result of the last read (index 8).
int32_t MV2ReadAllSettings();
// 1 when the value was read and applied; a numeric value must be a 4-byte REG_DWORD.
int32_t MV2ReadSetting(int32_t index);
// 1 when written; 0 for index 5 and indices out of range.
int32_t MV2WriteSetting(int32_t index);
// Puts a name into the player name buffer, cut to 31 characters.
void MV2SetPlayerName(const char* name);
