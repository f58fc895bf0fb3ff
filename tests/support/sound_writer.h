// Writers of the game's sound files: WAV tones, the sound list (sounds.dat) and the base
// volume table (BASEVOL.TXT). Plain functions, usable by tests and by the sample data
// generator alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A RIFF WAVE file of PCM samples: 44 bytes of header ("fmt " of 16 bytes, then "data"), then
// the samples as given (8-bit unsigned or 16-bit signed little-endian, interleaved).
std::vector<uint8_t> WavFileBytes(uint32_t channels, uint32_t bits, uint32_t rate,
                                  const std::vector<uint8_t>& samples);

struct WavTone {
    uint32_t channels = 1;
    uint32_t bits = 16;
    uint32_t rate = 22050;
    uint32_t frames = 22050;
    float frequency = 1000.0f; // Hz; 0 gives silence
    float amplitude = 0.5f;    // of full scale
};

// The sample bytes of a sine tone, the same on every channel.
std::vector<uint8_t> WavToneSamples(const WavTone& tone);
std::vector<uint8_t> WavToneBytes(const WavTone& tone);
bool WriteWavTone(const std::string& path, const WavTone& tone);

struct SoundListRecord {
    std::string name; // one of the built-in sound names (at most 39 characters kept)
    std::string file; // sample file name without extension (at most 15 characters kept)
    uint32_t channels = 1;
    uint32_t priority = 0;
};

// 64-byte records: name (40 bytes, zero-padded), file (16 bytes, zero-padded), channel count
// and priority flag as little-endian 32-bit words.
std::vector<uint8_t> SoundListBytes(const std::vector<SoundListRecord>& records);
bool WriteSoundList(const std::string& path, const std::vector<SoundListRecord>& records);

struct BaseVolume {
    std::string name;
    float volume = 1.0f;
};

// One "NAME VALUE" line per entry, after a comment line.
std::string BaseVolumeText(const std::vector<BaseVolume>& entries);
bool WriteBaseVolumes(const std::string& path, const std::vector<BaseVolume>& entries);

bool WriteFileBytes(const std::string& path, const void* data, size_t size);
