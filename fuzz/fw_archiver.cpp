// Loads values of types chosen by the input's first bytes from the rest of the input, read as
// a text archive. A small archivable class is registered so that object records are followed.
#include "framework/core/framework.h"
#include "framework/core/modules.h"
#include "framework/misc/archive.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace {

const VkGuid kClsidItem = {
    0x6E0DE002, 0x1234, 0x4321, {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};

// Holds a string, a byte array and two links. Links may form cycles, so items are not freed by
// their count but all together after each input.
class Item final : public VkObject<IVkArchivable, IID_IVkArchivable> {
public:
    VkResult Serialise(IVkArchive* a) override {
        VkResult res;
        if ((res = a->Serialise(VK_ARCHIVE_STRING, text_, sizeof text_)) < 0 ||
            (res = a->Serialise(VK_ARCHIVE_BYTE, bytes_, sizeof bytes_)) < 0)
            return res;
        return a->Serialise(VK_ARCHIVE_OBJECT, links_, sizeof links_);
    }

private:
    void Destroy() override {}
    char text_[16] = {};
    uint8_t bytes_[3] = {};
    IVkArchivable* links_[2] = {};
};

std::vector<std::unique_ptr<Item>> g_items;

class Maker final : public VkObject<IVkObjectCreate, IID_IVkObjectCreate> {
public:
    VkResult CreateObject(uint32_t type, IVkArchivable** out) override {
        if (type != 0x4D455449u) return VK_E_FAIL; // "ITEM"
        g_items.push_back(std::make_unique<Item>());
        *out = g_items.back().get();
        return VK_OK;
    }

private:
    void Destroy() override { delete this; }
};

VkResult CreateMaker(IVkUnknown*, IVkUnknown** out) {
    *out = static_cast<IVkObjectCreate*>(new Maker);
    return VK_OK;
}

const VkComponentRecord kItemRecords[] = {
    {&kClsidItem, 0, nullptr, 0, nullptr, CreateMaker, "Item", "Item.1", "Item", nullptr}};

IVkArchiver* Start() {
    static IVkArchiver* archiver = nullptr;
    if (archiver) return archiver;
    VkModule<kItemRecords>::Register(FuzzStartFramework());
    void* out = nullptr;
    if (VkCreateInstance(CLSID_VkArchiver, nullptr, 0, IID_IVkArchiver, &out) != VK_OK)
        __builtin_trap();
    archiver = static_cast<IVkArchiver*>(out);
    return archiver;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IVkArchiver* archiver = Start();
    if (size < 4) return 0;
    void* out = nullptr;
    if (VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &out) != VK_OK)
        __builtin_trap();
    IVkStream* stream = static_cast<IVkStream*>(out);
    stream->Write(data + 4, static_cast<uint32_t>(size - 4), nullptr);
    stream->Seek(0, VK_SEEK_SET, nullptr);
    IVkArchive* archive = nullptr;
    if (archiver->CreateArchive(0, stream, &archive) != VK_OK) __builtin_trap();
    for (size_t i = 0; i < 4; ++i) {
        alignas(16) uint8_t buffer[64] = {};
        uint32_t type = data[i] % 8, bytes = data[i] >> 3; // up to 31 bytes, any type code
        if (archive->Read(type, buffer, bytes) < 0) break;
    }
    archive->Release();
    stream->Release();
    g_items.clear();
    return 0;
}
