#include "actions/ShellLinkWin32.h"

#include "core/Folders.h"
#include "core/GuardWin32.h"
#include "core/HandleWin32.h"
#include "core/WinText.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace cs {

namespace {

// An HRESULT that carries a system error code is reported as that code.
int64_t ErrorOf(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
    return static_cast<int32_t>(result);
}

HRESULT SaveLink(const Link& link) {
    ComRef<IShellLinkW> shellLink;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&shellLink));
    if (FAILED(result)) return result;
    shellLink->SetPath(W(link.target));
    shellLink->SetIconLocation(W(link.icon.IsEmpty() ? link.target : link.icon), 0);
    if (!link.arguments.IsEmpty()) shellLink->SetArguments(W(link.arguments));
    if (int show = ShowCommandOf(link.flags)) shellLink->SetShowCmd(show);
    String workingFolder = LinkWorkingFolder(link.workingFolder);
    if (!workingFolder.IsEmpty()) shellLink->SetWorkingDirectory(W(workingFolder));

    ComRef<IPersistFile> file;
    result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(result)) return result;
    String path = WithLinkExtension(link.path);
    if (!(link.flags & kLinkSkipFolderCreation)) MakeFolderPath(FolderOf(path));
    return file->Save(W(path), TRUE);
}

} // namespace

bool CreateShellLink(const Link& link, int64_t& error) {
    if (link.target.IsEmpty()) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    HRESULT result = E_UNEXPECTED;
    if (!RunGuarded([&] { result = SaveLink(link); })) result = E_UNEXPECTED;
    error = ErrorOf(result);
    return SUCCEEDED(result);
}

bool PinLinkToTaskbar(const String& linkPath, uint32_t& error) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"taskbarpin";
    info.lpFile = W(linkPath);
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return true;
    error = ShellVerbError(reinterpret_cast<intptr_t>(info.hInstApp), GetLastError());
    return false;
}

} // namespace cs
