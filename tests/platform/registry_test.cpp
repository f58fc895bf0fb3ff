#include "platform/win32/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// A child process running `body` and ending with its result. It is killed and reaped when
// the object goes, so no path out of a test leaves it behind.
class Child {
public:
    template <typename Body> explicit Child(Body body) {
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) _exit(body());
    }
    ~Child() { Kill(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit code; -1 when it died by a signal or was still running after `limit`.
    int Wait(std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0) {
            int status = 0;
            pid_t got = waitpid(pid_, &status, WNOHANG);
            if (got == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (got < 0 || std::chrono::steady_clock::now() > end) break;
            std::this_thread::sleep_for(5ms);
        }
        Kill();
        return -1;
    }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
        EXPECT_TRUE(entry.path() == file || entry.path() == file + ".lock")
            << "no temporary file is left behind: " << entry.path();

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

TEST_F(Registry, FileThatCannotBeUsedIsNeverReplaced) {
    fs::create_directories(fs::path(file).parent_path());
    const std::string kept = "[HKCU\\Game]\nName=1:6b65707400\n";
    struct Case {
        const char* what;
        std::string text;
        fs::perms mode;
    } cases[] = {
        {"unreadable", kept, fs::perms::none},
        {"oversized", kept + std::string((16u << 20) + 1 - kept.size(), '#'), fs::perms::owner_all},
    };
    // Reads see the defaults and writes fail. Root reads any file, so the checks run in a
    // child that drops to an ordinary user.
    auto check = [] {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Game", 0, KEY_READ, &key) != ERROR_FILE_NOT_FOUND)
            return 1;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Game", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_ACCESS_DENIED)
            return 2;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_ACCESS_DENIED)
            return 3;
        return 0;
    };
    fs::permissions(dir, fs::perms::all);
    fs::permissions(fs::path(file).parent_path(), fs::perms::all);
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        fs::permissions(file, c.mode);
        Child child(check);
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(child.Wait(30s), 0) << c.what;
        fs::permissions(file, fs::perms::owner_all);
        EXPECT_TRUE(ReadAll(file) == c.text) << c.what << ": the file was replaced";
    }
    // Nor is a fifo in the file's place waited on.
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0666), 0);
    Child child(check);
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(30s), 0) << "fifo";
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(Registry, TwoWritersAtOnceKeepEveryValue) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Game"));
    constexpr int kValues = 300;
    auto writer = [](char who) {
        return [who] {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, "Game", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
                return 1;
            for (DWORD i = 0; i < kValues; ++i) {
                std::string name = who + std::to_string(i);
                if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&i), 4) != ERROR_SUCCESS)
                    return 2;
            }
            RegCloseKey(key);
            return 0;
        };
    };
    Child a(writer('a')), b(writer('b'));
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(a.Wait(120s), 0);
    EXPECT_EQ(b.Wait(120s), 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Game", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_SUCCESS));
    int present = 0;
    for (char who : {'a', 'b'}) {
        for (DWORD i = 0; i < kValues; ++i) {
            DWORD got = ~0u, size = sizeof got;
            std::string name = who + std::to_string(i);
            if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&got),
                                 &size) == ERROR_SUCCESS &&
                got == i)
                ++present;
        }
    }
    EXPECT_EQ(present, 2 * kValues);
    RegCloseKey(key);
}

TEST_F(Registry, KilledWriterLeavesTheOldOrTheNewFile) {
    const std::string oldValue(256 << 10, 'o'), newValue(256 << 10, 'n');
    HKEY key = Create(HKEY_CURRENT_USER, "Game");
    auto setBig = [&](const std::string& v) {
        return RegSetValueExA(key, "Big", 0, REG_BINARY, reinterpret_cast<const BYTE*>(v.data()),
                              static_cast<DWORD>(v.size()));
    };
    ASSERT_EQ(setBig(oldValue), static_cast<LONG>(ERROR_SUCCESS));
    {
        Child writer([&] {
            for (;;)
                if (setBig(newValue) != ERROR_SUCCESS) return 1;
        });
        ASSERT_TRUE(writer.Started());
        std::this_thread::sleep_for(300ms);
        writer.Kill();
    }
    std::vector<BYTE> got(oldValue.size() + 1);
    DWORD size = static_cast<DWORD>(got.size());
    ASSERT_EQ(RegQueryValueExA(key, "Big", nullptr, nullptr, got.data(), &size),
              static_cast<LONG>(ERROR_SUCCESS));
    std::string text(got.begin(), got.begin() + size);
    EXPECT_TRUE(text == oldValue || text == newValue);

    // The next write clears every temporary copy a dead writer left, its own or made here.
    std::ofstream(file + ".tmp-Zq09xY") << "stale";
    std::ofstream(file + ".backup") << "kept"; // not a name the writer makes
    ASSERT_EQ(setBig(oldValue), static_cast<LONG>(ERROR_SUCCESS));
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
        EXPECT_TRUE(entry.path() == file || entry.path() == file + ".lock" ||
                    entry.path() == file + ".backup")
            << entry.path();
    RegCloseKey(key);
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
