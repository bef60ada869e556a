// Test tool: a registry hive of its own under HKEY_USERS, for the end-to-end test of keys made
// in every user hive. It makes an empty hive file, loads it and unloads it again (the
// system's "reg" has no load and save commands under Wine).
//   hive-tool make FILE    an empty hive file (saved from a fresh empty key)
//   hive-tool load NAME FILE
//   hive-tool unload NAME
// Exit code 0, or the system's error code (cut to 8 bits by the shell).
#include <windows.h>

#include <string>

namespace {

const wchar_t kTestsKey[] = L"Software\\Corvantis Tests";
const wchar_t kTemplateKey[] = L"Software\\Corvantis Tests\\hive-tool template";

void EnablePrivilege(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

LONG MakeEmptyHive(const wchar_t* file) {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, kTemplateKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
    if (r != ERROR_SUCCESS) return r;
    DeleteFileW(file); // saving refuses an existing file
    r = RegSaveKeyW(key, file, nullptr);
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTemplateKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey); // only when no other test's key is below it
    return r;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 87;
    EnablePrivilege(SE_BACKUP_NAME);
    EnablePrivilege(SE_RESTORE_NAME);
    std::wstring command = argv[1];
    LONG r = ERROR_INVALID_PARAMETER;
    if (command == L"make") r = MakeEmptyHive(argv[2]);
    if (command == L"load" && argc >= 4) r = RegLoadKeyW(HKEY_USERS, argv[2], argv[3]);
    if (command == L"unload") r = RegUnLoadKeyW(HKEY_USERS, argv[2]);
    return static_cast<int>(r);
}
