// File interface: the table of file operations every engine file access goes through. The
// defaults open real files through the platform's game-path translation.
#pragma once

#include "engine/core/engine.h"

void TvFileInterfaceInstall(TvFileInterface* funcs);
TvFileInterface* TvEngineGetFileInterface();
// True when the name begins with a backslash or with a letter and a colon.
bool TvPathIsAbsolute(const char* name);
