#include "platform/ddraw/ddraw_gl.h"

#include "platform/ddraw/windowshots.h"
#include "platform/win32/win32_sdl.h"
#include "platform/winmm/winmm.h"

#include <EGL/egl.h>
#include <GL/glcorearb.h>

#include <algorithm>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
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
    X(PFNGLCOLORMASKPROC, glColorMask)                                                             \
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
    X(PFNGLUNIFORM4FPROC, glUniform4f)                                                             \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays)                                                           \
    X(PFNGLDRAWELEMENTSPROC, glDrawElements)                                                       \
    X(PFNGLGENSAMPLERSPROC, glGenSamplers)                                                         \
    X(PFNGLBINDSAMPLERPROC, glBindSampler)                                                         \
    X(PFNGLSAMPLERPARAMETERIPROC, glSamplerParameteri)                                             \
    X(PFNGLSAMPLERPARAMETERFVPROC, glSamplerParameterfv)                                           \
    X(PFNGLPROVOKINGVERTEXPROC, glProvokingVertex)                                               \
    X(PFNGLDRAWELEMENTSBASEVERTEXPROC, glDrawElementsBaseVertex)                                   \
    X(PFNGLGETERRORPROC, glGetError)                                                               \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                                                     \
    X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)                                           \
    X(PFNGLDELETESAMPLERSPROC, glDeleteSamplers)                                                   \
    X(PFNGLDELETESHADERPROC, glDeleteShader)                                                       \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)

struct Gl {
#define DDRAW_GL_DECLARE(type, name) type name = nullptr;
    DDRAW_GL_FUNCTIONS(DDRAW_GL_DECLARE)
#undef DDRAW_GL_DECLARE
    // Offered by contexts with debug output (OpenGL 4.3 or KHR_debug); may be missing.
    PFNGLDEBUGMESSAGECALLBACKPROC glDebugMessageCallback = nullptr;
};

// Where OpenGL errors are reported (the test build fails the test on one); null: not checked.
DDrawGlErrorHandler g_errorHandler = nullptr;

// The drawing program comes in variants, one per combination of the states that change
// its code (texture, operations, alpha test, fog, shading); each is built on first use with
// those states as constants, so a draw runs only the code its states need.
const char* const kVertexShader = R"(
layout(location = 0) in vec4 inPosition;
layout(location = 1) in vec4 inDiffuse;
layout(location = 2) in vec4 inSpecular;
layout(location = 3) in vec2 inUv;
uniform vec2 uScale;
DIFFUSE_QUALIFIER out vec4 vDiffuse;
#if FOG
out float vFog;
#endif
#if TEXTURED
UV_QUALIFIER out vec2 vUv;
#endif
void main() {
    // Screen position to clip space with w = 1 / rhw, so that interpolation is perspective
    // correct. Pixel centres sit on integer coordinates.
    float w = inPosition.w > 0.0 ? 1.0 / inPosition.w : 1.0;
    vec3 ndc = vec3((inPosition.x + 0.5) * uScale.x - 1.0, (inPosition.y + 0.5) * uScale.y - 1.0,
                    inPosition.z * 2.0 - 1.0);
    gl_Position = vec4(ndc * w, w);
    vDiffuse = inDiffuse;
#if FOG
    vFog = inSpecular.a;
#endif
#if TEXTURED
    vUv = inUv;
#endif
}
)";

const char* const kFragmentShader = R"(
DIFFUSE_QUALIFIER in vec4 vDiffuse;
#if FOG
in float vFog;
uniform vec4 uFogColor;
#endif
#if TEXTURED
UV_QUALIFIER in vec2 vUv;
uniform sampler2D uTex;
#endif
uniform float uAlphaRef;
out vec4 outColor;
void main() {
    vec4 diffuse = vDiffuse;
    vec4 texel = vec4(1.0);
#if TEXTURED
    texel = texture(uTex, vUv);
#if COLORKEY
    if (texel.a < 0.5) discard;
#endif
#if !TEXALPHA
    texel.a = 1.0;
#endif
#endif
#define ARG(which) ((which) == 2 ? texel : diffuse)
#if COLOROP == 2
    vec3 c = ARG(COLORARG1).rgb;
#elif COLOROP == 3
    vec3 c = ARG(COLORARG2).rgb;
#elif COLOROP == 4
    vec3 c = ARG(COLORARG1).rgb * ARG(COLORARG2).rgb;
#else
    vec3 c = diffuse.rgb;
#endif
#if ALPHAOP == 2
    float a = ARG(ALPHAARG1).a;
#elif ALPHAOP == 3
    float a = ARG(ALPHAARG2).a;
#elif ALPHAOP == 4
    float a = ARG(ALPHAARG1).a * ARG(ALPHAARG2).a;
#else
    float a = diffuse.a;
#endif
#if ALPHATEST
    float alpha = floor(a * 255.0 + 0.5);
#if ALPHATEST == 1
    discard;
#elif ALPHATEST == 2
    if (!(alpha < uAlphaRef)) discard;
#elif ALPHATEST == 3
    if (!(alpha == uAlphaRef)) discard;
#elif ALPHATEST == 4
    if (!(alpha <= uAlphaRef)) discard;
#elif ALPHATEST == 5
    if (!(alpha > uAlphaRef)) discard;
#elif ALPHATEST == 6
    if (!(alpha != uAlphaRef)) discard;
#elif ALPHATEST == 7
    if (!(alpha >= uAlphaRef)) discard;
#endif
#endif
#if FOG
    c = mix(uFogColor.rgb, c, vFog);
#endif
    outColor = vec4(c, a);
}
)";

// The states that select a program variant, packed into a key.
struct VariantState {
    bool textured, textureAlpha, colorKey, flat, perspective, fog;
    int colorOp, alphaOp, colorArg1, colorArg2, alphaArg1, alphaArg2, alphaTest;
};

struct Program {
    GLuint id = 0;
    GLint scale = -1, alphaRef = -1, fogColor = -1;
    float lastScale[2] = {0, 0};
    int lastAlphaRef = -1;
    D3DCOLOR lastFogColor = 0;
    bool fogSet = false;
};

struct Context {
    bool tried = false;
    bool ok = false;
    bool s3tc = false;
    SDL_Window* ownWindow = nullptr;
    // The window the context is current on, by id: the game may destroy its window while
    // surfaces still live, and a destroyed window's id no longer finds it.
    uint32_t currentId = 0;
    SDL_GLContext context = nullptr;
    Gl gl;
    std::map<uint64_t, Program> programs;
    GLuint vao = 0, vbo = 0, ibo = 0;
    GLuint sampler = 0;
    GLuint scratch = 0; // texture for pixels drawn into targets from memory
    // Framebuffers by (colour, depth) attachment pair.
    std::map<std::pair<GLuint, GLuint>, GLuint> framebuffers;
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
        gl.glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Builds one program variant; 0 when it does not compile (reported on standard error).
GLuint BuildVariant(Gl& gl, const VariantState& v) {
    char header[512];
    snprintf(header, sizeof header,
             "#version 330 core\n#define TEXTURED %d\n#define TEXALPHA %d\n#define COLORKEY %d\n"
             "#define FOG %d\n#define COLOROP %d\n#define ALPHAOP %d\n#define COLORARG1 %d\n"
             "#define COLORARG2 %d\n#define ALPHAARG1 %d\n#define ALPHAARG2 %d\n"
             "#define ALPHATEST %d\n#define DIFFUSE_QUALIFIER %s\n#define UV_QUALIFIER %s\n",
             v.textured, v.textureAlpha, v.colorKey, v.fog, v.colorOp, v.alphaOp, v.colorArg1,
             v.colorArg2, v.alphaArg1, v.alphaArg2, v.alphaTest, v.flat ? "flat" : "smooth",
             v.perspective ? "smooth" : "noperspective");
    std::string vsSource = std::string(header) + kVertexShader;
    std::string fsSource = std::string(header) + kFragmentShader;
    GLuint vs = CompileShader(gl, GL_VERTEX_SHADER, vsSource.c_str());
    GLuint fs = CompileShader(gl, GL_FRAGMENT_SHADER, fsSource.c_str());
    GLuint program = 0;
    if (vs && fs) {
        program = gl.glCreateProgram();
        gl.glAttachShader(program, vs);
        gl.glAttachShader(program, fs);
        gl.glLinkProgram(program);
        GLint ok = 0;
        gl.glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            gl.glGetProgramInfoLog(program, sizeof log, nullptr, log);
            fprintf(stderr, "ddraw: program link failed: %s\n", log);
            gl.glDeleteProgram(program);
            program = 0;
        }
    }
    // The program keeps what it needs; the shaders go now.
    if (vs) gl.glDeleteShader(vs);
    if (fs) gl.glDeleteShader(fs);
    return program;
}

bool SetUpPipeline(Context& c) {
    Gl& gl = c.gl;
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

// A hidden window of the layer's own, for a context with no game window (or whose game window
// is gone).
SDL_Window* OwnWindow() {
    Context& c = g_ctx;
    if (!c.ownWindow) {
        c.ownWindow =
            SDL_CreateWindow("ddraw", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!c.ownWindow) fprintf(stderr, "ddraw: no window for OpenGL: %s\n", SDL_GetError());
    }
    return c.ownWindow;
}

void APIENTRY DebugMessage(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                             const void*) {
    if (type == GL_DEBUG_TYPE_ERROR && g_errorHandler) g_errorHandler(message);
}

// Without debug output the error flag is polled after each operation that draws.
void CheckErrors(const char* where) {
    if (!g_errorHandler || g_ctx.gl.glDebugMessageCallback) return;
    for (GLenum e = g_ctx.gl.glGetError(); e != GL_NO_ERROR; e = g_ctx.gl.glGetError()) {
        char text[96];
        snprintf(text, sizeof text, "%s: OpenGL error 0x%04X", where, e);
        g_errorHandler(text);
    }
}

bool CreateContext(SDL_Window* gameWindow) {
    Context& c = g_ctx;
    if (!Win32EnsureVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    // Errors are checked only where someone listens (the test build); a debug context then
    // reports them as they happen.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, g_errorHandler ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
    // The buffer attributes stay SDL's defaults, which the game's window was made with, so
    // that a context made on a hidden window can be made current on the game's.
    SDL_Window* window = gameWindow ? gameWindow : OwnWindow();
    if (!window) return false;
    c.context = SDL_GL_CreateContext(window);
    if (!c.context) {
        fprintf(stderr, "ddraw: no OpenGL 3.3 core context: %s\n", SDL_GetError());
        return false;
    }
    c.currentId = SDL_GetWindowID(window);
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
    bool debug = false;
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(c.gl.glGetStringi(GL_EXTENSIONS, i));
        if (name && strcmp(name, "GL_EXT_texture_compression_s3tc") == 0) c.s3tc = true;
        if (name && strcmp(name, "GL_KHR_debug") == 0) debug = true;
    }
    if (g_errorHandler && debug) {
        c.gl.glDebugMessageCallback = reinterpret_cast<PFNGLDEBUGMESSAGECALLBACKPROC>(
            SDL_GL_GetProcAddress("glDebugMessageCallback"));
        if (c.gl.glDebugMessageCallback) {
            c.gl.glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
            c.gl.glDebugMessageCallback(DebugMessage, nullptr);
        }
    }
    return SetUpPipeline(c);
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

int AlphaTestMode(const DDrawGlDrawState& s) {
    if (!s.alphaTest || s.alphaFunc == D3DCMP_ALWAYS || s.alphaFunc < 1 || s.alphaFunc > 8)
        return 0;
    return static_cast<int>(s.alphaFunc);
}

// Operations and arguments outside the ones in use fall back to the diffuse colour.
int Op(DWORD op) {
    return op >= 2 && op <= 4 ? static_cast<int>(op) : 1;
}
int Arg(DWORD arg) {
    return arg == D3DTA_TEXTURE ? 2 : 0;
}

// Makes the program variant for the draw's states current and sets its uniforms.
bool UseProgram(const DDrawGlDrawState& s) {
    Context& c = g_ctx;
    Gl& gl = G();
    const bool textured = s.texture != 0;
    VariantState v = {textured,
                      textured && s.textureHasAlpha,
                      textured && s.colorKey,
                      !s.gouraud,
                      s.perspective,
                      s.fog,
                      Op(s.colorOp),
                      Op(s.alphaOp),
                      Arg(s.colorArg1),
                      Arg(s.colorArg2),
                      Arg(s.alphaArg1),
                      Arg(s.alphaArg2),
                      AlphaTestMode(s)};
    uint64_t key = static_cast<uint64_t>(v.textured) | v.textureAlpha << 1 | v.colorKey << 2 |
                   v.flat << 3 | v.perspective << 4 | v.fog << 5 | v.colorOp << 6 | v.alphaOp << 9 |
                   v.colorArg1 << 12 | v.colorArg2 << 14 | v.alphaArg1 << 16 | v.alphaArg2 << 18 |
                   v.alphaTest << 20;
    auto it = c.programs.find(key);
    if (it == c.programs.end()) {
        Program p;
        p.id = BuildVariant(gl, v);
        if (p.id) {
            p.scale = gl.glGetUniformLocation(p.id, "uScale");
            p.alphaRef = gl.glGetUniformLocation(p.id, "uAlphaRef");
            p.fogColor = gl.glGetUniformLocation(p.id, "uFogColor");
            gl.glUseProgram(p.id);
            gl.glUniform1i(gl.glGetUniformLocation(p.id, "uTex"), 0);
        }
        it = c.programs.emplace(key, p).first;
    }
    Program& p = it->second;
    if (!p.id) return false;
    gl.glUseProgram(p.id);
    float sx = 2.0f / static_cast<float>(s.targetWidth);
    float sy = 2.0f / static_cast<float>(s.targetHeight);
    if (sx != p.lastScale[0] || sy != p.lastScale[1]) {
        gl.glUniform2f(p.scale, sx, sy);
        p.lastScale[0] = sx;
        p.lastScale[1] = sy;
    }
    int ref = static_cast<int>(s.alphaRef & 0xFF);
    if (v.alphaTest && ref != p.lastAlphaRef) {
        gl.glUniform1f(p.alphaRef, static_cast<float>(ref));
        p.lastAlphaRef = ref;
    }
    if (v.fog && (!p.fogSet || s.fogColor != p.lastFogColor)) {
        gl.glUniform4f(p.fogColor, ((s.fogColor >> 16) & 0xFF) / 255.0f,
                       ((s.fogColor >> 8) & 0xFF) / 255.0f, (s.fogColor & 0xFF) / 255.0f, 1.0f);
        p.lastFogColor = s.fogColor;
        p.fogSet = true;
    }
    return true;
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

// Gives a stream buffer new storage holding the data (orphaning the old), so that no earlier
// draw has to finish first.
void Stream(GLenum target, const void* data, GLsizeiptr size) {
    G().glBufferData(target, size, data, GL_STREAM_DRAW);
}

// The size of the window's drawable as OpenGL draws into it, asked of GLX or EGL. SDL's answer
// is the size it last asked for, which the drawable may not have (yet): the offscreen driver's
// EGL surface keeps the size its window was made with, and an X server without a window
// manager never grants a full-screen request.
void DrawableSize(SDL_Window* sdl, int* width, int* height) {
    SDL_GL_GetDrawableSize(sdl, width, height);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return;
    const char* forceEgl = SDL_GetHint(SDL_HINT_VIDEO_X11_FORCE_EGL);
    if (strcmp(driver, "x11") == 0 && !(forceEgl && strcmp(forceEgl, "1") == 0)) {
        // GLX: display and drawable are opaque here (X11 headers stay out of this file).
        using GetDisplay = void* (*)();
        using GetDrawable = unsigned long (*)();
        using Query = void (*)(void*, unsigned long, int, unsigned int*);
        constexpr int kGlxWidth = 0x801D, kGlxHeight = 0x801E;
        auto getDisplay =
            reinterpret_cast<GetDisplay>(SDL_GL_GetProcAddress("glXGetCurrentDisplay"));
        auto getDrawable =
            reinterpret_cast<GetDrawable>(SDL_GL_GetProcAddress("glXGetCurrentDrawable"));
        auto query = reinterpret_cast<Query>(SDL_GL_GetProcAddress("glXQueryDrawable"));
        if (!getDisplay || !getDrawable || !query) return;
        void* display = getDisplay();
        const unsigned long drawable = getDrawable();
        if (!display || !drawable) return;
        unsigned int w = 0, h = 0;
        query(display, drawable, kGlxWidth, &w);
        query(display, drawable, kGlxHeight, &h);
        if (w > 0 && h > 0 && w <= 16384 && h <= 16384) {
            *width = static_cast<int>(w);
            *height = static_cast<int>(h);
        }
        return;
    }
    if (strcmp(driver, "offscreen") != 0 && strcmp(driver, "wayland") != 0 &&
        strcmp(driver, "kmsdrm") != 0 && strcmp(driver, "x11") != 0)
        return;
    using GetDisplay = EGLDisplay (*)();
    using GetSurface = EGLSurface (*)(EGLint);
    using Query = EGLBoolean (*)(EGLDisplay, EGLSurface, EGLint, EGLint*);
    auto getDisplay = reinterpret_cast<GetDisplay>(SDL_GL_GetProcAddress("eglGetCurrentDisplay"));
    auto getSurface = reinterpret_cast<GetSurface>(SDL_GL_GetProcAddress("eglGetCurrentSurface"));
    auto query = reinterpret_cast<Query>(SDL_GL_GetProcAddress("eglQuerySurface"));
    if (!getDisplay || !getSurface || !query) return;
    EGLDisplay display = getDisplay();
    EGLSurface surface = getSurface(EGL_DRAW);
    EGLint w = 0, h = 0;
    if (display && surface && query(display, surface, EGL_WIDTH, &w) &&
        query(display, surface, EGL_HEIGHT, &h) && w > 0 && h > 0) {
        *width = w;
        *height = h;
    }
}

// The largest picture of a source's aspect that fits a drawable, centred.
struct Letterbox {
    int x, y, width, height;
};
Letterbox Fit(int drawableWidth, int drawableHeight, int sourceWidth, int sourceHeight) {
    int dw = drawableWidth;
    int dh = static_cast<int>(static_cast<int64_t>(drawableWidth) * sourceHeight / sourceWidth);
    if (dh > drawableHeight) {
        dh = drawableHeight;
        dw = static_cast<int>(static_cast<int64_t>(drawableHeight) * sourceWidth / sourceHeight);
    }
    return {(drawableWidth - dw) / 2, (drawableHeight - dh) / 2, dw, dh};
}

} // namespace

DDrawNearestRounding::DDrawNearestRounding() : saved_(fegetround()) {
    if (saved_ != FE_TONEAREST) fesetround(FE_TONEAREST);
}

DDrawNearestRounding::~DDrawNearestRounding() {
    if (saved_ != FE_TONEAREST) fesetround(saved_);
}

void DDrawGlSetErrorHandler(DDrawGlErrorHandler handler) {
    g_errorHandler = handler;
}

void DDrawGlRelease() {
    Context& c = g_ctx;
    if (c.ok && c.context) {
        DDrawNearestRounding nearest;
        SDL_Window* current = c.currentId ? SDL_GetWindowFromID(c.currentId) : nullptr;
        if (!current) current = c.ownWindow;
        if (current && SDL_GL_MakeCurrent(current, c.context) == 0) {
            Gl& gl = c.gl;
            gl.glUseProgram(0);
            for (auto& entry : c.programs)
                if (entry.second.id) gl.glDeleteProgram(entry.second.id);
            for (auto& entry : c.framebuffers)
                gl.glDeleteFramebuffers(1, &entry.second);
            GLuint buffers[2] = {c.vbo, c.ibo};
            gl.glDeleteBuffers(2, buffers);
            gl.glDeleteVertexArrays(1, &c.vao);
            gl.glDeleteSamplers(1, &c.sampler);
            if (c.scratch) gl.glDeleteTextures(1, &c.scratch);
        }
        SDL_GL_MakeCurrent(nullptr, nullptr);
    }
    if (c.context) SDL_GL_DeleteContext(c.context);
    if (c.ownWindow) SDL_DestroyWindow(c.ownWindow);
    c = Context{};
}

bool DDrawGlAcquire(HWND window) {
    Context& c = g_ctx;
    SDL_Window* sdl = window && Win32EnsureVideo() ? Win32SdlWindow(window) : nullptr;
    if (!c.tried) {
        c.tried = true;
        c.ok = CreateContext(sdl);
    }
    if (!c.ok) return false;
    SDL_Window* current = c.currentId ? SDL_GetWindowFromID(c.currentId) : nullptr;
    SDL_Window* want = sdl ? sdl : current ? current : OwnWindow();
    if (!want) return false;
    if (want != current || SDL_GL_GetCurrentContext() != c.context) {
        if (SDL_GL_MakeCurrent(want, c.context) != 0) return false;
        c.currentId = SDL_GetWindowID(want);
    }
    return true;
}

bool DDrawGlHasS3tc() {
    DDrawNearestRounding nearest;
    return DDrawGlAcquire(nullptr) && g_ctx.s3tc;
}

uint32_t DDrawGlCreateTexture(DDrawGlTextureKind kind, int width, int height, int levels) {
    DDrawNearestRounding nearest;
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
    DDrawNearestRounding nearest;
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
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                    rgba);
}

bool DDrawGlUploadDxt(uint32_t texture, int level, DWORD fourCC, int width, int height,
                      const uint8_t* blocks, int size) {
    DDrawNearestRounding nearest;
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
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    BindTarget(texture, 0, width, height);
    G().glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void DDrawGlReadDepth(uint32_t texture, int width, int height, float* depth) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    BindTarget(0, texture, width, height);
    G().glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
}

void DDrawGlWriteDepth(uint32_t texture, int width, int height, const float* depth) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
}

void DDrawGlClear(uint32_t color, uint32_t depth, int targetWidth, int targetHeight,
                  const RECT& rect, bool clearColor, const uint8_t rgba[4], bool clearDepth,
                  float depthValue) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    // The same framebuffer as drawing uses, so that the renderer need not switch targets.
    BindTarget(color, depth, targetWidth, targetHeight);
    const bool whole =
        rect.left <= 0 && rect.top <= 0 && rect.right >= targetWidth && rect.bottom >= targetHeight;
    if (!whole) {
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    }
    GLbitfield mask = 0;
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
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
    if (!whole) gl.glDisable(GL_SCISSOR_TEST);
    CheckErrors("clear");
}

void DDrawGlCopyColor(uint32_t source, const RECT& from, uint32_t destination, const RECT& to) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return;
    Gl& gl = G();
    // Framebuffer() may bind a new framebuffer to both slots: take both before binding.
    GLuint read = Framebuffer(source, 0), draw = Framebuffer(destination, 0);
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw);
    gl.glBlitFramebuffer(from.left, from.top, from.right, from.bottom, to.left, to.top, to.right,
                         to.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    CheckErrors("copy");
}

namespace {

// The buffer presents draw into (the only one of a single-buffered drawable, offscreen), as
// RGBA rows top first.
void ReadDrawable(int width, int height, std::vector<uint8_t>* rgba) {
    rgba->resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    Gl& gl = G();
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint buffer = GL_BACK;
    gl.glGetIntegerv(GL_DRAW_BUFFER, &buffer);
    gl.glReadBuffer(static_cast<GLenum>(buffer));
    gl.glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
    const size_t row = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(rgba->begin() + static_cast<std::ptrdiff_t>(y * row),
                         rgba->begin() + static_cast<std::ptrdiff_t>((y + 1) * row),
                         rgba->begin() + static_cast<std::ptrdiff_t>((height - 1 - y) * row));
    CheckErrors("read window");
}

} // namespace

bool DDrawGlPresent(HWND window, uint32_t color, int width, int height, const RECT& source,
                    bool vsync) {
    DDrawNearestRounding nearest;
    SDL_Window* sdl = window && Win32EnsureVideo() ? Win32SdlWindow(window) : nullptr;
    if (!sdl || !DDrawGlAcquire(window)) return false;
    Gl& gl = G();
    // The drawable's size now, not the window's: a mode change may still be on its way.
    int ww = 0, wh = 0;
    DrawableSize(sdl, &ww, &wh);
    const int sw = source.right - source.left, sh = source.bottom - source.top;
    if (ww <= 0 || wh <= 0 || sw <= 0 || sh <= 0 || source.left < 0 || source.top < 0 ||
        source.right > width || source.bottom > height)
        return false;
    const Letterbox box = Fit(ww, wh, sw, sh);
    GLuint from = Framebuffer(color, 0);
    gl.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.glViewport(0, 0, ww, wh);
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl.glClearColor(0, 0, 0, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    gl.glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    // Target rows run top-down; the window's run bottom-up. 1:1 pictures copy exactly.
    gl.glBlitFramebuffer(source.left, source.top, source.right, source.bottom, box.x,
                         box.y + box.height, box.x + box.width, box.y, GL_COLOR_BUFFER_BIT,
                         box.width == sw && box.height == sh ? GL_NEAREST : GL_LINEAR);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    CheckErrors("present");
    std::string shot;
    if (DDrawWindowShotDue(timeGetTime(), &shot)) {
        std::vector<uint8_t> rgba;
        ReadDrawable(ww, wh, &rgba);
        if (!DDrawWriteWindowShot(shot, ww, wh, rgba))
            fprintf(stderr, "window shot: cannot write %s\n", shot.c_str());
    }
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    SDL_GL_SwapWindow(sdl);
    return true;
}

bool DDrawGlReadWindow(HWND window, int* width, int* height, std::vector<uint8_t>* rgba) {
    DDrawNearestRounding nearest;
    SDL_Window* sdl = window && Win32EnsureVideo() ? Win32SdlWindow(window) : nullptr;
    if (!sdl || !DDrawGlAcquire(window)) return false;
    DrawableSize(sdl, width, height);
    if (*width <= 0 || *height <= 0) return false;
    ReadDrawable(*width, *height, rgba);
    return true;
}

bool DDrawGlDraw(const DDrawGlDrawState& s, D3DPRIMITIVETYPE type, const D3DTLVERTEX* vertices,
                 DWORD vertexCount, const WORD* indices, DWORD indexCount) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr) || !s.colorTarget) return false;
    Context& c = g_ctx;
    Gl& gl = G();
    BindTarget(s.colorTarget, s.depthTarget, s.targetWidth, s.targetHeight);
    if (!UseProgram(s)) return false;
    gl.glBindVertexArray(c.vao);
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, s.targetHasAlpha ? GL_TRUE : GL_FALSE);
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
    gl.glBindBuffer(GL_ARRAY_BUFFER, c.vbo);
    const GLsizeiptr stride = static_cast<GLsizeiptr>(sizeof(D3DTLVERTEX));
    if (indices) {
        // Only the vertices the indices reach go up: a draw over part of a large array costs
        // what it uses, not the whole array.
        WORD low = 0xFFFF, high = 0;
        for (DWORD i = 0; i < indexCount; ++i) {
            low = std::min(low, indices[i]);
            high = std::max(high, indices[i]);
        }
        Stream(GL_ARRAY_BUFFER, vertices + low, (static_cast<GLsizeiptr>(high) - low + 1) * stride);
        Stream(GL_ELEMENT_ARRAY_BUFFER, indices,
               static_cast<GLsizeiptr>(indexCount) * static_cast<GLsizeiptr>(sizeof(WORD)));
        gl.glDrawElementsBaseVertex(PrimitiveMode(type), static_cast<GLsizei>(indexCount),
                                    GL_UNSIGNED_SHORT, nullptr, -static_cast<GLint>(low));
    } else {
        Stream(GL_ARRAY_BUFFER, vertices, static_cast<GLsizeiptr>(vertexCount) * stride);
        gl.glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(vertexCount));
    }
    CheckErrors("draw");
    return true;
}

bool DDrawGlDrawRgba(uint32_t target, int targetWidth, int targetHeight, bool targetHasAlpha,
                     const uint8_t* rgba, int width, int height, int x, int y,
                     DDrawGlRgbaAlpha alpha) {
    DDrawNearestRounding nearest;
    if (!DDrawGlAcquire(nullptr)) return false;
    Context& c = g_ctx;
    Gl& gl = G();
    if (!c.scratch) gl.glGenTextures(1, &c.scratch);
    gl.glBindTexture(GL_TEXTURE_2D, c.scratch);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    DDrawGlDrawState s = {};
    s.colorTarget = target;
    s.targetWidth = targetWidth;
    s.targetHeight = targetHeight;
    s.targetHasAlpha = targetHasAlpha;
    s.gouraud = true;
    s.perspective = true;
    s.colorOp = s.alphaOp = D3DTOP_SELECTARG1;
    s.colorArg1 = s.alphaArg1 = D3DTA_TEXTURE;
    s.texture = c.scratch;
    s.colorKey = alpha == DDRAW_GL_ALPHA_IS_KEY;
    s.textureHasAlpha = alpha == DDRAW_GL_ALPHA_IS_ALPHA;
    s.address = D3DTADDRESS_CLAMP;
    s.magFilter = D3DTFG_POINT;
    s.minFilter = D3DTFN_POINT;
    s.mipFilter = D3DTFP_NONE;
    // Drawn 1:1 with edges half a pixel out, so that each pixel samples its own texel's centre.
    const float l = static_cast<float>(x) - 0.5f, t = static_cast<float>(y) - 0.5f;
    const float r = l + static_cast<float>(width), b = t + static_cast<float>(height);
    const D3DTLVERTEX quad[4] = {{l, t, 0, 1, 0xFFFFFFFF, 0xFF000000, 0, 0},
                                 {r, t, 0, 1, 0xFFFFFFFF, 0xFF000000, 1, 0},
                                 {l, b, 0, 1, 0xFFFFFFFF, 0xFF000000, 0, 1},
                                 {r, b, 0, 1, 0xFFFFFFFF, 0xFF000000, 1, 1}};
    return DDrawGlDraw(s, D3DPT_TRIANGLESTRIP, quad, 4, nullptr, 0);
}
