// Loads arbitrary bytes as an input recording and, when they load, asks the replay for every
// kind of answer in turn until it ends; every read must stay inside the recording.
#include "platform/win32/inputlog.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!PlatformStartInputReplayFromMemory(data, size)) return 0;
    uint8_t state[80];
    inputlog::Datum records[8];
    MSG msg;
    for (unsigned call = 0; PlatformInputLogState() == kPlatformInputReplaying; ++call) {
        switch (call % 5) {
        case 0: inputlog::ReplayMessage(&msg, true); break;
        case 1: inputlog::ReplayState(sizeof state, state); break;
        case 2: {
            DWORD count = 0;
            inputlog::ReplayData(records, 8, &count);
            if (count > 8) __builtin_trap();
            break;
        }
        case 3: inputlog::ReplayResult(inputlog::kPoll); break;
        default: inputlog::ReplayMessage(&msg, false); break;
        }
    }
    PlatformStopInputLog();
    return 0;
}
