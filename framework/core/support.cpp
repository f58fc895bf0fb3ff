#include "framework/core/support.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"

#include <cstring>

VkResult VkRegQueryValue(HKEY root, const char* subKey, const char* valueName, void* buffer,
                         uint32_t* size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return VK_E_FAIL;
    DWORD bytes = size ? *size : 0;
    LONG err =
        RegQueryValueExA(key, valueName, nullptr, nullptr, static_cast<LPBYTE>(buffer), &bytes);
    RegCloseKey(key);
    if (size) *size = bytes;
    return err == ERROR_SUCCESS ? VK_OK : VK_E_FAIL;
}

VkResult VkRegSetString(HKEY root, const char* subKey, const char* valueName, const char* text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return VK_E_FAIL;
    LONG err = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(std::strlen(text) + 1));
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? VK_OK : VK_E_FAIL;
}

LONG VkRegDeleteKeyTree(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    LONG err = RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key);
    if (err != ERROR_SUCCESS) return err;
    // Sub-key 0 again and again: each deletion moves the next one to the front.
    for (;;) {
        char name[101];
        DWORD size = sizeof name;
        err = RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS) break;
        if (err == ERROR_SUCCESS) err = VkRegDeleteKeyTree(key, name);
        if (err != ERROR_SUCCESS) {
            RegCloseKey(key);
            return err;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, subKey);
}

VkResult VkRegDeleteKeyTreeResult(HKEY root, const char* subKey) {
    return VkRegDeleteKeyTree(root, subKey) == ERROR_SUCCESS ? VK_OK : VK_E_FAIL;
}

LONG VkRegDeleteValue(HKEY root, const char* subKey, const char* valueName) {
    HKEY key = nullptr;
    LONG err = RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key);
    if (err != ERROR_SUCCESS) return err;
    err = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return err;
}

int32_t VkStrReplace(char* text, const char* find, const char* replacement) {
    size_t findLength = std::strlen(find);
    size_t newLength = std::strlen(replacement);
    if (findLength == 0) return 0;
    int32_t count = 0;
    char* at = text;
    while ((at = std::strstr(at, find)) != nullptr) {
        std::memmove(at + newLength, at + findLength, std::strlen(at + findLength) + 1);
        std::memcpy(at, replacement, newLength);
        at += newLength;
        ++count;
    }
    return count;
}

void VkStrReplaceChar(char* text, char from, char to) {
    for (; *text; ++text)
        if (*text == from) *text = to;
}

void VkStrRemoveChar(char* text, char c) {
    char* out = text;
    for (; *text; ++text)
        if (*text != c) *out++ = *text;
    *out = '\0';
}

void VkStrUpper(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

void VkStrLower(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

namespace {

// The end of the field or token that starts here: the first unquoted separator or the end.
const char* FieldEnd(const char* text, char separator) {
    bool quoted = false;
    for (; *text; ++text) {
        if (*text == '"')
            quoted = !quoted;
        else if (*text == separator && !quoted)
            break;
    }
    return text;
}

VkResult CopyPart(const char* start, char separator, char* buffer, uint32_t size) {
    if (!start || !buffer || size == 0) return VK_E_FAIL;
    size_t length = static_cast<size_t>(FieldEnd(start, separator) - start);
    if (length > size - 1) length = size - 1;
    std::memcpy(buffer, start, length);
    buffer[length] = '\0';
    return VK_OK;
}

const char* SkipSeparators(const char* text, char separator) {
    while (*text == separator)
        ++text;
    return text;
}

} // namespace

uint32_t VkStrFieldLength(const char* text, char separator) {
    return static_cast<uint32_t>(FieldEnd(text, separator) - text);
}

uint32_t VkStrFieldCount(const char* text, char separator) {
    uint32_t count = 1;
    for (const char* end = FieldEnd(text, separator); *end; end = FieldEnd(end + 1, separator))
        ++count;
    return count;
}

const char* VkStrFieldStart(const char* text, char separator, uint32_t index) {
    for (; index > 0; --index) {
        text = FieldEnd(text, separator);
        if (!*text) return nullptr;
        ++text;
    }
    return text;
}

VkResult VkStrGetField(const char* text, char separator, uint32_t index, char* buffer,
                       uint32_t size) {
    return CopyPart(VkStrFieldStart(text, separator, index), separator, buffer, size);
}

uint32_t VkStrTokenCount(const char* text, char separator) {
    uint32_t count = 0;
    for (text = SkipSeparators(text, separator); *text;
         text = SkipSeparators(FieldEnd(text, separator), separator))
        ++count;
    return count;
}

const char* VkStrTokenStart(const char* text, char separator, uint32_t index) {
    text = SkipSeparators(text, separator);
    for (; *text && index > 0; --index)
        text = SkipSeparators(FieldEnd(text, separator), separator);
    return *text ? text : nullptr;
}

VkResult VkStrToken(const char* text, char separator, uint32_t index, char* buffer, uint32_t size) {
    return CopyPart(VkStrTokenStart(text, separator, index), separator, buffer, size);
}

VkResult VkGetExtension(const char* name, char* buffer) {
    if (VkStrFieldCount(name, '.') < 2) return VK_E_FAIL;
    const char* dot = std::strrchr(name, '.');
    VkCopyText(buffer, 16, dot + 1);
    return VK_OK;
}

VkResult VkStripExtension(const char* path, char* buffer) {
    for (const char* at = path + std::strlen(path); at > path;) {
        --at;
        if (*at == '\\' || *at == '/' || *at == ':') break;
        if (*at == '.') {
            size_t length = static_cast<size_t>(at - path);
            std::memmove(buffer, path, length);
            buffer[length] = '\0';
            return VK_OK;
        }
    }
    std::memmove(buffer, path, std::strlen(path) + 1);
    return VK_E_FAIL;
}

void VkByteToHex(uint8_t byte, char* out) {
    static const char kDigits[] = "0123456789ABCDEF";
    out[0] = kDigits[byte >> 4];
    out[1] = kDigits[byte & 15];
    out[2] = '\0';
}

uint8_t VkHexToByte(const char* text) {
    auto nibble = [](char c) { return c < 'A' ? c - '0' : c - 'A' + 10; };
    return static_cast<uint8_t>((nibble(text[0]) << 4) + nibble(text[1]));
}

VkResult VkStreamHexEncode(IVkStream* output, IVkStream* input) {
    for (;;) {
        uint8_t byte = 0;
        uint32_t got = 0;
        if (input->Read(&byte, 1, &got) < 0 || got == 0) return VK_OK;
        char hex[3];
        VkByteToHex(byte, hex);
        VkResult res = output->Write(hex, 2, nullptr);
        if (res < 0) return res;
    }
}

VkResult VkStreamHexDecode(IVkStream* output, IVkStream* input) {
    for (;;) {
        char hex[2] = {};
        uint32_t got = 0;
        if (input->Read(hex, 2, &got) < 0 || got < 2) return VK_OK;
        uint8_t byte = VkHexToByte(hex);
        VkResult res = output->Write(&byte, 1, nullptr);
        if (res < 0) return res;
    }
}

VkResult VkStreamCopy(IVkStream* output, IVkStream* input) {
    uint8_t buffer[1024];
    for (;;) {
        uint32_t got = 0;
        input->Read(buffer, sizeof buffer, &got);
        if (got > sizeof buffer) got = sizeof buffer;
        if (got == 0) return VK_OK;
        VkResult res = output->Write(buffer, got, nullptr);
        if (res < 0) return res;
        // A short read is the end of the input: a stream that starts again after its end (the
        // File component) would otherwise be copied for ever.
        if (got < sizeof buffer) return VK_OK;
    }
}

VkResult VkStringToMemoryStream(const char* text, IVkStream** out) {
    *out = nullptr;
    void* object = nullptr;
    VkResult res = VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &object);
    if (res < 0) return res;
    IVkStream* stream = static_cast<IVkStream*>(object);
    res = stream->Write(text, static_cast<uint32_t>(std::strlen(text)), nullptr);
    if (res >= 0) res = stream->Seek(0, VK_SEEK_SET, nullptr);
    if (res < 0) {
        stream->Release();
        return res;
    }
    *out = stream;
    return VK_OK;
}

VkResult VkStreamReadAll(IVkStream* stream, uint8_t** data, uint32_t* length) {
    *data = nullptr;
    *length = 0;
    uint32_t start = 0, end = 0;
    VkResult res = stream->Seek(0, VK_SEEK_CUR, &start);
    if (res >= 0) res = stream->Seek(0, VK_SEEK_END, &end);
    if (res >= 0) res = stream->Seek(0, VK_SEEK_SET, nullptr);
    if (res < 0) return res;
    if (end == UINT32_MAX) return VK_E_OUTOFMEMORY;
    uint8_t* block = static_cast<uint8_t*>(VkMemAlloc(end + 1u));
    if (!block) return VK_E_OUTOFMEMORY;
    uint32_t got = 0;
    res = end ? stream->Read(block, end, &got) : VK_OK;
    if (res < 0 || got != end) {
        VkMemFree(block);
        return res < 0 ? res : VK_E_FAIL;
    }
    block[end] = '\0';
    *data = block;
    *length = end;
    return VK_OK;
}
