// The registry step of the installation: the product's own key, the definition's registry
// list line by line, the registry merge file and the main executable's "App Paths" entry.
// The list, with the lines this step appends for the uninstaller, becomes the "[Registry2]"
// records of the uninstall data. The step is portable; what touches the system comes through
// RegistrySystem (RegistryInstallationWin32.cpp on Windows, a fake in the tests).
#pragma once

#include "actions/RegistryRules.h"
#include "core/Array.h"
#include "core/String.h"
#include "payload/Bytes.h"
#include "uninstall/UninstallData.h"

namespace cs {

constexpr int kTextRegistryStatus = 78;
constexpr int kProgressRegistry = 97;
// Payload flag: no registry changes in an installation on a removable drive.
constexpr uint32_t kFlagNoRegistryOnRemovable = 0x8000;

constexpr const char16_t kAppPathsKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// What the step needs of the system. Every registry call works in the view the system was
// made for and returns 0 or the system's error code.
class RegistrySystem {
  public:
    virtual ~RegistrySystem() = default;
    virtual void ShowStatus(int textNumber, int position) = 0;
    virtual void ExpandVariables(String& text) = 0;
    virtual void Log(const String& text) = 0;
    virtual void AddFailure(const String& text) = 0;
    virtual String SystemErrorText(uint32_t code) = 0;

    // The names of the hives loaded under HKEY_USERS, all of them.
    virtual uint32_t LoadedHives(Array<String>& names) = 0;
    // Opens the key, making it and its missing parents first; existed tells whether it was
    // there before. hive is never AllUsers.
    virtual uint32_t CreateKey(RegistryHive hive, const String& subkey, bool& existed) = 0;
    virtual bool ValueExists(RegistryHive hive, const String& subkey, const String& name) = 0;
    // A REG_SZ or REG_EXPAND_SZ value as stored; false when there is none.
    virtual bool ReadText(RegistryHive hive, const String& subkey, const String& name, String& text) = 0;
    virtual uint32_t SetValue(RegistryHive hive, const String& subkey, const String& name, uint32_t type,
                              const Bytes& data) = 0;
    // kErrorFileNotFound when the key or the value is not there.
    virtual uint32_t DeleteValue(RegistryHive hive, const String& subkey, const String& name) = 0;

    // A new temporary file ("KWT" name, extension "reg") holding the bytes; its path.
    virtual uint32_t WriteMergeFile(const String8& text, String& path) = 0;
    // Starts the command line and waits for its end; the error when it cannot be started.
    virtual uint32_t RunAndWait(const String& commandLine) = 0;
    // Whether the key is there in the view the registry editor of the last RunAndWait wrote.
    virtual bool ImportedKeyExists(RegistryHive hive, const String& subkey) = 0;
    virtual void RemoveFile(const String& path) = 0;
    virtual bool IsFile(const String& path) = 0;
};

// What the step reads of the run.
struct RegistryRun {
    bool removableDrive = false;
    uint32_t payloadFlags = 0;
    String installDir;
    String productKey;                   // below "Software\" ("" none)
    String8 list;                        // the registry list (UTF-8 lines); gains the "App Paths" lines
    String8 mergeText;                   // the merge file's bytes ("" none)
    String mainExecutable;               // relative to the installation folder ("" none)
    UninstallRecords* records = nullptr; // its "[Registry2]" block gains the list
};

class RegistryInstaller {
  public:
    RegistryInstaller(RegistrySystem& system, RegistryRun& run) : system_(system), run_(run) {}

    // The whole step, in order: product key, list, merge file, "App Paths", the records.
    void Apply();

  private:
    void CreateProductKey();
    void ApplyLine(std::string_view text);
    void MergeFile();
    String MergeNotImported(const String8& text);
    void RegisterAppPath();

    struct Target {
        RegistryHive hive;
        String subkey;
    };
    // The keys a path names: one, or one in every user hive for "\HKAU\" paths.
    Array<Target> TargetsOf(const RegistryKeyPath& path);
    const Array<String>& UserHives();
    // Creates every target, deletes the value in every target; the first failure's error.
    uint32_t CreateEach(const Array<Target>& targets);
    uint32_t DeleteEach(const Array<Target>& targets, const String& name);
    void CreateKeys(const String& keyPath);
    void DeleteValues(const String& keyPath, const String& name);
    void WriteValues(const String& keyPath, const String& name, uint32_t type, bool onlyWhenMissing,
                     const String8& data);
    void LogKeyFailure(const String& keyPath, uint32_t error);
    bool SetAppPathValue(const String& key, const String& subkey, const String& name, const String& text,
                         uint32_t& error);
    void RecordAppPathValue(const String& key, const String& name);
    void KeepOwnAppPath(const String& key, const String& subkey, const String& executable);

    RegistrySystem& system_;
    RegistryRun& run_;
    Array<String> userHives_;
    bool hivesRead_ = false;
};

} // namespace cs
