#include "runtime/FileRemovalWin32.h"

#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/HandleWin32.h"
#include "core/OsInfo.h"
#include "core/Text.h"
#include "core/WinText.h"

#include <vector>
#include <windows.h>

#include <shellapi.h>

namespace cs {

namespace {

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool Exists(const String& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool IsNtFamily() {
    return CurrentOsRecord().platform == kPlatformNt;
}

bool WininitExists() {
    return Exists(JoinPath(SystemFolders().Windows(), u"wininit.exe"));
}

String8 AnsiShortPath(const String& path) {
    return ToCodePage(ShortPathOf(path), kCodePageAnsi);
}

bool MoveToRecycleBin(const String& path) {
    std::vector<wchar_t> from(W(path), W(path) + path.Length());
    from.push_back(0);
    from.push_back(0); // the list ends with a double NUL
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    int r = SHFileOperationW(&operation);
    if (r != 0) SetLastError(static_cast<DWORD>(r));
    return r == 0;
}

} // namespace

String ShortPathOf(const String& path) {
    DWORD n = GetShortPathNameW(W(path), nullptr, 0);
    if (n == 0) return path;
    std::vector<wchar_t> buffer(n + 1);
    DWORD got = GetShortPathNameW(W(path), buffer.data(), n + 1);
    if (got == 0 || got > n) return path;
    return FromW(buffer.data(), got);
}

bool AddRenameListEntry(const String& iniPath, const String8& name, const String8& path) {
    UniqueHandle file(CreateFileW(W(iniPath), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    String8 text, updated;
    bool ok = ReadToEnd(file.Get(), text);
    if (ok && !AddRenameEntry(text, name, path, updated)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        ok = false;
    }
    if (ok) {
        ok = SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == 0 && WriteAll(file.Get(), updated.View()) &&
             SetEndOfFile(file.Get());
    }
    return ok; // closing the file keeps the last error
}

bool AddToRenameList(const String8& name, const String8& path) {
    return AddRenameListEntry(JoinPath(SystemFolders().Windows(), kRenameListFile), name, path);
}

bool ScheduleDeletionAtRestart(const String& path) {
    if (IsNtFamily()) {
        if (MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
        DWORD error = GetLastError();
        if (!WininitExists()) {
            SetLastError(error);
            return false;
        }
    }
    return AddToRenameList("NUL", AnsiShortPath(path));
}

void ClearReadOnly(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(W(path), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool DeleteFileEx(const String& path, uint32_t options) {
    if (path.IsEmpty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (options & kDeleteOnlyEmpty) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(W(path), GetFileExInfoStandard, &data) &&
            (data.nFileSizeHigh || data.nFileSizeLow)) {
            SetLastError(ERROR_FILE_EXISTS);
            return false;
        }
    }
    if (!(options & kDeleteKeepReadOnly)) ClearReadOnly(path);
    if (options & kDeleteAtRestart) return ScheduleDeletionAtRestart(path);
    if (options & kDeleteToRecycleBin) return MoveToRecycleBin(path);
    if (DeleteFileW(W(path))) return true;
    DWORD error = GetLastError();
    if (IsNotFound(error)) {
        if (options & kDeleteMissingIsDeleted) return true;
    } else if (options & kDeleteRestartOnFailure) {
        return ScheduleDeletionAtRestart(path);
    }
    SetLastError(error);
    return false;
}

bool ReplaceAtRestart(const String& destination, const String& source) {
    if (CompareNoCase(destination, source) == 0) return true;
    if (!Exists(source)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    bool arranged = false;
    if (IsNtFamily()) {
        arranged =
            MoveFileExW(W(source), W(destination), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
        if (!arranged && WininitExists())
            arranged = AddToRenameList(AnsiShortPath(destination), AnsiShortPath(source));
    } else {
        arranged = AddToRenameList(AnsiShortPath(destination), AnsiShortPath(source));
    }
    if (arranged) SetLastError(ERROR_BUSY);
    return arranged;
}

} // namespace cs
