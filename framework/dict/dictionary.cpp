#include "framework/dict/dictionary.h"

#include "framework/core/framework.h"
#include "framework/core/list.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/streams/storage.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkDictionaryManager = {
    0x20722141, 0x1FC3, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x67, 0x6C, 0x3D}};
const VkGuid CLSID_VkDictionary = {
    0xBABDFA83, 0x27A7, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x67, 0x6C, 0x3D}};
const VkGuid IID_IVkDictionaryManager = {
    0x46634624, 0x1D86, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x67, 0x6C, 0x3D}};
const VkGuid IID_IVkDictionary = {
    0x46634623, 0x1D86, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x67, 0x6C, 0x3D}};

namespace {

// Names read back from a names file fit this buffer.
constexpr uint32_t kLoadNameSize = 112;

struct Entry {
    char* name;
    uintptr_t value;
};

char* CopyName(const char* name) {
    size_t size = std::strlen(name) + 1;
    char* copy = static_cast<char*>(VkMemAlloc(size));
    if (copy) std::memcpy(copy, name, size);
    return copy;
}

void CopyOut(char* buffer, uint32_t size, const char* text) {
    if (buffer && size) VkCopyText(buffer, size, text);
}

class Dictionary;

// The search state shared by every dictionary: the current dictionary and the entry at which
// the next search step starts, with the dictionary that entry belongs to.
Dictionary* g_current = nullptr;
Entry* g_cursor = nullptr;
Dictionary* g_cursorOwner = nullptr;

class Dictionary final : public VkObjectOf<VkFace<IVkDictionary, IID_IVkDictionary>,
                                           VkFace<IVkArchivable, IID_IVkArchivable>> {
public:
    VkResult Initialise(IVkDictionaryType* handler) override {
        if (!list_) {
            IVkUnknown* object = nullptr;
            VkResult res = VkCreateList(nullptr, &object);
            if (res < 0) return res;
            res = object->QueryInterface(IID_IVkList, reinterpret_cast<void**>(&list_));
            object->Release();
            if (res < 0) return res;
        }
        ClearEntries();
        if (handler_) handler_->Release();
        handler_ = handler;
        if (handler)
            handler->AddRef();
        else
            return SetName("root");
        return VK_OK;
    }

    VkResult Add(const char* name, uintptr_t value) override {
        if (!name || !list_ || FindName(name) || !handler_) return VK_E_FAIL;
        Entry entry = {CopyName(name), value};
        if (!entry.name) return VK_E_OUTOFMEMORY;
        VkResult res = list_->Add(&entry, sizeof entry);
        if (res < 0) {
            VkMemFree(entry.name);
            return res;
        }
        return handler_->AddRefValue(value);
    }

    VkResult RemoveByName(const char* name) override { return Remove(FindName(name)); }
    VkResult RemoveByValue(uintptr_t value) override { return Remove(FindVal(value)); }

    VkResult Find(const char* name, uintptr_t* value) override {
        Entry* e = FindName(name);
        if (value) *value = e ? e->value : 0;
        return e ? VK_OK : VK_E_FAIL;
    }

    VkResult GetNameOfValue(uintptr_t value, char* name, uint32_t size) override {
        if (!value) return VK_E_FAIL;
        Entry* e = FindVal(value);
        CopyOut(name, size, e ? e->name : "");
        return VK_OK;
    }

    VkResult ReleaseByName(const char* name) override { return ReleaseEntry(FindName(name)); }
    VkResult ReleaseByValue(uintptr_t value) override {
        return value ? ReleaseEntry(FindVal(value)) : VK_E_FAIL;
    }

    VkResult SaveLoadNames(const char* name, uint32_t store) override;

    VkResult SaveLoadValues(uint32_t store) override {
        if (!handler_) return VK_E_FAIL;
        for (Entry* e = First(); e; e = Next(e)) {
            if (store)
                handler_->SaveValue(e->name, e->value);
            else
                handler_->LoadValue(e->name, &e->value);
        }
        return VK_OK;
    }

    VkResult SerialiseReference(IVkArchive* archive, uintptr_t* value) override;

    VkResult FindFirstByName(const char* name, uint32_t flags, uintptr_t* value,
                             IVkDictionary** found) override {
        Query q{name, 0, value, nullptr, 0, found};
        return FindFirst(q, flags);
    }
    VkResult FindFirstByValue(uintptr_t value, uint32_t flags, char* name, uint32_t size,
                              IVkDictionary** found) override {
        Query q{nullptr, value, nullptr, name, size, found};
        return FindFirst(q, flags);
    }
    VkResult FindNextByName(const char* name, uint32_t flags, uintptr_t* value,
                            IVkDictionary** found) override {
        Query q{name, 0, value, nullptr, 0, found};
        return FindNext(q, flags);
    }
    VkResult FindNextByValue(uintptr_t value, uint32_t flags, char* name, uint32_t size,
                             IVkDictionary** found) override {
        Query q{nullptr, value, nullptr, name, size, found};
        return FindNext(q, flags);
    }

    uintptr_t GetValue(const char* name) override {
        Entry* e = FindName(name);
        SetCursor(e ? Next(e) : First());
        return e ? e->value : 0;
    }
    uintptr_t FindValueFirst(uintptr_t value) override {
        SetCursor(First());
        return FindValueNext(value);
    }
    uintptr_t FindValueNext(uintptr_t value) override {
        for (Entry* e = CursorHere(); e; e = Next(e))
            if (e->value == value) {
                SetCursor(Next(e));
                return e->value;
            }
        SetCursor(First());
        return 0;
    }
    uintptr_t FindValue(uintptr_t value, uint32_t how) override {
        if (how == 1) return FindValueFirst(value);
        if (how == 2) return FindValueNext(value);
        return 0;
    }

    VkResult SetParent(IVkDictionary* parent) override {
        Unlink();
        if (auto* p = static_cast<Dictionary*>(parent)) {
            parent_ = p;
            next_ = p->child_;
            if (next_) next_->prev_ = this;
            p->child_ = this;
        }
        return VK_OK;
    }

    VkResult GetLink(uint32_t kind, uint32_t how, IVkDictionary** out) override {
        Dictionary* to = nullptr;
        bool ok = true;
        if (kind == VK_DICT_LINK_PARENT)
            to = parent_;
        else if (kind == VK_DICT_LINK_CHILD && how == 1)
            to = child_;
        else if ((kind == VK_DICT_LINK_CHILD || kind == VK_DICT_LINK_SIBLING) && how == 2)
            to = g_current ? g_current->next_ : nullptr;
        else if (kind == VK_DICT_LINK_SIBLING && how == 1)
            to = next_;
        else if (kind == VK_DICT_LINK_SIBLING && how == 4)
            to = prev_;
        else
            ok = false;
        if (out) *out = to;
        if (!ok) return VK_E_FAIL;
        if (kind != VK_DICT_LINK_PARENT) g_current = to;
        return VK_OK;
    }

    VkResult SetLink(uint32_t kind, IVkDictionary* dictionary) override {
        auto* d = static_cast<Dictionary*>(dictionary);
        switch (kind) {
        case VK_DICT_LINK_PARENT: parent_ = d; return VK_OK;
        case VK_DICT_LINK_CHILD: child_ = d; break;
        case VK_DICT_LINK_NEXT: next_ = d; break;
        case VK_DICT_LINK_PREVIOUS: prev_ = d; break;
        default: return VK_E_FAIL;
        }
        g_current = d;
        return VK_OK;
    }

    VkResult SetHidden(uint32_t hidden) override {
        hidden_ = hidden;
        return VK_OK;
    }
    uint32_t GetHidden() override { return hidden_; }
    IVkDictionaryType* GetTypeHandler() override { return handler_; }

    VkResult ApplyAll() override {
        if (!handler_) return VK_E_FAIL;
        for (Entry* e = First(); e; e = Next(e)) {
            VkResult res = handler_->ApplyValue(e->name, e->value);
            if (res < 0) return res;
        }
        return VK_OK;
    }

    VkResult SetName(const char* name) override {
        if (!name) return VK_E_FAIL;
        char* copy = CopyName(name);
        if (!copy) return VK_E_OUTOFMEMORY;
        VkMemFree(name_);
        name_ = copy;
        return VK_OK;
    }
    VkResult GetName(char* buffer, uint32_t size) override {
        if (!buffer || !size || !name_) return VK_E_FAIL;
        VkCopyText(buffer, size, name_);
        return VK_OK;
    }

    IVkDictionary* FindDictionary(const char* name) override {
        if (!name) return nullptr;
        if (name_ && std::strcmp(name_, name) == 0) return this;
        IVkDictionary* found = child_ ? child_->FindDictionary(name) : nullptr;
        if (!found && next_) found = next_->FindDictionary(name);
        return found;
    }

    VkResult Dump() override { return VK_OK; }

    Dictionary* FirstChild() const { return child_; }

    // The archived form: the manager's CLSID (which makes dictionaries on loading), the type tag
    // and the name.
    VkResult Serialise(IVkArchive* archive) override {
        VkGuid clsid = CLSID_VkDictionaryManager;
        uint32_t type = VK_DICT_TYPE_DICTIONARY;
        char name[VK_DICT_NAME_SIZE] = "";
        if (name_) VkCopyText(name, sizeof name, name_);
        VkResult res;
        if ((res = archive->Serialise(VK_ARCHIVE_GUID, &clsid, sizeof clsid)) < 0 ||
            (res = archive->Serialise(VK_ARCHIVE_CHUNK, &type, sizeof type)) < 0 ||
            (res = archive->Serialise(VK_ARCHIVE_STRING, name, sizeof name)) < 0)
            return res;
        return archive->IsStoring() ? VK_OK : SetName(name);
    }

private:
    struct Query {
        const char* name; // by name when set, else by value
        uintptr_t value;
        uintptr_t* valueOut;
        char* nameOut;
        uint32_t nameSize;
        IVkDictionary** found;
    };

    Entry* First() { return list_ ? static_cast<Entry*>(list_->First()) : nullptr; }
    Entry* Next(Entry* e) { return static_cast<Entry*>(list_->Next(e)); }

    Entry* FindName(const char* name) {
        if (!name) return nullptr;
        for (Entry* e = First(); e; e = Next(e))
            if (std::strcmp(e->name, name) == 0) return e;
        return nullptr;
    }
    Entry* FindVal(uintptr_t value) {
        for (Entry* e = First(); e; e = Next(e))
            if (e->value == value) return e;
        return nullptr;
    }

    void SetCursor(Entry* e) {
        g_cursor = e;
        g_cursorOwner = this;
    }
    // The cursor when it lies in this dictionary's list, else the first entry: a cursor left in
    // another dictionary never leads a walk into a foreign list.
    Entry* CursorHere() { return g_cursorOwner == this ? g_cursor : First(); }

    void RemoveEntry(Entry* e) {
        if (handler_ && e->value) handler_->ReleaseValue(e->value);
        VkMemFree(e->name);
        list_->Remove(e);
        SetCursor(First());
    }
    VkResult Remove(Entry* e) {
        if (!e) return VK_E_FAIL;
        RemoveEntry(e);
        return VK_OK;
    }
    VkResult ReleaseEntry(Entry* e) {
        if (!e || !handler_) return VK_E_FAIL;
        if (handler_->ReleaseValue(e->value)) {
            e->value = 0;
            RemoveEntry(e);
        }
        return VK_OK;
    }
    void ClearEntries() {
        while (Entry* e = First())
            RemoveEntry(e);
    }

    void Unlink() {
        if (prev_) prev_->next_ = next_;
        if (next_) next_->prev_ = prev_;
        if (parent_ && parent_->child_ == this) parent_->child_ = next_;
        parent_ = next_ = prev_ = nullptr;
    }

    VkResult FindFirst(Query& q, uint32_t flags) {
        SetCursor(First());
        g_current = this;
        return Finish(q, Step(q, flags | VK_DICT_FIRST));
    }

    VkResult FindNext(Query& q, uint32_t flags) {
        if (!g_current) {
            ClearOuts(q);
            return VK_E_FAIL;
        }
        if (!(flags & VK_DICT_MOVED_ON)) {
            if (g_current == this) return Finish(q, Step(q, flags | VK_DICT_NEXT));
            return g_current->FindNext(q, flags);
        }
        if (prev_) return prev_->FindNext(q, flags);
        return Finish(q, Step(q, flags | VK_DICT_NEXT));
    }
    VkResult Finish(const Query& q, VkResult res) {
        if (res >= 0 && q.found && *q.found) g_current = static_cast<Dictionary*>(*q.found);
        return res;
    }

    void ClearOuts(const Query& q) {
        if (q.valueOut) *q.valueOut = 0;
        if (!q.name) CopyOut(q.nameOut, q.nameSize, "");
        if (q.found) *q.found = nullptr;
    }

    VkResult Step(Query& q, uint32_t flags) {
        if (hidden_ && !(flags & VK_DICT_HIDDEN)) {
            ClearOuts(q);
            return VK_E_FAIL;
        }
        if (!(flags & VK_DICT_MOVED_ON)) {
            for (Entry* e = CursorHere(); e; e = Next(e)) {
                if (q.name ? std::strcmp(e->name, q.name) != 0 : e->value != q.value) continue;
                if (q.valueOut) *q.valueOut = e->value;
                if (!q.name) CopyOut(q.nameOut, q.nameSize, e->name);
                SetCursor(Next(e));
                if (q.found) *q.found = this;
                return VK_OK;
            }
        }
        if (!(flags & VK_DICT_TREE)) {
            ClearOuts(q);
            return VK_E_FAIL;
        }
        if (!(flags & VK_DICT_MOVED_ON) && next_ && next_->FindFirst(q, flags) >= 0) return VK_OK;
        if (!((flags & VK_DICT_MOVED_ON) && prev_)) {
            if (!child_) {
                ClearOuts(q);
                return VK_E_FAIL;
            }
            if (child_->FindFirst(q, flags & ~VK_DICT_MOVED_ON) >= 0) return VK_OK;
        }
        if (prev_ && (flags & VK_DICT_NEXT)) return prev_->FindNext(q, flags | VK_DICT_MOVED_ON);
        return VK_E_FAIL;
    }

    void Destroy() override {
        Unlink();
        while (Dictionary* c = child_) {
            c->Unlink();
            c->Release();
        }
        if (g_current == this) g_current = nullptr;
        VkMemFree(name_);
        name_ = nullptr;
        if (list_) {
            ClearEntries();
            list_->Release();
        }
        if (g_cursorOwner == this) {
            g_cursor = nullptr;
            g_cursorOwner = nullptr;
        }
        if (handler_) handler_->Release();
        VkMemDestroyObject(this);
    }

    char* name_ = nullptr;
    IVkDictionaryType* handler_ = nullptr;
    uint32_t hidden_ = 0;
    Dictionary* parent_ = nullptr;
    Dictionary* child_ = nullptr;
    Dictionary* next_ = nullptr;
    Dictionary* prev_ = nullptr;
    IVkList* list_ = nullptr;
};

template <class Face> VkResult CreateFace(const VkGuid& clsid, const VkGuid& iid, Face** out) {
    *out = nullptr;
    return VkCreateInstance(clsid, nullptr, 0, iid, reinterpret_cast<void**>(out));
}

VkResult Dictionary::SaveLoadNames(const char* name, uint32_t store) {
    if (!name) return VK_E_FAIL;
    char path[260];
    std::snprintf(path, sizeof path, "c:\\temp\\D_%s.txt", name);
    IVkStorage* storage = nullptr;
    IVkArchiver* archiver = nullptr;
    IVkStream* stream = nullptr;
    IVkArchive* archive = nullptr;
    if (CreateFace(CLSID_VkFileStorage, IID_IVkStorage, &storage) >= 0 &&
        CreateFace(CLSID_VkArchiver, IID_IVkArchiver, &archiver) >= 0 &&
        storage->Open("", 0, 4) >= 0 &&
        storage->OpenStream(path, store ? VK_ACCESS_WRITE : VK_ACCESS_READ, VK_TRANSLATE_TEXT,
                            &stream) >= 0 &&
        archiver->CreateArchive(store, stream, &archive) >= 0) {
        int32_t count = list_ && store ? list_->Count() : 0;
        if (archive->Serialise(VK_ARCHIVE_INT, &count, sizeof count) >= 0) {
            if (store) {
                for (Entry* e = First(); e; e = Next(e))
                    archive->Serialise(VK_ARCHIVE_STRING, e->name,
                                       static_cast<uint32_t>(std::strlen(e->name) + 1));
            } else if (list_) {
                // Loading stops at the first name that cannot be read, so a count that
                // overstates the file adds nothing more.
                for (int32_t i = 0; i < count; ++i) {
                    char text[kLoadNameSize] = "";
                    if (archive->Serialise(VK_ARCHIVE_STRING, text, sizeof text) < 0) break;
                    Entry entry = {CopyName(text), 0};
                    if (!entry.name) break;
                    if (list_->Add(&entry, sizeof entry) < 0) {
                        VkMemFree(entry.name);
                        break;
                    }
                }
            }
        }
    }
    if (archive) archive->Release();
    if (stream) stream->Release();
    if (storage) storage->Release();
    if (archiver) archiver->Release();
    return VK_OK;
}

VkResult Dictionary::SerialiseReference(IVkArchive* archive, uintptr_t* value) {
    if (!archive || !value) return VK_E_FAIL;
    bool storing = archive->IsStoring() != 0;
    char dictName[VK_DICT_NAME_SIZE] = "";
    char entryName[VK_DICT_NAME_SIZE] = "";
    VkResult res;
    if (storing) {
        IVkDictionary* found = nullptr;
        res = FindFirstByValue(*value, VK_DICT_TREE, entryName, sizeof entryName, &found);
        if (res < 0) return res;
        found->GetName(dictName, sizeof dictName);
    }
    uint32_t dictBytes =
        storing ? static_cast<uint32_t>(std::strlen(dictName) + 1) : sizeof dictName;
    uint32_t entryBytes =
        storing ? static_cast<uint32_t>(std::strlen(entryName) + 1) : sizeof entryName;
    if ((res = archive->Serialise(VK_ARCHIVE_STRING, dictName, dictBytes)) < 0 ||
        (res = archive->Serialise(VK_ARCHIVE_STRING, entryName, entryBytes)) < 0)
        return res;
    if (storing) return VK_OK;
    IVkDictionary* target = FindDictionary(dictName);
    if (!target) return VK_E_FAIL;
    if (target->Find(entryName, value) >= 0) return VK_OK;
    if (!handler_) return VK_E_FAIL;
    if ((res = handler_->LoadValue(entryName, value)) < 0) return res;
    return target->Add(entryName, *value);
}

VkResult NewDictionary(Dictionary** out) {
    return VkMemCreateObject(out);
}

class Manager;
Manager* g_manager = nullptr;

class Manager final : public VkObjectOf<VkFace<IVkDictionaryManager, IID_IVkDictionaryManager>,
                                        VkFace<IVkObjectCreate, IID_IVkObjectCreate>,
                                        VkFace<IVkArchivable, IID_IVkArchivable>> {
public:
    // The dictionary manager's face of CreateObject: the same objects by their main faces.
    VkResult CreateObject(uint32_t type, IVkUnknown** out) override {
        IVkArchivable* object = nullptr;
        VkResult res = CreateObject(type, &object);
        *out = nullptr;
        if (res < 0) return res;
        if (type == VK_DICT_TYPE_MANAGER)
            *out = static_cast<IVkDictionaryManager*>(this);
        else
            *out = static_cast<IVkDictionary*>(static_cast<Dictionary*>(object));
        return VK_OK;
    }
    // The archiver's face: the object of a loaded type, given by its archivable face.
    VkResult CreateObject(uint32_t type, IVkArchivable** out) override {
        *out = nullptr;
        if (type == VK_DICT_TYPE_MANAGER) {
            AddRef();
            *out = static_cast<IVkArchivable*>(this);
            return VK_OK;
        }
        if (type != VK_DICT_TYPE_DICTIONARY) return VK_E_FAIL;
        Dictionary* d = nullptr;
        VkResult res = NewDictionary(&d);
        if (res >= 0) *out = static_cast<IVkArchivable*>(d);
        return res;
    }

    VkResult CreateRoot() override {
        if (root_) return VK_E_FAIL;
        Dictionary* d = nullptr;
        VkResult res = MakeInitialised(nullptr, &d);
        if (res >= 0) root_ = d;
        return res;
    }

    VkResult CreateDictionary(IVkDictionaryType* handler, IVkDictionary** out) override {
        if (out) *out = nullptr;
        Dictionary* d = nullptr;
        VkResult res = MakeInitialised(handler, &d);
        if (res < 0) return res;
        d->SetParent(root_);
        if (out)
            *out = d;
        else
            d->Release();
        return VK_OK;
    }

    VkResult DumpTree() override { return root_ ? VK_OK : VK_E_FAIL; }
    IVkArchive* GetArchive() override { return archive_; }

    VkResult ReleaseTree(IVkDictionary* dictionary) override {
        if (!dictionary) return VK_E_FAIL;
        auto* d = static_cast<Dictionary*>(dictionary);
        while (Dictionary* child = d->FirstChild()) {
            child->SetParent(nullptr);
            ReleaseTree(child);
        }
        d->Release();
        return VK_OK;
    }

    IVkDictionary* GetRoot() override { return root_; }

    VkResult Serialise(IVkArchive* archive) override {
        if (!archive) return VK_E_FAIL;
        archive_ = archive;
        VkGuid clsid = CLSID_VkDictionaryManager;
        uint32_t type = VK_DICT_TYPE_MANAGER;
        IVkArchivable* root = root_ ? static_cast<IVkArchivable*>(root_) : nullptr;
        VkResult res;
        if ((res = archive->Serialise(VK_ARCHIVE_GUID, &clsid, sizeof clsid)) >= 0 &&
            (res = archive->Serialise(VK_ARCHIVE_CHUNK, &type, sizeof type)) >= 0 &&
            (res = archive->Serialise(VK_ARCHIVE_OBJECT, &root, sizeof root)) >= 0) {
            // A loaded root replaces none that exists; an unused one is dropped.
            if (!archive->IsStoring() && root) {
                if (!root_)
                    root_ = static_cast<Dictionary*>(root);
                else
                    root->Release();
            }
            res = VK_OK;
        }
        archive_ = nullptr;
        return res;
    }

private:
    VkResult MakeInitialised(IVkDictionaryType* handler, Dictionary** out) {
        *out = nullptr;
        Dictionary* d = nullptr;
        VkResult res = NewDictionary(&d);
        if (res < 0) return res;
        if ((res = d->Initialise(handler)) < 0) {
            d->Release();
            return res;
        }
        *out = d;
        return VK_OK;
    }

    void Destroy() override {
        if (root_) root_->Release();
        g_manager = nullptr;
        VkMemDelete(this);
        VkClose();
        VkMemRelease();
    }

    Dictionary* root_ = nullptr;
    IVkArchive* archive_ = nullptr;
};

const VkComponentRecord kRecords[] = {
    {&CLSID_VkDictionaryManager, 0, nullptr, 0, nullptr, VkCreateDictionaryManager,
     "Vesk - DictionaryManager", "Vesk.DictionaryManager.1", "Vesk.DictionaryManager", nullptr},
    {&CLSID_VkDictionary, 0, nullptr, 0, nullptr, VkCreateDictionary, "Vesk - Dictionary",
     "Vesk.Dictionary.1", "Vesk.Dictionary", nullptr},
};

} // namespace

VkResult VkCreateDictionaryManager(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_manager) {
        g_manager->AddRef();
        *out = static_cast<IVkDictionaryManager*>(g_manager);
        return VK_OK;
    }
    VkResult res = VkMemAcquire();
    if (res < 0) return res;
    if ((res = VkOpen()) < 0) {
        VkMemRelease();
        return res;
    }
    g_manager = VkMemNew<Manager>();
    if (!g_manager) {
        VkClose();
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    *out = static_cast<IVkDictionaryManager*>(g_manager);
    return VK_OK;
}

VkResult VkCreateDictionary(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    Dictionary* d = nullptr;
    VkResult res = NewDictionary(&d);
    if (res >= 0) *out = static_cast<IVkDictionary*>(d);
    return res;
}

VkResult VkDictionaryModuleRegister(IVkRegistry* registry) {
    return VkModule<kRecords>::Register(registry);
}
