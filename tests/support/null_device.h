// A recording null device for engine tests: it stands in for the driver's device-control
// function and standard functions, records every request and call, and can refuse any of them.
// Sub-system requests (13-16) and 17/18 are refused by default, as a driver with one rendering
// sub-system does, so the engine's wrapper defaults apply.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "engine/core/engine.h"

struct NullDevice {
    std::vector<int32_t> requests;      // every device request, in order
    std::set<int32_t> refused;          // requests answered with 0
    std::vector<int32_t> standardCalls; // indexes of standard functions called, in order
    std::set<int32_t> refusedStandard;  // standard functions answered with 0
    std::vector<TvVideoMode> modes = {{640, 480, 16, 1}, {800, 600, 16, 1}, {1024, 768, 16, 1}};
    int32_t currentMode = 0;
    void* openParameter = nullptr;
    float gamma = 1.0f;
};

// The device of the current test; Install resets it and puts its device-control function into
// the driver's device record, Remove restores the driver's own.
NullDevice& NullDeviceGet();
void NullDeviceInstall();
void NullDeviceRemove();
int32_t NullDeviceControl(int32_t request, void* out, void* in, int32_t number);

// Brings the engine up on the null device (init, open, start) and down again. Tests that need a
// running engine hold one of these; memory functions may be given for init.
class NullEngine {
public:
    // `attach` runs between init and open (plug-in attach functions); false fails the bring-up.
    explicit NullEngine(const TvMemoryFunctions* memory = nullptr, bool start = true,
                        bool (*attach)() = nullptr);
    ~NullEngine();
    NullEngine(const NullEngine&) = delete;
    NullEngine& operator=(const NullEngine&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool started_ = false;
    bool opened_ = false;
    bool initialised_ = false;
};
