// Sound-control tests: a started framework whose operating-system object has its main window,
// with sound devices rendering through the loopback device, and tone samples made through a
// sound control's formats.
#pragma once

#include "framework/core/winos.h"
#include "framework/sound/dxsound.h"
#include "tests/framework/framework_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/sound_writer.h"

#include <cstring>
#include <string>
#include <unistd.h>

class DxSoundTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        app = Create<IVkWinOSApp>(CLSID_VkWinOS, IID_IVkWinOSApp);
        ASSERT_NE(app, nullptr);
        className = "Vesk5 Sound Test " + std::to_string(getpid());
        app->SetClassName(className.c_str());
        ASSERT_EQ(app->CreateMainWindow(GetModuleHandleA(nullptr)), VK_OK);
    }
    void TearDown() override {
        if (control) {
            EXPECT_EQ(control->Release(), 0u);
        }
        EXPECT_EQ(app->Release(), 0u);
        PlatformResetWindows();
        FrameworkTest::TearDown();
    }

    void MakeControl() {
        control = Create<IVkSoundControl>(CLSID_VkDxSoundControl, IID_IVkSoundControl);
        ASSERT_NE(control, nullptr);
    }

    struct Props {
        uint32_t bits = 16, channels = 1, frames = 22050;
        float hz = 1000.0f, amplitude = 0.5f;
        uint32_t is3d = 0, soft3d = 0;
    };

    // A sample of the control holding a tone.
    IVkSoundBuffer* ToneSample(const Props& p) {
        IVkSoundFormat* f = nullptr;
        EXPECT_EQ(control->CreateFormat(&f), VK_OK);
        f->SetInt(VK_SOUND_FORMAT, p.bits == 8 ? VK_SOUND_U8 : VK_SOUND_S16);
        f->SetInt(VK_SOUND_CHANNELS, p.channels);
        f->SetInt(VK_SOUND_LENGTH, p.frames);
        f->SetInt(VK_SOUND_FREQUENCY, 22050);
        f->SetInt(VK_SOUND_3D, p.is3d);
        if (p.soft3d) f->SetInt(VK_SOUND_SOFT_3D, 1);
        IVkSoundBuffer* b = nullptr;
        EXPECT_EQ(f->CreateBuffer(&b), VK_OK);
        f->Release();
        if (!b) return nullptr;
        WavTone tone;
        tone.bits = p.bits;
        tone.channels = p.channels;
        tone.frames = p.frames;
        tone.frequency = p.hz;
        tone.amplitude = p.amplitude;
        std::vector<uint8_t> bytes = WavToneSamples(tone);
        void* data = nullptr;
        EXPECT_EQ(b->Lock(VK_LOCK_WRITE, &data), VK_OK);
        std::memcpy(data, bytes.data(), bytes.size());
        b->Unlock();
        return b;
    }
    static uint32_t Int(IVkSoundVoice* v, uint32_t id) {
        uint32_t value = 0xDEAD;
        v->GetInt(id, &value);
        return value;
    }

    LoopbackScope loopback;
    IVkWinOSApp* app = nullptr;
    IVkSoundControl* control = nullptr;
    std::string className;
};
