// Save files come from the player's folder: parse any record and check it as the loader does;
// a parsed record always has a terminated name and counts within what a craft carries. Its
// load-out then goes into a craft's weapon and tool lists, which keep only slots, mounts, kinds
// and ammunition that a craft can carry.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/world_input.h"
#include "game/creatures/submarines.h"
#include "game/player/player.h"
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

    // The weapon records and their handlers' data come from engine free lists.
    if (!WorldFuzzStart(nullptr)) return 0;
    static MV2SubDefinition definition;
    for (int32_t slot = 0; slot < kMV2WeaponSlots; ++slot)
        definition.ammunition[slot] = slot % 3 == 0 ? -1 : 20;
    MV2WeaponList weapons;
    MV2ToolList tools;
    MV2InitWeaponList(&weapons);
    MV2InitToolList(&tools);
    MV2ApplyLoadout(&weapons, &tools, nullptr, &definition, nullptr, &l);
    for (const MV2WeaponRecord* w = weapons.first; w; w = w->next) {
        if (w->slot < 0 || w->slot >= kMV2WeaponSlots || w->mount < 0 || w->mount > 3)
            __builtin_trap();
        if (w->maximum != -1 && (w->ammunition < 0 || w->ammunition > w->maximum)) __builtin_trap();
        if (w->next && w->next->slot < w->slot) __builtin_trap();
    }
    for (const MV2Tool* t = tools.first; t; t = t->next)
        if (t->kind < 0 || t->kind >= kMV2ToolKinds) __builtin_trap();
    MV2RemoveAllWeapons(&weapons);
    MV2RemoveAllTools(&tools);
    return 0;
}
