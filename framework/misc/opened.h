// Creation and destruction of a component that holds the shared allocator and the opened
// framework for its whole life.
#pragma once

#include "framework/core/framework.h"
#include "framework/core/memory.h"

// Makes the object and runs its Start(); an outer object is refused. A failed start destroys
// the object (through its final Release) and returns the code.
template <class T> VkResult VkCreateOpened(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    VkResult res = VkMemAcquire();
    if (res < 0) return res;
    if ((res = VkOpen()) < 0) {
        VkMemRelease();
        return res;
    }
    T* object = VkMemNew<T>();
    if (!object) {
        VkClose();
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    if ((res = object->Start()) < 0) {
        object->Release();
        return res;
    }
    *out = object;
    return VK_OK;
}

// For the object's Destroy: frees it and drops what VkCreateOpened took.
template <class T> void VkDestroyOpened(T* object) {
    VkMemDelete(object);
    VkMemRelease();
    VkClose();
}
