// Framework start and end, the registries in use, and the creation of objects by CLSID and by
// category. Everything runs on the thread that called VkInitialise.
#pragma once

#include "framework/core/com.h"
#include "framework/core/stdregistry.h"

VkResult VkInitialise(const VkGuid* frameworkGuid);
VkResult VkUninitialise();
VkResult VkGetRegistries(IVkRegistry** primary, IVkRegistry** standard);
VkResult VkSetRegistries(IVkRegistry* primary, IVkRegistry* standard);
VkResult VkSetFrameworkGuid(const VkGuid* guid);
VkResult VkRegisterStandardComponents(IVkRegistry* registry);
VkResult VkRegisterMediaComponents(IVkRegistry* registry);

// Counted open of the shared operating-system object.
VkResult VkOpen();
void VkClose();
// Milliseconds from the shared operating-system object, 0 when it is not open.
uint32_t VkGetTime();

VkResult VkGetClassObject(const VkGuid& clsid, uint32_t context, void* reserved, const VkGuid& iid,
                          void** out);
VkResult VkCreateInstance(const VkGuid& clsid, IVkUnknown* outer, uint32_t context,
                          const VkGuid& iid, void** out);
VkResult VkCreateInstanceByCategory(const VkGuid& category, IVkUnknown* outer, uint32_t context,
                                    const VkGuid& iid, void** out);
VkResult VkNextClassInCategory(const VkGuid& category, VkGuid* clsid);
VkResult VkRegisterModuleFile(const char* path);
VkResult VkGetClassValue(const VkGuid& clsid, const char* key, const char* subkey, char* buffer,
                         uint32_t size);
VkResult VkSetClassValue(const VkGuid& clsid, const char* key, const char* subkey,
                         const char* value);

// Category GUIDs of the built-in components.
extern const VkGuid CATID_VkSoundControl;
extern const VkGuid CATID_VkTransport;
extern const VkGuid CATID_VkSoundRW;
