// Test programs run headless even when started by hand outside CTest.
#include <cstdlib>

namespace {
struct HeadlessEnvironment {
    HeadlessEnvironment() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
    }
} g_headless;
} // namespace
