#include "shell/sounds.h"

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/vector.h"
#include "game/objects/camera.h"
#include "shell/gamemain.h"
#include "game/objects/objectsounds.h"
#include "shell/audio.h"
#include "shell/errors.h"
#include "shell/voices.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
const char* const MV2SoundNames[kMV2SoundNames] = {
    "WATERSURFACE", "GP1ENGINE", "GP2ENGINE", "GROUNDCOLLISION", "METALCOLLISION", "BOLTFIRING",
    "EXPLOSION", "BOLTMOVING", "SPLASH1", "COMMS", "FAN", "DRILL", "PROCESS", "TANK", "SKID",
    "GEIGER", "CARRIER", "DEPTHWARNING", "EXPLOSION2", "HITMETAL2", "MESSAGE", "MGHATTACH",
    "MGHRELEASE", "CRUISER", "MISSILE", "ORS", "STUNDART", "AMBIENCE", "JELLY", "QUAKE", "SNAP",
    "EATER", "TBLAST1", "LIFT", "RADIO", "LEVER1", "UPLINK", "DOCKINGAMBIENT",
    "LOADUPSHOWWEAPONSELECTION", "LOADUPSHOWINFO", "LOADUPSELECTWEAPON", "LOADUPCHANGESUB",
    "DOCKINGTELEPRINTER", "SMASHSTONE", "DRAGSTONE", "SHOTGUNSHOT", "MACHINEGUNLOOP",
    "MACHINEGUNSHOT", "FLARELAUNCH", "FLAREFIZZLOOP", "PINGUNFIRING", "RAPIDPINGUNFIRING",
    "SQUIDSCREAM", "SQUIDDIE", "SQUIDHEART", "SQUIDATTACK", "SQUIDSWIPE", "SQUIDBASHROCK",
    "MEMBRANEBOUNCE", "EELSCREAM1", "EELSCREAM2", "EELSCREAM3", "EELBOLT", "EELCHARGE",
    "EELTONGUE", "FASTBUBBLE", "SLOWBUBBLE", "BABYMINELAUNCH", "LASER", "TERMINAL2", "RICOCHET1",
    "RICOCHET2", "RICOCHET3", "FLY", "MAGGOTATTACK", "GETUP", "MUMMYHIT", "MUMMYDIE", "ARMOFF",
    "WATERFALL2", "PIRANHAS", "MINEEXPLODE", "DRAGONFLY", "DRAGONFLYATTACK", "ROTATINGDRILL",
    "REACTOR", "ROTATINGDOOR", "VORTEX", "RAINFOREST1", "RAINFOREST2", "RAINFOREST3", "DISCBOMB",
    "CRYSTAL", "HUGERAY", "THORIUMSHAT1", "THORIUMSHAT2", "BURSTDRIVE", "PUSHSWITCH", "SDOOROPEN",
    "SDOORCLOSE", "LDOOROPEN", "LDOORCLOSE", "VOLCANO", "LOCK1", "LOCK2", "HULLCREAK", "SCANNING",
    "WEAPONHITMETAL", "WEAPONHITMINERAL", "WEAPONHITBIOLOGICAL", "EXPLOSIONSMALL", "GENERATORHUM",
    "PONDSKATERATTACK", "PONDSKATERDIE", "PONDYATTACK", "PONDYSPIT", "PONDYDIE", "ENGINEROOM",
    "PLUTORODHUM", "PLUTORODMOVE", "PLUTORODSNAP", "FUSEACTIVATE", "EPOWERACTIVE", "CRATECOLLIDE",
    "CREAKINGMETAL1", "CREAKINGMETAL2", "CREAKINGMETAL3", "OVENDOOROPEN", "OVENDOORCLOSE",
    "ACCESSCODETERMINAL", "BRICK1", "BRICK2", "COG2", "CURRENT", "LIGHT1", "LIGHT2", "SCALES",
    "STONEBALL", "SPIDERLAND", "SPIDERSPIT", "SCARABMOVE", "SCARABDIE", "MUMMYMOVE", "MUMMYMAGIC1",
    "MUMMYMAGIC2", "MUMMYMAGIC3", "SMALLSPORE", "FIREFLYMOVE", "FIREFLYCALL", "PULSATINGEGG",
    "SILENTMUMMOVE", "SILENTMUMSPOREBIRTH", "SILENTMUMDIE", "JELLYMUMMOVE", "JELLYMUMSTRETCH",
    "JELLYMUMBIRTH", "JELLYMUMDIE", "SILENTCITYAMBIENCE", "FLESHDOOR", "ELECTROPULSE",
    "SILENTENERGYDRAIN", "SPOREWEAPONSHOT", "ROVENGINE", "ROVCONFIRMRETURN", "TURRETMOVEY",
    "ROCKLANDCOLLISION", "ENEMYMEDIUM", "DROID", "ENEMYSMALL", "MENU", "TOOLSELECT", "ATTRACT",
    "OPTVOICE", "SQUIDINK", "IRISDOOR", "RECHARGE", "BURNING", "PLAYERMACHINEGUNLOOP", "RADDET",
    "TROLLEY", "MEMBRANEDISSOLVE", "MAPNOTAVAILABLE", "LARGESPORES", "MUMMYBOLT1", "NOAMMO",
    "VORTAMB1", "VORTAMB2", "VORTAMB3", "VORTAMB4", "FIREJET", "FLOORSWITCH", "REGEN1", "REGEN2",
    "MUMMYBOLT2", "SHRAPNEL", "SHITDUST", "WHEELS", "EELBOLT2", "EELCHARGE2", "SILMUMPULSATE",
    "SILMUMVULVAOPEN", "SILMUMVULVACLOSE", "SILMUMBLOW", "SILMUMSUCK", "SILMUMTENTACLE",
    "SILMUMCHARGE", "SILMUMLASER", "SILMUMDIE", "SILMUMBEAM", "MPPICKUP", "MPSPAWNPLAYER",
    "MPSPAWNWEAPON", "MPSPAWNAMMO", "MPSPAWNPOWERUP", "MPTELEPORT",
};
// clang-format on

namespace {

struct SoundList {
    bool on = false;
    std::vector<uint8_t> list;
    bool listLoaded = false;
    int32_t slotCount = 0;
    MV2SoundSlot slots[kMV2SoundSlots]{};
    int32_t idSlots[kMV2SoundNames]{};
    MV2SoundChannel looped{}; // sentinel of the looped-sounds list
    int32_t pauseValue = 0;
    bool pausePending = false;
    bool mono = false;
};

SoundList g_sounds;

MV2SoundChannel* LoopedHead() {
    MV2SoundChannel* head = &g_sounds.looped;
    if (!head->next) head->next = head->prev = head;
    return head;
}

void LinkLooped(MV2SoundChannel* c) {
    if (c->next) return;
    MV2SoundChannel* head = LoopedHead();
    c->next = head->next;
    c->prev = head;
    head->next->prev = c;
    head->next = c;
}

void UnlinkLooped(MV2SoundChannel* c) {
    if (!c->next) return;
    c->prev->next = c->next;
    c->next->prev = c->prev;
    c->next = c->prev = nullptr;
}

void EmptyLooped() {
    MV2SoundChannel* head = LoopedHead();
    while (head->next != head)
        UnlinkLooped(head->next);
}

// The channel of a slot, or null for slot or channel 0 or beyond what is loaded.
MV2SoundChannel* ChannelOf(int32_t slot, int32_t channel) {
    if (slot < 1 || slot > g_sounds.slotCount) return nullptr;
    MV2SoundSlot& s = g_sounds.slots[slot - 1];
    if (channel < 1 || channel > s.channels) return nullptr;
    return &s.channel[channel - 1];
}

// Reads the whole list through the engine file interface; false after its error box.
bool ReadList() {
    const char* failure = nullptr;
    TvFileInterface* files = TvEngineGetFileInterface();
    void* f = files->open ? files->open(".\\DATA\\sounds.dat", "rb") : nullptr;
    if (!f) {
        failure = "Could not open SOUNDS.DAT file\n";
    } else {
        long length = files->length(f);
        std::vector<uint8_t> bytes;
        if (length < 0) {
            failure = "Could not allocate buffer for sounds.dat\n";
        } else {
            try {
                bytes.resize(size_t(length));
            } catch (const std::bad_alloc&) {
                failure = "Could not allocate buffer for sounds.dat\n";
            }
        }
        if (!failure && length > 0 && files->read(bytes.data(), 1, bytes.size(), f) != bytes.size())
            failure = "sounds.dat corrupted - could not read whole file\n";
        files->close(f);
        if (!failure) {
            g_sounds.list.swap(bytes);
            g_sounds.listLoaded = true;
            return true;
        }
    }
    MV2ErrorBox(failure);
    MV2ErrorBox("Couldn't load Binary Sound File (sounds.dat)\n");
    return false;
}

} // namespace

MV2SoundId MV2FindSoundByName(const char* name) {
    if (!name) return -1;
    for (int32_t i = 0; i < kMV2SoundNames; ++i)
        if (std::strcmp(MV2SoundNames[i], name) == 0) return i;
    return -1;
}

int32_t MV2GetSoundSlot(MV2SoundId id) {
    return id >= 0 && id < kMV2SoundNames ? g_sounds.idSlots[id] : 0;
}

int32_t MV2GetSoundSlotCount() {
    return g_sounds.slotCount;
}

const MV2SoundSlot* MV2GetSoundSlotRecord(int32_t slot) {
    return slot >= 1 && slot <= g_sounds.slotCount ? &g_sounds.slots[slot - 1] : nullptr;
}

int32_t MV2SoundListRecordCount(uint32_t size) {
    return int32_t(size / kMV2SoundRecordSize);
}

void MV2ReadSoundListRecord(const uint8_t* bytes, uint32_t size, int32_t index,
                            MV2SoundListRecord* out) {
    *out = MV2SoundListRecord{};
    if (index < 0 || index >= MV2SoundListRecordCount(size)) return;
    const uint8_t* r = bytes + size_t(index) * kMV2SoundRecordSize;
    std::memcpy(out->name, r, 40);
    out->name[40] = 0;
    std::memcpy(out->file, r + 40, 16);
    out->file[16] = 0;
    out->channels =
        uint32_t(r[56]) | uint32_t(r[57]) << 8 | uint32_t(r[58]) << 16 | uint32_t(r[59]) << 24;
    out->priority =
        uint32_t(r[60]) | uint32_t(r[61]) << 8 | uint32_t(r[62]) << 16 | uint32_t(r[63]) << 24;
}

int32_t MV2StartSounds(int32_t bits, int32_t rate) {
    g_sounds.on = false;
    g_sounds.slotCount = 0;
    if (!MV2StartVoiceSystem(bits, rate, 400, kMV2VoiceLimit)) return 0;
    g_sounds.list.clear();
    g_sounds.listLoaded = false;
    if (!ReadList()) return 0;
    MV2SetSfxVolume(100);
    MV2SetSpeechVolume(100);
    MV2SetMasterVolume(1.0f);
    MV2UpdateSounds();
    if (!MV2StartSpeech()) return 0;
    EmptyLooped();
    MV2RecordSoundCameraMode();
    g_sounds.on = true;
    g_sounds.mono = false;
    return 1;
}

int32_t MV2LoadSounds() {
    if (!g_sounds.on) return 1;
    if (!g_sounds.listLoaded) return 0;
    const uint32_t size = uint32_t(g_sounds.list.size());
    const int32_t count = MV2SoundListRecordCount(size);
    for (int32_t i = 0; i < count; ++i) {
        MV2SoundListRecord record;
        MV2ReadSoundListRecord(g_sounds.list.data(), size, i, &record);
        MV2SoundId id = MV2FindSoundByName(record.name);
        char file[64];
        std::snprintf(file, sizeof file, ".\\%s%s.WAV", "SOUND\\", record.file);
        int32_t slot = MV2LoadSoundSample(file, record.channels, record.priority);
        if (!slot)
            slot = MV2LoadSoundSample(".\\SOUND\\null.wav", record.channels, record.priority);
        if (!slot) {
            MV2ErrorBox("Could not load null.wav\n");
            return 0;
        }
        // A name that is not built in keeps its slot; no id maps to it.
        if (id >= 0) g_sounds.idSlots[id] = slot;
    }
    return 1;
}

int32_t MV2LoadSoundSample(const char* file, uint32_t channels, uint32_t priority) {
    if (!g_sounds.on) return 1;
    if (g_sounds.slotCount >= kMV2SoundSlots || !file) return 0;
    int32_t count = channels < 1 ? 1 : channels > 5 ? 5 : int32_t(channels);
    MV2SoundVoice* first = MV2CreateVoice(file, 0, 0);
    if (!first) return 0;
    MV2SoundSlot& slot = g_sounds.slots[g_sounds.slotCount];
    slot = MV2SoundSlot{};
    slot.channel[0].voice = first;
    if (priority) MV2SetVoicePriority(first, 1);
    int32_t made = 1;
    for (; made < count; ++made) {
        MV2SoundVoice* copy = nullptr;
        if (!MV2CopyVoice(first, &copy)) break;
        if (priority) MV2SetVoicePriority(copy, 1);
        slot.channel[made].voice = copy;
    }
    slot.channels = made;
    return ++g_sounds.slotCount;
}

int32_t MV2PlaySound(int32_t slot, int32_t, int32_t loop) {
    if (!g_sounds.on) return 1;
    if (slot < 1 || slot > g_sounds.slotCount) return 0;
    MV2SoundSlot& s = g_sounds.slots[slot - 1];
    int32_t chosen = 0;
    for (int32_t c = 1; c <= s.channels && !chosen; ++c) {
        if (!MV2IsVoiceBusy(s.channel[c - 1].voice)) {
            chosen = c;
            s.channel[c - 1].attached = 0;
            s.channel[c - 1].source = nullptr;
        }
    }
    if (!chosen) {
        for (int32_t c = s.lastChannel + 1; c <= s.channels && !chosen; ++c)
            if (!s.channel[c - 1].attached) chosen = c;
        if (!chosen && !s.channel[0].attached) chosen = 1;
        if (!chosen) return 0;
    }
    s.lastChannel = chosen;
    MV2SoundChannel& channel = s.channel[chosen - 1];
    MV2StartVoice(channel.voice, loop);
    if (loop && !channel.lowPass) LinkLooped(&channel);
    return chosen;
}

void MV2PlayInterfaceSound(MV2SoundId id) {
    const int32_t slot = MV2GetSoundSlot(id);
    const int32_t channel = MV2PlaySound(slot, 0, 0);
    if (channel <= 0) return;
    MV2SetSoundParams(slot, channel, 0, 1.0f, 0.0f);
    MV2UpdateSounds();
}

void MV2StopSound(int32_t slot, int32_t channel) {
    if (!g_sounds.on) return;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    if (!c) return;
    c->source = nullptr;
    c->attached = 0;
    MV2StopVoice(c->voice);
    UnlinkLooped(c);
}

void MV2AttachSoundSource(int32_t slot, int32_t channel, const TvV3d* position) {
    if (!g_sounds.on) return;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    if (!c) return;
    c->attached = 1;
    c->source = position;
}

int32_t MV2IsSoundAttachedTo(int32_t slot, int32_t channel, const TvV3d* position) {
    if (!g_sounds.on) return 1;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    return c && c->attached && c->source == position;
}

void MV2SetSoundParams(int32_t slot, int32_t channel, uint32_t rate, float volume, float pan) {
    if (!g_sounds.on) return;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    if (!c) return;
    MV2SetVoiceRate(c->voice, rate);
    MV2SetVoiceVolume(c->voice, volume);
    MV2SetVoicePan(c->voice, pan);
}

void MV2SetSoundLowPass(int32_t slot, int32_t channel, int32_t on) {
    if (!g_sounds.on) return;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    if (!c) return;
    c->lowPass = on ? 1 : 0;
    MV2SetVoiceLowPass(c->voice, on);
    // A channel with a muffle of its own no longer follows the camera mode.
    if (on) UnlinkLooped(c);
}

void MV2PlaceSound3D(int32_t slot, int32_t channel, const TvV3d* source, const TvV3d* velocity,
                     uint32_t baseRate, float volumeBias) {
    if (!g_sounds.on || !source || !gMV2MainCamera || !gMV2MainCamera->object.frame) return;
    MV2SoundChannel* c = ChannelOf(slot, channel);
    if (!c) return;
    const TvMatrix* m = TvFrameGetLTM(gMV2MainCamera->object.frame);
    const float range = gMV2MainCamera->farPlane > 0.0f ? gMV2MainCamera->farPlane : 30.0f;
    TvV3d d = {source->x - m->pos.x, source->y - m->pos.y, source->z - m->pos.z};
    float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    float r = length / range;
    float volume = (1.0f - r) * (1.0f + r) + volumeBias * 0.0001f;
    volume = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
    float pan = 0.0f;
    uint32_t rate = baseRate;
    if (length > 0.0f && r >= 0.03f) {
        TvV3d n = {-d.x / length, -d.y / length, -d.z / length};
        pan = m->right.x * n.x + m->right.y * n.y + m->right.z * n.z;
        if (velocity) {
            uint32_t base = baseRate ? baseRate : MV2GetVoiceRate(c->voice);
            float along = velocity->x * n.x + velocity->y * n.y + velocity->z * n.z;
            int64_t shifted = int64_t(base) + int64_t(along * 8000.0f);
            rate = shifted < 0 ? 0u : uint32_t(shifted);
        }
    }
    MV2SetVoiceRate(c->voice, rate);
    MV2SetVoiceVolume(c->voice, volume);
    MV2SetVoicePan(c->voice, pan);
}

void MV2ResetSounds() {
    if (g_sounds.on) {
        for (int32_t s = 1; s <= g_sounds.slotCount; ++s)
            for (int32_t c = 1; c <= g_sounds.slots[s - 1].channels; ++c)
                MV2StopSound(s, c);
        MV2StopSpeech();
        EmptyLooped();
    }
    MV2StopAllObjectSounds();
}

int32_t MV2RequestSoundPause(int32_t on) {
    if (!g_sounds.on) return 0;
    g_sounds.pauseValue = on;
    g_sounds.pausePending = true;
    return 1;
}

int32_t MV2TakeSoundPauseRequest(int32_t* value) {
    if (!g_sounds.pausePending) return 0;
    g_sounds.pausePending = false;
    *value = g_sounds.pauseValue;
    return 1;
}

void MV2SetLoopedSoundsLowPass(int32_t on) {
    MV2SoundChannel* head = LoopedHead();
    for (MV2SoundChannel* c = head->next; c != head; c = c->next)
        MV2SetVoiceLowPass(c->voice, on);
}

void MV2ShutdownSounds() {
    MV2StopSpeechService();
    EmptyLooped();
    for (int32_t& slot : g_sounds.idSlots)
        slot = 0;
    g_sounds.slotCount = 0;
    MV2StopVoiceSystem();
    g_sounds.list.clear();
    g_sounds.listLoaded = false;
    g_sounds.on = false;
    g_sounds.pausePending = false;
}

void MV2SetSoundMono(int32_t on) {
    g_sounds.mono = on != 0;
}

int32_t MV2GetSoundMono() {
    return g_sounds.mono ? 1 : 0;
}
