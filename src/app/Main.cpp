// The engine's entry point: prepare the process, read the command line, then uninstall or
// install, phase by phase.
#include "actions/FileInstallationWin32.h"
#include "app/Notification.h"
#include "app/Refusals.h"
#include "app/Sequence.h"
#include "app/Startup.h"
#include "app/Uninstaller.h"
#include "core/Format.h"
#include "core/ModulePathWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/Exit.h"
#include "runtime/Extraction.h"
#include "runtime/InstallerState.h"
#include "runtime/Payload.h"
#include "runtime/RunTempFiles.h"
#include "uninstall/DeletionWin32.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace {

using namespace cs;

// The log and the background requests take part in every end of the run, the corrupt
// installer's among them (it writes the log before its message).
void ConnectExitSteps() {
    StartLog();
    SetLogTextExpander(ExpandInstallerPlaceholders);
    SetLogFailureNotifier(RequestFailureNotification);
    AddExitStep([] { FinishInstallLog(false); }, ExitStepKind::Record);
    AddExitStep(WaitForNotifications, ExitStepKind::Wait);
}

// What a killed run left in the temporary folder goes now that the log can say so.
void RemoveLeftoversOfKilledRuns() {
    int removed = RemoveLeftoverRunTempFiles();
    if (removed > 0)
        LogTextWide(Format(u"Removed %d temporary files left by an interrupted run.\r\n", removed));
}

void ExtractFiles(EnginePayload& payload) {
    const Definition& definition = Installer().definition;
    ExtractionSteps extraction;
    extraction.runDeletionList = [] { RunConditionalDeletions(true); };
    extraction.deleteAtRestart = ScheduleDeletionAtRestart;
    ExtractOrExit(payload, definition.optionWord1, definition.externalData == 1, extraction);
}

// The uninstaller's run: on success the uninstall notification and the self-removal batch,
// then the process ends with the uninstaller's result.
[[noreturn]] void UninstallAndExit(const CommandLine& commandLine) {
    AddExitStep(WaitForNotifications, ExitStepKind::Wait);
    int code = Uninstall(commandLine.uninstallProduct);
    if (code == 0) {
        RequestNotification(Installer().definition.links[kLinkNotifyUrl]);
        // Only the uninstaller inside the installation folder removes itself: the engine
        // started from anywhere else (the installer itself, a copy of the user's) stays.
        String own = Installer().folders.installDir + u"\\";
        if (StartsWithNoCase(ModuleFullPath(), own.c_str())) StartSelfRemoval();
    }
    ExitInstaller(code);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a library: a planted copy beside an installer in a downloads
    // folder, or beside the installed uninstaller, must never be found.
    RestrictLibrarySearch();
    PrepareProcess();
    LoadNetworkingLibraries();
    CommandLine commandLine = ReadCommandLineOrExit();
    if (commandLine.uninstall) UninstallAndExit(commandLine);
    ConnectExitSteps();
    RemoveLeftoversOfKilledRuns();

    EnginePayload& payload = ReadPayloadOrExit();
    // The definition reader tests the checksum after its first fields.
    ReadDefinitionOrExit(payload, commandLine, ExpandInstallerVariables);
    const Definition& definition = Installer().definition;
    Installer().session = DrawSessionNumber();
    RequestNotification(definition.links[kLinkInstallUrl]);
    CheckEngineOrExit(payload, definition.pages.integrityMode, definition.externalData == 1);

    ChooseLanguage();
    RunRefusalsOrExit();
    FindExistingInstallation();
    PlayStartSound();
    ShowGreetingOrCancel();
    CheckPasswordOrCancel();
    RunClosingPass();
    SettleExistingInstallationOrExit();
    ChooseInstallFolderOrExit();
    PrepareInstallation();
    ExtractFiles(payload);
    InstallFiles(payload);
    RunInstallationActions();
    DeleteExtractionFile();
    const RunOutcome& outcome = Installer().outcome;
    EndInstallation(FinalExitCode(definition.optionWord1, outcome.diskFull, outcome.fileNotWritten));
}
