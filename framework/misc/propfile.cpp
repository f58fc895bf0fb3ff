#include "framework/misc/propfile.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/misc/opened.h"

#include <cstring>

const VkGuid CLSID_VkPropertySet = {
    0xF7576A40, 0x1658, 0x11D2, {0xAC, 0x12, 0x00, 0x60, 0x08, 0x4E, 0xF0, 0x0B}};
const VkGuid IID_IVkPropertySet = {
    0xF7576A42, 0x1658, 0x11D2, {0xAC, 0x12, 0x00, 0x60, 0x08, 0x4E, 0xF0, 0x0B}};

namespace {

constexpr uint32_t kNameLength = VK_PROP_NAME_SIZE - 1;
constexpr uint32_t kLineSize = 512;

bool SameName(const char* a, const char* b) {
    return std::strncmp(a, b, kNameLength) == 0;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// Drops trailing blanks of text[0, length).
uint32_t TrimEnd(const char* text, uint32_t length) {
    while (length > 0 && Blank(text[length - 1]))
        --length;
    return length;
}

char* CopyValue(const char* value) {
    size_t size = std::strlen(value) + 1;
    char* copy = static_cast<char*>(VkMemAlloc(size));
    if (copy) std::memcpy(copy, value, size);
    return copy;
}

struct Key {
    Key* next;
    Key* prev;
    char name[VK_PROP_NAME_SIZE];
    char* value;
};

// Nodes of a list in order of creation, with a cursor.
template <class Node> struct Chain {
    Node* first = nullptr;
    Node* last = nullptr;
    Node* current = nullptr;

    Node* Find(const char* name) const {
        for (Node* n = first; n; n = n->next)
            if (SameName(n->name, name)) return n;
        return nullptr;
    }
    void Append(Node* n) {
        n->next = nullptr;
        n->prev = last;
        (last ? last->next : first) = n;
        last = n;
        current = n;
    }
    // Unlinks the current node; the cursor goes to the next one, else one step on from the
    // first, else to the first.
    Node* UnlinkCurrent() {
        Node* gone = current;
        current = gone->next;
        if (!current) current = first->next != gone ? first->next : first;
        (gone->prev ? gone->prev->next : first) = gone->next;
        (gone->next ? gone->next->prev : last) = gone->prev;
        return gone;
    }
    VkResult Move(uint32_t how) {
        Node* to = nullptr;
        switch (how) {
        case VK_PROP_NEXT: to = current ? current->next : nullptr; break;
        case VK_PROP_PREVIOUS: to = current ? current->prev : nullptr; break;
        case VK_PROP_FIRST: to = first; break;
        case VK_PROP_LAST: to = last; break;
        default: break;
        }
        if (!to) return VK_E_FAIL;
        current = to;
        return VK_OK;
    }
};

struct Section {
    Section* next;
    Section* prev;
    char name[VK_PROP_NAME_SIZE];
    Chain<Key> keys;
};

void FreeKey(Key* key) {
    VkMemFree(key->value);
    VkMemFree(key);
}

void FreeSection(Section* section) {
    for (Key* k = section->keys.first; k;) {
        Key* next = k->next;
        FreeKey(k);
        k = next;
    }
    VkMemFree(section);
}

class PropertySet final : public VkObject<IVkPropertySet, IID_IVkPropertySet> {
public:
    VkResult Reset() override {
        Clear();
        return AddSection("");
    }

    VkResult Load(IVkStream* stream) override {
        if (!stream) return VK_E_FAIL;
        char line[kLineSize];
        bool end = false;
        while (!end) {
            uint32_t length = 0;
            for (;;) {
                char c;
                uint32_t got = 0;
                if (stream->Read(&c, 1, &got) < 0 || got != 1) {
                    end = true;
                    break;
                }
                if (c == '\r' || c == '\n') break;
                if (length == kLineSize - 1) return VK_E_FAIL; // no end within 512 bytes
                line[length++] = c;
            }
            line[length] = 0;
            // A zero byte ends the line's text: names and values are zero-terminated.
            VkResult res = LoadLine(line, static_cast<uint32_t>(std::strlen(line)));
            if (res < 0) return res;
        }
        return VK_OK;
    }

    VkResult Save(IVkStream* stream) override {
        if (!stream) return VK_E_FAIL;
        VkResult res = VK_OK;
        auto put = [&](const char* text) {
            if (res >= 0 && *text)
                res = stream->Write(text, static_cast<uint32_t>(std::strlen(text)), nullptr);
        };
        for (Section* s = sections_.first; s && res >= 0; s = s->next) {
            if (s->name[0]) {
                put("[");
                put(s->name);
                put("]\n");
            }
            for (Key* k = s->keys.first; k && res >= 0; k = k->next) {
                if (!k->name[0]) continue;
                put(k->name);
                if (k->value[0]) {
                    put(" = ");
                    put(k->value);
                }
                put("\n");
            }
            put("\n");
        }
        return res;
    }

    VkResult AddSection(const char* name) override {
        if (!name || sections_.Find(name)) return VK_E_FAIL;
        Section* s = static_cast<Section*>(VkMemAlloc(sizeof(Section)));
        if (!s) return VK_E_OUTOFMEMORY;
        *s = {};
        VkCopyText(s->name, sizeof s->name, name);
        VkResult res = AppendKey(s, "", "");
        if (res < 0) {
            VkMemFree(s);
            return res;
        }
        sections_.Append(s);
        return VK_OK;
    }

    VkResult DeleteSection() override {
        if (sections_.current == sections_.first) return VK_E_FAIL; // the root
        FreeSection(sections_.UnlinkCurrent());
        return VK_OK;
    }

    VkResult SelectSection(const char* name) override {
        Section* s = name ? sections_.Find(name) : nullptr;
        if (!s) return VK_E_FAIL;
        sections_.current = s;
        return VK_OK;
    }

    VkResult MoveSection(uint32_t how) override { return sections_.Move(how); }

    VkResult GetSectionName(char* buffer) override {
        if (!buffer) return VK_E_FAIL;
        VkCopyText(buffer, VK_PROP_NAME_SIZE, sections_.current->name);
        return VK_OK;
    }

    VkResult RenameSection(const char* name) override {
        if (!name || sections_.current == sections_.first || sections_.Find(name)) return VK_E_FAIL;
        VkCopyText(sections_.current->name, VK_PROP_NAME_SIZE, name);
        return VK_OK;
    }

    VkResult SetValue(const char* key, const char* value) override {
        if (!key || !value) return VK_E_FAIL;
        Section* s = sections_.current;
        Key* k = s->keys.Find(key);
        if (!k) return AppendKey(s, key, value);
        char* copy = CopyValue(value);
        if (!copy) return VK_E_OUTOFMEMORY;
        VkMemFree(k->value);
        k->value = copy;
        s->keys.current = k;
        return VK_OK;
    }

    VkResult GetValue(const char* key, char* buffer, uint32_t size) override {
        Chain<Key>& keys = sections_.current->keys;
        if (key) {
            Key* k = keys.Find(key);
            if (!k) return VK_E_FAIL;
            keys.current = k;
        }
        if (!buffer) return VK_OK;
        if (size == 0) return VK_E_FAIL;
        VkCopyText(buffer, size, keys.current->value);
        return std::strlen(keys.current->value) < size ? VK_OK : VK_E_FAIL;
    }

    uint32_t GetValueLength(const char* key) override {
        Chain<Key>& keys = sections_.current->keys;
        Key* k = key ? keys.Find(key) : keys.current;
        return k ? static_cast<uint32_t>(std::strlen(k->value)) + 1 : 0;
    }

    VkResult DeleteKey(const char* key) override {
        Chain<Key>& keys = sections_.current->keys;
        Key* k = key ? keys.Find(key) : keys.current;
        if (!k || k == keys.first) return VK_E_FAIL; // absent, or the hidden key
        keys.current = k;
        FreeKey(keys.UnlinkCurrent());
        return VK_OK;
    }

    VkResult MoveKey(char* nameOut, uint32_t* lengthOut, uint32_t how) override {
        Chain<Key>& keys = sections_.current->keys;
        VkResult res = keys.Move(how);
        if (res < 0) return res;
        if (nameOut) VkCopyText(nameOut, VK_PROP_NAME_SIZE, keys.current->name);
        if (lengthOut) *lengthOut = static_cast<uint32_t>(std::strlen(keys.current->value)) + 1;
        return VK_OK;
    }

    VkResult Start() { return Reset(); }

private:
    void Destroy() override {
        Clear();
        VkDestroyOpened(this);
    }

    void Clear() {
        for (Section* s = sections_.first; s;) {
            Section* next = s->next;
            FreeSection(s);
            s = next;
        }
        sections_ = {};
    }

    static VkResult AppendKey(Section* s, const char* name, const char* value) {
        Key* k = static_cast<Key*>(VkMemAlloc(sizeof(Key)));
        if (!k) return VK_E_OUTOFMEMORY;
        *k = {};
        VkCopyText(k->name, sizeof k->name, name);
        if (!(k->value = CopyValue(value))) {
            VkMemFree(k);
            return VK_E_OUTOFMEMORY;
        }
        s->keys.Append(k);
        return VK_OK;
    }

    VkResult LoadLine(char* line, uint32_t length) {
        uint32_t at = 0;
        while (at < length && Blank(line[at]))
            ++at;
        if (at == length || line[at] == '#') return VK_OK;
        if (line[at] == '[') {
            ++at;
            while (at < length && Blank(line[at]))
                ++at;
            char* name = line + at;
            char* close = static_cast<char*>(std::memchr(name, ']', length - at));
            if (!close || close - name > static_cast<ptrdiff_t>(kNameLength)) return VK_E_FAIL;
            name[TrimEnd(name, static_cast<uint32_t>(close - name))] = 0;
            if (SelectSection(name) >= 0) return VK_OK;
            return AddSection(name);
        }
        char* key = line + at;
        char* equals = static_cast<char*>(std::memchr(key, '=', length - at));
        // Counted without the blanks before the "=", so that every saved key loads back.
        uint32_t keyLength =
            TrimEnd(key, equals ? static_cast<uint32_t>(equals - key) : length - at);
        if (keyLength > kNameLength) return VK_E_FAIL;
        key[keyLength] = 0;
        const char* value = "";
        if (equals) {
            char* v = equals + 1;
            while (Blank(*v))
                ++v;
            v[TrimEnd(v, static_cast<uint32_t>(std::strlen(v)))] = 0;
            value = v;
        }
        return SetValue(key, value);
    }

    Chain<Section> sections_;
};

const VkComponentRecord kPropRecords[] = {
    {&CLSID_VkPropertySet, 0, nullptr, 0, nullptr, VkCreatePropertySet,
     "Vesk - Property-file handler", "Vesk.Prop.5.1", "Vesk.Prop", nullptr},
};

} // namespace

VkResult VkCreatePropertySet(IVkUnknown* outer, IVkUnknown** out) {
    return VkCreateOpened<PropertySet>(outer, out);
}

VkResult VkPropModuleRegister(IVkRegistry* registry) {
    return VkModule<kPropRecords>::Register(registry);
}
