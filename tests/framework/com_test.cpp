#include "framework/core/memory.h"
#include "framework/core/winos.h"
#include "framework/streams/stream.h"
#include "platform/winmm/winmm.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const VkGuid kSample = {
    0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(Guid, TextRoundTripsAndLenientForms) {
    char text[39];
    VkGuidToString(kSample, text);
    EXPECT_STREQ(text, "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    for (const char* form :
         {static_cast<const char*>(text), "12345678-9ABC-DEF0-0123-456789ABCDEF",
          "123456789abcdef00123456789abcdef", "{12345678 9abc:def0/0123 4567_89ab_cdef}"}) {
        VkGuid g = {};
        EXPECT_EQ(VkGuidFromString(form, &g), VK_OK) << form;
        EXPECT_TRUE(VkGuidEqual(g, kSample)) << form;
    }
}

TEST(Guid, WrongDigitCountsFailWithoutWritingPastTheGuid) {
    struct Guarded {
        VkGuid guid;
        uint8_t after[8];
    };
    for (const char* bad : {"", "{12345678-9ABC-DEF0-0123-456789ABCDE}", // 31 digits
                            "{12345678-9ABC-DEF0-0123-456789ABCDEF0}",   // 33 digits
                            "{12345678-9ABC-DEF0-0123-456789ABCDEF0123456789}", "{zz}"}) {
        Guarded g;
        std::memset(&g, 0xEE, sizeof g);
        EXPECT_EQ(VkGuidFromString(bad, &g.guid), VK_E_FAIL) << bad;
        for (uint8_t b : g.after)
            EXPECT_EQ(b, 0xEE) << bad;
    }
}

// A tiny component for registry and creation tests.
class Probe final : public IVkUnknown {
public:
    VkResult QueryInterface(const VkGuid& iid, void** out) override {
        if (!VkGuidEqual(iid, IID_IVkUnknown)) {
            *out = nullptr;
            return VK_E_NOINTERFACE;
        }
        *out = this;
        ++count;
        return VK_OK;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override {
        if (--count) return count;
        ++destroyed;
        delete this;
        return 0;
    }
    uint32_t count = 1;
    static int created, destroyed;
};
int Probe::created = 0;
int Probe::destroyed = 0;

VkResult CreateProbe(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    *out = new Probe;
    ++Probe::created;
    return VK_OK;
}
constexpr VkResult kBroken = static_cast<VkResult>(0x80031234u);
VkResult CreateBroken(IVkUnknown*, IVkUnknown** out) {
    *out = nullptr;
    return kBroken;
}

const VkGuid kCategory = {0xCA7, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const VkGuid kOtherCategory = {0xCA8, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const VkGuid kClsA = {0xA, 0, 0, {1}};
const VkGuid kClsB = {0xB, 0, 0, {1}};
const VkGuid kClsC = {0xC, 0, 0, {1}};
const VkCategoryRef kCat[] = {{&kCategory, "Test Category"}};
const VkCategoryRef kOther[] = {{&kOtherCategory, "Other"}};
const VkCategoryRef kBoth[] = {{&kCategory, "Test Category"}, {&kOtherCategory, "Other"}};

int g_initCalls = 0;
void CountInit(int32_t flag) {
    g_initCalls += flag;
}

const VkComponentRecord kRecords[] = {
    {&kClsA, 1, kCat, 0, nullptr, CreateProbe, "Probe A", "Test.A.2.5", "Test.A", CountInit},
    {&kClsB, 1, kCat, 2, kBoth, CreateBroken, "Probe B", "Test.B.1", "Test.B", nullptr},
};
VkResult RecordsClassObject(const VkGuid& clsid, const VkGuid& iid, void** out) {
    return VkModuleGetClassObject(kRecords, 2, clsid, iid, out);
}

std::vector<std::string> Enumerate(IVkRegistry* r, const VkGuid& category) {
    std::vector<std::string> names;
    VkGuid clsid = VK_GUID_NULL;
    while (r->NextClassInCategory(category, &clsid) == VK_OK) {
        char name[128];
        EXPECT_EQ(r->GetClassName(clsid, name, sizeof name), VK_OK);
        names.push_back(name);
    }
    return names;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        IVkUnknown* unknown = nullptr;
        ASSERT_EQ(VkCreateStdRegistry(nullptr, &unknown), VK_OK);
        reg = static_cast<IVkRegistry*>(unknown);
    }
    void TearDown() override { reg->Release(); }
    IVkRegistry* reg = nullptr;
};

TEST_F(Registry, RegistersInReverseOrderAndReRegistrationKeepsItsPlace) {
    g_initCalls = 0;
    ASSERT_EQ(VkRegisterModuleClasses(kRecords, 2, RecordsClassObject, reg), VK_OK);
    EXPECT_EQ(g_initCalls, 1);
    ASSERT_EQ(reg->RegisterClass(0, RecordsClassObject, kClsC, 1, kCat, 0, nullptr, "Probe C",
                                 "Test.C", "Test.C.1"),
              VK_OK);
    EXPECT_EQ(Enumerate(reg, kCategory),
              (std::vector<std::string>{"Probe C", "Probe B", "Probe A"}));

    // B again, now only in the other category and with a new name: same place, new data.
    ASSERT_EQ(reg->RegisterClass(0, RecordsClassObject, kClsB, 1, kOther, 0, nullptr, "Probe B2",
                                 "Test.B", "Test.B.7"),
              VK_OK);
    EXPECT_EQ(Enumerate(reg, kCategory), (std::vector<std::string>{"Probe C", "Probe A"}));
    EXPECT_EQ(Enumerate(reg, CATID_Vesk5),
              (std::vector<std::string>{"Probe C", "Probe B2", "Probe A"}));
    char version[16];
    EXPECT_EQ(reg->GetClassVersion(kClsB, version, sizeof version), VK_OK);
    EXPECT_STREQ(version, ".7");
    VkGuid req = VK_GUID_NULL;
    EXPECT_EQ(reg->NextRequiredCategory(kClsB, &req), VK_E_FAIL);
}

TEST_F(Registry, LookupsAndTheirFailures) {
    ASSERT_EQ(VkRegisterModuleClasses(kRecords, 2, RecordsClassObject, reg), VK_OK);
    VkGuid found = VK_GUID_NULL;
    EXPECT_EQ(reg->FindClassByName("Probe B", &found), VK_OK);
    EXPECT_TRUE(VkGuidEqual(found, kClsB));
    EXPECT_EQ(reg->FindClassByName("probe b", &found), VK_E_FAIL);

    VkGuid cat = VK_GUID_NULL;
    EXPECT_EQ(reg->NextRequiredCategory(kClsB, &cat), VK_OK);
    EXPECT_TRUE(VkGuidEqual(cat, kCategory));
    EXPECT_EQ(reg->NextRequiredCategory(kClsB, &cat), VK_OK);
    EXPECT_TRUE(VkGuidEqual(cat, kOtherCategory));
    EXPECT_EQ(reg->NextRequiredCategory(kClsB, &cat), VK_E_FAIL);

    char small[4] = "xy";
    EXPECT_EQ(reg->GetClassName(kClsA, small, sizeof small), VK_E_FAIL);
    EXPECT_STREQ(small, "xy"); // untouched
    char version[5];
    EXPECT_EQ(reg->GetClassVersion(kClsA, version, sizeof version), VK_OK);
    EXPECT_STREQ(version, ".2.5");
    EXPECT_EQ(reg->GetClassVersion(kClsA, version, 4), VK_E_FAIL);

    VkGuid unknown = kClsC;
    EXPECT_EQ(reg->NextClassInCategory(kCategory, &unknown), VK_E_FAIL);
    EXPECT_EQ(reg->UnregisterClass(kClsC, nullptr, nullptr), VK_E_FAIL);
    EXPECT_EQ(reg->RegisterModuleFile("x.dll"), VK_E_FAIL);
    void* object = nullptr;
    EXPECT_EQ(reg->GetClassObject(kClsC, 0, nullptr, IID_IClassFactory, &object), VK_E_FAIL);
    EXPECT_EQ(VkModuleGetClassObject(kRecords, 2, kClsC, IID_IClassFactory, &object),
              VK_E_CLASSNOTAVAILABLE);
}

TEST_F(Registry, FactoryRefusesAnOuterObjectAndHandsOutTheOnlyReference) {
    ASSERT_EQ(VkRegisterModuleClasses(kRecords, 2, RecordsClassObject, reg), VK_OK);
    void* f = nullptr;
    ASSERT_EQ(reg->GetClassObject(kClsA, 0, nullptr, IID_IClassFactory, &f), VK_OK);
    IVkClassFactory* factory = static_cast<IVkClassFactory*>(f);
    void* init = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IVkClassObjectInit, &init), VK_OK);
    static_cast<IVkClassObjectInit*>(init)->Release();

    int created = Probe::created;
    Probe outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IVkUnknown, &object), VK_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Probe::created, created);

    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVkUnknown, &object), VK_OK);
    EXPECT_EQ(static_cast<Probe*>(static_cast<IVkUnknown*>(object))->count, 1u);
    int destroyed = Probe::destroyed;
    static_cast<IVkUnknown*>(object)->Release();
    EXPECT_EQ(Probe::destroyed, destroyed + 1);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(Framework, WithoutRegistryEverythingFails) {
    VkGuid g = VK_GUID_NULL;
    void* out = nullptr;
    char buffer[8];
    EXPECT_EQ(VkNextClassInCategory(kCategory, &g), VK_E_NOREGISTRY);
    EXPECT_EQ(VkGetClassValue(kClsA, "k", "s", buffer, sizeof buffer), VK_E_NOREGISTRY);
    EXPECT_EQ(VkRegisterModuleFile("x"), VK_E_NOREGISTRY);
    EXPECT_EQ(VkGetClassObject(kClsA, 0, nullptr, IID_IClassFactory, &out), VK_E_FAIL);
    EXPECT_EQ(VkCreateInstance(kClsA, nullptr, 0, IID_IVkUnknown, &out), VK_E_FAIL);
    EXPECT_EQ(VkGetTime(), 0u);
}

TEST(Framework, InitialiseAgainAfterUninitialiseAndNotTwice) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(VkInitialise(nullptr), VK_OK);
        IVkRegistry* standard = nullptr;
        VkGetRegistries(nullptr, &standard);
        ASSERT_NE(standard, nullptr);
        EXPECT_EQ(VkOpen(), VK_E_FAIL); // nothing registered: no operating-system object
        VkClose();
        EXPECT_EQ(VkGetTime(), 0u);
        EXPECT_EQ(VkInitialise(nullptr), VK_E_FAIL); // the first registry stays
        IVkRegistry* still = nullptr;
        VkGetRegistries(nullptr, &still);
        EXPECT_EQ(still, standard);
        EXPECT_EQ(VkUninitialise(), VK_OK);
        VkGetRegistries(nullptr, &still);
        EXPECT_EQ(still, nullptr);
    }
}

class BuiltIn : public FrameworkTest {};

TEST_F(BuiltIn, CategoriesEnumerateInReverseRegistrationOrder) {
    EXPECT_EQ(
        Enumerate(registry, CATID_VkTransport),
        (std::vector<std::string>{"Vesk - DirectX 6 Network Transport",
                                  "Vesk - DirectX 5 Network Transport", "Vesk - NULL Transport"}));
    EXPECT_EQ(Enumerate(registry, CATID_VkSoundControl),
              (std::vector<std::string>{"Vesk - DX Sound Control", "Vesk - Null Sound"}));
    std::vector<std::string> all = Enumerate(registry, CATID_Vesk5);
    ASSERT_EQ(all.size(), 35u);
    EXPECT_EQ(all.front(), "Vesk - DX Sound Control");
    EXPECT_EQ(all[13], "Vesk - Windows OS");
    EXPECT_EQ(all[18], "Vesk - Standard Memory");
    EXPECT_EQ(all.back(), "Vesk - DictionaryManager");

    VkGuid network = VK_GUID_NULL, cat = VK_GUID_NULL;
    ASSERT_EQ(registry->FindClassByName("Vesk - Standard Networking", &network), VK_OK);
    EXPECT_EQ(registry->NextRequiredCategory(network, &cat), VK_OK);
    EXPECT_TRUE(VkGuidEqual(cat, CATID_VkTransport));
    EXPECT_EQ(registry->NextRequiredCategory(network, &cat), VK_E_FAIL);

    VkGuid clsid;
    char version[16];
    ASSERT_EQ(registry->FindClassByName("Vesk - DX Sound Control", &clsid), VK_OK);
    EXPECT_EQ(registry->GetClassVersion(clsid, version, sizeof version), VK_OK);
    EXPECT_STREQ(version, ".5.0");
    EXPECT_EQ(registry->GetClassVersion(CLSID_VkMemory, version, sizeof version), VK_OK);
    EXPECT_STREQ(version, ".1");
}

TEST_F(BuiltIn, ComponentsFoundByNameCreate) {
    VkGuid player;
    ASSERT_EQ(registry->FindClassByName("Vesk - Streamed Sound Player", &player), VK_OK);
    IVkUnknown* made = Create<IVkUnknown>(player, IID_IVkUnknown);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Release(), 0u);
}

VkResult NoClassObject(const VkGuid&, const VkGuid&, void** out) {
    *out = nullptr;
    return VK_E_CLASSNOTAVAILABLE;
}

TEST(Framework, CategoryCreationUsesTheFirstClassWhoseFactoryCanBeMade) {
    ASSERT_EQ(VkInitialise(nullptr), VK_OK);
    IVkRegistry* reg = nullptr;
    VkGetRegistries(nullptr, &reg);
    void* out = nullptr;
    EXPECT_EQ(VkCreateInstanceByCategory(kCategory, nullptr, 0, IID_IVkUnknown, &out),
              VK_E_CATEGORYEMPTY);

    // Enumeration gives C (no factory) before A: A is created.
    reg->RegisterClass(0, RecordsClassObject, kClsA, 1, kCat, 0, nullptr, "A", "A", "A.1");
    reg->RegisterClass(0, NoClassObject, kClsC, 1, kCat, 0, nullptr, "C", "C", "C.1");
    int created = Probe::created;
    ASSERT_EQ(VkCreateInstanceByCategory(kCategory, nullptr, 0, IID_IVkUnknown, &out), VK_OK);
    EXPECT_EQ(Probe::created, created + 1);
    static_cast<IVkUnknown*>(out)->Release();

    // B comes first and gives a factory whose creation fails: that failure, A is not tried.
    reg->RegisterClass(0, RecordsClassObject, kClsB, 1, kCat, 0, nullptr, "B", "B", "B.1");
    EXPECT_EQ(VkCreateInstanceByCategory(kCategory, nullptr, 0, IID_IVkUnknown, &out), kBroken);
    EXPECT_EQ(Probe::created, created + 1);

    // A lone class without a factory gives its own failure.
    EXPECT_EQ(VkCreateInstanceByCategory(kOtherCategory, nullptr, 0, IID_IVkUnknown, &out),
              VK_E_CATEGORYEMPTY);
    reg->RegisterClass(0, NoClassObject, kClsC, 1, kOther, 0, nullptr, "C", "C", "C.1");
    EXPECT_EQ(VkCreateInstanceByCategory(kOtherCategory, nullptr, 0, IID_IVkUnknown, &out),
              VK_E_CLASSNOTAVAILABLE);
    VkUninitialise();
}

TEST_F(BuiltIn, OpenAndCloseAreCounted) {
    PlatformUseManualClock(true, 1234);
    EXPECT_EQ(VkGetTime(), 0u);
    ASSERT_EQ(VkOpen(), VK_OK);
    ASSERT_EQ(VkOpen(), VK_OK);
    void* os = nullptr;
    ASSERT_EQ(VkCreateInstance(CLSID_VkWinOS, nullptr, 0, IID_IVkWinOS, &os), VK_OK);
    IVkWinOS* winOS = static_cast<IVkWinOS*>(os);
    EXPECT_EQ(VkGetTime(), 1234u);
    VkClose();
    EXPECT_EQ(winOS->AddRef(), 3u); // the open one, ours and this one
    winOS->Release();
    VkClose();
    EXPECT_EQ(VkGetTime(), 0u);
    EXPECT_EQ(winOS->Release(), 0u); // the open reference was given back
    VkClose();                       // at count 0: nothing
    PlatformUseManualClock(false);
}

} // namespace
