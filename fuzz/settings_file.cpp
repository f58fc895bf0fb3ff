// The settings file is outside input: any bytes must read as some keys and values, or none.
#include "platform/win32/registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        char dir[] = "/tmp/marovant-fuzz-settings-XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir) + "/settings.reg";
    }();
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    PlatformSetRegistryFile(file);

    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (DWORD i = 0; i < 8; ++i) {
            char name[64];
            DWORD nameSize = sizeof name;
            if (RegEnumKeyExA(root, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (nameSize >= sizeof name) __builtin_trap(); // the name always fits its buffer
            HKEY key = nullptr;
            if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
            for (const char* value : {"", "a", "A", "Name"}) {
                BYTE buffer[16];
                DWORD type = 0, got = sizeof buffer;
                if (RegQueryValueExA(key, value, nullptr, &type, buffer, &got) == ERROR_SUCCESS &&
                    got > sizeof buffer)
                    __builtin_trap(); // never more than the buffer holds
            }
            RegCloseKey(key);
        }
    }
    return 0;
}
