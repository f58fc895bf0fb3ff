// Controls files come from the player's folder: read any bytes as a controls file, then
// evaluate every section with every axis active, as the frames after loading would.
#include <cstddef>
#include <cstdint>

#include "fuzz/world_input.h"
#include "shell/controls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Streams and the binding lists need an opened engine.
    if (!WorldFuzzStart(nullptr)) return 0;
    TvStream* stream = WorldFuzzOpen(data, size);
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
