#include "platform/com/com.h"

namespace {
thread_local int g_initCount = 0;
}

HRESULT CoInitialize(void*) {
    return g_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (g_initCount > 0) --g_initCount;
}
