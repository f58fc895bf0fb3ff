// Object shadows: the projection pointed straight down from an object, by the Shadows option
// (0 none, 1 the player craft and the object its tools answer to command 34, 2 visible objects
// whose type flags have bits 3 and 4, 3 visible objects whose type flags have bit 3).
#pragma once

#include <cstdint>

struct MV2Object;

// Stores the option when it is 0 to 3; other values are ignored.
void MV2SetShadows(int32_t mode);
int32_t MV2GetShadows();
void MV2ProjectShadow(MV2Object* object);
void MV2DrawShadows();
