// Creates whose plug-in constructor fails: null, the earlier constructors undone, and the block
// back on its free list.
#include <gtest/gtest.h>

#include "engine/core/image.h"
#include "engine/core/plugin.h"
#include "engine/world/light.h"
#include "engine/world/material.h"
#include "engine/world/world_plugin.h"
#include "tests/support/world_writer.h"

namespace {

int g_made = 0;
int g_gone = 0;
bool g_fail = false;

void* Made(void* o, int32_t, int32_t) {
    ++g_made;
    return o;
}
void* Gone(void* o, int32_t, int32_t) {
    ++g_gone;
    return o;
}
void* Refuse(void* o, int32_t, int32_t) {
    return g_fail ? nullptr : o;
}
void* Nothing(void* o, int32_t, int32_t) {
    return o;
}

// Each registry gets a counting plug-in and, after it, one that can refuse.
bool AttachPlugins() {
    return TvImageRegisterPlugin(4, 0x7E11, Made, Gone, nullptr) >= 0 &&
           TvImageRegisterPlugin(4, 0x7E12, Refuse, Nothing, nullptr) >= 0 &&
           TvPluginRegister(&TpMaterialRegistry, 4, 0x7E11, Made, Gone, nullptr) >= 0 &&
           TvPluginRegister(&TpMaterialRegistry, 4, 0x7E12, Refuse, Nothing, nullptr) >= 0 &&
           TpLightRegisterPlugin(4, 0x7E11, Made, Gone, nullptr) >= 0 &&
           TpLightRegisterPlugin(4, 0x7E12, Refuse, Nothing, nullptr) >= 0;
}

struct Kind {
    const char* name;
    void* (*create)();
    void (*destroy)(void*);
};
const Kind kKinds[] = {
    {"image", [] { return static_cast<void*>(TvImageCreate(4, 4, 32)); },
     [](void* o) { TvImageDestroy(static_cast<TvImage*>(o)); }},
    {"material", [] { return static_cast<void*>(TpMaterialCreate()); },
     [](void* o) { TpMaterialDestroy(static_cast<TpMaterial*>(o)); }},
    {"light", [] { return static_cast<void*>(TpLightCreate(1)); },
     [](void* o) { TpLightDestroy(static_cast<TpLight*>(o)); }},
};

TEST(CreateFailure, AFailingPluginConstructorUndoesTheCreate) {
    g_made = g_gone = 0;
    WorldEngine engine(AttachPlugins);
    ASSERT_TRUE(engine.ok());
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        g_made = g_gone = 0;
        g_fail = false;
        void* first = kind.create();
        ASSERT_NE(first, nullptr);
        kind.destroy(first); // its block is on top of the free list now
        g_fail = true;
        EXPECT_EQ(kind.create(), nullptr);
        EXPECT_EQ(g_made, 2);
        EXPECT_EQ(g_gone, 2) << "the counting constructor was not undone";
        g_fail = false;
        void* again = kind.create();
        EXPECT_EQ(again, first) << "the failed create kept its block";
        kind.destroy(again);
        EXPECT_EQ(g_made, g_gone);
    }
}

} // namespace
