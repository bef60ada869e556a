#include "runtime/ShellLaunchWin32.h"

#include "core/HandleWin32.h"
#include "core/WinText.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

// shellapi.h names the shell's ShellExecuteW function with a macro that would also rename the
// automation method of the same name.
#undef ShellExecute

namespace cs {

namespace {

// A text VARIANT that frees its string.
class TextVariant {
  public:
    explicit TextVariant(const String& text) {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocString(W(text));
    }
    ~TextVariant() { VariantClear(&v_); }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    VARIANT& Get() { return v_; }

  private:
    VARIANT v_;
};

// The shell's automation object living in the desktop's process: the desktop window's
// browser, its active view, the view's background object and that object's application.
bool DesktopShellDispatch(ComRef<IShellDispatch2>& shell) {
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(&windows))))
        return false;
    VARIANT empty;
    VariantInit(&empty);
    long window = 0;
    ComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) != S_OK ||
        !desktop.Get())
        return false;
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services))) &&
           SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                            reinterpret_cast<void**>(&browser))) &&
           SUCCEEDED(browser->QueryActiveShellView(&view)) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background))) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView))) &&
           SUCCEEDED(folderView->get_Application(&application)) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)));
}

} // namespace

bool OpenThroughDesktopShell(const String& file, const String& arguments, const String& folder) {
    ComRef<IShellDispatch2> shell;
    if (!DesktopShellDispatch(shell)) return false;
    BSTR name = SysAllocString(W(file));
    TextVariant args(arguments), dir(folder), verb(String(u"open"));
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT result = shell->ShellExecute(name, args.Get(), dir.Get(), verb.Get(), show);
    SysFreeString(name);
    return SUCCEEDED(result);
}

unsigned long OpenThroughShell(const String& file, const String& arguments, const String& folder) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = W(file);
    info.lpParameters = arguments.IsEmpty() ? nullptr : W(arguments);
    info.lpDirectory = folder.IsEmpty() ? nullptr : W(folder);
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return 0;
    DWORD error = GetLastError();
    return error ? error : ERROR_FILE_NOT_FOUND;
}

} // namespace cs
