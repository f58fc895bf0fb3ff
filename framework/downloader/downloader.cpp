#include "framework/downloader/downloader.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/core/winos.h"
#include "framework/misc/propfile.h"
#include "framework/net/url.h"
#include "framework/storage/file.h"
#include "framework/storage/filestorage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const VkGuid CLSID_VkDownloader = {
    0x8B8E1541, 0x7E25, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};
const VkGuid IID_IVkDownloader = {
    0x8B8E1542, 0x7E25, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

// Where ReadIndex and DownloadCategory look when the caller names no base.
constexpr char kDefaultBase[] = "http://components.example.org/Vesk5/win32/";
constexpr char kIndexName[] = "components.ini";
constexpr uint32_t kUrlSize = 2200; // a whole URL of the URL component, with its zero
constexpr uint32_t kCopyBlock = 2048;
constexpr uint32_t kTempNameSize = 256;

struct Entry {
    char* name;
    VkGuid clsid;
    char* url;
    int32_t length;
    uint32_t installed;
    uint32_t offered;
    Entry* next;
    Entry* prev;
};

char* CopyText(const char* text) {
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(VkMemAlloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

// A decimal value of a property set or the registry; the fallback when absent or malformed.
uint32_t Decimal(const char* text, uint32_t fallback) {
    if (!text || !*text) return fallback;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || v > UINT32_MAX) return fallback;
    return static_cast<uint32_t>(v);
}

// A key's value into a heap text (null when absent or out of memory).
char* HeapValue(IVkPropertySet* set, const char* key) {
    uint32_t need = set->GetValueLength(key);
    if (need == 0) return nullptr;
    char* text = static_cast<char*>(VkMemAlloc(need));
    if (text && set->GetValue(key, text, need) < 0) {
        VkMemFree(text);
        return nullptr;
    }
    return text;
}

// The server names the installed file: only a plain name in the program's folder is taken,
// never one that climbs or leaves it (backslashes and drive colons are separators to the
// platform layer too).
bool PlainFileName(const char* name) {
    if (!name[0] || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    return std::strpbrk(name, "/\\:") == nullptr;
}

uint32_t SmallValue(IVkPropertySet* set, const char* key, uint32_t fallback) {
    char text[32];
    if (set->GetValueLength(key) == 0 || set->GetValue(key, text, sizeof text) < 0) return fallback;
    return Decimal(text, fallback);
}

class Downloader final : public VkObject<IVkDownloader, IID_IVkDownloader> {
public:
    Downloader() {
        head_.next = head_.prev = &head_;
        baseFolder_[0] = '\0';
    }

    VkResult Init() {
        void* object = nullptr;
        if (VkCreateInstance(CLSID_VkUrl, nullptr, 0, IID_IVkUrl, &object) < 0) return VK_E_FAIL;
        url_ = static_cast<IVkUrl*>(object);
        if (VkMemAllocPool(sizeof(Entry), 20, &pool_) < 0) return VK_E_FAIL;
        // The folder the components go to, when an operating-system object is held (kept for
        // callers; file names are taken as they come).
        if (os_ && os_->GetRegistryString("BaseDir", baseFolder_, sizeof baseFolder_) < 0)
            baseFolder_[0] = '\0';
        return VK_OK;
    }

    VkResult ReadIndex(const char* base) override {
        IVkPropertySet* set = nullptr;
        char indexUrl[kUrlSize];
        int n = std::snprintf(indexUrl, sizeof indexUrl, "%s%s", base ? base : kDefaultBase,
                              kIndexName);
        if (n < 0 || static_cast<uint32_t>(n) >= sizeof indexUrl) return VK_E_FAIL;
        VkResult res = LoadSet(indexUrl, &set, VK_E_FAIL);
        if (res < 0) return res;
        count_ = 0;
        res = VK_OK;
        for (VkResult moved = set->MoveSection(VK_PROP_FIRST); moved >= 0;
             moved = set->MoveSection(VK_PROP_NEXT)) {
            Entry* entry = nullptr;
            VkResult made = MakeEntry(set, indexUrl, &entry);
            if (made < 0) {
                res = made;
                break;
            }
            if (!entry) continue;
            Link(entry);
            ++count_;
        }
        set->Release();
        return res;
    }

    VkResult GetEntryText(uint32_t index, uint32_t selector, char* buffer, uint32_t size) override {
        Entry* entry = At(index);
        if (!entry) return VK_E_ENDOFLIST;
        const char* text = (selector & 0xF0) == VK_DOWNLOAD_NAME  ? entry->name
                           : (selector & 0xF0) == VK_DOWNLOAD_URL ? entry->url
                                                                  : nullptr;
        if (!text) return VK_E_BADSELECTOR;
        size_t length = std::strlen(text);
        if (!buffer || length >= size) return VK_E_BUFFERTOOSMALL;
        std::memcpy(buffer, text, length + 1);
        return VK_OK;
    }

    VkResult DownloadEntry(uint32_t filter, uint32_t n) override {
        if (n >= count_) return VK_E_ENDOFLIST;
        for (Entry* e = head_.next; e != &head_; e = e->next) {
            bool pass;
            switch (filter & 0xF) {
            case VK_DOWNLOAD_NOTINSTALLED: pass = e->installed == 0; break;
            case VK_DOWNLOAD_NEWER: pass = e->offered > e->installed; break;
            case VK_DOWNLOAD_CURRENT: pass = e->offered == e->installed; break;
            default: pass = true; break;
            }
            if (pass && n-- == 0) return Download(e);
        }
        return VK_E_ENDOFLIST;
    }

    VkResult DownloadClass(const VkGuid& clsid) override {
        for (Entry* e = head_.next; e != &head_; e = e->next)
            if (VkGuidEqual(e->clsid, clsid)) return Download(e);
        return VK_E_FAIL;
    }

    VkResult DownloadCategory(const VkGuid& category, const char* base) override {
        char guid[39];
        VkGuidToString(category, guid);
        char fileUrl[kUrlSize];
        int n =
            std::snprintf(fileUrl, sizeof fileUrl, "%s%s.ini", base ? base : kDefaultBase, guid);
        if (n < 0 || static_cast<uint32_t>(n) >= sizeof fileUrl) return VK_E_FAIL;
        IVkPropertySet* set = nullptr;
        VkResult res = LoadSet(fileUrl, &set, VK_OK);
        if (res < 0) return res;
        IVkWinOS* os = os_;
        if (os) os->OpenProgress("Downloading category");
        for (VkResult moved = set->MoveSection(VK_PROP_FIRST); moved >= 0;
             moved = set->MoveSection(VK_PROP_NEXT)) {
            Entry* entry = nullptr;
            if (MakeEntry(set, fileUrl, &entry) < 0 || !entry) continue;
            (void)Download(entry); // single failures are not reported
            FreeEntry(entry);
        }
        if (os) os->CloseProgress();
        set->Release();
        return VK_OK;
    }

private:
    void Destroy() override {
        if (url_) url_->Release();
        while (head_.next != &head_) {
            Entry* e = head_.next;
            Unlink(e);
            FreeEntry(e);
        }
        if (pool_) pool_->Release();
        VkMemDestroyObject(this);
    }

    // Opens a URL and loads a new property set from it. A failure to set or open the URL is
    // reported as urlFailure when that is an error, else as its own result.
    VkResult LoadSet(const char* url, IVkPropertySet** out, VkResult urlFailure) {
        *out = nullptr;
        void* object = nullptr;
        VkResult res =
            VkCreateInstance(CLSID_VkPropertySet, nullptr, 0, IID_IVkPropertySet, &object);
        if (res < 0) return urlFailure < 0 ? VK_E_CATEGORYEMPTY : res;
        IVkPropertySet* set = static_cast<IVkPropertySet*>(object);
        IVkStream* stream = nullptr;
        res = url_->SetProperty(VK_URLTEXT_URL, url);
        if (res >= 0) res = url_->OpenStream(&stream);
        if (res < 0) {
            set->Release();
            return urlFailure < 0 ? urlFailure : res;
        }
        res = set->Load(stream);
        stream->Release();
        if (res < 0) {
            set->Release();
            return res;
        }
        *out = set;
        return VK_OK;
    }

    // An entry for the current section; none (and 0) for the root section or one without a
    // URL; VK_E_FAIL when memory runs out.
    VkResult MakeEntry(IVkPropertySet* set, const char* fileUrl, Entry** out) {
        *out = nullptr;
        char name[VK_PROP_NAME_SIZE];
        if (set->GetSectionName(name) < 0 || !name[0]) return VK_OK;
        char* value = HeapValue(set, "URL");
        if (!value) return VK_OK;
        // A relative URL joins the folder of the file that names it.
        char resolved[kUrlSize];
        bool joined = url_->SetProperty(VK_URLTEXT_URL, fileUrl) >= 0 &&
                      url_->SetProperty(VK_URLTEXT_URL, value) >= 0 &&
                      url_->GetProperty(VK_URLTEXT_URL, resolved, sizeof resolved) >= 0;
        VkMemFree(value);
        if (!joined) return VK_OK;

        Entry* e = static_cast<Entry*>(pool_->Alloc());
        if (!e) return VK_E_FAIL;
        *e = Entry{};
        e->name = CopyText(name);
        e->url = CopyText(resolved);
        if (!e->name || !e->url) {
            FreeEntry(e);
            return VK_E_FAIL;
        }
        char text[64];
        if (set->GetValueLength("CLSID") && set->GetValue("CLSID", text, sizeof text) >= 0)
            VkGuidFromString(text, &e->clsid);
        e->length = static_cast<int32_t>(SmallValue(set, "Length", 0));
        e->offered = SmallValue(set, "Version", 1);
        char installed[32];
        e->installed =
            VkGetClassValue(e->clsid, "Version", nullptr, installed, sizeof installed) >= 0
                ? Decimal(installed, 0)
                : 0;
        *out = e;
        return VK_OK;
    }

    void FreeEntry(Entry* e) {
        VkMemFree(e->name);
        VkMemFree(e->url);
        pool_->Free(e);
    }
    void Link(Entry* e) {
        e->next = head_.next;
        e->prev = &head_;
        head_.next->prev = e;
        head_.next = e;
    }
    static void Unlink(Entry* e) {
        e->prev->next = e->next;
        e->next->prev = e->prev;
    }
    Entry* At(uint32_t index) {
        if (index >= count_) return nullptr;
        Entry* e = head_.next;
        while (index-- && e != &head_)
            e = e->next;
        return e == &head_ ? nullptr : e;
    }

    VkResult Download(Entry* e) {
        if (!VkGuidEqual(e->clsid, CLSID_VkWinOS)) {
            void* object = nullptr;
            if (VkCreateInstance(CLSID_VkWinOS, nullptr, 0, IID_IVkWinOS, &object) >= 0) {
                os_ = static_cast<IVkWinOS*>(object);
                char title[VK_PROP_NAME_SIZE + 16];
                std::snprintf(title, sizeof title, "Downloading %s", e->name);
                if (os_->OpenProgress(title) < 0) {
                    os_->Release();
                    os_ = nullptr;
                }
            }
        }
        VkResult res = Fetch(e);
        if (os_) {
            os_->CloseProgress();
            os_->Release();
            os_ = nullptr;
        }
        return res;
    }

    // Copies the entry's URL into a temporary file, moves it into place, registers it and
    // records its version.
    VkResult Fetch(Entry* e) {
        IVkStream* source = nullptr;
        VkResult res = url_->SetProperty(VK_URLTEXT_URL, e->url);
        if (res >= 0) res = url_->OpenStream(&source);
        if (res < 0) return res;

        IVkUnknown* unknown = nullptr;
        void* object = nullptr;
        if (VkCreateFileStorage(nullptr, &unknown) < 0) {
            source->Release();
            return VK_E_CATEGORYEMPTY;
        }
        res = unknown->QueryInterface(IID_IVkFileSystem, &object);
        IVkFileSystem* files = static_cast<IVkFileSystem*>(object);
        res = res >= 0 ? unknown->QueryInterface(IID_IVkStorage, &object) : res;
        unknown->Release();
        if (res < 0) {
            if (files) files->Release();
            source->Release();
            return VK_E_CATEGORYEMPTY;
        }
        IVkStorage* storage = static_cast<IVkStorage*>(object);

        char temp[kTempNameSize];
        IVkStream* output = nullptr;
        res = files->GetTempName(temp, sizeof temp);
        if (res >= 0) res = storage->OpenStream(temp, VK_ACCESS_WRITE, VK_TRANSLATE_NONE, &output);
        storage->Release();
        if (res < 0) {
            files->Release();
            source->Release();
            return res;
        }

        res = Copy(source, output);
        source->Release();
        output->Release();
        char target[kUrlSize];
        if (res >= 0 && (url_->GetProperty(VK_URLTEXT_NAME, target, sizeof target) < 0 ||
                         !PlainFileName(target)))
            res = VK_E_FAIL;
        if (os_) {
            os_->CloseProgress();
            os_->Release();
            os_ = nullptr;
        }
        if (res < 0) {
            files->DeleteFile(temp);
            files->Release();
            return res;
        }
        res = Install(files, temp, target);
        files->Release();
        if (res < 0) return res;

        res = VkRegisterModuleFile(target);
        if (res < 0) return res;
        if (e->offered > 1) {
            char version[16];
            std::snprintf(version, sizeof version, "%u", e->offered);
            return VkSetClassValue(e->clsid, "Version", nullptr, version);
        }
        return VK_OK;
    }

    VkResult Copy(IVkStream* source, IVkStream* output) {
        uint8_t block[kCopyBlock];
        uint32_t total = 0;
        for (;;) {
            uint32_t got = 0;
            VkResult res = source->Read(block, sizeof block, &got);
            if (got > sizeof block) return VK_E_FAIL;
            if (res >= 0 || res == VK_E_ENDOFFILE) {
                total += got;
                if (os_) os_->StepProgress(total, nullptr);
            }
            if (res < 0 && res != VK_E_ENDOFFILE) return VK_E_FAIL;
            uint32_t written = 0;
            if (got && (output->Write(block, got, &written) < 0 || written != got))
                return VK_E_FAIL;
            if (res == VK_E_ENDOFFILE) return VK_OK;
        }
    }

    // Replaces the target with the temporary file; a target in use gets the new file in
    // "pending" for a later start.
    VkResult Install(IVkFileSystem* files, const char* temp, const char* target) {
        if (files->DeleteFile(target) == VK_E_FILEINUSE) {
            char pending[kUrlSize + 16];
            std::snprintf(pending, sizeof pending, "pending/%s", target);
            files->CreateDirectory("pending");
            files->DeleteFile(pending);
            if (files->RenameFile(temp, pending) < 0) files->DeleteFile(temp);
            return VK_E_FAIL;
        }
        if (files->RenameFile(temp, target) < 0) {
            files->DeleteFile(temp);
            return VK_E_FAIL;
        }
        return VK_OK;
    }

    IVkUrl* url_ = nullptr;
    IVkMemPool* pool_ = nullptr;
    IVkWinOS* os_ = nullptr; // held only while a download runs
    Entry head_{};
    uint32_t count_ = 0;
    char baseFolder_[VK_PATH_SIZE];
};

const VkComponentRecord kDownloaderRecords[] = {
    {&CLSID_VkDownloader, 0, nullptr, 0, nullptr, VkCreateDownloader, "Vesk - Downloader",
     "Vesk.Downloader.5.1", "Vesk.Downloader", nullptr},
};

} // namespace

VkResult VkCreateDownloader(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    Downloader* d = nullptr;
    VkResult res = VkMemCreateObject(&d);
    if (res < 0) return res;
    if (d->Init() < 0) {
        d->Release();
        return VK_E_FAIL;
    }
    *out = static_cast<IVkDownloader*>(d);
    return VK_OK;
}

VkResult VkDownloaderModuleRegister(IVkRegistry* registry) {
    return VkModule<kDownloaderRecords>::Register(registry);
}
