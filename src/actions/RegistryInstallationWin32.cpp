#include "actions/RegistryInstallationWin32.h"

#include "core/BitnessWin32.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/HandleWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/TempFile.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/InstallerState.h"
#include "runtime/ProcessWin32.h"
#include "vars/VariablesWin32.h"

#include <vector>
#include <windows.h>

namespace cs {

namespace {

// Read, write, create subkeys, enumerate; the view flag is added by the registry module.
constexpr REGSAM kKeyAccess = 0x2000F;

uint32_t ResultOf(bool ok) {
    return ok ? 0 : GetLastError();
}

// The registry editor that imports into the view. On 64-bit Windows the one in the Windows
// folder is the 64-bit program (started with the file-system redirection off, see below) and
// the one in the 32-bit system folder the 32-bit program, whichever engine starts it;
// elsewhere (or when the file is missing) the system finds "regedit" itself.
String RegistryEditorFor(RegistryView view) {
    if (!CurrentOsRecord().is64BitWindows) return String();
    String folder = view == RegistryView::Bits64 ? SystemFolders().Windows() : GetFolder(FolderId::System32);
    String path = JoinPath(folder, u"regedit.exe");
    return IsExistingFile(path) ? path : String();
}

// The file-system redirection of the 32-bit engine switched off while the object lives (when
// asked for): the system hands a 32-bit caller of the Windows folder's registry editor its
// 32-bit copy unless the redirection is off. The 64-bit engine has none to switch.
class RedirectionOff {
  public:
    explicit RedirectionOff(bool wanted) {
        if (!wanted || kEngineIs64Bit) return;
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        auto disable = LibraryEntry<BOOL(WINAPI*)(PVOID*)>(kernel, "Wow64DisableWow64FsRedirection");
        revert_ = LibraryEntry<BOOL(WINAPI*)(PVOID)>(kernel, "Wow64RevertWow64FsRedirection");
        switched_ = disable && revert_ && disable(&previous_);
    }
    ~RedirectionOff() {
        if (switched_) revert_(previous_);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

  private:
    BOOL(WINAPI* revert_)(PVOID) = nullptr;
    PVOID previous_ = nullptr;
    bool switched_ = false;
};

class WindowsRegistrySystem final : public RegistrySystem {
  public:
    explicit WindowsRegistrySystem(RegistryView view) : view_(view), importView_(view) {}

    void ShowStatus(int textNumber, int position) override {
        RunOutcome& outcome = Installer().outcome;
        outcome.status = textNumber;
        outcome.progress = position;
        outcome.progressText.Clear();
    }
    void ExpandVariables(String& text) override { ExpandInstallerVariables(text); }
    void Log(const String& text) override { LogTextWide(text); }
    void AddFailure(const String& text) override { FailureSummary() += text; }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }

    uint32_t LoadedHives(Array<String>& names) override {
        RegistryKey users;
        bool ok = users.Open(HKEY_USERS, String(), view_, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE) &&
                  users.SubkeyNames(names);
        return ResultOf(ok);
    }
    uint32_t CreateKey(RegistryHive hive, const String& subkey, bool& existed) override {
        RegistryKey key;
        bool created = false;
        bool ok = key.Create(RegistryHiveKey(hive), subkey, view_, kKeyAccess, &created);
        existed = ok && !created;
        return ResultOf(ok);
    }
    bool ValueExists(RegistryHive hive, const String& subkey, const String& name) override {
        RegistryKey key;
        RegistryValue value;
        return key.Open(RegistryHiveKey(hive), subkey, view_, KEY_QUERY_VALUE) && key.Read(name, value);
    }
    bool ReadText(RegistryHive hive, const String& subkey, const String& name, String& text) override {
        RegistryKey key;
        return key.Open(RegistryHiveKey(hive), subkey, view_, KEY_QUERY_VALUE) && key.ReadText(name, text);
    }
    uint32_t SetValue(RegistryHive hive, const String& subkey, const String& name, uint32_t type,
                      const Bytes& data) override {
        RegistryKey key;
        bool ok = key.Create(RegistryHiveKey(hive), subkey, view_, kKeyAccess) &&
                  key.SetBytes(name, data.data(), data.size(), type);
        return ResultOf(ok);
    }
    uint32_t DeleteValue(RegistryHive hive, const String& subkey, const String& name) override {
        RegistryKey key;
        return ResultOf(key.Open(RegistryHiveKey(hive), subkey, view_, kKeyAccess) && key.DeleteValue(name));
    }

    // The registry editor imports the file by name: it lies in a private folder of its own,
    // created new, so nobody can plant a link at its name or swap it before the import.
    uint32_t WriteMergeFile(const String8& text, String& path) override {
        String folder = MakePrivateTempFolder();
        if (folder.IsEmpty()) return GetLastError();
        path = JoinPath(folder, u"merge.reg");
        if (WriteNewFile(path, MergeFileBytes(text).View())) return 0;
        uint32_t error = GetLastError();
        DeleteFileW(W(path));
        RemoveDirectoryW(W(folder));
        path.Clear();
        return error;
    }
    uint32_t RunAndWait(const String& commandLine) override {
        String program = RegistryEditorFor(view_);
        std::vector<wchar_t> line(W(commandLine), W(commandLine) + commandLine.Length() + 1);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        {
            RedirectionOff redirection(view_ == RegistryView::Bits64 && !program.IsEmpty());
            if (!CreateProcessW(program.IsEmpty() ? nullptr : W(program), line.data(), nullptr, nullptr,
                                FALSE, 0, nullptr, nullptr, &startup, &process))
                return GetLastError();
        }
        UniqueHandle thread(process.hThread), editor(process.hProcess);
        WaitForProcessProcessingMessages(editor.Get());
        // Without an editor of the product's bitness the engine's own kind imported.
        importView_ = !program.IsEmpty() || !CurrentOsRecord().is64BitWindows ? view_
                      : kEngineIs64Bit                                        ? RegistryView::Bits64
                                                                              : RegistryView::Bits32;
        return 0;
    }
    bool ImportedKeyExists(RegistryHive hive, const String& subkey) override {
        RegistryKey key;
        return key.Open(RegistryHiveKey(hive), subkey, importView_, KEY_QUERY_VALUE);
    }
    // The merge file goes with its private folder.
    void RemoveFile(const String& path) override {
        DeleteFileW(W(path));
        String folder = FolderOf(path);
        if (IsPrivateTempFolderName(FileNameOf(folder))) RemoveDirectoryW(W(folder));
    }
    bool IsFile(const String& path) override { return IsExistingFile(path); }

  private:
    RegistryView view_;
    RegistryView importView_;
};

} // namespace

HKEY RegistryHiveKey(RegistryHive hive) {
    switch (hive) {
    case RegistryHive::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegistryHive::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryHive::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryHive::CurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case RegistryHive::DynData:
        return HKEY_DYN_DATA;
    default:
        return HKEY_USERS; // AllUsers paths arrive as one path per user hive
    }
}

void ApplyRegistryEntries() {
    InstallerState& state = Installer();
    Definition& d = state.definition;
    RegistryRun run;
    run.removableDrive = state.folders.removableDrive;
    run.payloadFlags = state.payloadFlags;
    run.installDir = state.folders.installDir;
    run.productKey = d.productRegistry;
    run.list = d.registryEntries;
    run.mergeText = d.registryMergeFile;
    run.mainExecutable = d.appPath;
    run.records = &RunUninstallRecords();

    WindowsRegistrySystem system(ProductRegistryView(d.optionWord2));
    RegistryInstaller(system, run).Apply();
    d.registryEntries = run.list;
}

std::unique_ptr<RegistrySystem> WindowsRegistry(RegistryView view) {
    return std::make_unique<WindowsRegistrySystem>(view);
}

} // namespace cs
