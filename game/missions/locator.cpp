#include "game/missions/locator.h"

#include "game/creatures/creaturemath.h"
#include "game/objects/utilities.h"

intptr_t MV2DummyObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2LocatorData*>(object->privateData);
    // A type without private records keeps the number and the link in the object's words.
    intptr_t* number = d ? nullptr : &object->words[0];
    intptr_t* link = d ? &d->link : &object->words[1];
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
        if (d) d->word1 = -1;
        *link = 0;
        object->aiCategory = 1;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return 1;
    }
    case 12:
        if (p2) {
            const uint32_t value = *reinterpret_cast<const uint32_t*>(p2);
            if (d) d->number = value;
            else *number = intptr_t(value);
        }
        return 1;
    case 13:
        if (p2) *reinterpret_cast<uint32_t*>(p2) = d ? d->number : uint32_t(*number);
        return 1;
    case 27:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = *link;
        return 1;
    case 28: *link = p2; return 1;
    case 96: return MV2AnswerSize(p2, sizeof(MV2LocatorData));
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterLocatorHandlers() {
    MV2SetObjectTypeHandler(42, MV2DummyObjectHandler);
    MV2SetObjectTypeHandler(450, MV2DummyObjectHandler);
}
