#include "framework/dict/dictionary.h"
#include "framework/misc/archive.h"
#include "framework/streams/stream.h"
#include "tests/framework/framework_fixture.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

// A type handler whose values are plain numbers with a reference count each; it logs calls.
class CountingType final : public IVkDictionaryType {
public:
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override { return --count; }
    const char* GetTypeName() override { return "test"; }
    VkResult LoadValue(const char* name, uintptr_t* value) override {
        log.push_back(std::string("load ") + name);
        *value = 1000 + log.size();
        return VK_OK;
    }
    VkResult SaveValue(const char* name, uintptr_t) override {
        log.push_back(std::string("save ") + name);
        return VK_OK;
    }
    VkResult ApplyValue(const char* name, uintptr_t value) override {
        log.push_back(std::string("apply ") + name);
        return value == failOn ? VK_E_FAIL : VK_OK;
    }
    int32_t ReleaseValue(uintptr_t value) override { return --refs[value] == 0; }
    VkResult AddRefValue(uintptr_t value) override {
        ++refs[value];
        return VK_OK;
    }

    uint32_t count = 1;
    std::map<uintptr_t, int> refs;
    std::vector<std::string> log;
    uintptr_t failOn = 0;
};

class DictTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        manager = Create<IVkDictionaryManager>(CLSID_VkDictionaryManager, IID_IVkDictionaryManager);
        ASSERT_NE(manager, nullptr);
        ASSERT_EQ(manager->CreateRoot(), VK_OK);
        root = manager->GetRoot();
    }
    void TearDown() override {
        if (manager) {
            EXPECT_EQ(manager->Release(), 0u);
        }
        EXPECT_EQ(type.count, 1u);
        FrameworkTest::TearDown();
    }
    // A named dictionary under the root, held by the tree.
    IVkDictionary* Make(const char* name) {
        IVkDictionary* d = nullptr;
        EXPECT_EQ(manager->CreateDictionary(&type, &d), VK_OK);
        d->SetName(name);
        return d;
    }
    std::vector<std::string> Names(IVkDictionary* d) {
        std::vector<std::string> names;
        uintptr_t v = 0;
        for (const char* n : {"a", "b", "c", "d"})
            if (d->Find(n, &v) == VK_OK) names.push_back(n);
        return names;
    }

    CountingType type;
    IVkDictionaryManager* manager = nullptr;
    IVkDictionary* root = nullptr;
};

TEST_F(DictTest, ManagerIsSharedUntilItsLastRelease) {
    IVkDictionaryManager* again =
        Create<IVkDictionaryManager>(CLSID_VkDictionaryManager, IID_IVkDictionaryManager);
    EXPECT_EQ(again, manager);
    EXPECT_EQ(again->Release(), 1u);
    EXPECT_EQ(manager->CreateRoot(), VK_E_FAIL);

    IVkUnknown* object = nullptr;
    EXPECT_EQ(manager->CreateObject(0x12345678, &object), VK_E_FAIL);
    EXPECT_EQ(manager->CreateObject(VK_DICT_TYPE_MANAGER, &object), VK_OK);
    EXPECT_EQ(object, static_cast<IVkUnknown*>(manager));
    object->Release();
    void* face = nullptr;
    EXPECT_EQ(manager->QueryInterface(IID_IVkDictionary, &face), VK_E_NOINTERFACE);

    EXPECT_EQ(manager->Release(), 0u);
    manager = Create<IVkDictionaryManager>(CLSID_VkDictionaryManager, IID_IVkDictionaryManager);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->GetRoot(), nullptr);
}

TEST_F(DictTest, EntriesTakeAndDropHandlerReferences) {
    uintptr_t v = 0;
    EXPECT_EQ(root->Add("a", 1), VK_E_FAIL); // the root has no handler
    IVkDictionary* d = Make("sounds");
    EXPECT_EQ(d->Add("a", 7), VK_OK);
    EXPECT_EQ(d->Add("a", 8), VK_E_FAIL);
    EXPECT_EQ(type.refs[8], 0);
    EXPECT_EQ(d->Add("b", 7), VK_OK);
    EXPECT_EQ(type.refs[7], 2);

    EXPECT_EQ(d->Find("a", &v), VK_OK);
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(d->Find("A", &v), VK_E_FAIL);
    EXPECT_EQ(v, 0u);

    char name[2];
    EXPECT_EQ(d->GetNameOfValue(7, name, sizeof name), VK_OK);
    EXPECT_STREQ(name, "b"); // the newest entry comes first
    EXPECT_EQ(d->GetNameOfValue(9, name, sizeof name), VK_OK);
    EXPECT_STREQ(name, "");

    // Released only when the handler reports the last reference gone.
    type.refs[7] = 3;
    EXPECT_EQ(d->ReleaseByName("a"), VK_OK);
    EXPECT_EQ(d->Find("a", &v), VK_OK);
    type.refs[7] = 1;
    EXPECT_EQ(d->ReleaseByName("a"), VK_OK);
    EXPECT_EQ(d->Find("a", &v), VK_E_FAIL);
    EXPECT_EQ(d->ReleaseByName("a"), VK_E_FAIL);
    EXPECT_EQ(d->ReleaseByValue(0), VK_E_FAIL);

    type.refs[7] = 1; // the entry of b
    EXPECT_EQ(d->RemoveByValue(7), VK_OK);
    EXPECT_EQ(type.refs[7], 0);
    EXPECT_EQ(d->RemoveByName("b"), VK_E_FAIL);
    d->Release();
}

TEST_F(DictTest, ApplyAndSaveLoadValuesWalkInListOrder) {
    IVkDictionary* d = Make("d");
    d->Add("a", 1);
    d->Add("b", 2);
    d->Add("c", 3);
    type.failOn = 2;
    EXPECT_EQ(d->ApplyAll(), VK_E_FAIL);
    EXPECT_EQ(d->SaveLoadValues(1), VK_OK);
    EXPECT_EQ(d->SaveLoadValues(0), VK_OK);
    EXPECT_EQ(type.log, (std::vector<std::string>{"apply c", "apply b", "save c", "save b",
                                                  "save a", "load c", "load b", "load a"}));
    uintptr_t v = 0;
    d->Find("a", &v);
    EXPECT_EQ(v, 1008u);
    EXPECT_EQ(root->ApplyAll(), VK_E_FAIL);
    EXPECT_EQ(root->SaveLoadValues(1), VK_E_FAIL);
    type.refs.clear();
    for (uintptr_t x : {1006u, 1007u, 1008u})
        type.refs[x] = 1;
}

TEST_F(DictTest, TreeLinksAndDictionaryLookup) {
    IVkDictionary* a = Make("a");
    IVkDictionary* b = Make("b");
    IVkDictionary* link = nullptr;
    EXPECT_EQ(root->GetLink(VK_DICT_LINK_CHILD, 1, &link), VK_OK);
    EXPECT_EQ(link, b);
    EXPECT_EQ(b->GetLink(VK_DICT_LINK_SIBLING, 1, &link), VK_OK);
    EXPECT_EQ(link, a);
    EXPECT_EQ(a->GetLink(VK_DICT_LINK_SIBLING, 4, &link), VK_OK);
    EXPECT_EQ(link, b);
    EXPECT_EQ(a->GetLink(VK_DICT_LINK_PARENT, 0, &link), VK_OK);
    EXPECT_EQ(link, root);
    EXPECT_EQ(a->GetLink(0x99, 1, &link), VK_E_FAIL);
    EXPECT_EQ(link, nullptr);

    // A grandchild, then B moved under A: the chains are mended.
    IVkDictionary* c = Make("c");
    c->SetParent(a);
    EXPECT_EQ(root->FindDictionary("c"), c);
    EXPECT_EQ(root->FindDictionary("x"), nullptr);
    b->SetParent(a);
    EXPECT_EQ(root->GetLink(VK_DICT_LINK_CHILD, 1, &link), VK_OK);
    EXPECT_EQ(link, a);
    EXPECT_EQ(a->GetLink(VK_DICT_LINK_SIBLING, 4, &link), VK_OK);
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(a->GetLink(VK_DICT_LINK_CHILD, 1, &link), VK_OK);
    EXPECT_EQ(link, b);
    EXPECT_EQ(b->GetLink(VK_DICT_LINK_SIBLING, 1, &link), VK_OK);
    EXPECT_EQ(link, c);

    char name[8];
    EXPECT_EQ(root->GetName(name, sizeof name), VK_OK);
    EXPECT_STREQ(name, "root");
    EXPECT_EQ(root->SetName(nullptr), VK_E_FAIL);

    // Releasing a subtree leaves the root without children; releasing the root drops all.
    a->AddRef();
    EXPECT_EQ(manager->ReleaseTree(a), VK_OK);
    EXPECT_EQ(root->GetLink(VK_DICT_LINK_CHILD, 1, &link), VK_OK);
    EXPECT_EQ(link, a);
    a->SetParent(nullptr);
    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(manager->ReleaseTree(nullptr), VK_E_FAIL);
}

TEST_F(DictTest, TreeSearchesSkipHiddenDictionariesAndContinue) {
    IVkDictionary* a = Make("a");
    IVkDictionary* b = Make("b");
    IVkDictionary* c = Make("c");
    c->SetParent(a);
    a->Add("x", 1);
    b->Add("y", 2);
    c->Add("x", 3);

    uintptr_t v = 0;
    IVkDictionary* where = nullptr;
    EXPECT_EQ(root->FindFirstByName("x", 0, &v, &where), VK_E_FAIL);
    EXPECT_EQ(where, nullptr);

    struct Case {
        uint32_t hiddenA;
        uint32_t flags;
        uintptr_t first;
    } cases[] = {
        {0, VK_DICT_TREE, 1},
        {1, VK_DICT_TREE, 0},
        {1, VK_DICT_TREE | VK_DICT_HIDDEN, 1},
    };
    for (const Case& t : cases) {
        a->SetHidden(t.hiddenA);
        v = 99;
        VkResult res = root->FindFirstByName("x", t.flags, &v, &where);
        EXPECT_EQ(res, t.first ? VK_OK : VK_E_FAIL) << t.hiddenA << " " << t.flags;
        EXPECT_EQ(v, t.first);
        if (t.first) {
            EXPECT_EQ(where, a);
        }
    }
    // The continued search goes on into A's child.
    EXPECT_EQ(root->FindNextByName("x", VK_DICT_TREE | VK_DICT_HIDDEN, &v, &where), VK_OK);
    EXPECT_EQ(v, 3u);
    EXPECT_EQ(where, c);
    a->SetHidden(0);

    char name[4];
    EXPECT_EQ(root->FindFirstByValue(2, VK_DICT_TREE, name, sizeof name, &where), VK_OK);
    EXPECT_STREQ(name, "y");
    EXPECT_EQ(where, b);
    EXPECT_EQ(root->FindFirstByValue(5, VK_DICT_TREE, name, sizeof name, &where), VK_E_FAIL);
    EXPECT_STREQ(name, "");

    // Cursor searches within one dictionary.
    a->Add("z", 1);
    EXPECT_EQ(a->FindValueFirst(1), 1u);
    EXPECT_EQ(a->FindValue(1, 2), 1u);
    EXPECT_EQ(a->FindValueNext(1), 0u);
    EXPECT_EQ(a->GetValue("x"), 1u);
    EXPECT_EQ(a->GetValue("q"), 0u);
    EXPECT_EQ(a->FindValue(1, 3), 0u);
}

TEST_F(DictTest, ReferencesArchiveAsDictionaryAndEntryNames) {
    IVkDictionary* d = Make("sounds");
    d->Add("bang", 42);
    IVkArchiver* archiver = Create<IVkArchiver>(CLSID_VkArchiver, IID_IVkArchiver);
    IVkStream* stream = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    ASSERT_TRUE(archiver && stream);

    IVkArchive* archive = nullptr;
    ASSERT_EQ(archiver->CreateArchive(1, stream, &archive), VK_OK);
    uintptr_t value = 42;
    EXPECT_EQ(d->SerialiseReference(archive, &value), VK_OK);
    value = 43;
    EXPECT_EQ(d->SerialiseReference(archive, &value), VK_E_FAIL);
    archive->Release();

    // Loading finds the entry, and makes one through the handler when it is gone.
    for (bool present : {true, false}) {
        if (!present) d->RemoveByName("bang");
        stream->Seek(0, VK_SEEK_SET, nullptr);
        ASSERT_EQ(archiver->CreateArchive(0, stream, &archive), VK_OK);
        value = 0;
        EXPECT_EQ(d->SerialiseReference(archive, &value), VK_OK);
        EXPECT_EQ(value, present ? 42u : 1001u);
        archive->Release();
    }
    uintptr_t found = 0;
    EXPECT_EQ(d->Find("bang", &found), VK_OK);
    EXPECT_EQ(found, 1001u);
    stream->Release();
    archiver->Release();
}

TEST_F(DictTest, ManagerArchivesItsRootAndLoadsIntoANewManager) {
    IVkArchiver* archiver = Create<IVkArchiver>(CLSID_VkArchiver, IID_IVkArchiver);
    IVkStream* stream = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    ASSERT_TRUE(archiver && stream);
    IVkArchivable* object = nullptr;
    ASSERT_EQ(manager->QueryInterface(IID_IVkArchivable, reinterpret_cast<void**>(&object)), VK_OK);
    IVkArchive* archive = nullptr;
    ASSERT_EQ(archiver->CreateArchive(1, stream, &archive), VK_OK);
    EXPECT_EQ(archive->Serialise(VK_ARCHIVE_OBJECT, &object, sizeof object), VK_OK);
    archive->Release();
    object->Release();
    EXPECT_EQ(manager->Release(), 0u);

    manager = Create<IVkDictionaryManager>(CLSID_VkDictionaryManager, IID_IVkDictionaryManager);
    ASSERT_EQ(manager->GetRoot(), nullptr);
    stream->Seek(0, VK_SEEK_SET, nullptr);
    ASSERT_EQ(archiver->CreateArchive(0, stream, &archive), VK_OK);
    object = nullptr;
    EXPECT_EQ(archive->Serialise(VK_ARCHIVE_OBJECT, &object, sizeof object), VK_OK);
    archive->Release();
    ASSERT_NE(manager->GetRoot(), nullptr);
    char name[8] = "";
    EXPECT_EQ(manager->GetRoot()->GetName(name, sizeof name), VK_OK);
    EXPECT_STREQ(name, "root");
    EXPECT_EQ(manager->GetArchive(), nullptr);
    if (object) object->Release();
    stream->Release();
    archiver->Release();
}

TEST_F(DictTest, NamesFileRoundTripReversesOrder) {
    std::filesystem::create_directories("c:/temp");
    IVkDictionary* d = Make("src");
    d->Add("a", 1);
    d->Add("b", 2);
    d->Add("c", 3);
    EXPECT_EQ(d->SaveLoadNames("names", 1), VK_OK);

    IVkDictionary* e = Make("dst");
    EXPECT_EQ(e->SaveLoadNames("names", 0), VK_OK);
    EXPECT_EQ(Names(e), (std::vector<std::string>{"a", "b", "c"}));
    char name[4];
    IVkDictionary* where = nullptr;
    e->FindFirstByValue(0, 0, name, sizeof name, &where);
    EXPECT_STREQ(name, "a"); // newest first after loading: the order is reversed

    // A count that overstates the file adds only the names that are there; a missing file
    // adds nothing.
    FILE* f = std::fopen("c:/temp/D_short.txt", "w");
    std::fputs("1000000\n\"p\"\n", f);
    std::fclose(f);
    IVkDictionary* g = Make("g");
    EXPECT_EQ(g->SaveLoadNames("short", 0), VK_OK);
    EXPECT_EQ(g->SaveLoadNames("missing", 0), VK_OK);
    uintptr_t v = 5;
    EXPECT_EQ(g->Find("p", &v), VK_OK);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(g->FindFirstByValue(0, 0, name, sizeof name, &where), VK_OK);
    EXPECT_EQ(g->FindNextByValue(0, 0, name, sizeof name, &where), VK_E_FAIL);
    std::filesystem::remove_all("c:");
}

} // namespace
