// Kernel objects behind HANDLE values. Every object the layer hands out as a HANDLE derives
// from Win32Object and is registered, so CloseHandle and the typed lookups never trust a
// pointer that the layer did not issue.
#pragma once

#include "platform/win32/win32.h"

struct Win32Object {
    virtual ~Win32Object() = default;
};

// Registers a new object and returns it as a handle.
HANDLE Win32AddHandle(Win32Object* object);
// The live object behind a handle, or null for anything the layer did not issue.
Win32Object* Win32LookupHandle(HANDLE handle);

template <typename T> T* Win32HandleAs(HANDLE handle) {
    return dynamic_cast<T*>(Win32LookupHandle(handle));
}
