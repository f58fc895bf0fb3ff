// Decoding a 1024 x 1024 JPEG file through the game's reader (engine stream source, copy into a
// 32-bit engine image) against the library's plain decode loop of the same file. Reports the
// ratio of the two times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

#include <jpeglib.h>

#include "bench/ratio_reporter.h"
#include "engine/core/image.h"
#include "game/objects/jpeg.h"
#include "tests/support/accepting_device.h"
// The benchmarks link the game alone, so the image writer of the tests is compiled in here.
#include "tests/support/image_writer.cpp"

namespace {

constexpr int32_t kSide = 1024;

struct Fixture {
    std::string path;
    bool ready = false;

    Fixture() {
        if (!AcceptingEngineStart()) return;
        // A photograph-like picture: smooth gradients with some detail.
        std::vector<uint8_t> bytes = JpegFile(
            kSide, kSide, 3,
            [](int32_t x, int32_t y) {
                return TvRGBA{uint8_t(x / 4), uint8_t(y / 4), uint8_t((x * y) >> 12 ^ (x + y)),
                              255};
            },
            85);
        path = (std::filesystem::temp_directory_path() /
                ("marovant-bench-" + std::to_string(getpid()) + ".jpg"))
                   .string();
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) return;
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        ready = true;
    }
    ~Fixture() {
        if (!path.empty()) std::filesystem::remove(path);
    }
};

Fixture& Get() {
    static Fixture fixture;
    return fixture;
}

void BM_GameReader(benchmark::State& state) {
    Fixture& fx = Get();
    if (!fx.ready) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        TvImage* image = MV2LoadJpeg(fx.path.c_str());
        if (!image) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image->pixels);
        TvImageDestroy(image);
    }
}
BENCHMARK(BM_GameReader)->Unit(benchmark::kMillisecond);

// The library's own loop: stdio source, one scanline at a time into a row buffer.
void BM_LibraryBaseline(benchmark::State& state) {
    Fixture& fx = Get();
    if (!fx.ready) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        FILE* in = std::fopen(fx.path.c_str(), "rb");
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, in);
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        JSAMPARRAY row =
            (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                       cinfo.output_width * cinfo.output_components, 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            jpeg_read_scanlines(&cinfo, row, 1);
            benchmark::DoNotOptimize(row[0][0]);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::fclose(in);
    }
}
BENCHMARK(BM_LibraryBaseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("BM_GameReader", "BM_LibraryBaseline");
    benchmark::Shutdown();
    return 0;
}
