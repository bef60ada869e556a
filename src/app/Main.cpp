// The engine's entry point: prepare the process, read the command line, then uninstall
// or install.
#include "app/Startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace cs;
    PrepareProcess();
    CommandLine commandLine = ReadCommandLineOrExit();
    if (commandLine.uninstall) ExitInstaller(0);
    ExitInstaller(0);
}
