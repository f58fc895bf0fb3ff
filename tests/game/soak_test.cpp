// The soak run (scripts/soak; skipped unless MAROVANT_SOAK is set): half an hour of game time
// in the first level on the replay's driven clock, the craft steered by a seeded random key
// script, under the sanitizers. It must end cleanly, with no error box and no sanitizer report,
// and with the live heap of the engine and the framework at the end within 5% of what it was a
// minute into play.
#include <gtest/gtest.h>

#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tools/sampledata/sampledata.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;

struct HeapLine {
    bool found = false;
    double engine = 0, framework = 0;
};

HeapLine FindHeapLine(const std::string& log, const std::string& when) {
    std::istringstream in(log);
    std::string line;
    HeapLine h;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string w, e, f;
        double engine = 0, framework = 0;
        if (words >> w >> e >> engine >> f >> framework && w == when) h = {true, engine, framework};
    }
    return h;
}

TEST(Soak, HalfAnHourOfTheFirstLevelUnderRandomKeys) {
    const char* soak = getenv("MAROVANT_SOAK");
    if (!soak) GTEST_SKIP() << "run by scripts/soak";
    const uint32_t seed = uint32_t(std::strtoul(soak, nullptr, 10));
    char tmpl[] = "/tmp/marovant-soak-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    ASSERT_TRUE(SampleDataWrite((dir / "data").string()));

    // The menus as far as the campaign start, then random play keys until 30 minutes of clock.
    InputScript script;
    AddCampaignStartKeys(script);
    const uint32_t start = 420, frames = 30 * 60 * 1000 / script.frameMs;
    script.frames = start + frames;
    // Thrust, fire, turning and climbing: scan code, virtual key, extended.
    const struct {
        uint8_t scan;
        uint32_t vk;
        bool extended;
    } keys[] = {{0x11, 'W', false}, {0x39, 0x20, false}, {0x4B, 0x25, true},
                {0x4D, 0x27, true}, {0x48, 0x26, true},  {0x50, 0x28, true}};
    std::mt19937 random(seed);
    for (uint32_t frame = start; frame + 40 < script.frames;) {
        const auto& k = keys[random() % std::size(keys)];
        const uint32_t held = 1 + random() % 30;
        script.Press(frame, k.scan, k.vk, held, k.extended);
        frame += held + 1 + random() % 10;
    }
    const std::vector<uint8_t> bytes = WriteInputScript(script);
    std::ofstream(dir / "soak.rec", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("MAROVANT_REPLAY_INPUT", (dir / "soak.rec").c_str(), 1);
    setenv("MAROVANT_HEAP_LOG", (dir / "heap.log").c_str(), 1);
    setenv("MAROVANT_STATE_HASH", (dir / "state.txt").c_str(), 1);
    const std::string err = (dir / "run.err").string();
    const pid_t pid = Start(err, (dir / "data").string());
    for (const char* name : {"MAROVANT_REPLAY_INPUT", "MAROVANT_HEAP_LOG", "MAROVANT_STATE_HASH"})
        unsetenv(name);
    ASSERT_GT(pid, 0);
    const int code = WaitFor(pid, 4 * 3600);
    const std::string errors = ReadFile(err);
    EXPECT_EQ(code, 0) << errors;
    EXPECT_EQ(errors.find("Marovant Error"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("out of step"), std::string::npos) << errors;
    const std::string log = ReadFile((dir / "heap.log").string());
    const HeapLine minute = FindHeapLine(log, "minute"), end = FindHeapLine(log, "end");
    ASSERT_TRUE(minute.found && end.found) << log;
    const double first = minute.engine + minute.framework, last = end.engine + end.framework;
    EXPECT_LE(last, first * 1.05) << log;
    EXPECT_GE(last, first * 0.95) << log;
    std::printf("soak seed %u: %s%s", seed, log.c_str(), ReadFile((dir / "state.txt").string()).c_str());
    fs::remove_all(dir);
}

} // namespace
