// Stand-ins for the parts of the old C runtime whose exact behaviour the game relies on:
// its random generator and the opening of files named in the game's own path form.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The old runtime's linear congruential generator: seed * 214013 + 2531011,
// result (seed >> 16) & 0x7FFF, initial seed 1. One generator per process.
constexpr int PLATFORM_RAND_MAX = 0x7FFF;
void PlatformSrand(uint32_t seed);
int PlatformRand();

// Translates a game file name to a real path: '\' becomes '/', a leading ".\" is dropped,
// and each component is matched against the folder's entries ignoring case: an exact match
// wins, else the first of the matching entries in byte order. Components that do not exist
// keep the case they were given, so new files are created as named.
std::string PlatformResolvePath(const char* gameName);

// fopen on the translated path. Every open of a real file goes through here. A folder does
// not open: null, with errno ENOENT, as for a missing file.
FILE* PlatformOpenFile(const char* gameName, const char* mode);
