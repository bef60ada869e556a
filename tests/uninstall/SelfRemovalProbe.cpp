// A stand-in for the uninstaller at the end of its run: it starts the self-removal batch for
// the installation folder and uninstall data subfolder on its command line, stays alive for
// the given milliseconds (so the batch must wait for it), and exits 0 when the batch started.
#include "payload/InstallerState.h"
#include "uninstall/DeletionWin32.h"

#include <cstdlib>
#include <cwchar>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    cs::InstallerState& state = cs::Installer();
    state.installDir = reinterpret_cast<const char16_t*>(argv[1]);
    state.definition.uninstallSubdir = reinterpret_cast<const char16_t*>(argv[2]);
    bool started = cs::StartSelfRemoval();
    Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    return started ? 0 : 1;
}
