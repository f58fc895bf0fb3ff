#include "engine/core/texture_stream.h"

#include <cstring>

#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"

namespace {

bool VersionOk(uint32_t version) {
    if (version >= kTvChunkVersionMin && version <= kTvChunkVersion) return true;
    TvErrorCore(E_TV_BADVERSION);
    return false;
}

// The text of a string chunk payload: up to its first NUL; 16-bit characters keep their low
// byte.
char* ReadPayload(TvStream* stream, uint32_t type, uint32_t length) {
    auto* raw = static_cast<uint8_t*>(TvMalloc(size_t(length) + 1));
    if (!raw) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    if (TvStreamRead(stream, raw, length) != length) {
        TvFree(raw);
        return nullptr;
    }
    size_t chars = length;
    if (type == TV_ID_UNICODESTRING) {
        chars = length / 2;
        for (size_t i = 0; i < chars; i++)
            raw[i] = raw[2 * i];
    }
    raw[chars] = 0;
    return reinterpret_cast<char*>(raw);
}

} // namespace

uint32_t TvStringStreamGetSize(const char* string) {
    const size_t length = string ? std::strlen(string) : 0;
    return uint32_t((length + 4) & ~size_t(3));
}

const char* TvStringStreamWrite(const char* string, TvStream* stream) {
    const char* text = string ? string : "";
    const uint32_t size = TvStringStreamGetSize(text);
    const size_t length = std::strlen(text);
    if (!TvStreamWriteChunkHeader(stream, TV_ID_STRING, size, kTvChunkVersion)) return nullptr;
    if (length > 0 && !TvStreamWrite(stream, text, uint32_t(length))) return nullptr;
    const uint8_t zeros[4] = {0, 0, 0, 0};
    if (!TvStreamWrite(stream, zeros, uint32_t(size - length))) return nullptr;
    return text;
}

char* TvStringStreamRead(TvStream* stream) {
    uint32_t type, length, version;
    while (TvStreamReadChunkHeader(stream, &type, &length, &version)) {
        if (!VersionOk(version)) return nullptr;
        if (type == TV_ID_STRING || type == TV_ID_UNICODESTRING)
            return ReadPayload(stream, type, length);
        if (!TvStreamSkip(stream, length)) return nullptr;
    }
    return nullptr;
}

bool TvStringFree(char* string) {
    TvFree(string);
    return true;
}

bool TvStreamReadStruct(TvStream* stream, void* out, uint32_t bytes) {
    uint32_t length, version;
    if (!TvStreamFindChunk(stream, TV_ID_STRUCT, &length, &version)) return false;
    if (!VersionOk(version)) return false;
    if (length < bytes) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return false;
    }
    if (TvStreamRead(stream, out, bytes) != bytes) return false;
    return TvStreamSkip(stream, length - bytes) != nullptr;
}

TvTexture* TvTextureStreamRead(TvStream* stream) {
    uint8_t settings[4];
    if (!TvStreamReadStruct(stream, settings, sizeof settings)) return nullptr;
    const uint32_t filter = settings[0];
    const uint32_t addressing = settings[1];
    // Left as the chunk set it, for the textures read after this one too.
    TvTextureSetMipmapping(filter >= 3 && filter <= 6);

    char* name = TvStringStreamRead(stream);
    char* mask = name ? TvStringStreamRead(stream) : nullptr;
    if (!mask) {
        if (name) TvStringFree(name);
        return nullptr;
    }
    TvTexture* texture = TvTextureRead(name, mask);
    TvStringFree(name);
    TvStringFree(mask);
    if (!texture) {
        TvPluginStreamSkip(&TvTextureRegistry, stream);
        return nullptr;
    }
    if (texture->refCount == 1) {
        TvTextureSetFilterMode(texture, filter);
        TvTextureSetAddressing(texture, addressing);
    }
    if (!TvPluginStreamRead(&TvTextureRegistry, stream, texture)) {
        TvTextureDestroy(texture); // the reference this read took
        return nullptr;
    }
    return texture;
}
