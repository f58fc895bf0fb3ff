// The OpenGL side of the DirectDraw/Direct3D stand-in: one OpenGL 3.3 core context (on the
// game's window when there is one, else on a hidden window of its own), textures for
// texture surfaces, colour and depth textures for render targets, and the shader that draws
// pre-transformed vertices with the render states in use. Render targets are stored with
// their first row at GL row 0, so memory copies need no flipping; only the present flips.
#pragma once

#include "platform/ddraw/d3d.h"

#include <cstdint>
#include <vector>

// The caller's rounding mode kept aside while the layer works: OpenGL converts colours and
// coordinates under round-to-nearest, whatever mode the game's own arithmetic runs under.
class DDrawNearestRounding {
public:
    DDrawNearestRounding();
    ~DDrawNearestRounding();
    DDrawNearestRounding(const DDrawNearestRounding&) = delete;
    DDrawNearestRounding& operator=(const DDrawNearestRounding&) = delete;

private:
    int saved_;
};

// Makes the context current, creating it on first use (on the given window when it has an
// SDL window). False when no OpenGL 3.3 core context can be had.
bool DDrawGlAcquire(HWND window);
// True when the context offers S3TC (DXT1 to DXT5) textures. Creates the context if needed.
bool DDrawGlHasS3tc();

enum DDrawGlTextureKind { DDRAW_GL_COLOR_TARGET, DDRAW_GL_DEPTH, DDRAW_GL_TEXTURE };
// A texture of the given kind and size (levels for DDRAW_GL_TEXTURE); 0 on failure.
uint32_t DDrawGlCreateTexture(DDrawGlTextureKind kind, int width, int height, int levels);
void DDrawGlDeleteTexture(uint32_t texture);

// Uploads one level of RGBA bytes (rows of width * 4 bytes, first row first).
void DDrawGlUploadRgba(uint32_t texture, int level, int width, int height, const uint8_t* rgba);
// Uploads one level of DXT blocks; false when the context has no S3TC.
bool DDrawGlUploadDxt(uint32_t texture, int level, DWORD fourCC, int width, int height,
                      const uint8_t* blocks, int size);
// Reads a colour target back as RGBA bytes.
void DDrawGlReadRgba(uint32_t texture, int width, int height, uint8_t* rgba);
// Depth textures as floats 0..1.
void DDrawGlReadDepth(uint32_t texture, int width, int height, float* depth);
void DDrawGlWriteDepth(uint32_t texture, int width, int height, const float* depth);

// Clears a rectangle of a colour target and/or depth texture; color and depth are the
// attachments of the target (either may be 0), clearColor and clearDepth what is cleared.
void DDrawGlClear(uint32_t color, uint32_t depth, int targetWidth, int targetHeight,
                  const RECT& rect, bool clearColor, const uint8_t rgba[4], bool clearDepth,
                  float depthValue);
// Copies a rectangle of a colour target into a rectangle of another, stretching (nearest).
void DDrawGlCopyColor(uint32_t source, const RECT& from, uint32_t destination, const RECT& to);
// What the alpha bytes of pixels drawn by DDrawGlDrawRgba mean.
enum DDrawGlRgbaAlpha {
    DDRAW_GL_ALPHA_NONE,     // ignored: the pixels are opaque
    DDRAW_GL_ALPHA_IS_ALPHA, // the pixels' own alpha, written to targets with alpha
    DDRAW_GL_ALPHA_IS_KEY,   // 0 marks a keyed pixel, which is not drawn; the rest are opaque
};
// Draws width x height RGBA pixels 1:1 into a colour target at (x, y). targetHasAlpha as for
// draws. False when nothing could be drawn.
bool DDrawGlDrawRgba(uint32_t target, int targetWidth, int targetHeight, bool targetHasAlpha,
                     const uint8_t* rgba, int width, int height, int x, int y,
                     DDrawGlRgbaAlpha alpha);
// Shows a rectangle of a colour target in the window, scaled to its drawable with the aspect
// kept and centred (the rest black), waiting for the vertical blank when asked. Every video
// driver presents, the offscreen one included. False when there is nothing to present into.
bool DDrawGlPresent(HWND window, uint32_t color, int width, int height, const RECT& source,
                    bool vsync);
// Reads the window's own framebuffer (what the last present drew) as top-down RGBA rows.
bool DDrawGlReadWindow(HWND window, int* width, int* height, std::vector<uint8_t>* rgba);

// OpenGL errors go to the handler once one is set (before the context is made: it is then a
// debug context where the driver offers one). The test build fails the running test.
using DDrawGlErrorHandler = void (*)(const char* message);
void DDrawGlSetErrorHandler(DDrawGlErrorHandler handler);
// Releases the programs, buffers, framebuffers and the context; the next use makes them anew.
void DDrawGlRelease();

// Everything one draw call needs to know.
struct DDrawGlDrawState {
    uint32_t colorTarget, depthTarget;
    int targetWidth, targetHeight;
    // A target format without alpha keeps alpha 1 in OpenGL: draws leave it alone, so that
    // destination-alpha blending reads 1 as it does on such a surface.
    bool targetHasAlpha;
    bool zEnable, zWrite;
    DWORD zFunc;
    bool gouraud, perspective;
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
    bool alphaTest;
    DWORD alphaFunc, alphaRef;
    bool blend;
    DWORD srcBlend, destBlend;
    bool fog;
    D3DCOLOR fogColor;
    uint32_t texture;
    bool textureHasAlpha, colorKey;
    DWORD address;
    D3DCOLOR borderColor;
    DWORD magFilter, minFilter, mipFilter;
};

// Draws vertices, indexed when indices is not null (only the range of vertices the indices
// reach is uploaded). The caller has checked the counts. False when the draw could not be made
// (no context or target, a program variant that does not build).
bool DDrawGlDraw(const DDrawGlDrawState& state, D3DPRIMITIVETYPE type, const D3DTLVERTEX* vertices,
                 DWORD vertexCount, const WORD* indices, DWORD indexCount);
