#include "platform/ddraw/ddraw_gl.h"

#include "platform/win32/win32_sdl.h"

#include <GL/glcorearb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

// OpenGL entry points, loaded through SDL so that EGL (headless) and GLX both work.
#define DDRAW_GL_FUNCTIONS(X)                                                                      \
    X(PFNGLGETSTRINGPROC, glGetString)                                                             \
    X(PFNGLGETSTRINGIPROC, glGetStringi)                                                           \
    X(PFNGLGETINTEGERVPROC, glGetIntegerv)                                                         \
    X(PFNGLENABLEPROC, glEnable)                                                                   \
    X(PFNGLDISABLEPROC, glDisable)                                                                 \
    X(PFNGLVIEWPORTPROC, glViewport)                                                               \
    X(PFNGLSCISSORPROC, glScissor)                                                                 \
    X(PFNGLCLEARCOLORPROC, glClearColor)                                                           \
    X(PFNGLCLEARDEPTHPROC, glClearDepth)                                                           \
    X(PFNGLCLEARPROC, glClear)                                                                     \
    X(PFNGLDEPTHMASKPROC, glDepthMask)                                                             \
    X(PFNGLDEPTHFUNCPROC, glDepthFunc)                                                             \
    X(PFNGLBLENDFUNCPROC, glBlendFunc)                                                             \
    X(PFNGLGENTEXTURESPROC, glGenTextures)                                                         \
    X(PFNGLDELETETEXTURESPROC, glDeleteTextures)                                                   \
    X(PFNGLBINDTEXTUREPROC, glBindTexture)                                                         \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                                                     \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D)                                                           \
    X(PFNGLTEXSUBIMAGE2DPROC, glTexSubImage2D)                                                     \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri)                                                     \
    X(PFNGLCOMPRESSEDTEXIMAGE2DPROC, glCompressedTexImage2D)                                       \
    X(PFNGLPIXELSTOREIPROC, glPixelStorei)                                                         \
    X(PFNGLREADPIXELSPROC, glReadPixels)                                                           \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                                                 \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)                                           \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                                 \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                                       \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                                                 \
    X(PFNGLDRAWBUFFERPROC, glDrawBuffer)                                                           \
    X(PFNGLREADBUFFERPROC, glReadBuffer)                                                           \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                                                           \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                                                           \
    X(PFNGLBUFFERDATAPROC, glBufferData)                                                           \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                                                     \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                                                 \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                                                 \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)                                         \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)                                 \
    X(PFNGLCREATESHADERPROC, glCreateShader)                                                       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                                                       \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                                                     \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                                                         \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                                               \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                                                     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                                                       \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)                                           \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                                                         \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                                                       \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)                                             \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                                                           \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                                           \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                                                             \
    X(PFNGLUNIFORM1FPROC, glUniform1f)                                                             \
    X(PFNGLUNIFORM2FPROC, glUniform2f)                                                             \
    X(PFNGLUNIFORM4IPROC, glUniform4i)                                                             \
    X(PFNGLUNIFORM4FPROC, glUniform4f)                                                             \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays)                                                           \
    X(PFNGLDRAWELEMENTSPROC, glDrawElements)                                                       \
    X(PFNGLGENSAMPLERSPROC, glGenSamplers)                                                         \
    X(PFNGLBINDSAMPLERPROC, glBindSampler)                                                         \
    X(PFNGLSAMPLERPARAMETERIPROC, glSamplerParameteri)                                             \
    X(PFNGLSAMPLERPARAMETERFVPROC, glSamplerParameterfv)                                           \
    X(PFNGLPROVOKINGVERTEXPROC, glProvokingVertex)

struct Gl {
#define DDRAW_GL_DECLARE(type, name) type name = nullptr;
    DDRAW_GL_FUNCTIONS(DDRAW_GL_DECLARE)
#undef DDRAW_GL_DECLARE
};

// Uniforms of the drawing program, in the order of kUniformNames.
enum Uniform {
    U_SCALE,
    U_TEXTURED,
    U_TEXALPHA,
    U_COLORKEY,
    U_FLAT,
    U_PERSPECTIVE,
    U_COLOROP,
    U_ALPHAOP,
    U_ARGS,
    U_ALPHATEST,
    U_ALPHAREF,
    U_FOG,
    U_FOGCOLOR,
    U_TEX,
    U_COUNT
};
const char* const kUniformNames[U_COUNT] = {
    "uScale",   "uTextured", "uTexAlpha",  "uColorKey", "uFlat", "uPerspective", "uColorOp",
    "uAlphaOp", "uArgs",     "uAlphaTest", "uAlphaRef", "uFog",  "uFogColor",    "uTex"};

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 inPosition;
layout(location = 1) in vec4 inDiffuse;
layout(location = 2) in vec4 inSpecular;
layout(location = 3) in vec2 inUv;
uniform vec2 uScale;
out vec4 vDiffuse;
flat out vec4 vFlatDiffuse;
out float vFog;
out vec2 vUv;
noperspective out vec2 vUvAffine;
void main() {
    // Screen position to clip space with w = 1 / rhw, so that interpolation is perspective
    // correct. Pixel centres sit on integer coordinates.
    float w = inPosition.w > 0.0 ? 1.0 / inPosition.w : 1.0;
    vec3 ndc = vec3((inPosition.x + 0.5) * uScale.x - 1.0, (inPosition.y + 0.5) * uScale.y - 1.0,
                    inPosition.z * 2.0 - 1.0);
    gl_Position = vec4(ndc * w, w);
    vDiffuse = inDiffuse;
    vFlatDiffuse = inDiffuse;
    vFog = inSpecular.a;
    vUv = inUv;
    vUvAffine = inUv;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
flat in vec4 vFlatDiffuse;
in float vFog;
in vec2 vUv;
noperspective in vec2 vUvAffine;
uniform bool uTextured;
uniform bool uTexAlpha;
uniform bool uColorKey;
uniform bool uFlat;
uniform bool uPerspective;
uniform int uColorOp;
uniform int uAlphaOp;
uniform ivec4 uArgs;
uniform int uAlphaTest;
uniform float uAlphaRef;
uniform bool uFog;
uniform vec4 uFogColor;
uniform sampler2D uTex;
out vec4 outColor;
vec4 argument(int which, vec4 diffuse, vec4 texel) {
    return which == 2 ? texel : diffuse;
}
vec4 operation(int op, vec4 a1, vec4 a2, vec4 diffuse) {
    if (op == 2) return a1;
    if (op == 3) return a2;
    if (op == 4) return a1 * a2;
    return diffuse;
}
void main() {
    vec4 diffuse = uFlat ? vFlatDiffuse : vDiffuse;
    vec4 texel = vec4(1.0);
    if (uTextured) {
        texel = texture(uTex, uPerspective ? vUv : vUvAffine);
        if (uColorKey && texel.a < 0.5) discard;
        if (!uTexAlpha) texel.a = 1.0;
    }
    vec4 c = operation(uColorOp, argument(uArgs.x, diffuse, texel),
                       argument(uArgs.y, diffuse, texel), diffuse);
    vec4 a = operation(uAlphaOp, argument(uArgs.z, diffuse, texel),
                       argument(uArgs.w, diffuse, texel), diffuse);
    vec4 result = vec4(c.rgb, a.a);
    if (uAlphaTest != 0) {
        float alpha = floor(result.a * 255.0 + 0.5);
        bool pass = true;
        if (uAlphaTest == 1) pass = false;
        else if (uAlphaTest == 2) pass = alpha < uAlphaRef;
        else if (uAlphaTest == 3) pass = alpha == uAlphaRef;
        else if (uAlphaTest == 4) pass = alpha <= uAlphaRef;
        else if (uAlphaTest == 5) pass = alpha > uAlphaRef;
        else if (uAlphaTest == 6) pass = alpha != uAlphaRef;
        else if (uAlphaTest == 7) pass = alpha >= uAlphaRef;
        if (!pass) discard;
    }
    if (uFog) result.rgb = mix(uFogColor.rgb, result.rgb, vFog);
    outColor = result;
}
)";

struct Context {
    bool tried = false;
    bool ok = false;
    bool s3tc = false;
    SDL_Window* ownWindow = nullptr;
    SDL_Window* current = nullptr;
    SDL_GLContext context = nullptr;
    Gl gl;
    GLuint program = 0;
    GLint uniforms[U_COUNT] = {};
    GLuint vao = 0, vbo = 0, ibo = 0;
    GLsizeiptr vboSize = 0, iboSize = 0;
    GLuint sampler = 0;
    // Framebuffers by (colour, depth) attachment pair.
    std::map<std::pair<GLuint, GLuint>, GLuint> framebuffers;
    // Last values given to the program and the fixed-function state, to skip repeats.
    int lastUniforms[U_COUNT] = {};
    bool uniformsValid = false;
    float lastScale[2] = {0, 0};
    D3DCOLOR lastFogColor = 0;
    DWORD samplerKey[5] = {};
    bool samplerValid = false;
};

Context g_ctx;

GLuint CompileShader(Gl& gl, GLenum type, const char* source) {
    GLuint shader = gl.glCreateShader(type);
    gl.glShaderSource(shader, 1, &source, nullptr);
    gl.glCompileShader(shader);
    GLint ok = 0;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        gl.glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "ddraw: shader compile failed: %s\n", log);
        return 0;
    }
    return shader;
}

bool BuildProgram(Context& c) {
    Gl& gl = c.gl;
    GLuint vs = CompileShader(gl, GL_VERTEX_SHADER, kVertexShader);
    GLuint fs = CompileShader(gl, GL_FRAGMENT_SHADER, kFragmentShader);
    if (!vs || !fs) return false;
    c.program = gl.glCreateProgram();
    gl.glAttachShader(c.program, vs);
    gl.glAttachShader(c.program, fs);
    gl.glLinkProgram(c.program);
    GLint ok = 0;
    gl.glGetProgramiv(c.program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        gl.glGetProgramInfoLog(c.program, sizeof log, nullptr, log);
        fprintf(stderr, "ddraw: program link failed: %s\n", log);
        return false;
    }
    for (int i = 0; i < U_COUNT; ++i)
        c.uniforms[i] = gl.glGetUniformLocation(c.program, kUniformNames[i]);
    gl.glUseProgram(c.program);
    gl.glUniform1i(c.uniforms[U_TEX], 0);

    gl.glGenVertexArrays(1, &c.vao);
    gl.glBindVertexArray(c.vao);
    gl.glGenBuffers(1, &c.vbo);
    gl.glGenBuffers(1, &c.ibo);
    gl.glBindBuffer(GL_ARRAY_BUFFER, c.vbo);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.ibo);
    const GLsizei stride = sizeof(D3DTLVERTEX);
    gl.glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                             reinterpret_cast<void*>(offsetof(D3DTLVERTEX, sx)));
    gl.glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                             reinterpret_cast<void*>(offsetof(D3DTLVERTEX, color)));
    gl.glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                             reinterpret_cast<void*>(offsetof(D3DTLVERTEX, specular)));
    gl.glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                             reinterpret_cast<void*>(offsetof(D3DTLVERTEX, tu)));
    for (GLuint i = 0; i < 4; ++i)
        gl.glEnableVertexAttribArray(i);
    gl.glGenSamplers(1, &c.sampler);
    gl.glBindSampler(0, c.sampler);
    gl.glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    gl.glEnable(GL_DEPTH_CLAMP);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    return true;
}

bool CreateContext(SDL_Window* gameWindow) {
    Context& c = g_ctx;
    if (!Win32EnsureVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_Window* window = gameWindow;
    if (!window) {
        c.ownWindow =
            SDL_CreateWindow("ddraw", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!c.ownWindow) {
            fprintf(stderr, "ddraw: no window for OpenGL: %s\n", SDL_GetError());
            return false;
        }
        window = c.ownWindow;
    }
    c.context = SDL_GL_CreateContext(window);
    if (!c.context) {
        fprintf(stderr, "ddraw: no OpenGL 3.3 core context: %s\n", SDL_GetError());
        return false;
    }
    c.current = window;
#define DDRAW_GL_LOAD(type, name)                                                                  \
    c.gl.name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name));                              \
    if (!c.gl.name) {                                                                              \
        fprintf(stderr, "ddraw: OpenGL function %s missing\n", #name);                             \
        return false;                                                                              \
    }
    DDRAW_GL_FUNCTIONS(DDRAW_GL_LOAD)
#undef DDRAW_GL_LOAD
    GLint count = 0;
    c.gl.glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(c.gl.glGetStringi(GL_EXTENSIONS, i));
        if (name && strcmp(name, "GL_EXT_texture_compression_s3tc") == 0) c.s3tc = true;
    }
    return BuildProgram(c);
}

Gl& G() {
    return g_ctx.gl;
}

GLuint Framebuffer(GLuint color, GLuint depth) {
    auto key = std::make_pair(color, depth);
    auto it = g_ctx.framebuffers.find(key);
    if (it != g_ctx.framebuffers.end()) return it->second;
    Gl& gl = G();
    GLuint fbo = 0;
    gl.glGenFramebuffers(1, &fbo);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    if (color) {
        gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
        gl.glDrawBuffer(GL_COLOR_ATTACHMENT0);
        gl.glReadBuffer(GL_COLOR_ATTACHMENT0);
    } else {
        gl.glDrawBuffer(GL_NONE);
        gl.glReadBuffer(GL_NONE);
    }
    if (depth)
        gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);
    g_ctx.framebuffers[key] = fbo;
    return fbo;
}

void BindTarget(GLuint color, GLuint depth, int width, int height) {
    Gl& gl = G();
    gl.glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer(color, depth));
    gl.glViewport(0, 0, width, height);
}

GLenum BlendFactor(DWORD v) {
    static const GLenum factors[] = {GL_ZERO,
                                     GL_ZERO,
                                     GL_ONE,
                                     GL_SRC_COLOR,
                                     GL_ONE_MINUS_SRC_COLOR,
                                     GL_SRC_ALPHA,
                                     GL_ONE_MINUS_SRC_ALPHA,
                                     GL_DST_ALPHA,
                                     GL_ONE_MINUS_DST_ALPHA,
                                     GL_DST_COLOR,
                                     GL_ONE_MINUS_DST_COLOR,
                                     GL_SRC_ALPHA_SATURATE};
    return v >= 1 && v <= 11 ? factors[v] : GL_ONE;
}

GLenum CompareFunc(DWORD v) {
    static const GLenum funcs[] = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                   GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return v <= 8 ? funcs[v] : GL_ALWAYS;
}

void SetSampler(const DDrawGlDrawState& s) {
    Context& c = g_ctx;
    DWORD key[5] = {s.address, s.borderColor, s.magFilter, s.minFilter, s.mipFilter};
    if (c.samplerValid && memcmp(key, c.samplerKey, sizeof key) == 0) return;
    memcpy(c.samplerKey, key, sizeof key);
    c.samplerValid = true;
    Gl& gl = G();
    GLint wrap = GL_REPEAT;
    switch (s.address) {
    case D3DTADDRESS_MIRROR: wrap = GL_MIRRORED_REPEAT; break;
    case D3DTADDRESS_CLAMP: wrap = GL_CLAMP_TO_EDGE; break;
    case D3DTADDRESS_BORDER: wrap = GL_CLAMP_TO_BORDER; break;
    default: break;
    }
    gl.glSamplerParameteri(c.sampler, GL_TEXTURE_WRAP_S, wrap);
    gl.glSamplerParameteri(c.sampler, GL_TEXTURE_WRAP_T, wrap);
    float border[4] = {((s.borderColor >> 16) & 0xFF) / 255.0f,
                       ((s.borderColor >> 8) & 0xFF) / 255.0f, (s.borderColor & 0xFF) / 255.0f,
                       ((s.borderColor >> 24) & 0xFF) / 255.0f};
    gl.glSamplerParameterfv(c.sampler, GL_TEXTURE_BORDER_COLOR, border);
    gl.glSamplerParameteri(c.sampler, GL_TEXTURE_MAG_FILTER,
                           s.magFilter == D3DTFG_LINEAR ? GL_LINEAR : GL_NEAREST);
    bool linear = s.minFilter == D3DTFN_LINEAR;
    GLint min = linear ? GL_LINEAR : GL_NEAREST;
    if (s.mipFilter == D3DTFP_POINT)
        min = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (s.mipFilter == D3DTFP_LINEAR)
        min = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    gl.glSamplerParameteri(c.sampler, GL_TEXTURE_MIN_FILTER, min);
}

void SetUniform(Uniform u, int value) {
    Context& c = g_ctx;
    if (c.uniformsValid && c.lastUniforms[u] == value) return;
    c.lastUniforms[u] = value;
    G().glUniform1i(c.uniforms[u], value);
}

int AlphaTestMode(const DDrawGlDrawState& s) {
    if (!s.alphaTest || s.alphaFunc == D3DCMP_ALWAYS || s.alphaFunc < 1 || s.alphaFunc > 8)
        return 0;
    return static_cast<int>(s.alphaFunc);
}

void SetProgramState(const DDrawGlDrawState& s) {
    Context& c = g_ctx;
    Gl& gl = G();
    float sx = 2.0f / static_cast<float>(s.targetWidth);
    float sy = 2.0f / static_cast<float>(s.targetHeight);
    if (!c.uniformsValid || sx != c.lastScale[0] || sy != c.lastScale[1]) {
        gl.glUniform2f(c.uniforms[U_SCALE], sx, sy);
        c.lastScale[0] = sx;
        c.lastScale[1] = sy;
    }
    SetUniform(U_TEXTURED, s.texture != 0);
    SetUniform(U_TEXALPHA, s.textureHasAlpha);
    SetUniform(U_COLORKEY, s.colorKey);
    SetUniform(U_FLAT, !s.gouraud);
    SetUniform(U_PERSPECTIVE, s.perspective);
    SetUniform(U_COLOROP, static_cast<int>(s.colorOp));
    SetUniform(U_ALPHAOP, static_cast<int>(s.alphaOp));
    int args =
        static_cast<int>(s.colorArg1 | s.colorArg2 << 4 | s.alphaArg1 << 8 | s.alphaArg2 << 12);
    if (!c.uniformsValid || c.lastUniforms[U_ARGS] != args) {
        c.lastUniforms[U_ARGS] = args;
        gl.glUniform4i(c.uniforms[U_ARGS], static_cast<GLint>(s.colorArg1),
                       static_cast<GLint>(s.colorArg2), static_cast<GLint>(s.alphaArg1),
                       static_cast<GLint>(s.alphaArg2));
    }
    SetUniform(U_ALPHATEST, AlphaTestMode(s));
    int ref = static_cast<int>(s.alphaRef & 0xFF);
    if (!c.uniformsValid || c.lastUniforms[U_ALPHAREF] != ref) {
        c.lastUniforms[U_ALPHAREF] = ref;
        gl.glUniform1f(c.uniforms[U_ALPHAREF], static_cast<float>(ref));
    }
    SetUniform(U_FOG, s.fog);
    if (!c.uniformsValid || c.lastFogColor != s.fogColor) {
        c.lastFogColor = s.fogColor;
        gl.glUniform4f(c.uniforms[U_FOGCOLOR], ((s.fogColor >> 16) & 0xFF) / 255.0f,
                       ((s.fogColor >> 8) & 0xFF) / 255.0f, (s.fogColor & 0xFF) / 255.0f, 1.0f);
    }
    c.uniformsValid = true;
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    }
    return GL_TRIANGLES;
}

// Uploads into a stream buffer, growing it (and orphaning the old storage) as needed.
void Stream(GLenum target, GLsizeiptr& capacity, const void* data, GLsizeiptr size) {
    Gl& gl = G();
    if (size > capacity) capacity = size * 2;
    gl.glBufferData(target, capacity, nullptr, GL_STREAM_DRAW);
    gl.glBufferSubData(target, 0, size, data);
}

} // namespace

bool DDrawGlAcquire(HWND window) {
    Context& c = g_ctx;
    SDL_Window* sdl = window && Win32EnsureVideo() ? Win32SdlWindow(window) : nullptr;
    if (!c.tried) {
        c.tried = true;
        c.ok = CreateContext(sdl);
    }
    if (!c.ok) return false;
    SDL_Window* want = sdl ? sdl : c.current;
    if (want != c.current || SDL_GL_GetCurrentContext() != c.context) {
        if (SDL_GL_MakeCurrent(want, c.context) != 0) return false;
        c.current = want;
    }
    return true;
}

bool DDrawGlHasS3tc() {
    return DDrawGlAcquire(nullptr) && g_ctx.s3tc;
}

uint32_t DDrawGlCreateTexture(DDrawGlTextureKind kind, int width, int height, int levels) {
    if (!DDrawGlAcquire(nullptr) || width <= 0 || height <= 0) return 0;
    Gl& gl = G();
    GLuint tex = 0;
    gl.glGenTextures(1, &tex);
    gl.glBindTexture(GL_TEXTURE_2D, tex);
    switch (kind) {
    case DDRAW_GL_COLOR_TARGET:
        gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                        nullptr);
        levels = 1;
        break;
    case DDRAW_GL_DEPTH:
        gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0,
                        GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
        levels = 1;
        break;
    case DDRAW_GL_TEXTURE:
        for (int l = 0; l < levels; ++l) {
            int w = width >> l > 0 ? width >> l : 1;
            int h = height >> l > 0 ? height >> l : 1;
            gl.glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                            nullptr);
        }
        break;
    }
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return tex;
}

void DDrawGlDeleteTexture(uint32_t texture) {
    if (!texture || !g_ctx.ok) return;
    DDrawGlAcquire(nullptr);
    Gl& gl = G();
    for (auto it = g_ctx.framebuffers.begin(); it != g_ctx.framebuffers.end();) {
        if (it->first.first == texture || it->first.second == texture) {
            gl.glDeleteFramebuffers(1, &it->second);
            it = g_ctx.framebuffers.erase(it);
        } else {
            ++it;
        }
    }
    GLuint t = texture;
    gl.glDeleteTextures(1, &t);
}

void DDrawGlUploadRgba(uint32_t texture, int level, int width, int height, const uint8_t* rgba) {
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                    rgba);
}

bool DDrawGlUploadDxt(uint32_t texture, int level, DWORD fourCC, int width, int height,
                      const uint8_t* blocks, int size) {
    if (!DDrawGlHasS3tc()) return false;
    GLenum format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    if (fourCC == FOURCC_DXT1)
        format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    else if (fourCC == FOURCC_DXT2 || fourCC == FOURCC_DXT3)
        format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    Gl& gl = G();
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glCompressedTexImage2D(GL_TEXTURE_2D, level, format, width, height, 0, size, blocks);
    return true;
}

void DDrawGlReadRgba(uint32_t texture, int width, int height, uint8_t* rgba) {
    if (!DDrawGlAcquire(nullptr)) return;
    BindTarget(texture, 0, width, height);
    G().glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void DDrawGlReadDepth(uint32_t texture, int width, int height, float* depth) {
    if (!DDrawGlAcquire(nullptr)) return;
    BindTarget(0, texture, width, height);
    G().glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
}

void DDrawGlWriteDepth(uint32_t texture, int width, int height, const float* depth) {
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
}

void DDrawGlClear(uint32_t color, uint32_t depth, int targetWidth, int targetHeight,
                  const RECT& rect, bool clearColor, const uint8_t rgba[4], bool clearDepth,
                  float depthValue) {
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    BindTarget(clearColor ? color : 0, clearDepth ? depth : 0, targetWidth, targetHeight);
    gl.glEnable(GL_SCISSOR_TEST);
    gl.glScissor(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    GLbitfield mask = 0;
    if (clearColor && color) {
        gl.glClearColor(rgba[0] / 255.0f, rgba[1] / 255.0f, rgba[2] / 255.0f, rgba[3] / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (clearDepth && depth) {
        gl.glDepthMask(GL_TRUE);
        gl.glClearDepth(depthValue);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (mask) gl.glClear(mask);
    gl.glDisable(GL_SCISSOR_TEST);
}

void DDrawGlCopyColor(uint32_t source, uint32_t destination, int width, int height) {
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    // Framebuffer() may bind a new framebuffer to both slots: take both before binding.
    GLuint from = Framebuffer(source, 0), to = Framebuffer(destination, 0);
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl.glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void DDrawGlPresent(HWND window, uint32_t color, int width, int height) {
    SDL_Window* sdl = window && Win32EnsureVideo() ? Win32SdlWindow(window) : nullptr;
    if (!sdl || PlatformIsHeadless() || !DDrawGlAcquire(window)) return;
    Gl& gl = G();
    int ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(sdl, &ww, &wh);
    if (ww <= 0 || wh <= 0 || width <= 0 || height <= 0) return;
    // Largest picture of the target's aspect that fits, centred; the rest black.
    int dw = ww, dh = static_cast<int>(static_cast<int64_t>(ww) * height / width);
    if (dh > wh) {
        dh = wh;
        dw = static_cast<int>(static_cast<int64_t>(wh) * width / height);
    }
    int dx = (ww - dw) / 2, dy = (wh - dh) / 2;
    GLuint from = Framebuffer(color, 0);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.glViewport(0, 0, ww, wh);
    gl.glClearColor(0, 0, 0, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    // Target rows run top-down; the window's run bottom-up.
    gl.glBlitFramebuffer(0, 0, width, height, dx, dy + dh, dx + dw, dy, GL_COLOR_BUFFER_BIT,
                         GL_LINEAR);
    SDL_GL_SwapWindow(sdl);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void DDrawGlDraw(const DDrawGlDrawState& s, D3DPRIMITIVETYPE type, const D3DTLVERTEX* vertices,
                 DWORD vertexCount, const WORD* indices, DWORD indexCount) {
    if (!DDrawGlAcquire(nullptr) || !s.colorTarget) return;
    Context& c = g_ctx;
    Gl& gl = G();
    BindTarget(s.colorTarget, s.depthTarget, s.targetWidth, s.targetHeight);
    gl.glUseProgram(c.program);
    gl.glBindVertexArray(c.vao);
    if (s.zEnable && s.depthTarget) {
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(CompareFunc(s.zFunc));
        gl.glDepthMask(s.zWrite ? GL_TRUE : GL_FALSE);
    } else {
        gl.glDisable(GL_DEPTH_TEST);
    }
    if (s.blend) {
        gl.glEnable(GL_BLEND);
        gl.glBlendFunc(BlendFactor(s.srcBlend), BlendFactor(s.destBlend));
    } else {
        gl.glDisable(GL_BLEND);
    }
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glBindTexture(GL_TEXTURE_2D, s.texture);
    if (s.texture) {
        gl.glBindSampler(0, c.sampler); // other users of the context may have unbound it
        SetSampler(s);
    }
    SetProgramState(s);
    gl.glBindBuffer(GL_ARRAY_BUFFER, c.vbo);
    Stream(GL_ARRAY_BUFFER, c.vboSize, vertices,
           static_cast<GLsizeiptr>(vertexCount) * static_cast<GLsizeiptr>(sizeof(D3DTLVERTEX)));
    if (indices) {
        Stream(GL_ELEMENT_ARRAY_BUFFER, c.iboSize, indices,
               static_cast<GLsizeiptr>(indexCount) * static_cast<GLsizeiptr>(sizeof(WORD)));
        gl.glDrawElements(PrimitiveMode(type), static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                          nullptr);
    } else {
        gl.glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(vertexCount));
    }
}
