// Property sets: named sections of named string values, read from and written to a stream as
// text ("[section]" headers and "key = value" lines), walked with a current section and key.
#pragma once

#include "framework/core/com.h"
#include "framework/streams/stream.h"

#include <cstdint>

extern const VkGuid CLSID_VkPropertySet;
extern const VkGuid IID_IVkPropertySet;

// Section and key names keep at most this many characters (a 40-byte field with its zero).
constexpr uint32_t VK_PROP_NAME_SIZE = 40;

// Cursor moves.
constexpr uint32_t VK_PROP_NEXT = 0;
constexpr uint32_t VK_PROP_PREVIOUS = 1;
constexpr uint32_t VK_PROP_FIRST = 2;
constexpr uint32_t VK_PROP_LAST = 3;

// Every set has a root section with the empty name, and every section a hidden key with the
// empty name; neither can be deleted nor is the hidden key saved.
class IVkPropertySet : public IVkUnknown {
public:
    virtual VkResult Reset() = 0;
    // Merges the text into the set: existing sections and keys stay, repeated keys take the
    // later value. Keys before any header go to the current section.
    virtual VkResult Load(IVkStream* stream) = 0;
    virtual VkResult Save(IVkStream* stream) = 0;
    virtual VkResult AddSection(const char* name) = 0;
    virtual VkResult DeleteSection() = 0;
    virtual VkResult SelectSection(const char* name) = 0;
    virtual VkResult MoveSection(uint32_t how) = 0;
    // The buffer holds VK_PROP_NAME_SIZE bytes.
    virtual VkResult GetSectionName(char* buffer) = 0;
    virtual VkResult RenameSection(const char* name) = 0;
    virtual VkResult SetValue(const char* key, const char* value) = 0;
    // A null key means the current key, else the key becomes current. A value that does not
    // fit is cut and fails; a null buffer only selects the key.
    virtual VkResult GetValue(const char* key, char* buffer, uint32_t size) = 0;
    // The buffer size the value needs (its length plus one), or 0 when the key is absent.
    virtual uint32_t GetValueLength(const char* key) = 0;
    virtual VkResult DeleteKey(const char* key) = 0;
    // nameOut holds VK_PROP_NAME_SIZE bytes; either out may be null.
    virtual VkResult MoveKey(char* nameOut, uint32_t* lengthOut, uint32_t how) = 0;

protected:
    ~IVkPropertySet() = default;
};

VkResult VkCreatePropertySet(IVkUnknown* outer, IVkUnknown** out);
