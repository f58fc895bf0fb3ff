// Decoding and copying 300 frames of a 320 x 240 movie through the video stand-in (open, do
// frame, copy to a 565 buffer, next frame, close: the calls the movie player makes), against
// FFmpeg's plain decode and sws_scale loop over the same file, reported as a ratio.
#include "bench/ratio_reporter.h"
#include "platform/video/movie_writer.h"
#include "platform/video/video.h"
#include "platform/video/video_baseline.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFrames = 300, kWidth = 320, kHeight = 240;

struct Movie {
    std::string path;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(size_t(kWidth) * 2 * kHeight);
    bool ok = false;
    Movie() {
        path = (std::filesystem::temp_directory_path() / "marovant_bench_movie.bik").string();
        VidMovieSpec movie;
        movie.width = kWidth, movie.height = kHeight, movie.rate = 30, movie.frames = kFrames;
        ok = VidWriteMovie(path.c_str(), movie, [](uint32_t index, uint32_t* pixels, uint32_t w, uint32_t h) {
            for (uint32_t y = 0; y < h; y++)
                for (uint32_t x = 0; x < w; x++)
                    pixels[y * w + x] = 0xFF000000u | ((x + index) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | (index & 0xFF);
        });
    }
    ~Movie() { std::remove(path.c_str()); }

    uint32_t StandIn() {
        HVID movie = VidOpen(path.c_str(), 0);
        if (!movie) return 0;
        uint32_t copied = 0;
        for (uint32_t i = 0; i < kFrames; i++) {
            VidDoFrame(movie);
            copied += uint32_t(VidCopyToBuffer(movie, buffer.data(), kWidth * 2, kHeight, 0, 0, VIDSURFACE565));
            if (movie->currentFrame >= movie->frames) break;
            VidNextFrame(movie);
        }
        VidClose(movie);
        return copied;
    }
    int32_t Plain() {
        return VidPlainDecodeLoop(path.c_str(), kFrames, buffer.data(), kWidth * 2, VIDSURFACE565);
    }
};

void BM_MovieFrames(benchmark::State& state) {
    static Movie movie;
    if (!movie.ok || movie.StandIn() != kFrames || movie.Plain() != int32_t(kFrames)) {
        state.SkipWithError("the movie did not decode 300 frames both ways");
        return;
    }
    double seconds[2];
    MeasureInTurn(
        state, [] { benchmark::DoNotOptimize(movie.StandIn()); },
        [] { benchmark::DoNotOptimize(movie.Plain()); }, [] { benchmark::ClobberMemory(); },
        "standin_ms", "plain_ms", seconds);
}
BENCHMARK(BM_MovieFrames)->MinTime(2.0)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
