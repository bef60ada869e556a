#include "actions/UninstallerFilesWin32.h"

#include "actions/FileInstallation.h"
#include "actions/FileWrite.h"
#include "actions/FileWriteWin32.h"
#include "actions/ShortcutRules.h"
#include "actions/UninstallerFiles.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/GuardWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/TempFile.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "payload/PayloadHeader.h"
#include "runtime/FileRemovalWin32.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "uninstall/UninstallData.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace cs {

namespace {

constexpr WORD kProgramIconGroup = 1; // the engine's own icon (res/engine)

String RunUninstallDataFolder() {
    const InstallerState& state = Installer();
    return UninstallDataFolder(state.folders.installDir, state.definition.uninstallSubdir);
}

bool RegistersUninstaller() {
    return (Installer().definition.optionWord1 & kOpt1RegisterUninstaller) != 0;
}

void RecordForRemoval(const String& path) {
    RecordUninstallPath(RunUninstallRecords(), path, UninstallKind::kFile);
}

// ---- The uninstaller's icon group -------------------------------------------------------

BOOL CALLBACK TakeLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

// The language of the program's icon group, so that the new group replaces it rather than
// standing beside it; neutral when the program has none.
WORD IconGroupLanguage(const String& program) {
    WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    HMODULE module = LoadLibraryExW(W(program), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return language;
    EnumResourceLanguagesW(module, RT_GROUP_ICON, MAKEINTRESOURCEW(kProgramIconGroup), TakeLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    FreeLibrary(module);
    return language;
}

bool UpdateOne(HANDLE update, LPCWSTR type, WORD id, WORD language, const String8& bytes) {
    return UpdateResourceW(update, type, MAKEINTRESOURCEW(id), language, const_cast<char*>(bytes.Data()),
                           static_cast<DWORD>(bytes.Length()));
}

void ReplaceIconGroup(const String& program, const String8& iconFile) {
    IconGroup icon;
    bool readable = ReadIconGroup(iconFile, icon);
    WORD language = IconGroupLanguage(program);
    HANDLE update = BeginUpdateResourceW(W(program), FALSE);
    if (!update) {
        LogTextWide(u"Failed to open uninstaller for icon replacement.\r\n");
        return;
    }
    bool ok = readable && UpdateOne(update, RT_GROUP_ICON, kProgramIconGroup, language, icon.group);
    for (int i = 0; ok && i < icon.images.Count(); ++i)
        ok = UpdateOne(update, RT_ICON, static_cast<WORD>(i + 1), language, icon.images[i]);
    if (!EndUpdateResourceW(update, !ok) || !ok) LogTextWide(u"Failed to replace uninstaller icon.\r\n");
}

// ---- The uninstaller program ------------------------------------------------------------

void LogUninstallerWritten(const String& path) {
    LogTextWide(Format(u"Uninstaller >>> %s\r\n", path));
}

void SetRestartRequired() {
    Installer().definition.optionWord1 |= kOpt1RebootRequired;
}

// The engine copy, written like an installed file that exists already, and flushed to the
// disk before it takes the uninstaller's name.
void WriteEngineCopy(const Bytes& copy, const String& path) {
    const Definition& d = Installer().definition;
    FileWrite write;
    write.destination = path;
    write.size = static_cast<int64_t>(copy.size());
    write.memory = copy.data();
    write.date = d.uninstallerDate;
    write.existedBefore = true;
    write.optionWord1 = d.optionWord1;
    write.flush = true;
    WriteOutcome outcome = WriteInstalledFile(write, Text(kTextFailureWord));
    DWORD error = GetLastError();
    if (!outcome.logText.IsEmpty()) LogTextWide(outcome.logText);
    if (!outcome.failure.IsEmpty()) FailureSummary() += outcome.failure;
    if (outcome.diskFull) Installer().outcome.diskFull = true;
    if (outcome.deferred) SetRestartRequired();
    if (!outcome.written && !outcome.deferred) RecordUnwrittenFile(error);
    if (!outcome.written) return;
    LogUninstallerWritten(path);
    if (d.uninstallerIcon.IsEmpty()) return;
    if (!RunGuarded([&] { ReplaceIconGroup(path, d.uninstallerIcon); }))
        LogTextWide(u"Failed to replace uninstaller icon.\r\n");
}

// The running installer's copy in a temporary file beside the uninstaller, which replaces it
// at the next restart.
void ReplaceCopyAtRestart(const String& own, const String& path) {
    String temp = MakeTempFileName(FolderOf(path));
    if (temp.IsEmpty()) {
        RecordUnwrittenFile(GetLastError());
        FailureSummary() += NoTempFileText(path, WindowsSystemErrorText(GetLastError()));
        return;
    }
    if (!CopyFileW(W(own), W(temp), FALSE)) {
        RecordUnwrittenFile(GetLastError());
        FailureSummary() += TempFileNotOverwrittenText(path, WindowsSystemErrorText(GetLastError()));
        DeleteFileW(W(temp));
        return;
    }
    if (!ReplaceAtRestart(path, temp)) {
        RecordUnwrittenFile(GetLastError());
        FailureSummary() += ReplacementFailedText(path, temp, WindowsSystemErrorText(GetLastError()));
        DeleteFileW(W(temp));
        return;
    }
    SetRestartRequired();
    LogTextWide(ReplacementRegisteredText(path, temp));
}

// The copy goes under the uninstaller's partial name and is flushed before it takes the real
// name. A copy that cannot be made (a full disk) fails the run, and what was copied goes; a
// copy that cannot take the name (the uninstaller is running) replaces it at the next restart.
void CopyRunningInstaller(const String& own, const String& path) {
    String partial = PartialFileName(path);
    if (!CopyFileW(W(own), W(partial), FALSE) || !FlushFileToDisk(partial)) {
        DWORD error = GetLastError();
        DeleteFileW(W(partial));
        FailureSummary() +=
            WriteFailureText(Text(kTextFailureWord), path, WindowsSystemErrorText(error)) + u"\r\n";
        RecordUnwrittenFile(error);
        return;
    }
    if (MoveIntoPlace(partial, path, true)) {
        LogUninstallerWritten(path);
        return;
    }
    DeleteFileW(W(partial));
    ReplaceCopyAtRestart(own, path);
}

// ---- Saved texts ------------------------------------------------------------------------

void SaveDocuments(const Array<String8>& texts, const char16_t* base, const char16_t* failure,
                   const char16_t* written) {
    const InstallerState& state = Installer();
    for (const SavedDocument& document : SavedDocuments(texts, base)) {
        String path = JoinPath(state.folders.installDir, document.name);
        if (!WriteWholeFile(path, document.bytes.View())) {
            LogTextWide(Format(failure, path, WindowsSystemErrorText(GetLastError())));
            continue;
        }
        RecordForRemoval(path);
        if (state.definition.optionWord1 & kOpt1LogEveryFile) LogTextWide(Format(written, path));
    }
}

// Writes a file the uninstaller reads and records it for removal; a failure is logged with the
// format (path, system text).
void SaveForUninstaller(const String& path, const String8& bytes, const char16_t* failure) {
    if (!WriteWholeFile(path, bytes.View())) {
        LogTextWide(Format(failure, path, WindowsSystemErrorText(GetLastError())));
        return;
    }
    RecordForRemoval(path);
}

} // namespace

void WriteUninstallerIcon() {
    const Definition& d = Installer().definition;
    if (!RegistersUninstaller() || d.uninstallerIcon.IsEmpty()) return;
    SaveForUninstaller(JoinPath(RunUninstallDataFolder(), kUninstallerIconName), d.uninstallerIcon,
                       u"Failed to install uninstaller icon to %s\r\n%s\r\n");
}

void SaveBackgroundBitmap() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    state.outcome.status = kTextSavingUninstallerFiles;
    state.outcome.progress = 98;
    if (!(d.optionWord1 & kOpt1BackgroundPicture) || d.backgroundPicture.IsEmpty()) return;
    String path = JoinPath(RunUninstallDataFolder(), kBackgroundBitmapName);
    if (!(d.optionWord2 & kOpt2HideFileNames)) state.outcome.progressText = path;
    SaveForUninstaller(path, d.backgroundPicture, u"Failed to save background bitmap to %s\r\n%s\r\n");
}

void SaveReadmeAndLicenceTexts() {
    const Definition& d = Installer().definition;
    if (d.optionWord2 & kOpt2SaveReadmes)
        SaveDocuments(d.readmes, u"readme", u"Failed to save readme to: %s\r\n%s\r\n", u"README >>> %s\r\n");
    if (d.optionWord2 & kOpt2SaveLicences)
        SaveDocuments(d.licences, u"eula", u"Failed to save EULA to: %s\r\n%s\r\n", u"EULA >>> %s\r\n");
}

void WriteUninstallerProgram(const EnginePayload& payload) {
    const InstallerState& state = Installer();
    if (!RegistersUninstaller()) return;
    const String& path = state.folders.uninstallerPath;
    if (state.payloadFlags & kFlagEngineWithoutPayload)
        WriteEngineCopy(payload.engineCopy, path);
    else
        CopyRunningInstaller(payload.path, path);
}

void WriteRebootMarker() {
    const InstallerState& state = Installer();
    if (!(state.definition.optionWord2 & kOpt2RebootMarker)) return;
    String path = JoinPath(state.folders.installDir, kRebootMarkerName);
    if (!WriteWholeFile(path, {}) || !ScheduleDeletionAtRestart(path))
        LogTextWide(Format(u"Failed to write \"%s\" for deletion at restart: %s\r\n", path,
                           WindowsSystemErrorText(GetLastError())));
}

} // namespace cs
