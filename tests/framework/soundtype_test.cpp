#include "framework/core/framework.h"
#include "framework/sound/nullsound.h"
#include "framework/soundtype/soundtype.h"
#include "tests/framework/sound_fixture.h"

#include <map>
#include <string>

namespace {

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A mono 8-bit WAV file of the given samples.
Bytes Wav8(const Bytes& samples, uint32_t frequency = 22050) {
    WavBuilder w;
    w.Fmt(1, frequency, 8);
    w.Chunk("data", samples);
    return w.bytes;
}

// A format that records the properties set on it and makes its sounds from the silent
// control; like a real control's validation it refuses kind 4.
class RecordingFormat final : public VkObject<IVkSoundFormat, IID_IVkSoundFormat> {
public:
    RecordingFormat(std::map<uint32_t, uint32_t>& ints, IVkSoundControl* control)
        : ints_(ints), control_(control) {}
    VkResult Validate() override { return ints_[VK_SOUND_KIND] == 4 ? VK_E_FAIL : VK_OK; }
    VkResult CreateBuffer(IVkSoundBuffer** buffer) override {
        *buffer = nullptr;
        if (Validate() < 0) return VK_E_FAIL;
        IVkSoundFormat* silent = nullptr;
        VkResult res = control_->CreateFormat(&silent);
        if (res < 0) return res;
        res = silent->CreateBuffer(buffer);
        silent->Release();
        return res;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        ints_[id] = value;
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        *value = ints_[id];
        return VK_OK;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult Reset() override { return VK_OK; }
    VkResult Clone(IVkSoundFormat**) override { return VK_E_FAIL; }

private:
    void Destroy() override { delete this; }
    std::map<uint32_t, uint32_t>& ints_;
    IVkSoundControl* control_;
};

// A sound maker whose formats record into one shared map, preset with property 18.
class RecordingMaker final : public VkObject<IVkSoundProc, IID_IVkSoundProc> {
public:
    explicit RecordingMaker(IVkSoundControl* control) : control_(control) {}
    VkResult ConvertFormat(IVkSoundBuffer*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult Copy(IVkSoundBuffer*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult Resample(IVkSoundBuffer*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult Convert(IVkSoundBuffer*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult ExtractChannel(IVkSoundBuffer*, uint32_t, IVkSoundBuffer*) override {
        return VK_E_FAIL;
    }
    VkResult InsertChannel(IVkSoundBuffer*, uint32_t, IVkSoundBuffer*) override {
        return VK_E_FAIL;
    }
    VkResult MixToMono(IVkSoundBuffer*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult CreateFormat(IVkSoundFormat** format) override {
        ints.clear();
        ints[18] = section;
        *format = new RecordingFormat(ints, control_);
        return VK_OK;
    }
    VkResult Load(IVkStorage*, const char*, IVkSoundFormat*, IVkSoundBuffer**) override {
        return VK_E_FAIL;
    }
    VkResult Save(IVkStorage*, const char*, IVkSoundBuffer*) override { return VK_E_FAIL; }
    VkResult FindReader(IVkStorage*, const char*, IVkSoundRW**) override { return VK_E_FAIL; }

    std::map<uint32_t, uint32_t> ints;
    uint32_t section = 0;

private:
    void Destroy() override {}
    IVkSoundControl* control_;
};

class SoundTypeTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        type = Create<IVkDictionaryType>(CLSID_VkDictTypeSound, IID_IVkDictionaryType);
        ASSERT_NE(type, nullptr);
        ASSERT_EQ(type->QueryInterface(IID_IVkDictTypeSound, reinterpret_cast<void**>(&setup)),
                  VK_OK);
        setup->Release();
    }
    void TearDown() override {
        EXPECT_EQ(type->Release(), 0u);
        ReleaseExtras();
        SoundTest::TearDown();
    }
    virtual void ReleaseExtras() {}

    IVkDictionaryType* type = nullptr;
    IVkDictTypeSound* setup = nullptr;
    MemoryStorage storage;
};

TEST_F(SoundTypeTest, SetUpFaceAndTrivialOperations) {
    EXPECT_STREQ(type->GetTypeName(), "sound");
    char text[8];
    EXPECT_EQ(setup->GetBaseDirectory(text, sizeof text), VK_OK);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(setup->SetBaseDirectory("sounds/effects/"), VK_OK);
    EXPECT_EQ(setup->GetBaseDirectory(text, sizeof text), VK_OK);
    EXPECT_STREQ(text, "sounds/") << "cut to the buffer and terminated";

    uintptr_t value = 1;
    EXPECT_EQ(type->LoadValue("a.wav", &value), VK_E_FAIL) << "not initialised";
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(setup->Initialise(&storage, proc), VK_OK);
    EXPECT_EQ(setup->Initialise(&storage, proc), VK_E_FAIL);
    EXPECT_EQ(type->ApplyValue("missing.wav", 0), VK_OK) << "a null target does nothing";
    EXPECT_EQ(type->ReleaseValue(0), 0);
}

// The real data path: the maker is Sound Processing, so the sound is filled from the file.
TEST_F(SoundTypeTest, SettingsShapeTheSoundAndTheDataIsConverted) {
    storage.files["data/snd/boom.wav"] = Wav8({0x80, 0xC0, 0x40, 0x80}, 22050);
    storage.files["data/snd/boom.ini"] =
        Text("EightBit = 0\nFrequency = 11025\nVolume = 0.5\n[3]\nVolume = 0.25\n");
    setup->SetBaseDirectory("data/");
    ASSERT_EQ(setup->Initialise(&storage, proc), VK_OK);

    uintptr_t value = 0;
    ASSERT_EQ(type->LoadValue("snd/boom.wav", &value), VK_OK);
    IVkSoundBuffer* sound = reinterpret_cast<IVkSoundBuffer*>(value);
    EXPECT_EQ(sound->GetFormat(), VK_SOUND_S16) << "EightBit 0 gives 16-bit even for 8-bit data";
    EXPECT_EQ(sound->GetLength(), 4u);
    EXPECT_EQ(Samples16(sound), (std::vector<int16_t>{0, 0x4000, -0x4000, 0}));
    EXPECT_EQ(Frequency(sound), 11025u);
    float volume = 0;
    sound->GetFloat(VK_SOUND_VOLUME, &volume);
    EXPECT_EQ(volume, 0.5f) << "no numbered section without property 18";

    // Applying the named file to another sound converts the data into it.
    IVkSoundBuffer* target = Buffer(VK_SOUND_S16, 1, 4);
    EXPECT_EQ(type->ApplyValue("snd/boom.wav", reinterpret_cast<uintptr_t>(target)), VK_OK);
    EXPECT_EQ(Samples16(target), (std::vector<int16_t>{0, 0x4000, -0x4000, 0}));
    target->Release();

    EXPECT_EQ(type->AddRefValue(value), VK_OK);
    EXPECT_EQ(type->ReleaseValue(value), 0);
    EXPECT_EQ(type->ReleaseValue(value), 1);
}

TEST_F(SoundTypeTest, SettingsFileIsFoundBesideTheSound) {
    ASSERT_EQ(setup->Initialise(&storage, proc), VK_OK);
    setup->SetBaseDirectory("base/");
    const struct {
        const char* name;
        const char* settings;
    } cases[] = {
        {"boom.wav", "base/boom.ini"},           {"boom", "base/boom.ini"},
        {"dir.v2/boom", "base/dir.v2/boom.ini"}, {"dir.v2\\boom.x.wav", "base/dir.v2\\boom.x.ini"},
        {"disk.a:boom", "base/disk.a:boom.ini"},
    };
    for (const auto& c : cases) {
        storage.asked.clear();
        uintptr_t value = 0;
        EXPECT_LT(type->LoadValue(c.name, &value), 0) << "no sound file";
        ASSERT_FALSE(storage.asked.empty());
        EXPECT_EQ(storage.asked.front(), c.settings) << c.name;
    }
}

class SoundTypeSilentTest : public SoundTypeTest {
protected:
    void SetUp() override {
        SoundTypeTest::SetUp();
        control = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
        ASSERT_NE(control, nullptr);
        maker = new RecordingMaker(control);
        storage.files["s.wav"] = Wav8({1, 2, 3}, 8000);
        ASSERT_EQ(setup->Initialise(&storage, maker), VK_OK);
    }
    void ReleaseExtras() override {
        delete maker;
        EXPECT_EQ(control->Release(), 0u);
    }
    IVkSoundControl* control = nullptr;
    RecordingMaker* maker = nullptr;
};

// Sounds of the silent control are not filled (their data cannot be locked), and the
// format keys reach the maker's format, the numbered section overriding the root.
TEST_F(SoundTypeSilentTest, FormatKeysWithRootAndNumberedSections) {
    const struct {
        const char* ini;
        uint32_t section;
        std::map<uint32_t, uint32_t> expect;
    } cases[] = {
        {"", 0, {{2, VK_SOUND_U8}, {3, 3}, {4, 1}, {5, 8000}}},
        {"Noddy3D = 1\n", 0, {{19, 1}, {20, 1}}},
        {"Noddy3D = 1\nNoddyDoppler = 0\n", 0, {{19, 1}, {20, 0}}},
        {"Noddy3D = 1\n[2]\nNoddyDoppler = 0\n", 2, {{19, 1}, {20, 0}}},
        {"Noddy3D = 1\n[2]\nNoddyDoppler = 0\n", 0, {{19, 1}, {20, 1}}},
        {"Priority = 3\nFrequency = 44100\n3d = 1\nStatic = 1\nCursor = 1\nBackup = 1\n"
         "Software = 1\nEightBit = 1\n",
         0,
         {{6, 3}, {5, 44100}, {7, 1}, {8, 1}, {9, 1}, {11, 1}, {16, 1}, {2, VK_SOUND_U8}}},
        {"EightBit = yes\nPriority = loud\n_NO_LOAD_ = 2\n",
         0,
         {{2, VK_SOUND_S16}, {6, 0}, {1, 0}}},
    };
    for (const auto& c : cases) {
        storage.files["s.ini"] = Text(c.ini);
        maker->section = c.section;
        uintptr_t value = 0;
        ASSERT_EQ(type->LoadValue("s.wav", &value), VK_OK) << c.ini;
        for (const auto& [id, v] : c.expect)
            EXPECT_EQ(maker->ints[id], v) << c.ini << " property " << id;
        EXPECT_EQ(type->ReleaseValue(value), 1);
    }
}

TEST_F(SoundTypeSilentTest, NoLoadKeyRefusesTheSound) {
    storage.files["s.ini"] = Text("_NO_LOAD_ = 1\n");
    uintptr_t value = 0;
    EXPECT_EQ(type->LoadValue("s.wav", &value), VK_E_FAIL);
    EXPECT_EQ(value, 0u);
}

} // namespace
