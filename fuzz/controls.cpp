// Controls files come from the player's folder: read any bytes as a controls file, then
// evaluate every section with every axis active, as the frames after loading would.
#include <cstddef>
#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "shell/controls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = TvEngineInit(nullptr);
    if (!started) return 0;
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* stream = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!stream) return 0;
    int32_t ok = MV2ReadControlStream(stream);
    TvStreamClose(stream, nullptr);
    if (ok) {
        for (int32_t section = 0; section < kMV2ControlSections; ++section) {
            for (int32_t axis = 0; axis < kMV2ControlAxes; ++axis) {
                gMV2Controls.axes[axis] = float(axis) - 5.5f;
                gMV2Controls.axisActive[axis] = 1;
            }
            MV2ProcessControls(section);
        }
    }
    MV2ClearBindings();
    return 0;
}
