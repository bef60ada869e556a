// A COM server of the tests' own: DllRegisterServer writes its class key under
// HKEY_CLASSES_ROOT\CLSID, DllUnregisterServer removes it, and it serves no objects.
//
// Built twice. The second build (TEST_COM_REFUSES_REGSVR32) refuses to register while it is
// loaded by regsvr32.exe (its DllRegisterServer fails there, so regsvr32 ends with an error
// code) and registers when any other program calls its DllRegisterServer: it shows the
// installer's fallback from a failed regsvr32 run to the server's own entry point, and the
// class key it leaves proves that the direct call took place. The third build
// (TEST_COM_CRASHES) writes through a null pointer in DllRegisterServer, in regsvr32 and in
// the installer alike: it shows the guard around the server's code.
#include <windows.h>

#include <olectl.h>

#include <cwchar>

namespace {

#ifdef TEST_COM_REFUSES_REGSVR32
constexpr wchar_t kClassKey[] = L"CLSID\\{6B1F3C52-2E7A-4C11-9A0D-5E2B7C4D9F02}";
constexpr wchar_t kDescription[] = L"Corvantis test COM server (refuses regsvr32)";
#else
constexpr wchar_t kClassKey[] = L"CLSID\\{6B1F3C52-2E7A-4C11-9A0D-5E2B7C4D9F01}";
constexpr wchar_t kDescription[] = L"Corvantis test COM server";
#endif

HMODULE g_module = nullptr;

bool SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
}

#ifdef TEST_COM_REFUSES_REGSVR32
bool LoadedByRegsvr32() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    return _wcsicmp(name ? name + 1 : path, L"regsvr32.exe") == 0;
}
#endif

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
#ifdef TEST_COM_CRASHES
    *static_cast<volatile int*>(nullptr) = 1;
#endif
#ifdef TEST_COM_REFUSES_REGSVR32
    if (LoadedByRegsvr32()) return SELFREG_E_CLASS;
#endif
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    HKEY key = nullptr, server = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return SELFREG_E_CLASS;
    bool ok = SetText(key, nullptr, kDescription) &&
              RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr) ==
                  ERROR_SUCCESS &&
              SetText(server, nullptr, path) && SetText(server, L"ThreadingModel", L"Apartment");
    if (server) RegCloseKey(server);
    RegCloseKey(key);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kClassKey);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, void** object) {
    if (object) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_OK;
}
