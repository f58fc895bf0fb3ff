// Dictionaries: named values in a tree of named dictionaries under one root, kept by a single
// dictionary manager. Each dictionary but the root has a type handler that takes and drops
// references on its values, loads and saves them. Values are pointer-wide words.
#pragma once

#include "framework/core/com.h"
#include "framework/misc/archive.h"

#include <cstdint>

extern const VkGuid CLSID_VkDictionaryManager;
extern const VkGuid CLSID_VkDictionary;
extern const VkGuid IID_IVkDictionaryManager;
extern const VkGuid IID_IVkDictionary;

// Type tags of CreateObject and of archives, first character lowest.
constexpr uint32_t VK_DICT_TYPE_DICTIONARY = 'V' | 'k' << 8 | 'V' << 16 | 'k' << 24;
constexpr uint32_t VK_DICT_TYPE_MANAGER = 'V' | 'k' << 8 | 'D' << 16 | 'm' << 24;

// Search flags.
constexpr uint32_t VK_DICT_FIRST = 0x1;
constexpr uint32_t VK_DICT_NEXT = 0x2;
constexpr uint32_t VK_DICT_HIDDEN = 0x100;
constexpr uint32_t VK_DICT_TREE = 0x200;
constexpr uint32_t VK_DICT_MOVED_ON = 0x2000;

// GetLink and SetLink kinds, and GetLink hows.
constexpr uint32_t VK_DICT_LINK_PARENT = 0x8;
constexpr uint32_t VK_DICT_LINK_CHILD = 0x10;
constexpr uint32_t VK_DICT_LINK_SIBLING = 0x20;
constexpr uint32_t VK_DICT_LINK_NEXT = 0x40;
constexpr uint32_t VK_DICT_LINK_PREVIOUS = 0x80;

// Names handed to the text buffer of the names file and of references are at most this long.
constexpr uint32_t VK_DICT_NAME_SIZE = 128;

// The handler of a dictionary's values.
class IVkDictionaryType : public IVkUnknown {
public:
    virtual const char* GetTypeName() = 0;
    virtual VkResult LoadValue(const char* name, uintptr_t* value) = 0;
    virtual VkResult SaveValue(const char* name, uintptr_t value) = 0;
    virtual VkResult ApplyValue(const char* name, uintptr_t value) = 0;
    // Nonzero when that was the value's last reference.
    virtual int32_t ReleaseValue(uintptr_t value) = 0;
    virtual VkResult AddRefValue(uintptr_t value) = 0;

protected:
    ~IVkDictionaryType() = default;
};

class IVkDictionary : public IVkUnknown {
public:
    virtual VkResult Initialise(IVkDictionaryType* handler) = 0;
    virtual VkResult Add(const char* name, uintptr_t value) = 0;
    virtual VkResult RemoveByName(const char* name) = 0;
    virtual VkResult RemoveByValue(uintptr_t value) = 0;
    virtual VkResult Find(const char* name, uintptr_t* value) = 0;
    // The name is copied, cut to the buffer's size; an empty text when the value is absent.
    virtual VkResult GetNameOfValue(uintptr_t value, char* name, uint32_t size) = 0;
    virtual VkResult ReleaseByName(const char* name) = 0;
    virtual VkResult ReleaseByValue(uintptr_t value) = 0;
    virtual VkResult SaveLoadNames(const char* name, uint32_t store) = 0;
    virtual VkResult SaveLoadValues(uint32_t store) = 0;
    virtual VkResult SerialiseReference(IVkArchive* archive, uintptr_t* value) = 0;
    virtual VkResult FindFirstByName(const char* name, uint32_t flags, uintptr_t* value,
                                     IVkDictionary** found) = 0;
    virtual VkResult FindFirstByValue(uintptr_t value, uint32_t flags, char* name, uint32_t size,
                                      IVkDictionary** found) = 0;
    virtual VkResult FindNextByName(const char* name, uint32_t flags, uintptr_t* value,
                                    IVkDictionary** found) = 0;
    virtual VkResult FindNextByValue(uintptr_t value, uint32_t flags, char* name, uint32_t size,
                                     IVkDictionary** found) = 0;
    virtual uintptr_t GetValue(const char* name) = 0;
    virtual uintptr_t FindValueFirst(uintptr_t value) = 0;
    virtual uintptr_t FindValueNext(uintptr_t value) = 0;
    virtual uintptr_t FindValue(uintptr_t value, uint32_t how) = 0;
    virtual VkResult SetParent(IVkDictionary* parent) = 0;
    virtual VkResult GetLink(uint32_t kind, uint32_t how, IVkDictionary** out) = 0;
    virtual VkResult SetLink(uint32_t kind, IVkDictionary* dictionary) = 0;
    virtual VkResult SetHidden(uint32_t hidden) = 0;
    virtual uint32_t GetHidden() = 0;
    virtual IVkDictionaryType* GetTypeHandler() = 0;
    virtual VkResult ApplyAll() = 0;
    virtual VkResult SetName(const char* name) = 0;
    virtual VkResult GetName(char* buffer, uint32_t size) = 0;
    virtual IVkDictionary* FindDictionary(const char* name) = 0;
    virtual VkResult Dump() = 0;

protected:
    ~IVkDictionary() = default;
};

class IVkDictionaryManager : public IVkUnknown {
public:
    virtual VkResult CreateObject(uint32_t type, IVkUnknown** out) = 0;
    virtual VkResult CreateRoot() = 0;
    virtual VkResult CreateDictionary(IVkDictionaryType* handler, IVkDictionary** out) = 0;
    virtual VkResult DumpTree() = 0;
    virtual IVkArchive* GetArchive() = 0;
    virtual VkResult ReleaseTree(IVkDictionary* dictionary) = 0;
    virtual IVkDictionary* GetRoot() = 0;
    virtual VkResult Serialise(IVkArchive* archive) = 0;

protected:
    ~IVkDictionaryManager() = default;
};

VkResult VkCreateDictionaryManager(IVkUnknown* outer, IVkUnknown** out);
VkResult VkCreateDictionary(IVkUnknown* outer, IVkUnknown** out);
