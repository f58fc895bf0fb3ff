// The File Archive Storage component: the storage interface over one archive file that holds
// many named entries. Entries are read from the file; entries written are kept in memory and
// the archive is written out when the storage is closed.
//
// Archive file (32-bit little-endian integers), from a base offset: magic 0x73747267, entry
// count N, N directory entries of a 128-byte zero-padded name and a data size, then the
// entries' data back to back in directory order.
#pragma once

#include "framework/streams/storage.h"

extern const VkGuid CLSID_VkArchiveStorage;

constexpr uint32_t VK_ARCHIVE_MAGIC = 0x73747267;
constexpr uint32_t VK_ARCHIVE_NAME_SIZE = 128;
constexpr uint32_t VK_ARCHIVE_DIR_ENTRY_SIZE = VK_ARCHIVE_NAME_SIZE + 4;
constexpr uint32_t VK_ARCHIVE_HEADER_SIZE = 8;

// Where an archive lives: the storage that opens its file, and the file offset it starts
// at. Its address is passed as Open's location.
struct VkArchiveLocation {
    IVkStorage* storage;
    uint32_t base;
};

// The archive storage's face: the storage operations and one more that always fails.
class IVkArchiveStorage : public IVkStorage {
public:
    virtual VkResult Reserved(void* first, void* second) = 0;

protected:
    ~IVkArchiveStorage() = default;
};

VkResult VkCreateArchiveStorage(IVkUnknown* outer, IVkUnknown** out);
