// The installer state: the one process-wide record that holds the command-line results,
// the payload flags, the definition and the values derived from it while it is read, and
// the values of the run that every other step reads and fills.
#pragma once

#include "app/CommandLine.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>

namespace cs {

struct InstallerState {
    // Inputs of the definition reader.
    CommandLine commandLine;
    uint32_t payloadFlags = 0;

    // The definition, with the defaults of its fields applied as they were read.
    Definition definition;

    // Derived while reading.
    bool automatic = false;             // command line and the definition's automatic-mode byte
    bool derivedFlag = false;           // option word 2 bit 0x100
    String8 productVersion8;            // the product version in the system's ANSI code page
    bool monoColor = false;             // TopColor equals BottomColor
    String desktopFolderPath;           // the desktop joined with the desktop folder name
    String8 desktopFolderPath8;         // the same in the 8-bit path form
    String8 batchCommands[kBatchCount]; // code page 1252, with the /b1 /b2 /b3 additions
    bool redirectionFailed = false;     // switching off file-system redirection failed
    int currentLanguage = 0;            // starts as the default language

    // Values of the run.
    String failureSummary;
    bool diskFull = false;  // a failure reported a full disk
    String installDir;      // where the files go
    String8 installDir8;    // the same in the 8-bit path form, once the folder is fixed
    bool removableDrive = false;
    String existingFolder;  // the installed copy's folder, when it exists
    String installedStartMenu;   // the installed copy's "ProductStartMenu"
    String installedSharedFiles; // the installed copy's "SharedFiles"
    bool installationBegun = false; // preparation has started changing the machine
    int status = 0;                 // the language string of the current status text
    int progress = 0;               // 0 to 100
    String sharedDir;       // the shared files folder
    String uninstallerPath; // the registered uninstaller program
    String oldVersion;      // the version being overwritten; empty when none
    int installType = 0;    // 0 new, 1 reinstall, 2 upgrade, 3 downgrade
    String language;        // name of the chosen language
    String startMenuFolder; // chosen on the Start menu page
    bool allUsers = false;  // installing for all users
    bool portable = false;  // a portable installation
    uint64_t session = 0;   // identifies this installation and its uninstallation

    bool Silent() const { return commandLine.silent; }
    // Language string `number` in the current language; empty when out of range.
    const String& LanguageString(int number) const;
};

// The process-wide record.
InstallerState& Installer();

struct EnginePayload;
// Windows engine. Inputs: the payload's plain definition, the command line, the installer
// variables' expander (for the default folder and the wizard caption; none leaves them).
// Outputs: the installer state. A violated rule ends the process through the
// corrupt-installer error.
void ReadDefinitionOrExit(EnginePayload& payload, const CommandLine& commandLine,
                          void (*expandVariables)(String&) = nullptr);

} // namespace cs
