// File helpers for the Windows tests that work on real folders: the temporary folder, reading
// a file whole, and removing a folder tree again (read-only files and folder links included).
#pragma once

#include "core/Folders.h"
#include "core/String.h"
#include "core/Text.h"
#include "core/WinText.h"

#include <string>
#include <windows.h>

namespace cs::test {

// The temporary folder without its trailing backslash.
inline String TempFolder() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    String t = FromW(path);
    if (t.Length() > 3 && t.Last() == u'\\') t.Truncate(t.Length() - 1);
    return t;
}

// The folder of the running test program, where the build puts its fixtures.
inline String ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    String p = FromW(path);
    return p.Sub(0, p.View().find_last_of(u'\\'));
}

inline bool Exists(const String& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadBytes(const String& path) {
    HANDLE f = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got)
        data.append(buffer, got);
    CloseHandle(f);
    return data;
}

inline std::string Narrow(const String& s) {
    return std::string(ToUtf8(s).c_str());
}

// Deletes the folder with everything in it; attributes are cleared first, and a folder link
// is removed without following it.
inline void RemoveTree(const String& folder) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(W(JoinPath(folder, u"*")), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            String name = FromW(found.cFileName);
            if (name == String(u".") || name == String(u"..")) continue;
            String child = JoinPath(folder, name);
            SetFileAttributesW(W(child), FILE_ATTRIBUTE_NORMAL);
            bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (isFolder)
                RemoveDirectoryW(W(child));
            else
                DeleteFileW(W(child));
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(W(folder));
}

} // namespace cs::test
