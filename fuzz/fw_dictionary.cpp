// Reads the input as a dictionary's names file and as an archived dictionary reference, into a
// small tree whose type handler makes values for names it is asked to load.
#include "framework/dict/dictionary.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace {

class NumberType final : public IVkDictionaryType {
public:
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    const char* GetTypeName() override { return "number"; }
    VkResult LoadValue(const char*, uintptr_t* value) override {
        *value = ++made;
        return VK_OK;
    }
    VkResult SaveValue(const char*, uintptr_t) override { return VK_OK; }
    VkResult ApplyValue(const char*, uintptr_t) override { return VK_OK; }
    int32_t ReleaseValue(uintptr_t) override { return 1; }
    VkResult AddRefValue(uintptr_t) override { return VK_OK; }

    uintptr_t made = 0;
};

// The names file lands under the working folder; a private one keeps it from others' files.
void EnterWorkFolder() {
    static bool entered = false;
    if (entered) return;
    entered = true;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "fuzz_fw_dictionary";
    std::filesystem::create_directories(dir / "c:" / "temp");
    std::filesystem::current_path(dir);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartFramework();
    EnterWorkFolder();
    NumberType type;
    IVkUnknown* object = nullptr;
    if (VkCreateDictionaryManager(nullptr, &object) < 0) return 0;
    auto* manager = static_cast<IVkDictionaryManager*>(object);
    manager->CreateRoot();
    IVkDictionary* dict = nullptr;
    if (manager->CreateDictionary(&type, &dict) >= 0) {
        dict->SetName("sounds");
        dict->Add("bang", 7);

        if (FILE* f = std::fopen("c:/temp/D_in.txt", "wb")) {
            std::fwrite(data, 1, size, f);
            std::fclose(f);
            dict->SaveLoadNames("in", 0);
        }

        IVkStream* stream = nullptr;
        IVkArchiver* archiver = nullptr;
        IVkArchive* archive = nullptr;
        if (VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream,
                             reinterpret_cast<void**>(&stream)) >= 0 &&
            VkCreateInstance(CLSID_VkArchiver, nullptr, 0, IID_IVkArchiver,
                             reinterpret_cast<void**>(&archiver)) >= 0) {
            stream->Write(data, static_cast<uint32_t>(size), nullptr);
            stream->Seek(0, VK_SEEK_SET, nullptr);
            if (archiver->CreateArchive(0, stream, &archive) >= 0) {
                uintptr_t value = 0;
                manager->GetRoot()->SerialiseReference(archive, &value);
                archive->Release();
            }
        }
        if (archiver) archiver->Release();
        if (stream) stream->Release();
    }
    manager->Release();
    return 0;
}
