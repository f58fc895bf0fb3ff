// The game on a data folder it may not write: a new game over an existing profile's save tries
// to save twice (over the profile, then at the campaign start) and both fail; the game goes on
// into the level, the existing save is left as it was and nothing new appears in the folder.
// Tests often run as root, whom permission bits do not stop: the game then runs as the
// unprivileged user 65534, and the test is skipped when it cannot be started so.
#include <gtest/gtest.h>

#include "shell/savegame.h"
#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tools/sampledata/sampledata.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;

constexpr uid_t kNobody = 65534;

std::vector<uint8_t> FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A save slot file: u32 record length, then the record: the name (16 bytes), mission row 1,
// two counters, the equipment level, the hull fraction 1.0, a counter, the level switches and
// the mission state block (zeros), sub type 0, no weapons (current slot -1), no tools (current
// -1), script 41's two counters and six values.
std::vector<uint8_t> SaveFile(const char* name) {
    std::vector<uint8_t> r(16, 0);
    std::snprintf(reinterpret_cast<char*>(r.data()), 16, "%s", name);
    for (uint32_t v : {1u, 7u, 3u, 0u, 0x3F800000u, 2u}) Put32(r, v);
    r.resize(r.size() + kMV2LevelSwitchStateSize + 100, 0);
    for (uint32_t v : {0u, 0u, 0xFFFFFFFFu, 0u, 0xFFFFFFFFu}) Put32(r, v);
    for (int i = 0; i < 8; ++i) Put32(r, 0);
    std::vector<uint8_t> file;
    Put32(file, uint32_t(r.size()));
    file.insert(file.end(), r.begin(), r.end());
    return file;
}

void MakeReadOnly(const fs::path& root) {
    for (const auto& e : fs::recursive_directory_iterator(root))
        fs::permissions(e.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    fs::permissions(root, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// Gives the folder back its write bits and removes it.
void Remove(const fs::path& dir) {
    std::error_code ec;
    fs::permissions(dir / "data", fs::perms::owner_write, fs::perm_options::add, ec);
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
}

std::set<std::string> Names(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root))
        names.insert(fs::relative(e.path(), root).string());
    return names;
}

TEST(ReadOnlyData, SavesFailAndTheExistingSaveIsKept) {
    const bool root = geteuid() == 0;
    char tmpl[] = "/tmp/marovant-readonly-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const fs::path data = dir / "data", out = dir / "out";
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(out);
    ASSERT_TRUE(SampleDataWrite(data.string()));
    // The profile the new game is offered ("marovant2", the first free slot being 1) is already
    // saved in slot 0: starting it asks to save over it.
    const std::vector<uint8_t> kept = SaveFile("marovant2");
    std::ofstream(data / "MAROVANT.000", std::ios::binary)
        .write(reinterpret_cast<const char*>(kept.data()), std::streamsize(kept.size()));

    InputScript script;
    script.frames = 470;
    AddCampaignStartKeys(script);
    script.Press(390, 0x1C, 0x0D); // "Yes": save over the profile and start
    {
        const std::vector<uint8_t> bytes = WriteInputScript(script);
        std::ofstream(out / "run.rec", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const std::set<std::string> before = Names(data);
    MakeReadOnly(data);
    if (root && chown(out.c_str(), kNobody, kNobody) != 0) {
        Remove(dir);
        GTEST_SKIP() << "cannot hand the output folder to user " << kNobody;
    }

    setenv("XDG_RUNTIME_DIR", out.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (out / "config").c_str(), 1);
    setenv("MAROVANT_REPLAY_INPUT", (out / "run.rec").c_str(), 1);
    setenv("MAROVANT_STATE_HASH", (out / "state.txt").c_str(), 1);
    const std::string err = (out / "run.err").string();
    const pid_t pid = root ? StartAsUser(err, data.string(), kNobody, kNobody) : Start(err, data.string());
    unsetenv("MAROVANT_REPLAY_INPUT");
    unsetenv("MAROVANT_STATE_HASH");
    ASSERT_GT(pid, 0);
    const int code = WaitFor(pid, 240);
    const std::string errors = ReadFile(err);
    if (code == kStartAsUserFailed) {
        Remove(dir);
        GTEST_SKIP() << "the game cannot be run as user " << kNobody << ": " << errors;
    }
    EXPECT_EQ(code, 0) << errors;
    for (const char* report : {"Sanitizer", "runtime error", "Tracer caught"})
        EXPECT_EQ(errors.find(report), std::string::npos) << errors;
    std::string summary;
    {
        std::ifstream in(out / "state.txt");
        std::getline(in, summary);
        std::getline(in, summary);
    }
    // In the first mission's opening: the failed saves did not stop the start.
    EXPECT_NE(summary.find("mode 13 sequence 9"), std::string::npos) << summary << "\n" << errors;
    EXPECT_EQ(FileBytes(data / "MAROVANT.000"), kept) << "the existing save was changed";
    EXPECT_EQ(Names(data), before) << "the game left files in a folder it may not write";
    Remove(dir);
}

} // namespace
