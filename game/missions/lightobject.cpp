// The light object: an engine light on its own frame, a parent's frame or the object's frame,
// switched by message 11 and blinking with a fixed or a random period.
#include "shell/gamemain.h"
#include "game/missions/lightobject.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "shell/frametimer.h"

namespace {

MV2LightObjectData* Data(MV2Object* object) {
    return static_cast<MV2LightObjectData*>(object->privateData);
}

TvFrame* ObjectFrame(MV2Object* object) {
    return object->clump ? object->clump->frame : nullptr;
}

void Detach(MV2Object* object, MV2LightObjectData* d) {
    if (d->flags & kMV2LightAttached) {
        if (TvFrame* frame = ObjectFrame(object)) TvFrameRemoveChild(frame);
        d->flags &= ~kMV2LightAttached;
    }
}

void DestroyLight(MV2LightObjectData* d) {
    if (!d->light) return;
    if (TpWorld* world = TpLightGetWorld(d->light)) TpWorldRemoveLight(world, d->light);
    TpLightSetFrame(d->light, nullptr);
    TpLightDestroy(d->light);
    d->light = nullptr;
    if (d->ownFrame) {
        TvFrameRemoveChild(d->ownFrame);
        TvFrameDestroy(d->ownFrame);
        d->ownFrame = nullptr;
    }
}

// The light enters the world while on and leaves it while off.
void PlaceLight(MV2LightObjectData* d) {
    if (!d->light) return;
    TpWorld* in = TpLightGetWorld(d->light);
    if (d->flags & kMV2LightOn) {
        if (!in)
            if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddLight(world, d->light);
    } else if (in) {
        TpWorldRemoveLight(in, d->light);
    }
}

void Switch(MV2Object* object, MV2LightObjectData* d, bool on) {
    d->flags = on ? d->flags | kMV2LightOn : d->flags & ~kMV2LightOn;
    if (d->flags & kMV2LightLinked) {
        MV2RemoveLightShaft(object->handle);
        if (on) MV2AddLightShaft(d->parent, &d->linkValue, object->handle);
    }
    Detach(object, d);
    DestroyLight(d);
    if (d->parent && !(d->flags & kMV2LightAttached) && ObjectFrame(object)) {
        TvFrameAddChild(d->parent, ObjectFrame(object));
        d->flags |= kMV2LightAttached;
    }
    if (d->radius == 0.0f) return;
    d->light = TpLightCreate(uint8_t(d->flags >> 4));
    if (!d->light) return;
    TvFrame* frame = ObjectFrame(object);
    if (d->parent && d->frameOffset != 0.0f) {
        d->ownFrame = TvFrameCreate();
        if (d->ownFrame) {
            const TvV3d offset{0.0f, 0.0f, d->frameOffset};
            TvFrameTranslate(d->ownFrame, &offset, 0);
            TvFrameAddChild(d->parent, d->ownFrame);
            frame = d->ownFrame;
        }
    } else if (d->parent) {
        frame = d->parent;
    }
    if (frame) TpLightSetFrame(d->light, frame);
    TpLightSetFlags(d->light, 3);
    TpLightSetRadius(d->light, d->radius);
    TpLightSetColor(d->light, d->red, d->green, d->blue, 1.0f);
    PlaceLight(d);
}

void Update(MV2LightObjectData* d) {
    d->blinkLeft -= gMV2FrameTimer.milliseconds;
    if (d->blinkLeft < 0) d->blinkLeft = 0;
    if (d->flags & kMV2LightBlinking) {
        const bool random = d->flags & kMV2LightRandomBlink;
        if ((random || d->blinkPeriod != 0) && d->blinkLeft == 0) {
            d->blinkLeft = int32_t(random ? MV2RandomPeriodTable[d->blinkPeriod & 7]
                                          : d->blinkPeriod);
            d->flags ^= kMV2LightOn;
            PlaceLight(d);
        }
    }
    if (d->parent && gMV2MainCamera && gMV2MainCamera->object.frame) {
        const TvV3d& at = TvFrameGetLTM(gMV2MainCamera->object.frame)->at;
        const TvV3d& parentAt = TvFrameGetLTM(d->parent)->at;
        if (TvV3dDot(at, parentAt) > 0.0f)
            d->flags |= kMV2LightFacing;
        else
            d->flags &= ~kMV2LightFacing;
    }
}

} // namespace

intptr_t MV2LightObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2LightObjectData* d = Data(object);
    if (message == 96) {
        if (p2) *reinterpret_cast<intptr_t*>(p2) = sizeof(MV2LightObjectData);
        return 1;
    }
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2LightObjectData{};
        d->red = d->green = d->blue = 1.0f;
        d->radius = 5.0f;
        d->glowSize = 0.5f;
        d->linkValue = 1.0f;
        d->flags = kMV2LightCreationFlags;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return result ? 1 : 0;
    }
    case 4:
        Detach(object, d);
        DestroyLight(d);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 11: Switch(object, d, p1 & 1); break;
    case 24: d->value24 = uint32_t(p2); break;
    case 2: Update(d); break;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2) ? 1 : 0;
}
