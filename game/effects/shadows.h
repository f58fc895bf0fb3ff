// Shadows: the option word (0 none, 1 player craft, 2 all flagged objects).
#pragma once

#include <cstdint>

void MV2SetShadows(int32_t mode);
int32_t MV2GetShadows();
