// SubAI steering and obstacle avoidance.
#include "game/creatures/subaisteer.h"

#include <algorithm>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"

namespace {

constexpr float kDegrees = 57.29577951f;

MV2SubData* Sub(MV2Object* craft) {
    return static_cast<MV2SubData*>(craft->privateData);
}

void Send(MV2Object* craft, int32_t message, intptr_t p1, float value) {
    MV2ObjectSendMessage(craft, message, p1, reinterpret_cast<intptr_t>(&value));
}

void SendClimb(MV2Object* craft, int32_t up) {
    MV2ObjectSendMessage(craft, 8, up, 0);
}

struct ObstacleSearch {
    MV2Object* craft;
    MV2Object* ignored; // the frame's target when it does not count as an obstacle
    TvV3d origin;
    TvV3d direction;
    float best;
    MV2Object* obstacle;
};

int32_t ExamineAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<ObstacleSearch*>(data);
    MV2Object* candidate = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!candidate || candidate == s->craft || candidate == s->ignored) return 1;
    if (candidate->aiCategory == 4 || candidate->aiCategory == 5 || candidate->aiCategory == 7)
        return 1;
    const float radius = MV2GetBoundingRadius(atomic);
    if (radius < 0.5f) return 1;
    const TvV3d centre = atomic->object.frame ? TvFrameGetLTM(atomic->object.frame)->pos
                                              : candidate->matrix->pos;
    float nearRoot, farRoot;
    if (MV2RaySphere(&s->origin, &s->direction, &centre, s->craft->radius + radius, &nearRoot,
                     &farRoot) &&
        nearRoot < s->best) {
        s->best = nearRoot;
        s->obstacle = candidate;
    }
    return 1;
}

// The yaw step: sets the yaw rate toward d and answers the cosine to it.
float YawStep(MV2Object* craft, const TvV3d& d) {
    MV2SubData* sub = Sub(craft);
    const MV2SubDefinition* def = MV2GetSubDefinition(craft);
    const TvMatrix* m = craft->matrix;
    const TvV3d h = MV2Unit(TvV3d{d.x, 0.0f, d.z});
    const TvV3d f = MV2Unit(TvV3d{m->at.x, 0.0f, m->at.z});
    const float c = std::clamp(TvV3dDot(h, f), -1.0f, 1.0f);
    float angle = std::acos(c) * kDegrees;
    if (def) angle = std::min(angle, def->turnLimit);
    angle *= 1.0f - std::fabs(d.y);
    if (d.x * m->right.x + d.z * m->right.z < 0.0f) angle = -angle;
    if (sub) sub->yawRate = angle * MV2FrameSeconds() * -0.005f;
    return c;
}

void SpeedCorrection(MV2Object* craft, const TvV3d& d, float* speed) {
    const MV2SubData* sub = Sub(craft);
    if (!sub) return;
    const float v = sub->verticalSpeed;
    *speed += std::sqrt((d.y * d.y + 1.0f) * v * v) - sub->thrust;
}

// Steps 4 to 6 of the steering: height, the surface, thrust.
void HeightAndThrust(MV2Object* craft, const TvV3d& d, float* speed) {
    MV2SubData* sub = Sub(craft);
    const MV2SubDefinition* def = MV2GetSubDefinition(craft);
    const float maxPitch = def ? def->maxPitchRate : 0.0f;
    auto climb = [&](int32_t up) {
        SendClimb(craft, up);
        SpeedCorrection(craft, d, speed);
        MV2SubAILevelOff(craft);
    };
    if (d.y > 0.7f) {
        climb(1);
    } else if (d.y < -0.7f) {
        climb(0);
    } else {
        float p = TvV3dDot(d, craft->matrix->up) * MV2FrameStep() * 0.002f;
        if (std::fabs(p) >= 0.0001f) {
            if (std::fabs(p) > 0.001f) p = std::copysign(0.001f, p);
            Send(craft, 6, 0, p);
            if (sub && sub->pitchRate >= maxPitch)
                climb(1);
            else if (sub && sub->pitchRate <= -maxPitch)
                climb(0);
        }
    }
    TvV3d& pos = craft->matrix->pos;
    pos.y = std::min(pos.y, MV2GetWaterHeight(&pos));
    *speed *= MV2GetMediumDrag(8) * 1.1f;
    Send(craft, 5, 0, *speed);
}

TvV3d Rotate(const TvV3d& v, const TvV3d& axis, float degrees) {
    TvMatrix m{};
    TvMatrixSetIdentity(&m);
    TvMatrixRotate(&m, &axis, degrees, 0);
    TvV3d out;
    TvV3dTransformVectors(&out, &v, 1, &m);
    return out;
}

void UprightAndGravity(MV2Object* craft) {
    const TvV3d offset{0.0f, 10.0f, 0.0f};
    MV2ApplyUprightForce(craft, &offset);
    MV2ApplyGravity(craft);
}

} // namespace

int32_t MV2RaySphere(const TvV3d* origin, const TvV3d* direction, const TvV3d* centre,
                     float radius, float* nearRoot, float* farRoot) {
    const TvV3d oc = TvV3dSub(*origin, *centre);
    const float a = TvV3dDot(*direction, *direction);
    const float b = 2.0f * TvV3dDot(*direction, oc);
    const float c = TvV3dDot(oc, oc) - radius * radius;
    const float disc = b * b - 4.0f * a * c;
    if (disc <= 0.0f || a == 0.0f) return 0;
    const float root = std::sqrt(disc);
    const float r0 = (-b - root) / (2.0f * a), r1 = (-b + root) / (2.0f * a);
    *nearRoot = std::min(r0, r1);
    *farRoot = std::max(r0, r1);
    return 1;
}

void MV2SubAIAvoid(MV2Object* craft, TvV3d* d) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    data->avoidanceCountdown -= MV2FrameSeconds();
    if (data->avoidanceCountdown < 0.0f) {
        data->avoidancePush = {};
        data->avoidanceCountdown += 0.1f;
        MV2ClearObjectRef(&data->obstacle);
        const float probe = craft->radius + 5.0f;
        const TvV3d pos = craft->matrix->pos;
        MV2SubAICommand* frame = &data->frames[data->depth];
        ObstacleSearch search{craft, frame->avoidTarget ? nullptr : MV2GetObjectRef(&frame->target),
                              pos, *d, probe, nullptr};
        TpWorld* world = TpWorldGetCurrent();
        if (world) {
            const TvV3d centre = TvV3dAdd(pos, TvV3dScale(*d, probe));
            MV2ForAllAtomicsInSphere(world, &centre, probe, ExamineAtomic, &search);
            if (search.obstacle) MV2SetObjectRef(&data->obstacle, search.obstacle);
            const TvV3d end = TvV3dAdd(pos, TvV3dScale(*d, probe));
            MV2TriangleHit hit{};
            float t = 0.0f;
            const int32_t hits = MV2IntersectWorldLine(world, &pos, &end, &hit, &t);
            if (hits) data->avoidancePush = TvV3dAdd(data->avoidancePush,
                                                     TvV3dScale(hit.normal, (1.0f - t) * 1.2f));
            data->avoiding = hits ? 1 : 0;
        }
    }
    if (MV2Object* obstacle = MV2GetObjectRef(&data->obstacle)) {
        TvV3d v = TvV3dSub(obstacle->matrix->pos, craft->matrix->pos);
        const float length = MV2Normalise(&v);
        const float r = craft->radius + obstacle->radius;
        float nearRoot, farRoot;
        if (MV2RaySphere(&craft->matrix->pos, d, &obstacle->matrix->pos, r, &nearRoot, &farRoot)) {
            const float angle = nearRoot < 0.0f || length <= r
                                    ? 95.0f
                                    : std::asin(std::min(r / length, 1.0f)) * kDegrees + 5.0f;
            const TvV3d axis = TvV3dCross(v, *d);
            if (MV2Length(axis) > 0.0f) *d = Rotate(v, MV2Unit(axis), angle);
        }
    }
    if (data->avoiding) *d = MV2Unit(TvV3dAdd(*d, data->avoidancePush));
}

void MV2SubAISteer(MV2Object* craft, TvV3d* d, float* speed, int32_t reverse) {
    MV2SubData* sub = Sub(craft);
    if (!sub) return;
    MV2SubAIAvoid(craft, d);
    sub->driven = 1;
    sub->directSteering = 1;
    float c = YawStep(craft, *d);
    if (!reverse && c < 0.0f) c = 0.0f;
    *speed *= c;
    HeightAndThrust(craft, *d, speed);
}

void MV2SubAISteerKinematic(MV2Object* craft, TvV3d* d, float* speed) {
    MV2SubData* sub = Sub(craft);
    if (!sub) return;
    MV2SubAIAvoid(craft, d);
    sub->driven = 1;
    sub->directSteering = 1;
    const TvV3d unit = MV2Unit(*d);
    TvMatrix* m = craft->matrix;
    const TvV3d right = m->right, up = m->up;
    MV2RotateMatrixInPlace(m, &right, TvV3dDot(up, unit) * MV2FrameStep() * -6.0f, 1);
    const float a = TvV3dDot(right, unit) * MV2FrameStep() * 6.0f;
    MV2RotateMatrixInPlace(m, &m->up, a, 1);
    if (craft->clump) TvFrameUpdateObjects(craft->clump->frame);
    *speed *= 1.0f - std::fabs(a) / 2.0f;
    TvV3d& pos = craft->matrix->pos;
    pos.y = std::min(pos.y, MV2GetWaterHeight(&pos));
    *speed *= MV2GetMediumDrag(8) * 1.1f;
    Send(craft, 5, 0, *speed);
}

float MV2SubSteerTowards(MV2Object* craft, const TvV3d* d) {
    MV2SubData* sub = Sub(craft);
    if (!sub) return 0.0f;
    sub->driven = 1;
    sub->directSteering = 1;
    return YawStep(craft, *d);
}

void MV2SubAILevelOff(MV2Object* craft) {
    const float y = craft->matrix->at.y;
    if (y < -0.173648f || y > 0.173648f) Send(craft, 6, 0, y * -0.005f);
}

int32_t MV2SubAIRouteStep(MV2Object* craft, MV2SubAIData* record, int32_t endFallback) {
    UprightAndGravity(craft);
    MV2Route& route = record->route;
    const TvV3d pos = craft->matrix->pos;
    if (route.current) {
        TvV3d v = TvV3dSub(route.current->position, pos);
        const float length = MV2Normalise(&v);
        bool passed = false;
        if (length < record->wayPointRadius) {
            passed = true;
        } else if (route.current->next && length < 8.0f &&
                   TvV3dDot(route.legDirection, v) >= 0.0f) {
            passed = true;
        }
        if (passed) {
            MV2RouteNextWayPoint(&route);
            const int32_t type = int32_t(craft->typeWord & kMV2ObjectTypeMask);
            if (type != 51 && route.current) v = MV2Unit(TvV3dSub(route.current->position, pos));
        }
        float speed = 0.5f;
        MV2SubAISteer(craft, &v, &speed, 0);
        return 1;
    }
    if (craft == MV2GetPlayerObject() || endFallback == 1) {
        TvV3d v = TvV3dSub(route.end, pos);
        if (MV2Length(v) > 1.0f) {
            float speed = 0.25f;
            MV2SubAISteer(craft, &v, &speed, 1);
            return 1;
        }
    }
    return 0;
}

int32_t MV2SubAIApproachPoint(MV2Object* craft, void*, MV2Object* other, const TvV3d* point) {
    UprightAndGravity(craft);
    MV2SubData* sub = Sub(craft);
    const float r = craft->radius + (other ? other->radius : 0.0f);
    TvV3d v = TvV3dSub(*point, craft->matrix->pos);
    const float length = MV2Normalise(&v);
    if (v.y < -0.8f) return 0;
    float speed = length < r + 5.0f ? 0.0f : 1.0f;
    const float floor = point->y; // no floor height below the point is known here
    const float dh = floor - craft->matrix->pos.y;
    if (sub && dh > 1.0f) {
        sub->verticalSpeed = std::min(sub->verticalSpeed, sub->maxSpeed * 0.05f);
        SendClimb(craft, 1);
    } else if (sub && dh < -1.0f) {
        sub->verticalSpeed = std::max(sub->verticalSpeed, -sub->maxSpeed * 0.05f);
        SendClimb(craft, 0);
    }
    if (length < r + 2.5f) speed = 0.035f;
    MV2SubAISteer(craft, &v, &speed, 1);
    return 1;
}
