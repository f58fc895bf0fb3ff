// The driver's deferred call buffer: work recorded as entries of {function, argument bytes} in
// one growing block, run later in recording order or in reverse, then emptied; memory the buffer
// has not needed for 64 emptyings is given back.
#pragma once

#include <cstddef>
#include <cstdint>

using TvD3DCallFn = void (*)(void* arguments);

struct TvD3DCallBuffer {
    uint8_t* data;
    size_t capacity; // bytes
    size_t used;     // bytes
    size_t* offsets; // entry offsets in recording order
    int32_t offsetCapacity;
    int32_t count;
    int32_t frame; // 0-63
    size_t peak;   // bytes used at most since the last trim
};

// Bytes an entry with `argumentBytes` of arguments takes: the function word, then the arguments
// rounded up to a whole pointer word so that every entry stays pointer-aligned.
constexpr size_t TvD3DCallBufferEntrySize(size_t argumentBytes) {
    return sizeof(TvD3DCallFn) +
           (argumentBytes + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
}

// Null with error E_TV_NOMEM when it cannot be allocated.
TvD3DCallBuffer* TvD3DCallBufferCreate();
int32_t TvD3DCallBufferDestroy(TvD3DCallBuffer* buffer);
// The entry's argument bytes for the caller to fill, or null (E_TV_NOMEM; buffer unchanged).
void* TvD3DCallBufferAdd(TvD3DCallBuffer* buffer, size_t argumentBytes, TvD3DCallFn function);
// Order 1 runs the first recorded entry first; any other order the last first.
void TvD3DCallBufferRun(TvD3DCallBuffer* buffer, int32_t order);
// Empties the buffer; every 64th call trims the block to its peak use when it is more than half
// as large again as that peak.
void TvD3DCallBufferEndFrame(TvD3DCallBuffer* buffer);
