// One per-frame sound update with 1,500 active looping voices, of which the 16 loudest hold
// mixer voices, against a plain sort of the same 1,500 keys and setting the volume of 16
// mixer voices directly. Reports the ratio of the two times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

#include "bench/ratio_reporter.h"
#include "engine/core/engine.h"
#include "platform/sound/device.h"
#include "platform/sound/mss.h"
#include "shell/audio.h"
#include "shell/sounds.h"
#include "shell/voices.h"
// The benchmarks link the game alone, so the sound writers of the tests are compiled in here.
#include "tests/support/sound_writer.cpp"

namespace {

constexpr int kSlots = 300;
constexpr int kChannels = 5;

struct Fixture {
    bool ok = false;
    std::vector<float> keys;
    std::vector<float> sorted;
    std::vector<HSAMPLE> handles;

    Fixture() {
        setenv("ALSOFT_DRIVERS", "null", 0);
        TvEngineInit(nullptr);
        // Mixing happens only when asked for, so the measurement has the machine to itself.
        PlatformSoundUseLoopback(22050);
        std::string folder = (std::filesystem::temp_directory_path() /
                              ("marovant-bench-sound-" + std::to_string(getpid())))
                                 .string();
        std::filesystem::create_directories(folder + "/DATA");
        std::filesystem::create_directories(folder + "/SOUND");
        WavTone tone;
        tone.frames = 2205;
        WriteWavTone(folder + "/SOUND/tone.wav", tone);
        WriteWavTone(folder + "/SOUND/null.wav", tone);
        std::vector<SoundListRecord> records(kSlots, SoundListRecord{"EXPLOSION", "tone", 5, 0});
        WriteSoundList(folder + "/DATA/sounds.dat", records);
        if (chdir(folder.c_str()) != 0) return;
        if (!MV2StartSounds(16, 0) || !MV2LoadSounds()) return;
        std::filesystem::remove_all(folder);
        // Distinct loudness, so that the same 16 hold their mixer voices frame after frame.
        int n = 0;
        for (int slot = 1; slot <= kSlots; ++slot) {
            for (int c = 0; c < kChannels; ++c) {
                int channel = MV2PlaySound(slot, 0, 1);
                float volume = 0.05f + 0.9f * float((n * 7919) % 1500) / 1500.0f;
                MV2SetSoundParams(slot, channel, 0, volume, 0.0f);
                keys.push_back(volume);
                ++n;
            }
        }
        MV2UpdateSounds();
        MV2UpdateSounds();
        // The baseline's mixer voices: 16 playing samples of the same file.
        void* image = AIL_file_read(".\\SOUND\\tone.wav", nullptr);
        for (int i = 0; i < 16; ++i) {
            HSAMPLE h = AIL_allocate_sample_handle(MV2AudioDriver());
            AIL_set_sample_file(h, image, -1);
            AIL_set_sample_loop_count(h, 0);
            AIL_start_sample(h);
            handles.push_back(h);
        }
        sorted = keys;
        ok = true;
    }
};

Fixture& Get() {
    static Fixture fixture;
    return fixture;
}

double g_seconds[2];

void BM_SoundUpdate(benchmark::State& state) {
    Fixture& fx = Get();
    if (!fx.ok) {
        state.SkipWithError("sounds did not start");
        return;
    }
    int32_t volume = 100;
    MeasureInTurn(
        state, [] { MV2UpdateSounds(); },
        [&] {
            fx.sorted = fx.keys;
            std::sort(fx.sorted.begin(), fx.sorted.end(), std::greater<float>());
            volume = volume == 100 ? 101 : 100;
            for (HSAMPLE h : fx.handles)
                AIL_set_sample_volume(h, volume);
            benchmark::DoNotOptimize(fx.sorted.data());
        },
        [] {}, "update_ms", "sort_ms", g_seconds);
}
BENCHMARK(BM_SoundUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("ratio MV2UpdateSounds / sort and 16 gains: %.2f\n",
                g_seconds[1] > 0 ? g_seconds[0] / g_seconds[1] : 0.0);
    benchmark::Shutdown();
    for (HSAMPLE h : Get().handles)
        AIL_release_sample_handle(h);
    MV2ShutdownSounds();
    return 0;
}
