#include "shell/voices.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/objects/camera.h"
#include "shell/gamemain.h"
#include "game/objects/objectsounds.h"
#include "game/objects/water.h"
#include "shell/audio.h"
#include "shell/cdaudio.h"
#include "shell/resfile.h"
#include "shell/sounds.h"

#include <cstdio>
#include <new>
#include <vector>

namespace {

struct VoiceSystem {
    bool started = false;
    MV2SoundVoice active{}; // sentinel of the active list
    int32_t limit = kMV2VoiceLimit;
    float master = 1.0f;
    int32_t sfxVolume = 100;
    int32_t speechVolume = 100;
    bool speechStarted = false;
    bool speechPlaying = false;
    int32_t cameraMode = 0;
};

VoiceSystem g_voices;
// Scratch of the ordering, kept between frames.
std::vector<MV2SoundVoice*> g_order;
std::vector<MV2SoundVoice*> g_merge;
std::vector<MV2SoundVoice*> g_records;

MV2SoundVoice* Sentinel() {
    MV2SoundVoice* s = &g_voices.active;
    if (!s->next) s->next = s->prev = s;
    return s;
}

void Link(MV2SoundVoice* v) {
    MV2SoundVoice* head = Sentinel();
    v->next = head->next;
    v->prev = head;
    head->next->prev = v;
    head->next = v;
}

void Unlink(MV2SoundVoice* v) {
    if (!v->next) return;
    v->prev->next = v->next;
    v->next->prev = v->prev;
    v->next = v->prev = nullptr;
}

float Key(const MV2SoundVoice* v) {
    return (v->is3d ? v->pan : v->volume) + float(v->priority);
}

// Stable merge sort, loudest first, over the scratch arrays.
void SortByKey(std::vector<MV2SoundVoice*>& a) {
    size_t n = a.size();
    bool sorted = true;
    for (size_t i = 1; i < n && sorted; ++i)
        sorted = !(Key(a[i]) > Key(a[i - 1]));
    if (sorted) return;
    if (g_merge.size() < n) g_merge.resize(n);
    MV2SoundVoice** from = a.data();
    MV2SoundVoice** to = g_merge.data();
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            size_t mid = lo + width < n ? lo + width : n;
            size_t hi = lo + 2 * width < n ? lo + 2 * width : n;
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                to[k++] = Key(from[j]) > Key(from[i]) ? from[j++] : from[i++];
            while (i < mid)
                to[k++] = from[i++];
            while (j < hi)
                to[k++] = from[j++];
        }
        MV2SoundVoice** t = from;
        from = to;
        to = t;
    }
    if (from != a.data())
        for (size_t i = 0; i < n; ++i)
            a[i] = from[i];
}

// Orders the active list loudest first; among equal keys the first voice of each run moves to
// the run's end, so that equals take turns from frame to frame.
void OrderActive() {
    MV2SoundVoice* head = Sentinel();
    g_order.clear();
    for (MV2SoundVoice* v = head->next; v != head; v = v->next)
        g_order.push_back(v);
    SortByKey(g_order);
    size_t n = g_order.size();
    for (size_t start = 0; start < n;) {
        size_t end = start + 1;
        while (end < n && Key(g_order[end]) == Key(g_order[start]))
            ++end;
        if (end - start > 1) {
            MV2SoundVoice* first = g_order[start];
            for (size_t i = start; i + 1 < end; ++i)
                g_order[i] = g_order[i + 1];
            g_order[end - 1] = first;
        }
        start = end;
    }
    MV2SoundVoice* prev = head;
    for (MV2SoundVoice* v : g_order) {
        prev->next = v;
        v->prev = prev;
        prev = v;
    }
    prev->next = head;
    head->prev = prev;
}

// Releases the mixer voice; a released voice leaves the list as stopped, else it waits in 0.
void ReleaseOrWait(MV2SoundVoice* v) {
    if (MV2AudioReleaseSample(v->sample)) {
        Unlink(v);
        v->state = kMV2VoiceStopped;
    } else {
        v->state = kMV2VoiceStopAsked;
    }
}

void SpeechVolume() {
    MV2AudioSetStreamVolume(float(g_voices.speechVolume) * 0.01f * 0.8f);
}

int32_t Percent(int32_t value) {
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

} // namespace

int32_t MV2StartVoiceSystem(int32_t bits, int32_t rate, int32_t pool, int32_t limit) {
    if (g_voices.started) return 1;
    if (!MV2AudioStartup(bits, rate, pool)) return 0;
    Sentinel();
    g_voices.limit = limit > 0 ? limit : kMV2VoiceLimit;
    g_voices.started = true;
    MV2AudioSetCutoff(0.0f);
    return 1;
}

void MV2StopVoiceSystem() {
    if (!g_voices.started) return;
    MV2SoundVoice* head = Sentinel();
    while (head->next != head) {
        MV2SoundVoice* v = head->next;
        Unlink(v);
        v->state = kMV2VoiceStopped;
    }
    for (MV2SoundVoice* v : g_records) {
        MV2AudioFreeSample(v->sample);
        delete v;
    }
    g_records.clear();
    MV2AudioShutdown();
    g_voices.started = false;
    g_voices.speechStarted = g_voices.speechPlaying = false;
}

MV2SoundVoice* MV2CreateVoice(const char* file, int32_t is3d, int32_t) {
    if (!g_voices.started || !file) return nullptr;
    MV2AudioSample* sample = MV2AudioLoadSample(file, is3d);
    if (!sample) return nullptr;
    MV2SoundVoice* v = new (std::nothrow) MV2SoundVoice{};
    if (!v) {
        MV2AudioFreeSample(sample);
        return nullptr;
    }
    v->sample = sample;
    v->state = kMV2VoiceStopped;
    v->is3d = is3d ? 1 : 0;
    v->volume = 1.0f;
    v->rate = 22050;
    g_records.push_back(v);
    return v;
}

int32_t MV2CopyVoice(MV2SoundVoice* voice, MV2SoundVoice** out) {
    if (!out) return 0;
    *out = nullptr;
    if (!g_voices.started || !voice) return 0;
    MV2AudioSample* sample = MV2AudioCopySample(voice->sample);
    if (!sample) return 0;
    MV2SoundVoice* v = new (std::nothrow) MV2SoundVoice(*voice);
    if (!v) {
        MV2AudioFreeSample(sample);
        return 0;
    }
    v->next = v->prev = nullptr;
    v->sample = sample;
    v->state = kMV2VoiceStopped;
    g_records.push_back(v);
    *out = v;
    return 1;
}

void MV2StartVoice(MV2SoundVoice* v, int32_t loop) {
    if (!v) return;
    if (v->state == kMV2VoiceStopped)
        Link(v);
    else
        MV2AudioReleaseSample(v->sample);
    v->loop = static_cast<uint32_t>(loop);
    v->state = kMV2VoiceStartAsked;
}

void MV2StopVoice(MV2SoundVoice* v) {
    if (!v || v->state == kMV2VoiceStopped) return;
    ReleaseOrWait(v);
}

void MV2SetVoiceVolume(MV2SoundVoice* v, float volume) {
    if (v) v->volume = volume;
}

void MV2SetVoiceRate(MV2SoundVoice* v, uint32_t rate) {
    if (v) v->rate = rate;
}

void MV2SetVoicePan(MV2SoundVoice* v, float pan) {
    if (v) v->pan = pan;
}

void MV2SetVoiceLowPass(MV2SoundVoice* v, int32_t on) {
    if (v) v->lowPass = on ? 1 : 0;
}

int32_t MV2SetVoicePriority(MV2SoundVoice* v, int32_t priority) {
    if (!v || priority < 0) return 0;
    v->priority = static_cast<uint32_t>(priority);
    return 1;
}

uint32_t MV2GetVoiceRate(const MV2SoundVoice* v) {
    return v ? MV2AudioOwnRate(v->sample) : 0;
}

int32_t MV2IsVoiceBusy(const MV2SoundVoice* v) {
    return v && v->state != kMV2VoiceStopped;
}

MV2SoundVoice* MV2FirstActiveVoice() {
    MV2SoundVoice* head = Sentinel();
    return head->next == head ? nullptr : head->next;
}

MV2SoundVoice* MV2NextActiveVoice(const MV2SoundVoice* v) {
    MV2SoundVoice* head = Sentinel();
    return !v || !v->next || v->next == head ? nullptr : v->next;
}

void MV2UpdateSoundVoices() {
    if (!g_voices.started) return;
    OrderActive();
    MV2SoundVoice* head = Sentinel();
    int32_t i = 0;
    for (MV2SoundVoice* v = head->next; v != head;) {
        MV2SoundVoice* next = v->next;
        if (v->state == kMV2VoiceStopAsked) {
            if (MV2AudioReleaseSample(v->sample)) {
                Unlink(v);
                v->state = kMV2VoiceStopped;
                v = next;
                continue;
            }
        }
        if (v->state == kMV2VoicePausedHeld && MV2AudioReleaseSample(v->sample))
            v->state = kMV2VoicePausedFreed;
        if (i < g_voices.limit && v->volume >= 0.01f) {
            if (v->state == kMV2VoiceStartAsked) {
                MV2AudioSetLowPass(v->sample, int32_t(v->lowPass));
                MV2AudioSetVolume(v->sample, v->volume * g_voices.master);
                MV2AudioSetRate(v->sample, v->rate);
                MV2AudioSetPan(v->sample, MV2GetSoundMono() ? 0.0f : v->pan);
                if (MV2AudioStartSample(v->sample, int32_t(v->loop))) v->state = kMV2VoicePlaying;
            } else if (v->state == kMV2VoiceStopAsked) {
                v->state = kMV2VoicePlaying;
            } else if (v->state == kMV2VoicePlaying) {
                MV2AudioSetVolume(v->sample, v->volume * g_voices.master);
                MV2AudioSetRate(v->sample, v->rate);
                if (!v->is3d) MV2AudioSetPan(v->sample, MV2GetSoundMono() ? 0.0f : v->pan);
                if (v->sample->lowPass != v->lowPass)
                    MV2AudioSetLowPass(v->sample, int32_t(v->lowPass));
                MV2AudioApplyParams(v->sample);
                if (!MV2AudioIsPlaying(v->sample)) ReleaseOrWait(v);
            }
        } else if (v->state == kMV2VoicePlaying) {
            if (!v->loop) {
                MV2StopVoice(v);
            } else {
                MV2AudioReleaseSample(v->sample);
                v->state = kMV2VoiceStartAsked;
            }
        }
        ++i;
        v = next;
    }
    MV2AudioServiceStream();
}

void MV2PauseAllVoices(int32_t on) {
    MV2SoundVoice* head = Sentinel();
    for (MV2SoundVoice* v = head->next; v != head;) {
        MV2SoundVoice* next = v->next;
        if (on) {
            if (v->state != kMV2VoiceStopped) {
                if (v->loop)
                    v->state = MV2AudioReleaseSample(v->sample) ? kMV2VoicePausedFreed
                                                                : kMV2VoicePausedHeld;
                else
                    MV2StopVoice(v);
            }
        } else if (v->state == kMV2VoicePausedFreed) {
            v->state = kMV2VoiceStartAsked;
        } else if (v->state == kMV2VoicePausedHeld) {
            v->state = kMV2VoicePlaying;
        }
        v = next;
    }
}

void MV2SetMasterVolume(float volume) {
    g_voices.master = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
}

float MV2GetMasterVolume() {
    return g_voices.master;
}

void MV2SetSfxVolume(int32_t percent) {
    g_voices.sfxVolume = Percent(percent);
    g_voices.master = float(g_voices.sfxVolume) * 0.01f;
    MV2UpdateSounds();
}

// Rounded to the nearest percent: the single-precision master volume of most percentages
// lies just below them (0.29 x 100 = 28.99...).
int32_t MV2GetSfxVolume() {
    g_voices.sfxVolume = static_cast<int32_t>(g_voices.master * 100.0f + 0.5f);
    return g_voices.sfxVolume;
}

void MV2SetSpeechVolume(int32_t percent) {
    g_voices.speechVolume = Percent(percent);
    if (g_voices.speechPlaying) SpeechVolume();
}

int32_t MV2GetSpeechVolume() {
    return g_voices.speechVolume;
}

int32_t MV2StartSpeech() {
    if (!MV2AudioStartStreamService()) return 0;
    g_voices.speechStarted = true;
    return 1;
}

void MV2StopSpeechService() {
    MV2AudioStopStreamService();
    g_voices.speechStarted = false;
    g_voices.speechPlaying = false;
}

int32_t MV2PlaySpeech(const char* name, uint32_t rate, int32_t loopCount) {
    if (!g_voices.speechStarted || !name) return 0;
    SpeechVolume();
    MV2StopSpeech();
    MV2AudioSetStreamRate(rate);
    char path[300];
    const char* data = "";
    if (MV2LanguageFolderIndex > 0 && MV2LanguageFolderIndex < 7) {
        std::snprintf(path, sizeof path, "%s%s%s\\%s.WAV", data, "SOUND\\",
                      MV2LanguageFolders[MV2LanguageFolderIndex], name);
        if (MV2AudioPlayStream(path, loopCount)) {
            g_voices.speechPlaying = true;
            return 1;
        }
    }
    std::snprintf(path, sizeof path, "%s%s%s.WAV", data, "SOUND\\", name);
    if (MV2AudioPlayStream(path, loopCount)) {
        g_voices.speechPlaying = true;
        return 1;
    }
    return 0;
}

void MV2StopSpeech() {
    MV2AudioStopStream();
    g_voices.speechPlaying = false;
}

void MV2PauseSpeech() {
    MV2AudioPauseStream();
}

void MV2ResumeSpeech() {
    MV2AudioResumeStream();
}

int32_t MV2IsSpeechPlaying() {
    if (g_voices.speechPlaying && !MV2AudioStreamOpen()) g_voices.speechPlaying = false;
    return g_voices.speechPlaying ? 1 : 0;
}

float MV2GetWavDuration(const char* name) {
    if (!name) return 0.0f;
    char path[300];
    std::snprintf(path, sizeof path, "%sSound\\%s.wav", "", name);
    return float(MV2AudioWavFrames(path)) / 22050.0f;
}

float MV2DepthFilterValue(float y, float w, float b) {
    // A depth reference at the surface leaves no depth to measure against.
    if (w == b) return 0.0f;
    float t = (y - w) * 600.0f / (w - b);
    if (!(t < 0.0f)) return 0.0f;
    float u = -t * (1.0f / 300.0f);
    if (u == 0.0f) return 0.0f;
    return 0.95f + 0.05f * (u < 0.5f ? u : 0.5f);
}

void MV2RecordSoundCameraMode() {
    g_voices.cameraMode = MV2GetCameraMode();
}

void MV2UpdateSounds() {
    MV2AudioServiceStream();
    if (MV2World) {
        MV2UpdateObjectSounds();
        int32_t mode = MV2GetCameraMode();
        if (mode != g_voices.cameraMode) {
            MV2SetLoopedSoundsLowPass(mode != 1);
            g_voices.cameraMode = mode;
        }
    }
    if (gMV2MainCamera && gMV2MainCamera->object.frame) {
        const TvV3d position = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
        MV2AudioSetCutoff(MV2DepthFilterValue(position.y, MV2GetWaterHeight(&position),
                                              MV2GetWorldDepthReference()));
    }
    MV2UpdateSoundVoices();
    MV2UpdateMusicFade();
    MV2UpdateMusic();
    int32_t pause = 0;
    if (MV2TakeSoundPauseRequest(&pause)) MV2PauseAllVoices(pause);
}
