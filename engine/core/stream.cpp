#include "engine/core/stream.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"

namespace {

TvModuleGlobals g_streamModule;
constexpr size_t kGrowStep = 512;
constexpr uint32_t kConvertBlock = 256;

TvFileInterface& Files() {
    return TvEngineInstancePtr->fileFuncs;
}

// Streams whose end is known: memory, and files opened by name for reading.
bool HasKnownEnd(const TvStream* s) {
    return s->type == TV_STREAM_MEMORY ||
           (s->type == TV_STREAM_FILENAME && s->accessType == TV_STREAM_READ);
}
size_t Remaining(const TvStream* s) {
    return s->position < s->size ? s->size - s->position : 0;
}

bool IsFile(const TvStream* s) {
    return s->type == TV_STREAM_FILE || s->type == TV_STREAM_FILENAME;
}

void Swap32(void* buffer, uint32_t bytes) {
    if constexpr (std::endian::native == std::endian::big) {
        auto* p = static_cast<uint8_t*>(buffer);
        for (uint32_t i = 0; i + 4 <= bytes; i += 4) {
            std::swap(p[i], p[i + 3]);
            std::swap(p[i + 1], p[i + 2]);
        }
    } else {
        (void)buffer;
        (void)bytes;
    }
}

TvStream* WriteConverted(TvStream* stream, const void* data, uint32_t bytes) {
    uint8_t block[kConvertBlock];
    const auto* src = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        uint32_t n = std::min(bytes, kConvertBlock);
        std::memcpy(block, src, n);
        Swap32(block, n);
        if (!TvStreamWrite(stream, block, n)) return nullptr;
        src += n;
        bytes -= n;
    }
    return stream;
}

bool WriteMemory(TvStream* stream, const void* data, uint32_t length) {
    if (!stream->buffer) {
        stream->buffer = static_cast<uint8_t*>(TvMalloc(kGrowStep));
        if (!stream->buffer) {
            TvErrorCore(E_TV_NOMEM);
            return false;
        }
        stream->size = kGrowStep;
        stream->position = 0;
    }
    if (stream->size - stream->position < length) {
        size_t grow = length >= kGrowStep ? length : kGrowStep;
        if (stream->size > SIZE_MAX - grow) {
            TvErrorCore(E_TV_NOMEM);
            return false;
        }
        auto* buffer = static_cast<uint8_t*>(TvRealloc(stream->buffer, stream->size + grow));
        if (!buffer) {
            TvErrorCore(E_TV_NOMEM);
            return false;
        }
        stream->buffer = buffer;
        stream->size += grow;
    }
    std::memcpy(stream->buffer + stream->position, data, length);
    stream->position += length;
    return true;
}

} // namespace

const int32_t _TvStreamModuleDataSize = sizeof(TvStreamModule);

void* _TvStreamModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TvStreamModule*>(TvEngineInstanceData(instance, offset));
    data->streamFreeList = TvFreeListCreate(sizeof(TvStream), 10);
    if (!data->streamFreeList) return nullptr;
    return TvModuleOpened(g_streamModule, instance, offset);
}

void* _TvStreamModuleClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TvStreamModule*>(TvEngineInstanceData(instance, offset));
    if (data->streamFreeList) TvFreeListDestroy(data->streamFreeList);
    data->streamFreeList = nullptr;
    return TvModuleClosed(g_streamModule, instance);
}

TvStream* TvStreamOpen(int32_t type, int32_t accessType, const void* data) {
    if (!TvModuleIsOpen(g_streamModule)) {
        TvErrorCore(E_TV_NOTOPEN);
        return nullptr;
    }
    TvFreeList* freeList = TvEngineModuleData<TvStreamModule>(g_streamModule)->streamFreeList;
    auto* stream = static_cast<TvStream*>(TvFreeListAlloc(freeList));
    if (!stream) return nullptr;
    *stream = TvStream{type, accessType, 0, nullptr, 0, 0, nullptr, nullptr};

    bool ok = false;
    switch (type) {
    case TV_STREAM_FILE:
        if (!data) {
            TvErrorCore(E_TV_NULLP);
            break;
        }
        stream->file = const_cast<void*>(data);
        ok = true;
        break;
    case TV_STREAM_FILENAME: {
        if (!data) break;
        static const char* const kModes[] = {"rb", "wb", "ab"};
        if (accessType < TV_STREAM_READ || accessType > TV_STREAM_APPEND) {
            TvErrorCore(E_TV_ACCESSTYPE);
            break;
        }
        stream->file = Files().open(static_cast<const char*>(data), kModes[accessType - 1]);
        if (!stream->file) {
            TvErrorCore(E_TV_FILEOPEN);
            break;
        }
        if (accessType == TV_STREAM_READ) {
            long length = Files().length(stream->file); // leaves the file at its start
            stream->size = length > 0 ? size_t(length) : 0;
        }
        ok = true;
        break;
    }
    case TV_STREAM_MEMORY: {
        const auto* memory = static_cast<const TvMemory*>(data);
        if (accessType == TV_STREAM_WRITE) {
            ok = true;
        } else if (accessType == TV_STREAM_READ || accessType == TV_STREAM_APPEND) {
            if (!memory) {
                TvErrorCore(E_TV_NULLP);
                break;
            }
            stream->buffer = memory->start;
            stream->size = memory->length;
            stream->position = accessType == TV_STREAM_READ ? 0 : memory->length;
            if (accessType == TV_STREAM_APPEND) stream->callerBuffer = memory->start;
            ok = true;
        } else {
            TvErrorCore(E_TV_ACCESSTYPE);
        }
        break;
    }
    default: TvErrorCore(E_TV_STREAMTYPE); break;
    }
    if (!ok) {
        TvFreeListFree(freeList, stream);
        return nullptr;
    }
    return stream;
}

bool TvStreamClose(TvStream* stream, void* data) {
    if (!stream) {
        TvErrorCore(E_TV_NULLP);
        return false;
    }
    bool result = false;
    if (IsFile(stream)) {
        result = Files().close(stream->file) == 0;
    } else if (stream->type == TV_STREAM_MEMORY) {
        if (stream->accessType == TV_STREAM_READ) {
            result = true;
        } else if (auto* memory = static_cast<TvMemory*>(data)) {
            memory->start = stream->buffer;
            memory->length = stream->position;
            result = true;
        } else {
            // Nobody takes the buffer over: free it when it is the stream's own, never the
            // caller's append buffer.
            TvErrorCore(E_TV_NULLP);
            if (stream->buffer != stream->callerBuffer) TvFree(stream->buffer);
        }
    } else {
        TvErrorCore(E_TV_STREAMTYPE);
    }
    if (TvModuleIsOpen(g_streamModule)) {
        TvFreeListFree(TvEngineModuleData<TvStreamModule>(g_streamModule)->streamFreeList, stream);
    }
    return result;
}

uint32_t TvStreamRead(TvStream* stream, void* buffer, uint32_t length) {
    if (length == 0) {
        TvErrorCore(E_TV_INVALIDPARAM, "Invalid length passed");
        return 0;
    }
    if (stream->accessType != TV_STREAM_READ) {
        TvErrorCore(E_TV_ACCESSTYPE);
        return 0;
    }
    if (IsFile(stream)) {
        size_t n = Files().read(buffer, 1, length, stream->file);
        stream->position += n;
        if (n < length) TvErrorCore(Files().atEnd(stream->file) ? E_TV_ENDOFSTREAM : E_TV_FILEREAD);
        return uint32_t(n);
    }
    if (stream->type != TV_STREAM_MEMORY) {
        TvErrorCore(E_TV_STREAMTYPE);
        return 0;
    }
    size_t remaining = stream->size - stream->position;
    size_t n = length;
    if (n > remaining) {
        n = remaining;
        TvErrorCore(E_TV_ENDOFSTREAM);
    }
    if (n) std::memcpy(buffer, stream->buffer + stream->position, n);
    stream->position += n;
    return uint32_t(n);
}

TvStream* TvStreamWrite(TvStream* stream, const void* data, uint32_t length) {
    if (length == 0) {
        TvErrorCore(E_TV_INVALIDPARAM, "Invalid length passed");
        return nullptr;
    }
    if (stream->accessType != TV_STREAM_WRITE && stream->accessType != TV_STREAM_APPEND) {
        TvErrorCore(E_TV_ACCESSTYPE);
        return nullptr;
    }
    if (IsFile(stream)) {
        size_t n = Files().write(data, 1, length, stream->file);
        stream->position += n;
        if (n < length) {
            TvErrorCore(E_TV_FILEWRITE);
            return nullptr;
        }
        return stream;
    }
    if (stream->type != TV_STREAM_MEMORY) {
        TvErrorCore(E_TV_STREAMTYPE);
        return nullptr;
    }
    return WriteMemory(stream, data, length) ? stream : nullptr;
}

TvStream* TvStreamSkip(TvStream* stream, uint32_t length) {
    if (stream->accessType != TV_STREAM_READ) {
        TvErrorCore(E_TV_ACCESSTYPE);
        return nullptr;
    }
    if (length == 0) return stream;
    if (stream->type == TV_STREAM_FILENAME && length > Remaining(stream)) {
        // Seeking past the end of a file succeeds on its own; the end is known, so stop there.
        Files().seek(stream->file, 0, 2);
        stream->position = stream->size;
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    if (IsFile(stream)) {
        if (Files().seek(stream->file, long(length), 1) != 0) {
            if (Files().atEnd(stream->file)) TvErrorCore(E_TV_ENDOFSTREAM);
            return nullptr;
        }
        stream->position += length;
        return stream;
    }
    if (stream->type != TV_STREAM_MEMORY) {
        TvErrorCore(E_TV_STREAMTYPE);
        return nullptr;
    }
    if (length > stream->size - stream->position) {
        stream->position = stream->size;
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    stream->position += length;
    return stream;
}

bool TvStreamReadChunkHeader(TvStream* stream, uint32_t* type, uint32_t* length,
                             uint32_t* version) {
    uint8_t header[kTvChunkHeaderSize];
    if (TvStreamRead(stream, header, kTvChunkHeaderSize) != kTvChunkHeaderSize) return false;
    uint32_t chunkLength = TvLoadU32(header + 4);
    if (HasKnownEnd(stream) && chunkLength > Remaining(stream)) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return false;
    }
    if (type) *type = TvLoadU32(header);
    if (length) *length = chunkLength;
    if (version) *version = TvLoadU32(header + 8);
    return true;
}

bool TvStreamFindChunk(TvStream* stream, uint32_t type, uint32_t* length, uint32_t* version) {
    uint32_t foundType, foundLength, foundVersion;
    while (TvStreamReadChunkHeader(stream, &foundType, &foundLength, &foundVersion)) {
        if (foundType == type) {
            if (length) *length = foundLength;
            if (version) *version = foundVersion;
            return true;
        }
        if (!TvStreamSkip(stream, foundLength)) return false;
    }
    return false;
}

TvStream* TvStreamWriteChunkHeader(TvStream* stream, uint32_t type, uint32_t length,
                                   uint32_t version) {
    uint8_t header[kTvChunkHeaderSize];
    TvStoreU32(header, type);
    TvStoreU32(header + 4, length);
    TvStoreU32(header + 8, version);
    return TvStreamWrite(stream, header, kTvChunkHeaderSize);
}

TvStream* TvStreamReadReal(TvStream* stream, float* buffer, uint32_t bytes) {
    if (TvStreamRead(stream, buffer, bytes) != bytes) return nullptr;
    TvMemFloat32ToReal(buffer, bytes);
    return stream;
}

TvStream* TvStreamReadInt(TvStream* stream, int32_t* buffer, uint32_t bytes) {
    if (TvStreamRead(stream, buffer, bytes) != bytes) return nullptr;
    TvMemNative32(buffer, bytes);
    return stream;
}

TvStream* TvStreamWriteReal(TvStream* stream, const float* data, uint32_t bytes) {
    return WriteConverted(stream, data, bytes);
}

TvStream* TvStreamWriteInt(TvStream* stream, const int32_t* data, uint32_t bytes) {
    return WriteConverted(stream, data, bytes);
}

void* TvMemNative32(void* buffer, uint32_t bytes) {
    Swap32(buffer, bytes);
    return buffer;
}

void* TvMemFloat32ToReal(void* buffer, uint32_t bytes) {
    Swap32(buffer, bytes);
    return buffer;
}

size_t TvStreamTell(const TvStream* stream) {
    return stream->position;
}

TvStream* TvStreamSeekTo(TvStream* stream, size_t position) {
    if (IsFile(stream)) {
        long delta = long(position) - long(stream->position);
        if (delta != 0 && Files().seek(stream->file, delta, 1) != 0) return nullptr;
        stream->position = position;
        return stream;
    }
    if (position > stream->size) {
        stream->position = stream->size;
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    stream->position = position;
    return stream;
}
