#include "game/effects/sonic.h"

#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/effects/explosions.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/weapons.h"

namespace {

constexpr int32_t kSize = kMV2DistortionSize;
constexpr int32_t kHalf = kSize / 2;
constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;

struct State {
    TvTexture* texture;
    TvImage* source;   // the frame buffer's square as read
    TvImage* rippled;  // the square as drawn back
    TvRaster* work;    // the rippled square as a raster
    int8_t rowOffset[kSize][kSize];
    int8_t columnOffset[kSize][kSize];
    // Copies of the positions, not pointers: a blast may be destroyed after it registered.
    TvV3d positions[kMV2Distortions];
    int32_t count;
    int32_t ammunition;
};
State g = {};

void BuildTables() {
    for (int32_t r = 0; r < kSize; r++)
        for (int32_t c = 0; c < kSize; c++) {
            const float dy = float(r - kHalf), dx = float(c - kHalf);
            const float d = std::sqrt(dx * dx + dy * dy);
            int8_t row = 0, column = 0;
            if (d > 0.0f && d < 24.0f) {
                const float q = 0.2f * d;
                const float k = (q - std::trunc(q)) * 16.0f / d;
                row = int8_t(std::trunc(k * dy));
                column = int8_t(std::trunc(k * dx));
            }
            g.rowOffset[r][c] = row;
            g.columnOffset[r][c] = column;
        }
}

void Ripple(float reach) {
    const int32_t strideA = g.source->stride, strideB = g.rippled->stride;
    for (int32_t r = 0; r < kSize; r++) {
        auto* out = reinterpret_cast<uint32_t*>(g.rippled->pixels + r * strideB);
        const float y = float(r - kHalf);
        for (int32_t c = 0; c < kSize; c++) {
            const float x = float(c - kHalf);
            int32_t sr = r, sc = c;
            if (y >= -reach && y < reach && x >= -reach && x < reach) {
                sr = r + g.rowOffset[r][c];
                sc = c + g.columnOffset[r][c];
            }
            const auto* in = reinterpret_cast<const uint32_t*>(g.source->pixels + sr * strideA);
            out[c] = in[sc];
        }
    }
}

// One blast's square: read back, rippled, drawn over the frame buffer.
void Distort(TvCamera* camera, const TvV3d& position) {
    TvRaster* frameBuffer = TvCameraGetRaster(camera);
    if (!frameBuffer) return;
    TvV3d p;
    TvV3dTransformPoints(&p, &position, 1, TvCameraGetViewMatrix(camera));
    if (!(p.z > 0.001f)) return; // at or behind the camera plane
    const float reach = std::fmin(40.0f, 160.0f / p.z);
    const float fx = float(frameBuffer->width) * p.x / p.z - float(kHalf);
    const float fy = float(frameBuffer->height) * p.y / p.z - float(kHalf);
    if (!(fx > -1.0e6f && fx < 1.0e6f && fy > -1.0e6f && fy < 1.0e6f)) return;
    const int32_t x0 = int32_t(fx), y0 = int32_t(fy);
    // The whole square lies inside the frame buffer, clear of its edges.
    if (x0 < kHalf || x0 + kSize > frameBuffer->width || y0 < kHalf ||
        y0 + kSize > frameBuffer->height)
        return;
    TvRaster* sub = TvRasterCreate(0, 0, 0, kTvRasterTypeNormal | kTvRasterDontAllocate);
    if (!sub) return;
    const TvRect rect = {x0, y0, kSize, kSize};
    if (TvRasterSubRaster(sub, frameBuffer, &rect) && TvImageSetFromRaster(g.source, sub)) {
        Ripple(reach);
        if (TvRasterSetFromImage(g.work, g.rippled) && TvRasterPushContext(frameBuffer)) {
            TvRasterRender(g.work, x0, y0);
            TvRasterPopContext();
        }
    }
    TvRasterDestroy(sub);
}

void Free() {
    if (g.source) TvImageDestroy(g.source);
    if (g.rippled) TvImageDestroy(g.rippled);
    if (g.work) TvRasterDestroy(g.work);
    MV2DestroyEffectTexture(g.texture);
    g.source = g.rippled = nullptr;
    g.work = nullptr;
}

TvImage* MakeImage() {
    TvImage* image = TvImageCreate(kSize, kSize, 32);
    if (image && !TvImageAllocatePixels(image)) {
        TvImageDestroy(image);
        return nullptr;
    }
    return image;
}

TvV3d Unit(const TvV3d& v) {
    return MV2EffectUnit(v);
}

} // namespace

int32_t MV2InitialiseSonicDistortions() {
    MV2SetObjectTypeHandler(kMV2SonicBlastType, MV2SonicBlastHandler);
    MV2SetObjectTypeHandler(kMV2SoundSourceType, MV2SoundSourceHandler);
    MV2SetWeaponRowHandler(kMV2SonicWeaponRow, MV2SonicWeaponHandler);
    Free();
    g.texture = MV2ReadEffectTexture("sonica", "sonica");
    g.source = MakeImage();
    g.rippled = MakeImage();
    // A plain raster: a camera raster would be the frame buffer itself on this driver.
    g.work = TvRasterCreate(kSize, kSize, 0, kTvRasterTypeNormal);
    if (!g.texture || !g.source || !g.rippled || !g.work) {
        Free();
        return 0;
    }
    BuildTables();
    g.count = 0;
    return 1;
}

void MV2ShutdownSonicDistortions() {
    Free();
    g.count = 0;
}

void MV2DrawSonicDistortions() {
    if (g.work && gMV2MainCamera)
        for (int32_t i = 0; i < g.count; i++)
            Distort(gMV2MainCamera, g.positions[i]);
    g.count = 0;
}

void MV2AddSonicDistortion(const TvV3d* position) {
    if (position && g.count < kMV2Distortions) g.positions[g.count++] = *position;
}

int32_t MV2CountSonicDistortions() {
    return g.count;
}

int32_t MV2SonicDistortionOffset(int32_t row, int32_t column, int32_t* rowOffset,
                                 int32_t* columnOffset) {
    if (row < 0 || row >= kSize || column < 0 || column >= kSize) return 0;
    if (rowOffset) *rowOffset = g.rowOffset[row][column];
    if (columnOffset) *columnOffset = g.columnOffset[row][column];
    return 1;
}

// ---- The blast ----

intptr_t MV2SonicBlastHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2SonicBlastData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (d) {
            *d = MV2SonicBlastData{};
            d->fullRadius = object->clump ? MV2GetBoundingRadius(MV2FindRootAtomic(object->clump)) : 0.0f;
            if (object->matrix) d->start = object->matrix->pos;
        }
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 1);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 2: {
        if (!d || !object->matrix) break;
        const TvV3d at = object->matrix->pos;
        MV2AddSonicDistortion(&at);
        if (d->age > 5.0f) {
            const float position[3] = {at.x, at.y, at.z};
            MV2CreateExplosion(position, 0.5f, 30.0f, object, 0, 154);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        if (object->body) object->body->velocity.y += 0.001f * MV2EffectStep();
        d->age += MV2EffectSeconds();
        if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
            if (TpGeometry* geometry = TpAtomicGetGeometry(root)) {
                TvSphere* sphere = TpMorphTargetGetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0));
                const float run = 0.6f * MV2EffectLength(TvV3dSub(at, d->start));
                if (sphere) *sphere = {{0.0f, 0.0f, 0.0f}, std::fmin(run, d->fullRadius)};
            }
        break;
    }
    case 12:
        if (p2 && object->body && object->matrix) {
            const TvV3d& v = *reinterpret_cast<const TvV3d*>(p2);
            object->body->velocity = TvV3dAdd(v, TvV3dScale(object->matrix->at, 0.2f));
        }
        return 1;
    case 13:
        if (p2 && object->matrix) *reinterpret_cast<TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19:
        if (d && d->age > 0.2f && p2) {
            auto* other = reinterpret_cast<MV2Object*>(p2);
            float hit[3] = {0, 0, 0};
            if (other->matrix) {
                hit[0] = other->matrix->pos.x;
                hit[1] = other->matrix->pos.y;
                hit[2] = other->matrix->pos.z;
            }
            MV2DamageObject(object, other, hit, MV2EffectSeconds() * 8.0f, 1);
        }
        return 0;
    case 15:
        if (d) {
            auto* owner = reinterpret_cast<MV2Object*>(p2);
            if (owner) MV2SetObjectRef(&d->owner, owner);
            else MV2ClearObjectRef(&d->owner);
        }
        return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = d ? MV2GetObjectRef(&d->owner) : nullptr;
        return 1;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2SonicBlastData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// ---- The weapon ----

intptr_t MV2SonicWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: g.ammunition = 25; break;
    case 10: {
        if (p1 == 1) return 0; // no lock-on
        auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
        if (g.ammunition < 1 || !weapon || !weapon->row || !record || !record->matrix) return 1;
        const TvMatrix& m = *record->matrix;
        const TvV3d at = TvV3dAdd(m.pos, TvV3dAdd(TvV3dScale(Unit(m.at), 1.5f),
                                                  TvV3dScale(Unit(m.right), 0.2f)));
        const float position[3] = {at.x, at.y, at.z};
        MV2Object* blast = MV2CreateObject(weapon->row->shotType, position, record);
        if (blast) {
            const MV2ObjectHandle handle = blast->handle;
            blast->aiCategory = 10;
            MV2Object* shooter = record->owner;
            TvV3d velocity = shooter && shooter->body ? shooter->body->velocity : TvV3d{0, 0, 0};
            MV2ObjectSendMessage(blast, 12, 0, reinterpret_cast<intptr_t>(&velocity));
            if (MV2ObjectHandleAlive(handle))
                MV2ObjectSendMessage(blast, 15, 0, reinterpret_cast<intptr_t>(shooter));
        }
        g.ammunition--;
        return 1;
    }
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {35, kHudStandard};
        return 0;
    case 60:
        if (p2) *reinterpret_cast<float*>(p2) = float(g.ammunition) * 0.04f;
        return 1;
    default: break;
    }
    return MV2StandardWeaponHandler(weapon, message, p1, p2);
}

int32_t MV2GetSonicAmmunition() {
    return g.ammunition;
}

// ---- The sound source ----

intptr_t MV2SoundSourceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2SoundSourceData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        object->aiCategory = 1;
        if (d) *d = MV2SoundSourceData{};
        MV2ObjectSendMessage(object, 0, 1, 0);
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return result;
    }
    case 12:
        if (d && d->sound == 0) {
            d->sound = int32_t(p1);
            if (d->sound != 0) d->playing = 1;
        }
        break;
    case 11:
        if (d) {
            d->playing = uint32_t(p1);
            if (!p1) MV2StopObjectSound(object, d->sound, &d->loop);
        }
        break;
    case 2:
        if (d && d->playing) MV2StartObjectSound(object, d->sound, &d->loop, 0, 0);
        break;
    case 4:
        if (d && d->playing) MV2StopObjectSound(object, d->sound, &d->loop);
        break;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2SoundSourceData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}
