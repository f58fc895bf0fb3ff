#include "platform/video/video_baseline.h"

#include "platform/video/video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

int32_t VidPlainDecodeLoop(const char* path, uint32_t frames, void* dest, uint32_t pitch,
                           uint32_t format) {
    AVPixelFormat target = format == VIDSURFACE32    ? AV_PIX_FMT_BGRA
                           : format == VIDSURFACE555 ? AV_PIX_FMT_RGB555LE
                                                     : AV_PIX_FMT_RGB565LE;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path, nullptr, nullptr) < 0) return -1;
    int index = avformat_find_stream_info(fmt, nullptr) < 0
                    ? -1
                    : av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec =
        index < 0 ? nullptr : avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!c || avcodec_parameters_to_context(c, fmt->streams[index]->codecpar) < 0 ||
        avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        avformat_close_input(&fmt);
        return -1;
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* sws = nullptr;
    uint8_t* out = static_cast<uint8_t*>(dest);
    int outPitch = int(pitch);
    int32_t done = 0;
    bool flushed = false;
    while (uint32_t(done) < frames) {
        int r = avcodec_receive_frame(c, frame);
        if (r >= 0) {
            sws = sws_getCachedContext(sws, frame->width, frame->height,
                                       AVPixelFormat(frame->format), c->width, c->height, target,
                                       SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!sws) break;
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, &out, &outPitch);
            ++done;
            continue;
        }
        if (r != AVERROR(EAGAIN) || flushed) break;
        if (av_read_frame(fmt, packet) < 0) {
            flushed = true;
            avcodec_send_packet(c, nullptr);
            continue;
        }
        if (packet->stream_index == index) avcodec_send_packet(c, packet);
        av_packet_unref(packet);
    }
    sws_freeContext(sws);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    avformat_close_input(&fmt);
    return done;
}
