#include "game/missions/cutscenes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/frontend/draw2d.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "platform/win32/win32.h"
#include "shell/bytes.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"

MV2ScreenFade gMV2ScreenFade = {};
int32_t gMV2CutSceneActorFlag = 1;

namespace {

constexpr int32_t kEventPathEnded = 3;
constexpr int32_t kEventPath = 16;
constexpr uint32_t kBitStart = 1u << 21;
constexpr uint32_t kBitHold = 1u << 22;
constexpr uint32_t kBitFinished = 1u << 23;
constexpr uint32_t kBitEvents = 1u << 24;
constexpr uint32_t kInCityFlag = kMV2ObjectCollidesWorld; // type-word bit 20
constexpr int32_t kChannels = 12;

struct Actor {
    MV2Object* object;
    MV2ObjectHandle handle;
    MV2ObjectHandler savedHandler;
    MV2ObjectHandler savedBrain;
    uint32_t time;
    MV2CutSceneItem item;
    int32_t hasItem;
    uint32_t bits;
    TvV3d lastPosition;
    TvV3d movement;
};

struct CutScene {
    int32_t runningId = -1;
    const uint8_t* record = nullptr;
    uint32_t duration = 0;
    const uint8_t* levelBytes = nullptr; // the level header the record belongs to
    MV2CutSceneItem camera{};
    int32_t hasCamera = 0;
    int32_t hold = 0;
    uint32_t elapsed = 0;
    uint32_t playerActorId = 0;
};
CutScene g_scene;
Actor g_actors[kMV2CutSceneActors];

float ReadF32(const uint8_t* p) {
    const uint32_t bits = MV2ReadU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

uint32_t Word(const MV2CutSceneItem* item, uint32_t index) {
    return MV2ReadU32(item->bytes + 4 * index);
}

// Floats of a segment's data per key count and flag.
uint64_t DataFloats(uint32_t n, uint32_t positionOnly) {
    if (n == 2) return positionOnly ? 6 : 24;
    return uint64_t(n) * (positionOnly ? 7 : 25);
}

struct PathList {
    uint32_t segments;
    uint32_t events;
    const uint8_t* eventBytes;
    const uint8_t* firstSegment;
};

// The path list of a checked item.
bool GetPath(const MV2CutSceneItem* item, PathList* out) {
    const uint32_t word = MV2CutScenePathWord(MV2CutSceneItemKind(item));
    if (!word) return false;
    const uint8_t* p = item->bytes + 4 * word;
    out->segments = MV2ReadU32(p);
    out->events = MV2ReadU32(p + 4);
    out->eventBytes = p + 8;
    out->firstSegment = p + 8 + 8 * size_t(out->events);
    return true;
}

struct Segment {
    uint32_t start, end, n, positionOnly;
    const uint8_t* data;
};

void ReadSegment(const uint8_t* p, Segment* s) {
    *s = {MV2ReadU32(p + 4), MV2ReadU32(p + 8), MV2ReadU32(p + 12), MV2ReadU32(p + 16), p + 20};
}

// The segment that holds t, else the one with the largest start at or before t.
bool ChooseSegment(const PathList& path, uint32_t t, Segment* out) {
    const uint8_t* p = path.firstSegment;
    bool found = false;
    for (uint32_t i = 0; i < path.segments; ++i) {
        Segment s;
        ReadSegment(p, &s);
        p += MV2ReadU32(p);
        if (s.start <= t && t <= s.end) {
            *out = s;
            return true;
        }
        if (s.start <= t && (!found || s.start > out->start)) {
            *out = s;
            found = true;
        }
    }
    return found;
}

void EvaluateSegment(const Segment& s, uint32_t time, float* values) {
    const int32_t channels = s.positionOnly ? 3 : kChannels;
    const float t = float(std::min(time, s.end));
    if (s.n == 2) {
        // A segment of no length holds its end pose.
        const float ratio = s.end > s.start ? (t - float(s.start)) / float(s.end - s.start) : 1.0f;
        for (int32_t c = 0; c < channels; ++c)
            values[c] = ReadF32(s.data + 4 * c) + ratio * ReadF32(s.data + 4 * (channels + c));
        return;
    }
    const uint32_t stride = s.positionOnly ? 7 : 25;
    auto key = [&](uint32_t k, uint32_t f) { return ReadF32(s.data + 4 * (size_t(k) * stride + f)); };
    for (int32_t c = 0; c < channels; ++c) {
        uint32_t lo = 0, hi = s.n - 1;
        while (hi - lo > 1) {
            const uint32_t mid = (hi + lo) / 2;
            if (key(mid, 0) > t)
                hi = mid;
            else
                lo = mid;
        }
        const float h = key(hi, 0) - key(lo, 0);
        if (h == 0.0f) {
            OutputDebugStringA("Spline: oops\n");
            continue;
        }
        const float a = (key(hi, 0) - t) / h, b = (t - key(lo, 0)) / h;
        const float ylo = key(lo, 1 + c), yhi = key(hi, 1 + c);
        const float y2lo = key(lo, 1 + channels + c), y2hi = key(hi, 1 + channels + c);
        values[c] = a * ylo + b * yhi + ((a * a * a - a) * y2lo + (b * b * b - b) * y2hi) * (h * h) / 6.0f;
    }
}

TvV3d WorldCorner() {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) world = gMV2Level.landscape;
    const TvBBox* box = world ? TpWorldGetBBox(world) : nullptr;
    return box ? box->sup : TvV3d{0, 0, 0};
}

void ValuesFromMatrix(const TvMatrix* m, float* values) {
    const TvV3d corner = WorldCorner();
    const TvV3d rows[4] = {TvV3dSub(m->pos, corner), m->at, m->right, m->up};
    for (int32_t r = 0; r < 4; ++r) {
        values[3 * r] = rows[r].x;
        values[3 * r + 1] = rows[r].y;
        values[3 * r + 2] = rows[r].z;
    }
}

Actor* NewActor(MV2Object* object) {
    for (Actor& a : g_actors)
        if (!a.object || !MV2ObjectHandleAlive(a.handle) || a.object->cutSceneActor != &a) {
            a = {};
            a.object = object;
            a.handle = object->handle;
            object->cutSceneActor = &a;
            return &a;
        }
    return nullptr;
}

void FreeActor(MV2Object* object) {
    auto* a = static_cast<Actor*>(object->cutSceneActor);
    object->cutSceneActor = nullptr;
    if (a) *a = {};
}

// The actor handler takes over: the type handler and brain are kept to hand back.
bool InstallActor(MV2Object* object, const MV2CutSceneItem* item, int32_t flags) {
    Actor* a = NewActor(object);
    if (!a) return false;
    a->item = *item;
    a->hasItem = 1;
    a->savedHandler = object->typeHandler;
    a->savedBrain = object->overrideHandler;
    if (flags & 1) a->bits |= kBitHold;
    object->typeHandler = MV2CutSceneActorHandler;
    MV2ObjectSendMessage(object, 3, 0, 0);
    return true;
}

void DestroyActorObject(MV2Object* object) {
    if (object && MV2ObjectHandleAlive(object->handle)) MV2ObjectSendMessage(object, 4, 0, 0);
}

void UpdateCameraFrame() {
    TvCamera* camera = gMV2MainCamera;
    if (camera && camera->object.frame) TvFrameUpdateObjects(camera->object.frame);
}

// A light object's settings from a kind-2 item.
void SetUpKind2(MV2Object* object, const MV2CutSceneItem* item) {
    if (object->typeHandler == MV2LightObjectHandler && object->privateData) {
        auto* d = static_cast<MV2LightObjectData*>(object->privateData);
        const uint32_t colour = Word(item, 7);
        d->red = float(colour & 0xFF) / 255.0f;
        d->green = float((colour >> 8) & 0xFF) / 255.0f;
        d->blue = float((colour >> 16) & 0xFF) / 255.0f;
        d->radius = ReadF32(item->bytes + 24);
        d->glowSize = ReadF32(item->bytes + 20);
        d->flags = (d->flags & ~0xFF0u) | ((Word(item, 4) & 0xFF) << 4);
        d->flags = (d->flags & ~0xCu) | (((colour >> 24) & 3) << 2);
    }
    MV2ObjectSendMessage(object, 11, 1, 0);
}

template <typename T> T* PrivateBlock(MV2Object* object) {
    if (!object->privateData || !object->type || object->type->privateDataSize < sizeof(T))
        return nullptr;
    return static_cast<T*>(object->privateData);
}

void SetUpKind3(MV2Object* object, const MV2CutSceneItem* item) {
    if (auto* d = PrivateBlock<MV2CutSceneKind3Setup>(object)) {
        for (int32_t i = 0; i < 3; ++i)
            d->values[i] = ReadF32(item->bytes + 16 + 4 * i);
        const uint32_t colour = Word(item, 7), extra = Word(item, 8);
        d->red = float(colour & 0xFF) / 255.0f;
        d->green = float((colour >> 8) & 0xFF) / 255.0f;
        d->blue = float((colour >> 16) & 0xFF) / 255.0f;
        d->alpha = float(colour >> 24) / 255.0f;
        d->fractions[0] = float(extra & 0xFF) / 255.0f;
        d->fractions[1] = float((extra >> 8) & 0xFF) / 255.0f;
        d->fractions[2] = 0.0f;
        d->flags = (extra >> 16) & 3;
    }
    MV2ObjectSendMessage(object, 24, 0, 0);
}

void SetUpKind4(MV2Object* object, const MV2CutSceneItem* item) {
    if (auto* d = PrivateBlock<MV2CutSceneKind4Setup>(object))
        for (uint32_t i = 0; i < 4; ++i)
            d->words[i] = Word(item, 4 + i);
    MV2ObjectSendMessage(object, 24, 0, 0);
}

bool Check(const uint8_t* record, size_t size, uint32_t* items) {
    if (!MV2CutSceneCheckRecord(record, size)) return false;
    *items = MV2ReadU32(record + 12);
    return true;
}

} // namespace

uint32_t MV2CutScenePathWord(uint32_t kind) {
    switch (kind) {
    case 0:
    case 5: return 4;
    case 1: return 6;
    case 2:
    case 4: return 8;
    case 3: return 9;
    case 6: return 7;
    case 8: return 5;
    default: return 0;
    }
}

int32_t MV2CutSceneCheckItem(const uint8_t* bytes, size_t size) {
    if (size < kMV2CutSceneItemHead || MV2ReadU32(bytes + 4) != size) return 0;
    const uint32_t word = MV2CutScenePathWord((MV2ReadU32(bytes + 8) >> 24) & 0x1F);
    if (!word) return 0;
    uint64_t at = 4ull * word;
    if (at + 8 > size) return 0;
    const uint32_t segments = MV2ReadU32(bytes + at), events = MV2ReadU32(bytes + at + 4);
    at += 8 + 8ull * events;
    if (at > size) return 0;
    for (uint32_t i = 0; i < segments; ++i) {
        if (at + kMV2CutSceneSegmentHead > size) return 0;
        const uint8_t* s = bytes + at;
        const uint32_t segmentSize = MV2ReadU32(s), n = MV2ReadU32(s + 12);
        const uint32_t positionOnly = MV2ReadU32(s + 16);
        if (n < 2 || MV2ReadU32(s + 8) < MV2ReadU32(s + 4)) return 0;
        if (segmentSize < kMV2CutSceneSegmentHead + 4 * DataFloats(n, positionOnly)) return 0;
        if (at + segmentSize > size) return 0;
        at += segmentSize;
    }
    return 1;
}

int32_t MV2CutSceneCheckRecord(const uint8_t* bytes, size_t size) {
    if (!bytes || size < kMV2CutSceneRecordHead) return 0;
    const uint32_t recordSize = MV2ReadU32(bytes + 4);
    if (recordSize < kMV2CutSceneRecordHead || recordSize > size) return 0;
    const uint32_t items = MV2ReadU32(bytes + 12);
    uint64_t at = kMV2CutSceneRecordHead;
    for (uint32_t i = 0; i < items; ++i) {
        if (at + kMV2CutSceneItemHead > recordSize) return 0;
        const uint32_t itemSize = MV2ReadU32(bytes + at + 4);
        if (itemSize < kMV2CutSceneItemHead || at + itemSize > recordSize) return 0;
        if (!MV2CutSceneCheckItem(bytes + at, itemSize)) return 0;
        at += itemSize;
    }
    return 1;
}

void MV2CutSceneReadItem(const uint8_t* bytes, MV2CutSceneItem* out) {
    *out = {MV2ReadU32(bytes), MV2ReadU32(bytes + 4), MV2ReadU32(bytes + 8), bytes};
}

int32_t MV2CutSceneEvaluatePath(const MV2CutSceneItem* item, uint32_t t, float* values,
                                int32_t* positionOnly) {
    PathList path;
    Segment s;
    if (!GetPath(item, &path) || !ChooseSegment(path, t, &s)) return 0;
    EvaluateSegment(s, t, values);
    if (positionOnly) *positionOnly = s.positionOnly ? 1 : 0;
    return 1;
}

void MV2CutSceneApplyValues(TvMatrix* matrix, const float* values, int32_t positionOnly) {
    const TvV3d corner = WorldCorner();
    matrix->pos = {values[0] + corner.x, values[1] + corner.y, values[2] + corner.z};
    TvV3d* axes[3] = {&matrix->at, &matrix->right, &matrix->up};
    for (int32_t r = 0; r < 3; ++r) {
        const TvV3d v = positionOnly ? *axes[r]
                                     : TvV3d{values[3 + 3 * r], values[4 + 3 * r], values[5 + 3 * r]};
        TvV3d unit;
        // An axis of no length keeps the orientation it had.
        if (TvV3dNormalize(&unit, &v) != 0.0f) *axes[r] = unit;
    }
    TvMatrixUpdate(matrix);
}

void MV2CutSceneRaisePathEvents(MV2Object* object, const MV2CutSceneItem* item, uint32_t time,
                                uint32_t frameMs) {
    PathList path;
    if (!GetPath(item, &path)) return;
    const uint64_t end = uint64_t(time) + frameMs;
    for (uint32_t i = 0; i < path.events; ++i) {
        const uint8_t* e = path.eventBytes + 8 * size_t(i);
        const uint32_t at = MV2ReadU32(e + 4);
        if (at > time && at <= end) MV2NotifyScripts(object, kEventPath, intptr_t(MV2ReadU32(e)));
    }
}

MV2Object* MV2CutSceneCreateActor(const MV2CutSceneItem* item) {
    const uint32_t kind = MV2CutSceneItemKind(item);
    if (!MV2CutScenePathWord(kind) || kind == kMV2CutSceneCamera) return nullptr;
    TvMatrix identity = {};
    identity.right = {1, 0, 0};
    identity.up = {0, 1, 0};
    identity.at = {0, 0, 1};
    MV2CreationRecord record = {};
    record.matrix = &identity;
    if (kind == 6) {
        char name[kMV2CutSceneModelName + 1] = {};
        const size_t room = std::min<size_t>(kMV2CutSceneModelName, item->size - 16);
        std::memcpy(name, item->bytes + 16, room);
        name[room] = 0;
        char path[kMV2CutSceneModelName + 32];
        std::snprintf(path, sizeof path, ".\\clump\\%s.dff", name);
        record.clump = MV2ClumpLoad(path);
    }
    MV2CurrentLevelWorld current;
    MV2Object* object = nullptr;
    MV2Object* sub = MV2GetPlayerSub();
    if (g_scene.playerActorId && g_scene.playerActorId == item->id && sub) {
        object = MV2CreateObject(int32_t(sub->typeWord & kMV2ObjectTypeMask), nullptr, &record);
        if (object) object->typeWord &= ~kInCityFlag;
    }
    if (!object) object = MV2CreateObject(MV2CutSceneItemType(item), nullptr, &record);
    if (!object) return nullptr;
    MV2ObjectSendMessage(object, 36, intptr_t(item->id), 0);
    MV2ObjectSendMessage(object, 0, 1, 0);
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
    switch (kind) {
    case 1:
        MV2ObjectSendMessage(object, 12, intptr_t(Word(item, 4)), 0);
        MV2ObjectSendMessage(object, 79, 0, reinterpret_cast<intptr_t>(item->bytes + 20));
        break;
    case 2: SetUpKind2(object, item); break;
    case 3: SetUpKind3(object, item); break;
    case 4: SetUpKind4(object, item); break;
    case 8: MV2ObjectSendMessage(object, 79, 0, reinterpret_cast<intptr_t>(item->bytes + 16)); break;
    default: break;
    }
    if (item->kindWord & (1u << 30)) object->typeWord68 = MV2ReadU32(item->bytes + 12);
    return object;
}

int32_t MV2CutSceneStart(uint32_t recordId, int32_t flags) {
    MV2CurrentLevelWorld current;
    g_scene.hasCamera = 0;
    g_scene.elapsed = 0;
    MV2LevelRecord r;
    uint32_t items = 0;
    if (!MV2FindLevelRecord(recordId, &r) || !Check(r.bytes, r.size, &items)) return 0;
    MV2ReportMissionOutcome(kMV2OutcomeCutScene, intptr_t(recordId));
    g_scene.record = r.bytes;
    g_scene.runningId = int32_t(recordId);
    g_scene.duration = MV2ReadU32(r.bytes + 16);
    g_scene.levelBytes = gMV2Level.header.bytes;
    MV2Object* created[kMV2CutSceneActors];
    int32_t count = 0;
    const uint8_t* p = r.bytes + kMV2CutSceneRecordHead;
    for (uint32_t i = 0; i < items; ++i) {
        MV2CutSceneItem item;
        MV2CutSceneReadItem(p, &item);
        p += item.size;
        if (MV2CutSceneItemKind(&item) == kMV2CutSceneCamera) {
            g_scene.camera = item;
            g_scene.hasCamera = 1;
            g_scene.hold = flags;
            continue;
        }
        MV2Object* object = count < kMV2CutSceneActors ? MV2CutSceneCreateActor(&item) : nullptr;
        if (object && !InstallActor(object, &item, flags)) {
            DestroyActorObject(object);
            object = nullptr;
        }
        if (!object) {
            // No partial cast: what was made goes again.
            for (int32_t k = 0; k < count; ++k)
                DestroyActorObject(created[k]);
            g_scene.hasCamera = 0;
            return 0;
        }
        created[count++] = object;
    }
    return 1;
}

MV2Object* MV2CutSceneStartActor(uint32_t actorId, int32_t flags) {
    MV2CurrentLevelWorld current;
    MV2LevelRecord r;
    uint32_t items = 0;
    if (!MV2FindLevelRecord(actorId | 0xFFFF, &r) || !Check(r.bytes, r.size, &items)) return nullptr;
    const uint8_t* p = r.bytes + kMV2CutSceneRecordHead;
    for (uint32_t i = 0; i < items; ++i) {
        MV2CutSceneItem item;
        MV2CutSceneReadItem(p, &item);
        p += item.size;
        if (item.id != actorId) continue;
        MV2Object* object = MV2CutSceneCreateActor(&item);
        if (!object) return nullptr;
        if (!InstallActor(object, &item, flags)) {
            DestroyActorObject(object);
            return nullptr;
        }
        MV2ObjectSendMessage(object, 2, 0, 0);
        return object;
    }
    return nullptr;
}

void MV2CutSceneEnd() {
    if (g_scene.runningId == -1) return;
    MV2DestroyLevelRecordObjects(uint32_t(g_scene.runningId));
    g_scene.runningId = -1;
    g_scene.hasCamera = 0;
}

uint32_t MV2CutSceneActorTime(const MV2Object* object) {
    const auto* a = object ? static_cast<const Actor*>(object->cutSceneActor) : nullptr;
    return a && a->object == object ? a->time : 0;
}

int32_t MV2CutSceneRunningId() {
    return g_scene.runningId;
}

uint32_t MV2CutSceneElapsed() {
    return g_scene.elapsed;
}

void MV2SetCutScenePlayerActor(uint32_t itemId) {
    g_scene.playerActorId = itemId;
}

void MV2ClearCutScenePlayerActor() {
    g_scene.playerActorId = 0;
}

void MV2SetScreenFade(int32_t mode) {
    switch (mode) {
    case 1: gMV2ScreenFade = {1, 255, 0}; break;
    case 2: gMV2ScreenFade = {2, 0, 0}; break;
    case 3: gMV2ScreenFade = {3, 0, 255}; break;
    default: gMV2ScreenFade = {0, 0, 0}; break;
    }
}

namespace {
uint8_t Byte(float v) {
    return uint8_t(std::clamp(v, 0.0f, 255.0f));
}
} // namespace

void MV2CutSceneFadeRamp(uint32_t elapsed, uint32_t duration) {
    MV2ScreenFade& f = gMV2ScreenFade;
    const float remaining = float(int64_t(duration) - int64_t(elapsed));
    switch (f.mode) {
    case 1: f.alpha = elapsed < 2000 ? Byte(float(2000 - elapsed) * 0.1275f) : 0; break;
    case 2: f.alpha = remaining < 2000.0f ? Byte((2000.0f - remaining) * 0.1275f) : 0; break;
    case 3:
        if (remaining < 50.0f) {
            f.alpha = 255;
            f.grey = Byte((remaining + 150.0f) * 0.005f * 255.0f);
        } else if (remaining < 550.0f) {
            f.alpha = Byte((550.0f - remaining) * 0.51f);
        } else {
            f.alpha = 0;
        }
        break;
    default: break;
    }
}

void MV2DrawScreenFade() {
    const MV2ScreenFade& f = gMV2ScreenFade;
    if (!f.mode) return;
    TvCamera* camera = gMV2MainCamera;
    TvRaster* raster = camera ? TvCameraGetRaster(camera) : nullptr;
    if (!raster) return;
    MV2Set2DColour(f.grey, f.grey, f.grey, f.alpha);
    MV2Draw2DRect(0, 0, raster->width, raster->height, 0);
}

int32_t MV2CutSceneUpdate() {
    CutScene& s = g_scene;
    // A record of a level no longer loaded is not followed.
    if (s.hasCamera && s.levelBytes != gMV2Level.header.bytes) s.hasCamera = 0;
    TvCamera* camera = gMV2MainCamera;
    TvMatrix* matrix = camera && camera->object.frame ? TvFrameGetMatrix(camera->object.frame) : nullptr;
    if (!s.hasCamera || !matrix) {
        UpdateCameraFrame();
        return 0;
    }
    if (s.elapsed > s.duration && !s.hold) {
        if (gMV2ScreenFade.mode) gMV2ScreenFade.alpha = gMV2ScreenFade.mode == 1 ? 0 : 255;
        MV2NotifyScripts(nullptr, kEventPathEnded, 0);
        UpdateCameraFrame();
        return 0;
    }
    MV2CutSceneFadeRamp(s.elapsed, s.duration);
    const uint32_t frameMs = MV2GetFrameMilliseconds();
    const MV2CutSceneItem camItem = s.camera;
    MV2CutSceneRaisePathEvents(nullptr, &camItem, s.elapsed, frameMs);
    s.elapsed += frameMs;
    if (s.hasCamera) {
        float values[kChannels];
        int32_t positionOnly = 0;
        ValuesFromMatrix(matrix, values);
        if (MV2CutSceneEvaluatePath(&s.camera, s.elapsed, values, &positionOnly))
            MV2CutSceneApplyValues(matrix, values, positionOnly);
    }
    MV2EmptyHook();
    UpdateCameraFrame();
    return 0;
}

namespace {

intptr_t PassOn(Actor* a, MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (a && a->savedHandler) return a->savedHandler(object, message, p1, p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t UpdateActor(Actor* a, MV2Object* object, intptr_t p1) {
    if (!a->hasItem) return PassOn(a, object, 2, p1, 0);
    const uint32_t frameMs = MV2GetFrameMilliseconds();
    const MV2ObjectHandle handle = object->handle;
    if (a->bits & kBitEvents) {
        const MV2CutSceneItem item = a->item;
        MV2CutSceneRaisePathEvents(object, &item, a->time, frameMs);
        // A path event's handler may have destroyed the actor.
        if (!MV2ObjectHandleAlive(handle) || object->cutSceneActor != a) return 1;
        a->time += frameMs;
    }
    PathList path;
    if (!(a->bits & kBitFinished) && GetPath(&a->item, &path) && path.segments) {
        Segment first;
        ReadSegment(path.firstSegment, &first);
        if (a->time >= first.start) {
            if ((object->typeWord & kMV2ObjectTypeMask) != 42) {
                MV2SetObjectVisible(object, 1);
                MV2SetTag69PartVisible(object, 0);
            }
            a->bits |= kBitFinished;
            a->lastPosition = object->matrix ? object->matrix->pos : TvV3d{0, 0, 0};
        }
    }
    a->movement = {0, 0, 0};
    if (object->matrix) {
        float values[kChannels];
        int32_t positionOnly = 0;
        ValuesFromMatrix(object->matrix, values);
        if (MV2CutSceneEvaluatePath(&a->item, a->time, values, &positionOnly))
            MV2CutSceneApplyValues(object->matrix, values, positionOnly);
        object->previousPosition = object->matrix->pos;
        a->movement = TvV3dSub(object->matrix->pos, a->lastPosition);
        a->lastPosition = object->matrix->pos;
    }
    if ((object->typeWord & kMV2ObjectTypeMask) == 67) {
        MV2Object* carried = nullptr;
        if (MV2MissionToolCommand(object, 6, 13, 0, &carried) && carried &&
            MV2ObjectSendMessage(carried, 13, 0, 0))
            MV2ObjectSendMessage(carried, 2, 0, 0);
    }
    if (object->clump) TvFrameUpdateObjects(object->clump->frame);
    if (!(a->bits & kBitFinished)) return 1;
    return PassOn(a, object, 2, p1, reinterpret_cast<intptr_t>(&a->movement));
}

} // namespace

intptr_t MV2CutSceneActorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* a = static_cast<Actor*>(object->cutSceneActor);
    switch (message) {
    case 3:
        if (a) {
            a->time = 0;
            a->bits |= kBitStart | kBitEvents;
        }
        object->overrideHandler = nullptr;
        return 1;
    case 2: return a ? UpdateActor(a, object, p1) : MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 4: {
        const MV2ObjectHandler saved = a ? a->savedHandler : nullptr;
        const MV2ObjectHandler brain = a ? a->savedBrain : nullptr;
        FreeActor(object);
        object->typeHandler = saved;
        if (brain) return brain(object, 4, p1, p2);
        return saved ? saved(object, 4, p1, p2) : MV2ObjectDefaultHandler(object, 4, p1, p2);
    }
    case 12:
        if (a) a->bits = p1 ? (a->bits | kBitEvents) : (a->bits & ~kBitEvents);
        return 1;
    case 75: return gMV2CutSceneActorFlag;
    default: return PassOn(a, object, message, p1, p2);
    }
}

void MV2SetCutSceneActorFlag(int32_t value) {
    gMV2CutSceneActorFlag = value;
}
