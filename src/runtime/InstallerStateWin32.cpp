// The engine's definition step on Windows: the running system as the reader's environment,
// the checksum test of the payload, and the corrupt-installer error for the reader's code.
#include "core/BitnessWin32.h"
#include "core/Folders.h"
#include "core/OsInfo.h"
#include "core/Text.h"
#include "payload/DefinitionReader.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/InstallerState.h"
#include "runtime/Payload.h"

#include <windows.h>

namespace cs {

namespace {

String WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    return n > 0 && n <= MAX_PATH ? String(reinterpret_cast<const char16_t*>(buffer), n) : String();
}

// What switching off the redirection gave back, for switching it on again.
PVOID g_redirection = nullptr;
bool g_redirectionOff = false;

template <class Fn> Fn Kernel32Entry(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, name) : nullptr));
}

} // namespace

// A 64-bit product's files must reach the real system folders. The 64-bit engine has no
// redirection to switch off, so for it this is done.
bool DisableFileSystemRedirection() {
    if (kEngineIs64Bit) return true;
    auto disable = Kernel32Entry<BOOL(WINAPI*)(PVOID*)>("Wow64DisableWow64FsRedirection");
    g_redirectionOff = disable && disable(&g_redirection);
    return g_redirectionOff;
}

void RestoreFileSystemRedirection() {
    if (!g_redirectionOff) return;
    auto revert = Kernel32Entry<BOOL(WINAPI*)(PVOID)>("Wow64RevertWow64FsRedirection");
    if (revert && revert(g_redirection)) g_redirectionOff = false;
}

String Product32BitSystemFolder() {
    const Definition& d = Installer().definition;
    bool product32 = !(d.optionWord2 & kOpt2Product64Bit) && d.bitness != 1;
    if (!product32) return String();
    // On 32-bit Windows both name the one system folder.
    String system32 = GetFolder(FolderId::System32);
    return EqualsNoCase(system32, GetFolder(FolderId::System).c_str()) ? String() : system32;
}

String ProductSystemFolder32() {
    return kEngineIs64Bit ? Product32BitSystemFolder() : String();
}

void ReadDefinitionOrExit(EnginePayload& payload, const CommandLine& commandLine,
                          void (*expandVariables)(String&)) {
    InstallerState& state = Installer();
    state.commandLine = commandLine;
    state.payloadFlags = payload.info.header.flags;
    DefinitionEnvironment env;
    env.commandLine = InputsOf(commandLine);
    env.newerThanServer2003 = CurrentIsNewerThanServer2003();
    env.windowsFolder = WindowsFolder();
    env.programFiles32 = GetFolder(FolderId::ProgramFiles);
    env.programFiles64 = GetFolder(FolderId::ProgramFiles64);
    env.desktopAllUsers = GetFolder(FolderId::CommonDesktop);
    env.desktopUser = GetFolder(FolderId::Desktop);
    env.disableRedirection = DisableFileSystemRedirection;
    if (expandVariables) env.expandVariables = expandVariables;
    const Bytes& plain = payload.info.definition;
    env.checksumTest = [&payload, &plain] {
        return DefinitionChecksumMatches(payload.info, plain) ? 0 : kCodeChecksum;
    };
    int code = ReadDefinition(plain.data(), plain.size(), env, state);
    if (code != 0) CorruptInstaller(code);
}

} // namespace cs
