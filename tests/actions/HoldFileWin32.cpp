// Test tool: opens a file without sharing it, so that every other open fails, and keeps it
// open until a second file appears (or 120 s pass). It creates PATH + ".held" once the file
// is open, so a test knows when to go on.
//   hold-file PATH STOPFILE
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    std::wstring marker = std::wstring(argv[1]) + L".held";
    HANDLE m = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (m != INVALID_HANDLE_VALUE) CloseHandle(m);
    for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    CloseHandle(held);
    return 0;
}
