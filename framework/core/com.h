// The component model's basic vocabulary: GUIDs and their text form, result codes, the base
// interface every component answers, registration records and the generic class factory.
#pragma once

#include <cstddef>
#include <cstdint>

using VkResult = int32_t;

constexpr VkResult VK_OK = 0;
constexpr VkResult VK_E_OUTOFMEMORY = static_cast<VkResult>(0x80000000u);
constexpr VkResult VK_E_NOINTERFACE = static_cast<VkResult>(0x80020000u);
constexpr VkResult VK_E_NOAGGREGATION = static_cast<VkResult>(0x80020001u);
constexpr VkResult VK_E_FAIL = static_cast<VkResult>(0x80030000u);
constexpr VkResult VK_E_CATEGORYEMPTY = static_cast<VkResult>(0x80030384u);
constexpr VkResult VK_E_ENDOFLIST = static_cast<VkResult>(0x80030385u);
constexpr VkResult VK_E_CLASSNOTAVAILABLE = static_cast<VkResult>(0x80040111u);
constexpr VkResult VK_E_NOREGISTRY = static_cast<VkResult>(0x8004000au);

// 16 bytes laid out as the old platform's GUID: a 32-bit word, two 16-bit words, 8 bytes.
struct VkGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(VkGuid) == 16);

bool VkGuidEqual(const VkGuid& a, const VkGuid& b);
inline bool operator==(const VkGuid& a, const VkGuid& b) {
    return VkGuidEqual(a, b);
}
bool VkGuidIsNull(const VkGuid& g);

extern const VkGuid VK_GUID_NULL;
extern const VkGuid IID_IVkUnknown;
extern const VkGuid IID_IClassFactory;
extern const VkGuid IID_IVkRegistry;
extern const VkGuid IID_IVkClassObjectInit;

// Parses the hexadecimal digits of a text (all other characters skipped) into a GUID. Exactly
// 32 digits are needed; the GUID is never written beyond its 16 bytes.
VkResult VkGuidFromString(const char* text, VkGuid* out);
// Writes the braced, upper-case text form: 38 characters and a terminator (39 bytes).
void VkGuidToString(const VkGuid& guid, char* out);

// The three operations every interface starts with.
class IVkUnknown {
public:
    virtual VkResult QueryInterface(const VkGuid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IVkUnknown() = default;
};

class IVkClassFactory : public IVkUnknown {
public:
    virtual VkResult CreateInstance(IVkUnknown* outer, const VkGuid& iid, void** out) = 0;
    virtual VkResult LockServer(int32_t lock) = 0;

protected:
    ~IVkClassFactory() = default;
};

class IVkRegistry;

class IVkClassObjectInit : public IVkUnknown {
public:
    virtual VkResult SetRegistries(IVkRegistry* primary, IVkRegistry* standard) = 0;
    virtual VkResult SetFrameworkGuid(const VkGuid& guid) = 0;

protected:
    ~IVkClassObjectInit() = default;
};

// Creates one object of a class; an outer object is always refused.
using VkCreateFn = VkResult (*)(IVkUnknown* outer, IVkUnknown** out);
// A module's class-object function: a factory for one of its CLSIDs, asked for an interface.
using VkClassObjectFn = VkResult (*)(const VkGuid& clsid, const VkGuid& iid, void** out);

struct VkCategoryRef {
    const VkGuid* guid;
    const char* name;
};

// The registration record of one component class.
struct VkComponentRecord {
    const VkGuid* clsid;
    uint32_t implCount;
    const VkCategoryRef* impl;
    uint32_t reqCount;
    const VkCategoryRef* req;
    VkCreateFn create;
    const char* name;
    const char* versionedProgId;
    const char* progId;
    void (*init)(int32_t);
};

// Registers each record in array order; stops at the first failure and returns it.
VkResult VkRegisterModuleClasses(const VkComponentRecord* records, int32_t count,
                                 VkClassObjectFn classObject, IVkRegistry* registry);
// Hands out a class factory for the record with this CLSID, asked for the given interface.
VkResult VkModuleGetClassObject(const VkComponentRecord* records, int32_t count,
                                const VkGuid& clsid, const VkGuid& iid, void** out);
// A new factory (count 1) for one record; it answers IClassFactory and IVkClassObjectInit.
VkResult VkCreateClassFactory(const VkComponentRecord* record, IVkClassFactory** out);

// The two functions of a component module over its static array of records.
template <const auto& Records> struct VkModule {
    static constexpr int32_t kCount = static_cast<int32_t>(sizeof Records / sizeof Records[0]);
    static VkResult ClassObject(const VkGuid& clsid, const VkGuid& iid, void** out) {
        return VkModuleGetClassObject(Records, kCount, clsid, iid, out);
    }
    static VkResult Register(IVkRegistry* registry) {
        return VkRegisterModuleClasses(Records, kCount, ClassObject, registry);
    }
};

// One interface of an object and the IID that asks for it.
template <class Face, const VkGuid& Iid> struct VkFace {
    using Type = Face;
    static constexpr const VkGuid& iid = Iid;
};

// The three base operations shared by all faces of an object: QueryInterface answers each
// face's IID, and IUnknown with the first face; one count serves every face; the last
// Release calls Destroy.
template <class First, class... Rest> class VkObjectOf : public First::Type, public Rest::Type... {
public:
    VkResult QueryInterface(const VkGuid& iid, void** out) override {
        *out = nullptr;
        if (VkGuidEqual(iid, IID_IVkUnknown) || VkGuidEqual(iid, First::iid))
            *out = static_cast<typename First::Type*>(this);
        else
            (void)((VkGuidEqual(iid, Rest::iid) &&
                    (*out = static_cast<typename Rest::Type*>(this))) ||
                   ...);
        if (!*out) return VK_E_NOINTERFACE;
        ++count_;
        return VK_OK;
    }
    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override {
        if (--count_ > 0) return count_;
        Destroy();
        return 0;
    }

protected:
    virtual void Destroy() = 0;
    uint32_t count_ = 1;
};

template <class Face, const VkGuid& Iid> using VkObject = VkObjectOf<VkFace<Face, Iid>>;

// Copies text into a fixed buffer, cut to fit, always terminated (size must be at least 1).
void VkCopyText(char* dest, size_t size, const char* src);
