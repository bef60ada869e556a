#include "runtime/ProcessWin32.h"

#include "core/Folders.h"
#include "core/ModulePathWin32.h"
#include "core/WinText.h"

#include <windows.h>

#include <vector>

namespace cs {

String ModuleFileName() {
    return FileNameOf(ModuleFullPath());
}

void ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

UniqueHandle StartProcess(const String& commandLine, const String& folder, bool hidden, uint32_t flags,
                          const Array<String>* environment) {
    // The system may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(W(commandLine), W(commandLine) + commandLine.Length() + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    // The block: each entry ends in a null character, and one more ends the block.
    std::vector<wchar_t> block;
    if (environment) {
        for (const String& entry : *environment)
            block.insert(block.end(), W(entry), W(entry) + entry.Length() + 1);
        block.push_back(L'\0');
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags,
                        environment ? block.data() : nullptr, folder.IsEmpty() ? nullptr : W(folder),
                        &startup, &process))
        return UniqueHandle();
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

Array<String> ProcessEnvironment() {
    Array<String> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return entries;
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
        entries.Append(FromW(entry));
    FreeEnvironmentStringsW(block);
    return entries;
}

void WaitForProcessProcessingMessages(void* process) {
    HANDLE handle = process;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, 75, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
        ProcessPendingMessages();
    }
}

} // namespace cs
