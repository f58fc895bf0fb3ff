// The generator, destructible machines and rotating machinery.
#include "game/missions/generator.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/effects/explosions.h"
#include "game/missions/lightobject.h"
#include "game/objects/utilities.h"

namespace {

MV2GeneratorState g_generator;
MV2RotatingMachineState g_rotating;
TvFrame* g_drill; // the drilling machine's turning part

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) >= 0;
}

// Damage messages 65 and 76; 1 when handled.
bool Damage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 65) {
        if (p2) object->energy -= *reinterpret_cast<const float*>(p2);
        return true;
    }
    if (message == 76) {
        auto* from = reinterpret_cast<MV2Object*>(p2);
        if (p1 && from && from->type && (from->type->words[7] & (1u << 10)))
            object->energy -= *reinterpret_cast<const float*>(p1);
        return true;
    }
    return false;
}

// `count` explosions at random vertices of the first atomic's geometry.
void Bursts(MV2Object* object, int32_t count, float radius) {
    const int32_t vertices = MV2RootVertexCount(object);
    for (int32_t i = 0; i < count; i++) {
        TvV3d at = MV2ObjectPosition(object);
        if (vertices >= 2)
            MV2RootVertexWorld(object, int32_t(MV2RandomBits(0x7FFFFFFF) % uint32_t(vertices - 1)), 0,
                               &at);
        else if (vertices == 1)
            MV2RootVertexWorld(object, 0, 0, &at);
        const MV2Point3 p = MV2Point(at);
        MV2CreateExplosion(p.v, radius, 0.0f, nullptr, 5, 0x9A);
    }
}

void Turn(MV2Object* object, const TvV3d& axis, float degrees) {
    MV2RotateMatrixInPlace(object->matrix, &axis, degrees, 2);
    MV2ObjectMoved(object);
}

void SetAtomicFlags(MV2Object* object, uint32_t tag, uint8_t flags) {
    if (TpAtomic* a = object->clump ? MV2FindAtomicByTag(object->clump, tag) : nullptr)
        TpAtomicSetFlags(a, flags);
}

} // namespace

MV2GeneratorState* MV2GetGeneratorState() {
    return &g_generator;
}

MV2RotatingMachineState* MV2GetRotatingMachineState() {
    return &g_rotating;
}

intptr_t MV2GeneratorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, 0);
    if (message == 80) return 1;
    if (message == 75) return 0;
    MV2GeneratorState* g = &g_generator;
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *g = MV2GeneratorState{};
        g->state = 1;
        g->next = MV2GameClock() + 600;
        for (uint32_t tag : {2u, 3u, 5u})
            SetAtomicFlags(object, tag, 0);
        TvFrame* pole = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        const MV2Point3 at = MV2Point(pole ? TvFrameGetLTM(pole)->pos : MV2ObjectPosition(object));
        MV2Object* spark = MV2CreateObject(69, at.v, nullptr);
        if (!spark) return 0;
        if (auto* l = MV2LevelData<MV2LightObjectData>(spark)) {
            l->red = 0.0f;
            l->green = 0.5f;
            l->blue = 0.0f;
            l->radius = 0.01f;
            l->flags = (l->flags & ~(0xFFu << 3)) | 0x804u;
        }
        MV2ObjectSendMessage(spark, 11, 1, 0);
        MV2SetObjectRef(&g->spark, spark);
        MV2SetObjectRef(&g->owner, object);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    if (!MV2RefIs(g->owner, object)) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (Damage(object, message, p1, p2)) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        if (g->state && Passed(g->next)) {
            MV2Object* spark = MV2GetObjectRef(&g->spark);
            if (object->energy > 0.0f) {
                g->next = MV2GameClock() + 600;
                const uint32_t tag = g->state == 1 ? 2 : 3;
                g->state = g->state == 1 ? 2 : 1;
                TvFrame* pole = object->clump ? MV2FindFrameByTag(object->clump, tag) : nullptr;
                if (spark && pole) {
                    MV2ObjectPosition(spark) = TvFrameGetLTM(pole)->pos;
                    MV2ObjectMoved(spark);
                }
            } else {
                g->state = 0;
                if (spark) MV2ObjectSendMessage(spark, 4, 0, 0);
                SetAtomicFlags(object, 5, 4);
                MV2RunCallback(g->callback, object, 1);
            }
        }
        break;
    case 4:
        if (MV2Object* spark = MV2GetObjectRef(&g->spark)) MV2ObjectSendMessage(spark, 4, 0, 0);
        break;
    case 12:
        if (p2) g->callback = MV2CallbackOf(p2);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2DestructibleMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2DestructibleMachineData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2DestructibleMachineData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (Damage(object, message, p1, p2)) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const int32_t type = MV2TypeOf(object);
    const char* hum = type == 255 ? "ROTATINGDRILL" : "GENERATORHUM";
    switch (message) {
    case 2: {
        if (type == 255 && g_drill) {
            const TvV3d up = object->matrix->up;
            TvFrameRotate(g_drill, &up, 2.4f * MV2FrameStep(), 2);
        }
        MV2LoopNamedSound(object, hum, &d->sound);
        if (object->energy >= 0.0f) break;
        if (!d->nextExplosion) {
            d->nextExplosion = MV2GameClock() + 200;
            d->left = 25;
        } else if (Passed(d->nextExplosion)) {
            if (d->left > 0) {
                Bursts(object, 5, 6.0f);
                d->left--;
                d->nextExplosion += 200;
            } else {
                MV2RunCallback(d->callback, object, 1);
                const TvMatrix* anchor = d->anchor ? d->anchor : object->matrix;
                MV2CreationRecord record{};
                record.matrix = anchor;
                const MV2Point3 at = MV2Point(anchor->pos);
                const int32_t wreck = type == 250 ? 402 : type == 251 ? 403 : 262;
                if (MV2CreateObject(wreck, at.v, &record)) {
                    MV2ObjectSendMessage(object, 4, 0, 0);
                    return 1;
                }
            }
        }
        break;
    }
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2DestructibleMachineData{};
        if (type == 255) g_drill = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 4:
        MV2StopNamedSound(object, hum, &d->sound);
        if (type == 255) g_drill = nullptr;
        break;
    case 12:
        if (p2) {
            d->callback = MV2CallbackOf(p2);
            auto* at = reinterpret_cast<MV2Object*>(p1);
            d->anchor = at ? at->matrix : object->matrix;
        }
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2RotatingMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, 0);
    if (message == 80) return 1;
    const int32_t type = MV2TypeOf(object);
    MV2RotatingMachineState* s = &g_rotating;
    const float step = MV2FrameStep();
    switch (message) {
    case 2:
        switch (type) {
        case 245: Turn(object, object->matrix->up, -1.6f * step); break;
        case 344: Turn(object, object->matrix->at, 3.0f * step); break;
        case 249:
            if (s->doorSpinningDown) s->doorSpeed = std::fmax(s->doorSpeed - 0.0025f * step, 0.0f);
            Turn(object, object->matrix->at, s->doorSpeed * step);
            MV2LoopNamedSound(object, "ROTATINGDOOR", &s->doorSound);
            break;
        case 246: {
            const float lost = MV2InitialEnergy(object) - object->energy;
            if (object->energy >= 0.0f) {
                Turn(object, object->matrix->up, (2.4f + lost * 0.001f) * step);
                object->radius = lost + 25.0f;
                MV2LoopNamedSound(object, "REACTOR", &s->reactorSound);
            } else if (!s->reactorDead) {
                s->reactorDead = 1;
                s->reactorNext = MV2GameClock() + 200;
                MV2ObjectCallback callback = s->reactorCallback;
                s->reactorCallback = nullptr;
                MV2RunCallback(callback, object, 1);
            } else if (Passed(s->reactorNext)) {
                s->reactorNext += 200;
                Bursts(object, 3, 2.0f);
            }
            break;
        }
        default: break;
        }
        break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (type == 246) {
            s->reactorCallback = nullptr;
            s->reactorDead = 0;
            object->radius = 25.0f;
        } else if (type == 249) {
            s->doorSpeed = 0.3f;
            s->doorSpinningDown = 0;
        }
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 4:
        if (type == 246) MV2StopNamedSound(object, "REACTOR", &s->reactorSound);
        if (type == 249) MV2StopNamedSound(object, "ROTATINGDOOR", &s->doorSound);
        break;
    case 12:
        if (type == 246 && p2) s->reactorCallback = MV2CallbackOf(p2);
        if (type == 249) s->doorSpinningDown = 1;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterGeneratorHandlers() {
    MV2SetObjectTypeHandler(238, MV2GeneratorHandler);
    for (int32_t type : {250, 251, 255})
        MV2SetObjectTypeHandler(type, MV2DestructibleMachineHandler);
    for (int32_t type : {245, 246, 249, 344})
        MV2SetObjectTypeHandler(type, MV2RotatingMachineHandler);
}
