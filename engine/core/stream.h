// Engine streams over files (through the file interface) and memory, and the chunk format of
// the engine's binary files: a 12-byte little-endian header {type, length, version} per chunk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/memory.h"

enum TvStreamType : int32_t {
    TV_STREAM_NA = 0,
    TV_STREAM_FILE = 1,     // an open file handle given by the caller
    TV_STREAM_FILENAME = 2, // a file opened by name
    TV_STREAM_MEMORY = 3,
};

enum TvStreamAccessType : int32_t {
    TV_STREAM_READ = 1,
    TV_STREAM_WRITE = 2,
    TV_STREAM_APPEND = 3,
};

// Memory descriptor: the buffer of a memory stream and its size.
struct TvMemory {
    uint8_t* start;
    size_t length;
};

struct TvStream {
    int32_t type;
    int32_t accessType;
    intptr_t spare;  // left alone by the stream operations
    void* file;      // file types
    size_t position; // bytes from the start (memory; files: bytes moved through this stream)
    size_t size;     // memory: valid bytes (read) or capacity (write); file read by name: length
    uint8_t* buffer; // memory
    // Memory append: the caller's buffer, which stays the caller's unless a write moved it.
    uint8_t* callerBuffer;
};

inline constexpr uint32_t kTvChunkVersion = 0x301;
inline constexpr uint32_t kTvChunkVersionMin = 0x300;
inline constexpr uint32_t kTvChunkHeaderSize = 12;

enum TvChunkType : uint32_t {
    TV_ID_STRUCT = 1,
    TV_ID_STRING = 2,
    TV_ID_EXTENSION = 3,
    TV_ID_TEXTURE = 6,
    TV_ID_MATERIAL = 7,
    TV_ID_MATLIST = 8,
    TV_ID_ATOMICSECT = 9,
    TV_ID_PLANESECT = 10,
    TV_ID_WORLD = 11,
    TV_ID_FRAMELIST = 14,
    TV_ID_GEOMETRY = 15,
    TV_ID_CLUMP = 16,
    TV_ID_UNICODESTRING = 19,
    TV_ID_ATOMIC = 20,
};

// Stream module data (module 0x404).
struct TvStreamModule {
    TvFreeList* streamFreeList;
};

TvStream* TvStreamOpen(int32_t type, int32_t accessType, const void* data);
// Memory write and append streams hand their buffer and length to the descriptor `data`; with
// no descriptor the close fails and frees only a buffer the stream allocated or moved.
bool TvStreamClose(TvStream* stream, void* data);
uint32_t TvStreamRead(TvStream* stream, void* buffer, uint32_t length);
TvStream* TvStreamWrite(TvStream* stream, const void* data, uint32_t length);
TvStream* TvStreamSkip(TvStream* stream, uint32_t length);

// A header whose length runs past the end of a memory stream or of a file read by name is
// refused (end of stream).
bool TvStreamReadChunkHeader(TvStream* stream, uint32_t* type, uint32_t* length, uint32_t* version);
bool TvStreamFindChunk(TvStream* stream, uint32_t type, uint32_t* length, uint32_t* version);
TvStream* TvStreamWriteChunkHeader(TvStream* stream, uint32_t type, uint32_t length,
                                   uint32_t version);

TvStream* TvStreamReadReal(TvStream* stream, float* buffer, uint32_t bytes);
TvStream* TvStreamReadInt(TvStream* stream, int32_t* buffer, uint32_t bytes);
TvStream* TvStreamWriteReal(TvStream* stream, const float* data, uint32_t bytes);
TvStream* TvStreamWriteInt(TvStream* stream, const int32_t* data, uint32_t bytes);

// In-place conversions between stored little-endian words and host words.
void* TvMemNative32(void* buffer, uint32_t bytes);
void* TvMemFloat32ToReal(void* buffer, uint32_t bytes);

// Bytes moved through the stream so far, and a move back or forth to such a position (used to
// leave a sub-chunk at its end whatever its reader consumed).
size_t TvStreamTell(const TvStream* stream);
TvStream* TvStreamSeekTo(TvStream* stream, size_t position);
