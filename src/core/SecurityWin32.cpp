#include "core/SecurityWin32.h"

#include "core/HandleWin32.h"
#include "core/WinText.h"

#include <aclapi.h>

namespace cs {

namespace {

bool IsFolder(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void EnablePrivilege(const wchar_t* name) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

bool CreatePrivateFolder(const String& path) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
    alignas(TOKEN_USER) BYTE userBuffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, userBuffer, sizeof userBuffer, &size)) return false;
    PSID user = reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid;
    alignas(SID) BYTE administrators[SECURITY_MAX_SID_SIZE];
    alignas(SID) BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD adminSize = sizeof administrators, systemSize = sizeof system;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &adminSize) ||
        !CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize))
        return false;
    PSID sids[] = {user, administrators, system};
    alignas(ACL) BYTE aclBuffer[1024];
    ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
    if (!InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION)) return false;
    for (PSID sid : sids) {
        if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                   FILE_ALL_ACCESS, sid))
            return false;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    return CreateDirectoryW(W(path), &attributes) != FALSE;
}

DWORD TakeOwnership(const String& path) {
    EnablePrivilege(L"SeTakeOwnershipPrivilege");
    EnablePrivilege(L"SeRestorePrivilege");
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return GetLastError();
    BYTE buffer[256];
    DWORD size = 0;
    DWORD r = ERROR_INVALID_PARAMETER;
    if (GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        r = SetNamedSecurityInfoW(const_cast<wchar_t*>(W(path)), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                  user, nullptr, nullptr, nullptr);
    } else {
        r = GetLastError();
    }
    return r;
}

DWORD OpenAccessList(const String& path, bool everyone) {
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
    if (!everyone) {
        r = SetNamedSecurityInfoW(const_cast<wchar_t*>(W(path)), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, dacl, nullptr);
        LocalFree(descriptor);
        return r;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyoneSid = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyoneSid)) {
        r = GetLastError();
        LocalFree(descriptor);
        return r;
    }
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = GRANT_ACCESS;
    // Only a folder passes the entry on; a file's entry has nothing to be inherited by.
    access.grfInheritance = IsFolder(path) ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<wchar_t*>(everyoneSid);
    PACL opened = nullptr;
    r = SetEntriesInAclW(1, &access, dacl, &opened);
    if (r == ERROR_SUCCESS) {
        r = SetNamedSecurityInfoW(const_cast<wchar_t*>(W(path)), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, opened, nullptr);
        LocalFree(opened);
    }
    FreeSid(everyoneSid);
    LocalFree(descriptor);
    return r;
}

DWORD OpenAccessListTakingOwnership(const String& path, bool everyone) {
    DWORD r = OpenAccessList(path, everyone);
    if (r == ERROR_ACCESS_DENIED && TakeOwnership(path) == ERROR_SUCCESS) r = OpenAccessList(path, everyone);
    return r;
}

} // namespace cs
