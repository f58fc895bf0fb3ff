// Starts the framework once per fuzzing process, with the built-in components registered.
#pragma once

#include "framework/core/framework.h"

inline IVkRegistry* FuzzStartFramework() {
    static IVkRegistry* registry = nullptr;
    if (registry) return registry;
    VkInitialise(nullptr);
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    return registry;
}

// The same, with the media components (sound, network) registered too.
inline IVkRegistry* FuzzStartMediaFramework() {
    static IVkRegistry* registry = nullptr;
    if (registry) return registry;
    registry = FuzzStartFramework();
    VkRegisterMediaComponents(registry);
    return registry;
}
