// Textures in chunk files: string chunks (8-bit and 16-bit characters) and the portable texture
// chunk that names a texture and its mask and carries its sampling settings.
#pragma once

#include <cstdint>

struct TvStream;
struct TvTexture;

uint32_t TvStringStreamGetSize(const char* string);
const char* TvStringStreamWrite(const char* string, TvStream* stream);
// The next string chunk's text as a heap string (other chunks are skipped); null at the end.
char* TvStringStreamRead(TvStream* stream);
bool TvStringFree(char* string);

// The payload of a texture chunk: struct, name, mask name, extension.
TvTexture* TvTextureStreamRead(TvStream* stream);
// Reads a struct chunk holding at least `bytes` bytes into `out`; any excess is skipped.
bool TvStreamReadStruct(TvStream* stream, void* out, uint32_t bytes);
