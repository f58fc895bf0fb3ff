// Open and close functions of the engine's own modules, registered on the engine registry by
// TvEngineInit in this order (the driver immediate 3-D module 0x40E is registered by the
// driver-hook table's attach slot between the pipe stack and immediate 3-D).
#pragma once

#include <cstdint>

#define TV_MODULE_DECLARE(name)                                                                    \
    void* _Tv##name##ModuleOpen(void* instance, int32_t offset, int32_t size);                     \
    void* _Tv##name##ModuleClose(void* instance, int32_t offset, int32_t size);                    \
    extern const int32_t _Tv##name##ModuleDataSize;

TV_MODULE_DECLARE(Error)
TV_MODULE_DECLARE(Vector)
TV_MODULE_DECLARE(String)
TV_MODULE_DECLARE(Matrix)
TV_MODULE_DECLARE(Frame)
TV_MODULE_DECLARE(Stream)
TV_MODULE_DECLARE(Camera)
TV_MODULE_DECLARE(Image)
TV_MODULE_DECLARE(Raster)
TV_MODULE_DECLARE(Texture)
TV_MODULE_DECLARE(PipeStack)
TV_MODULE_DECLARE(Immediate3D)
TV_MODULE_DECLARE(ResArena)

#undef TV_MODULE_DECLARE

// Each module defines _Tv<Name>ModuleDataSize as the sizeof of its instance data.

// Module ids.
inline constexpr uint32_t kTvErrorModuleId = 0x40F;
inline constexpr uint32_t kTvVectorModuleId = 0x401;
inline constexpr uint32_t kTvStringModuleId = 0x40D;
inline constexpr uint32_t kTvMatrixModuleId = 0x402;
inline constexpr uint32_t kTvFrameModuleId = 0x403;
inline constexpr uint32_t kTvStreamModuleId = 0x404;
inline constexpr uint32_t kTvCameraModuleId = 0x405;
inline constexpr uint32_t kTvImageModuleId = 0x406;
inline constexpr uint32_t kTvRasterModuleId = 0x407;
inline constexpr uint32_t kTvTextureModuleId = 0x408;
inline constexpr uint32_t kTvPipeStackModuleId = 0x409;
inline constexpr uint32_t kTvDriverIm3DModuleId = 0x40E;
inline constexpr uint32_t kTvImmediate3DModuleId = 0x40A;
inline constexpr uint32_t kTvResArenaModuleId = 0x40B;

// Image module: the engine start hands it the device record's gamma.
bool TvImageSetGamma(float gamma);
