#include "framework/storage/filestorage.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "platform/crt/crt.h"
#include "platform/win32/files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const VkGuid IID_IVkFileSystem = {
    0xC8C1CEE3, 0x94D7, 0x11D2, {0x8C, 0x30, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

// The runtime's open mode for an access and translation; null for any other combination.
// Text and untranslated files are the same on this platform.
const char* OpenMode(uint32_t access, uint32_t translation) {
    if (translation != VK_TRANSLATE_NONE && translation != VK_TRANSLATE_TEXT) return nullptr;
    switch (access) {
    case VK_ACCESS_READ: return "rb";
    case VK_ACCESS_WRITE: return "wb";
    case VK_ACCESS_APPEND: return "ab";
    default: return nullptr;
    }
}

class FileStream final : public VkObject<IVkStream, IID_IVkStream> {
public:
    VkResult Init(const char* name, uint32_t access, uint32_t translation) {
        const char* mode = OpenMode(access, translation);
        file_ = mode ? PlatformOpenFile(name, mode) : nullptr;
        if (!file_) return VK_E_FAIL;
        if (access != VK_ACCESS_READ) Unbuffer();
        return VK_OK;
    }
    // Writes through a new, empty file this storage created (its temporary files); takes it.
    VkResult InitWriting(FILE* file) {
        file_ = file;
        Unbuffer();
        return VK_OK;
    }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        size_t done = n ? std::fread(buffer, 1, n, file_) : 0;
        if (got) *got = static_cast<uint32_t>(done);
        if (done == n) return VK_OK;
        return std::feof(file_) && !std::ferror(file_) ? VK_E_ENDOFSTREAM : VK_E_FAIL;
    }
    // Bytes count as written only once the system has taken them; after a failed or short
    // write the stream stays failed, so a file with a hole is never reported as whole.
    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        size_t done = !failed_ && n ? std::fwrite(buffer, 1, n, file_) : 0;
        if (written) *written = static_cast<uint32_t>(done);
        if (failed_ || done != n || std::ferror(file_)) {
            failed_ = true;
            return VK_E_FAIL;
        }
        return VK_OK;
    }
    VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        int whence = origin == VK_SEEK_SET   ? SEEK_SET
                     : origin == VK_SEEK_CUR ? SEEK_CUR
                     : origin == VK_SEEK_END ? SEEK_END
                                             : -1;
        if (whence < 0 || std::fseek(file_, offset, whence) != 0) return VK_E_FAIL;
        if (position) {
            long at = std::ftell(file_);
            if (at < 0 || at > static_cast<long>(UINT32_MAX)) return VK_E_FAIL;
            *position = static_cast<uint32_t>(at);
        }
        return VK_OK;
    }

private:
    // Written files have no buffer of the runtime, so every write reaches the system (and
    // reports a full disk) in the call that makes it; closing then has nothing left to lose.
    void Unbuffer() { std::setvbuf(file_, nullptr, _IONBF, 0); }
    void Destroy() override {
        if (file_) std::fclose(file_);
        VkMemDestroyObject(this);
    }

    FILE* file_ = nullptr;
    bool failed_ = false;
};

class FileStorage final : public VkObjectOf<VkFace<IVkStorage, IID_IVkStorage>,
                                            VkFace<IVkFileSystem, IID_IVkFileSystem>> {
public:
    // The root and mode are kept or ignored: every name is used as given.
    VkResult Open(const char*, uintptr_t, uint32_t mode) override {
        if (open_) return VK_E_ALREADYOPEN;
        open_ = true;
        mode_ = mode;
        return VK_OK;
    }
    VkResult Close() override {
        if (!open_) return VK_E_NOTOPEN;
        open_ = false;
        return VK_OK;
    }
    VkResult OpenStream(const char* name, uint32_t access, uint32_t translation,
                        IVkStream** out) override {
        *out = nullptr;
        FileStream* stream = nullptr;
        VkResult res = VkMemCreateObject(&stream);
        if (res < 0) return res;
        FILE* temp =
            access == VK_ACCESS_WRITE && OpenMode(access, translation) ? TakeTemp(name) : nullptr;
        res = temp ? stream->InitWriting(temp) : stream->Init(name, access, translation);
        if (res < 0) {
            stream->Release();
            return res;
        }
        *out = stream;
        return VK_OK;
    }

    // The file is made at once in the current folder (where downloads are installed, so the
    // final move stays on one file system); writing its name through this storage writes
    // through the file made, never through whatever holds the name by then.
    VkResult GetTempName(char* buffer, uint32_t size) override {
        std::string name;
        FILE* file = PlatformCreateTempFile(nullptr, &name);
        if (!file) return VK_E_FAIL;
        if (!buffer || name.size() >= size) {
            std::fclose(file);
            DeleteFileA(name.c_str());
            return VK_E_BUFFERTOOSMALL;
        }
        temps_.push_back({name, file});
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        return VK_OK;
    }
    VkResult DeleteFile(const char* name) override { return DeleteFileA(name) ? VK_OK : VK_E_FAIL; }
    VkResult RenameFile(const char* oldName, const char* newName) override {
        return MoveFileA(oldName, newName) ? VK_OK : VK_E_FAIL;
    }
    VkResult CreateDirectory(const char* path) override {
        return CreateDirectoryA(path, nullptr) ? VK_OK : VK_E_FAIL;
    }

private:
    struct Temp {
        std::string name;
        FILE* file;
    };

    // The temporary file made here under this name, handed over; null for none.
    FILE* TakeTemp(const char* name) {
        for (size_t i = 0; name && i < temps_.size(); ++i)
            if (temps_[i].name == name) {
                FILE* file = temps_[i].file;
                temps_.erase(temps_.begin() + std::ptrdiff_t(i));
                return file;
            }
        return nullptr;
    }
    void Destroy() override {
        for (const Temp& temp : temps_)
            std::fclose(temp.file);
        VkMemDestroyObject(this);
    }

    std::vector<Temp> temps_; // temporary files made and not yet opened
    bool open_ = false;
    [[maybe_unused]] uint32_t mode_ = 0; // kept for the caller; no operation uses it
};

const VkComponentRecord kStorageRecords[] = {
    {&CLSID_VkFileStorage, 0, nullptr, 0, nullptr, VkCreateFileStorage, "Vesk - File Storage",
     "Vesk.Storage.1", "Vesk.Storage", nullptr},
};

} // namespace

VkResult VkCreateFileStorage(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    FileStorage* storage = nullptr;
    VkResult res = VkMemCreateObject(&storage);
    if (res >= 0) *out = static_cast<IVkStorage*>(storage);
    return res;
}

VkResult VkStorageModuleRegister(IVkRegistry* registry) {
    return VkModule<kStorageRecords>::Register(registry);
}
