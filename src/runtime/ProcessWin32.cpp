#include "runtime/ProcessWin32.h"

#include "core/ModulePathWin32.h"

#include <windows.h>

namespace cs {

String ModuleFileName() {
    String path = ModuleFullPath();
    size_t slash = path.View().find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.Sub(slash + 1);
}

void ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace cs
