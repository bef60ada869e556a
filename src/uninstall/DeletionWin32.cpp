#include "uninstall/DeletionWin32.h"

#include "core/CanonicalPath.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/ModulePathWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/TempFile.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"
#include "runtime/ProcessWin32.h"
#include "vars/BatchWin32.h"
#include "vars/VariablesWin32.h"

#include <vector>
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

namespace cs {

namespace {

class WindowsDeletionSystem : public DeletionSystem {
  public:
    String ExpandVariables(const String& text) override {
        String expanded = text;
        ExpandInstallerVariables(expanded);
        return expanded;
    }
    String InstallDir() override { return Installer().folders.installDir; }
    Array<FoundFile> FindFiles(const String& pattern) override {
        Array<FoundFile> files;
        size_t slash = pattern.View().find_last_of(u"\\/");
        String folder = slash == std::u16string_view::npos ? String() : pattern.Sub(0, slash);
        WIN32_FIND_DATAW found;
        UniqueFind search(FindFirstFileW(W(pattern), &found));
        if (!search) return files;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            FoundFile& file = files.Append();
            file.path = JoinPath(folder, FromW(found.cFileName));
            file.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            FILETIME local;
            FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
            file.modified = DateTime::FromFileTime((static_cast<uint64_t>(local.dwHighDateTime) << 32) |
                                                   local.dwLowDateTime);
        } while (FindNextFileW(search.Get(), &found));
        return files;
    }
    void ClearAttributes(const String& path) override {
        DWORD attributes = GetFileAttributesW(W(path));
        const DWORD unwanted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & unwanted))
            SetFileAttributesW(W(path), attributes & ~unwanted);
    }
    bool DeleteNow(const String& path) override { return DeleteFileEx(path, 0); }
    bool ScheduleAtRestart(const String& path) override { return ScheduleDeletionAtRestart(path); }
    uint32_t LastError() override { return GetLastError(); }
    String ErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }
    void Log(const String& text) override { LogTextWide(text); }
    DeletionVerdict JudgePattern(const String& pattern) override {
        SystemLongNames names;
        if (Installer().commandLine.uninstall) {
            DeletionScope scope =
                UninstallDeletionScope(Installer().folders.installDir, Installer().folders.sharedDir);
            return JudgeDeletion(pattern, DeletionObject::kPattern, scope, names);
        }
        DeletionVerdict verdict;
        verdict.path = JudgedPath(pattern, names);
        if (verdict.path.IsEmpty()) {
            verdict.path = pattern;
            verdict.reason = u"not a full path";
        } else if (HasWildcard(FolderOf(verdict.path))) {
            verdict.reason = u"a wildcard in a folder name";
        } else {
            verdict.allowed = true;
        }
        return verdict;
    }
};

bool DeleteTree(const String& folder, DWORD& lastError) {
    bool ok = true;
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(W(JoinPath(folder, u"*.*")), &found));
    if (search) {
        do {
            String name = FromW(found.cFileName);
            if (name == String(u".") || name == String(u"..")) continue;
            String child = JoinPath(folder, name);
            bool done;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                done = DeleteFileEx(child, 0);
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                done = RemoveDirectoryW(W(child)) != 0; // a link: its target stays untouched
            else
                done = DeleteTree(child, lastError);
            if (!done) {
                ok = false;
                if (GetLastError()) lastError = GetLastError();
            }
        } while (FindNextFileW(search.Get(), &found));
        search.Reset(); // closed before the folder itself is removed
    }
    if (!RemoveDirectoryW(W(folder))) {
        ok = false;
        lastError = GetLastError();
    }
    return ok;
}

} // namespace

void CancelPendingOperations(const Array<String>& files) {
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, kOwnRegistryView, KEY_QUERY_VALUE | KEY_SET_VALUE))
        return;
    // The list's own grammar reads the strings: pairs of source and target, where an empty
    // target is a deletion.
    RegistryValue value;
    if (!key.Read(kPendingRenameValue, value) || value.type != REG_MULTI_SZ) return;
    Array<PendingOperation> pending = ParsePendingOperations(
        reinterpret_cast<const char16_t*>(value.data.data()), value.data.size() / sizeof(char16_t));
    bool uninstalling = Installer().commandLine.uninstall;
    if (!pending.IsEmpty() && !uninstalling) LogText8("\r\n");
    Array<PendingOperation> kept;
    bool removed = false;
    for (const PendingOperation& op : pending) {
        switch (JudgePending(op, files)) {
        case PendingVerdict::kCancelMove:
            if (!uninstalling)
                LogTextWide(Format(u"File \"%s\" was removed from the list of pending moves.\r\n",
                                   FromDriveLetter(op.target)));
            DeleteFileEx(PendingSourceFile(op.source), kDeleteToRecycleBin);
            removed = true;
            break;
        case PendingVerdict::kCancelDeletion:
            if (!uninstalling)
                LogTextWide(Format(u"File \"%s\" was removed from the list of pending deletions.\r\n",
                                   FromDriveLetter(op.source)));
            removed = true;
            break;
        case PendingVerdict::kKeep:
            kept.Append(op);
            break;
        }
    }
    if (removed) {
        if (kept.IsEmpty()) {
            key.DeleteValue(kPendingRenameValue);
        } else {
            String joined = JoinPendingOperations(kept);
            key.SetBytes(kPendingRenameValue, joined.c_str(), joined.Length() * sizeof(char16_t),
                         REG_MULTI_SZ);
        }
    }
}

int RunConditionalDeletions(Array<FileDeletion>& records, bool installing) {
    InstallerState& state = Installer();
    ConditionalDeletionState run;
    run.optionWord1 = state.definition.optionWord1;
    run.optionWord2 = state.definition.optionWord2;
    WindowsDeletionSystem system;
    int failures = RunConditionalDeletionsWith(system, records, installing, run);
    state.definition.optionWord1 = run.optionWord1;
    state.definition.optionWord2 = run.optionWord2;
    state.outcome.failureSummary += run.failureSummary;
    return failures;
}

int RunConditionalDeletions(bool installing) {
    return RunConditionalDeletions(Installer().definition.deletions, installing);
}

Array<String> ProtectedFolders() {
    static const FolderId kProtected[] = {
        // The Windows folder is asked for separately; these are the system's own folders...
        FolderId::System, FolderId::System32, FolderId::ProgramFiles, FolderId::ProgramFiles64,
        FolderId::CommonFiles, FolderId::CommonFiles64,
        // ...and the users' folders, which hold what no product owns.
        FolderId::Profile, FolderId::Temp, FolderId::AppData, FolderId::CommonAppData, FolderId::Desktop,
        FolderId::CommonDesktop, FolderId::Documents, FolderId::CommonDocuments, FolderId::StartMenu,
        FolderId::CommonStartMenu, FolderId::Programs, FolderId::CommonPrograms, FolderId::Startup,
        FolderId::CommonStartup, FolderId::Fonts, FolderId::Favorites, FolderId::CommonFavorites};
    Array<String> folders;
    folders.Append(SystemFolders().Windows());
    for (FolderId id : kProtected)
        folders.Append(GetFolder(id));
    // The users' media folders, which the folder chains do not name: pictures, music, videos
    // and local application data of the user and of all users, the downloads, and the
    // all-users profile itself. A system that lacks one gives an empty path, which guards
    // nothing.
    const int kMediaFolders[] = {CSIDL_MYPICTURES,      CSIDL_MYMUSIC,         CSIDL_MYVIDEO,
                                 CSIDL_COMMON_PICTURES, CSIDL_COMMON_MUSIC,    CSIDL_COMMON_VIDEO,
                                 CSIDL_LOCAL_APPDATA,   CSIDL_COMMON_DOCUMENTS};
    for (int csidl : kMediaFolders) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) folders.Append(FromW(path));
    }
    folders.Append(SystemFolderSources().KnownFolder(kKnownFolderDownloads));
    for (const char16_t* name : {u"ALLUSERSPROFILE", u"PUBLIC", u"USERPROFILE"})
        folders.Append(SystemFolderSources().Environment(name));
    return folders;
}

bool DeleteFolderTree(const String& folder) {
    SystemLongNames names;
    String path = JudgedPath(folder, names);
    if (uint32_t refusal = FolderTreeRefusal(path, ProtectedFolders())) {
        SetLastError(refusal);
        return false;
    }
    DWORD lastError = 0;
    if (DeleteTree(path, lastError)) return true;
    SetLastError(lastError);
    return false;
}

String SystemLongNames::Expand(const String& canonical) {
    // Only what exists has a long name: the longest existing part is expanded and the rest
    // kept as written (a short name in it names nothing yet). Every 8.3 name the file system
    // makes up holds a tilde, so a path without one is long already; that spares a large
    // "Uninstall.dat" a file-system call per record.
    if (canonical.View().find(u'~') == std::u16string_view::npos) return canonical;
    String head = canonical, tail;
    while (!head.IsEmpty()) {
        std::vector<wchar_t> buffer(32768);
        DWORD n = GetLongPathNameW(W(head), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n && n < buffer.size()) {
            String expanded = FromW(buffer.data(), n);
            return tail.IsEmpty() ? expanded : JoinPath(expanded, tail);
        }
        if (IsPathRoot(head)) break;
        String parent = FolderOf(head);
        if (parent.IsEmpty() || parent.Length() >= head.Length()) break;
        String name = FileNameOf(head);
        tail = tail.IsEmpty() ? name : JoinPath(name, tail);
        head = parent.Length() == 2 && parent[1] == u':' ? parent + u"\\" : parent;
    }
    return canonical;
}

namespace {

Array<String> JudgedFolders(const Array<String>& folders) {
    SystemLongNames names;
    Array<String> judged;
    for (const String& folder : folders) {
        if (folder.IsEmpty()) continue;
        String path = JudgedPath(folder, names);
        if (!path.IsEmpty()) judged.Append(path);
    }
    return judged;
}

} // namespace

DeletionScope UninstallDeletionScope(const String& installDir, const String& sharedDir) {
    SystemLongNames names;
    DeletionScope scope;
    scope.installDir = JudgedPath(installDir, names);
    scope.protectedFolders = JudgedFolders(ProtectedFolders());
    // The folders an installation's variables name for files, links and the folders they
    // need, the Windows folder tree set aside: what lies there is the system's (a product's
    // system files are shared files, which their reference counts remove).
    static const FolderId kRoots[] = {
        FolderId::ProgramFiles, FolderId::ProgramFiles64,  FolderId::CommonFiles, FolderId::CommonFiles64,
        FolderId::AppData,      FolderId::CommonAppData,   FolderId::Desktop,     FolderId::CommonDesktop,
        FolderId::Documents,    FolderId::CommonDocuments, FolderId::Favorites,   FolderId::CommonFavorites,
        FolderId::StartMenu,    FolderId::CommonStartMenu, FolderId::Programs,    FolderId::CommonPrograms,
        FolderId::Startup,      FolderId::CommonStartup,   FolderId::Temp};
    Array<String> roots;
    for (FolderId id : kRoots)
        roots.Append(GetFolder(id));
    roots.Append(sharedDir);
    String windows = JudgedPath(SystemFolders().Windows(), names);
    for (const String& root : JudgedFolders(roots))
        if (windows.IsEmpty() || !(IsSamePath(root, windows) || IsPathBelow(root, windows)))
            scope.roots.Append(root);
    return scope;
}

bool StartSelfRemoval() {
    String temp = GetFolder(FolderId::Temp);
    // A fresh folder of our own, and the batch created new in it: a planted file or link at
    // its name is never written through, and nobody else can swap the batch before it runs.
    String folder = MakePrivateTempFolder();
    if (folder.IsEmpty()) return false;
    String batchPath = JoinPath(folder, kSelfRemovalFileName);
    const InstallerState& state = Installer();
    String text = SelfRemovalText(ModuleFullPath(), state.folders.installDir,
                                  state.definition.uninstallSubdir, batchPath);
    String8 bytes = EncodeBatchText(text, CurrentOsRecord());
    if (!WriteNewFile(batchPath, bytes.View())) {
        DWORD error = GetLastError();
        DeleteFileW(W(batchPath));
        RemoveDirectoryW(W(folder));
        SetLastError(error);
        return false;
    }

    // The batch's working folder is the temporary folder: a process whose working folder is
    // inside the installation folder would keep that folder from being removed.
    String commandLine = String(u"\"") + CommandInterpreter() + u"\" /c " + ShortPathOf(batchPath);
    if (StartProcess(commandLine, temp, true, CREATE_NEW_CONSOLE)) { // it runs on after this one
        return true;
    }
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", W(batchPath), nullptr,
                                                   temp.IsEmpty() ? nullptr : W(temp), SW_HIDE)) > 32;
}

} // namespace cs
