#include "framework/core/framework.h"
#include "framework/misc/cpuid.h"
#include "platform/crt/cpuid.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <string>

namespace {

// A made-up processor: vendor and leaf 1 as set by the test, no extended leaves unless a
// brand text is given.
struct FakeCpu {
    bool present = true;
    const char* vendor = "GenuineIntel";
    uint32_t signature = 0;
    uint32_t features = 0;
    const char* brand = nullptr;
} g_fake;

bool Fake(uint32_t leaf, uint32_t r[4]) {
    if (!g_fake.present) return false;
    if (leaf == 0) {
        r[0] = 1;
        std::memcpy(&r[1], g_fake.vendor, 4);
        std::memcpy(&r[3], g_fake.vendor + 4, 4);
        std::memcpy(&r[2], g_fake.vendor + 8, 4);
    } else if (leaf == 1) {
        r[0] = g_fake.signature;
        r[3] = g_fake.features;
    } else if (leaf == 0x80000000u) {
        r[0] = g_fake.brand ? 0x80000004u : 0;
    } else if (g_fake.brand && leaf >= 0x80000002u && leaf <= 0x80000004u) {
        char block[48] = {};
        std::strncpy(block, g_fake.brand, sizeof block);
        std::memcpy(r, block + 16 * (leaf - 0x80000002u), 16);
    }
    return true;
}

class CpuId : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        g_fake = FakeCpu{};
        PlatformSetCpuidSource(Fake);
        cpu = Create<IVkCpuId>(CLSID_VkCpuId, IID_IVkCpuId);
        ASSERT_NE(cpu, nullptr);
    }
    void TearDown() override {
        PlatformSetCpuidSource(nullptr);
        EXPECT_EQ(cpu->Release(), 0u);
        FrameworkTest::TearDown();
    }
    std::string Name() {
        char buffer[64];
        EXPECT_EQ(cpu->GetName(buffer, sizeof buffer), VK_OK);
        return buffer;
    }
    IVkCpuId* cpu = nullptr;
};

TEST_F(CpuId, IntelNamesByFamilyModelAndType) {
    struct Case {
        uint32_t family, model, type;
        const char* brand;
        const char* name;
    };
    const Case cases[] = {
        {4, 1, 0, nullptr, "Intel486 DX"},
        {4, 8, 1, nullptr, "Intel DX4 Overdrive"},
        {4, 8, 0, nullptr, "Intel DX4"},
        {4, 9, 0, nullptr, "Unknown Intel 486"},
        {5, 2, 1, nullptr, "Pentium OverDrive"},
        {5, 2, 0, nullptr, "Pentium"},
        {5, 9, 0, nullptr, "Unknown Pentium"},
        {6, 3, 0, nullptr, "Pentium II (Model 3)"},
        {6, 3, 1, nullptr, "Pentium Pro OverDrive"},
        {6, 0xA, 0, nullptr, "Unkown Intel CPU"},
        {6, 0xA, 0, "  Modern Core", "Modern Core"}, // a model the table does not know
        {5, 2, 0, "Modern Core", "Pentium"},
    };
    for (const Case& c : cases) {
        g_fake.signature = c.type << 12 | c.family << 8 | c.model << 4 | 9;
        g_fake.brand = c.brand;
        ASSERT_EQ(cpu->Identify(), VK_OK);
        EXPECT_EQ(Name(), c.name) << c.family << "/" << c.model << "/" << c.type;
        EXPECT_EQ(cpu->GetFamily(), c.family);
        EXPECT_EQ(cpu->GetModel(), c.model);
        EXPECT_EQ(cpu->GetType(), c.type);
        EXPECT_EQ(cpu->GetStepping(), 9u);
    }
}

TEST_F(CpuId, OtherVendorsTakeTheBrandText) {
    g_fake.vendor = "AuthenticAMD";
    g_fake.signature = 0x00000F00 | 0x10;
    g_fake.features = 0x00800001;
    g_fake.brand = "A processor with a brand text of forty-seven c";
    ASSERT_EQ(cpu->Identify(), VK_OK);
    EXPECT_EQ(Name(), g_fake.brand);
    EXPECT_EQ(cpu->GetFeatures() & 0x00800001u, 0x00800001u);
    char vendor[13];
    EXPECT_EQ(cpu->GetVendor(vendor, sizeof vendor), VK_OK);
    EXPECT_STREQ(vendor, "AuthenticAMD");
}

TEST_F(CpuId, TextsCutToTheBuffer) {
    ASSERT_EQ(cpu->Identify(), VK_OK);
    char small[5] = "xxxx";
    EXPECT_EQ(cpu->GetVendor(small, 5), 1);
    EXPECT_STREQ(small, "Genu");
    EXPECT_EQ(cpu->GetVendor(nullptr, 5), VK_E_NULLBUFFER);
    EXPECT_EQ(cpu->GetName(nullptr, 64), VK_E_NULLBUFFER);
    EXPECT_EQ(cpu->GetVendor(small, 0), 1);
    EXPECT_STREQ(small, "Genu"); // nothing written into no room
    char name[17];               // "Unkown Intel CPU" is 16 characters
    EXPECT_EQ(cpu->GetName(name, 16), 1);
    EXPECT_STREQ(name, "Unkown Intel CP");
    EXPECT_EQ(cpu->GetName(name, 17), VK_OK);
    EXPECT_STREQ(name, "Unkown Intel CPU");
}

TEST_F(CpuId, NoInstructionLeavesTheTextsEmpty) {
    g_fake.present = false;
    EXPECT_EQ(cpu->Identify(), VK_E_FAIL);
    char text[64] = "old";
    EXPECT_EQ(cpu->GetVendor(text, sizeof text), VK_OK);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(cpu->GetName(text, sizeof text), VK_OK);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(cpu->GetFamily(), 0u);
}

TEST_F(CpuId, RealProcessorAnswers) {
    PlatformSetCpuidSource(nullptr);
    IVkCpuId* again = Create<IVkCpuId>(CLSID_VkCpuId, IID_IVkCpuId);
    EXPECT_EQ(again, cpu);
    again->Release();
#if defined(__x86_64__)
    ASSERT_EQ(cpu->Identify(), VK_OK);
    char vendor[13];
    EXPECT_EQ(cpu->GetVendor(vendor, sizeof vendor), VK_OK);
    EXPECT_EQ(std::strlen(vendor), 12u);
    EXPECT_NE(cpu->GetFeatures() & 1u, 0u); // every x86-64 processor has its FPU
#endif
}

} // namespace
