// Reads arbitrary bytes as a frame-list chunk body on an engine brought up over a device that
// accepts every request, then releases whatever was read.
#include <cstddef>
#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/stream.h"

namespace {

int32_t AcceptAll(void*, void*, int32_t) {
    return 1;
}

int32_t FuzzDevice(int32_t request, void* out, void*, int32_t number) {
    switch (request) {
    case TV_DEVICE_GET_ENGINE_DATA: {
        TvDeviceRecord record{};
        record.gamma = 1.0f;
        record.deviceControl = FuzzDevice;
        record.zFar = 0.9999f;
        *static_cast<TvDeviceRecord*>(out) = record;
        return 1;
    }
    case TV_DEVICE_GET_STANDARD_FUNCTIONS: {
        auto* table = static_cast<TvStandardFn*>(out);
        for (int32_t i = 0; i < number && i < kTvNumStandardFunctions; i++)
            table[i] = AcceptAll;
        return 1;
    }
    default: return 1;
    }
}

// A frame plug-in with stream data, so that extension chunks reach a reader.
TvStream* ReadWord(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    if (length != 4) return TvStreamSkip(stream, uint32_t(length));
    return TvStreamRead(stream, static_cast<uint8_t*>(object) + offset, 4) == 4 ? stream : nullptr;
}

bool StartEngine() {
    TvD3DGetDeviceRecord()->deviceControl = FuzzDevice;
    if (!TvEngineInit(nullptr)) return false;
    TvFrameRegisterPlugin(4, 0x7F01, nullptr, nullptr, nullptr);
    TvFrameRegisterPluginStream(0x7F01, ReadWord, nullptr, nullptr);
    return TvEngineOpen(nullptr) && TvEngineStart();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = StartEngine();
    if (!started) return 0;
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* stream = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!stream) return 0;
    TvFrameList list{};
    if (TvFrameListStreamRead(stream, &list)) {
        if (list.numFrames > 0) TvFrameGetLTM(list.frames[list.numFrames - 1]);
        // Parents come before their children, so backwards releases children first.
        for (int32_t i = list.numFrames - 1; i >= 0; --i)
            TvFrameDestroy(list.frames[i]);
        TvFrameListDeinit(&list);
    }
    TvFrameSyncDirty();
    TvStreamClose(stream, nullptr);
    return 0;
}
