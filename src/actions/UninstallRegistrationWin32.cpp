#include "actions/UninstallRegistrationWin32.h"

#include "actions/FileInstallationWin32.h"
#include "actions/RegistryInstallationWin32.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "log/Log.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Payload.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace cs {

namespace {

// Read, write, create subkeys, enumerate; with the 32-bit view flag this is 0x2020F.
constexpr REGSAM kUninstallKeyAccess = 0x2000F;

// Writes "product.ico" into the uninstall data folder; whether it is there now.
bool WriteProductIcon(const InstallerState& state) {
    const Definition& d = state.definition;
    if (d.productIcon.IsEmpty()) return false;
    String path = JoinPath(UninstallDataFolder(state.folders.installDir, d.uninstallSubdir), u"product.ico");
    if (!WriteWholeFile(path, d.productIcon.View())) {
        LogTextWide(Format(u"Failed to save the product icon to %s\r\n%s\r\n", path,
                           WindowsSystemErrorText(GetLastError())));
        return false;
    }
    RecordUninstallPath(RunUninstallRecords(), path, UninstallKind::kFile);
    return true;
}

uint64_t TotalFileSize() {
    uint64_t total = 0;
    for (int32_t size : ThePayload().info.header.fileSizes)
        total += static_cast<uint64_t>(size);
    return total;
}

UninstallKeyRun CurrentRun(const InstallerState& state) {
    UninstallKeyRun run;
    run.installerPath = ThePayload().path;
    run.productIconWritten = WriteProductIcon(state);
    run.fonts = InstalledFileLists().fonts;
    run.totalSize = TotalFileSize();
    SYSTEMTIME now;
    GetLocalTime(&now);
    run.year = now.wYear, run.month = now.wMonth, run.day = now.wDay;
    run.expand = ExpandInstallerVariables;
    return run;
}

bool WriteValue(const RegistryKey& key, const UninstallKeyValue& v) {
    switch (v.kind) {
    case UninstallValueKind::Text:
        return key.SetText(v.name, v.text);
    case UninstallValueKind::AnsiText:
        return key.SetAnsiText(v.name, v.text);
    case UninstallValueKind::ExpandableText:
        return key.SetExpandableText(v.name, v.text);
    case UninstallValueKind::Dword:
        return key.SetDword(v.name, static_cast<uint32_t>(v.number));
    case UninstallValueKind::Qword:
        return key.SetQword(v.name, v.number);
    case UninstallValueKind::Delete:
        return key.DeleteValue(v.name) || GetLastError() == ERROR_FILE_NOT_FOUND;
    case UninstallValueKind::InvalidKind:
        break;
    }
    CorruptInstaller(kCodeBadUninstallValueKind);
}

Bytes DataOf(const UninstallKeyValue& v) {
    if (v.kind != UninstallValueKind::Dword) return RegistryTextBytes(v.text);
    uint32_t number = static_cast<uint32_t>(v.number);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&number);
    return Bytes(bytes, bytes + sizeof number);
}

// A definition value that names another key: written in the product's view, and listed for
// the uninstaller to delete. The system error, 0 on success.
uint32_t WriteElsewhere(const UninstallKeyValue& v) {
    InstallerState& state = Installer();
    RegistryKeyPath path;
    if (!ParseRegistryKeyPath(v.key, path) || path.hive == RegistryHive::AllUsers) return kErrorBadPathName;
    uint32_t type = v.kind == UninstallValueKind::Dword            ? kRegNumber
                    : v.kind == UninstallValueKind::ExpandableText ? kRegExpandableText
                                                                   : kRegText;
    auto registry = WindowsRegistry(ProductRegistryView(state.definition.optionWord2));
    uint32_t error = registry->SetValue(path.hive, path.subkey, v.name, type, DataOf(v));
    if (error) return error;
    String8 line;
    AppendRegistryLine(line, Array<String8>{ToUtf8(v.key), ToUtf8(v.name), "0", "", "2"});
    state.definition.registryEntries += line;
    RunUninstallRecords().registry2 += RegistryUndoRecords(line.View());
    return 0;
}

void WriteDefinitionValue(const RegistryKey& key, const UninstallKeyValue& v) {
    if (v.kind == UninstallValueKind::InvalidKind) CorruptInstaller(kCodeBadUninstallValueKind);
    uint32_t error = 0;
    if (!v.key.IsEmpty())
        error = WriteElsewhere(v);
    else if (!key.IsOpen() || !WriteValue(key, v))
        error = key.IsOpen() ? GetLastError() : ERROR_INVALID_HANDLE;
    if (!error) return;
    String name = v.key.IsEmpty() ? v.name : v.key + u"\\" + v.name;
    String message =
        Format(u"Failed to save data in registry key \"%s\": %s\r\n", name, WindowsSystemErrorText(error));
    LogTextWide(message);
    FailureSummary() += message;
}

void WarnUninstallNotSaved(uint32_t error) {
    String text;
    if (error) text = Format(u"System error: %s\r\n\r\n", WindowsSystemErrorText(error));
    text += u"Unable to save the uninstall information to the registry.  Uninstall will not work "
            u"properly.\r\n\r\n";
    LogTextWide(text);
    FailureSummary() += text;
}

// The read-back of the one verified value; 0, or the error that explains a failure.
bool UninstallStringReadsBack(const RegistryKey& key, const String& written, uint32_t& error) {
    String stored;
    if (!key.ReadText(u"UninstallString", stored, kRegistryTextFirstNul)) {
        error = GetLastError();
        return false;
    }
    error = 0;
    return stored == written;
}

} // namespace

void RegisterUninstaller() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    if (!(d.optionWord1 & kOpt1RegisterUninstaller)) return;
    Array<UninstallKeyValue> values = UninstallKeyValues(state, CurrentRun(state));
    // The definition's values sit between the tables and the last two values.
    int definitionEnd = values.Count() - 2, definitionStart = definitionEnd - d.uninstallValues.Count();

    RegistryKey key;
    bool opened = key.Create(HKEY_LOCAL_MACHINE, String(kUninstallKeyRoot) + d.uninstallKeyName,
                             RegistryView::Bits32, kUninstallKeyAccess);
    uint32_t openError = opened ? 0 : GetLastError();
    for (int i = 0; i < values.Count(); ++i) {
        const UninstallKeyValue& v = values[i];
        if (i >= definitionStart && i < definitionEnd)
            WriteDefinitionValue(key, v);
        else if (opened && !WriteValue(key, v))
            LogTextWide(Format(u"Failed to write the uninstall value \"%s\": %s\r\n", v.name,
                               WindowsSystemErrorText(GetLastError())));
    }
    uint32_t error = openError;
    if (!opened || !UninstallStringReadsBack(key, values[0].text, error)) WarnUninstallNotSaved(error);
}

} // namespace cs
