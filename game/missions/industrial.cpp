// Industrial turrets, gates and doors.
#include "game/missions/industrial.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/effects/explosions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/player/boltgun.h"
#include "game/player/playercraft.h"
#include "shell/gamestate.h"

namespace {

constexpr float kPi = 3.14159265f;

uint32_t Now() {
    return MV2GameClock();
}

bool Passed(uint32_t time) {
    return int32_t(Now() - time) > 0;
}

TvFrame* Tagged(MV2Object* object, uint32_t tag) {
    return object->clump ? MV2FindFrameByTag(object->clump, tag) : nullptr;
}

// ---- twin turret ----

struct TurretSearch {
    intptr_t filter;
    MV2Object* found;
};

int32_t TurretTargetCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* search = static_cast<TurretSearch*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o->aiCategory != 6 || !(o->flags & 8u)) return 1;
    if (o == MV2GetPlayerObject() && !search->filter) return 1;
    search->found = o;
    return 0;
}

void TurretFire(MV2Object* object, MV2TwinTurretData* d) {
    MV2RunCallback(d->callback, object, 1);
    d->callback = nullptr;
    for (TvFrame* barrel : {d->barrelA, d->barrelB}) {
        const TvMatrix world = *TvFrameGetLTM(barrel);
        MV2CreationRecord record{};
        record.matrix = &world;
        const MV2Point3 p = MV2Point(world.pos);
        if (MV2Object* bolt = MV2CreateObject(2, p.v, &record)) {
            MV2ObjectSendMessage(bolt, 15, 0, intptr_t(object));
            TvV3d direction = world.at;
            MV2ObjectSendMessage(bolt, 12, 0, intptr_t(&direction));
        }
        MV2PlayNamedSoundAt(world.pos, 1.0f, "TBLAST1", 0);
        TvFrameGetMatrix(barrel)->pos.z = d->barrelRest - 0.4f;
        TvFrameUpdateObjects(barrel);
    }
}

void TurretTrack(MV2Object* object, MV2TwinTurretData* d) {
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (!target) {
        d->state = 0;
        d->nextCheck = Now() + 2000;
        return;
    }
    const TvMatrix* pitch = TvFrameGetLTM(d->pitchPart);
    TvV3d v = TvV3dSub(MV2ObjectPosition(target), pitch->pos);
    const float length = MV2Normalise(&v);
    if (length > 40.0f) return;
    const float step = MV2FrameStep();
    TvMatrix* yaw = TvFrameGetMatrix(d->yawPart);
    const TvV3d up = yaw->up;
    MV2RotateMatrixInPlace(yaw, &up, TvV3dDot(pitch->right, v) * step * 16.0f, 2);
    TvFrameUpdateObjects(d->yawPart);
    d->pitch -= TvV3dDot(pitch->up, v) * step * 16.0f;
    d->pitch = std::fmin(std::fmax(d->pitch, -60.0f), 15.0f);
    const TvV3d xAxis{1, 0, 0};
    MV2RotateMatrixInPlace(TvFrameGetMatrix(d->pitchPart), &xAxis, d->pitch, 0);
    TvFrameUpdateObjects(d->pitchPart);
    const float aim = TvV3dDot(TvFrameGetLTM(d->pitchPart)->at, v);
    if (!Passed(d->nextShot) || aim <= 0.995f) {
        for (TvFrame* barrel : {d->barrelA, d->barrelB}) {
            TvMatrix* m = TvFrameGetMatrix(barrel);
            if (m->pos.z < d->barrelRest) {
                m->pos.z = std::fmin(m->pos.z + 0.01f * step, d->barrelRest);
                TvFrameUpdateObjects(barrel);
            }
        }
        return;
    }
    const TvV3d from = TvFrameGetLTM(d->pitchPart)->pos;
    const TvV3d to = MV2ObjectPosition(target);
    if (gMV2GameState.current != 12 && !MV2IntersectWorldLine(MV2World, &from, &to, nullptr, nullptr))
        TurretFire(object, d);
    d->nextShot = Now() + 1500;
}

// Answers 1 when the turret died.
int32_t TurretUpdate(MV2Object* object, MV2TwinTurretData* d) {
    if (object->energy < 0.0f) {
        const MV2Point3 p = MV2Point(MV2ObjectPosition(object));
        MV2CreateExplosion(p.v, object->radius, object->radius * 0.25f, nullptr, 1, 0x9A);
        MV2ObjectPosition(object) = TvV3dAdd(MV2ObjectPosition(object), object->matrix->at);
        MV2BreakIntoDebris(object, 0);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    if (Passed(d->nextCheck)) {
        if (d->state == 0) {
            TurretSearch search{d->targetFilter, nullptr};
            MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 40.0f,
                                     TurretTargetCallback, &search);
            if (!search.found) {
                d->nextCheck = Now() + 2000;
            } else {
                d->state = 1;
                d->nextCheck = Now() + 8000;
                MV2SetObjectRef(&d->target, search.found);
                d->nextShot = 0;
            }
        } else {
            d->state = 0;
            d->nextCheck = Now() + 1000;
        }
    } else if (d->state == 1) {
        TurretTrack(object, d);
    }
    return 0;
}

// ---- gates ----

MV2GateData g_gate248;
MV2ObjectRef g_gate248Owner;
uint32_t g_gate248Scan;

MV2GateData* GateData(MV2Object* object) {
    if (MV2TypeOf(object) != 248) return MV2LevelData<MV2GateData>(object);
    return MV2RefIs(g_gate248Owner, object) ? &g_gate248 : nullptr;
}

float GateAngle(MV2GateData* d, float travel) {
    int32_t done = 0;
    switch (d->state) {
    case 1: return travel;
    case 3: return 0.0f;
    default: {
        const float a =
            MV2HalfCosineOffset(Now(), d->start, d->end, d->rate, travel, d->state == 0, &done);
        if (done) d->state++;
        return a;
    }
    }
}

void Turned(const TvMatrix& saved, TvMatrix* m, float degrees) {
    *m = saved;
    const TvV3d up = saved.up;
    MV2RotateMatrixInPlace(m, &up, degrees, 2);
}

void GateUpdate(MV2Object* object, MV2GateData* d) {
    if (MV2TypeOf(object) == 248) {
        const float angle = GateAngle(d, 55.0f);
        for (int32_t i = 0; i < d->leafCount; i++) {
            Turned(d->leafSaved[i], TvFrameGetMatrix(d->leaves[i]), angle);
            TvFrameUpdateObjects(d->leaves[i]);
        }
    } else {
        Turned(d->saved, object->matrix, GateAngle(d, d->fullAngle));
        MV2ObjectMoved(object);
    }
}

// Mirrors the running move's time window about now.
void Reverse(uint32_t* start, uint32_t* end) {
    const uint32_t now = Now();
    const uint32_t s = *start;
    *start = 2 * now - *end;
    *end = 2 * now - s;
}

void GateOrder(MV2Object* object, MV2GateData* d, intptr_t open) {
    if (!d->automatic) return;
    const bool is248 = MV2TypeOf(object) == 248;
    const uint32_t length = is248 ? 4000 : 2000;
    if (open) {
        if (d->state == 2) {
            d->state = 0;
            Reverse(&d->start, &d->end);
        } else if (d->state == 3) {
            d->state = 0;
            d->start = Now();
            d->end = Now() + length;
        } else {
            return;
        }
        MV2PlayObjectSound(object, 30.0f, is248 ? "IRISDOOR" : "OVENDOOROPEN", 5000);
    } else {
        if (d->state == 0) {
            d->state = 2;
            Reverse(&d->start, &d->end);
        } else if (d->state == 1) {
            d->state = 2;
            d->start = Now();
            d->end = Now() + length;
        } else {
            return;
        }
        MV2PlayObjectSound(object, 30.0f, is248 ? "IRISDOOR" : "OVENDOORCLOSE", 5000);
    }
}

// ---- staged door ----

constexpr uint32_t kStageLength[8] = {756, 1884, 2000, 0, 2000, 1884, 756, 0};

void NextStage(MV2StagedDoorData* d, uint32_t stage) {
    d->stage = stage;
    d->start = Now();
    d->end = Now() + kStageLength[stage];
}

void SetBolt(MV2StagedDoorData* d, int32_t i, float offset) {
    TvFrameGetMatrix(d->bolts[i])->pos.x = d->boltRest[i] + offset;
    TvFrameUpdateObjects(d->bolts[i]);
}

void SetLeaves(MV2StagedDoorData* d, float degrees) {
    const TvV3d z{0, 0, 1};
    for (int32_t i = 0; i < 2; i++) {
        TvMatrix* m = TvFrameGetMatrix(d->leaves[i]);
        m->right = d->savedRight;
        m->up = d->savedUp;
        m->at = d->savedAt;
        MV2RotateMatrixInPlace(m, &z, i == 0 ? degrees : -degrees, 2);
        TvFrameUpdateObjects(d->leaves[i]);
    }
}

void StagedUpdate(MV2Object* object, MV2StagedDoorData* d) {
    if (d->stage != 3 && d->stage != 7 && int32_t(Now() - d->start) >= 0) {
        const uint32_t length = kStageLength[d->stage];
        const float rate = kPi / float(length);
        const bool opening = d->stage < 3;
        int32_t done = 0;
        float travel = d->stage == 0 || d->stage == 6 ? 0.6f : d->stage == 2 || d->stage == 4 ? 130.0f : 1.2f;
        const float offset = MV2HalfCosineOffset(Now(), d->start, d->end, rate, travel, opening, &done);
        switch (d->stage) {
        case 0:
        case 6:
            SetBolt(d, 2, -offset);
            SetBolt(d, 3, offset);
            break;
        case 1:
        case 5:
            SetBolt(d, 0, -offset);
            SetBolt(d, 1, offset);
            break;
        default: SetLeaves(d, offset); break;
        }
        if (done) {
            switch (d->stage) {
            case 0:
                NextStage(d, 1);
                MV2PlayObjectSound(object, 30.0f, "LDOOROPEN", 5000);
                break;
            case 1:
                NextStage(d, 2);
                MV2PlayObjectSound(object, 30.0f, "IRISDOOR", 5000);
                break;
            case 2: d->stage = 3; break;
            case 4:
                NextStage(d, 5);
                MV2PlayObjectSound(object, 30.0f, "LDOORCLOSE", 5000);
                break;
            case 5:
                NextStage(d, 6);
                MV2PlayObjectSound(object, 30.0f, "SDOORCLOSE", 4000);
                break;
            default: d->stage = 7; break;
            }
        }
    }
    MV2ObjectMoved(object);
}

// ---- multi-part doors ----

MV2DoorPartRecord g_door247[kMV2DoorPartsOf247];
MV2ObjectRef g_door247Owner;
uint32_t g_door247Scan;

int32_t PartCount(int32_t type) {
    switch (type) {
    case 247: return kMV2DoorPartsOf247;
    case 362:
    case 410: return 2;
    default: return 1;
    }
}

MV2DoorPartRecord* Parts(MV2Object* object) {
    if (MV2TypeOf(object) != 247) return MV2LevelData<MV2DoorPartRecord>(object);
    return MV2RefIs(g_door247Owner, object) ? g_door247 : nullptr;
}

void SetUpPart(MV2DoorPartRecord* r, TvFrame* frame, TvMatrix* m, const TvV3d* axis, float travel,
               int32_t startOffset, int32_t endOffset) {
    *r = MV2DoorPartRecord{};
    r->state = 3;
    r->automatic = 1;
    r->startOffset = startOffset;
    r->endOffset = endOffset;
    r->rate = kPi / float(endOffset - startOffset);
    r->home = m->pos;
    r->axis = axis;
    r->position = &m->pos;
    r->frame = frame;
    r->travel = travel;
}

// Answers 0 when a tagged part is missing.
int32_t SetUpDoor(MV2Object* object, MV2DoorPartRecord* r) {
    const int32_t type = MV2TypeOf(object);
    TvMatrix* own = object->matrix;
    TvFrame* root = object->clump ? object->clump->frame : nullptr;
    auto part = [&](int32_t i, uint32_t tag, bool up, float travel, int32_t s, int32_t e) {
        TvFrame* f = Tagged(object, tag);
        if (!f) return false;
        TvMatrix* m = TvFrameGetMatrix(f);
        SetUpPart(&r[i], f, m, up ? &m->up : &m->right, travel, s, e);
        return true;
    };
    switch (type) {
    case 244: SetUpPart(&r[0], root, own, &own->up, 2.0f, 0, 2000); return 1;
    case 341: SetUpPart(&r[0], root, own, &own->right, 2.4f, 0, 12000); return 1;
    case 247:
        return part(0, 2, true, -4.8f, 680, 2680) && part(1, 3, true, 4.8f, 0, 2000) &&
               part(2, 4, false, 4.8f, 0, 1500) && part(3, 5, false, -4.8f, 0, 1500) &&
               part(4, 6, false, 4.8f, 300, 1800) && part(5, 7, false, -4.8f, 300, 1800);
    case 362: return part(0, 2, true, 6.5f, 0, 1000) && part(1, 1, true, -3.5f, 1, 1001);
    case 410: return part(0, 2, false, 1.5f, 0, 2000) && part(1, 3, false, -1.5f, 1, 2001);
    default: return 0;
    }
}

void PlacePart(MV2DoorPartRecord* r, float offset) {
    *r->position = TvV3dAdd(r->home, TvV3dScale(*r->axis, offset));
    if (r->frame) TvFrameUpdateObjects(r->frame);
}

void DoorOrder(MV2Object* object, MV2DoorPartRecord* r, intptr_t open) {
    if (!r[0].automatic) return;
    const int32_t type = MV2TypeOf(object);
    for (int32_t i = 0; i < PartCount(type); i++) {
        MV2DoorPartRecord* p = &r[i];
        const char* sound = nullptr;
        if (open) {
            if (p->state == 2) {
                p->state = 0;
                Reverse(&p->start, &p->end);
            } else if (p->state == 3) {
                p->state = 0;
                p->start = Now() + uint32_t(p->startOffset);
                p->end = Now() + uint32_t(p->endOffset);
                sound = type == 341 ? "PLUTORODMOVE" : type == 362 ? "SDOOROPEN" : "LDOOROPEN";
            }
        } else {
            if (p->state == 0) {
                p->state = 2;
                Reverse(&p->start, &p->end);
            } else if (p->state == 1) {
                p->state = 2;
                p->start = Now() + uint32_t(p->startOffset);
                p->end = Now() + uint32_t(p->endOffset);
                sound = type == 341 ? nullptr : type == 362 ? "SDOORCLOSE" : "LDOORCLOSE";
            }
        }
        if (sound) MV2PlayObjectSound(object, 30.0f, sound, 5000);
    }
}

void DoorUpdate(MV2Object* object, MV2DoorPartRecord* r) {
    for (int32_t i = 0; i < PartCount(MV2TypeOf(object)); i++)
        if ((r[i].state == 0 || r[i].state == 2) && int32_t(Now() - r[i].start) >= 0)
            MV2DoorPartStep(&r[i], r[i].travel);
    if (MV2TypeOf(object) == 341) MV2LoopNamedSound(object, "PLUTORODHUM", &r[0].sound);
    MV2ObjectMoved(object);
}

} // namespace

MV2GateData* MV2GateRecord(MV2Object* object) {
    return object && object->typeHandler == MV2GateHandler ? GateData(object) : nullptr;
}

MV2DoorPartRecord* MV2DoorPartRecords(MV2Object* object) {
    return object && object->typeHandler == MV2MultiPartDoorHandler ? Parts(object) : nullptr;
}

int32_t MV2DoorPartStep(MV2DoorPartRecord* record, float travel) {
    int32_t done = 0;
    const float offset = MV2HalfCosineOffset(Now(), record->start, record->end, record->rate,
                                             travel, record->state == 0, &done);
    PlacePart(record, offset);
    if (done && (record->state == 0 || record->state == 2)) record->state++;
    return done;
}

intptr_t MV2TwinTurretHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2TwinTurretData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2TwinTurretData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (TurretUpdate(object, d)) return 1;
        break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2TwinTurretData{};
        d->nextCheck = (MV2RandomBits(0x1FFF)) + 1000;
        d->yawPart = Tagged(object, 2);
        d->pitchPart = Tagged(object, 3);
        d->barrelA = Tagged(object, 4);
        d->barrelB = Tagged(object, 5);
        if (!d->yawPart || !d->pitchPart || !d->barrelA || !d->barrelB) return 0;
        d->barrelRest = TvFrameGetMatrix(d->barrelA)->pos.z;
        d->targetFilter = 1;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12:
        d->targetFilter = p1;
        if (p2) d->callback = MV2CallbackOf(p2);
        return 1;
    case 65:
        if (MV2ObjectCallback callback = d->callback) {
            d->callback = nullptr;
            callback(object, 1);
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2GateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const bool is248 = MV2TypeOf(object) == 248;
    if (message == 96) return MV2AnswerSize(p2, is248 ? 0 : sizeof(MV2GateData));
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        MV2GateData* d = MV2LevelData<MV2GateData>(object);
        if (is248) {
            d = &g_gate248;
            *d = MV2GateData{};
            for (int32_t i = 0; i < kMV2GateLeaves; i++) {
                d->leaves[i] = Tagged(object, uint32_t(2 + i));
                if (!d->leaves[i]) return 0;
                d->leafSaved[i] = *TvFrameGetMatrix(d->leaves[i]);
            }
            d->leafCount = kMV2GateLeaves;
            d->fullAngle = 55.0f;
            d->rate = kPi / 4000.0f;
            g_gate248Scan = Now() + 2000;
            MV2SetObjectRef(&g_gate248Owner, object);
        } else {
            if (!d) return 0;
            *d = MV2GateData{};
            d->fullAngle = 90.0f;
            d->rate = kPi / 2000.0f;
        }
        d->saved = *object->matrix;
        d->automatic = 1;
        d->state = 3;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    MV2GateData* d = GateData(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        GateUpdate(object, d);
        if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
        if (is248 && d->automatic && Passed(g_gate248Scan)) {
            g_gate248Scan = Now() + 2000;
            MV2ObjectSendMessage(object, 12, MV2PirateCraftNear(MV2ObjectPosition(object), 10.0f), 0);
        }
        return 1;
    }
    case 11:
        MV2ObjectSendMessage(object, 12, p1, p2);
        d->automatic = 0;
        return 1;
    case 12: GateOrder(object, d, p1); return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2StagedDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2StagedDoorData));
    auto* d = MV2LevelData<MV2StagedDoorData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: StagedUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2StagedDoorData{};
        d->stage = 7;
        for (int32_t i = 0; i < 2; i++)
            if (!(d->leaves[i] = Tagged(object, uint32_t(2 + i)))) return 0;
        for (int32_t i = 0; i < 4; i++) {
            if (!(d->bolts[i] = Tagged(object, uint32_t(4 + i)))) return 0;
            d->boltRest[i] = TvFrameGetMatrix(d->bolts[i])->pos.x;
        }
        const TvMatrix* leaf = TvFrameGetMatrix(d->leaves[0]);
        d->savedAt = leaf->at;
        d->savedUp = leaf->up;
        d->savedRight = leaf->right;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12:
        if (p1 && d->stage == 7) {
            d->stage = 0;
            d->start = Now() + uint32_t(p2);
            d->end = Now() + 756 + uint32_t(p2);
            MV2PlayObjectSound(object, 30.0f, "SDOOROPEN", 4000);
        } else if (!p1 && d->stage == 3) {
            NextStage(d, 4);
            MV2PlayObjectSound(object, 30.0f, "IRISDOOR", 5000);
        }
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2MultiPartDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const int32_t type = MV2TypeOf(object);
    if (message == 96)
        return MV2AnswerSize(p2, type == 247 ? 0 : size_t(PartCount(type)) * sizeof(MV2DoorPartRecord));
    if (message == 75) return 0;
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        MV2DoorPartRecord* r = MV2LevelData<MV2DoorPartRecord>(object);
        if (type == 247) {
            r = g_door247;
            MV2SetObjectRef(&g_door247Owner, object);
            g_door247Scan = Now() + 2000;
        }
        if (!r || !SetUpDoor(object, r)) {
            if (type == 247) MV2ClearObjectRef(&g_door247Owner);
            return 0;
        }
        MV2ObjectSendMessage(object, 0, 1, 0);
        if (type == 410) MV2ObjectSendMessage(object, 12, 1, 0);
        return 1;
    }
    MV2DoorPartRecord* r = Parts(object);
    if (!r) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        DoorUpdate(object, r);
        if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
        if (type == 247 && r[0].automatic && Passed(g_door247Scan)) {
            g_door247Scan = Now() + 2000;
            MV2ObjectSendMessage(object, 12, MV2PirateCraftNear(MV2ObjectPosition(object), 10.0f), 0);
        } else if (type == 362 && r[0].hasTarget) {
            const TvV3d v = TvV3dSub(r[0].target, MV2ObjectPosition(object));
            if (TvV3dDot(v, v) < 49.0f) {
                MV2ObjectSendMessage(object, 12, 1, 0);
                r[0].hasTarget = 0;
            }
        }
        return 1;
    }
    case 4:
        if (type == 341) MV2StopNamedSound(object, "PLUTORODHUM", &r[0].sound);
        break;
    case 11:
        MV2ObjectSendMessage(object, 12, p1, p2);
        r[0].automatic = 0;
        return 1;
    case 12: DoorOrder(object, r, p1); return 1;
    case 14:
        if (MV2PushSpiderAway(object, reinterpret_cast<MV2Object*>(p2))) return 1;
        break;
    case 24:
        if (type == 362 && p2) {
            r[0].target = *reinterpret_cast<const TvV3d*>(p2);
            r[0].hasTarget = 1;
        } else if (type == 410) {
            for (int32_t i = 0; i < 2; i++) {
                r[i].state = p1 ? 1 : 3;
                PlacePart(&r[i], p1 ? r[i].travel : 0.0f);
            }
        }
        return 1;
    case 34:
        if (type == 341 && p2) {
            MV2Object* other = MV2FindObjectByScriptID(int32_t(p1));
            int32_t time = 0;
            if (other) {
                const TvV3d v = TvV3dSub(MV2ObjectPosition(other), MV2ObjectPosition(object));
                time = int32_t(MV2Length(v) * 5000.0f);
            }
            *reinterpret_cast<intptr_t*>(p2) = time;
            return 1;
        }
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterIndustrialHandlers() {
    MV2SetObjectTypeHandler(228, MV2TwinTurretHandler);
    MV2SetObjectTypeHandler(248, MV2GateHandler);
    MV2SetObjectTypeHandler(346, MV2GateHandler);
    MV2SetObjectTypeHandler(237, MV2StagedDoorHandler);
    for (int32_t type : {244, 247, 341, 362, 410})
        MV2SetObjectTypeHandler(type, MV2MultiPartDoorHandler);
}
