// Test programs run headless even when started by hand outside CTest.
#include "platform/crt/modules.h"

#include <cstdlib>

namespace {
struct HeadlessEnvironment {
    HeadlessEnvironment() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        PlatformKeepLoadedModules();
    }
} g_headless;
} // namespace
