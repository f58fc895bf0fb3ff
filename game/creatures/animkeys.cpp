#include "game/creatures/animkeys.h"

#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"

float MV2StepAnimKey(TpAtomic* atomic, float position, int32_t next, bool newKeyDuration) {
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const TpAnimKey* ended =
        TpAnimSequenceGeometryGetKey(geometry, TpAnimSequenceAtomicGetCurrentKeyIndex(atomic));
    const TpAnimKey* key = next >= 0 ? TpAnimSequenceGeometryGetKey(geometry, next) : nullptr;
    if (!ended || !key) return 0.0f;
    TpAnimSequenceAtomicSetCurrentKey(atomic, next);
    return position - (newKeyDuration ? key->duration : ended->duration);
}

MV2Object* MV2AtomicObject(TpAtomic* atomic) {
    return atomic ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
}

int32_t MV2SetRootKey(MV2Object* object, int32_t key, float position) {
    TpAtomic* root = object && object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    if (!root || !TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(root), key)) return 0;
    TpAnimSequenceAtomicSetCurrentKey(root, key);
    TpAnimSequenceAtomicSetPosition(root, position);
    return 1;
}

int32_t MV2GetRootKey(MV2Object* object) {
    TpAtomic* root = object && object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    return root ? TpAnimSequenceAtomicGetCurrentKeyIndex(root) : -1;
}

int32_t MV2InstallRootKeyCallback(MV2Object* object, float (*callback)(TpAtomic*, float)) {
    TpAtomic* root = object && object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry || !TpAnimSequenceGeometrySetCallBack(geometry, callback)) return 0;
    return 1;
}
