// Loads arbitrary bytes as an input recording and, when they load, asks the replay for every
// kind of answer in turn, the session service's included, until it ends; every read must stay
// inside the recording.
#include "platform/dplay/dplay.h"
#include "platform/win32/inputlog.h"

#include <cstdint>

namespace {
int Count(const DPSESSIONDESC2* desc, uint32_t*, uint32_t, void* context) {
    if (desc && desc->lpszSessionNameA) ++*static_cast<int*>(context);
    return 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!PlatformStartInputReplayFromMemory(data, size)) return 0;
    void* object = nullptr;
    DirectPlayCoCreateInstance(CLSID_DirectPlay, nullptr, 1, IID_IDirectPlay4A, &object);
    auto* dp = static_cast<IDirectPlay*>(object);
    uint8_t state[80], received[64];
    inputlog::Datum records[8];
    MSG msg;
    for (unsigned call = 0; PlatformInputLogState() == kPlatformInputReplaying; ++call) {
        switch (call % 8) {
        case 0: inputlog::ReplayMessage(&msg, true); break;
        case 1: inputlog::ReplayState(sizeof state, state); break;
        case 2: {
            DWORD count = 0;
            inputlog::ReplayData(records, 8, &count);
            if (count > 8) __builtin_trap();
            break;
        }
        case 3: inputlog::ReplayResult(inputlog::kPoll); break;
        case 4: {
            DPID from, to;
            uint32_t n = sizeof received;
            if (dp) dp->Receive(&from, &to, DPRECEIVE_ALL, received, &n);
            break;
        }
        case 5: {
            DPSESSIONDESC2 desc = {};
            int sessions = 0;
            if (dp) dp->EnumSessions(&desc, 0, Count, &sessions, 0);
            break;
        }
        case 6: {
            DPID id;
            if (dp) dp->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0);
            break;
        }
        default: inputlog::ReplayMessage(&msg, false); break;
        }
    }
    if (dp) dp->Release();
    PlatformStopInputLog();
    return 0;
}
