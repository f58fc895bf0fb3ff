#include "tests/support/null_device.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

NullDevice g_device;
TvDeviceControlFn g_driverControl;
bool g_installed;

template <int N> int32_t Standard(void*, void*, int32_t) {
    g_device.standardCalls.push_back(N);
    return g_device.refusedStandard.count(N) ? 0 : 1;
}

template <int... N> constexpr auto MakeTable(std::integer_sequence<int, N...>) {
    return std::array<TvStandardFn, sizeof...(N)>{Standard<N>...};
}
const auto kStandard = MakeTable(std::make_integer_sequence<int, kTvNumStandardFunctions>());

} // namespace

NullDevice& NullDeviceGet() {
    return g_device;
}

void NullDeviceInstall() {
    g_device = NullDevice{};
    TvDeviceRecord* record = TvD3DGetDeviceRecord();
    if (!g_installed) g_driverControl = record->deviceControl;
    record->deviceControl = NullDeviceControl;
    g_installed = true;
}

void NullDeviceRemove() {
    if (!g_installed) return;
    TvD3DGetDeviceRecord()->deviceControl = g_driverControl;
    g_installed = false;
}

int32_t NullDeviceControl(int32_t request, void* out, void* in, int32_t number) {
    NullDevice& d = g_device;
    d.requests.push_back(request);
    if (d.refused.count(request)) return 0;
    switch (request) {
    case TV_DEVICE_OPEN: d.openParameter = in; return 1;
    case TV_DEVICE_CLOSE:
    case TV_DEVICE_START:
    case TV_DEVICE_STOP: return 1;
    case TV_DEVICE_GET_ENGINE_DATA: {
        TvDeviceRecord record{};
        record.gamma = d.gamma;
        record.deviceControl = NullDeviceControl;
        record.zFar = 0.9999f;
        *static_cast<TvDeviceRecord*>(out) = record;
        return 1;
    }
    case TV_DEVICE_GET_NUM_VIDEO_MODES:
        *static_cast<int32_t*>(out) = int32_t(d.modes.size());
        return 1;
    case TV_DEVICE_GET_VIDEO_MODE_INFO:
        if (number < 0 || size_t(number) >= d.modes.size()) return 0;
        *static_cast<TvVideoMode*>(out) = d.modes[size_t(number)];
        return 1;
    case TV_DEVICE_SET_VIDEO_MODE:
        if (number < 0 || size_t(number) >= d.modes.size()) return 0;
        d.currentMode = number;
        return 1;
    case TV_DEVICE_GET_CURRENT_VIDEO_MODE: *static_cast<int32_t*>(out) = d.currentMode; return 1;
    case TV_DEVICE_GET_STANDARD_FUNCTIONS: {
        auto* table = static_cast<TvStandardFn*>(out);
        for (int32_t i = 0; i < number && i < kTvNumStandardFunctions; i++)
            table[i] = kStandard[i];
        return 1;
    }
    case TV_DEVICE_FOCUS:
    case TV_DEVICE_BUILD_IM3D_PIPE: return 1;
    case TV_DEVICE_GET_FREE_TEXTURE_MEMORY:
    case TV_DEVICE_GET_MAX_TEXTURE_SIZE:
        if (out) *static_cast<uint32_t*>(out) = request == TV_DEVICE_GET_MAX_TEXTURE_SIZE ? 256 : 0;
        return 1;
    default: return 0; // sub-system requests, 17 and 18: the engine's defaults apply
    }
}

NullEngine::NullEngine(const TvMemoryFunctions* memory, bool start, bool (*attach)()) {
    NullDeviceInstall();
    initialised_ = TvEngineInit(memory);
    opened_ = initialised_ && (!attach || attach()) && TvEngineOpen(nullptr);
    started_ = start && opened_ && TvEngineStart();
    ok_ = start ? started_ : opened_;
}

NullEngine::~NullEngine() {
    if (started_) TvEngineStop();
    if (opened_) TvEngineClose();
    if (initialised_) TvEngineTerm();
    NullDeviceRemove();
}
