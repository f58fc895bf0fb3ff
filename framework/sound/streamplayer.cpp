#include "framework/sound/streamplayer.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/sound/dxsound.h"
#include "framework/sound/nullsound.h"
#include "framework/sound/soundrw.h"
#include "framework/streams/storage.h"

#include <cstring>

const VkGuid CLSID_VkStreamedSoundPlayer = {
    0x8272C380, 0xA705, 0x11D2, {0xAC, 0x17, 0x00, 0x60, 0x08, 0x4E, 0xF0, 0x0B}};
const VkGuid IID_IVkStreamedSoundPlayer = {
    0x42A73960, 0xA70B, 0x11D2, {0xAC, 0x17, 0x00, 0x60, 0x08, 0x4E, 0xF0, 0x0B}};

namespace {

// Storage translation mode: names are used as given.
constexpr uint32_t kUntranslated = 1;

class Player;
class Stream;

class StreamVoice final : public VkObject<IVkSoundVoice, IID_IVkSoundVoice> {
public:
    explicit StreamVoice(Stream* stream);

    IVkSoundBuffer* GetOwner() override;
    // The ring loops unless the file's end is already in it and the voice does not loop.
    VkResult Play() override {
        device->SetInt(VK_SOUND_LOOP, ended ? 0 : 1);
        return device->Play();
    }
    VkResult Stop() override {
        VkResult res = RewindRing();
        if (res < 0) return res;
        return device->Stop();
    }
    VkResult Pause() override { return device->Pause(); }
    VkResult Rewind() override {
        VkResult res = RewindRing();
        if (res < 0) return res;
        return device->Rewind();
    }
    VkResult SetFrame(const float* frame, const float* velocity) override {
        return device->SetFrame(frame, velocity);
    }
    VkResult GetFrame(float* frame, float* velocity) override {
        return device->GetFrame(frame, velocity);
    }
    VkResult SetInt(uint32_t id, uintptr_t value) override {
        if (id == VK_SOUND_LOOP) {
            loop = value ? 1 : 0;
            return VK_OK;
        }
        return device->SetInt(id, value);
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (id == VK_SOUND_LOOP) {
            if (!value) return VK_E_FAIL;
            *value = loop;
            return VK_OK;
        }
        return device->GetInt(id, value);
    }
    VkResult SetFloat(uint32_t id, float value) override { return device->SetFloat(id, value); }
    VkResult GetFloat(uint32_t id, float* value) override { return device->GetFloat(id, value); }
    VkResult SetPlayPosition(uint32_t frame) override {
        uint64_t at = uint64_t(frame) * BytesPerFrame();
        if (at > INT32_MAX) return VK_E_FAIL;
        VkResult res = reader->Seek(static_cast<int32_t>(at), VK_SEEK_SET, nullptr);
        if (res < 0) return res;
        ended = false;
        res = Refill(0, RingLength());
        if (res < 0) return res;
        seen = 0;
        return device->SetPlayPosition(frame);
    }
    VkResult GetPlayPosition(uint32_t* position, uint32_t*) override {
        uint32_t at = 0;
        VkResult res = reader->Seek(0, VK_SEEK_CUR, &at);
        if (res < 0) return res;
        if (position) *position = at;
        return VK_OK;
    }

    // Set-up after construction: the reader over its own copy of the file, the ring and its
    // device voice.
    VkResult Open(IVkStorage* storage, const char* name, IVkSoundRW* rw, IVkSoundFormat* format,
                  uint32_t fileFormat, uint32_t frequency, uint32_t channels);
    // Refills the half of the ring that has just played.
    VkResult Service();

    StreamVoice* prev = nullptr;
    StreamVoice* next = nullptr;
    Stream* stream;
    IVkStream* reader = nullptr;
    IVkSoundBuffer* ring = nullptr;
    IVkSoundVoice* device = nullptr;
    uint32_t seen = 0;
    uint32_t loop = 0;
    // A refill met the end of a file that does not loop.
    bool ended = false;

private:
    void Destroy() override;
    uint32_t RingLength() {
        uint32_t length = 0;
        ring->GetInt(VK_SOUND_LENGTH, &length);
        return length;
    }
    uint64_t BytesPerFrame() {
        return uint64_t(VkSoundBits(ring->GetFormat())) * ring->GetChannels() / 8;
    }
    VkResult RewindRing() {
        VkResult res = reader->Seek(0, VK_SEEK_SET, nullptr);
        if (res < 0) return res;
        ended = false;
        res = Refill(0, RingLength());
        if (res < 0) return res;
        seen = 0;
        return VK_OK;
    }
    VkResult Refill(uint32_t start, uint32_t count);
    // Reads into the region until it is full or the data ends; the bytes read come back.
    VkResult ReadInto(uint8_t* at, uint64_t bytes, uint64_t* got);
};

class Stream final : public VkObject<IVkSoundBuffer, IID_IVkSoundBuffer> {
public:
    Stream(Player* player, IVkStorage* storage, const char* name, IVkSoundRW* rw,
           IVkSoundFormat* format)
        : player_(player), name_(name), storage_(storage), rw_(rw), format_(format) {
        storage_->AddRef();
        rw_->AddRef();
        format_->AddRef();
    }

    VkResult Setup() {
        IVkStream* file = nullptr;
        VkResult res = storage_->OpenStream(name_, VK_ACCESS_READ, kUntranslated, &file);
        if (res < 0) return res;
        res = rw_->GetInfo(file, &length_, &fileFormat_, &channels_, &frequency_);
        file->Release();
        return res;
    }

    uint32_t GetLength() override { return length_; }
    uint32_t GetFormat() override { return fileFormat_; }
    uint32_t GetChannels() override { return channels_; }
    VkResult Lock(uint32_t, void** data) override {
        if (data) *data = nullptr;
        return VK_E_FAIL;
    }
    VkResult Unlock() override { return VK_OK; }
    VkResult LockRange(uint32_t, uint32_t, uint32_t, void** first, uint32_t* firstCount, void**,
                       uint32_t*) override {
        if (first) *first = nullptr;
        if (firstCount) *firstCount = 0;
        return VK_E_FAIL;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id == VK_SOUND_FREQUENCY)
            frequency_ = value;
        else if (id == VK_SOUND_PRIORITY)
            priority_ = value;
        else
            return VK_E_FAIL;
        format_->SetInt(id, value);
        for (StreamVoice* v = voices_; v; v = v->next)
            v->ring->SetInt(id, value);
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (id) {
        case 1: *value = 0; return VK_OK;
        case 2: *value = fileFormat_; return VK_OK;
        case 3: *value = length_; return VK_OK;
        case 4: *value = channels_; return VK_OK;
        case 5: *value = frequency_; return VK_OK;
        case 6: *value = priority_; return VK_OK;
        case 7: *value = 0; return VK_OK;
        case 8: *value = 0; return VK_OK;
        case 9: *value = 1; return VK_OK;
        case 10: *value = 0; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    VkResult SetFloat(uint32_t id, float value) override {
        if (id != VK_SOUND_VOLUME) return VK_E_FAIL;
        volume_ = value;
        for (StreamVoice* v = voices_; v; v = v->next) {
            float own = 1.0f;
            v->GetFloat(VK_SOUND_VOLUME, &own);
            v->SetFloat(VK_SOUND_VOLUME, own);
        }
        return VK_OK;
    }
    VkResult GetFloat(uint32_t id, float* value) override {
        if (id != VK_SOUND_VOLUME || !value) return VK_E_FAIL;
        *value = volume_;
        return VK_OK;
    }
    VkResult CreateVoice(IVkSoundVoice** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
        StreamVoice* voice = VkMemNew<StreamVoice>(this);
        if (!voice) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        VkResult res =
            voice->Open(storage_, name_, rw_, format_, fileFormat_, frequency_, channels_);
        if (res < 0) {
            voice->Release();
            return res;
        }
        voice->next = voices_;
        if (voices_) voices_->prev = voice;
        voices_ = voice;
        *out = voice;
        return VK_OK;
    }

    VkResult Service() {
        for (StreamVoice* v = voices_; v; v = v->next) {
            VkResult res = v->Service();
            if (res < 0) return res;
        }
        return VK_OK;
    }
    void Unlink(StreamVoice* voice) {
        if (voice->prev)
            voice->prev->next = voice->next;
        else if (voices_ == voice)
            voices_ = voice->next;
        if (voice->next) voice->next->prev = voice->prev;
        voice->prev = voice->next = nullptr;
    }

    Stream* prev = nullptr;
    Stream* next = nullptr;
    Player* player_;

private:
    void Destroy() override;

    const char* name_;
    IVkStorage* storage_;
    IVkSoundRW* rw_;
    IVkSoundFormat* format_;
    StreamVoice* voices_ = nullptr;
    uint32_t length_ = 0, fileFormat_ = 0, channels_ = 0, frequency_ = 0, priority_ = 10;
    float volume_ = 1.0f;
};

class Player final : public VkObject<IVkStreamedSoundPlayer, IID_IVkStreamedSoundPlayer> {
public:
    VkResult Initialise(IVkSoundFormat* format) override {
        if (format) {
            format->AddRef();
        } else {
            void* made = nullptr;
            VkResult res = VkCreateInstanceByCategory(CATID_VkSoundControl, nullptr, 0,
                                                      IID_IVkSoundControl, &made);
            if (res < 0) return res;
            IVkSoundControl* control = static_cast<IVkSoundControl*>(made);
            res = control->CreateFormat(&format);
            control->Release();
            if (res < 0) return res;
        }
        if (format_) format_->Release();
        format_ = format;
        void* made = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkSoundProc, nullptr, 0, IID_IVkSoundProc, &made);
        if (res < 0) return res;
        if (proc_) proc_->Release();
        proc_ = static_cast<IVkSoundProc*>(made);
        return VK_OK;
    }
    VkResult CreateStream(IVkStorage* storage, const char* name, IVkSoundBuffer** out) override {
        if (!storage || !name || !out || *out) return VK_E_FAIL;
        if (!proc_ || !format_) return VK_E_FAIL;
        IVkSoundRW* rw = nullptr;
        VkResult res = proc_->FindReader(storage, name, &rw);
        if (res < 0) return res;
        if (VkMemAcquire() < 0) {
            rw->Release();
            return VK_E_OUTOFMEMORY;
        }
        Stream* stream = VkMemNew<Stream>(this, storage, name, rw, format_);
        rw->Release();
        if (!stream) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        res = stream->Setup();
        if (res < 0) {
            stream->player_ = nullptr;
            stream->Release();
            return res;
        }
        stream->next = streams_;
        if (streams_) streams_->prev = stream;
        streams_ = stream;
        stream->AddRef();
        *out = stream;
        return VK_OK;
    }
    VkResult Update() override {
        for (Stream* s = streams_; s; s = s->next) {
            VkResult res = s->Service();
            if (res < 0) return res;
        }
        return VK_OK;
    }

    void Unlink(Stream* stream) {
        if (stream->prev)
            stream->prev->next = stream->next;
        else if (streams_ == stream)
            streams_ = stream->next;
        if (stream->next) stream->next->prev = stream->prev;
        stream->prev = stream->next = nullptr;
    }

private:
    void Destroy() override {
        while (Stream* s = streams_) {
            Unlink(s);
            s->player_ = nullptr;
            s->Release();
        }
        if (proc_) proc_->Release();
        if (format_) format_->Release();
        VkMemDestroyObject(this);
        VkClose();
    }

    IVkSoundProc* proc_ = nullptr;
    IVkSoundFormat* format_ = nullptr;
    Stream* streams_ = nullptr;
};

void Stream::Destroy() {
    if (player_) player_->Unlink(this);
    while (StreamVoice* v = voices_) {
        Unlink(v);
        v->stream = nullptr;
        v->Release();
    }
    format_->Release();
    rw_->Release();
    storage_->Release();
    VkMemDestroyObject(this);
}

StreamVoice::StreamVoice(Stream* owner) : stream(owner) {
    stream->AddRef();
}

IVkSoundBuffer* StreamVoice::GetOwner() {
    return stream;
}

void StreamVoice::Destroy() {
    if (stream) {
        stream->Unlink(this);
        stream->Release();
    }
    if (reader) reader->Release();
    // A playing device voice keeps itself alive; it must not outlive its ring.
    if (device) {
        device->Stop();
        device->Release();
    }
    if (ring) ring->Release();
    VkMemDestroyObject(this);
}

VkResult StreamVoice::Open(IVkStorage* storage, const char* name, IVkSoundRW* rw,
                           IVkSoundFormat* format, uint32_t fileFormat, uint32_t frequency,
                           uint32_t channels) {
    IVkStream* file = nullptr;
    VkResult res = storage->OpenStream(name, VK_ACCESS_READ, kUntranslated, &file);
    if (res < 0) return res;
    res = rw->OpenStreamReader(file, &reader);
    file->Release();
    if (res < 0) {
        reader = nullptr;
        return res;
    }
    format->SetInt(VK_SOUND_FORMAT, fileFormat);
    format->SetInt(VK_SOUND_FREQUENCY, frequency);
    format->SetInt(VK_SOUND_CHANNELS, channels);
    format->SetInt(VK_SOUND_STATIC, 0);
    format->SetInt(VK_SOUND_CURSOR, 1);
    res = format->CreateBuffer(&ring);
    if (res < 0) {
        ring = nullptr;
        return res;
    }
    res = Refill(0, RingLength());
    if (res < 0) return res;
    seen = 0;
    res = ring->CreateVoice(&device);
    if (res < 0) {
        device = nullptr;
        return res;
    }
    if (ended) device->SetInt(VK_SOUND_LOOP, 0);
    return VK_OK;
}

VkResult StreamVoice::Service() {
    uint32_t playing = 0;
    device->GetInt(VK_SOUND_PLAYING, &playing);
    if (!playing) return VK_OK;
    uint32_t length = RingLength();
    uint32_t play = 0;
    device->GetPlayPosition(&play, nullptr);
    uint32_t half = length / 2;
    VkResult res = VK_OK;
    if (seen < half && half <= play)
        res = Refill(0, half);
    else if (play < seen)
        res = Refill(half, length - half);
    if (res < 0) return res;
    seen = play;
    return VK_OK;
}

VkResult StreamVoice::ReadInto(uint8_t* at, uint64_t bytes, uint64_t* got) {
    *got = 0;
    while (*got < bytes) {
        uint64_t want = bytes - *got;
        uint32_t ask = want > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(want);
        uint32_t n = 0;
        VkResult res = reader->Read(at + *got, ask, &n);
        if (n > ask) n = ask;
        *got += n;
        if (res == VK_E_ENDOFSTREAM || (res >= 0 && n < ask)) return VK_E_ENDOFSTREAM;
        if (res < 0) return res;
    }
    return VK_OK;
}

VkResult StreamVoice::Refill(uint32_t start, uint32_t count) {
    uint64_t frame = BytesPerFrame();
    if (frame == 0 || count == 0) return VK_OK;
    void* region = nullptr;
    uint32_t frames = 0;
    VkResult res = ring->LockRange(VK_LOCK_WRITE, start, count, &region, &frames, nullptr, nullptr);
    if (res == VK_E_NOSOUND) return VK_OK;
    if (res < 0) return res;
    // Only the first region is used: the ranges asked for never wrap.
    if (frames > count) frames = count;
    uint8_t* out = static_cast<uint8_t*>(region);
    const uint64_t size = uint64_t(frames) * frame;
    uint64_t filled = 0;
    res = ReadInto(out, size, &filled);
    bool silentFill = false;
    if (res == VK_E_ENDOFSTREAM) {
        if (loop) {
            // Continue from the file's start; a file without data gives silence instead of
            // seeking for ever.
            for (;;) {
                res = reader->Seek(0, VK_SEEK_SET, nullptr);
                if (res < 0) break;
                uint64_t more = 0;
                res = ReadInto(out + filled, size - filled, &more);
                filled += more;
                if (res != VK_E_ENDOFSTREAM) break;
                if (more == 0) {
                    silentFill = true;
                    res = VK_OK;
                    break;
                }
            }
        } else {
            ended = true;
            if (device) device->SetInt(VK_SOUND_LOOP, 0);
            res = VK_OK;
            uint64_t whole = filled - filled % frame;
            if (whole == 0) {
                silentFill = true;
            } else {
                // Copies of the last whole frame read fill the rest.
                const uint8_t* last = out + whole - frame;
                for (uint64_t at = whole; at + frame <= size; at += frame)
                    std::memmove(out + at, last, frame);
                filled = size;
            }
        }
    }
    if (silentFill && res >= 0) {
        uint32_t bits = VkSoundBits(ring->GetFormat());
        uint64_t from = filled - filled % frame;
        std::memset(out + from, bits == 8 ? 0x80 : 0, size - from);
    }
    ring->Unlock();
    return res;
}

const VkComponentRecord kStreamedSoundRecords[] = {
    {&CLSID_VkStreamedSoundPlayer, 0, nullptr, 0, nullptr, VkCreateStreamedSoundPlayer,
     "Vesk - Streamed Sound Player", "Vesk.StreamedSoundPlayer.5.1", "Vesk.StreamedSoundPlayer",
     nullptr},
};

} // namespace

VkResult VkCreateStreamedSoundPlayer(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    VkResult res = VkMemAcquire();
    if (res < 0) return res;
    res = VkOpen();
    if (res < 0) {
        VkMemRelease();
        return res;
    }
    Player* player = VkMemNew<Player>();
    if (!player) {
        VkClose();
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    *out = static_cast<IVkStreamedSoundPlayer*>(player);
    return VK_OK;
}

VkResult VkStreamedSoundModuleRegister(IVkRegistry* registry) {
    return VkModule<kStreamedSoundRecords>::Register(registry);
}
