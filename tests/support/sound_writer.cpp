#include "tests/support/sound_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + 4);
}

void PutField(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    out.insert(out.end(), text.begin(), text.begin() + static_cast<long>(n));
    out.insert(out.end(), size - n, 0);
}

} // namespace

std::vector<uint8_t> WavFileBytes(uint32_t channels, uint32_t bits, uint32_t rate,
                                  const std::vector<uint8_t>& samples) {
    uint32_t align = channels * bits / 8;
    std::vector<uint8_t> out;
    PutText(out, "RIFF");
    Put(out, static_cast<uint32_t>(samples.size()) + 36, 4);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, channels, 2);
    Put(out, rate, 4);
    Put(out, rate * align, 4);
    Put(out, align, 2);
    Put(out, bits, 2);
    PutText(out, "data");
    Put(out, static_cast<uint32_t>(samples.size()), 4);
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

std::vector<uint8_t> WavToneSamples(const WavTone& tone) {
    std::vector<uint8_t> out;
    out.reserve(size_t(tone.frames) * tone.channels * (tone.bits / 8));
    const double step = 2.0 * 3.14159265358979323846 * tone.frequency / tone.rate;
    for (uint32_t f = 0; f < tone.frames; ++f) {
        double v = tone.amplitude * std::sin(step * f);
        for (uint32_t c = 0; c < tone.channels; ++c) {
            if (tone.bits == 8)
                out.push_back(static_cast<uint8_t>(std::lround(128.0 + v * 127.0)));
            else
                Put(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0))), 2);
        }
    }
    return out;
}

std::vector<uint8_t> WavToneBytes(const WavTone& tone) {
    return WavFileBytes(tone.channels, tone.bits, tone.rate, WavToneSamples(tone));
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool WriteWavTone(const std::string& path, const WavTone& tone) {
    std::vector<uint8_t> bytes = WavToneBytes(tone);
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

std::vector<uint8_t> SoundListBytes(const std::vector<SoundListRecord>& records) {
    std::vector<uint8_t> out;
    for (const SoundListRecord& r : records) {
        PutField(out, r.name, 40);
        PutField(out, r.file, 16);
        Put(out, r.channels, 4);
        Put(out, r.priority, 4);
    }
    return out;
}

bool WriteSoundList(const std::string& path, const std::vector<SoundListRecord>& records) {
    std::vector<uint8_t> bytes = SoundListBytes(records);
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

std::string BaseVolumeText(const std::vector<BaseVolume>& entries) {
    std::string text = "# base volume of each sample\n";
    char line[64];
    for (const BaseVolume& e : entries) {
        std::snprintf(line, sizeof line, "%.15s %.3f\n", e.name.c_str(), double(e.volume));
        text += line;
    }
    return text;
}

bool WriteBaseVolumes(const std::string& path, const std::vector<BaseVolume>& entries) {
    std::string text = BaseVolumeText(entries);
    return WriteFileBytes(path, text.data(), text.size());
}
