// The command line comes from whoever starts the program: parse any text as it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/gamemain.h"
#include "shell/window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    MV2ParseCommandLine(text.c_str());
    if (gMV2MainLoop.editing > 1 || gMV2MainLoop.dataRebuild > 1) __builtin_trap();
    return 0;
}
