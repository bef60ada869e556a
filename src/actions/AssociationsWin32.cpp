#include "actions/AssociationsWin32.h"

#include "core/Folders.h"
#include "core/GuardWin32.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "log/Log.h"
#include "runtime/InstallerState.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace cs {

namespace {

// Read, write, create subkeys, enumerate.
constexpr REGSAM kClassesAccess = 0x2000F;

uint32_t ResultOf(bool ok) {
    return ok ? 0 : GetLastError();
}

class WindowsClasses final : public ClassesRegistry {
  public:
    uint32_t OpenKey(const String& path) override {
        RegistryKey key;
        return ResultOf(key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, kClassesAccess));
    }
    uint32_t CreateKey(const String& path) override {
        RegistryKey key;
        return ResultOf(key.Create(HKEY_CLASSES_ROOT, path, kOwnRegistryView, kClassesAccess));
    }
    bool ReadText(const String& path, const String& name, String& text) override {
        RegistryKey key;
        return key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, KEY_QUERY_VALUE) &&
               key.ReadText(name, text, kRegistryTextFirstNul);
    }
    bool ValueExists(const String& path, const String& name) override {
        RegistryKey key;
        RegistryValue value;
        return key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, KEY_QUERY_VALUE) && key.Read(name, value);
    }
    uint32_t SetText(const String& path, const String& name, const String& text) override {
        RegistryKey key;
        return ResultOf(key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, kClassesAccess) &&
                        key.SetText(name, text));
    }
    uint32_t DeleteValue(const String& path, const String& name) override {
        RegistryKey key;
        return ResultOf(key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, kClassesAccess) &&
                        key.DeleteValue(name));
    }
    bool Contents(const String& path, size_t& subkeys, size_t& values) override {
        RegistryKey key;
        Array<String> subkeyNames, valueNames;
        if (!key.Open(HKEY_CLASSES_ROOT, path, kOwnRegistryView, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) ||
            !key.SubkeyNames(subkeyNames) || !key.ValueNames(valueNames))
            return false;
        subkeys = subkeyNames.Count();
        values = valueNames.Count();
        return true;
    }
    uint32_t DeleteKey(const String& path) override {
        return ResultOf(DeleteRegistryTree(HKEY_CLASSES_ROOT, path, kOwnRegistryView));
    }
};

class WindowsAssociationSystem final : public AssociationSystem {
  public:
    void ExpandVariables(String& text) override { ExpandInstallerVariables(text); }
    void Log(const String& text) override { LogTextWide(text); }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }
    void NotifyShell() override { NotifyAssociationsChanged(); }
    bool Guarded(const std::function<void()>& step) override { return RunGuarded(step); }
};

} // namespace

void InstallAssociations() {
    const InstallerState& state = Installer();
    AssociationRun run;
    run.associations = &state.definition.associations;
    run.productName = state.definition.productName;
    run.language = state.choices.language;
    run.installDir = state.folders.installDir;
    run.removableDrive = state.folders.removableDrive;
    run.payloadFlags = state.payloadFlags;
    run.records = &RunUninstallRecords();

    WindowsClasses classes;
    WindowsAssociationSystem system;
    AssociationInstaller(classes, system, run).Run();
}

std::unique_ptr<ClassesRegistry> WindowsClassesRegistry() {
    return std::make_unique<WindowsClasses>();
}

} // namespace cs
