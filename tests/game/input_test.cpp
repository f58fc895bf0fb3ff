#include "shell/input.h"

#include "platform/dinput/dinput.h"
#include "shell/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::pair<uint32_t, int32_t>> g_events;

int32_t Record(uint32_t event, intptr_t, intptr_t, int32_t c) {
    g_events.push_back({event, c});
    return 1;
}

class InputDevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        MV2SetEventCallback(Record);
    }
    void TearDown() override {
        MV2CloseInputDevices();
        DInputTestSetForceFeedback(false);
        DInputSetCreateFailure(false);
        DInputTestDetachJoysticks();
        MV2SetEventCallback(nullptr);
    }
    int Attach(int n) {
        int index = -1;
        for (int i = 0; i < n; ++i)
            index = DInputTestAttachJoystick(8, 32, 1);
        return index;
    }
};

TEST_F(InputDevicesTest, TenSlotsKeyboardFirstAndTheEleventhDeviceIsNotKept) {
    if (Attach(10) < 0) GTEST_SKIP() << "no virtual joystick";
    testing::internal::CaptureStderr();
    EXPECT_EQ(MV2OpenInputDevices(nullptr), 9);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(gMV2Input.count, 10);
    for (IDirectInputDevice2A* device : gMV2Input.devices)
        EXPECT_NE(device, nullptr);
    MV2CloseInputDevices();
    EXPECT_EQ(gMV2Input.count, 0);
    EXPECT_EQ(gMV2Input.devices[3], nullptr);
}

TEST_F(InputDevicesTest, ScaledAxesTwentyButtonsAndInputLostOnUnplug) {
    int index = Attach(1);
    if (index < 0) GTEST_SKIP() << "no virtual joystick";
    ASSERT_EQ(MV2OpenInputDevices(nullptr), 1);
    ASSERT_TRUE(DInputTestSetJoystick(index, 0, -32768, 19, true));
    ASSERT_TRUE(DInputTestSetJoystick(index, 3, 32767, 20, true));
    ASSERT_TRUE(DInputTestSetJoystick(index, 6, 32767, 31, true));
    MV2JoystickState s = {};
    ASSERT_EQ(MV2ReadJoystick(1, &s), 1);
    EXPECT_FLOAT_EQ(s.x, -1.0f);
    EXPECT_FLOAT_EQ(s.rx, 1.0f);
    EXPECT_FLOAT_EQ(s.sliders[0], 65535.0f / 65536.0f);
    EXPECT_EQ(s.buttons, 1u << 19); // buttons 20-31 are never reported
    EXPECT_EQ(MV2ReadJoystick(1, nullptr), 0);
    EXPECT_EQ(MV2ReadJoystick(5, &s), 0);

    DInputTestDetachJoysticks();
    testing::internal::CaptureStderr();
    EXPECT_EQ(MV2ReadJoystick(1, &s), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Acquire -> DIERR_INPUTLOST\n");
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].first, MV2_EVENT_INPUT_LOST);
    EXPECT_EQ(g_events[0].second, 1);
}

TEST_F(InputDevicesTest, ForceFeedbackAtOpenAndItsFailureLines) {
    if (Attach(1) < 0) GTEST_SKIP() << "no virtual joystick";
    DInputTestSetForceFeedback(true, DI_OK);
    ASSERT_EQ(MV2OpenInputDevices(nullptr), 1);
    EXPECT_EQ(DInputTestForceFeedbackCommands(),
              (std::vector<DWORD>{DISFFC_RESET, DISFFC_SETACTUATORSON}));
    gMV2Input.effectCounts[1] = 3;
    EXPECT_EQ(MV2SendJoystickForceFeedback(1, DISFFC_SETACTUATORSOFF), 1);
    EXPECT_EQ(gMV2Input.effectCounts[1], 0);
    struct Case {
        HRESULT result;
        const char* line;
    } cases[] = {
        {DIERR_INPUTLOST, "ERROR:SendForceFeedbackCommand -> DIERR_INPUTLOST\n"},
        {DIERR_NOTEXCLUSIVEACQUIRED,
         "ERROR:SendForceFeedbackCommand -> DIERR_NOTEXCLUSIVEACQUIRED\n"},
        {DIERR_UNSUPPORTED, "ERROR:SendForceFeedbackCommand -> DIERR_UNSUPPORTED\n"},
        {DIERR_GENERIC,
         "ERROR:SendForceFeedbackCommand -> Unknown:-2147467259 (Joystick malfunctioning?)"},
    };
    for (const Case& c : cases) {
        DInputTestSetForceFeedback(true, c.result);
        testing::internal::CaptureStderr();
        EXPECT_EQ(MV2SendJoystickForceFeedback(1, DISFFC_RESET), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    }
    EXPECT_EQ(MV2SendJoystickForceFeedback(4, DISFFC_RESET), 0); // empty slot
}

TEST_F(InputDevicesTest, WithoutDirectInputOnlyTheKeyboardSlotIsCounted) {
    DInputSetCreateFailure(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MV2OpenInputDevices(nullptr), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("DirectInputCreate 3.0 FAILED\n"), std::string::npos);
    EXPECT_NE(err.find("DirectInputCreate 5.0 FAILED - no joystick support\n"),
              std::string::npos);
    EXPECT_NE(err.find("Acquire -> DIERR_INVALIDPARAM\n"), std::string::npos);
    EXPECT_EQ(gMV2Input.count, 1);
}

} // namespace
