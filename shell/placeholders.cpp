// Entry points of shell modules that are not built yet, each doing the least its callers need.
#include "shell/cdaudio.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/events.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/input.h"
#include "shell/soundcalls.h"
#include "shell/voices.h"
#include "shell/window.h"


// Placeholder: the sound list is not built; interface sounds are not played.
void MV2PlayInterfaceSound(int32_t) {}


static int32_t g_sfxVolume = 100, g_speechVolume = 75, g_cdVolume = 100;
static int32_t Percent(int32_t value) { return value < 0 ? 0 : value > 100 ? 100 : value; }

// Placeholder: the sound module is not built; the effects volume is only remembered.
void MV2SetSfxVolume(int32_t percent) { g_sfxVolume = Percent(percent); }

// Placeholder: the remembered effects volume.
int32_t MV2GetSfxVolume() { return g_sfxVolume; }

// Placeholder: the speech volume is only remembered.
void MV2SetSpeechVolume(int32_t percent) { g_speechVolume = Percent(percent); }

// Placeholder: the remembered speech volume.
int32_t MV2GetSpeechVolume() { return g_speechVolume; }

// Placeholder: CD audio is not built; the music volume is only remembered.
void MV2SetCdVolume(int32_t percent) { g_cdVolume = Percent(percent); }

// Placeholder: the remembered music volume.
int32_t MV2GetCdVolume() { return g_cdVolume; }


// Placeholder: the sound list is not built; starting sound succeeds with sound off.
int32_t MV2StartSounds(int32_t, int32_t) { return 1; }

// Placeholder: no list is loaded, so there is nothing to load.
int32_t MV2LoadSounds() { return 1; }

// Placeholder: nothing was started.
void MV2ShutdownSounds() {}

// Placeholder: there are no channels to reset.
void MV2ResetSounds() {}

// Placeholder: sound is off.
int32_t MV2RequestSoundPause(int32_t) { return 0; }

// Placeholder: there are no voices to update.
void MV2UpdateSounds() {}

// Placeholder: no speech plays.
void MV2StopSpeech() {}

// Placeholder: no speech plays.
void MV2PauseSpeech() {}

// Placeholder: no speech plays.
void MV2ResumeSpeech() {}

// Placeholder: the music queue is not built; nothing plays.
void MV2ResetMusic() {}

// Placeholder: the music queue is not built; nothing starts.
int32_t MV2StartMusic() { return 0; }

// Placeholder: no music plays.
void MV2PauseMusic() {}

// Placeholder: no music plays.
void MV2ResumeMusic() {}

// Placeholder: no music plays.
void MV2MusicStop() {}
