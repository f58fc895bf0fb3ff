#include "platform/video/video_io.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <sys/stat.h>

namespace {

constexpr int kBufferSize = 32768;

int ReadFile(void* opaque, uint8_t* buf, int size) {
    size_t n = std::fread(buf, 1, size_t(size), static_cast<FILE*>(opaque));
    if (n == 0) return AVERROR_EOF;
    return int(n);
}

int WriteFile(void* opaque, uint8_t* buf, int size) {
    size_t n = std::fwrite(buf, 1, size_t(size), static_cast<FILE*>(opaque));
    return n == size_t(size) ? size : AVERROR(EIO);
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
    FILE* file = static_cast<FILE*>(opaque);
    if (whence & AVSEEK_SIZE) {
        std::fflush(file);
        struct stat st{};
        if (fstat(fileno(file), &st) != 0) return AVERROR(EIO);
        return int64_t(st.st_size);
    }
    whence &= ~AVSEEK_FORCE;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
    if (fseeko(file, off_t(offset), whence) != 0) return AVERROR(EIO);
    return int64_t(ftello(file));
}

} // namespace

AVIOContext* VidOpenFileIo(FILE* file, bool write) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, write ? 1 : 0, file,
                                         write ? nullptr : ReadFile, write ? WriteFile : nullptr,
                                         SeekFile);
    if (!io) av_free(buffer);
    return io;
}

void VidCloseFileIo(AVIOContext** io) {
    if (!io || !*io) return;
    av_freep(&(*io)->buffer);
    avio_context_free(io);
}

void VidQuietLog() {
    av_log_set_level(AV_LOG_QUIET);
}
