// The installer state: the one process-wide record of the running engine: the definition as
// read (with the payload flags and the values derived while reading), the command line, and
// the values of the run that every other step reads and fills.
#pragma once

#include "core/String.h"
#include "payload/DefinitionState.h"
#include "runtime/CommandLine.h"

#include <cstdint>

namespace cs {

// Where this run puts things.
struct RunFolders {
    String installDir;   // where the files go
    String8 installDir8; // the same in the 8-bit path form, once the folder is fixed
    bool removableDrive = false;
    String sharedDir;       // the shared files folder
    String uninstallerPath; // the registered uninstaller program
};

// The installed copy of the same product that this run finds, and what the run makes of it.
struct ExistingInstallation {
    String folder;       // the installed copy's folder, when it exists
    String startMenu;    // its "ProductStartMenu"
    String sharedFiles;  // its "SharedFiles"
    String oldVersion;   // the version being overwritten; empty when none
    int installType = 0; // 0 new, 1 reinstall, 2 upgrade, 3 downgrade
};

// What the user (or the automatic answers) chose.
// The summary page's check boxes, acted on at the end of the run in this order.
struct SummaryChoices {
    bool openDocument = false;       // the definition's first document
    bool launchProduct = false;      // the product's main program
    bool showLog = false;            // "Install.log"
    bool openSecondDocument = false; // the definition's second document
};

struct RunChoices {
    String language;        // name of the chosen language
    String startMenuFolder; // chosen on the Start menu page
    bool allUsers = false;  // installing for all users
    bool portable = false;  // a portable installation
    SummaryChoices summary; // set by the summary page
};

// How the run is going and how it ends.
struct RunOutcome {
    String failureSummary;
    bool diskFull = false; // a failure reported a full disk
    // A file the uninstallation or the user depends on (the uninstaller program,
    // "Uninstall.dat", "Install.log") could not be put in place: the run has failed, whatever
    // else went well.
    bool fileNotWritten = false;
    bool installationBegun = false; // preparation has started changing the machine
    int status = 0;                 // the language string of the current status text
    int progress = 0;               // 0 to 100
    String progressText;            // what the progress line shows besides the status (a file's path)
};

struct InstallerState : DefinitionState {
    // The switches of the command line; silent mode is read from here alone.
    CommandLine commandLine;

    RunFolders folders;
    ExistingInstallation existing;
    RunChoices choices;
    RunOutcome outcome;
    uint64_t session = 0; // identifies this installation and its uninstallation

    bool Silent() const { return commandLine.silent; }
};

// The command line's part of the definition reader's inputs.
DefinitionInputs InputsOf(const CommandLine& commandLine);

// The process-wide record.
InstallerState& Installer();

struct EnginePayload;
// Windows engine. Inputs: the payload's plain definition, the command line, the installer
// variables' expander (for the default folder and the wizard caption; none leaves them).
// Outputs: the installer state. A violated rule ends the process through the
// corrupt-installer error.
void ReadDefinitionOrExit(EnginePayload& payload, const CommandLine& commandLine,
                          void (*expandVariables)(String&) = nullptr);

// Windows engine: switches the file-system redirection on again when the definition reader
// switched it off for a 64-bit product (32-bit engine); otherwise nothing.
void RestoreFileSystemRedirection();
// Windows engine: switches the file-system redirection off for a 64-bit product's run (the
// 32-bit engine under WoW64; the 64-bit engine has none, which counts as done). False when
// the system refused.
bool DisableFileSystemRedirection();
// Windows engine: what the 64-bit engine must do itself for a 32-bit product, which the
// 32-bit engine gets from the system's redirection: the 32-bit system folder, where the
// product's paths below the system folder lead (RedirectedPath, core/Folders.h); "" when its
// paths lead where they say (the 32-bit engine, a 64-bit product).
String ProductSystemFolder32();
// Windows engine: the 32-bit system folder when a 32-bit product runs on 64-bit Windows,
// whichever engine runs it; "" otherwise (a 64-bit product, 32-bit Windows).
String Product32BitSystemFolder();

} // namespace cs
