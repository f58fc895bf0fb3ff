// The class registry interface and the standard registry: classes by CLSID with the
// categories they implement and require, kept in memory for the life of the registry.
#pragma once

#include "framework/core/com.h"

class IVkRegistry : public IVkUnknown {
public:
    virtual VkResult RegisterClass(uint32_t flags, VkClassObjectFn classObject, const VkGuid& clsid,
                                   uint32_t implCount, const VkCategoryRef* impl, uint32_t reqCount,
                                   const VkCategoryRef* req, const char* name, const char* progId,
                                   const char* versionedProgId) = 0;
    virtual VkResult UnregisterClass(const VkGuid& clsid, const char* progId,
                                     const char* versionedProgId) = 0;
    virtual VkResult RegisterModuleFile(const char* path) = 0;
    virtual VkResult NextClassInCategory(const VkGuid& category, VkGuid* clsid) = 0;
    virtual VkResult NextRequiredCategory(const VkGuid& clsid, VkGuid* category) = 0;
    virtual VkResult GetClassName(const VkGuid& clsid, char* buffer, uint32_t size) = 0;
    virtual VkResult GetClassVersion(const VkGuid& clsid, char* buffer, uint32_t size) = 0;
    virtual VkResult FindClassByName(const char* name, VkGuid* clsid) = 0;
    virtual VkResult GetClassValue(const VkGuid& clsid, const char* key, const char* subkey,
                                   char* buffer, uint32_t size) = 0;
    virtual VkResult SetClassValue(const VkGuid& clsid, const char* key, const char* subkey,
                                   const char* value) = 0;
    virtual VkResult GetClassObject(const VkGuid& clsid, uint32_t context, void* reserved,
                                    const VkGuid& iid, void** out) = 0;
    virtual VkResult Reserved() = 0;

protected:
    ~IVkRegistry() = default;
};

extern const VkGuid CLSID_VkStdRegistry;
extern const VkGuid CATID_Vesk5;
extern const VkComponentRecord VK_STD_REGISTRY_RECORD;

// An empty standard registry with one reference.
VkResult VkCreateStdRegistry(IVkUnknown* outer, IVkUnknown** out);
