#include "framework/sound/nullsound.h"
#include "tests/framework/framework_fixture.h"

namespace {

using NullSoundTest = FrameworkTest;

TEST_F(NullSoundTest, OneControlServesEveryCreate) {
    auto* a = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
    auto* b = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(a->Release(), 0u);
    // After the last release a new control is made.
    auto* c = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Release(), 0u);
}

TEST_F(NullSoundTest, EverythingSucceedsButDataAccess) {
    auto* control = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
    float frame[VK_SOUND_FRAME_FLOATS] = {};
    float f = 7.0f;
    uint32_t u = 7;
    EXPECT_EQ(control->Update(), VK_S_NOSOUND);
    EXPECT_EQ(control->SetListener(frame, nullptr), VK_S_NOSOUND);
    EXPECT_EQ(control->GetChannelVolume(0, &f), VK_S_NOSOUND);
    EXPECT_EQ(control->SetOption(1, &u), VK_S_NOSOUND);

    IVkSoundFormat* format = nullptr;
    ASSERT_EQ(control->CreateFormat(&format), VK_OK);
    EXPECT_EQ(format->Validate(), VK_S_NOSOUND);
    EXPECT_EQ(format->SetInt(VK_SOUND_LENGTH, 100), VK_S_NOSOUND);
    EXPECT_EQ(format->GetInt(VK_SOUND_LENGTH, &u), VK_S_NOSOUND);
    EXPECT_EQ(u, 7u) << "out values are left alone";
    IVkSoundFormat* clone = nullptr;
    ASSERT_EQ(format->Clone(&clone), VK_OK);
    EXPECT_EQ(clone->Release(), 0u);

    IVkSoundBuffer* sound = nullptr;
    ASSERT_EQ(format->CreateBuffer(&sound), VK_OK);
    EXPECT_EQ(format->Release(), 0u);
    EXPECT_EQ(sound->GetLength(), 0u);
    // The sound dictionary tells this control's sounds by this answer.
    EXPECT_EQ(sound->GetInt(VK_SOUND_FREQUENCY, &u), VK_S_NOSOUND);
    void* data = &u;
    EXPECT_EQ(sound->Lock(VK_LOCK_WRITE, &data), VK_E_NOSOUND);
    EXPECT_EQ(data, nullptr);
    uint32_t n = 5;
    EXPECT_EQ(sound->LockRange(VK_LOCK_WRITE, 0, 10, &data, &n, nullptr, nullptr), VK_E_NOSOUND);

    // Voices hold their sound until they go, in either order of release.
    IVkSoundVoice *v1 = nullptr, *v2 = nullptr;
    ASSERT_EQ(sound->CreateVoice(&v1), VK_OK);
    ASSERT_EQ(sound->CreateVoice(&v2), VK_OK);
    EXPECT_EQ(v1->GetOwner(), sound);
    EXPECT_EQ(v1->Play(), VK_S_NOSOUND);
    EXPECT_EQ(v2->SetInt(14, 1), VK_S_NOSOUND);
    EXPECT_EQ(v2->GetPlayPosition(&u, &n), VK_S_NOSOUND);
    EXPECT_EQ(sound->Release(), 2u);
    EXPECT_EQ(v1->Release(), 0u);
    EXPECT_EQ(v2->Release(), 0u);
    EXPECT_EQ(control->Release(), 0u);
}

} // namespace
