#include "platform/dinput/dinput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct Found {
    std::vector<GUID> joysticks;
};

BOOL Collect(const DIDEVICEINSTANCEA* instance, void* context) {
    static_cast<Found*>(context)->joysticks.push_back(instance->guidInstance);
    return DIENUM_CONTINUE;
}

// One virtual joystick of eight axes, 32 buttons and two hats, opened as the game opens it:
// standard format, exclusive background, axes -1000..1000, sliders left at their default.
class JoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        index = DInputTestAttachJoystick(8, 32, 2);
        if (index < 0) GTEST_SKIP() << "no virtual joystick";
        ASSERT_EQ(DirectInputCreateA(nullptr, 0x700, &input, nullptr), DI_OK);
        Found found;
        ASSERT_EQ(input->EnumDevices(DIDEVTYPE_JOYSTICK, Collect, &found, DIEDFL_ATTACHEDONLY),
                  DI_OK);
        ASSERT_FALSE(found.joysticks.empty());
        ASSERT_EQ(input->CreateDevice(found.joysticks.back(), &device, nullptr), DI_OK);
        ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
        ASSERT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        for (DWORD ofs : {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ}) {
            DIPROPRANGE range = {{sizeof range, sizeof range.diph, ofs, DIPH_BYOFFSET}, -1000, 1000};
            ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        }
        ASSERT_EQ(device->Acquire(), DI_OK);
    }
    void TearDown() override {
        DInputTestSetForceFeedback(false);
        if (device) device->Release();
        if (input) input->Release();
        DInputTestDetachJoysticks();
    }
    DIJOYSTATE Read() {
        DIJOYSTATE state = {};
        EXPECT_EQ(device->Poll(), DI_OK);
        EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
        return state;
    }

    int index = -1;
    IDirectInputA* input = nullptr;
    IDirectInputDevice2A* device = nullptr;
};

TEST_F(JoystickTest, AxisEndsRotationAxesAndSlidersInTheStandardState) {
    struct Case {
        int16_t raw;
        LONG axis, slider;
    } cases[] = {{-32768, -1000, 0}, {32767, 1000, 65535}, {0, 0, 32768}};
    for (const Case& c : cases) {
        for (int axis = 0; axis < 8; ++axis)
            ASSERT_TRUE(DInputTestSetJoystick(index, axis, c.raw, 0, false));
        DIJOYSTATE s = Read();
        for (LONG v : {s.lX, s.lY, s.lZ, s.lRx, s.lRy, s.lRz})
            EXPECT_NEAR(v, c.axis, 1) << c.raw;
        EXPECT_NEAR(s.rglSlider[0], c.slider, 1) << c.raw;
        EXPECT_NEAR(s.rglSlider[1], c.slider, 1) << c.raw;
    }
    // One axis moved alone lands in its own field.
    ASSERT_TRUE(DInputTestSetJoystick(index, 4, -32768, 0, false));
    EXPECT_EQ(Read().lRy, -1000);
}

TEST_F(JoystickTest, HatDirectionsButtonsAndTheWrongStateSize) {
    struct Case {
        uint8_t hat;
        DWORD angle;
    } cases[] = {{SDL_HAT_CENTERED, ~0u},   {SDL_HAT_UP, 0},        {SDL_HAT_RIGHTUP, 4500},
                 {SDL_HAT_RIGHT, 9000},     {SDL_HAT_RIGHTDOWN, 13500}, {SDL_HAT_DOWN, 18000},
                 {SDL_HAT_LEFTDOWN, 22500}, {SDL_HAT_LEFT, 27000},  {SDL_HAT_LEFTUP, 31500}};
    for (const Case& c : cases) {
        ASSERT_TRUE(DInputTestSetJoystickHat(index, 1, c.hat));
        DIJOYSTATE s = Read();
        EXPECT_EQ(s.rgdwPOV[1], c.angle) << int(c.hat);
        EXPECT_EQ(s.rgdwPOV[2], ~0u); // no third hat
    }
    ASSERT_TRUE(DInputTestSetJoystick(index, 0, 0, 31, true));
    EXPECT_EQ(Read().rgbButtons[31], 0x80);
    DIJOYSTATE2 big = {};
    EXPECT_EQ(device->GetDeviceState(sizeof big, &big), DIERR_INVALIDPARAM);
}

TEST_F(JoystickTest, UnpluggedJoystickReportsInputLostAndCannotBeAcquired) {
    DInputTestDetachJoysticks();
    DIJOYSTATE state = {};
    EXPECT_EQ(device->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(device->Acquire(), DIERR_INPUTLOST);
    DIDEVCAPS caps = {};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(device->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwFlags & DIDC_ATTACHED, 0u);
}

TEST_F(JoystickTest, ExclusiveAcquisitionAndForceFeedbackCommands) {
    IDirectInputDevice2A* second = nullptr;
    Found found;
    input->EnumDevices(DIDEVTYPE_JOYSTICK, Collect, &found, DIEDFL_ATTACHEDONLY);
    ASSERT_EQ(input->CreateDevice(found.joysticks.back(), &second, nullptr), DI_OK);
    second->SetDataFormat(&c_dfDIJoystick);
    second->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(second->SendForceFeedbackCommand(DISFFC_RESET), DIERR_NOTEXCLUSIVEACQUIRED);
    second->Release();

    // A virtual joystick has no haptic device.
    DIDEVCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(device->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwFlags & DIDC_FORCEFEEDBACK, 0u);
    EXPECT_EQ(caps.dwButtons, 32u);
    EXPECT_EQ(device->SendForceFeedbackCommand(DISFFC_RESET), DIERR_UNSUPPORTED);

    DInputTestSetForceFeedback(true, DIERR_INPUTLOST);
    ASSERT_EQ(device->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwFlags & DIDC_FORCEFEEDBACK, DIDC_FORCEFEEDBACK);
    EXPECT_EQ(device->SendForceFeedbackCommand(DISFFC_SETACTUATORSON), DIERR_INPUTLOST);
    EXPECT_EQ(device->SendForceFeedbackCommand(0x4000), DIERR_INVALIDPARAM);
    EXPECT_EQ(DInputTestForceFeedbackCommands(), std::vector<DWORD>{DISFFC_SETACTUATORSON});
}

} // namespace
