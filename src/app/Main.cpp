// The engine's entry point: prepare the process, read the command line, then uninstall
// or install.
#include "app/Refusals.h"
#include "app/Sequence.h"
#include "app/Startup.h"
#include "log/LogWin32.h"
#include "payload/Extraction.h"
#include "payload/InstallerState.h"
#include "payload/Payload.h"
#include "uninstall/DeletionWin32.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace cs;
    PrepareProcess();
    CommandLine commandLine = ReadCommandLineOrExit();
    if (commandLine.uninstall) ExitInstaller(0);
    StartLog();
    ConnectLogToCorruptInstallerError();
    EnginePayload& payload = ReadPayloadOrExit();
    // The definition reader tests the checksum after its first fields.
    ReadDefinitionOrExit(payload, commandLine, ExpandInstallerVariables);
    const Definition& definition = Installer().definition;
    CheckEngineOrExit(payload, definition.pages.integrityMode, definition.externalData == 1);
    RunRefusalsOrExit();
    HandleExistingInstallationOrExit();
    ExtractionSteps extraction;
    extraction.runDeletionList = [] { RunConditionalDeletions(true); };
    extraction.deleteAtRestart = ScheduleDeletionAtRestart;
    ExtractOrExit(payload, definition.optionWord1, definition.externalData == 1, extraction);
    DeleteExtractionFile();
    EndInstallation(FinalExitCode(definition.optionWord1, Installer().diskFull));
}
