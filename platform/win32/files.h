// Stand-in for the file-system calls of the old platform and its runtime that the framework
// makes beyond opening files. Names are game names, translated as PlatformOpenFile does.
#pragma once

#include "platform/win32/win32.h"

#include <cstdio>
#include <string>

// Moves a file or folder; fails when the new name already exists, and never replaces a file made
// under that name meanwhile. Across file systems a file is copied with its mode and deleted.
BOOL MoveFileA(const char* existingName, const char* newName);
// Makes one folder (its parent must exist); the security attributes are ignored.
BOOL CreateDirectoryA(const char* path, void* security);
BOOL DeleteFileA(const char* path);
// Creates a new, empty file with a fresh name in `folder` (a game name; the current folder when
// null or empty), exclusively and without following links. Returns it open for reading and
// writing and stores its name; null when none can be made.
FILE* PlatformCreateTempFile(const char* folder, std::string* name);
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// Only the read-only attribute has an effect: it takes away or gives back the write bits.
BOOL SetFileAttributesA(const char* path, DWORD attributes);
