// Pure decisions of the installation sequence between the refusals and the installation
// actions: the existing installation's kind, the installation folder's sources, the shared
// folder and the preparation batches. SequenceWin32 asks the system and acts on them.
#pragma once

#include "core/Folders.h"
#include "core/String.h"

#include <cstdint>
#include <vector>

namespace cs {

constexpr int kStringUpgradeQuestion = 7;
constexpr int kStringUpgradeTitle = 2;
constexpr int kStringContinueButton = 90;
constexpr int kStringCancelButton = 49;
constexpr int kStringUpgradeAskAgain = 72;
constexpr int kStringUpgradeAskAgainTitle = 20;
constexpr int kStringCancelled = 98;
constexpr int kStringCancelledDuringInstall = 101;
constexpr int kStringCancelledTitle = 111;

// The install type of an existing installation: 1 same version (or no comparison), 2 an older
// version is installed (upgrade), 3 a newer one is installed (downgrade). Versions are compared
// only when the definition asks for it and neither is blank.
struct UpgradeKind {
    int kind = 1;
    int statusString = 3; // 3 without a comparison, else 4, 5 or 6
};
UpgradeKind DecideUpgradeKind(bool compareVersions, const String& installedVersion, const String& thisVersion);

// The upgrade question: the kind's text, the existing folder, then language string 7.
String UpgradeQuestionText(const String& kindText, const String& existingFolder, const String& questionText);

// The second question before an upgrade is skipped when the installed version is at or above
// the lowest version that is upgraded without asking.
bool AskBeforeUpgrade(bool optionSet, const String& installedVersion, const String& upgradeWithoutAskingFrom);

// A registry reference: "HKLM\" or "HKCU\", a key path, then the value's name after the last
// backslash ("HKLM\Software\Vendor\Product\InstallPath").
struct RegistryReference {
    RegistryRoot root = RegistryRoot::LocalMachine;
    String key, value;
};
bool IsRegistryReference(const String& text);
// False when the text is not a reference or names no value.
bool ParseRegistryReference(const String& text, RegistryReference& out);

// Where the installation goes when neither an existing installation nor the main product
// chose a folder: the /d: folder, else the definition's default folder.
String DefaultInstallFolder(const String& commandLineFolder, const String& definitionFolder);

// The messages that end a run whose folder comes from the registry (exit code 7).
String RegistryPathMissingMessage(const String& reference);
String RegistryPathNotFoundMessage(const String& path, const String& reference);

// The shared folder: with no subfolder of the installation folder given (or on a removable
// drive) the base chosen by the definition joined with the shared folder name; otherwise
// the installation folder joined with that subfolder.
struct SharedFolderInputs {
    uint8_t base = 0;      // 1 the system folder, 2 and 3 the 32- and 64-bit Common Files
    bool product64 = false; // other bases: the Common Files of the product's bitness
    String systemFolder, commonFiles32, commonFiles64;
    String sharedName;      // the shared folder name
    String subfolder;       // the subfolder of the installation folder
    String installDir;
    bool removableDrive = false;
};
String SharedFolderPath(const SharedFolderInputs& in);

// The batches before extraction, in their order, each with its log label (empty: output not
// captured) and whether its window is hidden.
struct PlannedBatch {
    int index = 0; // a BatchIndex
    String label;
    bool hide = false;
};
struct BatchPlanInputs {
    uint32_t payloadFlags = 0, optionWord1 = 0, optionWord2 = 0;
    bool existingInstallation = false;
    int upgradeKind = 0; // 0 new installation
};
std::vector<PlannedBatch> PreparationBatches(const BatchPlanInputs& in);

// The end-of-run notification: the upgrade URL for an upgrade, the downgrade URL for a
// downgrade, the reinstall URL for a reinstallation and the new-installation URL otherwise.
int EndOfRunUrlIndex(int installType);

// The restore point's description: the product name and its version, cut to what the system
// takes (255 characters).
String RestorePointDescription(const String& productName, const String& version);

} // namespace cs
