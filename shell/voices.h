// Voice manager volumes: effects and speech, in percent.
#pragma once

#include <cstdint>

void MV2SetSfxVolume(int32_t percent);
int32_t MV2GetSfxVolume();
void MV2SetSpeechVolume(int32_t percent);
int32_t MV2GetSpeechVolume();
