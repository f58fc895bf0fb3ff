#include "framework/core/stdregistry.h"

#include <cstring>
#include <list>
#include <new>
#include <vector>

const VkGuid CLSID_VkStdRegistry = {
    0xBE06EE28, 0x8C66, 0x11D2, {0x86, 0x8B, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CATID_Vesk5 = {
    0x89429DF3, 0xAC79, 0x11D2, {0x8C, 0x3E, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

const VkComponentRecord VK_STD_REGISTRY_RECORD = {&CLSID_VkStdRegistry,
                                                  0,
                                                  nullptr,
                                                  0,
                                                  nullptr,
                                                  VkCreateStdRegistry,
                                                  "Vesk - Standard Registry",
                                                  "Vesk.StdRegistry.5.1",
                                                  "Vesk.StdRegistry",
                                                  nullptr};

namespace {

constexpr size_t kTextSize = 128;

struct CategoryEntry {
    VkGuid guid;
    char name[kTextSize];
};

struct ClassEntry {
    VkGuid clsid;
    std::vector<CategoryEntry*> impl; // the catch-all category last
    std::vector<CategoryEntry*> req;
    VkClassObjectFn classObject = nullptr;
    char name[kTextSize] = {};
    char versionedProgId[kTextSize] = {};
    char progId[kTextSize] = {};
};

class StdRegistry final : public VkObject<IVkRegistry, IID_IVkRegistry> {
public:
    VkResult RegisterClass(uint32_t, VkClassObjectFn classObject, const VkGuid& clsid,
                           uint32_t implCount, const VkCategoryRef* impl, uint32_t reqCount,
                           const VkCategoryRef* req, const char* name, const char* progId,
                           const char* versionedProgId) override {
        auto it = Find(clsid);
        try {
            if (it == classes_.end()) {
                classes_.emplace_front();
                it = classes_.begin();
                it->clsid = clsid;
            }
            it->impl.clear();
            it->req.clear();
            VkCopyText(it->name, kTextSize, name);
            VkCopyText(it->versionedProgId, kTextSize, versionedProgId);
            VkCopyText(it->progId, kTextSize, progId);
            it->impl.reserve(implCount + 1u);
            for (uint32_t i = 0; i < implCount; ++i)
                it->impl.push_back(FindOrCreateCategory(*impl[i].guid, impl[i].name));
            it->impl.push_back(FindOrCreateCategory(CATID_Vesk5, "Vesk 5"));
            it->req.reserve(reqCount);
            for (uint32_t i = 0; i < reqCount; ++i)
                it->req.push_back(FindOrCreateCategory(*req[i].guid, req[i].name));
        } catch (const std::bad_alloc&) {
            // A failed registration leaves no entry for the class, not even an older one.
            if (it != classes_.end()) classes_.erase(it);
            return VK_E_OUTOFMEMORY;
        }
        it->classObject = classObject;
        return VK_OK;
    }

    VkResult UnregisterClass(const VkGuid& clsid, const char*, const char*) override {
        auto it = Find(clsid);
        if (it == classes_.end()) return VK_E_FAIL;
        classes_.erase(it);
        return VK_OK;
    }

    VkResult RegisterModuleFile(const char*) override { return VK_E_FAIL; }

    VkResult NextClassInCategory(const VkGuid& category, VkGuid* clsid) override {
        auto it = classes_.begin();
        if (!VkGuidIsNull(*clsid)) {
            it = Find(*clsid);
            if (it == classes_.end()) return VK_E_FAIL;
            ++it;
        }
        for (; it != classes_.end(); ++it) {
            for (const CategoryEntry* c : it->impl) {
                if (VkGuidEqual(c->guid, category)) {
                    *clsid = it->clsid;
                    return VK_OK;
                }
            }
        }
        return VK_E_ENDOFLIST;
    }

    VkResult NextRequiredCategory(const VkGuid& clsid, VkGuid* category) override {
        auto it = Find(clsid);
        if (it == classes_.end()) return VK_E_FAIL;
        size_t index = 0;
        if (!VkGuidIsNull(*category)) {
            while (index < it->req.size() && !VkGuidEqual(it->req[index]->guid, *category))
                ++index;
            if (index == it->req.size()) return VK_E_FAIL;
            ++index;
        }
        if (index >= it->req.size()) return VK_E_FAIL;
        *category = it->req[index]->guid;
        return VK_OK;
    }

    VkResult GetClassName(const VkGuid& clsid, char* buffer, uint32_t size) override {
        auto it = Find(clsid);
        if (it == classes_.end()) return VK_E_FAIL;
        return CopyWhole(it->name, buffer, size);
    }

    VkResult GetClassVersion(const VkGuid& clsid, char* buffer, uint32_t size) override {
        auto it = Find(clsid);
        if (it == classes_.end()) return VK_E_FAIL;
        size_t base = std::strlen(it->progId);
        if (std::strlen(it->versionedProgId) < base) return VK_E_FAIL;
        return CopyWhole(it->versionedProgId + base, buffer, size);
    }

    VkResult FindClassByName(const char* name, VkGuid* clsid) override {
        for (const ClassEntry& e : classes_) {
            if (std::strcmp(e.name, name) == 0) {
                *clsid = e.clsid;
                return VK_OK;
            }
        }
        return VK_E_FAIL;
    }

    // The standard registry keeps no class values.
    VkResult GetClassValue(const VkGuid&, const char*, const char*, char*, uint32_t) override {
        return VK_E_FAIL;
    }
    VkResult SetClassValue(const VkGuid&, const char*, const char*, const char*) override {
        return VK_E_FAIL;
    }

    VkResult GetClassObject(const VkGuid& clsid, uint32_t, void*, const VkGuid& iid,
                            void** out) override {
        auto it = Find(clsid);
        if (it == classes_.end()) return VK_E_FAIL;
        VkResult res = it->classObject(clsid, iid, out);
        return res < 0 ? res : VK_OK;
    }

    VkResult Reserved() override { return VK_OK; }

private:
    void Destroy() override {
        while (!classes_.empty()) {
            const ClassEntry& e = classes_.front();
            UnregisterClass(e.clsid, e.progId, e.versionedProgId);
        }
        delete this; // the category entries go with the registry
    }

    std::list<ClassEntry>::iterator Find(const VkGuid& clsid) {
        for (auto it = classes_.begin(); it != classes_.end(); ++it)
            if (VkGuidEqual(it->clsid, clsid)) return it;
        return classes_.end();
    }

    // Category entries are shared by every class naming the GUID; the first name given stays.
    CategoryEntry* FindOrCreateCategory(const VkGuid& guid, const char* name) {
        for (CategoryEntry& c : categories_)
            if (VkGuidEqual(c.guid, guid)) return &c;
        categories_.emplace_front();
        CategoryEntry& c = categories_.front();
        c.guid = guid;
        VkCopyText(c.name, kTextSize, name);
        return &c;
    }

    static VkResult CopyWhole(const char* text, char* buffer, uint32_t size) {
        size_t n = std::strlen(text);
        if (n + 1 > size) return VK_E_FAIL;
        std::memcpy(buffer, text, n + 1);
        return VK_OK;
    }

    std::list<ClassEntry> classes_; // most recently first registered at the front
    std::list<CategoryEntry> categories_;
};

} // namespace

VkResult VkCreateStdRegistry(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    StdRegistry* r = new (std::nothrow) StdRegistry();
    if (!r) return VK_E_OUTOFMEMORY;
    *out = r;
    return VK_OK;
}
