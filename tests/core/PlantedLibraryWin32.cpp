// A library an attacker could plant beside an installer, under the names of system libraries
// the engine uses (copied as version.dll, winmm.dll, wintrust.dll, comctl32.dll). Loading it
// leaves a mark: a file named like the library with ".loaded" added, beside it. Its entry
// points carry the names the engine once imported from those libraries, so that a program
// linked to them would start with it; each one fails.
#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 16] = {};
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcatW(path, L".loaded");
    HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        DWORD wrote = 0;
        WriteFile(mark, "planted code ran", 16, &wrote, nullptr);
        CloseHandle(mark);
    }
    return TRUE;
}

DWORD WINAPI PlantedVersionInfoSize(LPCWSTR, LPDWORD) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}
BOOL WINAPI PlantedVersionInfo(LPCWSTR, DWORD, DWORD, LPVOID) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}
BOOL WINAPI PlantedQueryValue(LPCVOID, LPCWSTR, LPVOID*, PUINT) {
    return FALSE;
}
BOOL WINAPI PlantedPlaySound(LPCWSTR, HMODULE, DWORD) {
    return FALSE;
}
LONG WINAPI PlantedVerifyTrust(HWND, GUID*, LPVOID) {
    return static_cast<LONG>(0x800B0100); // no signature
}

} // extern "C"
