// The byte-stream interface of every component that moves bytes, and the two streams that
// live in memory: the FIFO stream (a growable ring) and the memory stream (a seekable block).
#pragma once

#include "framework/core/com.h"

#include <cstdint>

// A read that delivered fewer bytes than asked (end of data).
constexpr VkResult VK_E_ENDOFSTREAM = static_cast<VkResult>(0x80010000u);

// Seek origins.
constexpr uint32_t VK_SEEK_SET = 1;
constexpr uint32_t VK_SEEK_CUR = 2;
constexpr uint32_t VK_SEEK_END = 3;

extern const VkGuid IID_IVkStream;
extern const VkGuid IID_IVkFifoStream;
extern const VkGuid CLSID_VkFifoStream;
extern const VkGuid CLSID_VkMemoryStream;

class IVkStream : public IVkUnknown {
public:
    // The out counts may be null.
    virtual VkResult Read(void* buffer, uint32_t bytes, uint32_t* read) = 0;
    virtual VkResult Write(const void* buffer, uint32_t bytes, uint32_t* written) = 0;
    // The offset is added with 32-bit wrap-around, so a negative one moves backwards.
    virtual VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) = 0;

protected:
    ~IVkStream() = default;
};

class IVkFifoStream : public IVkUnknown {
public:
    virtual uint32_t GetCount() = 0;
    virtual VkResult Clear() = 0;
    // 0 for no limit; the limit is checked only when the buffer has to grow.
    virtual VkResult SetLimit(uint32_t limit) = 0;
    virtual uint32_t GetLimit() = 0;

protected:
    ~IVkFifoStream() = default;
};

// Offered beside IVkStream by streams that never wait (a TCP connection), so that a reader
// that must wait (the SyncStream) sleeps until bytes come instead of polling.
extern const VkGuid IID_IVkStreamWait;
class IVkStreamWait : public IVkUnknown {
public:
    // Returns when a Read would find bytes, the end or a failure, or after `ms` milliseconds
    // (VK_OK either way); a failure when the stream cannot wait.
    virtual VkResult WaitReadable(uint32_t ms) = 0;

protected:
    ~IVkStreamWait() = default;
};

VkResult VkCreateFifoStream(IVkUnknown* outer, IVkUnknown** out);
VkResult VkCreateMemoryStream(IVkUnknown* outer, IVkUnknown** out);
