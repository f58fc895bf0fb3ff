#include "framework/sound/dxsound.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/core/winos.h"
#include "framework/misc/maths.h"
#include "platform/dsound/dsound.h"

#include <cmath>
#include <cstring>

const VkGuid CLSID_VkDxSoundControl = {
    0x3B761161, 0xDB91, 0x11D2, {0xBE, 0x85, 0x08, 0x00, 0x09, 0xD7, 0xC1, 0xD3}};

int32_t VkSoundVolumeToDS(float volume) {
    return static_cast<int32_t>(-100.0f * std::pow(10.0f, 2.0f * (1.0f - volume)));
}

namespace {

class Control;
Control* g_control = nullptr;

constexpr float kDefaultMaxDistance = 1.0e9f;

struct Vec {
    float x, y, z;
};

float Dot(const Vec& a, const Vec& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The application window, from the Windows OS component.
HWND AppWindow() {
    void* object = nullptr;
    if (VkCreateInstance(CLSID_VkWinOS, nullptr, 0, IID_IVkWinOSApp, &object) < 0) return nullptr;
    IVkWinOSApp* app = static_cast<IVkWinOSApp*>(object);
    HWND window = app->GetWindow();
    app->Release();
    return window;
}

// A voice as the control's list sees it: a link and the ranking state.
class ListedVoice {
public:
    ListedVoice* prev = nullptr;
    ListedVoice* next = nullptr;
    uint32_t key = 0;
    uint32_t playing = 0;
    uint32_t evicted = 0;

    virtual bool Playback() const = 0;
    virtual void Step(const float* listener, const float* velocity) = 0;
    virtual VkResult ListedPlay() = 0;
    virtual VkResult ListedPause() = 0;
    virtual VkResult ListedStop() = 0;
    virtual bool Looping() const = 0;
    virtual uint32_t ListedRelease() = 0;
    virtual void ReapplyChannel(uint32_t channel) = 0;

protected:
    ~ListedVoice() = default;
};

struct ChannelVolume {
    ChannelVolume* next;
    uint32_t channel;
    float volume;
};

class Sample;
class PrimarySound;

class Control final : public VkObject<IVkSoundControl, IID_IVkSoundControl> {
public:
    VkResult Update() override;
    VkResult SetListener(const float* frame, const float* velocity) override;
    VkResult GetListener(float* frame, float* velocity) override {
        if (frame) std::memcpy(frame, frame_, sizeof frame_);
        if (velocity) std::memcpy(velocity, velocity_, sizeof velocity_);
        return VK_OK;
    }
    VkResult CreateFormat(IVkSoundFormat** format) override;
    VkResult SetChannelVolume(uint32_t channel, float volume) override;
    VkResult GetChannelVolume(uint32_t channel, float* volume) override {
        if (!volume) return VK_E_FAIL;
        for (ChannelVolume* n = channels_; n; n = n->next) {
            if (n->channel == channel) {
                *volume = n->volume;
                return VK_OK;
            }
        }
        *volume = 1.0f;
        return VK_E_FAIL;
    }
    VkResult SetOption(uint32_t id, const uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case 1: option1_ = *value; return VK_OK;
        case 2:
            if (*value >= option3_) return VK_E_FAIL;
            option2_ = *value;
            return VK_OK;
        case 3:
            if (*value <= option2_) return VK_E_FAIL;
            option3_ = *value;
            return VK_OK;
        case VK_SOUND_OPTION_VOICE_LIMIT: voiceLimit_ = *value; return VK_OK;
        case VK_SOUND_OPTION_NO_HARDWARE: noHardware = *value; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult GetOption(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case 1: *value = option1_; return VK_OK;
        case 2: *value = option2_; return VK_OK;
        case 3: *value = option3_; return VK_OK;
        case VK_SOUND_OPTION_VOICE_LIMIT: *value = voiceLimit_; return VK_OK;
        case VK_SOUND_OPTION_NO_HARDWARE: *value = noHardware; return VK_OK;
        case 6: *value = 0; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetListenerParam(uint32_t id, const float* value) override {
        if (!value || !listener) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_LISTENER_ROLLOFF: return listener->SetRolloffFactor(*value, DS3D_DEFERRED);
        case VK_SOUND_LISTENER_DOPPLER:
            doppler = *value;
            return listener->SetDopplerFactor(*value, DS3D_DEFERRED);
        case VK_SOUND_LISTENER_DISTANCE: return listener->SetDistanceFactor(*value, DS3D_DEFERRED);
        default: return VK_E_FAIL;
        }
    }
    VkResult GetListenerParam(uint32_t id, float* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_LISTENER_ROLLOFF:
            return listener ? listener->GetRolloffFactor(value) : VK_E_FAIL;
        case VK_SOUND_LISTENER_DOPPLER: *value = doppler; return VK_OK;
        case VK_SOUND_LISTENER_DISTANCE:
            return listener ? listener->GetDistanceFactor(value) : VK_E_FAIL;
        default: return VK_E_FAIL;
        }
    }

    VkResult Setup();
    VkResult Open();
    void Shutdown();
    // A kind-2 buffer: replaces the primary sound and the listener.
    VkResult MakePrimary(class Format* format, IVkSoundBuffer** out);

    void Link(ListedVoice* voice) {
        voice->prev = nullptr;
        voice->next = voices_;
        if (voices_) voices_->prev = voice;
        voices_ = voice;
    }
    void Unlink(ListedVoice* voice) {
        if (voice->prev)
            voice->prev->next = voice->next;
        else if (voices_ == voice)
            voices_ = voice->next;
        if (voice->next) voice->next->prev = voice->prev;
        voice->prev = voice->next = nullptr;
    }
    void CommitListener() {
        if (listener) listener->CommitDeferredSettings();
    }
    const float* Frame() const { return frame_; }
    const float* Velocity() const { return velocity_; }

    IDirectSound* ds = nullptr;
    IDirectSoundCapture* capture = nullptr;
    VkResult captureResult = VK_OK;
    PrimarySound* primary = nullptr;
    IDirectSound3DListener* listener = nullptr;
    float doppler = 1.0f;
    uint32_t noHardware = 0;

private:
    void Destroy() override;

    ListedVoice* voices_ = nullptr;
    ChannelVolume* channels_ = nullptr;
    uint32_t option1_ = 1, option2_ = 1000, option3_ = 0;
    uint32_t voiceLimit_ = 100;
    float frame_[VK_SOUND_FRAME_FLOATS] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    float velocity_[3] = {0, 0, 0};
};

// Format description ----------------------------------------------------------------------

class Format final : public VkObject<IVkSoundFormat, IID_IVkSoundFormat> {
public:
    explicit Format(Control* control) : control_(control) {
        control_->AddRef();
        Reset();
    }

    VkResult Validate() override {
        if (kind == VK_SOUND_KIND_NONE) return VK_E_FAIL;
        if (kind == 0) kind = VK_SOUND_KIND_SAMPLE;
        if (length == 0) length = 1024;
        if (frequency == 0) frequency = 22050;
        volume = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
        if (channels == 0) channels = 1;
        if (is3d && channels > 1) channels = 1;
        if (!is3d && soft3d) is3d = 1;
        if (format == 0) format = VK_SOUND_U8;
        uint32_t bits = VkSoundBits(format);
        if ((bits != 8 && bits != 16) || VkSoundEncoding(format) != VK_SOUND_PCM) return VK_E_FAIL;
        validated = true;
        return VK_OK;
    }
    VkResult CreateBuffer(IVkSoundBuffer** buffer) override;
    VkResult SetInt(uint32_t id, uint32_t value) override {
        validated = false;
        switch (id) {
        case VK_SOUND_KIND: kind = static_cast<uint8_t>(value); break;
        case VK_SOUND_FORMAT: format = value; break;
        case VK_SOUND_LENGTH: length = value; break;
        case VK_SOUND_CHANNELS: channels = value; break;
        case VK_SOUND_FREQUENCY: frequency = value; break;
        case VK_SOUND_PRIORITY: priority = value; break;
        case VK_SOUND_3D: is3d = static_cast<uint8_t>(value); break;
        case VK_SOUND_STATIC: isStatic = static_cast<uint8_t>(value); break;
        case VK_SOUND_CURSOR: cursor = static_cast<uint8_t>(value); break;
        case VK_SOUND_BACKUP: backup = static_cast<uint8_t>(value); break;
        case VK_SOUND_SOFTWARE: software = static_cast<uint8_t>(value); break;
        case VK_SOUND_WRITE_PRIMARY: writePrimary = static_cast<uint8_t>(value); break;
        case VK_SOUND_SECTION: section = value; break;
        case VK_SOUND_SOFT_3D: soft3d = softDoppler = static_cast<uint8_t>(value); break;
        case VK_SOUND_SOFT_DOPPLER: softDoppler = static_cast<uint8_t>(value); break;
        default: return VK_E_FAIL;
        }
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_KIND: *value = kind; break;
        case VK_SOUND_FORMAT: *value = format; break;
        case VK_SOUND_LENGTH: *value = length; break;
        case VK_SOUND_CHANNELS: *value = channels; break;
        case VK_SOUND_FREQUENCY: *value = frequency; break;
        case VK_SOUND_PRIORITY: *value = priority; break;
        case VK_SOUND_3D: *value = is3d; break;
        case VK_SOUND_STATIC: *value = isStatic; break;
        case VK_SOUND_CURSOR: *value = cursor; break;
        case VK_SOUND_BACKUP: *value = backup; break;
        case VK_SOUND_SOFTWARE: *value = software; break;
        case VK_SOUND_WRITE_PRIMARY: *value = writePrimary; break;
        case VK_SOUND_SECTION: *value = section; break;
        case VK_SOUND_SOFT_3D: *value = soft3d; break;
        case VK_SOUND_SOFT_DOPPLER: *value = softDoppler; break;
        default: return VK_E_FAIL;
        }
        return VK_OK;
    }
    VkResult SetFloat(uint32_t id, float value) override {
        if (id != VK_SOUND_VOLUME) return VK_E_FAIL;
        validated = false;
        volume = value;
        return VK_OK;
    }
    VkResult GetFloat(uint32_t id, float* value) override {
        if (id != VK_SOUND_VOLUME || !value) return VK_E_FAIL;
        *value = volume;
        return VK_OK;
    }
    VkResult Reset() override {
        kind = 0;
        format = length = channels = frequency = 0;
        priority = 10;
        is3d = 0;
        isStatic = 1;
        cursor = 0;
        backup = 1;
        software = writePrimary = 0;
        section = 0;
        soft3d = softDoppler = 0;
        volume = 1.0f;
        validated = false;
        return VK_OK;
    }
    VkResult Clone(IVkSoundFormat** out) override {
        VkResult res = control_->CreateFormat(out);
        if (res < 0) return res;
        Format* copy = static_cast<Format*>(*out);
        copy->kind = kind;
        copy->format = format;
        copy->length = length;
        copy->channels = channels;
        copy->frequency = frequency;
        copy->priority = priority;
        copy->is3d = is3d;
        copy->isStatic = isStatic;
        copy->cursor = cursor;
        copy->backup = backup;
        copy->software = software;
        copy->writePrimary = writePrimary;
        copy->section = section;
        copy->soft3d = soft3d;
        copy->softDoppler = softDoppler;
        copy->volume = volume;
        return VK_OK;
    }

    uint8_t kind = 0;
    uint32_t format = 0, length = 0, channels = 0, frequency = 0, priority = 10;
    uint8_t is3d = 0, isStatic = 1, cursor = 0, backup = 1, software = 0, writePrimary = 0;
    uint32_t section = 0;
    uint8_t soft3d = 0, softDoppler = 0;
    float volume = 1.0f;
    bool validated = false;

private:
    void Destroy() override {
        Control* control = control_;
        VkMemDestroyObject(this);
        control->Release();
    }

    Control* control_;
};

WAVEFORMATEX WaveFormat(uint32_t channels, uint32_t frequency, uint32_t bits) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<uint16_t>(channels);
    w.nSamplesPerSec = frequency;
    w.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    w.nAvgBytesPerSec = w.nBlockAlign * frequency;
    w.wBitsPerSample = static_cast<uint16_t>(bits);
    return w;
}

// Byte range of frames, or false when it does not fit 32 bits.
bool FrameBytes(uint32_t start, uint32_t count, uint32_t bytesPerFrame, DWORD* offset,
                DWORD* bytes) {
    uint64_t o = uint64_t(start) * bytesPerFrame;
    uint64_t b = uint64_t(count) * bytesPerFrame;
    if (o > 0xFFFFFFFFu || b > 0xFFFFFFFFu) return false;
    *offset = static_cast<DWORD>(o);
    *bytes = static_cast<DWORD>(b);
    return true;
}

// The regions of a DirectSound buffer locked by a sound's Lock or LockRange, kept until its
// Unlock; one lock at a time.
struct RegionLock {
    bool locked = false;
    void* ptr[2] = {nullptr, nullptr};
    DWORD bytes[2] = {0, 0};

    template <class B> VkResult Take(B* buffer, DWORD offset, DWORD size, DWORD flags) {
        if (locked || !buffer) return VK_E_FAIL;
        void* second = nullptr;
        VkResult res = buffer->Lock(offset, size, &ptr[0], &bytes[0], &second, &bytes[1], flags);
        if (res < 0) return res;
        ptr[1] = second;
        locked = true;
        return VK_OK;
    }
    // The whole buffer; the first region comes out.
    template <class B> VkResult Whole(B* buffer, DWORD size, void** data) {
        if (!data) return VK_E_FAIL;
        *data = nullptr;
        VkResult res = Take(buffer, 0, size, 0);
        if (res >= 0) *data = ptr[0];
        return res;
    }
    // Frames from start; the counts come out in frames.
    template <class B>
    VkResult Frames(B* buffer, uint32_t start, uint32_t count, uint32_t frameBytes, void** first,
                    uint32_t* firstCount, void** second, uint32_t* secondCount) {
        if (!first || !firstCount || frameBytes == 0) return VK_E_FAIL;
        DWORD offset = 0, size = 0;
        if (!FrameBytes(start, count, frameBytes, &offset, &size)) return VK_E_FAIL;
        VkResult res = Take(buffer, offset, size, 0);
        if (res < 0) return res;
        *first = ptr[0];
        *firstCount = bytes[0] / frameBytes;
        if (second) *second = ptr[1];
        if (secondCount) *secondCount = bytes[1] / frameBytes;
        return VK_OK;
    }
    template <class B> void Give(B* buffer) {
        if (!locked) return;
        buffer->Unlock(ptr[0], bytes[0], ptr[1], bytes[1]);
        locked = false;
    }
};

// Sample (kind 1) -------------------------------------------------------------------------

class Voice;

class Sample final : public VkObject<IVkSoundBuffer, IID_IVkSoundBuffer> {
public:
    explicit Sample(Control* control) : control(control) {}

    VkResult Make(Format* f);

    uint32_t GetLength() override { return length; }
    uint32_t GetFormat() override { return format; }
    uint32_t GetChannels() override { return channels; }
    VkResult Lock(uint32_t, void** data) override {
        return lock_.Whole(LockTarget(), bytesPerFrame * length, data);
    }
    VkResult Unlock() override {
        if (!lock_.locked) return VK_OK;
        if (hardware && software) {
            // The bytes written reach the hardware buffer too.
            DWORD offset = static_cast<DWORD>(static_cast<uint8_t*>(lock_.ptr[0]) - lockBase_);
            void *h1 = nullptr, *h2 = nullptr;
            DWORD n1 = 0, n2 = 0;
            if (hardware->Lock(offset, lock_.bytes[0] + lock_.bytes[1], &h1, &n1, &h2, &n2, 0) >=
                0) {
                CopyRegions(h1, n1, h2, n2);
                hardware->Unlock(h1, n1, h2, n2);
            }
        }
        lock_.Give(LockTarget());
        return VK_OK;
    }
    VkResult LockRange(uint32_t, uint32_t start, uint32_t count, void** first, uint32_t* firstCount,
                       void** second, uint32_t* secondCount) override {
        return lock_.Frames(LockTarget(), start, count, bytesPerFrame, first, firstCount, second,
                            secondCount);
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        switch (id) {
        case VK_SOUND_FREQUENCY:
            frequency = value == 22050 ? 22051 : value;
            if (software) software->SetFrequency(frequency);
            return VK_OK;
        case VK_SOUND_PRIORITY: priority = value; return VK_OK;
        case VK_SOUND_LOOP: loop = value != 0; return VK_OK;
        case VK_SOUND_CHANNEL: channel = static_cast<uint8_t>(value); return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_KIND: *value = VK_SOUND_KIND_SAMPLE; return VK_OK;
        case VK_SOUND_FORMAT: *value = format; return VK_OK;
        case VK_SOUND_LENGTH: *value = length; return VK_OK;
        case VK_SOUND_CHANNELS: *value = channels; return VK_OK;
        case VK_SOUND_FREQUENCY: *value = frequency; return VK_OK;
        case VK_SOUND_PRIORITY: *value = priority; return VK_OK;
        case VK_SOUND_3D: *value = is3d; return VK_OK;
        case VK_SOUND_STATIC: *value = isStatic; return VK_OK;
        case VK_SOUND_CURSOR: *value = cursor; return VK_OK;
        case VK_SOUND_BACKUP: *value = software ? 1 : 0; return VK_OK;
        case VK_SOUND_LOOP: *value = loop; return VK_OK;
        case VK_SOUND_CHANNEL: *value = channel; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetFloat(uint32_t id, float value) override;
    VkResult GetFloat(uint32_t id, float* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_OVERALL_VOLUME: *value = overallVolume; return VK_OK;
        case VK_SOUND_VOLUME: *value = voiceVolume; return VK_OK;
        case VK_SOUND_MIN_DISTANCE: *value = minDistance; return VK_OK;
        case VK_SOUND_MAX_DISTANCE: *value = maxDistance; return VK_OK;
        case VK_SOUND_INNER_CONE: *value = innerAngle; return VK_OK;
        case VK_SOUND_OUTER_CONE: *value = outerAngle; return VK_OK;
        case VK_SOUND_CONE_OUTSIDE_VOLUME: *value = outsideVolume; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult CreateVoice(IVkSoundVoice** voice) override;

    IDirectSound3DBuffer* Interface3D() const { return hardware3d ? hardware3d : software3d; }
    // Refills a restored hardware buffer from the software copy.
    void Refill(IDirectSoundBuffer* target);

    Control* control;
    uint8_t bytesPerFrame = 0, channels = 0, channel = 0;
    uint8_t is3d = 0, soft3d = 0, softDoppler = 0, isStatic = 0, cursor = 0;
    bool loop = false;
    uint32_t format = 0, length = 0, frequency = 0, priority = 10;
    float overallVolume = 1.0f, voiceVolume = 1.0f, minDistance = 1.0f,
          maxDistance = kDefaultMaxDistance, outsideVolume = 1.0f, outerAngle = 360.0f,
          innerAngle = 360.0f;
    IDirectSoundBuffer* hardware = nullptr;
    IDirectSound3DBuffer* hardware3d = nullptr;
    IDirectSoundBuffer* software = nullptr;
    IDirectSound3DBuffer* software3d = nullptr;
    Voice* voices = nullptr;

private:
    void Destroy() override;
    IDirectSoundBuffer* LockTarget() const { return software ? software : hardware; }
    void CopyRegions(void* h1, DWORD n1, void* h2, DWORD n2) {
        // Copies the locked bytes, in order, into the two hardware regions.
        const uint8_t* parts[2] = {static_cast<uint8_t*>(lock_.ptr[0]),
                                   static_cast<uint8_t*>(lock_.ptr[1])};
        DWORD sizes[2] = {lock_.bytes[0], lock_.bytes[1]};
        uint8_t* outs[2] = {static_cast<uint8_t*>(h1), static_cast<uint8_t*>(h2)};
        DWORD room[2] = {n1, n2};
        int pi = 0, oi = 0;
        DWORD pAt = 0, oAt = 0;
        while (pi < 2 && oi < 2) {
            if (pAt == sizes[pi] || !parts[pi]) {
                ++pi;
                pAt = 0;
                continue;
            }
            if (oAt == room[oi] || !outs[oi]) {
                ++oi;
                oAt = 0;
                continue;
            }
            DWORD n = sizes[pi] - pAt < room[oi] - oAt ? sizes[pi] - pAt : room[oi] - oAt;
            std::memcpy(outs[oi] + oAt, parts[pi] + pAt, n);
            pAt += n;
            oAt += n;
        }
    }

    RegionLock lock_;
    uint8_t* lockBase_ = nullptr;

public:
    void SetLockBase(uint8_t* base) { lockBase_ = base; }
};

// Voice -----------------------------------------------------------------------------------

class Voice final : public VkObject<IVkSoundVoice, IID_IVkSoundVoice>, public ListedVoice {
public:
    explicit Voice(Sample* sample) : sample_(sample) {}

    void Init() {
        float channelVolume = 1.0f;
        sample_->control->GetChannelVolume(sample_->channel, &channelVolume);
        channelVolume_ = channelVolume;
        channel_ = sample_->channel;
        volume_ = sample_->voiceVolume;
        minDistance_ = sample_->minDistance;
        maxDistance_ = sample_->maxDistance;
        frequency_ = sample_->frequency;
        twoD_ = sample_->is3d ? 0 : 1;
        if (sample_->loop) SetInt(VK_SOUND_LOOP, 1);
    }

    IVkSoundBuffer* GetOwner() override { return sample_; }
    VkResult Play() override {
        if (playing && !paused_) return Rewind();
        if (!playing) AddRef();
        playing = 1;
        paused_ = 0;
        VkResult res = Acquire();
        if (res < 0) return res;
        if (!sample_->soft3d) buffer_->SetVolume(VkSoundVolumeToDS(Gain()));
        res = buffer_->Play(0, 0, playFlags_);
        if (res < 0) return res;
        if (sample_->soft3d) {
            if (sample_->softDoppler) buffer_->SetFrequency(frequency_);
            Step(sample_->control->Frame(), sample_->control->Velocity());
        }
        return VK_OK;
    }
    VkResult Stop() override {
        if (!playing) {
            paused_ = 0;
            return VK_OK;
        }
        if (buffer_) {
            VkResult res = buffer_->Stop();
            if (res < 0) return res;
        }
        DropBuffer();
        paused_ = 0;
        playing = 0;
        Release();
        return VK_OK;
    }
    VkResult Pause() override {
        paused_ = 1;
        if (playing && buffer_) {
            buffer_->Stop();
            DropBuffer();
        }
        return VK_OK;
    }
    VkResult Rewind() override {
        if (buffer_) return buffer_->SetCurrentPosition(0);
        position_ = 0;
        return VK_OK;
    }
    VkResult SetFrame(const float* frame, const float* velocity) override {
        if (twoD_) return VK_E_FAIL;
        if (frame) {
            if (buffer3d_) {
                buffer3d_->SetPosition(frame[9], frame[10], frame[11], DS3D_DEFERRED);
                buffer3d_->SetConeOrientation(frame[6], frame[7], frame[8], DS3D_DEFERRED);
            }
            position3_ = {frame[9], frame[10], frame[11]};
            at_ = {frame[6], frame[7], frame[8]};
        }
        if (velocity) {
            if (buffer3d_)
                buffer3d_->SetVelocity(velocity[0], velocity[1], velocity[2], DS3D_DEFERRED);
            velocity3_ = {velocity[0], velocity[1], velocity[2]};
        }
        return VK_OK;
    }
    VkResult GetFrame(float* frame, float* velocity) override {
        if (twoD_) return VK_E_FAIL;
        if (frame) {
            IVkMaths* maths = VkMathsShared();
            VkVector at = {at_.x, at_.y, at_.z};
            VkVector seed = at.y < 0.9f ? VkVector{0, 1, 0} : VkVector{1, 0, 0};
            VkVector right = {seed.y * at.z - seed.z * at.y, seed.z * at.x - seed.x * at.z,
                              seed.x * at.y - seed.y * at.x};
            if (maths) maths->Normalise(&right, &right);
            VkVector up = {at.y * right.z - at.z * right.y, at.z * right.x - at.x * right.z,
                           at.x * right.y - at.y * right.x};
            const float values[12] = {right.x, right.y,      right.z,      up.x,
                                      up.y,    up.z,         at.x,         at.y,
                                      at.z,    position3_.x, position3_.y, position3_.z};
            std::memcpy(frame, values, sizeof values);
        }
        if (velocity) {
            velocity[0] = velocity3_.x;
            velocity[1] = velocity3_.y;
            velocity[2] = velocity3_.z;
        }
        return VK_OK;
    }
    VkResult SetInt(uint32_t id, uintptr_t value) override {
        switch (id) {
        case VK_SOUND_FREQUENCY: {
            const uint32_t* p = reinterpret_cast<const uint32_t*>(value);
            if (!p) return VK_E_FAIL;
            uint32_t f = *p ? *p : sample_->frequency;
            frequency_ = f < 100 ? 100 : f > 100000 ? 100000 : f;
            if (buffer_) buffer_->SetFrequency(frequency_);
            return VK_OK;
        }
        case VK_SOUND_PRIORITY: {
            const uint32_t* p = reinterpret_cast<const uint32_t*>(value);
            if (!p) return VK_E_FAIL;
            priority_ = *p;
            return VK_OK;
        }
        case VK_SOUND_3D: {
            if (!buffer3d_ && !sample_->Interface3D()) return VK_E_FAIL;
            twoD_ = value ? 0 : 1;
            if (buffer3d_)
                buffer3d_->SetMode(value ? DS3DMODE_NORMAL : DS3DMODE_DISABLE, DS3D_DEFERRED);
            return VK_OK;
        }
        case VK_SOUND_LOOP:
            playFlags_ = value ? DSBPLAY_LOOPING : 0;
            if (buffer_ && playing && !paused_) buffer_->Play(0, 0, playFlags_);
            return VK_OK;
        case VK_SOUND_CHANNEL: {
            const uint32_t* p = reinterpret_cast<const uint32_t*>(value);
            if (!p) return VK_E_FAIL;
            channel_ = *p;
            float v = 1.0f;
            sample_->control->GetChannelVolume(channel_, &v);
            channelVolume_ = v;
            ApplyVolume();
            return VK_OK;
        }
        default: return VK_E_FAIL;
        }
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_FREQUENCY: *value = frequency_; return VK_OK;
        case VK_SOUND_PRIORITY: *value = priority_; return VK_OK;
        case VK_SOUND_3D: *value = twoD_ ? 0 : 1; return VK_OK;
        case VK_SOUND_PLAYING: *value = playing; return VK_OK;
        case VK_SOUND_PAUSED: *value = paused_; return VK_OK;
        case VK_SOUND_LOOP: *value = playFlags_ ? 1 : 0; return VK_OK;
        case VK_SOUND_CHANNEL: *value = channel_; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetFloat(uint32_t id, float value) override {
        if (id == VK_SOUND_VOLUME) {
            volume_ = value;
            ApplyVolume();
            return VK_OK;
        }
        if (id < VK_SOUND_MIN_DISTANCE || id > VK_SOUND_CONE_OUTSIDE_VOLUME || twoD_)
            return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_MIN_DISTANCE:
            minDistance_ = value;
            if (buffer3d_) buffer3d_->SetMinDistance(value, DS3D_DEFERRED);
            break;
        case VK_SOUND_MAX_DISTANCE:
            maxDistance_ = value;
            if (buffer3d_) buffer3d_->SetMaxDistance(value, DS3D_DEFERRED);
            break;
        case VK_SOUND_INNER_CONE:
            innerAngle_ = value;
            if (buffer3d_) SendCone();
            break;
        case VK_SOUND_OUTER_CONE:
            outerAngle_ = value;
            if (buffer3d_) SendCone();
            break;
        default:
            outsideVolume_ = value;
            if (buffer3d_) buffer3d_->SetConeOutsideVolume(VkSoundVolumeToDS(value), DS3D_DEFERRED);
            break;
        }
        return VK_OK;
    }
    VkResult GetFloat(uint32_t id, float* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_VOLUME: *value = volume_; return VK_OK;
        case VK_SOUND_MIN_DISTANCE: *value = minDistance_; return VK_OK;
        case VK_SOUND_MAX_DISTANCE: *value = maxDistance_; return VK_OK;
        case VK_SOUND_INNER_CONE: *value = innerAngle_; return VK_OK;
        case VK_SOUND_OUTER_CONE: *value = outerAngle_; return VK_OK;
        case VK_SOUND_CONE_OUTSIDE_VOLUME: *value = outsideVolume_; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetPlayPosition(uint32_t frame) override {
        position_ = frame;
        if (buffer_) {
            DWORD offset = 0, unused = 0;
            if (!FrameBytes(frame, 0, sample_->bytesPerFrame, &offset, &unused)) return VK_E_FAIL;
            return buffer_->SetCurrentPosition(offset);
        }
        return VK_OK;
    }
    VkResult GetPlayPosition(uint32_t* playFrame, uint32_t* writeFrame) override {
        DWORD play = 0, write = 0;
        VkResult res = VK_E_FAIL;
        if (buffer_) {
            res = buffer_->GetCurrentPosition(&play, &write);
            if (res >= 0) {
                play /= sample_->bytesPerFrame;
                write /= sample_->bytesPerFrame;
            } else {
                play = write = 0;
            }
        }
        if (playFrame) *playFrame = play;
        if (writeFrame) *writeFrame = write;
        return res;
    }

    // ListedVoice
    bool Playback() const override { return true; }
    void Step(const float* listener, const float* velocity) override;
    VkResult ListedPlay() override { return Play(); }
    VkResult ListedPause() override { return Pause(); }
    VkResult ListedStop() override { return Stop(); }
    bool Looping() const override { return playFlags_ != 0; }
    uint32_t ListedRelease() override { return Release(); }
    void ReapplyChannel(uint32_t channel) override {
        if (channel_ == channel) {
            uint32_t c = channel;
            SetInt(VK_SOUND_CHANNEL, reinterpret_cast<uintptr_t>(&c));
        }
    }

    Voice* sampleNext = nullptr;
    Sample* sample_;

private:
    void Destroy() override {
        DropBuffer();
        sample_->control->Unlink(this);
        for (Voice** at = &sample_->voices; *at; at = &(*at)->sampleNext) {
            if (*at == this) {
                *at = sampleNext;
                break;
            }
        }
        VkMemDestroyObject(this);
    }

    float Gain() const { return sample_->overallVolume * volume_ * channelVolume_; }
    void ApplyVolume() {
        if (buffer_ && !sample_->soft3d) buffer_->SetVolume(VkSoundVolumeToDS(Gain()));
    }
    void SendCone() {
        buffer3d_->SetConeAngles(static_cast<DWORD>(innerAngle_), static_cast<DWORD>(outerAngle_),
                                 DS3D_IMMEDIATE);
    }
    void DropBuffer() {
        if (buffer3d_) buffer3d_->Release();
        if (buffer_) buffer_->Release();
        buffer3d_ = nullptr;
        buffer_ = nullptr;
    }
    VkResult Acquire();

    uint32_t channel_ = 0;
    float volume_ = 1.0f, channelVolume_ = 1.0f;
    IDirectSoundBuffer* buffer_ = nullptr;
    IDirectSound3DBuffer* buffer3d_ = nullptr;
    DWORD playFlags_ = 0;
    uint32_t paused_ = 0, priority_ = 10, twoD_ = 1;
    Vec position3_{0, 0, 0}, at_{0, 0, 0}, velocity3_{0, 0, 0};
    float minDistance_ = 1.0f, maxDistance_ = kDefaultMaxDistance, outsideVolume_ = 1.0f,
          outerAngle_ = 360.0f, innerAngle_ = 360.0f;
    uint32_t position_ = 0, frequency_ = 0;
    float lastPan_ = 0.0f, lastRatio_ = 0.0f;
};

VkResult Voice::Acquire() {
    if (buffer_) return VK_E_FAIL;
    Control* control = sample_->control;
    IDirectSoundBuffer* original = sample_->hardware;
    if (original) {
        DWORD status = 0;
        if (original->GetStatus(&status) >= 0 && (status & DSBSTATUS_BUFFERLOST)) {
            original->Restore();
            sample_->Refill(original);
        }
    }
    VkResult res = VK_E_FAIL;
    if (original) res = control->ds->DuplicateSoundBuffer(original, &buffer_);
    if (res < 0 || !buffer_) {
        buffer_ = nullptr;
        if (!sample_->software) return res;
        res = control->ds->DuplicateSoundBuffer(sample_->software, &buffer_);
        if (res < 0) {
            buffer_ = nullptr;
            return res;
        }
    }
    if (!(twoD_ && !sample_->is3d) && !sample_->soft3d) {
        res =
            buffer_->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3d_));
        if (res < 0) {
            buffer3d_ = nullptr;
            return res;
        }
        if (twoD_) buffer3d_->SetMode(DS3DMODE_DISABLE, DS3D_DEFERRED);
    }
    if (sample_->soft3d) buffer_->SetVolume(VkSoundVolumeToDS(0.0f));
    SetPlayPosition(position_);
    uint32_t f = frequency_;
    SetInt(VK_SOUND_FREQUENCY, reinterpret_cast<uintptr_t>(&f));
    if (!twoD_ && !sample_->soft3d && buffer3d_) {
        buffer3d_->SetPosition(position3_.x, position3_.y, position3_.z, DS3D_DEFERRED);
        buffer3d_->SetConeOrientation(at_.x, at_.y, at_.z, DS3D_DEFERRED);
        buffer3d_->SetVelocity(velocity3_.x, velocity3_.y, velocity3_.z, DS3D_DEFERRED);
        buffer3d_->SetMinDistance(minDistance_, DS3D_DEFERRED);
        buffer3d_->SetMaxDistance(maxDistance_, DS3D_DEFERRED);
        buffer3d_->SetConeOutsideVolume(VkSoundVolumeToDS(outsideVolume_), DS3D_DEFERRED);
        SendCone();
    }
    control->CommitListener();
    return VK_OK;
}

// Ranking term of a gain: 16 bits.
uint32_t GainKey(float gain) {
    float scaled = gain * 65535.0f;
    if (!(scaled > 0.0f)) return 0;
    return scaled >= 65535.0f ? 65535u : static_cast<uint32_t>(scaled);
}

void Voice::Step(const float* listener, const float* velocity) {
    if (!playing) {
        key = 0;
        return;
    }
    float gain = Gain();
    if (twoD_) {
        key = (priority_ << 16) | GainKey(gain);
    } else {
        Vec d = {position3_.x - listener[9], position3_.y - listener[10],
                 position3_.z - listener[11]};
        IVkMaths* maths = VkMathsShared();
        float dd = Dot(d, d);
        float dist = maths ? maths->SquareRoot(dd) : std::sqrt(dd);
        if (dist >= maxDistance_) {
            gain = 0.0f;
            key = 0;
        } else {
            if (dist >= minDistance_) {
                float t = (dist - minDistance_) / (maxDistance_ - minDistance_);
                gain = gain * (1.0f - t) * (1.0f - t);
            }
            key = (priority_ << 16) | GainKey(gain);
        }
        if (sample_->soft3d && !paused_ && buffer_ && dist > 0.0f) {
            Vec right = {listener[0], listener[1], listener[2]};
            float p = Dot(right, d) / dist;
            if (std::fabs(p - lastPan_) > 0.05f) {
                buffer_->SetPan(static_cast<LONG>(p * -4000.0f));
                lastPan_ = p;
            }
            if (sample_->softDoppler && velocity) {
                Vec n = {d.x / dist, d.y / dist, d.z / dist};
                Vec v = {velocity[0], velocity[1], velocity[2]};
                float a = 1.0f + Dot(v, n) * 0.003125f;
                float b = 1.0f + Dot(velocity3_, n) * 0.003125f;
                float ratio = 1.0f;
                if (std::fabs(b) > 0.00001f) {
                    ratio = a / b;
                    ratio = ratio < 0.25f ? 0.25f : ratio > 4.0f ? 4.0f : ratio;
                }
                if (std::fabs(ratio - lastRatio_) > 0.05f) {
                    float factor = sample_->control->doppler;
                    buffer_->SetFrequency(static_cast<DWORD>(float(frequency_) * ratio * factor));
                    lastRatio_ = ratio * factor;
                }
            }
        }
        if (sample_->soft3d && buffer_) buffer_->SetVolume(VkSoundVolumeToDS(gain));
    }
    if (!buffer_) return;
    DWORD status = 0;
    if (buffer_->GetStatus(&status) < 0) return;
    if (status & DSBSTATUS_BUFFERLOST) {
        if (buffer_->Restore() < 0) return;
        sample_->Refill(buffer_);
    }
    if (!(status & DSBSTATUS_PLAYING) && !evicted) Stop();
}

void Sample::Refill(IDirectSoundBuffer* target) {
    if (!software || target == software) return;
    DWORD bytes = bytesPerFrame * length;
    void *s1, *s2, *t1, *t2;
    DWORD sn1, sn2, tn1, tn2;
    if (software->Lock(0, bytes, &s1, &sn1, &s2, &sn2, 0) < 0) return;
    if (target->Lock(0, bytes, &t1, &tn1, &t2, &tn2, 0) >= 0) {
        std::memcpy(t1, s1, sn1 < tn1 ? sn1 : tn1);
        target->Unlock(t1, tn1, t2, tn2);
    }
    software->Unlock(s1, sn1, s2, sn2);
}

VkResult Sample::SetFloat(uint32_t id, float value) {
    switch (id) {
    case VK_SOUND_OVERALL_VOLUME:
        overallVolume = value;
        for (Voice* v = voices; v; v = v->sampleNext) {
            float volume = 1.0f;
            v->GetFloat(VK_SOUND_VOLUME, &volume);
            v->SetFloat(VK_SOUND_VOLUME, volume);
        }
        return VK_OK;
    case VK_SOUND_VOLUME: voiceVolume = value; return VK_OK;
    default: break;
    }
    IDirectSound3DBuffer* face = Interface3D();
    switch (id) {
    case VK_SOUND_MIN_DISTANCE:
        minDistance = value;
        return face ? face->SetMinDistance(value, DS3D_DEFERRED) : VK_E_FAIL;
    case VK_SOUND_MAX_DISTANCE:
        maxDistance = value;
        return face ? face->SetMaxDistance(value, DS3D_DEFERRED) : VK_E_FAIL;
    case VK_SOUND_INNER_CONE:
    case VK_SOUND_OUTER_CONE: {
        (id == VK_SOUND_INNER_CONE ? innerAngle : outerAngle) = value;
        if (!face) return VK_E_FAIL;
        DWORD inside = 360, outside = 360;
        face->GetConeAngles(&inside, &outside);
        if (id == VK_SOUND_INNER_CONE)
            inside = static_cast<DWORD>(value);
        else
            outside = static_cast<DWORD>(value);
        return face->SetConeAngles(inside, outside, DS3D_DEFERRED);
    }
    case VK_SOUND_CONE_OUTSIDE_VOLUME:
        outsideVolume = value;
        return face ? face->SetConeOutsideVolume(VkSoundVolumeToDS(value), DS3D_DEFERRED)
                    : VK_E_FAIL;
    default: return VK_E_FAIL;
    }
}

VkResult Sample::CreateVoice(IVkSoundVoice** out) {
    if (!out) return VK_E_FAIL;
    *out = nullptr;
    if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
    Voice* voice = VkMemNew<Voice>(this);
    if (!voice) {
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    voice->sampleNext = voices;
    voices = voice;
    control->Link(voice);
    voice->Init();
    *out = voice;
    return VK_OK;
}

VkResult Sample::Make(Format* f) {
    channels = static_cast<uint8_t>(f->channels);
    format = f->format;
    length = f->length;
    frequency = f->frequency;
    priority = f->priority;
    is3d = f->is3d;
    soft3d = f->soft3d;
    softDoppler = f->softDoppler;
    isStatic = f->isStatic;
    cursor = f->cursor;
    voiceVolume = f->volume;
    uint32_t bits = VkSoundBits(format);
    bytesPerFrame = static_cast<uint8_t>(channels * bits / 8);
    WAVEFORMATEX wave = WaveFormat(channels, frequency, bits);
    uint64_t size = uint64_t(bytesPerFrame) * length;
    if (size > DSBSIZE_MAX) return VK_E_FAIL;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, static_cast<DWORD>(size), 0, &wave};
    if (soft3d)
        desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    else if (is3d)
        desc.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME |
                       DSBCAPS_MUTE3DATMAXDISTANCE;
    else
        desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME;
    if (cursor) desc.dwFlags |= DSBCAPS_GETCURRENTPOSITION2;
    if (isStatic) desc.dwFlags |= DSBCAPS_STATIC;
    const DWORD flags = desc.dwFlags;
    IDirectSound* ds = control->ds;
    if (!f->software && !control->noHardware) {
        desc.dwFlags = flags | DSBCAPS_LOCHARDWARE;
        if (ds->CreateSoundBuffer(&desc, &hardware, nullptr) < 0) {
            hardware = nullptr;
        } else if (!soft3d && (flags & DSBCAPS_CTRL3D)) {
            if (hardware->QueryInterface(IID_IDirectSound3DBuffer,
                                         reinterpret_cast<void**>(&hardware3d)) < 0)
                hardware3d = nullptr;
        }
    }
    if (f->software || f->backup) {
        desc.dwFlags = flags | DSBCAPS_LOCSOFTWARE;
        if (ds->CreateSoundBuffer(&desc, &software, nullptr) < 0) {
            software = nullptr;
            if (hardware3d) hardware3d->Release();
            if (hardware) hardware->Release();
            hardware3d = nullptr;
            hardware = nullptr;
        } else {
            if (!soft3d && (flags & DSBCAPS_CTRL3D)) {
                if (software->QueryInterface(IID_IDirectSound3DBuffer,
                                             reinterpret_cast<void**>(&software3d)) < 0)
                    software3d = nullptr;
            }
            if (frequency == 22050) {
                frequency = 22051;
                software->SetFrequency(frequency);
            }
        }
    }
    if (!hardware && !software) return VK_E_FAIL;
    void *p1, *p2;
    DWORD n1, n2;
    IDirectSoundBuffer* target = software ? software : hardware;
    if (target->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER) >= 0) {
        SetLockBase(static_cast<uint8_t*>(p1));
        target->Unlock(p1, 0, nullptr, 0);
    }
    return VK_OK;
}

void Sample::Destroy() {
    // Voices left over are the caller's fault; they are cut loose so they do not reach back.
    if (hardware3d) hardware3d->Release();
    if (hardware) hardware->Release();
    if (software3d) software3d->Release();
    if (software) software->Release();
    VkMemDestroyObject(this);
}

// Primary sound (kind 2) ------------------------------------------------------------------

// A sound over one DirectSound buffer of the device (the primary or a capture buffer): its
// size and format, and locks of its bytes.
template <class B> class DeviceSound : public VkObject<IVkSoundBuffer, IID_IVkSoundBuffer> {
public:
    uint32_t GetLength() override { return length; }
    uint32_t GetFormat() override { return format; }
    uint32_t GetChannels() override { return channels; }
    VkResult Lock(uint32_t, void** data) override {
        return lock_.Whole(buffer, bytesPerFrame * length, data);
    }
    VkResult Unlock() override {
        lock_.Give(buffer);
        return VK_OK;
    }
    VkResult LockRange(uint32_t, uint32_t start, uint32_t count, void** first, uint32_t* firstCount,
                       void** second, uint32_t* secondCount) override {
        return lock_.Frames(buffer, start, count, bytesPerFrame, first, firstCount, second,
                            secondCount);
    }

    B* buffer = nullptr;
    uint32_t channels = 0, format = 0, frequency = 0, length = 0, bytesPerFrame = 0;

protected:
    RegionLock lock_;
};

class PrimarySound final : public DeviceSound<IDirectSoundBuffer> {
public:
    VkResult Make(Control* control, Format* f) {
        HWND window = AppWindow();
        if (!window) return VK_E_FAIL;
        VkResult res = control->ds->SetCooperativeLevel(window, f->writePrimary ? DSSCL_WRITEPRIMARY
                                                                                : DSSCL_EXCLUSIVE);
        if (res < 0) return res;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0,
                          nullptr};
        res = control->ds->CreateSoundBuffer(&desc, &buffer, nullptr);
        if (res < 0) {
            buffer = nullptr;
            return res;
        }
        channels = f->channels;
        format = f->format;
        frequency = f->frequency;
        bytesPerFrame = channels * VkSoundBits(format) / 8;
        volume = f->volume;
        WAVEFORMATEX wave = WaveFormat(channels, frequency, VkSoundBits(format));
        res = buffer->SetFormat(&wave);
        if (res < 0) return res;
        WAVEFORMATEX back{};
        DWORD written = 0;
        res = buffer->GetFormat(&back, sizeof back, &written);
        if (res < 0) return res;
        std::memcpy(inForce, &back, sizeof inForce);
        DSBCAPS caps{sizeof(DSBCAPS), 0, 0, 0, 0};
        res = buffer->GetCaps(&caps);
        if (res < 0) return res;
        length = bytesPerFrame ? caps.dwBufferBytes / bytesPerFrame : 0;
        return VK_OK;
    }

    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id != VK_SOUND_PLAYING || !buffer) return VK_E_FAIL;
        return value ? buffer->Play(0, 0, DSBPLAY_LOOPING) : buffer->Stop();
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_KIND: *value = VK_SOUND_KIND_PRIMARY; return VK_OK;
        case VK_SOUND_FORMAT: *value = format; return VK_OK;
        case VK_SOUND_LENGTH: *value = length; return VK_OK;
        case VK_SOUND_CHANNELS: *value = channels; return VK_OK;
        case VK_SOUND_FREQUENCY: *value = frequency; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetFloat(uint32_t, float) override { return VK_E_FAIL; }
    VkResult GetFloat(uint32_t id, float* value) override {
        if (id != VK_SOUND_VOLUME || !value) return VK_E_FAIL;
        *value = volume;
        return VK_OK;
    }
    VkResult CreateVoice(IVkSoundVoice** voice) override {
        if (voice) *voice = nullptr;
        return VK_E_FAIL;
    }

    float volume = 1.0f;
    uint8_t inForce[16] = {};

private:
    void Destroy() override {
        if (buffer) buffer->Release();
        VkMemDestroyObject(this);
    }
};

// Capture sound (kind 3) ------------------------------------------------------------------

class CaptureSound;

class CaptureVoice final : public VkObject<IVkSoundVoice, IID_IVkSoundVoice>, public ListedVoice {
public:
    CaptureVoice(CaptureSound* sound, Control* control) : sound_(sound), control_(control) {}

    IVkSoundBuffer* GetOwner() override;
    VkResult Play() override;
    VkResult Stop() override;
    VkResult Pause() override { return VK_E_FAIL; }
    VkResult Rewind() override { return VK_E_FAIL; }
    VkResult SetFrame(const float*, const float*) override { return 0x50100; }
    VkResult GetFrame(float*, float*) override { return 0x50100; }
    VkResult SetInt(uint32_t id, uintptr_t value) override;
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        if (id == VK_SOUND_LOOP) {
            *value = looping_;
            return VK_OK;
        }
        if (id == VK_SOUND_PLAYING) {
            *value = capturing_;
            return VK_OK;
        }
        return VK_E_FAIL;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_E_FAIL; }
    VkResult GetFloat(uint32_t, float*) override { return VK_E_FAIL; }
    VkResult SetPlayPosition(uint32_t) override { return VK_E_FAIL; }
    VkResult GetPlayPosition(uint32_t* playFrame, uint32_t* writeFrame) override;

    // Capture voices take no part in the ranking.
    bool Playback() const override { return false; }
    void Step(const float*, const float*) override { key = 0; }
    VkResult ListedPlay() override { return VK_OK; }
    VkResult ListedPause() override { return VK_OK; }
    VkResult ListedStop() override { return VK_OK; }
    bool Looping() const override { return false; }
    uint32_t ListedRelease() override { return Release(); }
    void ReapplyChannel(uint32_t) override {}

    CaptureSound* sound_;

private:
    void Destroy() override;
    Control* control_;
    uint32_t looping_ = 0, capturing_ = 0;
};

class CaptureSound final : public DeviceSound<IDirectSoundCaptureBuffer> {
public:
    VkResult Make(Control* control, Format* f) {
        control_ = control;
        channels = f->channels;
        format = f->format;
        length = f->length;
        frequency = f->frequency;
        bytesPerFrame = channels * VkSoundBits(format) / 8;
        WAVEFORMATEX wave = WaveFormat(channels, frequency, VkSoundBits(format));
        uint64_t size = uint64_t(bytesPerFrame) * length;
        if (size > DSBSIZE_MAX) return VK_E_FAIL;
        DSCBUFFERDESC desc{sizeof(DSCBUFFERDESC), 0, static_cast<DWORD>(size), 0, &wave};
        VkResult res = control->capture->CreateCaptureBuffer(&desc, &buffer, nullptr);
        if (res < 0) buffer = nullptr;
        return res;
    }

    VkResult SetInt(uint32_t, uint32_t) override { return VK_E_FAIL; }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case VK_SOUND_KIND: *value = VK_SOUND_KIND_CAPTURE; return VK_OK;
        case VK_SOUND_FORMAT: *value = format; return VK_OK;
        case VK_SOUND_LENGTH: *value = length; return VK_OK;
        case VK_SOUND_CHANNELS: *value = channels; return VK_OK;
        case VK_SOUND_FREQUENCY: *value = frequency; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetFloat(uint32_t, float) override { return VK_E_FAIL; }
    VkResult GetFloat(uint32_t, float*) override { return VK_E_FAIL; }
    VkResult CreateVoice(IVkSoundVoice** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        if (voice) return VK_E_FAIL;
        if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
        voice = VkMemNew<CaptureVoice>(this, control_);
        if (!voice) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        control_->Link(voice);
        *out = voice;
        return VK_OK;
    }

    CaptureVoice* voice = nullptr;

private:
    void Destroy() override {
        if (voice) voice->sound_ = nullptr;
        if (buffer) buffer->Release();
        VkMemDestroyObject(this);
    }
    Control* control_ = nullptr;
};

IVkSoundBuffer* CaptureVoice::GetOwner() {
    return sound_;
}

VkResult CaptureVoice::Play() {
    if (!sound_) return VK_E_FAIL;
    VkResult res = sound_->buffer->Start(looping_ ? DSCBSTART_LOOPING : 0);
    if (res < 0) return res;
    if (!capturing_) {
        capturing_ = 1;
        AddRef();
    }
    return VK_OK;
}

VkResult CaptureVoice::Stop() {
    if (!sound_ || !capturing_) return VK_OK;
    VkResult res = sound_->buffer->Stop();
    capturing_ = 0;
    Release();
    return res;
}

VkResult CaptureVoice::SetInt(uint32_t id, uintptr_t value) {
    if (id != VK_SOUND_LOOP) return VK_E_FAIL;
    looping_ = value ? 1 : 0;
    if (capturing_ && sound_) return sound_->buffer->Start(looping_ ? DSCBSTART_LOOPING : 0);
    return VK_OK;
}

VkResult CaptureVoice::GetPlayPosition(uint32_t* playFrame, uint32_t* writeFrame) {
    DWORD capture = 0, read = 0;
    if (!sound_ || !sound_->bytesPerFrame) return VK_E_FAIL;
    VkResult res = sound_->buffer->GetCurrentPosition(&capture, &read);
    if (playFrame) *playFrame = capture / sound_->bytesPerFrame;
    if (writeFrame) *writeFrame = read / sound_->bytesPerFrame;
    return res;
}

void CaptureVoice::Destroy() {
    control_->Unlink(this);
    if (sound_) sound_->voice = nullptr;
    VkMemDestroyObject(this);
}

// Control ---------------------------------------------------------------------------------

VkResult Format::CreateBuffer(IVkSoundBuffer** out) {
    if (!out) return VK_E_FAIL;
    *out = nullptr;
    VkResult res = Validate();
    if (res < 0) return res;
    switch (kind) {
    case VK_SOUND_KIND_SAMPLE: {
        if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
        Sample* sample = VkMemNew<Sample>(control_);
        if (!sample) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        res = sample->Make(this);
        if (res < 0) {
            sample->Release();
            return res;
        }
        *out = sample;
        return VK_OK;
    }
    case VK_SOUND_KIND_PRIMARY: return control_->MakePrimary(this, out);
    case VK_SOUND_KIND_CAPTURE: {
        if (control_->captureResult < 0 || !control_->capture) return control_->captureResult;
        CaptureSound* sound = nullptr;
        res = VkMemCreateObject(&sound);
        if (res < 0) return res;
        res = sound->Make(control_, this);
        if (res < 0) {
            sound->Release();
            return res;
        }
        *out = sound;
        return VK_OK;
    }
    default: return VK_E_FAIL;
    }
}

VkResult Control::MakePrimary(Format* format, IVkSoundBuffer** out) {
    if (listener) listener->Release();
    listener = nullptr;
    if (primary) primary->Release();
    primary = nullptr;
    PrimarySound* made = nullptr;
    VkResult res = VkMemCreateObject(&made);
    if (res < 0) return res;
    res = made->Make(this, format);
    if (res < 0) {
        made->Release();
        return res;
    }
    primary = made;
    if (made->buffer->QueryInterface(IID_IDirectSound3DListener,
                                     reinterpret_cast<void**>(&listener)) < 0)
        listener = nullptr;
    made->AddRef();
    *out = made;
    return VK_OK;
}

VkResult Control::CreateFormat(IVkSoundFormat** format) {
    if (!format) return VK_E_FAIL;
    *format = nullptr;
    if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
    Format* made = VkMemNew<Format>(this);
    if (!made) {
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    *format = made;
    return VK_OK;
}

VkResult Control::SetChannelVolume(uint32_t channel, float volume) {
    for (ChannelVolume* n = channels_; n; n = n->next) {
        if (n->channel != channel) continue;
        n->volume = volume;
        for (ListedVoice* v = voices_; v; v = v->next)
            v->ReapplyChannel(channel);
        return VK_OK;
    }
    ChannelVolume* node = static_cast<ChannelVolume*>(VkMemAlloc(sizeof(ChannelVolume)));
    if (!node) return VK_E_OUTOFMEMORY;
    *node = {nullptr, channel, volume};
    ChannelVolume** at = &channels_;
    while (*at)
        at = &(*at)->next;
    *at = node;
    return VK_OK;
}

VkResult Control::SetListener(const float* frame, const float* velocity) {
    if (frame) {
        if (listener) {
            VkResult res = listener->SetOrientation(frame[6], frame[7], frame[8], -frame[3],
                                                    -frame[4], -frame[5], DS3D_DEFERRED);
            if (res < 0) return res;
            res = listener->SetPosition(frame[9], frame[10], frame[11], DS3D_DEFERRED);
            if (res < 0) return res;
        }
        std::memcpy(frame_, frame, sizeof frame_);
    }
    if (velocity) {
        if (listener &&
            listener->SetVelocity(velocity[0], velocity[1], velocity[2], DS3D_DEFERRED) < 0)
            return VK_OK;
        std::memcpy(velocity_, velocity, sizeof velocity_);
    }
    return VK_OK;
}

VkResult Control::Update() {
    // Per-frame step of every voice; a finished one-shot may release itself here.
    for (ListedVoice* v = voices_; v;) {
        ListedVoice* next = v->next;
        v->Step(frame_, velocity_);
        v = next;
    }
    // Neighbour swaps, highest key first, until a pass makes none.
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (ListedVoice* a = voices_; a && a->next;) {
            ListedVoice* b = a->next;
            if (b->key > a->key) {
                // Swap a and b in the list.
                ListedVoice* before = a->prev;
                ListedVoice* after = b->next;
                if (before)
                    before->next = b;
                else
                    voices_ = b;
                b->prev = before;
                b->next = a;
                a->prev = b;
                a->next = after;
                if (after) after->prev = a;
                swapped = true;
            } else {
                a = b;
            }
        }
    }
    uint32_t i = 0;
    for (ListedVoice* v = voices_; v; ++i) {
        ListedVoice* next = v->next;
        if (v->Playback() && v->playing) {
            if (i < voiceLimit_) {
                if (v->evicted) {
                    v->evicted = 0;
                    v->ListedPlay();
                }
            } else if (!v->evicted) {
                if (v->Looping()) {
                    v->ListedPause();
                    v->evicted = 1;
                } else {
                    v->ListedStop();
                }
            }
        }
        v = next;
    }
    if (listener) {
        VkResult res = listener->CommitDeferredSettings();
        if (res < 0) return res;
    }
    return VK_OK;
}

VkResult Control::Open() {
    VkResult res = DirectSoundCreate(nullptr, &ds, nullptr);
    if (res < 0) {
        ds = nullptr;
        return res;
    }
    captureResult = DirectSoundCaptureCreate(nullptr, &capture, nullptr);
    if (captureResult < 0) capture = nullptr;
    IVkSoundFormat* format = nullptr;
    res = CreateFormat(&format);
    if (res < 0) return res;
    format->SetInt(VK_SOUND_KIND, VK_SOUND_KIND_PRIMARY);
    format->SetInt(VK_SOUND_CHANNELS, 2);
    format->SetInt(VK_SOUND_FREQUENCY, 22050);
    format->SetInt(VK_SOUND_FORMAT, VK_SOUND_S16);
    IVkSoundBuffer* made = nullptr;
    res = format->CreateBuffer(&made);
    format->Release();
    if (res < 0) return VK_E_FAIL;
    made->Release(); // the control keeps its own reference
    if (primary->SetInt(VK_SOUND_PLAYING, 1) < 0) return VK_E_FAIL;
    return VK_OK;
}

void Control::Shutdown() {
    while (voices_) {
        ListedVoice* v = voices_;
        // A voice not freed by this release stays linked; take it off the list anyway.
        Unlink(v);
        v->ListedRelease();
    }
    if (listener) listener->Release();
    listener = nullptr;
    if (primary) primary->Release();
    primary = nullptr;
    if (capture) capture->Release();
    capture = nullptr;
    if (ds) ds->Release();
    ds = nullptr;
    while (channels_) {
        ChannelVolume* n = channels_;
        channels_ = n->next;
        VkMemFree(n);
    }
}

VkResult Control::Setup() {
    if (!AppWindow()) return VK_E_FAIL;
    VkResult res = Open();
    if (res < 0) {
        Shutdown();
        return res;
    }
    res = SetChannelVolume(0, 1.0f);
    if (res < 0) {
        Shutdown();
        return res;
    }
    return VK_OK;
}

void Control::Destroy() {
    Shutdown();
    g_control = nullptr;
    VkMemDelete(this);
    VkMathsRelease();
    VkMemRelease();
    VkClose();
}

const VkCategoryRef kSoundControlCategory[] = {{&CATID_VkSoundControl, "Vesk SoundControl"}};

const VkComponentRecord kDxSoundControlRecords[] = {
    {&CLSID_VkDxSoundControl, 1, kSoundControlCategory, 0, nullptr, VkCreateDxSoundControl,
     "Vesk - DX Sound Control", "Vesk.DXSoundControl.5.0", "Vesk.DXSoundControl", nullptr},
};

} // namespace

VkResult VkCreateDxSoundControl(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_control) {
        g_control->AddRef();
        *out = static_cast<IVkSoundControl*>(g_control);
        return VK_OK;
    }
    VkResult res = VkOpen();
    if (res < 0) return res;
    res = VkMemAcquire();
    if (res < 0) {
        VkClose();
        return res;
    }
    res = VkMathsAcquire();
    if (res < 0) {
        VkMemRelease();
        VkClose();
        return res;
    }
    Control* control = VkMemNew<Control>();
    if (!control) {
        VkMathsRelease();
        VkMemRelease();
        VkClose();
        return VK_E_OUTOFMEMORY;
    }
    g_control = control;
    res = control->Setup();
    if (res < 0) {
        g_control = nullptr;
        VkMemDelete(control);
        VkMathsRelease();
        VkMemRelease();
        VkClose();
        return res;
    }
    *out = static_cast<IVkSoundControl*>(control);
    return VK_OK;
}

VkResult VkDxSoundControlModuleRegister(IVkRegistry* registry) {
    return VkModule<kDxSoundControlRecords>::Register(registry);
}
