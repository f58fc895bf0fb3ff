// The SyncStream component: wraps a stream that never waits so that Read waits for the
// bytes wanted, up to a time-out that restarts whenever data arrives. It counts the bytes
// that pass and keeps an expected length for its user.
#pragma once

#include "framework/streams/stream.h"

// A waiting read that saw no data for the time-out.
constexpr VkResult VK_E_TIMEOUT = static_cast<VkResult>(0x80040327u);

// Options. Values are pointer-wide because option 4 carries the wrapped stream.
constexpr uint32_t VK_SYNC_EXPECTED_LENGTH = 1; // -1 while none is set
constexpr uint32_t VK_SYNC_SINGLE_READ = 2;
constexpr uint32_t VK_SYNC_TIMEOUT = 3; // milliseconds, 20000 by default
constexpr uint32_t VK_SYNC_STREAM = 4;  // resets the byte counts and the expected length
constexpr uint32_t VK_SYNC_BYTES_READ = 5;
constexpr uint32_t VK_SYNC_BYTES_WRITTEN = 6;

extern const VkGuid IID_IVkSyncStream;
extern const VkGuid CLSID_VkSyncStream;

class IVkSyncStream : public IVkUnknown {
public:
    virtual VkResult SetOption(uint32_t option, uintptr_t value) = 0;
    // The wrapped stream comes back without an added reference.
    virtual VkResult GetOption(uint32_t option, uintptr_t* value) = 0;

protected:
    ~IVkSyncStream() = default;
};

VkResult VkCreateSyncStream(IVkUnknown* outer, IVkUnknown** out);
