// Drives a FIFO stream and a memory stream with a script of operations read from the input
// and checks every result against a plain model of their contents.
#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/streams/stream.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

namespace {

struct Script {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint32_t Count() { return static_cast<uint32_t>(Byte()) * 4 + Byte() % 4; }
};

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void Start() {
    static bool started = false;
    if (started) return;
    started = true;
    VkInitialise(nullptr);
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
}

void Fifo(Script& s, IVkFifoStream* fifo, IVkStream* stream, std::deque<uint8_t>& model,
          uint32_t& seek, uint8_t op) {
    std::vector<uint8_t> buffer(1024);
    uint32_t n = s.Count(), done = 0;
    switch (op % 6) {
    case 0: {
        for (uint32_t i = 0; i < n; ++i)
            buffer[i] = s.Byte();
        VkResult r = stream->Write(buffer.data(), n, &done);
        if (n == 0) {
            Check(r == VK_OK);
        } else if (seek != 0) {
            Check(r == VK_E_FAIL);
        } else if (r == VK_OK) {
            Check(done == n);
            model.insert(model.end(), buffer.begin(), buffer.begin() + n);
        }
        break;
    }
    case 1: {
        VkResult r = stream->Read(buffer.data(), n, &done);
        if (n == 0 || seek != 0) {
            Check(n == 0 ? r == VK_OK : r == VK_E_FAIL);
            break;
        }
        Check(r == VK_OK && done == (n < model.size() ? n : model.size()));
        for (uint32_t i = 0; i < done; ++i) {
            Check(buffer[i] == model.front());
            model.pop_front();
        }
        break;
    }
    case 2: {
        int32_t offset = static_cast<int16_t>(s.Byte() | s.Byte() << 8);
        uint32_t origin = s.Byte() % 5, pos = 0;
        VkResult r = stream->Seek(offset, origin, &pos);
        Check((r == VK_OK) == (origin >= 1 && origin <= 3));
        if (r == VK_OK) {
            Check(pos <= model.size());
            seek = pos;
        }
        break;
    }
    case 3: fifo->SetLimit(n); break;
    case 4:
        fifo->Clear();
        model.clear();
        break;
    default:
        stream->Seek(0, VK_SEEK_SET, nullptr);
        seek = 0;
        break;
    }
    Check(fifo->GetCount() == model.size());
}

void Memory(Script& s, IVkStream* stream, std::vector<uint8_t>& model, uint32_t& pos, uint8_t op) {
    std::vector<uint8_t> buffer(1024);
    uint32_t n = s.Count(), done = 0;
    switch (op % 3) {
    case 0: {
        for (uint32_t i = 0; i < n; ++i)
            buffer[i] = s.Byte();
        Check(stream->Write(buffer.data(), n, &done) == VK_OK && done == n);
        if (model.size() < pos + n) model.resize(pos + n);
        if (n) std::memcpy(model.data() + pos, buffer.data(), n);
        pos += n;
        break;
    }
    case 1: {
        VkResult r = stream->Read(buffer.data(), n, &done);
        uint32_t left = static_cast<uint32_t>(model.size()) - pos;
        Check(done == (n < left ? n : left));
        Check(r == (n <= left ? VK_OK : VK_E_ENDOFSTREAM));
        Check(done == 0 || std::memcmp(buffer.data(), model.data() + pos, done) == 0);
        pos += done;
        break;
    }
    default: {
        int32_t offset = static_cast<int16_t>(s.Byte() | s.Byte() << 8);
        uint32_t origin = s.Byte() % 5, got = 0;
        VkResult r = stream->Seek(offset, origin, &got);
        Check((r == VK_OK) == (origin >= 1 && origin <= 3));
        if (r == VK_OK) pos = got;
        Check(pos <= model.size());
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Start();
    void* f = nullptr;
    void* m = nullptr;
    if (VkCreateInstance(CLSID_VkFifoStream, nullptr, 0, IID_IVkFifoStream, &f) != VK_OK ||
        VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &m) != VK_OK)
        __builtin_trap();
    IVkFifoStream* fifo = static_cast<IVkFifoStream*>(f);
    void* st = nullptr;
    fifo->QueryInterface(IID_IVkStream, &st);
    IVkStream* fifoStream = static_cast<IVkStream*>(st);
    IVkStream* memory = static_cast<IVkStream*>(m);

    Script s{data, size};
    std::deque<uint8_t> fifoModel;
    std::vector<uint8_t> memoryModel;
    uint32_t seek = 0, pos = 0;
    while (s.More()) {
        uint8_t op = s.Byte();
        if (op & 0x80)
            Memory(s, memory, memoryModel, pos, op);
        else
            Fifo(s, fifo, fifoStream, fifoModel, seek, op);
    }
    fifoStream->Release();
    fifo->Release();
    memory->Release();
    return 0;
}
