#include "tests/support/engine_checks.h"

#include <algorithm>

#include "engine/core/error.h"
#include "tests/support/null_device.h"

uint32_t LastErrorCode() {
    TvErrorRecord err{};
    TvErrorGet(&err);
    return err.errorCode;
}

int StandardCallCount(int32_t index) {
    const auto& calls = NullDeviceGet().standardCalls;
    return int(std::count(calls.begin(), calls.end(), index));
}
