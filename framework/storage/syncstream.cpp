#include "framework/storage/syncstream.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/core/winos.h"

#include <chrono>
#include <thread>

const VkGuid IID_IVkSyncStream = {
    0xC61196BB, 0x317B, 0x11D3, {0x86, 0xB3, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkSyncStream = {
    0xC61196BC, 0x317B, 0x11D3, {0x86, 0xB3, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

constexpr uint32_t kDefaultTimeout = 20000;

class SyncStream final : public VkObjectOf<VkFace<IVkSyncStream, IID_IVkSyncStream>,
                                           VkFace<IVkStream, IID_IVkStream>> {
public:
    VkResult Init() {
        void* object = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkWinOS, nullptr, 0, IID_IVkWinOS, &object);
        winOS_ = static_cast<IVkWinOS*>(object);
        return res;
    }

    VkResult SetOption(uint32_t option, uintptr_t value) override {
        uint32_t word = static_cast<uint32_t>(value);
        switch (option) {
        case VK_SYNC_EXPECTED_LENGTH: expected_ = static_cast<int32_t>(word); return VK_OK;
        case VK_SYNC_SINGLE_READ: singleRead_ = word; return VK_OK;
        case VK_SYNC_TIMEOUT: timeout_ = word; return VK_OK;
        case VK_SYNC_STREAM: {
            IVkStream* stream = reinterpret_cast<IVkStream*>(value);
            if (stream) stream->AddRef();
            ReleaseWrapped();
            wrapped_ = stream;
            void* wait = nullptr;
            if (stream && stream->QueryInterface(IID_IVkStreamWait, &wait) >= 0)
                wait_ = static_cast<IVkStreamWait*>(wait);
            bytesRead_ = bytesWritten_ = 0;
            expected_ = -1;
            return VK_OK;
        }
        case VK_SYNC_BYTES_READ: bytesRead_ = word; return VK_OK;
        case VK_SYNC_BYTES_WRITTEN: bytesWritten_ = word; return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    VkResult GetOption(uint32_t option, uintptr_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (option) {
        case VK_SYNC_EXPECTED_LENGTH:
            if (expected_ < 0) return VK_E_FAIL;
            *value = static_cast<uint32_t>(expected_);
            return VK_OK;
        case VK_SYNC_SINGLE_READ: *value = singleRead_; return VK_OK;
        case VK_SYNC_TIMEOUT: *value = timeout_; return VK_OK;
        case VK_SYNC_STREAM: *value = reinterpret_cast<uintptr_t>(wrapped_); return VK_OK;
        case VK_SYNC_BYTES_READ: *value = bytesRead_; return VK_OK;
        case VK_SYNC_BYTES_WRITTEN: *value = bytesWritten_; return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    // Reads the wrapped stream until n bytes have come, a read fails, or no byte has come
    // for the time-out. Between reads that found nothing it sleeps: on the wrapped stream
    // until bytes come when that stream can wait, else for a moment, never past the time-out.
    // Elapsed time is compared unsigned, so time-outs of 2^31 ms and more (0xFFFFFFFF, the old
    // platform's "forever") last as long as they say.
    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        if (!wrapped_) return VK_E_FAIL;
        if (singleRead_) {
            uint32_t count = 0;
            VkResult res = wrapped_->Read(buffer, n, &count);
            bytesRead_ += count;
            if (got) *got = count;
            return res;
        }
        uint8_t* at = static_cast<uint8_t*>(buffer);
        uint32_t last = winOS_->GetTime();
        uint32_t remaining = n;
        uint32_t total = 0;
        VkResult res = VK_OK;
        while (remaining > 0) {
            uint32_t count = 0;
            res = wrapped_->Read(at, remaining, &count);
            if (count > remaining) count = remaining;
            bytesRead_ += count;
            total += count;
            if (res < 0) break;
            uint32_t now = winOS_->GetTime();
            if (count > 0) {
                remaining -= count;
                at += count;
                last = now;
            }
            uint32_t elapsed = now - last;
            if (elapsed > timeout_) {
                res = VK_E_TIMEOUT;
                break;
            }
            // The time-out ends once more than its length has passed: up to one more ms.
            if (count == 0)
                Wait(timeout_ - elapsed < kWaitSliceMs ? timeout_ - elapsed + 1 : kWaitSliceMs);
        }
        if (got) *got = total;
        return res;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        if (!wrapped_) return VK_E_FAIL;
        uint32_t count = 0;
        VkResult res = wrapped_->Write(buffer, n, &count);
        bytesWritten_ += count;
        if (written) *written = count;
        return res;
    }

    VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        if (!wrapped_) return VK_E_FAIL;
        return wrapped_->Seek(offset, origin, position);
    }

private:
    // Longest single sleep: the clock is read again after it.
    static constexpr uint32_t kWaitSliceMs = 1000;
    // A stream that cannot wait is read again after this pause.
    static constexpr uint32_t kPollPauseMs = 1;

    void Wait(uint32_t ms) {
        if (wait_ && wait_->WaitReadable(ms) >= 0) return;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(ms < kPollPauseMs ? ms : kPollPauseMs));
    }
    void ReleaseWrapped() {
        if (wait_) wait_->Release();
        if (wrapped_) wrapped_->Release();
        wait_ = nullptr;
        wrapped_ = nullptr;
    }
    void Destroy() override {
        ReleaseWrapped();
        if (winOS_) winOS_->Release();
        VkMemDestroyObject(this);
    }

    IVkWinOS* winOS_ = nullptr;
    int32_t expected_ = -1;
    uint32_t bytesRead_ = 0;
    uint32_t bytesWritten_ = 0;
    IVkStream* wrapped_ = nullptr;
    IVkStreamWait* wait_ = nullptr; // the wrapped stream's waiting face, when it has one
    uint32_t singleRead_ = 0;
    uint32_t timeout_ = kDefaultTimeout;
};

const VkComponentRecord kSyncStreamRecords[] = {
    {&CLSID_VkSyncStream, 0, nullptr, 0, nullptr, VkCreateSyncStream, "Vesk - SyncStream",
     "Vesk.SyncStream.5.1", "Vesk.SyncStream", nullptr},
};

} // namespace

VkResult VkCreateSyncStream(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    SyncStream* stream = nullptr;
    VkResult res = VkMemCreateObject(&stream);
    if (res < 0) return res;
    res = stream->Init();
    if (res < 0) {
        stream->Release();
        return res;
    }
    *out = static_cast<IVkSyncStream*>(stream);
    return VK_OK;
}

VkResult VkSyncStreamModuleRegister(IVkRegistry* registry) {
    return VkModule<kSyncStreamRecords>::Register(registry);
}
