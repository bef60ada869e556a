#include "runtime/RunTempFiles.h"

#include "core/Folders.h"
#include "core/Random.h"
#include "core/WinText.h"

#include <windows.h>

namespace cs {

namespace {

constexpr int kRunTempFileAttempts = 100;

String TempFolderPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    return NormalizeFolderPath(FromW(buffer, length));
}

} // namespace

void* CreateRunTempFile(const String& kind, String& path) {
    path.Clear();
    String folder = TempFolderPath();
    if (folder.IsEmpty()) return nullptr;
    MakeFolderPath(folder);
    for (int attempt = 0; attempt < kRunTempFileAttempts; ++attempt) {
        path = JoinPath(folder, RunTempFileName(kind, GetCurrentProcessId(), CoreRandom16()));
        // Never deletion sharing: that is what tells the next run that this one is alive.
        HANDLE file = CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    path.Clear(); // a name that was not made here is never the caller's to delete
    return nullptr;
}

int RemoveLeftoverRunTempFiles() {
    String folder = TempFolderPath();
    if (folder.IsEmpty()) return 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(W(JoinPath(folder, kRunTempFilePattern)), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        String name = FromW(found.cFileName);
        // A link or anything else that only looks like ours is left alone.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsRunTempFileName(name)) continue;
        // A running installer holds its file open without deletion sharing: the deletion
        // fails for it and succeeds only for a file whose run has ended.
        if (DeleteFileW(W(JoinPath(folder, name)))) ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

} // namespace cs
