// Text archives: values and object graphs written to a stream as text and read back. Objects
// are written once and named by number afterwards, so shared and cyclic references survive.
#pragma once

#include "framework/core/com.h"
#include "framework/streams/stream.h"

#include <cstdint>

extern const VkGuid CLSID_VkArchiver;
extern const VkGuid IID_IVkArchiver;
extern const VkGuid IID_IVkArchive;
extern const VkGuid IID_IVkArchivable;
extern const VkGuid IID_IVkObjectCreate;

// Value types of an archive call, and the element size that divides its byte count.
constexpr uint32_t VK_ARCHIVE_FLOAT = 0;  // one float
constexpr uint32_t VK_ARCHIVE_INT = 1;    // int32_t elements
constexpr uint32_t VK_ARCHIVE_CHUNK = 2;  // four-character codes, first character lowest
constexpr uint32_t VK_ARCHIVE_STRING = 3; // one string; when loading, bytes is the buffer size
constexpr uint32_t VK_ARCHIVE_BYTE = 4;   // uint8_t elements
constexpr uint32_t VK_ARCHIVE_OBJECT = 5; // IVkArchivable* elements (sizeof a pointer)
constexpr uint32_t VK_ARCHIVE_GUID = 6;   // VkGuid elements

class IVkArchive;

// An object an archive holds: Serialise passes its CLSID (GUID), its type (chunk id) and then
// its own values through the archive's Serialise.
class IVkArchivable : public IVkUnknown {
public:
    virtual VkResult Serialise(IVkArchive* archive) = 0;

protected:
    ~IVkArchivable() = default;
};

// Asked of the component named by a loaded CLSID: a new object of the loaded type.
class IVkObjectCreate : public IVkUnknown {
public:
    virtual VkResult CreateObject(uint32_t type, IVkArchivable** out) = 0;

protected:
    ~IVkObjectCreate() = default;
};

class IVkArchive : public IVkUnknown {
public:
    virtual int32_t IsLoading() = 0;
    // Nonzero when storing.
    virtual uint32_t IsStoring() = 0;
    virtual VkResult Read(uint32_t type, void* data, uint32_t bytes) = 0;
    virtual VkResult Write(uint32_t type, const void* data, uint32_t bytes) = 0;
    // Either direction; when loading, a GUID or a chunk id is skipped (already read to create
    // the object).
    virtual VkResult Serialise(uint32_t type, void* data, uint32_t bytes) = 0;

protected:
    ~IVkArchive() = default;
};

class IVkArchiver : public IVkUnknown {
public:
    // mode 0 loads, any other value stores. The archive does not hold the stream.
    virtual VkResult CreateArchive(uint32_t mode, IVkStream* stream, IVkArchive** out) = 0;
    // Adds (id -> value) under the key word; an id already present keeps its value.
    virtual VkResult Register(const uint32_t* key, uint32_t id, uint32_t value) = 0;
    virtual VkResult Unregister(const uint32_t* key, uint32_t id) = 0;

protected:
    ~IVkArchiver() = default;
};

VkResult VkCreateArchiver(IVkUnknown* outer, IVkUnknown** out);
