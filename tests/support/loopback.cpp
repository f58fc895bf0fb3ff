#include "tests/support/loopback.h"

#include "platform/sound/device.h"

#include <cmath>

LoopbackScope::LoopbackScope() {
    PlatformSoundUseLoopback(kLoopbackRate);
}

LoopbackScope::~LoopbackScope() {
    PlatformSoundUseLoopback(0);
}

StereoFrames RenderFrames(uint32_t frames) {
    std::vector<float> mixed(size_t(frames) * 2);
    StereoFrames out;
    if (!PlatformSoundRender(mixed.data(), frames)) return out;
    out.left.resize(frames);
    out.right.resize(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        out.left[i] = mixed[2 * size_t(i)];
        out.right[i] = mixed[2 * size_t(i) + 1];
    }
    return out;
}

double Rms(const std::vector<float>& samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (float s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

double ZeroCrossingFrequency(const std::vector<float>& samples) {
    long first = -1, last = -1, crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (first < 0)
                first = long(i);
            else
                ++crossings;
            last = long(i);
        }
    }
    if (crossings == 0) return 0.0;
    return double(crossings) * kLoopbackRate / double(last - first);
}
