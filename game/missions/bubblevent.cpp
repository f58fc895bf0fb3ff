#include "game/missions/bubblevent.h"

#include <algorithm>

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/heat.h"
#include "game/effects/bubbles.h"
#include "game/missions/leveldevices.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kGroundSound = 3;
constexpr int32_t kBubbleSound = 65; // "FASTBUBBLE"

float RandomSpan() {
    return float(MV2RandomBits(1023)) * 0.0019550342f - 1.0f;
}

void Bubble(const MV2Object* vent) {
    const TvV3d& p = vent->matrix->pos;
    const float u = RandomSpan(), w = RandomSpan();
    const float at[3] = {p.x + u, p.y, p.z + w};
    const float velocity[3] = {0.0f, float(MV2RandomBits(1023)) * 0.00048875855f + 0.2f, 0.0f};
    MV2Bubble* b = MV2CreateBubble(at, velocity, 1.0f);
    if (!b) return;
    const uint32_t variant = 1 + MV2RandomBits(1);
    uint32_t size = b->packed >> 24;
    size = size > 56 ? size - 56 : 0;
    b->packed = (b->packed & 0x00FFFF00u) | variant | (size << 24);
    b->ceiling = p.y + 5.0f;
}

// The buffet of a player beside and above the vent.
void Buffet(MV2Object* vent, MV2Object* player, const TvV3d& d) {
    float a = d.y * 0.2f;
    if (!(a >= 0.0f && a <= 1.0f)) a = 0.0f;
    float h = d.x * d.x + d.z * d.z;
    if (!(h >= 0.0f && h <= 1.0f)) h = 0.0f;
    const float s = a * h;
    if (s == 0.0f) return;
    if (MV2RandomBits(3) == 0)
        MV2PlaySoundAt(&player->matrix->pos, 1.0f, kGroundSound, 0, 0, int32_t(s * -500.0f));
    const float k = (1.0f - s) * 0.07f;
    const TvV3d force = TvV3dScale(d, -k);
    if (player->body) {
        MV2AddForce(player, &force);
        MV2AddTorque(player, &force, &vent->matrix->pos);
    }
    player->energy -= k * 10.0f;
    MV2AddHeat(0.001f);
}

void Update(MV2Object* vent, MV2BubbleVentData* v) {
    if (v->onTime == -1) MV2DecodeVentTimes(MV2TakeLevelParameter(vent), &v->onTime, &v->offTime);
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->matrix) {
        const TvV3d d = TvV3dSub(player->matrix->pos, vent->matrix->pos);
        if (TvV3dDot(d, d) >= 100.0f) {
            v->on = 0;
            v->nextSwitch = 0;
        } else {
            const uint32_t now = MV2GameClock();
            if (!v->on) {
                if (int32_t(v->nextSwitch - now) < 0) {
                    v->on = 1;
                    v->nextSwitch = now + uint32_t(v->onTime);
                }
            } else {
                if (int32_t(v->nextSwitch - now) < 0) {
                    v->on = 0;
                    v->nextSwitch = now + uint32_t(v->offTime);
                }
                Bubble(vent);
                Buffet(vent, player, d);
            }
        }
    }
    if (v->on)
        MV2StartObjectSound(vent, kBubbleSound, &v->sound, 0, 4000);
    else if (v->sound)
        MV2StopObjectSound(vent, kBubbleSound, &v->sound);
}

} // namespace

void MV2DecodeVentTimes(int32_t parameter, int32_t* onTime, int32_t* offTime) {
    const int32_t secondsOn = std::max(0, parameter / 1000);
    const int32_t tenthsOff = std::max(0, parameter % 1000);
    *onTime = int32_t(std::min<int64_t>(int64_t(secondsOn) * 1000, INT32_MAX));
    *offTime = tenthsOff * 100;
}

intptr_t MV2BubbleVentHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* v = static_cast<MV2BubbleVentData*>(object->privateData);
    switch (message) {
    case 2:
        if (v && object->matrix) Update(object, v);
        return 1;
    case 3:
        if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        if (v) *v = {0, 0, -1, 0, 0};
        return 1;
    case 4:
        if (v && v->sound) MV2StopObjectSound(object, kBubbleSound, &v->sound);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    case 96: return MV2AnswerSize(p2, sizeof(MV2BubbleVentData));
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2SetVentCycle(MV2Object* vent, int32_t onTime, int32_t offTime, uint32_t nextSwitch) {
    if (!vent || MV2TypeOf(vent) != 293 || !vent->privateData) return 0;
    auto* v = static_cast<MV2BubbleVentData*>(vent->privateData);
    v->onTime = onTime;
    v->offTime = offTime;
    v->nextSwitch = nextSwitch;
    return 1;
}

void MV2RegisterBubbleVentHandler() {
    MV2SetObjectTypeHandler(293, MV2BubbleVentHandler);
}
