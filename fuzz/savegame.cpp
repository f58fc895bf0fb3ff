// Save files come from the player's folder: parse any record and check it as the loader does;
// a parsed record always has a terminated name and counts within what a craft carries.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "shell/savegame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MV2SaveRecord record;
    if (!MV2ParseSaveRecord(data, size, &record)) return 0;
    if (record.name[kMV2SaveNameSize - 1] != 0) __builtin_trap();
    const MV2PlayerLoadout& l = record.loadout;
    if (l.numWeapons < 0 || l.numWeapons > kMV2MaxLoadoutEntries || l.numTools < 0 ||
        l.numTools > kMV2MaxLoadoutEntries)
        __builtin_trap();
    MV2CheckSaveRecord(&record); // no menu resource file: every craft type is unknown
    return 0;
}
