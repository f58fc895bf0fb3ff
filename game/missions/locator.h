// The locator (types 42 and 450): an invisible object placed at positions by other modules and
// scripts, carrying a number (messages 12 and 13) and a link (messages 27 and 28).
#pragma once

#include <cstdint>

struct MV2Object;

struct MV2LocatorData {
    uint32_t number;
    int32_t word1; // -1 at creation
    intptr_t link;
};

intptr_t MV2DummyObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterLocatorHandlers();
