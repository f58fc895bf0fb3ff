// The multiplayer settings file comes from the data folder: read any bytes as its text lines
// through the file interface, then format every line with two names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "game/multiplayer/netclient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = TvEngineInit(nullptr);
    static const std::string path = "/tmp/marovant-fuzz-mplay-" + std::to_string(getpid()) + ".txt";
    static char lines[kMV2NetTextLines][kMV2NetTextSize];
    if (!ready) return 0;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    TvFileInterface& f = *TvEngineGetFileInterface();
    void* file = f.open(path.c_str(), "r");
    if (!file) return 0;
    std::memset(lines, 0x55, sizeof lines);
    const int32_t count = MV2NetReadTexts(file, lines, kMV2NetTextLines);
    f.close(file);
    if (count < 0 || count > kMV2NetTextLines) __builtin_trap();
    const char* names[2] = {"KILLER-NAME-OF-THIRTY-ONE-CHARS", "VICTIM"};
    char text[kMV2NetTextSize];
    for (int32_t i = 0; i < count; ++i) {
        if (!std::memchr(lines[i], 0, kMV2NetTextSize)) __builtin_trap();
        MV2NetFormatText(text, sizeof text, lines[i], names, 2);
        if (std::strlen(text) >= sizeof text) __builtin_trap();
        char small[7];
        MV2NetFormatText(small, sizeof small, lines[i], names, i % 3);
    }
    return 0;
}
