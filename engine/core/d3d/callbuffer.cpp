#include "engine/core/d3d/callbuffer.h"

#include <cstring>

#include "engine/core/error.h"
#include "engine/core/memory.h"

namespace {
constexpr int32_t kOffsetGrowth = 5;
constexpr int32_t kTrimPeriod = 64;
} // namespace

TvD3DCallBuffer* TvD3DCallBufferCreate() {
    auto* buffer = static_cast<TvD3DCallBuffer*>(TvCalloc(1, sizeof(TvD3DCallBuffer)));
    if (!buffer) TvErrorReport(0, E_TV_NOMEM);
    return buffer;
}

int32_t TvD3DCallBufferDestroy(TvD3DCallBuffer* buffer) {
    if (!buffer) return 1;
    TvFree(buffer->data);
    TvFree(buffer->offsets);
    TvFree(buffer);
    return 1;
}

void* TvD3DCallBufferAdd(TvD3DCallBuffer* buffer, size_t argumentBytes, TvD3DCallFn function) {
    const size_t entry = TvD3DCallBufferEntrySize(argumentBytes);
    if (entry < argumentBytes) { // the size wrapped round
        TvErrorReport(0, E_TV_NOMEM);
        return nullptr;
    }
    if (buffer->used + entry > buffer->capacity) {
        auto* data = static_cast<uint8_t*>(TvRealloc(buffer->data, buffer->used + entry));
        if (!data) {
            TvErrorReport(0, E_TV_NOMEM);
            return nullptr;
        }
        buffer->data = data;
        buffer->capacity = buffer->used + entry;
    }
    if (buffer->count >= buffer->offsetCapacity) {
        const int32_t capacity = buffer->offsetCapacity + kOffsetGrowth;
        auto* offsets =
            static_cast<size_t*>(TvRealloc(buffer->offsets, size_t(capacity) * sizeof(size_t)));
        if (!offsets) {
            TvErrorReport(0, E_TV_NOMEM);
            return nullptr;
        }
        buffer->offsets = offsets;
        buffer->offsetCapacity = capacity;
    }
    const size_t at = buffer->used;
    buffer->offsets[buffer->count++] = at;
    std::memcpy(buffer->data + at, &function, sizeof function);
    buffer->used += entry;
    return buffer->data + at + sizeof function;
}

void TvD3DCallBufferRun(TvD3DCallBuffer* buffer, int32_t order) {
    const int32_t count = buffer->count;
    for (int32_t k = 0; k < count; ++k) {
        const size_t at = buffer->offsets[order == 1 ? k : count - 1 - k];
        TvD3DCallFn function;
        std::memcpy(&function, buffer->data + at, sizeof function);
        function(buffer->data + at + sizeof function);
    }
}

void TvD3DCallBufferEndFrame(TvD3DCallBuffer* buffer) {
    if (buffer->used > buffer->peak) buffer->peak = buffer->used;
    buffer->frame = (buffer->frame + 1) & (kTrimPeriod - 1);
    if (buffer->frame == 0) {
        const size_t peak = buffer->peak;
        if (buffer->capacity > peak + peak / 2) {
            if (peak == 0) {
                TvFree(buffer->data);
                buffer->data = nullptr;
                buffer->capacity = 0;
            } else if (auto* data = static_cast<uint8_t*>(TvRealloc(buffer->data, peak))) {
                buffer->data = data;
                buffer->capacity = peak;
            }
        }
        buffer->peak = 0;
    }
    buffer->used = 0;
    buffer->count = 0;
}
