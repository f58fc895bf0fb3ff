// Keeps shared libraries loaded for the life of the process in sanitizer builds.
#pragma once

// Call once from main. In sanitizer builds, libraries that the graphics and sound stacks load
// at run time stay mapped until exit, so LeakSanitizer can name what they keep (and the
// suppressions file can match those names) instead of reporting unknown modules.
void PlatformKeepLoadedModules();
