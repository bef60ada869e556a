#include "actions/SystemRegistrationsWin32.h"

#include "actions/FileInstallationWin32.h"
#include "actions/FirewallWin32.h"
#include "actions/SystemRegistrations.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/GuardWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/Extraction.h"
#include "runtime/FileRemovalWin32.h"
#include "runtime/InstallerState.h"
#include "runtime/ProcessWin32.h"
#include "uninstall/UninstallData.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

#include <ole2.h>
#include <setupapi.h>

namespace cs {

namespace {

using CopyOemInfFn = BOOL(WINAPI*)(PCWSTR, PCWSTR, DWORD, DWORD, PWSTR, DWORD, PDWORD, PWSTR*);
using UninstallOemInfFn = BOOL(WINAPI*)(PCWSTR, DWORD, PVOID);

// Loaded once per process and kept, like the other system libraries of the actions; both the
// driver copy and its removal use it.
HMODULE SetupApi() {
    static HMODULE library = LoadSystemLibrary(L"Setupapi.dll");
    return library;
}

// Keeps the first visible window and stops (a named function: the 32-bit callback is stdcall).
BOOL CALLBACK KeepFirstVisible(HWND window, LPARAM context) {
    if (!IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
}

// The first visible top-level window of the calling thread: the installer's own.
HWND OwnTopWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), KeepFirstVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

class WindowsRegistrationSystem final : public RegistrationSystem {
  public:
    String LanguageText(int number) override { return Text(number); }
    void ShowProgress(const String& text) override { Installer().outcome.progressText = text; }
    void Log(const String& text) override { LogTextWide(text); }
    void AddFailure(const String& text) override { FailureSummary() += text; }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }
    bool Guarded(const std::function<void()>& body) override { return RunGuarded(body); }

    // The lists name a 32-bit product's files in the system folder as the 32-bit engine does;
    // the registration acts where that name leads (core/Folders.h, RedirectedPath).
    bool RunRegsvr32(const String& path, uint32_t& exitCode) override {
        String system = GetFolder(FolderId::System);
        String line = Format(u"\"%s\" /s \"%s\"", JoinPath(system, u"regsvr32.exe"), OnDisk(path));
        UniqueHandle child = StartProcess(line, system, true);
        if (!child) {
            exitCode = GetLastError();
            return false;
        }
        WaitForProcessProcessingMessages(child.Get());
        DWORD code = 1;
        if (!GetExitCodeProcess(child.Get(), &code)) code = GetLastError();
        exitCode = code;
        return true;
    }
    bool CallDllRegisterServer(const String& path) override {
        HMODULE library = LoadLibraryFromItsFolder(OnDisk(path));
        if (!library) return false;
        auto entry = LibraryEntry<HRESULT(STDAPICALLTYPE*)()>(library, "DllRegisterServer");
        if (entry) entry();
        FreeLibrary(library);
        return entry != nullptr;
    }
    bool RegisterTypeLibrary(const String& recorded, uint32_t& error) override {
        String path = OnDisk(recorded);
        ComRef<ITypeLib> library;
        HRESULT hr = LoadTypeLib(W(path), &library);
        if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.Get(), const_cast<wchar_t*>(W(path)), nullptr);
        error = static_cast<uint32_t>(hr);
        return SUCCEEDED(hr);
    }
    void ReturnToInstallerWindow() override {
        ProcessPendingMessages();
        if (HWND window = OwnTopWindow()) SetForegroundWindow(window);
    }

    SetupApiState OpenSetupApi() override {
        HMODULE library = SetupApi();
        if (!library) return SetupApiState::kNoLibrary;
        copy_ = LibraryEntry<CopyOemInfFn>(library, "SetupCopyOEMInfW");
        return copy_ ? SetupApiState::kReady : SetupApiState::kNoCopyEntry;
    }
    bool CopyOemInf(const String& inf, String& finalName, uint32_t& error) override {
        wchar_t destination[MAX_PATH] = {};
        if (!copy_(W(inf), nullptr, SPOST_PATH, 0, destination, MAX_PATH, nullptr, nullptr)) {
            error = GetLastError();
            return false;
        }
        finalName = FromW(destination);
        return true;
    }

    long ConnectFirewall() override { return firewall_.Connect(); }
    long OpenFirewallPort(uint32_t port, int protocol, const String& name) override {
        return firewall_.OpenPort(port, protocol, name);
    }
    long AuthorizeProgram(const String& path, const String& name) override {
        return firewall_.AuthorizeProgram(path, name);
    }
    bool FileExists(const String& path) override { return IsExistingFile(path); }
    void ExpandVariables(String& text) override { ExpandInstallerVariables(text); }
    void Corrupt(int code) override {
        DeleteExtractionFile();
        CorruptInstaller(code);
    }

  private:
    String OnDisk(const String& path) const { return RedirectedPath(path, system_, system32_); }

    String system_ = GetFolder(FolderId::System), system32_ = ProductSystemFolder32();
    CopyOemInfFn copy_ = nullptr;
    FirewallProfile firewall_;
};

} // namespace

void RegisterInstalledSystemFiles() {
    WindowsRegistrationSystem system;
    FileRunLists& lists = InstalledFileLists();
    RegisterComAndTypeLibraries(system, lists.comServers, lists.typeLibraries);
    InstallDrivers(system, lists.drivers, RunUninstallRecords());
}

void RemoveDriverPackages(const Array<String>& infs) {
    if (infs.IsEmpty()) return;
    auto uninstall = LibraryEntry<UninstallOemInfFn>(SetupApi(), "SetupUninstallOEMInfW");
    if (!uninstall) return;
    for (const String& inf : infs) {
        ClearReadOnly(inf);
        String name = FileNameOf(inf);
        if (!RunGuarded([&] { uninstall(W(name), 1, nullptr); }))
            LogTextWide(Format(u"Crash while removing driver package %s.\r\n", name));
    }
}

void AddFirewallExceptionsOfDefinition() {
    const InstallerState& state = Installer();
    FirewallRun run;
    run.text = state.definition.firewallExceptions;
    run.installDir = state.folders.installDir;
    run.productName = state.definition.productName;
    run.skip = state.folders.removableDrive && (state.payloadFlags & kFlagNoFirewallOnRemovable);
    WindowsRegistrationSystem system;
    AddFirewallExceptions(system, run, RunUninstallRecords());
}

} // namespace cs
