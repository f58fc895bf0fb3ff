#include "shell/settings.h"

#include <cstdio>
#include <cstring>

#include "game/effects/shadows.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/movies.h"
#include "game/objects/caustics.h"
#include "platform/win32/registry.h"
#include "shell/cdaudio.h"
#include "shell/voices.h"

const char* const MV2SettingNames[MV2_SETTING_COUNT] = {"SFXVolume",   "CDVolume",  "SpeechVolume",
                                                        "Subtitles",   "Shadows",   "Detail",
                                                        "NetworkName", "FragLimit", "Dappling"};

MV2Settings gMV2Settings = {"PLAYER", 10, 1, 1};

namespace {

void Apply(int32_t index, int32_t value) {
    switch (index) {
    case MV2_SETTING_SFX_VOLUME: MV2SetSfxVolume(value); break;
    case MV2_SETTING_CD_VOLUME: MV2SetCdVolume(value); break;
    case MV2_SETTING_SPEECH_VOLUME: MV2SetSpeechVolume(value); break;
    case MV2_SETTING_SUBTITLES: MV2SetSubtitles(value); break;
    case MV2_SETTING_SHADOWS: MV2SetShadows(value); break;
    case MV2_SETTING_FRAG_LIMIT: gMV2Settings.fragLimit = value; break;
    case MV2_SETTING_DAPPLING:
        gMV2Settings.worldCaustics = value;
        gMV2Settings.atomicCaustics = value;
        MV2SetWorldCaustics(value);
        MV2SetAtomicCaustics(gMV2Settings.atomicCaustics);
        break;
    default: break;
    }
}

int32_t Current(int32_t index) {
    switch (index) {
    case MV2_SETTING_SFX_VOLUME: return MV2GetSfxVolume();
    case MV2_SETTING_CD_VOLUME: return MV2GetCdVolume();
    case MV2_SETTING_SPEECH_VOLUME: return MV2GetSpeechVolume();
    case MV2_SETTING_SUBTITLES: return MV2GetSubtitles();
    case MV2_SETTING_SHADOWS: return MV2GetShadows();
    case MV2_SETTING_FRAG_LIMIT: return gMV2Settings.fragLimit;
    default: return gMV2Settings.worldCaustics;
    }
}

} // namespace

void MV2SetPlayerName(const char* name) {
    std::snprintf(gMV2Settings.playerName, sizeof gMV2Settings.playerName, "%s", name);
}

int32_t MV2ReadSetting(int32_t index) {
    if (index < 0 || index >= MV2_SETTING_COUNT) return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMV2SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = REG_NONE;
    LONG result;
    if (index == MV2_SETTING_NETWORK_NAME) {
        char name[kMV2NetworkNameBufferSize] = {};
        DWORD size = sizeof name;
        result = RegQueryValueExA(key, MV2SettingNames[index], nullptr, &type,
                                  reinterpret_cast<BYTE*>(name), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
        name[sizeof name - 1] = 0;
        MV2SetPlayerName(name);
        return 1;
    }
    uint8_t data[4] = {};
    DWORD size = sizeof data;
    result = RegQueryValueExA(key, MV2SettingNames[index], nullptr, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return 0;
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    Apply(index, value);
    return 1;
}

int32_t MV2ReadAllSettings() {
    int32_t result = 0;
    for (int32_t i = 0; i < MV2_SETTING_COUNT; i++)
        result = MV2ReadSetting(i);
    return result;
}

int32_t MV2WriteSetting(int32_t index) {
    if (index < 0 || index >= MV2_SETTING_COUNT || index == MV2_SETTING_DETAIL) return 0;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMV2SettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG result;
    if (index == MV2_SETTING_NETWORK_NAME) {
        const char* name = gMV2Settings.playerName;
        result = RegSetValueExA(key, MV2SettingNames[index], 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(name), DWORD(std::strlen(name) + 1));
    } else {
        int32_t value = Current(index);
        result = RegSetValueExA(key, MV2SettingNames[index], 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}
