// A two-player match over loopback: the program runs twice side by side, as the host and as the
// joiner, each driven through the menus by a key script while its session answers are recorded.
// Each recording then replays alone, without a network, and must end as the match ended, the
// same in two runs.
//
// Disabled while unfinished: the match runs (the host hosts, the joiner finds and joins it, both
// send their state, and each craft starts on a spawn point in the world with its brain running),
// but the joiner's shots do not sink the host (it ends with "frags 0", holding two objects to the
// host's three), and the host's recording does not replay to its live state, nor to the same
// state twice. The stored hash beside it comes once that is mended.
#include <gtest/gtest.h>

#include "platform/dplay/dplay.h"
#include "tests/game/program_runner.h"
#include "tests/support/input_script.h"
#include "tools/sampledata/sampledata.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {
namespace fs = std::filesystem;
using namespace program_runner;

constexpr uint8_t kReturn = 0x1C, kDown = 0x50, kW = 0x11, kSpace = 0x39;
constexpr uint32_t kVkReturn = 0x0D, kVkDown = 0x28, kVkSpace = 0x20;

struct Machine {
    const char* name;
    fs::path dir;
    pid_t pid = -1;
};

// The game's settings file with the player's name and a frag limit of one.
void WriteSettings(const fs::path& config, const std::string& name) {
    fs::create_directories(config / "marovant");
    std::string hex;
    for (unsigned char c : name + '\0') {
        char b[3];
        std::snprintf(b, sizeof b, "%02X", c);
        hex += b;
    }
    std::ofstream(config / "marovant" / "settings.reg")
        << "[HKCU\\Software\\Halvern Studios\\Marovant]\n"
        << "FragLimit=4:01000000\n"
        << "NetworkName=1:" << hex << "\n";
}

void WriteScript(const fs::path& file, const InputScript& script) {
    std::vector<uint8_t> bytes = WriteInputScript(script);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Starts the program on a fresh sample folder in `dir`: replaying `input`, and when `record` is
// given, live on the session port with everything it got recorded there.
pid_t Launch(const fs::path& dir, const std::string& name, const fs::path& input,
             const fs::path& record, uint16_t port, const char* run) {
    fs::remove_all(dir / "data");
    fs::remove_all(dir / "config");
    if (!SampleDataWrite((dir / "data").string())) return -1;
    WriteSettings(dir / "config", name);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("MAROVANT_REPLAY_INPUT", input.c_str(), 1);
    if (!record.empty()) setenv("MAROVANT_RECORD_INPUT", record.c_str(), 1);
    if (port) setenv("MAROVANT_SESSION_PORT", std::to_string(port).c_str(), 1);
    setenv("MAROVANT_STATE_HASH", (dir / (std::string(run) + ".state")).c_str(), 1);
    pid_t pid = Start((dir / (std::string(run) + ".err")).string(), (dir / "data").string());
    for (const char* v : {"MAROVANT_REPLAY_INPUT", "MAROVANT_RECORD_INPUT", "MAROVANT_SESSION_PORT",
                          "MAROVANT_STATE_HASH"})
        unsetenv(v);
    return pid;
}

// True while a socket holds the UDP port on the loopback address (the host's session is up).
bool PortHeld(uint16_t port) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(0x7F000001);
    bool held = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0;
    close(s);
    return held;
}

struct State {
    std::string hash, summary;
};

State ReadState(const fs::path& file) {
    State s;
    std::ifstream in(file);
    std::getline(in, s.hash);
    std::getline(in, s.summary);
    return s;
}

// From the title to the multiplayer menu's Host or Join, over TCP/IP (the address left empty:
// this machine). The host starts the sample level with its settings' name and frag limit; the
// joiner joins the first session it finds.
InputScript MatchScript(bool host) {
    InputScript s;
    s.Press(200, kReturn, kVkReturn);       // the title gives the main menu
    s.Press(230, kDown, kVkDown, 3, true);  // Load game
    s.Press(245, kDown, kVkDown, 3, true);  // Multiplayer
    s.Press(270, kReturn, kVkReturn);
    if (!host) s.Press(285, kDown, kVkDown, 3, true); // Join
    s.Press(300, kReturn, kVkReturn);
    s.Press(330, kReturn, kVkReturn);       // TCP/IP
    if (host) {
        // Name, frag limit, session, level, game type: to Start.
        for (int i = 0; i < 5; ++i) s.Press(360 + 15 * uint32_t(i), kDown, kVkDown, 3, true);
        s.Press(450, kReturn, kVkReturn);
        s.frames = 9000; // waits in play until the test ends it
        return s;
    }
    // Name, the session list, game type: to Join once the look for sessions has answered.
    for (int i = 0; i < 3; ++i) s.Press(380 + 15 * uint32_t(i), kDown, kVkDown, 3, true);
    s.Press(440, kReturn, kVkReturn);
    // In play, facing the host across the floor: closer, then fire until it sinks.
    const uint32_t play = 620;
    s.Press(play, kW, 'W', 60);
    for (uint32_t f = play + 70; f < play + 470; f += 8) s.Press(f, kSpace, kVkSpace, 4);
    s.frames = play + 700;
    return s;
}

TEST(NetReplay, DISABLED_TwoPlayersToTheFragLimitReplayAlone) {
    char tmpl[] = "/tmp/marovant-match-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    WriteScript(dir / "host.script", MatchScript(true));
    WriteScript(dir / "joiner.script", MatchScript(false));
    const uint16_t port = PlatformDplayFreePort();
    ASSERT_NE(port, 0);
    fs::create_directories(dir / "host");
    fs::create_directories(dir / "joiner");
    pid_t host = Launch(dir / "host", "HOST", dir / "host.script", dir / "host.rec", port, "live");
    ASSERT_GT(host, 0);
    auto t0 = std::chrono::steady_clock::now();
    auto secs = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); };
    while (!PortHeld(port) && waitpid(host, nullptr, WNOHANG) == 0 && secs() < 120)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(PortHeld(port)) << "the host did not open its session";
    pid_t joiner = Launch(dir / "joiner", "JOINER", dir / "joiner.script", dir / "joiner.rec", port, "live");
    EXPECT_EQ(WaitFor(joiner, 240), 0);
    // The host plays on until the joiner has gone; a signal ends its script there.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(host, SIGTERM);
    EXPECT_EQ(WaitFor(host, 60), 0);
    for (const char* m : {"host", "joiner"})
        EXPECT_NE(ReadState(dir / m / "live.state").summary.find("frags"), std::string::npos) << m;
    EXPECT_NE(ReadState(dir / "joiner" / "live.state").summary.find("frags 1"), std::string::npos)
        << ReadState(dir / "joiner" / "live.state").summary << "\n"
        << ReadState(dir / "host" / "live.state").summary;
    // Each recording replays alone, with no network, to the state its live run ended in, twice.
    for (const char* m : {"host", "joiner"}) {
        const State live = ReadState(dir / m / "live.state");
        ASSERT_EQ(live.hash.size(), 16u) << m;
        for (const char* run : {"replay1", "replay2"}) {
            const char* name = std::string(m) == "host" ? "HOST" : "JOINER";
            pid_t pid = Launch(dir / m, name, dir / (std::string(m) + ".rec"), fs::path(), 0, run);
            ASSERT_GT(pid, 0);
            EXPECT_EQ(WaitFor(pid, 240), 0);
            const std::string errors = ReadFile((dir / m / (std::string(run) + ".err")).string());
            EXPECT_EQ(errors.find("out of step"), std::string::npos) << errors;
            const State replay = ReadState(dir / m / (std::string(run) + ".state"));
            EXPECT_EQ(replay.hash, live.hash) << m << "\n" << replay.summary << "\n" << live.summary;
        }
    }
    fs::remove_all(dir);
}

} // namespace
