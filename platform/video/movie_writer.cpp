#include "platform/video/movie_writer.h"

#include "platform/crt/crt.h"
#include "platform/video/video_io.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Writer {
    FILE* file = nullptr;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* audioFrame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;

    ~Writer() {
        sws_freeContext(sws);
        av_packet_free(&packet);
        av_frame_free(&audioFrame);
        av_frame_free(&frame);
        avcodec_free_context(&audio);
        avcodec_free_context(&video);
        avformat_free_context(format);
        VidCloseFileIo(&io);
        if (file) std::fclose(file);
    }

    // Sends a frame (null: the end) and writes every packet that comes out.
    bool Encode(AVCodecContext* c, AVStream* st, const AVFrame* f) {
        if (avcodec_send_frame(c, f) < 0) return false;
        for (;;) {
            int r = avcodec_receive_packet(c, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            av_packet_rescale_ts(packet, c->time_base, st->time_base);
            packet->stream_index = st->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }
};

AVCodecContext* OpenVideo(const VidMovieSpec& movie, AVFormatContext* format) {
    bool mjpeg = movie.codec == VidMovieCodec::Mjpeg;
    const AVCodec* codec = avcodec_find_encoder(mjpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_MPEG4);
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!c) return nullptr;
    c->width = int(movie.width);
    c->height = int(movie.height);
    c->time_base = AVRational{1, int(movie.rate)};
    c->framerate = AVRational{int(movie.rate), 1};
    c->pix_fmt = mjpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    c->gop_size = 12;
    c->max_b_frames = 0;
    c->thread_count = 1;
    // Near-lossless, so the pictures read back as painted.
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * 2;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0) avcodec_free_context(&c);
    return c;
}

AVCodecContext* OpenAudio(const VidMovieSpec& movie) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!c) return nullptr;
    c->sample_fmt = AV_SAMPLE_FMT_S16;
    c->sample_rate = int(movie.toneRate);
    av_channel_layout_default(&c->ch_layout, int(movie.toneChannels));
    c->time_base = AVRational{1, int(movie.toneRate)};
    if (avcodec_open2(c, codec, nullptr) < 0) avcodec_free_context(&c);
    return c;
}

} // namespace

bool VidWriteMovie(const char* name, const VidMovieSpec& movie, const VidFramePainter& paint) {
    if (!name || !paint || movie.width == 0 || movie.height == 0 || movie.width % 2 ||
        movie.height % 2 || movie.width > 4096 || movie.height > 4096 || movie.rate == 0 ||
        movie.rate > 1000)
        return false;
    const bool tone = movie.toneHz > 0;
    if (tone && (movie.toneRate < 8000 || movie.toneRate > 48000 ||
                 (movie.toneChannels != 1 && movie.toneChannels != 2)))
        return false;
    VidQuietLog();
    Writer w;
    if (avformat_alloc_output_context2(&w.format, nullptr, "avi", nullptr) < 0) return false;
    w.file = PlatformOpenFile(name, "wb");
    w.io = w.file ? VidOpenFileIo(w.file, true) : nullptr;
    if (!w.io) return false;
    w.format->pb = w.io;
    w.format->flags |= AVFMT_FLAG_CUSTOM_IO;

    w.video = OpenVideo(movie, w.format);
    w.videoStream = w.video ? avformat_new_stream(w.format, nullptr) : nullptr;
    if (!w.videoStream || avcodec_parameters_from_context(w.videoStream->codecpar, w.video) < 0)
        return false;
    w.videoStream->time_base = w.video->time_base;
    w.videoStream->avg_frame_rate = w.video->framerate;
    if (tone) {
        w.audio = OpenAudio(movie);
        w.audioStream = w.audio ? avformat_new_stream(w.format, nullptr) : nullptr;
        if (!w.audioStream ||
            avcodec_parameters_from_context(w.audioStream->codecpar, w.audio) < 0)
            return false;
        w.audioStream->time_base = w.audio->time_base;
    }
    if (avformat_write_header(w.format, nullptr) < 0) return false;

    w.frame = av_frame_alloc();
    w.audioFrame = av_frame_alloc();
    w.packet = av_packet_alloc();
    if (!w.frame || !w.audioFrame || !w.packet) return false;
    w.frame->format = w.video->pix_fmt;
    w.frame->width = w.video->width;
    w.frame->height = w.video->height;
    if (av_frame_get_buffer(w.frame, 0) < 0) return false;
    w.sws = sws_getContext(int(movie.width), int(movie.height), AV_PIX_FMT_BGRA, int(movie.width),
                           int(movie.height), w.video->pix_fmt, SWS_BILINEAR, nullptr, nullptr,
                           nullptr);
    if (!w.sws) return false;

    std::vector<uint32_t> pixels(size_t(movie.width) * movie.height);
    uint64_t samplesDone = 0;
    for (uint32_t i = 0; i < movie.frames; ++i) {
        if (tone) {
            // The tone up to the end of this picture's time.
            uint64_t until = uint64_t(i + 1) * movie.toneRate / movie.rate;
            int n = int(until - samplesDone);
            if (n > 0) {
                av_frame_unref(w.audioFrame);
                w.audioFrame->format = AV_SAMPLE_FMT_S16;
                w.audioFrame->sample_rate = int(movie.toneRate);
                w.audioFrame->nb_samples = n;
                if (av_channel_layout_copy(&w.audioFrame->ch_layout, &w.audio->ch_layout) < 0 ||
                    av_frame_get_buffer(w.audioFrame, 0) < 0)
                    return false;
                auto* out = reinterpret_cast<int16_t*>(w.audioFrame->data[0]);
                for (int k = 0; k < n; ++k) {
                    double t = double(samplesDone + uint64_t(k)) / movie.toneRate;
                    double v = movie.toneAmplitude * std::sin(2 * std::numbers::pi * movie.toneHz * t);
                    auto s = int16_t(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
                    for (uint32_t ch = 0; ch < movie.toneChannels; ++ch)
                        out[size_t(k) * movie.toneChannels + ch] = s;
                }
                w.audioFrame->pts = int64_t(samplesDone);
                samplesDone = until;
                if (!w.Encode(w.audio, w.audioStream, w.audioFrame)) return false;
            }
        }
        paint(i, pixels.data(), movie.width, movie.height);
        if (av_frame_make_writable(w.frame) < 0) return false;
        const uint8_t* src = reinterpret_cast<const uint8_t*>(pixels.data());
        int srcPitch = int(movie.width * 4);
        sws_scale(w.sws, &src, &srcPitch, 0, int(movie.height), w.frame->data, w.frame->linesize);
        w.frame->pts = i;
        if (!w.Encode(w.video, w.videoStream, w.frame)) return false;
    }
    if (!w.Encode(w.video, w.videoStream, nullptr)) return false;
    if (tone && !w.Encode(w.audio, w.audioStream, nullptr)) return false;
    if (av_write_trailer(w.format) < 0) return false;
    avio_flush(w.io);
    if (w.io->error < 0) return false;
    FILE* file = w.file;
    w.file = nullptr;
    return std::fflush(file) == 0 && !std::ferror(file) && std::fclose(file) == 0;
}
