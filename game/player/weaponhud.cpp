// The weapon part of the HUD: the player's lock-on with its reticle, the ammunition gauge and
// bar, the icon strips.
#include "game/player/weaponhud.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/camera.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/hud.h"
#include "game/frontend/radar.h"
#include "game/objects/camera.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"

namespace {

// The weapon HUD's state words.
struct WeaponHud {
    int32_t weaponStrip;
    int32_t toolStrip;
    int32_t litRing;
    uint32_t milliseconds;
    float candidateX, candidateY;
};
WeaponHud g_hud;
MV2LockOnState g_lock;

void ClearTarget() {
    g_lock.target = nullptr;
    g_lock.targetHandle = 0;
    g_lock.progress = 0.0f;
}

bool TargetAlive() {
    return g_lock.target && MV2ObjectHandleAlive(g_lock.targetHandle);
}

void PlayLock1() {
    const int32_t slot = MV2GetSoundSlot(MV2ShotSound("LOCK1"));
    const int32_t channel = MV2PlaySound(slot, 0, 0);
    if (channel <= 0) return;
    MV2SetSoundLowPass(slot, channel, 1);
    if (gMV2MainCamera && gMV2MainCamera->object.frame)
        MV2PlaceSound3D(slot, channel, &TvFrameGetLTM(gMV2MainCamera->object.frame)->pos, nullptr,
                        0, 0.0f);
}

// Arcs of `count` x `span` degrees spaced evenly, `width` pixels thick, about the screen centre.
void Arcs(float radius, int32_t count, float span, int32_t width, uint32_t colour) {
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    const float cx = 320.0f * sx, cy = 240.0f * sy;
    MV2Set2DColourARGB(colour);
    constexpr float kRad = 3.14159265f / 180.0f;
    for (int32_t k = 0; k < count; ++k) {
        const float first = float(k) * 360.0f / float(count);
        for (int32_t w = 0; w < width; ++w) {
            const float r = radius - float(w);
            for (float a = first; a < first + span - 0.01f; a += 5.0f) {
                MV2Move2DPen(int32_t(cx + std::cos(a * kRad) * r * sx),
                             int32_t(cy + std::sin(a * kRad) * r * sy));
                MV2Draw2DLineTo(int32_t(cx + std::cos((a + 5.0f) * kRad) * r * sx),
                                int32_t(cy + std::sin((a + 5.0f) * kRad) * r * sy));
            }
        }
    }
}

void Reticle() {
    static constexpr float kRadii[6] = {62, 56, 50, 44, 38, 32};
    const bool locked = g_lock.progress >= 1.0f;
    int32_t lit = -1;
    for (int32_t k = 0; k < 6; ++k)
        if (float(k) / 6.0f < g_lock.progress && g_lock.progress < float(k + 1) / 6.0f) lit = k;
    if (lit != g_hud.litRing) {
        g_hud.litRing = lit;
        if (lit >= 0) PlayLock1();
    }
    if (MV2GetCameraMode() != 1) return;
    const bool blinkOn = g_hud.milliseconds % 100 > 50;
    for (int32_t k = 0; k < 6; ++k) {
        const bool on = locked ? blinkOn : k == lit;
        Arcs(kRadii[k], 3, 20.0f, 3, on ? 0xff00ff00u : 0x4000ff00u);
    }
    if (locked) {
        const float p = g_lock.progress < 1.25f ? g_lock.progress : 1.25f;
        Arcs(50.0f + (p - 1.0f) * 600.0f, 4, 40.0f, 1, 0x8000ff00u);
    }
}

// The HUD element's rectangle: x, y, width, height words after the sprite.
void ElementRect(const MV2HudElement* e, int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
    *x = e->Int(1);
    *y = e->Int(2);
    *w = e->Int(4);
    *h = e->Int(5);
}

void Bar(const MV2HudElement* e, float fraction, uint32_t colour) {
    int32_t x, y, w, h;
    ElementRect(e, &x, &y, &w, &h);
    const float scale = MV2GetCameraMode() == 1 ? 1.0f : 0.5f;
    fraction = fraction < 0.0f ? 0.0f : fraction > 1.0f ? 1.0f : fraction;
    MV2Set2DColourARGB(colour);
    if (w >= h) {
        MV2Draw2DRect(x, y, x + int32_t(float(w) * scale * fraction), y + int32_t(float(h) * scale), 0);
    } else {
        const int32_t top = y + int32_t(float(h) * scale * (1.0f - fraction));
        MV2Draw2DRect(x, top, x + int32_t(float(w) * scale), y + int32_t(float(h) * scale), 0);
    }
}

} // namespace

int32_t MV2InitialiseWeaponSystem() {
    g_hud = WeaponHud{};
    g_hud.litRing = -1;
    g_lock = MV2LockOnState{};
    return 1;
}

MV2LockOnState* MV2GetLockOnState() {
    return &g_lock;
}

void MV2GetLockedTarget(MV2Object** target, uint32_t* handle) {
    const bool locked = TargetAlive() && g_lock.progress >= 1.0f;
    if (target) *target = locked ? g_lock.target : nullptr;
    if (handle) *handle = locked ? g_lock.targetHandle : 0;
}

MV2Object* MV2GetLockedTarget() {
    MV2Object* target = nullptr;
    MV2GetLockedTarget(&target, nullptr);
    return target;
}

void MV2ClearLockOn() {
    ClearTarget();
}

void MV2ShiftWeaponStrip(int32_t steps) {
    g_hud.weaponStrip += 34 * steps;
}

void MV2ShiftToolStrip(int32_t steps) {
    g_hud.toolStrip += 34 * steps;
}

int32_t MV2GetWeaponStripOffset() {
    return g_hud.weaponStrip;
}

int32_t MV2GetToolStripOffset() {
    return g_hud.toolStrip;
}

void MV2UpdateLockOn(MV2Object* object, MV2Object* candidate, int32_t targetOnScreen) {
    g_hud.milliseconds += uint32_t(MV2ShotFrameMilliseconds());
    MV2ObjectSendMessage(object, 61, 0, reinterpret_cast<intptr_t>(&g_lock));
    if (!TargetAlive() || !(g_lock.flags & 3u)) ClearTarget();
    // Either lock takes the candidate when there is no target or it has left the screen.
    if ((g_lock.flags & 3u) && (!TargetAlive() || !targetOnScreen)) {
        g_lock.target = candidate;
        g_lock.targetHandle = candidate ? candidate->handle : 0;
        g_lock.progress = 0.0f;
    }
    if (TargetAlive()) g_lock.progress += float(MV2ShotFrameMilliseconds()) * 0.0005f;
}

void MV2DrawWeaponHud(const MV2HudElement* element, MV2Object* object) {
    if (!object) return;
    MV2Object* candidate = nullptr;
    bool onScreen = false;
    if (gMV2GameType == 2) {
        MV2WeaponLock lock{g_lock.target, g_lock.range, float(g_lock.captureSize)};
        MV2LockOnCandidate best;
        candidate = MV2WeaponLockOnIndicators(object, &lock, &best);
        onScreen = candidate && best.x != 32767.0f;
        g_hud.candidateX = best.x;
        g_hud.candidateY = best.y;
    }
    MV2UpdateLockOn(object, candidate, TargetAlive() && (candidate == g_lock.target || onScreen));
    if (g_lock.flags & 1u) Reticle();
    if (!element) return;
    MV2WeaponRecord* w = MV2GetCurrentWeapon(object);
    if (!w) return;
    MV2WeaponIcon icon{kMV2NoShotType, 0};
    MV2WeaponSendMessage(w, 57, w->slot, reinterpret_cast<intptr_t>(&icon));
    const uint32_t alpha = element->Word(3) & 0xFF000000u;
    MV2Draw2DIcon(element->Int(1), element->Int(2), icon.sprite, (icon.colour & 0xFFFFFFu) | alpha);
}

void MV2DrawWeaponGauge(const MV2HudElement* element, MV2Object* object) {
    if (!element || !object) return;
    const float fraction = MV2GetCurrentWeaponAmmoFraction(object);
    Bar(element, 1.0f - fraction, kMV2HudColour);
    int32_t ammo = 0;
    if (MV2GetCurrentWeaponAmmo(object, &ammo) && ammo >= 0 && ammo <= 999)
        MV2HudDrawNumber(ammo, element->Int(1), element->Int(2), kMV2HudColour, 0);
    if (object->energy > 0.0f) {
        const float value = 1.0f - fraction;
        const uint32_t colour = value <= 0.5f ? kMV2HudColour : value < 0.75f ? 0xffffff00u : 0xffff0000u;
        Bar(element, value, colour);
    }
}

void MV2DrawWeaponBar(const MV2HudElement* element, MV2Object* object) {
    if (!element || !object) return;
    Bar(element, MV2GetCurrentWeaponAmmoFraction(object), kMV2HudColour);
}

void MV2DrawWeaponPanel(MV2Object* sub, const MV2HudElement* element) {
    if (!element) return;
    switch (element->kind) {
    case 2: MV2DrawWeaponHud(element, sub); break;
    case 4: MV2DrawWeaponGauge(element, sub); break;
    default: MV2DrawWeaponBar(element, sub); break;
    }
}
