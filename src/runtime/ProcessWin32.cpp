#include "runtime/ProcessWin32.h"

#include "core/Folders.h"
#include "core/ModulePathWin32.h"

#include <windows.h>

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

void WaitForProcessProcessingMessages(void* process) {
    HANDLE handle = process;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, 75, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
        ProcessPendingMessages();
    }
}

} // namespace cs
