// The submarine table, the submarine handler, the sinking wreck and the stun dart.
#include "shell/gamemain.h"
#include "game/creatures/submarines.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/ambient.h"
#include "game/creatures/drones.h"
#include "game/creatures/eater.h"
#include "game/creatures/eel.h"
#include "game/creatures/mumspores.h"
#include "game/creatures/silentmum.h"
#include "game/creatures/smallmother.h"
#include "game/creatures/squid.h"
#include "game/creatures/heat.h"
#include "game/creatures/leapramp.h"
#include "game/creatures/levelcreatures.h"
#include "game/creatures/pirates.h"
#include "game/creatures/rammer.h"
#include "game/creatures/spiders.h"
#include "game/creatures/turrets.h"
#include "game/creatures/subai.h"
#include "game/creatures/subaistates.h"
#include "game/effects/effects.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "shell/gameinit.h"
#include "shell/sounds.h"

namespace {

const TvV3d kAxisX{1, 0, 0};
const TvV3d kAxisY{0, 1, 0};
const TvV3d kAxisZ{0, 0, 1};
constexpr uint32_t kHudColour = (97u << 16) | (189u << 8) | 255u;

// The table: records in file order (the first match wins, so the order is kept).
std::vector<MV2SubDefinition> g_definitions;
bool g_loaded = false;

// A name field copied bounded: a stored name may lack its terminator.
void CopyName(char* out, const uint8_t* field, size_t size) {
    size_t n = 0;
    while (n < size && field[n]) {
        out[n] = char(field[n]);
        ++n;
    }
    out[n] = 0;
}

void ParseRecord(const uint8_t* r, MV2SubDefinition* d) {
    *d = MV2SubDefinition{};
    CopyName(d->name, r, kMV2SubNameSize);
    d->value16 = TvLoadF32(r + 16);
    d->maxSpeed = TvLoadF32(r + 20);
    d->minThrust = TvLoadF32(r + 24);
    d->acceleration = TvLoadF32(r + 28);
    d->turnLimit = TvLoadF32(r + 32);
    d->partCount = std::min<int32_t>(r[36], kMV2SubParts);
    for (int32_t i = 0; i < kMV2SubParts; ++i) {
        const uint8_t* e = r + 40 + 20 * i;
        MV2SubPart& part = d->parts[i];
        part.factor = TvLoadF32(e);
        part.tags = TvLoadU32(e + 12);
        part.flags = TvLoadU32(e + 16);
        part.firstAxis = part.secondAxis = nullptr;
        if (part.flags & kMV2PartAxisX) {
            part.firstAxis = &kAxisX;
            part.secondAxis = &kAxisZ;
        } else if (part.flags & kMV2PartAxisY) {
            part.firstAxis = &kAxisY;
            part.secondAxis = &kAxisX;
        } else if (part.flags & kMV2PartAxisZ) {
            part.firstAxis = &kAxisZ;
            part.secondAxis = &kAxisX;
        }
    }
    for (int32_t i = 0; i < kMV2SubAttachments; ++i) {
        const uint8_t* e = r + 240 + 36 * i;
        MV2SubAttachment& a = d->attachments[i];
        for (int32_t w = 0; w < 4; ++w)
            a.words[w] = TvLoadU32(e + 4 * w);
        a.fifth = TvLoadU32(e + 16);
        a.sixth = TvLoadU32(e + 20);
        a.value = TvLoadF32(e + 24);
        a.tagWord = TvLoadU32(e + 28);
        a.lastWord = TvLoadU32(e + 32);
    }
    d->attachmentCount = std::min<int32_t>(r[600], kMV2SubAttachments);
    CopyName(d->soundName, r + 601, kMV2SubSoundNameSize);
    const MV2SoundId id = MV2FindSoundByName(d->soundName);
    d->soundId = id >= 0 && id < kMV2SoundNames ? id : kMV2NoSound;
    d->soundBase = int32_t(TvLoadU32(r + 640));
    d->soundMax = int32_t(TvLoadU32(r + 644));
    d->soundParamOther = int32_t(TvLoadU32(r + 648));
    d->soundParamPlayer = int32_t(TvLoadU32(r + 652));
    d->maxPitchRate = TvLoadF32(r + 656);
    d->specialFlags = TvLoadU32(r + 660);
    d->vector = {TvLoadF32(r + 676), TvLoadF32(r + 680), TvLoadF32(r + 684)};
    MV2Normalise(&d->vector);
    for (int32_t s = 0; s < 28; ++s)
        d->ammunition[s] = int32_t(TvLoadU32(r + 688 + 4 * s));
}

MV2SubData* Data(MV2Object* object) {
    return static_cast<MV2SubData*>(object->privateData);
}

bool IsPlayer(MV2Object* object) {
    return object && object == MV2GetPlayerObject();
}

int32_t TypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

bool IsPuppetType(const MV2Object* object) {
    return object->type && (object->type->words[7] & kMV2TypePuppet);
}

bool Held(const MV2Object* object) {
    return object->flags & 2u;
}

TvV3d WorldPosition(TvFrame* frame) {
    return frame ? TvFrameGetLTM(frame)->pos : TvV3d{};
}

void SetAtomicHidden(TpAtomic* atomic) {
    if (atomic) TpAtomicSetFlags(atomic, 0);
}

void HideTag69(MV2Object* object) {
    if (object->clump) SetAtomicHidden(MV2FindAtomicByTag(object->clump, 69));
}

TvFrame* AtomicFrame(TpAtomic* atomic) {
    return atomic ? atomic->object.frame : nullptr;
}

// Turns a frame about an axis by degrees, keeping its position.
void TurnFrame(TvFrame* frame, const TvV3d* axis, float degrees) {
    if (!frame || !axis) return;
    MV2RotateMatrixInPlace(TvFrameGetMatrix(frame), axis, degrees, 1);
    TvFrameUpdateObjects(frame);
}

// The rotation replaces the frame's orientation; the position stays.
void SetFrameRotation(TvFrame* frame, const TvV3d* axis, float degrees) {
    if (!frame || !axis) return;
    TvMatrix* m = TvFrameGetMatrix(frame);
    const TvV3d pos = m->pos;
    TvMatrixRotate(m, axis, degrees, 0);
    m->pos = pos;
    TvFrameUpdateObjects(frame);
}

void Force(MV2Object* object, TvV3d force) {
    if (object->body) MV2AddForce(object, &force);
}

void Torque(MV2Object* object, TvV3d force, TvV3d point) {
    if (object->body) MV2AddTorque(object, &force, &point);
}

void CreateAttachment(MV2Object* object, MV2SubData* data, const MV2SubDefinition* def,
                      int32_t i) {
    const MV2SubAttachment& a = def->attachments[i];
    MV2SubAttachmentSlot& slot = data->attachments[i];
    const uint32_t tag = a.tagWord & 0xFFF;
    if (!tag || !object->clump) return;
    slot.frame = MV2FindFrameByTag(object->clump, tag);
    if (!slot.frame) return;
    const TvV3d at = WorldPosition(slot.frame);
    const float position[3] = {at.x, at.y, at.z};
    MV2Object* light = MV2CreateObject(69, position, nullptr);
    if (!light) return;
    if (auto* d = static_cast<MV2LightObjectData*>(light->privateData)) {
        auto f = [](uint32_t bits) {
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        };
        d->red = f(a.words[0]);
        d->green = f(a.words[1]);
        d->blue = f(a.words[2]);
        d->radius = f(a.words[3]);
        d->frameOffset = f(a.fifth);
        d->glowSize = f(a.sixth);
        d->linkValue = a.value;
        d->parent = slot.frame;
        d->blinkPeriod = a.lastWord & 0x3FFF;
        d->flags = (d->flags & ~0xFF6u) | ((a.tagWord >> 12) & 0xFF) << 4 |
                   ((a.lastWord >> 15) & 1) << 2 | ((a.lastWord >> 14) & 1) << 1;
    }
    MV2ObjectHandle handle = 0;
    MV2ObjectSendMessage(light, 17, 0, reinterpret_cast<intptr_t>(&handle));
    slot.object = {light, handle};
    MV2ObjectSendMessage(light, 11, 1, 0);
}

void Create(MV2Object* object) {
    MV2SubData* data = Data(object);
    const MV2SubDefinition* def = MV2GetSubDefinition(object);
    *data = MV2SubData{};
    if (def) {
        data->definitionValue = def->value16;
        data->maxSpeed = def->maxSpeed;
        data->acceleration = def->acceleration;
    }
    data->rightingOffset = {0.0f, 50.0f, 0.0f};
    object->aiCategory = 6;

    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    data->rootMatrix = root && AtomicFrame(root) ? TvFrameGetMatrix(AtomicFrame(root))
                                                 : object->matrix;
    MV2InitWeaponList(&data->weapons);
    MV2InitToolList(&data->tools);
    if (!object->clump) return;

    HideTag69(object);
    data->mappedAtomic = MV2FindAtomicByTag(object->clump, 100);
    for (int32_t k = 0; k < 4; ++k) {
        TpAtomic* mount = MV2FindAtomicByTag(object->clump, uint32_t(200 + k));
        SetAtomicHidden(mount);
        data->mounts[k] = mount ? AtomicFrame(mount)
                                : (k == 0 ? object->clump->frame : data->mounts[0]);
    }
    for (int32_t k = 0; k < 4; ++k) {
        TpAtomic* mount = MV2FindAtomicByTag(object->clump, uint32_t(210 + k));
        SetAtomicHidden(mount);
        data->secondMounts[k] = mount ? AtomicFrame(mount) : data->mounts[k];
    }
    if (!def) return;
    for (int32_t i = 0; i < def->partCount; ++i) {
        const MV2SubPart& part = def->parts[i];
        MV2SubPartFrames& frames = data->parts[i];
        const uint32_t first = part.tags & 0xFFFF, second = part.tags >> 16;
        frames.first = first ? MV2FindFrameByTag(object->clump, first) : nullptr;
        frames.second = second ? MV2FindFrameByTag(object->clump, second) : nullptr;
        frames.row = part.flags & kMV2PartAxisX   ? &data->rootMatrix->right
                     : part.flags & kMV2PartAxisY ? &data->rootMatrix->up
                     : part.flags & kMV2PartAxisZ ? &data->rootMatrix->at
                                                  : nullptr;
    }
    for (int32_t i = 0; i < def->attachmentCount; ++i)
        CreateAttachment(object, data, def, i);
    HideTag69(object);
}

void DestroyAttachments(MV2SubData* data) {
    for (MV2SubAttachmentSlot& slot : data->attachments)
        if (MV2Object* light = MV2GetObjectRef(&slot.object)) MV2ObjectSendMessage(light, 4, 1, 0);
}

// A bubble at the frame when a random byte is below the limit.
void MaybeBubble(TvFrame* frame, float limit) {
    if (float(MV2RandomBits(255)) < limit) {
        const TvV3d at = WorldPosition(frame);
        const float position[3] = {at.x, at.y, at.z};
        MV2CreateBubble(position, nullptr, 0.05f);
    }
}

void Trail(MV2Object* object, const MV2SubPart& part, TvFrame* frame) {
    if (frame)
        MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, part.tags >> 16, 0.5f,
                      TvFrameGetLTM(frame));
}

// One driven part: trail, force and torque, bubble, spin. `spinRate` is the value the spin
// multiplies.
void DrivePart(MV2Object* object, const MV2SubPart& part, const MV2SubPartFrames& frames,
               float value, const TvV3d& push, bool torque, float bubbleScale, float spin) {
    if (std::fabs(value) > 0.002f) Trail(object, part, frames.second);
    if (!Held(object)) {
        const TvV3d force = TvV3dScale(push, value);
        Force(object, force);
        if (torque && frames.second) Torque(object, force, WorldPosition(frames.second));
    }
    MaybeBubble(frames.second, std::fabs(value) * bubbleScale);
    if (part.flags & kMV2PartSpin) TurnFrame(frames.second, part.firstAxis, spin);
}

void AnimatePuppetParts(MV2Object* object, MV2SubData* data, const MV2SubDefinition* def,
                        const TvV3d* velocity) {
    if (!velocity || !def) return;
    for (int32_t i = 0; i < def->partCount; ++i) {
        const MV2SubPart& part = def->parts[i];
        const MV2SubPartFrames& frames = data->parts[i];
        float value;
        if (part.flags & kMV2PartThrust)
            value = part.factor * (velocity->x * velocity->x + velocity->z * velocity->z);
        else if (part.flags & kMV2PartVertical)
            value = part.factor * velocity->y * velocity->y;
        else
            continue;
        if (std::fabs(value) > 0.002f) Trail(object, part, frames.second);
        MaybeBubble(frames.second, std::fabs(value) * 500.0f);
        if (part.flags & kMV2PartSpin) TurnFrame(frames.second, part.firstAxis, value * 10000.0f);
        if ((part.flags & kMV2PartVertical) && (part.flags & kMV2PartTilt))
            SetFrameRotation(frames.first, part.secondAxis,
                             -std::min(std::fabs(value) * 1000.0f, 90.0f));
    }
}

void Sway(MV2Object* object, MV2SubData* data) {
    float& p = data->swayPhase;
    const float q = p <= 0.5f ? p : p - 1.0f;
    const float move = (std::cos(q * 39.27f) * 0.003f + 0.0001f) * MV2FrameStep();
    if (p <= 0.5f) {
        p -= move;
        if (p < -0.04f) p += 1.0f;
    } else {
        p += move;
        if (p > 1.04f) p -= 1.0f;
    }
    const TvMatrix* m = object->matrix;
    Torque(object, TvV3dScale(m->right, q * 0.12f), TvV3dAdd(m->pos, m->up));
}

void DriveParts(MV2Object* object, MV2SubData* data, const MV2SubDefinition* def) {
    const TvMatrix* root = data->rootMatrix;
    const float drag8 = MV2GetMediumDrag(8);
    const bool held = Held(object);
    const bool tilted = std::fabs(data->pitchAngle) > 5.0f;
    const bool player = IsPlayer(object);
    const int32_t parts = def ? def->partCount : 0;

    if (!held) {
        const float bank = (data->yawRate * data->thrust - 0.0003f * data->strafe) * 400.0f;
        Torque(object, TvV3dScale(root->up, bank), TvV3dAdd(root->pos, root->right));
        Force(object, TvV3dScale(object->matrix->right, data->strafe));
        if (std::fabs(data->strafe) > 0.002f && object->clump)
            if (TpAtomic* atomic = MV2FindRootAtomic(object->clump))
                if (TvFrame* frame = AtomicFrame(atomic))
                    MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, 0, 0.5f,
                                  TvFrameGetLTM(frame));
    }
    data->strafe *= drag8;

    for (int32_t i = 0; i < parts; ++i) {
        const MV2SubPart& part = def->parts[i];
        if (!(part.flags & (kMV2PartYaw | kMV2PartReverse))) continue;
        if ((part.flags & kMV2PartTilt) && tilted) continue;
        const MV2SubPartFrames& frames = data->parts[i];
        const float sign = (part.flags & kMV2PartReverse) ? -1.0f : 1.0f;
        const float value = part.factor * data->yawRate * sign;
        if (!held && !data->directSteering && frames.row && frames.second)
            Torque(object, TvV3dScale(*frames.row, value), WorldPosition(frames.second));
        MaybeBubble(frames.second, std::fabs(value) * 50.0f);
        if (part.flags & kMV2PartSpin)
            TurnFrame(frames.second, part.firstAxis, data->yawRate * 1000.0f * sign);
    }
    if (data->directSteering) {
        MV2RotateMatrixInPlace(object->matrix, &object->matrix->up, data->yawRate * -200.0f, 1);
        if (object->clump) TvFrameUpdateObjects(object->clump->frame);
    } else if (data->driven && object->body) {
        object->body->angularVelocity =
            TvV3dScale(object->body->angularVelocity, MV2GetMediumDrag(7));
    }
    data->yawRate *= drag8;

    const int32_t type = TypeOf(object);
    if (type != 96) {
        Torque(object, TvV3dScale(root->up, data->pitchRate), TvV3dAdd(root->pos, root->at));
        if (player && type != 15) data->pitchRate *= drag8;
    }

    for (int32_t i = 0; i < parts; ++i) {
        const MV2SubPart& part = def->parts[i];
        if (!(part.flags & kMV2PartThrust)) continue;
        if ((part.flags & kMV2PartTilt) && tilted) continue;
        const MV2SubPartFrames& frames = data->parts[i];
        const TvV3d push = frames.row ? *frames.row : TvV3d{};
        DrivePart(object, part, frames, part.factor * data->thrust, push, !player, 500.0f,
                  data->thrust * 10000.0f);
    }
    data->thrust *= drag8;

    if (!tilted) return;
    bool vertical = false;
    for (int32_t i = 0; i < parts; ++i) {
        const MV2SubPart& part = def->parts[i];
        if (!(part.flags & kMV2PartVertical)) continue;
        vertical = true;
        const MV2SubPartFrames& frames = data->parts[i];
        DrivePart(object, part, frames, part.factor * data->verticalSpeed, root->up, true,
                  500.0f, data->verticalSpeed * 10000.0f);
        if (part.flags & kMV2PartTilt)
            SetFrameRotation(frames.first, part.secondAxis, -data->pitchAngle);
    }
    if (!vertical && !held && parts > 0)
        Force(object, TvV3dScale(root->up, def->parts[0].factor * data->verticalSpeed));
    data->verticalSpeed *= drag8;
    data->pitchAngle *= drag8;
}

void KeepUnderSurface(MV2Object* object, MV2SubData* data) {
    const bool puppetLike = IsPuppetType(object) || TypeOf(object) == 84;
    if (puppetLike) {
        const auto* brain = static_cast<const MV2SubAIData*>(data->brainData);
        if (!brain || brain->frames[0].common.detail != 0) return;
    }
    TvV3d& pos = object->matrix->pos;
    const float h = MV2GetWaterHeight(&pos);
    if (h - pos.y >= 0.75f) return;
    const float d = h - pos.y;
    if (d >= -0.75f) {
        Force(object, TvV3d{0.0f, d * (d < 0.0f ? 0.38f : 0.03f), 0.0f});
    } else {
        if (object->body) object->body->velocity.y -= 0.02f * MV2FrameStep();
        if (gMV2GameType == 3 || gMV2GameType == 4) {
            Force(object, TvV3d{0.0f, d * 0.38f, 0.0f});
            pos.y = std::min(pos.y, h + 1.0f);
        }
    }
    data->waterDepth = d;
}

void EngineSound(MV2Object* object, MV2SubData* data, const MV2SubDefinition* def) {
    if (!def) return;
    const float drive = std::fabs(data->strafe) * 0.3f + std::fabs(data->yawRate) * 0.1f +
                        std::fabs(data->verticalSpeed) + std::fabs(data->thrust);
    // A craft without a speed runs its engine at the base value.
    int32_t level = def->soundBase;
    if (def->maxSpeed > 0.0f) {
        const float extra = drive * 5525.0f / def->maxSpeed;
        level = extra < 1e9f ? int32_t(extra) + def->soundBase : def->soundMax;
    }
    level = std::min(level, def->soundMax);
    if (def->soundId < 0 || def->soundId >= kMV2SoundNames) return;
    const bool cockpit = IsPlayer(object) && MV2GetCameraMode() == 1;
    MV2StartObjectSound(object, def->soundId, &data->soundSlot, level,
                        cockpit ? def->soundParamPlayer : def->soundParamOther);
}

void Upright(MV2Object* object, MV2SubData* data) {
    const int32_t type = TypeOf(object);
    const bool player = IsPlayer(object);
    if (type == 96 && player) return;
    if (type == 15 || (!player && !Held(object))) {
        if (!IsPuppetType(object)) MV2ApplyUprightForce(object, &data->rightingOffset);
        return;
    }
    if (!Held(object)) {
        const float degrees = object->matrix->right.y * -9.0f * MV2FrameStep();
        MV2RotateMatrixInPlace(object->matrix, &kAxisZ, degrees, 1);
        if (object->clump) TvFrameUpdateObjects(object->clump->frame);
    }
}

void BecomeWreck(MV2Object* object, MV2SubData* data) {
    object->overrideHandler = nullptr;
    object->typeHandler = MV2SinkingWreckHandler;
    object->energy = 0.001f;
    MV2NotifyObjectScript(object, 13, 0, 0);
    const uint32_t now = MV2GameClock();
    data->wreckNextBurst = now;
    data->wreckEnd = now + 15000;
    data->wreckVertex = 0;
}

void Die(MV2Object* object) {
    const TvV3d pos = object->matrix->pos;
    const float position[3] = {pos.x, pos.y, pos.z};
    MV2SpawnBubbles(position, object->radius);
    MV2CreateExplosion(position, object->radius * 0.25f, 0.0f, nullptr, 1, 31);
    MV2BreakIntoDebris(object, 0);
    MV2ObjectSendMessage(object, 4, 0, 0);
}

// The mapped atomic's texture coordinates from its vertex normals as the camera sees them.
void MapToCamera(MV2SubData* data) {
    TpGeometry* geometry = data->mappedAtomic ? TpAtomicGetGeometry(data->mappedAtomic) : nullptr;
    if (!geometry || !gMV2MainCamera || !gMV2MainCamera->object.frame) return;
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    const TvV3d* normals = target ? TpMorphTargetGetNormals(target) : nullptr;
    TpTexCoords* uv = TpGeometryGetTexCoords(geometry);
    const int32_t n = TpGeometryGetNumVertices(geometry);
    if (!normals || !uv || n <= 0 || !TpGeometryLock(geometry, kTpLockTexCoords)) return;
    const TvMatrix* camera = TvFrameGetLTM(gMV2MainCamera->object.frame);
    const TvMatrix* m = data->rootMatrix;
    const TvV3d right{TvV3dDot(camera->right, m->right), TvV3dDot(camera->right, m->up),
                      TvV3dDot(camera->right, m->at)};
    const TvV3d up{TvV3dDot(camera->up, m->right), TvV3dDot(camera->up, m->up),
                   TvV3dDot(camera->up, m->at)};
    for (int32_t i = 0; i < n; ++i) {
        uv[i].u = std::fabs(TvV3dDot(normals[i], right) * 0.5f + 0.5f);
        uv[i].v = std::fabs(TvV3dDot(normals[i], up) * 0.5f + 0.5f);
    }
    TpGeometryUnlock(geometry);
}

intptr_t Update(MV2Object* object, intptr_t p1, intptr_t p2) {
    MV2SubData* data = Data(object);
    const MV2SubDefinition* def = MV2GetSubDefinition(object);
    const bool player = IsPlayer(object);
    MapToCamera(data);
    if (player && !IsPuppetType(object) && !Held(object)) Sway(object, data);
    if (object->energy < 0.0f) {
        if (TypeOf(object) == 4) {
            BecomeWreck(object, data);
        } else {
            Die(object);
        }
        return 1;
    }
    if (IsPuppetType(object))
        AnimatePuppetParts(object, data, def, reinterpret_cast<const TvV3d*>(p2));
    else
        DriveParts(object, data, def);
    KeepUnderSurface(object, data);
    EngineSound(object, data, def);
    Upright(object, data);
    const intptr_t result = MV2ObjectDefaultHandler(object, 2, p1, p2);
    MV2WeaponsBroadcast(&data->weapons, 2, p1, p2);
    MV2BroadcastToolCommand(data, 2, p1, p2);
    return result;
}

float Amount(intptr_t p2) {
    return *reinterpret_cast<const float*>(p2);
}

void Climb(MV2SubData* data, const MV2SubDefinition* def, bool up, float rate, float step) {
    const float maxSpeed = def ? def->maxSpeed : data->maxSpeed;
    if (up) {
        data->pitchAngle = std::min(data->pitchAngle + rate * MV2FrameStep(), 90.0f);
        data->verticalSpeed = std::min(data->verticalSpeed + step, data->maxSpeed);
    } else {
        data->pitchAngle = std::max(data->pitchAngle - rate * MV2FrameStep(), -90.0f);
        data->verticalSpeed = std::max(data->verticalSpeed - step, -maxSpeed);
    }
}

// The slot message 26 wants for a group given the current slot; -1 when the list lacks them.
int32_t GroupSlot(const MV2WeaponList* list, int32_t group) {
    auto first = [list](std::initializer_list<int32_t> slots) {
        for (int32_t s : slots)
            if (MV2HasWeapon(list, s)) return s;
        return -1;
    };
    switch (group) {
    case 19: return first({21});
    case 20:
        switch (list->currentWeaponSlot) {
        case 3: return first({16, 26, 3});
        case 16: return first({26, 3, 16});
        case 26: return first({16, 3, 26});
        default: return first({16, 26, 3, 0});
        }
    case 21: return first({5, 7});
    case 22: return first({27, 12});
    case 23: return first({9});
    case 24: return first({10});
    case 53: return first({11});
    case 54: return first({8});
    case 55: return first({23});
    case 56: return first({25});
    default: return -1;
    }
}

intptr_t SelectGroup(MV2Object* object, MV2SubData* data, int32_t group) {
    MV2ObjectSendMessage(object, 64, 0, 0);
    MV2WeaponList* list = &data->weapons;
    if (group == 0) {
        if (!list->first) return 0;
        MV2SelectNextWeapon(list);
        return 1;
    }
    const int32_t wanted = GroupSlot(list, group);
    if (wanted < 0) return 0;
    int32_t steps = 0, records = 0;
    for (const MV2WeaponRecord* w = list->first; w; w = w->next)
        ++records;
    while (list->currentWeaponSlot != wanted && steps <= records) {
        MV2SelectNextWeapon(list);
        ++steps;
    }
    return steps;
}

MV2WeaponRecord* CurrentWeapon(MV2SubData* data) {
    for (MV2WeaponRecord* w = data->weapons.first; w; w = w->next)
        if (w->slot == data->weapons.currentWeaponSlot) return w;
    return nullptr;
}

void DartStick(MV2Object* dart, MV2StunDartData* d, MV2Object* other, const TvV3d& hit) {
    MV2SetObjectRef(&d->stuckTo, other);
    MV2ObjectSendMessage(other, 71, 0, reinterpret_cast<intptr_t>(dart));
    const TvMatrix* om = other->matrix;
    const TvV3d rel = TvV3dSub(hit, om->pos);
    d->offset = {TvV3dDot(rel, om->right), TvV3dDot(rel, om->up), TvV3dDot(rel, om->at)};
    const TvMatrix* m = dart->matrix;
    const TvV3d rows[3] = {m->right, m->up, m->at};
    for (int32_t i = 0; i < 3; ++i)
        d->relative[i] = {TvV3dDot(rows[i], om->right), TvV3dDot(rows[i], om->up),
                          TvV3dDot(rows[i], om->at)};
    if (dart->body) dart->body->velocity = {};
}

// The row of `local` in the frame of `m`, as a world vector.
TvV3d ToWorld(const TvMatrix* m, const TvV3d& local) {
    return TvV3dAdd(TvV3dAdd(TvV3dScale(m->right, local.x), TvV3dScale(m->up, local.y)),
                    TvV3dScale(m->at, local.z));
}

bool CarriesStickClass(const MV2Object* other) {
    if (!other->type) return false;
    const uint32_t word = other->type->words[31];
    return (word >> 30) == 2 && ((word >> 28) & 3) == 2;
}

} // namespace

int32_t MV2ParseSubDefinitions(const uint8_t* bytes, size_t size) {
    g_definitions.clear();
    g_loaded = false;
    if (!bytes || size < 1) return 0;
    g_loaded = true;
    if (size < 12) return 1;
    const int32_t count = int32_t(TvLoadU32(bytes + 8));
    if (count < 1 || size < kMV2SubFileHeaderSize) return 1;
    // Only whole records inside the file are indexed.
    const size_t present = (size - kMV2SubFileHeaderSize) / kMV2SubRecordSize;
    const size_t n = std::min(size_t(count), present);
    try {
        g_definitions.resize(n);
    } catch (const std::bad_alloc&) {
        g_loaded = false;
        return 0;
    }
    for (size_t i = 0; i < n; ++i)
        ParseRecord(bytes + kMV2SubFileHeaderSize + i * kMV2SubRecordSize, &g_definitions[i]);
    return 1;
}

int32_t MV2LoadSubDefinitions() {
    MV2RegisterSubmarineHandlers();
    char path[64];
    std::snprintf(path, sizeof path, ".\\%s%s", "DATA\\", "SUBS.DAT");
    TvFileInterface* files = TvEngineGetFileInterface();
    void* f = files && files->open ? files->open(path, "rb") : nullptr;
    if (!f) return 0;
    const long length = files->length(f);
    std::vector<uint8_t> bytes;
    bool ok = length >= 1;
    if (ok) {
        try {
            bytes.resize(size_t(length));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (ok) ok = files->read(bytes.data(), 1, bytes.size(), f) == bytes.size();
    files->close(f);
    return ok ? MV2ParseSubDefinitions(bytes.data(), bytes.size()) : 0;
}

void MV2FreeSubDefinitions() {
    g_definitions.clear();
    g_definitions.shrink_to_fit();
    g_loaded = false;
}

int32_t MV2CountSubDefinitions() {
    return int32_t(g_definitions.size());
}

MV2SubDefinition* MV2FindSubDefinition(const char* name) {
    if (!g_loaded || !name) return nullptr;
    // Upper-cased on a copy: the caller's string is never written.
    char wanted[kMV2SubNameSize + 1];
    size_t n = 0;
    for (; name[n]; ++n) {
        if (n == size_t(kMV2SubNameSize)) return nullptr; // longer than any stored name
        wanted[n] = char(std::toupper(static_cast<unsigned char>(name[n])));
    }
    wanted[n] = 0;
    for (MV2SubDefinition& d : g_definitions)
        if (std::strcmp(d.name, wanted) == 0) return &d;
    return nullptr;
}

MV2SubDefinition* MV2GetSubDefinition(MV2Object* object) {
    return object && object->type ? static_cast<MV2SubDefinition*>(object->type->subDefinition)
                                  : nullptr;
}

intptr_t MV2SubmarineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2SubData* data = Data(object);
    if (!data) {
        if (message == 96 && p2) {
            *reinterpret_cast<intptr_t*>(p2) = sizeof(MV2SubData);
            return 1;
        }
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
    const MV2SubDefinition* def = MV2GetSubDefinition(object);
    const float step = MV2FrameStep();
    switch (message) {
    case 2: return Update(object, p1, p2);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        Create(object);
        return result;
    }
    case 4:
        HideTag69(object);
        MV2RemoveAllTools(&data->tools);
        DestroyAttachments(data);
        MV2RemoveAllWeapons(&data->weapons);
        if (def) MV2StopObjectSound(object, def->soundId, &data->soundSlot);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 5: {
        if (!p2) return 1;
        data->thrust += data->acceleration * Amount(p2) * step;
        const float cap = gMV2GameType == 2 ? data->maxSpeed : 2.0f * data->maxSpeed;
        data->thrust = std::min(data->thrust, cap);
        if (def) data->thrust = std::max(data->thrust, def->minThrust);
        return 1;
    }
    case 6: {
        if (!p2) return 1;
        const float amount = Amount(p2);
        data->pitchRate +=
            data->driven && !data->directSteering ? amount * 0.005f * step : amount;
        const float limit = def ? def->maxPitchRate : 0.0f;
        data->pitchRate = std::clamp(data->pitchRate, -std::fabs(limit), std::fabs(limit));
        return 1;
    }
    case 7:
        if (!p2) return 1;
        data->yawRate = data->directSteering ? Amount(p2) : data->yawRate + Amount(p2);
        data->yawRate = std::clamp(data->yawRate, -0.04f, 0.04f);
        return 1;
    case 8: {
        bool up;
        float rate = 20.0f, climbStep = data->acceleration;
        if (p2) {
            const float v = Amount(p2);
            up = v > 0.0f;
            rate = 20.0f * std::fabs(v);
            climbStep = data->acceleration * std::fabs(v);
        } else {
            up = p1 != 0;
        }
        Climb(data, def, up, rate, climbStep);
        return 1;
    }
    case 10: {
        if (p1 == 1) return 0;
        MV2CreationRecord record{};
        record.matrix = object->matrix;
        if (p1 == 2) {
            record.aim = reinterpret_cast<const float*>(p2);
            MV2FireWeapon(&data->weapons, object, &record, nullptr);
            return 1;
        }
        const intptr_t fired = MV2FireWeapon(&data->weapons, object, &record, nullptr);
        if (p2) *reinterpret_cast<intptr_t*>(p2) = fired;
        return 1;
    }
    case 11:
        for (MV2SubAttachmentSlot& slot : data->attachments)
            if (MV2Object* light = MV2GetObjectRef(&slot.object)) {
                if (auto* d = static_cast<MV2LightObjectData*>(light->privateData))
                    d->flags = (d->flags & ~kMV2LightBlinking) | uint32_t(p1 & 1) << 14;
                MV2ObjectSendMessage(light, 11, p1, 0);
            }
        return 1;
    case 14: {
        MV2SendToolCommand(object, 5, 13, 0, reinterpret_cast<void*>(p2));
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && MV2ObjectSendMessage(other, 70, 0, 0)) return 0;
        return MV2ObjectDefaultHandler(object, 14, p1, p2);
    }
    case 21:
        return MV2AddWeapon(&data->weapons, data, def, int32_t(p1), int32_t(p2), object) ? 1 : 0;
    case 22: return MV2RemoveWeapon(&data->weapons, int32_t(p1));
    case 26: return SelectGroup(object, data, int32_t(p1));
    case 27:
        if (p2) *reinterpret_cast<void**>(p2) = data->brainData;
        return 1;
    case 28: data->brainData = reinterpret_cast<void*>(p2); return 1;
    case 46: {
        const int32_t r = MV2SelectWeapon(&data->weapons, int32_t(p1));
        if (p2) *reinterpret_cast<intptr_t*>(p2) = r;
        return 1;
    }
    case 48: return MV2AddTool(&data->tools, int32_t(p1), object);
    case 49: return MV2RemoveTool(&data->tools, int32_t(p1));
    case 51: MV2SelectNextTool(&data->tools); return 1;
    case 52: {
        const bool found = MV2FindTool(&data->tools, int32_t(p1)) != nullptr;
        if (found) data->tools.currentKind = int32_t(p1);
        if (p2) *reinterpret_cast<intptr_t*>(p2) = found ? 1 : 0;
        return 1;
    }
    case 53: MV2UseTool(&data->tools, object, 0); return 1;
    case 59: {
        auto* record = reinterpret_cast<MV2ToolGauge*>(p2);
        if (!record) return 1;
        if (MV2Tool* tool = MV2FindTool(&data->tools, int32_t(p1)))
            MV2SendToolMessage(tool, 59, 0, p2);
        else
            record->found = 0;
        return 1;
    }
    case 60:
        if (p2)
            *reinterpret_cast<int32_t**>(p2) = MV2QueryWeaponSlot(&data->weapons, int32_t(p1));
        return 1;
    case 61:
        if (MV2WeaponRecord* w = CurrentWeapon(data)) MV2WeaponSendMessage(w, 61, p1, p2);
        return 1;
    case 63: MV2StartSpecialMove(object); return 1;
    case 64: MV2WeaponsTriggerReleased(&data->weapons); return 1;
    case 66:
        if (def)
            for (int32_t i = 0; i < def->attachmentCount; ++i)
                if (!MV2GetObjectRef(&data->attachments[i].object))
                    CreateAttachment(object, data, def, i);
        return 1;
    case 80: return 1;
    case 81: {
        float amount = p2 ? -0.01f * Amount(p2) : 0.01f;
        amount *= step;
        float limit = 0.05f;
        if (gMV2GameType == 4) {
            amount *= 1.5f;
            limit = 0.075f;
        }
        data->strafe = std::clamp(data->strafe + amount, -limit, limit);
        return 1;
    }
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = sizeof(MV2SubData);
        return 1;
    case 102:
        for (MV2SubAttachmentSlot& slot : data->attachments)
            if (MV2Object* light = MV2GetObjectRef(&slot.object))
                if (auto* d = static_cast<MV2LightObjectData*>(light->privateData)) d->value24 = 0;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2SinkingWreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: break;
    case 4:
    case 11:
    case 14:
    case 27:
    case 28:
    case 59:
    case 60:
    case 61:
    case 66:
    case 96: return MV2SubmarineHandler(object, message, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
    MV2SubData* data = Data(object);
    object->energy = 0.001f;
    MV2ApplyGravity(object);
    const uint32_t now = MV2GameClock();
    if (!data || int32_t(now - data->wreckEnd) >= 0) {
        MV2SubmarineHandler(object, 11, 0, 0);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    const TvMatrix* m = object->matrix;
    const float f = float(data->wreckEnd - now) / 15000.0f;
    const TvV3d local{1.0f, -0.5f, 0.6f};
    Torque(object, TvV3d{0.0f, -0.125f * f, 0.0f}, TvV3dAdd(m->pos, ToWorld(m, local)));
    if (int32_t(now - data->wreckNextBurst) > 0) {
        data->wreckNextBurst += 75 + uint32_t(400.0f * (1.0f - f));
        if (int32_t(data->wreckNextBurst - now) < 0) data->wreckNextBurst = now;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
        const int32_t vertices = geometry ? TpGeometryGetNumVertices(geometry) : 0;
        TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
        const TvV3d* points = target ? TpMorphTargetGetVertices(target) : nullptr;
        // A root geometry without vertices makes no bursts.
        if (vertices > 0 && points) {
            data->wreckVertex = int32_t((uint32_t(data->wreckVertex) + MV2RandomBits(15)) %
                                        uint32_t(vertices));
            TvV3d at;
            TvV3dTransformPoints(&at, &points[data->wreckVertex], 1,
                                 TvFrameGetLTM(AtomicFrame(root)));
            const float point[3] = {at.x, at.y, at.z};
            const float up[3] = {0.0f, 1.0f, 0.0f};
            MV2CreateFlak(point, float(500 + MV2RandomBits(1023)) * 0.0033333334f,
                          800 + MV2RandomBits(511), 2);
            MV2CreateSmoke(point, up, 1.5f, 0.075f, uint8_t(192 + MV2RandomBits(63)));
        }
        const float limit = (float(data->wreckEnd - now) - 9000.0f) * 1023.0f / 3750.0f;
        MV2SubmarineHandler(object, 11, float(MV2RandomBits(1023)) < limit ? 1 : 0, 0);
    }
    return MV2ObjectDefaultHandler(object, 2, p1, p2);
}

intptr_t MV2StunDartHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2StunDartData*>(object->privateData);
    if (message == 96) {
        if (p2) *reinterpret_cast<intptr_t*>(p2) = sizeof(MV2StunDartData);
        return 1;
    }
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        if (object->matrix->pos.y > MV2GetWaterHeight(&object->matrix->pos)) {
            MV2ApplyGravity(object);
            MV2ApplyGravity(object);
        }
        if (int32_t(MV2GameClock() - d->expiry) > 0) {
            MV2ObjectSendMessage(object, 4, 1, 0);
            return 1;
        }
        if (MV2Object* other = MV2GetObjectRef(&d->stuckTo)) {
            const TvMatrix* om = other->matrix;
            TvMatrix* m = object->matrix;
            m->pos = TvV3dAdd(om->pos, ToWorld(om, d->offset));
            m->right = ToWorld(om, d->relative[0]);
            m->up = ToWorld(om, d->relative[1]);
            m->at = ToWorld(om, d->relative[2]);
            if (object->clump) TvFrameUpdateObjects(object->clump->frame);
            return 1;
        }
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2StunDartData{};
        d->expiry = MV2GameClock() + 10000;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->radius = MV2GetBoundingRadius(root);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 12:
        if (p2 && object->body)
            object->body->velocity = TvV3dAdd(*reinterpret_cast<const TvV3d*>(p2),
                                              TvV3dScale(object->matrix->at, 0.5f));
        return 1;
    case 13:
        if (p2) *reinterpret_cast<const TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other || MV2GetObjectRef(&d->stuckTo)) return 0;
        if (other == MV2GetObjectRef(&d->owner) || TypeOf(other) == 94) return 0;
        if (!CarriesStickClass(other)) return 1;
        TpAtomic* atomic = other->clump ? MV2FindRootAtomic(other->clump) : nullptr;
        const TvV3d start = object->matrix->pos;
        const TvV3d velocity = object->body ? object->body->velocity : TvV3d{};
        const TvV3d end = TvV3dAdd(start, TvV3dScale(velocity, 10.0f));
        int32_t triangle = 0;
        float fraction = 0.0f;
        if (atomic && MV2IntersectAtomicLine(atomic, &start, &end, &triangle, &fraction))
            DartStick(object, d, other,
                      TvV3dAdd(start, TvV3dScale(TvV3dSub(end, start), fraction)));
        return 0;
    }
    case 15: MV2SetObjectRef(&d->owner, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2StunDartWeaponHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1,
                                  intptr_t p2) {
    if (message == 57) {
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) *icon = {47, kHudColour};
        return 0;
    }
    return MV2StandardWeaponHandler(slot, message, p1, p2);
}

int32_t MV2StunDartToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 57) {
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2)) *icon = {307, kHudColour};
        return 1;
    }
    if (message == 59) {
        auto* gauge = reinterpret_cast<MV2ToolGauge*>(p2);
        if (!gauge || !tool) return 1;
        const int32_t initial = tool->row ? tool->row->initialCharges : 0;
        gauge->level = initial < 1 ? 255 : int32_t(int64_t(tool->charges) * 255 / initial);
        gauge->coloured = 1;
        gauge->colour = 0xFF000000u | kHudColour;
        return 1;
    }
    return MV2DefaultToolHandler(tool, message, p1, p2);
}

void MV2RegisterSubmarineHandlers() {
    for (int32_t type : {0, 1, 4, 44, 51, 56, 67, 70, 79, 80, 81, 103, 328, 329})
        MV2SetObjectTypeHandler(type, MV2SubmarineHandler);
    MV2SetObjectTypeHandler(94, MV2StunDartHandler);
    MV2SetWeaponRowHandler(2, MV2StunDartWeaponHandler);
    MV2SetWeaponRowHandler(3, MV2MissileLauncherHandler);
    MV2SetWeaponRowHandler(16, MV2MissileLauncherHandler);
    MV2SetObjectTypeHandler(378, MV2CruiserHandler);
    MV2SetObjectTypeHandler(69, MV2LightObjectHandler); // the lights craft hang on attachments
    MV2RegisterHeatHandlers();
    MV2RegisterAmbientHandlers();
    MV2RegisterDroneHandlers();
    MV2RegisterPirateHandlers();
    MV2RegisterTurretHandlers();
    MV2RegisterSpiderHandlers();
    MV2RegisterEaterHandlers();
    MV2RegisterRammerHandlers();
    MV2RegisterLeapRampHandlers();
    MV2RegisterSilentMumHandlers();
    MV2RegisterSporeHandlers();
    MV2RegisterEelHandlers();
    MV2RegisterSquidHandlers();
    MV2RegisterSmallMotherHandlers();
    MV2RegisterLevelCreatureHandlers();
}
