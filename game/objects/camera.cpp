#include "game/objects/camera.h"

#include <algorithm>
#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/objects/modeltags.h"
#include "game/objects/objectupdate.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

MV2GameCamera gMV2GameCamera{};

namespace {

constexpr int32_t kCockpitTag = 69;
constexpr uint8_t kRenderFlag = 4;

TvMatrix* MainMatrix() {
    return gMV2MainCamera && gMV2MainCamera->object.frame
               ? TvFrameGetMatrix(gMV2MainCamera->object.frame)
               : nullptr;
}

TvFrame* FollowFrame(MV2Object* object) {
    if (!object || !object->clump) return nullptr;
    if (TvFrame* tagged = MV2FindFrameByTag(object->clump, 1)) return tagged;
    return MV2GetRootFrame(object->clump);
}

// The camera looks from where it is towards a point, with the world's up.
void LookAt(TvMatrix* m, const TvV3d& point) {
    TvV3d at = TvV3dSub(point, m->pos);
    TvV3dNormalize(&m->at, &at);
    const TvV3d up{0, 1, 0};
    TvV3d right = TvV3dCross(up, m->at);
    TvV3d newUp = TvV3dCross(m->at, right);
    TvV3dNormalize(&m->right, &right);
    TvV3dNormalize(&m->up, &newUp);
}

float SineTable(int32_t i) {
    return std::sin(float(i) * (6.2831855f / 2048.0f));
}

void FlagMainChanged() {
    if (gMV2MainCamera && gMV2MainCamera->object.frame)
        TvFrameUpdateObjects(gMV2MainCamera->object.frame);
}

// The view window's wobble; false once it has faded out (the update then ends there).
bool Wobble() {
    MV2GameCamera& c = gMV2GameCamera;
    const float step = gMV2FrameTimer.ticks;
    if (c.wobbling)
        c.wobbleLevel = std::min(c.wobbleLevel + step * 0.01f, 1.0f);
    else
        c.wobbleLevel -= step * 0.01f;
    if (c.wobbleLevel <= 0.0f) {
        c.wobbleLevel = 0.0f;
        return false;
    }
    c.wobblePhase += step * 10.0f;
    if (c.wobblePhase >= 2048.0f) c.wobblePhase -= 2048.0f;
    const float v = SineTable(int32_t(c.wobblePhase)) * 0.02f * c.wobbleLevel;
    if (gMV2MainCamera) {
        const TvV2d window{0.55f + v, 0.55f - v};
        TvCameraSetViewWindow(gMV2MainCamera, &window);
    }
    return true;
}

} // namespace

void MV2ResetGameCamera() {
    gMV2GameCamera = MV2GameCamera{};
}

void MV2SetCameraMode(int32_t mode) {
    MV2GameCamera& c = gMV2GameCamera;
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->clump) {
        TvMatrix* camera = MainMatrix();
        TvFrame* frame = MV2GetRootFrame(player->clump);
        if (mode == kMV2CameraChase && c.mode != kMV2CameraChase && camera && frame) {
            const TvMatrix* p = TvFrameGetLTM(frame);
            camera->pos = TvV3dSub(camera->pos, TvV3dScale(p->at, 0.95f * player->radius));
            TvMatrixUpdate(camera);
            FlagMainChanged();
        }
        if (mode == kMV2CameraCockpit && frame) c.savedPlayer = *TvFrameGetMatrix(frame);
    }
    c.mode = mode;
    c.moveRemaining = 0.0f;
    c.moveTotal = 0.0f;
}

int32_t MV2GetCameraMode() {
    return gMV2GameCamera.mode;
}

void MV2SetObjectVisible(MV2Object* object, int32_t on) {
    if (!object || !object->clump) return;
    for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a)) {
        const uint32_t tag = MV2AtomicGetPartTag(a);
        if ((tag >= 200 && tag <= 203) || (tag >= 210 && tag <= 213)) continue;
        const TpGeometry* g = TpAtomicGetGeometry(a);
        const bool show = on && !(g && g->numTriangles == 1);
        const uint8_t flags = a->object.object.flags;
        TpAtomicSetFlags(a, show ? uint8_t(flags | kRenderFlag) : uint8_t(flags & ~kRenderFlag));
    }
}

void MV2SetTag69PartVisible(MV2Object* object, int32_t on) {
    if (!object || !object->clump) return;
    TpAtomic* a = MV2FindAtomicByTag(object->clump, kCockpitTag);
    if (!a) return;
    const uint8_t flags = a->object.object.flags;
    TpAtomicSetFlags(a, on ? uint8_t(flags | kRenderFlag) : uint8_t(flags & ~kRenderFlag));
}

void MV2UpdateCamera(MV2Object* object) {
    MV2GameCamera& c = gMV2GameCamera;
    if (c.mode == kMV2CameraFrozen) return;
    if (!object) object = MV2GetObjectRef(&c.target);
    if (!object) return;
    c.follow = FollowFrame(object);
    const bool changed = c.mode != c.previousMode;
    c.previousMode = c.mode;
    MV2Object* sub = MV2GetPlayerSub();
    if (sub && sub != MV2GetPlayerObject()) {
        MV2SetObjectVisible(sub, 1);
        MV2SetTag69PartVisible(sub, 0);
    }
    TvMatrix* m = MainMatrix();
    const TvMatrix* follow = c.follow ? TvFrameGetLTM(c.follow) : nullptr;
    if (m && follow) {
        switch (c.mode) {
        case kMV2CameraChase: {
            MV2SetObjectVisible(object, 1);
            MV2SetTag69PartVisible(object, 0);
            float d = -3.0f;
            if (MV2SendToolCommand(object, 0, 34, 0, nullptr))
                d = (MV2GetCurrentLevelId() >> 24) == 4 ? -2.5f : -5.0f;
            const TvV3d desired =
                TvV3dAdd(follow->pos, TvV3dAdd(follow->up, TvV3dScale(follow->at, d)));
            m->pos = TvV3dAdd(m->pos, TvV3dScale(TvV3dSub(desired, m->pos),
                                                 gMV2FrameTimer.ticks * 0.05f));
            MV2ResolveSphereWorldContact(&m->pos.x, 1.0f, 8);
            LookAt(m, follow->pos);
            break;
        }
        case kMV2CameraCockpit: {
            const uint32_t flags = m->flags;
            *m = *follow;
            m->flags = flags | follow->flags;
            if (changed) {
                MV2SetObjectVisible(object, 0);
                MV2SetTag69PartVisible(object, 0);
            }
            break;
        }
        case kMV2CameraFixed:
            MV2SetObjectVisible(object, 1);
            MV2SetTag69PartVisible(object, 0);
            LookAt(m, follow->pos);
            break;
        case kMV2CameraExternal:
            if (sub) {
                MV2SetObjectVisible(sub, 1);
                MV2SetTag69PartVisible(sub, 0);
            }
            break;
        case kMV2CameraTracking: {
            if (sub) MV2SetObjectVisible(sub, 1);
            if (MV2Object* target = MV2GetObjectRef(&c.target)) {
                if (TvFrame* f = FollowFrame(target)) LookAt(m, TvFrameGetLTM(f)->pos);
            }
            if (c.moveRemaining > 0.0f && c.moveTotal > 0.0f) {
                c.moveRemaining = std::max(c.moveRemaining - gMV2FrameTimer.ticks, 0.0f);
                m->pos = TvV3dAdd(c.moveObjectStart,
                                  TvV3dScale(TvV3dSub(c.moveCameraStart, c.moveObjectStart),
                                             c.moveRemaining / c.moveTotal));
            }
            break;
        }
        default:
            break;
        }
    }
    FlagMainChanged();
    if (Wobble() && m) TvMatrixUpdate(m);
}

void MV2SetCameraMatrix(const TvMatrix* matrix) {
    if (TvMatrix* m = MainMatrix()) {
        *m = *matrix;
        TvMatrixUpdate(m);
        FlagMainChanged();
    }
    gMV2GameCamera.previousMode = -1;
}

void MV2SetCameraTarget(MV2Object* object) {
    MV2SetObjectRef(&gMV2GameCamera.target, object);
    MV2UpdateCamera(object);
}

void MV2MoveCameraToObject(MV2Object* object) {
    const int32_t mode = gMV2GameCamera.mode;
    if (mode != kMV2CameraFixed && mode != kMV2CameraTracking && mode != kMV2CameraScripted) return;
    TvMatrix* m = MainMatrix();
    if (!m || !object || !object->clump) return;
    m->pos = TvFrameGetLTM(MV2GetRootFrame(object->clump))->pos;
    if (mode == kMV2CameraTracking) {
        if (MV2Object* target = MV2GetObjectRef(&gMV2GameCamera.target)) MV2UpdateCamera(target);
    }
    MV2PlaceSkyAtCamera(gMV2MainCamera);
    FlagMainChanged();
    TvMatrixUpdate(m);
}

void MV2StartCameraMove(MV2Object* object, int32_t ticks) {
    MV2GameCamera& c = gMV2GameCamera;
    TvMatrix* m = MainMatrix();
    if (!m || !object || !object->clump || ticks <= 0) return;
    c.moveCameraStart = m->pos;
    c.moveObjectStart = TvFrameGetLTM(MV2GetRootFrame(object->clump))->pos;
    c.moveRemaining = float(ticks);
    c.moveTotal = float(ticks);
}

void MV2StartCameraWobble() {
    gMV2GameCamera.wobbling = 1;
}

void MV2CancelCameraBlend() {
    gMV2GameCamera.wobbling = 0;
}

void MV2SetCameraView(int32_t view) {
    gMV2GameCamera.view = view;
}

void MV2CycleCameraView() {
    int32_t& v = gMV2GameCamera.view;
    v = v < 2 || v >= 5 ? 2 : v + 1;
}

// The out record of tool command 34 to a mounted camera (tool kind 0).
struct MV2CameraMount {
    TvV3d direction;
    TvV3d offset;
};

void MV2UpdateSubCamera(MV2Object* object) {
    MV2GameCamera& c = gMV2GameCamera;
    if (c.mode == kMV2CameraFrozen || !gMV2SubCamera || !gMV2SubCamera->object.frame) return;
    TvFrame* subFrame = gMV2SubCamera->object.frame;
    TvMatrix* m = TvFrameGetMatrix(subFrame);
    MV2Object* sub = MV2GetPlayerSub();
    auto partMatrix = [](MV2Object* o) -> const TvMatrix* {
        if (!o || !o->clump) return nullptr;
        TpAtomic* part = MV2FindAtomicByTag(o->clump, 1);
        return part && part->object.frame ? TvFrameGetLTM(part->object.frame) : nullptr;
    };
    if (sub != MV2GetPlayerObject()) {
        const TvMatrix* part = partMatrix(gMV2GameState.current == 1 ? object : sub);
        if (part) *m = *part;
        TvFrameUpdateObjects(subFrame);
        return;
    }
    const TvMatrix* part = partMatrix(object);
    for (int32_t tries = 0; part && c.view <= 5 && tries < 6; tries++) {
        c.lastView = c.view;
        bool found = true;
        switch (c.view) {
        case 0:
        case 1:
            *m = *part;
            break;
        case 2:
            *m = *part;
            m->right = TvV3dScale(part->right, -1.0f);
            m->at = TvV3dScale(part->at, -1.0f);
            break;
        case 3:
            *m = *part;
            m->up = part->at;
            m->at = TvV3dScale(part->up, -1.0f);
            break;
        case 4: {
            MV2CameraMount mount{};
            found = MV2SendToolCommand(object, 0, 34, 0, &mount) != 0;
            if (!found) break;
            const TvV3d& d = mount.direction;
            if (d.x == 0 && d.y == 0 && d.z == 0) break;
            TvV3d at;
            TvV3dTransformVectors(&at, &d, 1, part);
            TvV3d right, up;
            if (d.z != 0) {
                up = {0, 1, 0};
                right = TvV3dCross(up, at);
                up = TvV3dCross(at, right);
            } else {
                right = {1, 0, 0};
                up = TvV3dCross(at, right);
                right = TvV3dCross(up, at);
            }
            TvV3dNormalize(&m->at, &at);
            TvV3dNormalize(&m->right, &right);
            TvV3dNormalize(&m->up, &up);
            const TvV3d offset = TvV3dScale(mount.offset, 0.8f);
            TvV3dTransformPoints(&m->pos, &offset, 1, part);
            break;
        }
        case 5: {
            MV2Object* remote = nullptr;
            found = MV2SendToolCommand(object, 6, 34, 0, &remote) != 0 && remote &&
                    remote->clump;
            if (found) *m = *TvFrameGetMatrix(MV2GetRootFrame(remote->clump));
            break;
        }
        default:
            break;
        }
        if (found) break;
        MV2CycleCameraView();
    }
    TvFrameUpdateObjects(subFrame);
}

void MV2StartCameraShake(int32_t on, float amplitude) {
    MV2GameCamera& c = gMV2GameCamera;
    c.shakePhase = 0.0f;
    c.shakeAmplitude = amplitude;
    const int32_t slot = MV2GetSoundSlot(MV2FindSoundByName("QUAKE"));
    if (on) {
        if (!c.shaking && slot) {
            c.shakeSlot = slot;
            c.shakeChannel = MV2PlaySound(slot, 0, 1);
            MV2SetSoundLowPass(slot, c.shakeChannel, 1);
            if (TvMatrix* m = MainMatrix()) MV2AttachSoundSource(slot, c.shakeChannel, &m->pos);
        }
        c.shaking = 1;
    } else {
        if (c.shaking && c.shakeSlot) MV2StopSound(c.shakeSlot, c.shakeChannel);
        c.shaking = 0;
        c.shakeSlot = 0;
    }
}

void MV2UpdateCameraShake() {
    MV2GameCamera& c = gMV2GameCamera;
    if (!c.shaking) return;
    TvMatrix* m = MainMatrix();
    MV2Object* player = MV2GetPlayerObject();
    if (c.mode == kMV2CameraCockpit && gMV2GameState.current != 12 && player && player->clump)
        m = TvFrameGetMatrix(MV2GetRootFrame(player->clump));
    if (!m) return;
    const float a = c.shakeAmplitude < 5.0f ? c.shakeAmplitude : 0.1f;
    const float y = a * std::sin(c.shakePhase);
    const TvV3d move{0.1f * y, y, 0.1f * y};
    TvMatrixTranslate(m, &move, kTvCombinePostConcat);
    if (c.shakeAmplitude > 0.0f) {
        c.shakePhase += gMV2FrameTimer.ticks * 31.415926f;
        c.shakeAmplitude -= gMV2FrameTimer.ticks * 0.1f;
        if (c.shakeAmplitude < 0.0f) MV2StartCameraShake(0, 0.0f);
    }
    if (c.shaking && c.shakeSlot) {
        if (TvMatrix* cam = MainMatrix())
            MV2PlaceSound3D(c.shakeSlot, c.shakeChannel, &cam->pos, nullptr, 0, 1000.0f);
    }
    FlagMainChanged();
    if (TvMatrix* cam = MainMatrix()) TvMatrixUpdate(cam);
}
