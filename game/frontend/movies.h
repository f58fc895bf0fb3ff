// Movies: the briefing subtitles setting (0 unset, 1 off, 2 on).
#pragma once

#include <cstdint>

void MV2SetSubtitles(int32_t setting);
int32_t MV2GetSubtitles();

// Resumes the sound of a paused movie.
void MV2MovieResumeSound();
