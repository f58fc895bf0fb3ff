#include "framework/misc/archive.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/core/winos.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkArchiver = {
    0x998B04C5, 0xF253, 0x11D1, {0x9B, 0xAA, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkArchiver = {
    0x998B04C6, 0xF253, 0x11D1, {0x9B, 0xAA, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkArchive = {
    0x998B04C1, 0xF253, 0x11D1, {0x9B, 0xAA, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkArchivable = {
    0x998B04C3, 0xF253, 0x11D1, {0x9B, 0xAA, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkObjectCreate = {
    0xDF047101, 0x2638, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x67, 0x6C, 0x3D}};

namespace {

constexpr size_t kTokenSize = 80;
constexpr size_t kGuidTokenSize = 160;
constexpr uint32_t kTableStep = 32;
// Highest object number a loaded archive may name; the table is padded with nulls up to it.
constexpr uint32_t kMaxObjectNumber = 1u << 16;

// The module's operating-system object, used only for messages.
IVkWinOS* g_os = nullptr;

void Message(const char* text) {
    if (!g_os) return;
    g_os->Log("Vesk 5: Archiver: ");
    g_os->Log(text);
    g_os->Log("\n");
}

// A hash table of 32-bit keys in 256 buckets, each a circular doubly linked list whose entries
// come from the table's own pool. New entries go to the front of their bucket.
class HashTable {
public:
    struct Entry {
        Entry* next;
        Entry* prev;
        uintptr_t value;
        uint32_t key;
    };

    ~HashTable() {
        if (pool_) pool_->Release();
    }

    VkResult Init() {
        for (Entry& b : buckets_)
            b.next = b.prev = &b;
        return VkMemAllocPool(sizeof(Entry), 20, &pool_);
    }

    Entry* Find(uint32_t key) {
        Entry* head = &buckets_[Bucket(key)];
        for (Entry* e = head->next; e != head; e = e->next)
            if (e->key == key) return e;
        return nullptr;
    }

    Entry* Add(uint32_t key, uintptr_t value) {
        Entry* e = static_cast<Entry*>(pool_->Alloc());
        if (!e) return nullptr;
        Entry* head = &buckets_[Bucket(key)];
        *e = {head->next, head, value, key};
        head->next->prev = e;
        head->next = e;
        ++count_;
        return e;
    }

    void Remove(Entry* e) {
        e->prev->next = e->next;
        e->next->prev = e->prev;
        pool_->Free(e);
        --count_;
    }

    template <class Fn> void ForEach(Fn fn) {
        for (Entry& head : buckets_)
            for (Entry* e = head.next; e != &head; e = e->next)
                fn(e);
    }

private:
    static uint32_t Bucket(uint32_t key) { return (key ^ key >> 8 ^ key >> 16 ^ key >> 24) & 0xFF; }

    Entry buckets_[256] = {};
    uint32_t count_ = 0;
    IVkMemPool* pool_ = nullptr;
};

HashTable* NewTable() {
    HashTable* table = VkMemNew<HashTable>();
    if (table && table->Init() < 0) {
        VkMemDelete(table);
        return nullptr;
    }
    return table;
}

class Archiver;

class Archive final : public VkObject<IVkArchive, IID_IVkArchive> {
public:
    Archive(uint32_t mode, IVkStream* stream, IVkArchiver* owner)
        : mode_(mode), stream_(stream), owner_(owner) {
        table_ = {nullptr, 0, 0, kTableStep};
        owner_->AddRef();
    }

    int32_t IsLoading() override { return mode_ == 0 ? 1 : 0; }
    uint32_t IsStoring() override { return mode_; }

    VkResult Read(uint32_t type, void* data, uint32_t bytes) override {
        if (mode_ != 0) return VK_E_FAIL;
        return Transfer(type, data, bytes);
    }
    VkResult Write(uint32_t type, const void* data, uint32_t bytes) override {
        if (mode_ == 0) return VK_E_FAIL;
        return Transfer(type, const_cast<void*>(data), bytes);
    }
    VkResult Serialise(uint32_t type, void* data, uint32_t bytes) override {
        if (mode_ == 0 && (type == VK_ARCHIVE_CHUNK || type == VK_ARCHIVE_GUID)) return VK_OK;
        return Transfer(type, data, bytes);
    }

private:
    void Destroy() override {
        VkPtrArrayFree(&table_);
        owner_->Release();
        VkMemDelete(this);
    }

    static size_t ElementSize(uint32_t type) {
        switch (type) {
        case VK_ARCHIVE_INT:
        case VK_ARCHIVE_CHUNK: return 4;
        case VK_ARCHIVE_BYTE: return 1;
        case VK_ARCHIVE_OBJECT: return sizeof(IVkArchivable*);
        case VK_ARCHIVE_GUID: return sizeof(VkGuid);
        default: return 0;
        }
    }

    VkResult Transfer(uint32_t type, void* data, uint32_t bytes) {
        if (type > VK_ARCHIVE_GUID) return VK_E_FAIL;
        size_t size = ElementSize(type);
        size_t count = (size == 0 || bytes == 0) ? 1 : bytes / size;
        auto* at = static_cast<uint8_t*>(data);
        for (size_t i = 0; i < count; ++i, at += size) {
            VkResult res = mode_ == 0 ? Load(type, at, bytes) : Store(type, at, i + 1 < count);
            if (res < 0) return res;
        }
        return mode_ == 0 ? VK_OK : Put("\n", 1);
    }

    // Storing -----------------------------------------------------------------------------

    VkResult Put(const char* text, size_t length) {
        return stream_->Write(text, static_cast<uint32_t>(length), nullptr);
    }
    VkResult Put(const char* text) { return Put(text, std::strlen(text)); }

    VkResult Store(uint32_t type, const uint8_t* at, bool more) {
        char text[96];
        switch (type) {
        case VK_ARCHIVE_FLOAT: {
            float f;
            std::memcpy(&f, at, sizeof f);
            std::snprintf(text, sizeof text, "%f ", static_cast<double>(f));
            return Put(text);
        }
        case VK_ARCHIVE_INT: {
            int32_t v;
            std::memcpy(&v, at, sizeof v);
            std::snprintf(text, sizeof text, "%d ", v);
            return Put(text);
        }
        case VK_ARCHIVE_CHUNK:
            std::memcpy(text, at, 4);
            text[4] = ' ';
            return Put(text, 5);
        case VK_ARCHIVE_STRING: {
            VkResult res = Put("\"", 1);
            if (res >= 0) res = Put(reinterpret_cast<const char*>(at));
            if (res >= 0) res = Put("\" ", 2);
            return res;
        }
        case VK_ARCHIVE_BYTE: std::snprintf(text, sizeof text, "%02x ", *at); return Put(text);
        case VK_ARCHIVE_GUID: {
            VkGuid g;
            std::memcpy(&g, at, sizeof g);
            const uint8_t* b = g.data4;
            // Several GUIDs in one call are parted by a space, so that they load back.
            std::snprintf(text, sizeof text,
                          "%08X-%04X-%04X-%02X,%02X-%02X,%02X,%02X,%02X,%02X,%02X%s",
                          static_cast<unsigned>(g.data1), g.data2, g.data3, b[0], b[1], b[2], b[3],
                          b[4], b[5], b[6], b[7], more ? " " : "");
            return Put(text);
        }
        default: {
            IVkArchivable* object;
            std::memcpy(&object, at, sizeof object);
            return StoreObject(object);
        }
        }
    }

    VkResult StoreObject(IVkArchivable* object) {
        char text[48];
        if (!object) return Put("NULL ");
        for (uint32_t i = 0; i < table_.count; ++i) {
            if (table_.entries[i] == object) {
                std::snprintf(text, sizeof text, "REFERENCE %u ", i + 1);
                return Put(text);
            }
        }
        if (!VkPtrArrayGrow(&table_)) return VK_E_OUTOFMEMORY;
        table_.entries[table_.count++] = object;
        std::snprintf(text, sizeof text, "OBJECT %u ", table_.count);
        VkResult res = Put(text);
        if (res < 0) return res;
        res = object->Serialise(this);
        if (res < 0) Message("ERROR: Archiver could not serialise object out");
        return res;
    }

    // Loading -----------------------------------------------------------------------------

    VkResult Byte(uint8_t* byte) {
        uint32_t got = 0;
        VkResult res = stream_->Read(byte, 1, &got);
        if (res < 0) return res;
        return got == 1 ? VK_OK : VK_E_ENDOFSTREAM; // a stream that ends without failing
    }

    static bool TokenByte(uint8_t b) { return b > 0x20 && b < 0x80; }

    // One token into a buffer of the size, cut to fit; the rest of a longer token is dropped.
    VkResult Token(char* token, size_t size) {
        uint8_t b = 0;
        VkResult res;
        do {
            if ((res = Byte(&b)) < 0) return res;
        } while (!TokenByte(b));
        size_t n = 0;
        while (TokenByte(b)) {
            if (n + 1 < size) token[n++] = static_cast<char>(b);
            if ((res = Byte(&b)) < 0) break;
        }
        token[n] = 0;
        return res;
    }

    static int32_t ParseInt(const char* t) {
        bool negative = *t == '-';
        uint32_t v = 0;
        for (; *t; ++t)
            if (*t >= '0' && *t <= '9') v = v * 10 + static_cast<uint32_t>(*t - '0');
        return static_cast<int32_t>(negative ? 0u - v : v);
    }

    static float ParseFloat(const char* t) {
        double whole = 0, scale = 1;
        bool negative = false, point = false;
        for (; *t; ++t) {
            if (*t == '-') {
                negative = true;
            } else if (*t == '.') {
                point = true;
            } else if (*t >= '0' && *t <= '9') {
                if (point)
                    whole += (*t - '0') * (scale /= 10);
                else
                    whole = whole * 10 + (*t - '0');
            }
        }
        return static_cast<float>(negative ? -whole : whole);
    }

    static int Hex(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    VkResult Load(uint32_t type, uint8_t* at, uint32_t bytes) {
        if (type == VK_ARCHIVE_STRING) return LoadString(reinterpret_cast<char*>(at), bytes);
        char token[kGuidTokenSize];
        VkResult res = Token(token, type == VK_ARCHIVE_GUID ? kGuidTokenSize : kTokenSize);
        if (res < 0) return res;
        switch (type) {
        case VK_ARCHIVE_FLOAT: {
            float f = ParseFloat(token);
            std::memcpy(at, &f, sizeof f);
            return VK_OK;
        }
        case VK_ARCHIVE_INT: {
            int32_t v = ParseInt(token);
            std::memcpy(at, &v, sizeof v);
            return VK_OK;
        }
        case VK_ARCHIVE_CHUNK:
            if (std::strlen(token) != 4) {
                Message("Error: We are expecting a chunkID and what we're reding in appears not "
                        "to be a ChunkID!");
                return VK_E_FAIL;
            }
            std::memcpy(at, token, 4);
            return VK_OK;
        case VK_ARCHIVE_BYTE: {
            int high = Hex(token[0]), low = high < 0 ? -1 : Hex(token[1]);
            if (low < 0) return VK_E_FAIL;
            *at = static_cast<uint8_t>(high << 4 | low);
            return VK_OK;
        }
        case VK_ARCHIVE_GUID: {
            VkGuid g;
            res = VkGuidFromString(token, &g);
            if (res < 0) {
                Message("Error: We are expecting a GUID when there isn't one!");
                return res;
            }
            std::memcpy(at, &g, sizeof g);
            return VK_OK;
        }
        default: {
            IVkArchivable* object = nullptr;
            res = LoadObject(token, &object);
            if (res >= 0) std::memcpy(at, &object, sizeof object);
            return res;
        }
        }
    }

    // The text between the next two double quotes, cut to the buffer's size.
    VkResult LoadString(char* out, uint32_t size) {
        if (size == 0) return VK_E_FAIL;
        uint8_t b = 0;
        VkResult res;
        do {
            if ((res = Byte(&b)) < 0) return res;
        } while (b != '"');
        uint32_t n = 0;
        for (;;) {
            if ((res = Byte(&b)) < 0) break;
            if (b == '"') break;
            if (n + 1 < size) out[n++] = static_cast<char>(b);
        }
        out[n] = 0;
        return res;
    }

    VkResult LoadObject(const char* token, IVkArchivable** out) {
        char number[kTokenSize];
        VkResult res;
        if (std::strcmp(token, "NULL") == 0) return VK_OK;
        if (std::strcmp(token, "REFERENCE") == 0) {
            if ((res = Token(number, sizeof number)) < 0) return res;
            uint32_t n = static_cast<uint32_t>(ParseInt(number));
            if (n == 0 || n > table_.count || !table_.entries[n - 1]) return VK_E_FAIL;
            *out = static_cast<IVkArchivable*>(table_.entries[n - 1]);
            (*out)->AddRef();
            return VK_OK;
        }
        if (std::strcmp(token, "OBJECT") != 0) return VK_E_FAIL;
        if ((res = Token(number, sizeof number)) < 0) return res;
        uint32_t n = static_cast<uint32_t>(ParseInt(number));
        if (n > kMaxObjectNumber) return VK_E_FAIL;
        VkGuid clsid;
        uint32_t chunk = 0;
        if ((res = Load(VK_ARCHIVE_GUID, reinterpret_cast<uint8_t*>(&clsid), sizeof clsid)) < 0 ||
            (res = Load(VK_ARCHIVE_CHUNK, reinterpret_cast<uint8_t*>(&chunk), sizeof chunk)) < 0)
            return res;
        void* factory = nullptr;
        res = VkCreateInstance(clsid, nullptr, 0, IID_IVkObjectCreate, &factory);
        if (res < 0) {
            Message("ERROR: Archiver could not get the IVkObjectCreate interface from the "
                    "component who'se CLSID we just read in.");
            return res;
        }
        IVkArchivable* object = nullptr;
        auto* create = static_cast<IVkObjectCreate*>(factory);
        res = create->CreateObject(chunk, &object);
        create->Release();
        if (res < 0 || !object) {
            Message("ERROR: Archiver could not get the component's CreateObject() finction to "
                    "create an object");
            return res < 0 ? res : VK_E_FAIL;
        }
        if (n > 0) {
            if (n > table_.capacity &&
                !VkPtrArrayReserve(&table_, (n + kTableStep - 1) / kTableStep * kTableStep)) {
                object->Release();
                return VK_E_OUTOFMEMORY;
            }
            while (table_.count < n)
                table_.entries[table_.count++] = nullptr;
            table_.entries[n - 1] = object;
        }
        res = object->Serialise(this);
        if (res < 0) {
            Message("ERROR: Archiver could not serialise object back in");
            if (n > 0 && table_.entries[n - 1] == object) table_.entries[n - 1] = nullptr;
            object->Release();
            return res;
        }
        *out = object;
        return VK_OK;
    }

    uint32_t mode_;
    IVkStream* stream_;
    IVkArchiver* owner_;
    VkPtrArray table_;
};

class Archiver final : public VkObject<IVkArchiver, IID_IVkArchiver> {
public:
    VkResult Init() {
        registry_ = NewTable();
        return registry_ ? VK_OK : VK_E_OUTOFMEMORY;
    }

    VkResult CreateArchive(uint32_t mode, IVkStream* stream, IVkArchive** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        if (!stream) return VK_E_FAIL;
        *out = VkMemNew<Archive>(mode, stream, this);
        return *out ? VK_OK : VK_E_OUTOFMEMORY;
    }

    VkResult Register(const uint32_t* key, uint32_t id, uint32_t value) override {
        if (!key) return VK_E_FAIL;
        HashTable::Entry* outer = registry_->Find(*key);
        if (!outer) {
            HashTable* inner = NewTable();
            if (!inner) return VK_E_OUTOFMEMORY;
            outer = registry_->Add(*key, reinterpret_cast<uintptr_t>(inner));
            if (!outer) {
                VkMemDelete(inner);
                return VK_E_OUTOFMEMORY;
            }
        }
        HashTable* inner = reinterpret_cast<HashTable*>(outer->value);
        if (inner->Find(id)) return VK_OK;
        return inner->Add(id, value) ? VK_OK : VK_E_OUTOFMEMORY;
    }

    VkResult Unregister(const uint32_t* key, uint32_t id) override {
        if (!key) return VK_E_FAIL;
        HashTable::Entry* outer = registry_->Find(*key);
        if (!outer) return VK_E_FAIL;
        HashTable* inner = reinterpret_cast<HashTable*>(outer->value);
        HashTable::Entry* entry = inner->Find(id);
        if (!entry) return VK_E_FAIL;
        inner->Remove(entry);
        return VK_OK;
    }

private:
    void Destroy() override {
        if (registry_) {
            registry_->ForEach(
                [](HashTable::Entry* e) { VkMemDelete(reinterpret_cast<HashTable*>(e->value)); });
            VkMemDelete(registry_);
        }
        VkMemDestroyObject(this);
        if (g_os) {
            g_os->Release();
            g_os = nullptr;
        }
    }

    HashTable* registry_ = nullptr;
};

const VkComponentRecord kArchiveRecords[] = {
    {&CLSID_VkArchiver, 0, nullptr, 0, nullptr, VkCreateArchiver, "Vesk - Archive storage",
     "Vesk.Archive.1", "Vesk.Archive", nullptr},
};

} // namespace

VkResult VkCreateArchiver(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    Archiver* archiver = nullptr;
    VkResult res = VkMemCreateObject(&archiver);
    if (res < 0) return res;
    if ((res = archiver->Init()) < 0) {
        archiver->Release();
        return res;
    }
    if (g_os) g_os->Release();
    void* os = nullptr;
    g_os = VkCreateInstance(CLSID_VkWinOSOpen, nullptr, 0, IID_IVkWinOS, &os) >= 0
               ? static_cast<IVkWinOS*>(os)
               : nullptr;
    *out = archiver;
    return VK_OK;
}

VkResult VkArchiveModuleRegister(IVkRegistry* registry) {
    return VkModule<kArchiveRecords>::Register(registry);
}
