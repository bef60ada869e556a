#include "actions/UninstallRegistrationWin32.h"

#include "actions/FileInstallationWin32.h"
#include "actions/RegistryInstallationWin32.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
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
    run.fonts = InstalledFileLists().listedFonts;
    run.totalSize = TotalFileSize();
    SYSTEMTIME now;
    GetLocalTime(&now);
    run.year = now.wYear, run.month = now.wMonth, run.day = now.wDay;
    run.expand = ExpandInstallerVariables;
    run.systemColor = [](uint32_t index) {
        return static_cast<uint32_t>(GetSysColor(static_cast<int>(index)));
    };
    return run;
}

uint32_t ResultOf(bool ok) {
    return ok ? 0 : GetLastError();
}

Bytes DataOf(const UninstallKeyValue& v) {
    if (v.kind != UninstallValueKind::Dword) return RegistryTextBytes(v.text);
    uint32_t number = static_cast<uint32_t>(v.number);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&number);
    return Bytes(bytes, bytes + sizeof number);
}

uint32_t TypeOf(UninstallValueKind kind) {
    switch (kind) {
    case UninstallValueKind::Dword:
        return kRegNumber;
    case UninstallValueKind::ExpandableText:
        return kRegExpandableText;
    default:
        return kRegText;
    }
}

class WindowsUninstallKey final : public UninstallKeySystem {
  public:
    explicit WindowsUninstallKey(const String& keyName) : keyName_(keyName) {}

    void Log(const String& text) override { LogTextWide(text); }
    void AddFailure(const String& text) override { FailureSummary() += text; }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }
    void Corrupt(int code) override { CorruptInstaller(code); }

    uint32_t OpenKey() override {
        return ResultOf(key_.Create(HKEY_LOCAL_MACHINE, String(kUninstallKeyRoot) + keyName_,
                                    RegistryView::Bits32, kUninstallKeyAccess));
    }
    uint32_t Write(const UninstallKeyValue& v) override {
        switch (v.kind) {
        case UninstallValueKind::Text:
            return ResultOf(key_.SetText(v.name, v.text));
        case UninstallValueKind::AnsiText:
            return ResultOf(key_.SetAnsiText(v.name, v.text));
        case UninstallValueKind::ExpandableText:
            return ResultOf(key_.SetExpandableText(v.name, v.text));
        case UninstallValueKind::Dword:
            return ResultOf(key_.SetDword(v.name, static_cast<uint32_t>(v.number)));
        case UninstallValueKind::Qword:
            return ResultOf(key_.SetQword(v.name, v.number));
        default:
            break;
        }
        uint32_t error = ResultOf(key_.DeleteValue(v.name));
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    uint32_t WriteElsewhere(const RegistryKeyPath& path, const UninstallKeyValue& v) override {
        auto registry = WindowsRegistry(ProductRegistryView(Installer().definition.optionWord2));
        return registry->SetValue(path.hive, path.subkey, v.name, TypeOf(v.kind), DataOf(v));
    }
    bool ReadUninstallString(String& text, uint32_t& error) override {
        bool ok = key_.ReadText(u"UninstallString", text, kRegistryTextFirstNul);
        error = ok ? 0 : GetLastError();
        return ok;
    }

  private:
    String keyName_;
    RegistryKey key_;
};

} // namespace

void RegisterUninstaller() {
    InstallerState& state = Installer();
    Definition& d = state.definition;
    if (!(d.optionWord1 & kOpt1RegisterUninstaller)) return;
    Array<UninstallKeyValue> values = UninstallKeyValues(state, CurrentRun(state));
    WindowsUninstallKey system(d.uninstallKeyName);
    WriteUninstallKey(system, values,
                      {d.uninstallValues.Count(), &d.registryEntries, &RunUninstallRecords()});
}

} // namespace cs
