// CD audio: the music volume, in percent.
#pragma once

#include <cstdint>

void MV2SetCdVolume(int32_t percent);
int32_t MV2GetCdVolume();
