#include "platform/win32/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/marovant-reg-XXXXXX";
        dir = mkdtemp(tmpl);
        file = dir + "/sub/settings.reg";
        PlatformSetRegistryFile(file);
    }
    void TearDown() override {
        PlatformSetRegistryFile("");
        fs::remove_all(dir);
    }
    HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, disposition),
                  static_cast<LONG>(ERROR_SUCCESS));
        return key;
    }
    LONG SetString(HKEY key, const char* name, const char* data, DWORD size) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size);
    }
    std::string dir, file;
};

TEST_F(Registry, ValuesPersistPerRootAndMatchIgnoringCase) {
    DWORD disposition = 0;
    HKEY user = Create(HKEY_CURRENT_USER, "Software\\Halvern Studios\\Marovant", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    DWORD volume = 0x12345678;
    ASSERT_EQ(RegSetValueExA(user, "SFXVolume", 0, REG_DWORD, reinterpret_cast<BYTE*>(&volume), 4),
              static_cast<LONG>(ERROR_SUCCESS));
    ASSERT_EQ(SetString(user, "Odd=name%\n[x]", "a=b\nc", 6), static_cast<LONG>(ERROR_SUCCESS));
    RegCloseKey(user);
    EXPECT_TRUE(fs::exists(file));
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
        EXPECT_EQ(entry.path(), fs::path(file)) << "no temporary file is left behind";

    HKEY machine = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Halvern Studios\\Marovant", 0, KEY_READ,
                            &machine),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\halvern studios\\", 0, KEY_READ, &again),
              static_cast<LONG>(ERROR_SUCCESS));
    HKEY game = Create(again, "MAROVANT", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD type = 0, got = 0, size = sizeof got;
    ASSERT_EQ(
        RegQueryValueExA(game, "sfxvolume", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size),
        static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(got, volume);
    char text[16];
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(game, "ODD=NAME%\n[X]", nullptr, &type,
                               reinterpret_cast<BYTE*>(text), &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(text, "a=b\nc");
    EXPECT_EQ(RegQueryValueExA(game, "Absent", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    RegCloseKey(game);
    RegCloseKey(again);
    EXPECT_EQ(RegCloseKey(again), static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST_F(Registry, StringsAreStoredAndReturnedTerminated) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvern\\Vesk5");
    ASSERT_EQ(SetString(key, "NoZero", "abcdef", 3), static_cast<LONG>(ERROR_SUCCESS));
    ASSERT_EQ(SetString(key, "Inner", "ab\0cd", 6), static_cast<LONG>(ERROR_SUCCESS));
    struct Case {
        const char* name;
        DWORD bufferSize;
        LONG result;
        DWORD size;
        const char* text;
    } cases[] = {
        {"NoZero", 8, ERROR_SUCCESS, 4, "abc"},
        {"Inner", 8, ERROR_SUCCESS, 3, "ab"},
        {"NoZero", 3, static_cast<LONG>(ERROR_MORE_DATA), 4, ""},
    };
    for (const Case& c : cases) {
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD size = c.bufferSize, type = 0;
        EXPECT_EQ(
            RegQueryValueExA(key, c.name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            c.result)
            << c.name;
        EXPECT_EQ(size, c.size) << c.name;
        EXPECT_STREQ(buffer, c.text) << c.name;
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "NoZero", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

TEST_F(Registry, DamagedFileLinesAreSkipped) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << "[HKCU\\Good]\nA=1:414200\nB=4:zz\nC=1:4\nD=99999999999:00\n"
                           "no equals\n=1:\n[HKXX\\Bad]\nE=1:4100\n[HKLM\\%G1]\n[HKCU\\Good\n"
                           "F=3:0102\n";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_SUCCESS));
    char buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "A", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_STREQ(buffer, "AB");
    for (const char* bad : {"B", "C", "D", "E", "F"}) {
        size = sizeof buffer;
        EXPECT_EQ(
            RegQueryValueExA(key, bad, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND))
            << bad;
    }
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LONG>(ERROR_SUCCESS)); // the default value "=1:" is empty but valid
    RegCloseKey(key);
}

TEST_F(Registry, SubKeysEnumerateAndDeleteOnlyWhenEmpty) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Game\\Beta"));
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Game\\alpha\\Deep"));
    HKEY game = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Game", 0, KEY_READ, &game),
              static_cast<LONG>(ERROR_SUCCESS));
    char name[8];
    DWORD size = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(game, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_STREQ(name, "alpha"); // name order ignoring case, direct sub-keys only
    EXPECT_EQ(size, 5u);
    size = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(game, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_STREQ(name, "Beta");
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(game, 2, name, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_NO_MORE_ITEMS));
    size = 5; // "alpha" and its terminator need 6
    EXPECT_EQ(RegEnumKeyExA(game, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_MORE_DATA));

    EXPECT_EQ(RegDeleteKeyA(game, "alpha"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKeyA(game, "ALPHA\\deep"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteKeyA(game, "alpha"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteKeyA(game, "alpha"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(SetString(game, "Name", "x", 2), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteValueA(game, "NAME"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteValueA(game, "Name"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    RegCloseKey(game);
}

TEST(RegistryFile, DefaultsUnderTheConfigFolder) {
    PlatformSetRegistryFile("");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(PlatformRegistryFile(), "/tmp/cfg/marovant/settings.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(PlatformRegistryFile(),
              std::string(std::getenv("HOME")) + "/.config/marovant/settings.reg");
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

} // namespace
