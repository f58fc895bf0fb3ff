#include "platform/dplay/dplay_log.h"

#include <gtest/gtest.h>

#include "platform/win32/inputlog.h"
#include "platform/winmm/winmm.h"
#include "tests/support/input_script.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

IDirectPlay* NewSession() {
    void* out = nullptr;
    if (DirectPlayCoCreateInstance(CLSID_DirectPlay, nullptr, 1, IID_IDirectPlay4A, &out) != DP_OK)
        return nullptr;
    return static_cast<IDirectPlay*>(out);
}

// The TCP/IP connection, as the transports build it.
std::vector<uint8_t> TcpConnection() {
    void* out = nullptr;
    EXPECT_EQ(DirectPlayCoCreateInstance(CLSID_DirectPlayLobby, nullptr, 1, IID_IDirectPlayLobby3A,
                                         &out),
              DP_OK);
    auto* lobby = static_cast<IDirectPlayLobby*>(out);
    DPCOMPOUNDADDRESSELEMENT e[2] = {{DPAID_ServiceProvider, sizeof(GUID), &DPSPGUID_TCPIP},
                                     {DPAID_INet, 10, "127.0.0.1"}};
    uint32_t size = 0;
    lobby->CreateCompoundAddress(e, 2, nullptr, &size);
    std::vector<uint8_t> address(size);
    EXPECT_EQ(lobby->CreateCompoundAddress(e, 2, address.data(), &size), DP_OK);
    lobby->Release();
    return address;
}

// What a game's session saw: every answer and output in order.
struct Seen {
    std::vector<int64_t> values;
    std::string received;
    std::vector<std::string> sessions;
};

int CollectSession(const DPSESSIONDESC2* desc, uint32_t*, uint32_t flags, void* context) {
    auto* seen = static_cast<Seen*>(context);
    seen->sessions.push_back(desc ? std::string(desc->lpszSessionNameA) : "timed out " +
                                                                              std::to_string(flags));
    return 1;
}

int KeepInstance(const DPSESSIONDESC2* desc, uint32_t*, uint32_t, void* context) {
    if (desc) *static_cast<GUID*>(context) = desc->guidInstance;
    return 1;
}

// A second machine (not recorded) joins, makes a player and sends "hello" to `to`.
void JoinAndGreet(IDirectPlay* joiner, DPID to) {
    std::vector<uint8_t> connection = TcpConnection();
    ASSERT_EQ(joiner->InitializeConnection(connection.data(), 0), DP_OK);
    DPSESSIONDESC2 desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(joiner->EnumSessions(&desc, 0, KeepInstance, &desc.guidInstance, 0), DP_OK);
    ASSERT_EQ(joiner->Open(&desc, DPOPEN_JOIN), DP_OK);
    DPID id = 0;
    ASSERT_EQ(joiner->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0), DP_OK);
    ASSERT_EQ(joiner->Send(id, to, DPSEND_GUARANTEED, "hello", 5), DP_OK);
}

// A host session on the loopback address: open, a player, a joiner's greeting when there is a
// joiner, a broadcast, a look for sessions, and reads of what arrives for a while.
Seen HostSession(IDirectPlay* joiner) {
    Seen seen;
    IDirectPlay* dp = NewSession();
    if (!dp) return seen;
    std::vector<uint8_t> connection = TcpConnection();
    seen.values.push_back(dp->InitializeConnection(connection.data(), 0));
    DPSESSIONDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwMaxPlayers = 8;
    desc.lpszSessionNameA = "replayed";
    seen.values.push_back(dp->Open(&desc, DPOPEN_CREATE));
    DPID id = 0;
    seen.values.push_back(dp->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0));
    seen.values.push_back(id);
    if (joiner) JoinAndGreet(joiner, id);
    seen.values.push_back(dp->Send(id, DPID_ALLPLAYERS, DPSEND_GUARANTEED, "hi all", 6));
    seen.values.push_back(dp->EnumSessions(&desc, 0, CollectSession, &seen, 0));
    for (int i = 0; i < 20; ++i) {
        DPID from = 0, to = 0;
        uint8_t buffer[256];
        uint32_t size = sizeof buffer;
        HRESULT hr = dp->Receive(&from, &to, DPRECEIVE_ALL, buffer, &size);
        seen.values.push_back(hr);
        if (hr == DP_OK) {
            seen.values.push_back(from);
            seen.values.push_back(to);
            seen.received.append(reinterpret_cast<const char*>(buffer), size);
        }
        uint32_t count = 99;
        seen.values.push_back(dp->GetMessageCount(id, &count));
        seen.values.push_back(count);
        usleep(2000);
    }
    seen.values.push_back(dp->DestroyPlayer(id));
    seen.values.push_back(dp->Close());
    dp->Release();
    return seen;
}

TEST(DplayLog, AReplayedSessionGivesTheRecordedAnswersWithoutTheNetwork) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("dplaylog_" + std::to_string(getpid()) + ".rec"))
                                 .string();
    PlatformDplaySetPort(PlatformDplayFreePort());
    PlatformUseManualClock(true, 50);
    IDirectPlay* joiner = NewSession(); // made before the recording: not recorded
    ASSERT_NE(joiner, nullptr);
    ASSERT_TRUE(PlatformStartInputRecording(path.c_str()));
    Seen live = HostSession(joiner);
    PlatformStopInputLog();
    joiner->Release();
    ASSERT_EQ(live.values.size() > 4 ? live.values[1] : -1, DP_OK) << "the host opened";
    ASSERT_FALSE(live.sessions.empty());
    ASSERT_NE(live.received.find("hello"), std::string::npos) << live.received;

    // The replay answers the same, with no session service on the port.
    PlatformDplaySetPort(PlatformDplayFreePort());
    const uint32_t waits = PlatformDplayWaitCount();
    ASSERT_TRUE(PlatformStartInputReplay(path.c_str()));
    Seen replayed = HostSession(nullptr);
    EXPECT_EQ(replayed.values, live.values);
    EXPECT_EQ(replayed.received, live.received);
    EXPECT_EQ(replayed.sessions, live.sessions);
    EXPECT_EQ(PlatformDplayWaitCount(), waits);
    EXPECT_EQ(PlatformInputReplayEventsLeft(), 0u);
    EXPECT_FALSE(PlatformInputReplayFailed());
    PlatformStopInputLog();
    PlatformUseManualClock(false);
    PlatformDplaySetPort(0);
    std::filesystem::remove(path);
}

TEST(DplayLog, HandWrittenSessionCallsAndAWrongCall) {
    // Open answers 0, then a receive of "hi" from 7 to 9.
    const std::vector<uint8_t> bytes = {
        'M', 'V', 'I', 'R', 1, 0, 1, 0, 0, 0, 0, 0,
        7, 5, 0, 0, 0, 6, 0, 0, 0, 0,
        7, 19, 0, 0, 0, 7, 0, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
    ASSERT_TRUE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size()));
    IDirectPlay* dp = NewSession();
    ASSERT_NE(dp, nullptr);
    DPSESSIONDESC2 desc = {};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(dp->Open(&desc, DPOPEN_JOIN), DP_OK);
    DPID from = 0, to = 0;
    char buffer[8] = {};
    uint32_t size = sizeof buffer;
    EXPECT_EQ(dp->Receive(&from, &to, DPRECEIVE_ALL, buffer, &size), DP_OK);
    EXPECT_EQ(from, 7u);
    EXPECT_EQ(to, 9u);
    EXPECT_EQ(std::string(buffer, size), "hi");
    EXPECT_EQ(PlatformInputReplayEventsLeft(), 0u);

    // A send where the recording holds the open: out of step.
    ASSERT_TRUE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size()));
    EXPECT_NE(dp->Send(1, 0, 0, "x", 1), DP_OK);
    EXPECT_TRUE(PlatformInputReplayFailed());
    dp->Release();
    PlatformStopInputLog();
}

// Writes the recording of `script` to `path`.
bool WriteScriptFile(const std::string& path, const InputScript& script) {
    const std::vector<uint8_t> bytes = WriteInputScript(script);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

} // namespace

// A key script replayed while the session runs live: the recording holds the script's events
// and the session's answers, and plays again alone, the script's clock no faster than real time.
TEST(DplayLog, AScriptedRecordingReplaysAlone) {
    const std::string dir = std::filesystem::temp_directory_path().string() + "/dplaylog_" +
                            std::to_string(getpid());
    InputScript script;
    script.keyboardAcquire = false;
    script.window = 0;
    script.frames = 6;
    script.Press(1, 0x1C, 0x0D, 2);
    ASSERT_TRUE(WriteScriptFile(dir + ".script", script));
    // The messages and the clock at each empty queue, with the session's answers after the
    // second frame, until the replay's quit.
    auto play = [](IDirectPlay* joiner, Seen* session) {
        std::vector<int64_t> seen;
        for (int pumps = 0; pumps < 100; ++pumps) {
            MSG msg{};
            if (inputlog::ReplayMessage(&msg, true)) {
                seen.push_back(msg.message);
                if (msg.message == WM_QUIT) break;
                continue;
            }
            seen.push_back(timeGetTime());
            if (seen.size() == 4) *session = HostSession(joiner);
        }
        return seen;
    };
    PlatformDplaySetPort(PlatformDplayFreePort());
    IDirectPlay* joiner = NewSession();
    ASSERT_NE(joiner, nullptr);
    const uint32_t realStart = PlatformRealTime();
    ASSERT_TRUE(PlatformStartScriptedRecording((dir + ".script").c_str(), (dir + ".rec").c_str()));
    Seen live;
    const std::vector<int64_t> liveInput = play(joiner, &live);
    EXPECT_GE(PlatformRealTime() - realStart, (script.frames - 1) * script.frameMs);
    PlatformStopInputLog();
    joiner->Release();
    ASSERT_EQ(live.values.size() > 4 ? live.values[1] : -1, DP_OK) << "the host opened";
    ASSERT_NE(live.received.find("hello"), std::string::npos) << live.received;

    PlatformDplaySetPort(PlatformDplayFreePort());
    ASSERT_TRUE(PlatformStartInputReplay((dir + ".rec").c_str()));
    Seen replayed;
    EXPECT_EQ(play(nullptr, &replayed), liveInput);
    EXPECT_EQ(replayed.values, live.values);
    EXPECT_EQ(replayed.received, live.received);
    EXPECT_FALSE(PlatformInputReplayFailed());
    PlatformStopInputLog();
    PlatformUseManualClock(false);
    PlatformDplaySetPort(0);
    std::filesystem::remove(dir + ".script");
    std::filesystem::remove(dir + ".rec");
}

// A script ended before its events run out (as a signal ends it): the quit and the devices'
// answers that the game gets from then on are recorded among its session calls, so that the
// replay gives them in the same order instead of going out of step at the first of them.
TEST(DplayLog, AScriptEndedEarlyRecordsWhatTheGameGotAfterIt) {
    const std::string dir = std::filesystem::temp_directory_path().string() + "/dplaylog_end_" +
                            std::to_string(getpid());
    InputScript script;
    script.keyboardAcquire = false;
    script.window = 0;
    script.frames = 40;
    script.Press(1, 0x1C, 0x0D, 2);
    ASSERT_TRUE(WriteScriptFile(dir + ".script", script));
    auto play = [](bool live) {
        std::vector<int64_t> seen;
        IDirectPlay* dp = NewSession();
        if (!dp) return seen;
        MSG msg{};
        for (int i = 0; i < 4; ++i)
            seen.push_back(inputlog::ReplayMessage(&msg, true) ? int64_t(msg.message) : -1);
        if (live) PlatformEndInputReplay();
        for (int i = 0; i < 2; ++i) {
            msg = MSG{};
            seen.push_back(inputlog::ReplayMessage(&msg, true) ? int64_t(msg.message) : -1);
            seen.push_back(int64_t(msg.wParam));
            seen.push_back(dp->Close());
            uint8_t state[8] = {7, 7, 7, 7, 7, 7, 7, 7};
            seen.push_back(inputlog::ReplayState(sizeof state, state));
            seen.push_back(state[0]);
            inputlog::Datum data[2];
            DWORD count = 5;
            seen.push_back(inputlog::ReplayData(data, 2, &count));
            seen.push_back(count);
            seen.push_back(inputlog::ReplayResult(inputlog::kPoll));
        }
        dp->Release();
        return seen;
    };
    ASSERT_TRUE(PlatformStartScriptedRecording((dir + ".script").c_str(), (dir + ".rec").c_str()));
    const std::vector<int64_t> live = play(true);
    PlatformStopInputLog();
    ASSERT_EQ(live.size(), 4u + 2u * 8u);
    EXPECT_EQ(live[4], WM_QUIT);

    ASSERT_TRUE(PlatformStartInputReplay((dir + ".rec").c_str()));
    EXPECT_EQ(play(false), live);
    EXPECT_FALSE(PlatformInputReplayFailed());
    PlatformStopInputLog();
    PlatformUseManualClock(false);
    std::filesystem::remove(dir + ".script");
    std::filesystem::remove(dir + ".rec");
}
