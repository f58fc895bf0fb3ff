#include "framework/core/com.h"

#include "framework/core/framework.h"
#include "framework/core/stdregistry.h"

#include <cstdio>
#include <cstring>
#include <new>

const VkGuid VK_GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const VkGuid IID_IVkUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const VkGuid IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const VkGuid IID_IVkRegistry = {
    0xBE06EE27, 0x8C66, 0x11D2, {0x86, 0x8B, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid IID_IVkClassObjectInit = {
    0xBE06EE2A, 0x8C66, 0x11D2, {0x86, 0x8B, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

bool VkGuidEqual(const VkGuid& a, const VkGuid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

bool VkGuidIsNull(const VkGuid& g) {
    return VkGuidEqual(g, VK_GUID_NULL);
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

VkResult VkGuidFromString(const char* text, VkGuid* out) {
    if (!text || !*text || !out) return VK_E_FAIL;
    // Text byte k lands at GUID byte kOrder[k]: the three words are stored little-endian.
    static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    uint8_t bytes[16] = {};
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        int v = HexDigit(*p);
        if (v < 0) continue;
        if (digits == 32) return VK_E_FAIL; // a 33rd digit has no byte to go to
        uint8_t& b = bytes[kOrder[digits / 2]];
        b = static_cast<uint8_t>(digits % 2 == 0 ? v << 4 : b | v);
        ++digits;
    }
    if (digits != 32) return VK_E_FAIL;
    out->data1 = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                 static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    out->data2 = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
    out->data3 = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
    std::memcpy(out->data4, bytes + 8, 8);
    return VK_OK;
}

void VkGuidToString(const VkGuid& g, char* out) {
    std::snprintf(out, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                  static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                  g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
}

void VkCopyText(char* dest, size_t size, const char* src) {
    if (!dest || size == 0) return;
    size_t n = src ? std::strlen(src) : 0;
    if (n >= size) n = size - 1;
    if (n) std::memcpy(dest, src, n);
    dest[n] = '\0';
}

VkResult VkRegisterModuleClasses(const VkComponentRecord* records, int32_t count,
                                 VkClassObjectFn classObject, IVkRegistry* registry) {
    for (int32_t i = 0; i < count; ++i) {
        const VkComponentRecord& r = records[i];
        VkResult res =
            registry->RegisterClass(0, classObject, *r.clsid, r.implCount, r.impl, r.reqCount,
                                    r.req, r.name, r.progId, r.versionedProgId);
        if (res < 0) return res;
        if (r.init) r.init(1);
    }
    return VK_OK;
}

VkResult VkModuleGetClassObject(const VkComponentRecord* records, int32_t count,
                                const VkGuid& clsid, const VkGuid& iid, void** out) {
    if (out) *out = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        if (!VkGuidEqual(*records[i].clsid, clsid)) continue;
        IVkClassFactory* factory = nullptr;
        VkResult res = VkCreateClassFactory(&records[i], &factory);
        if (res < 0) return res;
        res = factory->QueryInterface(iid, out);
        factory->Release();
        return res;
    }
    return VK_E_CLASSNOTAVAILABLE;
}

namespace {

// One factory per request for a class object. Its second face lets a module learn the host's
// registries and framework GUID.
class ClassFactory final : public VkObjectOf<VkFace<IVkClassFactory, IID_IClassFactory>,
                                             VkFace<IVkClassObjectInit, IID_IVkClassObjectInit>> {
public:
    explicit ClassFactory(const VkComponentRecord* record) : record_(record) {}

    VkResult CreateInstance(IVkUnknown* outer, const VkGuid& iid, void** out) override {
        if (out) *out = nullptr;
        if (!record_) return VK_E_FAIL;
        if (outer) return VK_E_NOAGGREGATION;
        IVkUnknown* object = nullptr;
        VkResult res = record_->create(nullptr, &object);
        if (res != VK_OK) return res;
        res = object->QueryInterface(iid, out);
        object->Release();
        return res;
    }
    VkResult LockServer(int32_t) override { return VK_OK; }

    VkResult SetRegistries(IVkRegistry* primary, IVkRegistry* standard) override {
        return VkSetRegistries(primary, standard);
    }
    VkResult SetFrameworkGuid(const VkGuid& guid) override { return VkSetFrameworkGuid(&guid); }

private:
    void Destroy() override { delete this; }

    const VkComponentRecord* record_;
};

} // namespace

VkResult VkCreateClassFactory(const VkComponentRecord* record, IVkClassFactory** out) {
    *out = nullptr;
    ClassFactory* f = new (std::nothrow) ClassFactory(record);
    if (!f) return VK_E_OUTOFMEMORY;
    *out = f;
    return VK_OK;
}
