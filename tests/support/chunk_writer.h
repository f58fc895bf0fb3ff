// Builds engine chunk files in memory for tests and fuzz seeds: nested chunks whose lengths are
// filled in when they end, little-endian words, padded strings and extension chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/stream.h"

class ChunkWriter {
public:
    // Opens a chunk; its length is patched by the matching End().
    ChunkWriter& Begin(uint32_t type, uint32_t version = kTvChunkVersion);
    ChunkWriter& End();
    // A header with a length given outright (for damaged files); no End() follows.
    ChunkWriter& Header(uint32_t type, uint32_t length, uint32_t version = kTvChunkVersion);

    ChunkWriter& U32(uint32_t value);
    ChunkWriter& I32(int32_t value) { return U32(uint32_t(value)); }
    ChunkWriter& F32(float value);
    ChunkWriter& Bytes(const void* data, size_t size);
    // A whole chunk holding `body`.
    ChunkWriter& Chunk(uint32_t type, const std::vector<uint8_t>& body,
                       uint32_t version = kTvChunkVersion);
    // A string chunk (type 2): the text, a terminator and zero padding to a multiple of 4.
    ChunkWriter& String(const std::string& text);

    const std::vector<uint8_t>& data() const { return data_; }

private:
    std::vector<uint8_t> data_;
    std::vector<size_t> open_; // offsets of the length words of open chunks
};

struct ExtensionData {
    uint32_t pluginId;
    std::vector<uint8_t> body;
};
// An extension chunk (type 3) with one sub-chunk per entry.
ChunkWriter& WriteExtension(ChunkWriter& writer, const std::vector<ExtensionData>& plugins);

// A memory read stream over `bytes` (which must outlive it); null when the engine refuses.
TvStream* OpenReadStream(const std::vector<uint8_t>& bytes);

// Runs `reader` over a memory read stream of `bytes` and closes the stream; its result.
template <typename T> T* ReadFromBytes(const std::vector<uint8_t>& bytes, T* (*reader)(TvStream*)) {
    TvStream* stream = OpenReadStream(bytes);
    T* result = reader(stream);
    TvStreamClose(stream, nullptr);
    return result;
}
