// Plain routines shared by the components: registry access, in-place string edits, field and
// token splitting of text lines, hexadecimal conversion between streams, stream copying and a
// memory stream made from a text. They hold no state.
#pragma once

#include "framework/streams/stream.h"
#include "platform/win32/registry.h"

// Registry: 0 or VK_E_FAIL.
VkResult VkRegQueryValue(HKEY root, const char* subKey, const char* valueName, void* buffer,
                         uint32_t* size);
VkResult VkRegSetString(HKEY root, const char* subKey, const char* valueName, const char* text);
// Deletes a key with all its sub-keys; a Win32 error code.
LONG VkRegDeleteKeyTree(HKEY root, const char* subKey);
// The same as 0 or VK_E_FAIL.
VkResult VkRegDeleteKeyTreeResult(HKEY root, const char* subKey);
// Deletes one value of a key; a Win32 error code.
LONG VkRegDeleteValue(HKEY root, const char* subKey, const char* valueName);

// In-place edits; the caller's buffer must hold the result.
int32_t VkStrReplace(char* text, const char* find, const char* replacement);
void VkStrReplaceChar(char* text, char from, char to);
void VkStrRemoveChar(char* text, char c);
void VkStrUpper(char* text);
void VkStrLower(char* text);

// Fields: every unquoted separator ends one, so empty fields count. A double quote switches
// quoting; quotes stay in the field text.
uint32_t VkStrFieldLength(const char* text, char separator);
uint32_t VkStrFieldCount(const char* text, char separator);
const char* VkStrFieldStart(const char* text, char separator, uint32_t index);
// Copies at most size - 1 characters and terminates.
VkResult VkStrGetField(const char* text, char separator, uint32_t index, char* buffer,
                       uint32_t size);

// Tokens: runs of separators count as one and leading ones are skipped; quoting as above.
uint32_t VkStrTokenCount(const char* text, char separator);
const char* VkStrTokenStart(const char* text, char separator, uint32_t index);
VkResult VkStrToken(const char* text, char separator, uint32_t index, char* buffer, uint32_t size);

// The last "."-separated field (at most 15 characters) into a 16-byte buffer.
VkResult VkGetExtension(const char* name, char* buffer);
// The path without its extension; the whole path and VK_E_FAIL when it has none. The buffer
// holds at least the path.
VkResult VkStripExtension(const char* path, char* buffer);

// Two upper-case digits and a terminator.
void VkByteToHex(uint8_t byte, char* out);
uint8_t VkHexToByte(const char* text);
VkResult VkStreamHexEncode(IVkStream* output, IVkStream* input);
VkResult VkStreamHexDecode(IVkStream* output, IVkStream* input);
VkResult VkStreamCopy(IVkStream* output, IVkStream* input);
VkResult VkStringToMemoryStream(const char* text, IVkStream** out);
// The whole contents from the start, in a block of the shared allocator (free it with
// VkMemFree) with a zero byte after them; the length goes to *length.
VkResult VkStreamReadAll(IVkStream* stream, uint8_t** data, uint32_t* length);
