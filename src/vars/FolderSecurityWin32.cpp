#include "vars/BatchWin32.h"

#include "core/Format.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "payload/InstallerState.h"

#include <windows.h>

#include <aclapi.h>

namespace cs {

namespace {

bool IsAbsolute(const String& path) {
    if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    return path.Length() >= 3 && path[1] == u':' && path[2] == u'\\' &&
           ((path[0] >= u'a' && path[0] <= u'z') || (path[0] >= u'A' && path[0] <= u'Z'));
}

void EnablePrivilege(const wchar_t* name) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

DWORD TakeOwnership(const String& path) {
    EnablePrivilege(L"SeTakeOwnershipPrivilege");
    EnablePrivilege(L"SeRestorePrivilege");
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return GetLastError();
    BYTE buffer[256];
    DWORD size = 0;
    DWORD r = ERROR_INVALID_PARAMETER;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        r = SetNamedSecurityInfoW(const_cast<wchar_t*>(W(path)), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                  user, nullptr, nullptr, nullptr);
    } else {
        r = GetLastError();
    }
    CloseHandle(token);
    return r;
}

// The access list without its access-denied entries, plus Everyone: full access, inherited
// by files and sub-folders.
DWORD OpenToEveryone(const String& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD r = GetNamedSecurityInfoW(W(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor);
    if (r != ERROR_SUCCESS) return r;
    if (dacl) {
        ACL_SIZE_INFORMATION info{};
        GetAclInformation(dacl, &info, sizeof info, AclSizeInformation);
        for (DWORD i = info.AceCount; i-- > 0;) {
            ACE_HEADER* ace;
            if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
                (ace->AceType == ACCESS_DENIED_ACE_TYPE || ace->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE))
                DeleteAce(dacl, i);
        }
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        r = GetLastError();
        LocalFree(descriptor);
        return r;
    }
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<wchar_t*>(everyone);
    PACL opened = nullptr;
    r = SetEntriesInAclW(1, &access, dacl, &opened);
    if (r == ERROR_SUCCESS) {
        r = SetNamedSecurityInfoW(const_cast<wchar_t*>(W(path)), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, opened, nullptr);
        LocalFree(opened);
    }
    FreeSid(everyone);
    LocalFree(descriptor);
    return r;
}

DWORD Loosen(const String& path) {
    if (path.IsEmpty() || !IsAbsolute(path)) return ERROR_BAD_PATHNAME;
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_PATH_NOT_FOUND;
    try {
        const DWORD unwanted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (attributes & unwanted) SetFileAttributesW(W(path), attributes & ~unwanted);
        DWORD r = OpenToEveryone(path);
        if (r == ERROR_ACCESS_DENIED && TakeOwnership(path) == ERROR_SUCCESS) r = OpenToEveryone(path);
        return r;
    } catch (...) {
        return 0x8000FFFF;
    }
}

} // namespace

bool LoosenFolderSecurity(const String& path) {
    if (!(Installer().definition.optionWord2 & kOpt2LoosenSecurity)) return true;
    LogPiecesWide({u"Loosening security on directory \"", path.c_str(), u"\"..."});
    DWORD r = Loosen(path);
    if (r == ERROR_SUCCESS)
        LogText8("OK\r\n");
    else
        LogTextWide(
            Format(u"FAILED code %d: %s\r\n\r\n", static_cast<int32_t>(r), WindowsSystemErrorText(r)));
    SetLastError(r);
    return r == ERROR_SUCCESS;
}

} // namespace cs
