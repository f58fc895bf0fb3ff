// Stand-in for the DirectSound, DirectSound3D and DirectSoundCapture interfaces in use, over
// OpenAL Soft. A secondary buffer keeps its bytes in memory and in OpenAL buffers that stay
// mapped, so writes reach a buffer while it plays; a playing buffer (or duplicate) is a voice
// of its own. DirectSound's space is left-handed: z is negated on the way to OpenAL. The
// primary buffer keeps its format and plays without a source. Interfaces are abstract classes
// with QueryInterface, AddRef and Release first and real reference counts; only the methods
// in use exist. Result codes and flags keep the old platform's values.
#pragma once

#include "platform/ddraw/ddraw.h"
#include "platform/sound/device.h"
#include "platform/win32/win32.h"

#include <cstdint>

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSSCL_EXCLUSIVE = 3;
constexpr DWORD DSSCL_WRITEPRIMARY = 4;

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD DSBCAPS_CTRL3D = 0x10;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;

constexpr DWORD DSBPLAY_LOOPING = 1;
constexpr DWORD DSBSTATUS_PLAYING = 1;
constexpr DWORD DSBSTATUS_BUFFERLOST = 2;
constexpr DWORD DSBSTATUS_LOOPING = 4;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 1;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 2;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 100000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

constexpr DWORD DS3D_IMMEDIATE = 0;
constexpr DWORD DS3D_DEFERRED = 1;
constexpr DWORD DS3DMODE_NORMAL = 0;
constexpr DWORD DS3DMODE_HEADRELATIVE = 1;
constexpr DWORD DS3DMODE_DISABLE = 2;

constexpr DWORD DSCBSTART_LOOPING = 1;
constexpr DWORD DSCBSTATUS_CAPTURING = 1;
constexpr DWORD DSCBSTATUS_LOOPING = 2;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

using D3DVALUE = float;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
};

struct DSCBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
};

struct DSBCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwUnlockTransferRate;
    DWORD dwPlayCpuOverhead;
};

extern const IID IID_IDirectSound;
extern const IID IID_IDirectSoundBuffer;
extern const IID IID_IDirectSound3DBuffer;
extern const IID IID_IDirectSound3DListener;
extern const IID IID_IDirectSoundCapture;
extern const IID IID_IDirectSoundCaptureBuffer;

class IDirectSoundBuffer {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetCaps(DSBCAPS* caps) = 0;
    virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                         DWORD* secondBytes, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectSoundBuffer() = default;
};

class IDirectSound3DBuffer {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetConeAngles(DWORD* inside, DWORD* outside) = 0;
    virtual HRESULT GetMode(DWORD* mode) = 0;
    virtual HRESULT SetConeAngles(DWORD inside, DWORD outside, DWORD apply) = 0;
    virtual HRESULT SetConeOrientation(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) = 0;
    virtual HRESULT SetMaxDistance(D3DVALUE distance, DWORD apply) = 0;
    virtual HRESULT SetMinDistance(D3DVALUE distance, DWORD apply) = 0;
    virtual HRESULT SetMode(DWORD mode, DWORD apply) = 0;
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;

protected:
    ~IDirectSound3DBuffer() = default;
};

class IDirectSound3DListener {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDistanceFactor(D3DVALUE* factor) = 0;
    virtual HRESULT GetRolloffFactor(D3DVALUE* factor) = 0;
    virtual HRESULT SetDistanceFactor(D3DVALUE factor, DWORD apply) = 0;
    virtual HRESULT SetDopplerFactor(D3DVALUE factor, DWORD apply) = 0;
    virtual HRESULT SetOrientation(D3DVALUE frontX, D3DVALUE frontY, D3DVALUE frontZ, D3DVALUE topX,
                                   D3DVALUE topY, D3DVALUE topZ, DWORD apply) = 0;
    virtual HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT SetRolloffFactor(D3DVALUE factor, DWORD apply) = 0;
    virtual HRESULT SetVelocity(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) = 0;
    virtual HRESULT CommitDeferredSettings() = 0;

protected:
    ~IDirectSound3DListener() = default;
};

class IDirectSound {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                                      void* outer) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                         IDirectSoundBuffer** out) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

protected:
    ~IDirectSound() = default;
};

class IDirectSoundCaptureBuffer {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetCurrentPosition(DWORD* capture, DWORD* read) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                         DWORD* secondBytes, DWORD flags) = 0;
    virtual HRESULT Start(DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) = 0;

protected:
    ~IDirectSoundCaptureBuffer() = default;
};

class IDirectSoundCapture {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** out,
                                        void* outer) = 0;

protected:
    ~IDirectSoundCapture() = default;
};

// Only the default device (null GUID) exists.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** out, void* outer);
// DSERR_NODRIVER when there is neither a capture device nor a test generator.
HRESULT DirectSoundCaptureCreate(const GUID* device, IDirectSoundCapture** out, void* outer);

// Test seam for capture: while set, capture devices open without a real device and record the
// frames that the generator writes (16-bit, interleaved, at the capture format's rate and
// channels; firstFrame counts frames from the start of capturing). Null makes capture use the
// system's capture device, if any.
using DSCaptureGenerator = void (*)(int16_t* out, uint32_t frames, uint32_t channels, uint32_t rate,
                                    uint64_t firstFrame);
void DSoundSetCaptureGenerator(DSCaptureGenerator generator);
// Test seam for capture: fed capture buffers that are capturing take in frames more, as if that
// much time had passed.
void DSoundAdvanceCapture(uint32_t frames);
