// Plays audio tracks of the disc in the CD drive, sets the CD line volume, and keeps playing
// when a track ends by watching the drive with a periodic timer. One player is open at a time.
#pragma once

#include "framework/core/com.h"

#include <cstdint>

extern const VkGuid CLSID_VkCdAudio;
extern const VkGuid IID_IVkCdAudio;

constexpr VkResult VK_S_CD_NOTOPEN = static_cast<VkResult>(0x00400001u);
constexpr VkResult VK_E_CD_NODEVICE = static_cast<VkResult>(0x80400002u);
constexpr VkResult VK_E_CD_HARDWARE = static_cast<VkResult>(0x80400003u);
constexpr VkResult VK_E_CD_BADTRACK = static_cast<VkResult>(0x80400004u);
constexpr VkResult VK_E_CD_BADPOSITION = static_cast<VkResult>(0x80400005u);
constexpr VkResult VK_E_CD_REFUSED = static_cast<VkResult>(0x80400006u);
constexpr VkResult VK_E_CD_DOOROPEN = static_cast<VkResult>(0x80400007u);
constexpr VkResult VK_E_CD_NOTAUDIO = static_cast<VkResult>(0x80400008u);
constexpr VkResult VK_E_CD_NOTREADY = static_cast<VkResult>(0x80400009u);

// Play flags.
constexpr uint32_t VK_CD_KEEPPLAYING = 1; // the watching timer restarts play when it stops
constexpr uint32_t VK_CD_TOEND = 2;       // play on to the end of the disc
// Status flags besides the play flags.
constexpr uint32_t VK_CD_PLAYING = 4;
constexpr uint32_t VK_CD_PAUSED = 8;
constexpr uint32_t VK_CD_STOPPED = 16;

class IVkCDAudio : public IVkUnknown {
public:
    virtual VkResult Play(uint32_t flags) = 0;
    // Pauses when playing, resumes when paused.
    virtual VkResult Pause() = 0;
    virtual VkResult Stop() = 0;
    // Closes the door when the drive reports it open, else opens it.
    virtual VkResult ToggleDoor() = 0;
    virtual uint32_t GetTrackCount() = 0;
    // 0-based.
    virtual VkResult SetTrack(uint32_t track) = 0;
    virtual uint32_t GetCurrentTrack() = 0;
    virtual VkResult GetStatus(uint32_t* flags) = 0;
    // Milliseconds; the position is inside the current track.
    virtual uint32_t GetTrackLength() = 0;
    virtual VkResult SetPosition(uint32_t ms) = 0;
    virtual uint32_t GetPosition() = 0;
    // 0.0 to 1.0.
    virtual VkResult SetVolume(float volume) = 0;
    virtual VkResult GetVolume(float* volume) = 0;

protected:
    ~IVkCDAudio() = default;
};

VkResult VkCreateCdAudio(IVkUnknown* outer, IVkUnknown** out);
