#include "framework/sound/soundproc.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/sound/soundrw.h"
#include "framework/streams/storage.h"

#include <cmath>
#include <cstring>

const VkGuid IID_IVkSoundFormat = {
    0x4BA9A7EF, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid IID_IVkSoundBuffer = {
    0xD5274381, 0x6A6F, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
const VkGuid IID_IVkSoundProc = {
    0x4BA9A7F3, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkSoundProc = {
    0x4BA9A7F4, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

constexpr uint32_t kReaderGrowth = 32;

// Samples are kept in native byte order and may sit at any address.
int16_t Load16(const uint8_t* at) {
    int16_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
void Store16(uint8_t* at, int16_t v) {
    std::memcpy(at, &v, sizeof v);
}

// The one float property of formats and buffers: the volume, id 2.
VkResult FloatProperty(uint32_t id, float* volume, float* value, bool get) {
    if (id != VK_SOUND_VOLUME) return VK_E_FAIL;
    if (get)
        *value = *volume;
    else
        *volume = *value;
    return VK_OK;
}

// A sample buffer in memory, made only by a format object.
class MemoryBuffer final : public VkObject<IVkSoundBuffer, IID_IVkSoundBuffer> {
public:
    // The frame size is kept wide: many channels of wide samples do not fit a byte.
    VkResult Init(uint32_t channels, uint32_t kind, uint32_t format, uint32_t length,
                  uint32_t frequency, uint32_t priority) {
        channels_ = static_cast<uint8_t>(channels);
        kind_ = static_cast<uint8_t>(kind);
        format_ = format;
        length_ = length;
        frequency_ = frequency;
        frameBytes_ = channels_ * VkSoundBits(format) / 8;
        priority_ = priority;
        uint64_t size = static_cast<uint64_t>(frameBytes_) * length;
        if (size > UINT32_MAX) return VK_E_OUTOFMEMORY;
        data_ = static_cast<uint8_t*>(VkMemAlloc(size ? size : 1));
        if (!data_) return VK_E_OUTOFMEMORY;
        std::memset(data_, 0, size);
        return VK_OK;
    }

    uint32_t GetLength() override { return length_; }
    uint32_t GetFormat() override { return format_; }
    uint32_t GetChannels() override { return channels_; }
    VkResult Lock(uint32_t, void** data) override {
        *data = data_;
        return VK_OK;
    }
    VkResult Unlock() override { return VK_OK; }
    VkResult LockRange(uint32_t, uint32_t start, uint32_t count, void** first, uint32_t* firstCount,
                       void** second, uint32_t* secondCount) override {
        if (count > length_ || start >= length_) return VK_E_FAIL;
        *first = data_ + static_cast<size_t>(start) * frameBytes_;
        if (count <= length_ - start) {
            *firstCount = count;
            if (second) *second = nullptr;
            if (secondCount) *secondCount = 0;
        } else {
            *firstCount = length_ - start;
            if (second) *second = data_;
            if (secondCount) *secondCount = count - (length_ - start);
        }
        return VK_OK;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id == VK_SOUND_FREQUENCY)
            frequency_ = value;
        else if (id == VK_SOUND_PRIORITY)
            priority_ = value;
        else
            return VK_E_FAIL;
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (id == VK_SOUND_FREQUENCY)
            *value = frequency_;
        else if (id == VK_SOUND_PRIORITY)
            *value = priority_;
        else
            return VK_E_FAIL;
        return VK_OK;
    }
    VkResult SetFloat(uint32_t id, float value) override {
        return FloatProperty(id, &volume_, &value, false);
    }
    VkResult GetFloat(uint32_t id, float* value) override {
        return FloatProperty(id, &volume_, value, true);
    }
    VkResult CreateVoice(IVkSoundVoice** voice) override {
        *voice = nullptr;
        return VK_E_FAIL;
    }

private:
    void Destroy() override {
        if (data_) VkMemFree(data_);
        VkMemDestroyObject(this);
    }

    uint8_t channels_ = 0;
    uint8_t kind_ = 0;
    uint32_t format_ = 0;
    uint32_t length_ = 0;
    uint32_t frequency_ = 0;
    uint32_t frameBytes_ = 0;
    uint32_t priority_ = 0;
    float volume_ = 1.0f;
    uint8_t* data_ = nullptr;
};

class SoundFormat final : public VkObject<IVkSoundFormat, IID_IVkSoundFormat> {
public:
    explicit SoundFormat(IVkSoundProc* creator) : creator_(creator) { Reset(); }

    VkResult Validate() override {
        if (!props_[VK_SOUND_KIND]) props_[VK_SOUND_KIND] = 1;
        if (!props_[VK_SOUND_LENGTH]) props_[VK_SOUND_LENGTH] = 1024;
        if (!props_[VK_SOUND_FREQUENCY]) props_[VK_SOUND_FREQUENCY] = 22050;
        if (!props_[VK_SOUND_CHANNELS]) props_[VK_SOUND_CHANNELS] = 1;
        if (!props_[VK_SOUND_FORMAT]) props_[VK_SOUND_FORMAT] = VK_SOUND_U8;
        return VK_OK;
    }
    VkResult CreateBuffer(IVkSoundBuffer** buffer) override {
        *buffer = nullptr;
        Validate();
        MemoryBuffer* made = nullptr;
        VkResult res = VkMemCreateObject(&made);
        if (res < 0) return res;
        res = made->Init(props_[VK_SOUND_CHANNELS], props_[VK_SOUND_KIND], props_[VK_SOUND_FORMAT],
                         props_[VK_SOUND_LENGTH], props_[VK_SOUND_FREQUENCY],
                         props_[VK_SOUND_PRIORITY]);
        if (res < 0) {
            made->Release();
            return res;
        }
        *buffer = made;
        return VK_OK;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id < 1 || id >= kProps) return VK_E_FAIL;
        props_[id] = value;
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        if (id < 1 || id >= kProps) return VK_E_FAIL;
        *value = props_[id];
        return VK_OK;
    }
    VkResult SetFloat(uint32_t id, float value) override {
        return FloatProperty(id, &volume_, &value, false);
    }
    VkResult GetFloat(uint32_t id, float* value) override {
        return FloatProperty(id, &volume_, value, true);
    }
    VkResult Reset() override {
        for (uint32_t& p : props_)
            p = 0;
        props_[VK_SOUND_PRIORITY] = 10;
        volume_ = 1.0f;
        return VK_OK;
    }
    VkResult Clone(IVkSoundFormat** format) override {
        VkResult res = creator_->CreateFormat(format);
        if (res < 0) return res;
        for (uint32_t id = 1; id < kProps; ++id)
            (*format)->SetInt(id, props_[id]);
        (*format)->SetFloat(VK_SOUND_VOLUME, volume_);
        return VK_OK;
    }

private:
    void Destroy() override { VkMemDestroyObject(this); }

    static constexpr uint32_t kProps = 8; // ids 1 to 7; slot 0 unused
    IVkSoundProc* creator_;
    uint32_t props_[kProps] = {};
    float volume_ = 1.0f;
};

// Both buffers locked for one operation (destination to write, source to read), unlocked
// when it ends.
struct LockedPair {
    IVkSoundBuffer* dst;
    IVkSoundBuffer* src;
    uint8_t* d = nullptr;
    uint8_t* s = nullptr;
    bool dstLocked = false;
    bool srcLocked = false;

    VkResult Lock() {
        void* p = nullptr;
        VkResult res = dst->Lock(VK_LOCK_WRITE, &p);
        if (res < 0) return res;
        dstLocked = true;
        d = static_cast<uint8_t*>(p);
        res = src->Lock(VK_LOCK_READ, &p);
        if (res < 0) return res;
        srcLocked = true;
        s = static_cast<uint8_t*>(p);
        return VK_OK;
    }
    ~LockedPair() {
        if (dstLocked) dst->Unlock();
        if (srcLocked) src->Unlock();
    }
};

void TakeFrequency(IVkSoundBuffer* dst, IVkSoundBuffer* src) {
    uint32_t frequency = 0;
    src->GetInt(VK_SOUND_FREQUENCY, &frequency);
    dst->SetInt(VK_SOUND_FREQUENCY, frequency);
}

// Lower-cases a text in place (ASCII only).
void Lower(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

// The extension of a name: the text after the last dot of its last path component, cut to
// 15 characters and lower-cased. False when it has none.
bool ExtensionOf(const char* name, char* ext) {
    const char* dot = nullptr;
    for (const char* c = name; *c; ++c) {
        if (*c == '.')
            dot = c;
        else if (*c == '\\' || *c == '/')
            dot = nullptr;
    }
    if (!dot) return false;
    VkCopyText(ext, VK_SOUND_EXTENSION_SIZE, dot + 1);
    Lower(ext);
    return true;
}

VkResult OpenIn(IVkStorage* storage, const char* name, uint32_t access, IVkStream** stream) {
    *stream = nullptr;
    return storage->OpenStream(name, access, VK_TRANSLATE_NONE, stream);
}

class SoundProc final : public VkObject<IVkSoundProc, IID_IVkSoundProc> {
public:
    VkResult Init() {
        VkResult res = VkOpen();
        if (res < 0) return res;
        opened_ = true;
        void* out = nullptr;
        if (VkCreateInstanceByCategory(CATID_VkSoundRW, nullptr, 0, IID_IVkSoundRW, &out) >= 0)
            defaultWriter_ = static_cast<IVkSoundRW*>(out);
        VkGuid clsid = VK_GUID_NULL;
        while (VkNextClassInCategory(CATID_VkSoundRW, &clsid) >= 0) {
            out = nullptr;
            if (VkCreateInstance(clsid, nullptr, 0, IID_IVkSoundRW, &out) < 0) continue;
            if (readers_.count == readers_.capacity && !VkPtrArrayGrow(&readers_)) {
                static_cast<IVkSoundRW*>(out)->Release();
                return VK_E_OUTOFMEMORY;
            }
            readers_.entries[readers_.count++] = out;
        }
        return VK_OK;
    }

    VkResult ConvertFormat(IVkSoundBuffer* dst, IVkSoundBuffer* src) override {
        uint32_t df = dst->GetFormat(), sf = src->GetFormat();
        if (dst->GetLength() != src->GetLength() || dst->GetChannels() != src->GetChannels() ||
            VkSoundEncoding(df) != VK_SOUND_PCM || VkSoundEncoding(sf) != VK_SOUND_PCM)
            return VK_E_FAIL;
        uint32_t db = VkSoundBits(df), sb = VkSoundBits(sf);
        if ((db != 8 && db != 16) || (sb != 8 && sb != 16)) return VK_E_FAIL;
        LockedPair lock{dst, src};
        VkResult res = lock.Lock();
        if (res < 0) return res;
        size_t n = static_cast<size_t>(src->GetChannels()) * src->GetLength();
        uint16_t bias = ((df ^ sf) & VK_SOUND_SIGNED) ? 0x8000 : 0;
        for (size_t i = 0; i < n; ++i) {
            uint16_t s = sb == 16 ? static_cast<uint16_t>(Load16(lock.s + 2 * i))
                                  : static_cast<uint16_t>(lock.s[i] << 8);
            uint16_t d = static_cast<uint16_t>(s + bias);
            if (db == 16)
                Store16(lock.d + 2 * i, static_cast<int16_t>(d));
            else
                lock.d[i] = static_cast<uint8_t>(d >> 8);
        }
        TakeFrequency(dst, src);
        return VK_OK;
    }

    VkResult Copy(IVkSoundBuffer* dst, IVkSoundBuffer* src) override {
        if (dst->GetFormat() != src->GetFormat() || dst->GetChannels() != src->GetChannels() ||
            dst->GetLength() < src->GetLength())
            return VK_E_FAIL;
        LockedPair lock{dst, src};
        VkResult res = lock.Lock();
        if (res < 0) return res;
        size_t bytes = static_cast<size_t>(src->GetChannels()) * VkSoundBits(src->GetFormat()) / 8 *
                       src->GetLength();
        if (bytes) std::memmove(lock.d, lock.s, bytes);
        TakeFrequency(dst, src);
        return VK_OK;
    }

    VkResult Resample(IVkSoundBuffer* dst, IVkSoundBuffer* src) override {
        uint32_t dl = dst->GetLength(), sl = src->GetLength();
        if (dst->GetFormat() != VK_SOUND_S16 || src->GetFormat() != VK_SOUND_S16 ||
            dst->GetChannels() != 1 || src->GetChannels() != 1 || dl == 0 || sl == 0)
            return VK_E_FAIL;
        LockedPair lock{dst, src};
        VkResult res = lock.Lock();
        if (res < 0) return res;
        uint32_t sourceFrequency = 0;
        src->GetInt(VK_SOUND_FREQUENCY, &sourceFrequency);
        float product = static_cast<float>(static_cast<uint64_t>(dl) * sourceFrequency);
        float quotient = product / static_cast<float>(sl);
        // Beyond 32 bits the conversion would be undefined; such a rate is held at the top.
        dst->SetInt(VK_SOUND_FREQUENCY,
                    quotient < 4294967296.0f ? static_cast<uint32_t>(quotient) : UINT32_MAX);

        const uint8_t* s = lock.s;
        uint8_t* d = lock.d;
        if (sl <= 1) {
            int16_t v = Load16(s);
            for (uint32_t j = 0; j < dl; ++j)
                Store16(d + 2 * j, v);
            return VK_OK;
        }
        float step = static_cast<float>(sl) / static_cast<float>(dl);
        float p = 0.0f;
        for (uint32_t j = 0; j + 1 < dl; ++j) {
            uint32_t i = static_cast<uint32_t>(p);
            if (i > sl - 1) i = sl - 1; // rounding of the running position
            float a = Load16(s + 2 * i);
            float b = Load16(s + 2 * (i + 1 < sl ? i + 1 : sl - 1));
            Store16(d + 2 * j, static_cast<int16_t>(a + (b - a) * (p - static_cast<float>(i))));
            p += step;
        }
        Store16(d + 2 * (dl - 1), Load16(s + 2 * (sl - 1)));
        return VK_OK;
    }

    VkResult Convert(IVkSoundBuffer* dst, IVkSoundBuffer* src) override {
        if (dst->GetChannels() == src->GetChannels() && dst->GetLength() == src->GetLength())
            return ConvertFormat(dst, src);
        uint32_t frequency = 0;
        src->GetInt(VK_SOUND_FREQUENCY, &frequency);
        uint32_t dl = dst->GetLength(), dc = dst->GetChannels();

        IVkSoundBuffer* work = src;
        src->AddRef();
        VkResult res = VK_OK;
        if (src->GetFormat() != VK_SOUND_S16) {
            IVkSoundBuffer* made = nullptr;
            res = MakeWorking(src->GetChannels(), src->GetLength(), frequency, &made);
            if (res >= 0) res = ConvertFormat(made, src);
            Replace(&work, made);
        }
        if (res >= 0 && work->GetLength() != dl) {
            uint32_t channels = work->GetChannels();
            IVkSoundBuffer* r = nullptr;
            res = MakeWorking(channels, dl, frequency, &r);
            if (res >= 0 && channels == 1) {
                res = Resample(r, work);
            } else if (res >= 0) {
                IVkSoundBuffer *a = nullptr, *b = nullptr;
                res = MakeWorking(1, dl, frequency, &a);
                if (res >= 0) res = MakeWorking(1, work->GetLength(), frequency, &b);
                for (uint32_t c = 0; res >= 0 && c < channels; ++c) {
                    res = ExtractChannel(b, c, work);
                    if (res >= 0) res = Resample(a, b);
                    if (res >= 0) res = InsertChannel(r, c, a);
                }
                if (a) a->Release();
                if (b) b->Release();
            }
            Replace(&work, r);
        }
        if (res >= 0 && work->GetChannels() != dc) {
            uint32_t channels = work->GetChannels();
            IVkSoundBuffer* m = nullptr;
            res = MakeWorking(dc, dl, frequency, &m);
            if (res >= 0 && dc == 1) {
                res = MixToMono(m, work);
            } else if (res >= 0) {
                IVkSoundBuffer* t = nullptr;
                res = MakeWorking(1, dl, frequency, &t);
                for (uint32_t c = 0; res >= 0 && c < dc; ++c) {
                    res = ExtractChannel(t, channels * c / dc, work);
                    if (res >= 0) res = InsertChannel(m, c, t);
                }
                if (t) t->Release();
            }
            Replace(&work, m);
        }
        if (res >= 0) res = ConvertFormat(dst, work);
        work->Release();
        return res;
    }

    VkResult ExtractChannel(IVkSoundBuffer* dst, uint32_t channel, IVkSoundBuffer* src) override {
        if (dst->GetFormat() != src->GetFormat() || dst->GetLength() != src->GetLength() ||
            dst->GetChannels() != 1 || channel >= src->GetChannels())
            return VK_E_FAIL;
        return Interleave(dst, 1, 0, src, src->GetChannels(), channel);
    }

    VkResult InsertChannel(IVkSoundBuffer* dst, uint32_t channel, IVkSoundBuffer* src) override {
        if (dst->GetFormat() != src->GetFormat() || dst->GetLength() != src->GetLength() ||
            src->GetChannels() != 1 || channel >= dst->GetChannels())
            return VK_E_FAIL;
        return Interleave(dst, dst->GetChannels(), channel, src, 1, 0);
    }

    VkResult MixToMono(IVkSoundBuffer* dst, IVkSoundBuffer* src) override {
        if (dst->GetFormat() != VK_SOUND_S16 || src->GetFormat() != VK_SOUND_S16 ||
            dst->GetLength() != src->GetLength() || dst->GetChannels() != 1)
            return VK_E_FAIL;
        uint32_t channels = src->GetChannels();
        if (channels == 0) return VK_E_FAIL;
        LockedPair lock{dst, src};
        VkResult res = lock.Lock();
        if (res < 0) return res;
        const uint8_t* s = lock.s;
        for (uint32_t j = 0, n = src->GetLength(); j < n; ++j) {
            int64_t sum = 0;
            for (uint32_t c = 0; c < channels; ++c, s += 2)
                sum += Load16(s);
            int64_t mean = sum / channels;
            if (sum % channels != 0 && sum < 0) --mean; // toward minus infinity
            Store16(lock.d + 2 * static_cast<size_t>(j), static_cast<int16_t>(mean));
        }
        TakeFrequency(dst, src);
        return VK_OK;
    }

    VkResult CreateFormat(IVkSoundFormat** format) override {
        *format = nullptr;
        SoundFormat* made = nullptr;
        VkResult res = VkMemAcquire();
        if (res < 0) return res;
        made = VkMemNew<SoundFormat>(this);
        if (!made) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        *format = made;
        return VK_OK;
    }

    VkResult Load(IVkStorage* storage, const char* name, IVkSoundFormat* format,
                  IVkSoundBuffer** buffer) override {
        *buffer = nullptr;
        return Search(storage, name, [&](IVkSoundRW* reader, IVkStream* stream) {
            return reader->Read(stream, format, buffer);
        });
    }

    VkResult FindReader(IVkStorage* storage, const char* name, IVkSoundRW** reader) override {
        *reader = nullptr;
        return Search(storage, name, [&](IVkSoundRW* candidate, IVkStream* stream) {
            uint32_t length = 0, format = 0, channels = 0, frequency = 0;
            VkResult res = candidate->GetInfo(stream, &length, &format, &channels, &frequency);
            if (res >= 0) {
                candidate->AddRef();
                *reader = candidate;
            }
            return res;
        });
    }

    VkResult Save(IVkStorage* storage, const char* name, IVkSoundBuffer* buffer) override {
        char ext[VK_SOUND_EXTENSION_SIZE];
        char file[1024];
        IVkSoundRW* writer = nullptr;
        if (ExtensionOf(name, ext)) {
            for (uint32_t r = 0; r < readers_.count && !writer; ++r) {
                IVkSoundRW* reader = Reader(r);
                for (uint32_t e = 0, n = reader->GetExtensionCount(); e < n && !writer; ++e) {
                    char theirs[VK_SOUND_EXTENSION_SIZE] = {};
                    if (reader->GetExtension(e, theirs) < 0) continue;
                    Lower(theirs);
                    if (std::strcmp(theirs, ext) == 0) writer = reader;
                }
            }
            if (!writer) return VK_E_FAIL;
            VkCopyText(file, sizeof file, name);
        } else {
            writer = defaultWriter_;
            char theirs[VK_SOUND_EXTENSION_SIZE] = {};
            if (!writer || writer->GetExtension(0, theirs) < 0) return VK_E_FAIL;
            if (!JoinName(file, sizeof file, name, theirs)) return VK_E_FAIL;
        }
        IVkStream* stream = nullptr;
        VkResult res = OpenIn(storage, file, VK_ACCESS_WRITE, &stream);
        if (res < 0) return res;
        res = writer->Write(stream, buffer);
        stream->Release();
        return res;
    }

private:
    void Destroy() override {
        for (uint32_t i = readers_.count; i > 0; --i)
            Reader(i - 1)->Release();
        if (defaultWriter_) defaultWriter_->Release();
        VkPtrArrayFree(&readers_);
        bool opened = opened_;
        VkMemDestroyObject(this);
        if (opened) VkClose();
    }

    IVkSoundRW* Reader(uint32_t i) { return static_cast<IVkSoundRW*>(readers_.entries[i]); }

    // name + "." + extension; false when it does not fit.
    static bool JoinName(char* file, size_t size, const char* name, const char* ext) {
        size_t n = std::strlen(name), e = std::strlen(ext);
        if (n + 1 + e + 1 > size) return false;
        std::memcpy(file, name, n);
        file[n] = '.';
        std::memcpy(file + n + 1, ext, e + 1);
        return true;
    }

    // Tries each reader's extensions in order on the files the name can stand for, until
    // the attempt succeeds on one.
    template <class Attempt>
    VkResult Search(IVkStorage* storage, const char* name, Attempt attempt) {
        char ext[VK_SOUND_EXTENSION_SIZE];
        bool hasExt = ExtensionOf(name, ext);
        char file[1024];
        for (uint32_t r = 0; r < readers_.count; ++r) {
            IVkSoundRW* reader = Reader(r);
            for (uint32_t e = 0, n = reader->GetExtensionCount(); e < n; ++e) {
                char theirs[VK_SOUND_EXTENSION_SIZE] = {};
                if (reader->GetExtension(e, theirs) < 0) continue;
                Lower(theirs);
                if (hasExt) {
                    if (std::strcmp(theirs, ext) != 0) continue;
                    VkCopyText(file, sizeof file, name);
                } else if (!JoinName(file, sizeof file, name, theirs)) {
                    continue;
                }
                IVkStream* stream = nullptr;
                if (OpenIn(storage, file, VK_ACCESS_READ, &stream) < 0) continue;
                VkResult res = attempt(reader, stream);
                stream->Release();
                if (res >= 0) return VK_OK;
            }
        }
        return VK_E_FAIL;
    }

    // A fresh 16-bit signed working buffer.
    VkResult MakeWorking(uint32_t channels, uint32_t length, uint32_t frequency,
                         IVkSoundBuffer** out) {
        *out = nullptr;
        IVkSoundFormat* format = nullptr;
        VkResult res = CreateFormat(&format);
        if (res < 0) return res;
        format->SetInt(VK_SOUND_FORMAT, VK_SOUND_S16);
        format->SetInt(VK_SOUND_CHANNELS, channels);
        format->SetInt(VK_SOUND_LENGTH, length);
        format->SetInt(VK_SOUND_FREQUENCY, frequency);
        res = format->CreateBuffer(out);
        format->Release();
        return res;
    }

    // The working source moves on to the new buffer (which may be null after a failure).
    static void Replace(IVkSoundBuffer** work, IVkSoundBuffer* next) {
        if (!next) return;
        (*work)->Release();
        *work = next;
    }

    // Copies sample i of one channel of the source to sample i of one channel of the
    // destination, for every frame.
    VkResult Interleave(IVkSoundBuffer* dst, uint32_t dstChannels, uint32_t dstChannel,
                        IVkSoundBuffer* src, uint32_t srcChannels, uint32_t srcChannel) {
        LockedPair lock{dst, src};
        VkResult res = lock.Lock();
        if (res < 0) return res;
        uint32_t bytes = VkSoundBits(src->GetFormat()) / 8;
        if (VkSoundBits(src->GetFormat()) != 8 && VkSoundBits(src->GetFormat()) != 16)
            return VK_E_FAIL;
        for (size_t i = 0, n = src->GetLength(); i < n; ++i)
            std::memcpy(lock.d + (i * dstChannels + dstChannel) * bytes,
                        lock.s + (i * srcChannels + srcChannel) * bytes, bytes);
        TakeFrequency(dst, src);
        return VK_OK;
    }

    VkPtrArray readers_ = {nullptr, 0, 0, kReaderGrowth};
    IVkSoundRW* defaultWriter_ = nullptr;
    bool opened_ = false;
};

const VkCategoryRef kSoundRWCategory[] = {{&CATID_VkSoundRW, "Vesk SoundRW"}};

const VkComponentRecord kSoundProcRecords[] = {
    {&CLSID_VkSoundProc, 0, nullptr, 1, kSoundRWCategory, VkCreateSoundProc,
     "Sound Processing - Vesk", "Vesk.SoundProc.1", "Vesk.SoundProc", nullptr},
};

} // namespace

VkResult VkCreateSoundProc(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    SoundProc* proc = nullptr;
    VkResult res = VkMemCreateObject(&proc);
    if (res < 0) return res;
    res = proc->Init();
    if (res < 0) {
        proc->Release();
        return res;
    }
    *out = proc;
    return VK_OK;
}

VkResult VkSoundProcModuleRegister(IVkRegistry* registry) {
    return VkModule<kSoundProcRecords>::Register(registry);
}
