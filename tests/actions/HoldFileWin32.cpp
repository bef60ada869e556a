// Test tool: opens a file without sharing it, so that every other open fails, and keeps it
// open until a second file appears (or 120 s pass), or until the session ends: like a real
// program, it closes when Windows asks it to at a restart (its hidden window answers the
// end-of-session messages). It creates PATH + ".held" once the file is open, so a test knows
// when to go on.
//   hold-file PATH STOPFILE
#include <windows.h>

#include <string>

namespace {

HANDLE g_held = INVALID_HANDLE_VALUE;

LRESULT CALLBACK SessionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) return TRUE;
    if (message == WM_ENDSESSION && wParam) {
        CloseHandle(g_held);
        ExitProcess(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeSessionWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SessionWindow;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CorvantisHoldFile";
    RegisterClassW(&windowClass);
    return CreateWindowW(L"CorvantisHoldFile", L"hold-file", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    g_held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_held == INVALID_HANDLE_VALUE) return 1;
    MakeSessionWindow();
    std::wstring marker = std::wstring(argv[1]) + L".held";
    HANDLE m = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (m != INVALID_HANDLE_VALUE) CloseHandle(m);
    for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    CloseHandle(g_held);
    return 0;
}
