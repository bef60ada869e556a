// The product's uninstall entry: the ordered list of values written under
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + uninstall name, built from the
// installer state. The list is portable (tested natively); UninstallRegistrationWin32.cpp
// writes it. docs/uninstall-registration.md describes every value.
#pragma once

#include "actions/FileInstallation.h"
#include "actions/RegistryRules.h"
#include "core/Array.h"
#include "core/String.h"
#include "runtime/InstallerState.h"

#include <cstdint>
#include <functional>

namespace cs {

constexpr const char16_t kUninstallKeyRoot[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr int kCodeBadUninstallValueKind = 200; // corrupt-installer code
constexpr uint32_t kFlagSidePanelColors = 0x10000000;
constexpr uint32_t kErrorInvalidHandle = 6; // a value for a key that could not be opened

enum class UninstallValueKind {
    Text,           // REG_SZ, UTF-16
    AnsiText,       // REG_SZ through the system's 8-bit interface (ANSI code page)
    ExpandableText, // REG_EXPAND_SZ, UTF-16
    Dword,          // REG_DWORD
    Qword,          // REG_QWORD
    Delete,         // the value is removed
    InvalidKind,    // a definition value of a kind other than 1, 2, 4: corrupt-installer code 200
};

struct UninstallKeyValue {
    String key; // "" the uninstall key; else a full key path with its root (a definition value)
    String name;
    UninstallValueKind kind = UninstallValueKind::Text;
    String text;         // text kinds
    uint64_t number = 0; // number kinds
};

// What the list needs besides the installer state.
struct UninstallKeyRun {
    String installerPath;                // the running installer file
    bool productIconWritten = false;     // "product.ico" is in the uninstall data folder
    Array<FontFile> fonts;               // the file loop's font entries
    uint64_t totalSize = 0;              // installed bytes
    int year = 0, month = 0, day = 0;    // today
    std::function<void(String&)> expand; // installer variables (definition values' data)
    // The current value of a system colour by its index (a colour above 0xFFFFFF stands for
    // the system colour with the index in its low byte); none leaves such colours as they are.
    std::function<uint32_t(uint32_t index)> systemColor;
};

// "/u:\"name\"".
String UninstallArguments(const String& uninstallName);
// "\"" + uninstaller path + "\" " + arguments.
String UninstallCommand(const String& uninstallerPath, const String& uninstallName);

// The value forms.
String ColorText(uint32_t color); // "%02X%02X%02X" of red, green, blue
String SizeText(double size);     // "%.6f" without trailing zeros and "."
// The date pattern "yymmdd" as the engine renders its date patterns (the log's "yy/mm/dd" too):
// a four-digit year, so "20261210", the form the system's program list reads.
String DateText(int year, int month, int day);
// Integer before the first "." and after it; false when the version holds no ".".
bool VersionNumbers(const String& version, uint32_t& major, uint32_t& minor);
// Total bytes / 1024 when that is above 0 and fits in 32 bits; false otherwise.
bool EstimatedSizeKb(uint64_t totalBytes, uint32_t& kb);
// "\"face\" \"file name\" " for every font entry without the keep flag.
String FontListText(const Array<FontFile>& fonts);

// One pair of the stored font list.
struct ListedFont {
    String face, fileName;
};
// The pairs of the stored list as the uninstaller reads it back: the quoted texts in order,
// taken two by two (face, file name); what stands outside quotes is skipped, and a last text
// without its partner or without its closing quote is dropped.
Array<ListedFont> ParseFontList(const String& list);

// The whole list in writing order: the fixed values, the styling block (without the
// no-background option), the definition's own values, "InstallLocation", "InstallDate".
Array<UninstallKeyValue> UninstallKeyValues(const InstallerState& state, const UninstallKeyRun& run);

// One definition value: a name with "\" is split at its last "\" into a key path and a value
// name.
UninstallKeyValue DefinitionKeyValue(const UninstallValue& value, const std::function<void(String&)>& expand);

// What writing the entry needs of the system. Every call returns 0 or the system's error code.
class UninstallKeySystem {
  public:
    virtual ~UninstallKeySystem() = default;
    virtual void Log(const String& text) = 0;
    virtual void AddFailure(const String& text) = 0;
    virtual String SystemErrorText(uint32_t code) = 0;
    [[noreturn]] virtual void Corrupt(int code) = 0;
    // Opens (or creates) the uninstall key.
    virtual uint32_t OpenKey() = 0;
    // One value of the list into the open key (deleting a missing value succeeds).
    virtual uint32_t Write(const UninstallKeyValue& value) = 0;
    // A definition value into another key, in the product's view.
    virtual uint32_t WriteElsewhere(const RegistryKeyPath& path, const UninstallKeyValue& value) = 0;
    // "UninstallString" as stored; false with the error when it cannot be read.
    virtual bool ReadUninstallString(String& text, uint32_t& error) = 0;
};

// What the entry's writing reads of the run and adds to it.
struct UninstallKeyTarget {
    int definitionValues = 0;            // how many of the list are the definition's own
    String8* registryList = nullptr;     // gains a line per value written to another key
    UninstallRecords* records = nullptr; // its "[Registry2]" block gains the same
};

// Writes the list in order. The definition's values: an unknown kind is the corrupt-installer
// error (code 200), a failure "Failed to save data in registry key ..." in the failure summary.
// The fixed values' failures are logged. Then "UninstallString" is read back; an unopened key
// or another text adds the warning that uninstallation will not work to the failure summary.
void WriteUninstallKey(UninstallKeySystem& system, const Array<UninstallKeyValue>& values,
                       const UninstallKeyTarget& target);

// The warning, with "System error: " and the text first when there is an error code.
String UninstallNotSavedWarning(const String& systemText);

} // namespace cs
