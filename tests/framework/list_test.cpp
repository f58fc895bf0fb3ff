#include "framework/core/list.h"
#include "framework/core/memory.h"
#include "tests/framework/framework_fixture.h"

#include <string>

namespace {

class List : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        list = Create<IVkList>(CLSID_VkList, IID_IVkList);
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        VkMemSetFailAllocations(false);
        EXPECT_EQ(list->Release(), 0u); // frees the items still held
        FrameworkTest::TearDown();
    }
    void Add(const std::string& s) { ASSERT_EQ(list->Add(s.c_str(), s.size() + 1), VK_OK); }
    std::string Items() {
        std::string all;
        for (void* i = list->First(); i; i = list->Next(i))
            all += static_cast<char*>(i);
        return all;
    }
    IVkList* list = nullptr;
};

int ByText(const void* a, const void* b) {
    return std::string(*static_cast<char* const*>(a)).compare(*static_cast<char* const*>(b));
}
int Never(const void*, const void*) {
    return 1;
}
int SameText(const void* item, const void* arg) {
    return std::string(static_cast<const char*>(item)).compare(static_cast<const char*>(arg));
}

TEST_F(List, AddsAtTheFrontAndIndexesFromIt) {
    EXPECT_EQ(list->Sort(ByText), VK_OK);
    EXPECT_EQ(list->First(), nullptr);
    Add("A");
    Add("B");
    Add("C");
    EXPECT_EQ(Items(), "CBA");
    EXPECT_EQ(list->Count(), 3);
    EXPECT_STREQ(static_cast<char*>(list->GetAt(0)), "C");
    EXPECT_STREQ(static_cast<char*>(list->GetAt(2)), "A");
    EXPECT_EQ(list->GetAt(3), nullptr);
    EXPECT_EQ(list->GetAt(-1), nullptr);
    EXPECT_STREQ(static_cast<char*>(list->Find(SameText, "B")), "B");
    EXPECT_EQ(list->Find(Never, "B"), nullptr);

    list->Remove(list->GetAt(1));
    EXPECT_EQ(Items(), "CA");
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    Add("only");
    list->Remove(list->First());
    EXPECT_EQ(list->First(), nullptr);
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(List, SortsAscendingAndFailsWholeWithoutMemory) {
    for (const char* s : {"d", "a", "c", "b", "e"})
        Add(s);
    VkMemSetFailAllocations(true);
    EXPECT_EQ(list->Sort(ByText), VK_E_OUTOFMEMORY);
    EXPECT_EQ(list->Add("x", 2), VK_E_OUTOFMEMORY);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(Items(), "ebcad");
    EXPECT_EQ(list->Sort(ByText), VK_OK);
    EXPECT_EQ(Items(), "abcde");
    EXPECT_EQ(list->Count(), 5);
}

} // namespace
