#include "shell/cdaudio.h"

#include "engine/world/random.h"
#include "platform/sound/mss.h"

const MV2CdCalls kMV2LibraryCdCalls = {
    AIL_redbook_open,   AIL_redbook_close,      AIL_redbook_tracks, AIL_redbook_track_info,
    AIL_redbook_play,   AIL_redbook_stop,       AIL_redbook_pause,  AIL_redbook_resume,
    AIL_redbook_status, AIL_redbook_set_volume, AIL_ms_count,
};
MV2CdCalls gMV2CdCalls = kMV2LibraryCdCalls;

namespace {

struct CdLayer {
    MssRedbook* drive = nullptr;
    bool opened = false;
    uint32_t tracks = 0;
    int32_t loopTrack = 0;
    uint32_t loopEnd = 0; // 0: not looping
    uint32_t pausedAt = 0;
    float volume = 1.0f;
};

struct Entry {
    int32_t track;
    uint32_t played;
};

struct Queue {
    int32_t state = kMV2MusicStopped;
    int32_t savedState = kMV2MusicStopped;
    Entry list[kMV2MusicTracks]{};
    int32_t count = 0;
    int32_t chosen = -1;
    int32_t repeat = 0;
    int32_t current = 0;
    float volume = 1.0f;
    int32_t special = 0;
    bool specialSet = false;
    int32_t specialLooping = 0;
    uint32_t delay = 0;
    uint32_t delayStart = 0;
    int32_t gapMin = 0;
    int32_t gapMax = 0;
    uint32_t gapEnd = 0;
};

struct MusicControl {
    int32_t track = 0;
    int32_t repeat = 0;
    bool started = false;
    int32_t special = 0;
    float from = 1.0f, target = 1.0f;
    uint32_t start = 0, end = 0;
    float current = 1.0f;
    bool fading = false;
    float musicVolume = 1.0f;
    uint32_t pausedAt = 0;
};

CdLayer g_cd;
Queue g_queue;
MusicControl g_music;

uint32_t Now() {
    return gMV2CdCalls.clock();
}

// Random numbers from the engine's generator.
int32_t Random() {
    return TvRandom();
}

void ClearPlayed() {
    for (int32_t i = 0; i < g_queue.count; ++i)
        g_queue.list[i].played = 0;
}

} // namespace

// CD layer -------------------------------------------------------------------------------

int32_t MV2CdOpen() {
    if (g_cd.opened) return 1;
    g_cd.drive = gMV2CdCalls.open(0);
    if (!g_cd.drive) return 0;
    g_cd.opened = true;
    g_cd.tracks = gMV2CdCalls.tracks(g_cd.drive);
    return 1;
}

void MV2CdClose() {
    if (!g_cd.drive) return;
    gMV2CdCalls.setVolume(g_cd.drive, 127);
    gMV2CdCalls.close(g_cd.drive);
    g_cd = CdLayer{};
}

int32_t MV2CdIsOpen() {
    return g_cd.drive ? 1 : 0;
}

int32_t MV2CdPlay(int32_t track, int32_t looping) {
    if (!g_cd.drive || track < 1 || uint32_t(track) > g_cd.tracks) return 0;
    uint32_t start = 0, end = 0;
    gMV2CdCalls.trackInfo(g_cd.drive, uint32_t(track), &start, &end);
    gMV2CdCalls.play(g_cd.drive, start + 1, end);
    if (looping) {
        g_cd.loopTrack = track;
        g_cd.loopEnd = Now() + (end - start);
    } else {
        g_cd.loopEnd = 0;
    }
    return 1;
}

void MV2CdServiceLooping() {
    if (!g_cd.drive || !g_cd.loopEnd) return;
    if (int32_t(Now() - g_cd.loopEnd) >= 0) MV2CdPlay(g_cd.loopTrack, 1);
}

void MV2CdStop() {
    g_cd.loopEnd = 0;
    if (g_cd.drive) gMV2CdCalls.stop(g_cd.drive);
}

void MV2CdSetVolume(float volume) {
    g_cd.volume = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
    if (g_cd.drive) gMV2CdCalls.setVolume(g_cd.drive, int32_t(g_cd.volume * 127.0f));
}

float MV2CdGetVolume() {
    return g_cd.volume;
}

void MV2CdPause() {
    if (!g_cd.drive) return;
    g_cd.pausedAt = Now();
    gMV2CdCalls.pause(g_cd.drive);
}

void MV2CdResume() {
    if (!g_cd.drive) return;
    if (g_cd.loopEnd) g_cd.loopEnd += Now() - g_cd.pausedAt;
    gMV2CdCalls.resume(g_cd.drive);
}

int32_t MV2CdStatus(int32_t* finished) {
    if (finished) *finished = 0;
    if (!g_cd.drive) return 0;
    if (finished) *finished = gMV2CdCalls.status(g_cd.drive) == REDBOOK_STOPPED ? 1 : 0;
    return 1;
}

// Queue ----------------------------------------------------------------------------------

void MV2MusicStop() {
    MV2CdStop();
    g_queue.state = kMV2MusicStopped;
}

void MV2MusicShutdown() {
    MV2MusicStop();
    MV2CdClose();
}

int32_t MV2MusicAddTrack(int32_t track, int32_t choose) {
    if (g_queue.count >= kMV2MusicTracks) return 0;
    if (choose) g_queue.chosen = g_queue.count;
    for (int32_t i = 0; i < g_queue.count; ++i) {
        if (g_queue.list[i].track == track) {
            g_queue.list[i].played = 0;
            return 1;
        }
    }
    g_queue.list[g_queue.count++] = {track, 0};
    return 1;
}

void MV2MusicClear() {
    if (g_queue.state != kMV2MusicStopped) MV2MusicStop();
    g_queue.count = 0;
    g_queue.specialSet = false;
    g_queue.special = 0;
    g_queue.delay = 0;
    g_queue.delayStart = 0;
    g_queue.chosen = -1;
}

int32_t MV2MusicPlay(int32_t repeat) {
    if (g_queue.state != kMV2MusicStopped) return 0;
    if (g_queue.count == 0 && !g_queue.specialSet) return 0;
    ClearPlayed();
    g_queue.repeat = repeat;
    int32_t index = -1;
    int32_t track = 0;
    if (g_queue.specialSet) {
        track = g_queue.special;
    } else {
        index = g_queue.chosen >= 0 && g_queue.chosen < g_queue.count
                    ? g_queue.chosen
                    : Random() & (g_queue.count - 1);
        if (index >= g_queue.count) index = g_queue.count - 1;
        track = g_queue.list[index].track;
    }
    if (!MV2CdPlay(track + 1, 0)) return 0;
    g_queue.current = track;
    if (!repeat && index >= 0) g_queue.list[index].played = 1;
    g_queue.state = kMV2MusicPlaying;
    return 1;
}

int32_t MV2MusicPlayTrack(int32_t track, float delaySeconds, int32_t looping, int32_t add) {
    if (add) MV2MusicAddTrack(track, 1);
    if (delaySeconds != 0.0f && g_queue.state != kMV2MusicStopped) {
        g_queue.special = track;
        g_queue.specialSet = true;
        g_queue.specialLooping = looping;
        g_queue.delay = uint32_t(delaySeconds * 1000.0f);
        g_queue.delayStart = Now();
        g_queue.state = kMV2MusicSwitching;
        return 1;
    }
    if (!MV2CdPlay(track + 1, looping)) return 0;
    g_queue.current = track;
    g_queue.special = track;
    g_queue.specialSet = true;
    g_queue.state = kMV2MusicPlaying;
    return 1;
}

int32_t MV2MusicStopTrack() {
    if (g_queue.state == kMV2MusicStopped) return 0;
    MV2CdStop();
    g_queue.state = kMV2MusicGap;
    g_queue.gapEnd = Now();
    g_queue.specialSet = false;
    return 1;
}

int32_t MV2SetMusicGap(int32_t minSeconds, int32_t maxSeconds) {
    if (minSeconds < 0 || minSeconds > maxSeconds) return 0;
    g_queue.gapMin = minSeconds;
    g_queue.gapMax = maxSeconds;
    return 1;
}

void MV2MusicSetVolume(float volume) {
    g_queue.volume = volume;
    MV2CdSetVolume(volume);
}

void MV2MusicPause() {
    MV2CdPause();
    g_queue.savedState = g_queue.state;
    g_queue.state = kMV2MusicPaused;
}

void MV2MusicResume() {
    MV2CdResume();
    g_queue.state = g_queue.savedState;
}

int32_t MV2MusicCurrentTrack() {
    return g_queue.state == kMV2MusicPlaying ? g_queue.current : 0;
}

int32_t MV2MusicState() {
    return g_queue.state;
}

int32_t MV2MusicPlaylistCount() {
    return g_queue.count;
}

void MV2UpdateMusic() {
    Queue& q = g_queue;
    if (q.state == kMV2MusicPlaying) {
        int32_t finished = 0;
        if (MV2CdStatus(&finished) && finished) {
            q.specialSet = false;
            q.current = 0;
            if (q.count == 0) {
                q.state = kMV2MusicStopped;
            } else {
                int32_t span = (Random() & (q.gapMax - q.gapMin)) + q.gapMin;
                q.gapEnd = Now() + uint32_t(span) * 1000u;
                q.state = kMV2MusicGap;
            }
        }
    } else if (q.state == kMV2MusicGap && int32_t(Now() - q.gapEnd) >= 0) {
        if (q.count == 0) {
            q.state = kMV2MusicStopped;
        } else {
            int32_t i = Random() & (q.count - 1);
            if (i >= q.count) i = q.count - 1;
            bool found = true;
            if (!q.repeat) {
                found = false;
                for (int32_t k = 0; k < q.count && !found; ++k) {
                    int32_t at = (i + k) % q.count;
                    if (!q.list[at].played) {
                        i = at;
                        found = true;
                    }
                }
            }
            if (!found) {
                MV2MusicStop();
            } else if (MV2CdPlay(q.list[i].track + 1, 0)) {
                q.current = q.list[i].track;
                if (!q.repeat) q.list[i].played = 1;
                q.specialSet = false;
                q.state = kMV2MusicPlaying;
            } else {
                MV2MusicStop();
            }
        }
    } else if (q.state == kMV2MusicSwitching) {
        float t = q.delay ? float(Now() - q.delayStart) / float(q.delay) : 1.0f;
        if (t < 0.5f) {
            MV2CdSetVolume((0.5f - t) * 2.0f * q.volume);
        } else {
            if (q.current != q.special) {
                if (MV2CdPlay(q.special + 1, q.specialLooping)) q.current = q.special;
            }
            MV2CdSetVolume((t - 0.5f) * 2.0f * q.volume);
            if (t >= 1.0f) {
                MV2CdSetVolume(q.volume);
                q.state = kMV2MusicPlaying;
            }
        }
    }
    MV2CdServiceLooping();
}

// Music control --------------------------------------------------------------------------

void MV2InitialiseMusic() {
    MV2MusicShutdown();
    g_music.track = 0;
    g_music.repeat = 0;
    g_music.started = false;
    g_music.special = 0;
}

int32_t MV2AddMusicTrack(int32_t track, int32_t repeat) {
    if (track < 0) return 0;
    if (g_music.started) {
        g_music.started = false;
        MV2MusicClear();
    }
    g_music.track = track;
    g_music.repeat = repeat;
    return MV2MusicAddTrack(track, 0);
}

int32_t MV2StartMusic() {
    MV2MusicStop();
    if (g_music.track < 1) return 0;
    g_queue.specialSet = false;
    if (!MV2MusicPlay(g_music.repeat)) return 0;
    g_music.started = true;
    return 1;
}

void MV2ResetMusic() {
    MV2MusicStop();
    MV2MusicClear();
    g_music.from = 1.0f;
    g_music.current = 1.0f;
    g_music.target = 1.0f;
    g_music.start = g_music.end = 0;
    g_music.fading = true;
    g_music.special = 0;
    g_music.track = 0;
    g_music.started = false;
}

void MV2SetCdVolume(int32_t percent) {
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    g_music.musicVolume = float(percent) * 0.01f;
    MV2MusicSetVolume(g_music.musicVolume);
}

// Rounded to the nearest percent, as the effects volume.
int32_t MV2GetCdVolume() {
    return int32_t(g_music.musicVolume * 100.0f + 0.5f);
}

void MV2PlayMusicTrack(int32_t track) {
    g_music.special = track;
    MV2MusicPlayTrack(track, 6.0f, 1, 0);
}

void MV2StopMusicTrack() {
    g_music.special = 0;
    MV2MusicStopTrack();
}

void MV2PauseMusic() {
    g_music.pausedAt = Now();
    MV2UpdateMusicFade();
    MV2MusicPause();
}

void MV2ResumeMusic() {
    MV2MusicResume();
}

void MV2FadeMusic(float target, float seconds) {
    g_music.from = g_music.current;
    g_music.start = Now();
    g_music.end = g_music.start + uint32_t(seconds * 1000.0f);
    g_music.target = target;
    g_music.fading = true;
}

void MV2UpdateMusicFade() {
    MusicControl& m = g_music;
    if (!m.fading) return;
    uint32_t now = Now();
    if (int32_t(now - m.start) >= 0 && int32_t(m.end - now) > 0 && m.current != m.target) {
        m.current = m.from - float(now - m.start) / float(m.end - m.start) * (m.from - m.target);
        MV2MusicSetVolume(m.musicVolume * m.current);
        return;
    }
    if (m.target == 1.0f) {
        m.fading = false;
    } else if (m.target == 0.0f) {
        MV2MusicStop();
        MV2MusicClear();
        m.special = 0;
        m.track = 0;
        m.started = false;
        m.current = 0.0f;
        m.target = 1.0f;
        m.fading = false;
    } else if (m.current != m.target) {
        MV2MusicSetVolume(m.musicVolume * m.target);
        m.current = m.target;
    }
}
