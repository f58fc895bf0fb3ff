#include "platform/dsound/dsound.h"

#include "platform/sound/al.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

const IID IID_IDirectSound = {
    0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundBuffer = {
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DBuffer = {
    0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DListener = {
    0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundCapture = {
    0xB0210781, 0x89CD, 0x11D0, {0xAF, 0x08, 0, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
const IID IID_IDirectSoundCaptureBuffer = {
    0xB0210782, 0x89CD, 0x11D0, {0xAF, 0x08, 0, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

namespace {

float Attenuation(LONG hundredthsDb) {
    return std::pow(10.0f, static_cast<float>(hundredthsDb) / 2000.0f);
}

// A PCM format DirectSound accepts for a buffer.
bool ValidPcm(const WAVEFORMATEX* f) {
    return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
           (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
           f->nSamplesPerSec >= DSBFREQUENCY_MIN && f->nSamplesPerSec <= DSBFREQUENCY_MAX &&
           f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

// Lock arithmetic shared by playback and capture buffers: a range of a ring of size bytes,
// split in two at the end.
HRESULT LockRing(uint8_t* data, DWORD size, DWORD offset, DWORD bytes, DWORD flags, void** first,
                 DWORD* firstBytes, void** second, DWORD* secondBytes) {
    if (!first || !firstBytes) return DSERR_INVALIDPARAM;
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = size;
    }
    if (offset >= size || bytes > size || bytes == 0) return DSERR_INVALIDPARAM;
    DWORD head = size - offset;
    *first = data + offset;
    *firstBytes = bytes < head ? bytes : head;
    void* secondPtr = nullptr;
    DWORD secondCount = 0;
    if (bytes > head) {
        secondPtr = data;
        secondCount = bytes - head;
    }
    if (second) *second = secondPtr;
    if (secondBytes) *secondBytes = secondCount;
    return DS_OK;
}

// The data of a secondary buffer, shared by its duplicates.
struct SharedData {
    uint32_t users = 1;
    std::vector<uint8_t> bytes;
    WAVEFORMATEX format{};
    AlSamples samples{};
};

class Device;
class Buffer;

// Every live secondary buffer, so that the listener's commit reaches the deferred settings.
std::vector<Buffer*> g_buffers;
Device* g_device = nullptr;

struct Vec3 {
    float x, y, z;
};

struct Settings3D {
    Vec3 position{0, 0, 0};
    Vec3 velocity{0, 0, 0};
    Vec3 orientation{0, 0, 1};
    float minDistance = 1.0f;
    float maxDistance = 1.0e9f;
    DWORD insideAngle = 360;
    DWORD outsideAngle = 360;
    LONG outsideVolume = 0;
    DWORD mode = DS3DMODE_NORMAL;
};

template <class T> ULONG Drop(T* self, ULONG& count) {
    ULONG left = --count;
    if (left == 0) delete self;
    return left;
}

// QueryInterface of an object with a main face and, where `second` is given, one more face.
HRESULT Answer(REFIID iid, void** out, ULONG& count, const IID& mainIid, void* main,
               const IID& secondIid = IID_IUnknown, void* second = nullptr) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == mainIid)
        *out = main;
    else if (second && iid == secondIid)
        *out = second;
    else
        return DSERR_NOINTERFACE;
    ++count;
    return DS_OK;
}

// A value handed out through an out pointer that must be given.
template <class T> HRESULT Hand(T* out, T value) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = value;
    return DS_OK;
}

HRESULT FillCaps(DSBCAPS* caps, DWORD flags, size_t bytes) {
    if (!caps) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags;
    caps->dwBufferBytes = static_cast<DWORD>(bytes);
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

class Buffer final : public IDirectSoundBuffer, public IDirectSound3DBuffer {
public:
    Buffer(SharedData* shared, DWORD flags) : shared_(shared), flags_(flags) {
        g_buffers.push_back(this);
        AlAcquire();
    }
    ~Buffer() {
        if (voiceOpen_) AlVoiceClose(&voice_);
        if (--shared_->users == 0) {
            AlSamplesFree(&shared_->samples);
            delete shared_;
        }
        for (size_t i = 0; i < g_buffers.size(); ++i) {
            if (g_buffers[i] == this) {
                g_buffers[i] = g_buffers.back();
                g_buffers.pop_back();
                break;
            }
        }
        AlRelease();
    }

    // A duplicate shares the data and starts with the original's settings.
    Buffer* Duplicate() {
        Buffer* copy = new (std::nothrow) Buffer(shared_, flags_);
        if (!copy) return nullptr;
        ++shared_->users;
        copy->volume_ = volume_;
        copy->pan_ = pan_;
        copy->frequency_ = frequency_;
        copy->applied_ = applied_;
        copy->pending_ = applied_;
        return copy;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        IDirectSound3DBuffer* face3d = flags_ & DSBCAPS_CTRL3D ? this : nullptr;
        return Answer(iid, out, count_, IID_IDirectSoundBuffer,
                      static_cast<IDirectSoundBuffer*>(this), IID_IDirectSound3DBuffer, face3d);
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override { return Drop(this, count_); }

    HRESULT GetCaps(DSBCAPS* caps) override {
        return FillCaps(caps, flags_, shared_->bytes.size());
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
        DWORD at = position_;
        if (voiceOpen_ && (AlVoicePlaying(&voice_) || AlVoicePaused(&voice_))) {
            uint64_t frames = AlVoiceOffset(&voice_);
            uint64_t total = shared_->samples.frames ? shared_->samples.frames : 1;
            at = static_cast<DWORD>((frames % total) * shared_->format.nBlockAlign);
        }
        if (play) *play = at;
        if (write) *write = at;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override {
        return CopyFormat(shared_->format, format, size, written);
    }
    HRESULT GetVolume(LONG* volume) override { return Hand<LONG>(volume, volume_); }
    HRESULT GetPan(LONG* pan) override { return Hand<LONG>(pan, pan_); }
    HRESULT GetFrequency(DWORD* frequency) override {
        return Hand<DWORD>(frequency, frequency_ ? frequency_ : shared_->format.nSamplesPerSec);
    }
    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        *status = 0;
        if (voiceOpen_ && AlVoicePlaying(&voice_))
            *status = DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }
    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                 DWORD* secondBytes, DWORD flags) override {
        if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
        return LockRing(shared_->bytes.data(), static_cast<DWORD>(shared_->bytes.size()), offset,
                        bytes, flags, first, firstBytes, second, secondBytes);
    }
    HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) override {
        uint8_t* base = shared_->bytes.data();
        size_t size = shared_->bytes.size();
        const DWORD align = shared_->format.nBlockAlign;
        // Each region must lie inside the buffer; the written frames reach OpenAL.
        for (int i = 0; i < 2; ++i) {
            uint8_t* at = static_cast<uint8_t*>(i == 0 ? first : second);
            DWORD bytes = i == 0 ? firstBytes : secondBytes;
            if (!at || bytes == 0) continue;
            if (at < base || at > base + size || bytes > size_t(base + size - at))
                return DSERR_INVALIDPARAM;
            uint32_t startFrame = static_cast<uint32_t>((at - base) / align);
            uint32_t endFrame = static_cast<uint32_t>((at - base + bytes + align - 1) / align);
            AlSamplesWrite(&shared_->samples, startFrame, base + size_t(startFrame) * align,
                           endFrame - startFrame);
        }
        return DS_OK;
    }
    HRESULT Play(DWORD, DWORD, DWORD flags) override {
        if (!voiceOpen_) {
            if (!AlVoiceOpen(&voice_)) return DSERR_ALLOCATED;
            voiceOpen_ = true;
            AlVoiceAttach(&voice_, &shared_->samples, 1);
            ApplyMix();
            Apply3D();
            AlVoiceSetOffset(&voice_, position_ / shared_->format.nBlockAlign);
        }
        looping_ = (flags & DSBPLAY_LOOPING) != 0;
        AlVoiceSetLooping(&voice_, looping_);
        if (!AlVoicePlaying(&voice_)) AlVoicePlay(&voice_);
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD position) override {
        if (position >= shared_->bytes.size()) return DSERR_INVALIDPARAM;
        position_ = position - position % shared_->format.nBlockAlign;
        if (voiceOpen_) AlVoiceSetOffset(&voice_, position_ / shared_->format.nBlockAlign);
        return DS_OK;
    }
    HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG volume) override {
        if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        volume_ = volume;
        ApplyMix();
        return DS_OK;
    }
    HRESULT SetPan(LONG pan) override {
        if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        pan_ = pan;
        ApplyMix();
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD frequency) override {
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL &&
            (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        frequency_ = frequency;
        ApplyMix();
        return DS_OK;
    }
    HRESULT Stop() override {
        if (voiceOpen_) {
            GetCurrentPosition(&position_, nullptr);
            AlVoicePause(&voice_);
        }
        return DS_OK;
    }
    // Buffers are never lost.
    HRESULT Restore() override { return DS_OK; }

    // IDirectSound3DBuffer
    HRESULT GetConeAngles(DWORD* inside, DWORD* outside) override {
        if (inside) *inside = pending_.insideAngle;
        if (outside) *outside = pending_.outsideAngle;
        return DS_OK;
    }
    HRESULT GetMode(DWORD* mode) override {
        if (!mode) return DSERR_INVALIDPARAM;
        *mode = pending_.mode;
        return DS_OK;
    }
    HRESULT SetConeAngles(DWORD inside, DWORD outside, DWORD apply) override {
        if (inside > 360 || outside > 360 || inside > outside) return DSERR_INVALIDPARAM;
        pending_.insideAngle = inside;
        pending_.outsideAngle = outside;
        return Settle(apply);
    }
    HRESULT SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        pending_.orientation = {x, y, z};
        return Settle(apply);
    }
    HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) override {
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        pending_.outsideVolume = volume;
        return Settle(apply);
    }
    HRESULT SetMaxDistance(D3DVALUE distance, DWORD apply) override {
        if (!(distance > 0.0f)) return DSERR_INVALIDPARAM;
        pending_.maxDistance = distance;
        return Settle(apply);
    }
    HRESULT SetMinDistance(D3DVALUE distance, DWORD apply) override {
        if (!(distance > 0.0f)) return DSERR_INVALIDPARAM;
        pending_.minDistance = distance;
        return Settle(apply);
    }
    HRESULT SetMode(DWORD mode, DWORD apply) override {
        if (mode > DS3DMODE_DISABLE) return DSERR_INVALIDPARAM;
        pending_.mode = mode;
        return Settle(apply);
    }
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        pending_.position = {x, y, z};
        return Settle(apply);
    }
    HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        pending_.velocity = {x, y, z};
        return Settle(apply);
    }

    // The deferred 3-D settings take effect.
    void Commit() {
        applied_ = pending_;
        Apply3D();
    }

    static HRESULT CopyFormat(const WAVEFORMATEX& from, WAVEFORMATEX* format, DWORD size,
                              DWORD* written) {
        if (!format && !written) return DSERR_INVALIDPARAM;
        DWORD n = sizeof(WAVEFORMATEX);
        if (format) {
            if (size < 16) return DSERR_INVALIDPARAM;
            n = size < n ? size : n;
            std::memcpy(format, &from, n);
        }
        if (written) *written = n;
        return DS_OK;
    }

private:
    HRESULT Settle(DWORD apply) {
        if (apply == DS3D_IMMEDIATE) Commit();
        return DS_OK;
    }
    void ApplyMix() {
        if (!voiceOpen_) return;
        float left = pan_ > 0 ? Attenuation(-pan_) : 1.0f;
        float right = pan_ < 0 ? Attenuation(pan_) : 1.0f;
        AlVoiceSetGain(&voice_, volume_ <= DSBVOLUME_MIN ? 0.0f : Attenuation(volume_), left,
                       right);
        DWORD rate = shared_->format.nSamplesPerSec;
        AlVoiceSetPitch(&voice_, frequency_ ? float(frequency_) / float(rate) : 1.0f);
    }
    void Apply3D() {
        if (!voiceOpen_ || !(flags_ & DSBCAPS_CTRL3D)) return;
        const Settings3D& s = applied_;
        AlVoiceSetPositional(&voice_, s.mode != DS3DMODE_DISABLE);
        if (s.mode == DS3DMODE_DISABLE) return;
        alSourcei(voice_.sources[0], AL_SOURCE_RELATIVE,
                  s.mode == DS3DMODE_HEADRELATIVE ? AL_TRUE : AL_FALSE);
        AlVoiceSet3f(&voice_, AL_POSITION, s.position.x, s.position.y, -s.position.z);
        AlVoiceSet3f(&voice_, AL_VELOCITY, s.velocity.x, s.velocity.y, -s.velocity.z);
        AlVoiceSet3f(&voice_, AL_DIRECTION, s.orientation.x, s.orientation.y, -s.orientation.z);
        AlVoiceSetf(&voice_, AL_REFERENCE_DISTANCE, s.minDistance);
        AlVoiceSetf(&voice_, AL_MAX_DISTANCE, s.maxDistance);
        AlVoiceSetf(&voice_, AL_CONE_INNER_ANGLE, float(s.insideAngle));
        AlVoiceSetf(&voice_, AL_CONE_OUTER_ANGLE, float(s.outsideAngle));
        AlVoiceSetf(&voice_, AL_CONE_OUTER_GAIN, Attenuation(s.outsideVolume));
    }

    ULONG count_ = 1;
    SharedData* shared_;
    DWORD flags_;
    AlVoice voice_{};
    bool voiceOpen_ = false;
    bool looping_ = false;
    DWORD position_ = 0;
    LONG volume_ = 0;
    LONG pan_ = 0;
    DWORD frequency_ = 0;
    Settings3D pending_;
    Settings3D applied_;
};

struct ListenerState {
    Vec3 position{0, 0, 0};
    Vec3 velocity{0, 0, 0};
    Vec3 front{0, 0, 1};
    Vec3 top{0, 1, 0};
    float distanceFactor = 1.0f;
    float rolloffFactor = 1.0f;
    float dopplerFactor = 1.0f;
};

// The primary buffer: keeps its format and its playing state; the listener is its 3-D face.
class Primary final : public IDirectSoundBuffer, public IDirectSound3DListener {
public:
    Primary(Device* device, DWORD flags);
    ~Primary();

    HRESULT QueryInterface(REFIID iid, void** out) override {
        IDirectSound3DListener* listener = flags_ & DSBCAPS_CTRL3D ? this : nullptr;
        return Answer(iid, out, count_, IID_IDirectSoundBuffer,
                      static_cast<IDirectSoundBuffer*>(this), IID_IDirectSound3DListener, listener);
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override { return Drop(this, count_); }

    HRESULT GetCaps(DSBCAPS* caps) override { return FillCaps(caps, flags_, bytes_.size()); }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override {
        return Buffer::CopyFormat(format_, format, size, written);
    }
    HRESULT GetVolume(LONG* volume) override { return Hand<LONG>(volume, 0); }
    HRESULT GetPan(LONG* pan) override { return Hand<LONG>(pan, 0); }
    HRESULT GetFrequency(DWORD* frequency) override {
        return Hand<DWORD>(frequency, format_.nSamplesPerSec);
    }
    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
        return DS_OK;
    }
    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                 DWORD* secondBytes, DWORD flags) override;
    HRESULT Play(DWORD, DWORD, DWORD flags) override {
        if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
        playing_ = true;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT SetVolume(LONG volume) override {
        return volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX ? DSERR_INVALIDPARAM : DS_OK;
    }
    HRESULT SetPan(LONG pan) override {
        return pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT ? DSERR_INVALIDPARAM : DS_OK;
    }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override {
        playing_ = false;
        return DS_OK;
    }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DS_OK; }
    HRESULT Restore() override { return DS_OK; }

    // IDirectSound3DListener
    HRESULT GetDistanceFactor(D3DVALUE* factor) override {
        if (!factor) return DSERR_INVALIDPARAM;
        *factor = pending_.distanceFactor;
        return DS_OK;
    }
    HRESULT GetRolloffFactor(D3DVALUE* factor) override {
        if (!factor) return DSERR_INVALIDPARAM;
        *factor = pending_.rolloffFactor;
        return DS_OK;
    }
    HRESULT SetDistanceFactor(D3DVALUE factor, DWORD apply) override {
        if (!(factor > 0.0f)) return DSERR_INVALIDPARAM;
        pending_.distanceFactor = factor;
        return Settle(apply);
    }
    HRESULT SetDopplerFactor(D3DVALUE factor, DWORD apply) override {
        if (factor < 0.0f || factor > 10.0f) return DSERR_INVALIDPARAM;
        pending_.dopplerFactor = factor;
        return Settle(apply);
    }
    HRESULT SetOrientation(D3DVALUE fx, D3DVALUE fy, D3DVALUE fz, D3DVALUE tx, D3DVALUE ty,
                           D3DVALUE tz, DWORD apply) override {
        pending_.front = {fx, fy, fz};
        pending_.top = {tx, ty, tz};
        return Settle(apply);
    }
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        pending_.position = {x, y, z};
        return Settle(apply);
    }
    HRESULT SetRolloffFactor(D3DVALUE factor, DWORD apply) override {
        if (factor < 0.0f || factor > 10.0f) return DSERR_INVALIDPARAM;
        pending_.rolloffFactor = factor;
        return Settle(apply);
    }
    HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        pending_.velocity = {x, y, z};
        return Settle(apply);
    }
    HRESULT CommitDeferredSettings() override {
        const ListenerState& s = pending_;
        alListener3f(AL_POSITION, s.position.x, s.position.y, -s.position.z);
        alListener3f(AL_VELOCITY, s.velocity.x, s.velocity.y, -s.velocity.z);
        float orientation[6] = {s.front.x, s.front.y, -s.front.z, s.top.x, s.top.y, -s.top.z};
        alListenerfv(AL_ORIENTATION, orientation);
        alDopplerFactor(s.dopplerFactor);
        alGetError();
        for (Buffer* buffer : g_buffers)
            buffer->Commit();
        return DS_OK;
    }

private:
    HRESULT Settle(DWORD apply) {
        return apply == DS3D_IMMEDIATE ? CommitDeferredSettings() : DS_OK;
    }

    ULONG count_ = 1;
    Device* device_;
    DWORD flags_;
    WAVEFORMATEX format_{};
    std::vector<uint8_t> bytes_;
    bool playing_ = false;
    ListenerState pending_;
};

class Device final : public IDirectSound {
public:
    Device() { g_device = this; }
    ~Device() {
        if (g_device == this) g_device = nullptr;
        AlRelease();
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return Answer(iid, out, count_, IID_IDirectSound, static_cast<IDirectSound*>(this));
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override { return Drop(this, count_); }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                              void* outer) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DSERR_NOINTERFACE;
        if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
        if (level == 0) return DSERR_PRIOLEVELNEEDED;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->lpwfxFormat || desc->dwBufferBytes) return DSERR_INVALIDPARAM;
            Primary* made = new (std::nothrow) Primary(this, desc->dwFlags);
            if (!made) return DSERR_OUTOFMEMORY;
            *out = made;
            return DS_OK;
        }
        if ((desc->dwFlags & DSBCAPS_LOCHARDWARE) && (desc->dwFlags & DSBCAPS_LOCSOFTWARE))
            return DSERR_INVALIDPARAM;
        if (!ValidPcm(desc->lpwfxFormat)) return DSERR_BADFORMAT;
        const WAVEFORMATEX& f = *desc->lpwfxFormat;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
            return DSERR_INVALIDPARAM;
        if ((desc->dwFlags & DSBCAPS_CTRL3D) && f.nChannels != 1) return DSERR_INVALIDPARAM;
        DWORD bytes = desc->dwBufferBytes - desc->dwBufferBytes % f.nBlockAlign;
        SharedData* shared = new (std::nothrow) SharedData;
        if (!shared) return DSERR_OUTOFMEMORY;
        shared->format = f;
        shared->format.cbSize = 0;
        try {
            shared->bytes.assign(bytes, f.wBitsPerSample == 8 ? 0x80 : 0);
        } catch (const std::bad_alloc&) {
            delete shared;
            return DSERR_OUTOFMEMORY;
        }
        if (!AlSamplesCreateMapped(&shared->samples, bytes / f.nBlockAlign, f.nChannels,
                                   f.wBitsPerSample, f.nSamplesPerSec)) {
            delete shared;
            return DSERR_OUTOFMEMORY;
        }
        Buffer* made = new (std::nothrow) Buffer(shared, desc->dwFlags);
        if (!made) {
            AlSamplesFree(&shared->samples);
            delete shared;
            return DSERR_OUTOFMEMORY;
        }
        *out = made;
        return DS_OK;
    }
    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        Buffer* source = nullptr;
        for (Buffer* b : g_buffers)
            if (static_cast<IDirectSoundBuffer*>(b) == original) source = b;
        if (!source) return DSERR_INVALIDCALL;
        Buffer* copy = source->Duplicate();
        if (!copy) return DSERR_OUTOFMEMORY;
        *out = copy;
        return DS_OK;
    }
    // Any window the window layer issued.
    HRESULT SetCooperativeLevel(HWND window, DWORD newLevel) override {
        if (!window || !IsWindow(window)) return DSERR_INVALIDPARAM;
        if (newLevel < DSSCL_NORMAL || newLevel > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        level = newLevel;
        return DS_OK;
    }

    DWORD level = 0;

private:
    ULONG count_ = 1;
};

Primary::Primary(Device* device, DWORD flags) : device_(device), flags_(flags) {
    device_->AddRef();
    format_ = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
    bytes_.assign(format_.nAvgBytesPerSec / 2, 0);
}

Primary::~Primary() {
    device_->Release();
}

HRESULT Primary::Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                      DWORD* secondBytes, DWORD flags) {
    if (device_->level != DSSCL_WRITEPRIMARY) return DSERR_PRIOLEVELNEEDED;
    return LockRing(bytes_.data(), static_cast<DWORD>(bytes_.size()), offset, bytes, flags, first,
                    firstBytes, second, secondBytes);
}

HRESULT Primary::SetFormat(const WAVEFORMATEX* format) {
    if (device_->level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    if (!ValidPcm(format)) return DSERR_BADFORMAT;
    format_ = *format;
    format_.cbSize = 0;
    format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
    bytes_.assign(format_.nAvgBytesPerSec / 2 - format_.nAvgBytesPerSec / 2 % format_.nBlockAlign,
                  0);
    return DS_OK;
}

// Capture ---------------------------------------------------------------------------------

DSCaptureGenerator g_generator = nullptr;

class CaptureBuffer;
std::vector<CaptureBuffer*> g_captures;

class CaptureBuffer final : public IDirectSoundCaptureBuffer {
public:
    CaptureBuffer(const WAVEFORMATEX& format, DWORD bytes, ALCdevice* device)
        : format_(format), device_(device) {
        bytes_.assign(bytes, format.wBitsPerSample == 8 ? 0x80 : 0);
        g_captures.push_back(this);
    }
    ~CaptureBuffer() {
        if (device_) {
            alcCaptureStop(device_);
            alcCaptureCloseDevice(device_);
        }
        for (size_t i = 0; i < g_captures.size(); ++i) {
            if (g_captures[i] == this) {
                g_captures[i] = g_captures.back();
                g_captures.pop_back();
                break;
            }
        }
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return Answer(iid, out, count_, IID_IDirectSoundCaptureBuffer,
                      static_cast<IDirectSoundCaptureBuffer*>(this));
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override { return Drop(this, count_); }

    HRESULT GetCurrentPosition(DWORD* capture, DWORD* read) override {
        Poll();
        if (capture) *capture = position_;
        if (read) *read = position_;
        return DS_OK;
    }
    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        Poll();
        *status = capturing_ ? DSCBSTATUS_CAPTURING | (looping_ ? DSCBSTATUS_LOOPING : 0) : 0;
        return DS_OK;
    }
    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                 DWORD* secondBytes, DWORD flags) override {
        Poll();
        return LockRing(bytes_.data(), static_cast<DWORD>(bytes_.size()), offset, bytes,
                        flags & DSBLOCK_ENTIREBUFFER, first, firstBytes, second, secondBytes);
    }
    HRESULT Start(DWORD flags) override {
        looping_ = (flags & DSCBSTART_LOOPING) != 0;
        if (!capturing_ && device_) alcCaptureStart(device_);
        capturing_ = true;
        return DS_OK;
    }
    HRESULT Stop() override {
        Poll();
        if (capturing_ && device_) alcCaptureStop(device_);
        capturing_ = false;
        return DS_OK;
    }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DS_OK; }

    // Takes in frames from the generator (test seam).
    void Feed(uint32_t frames) {
        if (!capturing_ || !g_generator || device_) return;
        std::vector<int16_t> in(size_t(frames) * format_.nChannels);
        g_generator(in.data(), frames, format_.nChannels, format_.nSamplesPerSec, fed_);
        fed_ += frames;
        if (format_.wBitsPerSample == 16) {
            Store(reinterpret_cast<const uint8_t*>(in.data()), in.size() * 2);
        } else {
            std::vector<uint8_t> bytes(in.size());
            for (size_t i = 0; i < in.size(); ++i)
                bytes[i] = static_cast<uint8_t>((in[i] >> 8) + 0x80);
            Store(bytes.data(), bytes.size());
        }
    }

private:
    // Takes in what the real capture device has recorded.
    void Poll() {
        if (!device_ || !capturing_) return;
        ALCint available = 0;
        alcGetIntegerv(device_, ALC_CAPTURE_SAMPLES, 1, &available);
        if (available <= 0) return;
        std::vector<uint8_t> in(size_t(available) * format_.nBlockAlign);
        alcCaptureSamples(device_, in.data(), available);
        Store(in.data(), in.size());
    }
    // Writes bytes at the capture position, wrapping when looping and stopping at the end
    // otherwise.
    void Store(const uint8_t* in, size_t count) {
        size_t size = bytes_.size();
        for (size_t i = 0; i < count && capturing_; ++i) {
            bytes_[position_] = in[i];
            if (++position_ == size) {
                position_ = 0;
                if (!looping_) capturing_ = false;
            }
        }
    }

    ULONG count_ = 1;
    WAVEFORMATEX format_;
    ALCdevice* device_;
    std::vector<uint8_t> bytes_;
    DWORD position_ = 0;
    bool capturing_ = false;
    bool looping_ = false;
    uint64_t fed_ = 0;
};

ALenum CaptureFormat(const WAVEFORMATEX& f) {
    if (f.nChannels == 1) return f.wBitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    return f.wBitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

class Capture final : public IDirectSoundCapture {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return Answer(iid, out, count_, IID_IDirectSoundCapture,
                      static_cast<IDirectSoundCapture*>(this));
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override { return Drop(this, count_); }

    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** out,
                                void* outer) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DSERR_NOINTERFACE;
        if (!desc || desc->dwSize != sizeof(DSCBUFFERDESC)) return DSERR_INVALIDPARAM;
        if (!ValidPcm(desc->lpwfxFormat)) return DSERR_BADFORMAT;
        const WAVEFORMATEX& f = *desc->lpwfxFormat;
        if (desc->dwBufferBytes < f.nBlockAlign || desc->dwBufferBytes > DSBSIZE_MAX)
            return DSERR_INVALIDPARAM;
        DWORD bytes = desc->dwBufferBytes - desc->dwBufferBytes % f.nBlockAlign;
        ALCdevice* device = nullptr;
        if (!g_generator) {
            device = alcCaptureOpenDevice(nullptr, f.nSamplesPerSec, CaptureFormat(f),
                                          ALCsizei(bytes / f.nBlockAlign));
            if (!device) return DSERR_NODRIVER;
        }
        CaptureBuffer* made = new (std::nothrow) CaptureBuffer(f, bytes, device);
        if (!made) {
            if (device) alcCaptureCloseDevice(device);
            return DSERR_OUTOFMEMORY;
        }
        *out = made;
        return DS_OK;
    }

private:
    ULONG count_ = 1;
};

} // namespace

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** out, void* outer) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DSERR_NOINTERFACE;
    if (device) return DSERR_NODRIVER;
    if (g_device) return DSERR_ALLOCATED;
    if (!AlAcquire()) return DSERR_NODRIVER;
    Device* made = new (std::nothrow) Device;
    if (!made) {
        AlRelease();
        return DSERR_OUTOFMEMORY;
    }
    *out = made;
    return DS_OK;
}

HRESULT DirectSoundCaptureCreate(const GUID* device, IDirectSoundCapture** out, void* outer) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DSERR_NOINTERFACE;
    if (device) return DSERR_NODRIVER;
    if (!g_generator) {
        // Probe for a capture device; each capture buffer opens its own in its format.
        ALCdevice* probe = alcCaptureOpenDevice(nullptr, 22050, AL_FORMAT_MONO16, 4096);
        if (!probe) return DSERR_NODRIVER;
        alcCaptureCloseDevice(probe);
    }
    Capture* made = new (std::nothrow) Capture;
    if (!made) return DSERR_OUTOFMEMORY;
    *out = made;
    return DS_OK;
}

void DSoundSetCaptureGenerator(DSCaptureGenerator generator) {
    g_generator = generator;
}

void DSoundAdvanceCapture(uint32_t frames) {
    for (CaptureBuffer* buffer : g_captures)
        buffer->Feed(frames);
}
