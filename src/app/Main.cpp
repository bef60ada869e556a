// The engine's entry point: prepare the process, read the command line, then uninstall
// or install.
#include "app/Startup.h"
#include "payload/Payload.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace cs;
    PrepareProcess();
    CommandLine commandLine = ReadCommandLineOrExit();
    if (commandLine.uninstall) ExitInstaller(0);
    EnginePayload& payload = ReadPayloadOrExit();
    // Until the definition reader takes over (it tests the checksum after its first
    // fields and gives the integrity mode), the whole plain definition is tested here.
    CheckDefinitionChecksumOrExit(payload, payload.info.definition);
    CheckEngineOrExit(payload, 0);
    ExitInstaller(0);
}
