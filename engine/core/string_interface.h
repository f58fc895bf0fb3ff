// String interface: the engine's string operations, kept as slots of the engine instance.
#pragma once

#include "engine/core/engine.h"

void TvStringInterfaceInstall(TvStringInterface* funcs);
