// Recorded input played back into the game executable, headless on the replay's clock: each run
// of a recording must end with the same game state, and with the hash stored beside it.
// MAROVANT_UPDATE_REPLAY_HASHES=1 writes the stored hashes instead of comparing them (for a
// change that changes the game on purpose; say why in its commit).
#include <gtest/gtest.h>

#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tools/sampledata/sampledata.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;


struct RunResult {
    int code = -1;
    std::string hash, summary, types, errors;
};

// Runs the program once on `data` with the recording, and reads the state it ended in.
RunResult PlayBack(const fs::path& dir, const fs::path& recording) {
    const fs::path hashFile = dir / "state.txt";
    fs::remove(hashFile);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("MAROVANT_REPLAY_INPUT", recording.c_str(), 1);
    setenv("MAROVANT_STATE_HASH", hashFile.c_str(), 1);
    RunResult run;
    const std::string err = (dir / "run.err").string();
    pid_t pid = Start(err, (dir / "data").string());
    unsetenv("MAROVANT_REPLAY_INPUT");
    unsetenv("MAROVANT_STATE_HASH");
    if (pid <= 0) return run;
    run.code = WaitFor(pid, 240);
    run.errors = ReadFile(err);
    std::ifstream in(hashFile);
    std::getline(in, run.hash);
    std::getline(in, run.summary);
    std::getline(in, run.types);
    return run;
}

// Plays a recording twice on a fresh sample folder each time; both runs must end the same,
// with `expect` in the state's summary, and with the stored hash.
void CheckReplay(const char* name, const InputScript& script, const std::string& expect) {
    char tmpl[] = "/tmp/marovant-replay-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const fs::path recording = dir / (std::string(name) + ".rec");
    {
        std::vector<uint8_t> bytes = WriteInputScript(script);
        std::ofstream(recording, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    RunResult runs[2];
    for (RunResult& run : runs) {
        fs::remove_all(dir / "data");
        fs::remove_all(dir / "config");
        ASSERT_TRUE(SampleDataWrite((dir / "data").string()));
        run = PlayBack(dir, recording);
        ASSERT_EQ(run.code, 0) << run.errors;
        ASSERT_EQ(run.hash.size(), 16u) << run.errors;
        EXPECT_NE(run.summary.find(expect), std::string::npos) << run.summary;
        EXPECT_EQ(run.errors.find("out of step"), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.find("Marovant Error"), std::string::npos) << run.errors;
    }
    EXPECT_EQ(runs[0].hash, runs[1].hash) << "the same recording ended in two states";
    const fs::path stored = fs::path(MAROVANT_REPLAY_DIR) / (std::string(name) + ".hash");
    if (getenv("MAROVANT_UPDATE_REPLAY_HASHES")) {
        std::ofstream(stored) << runs[0].hash << "\n";
    } else {
        std::string want;
        std::getline(std::ifstream(stored), want);
        EXPECT_EQ(runs[0].hash, want) << "the game ends this replay differently from the hash "
                                         "stored in " << stored << " (" << runs[0].summary << ")";
    }
    fs::remove_all(dir);
}

// From the start-up pictures to the title, the main menu's Play, a new game and a new profile:
// the campaign's first level starts with mission row 1.
InputScript CampaignStart() {
    InputScript script;
    script.frames = 420;
    AddCampaignStartKeys(script);
    return script;
}

TEST(Replay, FromTheTitleToTheCampaignStart) {
    CheckReplay("campaign_start", CampaignStart(), "mode 13 sequence 9");
}

// The same start, then the first mission's opening runs on its own: the eruption, the two
// flights over the level and the move into the console with the mission pending.
TEST(Replay, TheFirstMissionOpensIntoTheConsole) {
    InputScript script = CampaignStart();
    script.frames = 420 + 760;
    CheckReplay("mission1_opening", script, "mode 9 sequence 9");
}

// From the console the player watches the briefing and goes back to play: the mission's race
// start launches the rivals and pilots the player's craft out of the city, then play (mode 0)
// runs with mission row 1.
TEST(Replay, TheBriefingAndBackToPlay) {
    InputScript script = CampaignStart();
    script.frames = AddLaunchKeys(script, kScriptConsoleFrame) + 30;
    CheckReplay("console_left", script, "mode 0 sequence 9 objects 10 mission 1");
}

// The same path into the race, then the player does nothing: the race's clock runs out (540 s
// of game time, the idle wait in frames of the timer's longest step) and the tally shows the
// failure banner (text row 77) before the campaign goes on with row 2.
TEST(Replay, TheFirstMissionLostByTheClock) {
    InputScript script = CampaignStart();
    const uint32_t play = AddLaunchKeys(script, kScriptConsoleFrame);
    script.spans.push_back({play, 133});
    script.frames = play + 4120; // 548 s into the race: the banner shows from about 542 s for 20 s
    CheckReplay("mission1_lost", script, "mode 0 sequence 9 objects 10 mission 1 frags 0 banner 77");
}

// Damaged data folders: the game shows its error or goes on without the damaged file, and
// never crashes (no signal, no sanitizer report).
struct Fault {
    const char* name;
    void (*damage)(const fs::path& data);
};

void Cut(const fs::path& file, double fraction) {
    fs::resize_file(file, uintmax_t(double(fs::file_size(file)) * fraction));
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

const Fault kFaults[] = {
    {"TexturePackCutInTheIndex", [](const fs::path& d) { Cut(d / "texture.pak", 0.0001); }},
    {"TexturePackCutInTheData", [](const fs::path& d) { Cut(d / "texture.pak", 0.6); }},
    {"ModelPackCutInHalf", [](const fs::path& d) { Cut(d / "clump.pak", 0.5); }},
    {"LevelPackCutShort", [](const fs::path& d) { Cut(d / "lev0.pak", 0.3); }},
    {"NoSounds",
     [](const fs::path& d) {
         for (const auto& e : fs::directory_iterator(d / "SOUND")) fs::remove(e.path());
     }},
    {"NoMovies",
     [](const fs::path& d) {
         for (const auto& e : fs::directory_iterator(d / "ANIMS")) fs::remove(e.path());
     }},
    {"CorruptSaves",
     [](const fs::path& d) {
         // Empty, cut, garbage and oversized slot files.
         WriteBytes(d / "MAROVANT.000", "");
         WriteBytes(d / "MAROVANT.001", std::string(17, '\x01'));
         WriteBytes(d / "MAROVANT.002", std::string(244, '\xFF'));
         WriteBytes(d / "MAROVANT.003", std::string(100000, '\x7F'));
     }},
};

class FaultRun : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultRun, TheGameReportsOrSkipsAndNeverCrashes) {
    char tmpl[] = "/tmp/marovant-fault-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const fs::path recording = dir / "run.rec";
    {
        std::vector<uint8_t> bytes = WriteInputScript(CampaignStart());
        std::ofstream(recording, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ASSERT_TRUE(SampleDataWrite((dir / "data").string()));
    GetParam().damage(dir / "data");
    RunResult run = PlayBack(dir, recording);
    EXPECT_EQ(run.code, 0) << run.errors;
    for (const char* report : {"Sanitizer", "runtime error", "Tracer caught"})
        EXPECT_EQ(run.errors.find(report), std::string::npos) << run.errors;
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Damaged, FaultRun, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
