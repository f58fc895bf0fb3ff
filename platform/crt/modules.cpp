#include "platform/crt/modules.h"

#if defined(__SANITIZE_ADDRESS__)
#define MAROVANT_KEEP_MODULES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MAROVANT_KEEP_MODULES 1
#endif
#endif

#ifdef MAROVANT_KEEP_MODULES
// Overrides the C library's dlclose for every library of the process.
extern "C" int dlclose(void*) { return 0; }
#endif

void PlatformKeepLoadedModules() {}
