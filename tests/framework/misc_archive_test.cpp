#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/misc/archive.h"
#include "framework/streams/stream.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <string>

namespace {

const VkGuid kClsidNode = {
    0x6E0DE001, 0x1234, 0x4321, {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};
constexpr uint32_t kNodeType = 'N' | 'O' << 8 | 'D' << 16 | 'E' << 24;

// An archivable node: a value and a link to another node (held by reference).
class Node final : public VkObject<IVkArchivable, IID_IVkArchivable> {
public:
    VkResult Serialise(IVkArchive* archive) override {
        VkGuid clsid = kClsidNode;
        uint32_t type = kNodeType;
        VkResult res;
        if ((res = archive->Serialise(VK_ARCHIVE_GUID, &clsid, sizeof clsid)) < 0 ||
            (res = archive->Serialise(VK_ARCHIVE_CHUNK, &type, sizeof type)) < 0 ||
            (res = archive->Serialise(VK_ARCHIVE_INT, &value, sizeof value)) < 0)
            return res;
        return archive->Serialise(VK_ARCHIVE_OBJECT, &next, sizeof next);
    }
    // Breaks a cycle before the last release.
    void Unlink() {
        if (IVkArchivable* n = next) {
            next = nullptr;
            n->Release();
        }
    }
    int32_t value = 0;
    IVkArchivable* next = nullptr;

private:
    void Destroy() override {
        Unlink();
        delete this;
    }
};

class NodeMaker final : public VkObject<IVkObjectCreate, IID_IVkObjectCreate> {
public:
    VkResult CreateObject(uint32_t type, IVkArchivable** out) override {
        *out = type == kNodeType ? new Node : nullptr;
        return *out ? VK_OK : VK_E_FAIL;
    }

private:
    void Destroy() override { delete this; }
};

VkResult CreateNodeMaker(IVkUnknown*, IVkUnknown** out) {
    *out = static_cast<IVkObjectCreate*>(new NodeMaker);
    return VK_OK;
}

const VkComponentRecord kNodeRecords[] = {
    {&kClsidNode, 0, nullptr, 0, nullptr, CreateNodeMaker, "Node", "Node.1", "Node", nullptr}};

class Archiver : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ASSERT_EQ(VkModule<kNodeRecords>::Register(registry), VK_OK);
        archiver = Create<IVkArchiver>(CLSID_VkArchiver, IID_IVkArchiver);
        stream = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        ASSERT_TRUE(archiver && stream);
    }
    void TearDown() override {
        if (archive) archive->Release();
        stream->Release();
        EXPECT_EQ(archiver->Release(), 0u);
        FrameworkTest::TearDown();
    }
    IVkArchive* Open(uint32_t mode) {
        if (archive) archive->Release();
        stream->Seek(0, VK_SEEK_SET, nullptr);
        EXPECT_EQ(archiver->CreateArchive(mode, stream, &archive), VK_OK);
        return archive;
    }
    IVkArchive* Loading(const std::string& text) {
        stream->Release();
        stream = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        stream->Write(text.data(), static_cast<uint32_t>(text.size()), nullptr);
        return Open(0);
    }
    std::string Text() {
        uint32_t end = 0, got = 0;
        stream->Seek(0, VK_SEEK_CUR, &end);
        std::string text(end, '\0');
        stream->Seek(0, VK_SEEK_SET, nullptr);
        stream->Read(text.data(), end, &got);
        return text;
    }
    IVkArchiver* archiver = nullptr;
    IVkStream* stream = nullptr;
    IVkArchive* archive = nullptr;
};

TEST_F(Archiver, ValuesAreWrittenAsTextAndReadBack) {
    IVkArchive* a = Open(1);
    EXPECT_EQ(a->IsStoring(), 1u);
    EXPECT_EQ(a->IsLoading(), 0);
    int32_t ints[2] = {3, -7};
    float floats[2] = {-2.25f, 9.0f};
    uint8_t bytes[2] = {0xC8, 0x05};
    uint32_t chunk = 'A' | 'B' << 8 | 'C' << 16 | 'D' << 24;
    VkGuid guids[2] = {CLSID_VkArchiver, IID_IVkArchive};
    EXPECT_EQ(a->Write(VK_ARCHIVE_INT, ints, sizeof ints), VK_OK);
    EXPECT_EQ(a->Write(VK_ARCHIVE_INT, ints, 2), VK_OK); // less than one element
    EXPECT_EQ(a->Write(VK_ARCHIVE_STRING, "alpha", 64), VK_OK);
    EXPECT_EQ(a->Write(VK_ARCHIVE_FLOAT, floats, sizeof floats), VK_OK); // always one
    EXPECT_EQ(a->Write(VK_ARCHIVE_BYTE, bytes, sizeof bytes), VK_OK);
    EXPECT_EQ(a->Serialise(VK_ARCHIVE_CHUNK, &chunk, 4), VK_OK);
    EXPECT_EQ(a->Write(VK_ARCHIVE_GUID, guids, sizeof guids), VK_OK);
    EXPECT_EQ(a->Write(VK_ARCHIVE_STRING, "", 0), VK_OK);
    EXPECT_EQ(a->Write(7, ints, 4), VK_E_FAIL);
    const std::string text = "3 -7 \n\n\"alpha\" \n-2.250000 \nc8 05 \nABCD \n"
                             "998B04C5-F253-11D1-9B,AA-00,A0,C9,33,BD,C4 "
                             "998B04C1-F253-11D1-9B,AA-00,A0,C9,33,BD,C4\n\"\" \n";
    EXPECT_EQ(Text(), text);

    a = Open(0);
    int32_t inInts[2] = {};
    float inFloats[2] = {};
    uint8_t inBytes[2] = {};
    uint32_t inChunk = 0;
    VkGuid inGuids[2] = {};
    char name[4], empty[8] = "x";
    EXPECT_EQ(a->Read(VK_ARCHIVE_INT, inInts, sizeof inInts), VK_OK);
    EXPECT_EQ(a->Read(VK_ARCHIVE_STRING, name, sizeof name), VK_OK); // cut to the buffer
    EXPECT_EQ(a->Read(VK_ARCHIVE_FLOAT, inFloats, sizeof inFloats), VK_OK);
    EXPECT_EQ(a->Read(VK_ARCHIVE_BYTE, inBytes, sizeof inBytes), VK_OK);
    EXPECT_EQ(a->Serialise(VK_ARCHIVE_CHUNK, &inChunk, 4), VK_OK); // skipped when loading
    EXPECT_EQ(a->Read(VK_ARCHIVE_CHUNK, &inChunk, 4), VK_OK);
    EXPECT_EQ(a->Read(VK_ARCHIVE_GUID, inGuids, sizeof inGuids), VK_OK);
    EXPECT_EQ(a->Read(VK_ARCHIVE_STRING, empty, sizeof empty), VK_OK);
    EXPECT_EQ(inInts[0], 3);
    EXPECT_EQ(inInts[1], -7);
    EXPECT_STREQ(name, "alp");
    EXPECT_EQ(inFloats[0], -2.25f);
    EXPECT_EQ(inFloats[1], 0.0f);
    EXPECT_EQ(inBytes[0], 0xC8);
    EXPECT_EQ(inBytes[1], 0x05);
    EXPECT_EQ(inChunk, chunk);
    EXPECT_TRUE(inGuids[0] == guids[0] && inGuids[1] == guids[1]);
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(a->Read(VK_ARCHIVE_INT, inInts, 4), VK_E_ENDOFSTREAM);
}

TEST_F(Archiver, WrongDirectionTouchesNothing) {
    int32_t v = 5;
    IVkArchive* a = Open(1);
    EXPECT_EQ(a->Read(VK_ARCHIVE_INT, &v, 4), VK_E_FAIL);
    EXPECT_EQ(Text(), "");
    a = Loading("9 ");
    EXPECT_EQ(a->Write(VK_ARCHIVE_INT, &v, 4), VK_E_FAIL);
    EXPECT_EQ(a->IsLoading(), 1);
    EXPECT_EQ(a->Read(VK_ARCHIVE_INT, &v, 4), VK_OK);
    EXPECT_EQ(v, 9);
}

TEST_F(Archiver, SharedAndCyclicObjectsSurviveARoundTrip) {
    Node* first = new Node;
    Node* second = new Node;
    first->value = 11;
    second->value = 22;
    first->next = second;
    second->next = first; // a cycle, holding its own reference
    first->AddRef();
    IVkArchivable* both[2] = {first, first};
    IVkArchive* a = Open(1);
    ASSERT_EQ(a->Write(VK_ARCHIVE_OBJECT, both, sizeof both), VK_OK);
    const std::string guid = "6E0DE001-1234-4321-80,01-02,03,04,05,06,07\n";
    EXPECT_EQ(Text(), "OBJECT 1 " + guid + "NODE \n11 \nOBJECT 2 " + guid +
                          "NODE \n22 \nREFERENCE 1 \n\nREFERENCE 1 \n");
    second->Unlink();
    first->Release();

    a = Open(0);
    IVkArchivable* in[2] = {};
    ASSERT_EQ(a->Read(VK_ARCHIVE_OBJECT, in, sizeof in), VK_OK);
    ASSERT_EQ(in[0], in[1]);
    Node* one = static_cast<Node*>(in[0]);
    Node* two = static_cast<Node*>(one->next);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(one->value, 11);
    EXPECT_EQ(two->value, 22);
    EXPECT_EQ(two->next, one);
    EXPECT_EQ(one->AddRef(), 4u); // the caller's two, the second node's and this one
    one->Release();
    two->Unlink();
    in[0]->Release();
    in[1]->Release();
}

TEST_F(Archiver, BadTextFails) {
    const std::string guid = "6E0DE001-1234-4321-80,01-02,03,04,05,06,07 ";
    struct Case {
        uint32_t type;
        std::string text;
        VkResult result;
    };
    const Case cases[] = {
        {VK_ARCHIVE_CHUNK, "ABC ", VK_E_FAIL},
        {VK_ARCHIVE_CHUNK, "ABCDE ", VK_E_FAIL},
        {VK_ARCHIVE_BYTE, "zz ", VK_E_FAIL},
        {VK_ARCHIVE_GUID, "1234-5678 ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "REFERENCE 0 ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "REFERENCE 1 ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "THING ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "OBJECT 99999999 ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "OBJECT 1 00000000-0000-0000-00,00-00,00,00,00,00,01 NODE ",
         VK_E_FAIL}, // no such class
        {VK_ARCHIVE_OBJECT, "OBJECT 1 " + guid + "EDON ", VK_E_FAIL},
        {VK_ARCHIVE_OBJECT, "OBJECT 1 " + guid + "NODE 5 THING ", VK_E_FAIL},
        {VK_ARCHIVE_INT, "   ", VK_E_ENDOFSTREAM},
        {VK_ARCHIVE_STRING, " \"open", VK_E_ENDOFSTREAM},
        {VK_ARCHIVE_INT, std::string(300, '7'), VK_E_ENDOFSTREAM},
    };
    for (const Case& c : cases) {
        IVkArchive* a = Loading(c.text);
        uint8_t out[32] = {};
        EXPECT_EQ(a->Read(c.type, out, c.type == VK_ARCHIVE_STRING ? 32 : 0), c.result) << c.text;
    }
    // An object that fails to load part-way is not handed out.
    IVkArchive* a =
        Loading("OBJECT 1 " + guid + "NODE 5 OBJECT 2 " + guid + "NODE 6 " + "REFERENCE 9 ");
    IVkArchivable* out = nullptr;
    EXPECT_EQ(a->Read(VK_ARCHIVE_OBJECT, &out, sizeof out), VK_E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(Archiver, StreamThatEndsWithoutFailingStopsTheRead) {
    IVkStream* fifo = Create<IVkStream>(CLSID_VkFifoStream, IID_IVkStream);
    fifo->Write("12", 2, nullptr);
    IVkArchive* a = nullptr;
    ASSERT_EQ(archiver->CreateArchive(0, fifo, &a), VK_OK);
    int32_t v = 0;
    char s[8];
    EXPECT_EQ(a->Read(VK_ARCHIVE_INT, &v, 4), VK_E_ENDOFSTREAM);
    EXPECT_EQ(a->Read(VK_ARCHIVE_STRING, s, sizeof s), VK_E_ENDOFSTREAM);
    a->Release();
    fifo->Release();
}

TEST_F(Archiver, RegistryKeepsTheFirstValue) {
    const uint32_t key = 0x1234, other = 0x3412; // same bucket
    EXPECT_EQ(archiver->Unregister(&key, 1), VK_E_FAIL);
    EXPECT_EQ(archiver->Register(&key, 1, 100), VK_OK);
    EXPECT_EQ(archiver->Register(&key, 1, 200), VK_OK);
    EXPECT_EQ(archiver->Register(&other, 1, 300), VK_OK);
    EXPECT_EQ(archiver->Unregister(&key, 2), VK_E_FAIL);
    EXPECT_EQ(archiver->Unregister(&key, 1), VK_OK);
    EXPECT_EQ(archiver->Unregister(&key, 1), VK_E_FAIL);
    EXPECT_EQ(archiver->Unregister(&other, 1), VK_OK);
}

} // namespace
