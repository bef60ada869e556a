#include "log/LogWin32.h"

#include "core/FileIoWin32.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/ModulePathWin32.h"
#include "core/OsInfo.h"
#include "core/SecurityWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "runtime/ProcessWin32.h"
#include "runtime/RunTempFiles.h"

#include <windows.h>

#include <shellapi.h>

namespace cs {

namespace {

void (*g_textExpander)(String& text) = nullptr;

// The log and its spool are read whole from their first byte, whatever was written last.
void ReadFromStart(HANDLE file, String8& out) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadToEnd(file, out);
}

class LogSystemWin32 : public LogSystem {
  public:
    bool Start() {
        // Held open until it is deleted: a run killed meanwhile leaves it for the next run to
        // find (RemoveLeftoverRunTempFiles).
        spool_.Reset(static_cast<HANDLE>(CreateRunTempFile(u"log", spoolPath_)));
        return spool_.IsValid();
    }

    void AppendToSpool(const char* data, size_t size) override {
        if (!spool_) return;
        SetFilePointer(spool_.Get(), 0, nullptr, FILE_END);
        WriteAll(spool_.Get(), std::string_view(data, size));
    }
    String8 ReadSpool() override {
        String8 contents;
        if (spool_) ReadFromStart(spool_.Get(), contents);
        return contents;
    }
    void DeleteSpool() override {
        spool_.Reset();
        if (!spoolPath_.IsEmpty()) DeleteFileW(W(spoolPath_));
    }
    String LanguageText(int number) override { return Installer().LanguageString(number); }
    void ExpandText(String& text) override {
        if (g_textExpander) g_textExpander(text);
    }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }
    uint32_t LastError() override { return GetLastError(); }
    void RemoveFile(const String& path) override { DeleteFileW(W(path)); }

    // Reading makes no file: on a full disk an empty "Install.log" would be all that is left.
    bool ReadLog(const String& path, String8& contents) override {
        contents.Clear();
        UniqueHandle f(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f) return GetLastError() == ERROR_FILE_NOT_FOUND;
        return ReadToEnd(f.Get(), contents);
    }
    bool WriteLog(const String& path, const String8& contents) override {
        return WriteWholeFileDurably(path, contents.View());
    }
    void LoosenAccess(const String& path) override { OpenAccessListTakingOwnership(path, false); }
    bool AskYesNo(const String& text, const String& title) override {
        return ShowMessage(text, title, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    void ShowCompletion(const String& text) override {
        if (!text.IsEmpty())
            ShowMessage(text, Installer().definition.productName, MB_OK | MB_ICONINFORMATION);
    }
    void OpenForViewing(const String& path) override {
        String folder = ModuleFullPath();
        size_t slash = folder.View().find_last_of(u'\\');
        if (slash != std::u16string_view::npos) folder.Truncate(slash);
        auto open = [&](const wchar_t* verb) {
            return reinterpret_cast<INT_PTR>(
                       ShellExecuteW(nullptr, verb, W(path), nullptr, W(folder), SW_SHOWNORMAL)) > 32;
        };
        if (open(L"open")) return;
        if (GetLastError() == ERROR_ACCESS_DENIED && open(L"runas")) return;
        // The viewer runs on its own: its handle is let go at once.
        StartProcess(Format(u"notepad.exe \"%s\"", path), String(), false);
    }
    void NotifyFailure() override {
        if (failureNotifier_) failureNotifier_();
    }
    String Now() override {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return Format(u"%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                      t.wSecond);
    }

    void (*failureNotifier_)() = nullptr;

  private:
    UniqueHandle spool_;
    String spoolPath_;
};

LogSystemWin32& Instance() {
    static LogSystemWin32 instance;
    return instance;
}

} // namespace

bool StartLog() {
    SetLogSystem(&Instance());
    return Instance().Start();
}

LogSystem& WindowsLogSystem() {
    return Instance();
}

bool FinishInstallLog(bool interactive) {
    static bool finished = false;
    if (finished) return false;
    finished = true;
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    FinishOptions options;
    options.interactive = interactive;
    options.automatic = state.automatic;
    options.silent = state.Silent();
    options.optionWord1 = d.optionWord1;
    options.header.productName = d.productName;
    options.header.withInstallType = (d.optionWord1 & kOpt1RegisterUninstaller) != 0;
    options.header.installType = state.existing.installType;
    options.header.installLocation = state.folders.installDir;
    options.header.built = d.buildDate;
    options.header.productVersion = d.productVersion;
    options.header.oldVersion = state.existing.oldVersion;
    options.header.osDescription = CurrentOsName(0);
    if (state.folders.installDir.IsEmpty()) {
        // No place for the log; the failure notification still goes out.
        if (!state.outcome.failureSummary.IsEmpty()) Instance().NotifyFailure();
        Instance().DeleteSpool();
        return false;
    }
    options.logPath = LogPath(state.folders.installDir, d.uninstallSubdir);
    return FinishLog(options);
}

void SetLogTextExpander(void (*expand)(String& text)) {
    g_textExpander = expand;
}

void SetLogFailureNotifier(void (*failureNotifier)()) {
    Instance().failureNotifier_ = failureNotifier;
}

} // namespace cs
