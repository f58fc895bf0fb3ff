#include "framework/core/framework.h"
#include "framework/misc/propfile.h"
#include "framework/streams/stream.h"
#include "tests/framework/framework_fixture.h"

#include <string>

namespace {

class PropertySet : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        set = Create<IVkPropertySet>(CLSID_VkPropertySet, IID_IVkPropertySet);
        ASSERT_NE(set, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(set->Release(), 0u);
        FrameworkTest::TearDown();
    }
    // Loads the text through a FIFO stream, which ends without failing its reads.
    VkResult Load(const std::string& text) {
        IVkStream* fifo = Create<IVkStream>(CLSID_VkFifoStream, IID_IVkStream);
        fifo->Write(text.data(), static_cast<uint32_t>(text.size()), nullptr);
        VkResult res = set->Load(fifo);
        fifo->Release();
        return res;
    }
    std::string Saved() {
        IVkStream* fifo = Create<IVkStream>(CLSID_VkFifoStream, IID_IVkStream);
        EXPECT_EQ(set->Save(fifo), VK_OK);
        std::string text(8192, '\0');
        uint32_t got = 0;
        fifo->Read(text.data(), static_cast<uint32_t>(text.size()), &got);
        fifo->Release();
        return text.substr(0, got);
    }
    std::string Value(const char* key) {
        char buffer[600] = "(absent)";
        set->GetValue(key, buffer, sizeof buffer);
        return buffer;
    }
    std::string Section() {
        char name[VK_PROP_NAME_SIZE];
        EXPECT_EQ(set->GetSectionName(name), VK_OK);
        return name;
    }
    IVkPropertySet* set = nullptr;
};

TEST_F(PropertySet, TextFormLoadsAndSavesBack) {
    const std::string name40(40, 'n'), key39(39, 'k');
    struct Case {
        std::string text;
        VkResult result;
        std::string saved;
    };
    const Case cases[] = {
        {"a=1", VK_OK, "a = 1\n\n"},
        {"[  Sound \t]  trailing\r\nvolume =  7 \r\n", VK_OK, "\n[Sound]\nvolume = 7\n\n"},
        {"  # comment\n\nflag\nx = 1 # 2\n", VK_OK, "flag\nx = 1 # 2\n\n"},
        {"=5\n", VK_OK, "\n"}, // the hidden key takes the value but is never saved
        {std::string("k \0=1\nv=2", 10), VK_OK, "k\nv = 2\n\n"}, // a zero byte ends a line
        {"[S]\na=1\nb=2\n[T]\n[S]\na=3\n[]\nr=0\n", VK_OK, "r = 0\n\n[S]\na = 3\nb = 2\n\n[T]\n\n"},
        {"[" + name40 + "]\n", VK_E_FAIL, "\n"},
        {"[" + name40.substr(1) + "]\n", VK_OK, "\n[" + name40.substr(1) + "]\n\n"},
        {"[open\n", VK_E_FAIL, "\n"},
        {"ok=1\n" + key39 + "x=1\n", VK_E_FAIL, "ok = 1\n\n"}, // lines before the bad one stay
        {key39 + " =2", VK_OK, key39 + " = 2\n\n"},
        {"k=" + std::string(510, 'v'), VK_E_FAIL, "\n"}, // 512 bytes without an end
    };
    for (const Case& c : cases) {
        set->Reset();
        EXPECT_EQ(Load(c.text), c.result) << c.text;
        std::string saved = Saved();
        EXPECT_EQ(saved, c.saved) << c.text;
        set->Reset();
        EXPECT_EQ(Load(saved), VK_OK);
        EXPECT_EQ(Saved(), saved) << c.text;
    }
    set->Reset();
    EXPECT_EQ(Load("k=" + std::string(509, 'v')), VK_OK);
    EXPECT_EQ(Value("k"), std::string(509, 'v'));
    set->Reset();
    Load("=5\n");
    EXPECT_EQ(Value(""), "5");
    EXPECT_EQ(set->Load(nullptr), VK_E_FAIL);
}

TEST_F(PropertySet, SectionsAndTheirCursor) {
    EXPECT_EQ(set->AddSection(""), VK_E_FAIL); // the root has it
    EXPECT_EQ(set->DeleteSection(), VK_E_FAIL);
    EXPECT_EQ(set->RenameSection("X"), VK_E_FAIL);
    for (const char* name : {"A", "B", "C"})
        EXPECT_EQ(set->AddSection(name), VK_OK);
    EXPECT_EQ(Section(), "C");
    EXPECT_EQ(set->AddSection("B"), VK_E_FAIL);
    EXPECT_EQ(set->MoveSection(VK_PROP_NEXT), VK_E_FAIL);
    EXPECT_EQ(set->MoveSection(9), VK_E_FAIL);
    EXPECT_EQ(Section(), "C");
    EXPECT_EQ(set->MoveSection(VK_PROP_FIRST), VK_OK);
    EXPECT_EQ(Section(), "");
    EXPECT_EQ(set->MoveSection(VK_PROP_PREVIOUS), VK_E_FAIL);

    EXPECT_EQ(set->SelectSection("B"), VK_OK);
    EXPECT_EQ(set->RenameSection("B"), VK_E_FAIL); // its own name counts
    EXPECT_EQ(set->RenameSection("Bee"), VK_OK);
    EXPECT_EQ(set->DeleteSection(), VK_OK);
    EXPECT_EQ(Section(), "C"); // the next one
    EXPECT_EQ(set->DeleteSection(), VK_OK);
    EXPECT_EQ(Section(), "A"); // none next: one step on from the root
    EXPECT_EQ(set->DeleteSection(), VK_OK);
    EXPECT_EQ(Section(), ""); // that step was the deleted one: back to the root
    EXPECT_EQ(set->SelectSection("A"), VK_E_FAIL);
    EXPECT_EQ(set->SelectSection(nullptr), VK_E_FAIL);

    // Names match on their first 39 characters.
    std::string longName(45, 'L');
    EXPECT_EQ(set->AddSection(longName.c_str()), VK_OK);
    EXPECT_EQ(Section(), longName.substr(0, 39));
    EXPECT_EQ(set->AddSection((longName.substr(0, 39) + "x").c_str()), VK_E_FAIL);
}

TEST_F(PropertySet, KeysAndValues) {
    char name[VK_PROP_NAME_SIZE] = "x";
    uint32_t length = 0;
    EXPECT_EQ(set->MoveKey(name, &length, VK_PROP_FIRST), VK_OK);
    EXPECT_STREQ(name, ""); // the hidden key
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(set->DeleteKey(nullptr), VK_E_FAIL);
    EXPECT_EQ(set->DeleteKey(""), VK_E_FAIL);
    EXPECT_EQ(set->DeleteKey("none"), VK_E_FAIL);
    EXPECT_EQ(set->SetValue(nullptr, "v"), VK_E_FAIL);

    EXPECT_EQ(set->SetValue("a", "abcde"), VK_OK);
    EXPECT_EQ(set->SetValue("b", "2"), VK_OK);
    EXPECT_EQ(set->SetValue("a", "a longer value than before"), VK_OK);
    EXPECT_EQ(set->SetValue("a", "abcde"), VK_OK); // a becomes current again
    char small[4];
    EXPECT_EQ(set->GetValue(nullptr, small, sizeof small), VK_E_FAIL);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(set->GetValueLength("a"), 6u);
    EXPECT_EQ(set->GetValueLength("zz"), 0u);
    EXPECT_EQ(set->GetValue("zz", small, sizeof small), VK_E_FAIL);
    EXPECT_EQ(set->GetValue("b", nullptr, 0), VK_OK); // selects only
    EXPECT_EQ(set->GetValueLength(nullptr), 2u);

    EXPECT_EQ(set->MoveKey(name, &length, VK_PROP_PREVIOUS), VK_OK);
    EXPECT_STREQ(name, "a");
    EXPECT_EQ(set->MoveKey(nullptr, nullptr, VK_PROP_LAST), VK_OK);
    EXPECT_EQ(set->MoveKey(name, nullptr, VK_PROP_NEXT), VK_E_FAIL);
    EXPECT_EQ(set->DeleteKey(nullptr), VK_OK); // b; none next: one step on is a
    EXPECT_EQ(set->MoveKey(name, nullptr, VK_PROP_NEXT), VK_E_FAIL);
    EXPECT_EQ(set->DeleteKey("a"), VK_OK); // back to the hidden key
    EXPECT_EQ(set->MoveKey(name, nullptr, VK_PROP_NEXT), VK_E_FAIL);
    EXPECT_EQ(set->GetValueLength(nullptr), 1u);

    // Keys belong to the current section.
    set->AddSection("S");
    EXPECT_EQ(set->SetValue("k", "in S"), VK_OK);
    set->MoveSection(VK_PROP_FIRST);
    EXPECT_EQ(Value("k"), "(absent)");
    set->SelectSection("S");
    EXPECT_EQ(Value("k"), "in S");
}

} // namespace
