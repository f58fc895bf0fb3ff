// Sound rendered through the loopback device: a scope that makes sound devices loopback
// devices, and measurements of the rendered stereo frames.
#pragma once

#include <cstdint>
#include <vector>

// Rate of the loopback device in the sound tests: the game's own output rate.
constexpr uint32_t kLoopbackRate = 22050;

class LoopbackScope {
public:
    LoopbackScope();
    ~LoopbackScope();
    LoopbackScope(const LoopbackScope&) = delete;
    LoopbackScope& operator=(const LoopbackScope&) = delete;
};

struct StereoFrames {
    std::vector<float> left;
    std::vector<float> right;
};

// Mixes frames of the open loopback device; empty when none is open.
StereoFrames RenderFrames(uint32_t frames);
double Rms(const std::vector<float>& samples);
// Frequency in Hz from the rising zero crossings of the samples at the loopback rate.
double ZeroCrossingFrequency(const std::vector<float>& samples);
