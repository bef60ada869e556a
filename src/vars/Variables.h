// Installer variables: "%Name%" references in definition texts, the notification-URL
// expander and the wizard-text placeholders. Every rule here is a pure function of its
// inputs; the Windows build fills VariableInputs from the installer state and the system.
#pragma once

#include "core/Array.h"
#include "core/Folders.h"
#include "core/OsInfo.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>
#include <functional>

namespace cs {

// Everything the variable values are computed from.
struct VariableInputs {
    String installDir;
    String sharedDir;
    String uninstallSubdir; // relative to installDir; may be empty
    String uninstallerPath;
    String productName;
    String companyName;
    String productVersion;
    String8 productVersion8;
    String oldVersion;
    String language;
    String startMenuFolder;  // chosen on the Start menu page
    String desktopSubfolder; // the definition's desktop folder; empty: the desktop itself
    bool automatic = false;
    bool allUsers = false;
    bool package64 = false;
    bool portable = false;
    int installType = 0; // 0 new, 1 reinstall, 2 upgrade, 3 downgrade
    bool installDirOnRemoteDrive = false;

    String installerPath; // the running program; empty when longer than 1,024 characters
    String windowsDir;
    char16_t bootDriveLetter = u'C';
    OsRecord os;
    OsNameFacts osFacts;
    std::function<String(FolderId)> folder; // a special folder by id
};

struct Variable {
    const char16_t* name;
    bool caseSensitive;
    String value;
};

constexpr int kVariableCount = 61;
constexpr size_t kEnvironmentExpansionMaxChars = 31999;

// The 61 variables with their values, in substitution order.
Array<Variable> VariableTable(const VariableInputs& in);

// Expands environment references ("%PATH%"); false when the system call fails.
using EnvironmentExpander = std::function<bool(const String& text, String& out)>;

// Replaces the variables in place, row by row in table order, then lets the environment
// expander handle the rest (cut at 31,999 characters). Unknown names and "%%" stay.
void ExpandVariables(String& text, const VariableInputs& in, const EnvironmentExpander& environment);

// Replaces every occurrence of name (ignoring case unless caseSensitive); the inserted value
// is never searched again by the same call.
void ReplaceAll(String& text, const String& name, const String& value, bool caseSensitive);

// "%VersionMajor%" and its neighbours: the number at the start of the text, after the first
// "." or after the second ".".
int VersionNumber(const String8& version, int index);
// The old version split at "."; empty pieces dropped.
Array<String> VersionPieces(const String& version);
// "%OS%": the operating system code.
int OsCode(const OsRecord& os, const OsNameFacts& facts);

// Percent-encodes the bytes a URL cannot carry as they are.
String8 PercentEncode(const String8& text);

struct NotificationInputs {
    uint64_t session = 0;
    OsRecord os;
    OsNameFacts osFacts;
};
void ExpandNotificationUrl(String8& url, const String8& productVersion8, const NotificationInputs& in);

// The session number: 8 bytes from the system's random source with the top bit cleared.
uint64_t SessionNumberFromBytes(const uint8_t bytes[8]);

struct PlaceholderInputs {
    String productName;
    String description;
    String windowsDir;
    BuildDate buildDate;
    std::function<String(const BuildDate&)> formatDate; // the user's default date format
};
void ExpandWizardPlaceholders(String& text, const PlaceholderInputs& in);

} // namespace cs
