#include "framework/core/framework.h"

#include "framework/core/modules.h"
#include "framework/core/winos.h"
#include "platform/com/com.h"

#include <cstring>

const VkGuid CATID_VkSoundControl = {
    0x4BA9A7F1, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CATID_VkTransport = {
    0xA195F0E1, 0xDAC0, 0x11D2, {0x81, 0x4B, 0x08, 0x00, 0x09, 0xD7, 0xE1, 0x1F}};
const VkGuid CATID_VkSoundRW = {
    0x4BA9A7F6, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

IVkRegistry* g_primary = nullptr;
IVkRegistry* g_standard = nullptr;
VkGuid g_frameworkGuid = {};
uint32_t g_openCount = 0;
IVkWinOS* g_winOS = nullptr;

using ModuleRegisterFn = VkResult (*)(IVkRegistry*);

// The built-in component table: registration order is fixed, because classes enumerate in
// reverse order of registration within a category.
const ModuleRegisterFn kStandardModules[] = {
    VkDictionaryModuleRegister, VkFileModuleRegister,       VkHttpModuleRegister,
    VkStdInputModuleRegister,   VkPropModuleRegister,       VkTerminalModuleRegister,
    VkArchiveModuleRegister,    VkDownloaderModuleRegister, VkArchiveStorageModuleRegister,
    VkListModuleRegister,       VkUrlModuleRegister,        VkStreamsModuleRegister,
    VkSyncStreamModuleRegister, VkMathsModuleRegister,      VkMemoryModuleRegister,
    VkStorageModuleRegister,    VkCpuIdModuleRegister,      VkWinOSModuleRegister,
    VkTcpModuleRegister,
};
const ModuleRegisterFn kMediaModules[] = {
    VkDictTypeSoundModuleRegister, VkNullSoundModuleRegister,     VkNullTransportModuleRegister,
    VkNetworkModuleRegister,       VkStreamedSoundModuleRegister, VkInputModuleRegister,
    VkSoundProcModuleRegister,     VkSoundRWWavModuleRegister,    VkCdAudioModuleRegister,
    VkDx5TransportModuleRegister,  VkDx6TransportModuleRegister,  VkDxSoundControlModuleRegister,
};

IVkRegistry* ActiveRegistry() {
    return g_primary ? g_primary : g_standard;
}

// The category default flag of a class: "TRUE" or "FALSE", keyed by framework and category.
void FlagKeys(const VkGuid& category, char* key, char* subkey) {
    VkGuidToString(g_frameworkGuid, key);
    VkGuidToString(category, subkey);
}

bool ReadsTrue(const VkGuid& clsid, const VkGuid& category) {
    char key[39], subkey[39], value[32] = {};
    FlagKeys(category, key, subkey);
    if (VkGetClassValue(clsid, key, subkey, value, sizeof value) < 0) return false;
    value[sizeof value - 1] = '\0';
    return std::strcmp(value, "TRUE") == 0;
}

void WriteFlag(const VkGuid& clsid, const VkGuid& category, const char* value) {
    char key[39], subkey[39];
    FlagKeys(category, key, subkey);
    VkSetClassValue(clsid, key, subkey, value);
}

VkResult GetFactory(const VkGuid& clsid, IVkClassFactory** factory) {
    return VkGetClassObject(clsid, 0, nullptr, IID_IClassFactory,
                            reinterpret_cast<void**>(factory));
}

// The first class of the category, in enumeration order, whose factory can be obtained; it
// becomes the category's default.
VkResult FirstAvailable(const VkGuid& category, IVkClassFactory** factory) {
    VkResult last = VK_E_CATEGORYEMPTY;
    VkGuid clsid = VK_GUID_NULL;
    while (VkNextClassInCategory(category, &clsid) >= 0) {
        last = GetFactory(clsid, factory);
        if (last >= 0) {
            WriteFlag(clsid, category, "TRUE");
            return VK_OK;
        }
    }
    return last;
}

} // namespace

VkResult VkInitialise(const VkGuid* frameworkGuid) {
    g_frameworkGuid = frameworkGuid ? *frameworkGuid : VK_GUID_NULL;
    IVkUnknown* unknown = nullptr;
    VkResult res = VkCreateStdRegistry(nullptr, &unknown);
    if (res < 0) return res;
    IVkRegistry* registry = static_cast<IVkRegistry*>(unknown);
    res = CoInitialize(nullptr);
    if (res >= 0) res = VkSetRegistries(nullptr, registry);
    if (res < 0) {
        // Also when a standard registry is already in place: the new one would be lost.
        registry->Release();
        return res;
    }
    return VK_OK;
}

VkResult VkUninitialise() {
    if (g_primary) g_primary->Release();
    if (g_standard) g_standard->Release();
    g_primary = nullptr;
    g_standard = nullptr;
    return VK_OK;
}

VkResult VkGetRegistries(IVkRegistry** primary, IVkRegistry** standard) {
    if (primary) *primary = g_primary;
    if (standard) *standard = g_standard;
    return VK_OK;
}

VkResult VkSetRegistries(IVkRegistry* primary, IVkRegistry* standard) {
    if (primary) {
        if (!g_primary)
            g_primary = primary;
        else if (g_primary != primary)
            return VK_E_FAIL;
    }
    if (standard) {
        if (!g_standard)
            g_standard = standard;
        else if (g_standard != standard)
            return VK_E_FAIL;
    }
    return VK_OK;
}

VkResult VkSetFrameworkGuid(const VkGuid* guid) {
    g_frameworkGuid = *guid;
    return VK_OK;
}

VkResult VkRegisterStandardComponents(IVkRegistry* registry) {
    for (ModuleRegisterFn fn : kStandardModules)
        fn(registry);
    return VK_OK;
}

VkResult VkRegisterMediaComponents(IVkRegistry* registry) {
    for (ModuleRegisterFn fn : kMediaModules)
        fn(registry);
    return VK_OK;
}

VkResult VkOpen() {
    if (g_openCount == 0) {
        void* object = nullptr;
        if (VkCreateInstance(CLSID_VkWinOSOpen, nullptr, 0, IID_IVkWinOS, &object) < 0)
            return VK_E_FAIL;
        g_winOS = static_cast<IVkWinOS*>(object);
    }
    ++g_openCount;
    return VK_OK;
}

void VkClose() {
    if (g_openCount == 0) return;
    if (--g_openCount == 0) {
        g_winOS->Release();
        g_winOS = nullptr;
    }
}

uint32_t VkGetTime() {
    return g_winOS ? g_winOS->GetTime() : 0;
}

VkResult VkGetClassObject(const VkGuid& clsid, uint32_t context, void* reserved, const VkGuid& iid,
                          void** out) {
    if (!g_primary && !g_standard) return VK_E_FAIL;
    VkResult last = VK_E_FAIL;
    for (IVkRegistry* registry : {g_primary, g_standard}) {
        if (!registry) continue;
        void* object = nullptr;
        last = registry->GetClassObject(clsid, context, reserved, IID_IVkClassObjectInit, &object);
        if (last >= 0) {
            IVkClassObjectInit* init = static_cast<IVkClassObjectInit*>(object);
            init->SetRegistries(g_primary, g_standard);
            init->SetFrameworkGuid(g_frameworkGuid);
            VkResult res = init->QueryInterface(iid, out);
            init->Release();
            return res;
        }
        if (registry->GetClassObject(clsid, context, reserved, iid, out) >= 0) return VK_OK;
    }
    return last;
}

VkResult VkCreateInstance(const VkGuid& clsid, IVkUnknown* outer, uint32_t, const VkGuid& iid,
                          void** out) {
    IVkClassFactory* factory = nullptr;
    VkResult res = GetFactory(clsid, &factory);
    if (res < 0) return res;
    res = factory->CreateInstance(outer, iid, out);
    factory->Release();
    return res;
}

VkResult VkCreateInstanceByCategory(const VkGuid& category, IVkUnknown* outer, uint32_t,
                                    const VkGuid& iid, void** out) {
    VkGuid first = VK_GUID_NULL;
    if (VkNextClassInCategory(category, &first) < 0) {
        first = VK_GUID_NULL;
        if (VkNextClassInCategory(category, &first) < 0) return VK_E_CATEGORYEMPTY;
    }

    // Look for the class flagged as the category's default, counting the classes on the way.
    int classes = 0;
    bool flagged = false;
    VkGuid clsid = first;
    do {
        ++classes;
        if (ReadsTrue(clsid, category)) {
            flagged = true;
            break;
        }
    } while (VkNextClassInCategory(category, &clsid) >= 0);

    IVkClassFactory* factory = nullptr;
    VkResult res;
    if (flagged) {
        res = GetFactory(clsid, &factory);
        if (res < 0) {
            WriteFlag(clsid, category, "FALSE");
            res = FirstAvailable(category, &factory);
        }
    } else if (classes == 1) {
        res = GetFactory(first, &factory);
        if (res >= 0) WriteFlag(first, category, "TRUE");
    } else {
        res = FirstAvailable(category, &factory);
    }
    if (res < 0) return res;

    res = factory->CreateInstance(outer, iid, out);
    factory->Release();
    return res;
}

VkResult VkNextClassInCategory(const VkGuid& category, VkGuid* clsid) {
    IVkRegistry* r = ActiveRegistry();
    return r ? r->NextClassInCategory(category, clsid) : VK_E_NOREGISTRY;
}

VkResult VkRegisterModuleFile(const char* path) {
    IVkRegistry* r = ActiveRegistry();
    return r ? r->RegisterModuleFile(path) : VK_E_NOREGISTRY;
}

VkResult VkGetClassValue(const VkGuid& clsid, const char* key, const char* subkey, char* buffer,
                         uint32_t size) {
    IVkRegistry* r = ActiveRegistry();
    return r ? r->GetClassValue(clsid, key, subkey, buffer, size) : VK_E_NOREGISTRY;
}

VkResult VkSetClassValue(const VkGuid& clsid, const char* key, const char* subkey,
                         const char* value) {
    IVkRegistry* r = ActiveRegistry();
    return r ? r->SetClassValue(clsid, key, subkey, value) : VK_E_NOREGISTRY;
}
