// Test tool: holds the installers' named mutex until the given file appears (or 60 s pass),
// so a test can start an installer while "another installer" runs.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Corvantis HVX");
    if (!mutex) return 1;
    for (int i = 0; i < 600; ++i) {
        if (argc > 1 && GetFileAttributesW(argv[1]) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    ReleaseMutex(mutex);
    return 0;
}
