// Creatures as the shell drives them: the submarine definitions, ink and timed tags.
#pragma once

#include <cstdint>

int32_t MV2LoadSubDefinitions();
void MV2FreeSubDefinitions();
int32_t MV2InitialiseInk();
int32_t MV2InitialiseTimedTags();
void MV2BuildPathNodes();
void MV2DestroyPathNodes();
