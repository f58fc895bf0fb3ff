// Process entry: hands the command line to the game's entry point.
#include "platform/crt/modules.h"
#include "platform/win32/win32.h"
#include "shell/window.h"

#include <string>

int main(int argc, char** argv) {
    PlatformKeepLoadedModules();
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    PlatformSetCommandLine(commandLine.c_str());
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
