// Frame lists come from model files: whatever the bytes, reading must end in a list of frames
// or in null with nothing left behind.
#include <cstddef>
#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/stream.h"
#include "tests/support/accepting_device.h"

namespace {

// A frame plug-in with stream data, so that extension chunks reach a reader.
TvStream* ReadWord(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    if (length != 4) return TvStreamSkip(stream, uint32_t(length));
    return TvStreamRead(stream, static_cast<uint8_t*>(object) + offset, 4) == 4 ? stream : nullptr;
}

bool Attach() {
    return TvFrameRegisterPlugin(4, 0x7F01, nullptr, nullptr, nullptr) >= 0 &&
           TvFrameRegisterPluginStream(0x7F01, ReadWord, nullptr, nullptr) >= 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = AcceptingEngineStart(Attach);
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
