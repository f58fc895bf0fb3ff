// The engine instance: the one global state record of the render engine, its module table, the
// device-control wrapper and the engine API (init/term, open/close, start/stop).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/core/memory.h"
#include "engine/core/plugin.h"

struct TvCamera;
struct TvIm2DVertex;

// Driver entry points: the device-control function and the standard functions both answer 1 on
// success and 0 on failure.
using TvDeviceControlFn = int32_t (*)(int32_t request, void* out, void* in, int32_t number);
using TvStandardFn = int32_t (*)(void* out, void* in, int32_t number);

using TvRenderStateSetFn = int32_t (*)(int32_t state, intptr_t value);
using TvRenderStateGetFn = int32_t (*)(int32_t state, void* out);
using TvIm2DLineFn = int32_t (*)(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2);
using TvIm2DTriangleFn = int32_t (*)(TvIm2DVertex* vertices, int32_t count, int32_t i1, int32_t i2,
                                     int32_t i3);
using TvIm2DPrimitiveFn = int32_t (*)(int32_t type, TvIm2DVertex* vertices, int32_t count);
using TvIm2DIndexedPrimitiveFn = int32_t (*)(int32_t type, TvIm2DVertex* vertices, int32_t count,
                                             uint16_t* indices, int32_t indexCount);
using TvIm3DLineFn = int32_t (*)(int32_t i1, int32_t i2);
using TvIm3DTriangleFn = int32_t (*)(int32_t i1, int32_t i2, int32_t i3);
using TvIm3DPrimitiveFn = int32_t (*)(int32_t type);
using TvIm3DIndexedPrimitiveFn = int32_t (*)(int32_t type, uint16_t* indices, int32_t indexCount);

// What the driver offers the engine; request 4 copies it into the instance.
struct TvDeviceRecord {
    float gamma;
    TvDeviceControlFn deviceControl;
    float zNear;
    float zFar;
    TvRenderStateSetFn renderStateSet;
    TvRenderStateGetFn renderStateGet;
    TvIm2DLineFn im2DLine;
    TvIm2DTriangleFn im2DTriangle;
    TvIm2DPrimitiveFn im2DPrimitive;
    TvIm2DIndexedPrimitiveFn im2DIndexedPrimitive;
    TvIm3DLineFn im3DLine;
    TvIm3DTriangleFn im3DTriangle;
    TvIm3DPrimitiveFn im3DPrimitive;
    TvIm3DIndexedPrimitiveFn im3DIndexedPrimitive;
};

// Device requests.
enum TvDeviceRequest : int32_t {
    TV_DEVICE_OPEN = 0,
    TV_DEVICE_CLOSE = 1,
    TV_DEVICE_START = 2,
    TV_DEVICE_STOP = 3,
    TV_DEVICE_GET_ENGINE_DATA = 4,
    TV_DEVICE_GET_NUM_VIDEO_MODES = 5,
    TV_DEVICE_GET_VIDEO_MODE_INFO = 6,
    TV_DEVICE_SET_VIDEO_MODE = 7,
    TV_DEVICE_FOCUS = 8,
    TV_DEVICE_BUILD_IM3D_PIPE = 9,
    TV_DEVICE_GET_CURRENT_VIDEO_MODE = 10,
    TV_DEVICE_GET_STANDARD_FUNCTIONS = 11,
    TV_DEVICE_GET_FREE_TEXTURE_MEMORY = 12,
    TV_DEVICE_GET_NUM_SUBSYSTEMS = 13,
    TV_DEVICE_GET_SUBSYSTEM_INFO = 14,
    TV_DEVICE_GET_CURRENT_SUBSYSTEM = 15,
    TV_DEVICE_SET_SUBSYSTEM = 16,
    TV_DEVICE_FINALIZE_START = 17,
    TV_DEVICE_INITIATE_STOP = 18,
    TV_DEVICE_GET_MAX_TEXTURE_SIZE = 19,
};

inline constexpr int32_t kTvNumStandardFunctions = 29;

struct TvSubSystemInfo {
    char name[80];
};

// Flags bit 0: full-screen exclusive mode; clear: windowed on the desktop.
struct TvVideoMode {
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t flags;
};

// Doubly linked list link (the dirty-frame list head is one).
struct TvLink {
    TvLink* next;
    TvLink* prev;
};

// File interface: every engine file access goes through these slots.
struct TvFileInterface {
    bool (*exists)(const char* name);
    void* (*open)(const char* name, const char* mode);
    int32_t (*close)(void* handle);
    size_t (*read)(void* buffer, size_t size, size_t count, void* handle);
    size_t (*write)(const void* buffer, size_t size, size_t count, void* handle);
    char* (*readLine)(char* buffer, int32_t capacity, void* handle);
    int32_t (*writeString)(const char* string, void* handle);
    int32_t (*atEnd)(void* handle);
    int32_t (*seek)(void* handle, long offset, int32_t origin);
    int32_t (*flush)(void* handle);
    long (*length)(void* handle);
};

// String interface: the engine's string operations.
struct TvStringInterface {
    int (*format)(char* buffer, const char* format, ...);
    int (*formatList)(char* buffer, const char* format, va_list args);
    char* (*copy)(char* dest, const char* src);
    char* (*copyN)(char* dest, const char* src, size_t n);
    char* (*append)(char* dest, const char* src);
    char* (*appendN)(char* dest, const char* src, size_t n);
    char* (*findLastChar)(const char* string, int c);
    char* (*findChar)(const char* string, int c);
    char* (*findString)(const char* string, const char* sub);
    int (*compare)(const char* a, const char* b);
    int (*compareNoCase)(const char* a, const char* b);
    size_t (*length)(const char* string);
    char* (*toUpper)(char* string);
    char* (*toLower)(char* string);
    char* (*tokenize)(char* string, const char* delimiters);
    int (*scan)(const char* string, const char* format, ...);
};

// The fixed part of the engine instance; module and plug-in data follow it at the offsets that
// registration on the engine registry gave them.
struct TvEngineInstance {
    TvCamera* curCamera;
    void* worldLibrary;
    TvDeviceRecord deviceRecord;
    TvStandardFn standardFunctions[kTvNumStandardFunctions];
    TvLink dirtyFrameList;
    TvFileInterface fileFuncs;
    TvStringInterface stringFuncs;
    TvMemoryFunctions memoryFuncs;
};

// The current instance: the static default until TvEngineOpen allocates one.
extern TvEngineInstance* TvEngineInstancePtr;
#define TV_ENGINE (TvEngineInstancePtr)

// Module open and close: (instance, offset of the module's data, size) -> instance or null. They
// are the constructor and destructor of the module's entry on the engine registry.
using TvModuleOpenFn = void* (*)(void* instance, int32_t offset, int32_t size);
using TvModuleCloseFn = void* (*)(void* instance, int32_t offset, int32_t size);

// Per-module globals: where the module's data sits in the instance and how often it is open.
struct TvModuleGlobals {
    int32_t offset;
    int32_t numInstances;
};

// Bookkeeping of a module's open and close; both return the instance.
inline void* TvModuleOpened(TvModuleGlobals& module, void* instance, int32_t offset) {
    module.offset = offset;
    module.numInstances++;
    return instance;
}
inline void* TvModuleClosed(TvModuleGlobals& module, void* instance) {
    module.numInstances--;
    return instance;
}
inline bool TvModuleIsOpen(const TvModuleGlobals& module) {
    return module.numInstances > 0;
}

// The module's data in the current instance.
template <typename T> inline T* TvEngineModuleData(const TvModuleGlobals& module) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(TvEngineInstancePtr) + module.offset);
}
inline void* TvEngineInstanceData(void* instance, int32_t offset) {
    return static_cast<uint8_t*>(instance) + offset;
}

// Driver-hook table: functions the core calls on the driver side without knowing it.
struct TvDriverHooks {
    bool (*attach)();                         // registers the driver immediate 3-D module
    void (*cameraBeginUpdate)(TvCamera* cam); // per-camera hook of camera begin update
    void (*renderStateObserve)(int32_t state, intptr_t value);
    void* (*pipeComplete)(void* pipe); // completes a newly created immediate 3-D pipe
};

// Provided by the driver side.
TvDeviceRecord* TvD3DGetDeviceRecord();
const TvDriverHooks* TvD3DGetDriverHooks();

// Engine registry (modules and engine plug-ins).
extern TvPluginRegistry TvEngineRegistry;

bool TvEngineInit(const TvMemoryFunctions* memoryFuncs);
bool TvEngineOpen(void* deviceParameter);
bool TvEngineStart();
bool TvEngineStop();
bool TvEngineClose();
bool TvEngineTerm();
int32_t TvEngineGetOpenCount();

int32_t TvEngineRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor);

// Calls the device-control function of `record`; refused requests take the engine's defaults.
int32_t TvEngineDeviceControl(TvDeviceRecord* record, int32_t request, void* out, void* in,
                              int32_t number);

int32_t TvEngineGetNumSubSystems();
TvSubSystemInfo* TvEngineGetSubSystemInfo(TvSubSystemInfo* info, int32_t index);
bool TvEngineSetSubSystem(int32_t index);
int32_t TvEngineGetNumVideoModes();
TvVideoMode* TvEngineGetVideoModeInfo(TvVideoMode* info, int32_t index);
bool TvEngineSetVideoMode(int32_t index);

// Forwarders to the driver-hook table for the camera and immediate 3-D modules.
void TvEngineDriverCameraHook(TvCamera* camera);
void* TvEngineDriverPipeHook(void* pipe);
