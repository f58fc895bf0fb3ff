#include "game/effects/shadows.h"

#include "engine/core/matrix.h"
#include "game/effects/effectbase.h"
#include "game/effects/projection.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/player/player.h"

namespace {

int32_t g_shadows = 1;

constexpr uint32_t kShadowFlag = 1u << 3;
constexpr uint32_t kShadowAllFlag = 1u << 4;
constexpr uint32_t kRaisedShadow = 1u << 8;
// The tool command that names the object a craft's tools hold.
constexpr int32_t kHeldObjectCommand = 34;
// The tool that holds objects: the magnet.
constexpr int32_t kMagnetTool = 0;

uint32_t TypeFlags(const MV2Object* object) {
    return object && object->type ? object->type->words[7] : 0;
}

bool Cockpit() {
    return MV2GetCameraMode() == kMV2CameraCockpit;
}

void VisibleShadows(uint32_t need) {
    MV2Object* player = MV2GetPlayerObject();
    const int32_t seen = gMV2VisibleList.counter < kMV2VisibleObjects ? gMV2VisibleList.counter
                                                                      : kMV2VisibleObjects;
    for (int32_t i = 0; i < seen; i++) {
        const MV2VisibleObject& v = gMV2VisibleList.entries[i];
        if (!v.object || !MV2ObjectHandleAlive(v.handle)) continue;
        if ((TypeFlags(v.object) & need) != need) continue;
        if (v.object == player && Cockpit()) continue;
        MV2ProjectShadow(v.object);
    }
}

} // namespace

void MV2SetShadows(int32_t mode) {
    if (mode >= 0 && mode < 4) g_shadows = mode;
}

int32_t MV2GetShadows() {
    return g_shadows;
}

void MV2ProjectShadow(MV2Object* object) {
    if (!object || !object->matrix || !object->type) return;
    const MV2ObjectType* type = object->type;
    const TvMatrix& o = *object->matrix;
    TvMatrix m = {};
    m.right = MV2EffectUnit({o.right.x, 0.0f, o.right.z});
    m.up = {-m.right.z, 0.0f, m.right.x};
    m.at = {0.0f, -1.0f, 0.0f};
    m.pos = o.pos;
    if (type->words[7] & kRaisedShadow) m.pos.y += object->radius;
    const float size = MV2TypeFloat(type, 11);
    MV2CollectProjectedPolygons(&m, type->shadowTexture, size, size * 8.0f, 0.0f);
}

void MV2DrawShadows() {
    switch (g_shadows) {
    case 1: {
        MV2Object* player = MV2GetPlayerObject();
        if (!player || !(TypeFlags(player) & kShadowFlag)) return;
        if (!Cockpit()) MV2ProjectShadow(player);
        MV2ObjectRef held = {};
        MV2Object* object = nullptr;
        MV2SendToolCommand(player, kMagnetTool, kHeldObjectCommand, 0, &object);
        if (object && MV2SetObjectRef(&held, object) && MV2GetObjectRef(&held) &&
            (TypeFlags(object) & kShadowFlag))
            MV2ProjectShadow(object);
        break;
    }
    case 2: VisibleShadows(kShadowFlag | kShadowAllFlag); break;
    case 3: VisibleShadows(kShadowFlag); break;
    default: break;
    }
}
