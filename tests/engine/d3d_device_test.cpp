#include <cfenv>
#include <cmath>
#include <vector>

#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/renderstate.h"
#include "engine/core/d3d/sortbuffer.h"
#include "tests/engine/d3d_fixture.h"

namespace {

std::vector<int32_t> g_requests;

int32_t RecordingControl(int32_t request, void* out, void* in, int32_t number) {
    g_requests.push_back(request);
    return TvDeviceControl(request, out, in, number);
}

TEST(D3DDevice, OpensStartsAndStopsInTheEngineOrder) {
    const int baseline = DDrawLiveObjects();
    TvD3DGetDeviceRecord()->deviceControl = RecordingControl;
    g_requests.clear();
    HWND window = nullptr;
    ASSERT_TRUE(TvEngineInit(nullptr));
    ASSERT_TRUE(TvEngineOpen(&window));
    const TvDeviceRecord& record = TV_ENGINE->deviceRecord;
    EXPECT_EQ(record.gamma, 1.0f);
    EXPECT_EQ(record.zNear, 0.0f);
    EXPECT_EQ(record.zFar, 0.9999f);
    EXPECT_EQ(record.renderStateSet, TvRenderStateSetD3D);
    EXPECT_EQ(record.renderStateGet, TvRenderStateGetD3D);
    EXPECT_EQ(record.im3DLine, nullptr);
    ASSERT_NE(record.im2DTriangle, nullptr);
    EXPECT_EQ(record.im2DTriangle(nullptr, 0, 0, 1, 2), 1);
    // Slot 0 answers failure; the driver's own functions fill the rest.
    EXPECT_EQ(TV_ENGINE->standardFunctions[0](nullptr, nullptr, 0), 0);
    for (const TvD3DStandardPair* p = TvD3DStandardPairs;
         p < TvD3DStandardPairs + TvD3DNumStandardPairs; ++p)
        EXPECT_EQ(TvD3DStandardFunction(p->index), p->function) << p->index;
    for (int index = 1; index <= 28; ++index)
        EXPECT_NE(TV_ENGINE->standardFunctions[index], TV_ENGINE->standardFunctions[0]) << index;

    ASSERT_TRUE(TvEngineSetVideoMode(1));
    ASSERT_TRUE(TvEngineStart());
    // Started: the sort buffer draws 2-D primitives, the immediate 3-D module the 3-D ones.
    EXPECT_EQ(record.im2DLine, TvD3DIm2DLine);
    EXPECT_EQ(record.im2DIndexedPrimitive, TvD3DIm2DIndexedPrimitive);
    EXPECT_EQ(record.im3DTriangle, TvD3DIm3DTriangle);
    EXPECT_EQ(record.im3DIndexedPrimitive, TvD3DIm3DIndexedPrimitive);
    ASSERT_TRUE(TvEngineStop());
    ASSERT_TRUE(TvEngineClose());
    ASSERT_TRUE(TvEngineTerm());
    TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
    const std::vector<int32_t> expected = {
        TV_DEVICE_GET_ENGINE_DATA, TV_DEVICE_OPEN,  TV_DEVICE_GET_STANDARD_FUNCTIONS,
        TV_DEVICE_SET_VIDEO_MODE,  TV_DEVICE_START, TV_DEVICE_FINALIZE_START,
        TV_DEVICE_INITIATE_STOP,   TV_DEVICE_STOP,  TV_DEVICE_CLOSE};
    // Modules that make pipes while they open ask for pipe stages in between.
    std::erase(g_requests, TV_DEVICE_BUILD_IM3D_PIPE);
    EXPECT_EQ(g_requests, expected);
    EXPECT_EQ(DDrawLiveObjects(), baseline);
}

TEST(D3DDevice, ModesNeedVideoMemoryAndARenderDepthOfTheDevice) {
    TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
    HWND window = nullptr;
    ASSERT_TRUE(TvEngineInit(nullptr));
    ASSERT_TRUE(TvEngineOpen(&window));
    TvD3DSubSystem& s = TvD3DDriver.subSystems[0];
    s.videoMemory = 4u << 20; // 1024 x 768 x 2 bytes x 3 buffers is 4,718,592 bytes
    ASSERT_TRUE(TvEngineSetSubSystem(0));
    EXPECT_EQ(TvEngineGetNumVideoModes(), 3);
    s.deviceDesc.dwDeviceRenderBitDepth = DDBD_32;
    ASSERT_TRUE(TvEngineSetSubSystem(0));
    EXPECT_EQ(TvEngineGetNumVideoModes(), 0);
    // Without a mode there is nothing to start.
    EXPECT_FALSE(TvEngineStart());
    EXPECT_TRUE(TvEngineClose());
    EXPECT_TRUE(TvEngineTerm());
}

TEST(D3DEnumeration, ZFormatIsTheSmallestOfAtLeastSixteenBits) {
    const struct {
        std::vector<DWORD> offered;
        DWORD chosen;
    } cases[] = {{{8, 24, 16, 32}, 16}, {{8, 15}, 8}, {{32, 24}, 24}, {{16, 16}, 16}};
    for (const auto& c : cases) {
        TvD3DDeviceEnumContext context{};
        for (DWORD bits : c.offered) {
            DDPIXELFORMAT f = DDrawZFormat(bits);
            EXPECT_EQ(TvD3DZBufferEnumCallBack(&f, &context), D3DENUMRET_OK);
        }
        EXPECT_TRUE(context.zAccepted);
        EXPECT_EQ(context.zFormat.dwZBufferBitDepth, c.chosen) << c.offered.size();
    }
}

TEST(D3DEnumeration, OnlyHardwareDevicesWithPerspectiveTexturingQualify) {
    GUID guid = IID_IDirect3DHALDevice;
    D3DDEVICEDESC software{}; // a software device leaves its hardware description empty
    TvD3DDeviceEnumContext context{};
    TvD3DDeviceEnumCallBack(&guid, nullptr, nullptr, &software, nullptr, &context);
    EXPECT_FALSE(context.found);
    D3DDEVICEDESC flat{};
    flat.dcmColorModel = D3DCOLOR_RGB;
    TvD3DDeviceEnumCallBack(&guid, nullptr, nullptr, &flat, nullptr, &context);
    EXPECT_FALSE(context.found);
    D3DDEVICEDESC hsr = flat;
    hsr.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE;
    hsr.dpcTriCaps.dwRasterCaps = D3DPRASTERCAPS_ZBUFFERLESSHSR;
    hsr.dwMaxTextureWidth = 77;
    TvD3DDeviceEnumCallBack(&guid, nullptr, nullptr, &hsr, nullptr, &context);
    EXPECT_TRUE(context.found);
    EXPECT_TRUE(context.noZ);
    EXPECT_EQ(context.desc.dwMaxTextureWidth, 77u);
    // Once found, later devices are ignored.
    D3DDEVICEDESC later = hsr;
    later.dwMaxTextureWidth = 88;
    TvD3DDeviceEnumCallBack(&guid, nullptr, nullptr, &later, nullptr, &context);
    EXPECT_EQ(context.desc.dwMaxTextureWidth, 77u);
}

TEST_F(D3DTest, SubSystemsAndVideoModes) {
    EXPECT_EQ(TvEngineGetNumSubSystems(), 1);
    TvSubSystemInfo info{};
    ASSERT_NE(TvEngineGetSubSystemInfo(&info, 0), nullptr);
    EXPECT_STREQ(info.name, "OpenGL display (display)");
    EXPECT_EQ(TvEngineGetSubSystemInfo(&info, 1), nullptr);
    const TvErrorRecord err = TakeError();
    EXPECT_EQ(err.pluginID, kTvPluginIdCore);
    EXPECT_EQ(err.errorCode, TvErrorCode(E_TV_DXERROR));
    EXPECT_FALSE(TvEngineSetSubSystem(1));

    // The desktop comes first as the windowed mode, then the full-screen modes.
    ASSERT_EQ(TvEngineGetNumVideoModes(), 4);
    const TvVideoMode want[4] = {
        {640, 480, 16, 0}, {640, 480, 16, 1}, {800, 600, 16, 1}, {1024, 768, 16, 1}};
    for (int32_t i = 0; i < 4; ++i) {
        TvVideoMode m{};
        ASSERT_NE(TvEngineGetVideoModeInfo(&m, i), nullptr);
        EXPECT_EQ(std::memcmp(&m, &want[i], sizeof m), 0) << i;
    }
    TvVideoMode m{};
    EXPECT_EQ(TvEngineGetVideoModeInfo(&m, 4), nullptr);
    // Started: the mode cannot change.
    EXPECT_FALSE(TvEngineSetVideoMode(2));
    int32_t current = -1;
    ASSERT_TRUE(TvDeviceControl(TV_DEVICE_GET_CURRENT_VIDEO_MODE, &current, nullptr, 0));
    EXPECT_EQ(current, 1);
    uint32_t maxTexture = 0;
    ASSERT_TRUE(TvDeviceControl(TV_DEVICE_GET_MAX_TEXTURE_SIZE, &maxTexture, nullptr, 0));
    EXPECT_EQ(maxTexture, 1024u);
    uint32_t freeBytes = 0;
    EXPECT_TRUE(TvDeviceControl(TV_DEVICE_GET_FREE_TEXTURE_MEMORY, &freeBytes, nullptr, 0));
    EXPECT_GT(freeBytes, 0u);
    EXPECT_EQ(TvDeviceControl(20, nullptr, nullptr, 0), 0);
    EXPECT_EQ(TvDeviceControl(TV_DEVICE_FINALIZE_START, nullptr, nullptr, 0), 0);
}

TEST_F(D3DTest, TextureFormatsAndTheirDefaults) {
    const TvD3DDriverState& d = TvD3DDriver;
    ASSERT_NE(d.choices.f565, nullptr);
    ASSERT_NE(d.choices.f1555, nullptr);
    ASSERT_NE(d.choices.f4444, nullptr);
    ASSERT_NE(d.choices.f8888, nullptr);
    EXPECT_EQ(d.choices.pal8, nullptr);
    EXPECT_EQ(d.defaults.default16, d.choices.f565);
    EXPECT_EQ(d.defaults.default32, d.choices.f8888);
    EXPECT_EQ(d.defaults.default24, nullptr);
    // The stand-in modulates alpha: translucent 4444, masked 1555, opaque 565.
    EXPECT_EQ(d.defaults.alpha[0][0], d.choices.f4444);
    EXPECT_EQ(d.defaults.alpha[1][0], d.choices.f1555);
    EXPECT_EQ(d.defaults.alpha[2][0], d.choices.f565);
    EXPECT_EQ(d.defaults.alpha[2][2], d.choices.f565);
    // Formats without alpha carry the colour key 0; the others not.
    EXPECT_TRUE(d.choices.f565->desc.dwFlags & DDSD_CKSRCBLT);
    EXPECT_FALSE(d.choices.f1555->desc.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(d.frameBufferCode, 0x200u);
    EXPECT_EQ(d.zBufferCode, 0x700u);
}

TEST_F(D3DTest, ColourKeyProbeFindsTheFirstDrawnLevels) {
    TvD3DDriver.curTarget = &TvD3DDriver.startTarget;
    uint32_t levels[3] = {};
    // 565 keys out every colour that quantises to 0: red and blue below 8, green below 4.
    ASSERT_TRUE(TvD3DColourKeyProbe(TvD3DDriver.choices.f565, levels));
    EXPECT_EQ(levels[0], 8u);
    EXPECT_EQ(levels[1], 4u);
    EXPECT_EQ(levels[2], 8u);
    // An alpha format is never keyed: its first level shows.
    ASSERT_TRUE(TvD3DColourKeyProbe(TvD3DDriver.choices.f1555, levels));
    EXPECT_EQ(levels[0], 1u);
    TvD3DDriver.curTarget = nullptr;
}

TEST_F(D3DTest, CameraClearsAndShowsItsColour) {
    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvRaster* fb = TvCameraGetRaster(camera);
    ASSERT_NE(fb, nullptr);
    ASSERT_NE(TvCameraGetZRaster(camera), nullptr);
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    const TvRGBA colour = {200, 100, 40, 255};
    ASSERT_NE(TvCameraClear(camera, &colour, 3), nullptr);
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    ASSERT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);
    EXPECT_TRUE(Is565(PixelAt(fb, 10, 10), 200, 100, 40));
    EXPECT_TRUE(Is565(PixelAt(fb, 639, 479), 200, 100, 40));
    // Drawing state is refused once the update is over.
    EXPECT_EQ(TvRenderStateSetD3D(3, 1), 0);
}

TEST_F(D3DTest, CameraUpdatesRoundDownUntilEndUpdateRestoresTheMode) {
    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(fesetround(FE_TONEAREST), 0);
    volatile float up = 2.7f, down = -2.3f;
    const TvRGBA black = {0, 0, 0, 255};
    EXPECT_NE(TvCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(lrintf(up), 2);
    EXPECT_EQ(lrintf(down), -3);
    EXPECT_NE(TvCameraClear(camera, &black, 3), nullptr);
    EXPECT_NE(TvCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    // A clear before the update sets the mode; the update keeps the mode saved by the clear.
    EXPECT_NE(TvCameraClear(camera, &black, 3), nullptr);
    EXPECT_EQ(fegetround(), FE_DOWNWARD);
    EXPECT_NE(TvCameraBeginUpdate(camera), nullptr);
    EXPECT_NE(TvCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    // Without an update there is no scene to end, but the mode still comes back.
    EXPECT_NE(TvCameraClear(camera, &black, 3), nullptr);
    EXPECT_EQ(TvCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    fesetround(FE_TONEAREST);
}

// The stand-in draws under round-to-nearest whatever mode the driver's update set: a grey of 32
// is 565 0x2104, not one step darker.
TEST_F(D3DTest, ClearInsideAnUpdateKeepsItsExactColour) {
    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    const TvRGBA grey = {32, 32, 32, 255};
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    ASSERT_NE(TvCameraClear(camera, &grey, 3), nullptr);
    EXPECT_EQ(fegetround(), FE_DOWNWARD); // the driver's own arithmetic keeps its mode
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(PixelAt(TvCameraGetRaster(camera), 320, 240), 0x2104u);
    EXPECT_EQ(PixelAt(TvCameraGetRaster(camera), 639, 479), 0x2104u);
}

// The sub-system is chosen before start: once started a change is refused and the mode stays.
TEST_F(D3DTest, SubSystemChangeIsRefusedOnceStarted) {
    int32_t mode = -1;
    ASSERT_TRUE(TvDeviceControl(TV_DEVICE_GET_CURRENT_VIDEO_MODE, &mode, nullptr, 0));
    EXPECT_EQ(TvDeviceControl(TV_DEVICE_SET_SUBSYSTEM, nullptr, nullptr, 0), 0);
    int32_t after = -1;
    ASSERT_TRUE(TvDeviceControl(TV_DEVICE_GET_CURRENT_VIDEO_MODE, &after, nullptr, 0));
    EXPECT_EQ(after, mode);
    EXPECT_EQ(mode, 1);
}

TEST_F(D3DTest, FocusLeavesAndRetakesTheDisplay) {
    EXPECT_TRUE(TvDeviceControl(TV_DEVICE_FOCUS, nullptr, nullptr, 0));
    EXPECT_FALSE(TvD3DDriver.modeSet);
    EXPECT_FALSE(TvD3DDriver.exclusive);
    EXPECT_TRUE(TvDeviceControl(TV_DEVICE_FOCUS, nullptr, nullptr, 1));
    EXPECT_TRUE(TvD3DDriver.modeSet);
    EXPECT_TRUE(TvD3DDriver.exclusive);
}

TEST_F(D3DWindowedTest, CamerasOnOneRasterShareADeviceAndPresentToTheDesktop) {
    TvCamera* first = Camera(160, 120);
    ASSERT_NE(first, nullptr);
    TvCamera* second = TvCameraCreate();
    ASSERT_NE(second, nullptr);
    cameras_.push_back(second);
    TvCameraSetRaster(second, TvCameraGetRaster(first));
    TvCameraSetZRaster(second, TvCameraGetZRaster(first));

    const TvRGBA colour = {0, 255, 0, 255};
    ASSERT_NE(TvCameraBeginUpdate(first), nullptr);
    ASSERT_NE(TvCameraClear(first, &colour, 3), nullptr);
    ASSERT_NE(TvCameraEndUpdate(first), nullptr);
    ASSERT_NE(TvCameraBeginUpdate(second), nullptr);
    ASSERT_NE(TvCameraEndUpdate(second), nullptr);
    EXPECT_EQ(TvD3DGetCameraTarget(first)->device, TvD3DGetCameraTarget(second)->device);
    EXPECT_TRUE(Is565(PixelAt(TvCameraGetRaster(first), 5, 5), 0, 255, 0));

    ASSERT_NE(TvCameraShowRaster(first, nullptr, 0), nullptr);
    DDSURFACEDESC2 desc;
    auto* desktop = static_cast<const uint8_t*>(TvD3DSurfaceLockRead(TvD3DDriver.primary, &desc));
    ASSERT_NE(desktop, nullptr);
    uint16_t shown = 0;
    std::memcpy(&shown, desktop + 5 * desc.lPitch + 5 * 2, 2);
    TvD3DSurfaceUnlock(TvD3DDriver.primary);
    EXPECT_TRUE(Is565(shown, 0, 255, 0));
}

} // namespace
