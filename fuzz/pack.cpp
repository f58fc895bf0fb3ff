// Pack archives come from the data folder: mount any bytes, then open and read every entry
// through the file interface with each of its operations.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "shell/pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = TvEngineInit(nullptr);
    static const std::string path = "/tmp/marovant-fuzz-pack-" + std::to_string(getpid()) + ".pak";
    if (!ready) return 0;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    MV2PackFile* pack = MV2MountPackFile(path.c_str(), ".\\fz");
    if (!pack) return 0;
    TvFileInterface& f = *TvEngineGetFileInterface();
    char buf[300];
    for (int32_t i = 0; i < pack->numEntries && i < 64; i++) {
        std::string name = std::string(".\\fz\\") + pack->directory[i].name;
        void* h = f.open(name.c_str(), "rb");
        if (!h) __builtin_trap(); // every stored name must be found
        // Equal names may stand twice; the lookup serves one of them.
        if (f.length(h) != long(MV2PackFindEntry(pack, pack->directory[i].name)->size))
            __builtin_trap();
        while (f.readLine(buf, int32_t(i % 7 + 1) * 40, h)) {
        }
        f.seek(h, -3, 2);
        if (f.read(buf, 3, 100, h) > 1) __builtin_trap();
        f.seek(h, long(i), 0);
        f.read(buf, 1, sizeof buf, h);
        f.atEnd(h);
        f.close(h);
    }
    if (!MV2UnmountPackFile(pack)) __builtin_trap();
    return 0;
}
