// Animation scripts ("anim.txt" of a puppet's model folder): when each animation of a puppet
// starts (triggers over named state flags and the ends of other animations), what happens when it
// starts and ends, which animations do not advance with time, how far an animation moves its
// owner and which node is its foot. A script only adds to the records of its puppet.
#pragma once

#include <cstddef>
#include <cstdint>

struct MV2Puppet;

// Item modifiers: the sign written before an item.
inline constexpr uint8_t kMV2ScriptNoSign = 0;
inline constexpr uint8_t kMV2ScriptPlus = 1;
inline constexpr uint8_t kMV2ScriptMinus = 2;
inline constexpr uint8_t kMV2ScriptNot = 3;

// Item classes.
inline constexpr uint8_t kMV2ScriptState = 0;
inline constexpr uint8_t kMV2ScriptAnim = 1;
inline constexpr uint8_t kMV2ScriptCallback = 2;

// One item of a trigger or of a start or end list. New items go to the front of their list, so
// a list holds its items in the reverse of their order in the file.
struct MV2AnimScriptItem {
    MV2AnimScriptItem* next;
    uint8_t modifier;
    uint8_t kind;
    // State flag index; animation index or -1; callback row or -1.
    int32_t index;
};

// A trigger: its items are the conditions that must all hold.
struct MV2AnimTrigger {
    MV2AnimTrigger* next;
    MV2AnimScriptItem* items;
};

// The text a script file may hold; the rest of a longer file is not read.
inline constexpr size_t kMV2AnimScriptMaxBytes = 8192;
// Longest name the script keeps; longer names are cut.
inline constexpr size_t kMV2AnimScriptNameMax = 63;

// Reads and parses the script file; 1 when the whole script parsed, 0 when the file cannot be
// opened or at the first syntax error (what was built before it stays in the puppet).
int32_t MV2AnimScriptParseFile(MV2Puppet* puppet, const char* path);
// Parses `length` bytes of script text, as the file reader does.
int32_t MV2AnimScriptParseText(MV2Puppet* puppet, const char* text, size_t length);
