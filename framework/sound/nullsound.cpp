#include "framework/sound/nullsound.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"

const VkGuid CLSID_VkNullSound = {
    0xDCB32E40, 0xBF68, 0x11D2, {0xAC, 0x17, 0x08, 0x00, 0x09, 0xD7, 0xB1, 0x5C}};

namespace {

class NullSound;
class NullVoice;

// A sound without data: its voices are kept in a list so that they can find their sound and
// the sound can let go of them.
class NullSound final : public VkObject<IVkSoundBuffer, IID_IVkSoundBuffer> {
public:
    uint32_t GetLength() override { return 0; }
    uint32_t GetFormat() override { return 0; }
    uint32_t GetChannels() override { return 0; }
    VkResult Lock(uint32_t, void** data) override {
        *data = nullptr;
        return VK_E_NOSOUND;
    }
    VkResult Unlock() override { return VK_OK; }
    VkResult LockRange(uint32_t, uint32_t, uint32_t, void** first, uint32_t* firstCount,
                       void** second, uint32_t* secondCount) override {
        *first = nullptr;
        *firstCount = 0;
        if (second) *second = nullptr;
        if (secondCount) *secondCount = 0;
        return VK_E_NOSOUND;
    }
    VkResult SetInt(uint32_t, uint32_t) override { return VK_S_NOSOUND; }
    VkResult GetInt(uint32_t, uint32_t*) override { return VK_S_NOSOUND; }
    VkResult SetFloat(uint32_t, float) override { return VK_S_NOSOUND; }
    VkResult GetFloat(uint32_t, float*) override { return VK_S_NOSOUND; }
    VkResult CreateVoice(IVkSoundVoice** voice) override;

    void Unlink(NullVoice* voice);

private:
    void Destroy() override;

    NullVoice* voices_ = nullptr;
};

class NullVoice final : public VkObject<IVkSoundVoice, IID_IVkSoundVoice> {
public:
    explicit NullVoice(NullSound* sound) : sound_(sound) { sound_->AddRef(); }

    IVkSoundBuffer* GetOwner() override { return sound_; }
    VkResult Play() override { return VK_S_NOSOUND; }
    VkResult Stop() override { return VK_S_NOSOUND; }
    VkResult Pause() override { return VK_S_NOSOUND; }
    VkResult Rewind() override { return VK_S_NOSOUND; }
    VkResult SetFrame(const float*, const float*) override { return VK_S_NOSOUND; }
    VkResult GetFrame(float*, float*) override { return VK_S_NOSOUND; }
    VkResult SetInt(uint32_t, uintptr_t) override { return VK_S_NOSOUND; }
    VkResult GetInt(uint32_t, uint32_t*) override { return VK_S_NOSOUND; }
    VkResult SetFloat(uint32_t, float) override { return VK_S_NOSOUND; }
    VkResult GetFloat(uint32_t, float*) override { return VK_S_NOSOUND; }
    VkResult SetPlayPosition(uint32_t) override { return VK_S_NOSOUND; }
    VkResult GetPlayPosition(uint32_t*, uint32_t*) override { return VK_S_NOSOUND; }

    NullVoice* next = nullptr;
    NullSound* sound_;

private:
    void Destroy() override {
        if (sound_) {
            sound_->Unlink(this);
            sound_->Release();
        }
        VkMemDestroyObject(this);
    }
};

VkResult NullSound::CreateVoice(IVkSoundVoice** voice) {
    *voice = nullptr;
    if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
    NullVoice* made = VkMemNew<NullVoice>(this);
    if (!made) {
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    made->next = voices_;
    voices_ = made;
    *voice = made;
    return VK_OK;
}

void NullSound::Unlink(NullVoice* voice) {
    for (NullVoice** at = &voices_; *at; at = &(*at)->next) {
        if (*at == voice) {
            *at = voice->next;
            return;
        }
    }
}

// Voices hold their sound, so this list is empty unless a voice was released once too often;
// any voice left is detached first so that it does not reach back into this sound.
void NullSound::Destroy() {
    while (NullVoice* voice = voices_) {
        voices_ = voice->next;
        voice->sound_ = nullptr;
        voice->Release();
    }
    VkMemDestroyObject(this);
}

class NullControl;

class NullFormat final : public VkObject<IVkSoundFormat, IID_IVkSoundFormat> {
public:
    explicit NullFormat(IVkSoundControl* control) : control_(control) {}

    VkResult Validate() override { return VK_S_NOSOUND; }
    VkResult CreateBuffer(IVkSoundBuffer** buffer) override {
        *buffer = nullptr;
        NullSound* made = nullptr;
        VkResult res = VkMemCreateObject(&made);
        if (res < 0) return res;
        *buffer = made;
        return VK_OK;
    }
    VkResult SetInt(uint32_t, uint32_t) override { return VK_S_NOSOUND; }
    VkResult GetInt(uint32_t, uint32_t*) override { return VK_S_NOSOUND; }
    VkResult SetFloat(uint32_t, float) override { return VK_S_NOSOUND; }
    VkResult GetFloat(uint32_t, float*) override { return VK_S_NOSOUND; }
    VkResult Reset() override { return VK_S_NOSOUND; }
    VkResult Clone(IVkSoundFormat** format) override { return control_->CreateFormat(format); }

private:
    void Destroy() override { VkMemDestroyObject(this); }

    IVkSoundControl* control_;
};

NullControl* g_control = nullptr;

class NullControl final : public VkObject<IVkSoundControl, IID_IVkSoundControl> {
public:
    VkResult Update() override { return VK_S_NOSOUND; }
    VkResult SetListener(const float*, const float*) override { return VK_S_NOSOUND; }
    VkResult GetListener(float*, float*) override { return VK_S_NOSOUND; }
    VkResult CreateFormat(IVkSoundFormat** format) override {
        *format = nullptr;
        if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
        NullFormat* made = VkMemNew<NullFormat>(this);
        if (!made) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        *format = made;
        return VK_OK;
    }
    VkResult SetChannelVolume(uint32_t, float) override { return VK_S_NOSOUND; }
    VkResult GetChannelVolume(uint32_t, float*) override { return VK_S_NOSOUND; }
    VkResult SetOption(uint32_t, const uint32_t*) override { return VK_S_NOSOUND; }
    VkResult GetOption(uint32_t, uint32_t*) override { return VK_S_NOSOUND; }
    VkResult SetListenerParam(uint32_t, const float*) override { return VK_S_NOSOUND; }
    VkResult GetListenerParam(uint32_t, float*) override { return VK_S_NOSOUND; }

private:
    void Destroy() override {
        g_control = nullptr;
        VkMemDestroyObject(this);
        VkClose();
    }
};

const VkCategoryRef kSoundControlCategory[] = {{&CATID_VkSoundControl, "Vesk SoundControl"}};

const VkComponentRecord kNullSoundRecords[] = {
    {&CLSID_VkNullSound, 1, kSoundControlCategory, 0, nullptr, VkCreateNullSound,
     "Vesk - Null Sound", "Vesk.NullSound.5.1", "Vesk.NullSound", nullptr},
};

} // namespace

// One control per process; the framework stays open while it lives.
VkResult VkCreateNullSound(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_control) {
        g_control->AddRef();
        *out = static_cast<IVkSoundControl*>(g_control);
        return VK_OK;
    }
    VkResult res = VkOpen();
    if (res < 0) return res;
    res = VkMemCreateObject(&g_control);
    if (res < 0) {
        VkClose();
        return res;
    }
    *out = static_cast<IVkSoundControl*>(g_control);
    return VK_OK;
}

VkResult VkNullSoundModuleRegister(IVkRegistry* registry) {
    return VkModule<kNullSoundRecords>::Register(registry);
}
