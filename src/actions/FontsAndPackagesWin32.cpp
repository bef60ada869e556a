#include "actions/FontsAndPackagesWin32.h"

#include "core/GuardWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/WinText.h"

namespace cs {

namespace {

constexpr const char16_t kFontsKeyNt[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr const char16_t kFontsKey9x[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

const char16_t* FontsKey() {
    return CurrentOsRecord().platform == kPlatformNt ? kFontsKeyNt : kFontsKey9x;
}

// The font key of a 32-bit view is not what the system's font loader reads on 64-bit Windows.
RegistryView FontsView() {
    return CurrentOsRecord().is64BitWindows ? RegistryView::Bits64 : RegistryView::Default;
}

// INSTALLUILEVEL and INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL, HWND*), and
// UINT MsiInstallProductW(LPCWSTR, LPCWSTR); declared here so that no MSI header is needed.
using SetInternalUiFn = int(WINAPI*)(int, HWND*);
using InstallProductFn = UINT(WINAPI*)(const wchar_t*, const wchar_t*);

struct MsiLibrary {
    bool tried = false;
    HMODULE module = nullptr;
    SetInternalUiFn setInternalUi = nullptr;
    InstallProductFn installProduct = nullptr;
};

MsiLibrary& Msi() {
    static MsiLibrary library;
    if (!library.tried) {
        library.tried = true;
        library.module = LoadSystemLibrary(L"MSI.DLL");
        library.setInternalUi = LibraryEntry<SetInternalUiFn>(library.module, "MsiSetInternalUI");
        library.installProduct = LibraryEntry<InstallProductFn>(library.module, "MsiInstallProductW");
    }
    return library;
}

} // namespace

bool WriteFontRegistration(const String& face, const String& fileName, uint32_t& error) {
    RegistryKey key;
    bool ok =
        key.Create(HKEY_LOCAL_MACHINE, FontsKey(), FontsView(), KEY_SET_VALUE) && key.SetText(face, fileName);
    error = ok ? 0 : GetLastError();
    return ok;
}

bool DeleteFontRegistration(const String& face) {
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, FontsKey(), FontsView(), KEY_SET_VALUE))
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    return key.DeleteValue(face) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void NotifyFontChange() {
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
}

MsiResult RunWindowsInstaller(const String& package, const String& commandLine, int uiLevel) {
    MsiLibrary& msi = Msi();
    MsiResult result;
    if (!msi.setInternalUi || !msi.installProduct) {
        result.code = ERROR_CALL_NOT_IMPLEMENTED;
        return result;
    }
    UINT code = ERROR_INSTALL_FAILURE;
    bool completed = RunGuarded([&] {
        HWND owner = GetActiveWindow();
        msi.setInternalUi(uiLevel, &owner);
        code = msi.installProduct(W(package), W(commandLine));
    });
    result.crashed = !completed;
    result.code = completed ? code : ERROR_INSTALL_FAILURE;
    return result;
}

} // namespace cs
