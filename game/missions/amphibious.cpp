// The amphibious craft: swimming, unfolding, driving on six sprung wheels, folding; and the
// mode-switch tool.
#include "game/missions/amphibious.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "game/frontend/hud.h"
#include "game/missions/levelobjects.h"
#include "game/missions/stickycharges.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

int32_t gMV2AmphibiousModeLock = 0;

namespace {

constexpr int32_t kCraftType = 84;
constexpr int32_t kEngineSound = 13;  // "TANK"
constexpr int32_t kImpactSound = 4;   // "METALCOLLISION"
constexpr int32_t kWheelsSound = 196; // "WHEELS"
constexpr uint32_t kSurfacingWait = 3000; // ms above the surface before it unfolds
constexpr uint32_t kUnfoldMs = 1000;
constexpr uint32_t kPairDelay = 200; // ms between the hinge pairs of the fold
constexpr float kFoldedWheel = -0.23f;

// The land physics, in units per tick: a wheel hangs kArm below its hinge at rest and can drop
// kReach further; each wheel is a spring (kSpring per unit of compression) with a damper
// (kDamp per unit of vertical speed), sharing the weight six ways. On land the craft weighs
// kLandWeight on top of the object system's gravity, under water kWaterWeight: buoyancy takes
// the rest. Traction turns the drive word into speed along the ground, the tyres take half the
// sideways slip each tick, and the steering angle turns the craft by kSteer degrees per degree
// and unit of forward speed.
constexpr float kArm = 0.5f;
constexpr float kReach = 0.5f;
constexpr float kTouch = 0.05f;
constexpr float kSpring = 0.06f;
constexpr float kDamp = 0.25f;
constexpr float kLandWeight = 0.004f;
constexpr float kWaterWeight = 0.0015f;
constexpr float kTraction = 0.5f;
constexpr float kGrip = 0.5f;
constexpr float kSteer = 0.5f;
constexpr float kAlign = 0.3f; // share of the way to the ground's slope per tick

const TvV3d kY{0.0f, 1.0f, 0.0f};
const TvV3d kX{1.0f, 0.0f, 0.0f};
const TvV3d kZ{0.0f, 0.0f, 1.0f};

MV2AmphibiousData* Data(MV2Object* craft) {
    if (!craft->type || craft->type->privateDataSize < sizeof(MV2AmphibiousData)) return nullptr;
    return MV2LevelData<MV2AmphibiousData>(craft);
}

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) >= 0;
}

bool AboveWater(MV2Object* craft) {
    const TvV3d& p = MV2ObjectPosition(craft);
    return p.y > MV2GetWaterHeight(&p);
}

bool OnLevelTwo() {
    return (MV2GetCurrentLevelId() >> 24) == 2;
}

TvFrame* Hinge(MV2AmphibiousCraft* c, int32_t i) {
    return c->frames[kMV2CraftHingeFrame + i];
}

TvFrame* Wheel(MV2AmphibiousCraft* c, int32_t i) {
    return c->frames[kMV2CraftWheelFrame + i];
}

void SetFrameHeight(TvFrame* frame, float y) {
    if (!frame) return;
    TvFrameGetMatrix(frame)->pos.y = y;
    TvFrameUpdateObjects(frame);
}

// The hinge's rotation replaced by a turn about z, keeping its position.
void SetHingeTurn(TvFrame* hinge, float degrees) {
    if (!hinge) return;
    TvMatrix* m = TvFrameGetMatrix(hinge);
    const TvV3d position = m->pos;
    TvMatrixRotate(m, &kZ, degrees, 0);
    m->pos = position;
    TvFrameUpdateObjects(hinge);
}

uint8_t DefinitionByte(MV2Object* craft) {
    const MV2SubDefinition* def = MV2GetSubDefinition(craft);
    return def ? uint8_t(def->specialFlags & 0xFF) : 0;
}

void RestoreTypeByte(MV2Object* craft, MV2AmphibiousCraft* c) {
    if (MV2SubDefinition* def = MV2GetSubDefinition(craft))
        def->specialFlags = (def->specialFlags & ~0xFFu) | c->savedTypeByte;
}

void PlayAt(MV2Object* craft, float radius, int32_t sound, int32_t b) {
    MV2PlaySoundAt(&MV2ObjectPosition(craft), radius, sound, 0, 1, b);
}

void Create(MV2Object* craft, MV2AmphibiousData* d) {
    MV2AmphibiousCraft* c = &d->craft;
    *c = MV2AmphibiousCraft{};
    d->sub.extension = c;
    if (TpClump* clump = craft->clump) {
        c->frames[kMV2CraftMuzzleFrame] = MV2FindFrameByTag(clump, 500);
        c->frames[kMV2CraftBodyFrame] = MV2FindFrameByTag(clump, 13);
        for (uint32_t tag = 2; tag <= 12; tag++)
            c->frames[kMV2CraftHingeFrame + tag - 2] = MV2FindFrameByTag(clump, tag);
        for (uint32_t tag = 21; tag <= 26; tag++)
            c->frames[kMV2CraftWheelFrame + tag - 21] = MV2FindFrameByTag(clump, tag);
        if (TpAtomic* root = MV2FindRootAtomic(clump))
            craft->radius = 0.71f * MV2GetBoundingRadius(root);
        c->wheelRadius = 0.5f;
        if (TvFrame* arm = Hinge(c, 0))
            for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a))
                if (a->object.frame == arm) {
                    c->wheelRadius = 1.3f * MV2GetBoundingRadius(a);
                    break;
                }
    }
    if (TvFrame* body = c->frames[kMV2CraftBodyFrame]) c->bodyHeight = TvFrameGetMatrix(body)->pos.y;
    for (int32_t i = 0; i < kMV2CraftWheels; i++)
        c->wheelRest[i] = Wheel(c, i) ? TvFrameGetMatrix(Wheel(c, i))->pos.y : 0.0f;
    c->savedTypeByte = DefinitionByte(craft);
    c->mode = kMV2CraftOnLand;
    c->modeStart = MV2GameClock();
    c->stage = 2;
    c->surfacingTime = MV2GameClock() + kSurfacingWait;
    d->sub.rightingOffset = {}; // on land the wheels hold it level, not the righting force
}

void Swim(MV2Object* craft, MV2AmphibiousCraft* c) {
    if (!AboveWater(craft)) {
        c->surfacingTime = MV2GameClock() + kSurfacingWait;
    } else if (Passed(c->surfacingTime) && !gMV2AmphibiousModeLock) {
        MV2ObjectSendMessage(craft, 63, 0, 0);
    }
    c->steering *= 0.9f;
}

void Unfold(MV2AmphibiousData* d) {
    MV2AmphibiousCraft* c = &d->craft;
    const float t = std::min(float(MV2GameClock() - c->modeStart) / float(kUnfoldMs), 1.0f);
    for (int32_t i = 0; i < kMV2CraftWheels; i++) {
        SetHingeTurn(Hinge(c, i), c->hingeAngle[i] * (1.0f - t));
        SetFrameHeight(Wheel(c, i), c->wheelFrom[i] + (c->wheelRest[i] - c->wheelFrom[i]) * t);
    }
    c->stage = std::min(uint32_t(t * 3.0f), 2u);
    if (t < 1.0f) return;
    for (float& angle : c->hingeAngle)
        angle = 0.0f;
    c->mode = kMV2CraftOnLand;
    c->modeStart = MV2GameClock();
    d->sub.rightingOffset = {};
}

void Fold(MV2Object* craft, MV2AmphibiousCraft* c) {
    const float step = MV2FrameStep();
    for (int32_t i = 0; i < kMV2CraftWheels; i++)
        if (TvFrame* wheel = Wheel(c, i)) {
            const float y = TvFrameGetMatrix(wheel)->pos.y;
            SetFrameHeight(wheel, y + (kFoldedWheel - y) * 0.1f);
        }
    const uint32_t elapsed = MV2GameClock() - c->modeStart;
    for (int32_t pair = 0; pair < 3; pair++) {
        if ((c->pairsFolded & (1u << pair)) || elapsed < uint32_t(pair) * kPairDelay) continue;
        bool arrived = true;
        for (int32_t side = 0; side < 2; side++) {
            const int32_t i = pair + 3 * side;
            TvFrame* hinge = Hinge(c, i);
            if (!hinge) continue;
            const float u = TvV3dDot(TvFrameGetLTM(hinge)->up, kY);
            if (std::fabs(u) < 0.6f) continue;
            arrived = false;
            const float turn = (side == 0 ? -10.0f : 10.0f) * u * step;
            c->hingeAngle[i] += turn;
            SetHingeTurn(hinge, c->hingeAngle[i]);
        }
        if (!arrived) continue;
        c->pairsFolded |= 1u << pair;
        c->stage = uint32_t(std::min(pair, 2));
        PlayAt(craft, 1.0f, kImpactSound, 0);
    }
    if (c->pairsFolded == 7u) {
        c->mode = kMV2CraftSwimming;
        c->modeStart = MV2GameClock();
        c->surfacingTime = MV2GameClock() + kSurfacingWait;
        PlayAt(craft, 1.0f, kImpactSound, 0);
    }
}

void Drive(MV2Object* craft, MV2AmphibiousData* d) {
    MV2AmphibiousCraft* c = &d->craft;
    MV2SubData* sub = &d->sub;
    TvMatrix* m = craft->matrix;
    MV2Body* body = craft->body;
    const float step = MV2FrameStep();
    const TvV3d velocity = body ? body->velocity : TvV3d{};
    // 1. The suspension's measure: the change of speed along the craft's up axis.
    const float upSpeed = TvV3dDot(velocity, m->up);
    if (c->onGround) c->upSpeedChange = upSpeed - c->upSpeed;
    c->upSpeed = upSpeed;
    // 2. The swimming drive words become the wheels' drive.
    const float drive = sub->thrust;
    const float u = sub->yawRate;
    sub->yawRate *= 0.1f;
    sub->thrust = 0.0f;
    c->motion = velocity;
    c->spare[0] = c->spare[1] = 0.0f;
    // 3. The wheels spin with the ground speed, the two sides apart when turning.
    const float w = -TvV3dDot(c->motion, m->at) * 150.0f;
    const float left = -(w - u * 900.0f) * step;
    const float right = -(u * 900.0f + w) * step;
    for (int32_t i = 0; i < kMV2CraftWheels; i++)
        if (TvFrame* wheel = Wheel(c, i)) TvFrameRotate(wheel, &kX, i < 3 ? left : right, 1);
    // 4. Wheel contact.
    c->onGround = 0;
    c->groundNormal = {};
    for (int32_t i = 0; i < kMV2CraftWheels; i++) {
        const int32_t direction = (i < 3 ? left : right) < 0.0f ? 1 : 0;
        if (MV2CraftWheelContact(craft, c, Hinge(c, i), Wheel(c, i), direction))
            c->onGround |= 1u << i;
    }
    // 5. The engine.
    MV2Normalise(&c->motion);
    const float level = 15000.0f - std::fabs(w) * 1500.0f + std::fabs(u) * 100000.0f;
    MV2StartObjectSound(craft, kEngineSound, &c->engineSound, uint32_t(std::max(level, 0.0f)), 0);
    // 6. Steering needs the cockpit view.
    if (MV2GetCameraMode() != kMV2CameraCockpit) c->steering = 0.0f;
    // 7. Upside down: set back upright.
    if (TvV3dDot(m->up, kY) < -0.5f) MV2RebuildAroundUp(m, kY);
    // Weight, buoyancy, traction, grip, steering and the ground's slope.
    if (body) {
        body->velocity.y -= (AboveWater(craft) ? kLandWeight : kWaterWeight) * step;
        const int32_t wheels = std::popcount(c->onGround);
        if (wheels > 0) {
            TvV3d ahead = MV2Unit(TvV3dSub(m->at, TvV3dScale(kY, m->at.y)));
            if (wheels >= 3) {
                const TvV3d n = MV2Unit(c->groundNormal);
                ahead = MV2Unit(TvV3dSub(m->at, TvV3dScale(n, TvV3dDot(m->at, n))));
            }
            const float push = drive * kTraction * float(wheels) / float(kMV2CraftWheels) * step;
            body->velocity = TvV3dAdd(body->velocity, TvV3dScale(ahead, push));
        }
        if (wheels >= 3) {
            const float slip = TvV3dDot(body->velocity, m->right);
            body->velocity = TvV3dSub(body->velocity, TvV3dScale(m->right, slip * kGrip));
            const float forward = TvV3dDot(body->velocity, m->at);
            const float turn = -(u * 200.0f + c->steering * forward * kSteer) * step;
            if (turn != 0.0f) {
                const TvV3d up = m->up;
                MV2RotateMatrixInPlace(m, &up, turn, 2);
            }
            const TvV3d n = MV2Unit(c->groundNormal);
            MV2RebuildAroundUp(m, MV2Unit(TvV3dAdd(m->up, TvV3dScale(TvV3dSub(n, m->up), kAlign))));
        }
    }
    MV2ObjectMoved(craft);
}

// Message 63 in modes 0 and 2.
void ToggleLand(MV2Object* craft, MV2AmphibiousData* d) {
    MV2AmphibiousCraft* c = &d->craft;
    if (c->mode == kMV2CraftSwimming) {
        c->mode = kMV2CraftUnfolding;
        c->onGround = 0;
        c->motion = {};
        c->spare[0] = c->spare[1] = 0.0f;
        c->stage = 0;
        c->modeStart = MV2GameClock();
        for (int32_t i = 0; i < kMV2CraftWheels; i++)
            c->wheelFrom[i] = Wheel(c, i) ? TvFrameGetMatrix(Wheel(c, i))->pos.y : 0.0f;
        PlayAt(craft, 5.0f, kWheelsSound, 0);
    } else if (c->mode == kMV2CraftOnLand) {
        if (AboveWater(craft) && !gMV2AmphibiousModeLock) return;
        c->mode = kMV2CraftFolding;
        RestoreTypeByte(craft, c);
        c->modeStart = MV2GameClock();
        c->stage = 0;
        c->pairsFolded = 0;
        MV2StopObjectSound(craft, kEngineSound, &c->engineSound);
        d->sub.rightingOffset = {0.0f, 50.0f, 0.0f};
        for (int32_t i = 0; i < kMV2CraftWheels; i++) {
            c->hingeAngle[i] = 0.0f;
            SetHingeTurn(Hinge(c, i), 0.0f);
        }
        PlayAt(craft, 5.0f, kWheelsSound, 0);
    }
}

// Message 18 on land: the knock and the drive word's loss against the impact's direction.
void Impact(MV2Object* craft, MV2AmphibiousData* d, const float* strength) {
    const float s = *strength;
    if (std::fabs(s) <= 0.03f) return;
    PlayAt(craft, 1.0f, kImpactSound, int32_t(-2000.0f - 10000.0f * s));
    const TvV3d* g = MV2GetContactNormal();
    if (!g) return;
    const TvV3d flat = TvV3dSub(*g, TvV3dScale(kY, TvV3dDot(*g, kY)));
    const float along = TvV3dDot(craft->matrix->at, flat);
    float& speed = d->sub.thrust;
    if (speed <= 0.0f && along > 0.0f)
        speed *= 1.0f - along;
    else if (speed > 0.0f && along < 0.0f)
        speed *= 1.0f + along;
}

intptr_t Fire(MV2Object* craft, MV2AmphibiousData* d, intptr_t p1, intptr_t p2) {
    if (p1 == 1) return 0;
    TvFrame* muzzle = d->craft.frames[kMV2CraftMuzzleFrame];
    MV2CreationRecord record{};
    record.matrix = muzzle ? TvFrameGetLTM(muzzle) : craft->matrix;
    // As the submarine takes it: with p1 = 2, p2 is the aim; otherwise it receives the shot.
    if (p1 == 2) record.aim = reinterpret_cast<const float*>(p2);
    const intptr_t fired = MV2FireWeapon(&d->sub.weapons, craft, &record, nullptr);
    if (p1 != 2 && p2) *reinterpret_cast<intptr_t*>(p2) = fired;
    return 1;
}

} // namespace

int32_t MV2CraftWheelContact(MV2Object* craft, MV2AmphibiousCraft* record, TvFrame* hinge,
                             TvFrame* wheel, int32_t) {
    if (!hinge || !MV2World) return 0;
    int32_t index = -1;
    for (int32_t i = 0; i < kMV2CraftWheels; i++)
        if (wheel && Wheel(record, i) == wheel) index = i;
    // The line starts a wheel's radius above the hinge, so that a hinge that dipped below a
    // slope still finds it.
    const float r = record->wheelRadius;
    const float rest = kArm + r;
    const TvV3d h = TvFrameGetLTM(hinge)->pos;
    const TvV3d from{h.x, h.y + r, h.z};
    const TvV3d to{h.x, h.y - rest - kReach, h.z};
    MV2TriangleHit hit{};
    float t = 1.0f;
    float compression = -kReach;
    bool touches = false;
    if (MV2IntersectWorldLine(MV2World, &from, &to, &hit, &t)) {
        const float distance = t * (from.y - to.y) - r;
        compression = rest - distance;
        touches = compression > -kTouch;
    }
    if (index >= 0) SetFrameHeight(wheel, record->wheelRest[index] + std::max(compression, 0.0f));
    if (!touches) return 0;
    record->groundNormal = TvV3dAdd(record->groundNormal, hit.normal);
    if (MV2Body* body = craft->body) {
        const float reaction = kSpring * compression - kDamp * body->velocity.y;
        if (reaction > 0.0f)
            body->velocity.y += reaction * MV2FrameStep() / float(kMV2CraftWheels);
    }
    return 1;
}

intptr_t MV2AmphibiousCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2AmphibiousData));
    MV2AmphibiousData* d = Data(object);
    if (!d) return MV2SubmarineHandler(object, message, p1, p2);
    MV2AmphibiousCraft* c = &d->craft;
    const bool onLand = c->mode == kMV2CraftOnLand;
    const bool moving = c->mode == kMV2CraftFolding || c->mode == kMV2CraftUnfolding;
    switch (message) {
    case 2:
        switch (c->mode) {
        case kMV2CraftSwimming: Swim(object, c); break;
        case kMV2CraftFolding: Fold(object, c); break;
        case kMV2CraftUnfolding: Unfold(d); break;
        default: Drive(object, d); break;
        }
        break;
    case 3: {
        const intptr_t result = MV2SubmarineHandler(object, 3, p1, p2);
        if (result) Create(object, d);
        return result;
    }
    case 4:
        MV2StopObjectSound(object, kEngineSound, &c->engineSound);
        RestoreTypeByte(object, c);
        break;
    case 5:
    case 7:
    case 8:
        if (moving) return 1;
        if (onLand && (!c->onGround || (OnLevelTwo() && AboveWater(object)))) return 1;
        break;
    case 6:
        if (!onLand) break;
        if (d->sub.weapons.currentWeaponSlot == 11) {
            c->steering = 0.0f;
        } else if (p2) {
            c->steering += MV2FrameStep() * *reinterpret_cast<const float*>(p2) * 500.0f;
            c->steering = std::clamp(c->steering, -30.0f, 30.0f);
        }
        return 1;
    case 10: return Fire(object, d, p1, p2);
    case 18:
        if (onLand && p2) Impact(object, d, reinterpret_cast<const float*>(p2));
        break;
    case 19:
        if (onLand) c->onGround = 1;
        break;
    case 27:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = c->attractor;
        return 1;
    case 28: c->attractor = p2; return 1;
    case 53: {
        TvFrame* muzzle = c->frames[kMV2CraftMuzzleFrame];
        MV2ToolUseRecord use{muzzle ? TvFrameGetLTM(muzzle) : object->matrix, {}, object};
        MV2UseTool(&d->sub.tools, object, reinterpret_cast<intptr_t>(&use));
        return 1;
    }
    case 63:
        ToggleLand(object, d);
        break;
    case 81:
        if (!onLand) break;
        if (p2 && !(OnLevelTwo() && AboveWater(object))) {
            const float v = *reinterpret_cast<const float*>(p2);
            if (v != 0.0f) {
                const TvV3d force =
                    TvV3dScale(object->matrix->right, (v < 0.0f ? 0.05f : -0.05f) * MV2FrameStep());
                MV2AddForce(object, &force);
                c->pushLock = MV2GameClock() + 1000;
            }
        }
        return 1;
    default: break;
    }
    return MV2SubmarineHandler(object, message, p1, p2);
}

int32_t MV2ModeSwitchToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2) {
    if (!tool) return MV2DefaultToolHandler(tool, message, p1, p2);
    auto* owner = reinterpret_cast<MV2Object*>(tool->word);
    // The colour and icon of the HUD's tool panel.
    auto look = [owner](int32_t* icon) {
        uint32_t colour = 0xFF000000u | (MV2HudColour() & 0xFFFFFFu);
        *icon = 184;
        if (owner && MV2TypeOf(owner) == kCraftType) {
            const MV2AmphibiousData* d = Data(owner);
            const uint32_t mode = d ? d->craft.mode : kMV2CraftSwimming;
            *icon = mode == kMV2CraftOnLand ? 204 : 205;
            if (mode == kMV2CraftFolding || mode == kMV2CraftUnfolding) colour = 0xFFFFFF00u;
        } else if (const MV2SubDefinition* def = owner ? MV2GetSubDefinition(owner) : nullptr) {
            const uint32_t flags = def->specialFlags;
            *icon = (flags & 1u) ? 207 : !(flags & 6u) ? 184 : 206;
        }
        return colour;
    };
    switch (message) {
    case 3: tool->word = uintptr_t(p2); return 1;
    case 53:
        if (owner && owner->typeHandler) owner->typeHandler(owner, 63, 0, 0);
        return 1;
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) icon->colour = look(&icon->sprite);
        return 1;
    case 59:
        if (auto* gauge = reinterpret_cast<MV2ToolGauge*>(p2)) {
            int32_t icon;
            gauge->level = 0;
            gauge->coloured = 1;
            gauge->colour = look(&icon);
        }
        return 0;
    default: return MV2DefaultToolHandler(tool, message, p1, p2);
    }
}

void MV2RegisterAmphibiousHandlers() {
    MV2SetObjectTypeHandler(kCraftType, MV2AmphibiousCraftHandler);
    MV2SetToolRowHandler(10, MV2ModeSwitchToolHandler);
}
