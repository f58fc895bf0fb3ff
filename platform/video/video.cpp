#include "platform/video/video.h"

#include "platform/crt/crt.h"
#include "platform/sound/mss.h"
#include "platform/video/video_io.h"
#include "platform/winmm/winmm.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

// Pictures larger than this are refused at open; a movie is drawn into an engine raster.
constexpr int kMaxSide = 4096;
// Video packets held while the sound is read ahead of the pictures.
constexpr uint32_t kAheadPackets = 32;
// The sound-track frames the resampler takes.
constexpr int kMinAudioRate = 1000;
constexpr int kMaxAudioRate = 192000;
constexpr int kMaxAudioChannels = 16;

struct VidMovieState {
    FILE* file = nullptr;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    int videoIndex = -1;
    AVFrame* frame = nullptr;   // being decoded
    AVFrame* picture = nullptr; // the last decoded picture
    bool havePicture = false;
    AVPacket* packet = nullptr;
    bool fileEnded = false; // every packet has been read
    bool flushed = false;   // the end of the file was sent to the decoder
    AVPacket* ahead[kAheadPackets] = {}; // video packets read ahead, a ring
    uint32_t aheadFirst = 0;
    uint32_t aheadCount = 0;
    bool ended = false;   // no picture will come any more
    uint32_t openTime = 0;

    SwsContext* sws = nullptr;
    std::vector<uint8_t> scratch; // a whole converted picture when the target cuts it

    // Sound.
    AVCodecContext* audio = nullptr;
    int audioIndex = -1;
    AVFrame* audioFrame = nullptr;
    SwrContext* swr = nullptr;
    int swrFormat = -1;
    int swrRate = 0;
    AVChannelLayout swrLayout{};
    uint32_t outRate = 0;
    std::vector<int16_t> pcm;
    MssPcmStream* stream = nullptr;
    bool soundOn = false;
};

namespace {

HDIGDRIVER g_soundDriver = nullptr;

void FreeState(VidMovieState* s) {
    if (s->stream) MssClosePcm(s->stream);
    swr_free(&s->swr);
    av_channel_layout_uninit(&s->swrLayout);
    av_frame_free(&s->audioFrame);
    avcodec_free_context(&s->audio);
    sws_freeContext(s->sws);
    av_packet_free(&s->packet);
    for (AVPacket*& p : s->ahead)
        av_packet_free(&p);
    av_frame_free(&s->picture);
    av_frame_free(&s->frame);
    avcodec_free_context(&s->video);
    avformat_close_input(&s->format);
    VidCloseFileIo(&s->io);
    if (s->file) std::fclose(s->file);
    delete s;
}

// Nested files (playlists, concatenations) are never opened: a movie is one file.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

AVCodecContext* OpenDecoder(AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) return nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "threads", "1", 0);
    av_dict_set_int(&options, "max_pixels", int64_t(kMaxSide) * kMaxSide, 0);
    bool ok = avcodec_parameters_to_context(c, stream->codecpar) >= 0 &&
              avcodec_open2(c, codec, &options) >= 0;
    av_dict_free(&options);
    if (!ok) avcodec_free_context(&c);
    return c;
}

uint32_t RoundRate(AVRational r) {
    if (r.num <= 0 || r.den <= 0) return 0;
    int64_t v = (int64_t(r.num) + r.den / 2) / r.den;
    return uint32_t(std::min<int64_t>(v, INT32_MAX));
}

uint32_t FrameCount(const AVFormatContext* format, const AVStream* stream, AVRational rate) {
    int64_t count = stream->nb_frames;
    if (count <= 0 && rate.num > 0 && rate.den > 0) {
        AVRational perFrame = av_inv_q(rate);
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            count = av_rescale_q(stream->duration, stream->time_base, perFrame);
        else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
            count = av_rescale_q(format->duration, AVRational{1, AV_TIME_BASE}, perFrame);
    }
    if (count <= 0) return 0;
    return uint32_t(std::min<int64_t>(count, INT32_MAX));
}

void OpenSound(VidMovieState* s) {
    if (!g_soundDriver) return;
    int index = av_find_best_stream(s->format, AVMEDIA_TYPE_AUDIO, -1, s->videoIndex, nullptr, 0);
    if (index < 0) return;
    AVStream* stream = s->format->streams[index];
    s->audio = OpenDecoder(stream);
    s->audioFrame = av_frame_alloc();
    if (!s->audio || !s->audioFrame) return;
    int rate = stream->codecpar->sample_rate;
    s->outRate = rate >= 8000 && rate <= 48000 ? uint32_t(rate) : 22050;
    for (AVPacket*& p : s->ahead)
        if (!(p = av_packet_alloc())) return;
    s->stream = MssOpenPcmStream(g_soundDriver, s->outRate, 2);
    if (!s->stream) return;
    s->audioIndex = index;
    stream->discard = AVDISCARD_DEFAULT;
    s->soundOn = true;
    MssPlayPcm(s->stream);
}

// Resamples one decoded audio frame to 16-bit stereo and queues it.
void PushAudio(VidMovieState* s, AVFrame* f) {
    // A damaged stream can state any rate or channel count; the resampler's set-up grows with
    // the ratio of rates, so frames outside what a sound track can be are dropped.
    if (f->nb_samples <= 0 || f->sample_rate < kMinAudioRate || f->sample_rate > kMaxAudioRate ||
        f->ch_layout.nb_channels <= 0 || f->ch_layout.nb_channels > kMaxAudioChannels)
        return;
    if (!s->swr || f->format != s->swrFormat || f->sample_rate != s->swrRate ||
        av_channel_layout_compare(&f->ch_layout, &s->swrLayout) != 0) {
        swr_free(&s->swr);
        av_channel_layout_uninit(&s->swrLayout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&s->swr, &stereo, AV_SAMPLE_FMT_S16, int(s->outRate),
                                &f->ch_layout, AVSampleFormat(f->format), f->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(s->swr) < 0) {
            swr_free(&s->swr);
            return;
        }
        s->swrFormat = f->format;
        s->swrRate = f->sample_rate;
        if (av_channel_layout_copy(&s->swrLayout, &f->ch_layout) < 0) {
            swr_free(&s->swr);
            return;
        }
    }
    int room = swr_get_out_samples(s->swr, f->nb_samples);
    if (room <= 0) return;
    if (s->pcm.size() < size_t(room) * 2) s->pcm.resize(size_t(room) * 2);
    uint8_t* out = reinterpret_cast<uint8_t*>(s->pcm.data());
    int n = swr_convert(s->swr, &out, room, const_cast<const uint8_t**>(f->extended_data),
                        f->nb_samples);
    if (n > 0) MssPushPcm(s->stream, s->pcm.data(), uint32_t(n));
}

void DecodeAudio(VidMovieState* s, const AVPacket* packet) {
    if (!s->soundOn || avcodec_send_packet(s->audio, packet) < 0) return;
    while (avcodec_receive_frame(s->audio, s->audioFrame) >= 0) {
        PushAudio(s, s->audioFrame);
        av_frame_unref(s->audioFrame);
    }
}

// The next video packet into s->packet, from those read ahead or from the file; audio packets
// met on the way are played. False at the end of the file.
bool ReadVideoPacket(VidMovieState* s) {
    if (s->aheadCount > 0) {
        av_packet_move_ref(s->packet, s->ahead[s->aheadFirst]);
        s->aheadFirst = (s->aheadFirst + 1) % kAheadPackets;
        --s->aheadCount;
        return true;
    }
    while (!s->fileEnded) {
        if (av_read_frame(s->format, s->packet) < 0) {
            s->fileEnded = true; // the end, or data that cannot be read
            break;
        }
        if (s->packet->stream_index == s->videoIndex) return true;
        if (s->packet->stream_index == s->audioIndex) DecodeAudio(s, s->packet);
        av_packet_unref(s->packet);
    }
    return false;
}

// Keeps a quarter of a second of sound queued, so that it plays on without gaps between the
// pictures: reads on, holding the video packets met for later.
void ReadSoundAhead(VidMovieState* s) {
    if (!s->soundOn) return;
    while (!s->fileEnded && s->aheadCount < kAheadPackets &&
           MssPcmQueuedFrames(s->stream) < s->outRate / 4) {
        AVPacket* p = s->ahead[(s->aheadFirst + s->aheadCount) % kAheadPackets];
        if (av_read_frame(s->format, p) < 0) {
            s->fileEnded = true;
            break;
        }
        if (p->stream_index == s->videoIndex) {
            ++s->aheadCount;
            continue;
        }
        if (p->stream_index == s->audioIndex) DecodeAudio(s, p);
        av_packet_unref(p);
    }
}

AVPixelFormat TargetFormat(uint32_t format) {
    switch (format) {
    case VIDSURFACE32: return AV_PIX_FMT_BGRA;
    case VIDSURFACE555: return AV_PIX_FMT_RGB555LE;
    case VIDSURFACE565: return AV_PIX_FMT_RGB565LE;
    default: return AV_PIX_FMT_NONE;
    }
}

} // namespace

int32_t VidOpenMss(void* driver) {
    g_soundDriver = static_cast<HDIGDRIVER>(driver);
    return driver ? 1 : 0;
}

int32_t VidOpenDirectSound(void*) {
    return 0;
}

int32_t VidSetSoundSystem(VidSoundOpenFn open, void* param) {
    g_soundDriver = nullptr;
    return open ? open(param) : 0;
}

HVID VidOpen(const char* name, uint32_t) {
    if (!name) return nullptr;
    VidQuietLog();
    auto* s = new (std::nothrow) VidMovieState;
    if (!s) return nullptr;
    s->file = PlatformOpenFile(name, "rb");
    s->format = s->file ? avformat_alloc_context() : nullptr;
    s->io = s->format ? VidOpenFileIo(s->file, false) : nullptr;
    if (!s->io) {
        FreeState(s);
        return nullptr;
    }
    s->format->pb = s->io;
    s->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    s->format->io_open = RefuseNestedOpen;
    if (avformat_open_input(&s->format, nullptr, nullptr, nullptr) < 0) {
        s->format = nullptr; // freed by the failed open
        FreeState(s);
        return nullptr;
    }
    // The probe's decoders refuse oversized pictures too.
    std::vector<AVDictionary*> options(s->format->nb_streams, nullptr);
    for (AVDictionary*& d : options)
        av_dict_set_int(&d, "max_pixels", int64_t(kMaxSide) * kMaxSide, 0);
    int found = avformat_find_stream_info(s->format, options.empty() ? nullptr : options.data());
    for (AVDictionary*& d : options)
        av_dict_free(&d);
    s->videoIndex = found < 0 ? -1 : av_find_best_stream(s->format, AVMEDIA_TYPE_VIDEO, -1, -1,
                                                           nullptr, 0);
    if (s->videoIndex < 0) {
        FreeState(s);
        return nullptr;
    }
    AVStream* stream = s->format->streams[s->videoIndex];
    int w = stream->codecpar->width;
    int h = stream->codecpar->height;
    s->video = w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide ? OpenDecoder(stream) : nullptr;
    s->frame = av_frame_alloc();
    s->picture = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (!s->video || !s->frame || !s->picture || !s->packet) {
        FreeState(s);
        return nullptr;
    }
    for (unsigned i = 0; i < s->format->nb_streams; ++i)
        s->format->streams[i]->discard = int(i) == s->videoIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    OpenSound(s);

    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    auto* movie = new (std::nothrow) VidMovie{};
    if (!movie) {
        FreeState(s);
        return nullptr;
    }
    movie->width = uint32_t(w);
    movie->height = uint32_t(h);
    movie->frames = FrameCount(s->format, stream, rate);
    movie->currentFrame = 1;
    movie->frameRate = std::max<uint32_t>(RoundRate(rate), 1);
    movie->state = s;
    s->openTime = timeGetTime();
    return movie;
}

void VidClose(HVID movie) {
    if (!movie) return;
    FreeState(movie->state);
    delete movie;
}

int32_t VidSetSoundOnOff(HVID movie, int32_t on) {
    if (!movie || !movie->state->stream) return 0;
    VidMovieState* s = movie->state;
    if (on && !s->soundOn) {
        MssPlayPcm(s->stream);
    } else if (!on && s->soundOn) {
        MssStopPcm(s->stream);
        avcodec_flush_buffers(s->audio);
        swr_free(&s->swr); // no stale samples when the sound comes back
    }
    s->soundOn = on != 0;
    return s->soundOn ? 1 : 0;
}

int32_t VidWait(HVID movie) {
    if (!movie) return 0;
    uint64_t due = uint64_t(movie->currentFrame > 0 ? movie->currentFrame - 1 : 0) * 1000 /
                   movie->frameRate;
    uint32_t elapsed = timeGetTime() - movie->state->openTime;
    return uint64_t(elapsed) < due ? 1 : 0;
}

int32_t VidDoFrame(HVID movie) {
    if (!movie) return -1;
    VidMovieState* s = movie->state;
    while (!s->ended) {
        int r = avcodec_receive_frame(s->video, s->frame);
        if (r >= 0) {
            av_frame_unref(s->picture);
            av_frame_move_ref(s->picture, s->frame);
            s->havePicture = true;
            if (s->stream) ReadSoundAhead(s);
            return 0;
        }
        if (r != AVERROR(EAGAIN) || s->flushed) {
            s->ended = true;
            break;
        }
        if (!ReadVideoPacket(s)) {
            // Drain the pictures still in the decoder.
            s->flushed = true;
            avcodec_send_packet(s->video, nullptr);
            continue;
        }
        avcodec_send_packet(s->video, s->packet); // bad packets are skipped
        av_packet_unref(s->packet);
    }
    if (movie->currentFrame < movie->frames) movie->currentFrame = movie->frames;
    return -1;
}

int32_t VidCopyToBuffer(HVID movie, void* dest, uint32_t pitch, uint32_t height, uint32_t x,
                        uint32_t y, uint32_t format) {
    AVPixelFormat target = TargetFormat(format);
    if (!movie || !dest || target == AV_PIX_FMT_NONE || !movie->state->havePicture) return 0;
    VidMovieState* s = movie->state;
    const AVFrame* p = s->picture;
    const uint32_t bpp = format == VIDSURFACE32 ? 4 : 2;
    const uint32_t w = movie->width;
    const uint32_t h = movie->height;
    if (x >= pitch / bpp || y >= height) return 0;
    s->sws = sws_getCachedContext(s->sws, p->width, p->height, AVPixelFormat(p->format), int(w),
                                  int(h), target, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s->sws) return 0;
    const uint32_t columns = std::min(w, pitch / bpp - x);
    const uint32_t rows = std::min(h, height - y);
    uint8_t* start = static_cast<uint8_t*>(dest) + size_t(y) * pitch + size_t(x) * bpp;
    uint8_t* out = start;
    int outPitch = int(pitch);
    const bool direct = columns == w && rows == h && pitch <= uint32_t(INT32_MAX);
    if (!direct) {
        // The target cuts the picture: convert the whole of it aside, then copy the part.
        s->scratch.resize(size_t(w) * h * bpp);
        out = s->scratch.data();
        outPitch = int(w * bpp);
    }
    if (sws_scale(s->sws, p->data, p->linesize, 0, p->height, &out, &outPitch) <= 0) return 0;
    if (!direct) {
        for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(start + size_t(r) * pitch, out + size_t(r) * outPitch, size_t(columns) * bpp);
    }
    if (format == VIDSURFACE555) {
        for (uint32_t r = 0; r < rows; ++r) {
            uint8_t* row = start + size_t(r) * pitch;
            for (uint32_t c = 0; c < columns; ++c)
                row[c * 2 + 1] |= 0x80;
        }
    }
    return 1;
}

void VidNextFrame(HVID movie) {
    if (movie && movie->currentFrame < UINT32_MAX) ++movie->currentFrame;
}
