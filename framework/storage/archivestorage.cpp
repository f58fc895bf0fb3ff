#include "framework/storage/archivestorage.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/storage/filestorage.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkArchiveStorage = {
    0xBF8D9ED3, 0x9492, 0x11D2, {0x86, 0x8D, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

constexpr size_t kFileNameSize = 260;
constexpr uint32_t kGrowthSlack = 4080;

uint32_t GetU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads exactly n bytes; a short read is a failure even when the stream calls it success.
VkResult ReadAll(IVkStream* stream, void* buffer, uint32_t n) {
    uint32_t got = 0;
    VkResult res = stream->Read(buffer, n, &got);
    if (res < 0) return res;
    return got == n ? VK_OK : VK_E_FAIL;
}
VkResult WriteAll(IVkStream* stream, const void* buffer, uint32_t n) {
    if (n == 0) return VK_OK;
    uint32_t put = 0;
    VkResult res = stream->Write(buffer, n, &put);
    if (res < 0) return res;
    return put == n ? VK_OK : VK_E_FAIL;
}

// One directory entry; the links make a ring through the archive's head node.
struct Entry {
    Entry* prev;
    Entry* next;
    char name[VK_ARCHIVE_NAME_SIZE];
    uint32_t offset; // of the data in the archive file
    uint8_t* data;   // entries written since Open, and entries loaded for rewriting
    uint32_t size;
    uint32_t capacity;
    uint32_t written;
};

class ArchiveStorage;

// A stream over one entry: reading from the archive file, or writing into the entry's
// memory. It holds the archive alive; closing the archive detaches it, and a detached stream
// fails every operation.
class EntryStream final : public VkObject<IVkStream, IID_IVkStream> {
public:
    VkResult Init(ArchiveStorage* archive, IVkStorage* storage, const char* file, uint32_t access,
                  uint32_t translation, Entry* entry);
    void Detach() {
        entry_ = nullptr;
        if (file_) file_->Release();
        file_ = nullptr;
    }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        if (!entry_ || access_ != VK_ACCESS_READ) return VK_E_FAIL;
        uint32_t cut = n;
        if (cut > entry_->size - position_) cut = entry_->size - position_;
        uint32_t done = 0;
        VkResult res = VK_OK;
        if (file_) {
            if (cut) res = file_->Read(buffer, cut, &done);
        } else if (cut) { // an entry written since Open is read from memory
            std::memcpy(buffer, entry_->data + position_, cut);
            done = cut;
        }
        if (done > cut) done = cut;
        position_ += done;
        if (got) *got = done;
        if (res >= 0 && cut < n && done == cut) return VK_E_ENDOFSTREAM;
        return res;
    }
    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        if (!entry_ || access_ != VK_ACCESS_WRITE) return VK_E_FAIL;
        uint64_t end = static_cast<uint64_t>(position_) + n;
        if (end > entry_->capacity) {
            uint64_t capacity = static_cast<uint64_t>(entry_->capacity) + n + kGrowthSlack;
            if (capacity > UINT32_MAX) return VK_E_OUTOFMEMORY;
            uint8_t* data = static_cast<uint8_t*>(VkMemAlloc(static_cast<size_t>(capacity)));
            if (!data) return VK_E_OUTOFMEMORY;
            if (entry_->size) std::memcpy(data, entry_->data, entry_->size);
            VkMemFree(entry_->data);
            entry_->data = data;
            entry_->capacity = static_cast<uint32_t>(capacity);
        }
        if (n) std::memcpy(entry_->data + position_, buffer, n);
        position_ += n;
        entry_->size = position_;
        if (written) *written = n;
        return VK_OK;
    }
    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }

    EntryStream* nextLive = nullptr;

private:
    void Destroy() override;

    ArchiveStorage* archive_ = nullptr;
    uint32_t access_ = 0;
    [[maybe_unused]] uint32_t translation_ = 0;
    uint32_t position_ = 0;
    Entry* entry_ = nullptr;
    IVkStream* file_ = nullptr;
};

class ArchiveStorage final : public VkObject<IVkArchiveStorage, IID_IVkStorage> {
public:
    ArchiveStorage() { head_.prev = head_.next = &head_; }

    VkResult CreatePool() { return VkMemAllocPool(sizeof(Entry), 10, &pool_); }

    VkResult Open(const char* name, uintptr_t location, uint32_t mode) override {
        if (open_) return VK_E_ALREADYOPEN;
        const VkArchiveLocation* where = reinterpret_cast<const VkArchiveLocation*>(location);
        // A name cut to fit would open another file.
        if (!where || !where->storage || !name || std::strlen(name) >= kFileNameSize)
            return VK_E_FAIL;
        open_ = true;
        mode_ = mode;
        base_ = where->base;
        storage_ = where->storage;
        VkCopyText(name_, sizeof name_, name);
        VkResult res = ReadDirectory();
        if (res < 0) {
            // A directory that cannot be read leaves the storage closed and empty.
            FreeEntries();
            open_ = false;
        }
        return res;
    }

    VkResult Close() override {
        if (!open_) return VK_E_NOTOPEN;
        open_ = false;
        while (live_) {
            EntryStream* stream = live_;
            live_ = stream->nextLive;
            stream->nextLive = nullptr;
            stream->Detach();
        }
        VkResult res = VK_OK;
        for (Entry* e = head_.next; e != &head_; e = e->next)
            if (e->written) {
                res = WriteArchive();
                break;
            }
        FreeEntries();
        return res;
    }

    VkResult OpenStream(const char* name, uint32_t access, uint32_t translation,
                        IVkStream** out) override {
        *out = nullptr;
        if (!open_ || !name) return VK_E_FAIL;
        Entry* entry = Find(name);
        if (access == VK_ACCESS_READ) {
            if (!entry) return VK_E_FAIL;
        } else if (access == VK_ACCESS_WRITE) {
            if (entry || std::strlen(name) >= VK_ARCHIVE_NAME_SIZE) return VK_E_FAIL;
        } else {
            return VK_E_FAIL;
        }
        EntryStream* stream = nullptr;
        VkResult res = VkMemCreateObject(&stream);
        if (res < 0) return res;
        if (!entry) {
            entry = NewEntry();
            if (!entry) {
                stream->Release();
                return VK_E_OUTOFMEMORY;
            }
            VkCopyText(entry->name, sizeof entry->name, name);
            entry->written = 1;
            Append(entry);
        }
        res = stream->Init(this, storage_, name_, access, translation, entry);
        if (res < 0) {
            stream->Release();
            return res;
        }
        stream->nextLive = live_;
        live_ = stream;
        *out = stream;
        return VK_OK;
    }

    VkResult Reserved(void*, void*) override { return VK_E_FAIL; }

    void Unlink(EntryStream* stream) {
        for (EntryStream** at = &live_; *at; at = &(*at)->nextLive)
            if (*at == stream) {
                *at = stream->nextLive;
                return;
            }
    }

private:
    void Destroy() override {
        // Live streams hold a reference, so none is left here. An open archive is not written.
        FreeEntries();
        if (pool_) pool_->Release();
        VkMemDestroyObject(this);
    }

    Entry* NewEntry() {
        Entry* e = static_cast<Entry*>(pool_->Alloc());
        if (e) *e = Entry{};
        return e;
    }
    void Append(Entry* e) {
        e->next = &head_;
        e->prev = head_.prev;
        head_.prev->next = e;
        head_.prev = e;
    }
    Entry* Find(const char* name) {
        for (Entry* e = head_.next; e != &head_; e = e->next)
            if (std::strcmp(e->name, name) == 0) return e;
        return nullptr;
    }
    void FreeEntries() {
        Entry* e = head_.next;
        while (e != &head_) {
            Entry* next = e->next;
            VkMemFree(e->data);
            pool_->Free(e);
            e = next;
        }
        head_.prev = head_.next = &head_;
    }

    // Every count, size and offset is checked against 32 bits; a directory the file does not
    // hold fails on its short read.
    VkResult ReadDirectory() {
        IVkStream* stream = nullptr;
        if (storage_->OpenStream(name_, VK_ACCESS_READ, VK_TRANSLATE_NONE, &stream) < 0)
            return VK_OK; // a new archive
        VkResult res = ReadEntries(stream);
        stream->Release();
        return res;
    }
    VkResult ReadEntries(IVkStream* stream) {
        VkResult res = stream->Seek(static_cast<int32_t>(base_), VK_SEEK_SET, nullptr);
        if (res < 0) return res;
        uint8_t header[VK_ARCHIVE_HEADER_SIZE];
        if ((res = ReadAll(stream, header, sizeof header)) < 0) return res;
        if (GetU32(header) != VK_ARCHIVE_MAGIC) return VK_OK; // a foreign file: no entries
        uint32_t count = GetU32(header + 4);
        uint64_t offset = static_cast<uint64_t>(base_) + VK_ARCHIVE_HEADER_SIZE +
                          static_cast<uint64_t>(VK_ARCHIVE_DIR_ENTRY_SIZE) * count;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t record[VK_ARCHIVE_DIR_ENTRY_SIZE];
            if ((res = ReadAll(stream, record, sizeof record)) < 0) return res;
            uint32_t size = GetU32(record + VK_ARCHIVE_NAME_SIZE);
            if (offset + size > UINT32_MAX) return VK_E_FAIL;
            Entry* e = NewEntry();
            if (!e) return VK_E_OUTOFMEMORY;
            std::memcpy(e->name, record, VK_ARCHIVE_NAME_SIZE);
            e->name[VK_ARCHIVE_NAME_SIZE - 1] = '\0';
            e->offset = static_cast<uint32_t>(offset);
            e->size = size;
            Append(e);
            offset += size;
        }
        return VK_OK;
    }

    // Entries read from the file are brought into memory first, so that the rewritten
    // archive keeps them along with the entries written.
    VkResult LoadEntries() {
        for (Entry* e = head_.next; e != &head_; e = e->next) {
            if (e->data || e->size == 0) continue;
            IVkStream* stream = nullptr;
            VkResult res = storage_->OpenStream(name_, VK_ACCESS_READ, VK_TRANSLATE_NONE, &stream);
            if (res < 0) return res;
            // An entry the file does not hold whole cannot be kept; nothing is allocated for it.
            uint32_t length = 0;
            res = stream->Seek(0, VK_SEEK_END, &length);
            if (res >= 0 && static_cast<uint64_t>(e->offset) + e->size > length) res = VK_E_FAIL;
            if (res >= 0) {
                e->data = static_cast<uint8_t*>(VkMemAlloc(e->size));
                res = e->data ? stream->Seek(static_cast<int32_t>(e->offset), VK_SEEK_SET, nullptr)
                              : VK_E_OUTOFMEMORY;
            }
            if (res >= 0) res = ReadAll(stream, e->data, e->size);
            stream->Release();
            if (res < 0) return res;
            e->capacity = e->size;
        }
        return VK_OK;
    }

    // When the underlying storage offers file operations, the archive is written to a file of
    // its own beside the old one and replaces it only when whole, so a failed write (a full
    // disk) leaves the old archive as it was. Otherwise it is written in place.
    VkResult WriteArchive() {
        VkResult res = LoadEntries();
        if (res < 0) return res;
        void* object = nullptr;
        if (storage_->QueryInterface(IID_IVkFileSystem, &object) < 0 || !object)
            return WriteTo(name_);
        IVkFileSystem* files = static_cast<IVkFileSystem*>(object);
        char temporary[kFileNameSize + 4];
        std::snprintf(temporary, sizeof temporary, "%s.tmp", name_);
        files->DeleteFile(temporary); // a leftover, or anything planted under the name
        res = WriteTo(temporary);
        if (res < 0) {
            files->DeleteFile(temporary);
        } else {
            // Should the move fail, the new archive stays whole under the temporary name.
            files->DeleteFile(name_);
            res = files->RenameFile(temporary, name_);
        }
        files->Release();
        return res;
    }

    VkResult WriteTo(const char* file) {
        uint32_t count = 0;
        for (Entry* e = head_.next; e != &head_; e = e->next)
            ++count;
        IVkStream* stream = nullptr;
        VkResult res = storage_->OpenStream(file, VK_ACCESS_WRITE, VK_TRANSLATE_NONE, &stream);
        if (res < 0) return res;
        uint8_t header[VK_ARCHIVE_HEADER_SIZE];
        PutU32(header, VK_ARCHIVE_MAGIC);
        PutU32(header + 4, count);
        res = WriteAll(stream, header, sizeof header);
        for (Entry* e = head_.next; res >= 0 && e != &head_; e = e->next) {
            uint8_t record[VK_ARCHIVE_DIR_ENTRY_SIZE] = {};
            std::strncpy(reinterpret_cast<char*>(record), e->name, VK_ARCHIVE_NAME_SIZE - 1);
            PutU32(record + VK_ARCHIVE_NAME_SIZE, e->size);
            res = WriteAll(stream, record, sizeof record);
        }
        for (Entry* e = head_.next; res >= 0 && e != &head_; e = e->next)
            res = WriteAll(stream, e->data, e->size);
        stream->Release();
        return res;
    }

    IVkStorage* storage_ = nullptr; // not referenced: the caller keeps it while open
    char name_[kFileNameSize] = {};
    uint32_t base_ = 0;
    [[maybe_unused]] uint32_t mode_ = 0; // kept for the caller; no operation uses it
    bool open_ = false;
    IVkMemPool* pool_ = nullptr;
    Entry head_ = {};
    EntryStream* live_ = nullptr;
};

VkResult EntryStream::Init(ArchiveStorage* archive, IVkStorage* storage, const char* file,
                           uint32_t access, uint32_t translation, Entry* entry) {
    archive_ = archive;
    archive_->AddRef();
    access_ = access;
    translation_ = translation;
    entry_ = entry;
    if (entry->written) return VK_OK; // written since Open: its data is in memory
    VkResult res = storage->OpenStream(file, VK_ACCESS_READ, translation, &file_);
    if (res < 0) return res;
    if (entry->offset != 0)
        res = file_->Seek(static_cast<int32_t>(entry->offset), VK_SEEK_SET, nullptr);
    return res;
}

void EntryStream::Destroy() {
    Detach();
    if (archive_) {
        archive_->Unlink(this);
        archive_->Release();
    }
    VkMemDestroyObject(this);
}

const VkComponentRecord kArchiveStorageRecords[] = {
    {&CLSID_VkArchiveStorage, 0, nullptr, 0, nullptr, VkCreateArchiveStorage,
     "Vesk - File Archive Storage", "Vesk.ArchiveStorage.1", "Vesk.ArchiveStorage", nullptr},
};

} // namespace

VkResult VkCreateArchiveStorage(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    ArchiveStorage* archive = nullptr;
    VkResult res = VkMemCreateObject(&archive);
    if (res < 0) return res;
    res = archive->CreatePool();
    if (res < 0) {
        archive->Release();
        return res;
    }
    *out = static_cast<IVkArchiveStorage*>(archive);
    return VK_OK;
}

VkResult VkArchiveStorageModuleRegister(IVkRegistry* registry) {
    return VkModule<kArchiveStorageRecords>::Register(registry);
}
