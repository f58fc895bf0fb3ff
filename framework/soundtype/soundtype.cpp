#include "framework/soundtype/soundtype.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/misc/propfile.h"
#include "framework/sound/nullsound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const VkGuid CLSID_VkDictTypeSound = {
    0x10048761, 0x7588, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
const VkGuid IID_IVkDictionaryType = {
    0x10048762, 0x7588, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
const VkGuid IID_IVkDictTypeSound = {
    0x10048763, 0x7588, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};

namespace {

// Settings values are read as text of at most this many bytes, with the zero.
constexpr uint32_t kValueSize = 40;
// The format property that names a numbered settings section for this sound.
constexpr uint32_t kSectionProperty = 18;
constexpr uint32_t kKindNotLoaded = 4;
// Room for base directory, name and ".ini".
constexpr size_t kPathSize = VK_SOUNDTYPE_BASE_SIZE + 512;

// The value of a key in the current section, or false when the key is absent. A value too
// long for the buffer is used cut.
bool ReadValue(IVkPropertySet* props, const char* key, char (&value)[kValueSize]) {
    if (props->GetValueLength(key) == 0) return false;
    value[0] = 0;
    props->GetValue(key, value, kValueSize);
    return true;
}

bool ReadInt(IVkPropertySet* props, const char* key, uint32_t* out) {
    char value[kValueSize];
    if (!ReadValue(props, key, value)) return false;
    *out = static_cast<uint32_t>(std::strtol(value, nullptr, 10));
    return true;
}

bool ReadFloat(IVkPropertySet* props, const char* key, float* out) {
    char value[kValueSize];
    if (!ReadValue(props, key, value)) return false;
    *out = std::strtof(value, nullptr);
    return true;
}

struct IntKey {
    const char* key;
    uint32_t property;
};

// Format keys in the order they are applied: "Noddy3D" also sets software Doppler, so that
// "NoddyDoppler", read after it, can override it.
const IntKey kFormatKeys[] = {
    {"Priority", 6}, {"Frequency", 5}, {"3d", 7},        {"Static", 8},
    {"Cursor", 9},   {"Backup", 11},   {"Software", 16},
};

void ApplyFormatKeys(IVkPropertySet* props, IVkSoundFormat* format) {
    uint32_t v = 0;
    for (const IntKey& k : kFormatKeys)
        if (ReadInt(props, k.key, &v)) format->SetInt(k.property, v);
    if (ReadInt(props, "Noddy3D", &v)) {
        format->SetInt(19, v);
        format->SetInt(20, v);
    }
    if (ReadInt(props, "NoddyDoppler", &v)) format->SetInt(20, v);
    char value[kValueSize];
    if (ReadValue(props, "_NO_LOAD_", value) && std::strcmp(value, "1") == 0)
        format->SetInt(VK_SOUND_KIND, kKindNotLoaded);
    if (ReadValue(props, "EightBit", value))
        format->SetInt(VK_SOUND_FORMAT, std::strcmp(value, "1") == 0 ? VK_SOUND_U8 : VK_SOUND_S16);
}

const IntKey kSoundIntKeys[] = {{"Loop", 14}, {"VolumeChannel", 15}};
const IntKey kSoundFloatKeys[] = {
    {"OverallVolume", 1},  {"Volume", 2},         {"MinDistance", 3},     {"MaxDistance", 4},
    {"InnerConeAngle", 5}, {"OuterConeAngle", 6}, {"OuterConeVolume", 7},
};

void ApplySoundKeys(IVkPropertySet* props, IVkSoundBuffer* sound) {
    uint32_t v = 0;
    for (const IntKey& k : kSoundIntKeys)
        if (ReadInt(props, k.key, &v)) sound->SetInt(k.property, v);
    float f = 0;
    for (const IntKey& k : kSoundFloatKeys)
        if (ReadFloat(props, k.key, &f)) sound->SetFloat(k.property, f);
}

// The root section, then the numbered one when there is one; the second overrides the first.
template <class Target>
void ApplySettings(IVkPropertySet* props, uint32_t section, Target* target,
                   void (*apply)(IVkPropertySet*, Target*)) {
    props->SelectSection("");
    apply(props, target);
    if (section == 0) return;
    char name[16];
    std::snprintf(name, sizeof name, "%i", static_cast<int>(section));
    if (props->SelectSection(name) >= 0) apply(props, target);
}

class DictTypeSound final : public VkObjectOf<VkFace<IVkDictionaryType, IID_IVkDictionaryType>,
                                              VkFace<IVkDictTypeSound, IID_IVkDictTypeSound>> {
public:
    // Set-up face.
    VkResult Initialise(IVkStorage* storage, IVkSoundProc* maker) override {
        if (props_ || !storage || !maker) return VK_E_FAIL;
        void* made = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkPropertySet, nullptr, 0, IID_IVkPropertySet, &made);
        if (res < 0) return res;
        void* proc = nullptr;
        res = VkCreateInstance(CLSID_VkSoundProc, nullptr, 0, IID_IVkSoundProc, &proc);
        if (res < 0) {
            static_cast<IVkPropertySet*>(made)->Release();
            return res;
        }
        props_ = static_cast<IVkPropertySet*>(made);
        proc_ = static_cast<IVkSoundProc*>(proc);
        storage_ = storage;
        storage_->AddRef();
        maker_ = maker;
        maker_->AddRef();
        return VK_OK;
    }
    VkResult SetBaseDirectory(const char* text) override {
        VkCopyText(base_, sizeof base_, text ? text : "");
        return VK_OK;
    }
    VkResult GetBaseDirectory(char* buffer, uint32_t size) override {
        if (!buffer || size == 0) return VK_E_FAIL;
        VkCopyText(buffer, size, base_);
        return VK_OK;
    }

    // Type face.
    const char* GetTypeName() override { return "sound"; }
    VkResult LoadValue(const char* name, uintptr_t* value) override;
    VkResult SaveValue(const char* name, uintptr_t value) override {
        if (!proc_ || !name || !value) return VK_E_FAIL;
        return proc_->Save(storage_, name, reinterpret_cast<IVkSoundBuffer*>(value));
    }
    VkResult ApplyValue(const char* name, uintptr_t value) override {
        if (!value) return VK_OK;
        IVkSoundBuffer* data = nullptr;
        VkResult res = LoadData(name, &data);
        if (res < 0) return res;
        res = proc_->Convert(reinterpret_cast<IVkSoundBuffer*>(value), data);
        data->Release();
        return res;
    }
    int32_t ReleaseValue(uintptr_t value) override {
        if (!value) return 0;
        return reinterpret_cast<IVkUnknown*>(value)->Release() == 0 ? 1 : 0;
    }
    VkResult AddRefValue(uintptr_t value) override {
        if (value) reinterpret_cast<IVkUnknown*>(value)->AddRef();
        return VK_OK;
    }

private:
    void Destroy() override {
        if (props_) props_->Release();
        if (storage_) storage_->Release();
        if (maker_) maker_->Release();
        if (proc_) proc_->Release();
        VkMemDestroyObject(this);
    }

    // Base directory followed by the name; false when that does not fit.
    bool MakePath(const char* name, char (&path)[kPathSize]) const {
        size_t base = std::strlen(base_);
        size_t length = std::strlen(name);
        if (base + length + 1 > sizeof path) return false;
        std::memcpy(path, base_, base);
        std::memcpy(path + base, name, length + 1);
        return true;
    }

    // Loads the settings file beside the named sound; false when there is none.
    bool FindSettings(const char* name) {
        char path[kPathSize];
        if (!MakePath(name, path)) return false;
        // The extension starts at the last dot after the last path separator.
        char* dot = nullptr;
        char* end = path + std::strlen(base_);
        for (; *end; ++end) {
            if (*end == '.')
                dot = end;
            else if (*end == '\\' || *end == '/' || *end == ':')
                dot = nullptr;
        }
        char* at = dot ? dot : end;
        if (static_cast<size_t>(at - path) + sizeof ".ini" > sizeof path) return false;
        std::memcpy(at, ".ini", sizeof ".ini");
        IVkStream* stream = nullptr;
        if (storage_->OpenStream(path, VK_ACCESS_READ, VK_TRANSLATE_NONE, &stream) < 0 || !stream)
            return false;
        props_->Reset();
        VkResult res = props_->Load(stream);
        stream->Release();
        return res >= 0;
    }

    VkResult LoadData(const char* name, IVkSoundBuffer** data) {
        *data = nullptr;
        if (!proc_ || !name) return VK_E_FAIL;
        char path[kPathSize];
        if (!MakePath(name, path)) return VK_E_FAIL;
        IVkSoundFormat* format = nullptr;
        VkResult res = proc_->CreateFormat(&format);
        if (res < 0) return res;
        res = proc_->Load(storage_, path, format, data);
        format->Release();
        if (res < 0 && *data) {
            (*data)->Release();
            *data = nullptr;
        }
        return res;
    }

    IVkPropertySet* props_ = nullptr;
    IVkStorage* storage_ = nullptr;
    IVkSoundProc* maker_ = nullptr;
    IVkSoundProc* proc_ = nullptr;
    char base_[VK_SOUNDTYPE_BASE_SIZE] = {};
};

VkResult DictTypeSound::LoadValue(const char* name, uintptr_t* value) {
    if (!value) return VK_E_FAIL;
    *value = 0;
    if (!proc_ || !name) return VK_E_FAIL;
    bool settings = FindSettings(name);
    IVkSoundBuffer* data = nullptr;
    VkResult res = LoadData(name, &data);
    if (res < 0) return res;

    IVkSoundFormat* format = nullptr;
    res = maker_->CreateFormat(&format);
    if (res < 0 || !format) {
        data->Release();
        return res < 0 ? res : VK_E_FAIL;
    }
    uint32_t frequency = 0;
    float volume = 1.0f;
    data->GetInt(VK_SOUND_FREQUENCY, &frequency);
    data->GetFloat(VK_SOUND_VOLUME, &volume);
    format->SetInt(VK_SOUND_LENGTH, data->GetLength());
    format->SetInt(VK_SOUND_FORMAT, data->GetFormat());
    format->SetInt(VK_SOUND_CHANNELS, data->GetChannels());
    format->SetInt(VK_SOUND_FREQUENCY, frequency);
    format->SetFloat(VK_SOUND_VOLUME, volume);

    uint32_t section = 0;
    if (settings) {
        format->GetInt(kSectionProperty, &section);
        ApplySettings(props_, section, format, ApplyFormatKeys);
    }
    IVkSoundBuffer* sound = nullptr;
    res = format->CreateBuffer(&sound);
    format->GetInt(VK_SOUND_FREQUENCY, &frequency);
    format->Release();
    if (res < 0 || !sound) {
        data->Release();
        return res < 0 ? res : VK_E_FAIL;
    }
    if (settings) ApplySettings(props_, section, sound, ApplySoundKeys);

    // A sound of the silent control answers this way and has no data to fill.
    uint32_t kind = 0;
    if (sound->GetInt(VK_SOUND_KIND, &kind) != VK_S_NOSOUND) {
        res = proc_->Convert(sound, data);
        if (res < 0) {
            sound->Release();
            data->Release();
            return res;
        }
    }
    data->Release();
    sound->SetInt(VK_SOUND_FREQUENCY, frequency);
    *value = reinterpret_cast<uintptr_t>(sound);
    return VK_OK;
}

const VkComponentRecord kDictTypeSoundRecords[] = {
    {&CLSID_VkDictTypeSound, 0, nullptr, 0, nullptr, VkCreateDictTypeSound, "Vesk - DictType Sound",
     "Vesk.DictTypeSound.1", "Vesk.DictTypeSound", nullptr},
};

} // namespace

VkResult VkCreateDictTypeSound(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    DictTypeSound* made = nullptr;
    VkResult res = VkMemCreateObject(&made);
    if (res < 0) return res;
    *out = static_cast<IVkDictionaryType*>(made);
    return VK_OK;
}

VkResult VkDictTypeSoundModuleRegister(IVkRegistry* registry) {
    return VkModule<kDictTypeSoundRecords>::Register(registry);
}
