#include "game/objects/objectsounds.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"
#include "shell/voices.h"

namespace {

int32_t ChannelPlaying(int32_t slot, int32_t channel) {
    const MV2SoundSlot* s = MV2GetSoundSlotRecord(slot);
    if (!s || channel < 1 || channel > s->channels) return 0;
    return MV2IsVoiceBusy(s->channel[channel - 1].voice);
}

MV2ObjectSoundSlot g_slots[kMV2ObjectSoundSlots];

bool CameraPosition(TvV3d* out) {
    if (!gMV2MainCamera || !gMV2MainCamera->object.frame) return false;
    *out = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    return true;
}

// The root-frame position of an object's clump (kept by the frame, so it may be attached).
const TvV3d* OwnerPosition(MV2Object* object) {
    TvFrame* root = object->clump ? MV2GetRootFrame(object->clump) : nullptr;
    return root ? &TvFrameGetLTM(root)->pos : nullptr;
}

bool InRange(const TvV3d& camera, const TvV3d& at) {
    const TvV3d d = TvV3dSub(at, camera);
    return TvV3dDot(d, d) < kMV2SoundRangeSquared;
}

bool ObjectInRange(MV2Object* object) {
    TvV3d camera;
    const TvV3d* at = OwnerPosition(object);
    return at && CameraPosition(&camera) && InRange(camera, *at);
}

void StopVoice(MV2ObjectSoundSlot& s) {
    const int32_t slot = gMV2ObjectSoundCalls.soundSlot(s.sound);
    if (s.voice && gMV2ObjectSoundCalls.playing(slot, s.voice))
        gMV2ObjectSoundCalls.stop(slot, s.voice);
    s.voice = 0;
}

void Free(MV2ObjectSoundSlot& s) {
    StopVoice(s);
    if (s.variable) *s.variable = 0;
    s = MV2ObjectSoundSlot{};
}

void ForgetOwnerSlot(MV2ObjectSoundSlot& s) {
    if (s.object && s.object->soundSlot == &s) s.object->soundSlot = nullptr;
}

MV2ObjectSoundSlot* Find(MV2Object* object, uintptr_t* variable) {
    // A slot left by an earlier object of the same record is not this object's.
    auto* own = static_cast<MV2ObjectSoundSlot*>(object->soundSlot);
    if (own && own->object == object && own->handle == object->handle &&
        own->variable == variable)
        return own;
    for (MV2ObjectSoundSlot& s : g_slots)
        if (s.object == object && s.handle == object->handle && s.variable == variable)
            return &s;
    return nullptr;
}

} // namespace

MV2ObjectSoundCalls gMV2ObjectSoundCalls = {
    MV2PlaySound,       MV2StopSound,    ChannelPlaying,  MV2AttachSoundSource,
    MV2SetSoundLowPass, MV2PlaceSound3D, MV2GetSoundSlot,
};

int32_t MV2StartObjectSound(MV2Object* object, int32_t sound, uintptr_t* variable, uint32_t a,
                            int32_t b) {
    if (!object) return 0;
    auto* own = static_cast<MV2ObjectSoundSlot*>(object->soundSlot);
    if (!ObjectInRange(object)) {
        if (own) {
            StopVoice(*own);
            if (variable) *variable = 0;
            object->soundSlot = nullptr;
        }
        return 0;
    }
    if (own && own->object == object) {
        if (own->variable == variable) {
            own->a = a;
            own->b = b;
            return 1;
        }
        if (own->sound == sound) return 0;
    }
    MV2ObjectSoundSlot* s = Find(object, variable);
    if (!s) {
        for (MV2ObjectSoundSlot& free : g_slots)
            if (!free.object) {
                s = &free;
                break;
            }
        if (!s) return 0;
        *s = {object, object->handle, sound, 0, variable, 0, 0};
    }
    if (!object->soundSlot) object->soundSlot = s;
    s->a = a;
    s->b = b;
    return 1;
}

void MV2StopObjectSound(MV2Object* object, int32_t, uintptr_t* variable) {
    if (!object) return;
    MV2ObjectSoundSlot* s = Find(object, variable);
    if (!s) return;
    if (object->soundSlot == s) object->soundSlot = nullptr;
    Free(*s);
}

int32_t MV2UpdateObjectSounds() {
    TvV3d camera;
    if (!CameraPosition(&camera)) return 0;
    MV2Object* player = MV2GetPlayerObject();
    for (MV2ObjectSoundSlot& s : g_slots) {
        if (!s.object) continue;
        // A dead owner's record may already serve another object: it is not touched.
        if (!MV2ObjectHandleAlive(s.handle) || s.object->handle != s.handle) {
            Free(s);
            continue;
        }
        const TvV3d* at = OwnerPosition(s.object);
        if (!at || !InRange(camera, *at)) {
            ForgetOwnerSlot(s);
            Free(s);
            continue;
        }
        const int32_t slot = gMV2ObjectSoundCalls.soundSlot(s.sound);
        if (!s.voice || !gMV2ObjectSoundCalls.playing(slot, s.voice)) {
            s.voice = gMV2ObjectSoundCalls.play(slot, 0, 1);
            if (s.variable) *s.variable = uintptr_t(s.voice);
            if (s.voice <= 0) {
                s.voice = 0;
                continue;
            }
            gMV2ObjectSoundCalls.lowPass(slot, s.voice, s.object != player);
            gMV2ObjectSoundCalls.attach(slot, s.voice, at);
        }
        const TvV3d* velocity = s.object->body ? &s.object->body->velocity : nullptr;
        gMV2ObjectSoundCalls.place(slot, s.voice, at, velocity, s.a, float(s.b));
    }
    return 1;
}

int32_t MV2StopAllObjectSounds() {
    for (MV2ObjectSoundSlot& s : g_slots)
        if (s.object) Free(s);
    return 1;
}

int32_t MV2PlaySoundAt(const TvV3d* position, float, int32_t sound, uint32_t a, int32_t attach,
                       int32_t b) {
    TvV3d camera;
    if (!position || !CameraPosition(&camera) || !InRange(camera, *position)) return 0;
    const int32_t slot = gMV2ObjectSoundCalls.soundSlot(sound);
    const int32_t voice = gMV2ObjectSoundCalls.play(slot, 0, 0);
    if (voice <= 0) return 1;
    gMV2ObjectSoundCalls.lowPass(slot, voice, 1);
    if (attach) gMV2ObjectSoundCalls.attach(slot, voice, position);
    gMV2ObjectSoundCalls.place(slot, voice, position, nullptr, a, float(b));
    return 1;
}
