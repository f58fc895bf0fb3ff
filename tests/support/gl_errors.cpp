// OpenGL errors fail the running test: the display stand-in reports them as they happen.
#include "platform/ddraw/ddraw_gl.h"

#include <gtest/gtest.h>

namespace {
struct GlErrorsFailTests {
    GlErrorsFailTests() {
        DDrawGlSetErrorHandler([](const char* message) { ADD_FAILURE() << "OpenGL: " << message; });
    }
} g_glErrors;
} // namespace
