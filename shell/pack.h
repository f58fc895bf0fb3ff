// Pack archives: one file holding many, standing for one folder. While a pack is mounted, the
// engine's file interface serves every name under the pack's prefix from the pack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/memory.h"

struct TvRaster;

inline constexpr uint32_t kMV2PackTag = 0x4B434150; // "PACK" as stored
inline constexpr size_t kMV2PackHeaderSize = 12;
inline constexpr size_t kMV2PackEntrySize = 64;
inline constexpr size_t kMV2PackNameSize = 56;
inline constexpr size_t kMV2PackPrefixMax = 260; // characters, the closing "\" included

// One directory entry, read field by field from its 64 stored bytes.
struct MV2PackEntry {
    char name[kMV2PackNameSize]; // "\" separates folders
    uint32_t offset;             // of the data from the start of the pack file
    uint32_t size;
    char key[kMV2PackNameSize]; // the name folded for lookup: lower case, "\" separators
};

struct MV2PackFile {
    MV2PackFile* next;
    MV2PackFile* prev;
    char prefix[kMV2PackPrefixMax + 1];
    void* file;    // the pack's own handle, of the file functions saved at install
    long length;   // of the pack file
    long position; // of that handle as last set by the layer
    TvFreeList* handleFreeList;
    int32_t openHandles;
    MV2PackEntry* directory; // sorted by name ignoring case
    int32_t numEntries;
};

// An open file inside a pack; the handle the file interface hands out for it.
struct MV2PackHandle {
    uint32_t tag; // kMV2PackTag
    MV2PackFile* pack;
    const MV2PackEntry* entry;
    uint32_t position; // within the entry's data
    uint32_t atEnd;
};

// Mounts the pack at `path` for `prefix` (null: the path up to its last "."). Null when the
// pack cannot be read or its directory does not fit the file.
MV2PackFile* MV2MountPackFile(const char* path, const char* prefix = nullptr);
// 1 unmounted; 0 for a null pack or one with open handles.
int32_t MV2UnmountPackFile(MV2PackFile* pack);
// The directory entry of `name` (relative to the prefix, either separator), or null.
const MV2PackEntry* MV2PackFindEntry(const MV2PackFile* pack, const char* name);
int32_t MV2CountMountedPacks();

// The game's pack pointers and the disc in use.
struct MV2Packs {
    MV2PackFile* clump;
    MV2PackFile* texture;
    MV2PackFile* sound;
    MV2PackFile* data;
    MV2PackFile* level;
    MV2PackFile* unused; // never mounted
    int32_t discInUse;   // 1 or 2
    int32_t packsClosed;
    char levelName[64]; // of the mounted level pack, empty when none
    TvRaster* switchPicture; // "gdswitch", while the packs are closed for a disc switch
};
extern MV2Packs gMV2Packs;

// Level load: unmounts the previous level pack and mounts ".\<name>.pak".
void MV2MountLevelPack(const char* levelName);
// Disc switch: campaign rows from 27 are on the second disc. The packs are closed behind the
// whole-screen picture "gdswitch" and mounted again with the game's view restored.
void MV2OpenPacks(int32_t missionRow);
void MV2ClosePacks();
// Game shut-down: unmounts all six pack pointers.
void MV2UnmountAllPacks();
