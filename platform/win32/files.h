// Stand-in for the file-system calls of the old platform and its runtime that the framework
// makes beyond opening files. Names are game names, translated as PlatformOpenFile does.
#pragma once

#include "platform/win32/win32.h"

#include <string>

// Moves a file or folder; fails when the new name already exists.
BOOL MoveFileA(const char* existingName, const char* newName);
// Makes one folder (its parent must exist); the security attributes are ignored.
BOOL CreateDirectoryA(const char* path, void* security);
BOOL DeleteFileA(const char* path);
// A name in the temporary folder that no file holds yet; empty when none can be made.
std::string PlatformTempFileName();
