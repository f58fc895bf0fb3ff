// A circular, doubly linked list of items, each a copy of a caller's block of bytes. Callers
// hold items by the address of the copied bytes.
#pragma once

#include "framework/core/com.h"

extern const VkGuid CLSID_VkList;
extern const VkGuid IID_IVkList;

// Returns 0 when the item matches the argument.
using VkListFindFn = int (*)(const void* item, const void* argument);
// Receives two pointers to item pointers; negative, zero or positive as for qsort.
using VkListSortFn = int (*)(const void* a, const void* b);

class IVkList : public IVkUnknown {
public:
    // Copies the bytes into a new item at the front.
    virtual VkResult Add(const void* data, uint32_t size) = 0;
    virtual void Remove(void* item) = 0;
    virtual void* First() = 0;
    virtual void* Next(void* item) = 0;
    virtual int32_t Count() = 0;
    virtual void* GetAt(int32_t index) = 0;
    virtual void* Find(VkListFindFn compare, const void* argument) = 0;
    virtual void Clear() = 0;
    // Ascending order of the compare function; equal items keep no guaranteed order.
    virtual VkResult Sort(VkListSortFn compare) = 0;

protected:
    ~IVkList() = default;
};

VkResult VkCreateList(IVkUnknown* outer, IVkUnknown** out);
