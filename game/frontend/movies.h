// Movies: the briefing subtitles setting (0 unset, 1 off, 2 on) and the sound library's
// digital driver that movies play their sound through.
#pragma once

#include <cstdint>

void MV2SetSubtitles(int32_t setting);
int32_t MV2GetSubtitles();

struct MssDriver;
// The digital driver of the audio layer, or null when it shuts down.
void MV2MovieSetSoundSystem(MssDriver* driver);
