// Engine chunk files come from data files and packs: a stream of nested chunks with extension
// data must be read without reading past the stream or a parent chunk, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/plugin.h"
#include "engine/core/stream.h"
#include "tests/support/accepting_device.h"

namespace {

TvPluginRegistry g_registry = TvPluginRegistryInitial(32);
constexpr int32_t kDataSize = 64;

// Reads as much of its sub-chunk as fits its data.
TvStream* ReadWhole(TvStream* s, int32_t length, void* object, int32_t offset, int32_t size) {
    uint32_t n = uint32_t(length < size ? length : size);
    if (n && TvStreamRead(s, static_cast<uint8_t*>(object) + offset, n) != n) return nullptr;
    return s;
}
// Reads one word and leaves the rest of the sub-chunk to the registry, or overreads.
TvStream* ReadPart(TvStream* s, int32_t, void* object, int32_t offset, int32_t) {
    return TvStreamReadInt(s, reinterpret_cast<int32_t*>(static_cast<uint8_t*>(object) + offset),
                           8);
}

bool Attach() {
    return TvPluginRegister(&g_registry, kDataSize, 0x11, nullptr, nullptr, nullptr) >= 0 &&
           TvPluginRegister(&g_registry, 8, 0x22, nullptr, nullptr, nullptr) >= 0 &&
           TvPluginRegisterStream(&g_registry, 0x11, ReadWhole, nullptr, nullptr) >= 0 &&
           TvPluginRegisterStream(&g_registry, 0x22, ReadPart, nullptr, nullptr) >= 0;
}

bool IsContainer(uint32_t type) {
    return type == TV_ID_CLUMP || type == TV_ID_ATOMIC || type == TV_ID_GEOMETRY ||
           type == TV_ID_FRAMELIST || type == TV_ID_WORLD || type == TV_ID_MATLIST ||
           type == TV_ID_MATERIAL || type == TV_ID_TEXTURE;
}

// Reads the chunks of a body of `limit` bytes; false at the first damaged one.
bool ReadChunks(TvStream* s, uint32_t limit, int depth, uint8_t* object) {
    while (limit > 0) {
        size_t start = TvStreamTell(s);
        uint32_t type, length, version;
        if (limit < kTvChunkHeaderSize || !TvStreamReadChunkHeader(s, &type, &length, &version)) {
            return false;
        }
        if (length > limit - kTvChunkHeaderSize) return false; // runs past its parent
        limit -= kTvChunkHeaderSize + length;
        size_t end = TvStreamTell(s) + length;
        if (type == TV_ID_EXTENSION) {
            TvStreamSeekTo(s, start);
            bool skip = version & 1;
            if (!(skip ? TvPluginStreamSkip(&g_registry, s)
                       : TvPluginStreamRead(&g_registry, s, object))) {
                return false;
            }
        } else if (IsContainer(type) && depth < 16) {
            if (!ReadChunks(s, length, depth + 1, object)) return false;
        } else if (type == TV_ID_STRUCT && length >= 4) {
            float reals[16];
            uint32_t n = length > sizeof(reals) ? uint32_t(sizeof(reals)) : length & ~3u;
            if (!TvStreamReadReal(s, reals, n)) return false;
        }
        if (TvStreamTell(s) != end && !TvStreamSeekTo(s, end)) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = AcceptingEngineStart(Attach);
    if (!ready) __builtin_trap();
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!s) __builtin_trap();
    alignas(16) uint8_t object[256];
    std::memset(object, 0, sizeof(object));
    ReadChunks(s, uint32_t(size > UINT32_MAX ? UINT32_MAX : size), 0, object);
    if (TvStreamTell(s) > size) __builtin_trap(); // never past the stream
    TvStreamClose(s, nullptr);

    // A search over the same bytes ends at or before the end.
    s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    TvStreamFindChunk(s, TV_ID_ATOMIC, nullptr, nullptr);
    if (TvStreamTell(s) > size) __builtin_trap();
    TvStreamClose(s, nullptr);
    return 0;
}
