// The engine brought up on the driver over the DirectDraw/Direct3D stand-in, headless: init, open
// with no window, a video mode chosen, start; and down again, checking that every stand-in
// object was released.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/d3d/device.h"
#include "engine/core/d3d/surface.h"
#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/plugin.h"
#include "engine/core/raster.h"
#include "tests/support/engine_checks.h"

class D3DTest : public ::testing::Test {
protected:
    // Mode 0 is the windowed desktop, 1-3 the full-screen modes 640x480, 800x600, 1024x768.
    virtual int32_t Mode() const { return 1; }
    // Plug-ins a fixture attaches between the engine's init and open.
    virtual bool Attach() { return true; }

    void SetUp() override {
        baseline_ = DDrawLiveObjects();
        TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
        ASSERT_TRUE(TvEngineInit(nullptr));
        initialised_ = true;
        ASSERT_TRUE(Attach());
        ASSERT_TRUE(TvEngineOpen(&window_));
        opened_ = true;
        ASSERT_TRUE(TvEngineSetVideoMode(Mode()));
        ASSERT_TRUE(TvEngineStart());
        started_ = true;
        TakeError();
    }

    void TearDown() override {
        for (TvCamera* c : cameras_)
            TvPluginDeinitObject(&TvCameraRegistry, c);
        for (auto it = rasters_.rbegin(); it != rasters_.rend(); ++it)
            TvRasterDestroy(*it);
        if (started_) {
            EXPECT_TRUE(TvEngineStop());
        }
        if (opened_) {
            EXPECT_TRUE(TvEngineClose());
        }
        if (initialised_) {
            EXPECT_TRUE(TvEngineTerm());
        }
        EXPECT_EQ(DDrawLiveObjects(), baseline_) << "stand-in objects leaked";
    }

public:
    // The pending error, which is then cleared so that the next one is recorded.
    static TvErrorRecord TakeError() {
        TvErrorRecord err{};
        TvErrorGet(&err);
        for (TvPluginEntry* e = TvEngineRegistry.firstRegEntry; e; e = e->nextRegEntry)
            if (e->pluginId == kTvErrorModuleId)
                *reinterpret_cast<TvErrorRecord*>(reinterpret_cast<uint8_t*>(TV_ENGINE) +
                                                  e->offset) = {0, E_TV_NOERROR};
        return err;
    }
    static uint32_t TakeErrorCode() { return TakeError().errorCode; }

    static int32_t Std(int32_t index, void* out, void* in, int32_t number) {
        return TV_ENGINE->standardFunctions[index](out, in, number);
    }

    TvRaster* Raster(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
        TvRaster* r = TvRasterCreate(width, height, depth, flags);
        if (r) rasters_.push_back(r);
        return r;
    }

    // A camera drawing into a frame-buffer raster with a z raster of the same size.
    TvCamera* Camera(int32_t width, int32_t height) {
        TvCamera* c = TvCameraCreate();
        if (!c) return nullptr;
        cameras_.push_back(c);
        TvCameraSetRaster(c, Raster(width, height, 0, kTvRasterTypeCamera));
        TvCameraSetZRaster(c, Raster(width, height, 0, kTvRasterTypeZBuffer));
        return c;
    }

    // One pixel of a raster, read through its lock.
    static uint32_t PixelAt(TvRaster* r, int32_t x, int32_t y) {
        uint8_t* pixels = TvRasterLock(r, 2);
        if (!pixels) {
            ADD_FAILURE() << "lock failed";
            return 0xDEADBEEF;
        }
        uint32_t v = 0;
        const int32_t bytes = (r->depth + 7) / 8;
        std::memcpy(&v, pixels + y * r->stride + x * bytes, size_t(bytes));
        TvRasterUnlock(r);
        return v;
    }

protected:
    HWND window_ = nullptr;
    int baseline_ = 0;
    bool initialised_ = false, opened_ = false, started_ = false;
    std::vector<TvRaster*> rasters_;
    std::vector<TvCamera*> cameras_;
};

class D3DWindowedTest : public D3DTest {
protected:
    int32_t Mode() const override { return 0; }
};

// A 565 pixel is the colour within the rounding of the OpenGL side.
inline ::testing::AssertionResult Is565(uint32_t p, int r, int g, int b) {
    const int pr = int((p >> 11) & 31) * 255 / 31, pg = int((p >> 5) & 63) * 255 / 63,
              pb = int(p & 31) * 255 / 31;
    if (std::abs(pr - r) <= 10 && std::abs(pg - g) <= 10 && std::abs(pb - b) <= 10)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << pr << ", " << pg << ", " << pb << ") for ("
                                         << r << ", " << g << ", " << b << ")";
}
