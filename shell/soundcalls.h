// The sound, speech and music calls the shell makes, as the sound modules offer them.
#pragma once

#include <cstdint>

int32_t MV2StartSounds(int32_t bits, int32_t rate);
int32_t MV2LoadSounds();
void MV2ShutdownSounds();
void MV2ResetSounds();
int32_t MV2RequestSoundPause(int32_t on);
void MV2UpdateSounds();
void MV2StopSpeech();
void MV2PauseSpeech();
void MV2ResumeSpeech();
void MV2ResetMusic();
int32_t MV2StartMusic();
void MV2PauseMusic();
void MV2ResumeMusic();
void MV2MusicStop();
