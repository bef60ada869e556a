// A small Windows program that performs one deletion step on request, for the tests that need
// a separate process (the self-removal waits for its program to exit) or a restart of the
// prefix between the request and the check:
//   deletion_probe selfremove <installation folder> <uninstall subfolder> <milliseconds>
//       starts the self-removal batch, stays alive for the milliseconds, exits 0 when started;
//   deletion_probe replace <destination> <source>     ReplaceAtRestart; exits 0 when arranged;
//   deletion_probe delete <path> <options>            DeleteFileEx; exits 0 on success.
#include "runtime/InstallerState.h"
#include "uninstall/DeletionWin32.h"

#include <cstdlib>
#include <cwchar>
#include <string_view>
#include <windows.h>

namespace {
cs::String Arg(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    std::wstring_view command = argv[1];
    if (command == L"selfremove" && argc >= 5) {
        cs::InstallerState& state = cs::Installer();
        state.folders.installDir = Arg(argv[2]);
        state.definition.uninstallSubdir = Arg(argv[3]);
        bool started = cs::StartSelfRemoval();
        Sleep(static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)));
        return started ? 0 : 1;
    }
    if (command == L"replace") return cs::ReplaceAtRestart(Arg(argv[2]), Arg(argv[3])) ? 0 : 1;
    if (command == L"delete")
        return cs::DeleteFileEx(Arg(argv[2]), static_cast<uint32_t>(std::wcstoul(argv[3], nullptr, 0))) ? 0
                                                                                                        : 1;
    return 2;
}
