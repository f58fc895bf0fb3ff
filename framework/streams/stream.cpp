#include "framework/streams/stream.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"

#include <cstring>

const VkGuid IID_IVkStream = {
    0x37BB45B4, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkStreamWait = {
    0x5E1A7C21, 0x0B3D, 0x4F52, {0x9A, 0x61, 0x2C, 0x84, 0xD0, 0x17, 0x6B, 0x3E}};
const VkGuid IID_IVkFifoStream = {
    0xE2E0EEB9, 0xC446, 0x11D2, {0x86, 0x99, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkFifoStream = {
    0xE2E0EEBB, 0xC446, 0x11D2, {0x86, 0x99, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkMemoryStream = {
    0xE2E0EEBA, 0xC446, 0x11D2, {0x86, 0x99, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

void CopyBytes(void* to, const void* from, uint32_t n) {
    if (n) std::memcpy(to, from, n);
}

// A position moved by a seek: the offset wraps at 32 bits and a result past the end
// (which includes one before the start) is held at the end.
VkResult SeekWithin(uint32_t* pos, uint32_t end, int32_t offset, uint32_t origin) {
    uint32_t p;
    switch (origin) {
    case VK_SEEK_SET: p = static_cast<uint32_t>(offset); break;
    case VK_SEEK_CUR: p = *pos + static_cast<uint32_t>(offset); break;
    case VK_SEEK_END: p = end + static_cast<uint32_t>(offset); break;
    default: return VK_E_FAIL;
    }
    *pos = p > end ? end : p;
    return VK_OK;
}

// A ring of bytes that grows on demand and always keeps one byte free, so equal read and
// write indices mean empty. Reading and writing work only at seek position 0.
class FifoStream final : public VkObjectOf<VkFace<IVkFifoStream, IID_IVkFifoStream>,
                                           VkFace<IVkStream, IID_IVkStream>> {
public:
    uint32_t GetCount() override {
        if (read_ < write_) return write_ - read_;
        if (read_ == write_) return 0;
        return buffer_.size - read_ + write_;
    }
    VkResult Clear() override {
        write_ = read_;
        return VK_OK;
    }
    VkResult SetLimit(uint32_t limit) override {
        limit_ = limit;
        return VK_OK;
    }
    uint32_t GetLimit() override { return limit_; }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        if (n == 0) return VK_OK;
        if (seek_ != 0) return VK_E_FAIL;
        uint32_t count = GetCount();
        if (n > count) n = count;
        if (got) *got = n;
        uint8_t* to = static_cast<uint8_t*>(buffer);
        if (n && read_ + n >= buffer_.size) {
            uint32_t first = buffer_.size - read_;
            CopyBytes(to, buffer_.data + read_, first);
            to += first;
            n -= first;
            read_ = 0;
        }
        CopyBytes(to, buffer_.data + read_, n);
        read_ += n;
        return VK_OK;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        if (n == 0) return VK_OK;
        if (seek_ != 0) return VK_E_FAIL;
        uint64_t count = GetCount();
        int64_t space = static_cast<int64_t>(buffer_.size) - static_cast<int64_t>(count) - 1;
        if (static_cast<int64_t>(n) > space) {
            VkResult res = Grow(count, n);
            if (res < 0) return res;
        }
        if (written) *written = n;
        const uint8_t* from = static_cast<const uint8_t*>(buffer);
        if (write_ + static_cast<uint64_t>(n) >= buffer_.size) {
            uint32_t first = buffer_.size - write_;
            CopyBytes(buffer_.data + write_, from, first);
            from += first;
            n -= first;
            write_ = 0;
        }
        CopyBytes(buffer_.data + write_, from, n);
        write_ += n;
        return VK_OK;
    }

    VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        VkResult res = SeekWithin(&seek_, GetCount(), offset, origin);
        if (res >= 0 && position) *position = seek_;
        return res;
    }

private:
    void Destroy() override {
        VkByteBufferFree(&buffer_);
        VkMemDestroyObject(this);
    }

    // Room for the unread bytes, the new ones, the free byte and 100 more. Unread bytes keep
    // their indices; a wrapped tail moves to the end of the new buffer.
    VkResult Grow(uint64_t count, uint32_t n) {
        uint64_t needed = count + 1 + n;
        if (limit_ != 0 && needed > limit_) return VK_E_FAIL;
        if (needed + 100 > UINT32_MAX) return VK_E_OUTOFMEMORY;
        uint32_t capacity = static_cast<uint32_t>(needed + 100);
        uint8_t* data = static_cast<uint8_t*>(VkMemAlloc(capacity));
        if (!data) return VK_E_OUTOFMEMORY;
        if (read_ <= write_) {
            CopyBytes(data + read_, buffer_.data + read_, write_ - read_);
        } else {
            uint32_t tail = buffer_.size - read_;
            CopyBytes(data + capacity - tail, buffer_.data + read_, tail);
            CopyBytes(data, buffer_.data, write_);
            read_ = capacity - tail;
        }
        VkByteBufferFree(&buffer_);
        buffer_.data = data;
        buffer_.size = capacity;
        return VK_OK;
    }

    VkByteBuffer buffer_ = {};
    uint32_t read_ = 0;
    uint32_t write_ = 0;
    uint32_t limit_ = 0;
    uint32_t seek_ = 0;
};

// A growable, seekable block; writing in the middle overwrites.
class MemoryStream final : public VkObject<IVkStream, IID_IVkStream> {
public:
    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        VkResult res = VK_OK;
        if (static_cast<uint64_t>(pos_) + n > length_) {
            n = length_ - pos_;
            res = VK_E_ENDOFSTREAM;
        }
        CopyBytes(buffer, buffer_.data + pos_, n);
        pos_ += n;
        if (got) *got = n;
        return res;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        uint64_t end = static_cast<uint64_t>(pos_) + n;
        if (end > buffer_.size) {
            uint64_t capacity = buffer_.size / 2 + end;
            if (capacity > UINT32_MAX) return VK_E_OUTOFMEMORY;
            VkResult res = VkByteBufferResize(&buffer_, static_cast<uint32_t>(capacity));
            if (res < 0) return res;
        }
        CopyBytes(buffer_.data + pos_, buffer, n);
        pos_ += n;
        if (pos_ > length_) length_ = pos_;
        if (written) *written = n;
        return VK_OK;
    }

    VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        VkResult res = SeekWithin(&pos_, length_, offset, origin);
        if (res >= 0 && position) *position = pos_;
        return res;
    }

private:
    void Destroy() override {
        VkByteBufferFree(&buffer_);
        VkMemDestroyObject(this);
    }

    VkByteBuffer buffer_ = {};
    uint32_t pos_ = 0;
    uint32_t length_ = 0;
};

template <class T, class Face> VkResult CreateStream(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    T* object = nullptr;
    VkResult res = VkMemCreateObject(&object);
    if (res >= 0) *out = static_cast<Face*>(object);
    return res;
}

const VkComponentRecord kStreamRecords[] = {
    {&CLSID_VkFifoStream, 0, nullptr, 0, nullptr, VkCreateFifoStream, "FifoStream - Vesk",
     "Vesk.FifoStream.5.1", "Vesk.FifoStream", nullptr},
    {&CLSID_VkMemoryStream, 0, nullptr, 0, nullptr, VkCreateMemoryStream, "MemoryStream - Vesk",
     "Vesk.MemoryStream.5.1", "Vesk.MemoryStream", nullptr},
};

} // namespace

VkResult VkCreateFifoStream(IVkUnknown* outer, IVkUnknown** out) {
    return CreateStream<FifoStream, IVkFifoStream>(outer, out);
}

VkResult VkCreateMemoryStream(IVkUnknown* outer, IVkUnknown** out) {
    return CreateStream<MemoryStream, IVkStream>(outer, out);
}

VkResult VkStreamsModuleRegister(IVkRegistry* registry) {
    return VkModule<kStreamRecords>::Register(registry);
}
