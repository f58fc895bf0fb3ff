#include "platform/win32/inputlog.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/dinput/dinput.h"
#include "platform/winmm/winmm.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

LRESULT Keep(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

BOOL LastJoystick(const DIDEVICEINSTANCEA* instance, void* context) {
    *static_cast<GUID*>(context) = instance->guidInstance;
    return DIENUM_CONTINUE;
}

class InputLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformStopInputLog();
        PlatformResetWindows();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Keep;
        wc.lpszClassName = "LogClass";
        ASSERT_NE(RegisterClassA(&wc), 0);
        path = (std::filesystem::temp_directory_path() /
                ("inputlog_" + std::to_string(getpid()) + ".rec"))
                   .string();
        PlatformUseManualClock(true, 1000);
    }
    void TearDown() override {
        PlatformStopInputLog();
        PlatformResetWindows();
        PlatformUseManualClock(false);
        std::filesystem::remove(path);
    }
    HWND MakeWindow() {
        return CreateWindowExA(0, "LogClass", "t", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               nullptr, nullptr);
    }
    // Takes messages until the queue is empty, as the game's pump does.
    std::vector<MSG> Pump() {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            out.push_back(m);
            if (m.message == WM_QUIT) break;
        }
        return out;
    }
    std::string path;
};

TEST_F(InputLogTest, ReplayGivesTheRecordedMessagesClockAndDeviceAnswers) {
    // The test's windows never have focus; the stick must still be read.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    int stick = DInputTestAttachJoystick(8, 32, 2);
    IDirectInputA* input = nullptr;
    IDirectInputDevice2A* device = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x700, &input, nullptr), DI_OK);
    if (stick >= 0) {
        GUID guid{};
        ASSERT_EQ(input->EnumDevices(DIDEVTYPE_JOYSTICK, LastJoystick, &guid, DIEDFL_ATTACHEDONLY),
                  DI_OK);
        ASSERT_EQ(input->CreateDevice(guid, &device, nullptr), DI_OK);
        ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
        ASSERT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        DIPROPRANGE range = {{sizeof range, sizeof range.diph, DIJOFS_X, DIPH_BYOFFSET}, -1000, 1000};
        ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        ASSERT_EQ(device->Acquire(), DI_OK);
    }

    // Two frames: a key press with the stick pushed, then a key release at a later time.
    HWND hwnd = MakeWindow();
    ASSERT_TRUE(PlatformStartInputRecording(path.c_str()));
    DIJOYSTATE recorded[2] = {};
    for (int frame = 0; frame < 2; ++frame) {
        if (device) {
            ASSERT_TRUE(DInputTestSetJoystick(stick, 0, frame ? -20000 : 20000, 0, frame == 0));
            ASSERT_EQ(device->Poll(), DI_OK);
            ASSERT_EQ(device->GetDeviceState(sizeof recorded[frame], &recorded[frame]), DI_OK);
        }
        PostMessageA(hwnd, frame ? WM_KEYUP : WM_KEYDOWN, 0x41, 0x1E0001);
        ASSERT_EQ(Pump().size(), 1u);
        PlatformAdvanceClock(16);
    }
    PlatformStopInputLog();
    if (device) {
        ASSERT_NE(recorded[0].lX, recorded[1].lX);
    }

    // The replay runs in a fresh window set, with the stick left centred and live keys ignored.
    PlatformResetWindows();
    WNDCLASSA wc{};
    wc.lpfnWndProc = Keep;
    wc.lpszClassName = "LogClass";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND again = MakeWindow();
    if (device) DInputTestSetJoystick(stick, 0, 0, 0, false);
    PlatformUseManualClock(true, 5);
    ASSERT_TRUE(PlatformStartInputReplay(path.c_str()));
    EXPECT_EQ(timeGetTime(), 1000u);
    for (int frame = 0; frame < 2; ++frame) {
        if (device) {
            DIJOYSTATE state = {};
            ASSERT_EQ(device->Poll(), DI_OK);
            ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
            EXPECT_EQ(state.lX, recorded[frame].lX);
        }
        PostMessageA(again, WM_CHAR, 'x', 0);
        std::vector<MSG> got = Pump();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].hwnd, again);
        EXPECT_EQ(got[0].message, frame ? WM_KEYUP : WM_KEYDOWN);
        EXPECT_EQ(got[0].wParam, 0x41u);
        EXPECT_EQ(got[0].lParam, 0x1E0001);
        EXPECT_EQ(timeGetTime(), 1000u + 16u * frame);
    }
    // Past the end the game is asked to quit, and the replay did not fail.
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(PlatformInputLogState(), kPlatformInputReplayEnded);
    EXPECT_FALSE(PlatformInputReplayFailed());

    if (device) device->Release();
    input->Release();
    DInputTestDetachJoysticks();
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "0");
}

// Bytes written by hand: the header, an empty queue at 1234 ms, then a key message.
std::vector<uint8_t> HandWritten() {
    return {'M', 'V', 'I', 'R', 1, 0, 1, 0, 0x10, 0, 0, 0,
            1, 0xD2, 0x04, 0, 0,
            2, 1, 0, 0, 0, 0x00, 0x01, 0, 0, 0x41, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0x1E, 0, 0, 0,
            0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0};
}

TEST_F(InputLogTest, HandWrittenRecordingAndOutOfStep) {
    HWND hwnd = MakeWindow();
    std::vector<uint8_t> bytes = HandWritten();
    ASSERT_TRUE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(timeGetTime(), 0x10u);
    EXPECT_EQ(PlatformInputReplayEventsLeft(), 2u);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(timeGetTime(), 1234u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, hwnd);
    EXPECT_EQ(m.message, WM_KEYDOWN);
    EXPECT_EQ(m.lParam, 0x1E0001);
    EXPECT_EQ(m.time, 5u);
    EXPECT_EQ(m.pt.x, 7);
    EXPECT_EQ(m.pt.y, 8);

    // A device read where the recording holds a message: out of step, quit with code 3.
    ASSERT_TRUE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size()));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(inputlog::ReplayResult(inputlog::kPoll), static_cast<HRESULT>(0x8007001E));
    EXPECT_TRUE(PlatformInputReplayFailed());
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    // GetMessage never returns empty: an empty-queue event there is out of step too.
    ASSERT_TRUE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size()));
    EXPECT_FALSE(PlatformInputReplayFailed());
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_TRUE(PlatformInputReplayFailed());
}

TEST_F(InputLogTest, MalformedRecordingsAreRefused) {
    struct Case {
        const char* what;
        size_t at;      // byte to change, or cut length when value < 0
        int value;
    };
    const Case cases[] = {
        {"bad magic", 0, 'X'},       {"other version", 4, 2},    {"unknown kind", 12, 9},
        {"cut in an event", 20, -1}, {"cut in the header", 8, -1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = HandWritten();
        if (c.value < 0)
            bytes.resize(c.at);
        else
            bytes[c.at] = static_cast<uint8_t>(c.value);
        EXPECT_FALSE(PlatformStartInputReplayFromMemory(bytes.data(), bytes.size())) << c.what;
        EXPECT_EQ(PlatformInputLogState(), kPlatformInputLive) << c.what;
    }
    // A device state larger than any device's.
    std::vector<uint8_t> big = {'M', 'V', 'I', 'R', 1, 0, 0, 0, 0, 0, 0, 0,
                                3, 0, 0, 0, 0, 0x88, 0x13, 0, 0};
    big.resize(big.size() + 5000);
    EXPECT_FALSE(PlatformStartInputReplayFromMemory(big.data(), big.size()));
    EXPECT_FALSE(PlatformStartInputReplay("/nonexistent/input.rec"));
}

TEST_F(InputLogTest, RecordingOnTheRealClockMovesTimeOnlyAtAnEmptyQueue) {
    PlatformUseManualClock(false);
    MakeWindow();
    ASSERT_TRUE(PlatformStartInputRecording(path.c_str()));
    uint32_t start = timeGetTime();
    usleep(20000);
    EXPECT_EQ(timeGetTime(), start);
    Pump();
    EXPECT_GE(timeGetTime() - start, 20u);
    PlatformStopInputLog();
    EXPECT_FALSE(PlatformManualClockOn());
    EXPECT_FALSE(PlatformStartInputRecording("/nonexistent/dir/input.rec"));
}

} // namespace
