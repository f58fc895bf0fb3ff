#include "framework/input/input.h"
#include "platform/dinput/dinput.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <string>

namespace {

TEST(InputKeys, ScanCodesAndKeyCodesTranslateBothWays) {
    struct Case {
        uint32_t scan, key;
    } forward[] = {{0x00, 0xFF}, {0x01, 0x80}, {0x1E, 0x61}, {0x1C, 0xAB}, {0x3B, 0x81},
                   {0x58, 0x8C}, {0xCF, 0x90}, {0xDD, 0xFF}, {222, 0xFF},  {1000, 0xFF}};
    for (const Case& c : forward)
        EXPECT_EQ(VkInputKeyFromScan(c.scan), c.key) << "scan " << c.scan;
    // A later scan code with the same key code wins; keys no scan code produces have none.
    struct Case back[] = {{0x1E, 0x61}, {0x4A, 0x2D}, {0x52, 0x9F}, {0xB5, 0x2F},
                          {0x90, 0x60}, {0, 0xFF},    {0, 0x41},    {0, 256}};
    for (const Case& c : back)
        EXPECT_EQ(VkInputScanFromKey(c.key), c.scan) << "key " << c.key;
}

class InputTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        io = Create<IVkIO>(CLSID_VkIO, IID_IVkIO);
        ASSERT_NE(io, nullptr);
    }
    void TearDown() override {
        DInputSetCreateFailure(false);
        DInputTestDetachJoysticks();
        if (io) io->Release();
        FrameworkTest::TearDown();
    }

    // The first device of a class, with the reader of that id made on it.
    template <class T> T* Reader(uint32_t cls, const VkGuid& iid) {
        for (uint32_t i = 0; i < io->GetDeviceCount(); ++i) {
            IVkInputDevice* device = io->GetDevice(i);
            if (device->GetClass() != cls) {
                device->Release();
                continue;
            }
            void* out = nullptr;
            EXPECT_EQ(device->GetInterface(iid, &out), VK_OK);
            device->Release();
            return static_cast<T*>(out);
        }
        ADD_FAILURE() << "no device of class " << cls;
        return nullptr;
    }

    IVkIO* io = nullptr;
};

TEST_F(InputTest, WithoutJoysticksListsTheKeyboardThenTheMouse) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    ASSERT_EQ(io->GetDeviceCount(), 2u);
    const uint32_t classes[] = {1, 2}, kinds[] = {0x30, 0x10};
    for (uint32_t i = 0; i < 2; ++i) {
        IVkInputDevice* device = io->GetDevice(i);
        EXPECT_EQ(device->GetClass(), classes[i]);
        EXPECT_EQ(device->GetKindFlags(), kinds[i]);
        void* out = reinterpret_cast<void*>(1);
        EXPECT_THROW(
            {
                try {
                    device->GetInterface(IID_IVkIO, &out);
                } catch (const VkInputError& e) {
                    EXPECT_STREQ(e.what(), "unknown Interface");
                    throw;
                }
            },
            VkInputError);
        EXPECT_EQ(device->Release(), 0u);
    }
    EXPECT_EQ(io->GetDevice(2), nullptr);
    EXPECT_EQ(io->UpdateAll(), VK_OK);
}

TEST_F(InputTest, InitialiseFailsWithoutDirectInput) {
    DInputSetCreateFailure(true);
    EXPECT_EQ(io->Initialise(nullptr, nullptr), VK_E_FAIL);
    EXPECT_EQ(io->GetDeviceCount(), 0u);
}

TEST_F(InputTest, KeyboardStateFollowsHeldKeysAndRecoversLostInput) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    auto* keys = Reader<IVkKeyboardState>(1, IID_IVkKeyboardState);
    ASSERT_NE(keys, nullptr);
    DInputTestHoldKey(0x1E, true);
    EXPECT_EQ(keys->IsKeyDown(0x61), 0u); // not read yet
    EXPECT_EQ(io->UpdateAll(), VK_OK);
    EXPECT_EQ(keys->IsKeyDown(0x61), 1u);
    EXPECT_EQ(keys->IsKeyDown(0x41), 0u); // no scan code gives it
    DInputTestHoldKey(0x1E, false);
    DInputLoseAllDevices();
    EXPECT_EQ(keys->Update(), VK_E_FAIL);
    EXPECT_EQ(keys->IsKeyDown(0x61), 1u); // the failed read kept the old state
    EXPECT_EQ(keys->Update(), VK_OK);
    EXPECT_EQ(keys->IsKeyDown(0x61), 0u);
    EXPECT_EQ(keys->Release(), 0u);
}

TEST_F(InputTest, KeyboardEventsReadOneRecordAtATime) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    auto* events = Reader<IVkKeyboardEvents>(1, IID_IVkKeyboardEvents);
    ASSERT_NE(events, nullptr);
    uint32_t pressed = 7, key = 7;
    EXPECT_EQ(events->ReadEvent(&pressed, &key), VK_OK);
    EXPECT_EQ(pressed, 7u);
    EXPECT_EQ(key, 7u);
    DInputTestPushRecord(DIDEVTYPE_KEYBOARD, 0x1E, 0x80);
    DInputTestPushRecord(DIDEVTYPE_KEYBOARD, 0xDE, 0x00);
    EXPECT_EQ(events->ReadEvent(&pressed, &key), VK_OK);
    EXPECT_EQ(pressed, 1u);
    EXPECT_EQ(key, 0x61u);
    EXPECT_EQ(events->ReadEvent(&pressed, &key), VK_OK);
    EXPECT_EQ(pressed, 0u);
    EXPECT_EQ(key, 0xFFu);
    EXPECT_EQ(events->Reserved(), VK_E_FAIL);
    EXPECT_EQ(events->Poll(), VK_OK);
    EXPECT_EQ(events->Release(), 0u);
}

TEST_F(InputTest, MouseEventsGiveCodesAndValues) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    auto* events = Reader<IVkMouseEvents>(2, IID_IVkMouseEvents);
    ASSERT_NE(events, nullptr);
    uint32_t code = 0;
    int32_t value = 0;
    EXPECT_EQ(events->ReadEvent(&code, &value), VK_E_FAIL);
    struct Case {
        DWORD offset, data;
        VkResult result;
        uint32_t code;
        int32_t value;
    } cases[] = {
        {DIMOFS_X, static_cast<DWORD>(-5), VK_OK, VK_MOUSE_X, -5},
        {DIMOFS_Y, 3, VK_OK, VK_MOUSE_Y, 3},
        {DIMOFS_Z, 120, VK_OK, VK_MOUSE_WHEEL, 120},
        {DIMOFS_BUTTON0 + 1, 0x80, VK_OK, VK_MOUSE_PRESSED, 2},
        {DIMOFS_BUTTON0 + 3, 0x00, VK_OK, VK_MOUSE_RELEASED, 8},
        {DIMOFS_BUTTON0 + 4, 0x80, VK_E_FAIL, 0, 0},
    };
    for (const Case& c : cases)
        DInputTestPushRecord(DIDEVTYPE_MOUSE, c.offset, c.data);
    for (const Case& c : cases) {
        code = 0;
        value = 0;
        EXPECT_EQ(events->ReadEvent(&code, &value), c.result) << c.offset;
        EXPECT_EQ(code, c.code) << c.offset;
        EXPECT_EQ(value, c.value) << c.offset;
    }
    EXPECT_EQ(events->Release(), 0u);
}

TEST_F(InputTest, MouseStateAxesAndButtons) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    auto* mouse = Reader<IVkMouseState>(2, IID_IVkMouseState);
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(mouse->Update(), VK_OK);
    int32_t value = 99;
    for (uint32_t axis = 0; axis < 3; ++axis)
        EXPECT_EQ(mouse->GetAxis(axis, &value), VK_OK);
    EXPECT_EQ(mouse->GetAxis(3, &value), VK_E_FAIL);
    EXPECT_EQ(mouse->GetButtons(), 0u);
    EXPECT_EQ(mouse->Release(), 0u);
}

TEST_F(InputTest, JoystickAxesAreScaledAndButtonsRead) {
    int index = DInputTestAttachJoystick(6, 4, 1);
    if (index < 0) GTEST_SKIP() << "no virtual joystick";
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    ASSERT_EQ(io->GetDeviceCount(), 3u);
    auto* joy = Reader<IVkJoystickState>(3, IID_IVkJoystickState);
    ASSERT_NE(joy, nullptr);
    ASSERT_TRUE(DInputTestSetJoystick(index, 0, 32767, 2, true));
    EXPECT_EQ(io->UpdateAll(), VK_OK);
    float x = 0, y = 99, pov = 0, none = 0;
    EXPECT_EQ(joy->GetAxis(VK_JOY_X, &x), VK_OK);
    EXPECT_EQ(joy->GetAxis(VK_JOY_Y, &y), VK_OK);
    EXPECT_EQ(joy->GetAxis(VK_JOY_POV0, &pov), VK_OK);
    EXPECT_EQ(joy->GetAxis(3, &none), VK_E_FAIL);
    // The device has no range of its own, so the values are the axis's, -10000 to 10000.
    EXPECT_FLOAT_EQ(x, 10000.0f);
    EXPECT_NEAR(y, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(pov, -1.0f); // centred
    EXPECT_EQ(joy->GetButtons(), 4u);
    EXPECT_EQ(joy->Release(), 0u);
}

TEST_F(InputTest, ListsNoMoreThanSixtyFourDevicesKeyboardFirst) {
    for (int i = 0; i < 63; ++i)
        if (DInputTestAttachJoystick(2, 1, 0) < 0) GTEST_SKIP() << "no virtual joystick";
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    ASSERT_EQ(io->GetDeviceCount(), 64u);
    const uint32_t expected[][2] = {{0, 1}, {1, 2}, {2, 3}, {63, 3}};
    for (const auto& e : expected) {
        IVkInputDevice* device = io->GetDevice(e[0]);
        EXPECT_EQ(device->GetClass(), e[1]) << e[0];
        device->Release();
    }
    EXPECT_EQ(io->GetDevice(64), nullptr);
}

TEST_F(InputTest, AnotherReaderNeedsTheDeviceUnacquiredFirst) {
    ASSERT_EQ(io->Initialise(nullptr, nullptr), VK_OK);
    IVkInputDevice* device = io->GetDevice(0);
    void* out = nullptr;
    ASSERT_EQ(device->GetInterface(IID_IVkKeyboardState, &out), VK_OK);
    static_cast<IVkKeyboardState*>(out)->Release();
    out = nullptr;
    EXPECT_EQ(device->GetInterface(IID_IVkKeyboardEvents, &out), VK_E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(device->Unacquire(), VK_OK);
    ASSERT_EQ(device->GetInterface(IID_IVkKeyboardEvents, &out), VK_OK);
    EXPECT_EQ(io->UpdateAll(), VK_OK);
    static_cast<IVkKeyboardEvents*>(out)->Release();
    EXPECT_EQ(device->Release(), 0u);
}

} // namespace
