#include <map>
#include <utility>

#include "engine/core/d3d/renderstate.h"
#include "engine/core/im2d.h"
#include "tests/engine/d3d_fixture.h"

namespace {

// Counts the state calls that reach the device and passes them on.
class CountingDevice final : public IDirect3DDevice3 {
public:
    explicit CountingDevice(IDirect3DDevice3* inner) : inner_(inner) {}
    std::map<std::pair<int, DWORD>, int> calls; // {0 render / 1 stage, state} -> calls
    std::map<std::pair<int, DWORD>, DWORD> values;
    int textures = 0;

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return inner_->QueryInterface(iid, out);
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT AddViewport(IDirect3DViewport3* v) override { return inner_->AddViewport(v); }
    HRESULT SetCurrentViewport(IDirect3DViewport3* v) override {
        return inner_->SetCurrentViewport(v);
    }
    HRESULT GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) override {
        return inner_->GetCaps(hal, hel);
    }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, void* context) override {
        return inner_->EnumTextureFormats(cb, context);
    }
    HRESULT BeginScene() override { return inner_->BeginScene(); }
    HRESULT EndScene() override { return inner_->EndScene(); }
    HRESULT SetTexture(DWORD stage, IDirect3DTexture2* texture) override {
        ++textures;
        return inner_->SetTexture(stage, texture);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        ++calls[{0, state}];
        values[{0, state}] = value;
        return inner_->SetRenderState(state, value);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                 DWORD value) override {
        ++calls[{1, state}];
        values[{1, state}] = value;
        return inner_->SetTextureStageState(stage, state, value);
    }
    HRESULT SetLightState(D3DLIGHTSTATETYPE state, DWORD value) override {
        return inner_->SetLightState(state, value);
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE t, DWORD f, void* v, DWORD n, DWORD fl) override {
        return inner_->DrawPrimitive(t, f, v, n, fl);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE t, DWORD f, void* v, DWORD n, WORD* i, DWORD ni,
                                 DWORD fl) override {
        return inner_->DrawIndexedPrimitive(t, f, v, n, i, ni, fl);
    }

private:
    IDirect3DDevice3* inner_;
};

class D3DStateTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        camera = Camera(640, 480);
        ASSERT_NE(camera, nullptr);
        ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
        target = TvD3DDriver.curTarget;
        real = target->device;
        counting = new CountingDevice(real);
        target->device = counting;
        caps = TvD3DDriver.caps;
    }
    void TearDown() override {
        TvD3DDriver.caps = caps;
        if (target) {
            target->device = real;
            TvCameraEndUpdate(camera);
        }
        delete counting;
        D3DTest::TearDown();
    }
    int Calls(int kind, DWORD state) { return counting->calls[{kind, state}]; }
    DWORD Value(int kind, DWORD state) { return counting->values[{kind, state}]; }

    TvCamera* camera = nullptr;
    TvD3DRenderTarget* target = nullptr;
    IDirect3DDevice3* real = nullptr;
    CountingDevice* counting = nullptr;
    D3DDEVICEDESC caps{};
};

TEST_F(D3DStateTest, AValueSetTwiceReachesTheDeviceOnce) {
    const struct {
        int32_t state;
        intptr_t value;
        int kind;
        DWORD d3dState;
        DWORD d3dValue;
    } cases[] = {
        {2, 3, 1, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP},
        {3, 0, 0, D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0},
        {5, 1, 0, D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT},
        {6, 0, 0, D3DRENDERSTATE_ZWRITEENABLE, 0},
        {8, 2, 0, D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {9, 1, 0, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
        {11, 0x123456, 1, D3DTSS_BORDERCOLOR, 0x123456},
        {12, 1, 0, D3DRENDERSTATE_FOGENABLE, 1},
        {13, 0xFF8000, 0, D3DRENDERSTATE_FOGCOLOR, 0xFF8000},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(TvRenderStateSetD3D(c.state, c.value)) << c.state;
        ASSERT_TRUE(TvRenderStateSetD3D(c.state, c.value)) << c.state;
        EXPECT_EQ(Calls(c.kind, c.d3dState), 1) << c.state;
        EXPECT_EQ(Value(c.kind, c.d3dState), c.d3dValue) << c.state;
        int32_t got = -1;
        ASSERT_TRUE(TvRenderStateGetD3D(c.state, &got));
        EXPECT_EQ(got, int32_t(c.value)) << c.state;
    }
    EXPECT_FALSE(TvRenderStateSetD3D(0, 1));
    EXPECT_FALSE(TvRenderStateSetD3D(17, 1));
    EXPECT_FALSE(TvRenderStateSetD3D(2, 5));
}

TEST_F(D3DStateTest, FiltersFallToTheBestTheDeviceOffers) {
    ASSERT_TRUE(TvRenderStateSetD3D(7, 2));
    int32_t got = 0;
    ASSERT_TRUE(TvRenderStateGetD3D(7, &got));
    EXPECT_EQ(got, 2);
    TvD3DDriver.caps.dpcTriCaps.dwTextureFilterCaps =
        D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MIPNEAREST;
    ASSERT_TRUE(TvRenderStateSetD3D(7, 6));
    EXPECT_EQ(Value(1, D3DTSS_MAGFILTER), D3DTFG_POINT);
    EXPECT_EQ(Value(1, D3DTSS_MINFILTER), D3DTFN_POINT);
    EXPECT_EQ(Value(1, D3DTSS_MIPFILTER), D3DTFP_POINT);
    ASSERT_TRUE(TvRenderStateGetD3D(7, &got));
    EXPECT_EQ(got, 3);
}

TEST_F(D3DStateTest, BlendingFollowsVertexAndTextureAlpha) {
    TvRaster* alpha = Raster(4, 4, 0, kTvRasterTypeTexture | 0x0300);
    TvRaster* keyed = Raster(4, 4, 0, kTvRasterTypeTexture | 0x0200);
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(keyed, nullptr);

    ASSERT_TRUE(TvRenderStateSetD3D(1, reinterpret_cast<intptr_t>(alpha)));
    EXPECT_EQ(Value(0, D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(Value(0, D3DRENDERSTATE_ALPHATESTENABLE), 1u);
    EXPECT_EQ(Value(1, D3DTSS_ALPHAOP), D3DTOP_SELECTARG1);
    EXPECT_EQ(Value(1, D3DTSS_COLOROP), D3DTOP_MODULATE);
    ASSERT_TRUE(TvRenderStateSetD3D(10, 1));
    EXPECT_EQ(Value(1, D3DTSS_ALPHAOP), D3DTOP_MODULATE);
    ASSERT_TRUE(TvRenderStateSetD3D(1, reinterpret_cast<intptr_t>(keyed)));
    EXPECT_EQ(Value(0, D3DRENDERSTATE_COLORKEYENABLE), 1u);
    EXPECT_EQ(Value(1, D3DTSS_ALPHAOP), D3DTOP_SELECTARG2);
    TvRaster* current = nullptr;
    ASSERT_TRUE(TvRenderStateGetD3D(1, &current));
    EXPECT_EQ(current, keyed);

    // Without alpha-blend caps the vertex-alpha flag is still kept for the next texture.
    ASSERT_TRUE(TvRenderStateSetD3D(10, 0));
    ASSERT_TRUE(TvRenderStateSetD3D(1, 0));
    EXPECT_EQ(Value(0, D3DRENDERSTATE_ALPHABLENDENABLE), 0u);
    TvD3DDriver.caps.dpcTriCaps.dwShadeCaps &=
        ~(D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND);
    EXPECT_FALSE(TvRenderStateSetD3D(10, 1));
    ASSERT_TRUE(TvRenderStateSetD3D(1, reinterpret_cast<intptr_t>(keyed)));
    EXPECT_EQ(Value(0, D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
    // A destroyed raster stops being the current texture.
    rasters_.pop_back();
    TvRasterDestroy(keyed);
    ASSERT_TRUE(TvRenderStateGetD3D(1, &current));
    EXPECT_EQ(current, nullptr);
}

TEST_F(D3DStateTest, FogTypesAndTables) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = uint8_t(255 - i);
    ASSERT_TRUE(TvRenderStateSetD3D(15, reinterpret_cast<intptr_t>(table)));
    // Vertices transformed from now on take their fog from the new table.
    EXPECT_EQ(TvD3DFogTable[0], 0x00000000u);
    EXPECT_EQ(TvD3DFogTable[255], 0xFF000000u);
    int32_t type = -1;
    ASSERT_TRUE(TvRenderStateGetD3D(14, &type));
    EXPECT_EQ(type, 0);
    EXPECT_FALSE(TvRenderStateSetD3D(14, 4)); // no such curve: the table stays
    const uint8_t* kept = nullptr;
    ASSERT_TRUE(TvRenderStateGetD3D(15, &kept));
    EXPECT_EQ(std::memcmp(kept, table, 256), 0);
    ASSERT_TRUE(TvRenderStateSetD3D(14, 1));
    ASSERT_TRUE(TvRenderStateGetD3D(14, &type));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(TvD3DFogTable[0], 0xFF000000u); // curve 1 starts clear
    EXPECT_EQ(TvD3DFogTable[255], 0x00000000u);
    // The camera's fog distances are published at the next begin update.
    ASSERT_TRUE(TvRenderStateSetD3D(15, reinterpret_cast<intptr_t>(table)));
    target->device = real;
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    TvCameraSetFogDistance(camera, 2.0f);
    TvCameraSetFarClipPlane(camera, 7.0f);
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    target->device = counting;
    EXPECT_EQ(TvD3DFogStart, 2.0f);
    EXPECT_EQ(TvD3DFogEnd, 7.0f);
    EXPECT_FLOAT_EQ(TvD3DFogScale, 51.0f);
    EXPECT_EQ(TvD3DFogTable[0], 0x00000000u);
    EXPECT_EQ(TvD3DFogTable[255], 0xFF000000u);
}

TEST_F(D3DStateTest, DestroyingTheCurrentTextureDrawsItsDeferredPrimitivesAndUnbindsIt) {
    TvRaster* texture = TvRasterCreate(4, 4, 0, kTvRasterTypeTexture | 0x0300);
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(TvRenderStateSetD3D(1, reinterpret_cast<intptr_t>(texture)));
    ASSERT_TRUE(TvRenderStateSetD3D(16, 1));
    TvIm2DVertex v[3] = {{0, 0, 0.5f, 1, 0x80FFFFFF, 0, 0, 0},
                         {100, 0, 0.5f, 1, 0x80FFFFFF, 0, 1, 0},
                         {0, 100, 0.5f, 1, 0x80FFFFFF, 0, 0, 1}};
    ASSERT_EQ(TvIm2DRenderTriangle(v, 3, 0, 1, 2), 1);
    ASSERT_EQ(TvD3DSortBufferCallBuffer()->count, 1);
    TvRasterDestroy(TvRasterCreate(4, 4, 0, kTvRasterTypeTexture | 0x0200));
    EXPECT_EQ(TvD3DSortBufferCallBuffer()->count, 1) << "waits for the end of the update";
    const int textures = counting->textures;
    TvRasterDestroy(texture);
    EXPECT_EQ(TvD3DSortBufferCallBuffer()->count, 0) << "drawn while the texture existed";
    EXPECT_EQ(counting->textures, textures + 1) << "the device let go of the texture";
    TvRaster* current = texture;
    ASSERT_TRUE(TvRenderStateGetD3D(1, &current));
    EXPECT_EQ(current, nullptr);
    ASSERT_TRUE(TvRenderStateSetD3D(1, 0));
    EXPECT_EQ(counting->textures, textures + 1);
}

TEST_F(D3DStateTest, CameraClearKeepsAnUnchangedBackground) {
    const TvRGBA colour = {10, 20, 30, 255};
    ASSERT_NE(TvCameraClear(camera, &colour, 1), nullptr);
    EXPECT_EQ(target->backRed, 10);
    IDirect3DMaterial3* material = target->material;
    // Same colour again: no new material; the default states are applied again.
    target->material = nullptr;
    ASSERT_NE(TvCameraClear(camera, &colour, 1), nullptr);
    target->material = material;
    EXPECT_EQ(Value(0, D3DRENDERSTATE_ZENABLE), 1u);
    EXPECT_EQ(Calls(0, D3DRENDERSTATE_ZENABLE), 2);
}

TEST_F(D3DTest, StatesOutsideACameraUpdateFail) {
    EXPECT_FALSE(TvRenderStateSetD3D(3, 1));
    EXPECT_FALSE(TvRenderStateSetD3D(16, 1));
}

} // namespace
