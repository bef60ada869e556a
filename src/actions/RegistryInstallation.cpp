#include "actions/RegistryInstallation.h"

#include "actions/FileRules.h"
#include "core/Format.h"
#include "core/Text.h"

namespace cs {

void RegistryInstaller::Apply() {
    if (run_.removableDrive && (run_.payloadFlags & kFlagNoRegistryOnRemovable)) return;
    system_.ShowStatus(kTextRegistryStatus, kProgressRegistry);
    CreateProductKey();
    for (std::string_view line : RegistryListLines(run_.list.View()))
        ApplyLine(line);
    MergeFile();
    RegisterAppPath();
    if (run_.records) run_.records->registry2 += RegistryUndoRecords(run_.list.View());
}

// Listed once, at the first "\HKAU\" path; a failure is logged once and leaves no hive.
const Array<String>& RegistryInstaller::UserHives() {
    if (hivesRead_) return userHives_;
    hivesRead_ = true;
    Array<String> loaded;
    if (uint32_t error = system_.LoadedHives(loaded)) {
        system_.Log(Format(u"Failed to list the user hives: %s\r\n", system_.SystemErrorText(error)));
        return userHives_;
    }
    for (const String& hive : loaded)
        if (IsUserHive(hive)) userHives_.Append(hive);
    return userHives_;
}

Array<RegistryInstaller::Target> RegistryInstaller::TargetsOf(const RegistryKeyPath& path) {
    Array<Target> targets;
    if (path.hive != RegistryHive::AllUsers) {
        targets.Append({path.hive, path.subkey});
        return targets;
    }
    for (const String& hive : UserHives())
        targets.Append({RegistryHive::Users, path.subkey.IsEmpty() ? hive : hive + u"\\" + path.subkey});
    return targets;
}

uint32_t RegistryInstaller::CreateEach(const Array<Target>& targets) {
    uint32_t first = 0;
    for (const Target& target : targets) {
        bool existed = false;
        uint32_t error = system_.CreateKey(target.hive, target.subkey, existed);
        if (error && !first) first = error;
    }
    return first;
}

void RegistryInstaller::CreateProductKey() {
    if (run_.productKey.IsEmpty()) return;
    String subkey = String(u"Software\\") + run_.productKey;
    uint32_t error = CreateEach(TargetsOf({RegistryHive::AllUsers, subkey}));
    bool existed = false;
    uint32_t machine = system_.CreateKey(RegistryHive::LocalMachine, subkey, existed);
    if (machine) error = machine;
    if (error)
        system_.AddFailure(Format(u"Error creating registry keys at \\Software\\%s\r\nCode %d: %s\r\n\r\n",
                                  run_.productKey, error, system_.SystemErrorText(error)));
}

void RegistryInstaller::ApplyLine(std::string_view text) {
    RegistryLine line = ParseRegistryLine(text);
    switch (line.kind) {
    case RegistryLineKind::Blank:
        return;
    case RegistryLineKind::Illegal:
        system_.AddFailure(String(u"Illegal registry entry: ") + FromUtf8(text) + u"\r\n");
        return;
    case RegistryLineKind::Key:
        CreateKeys(FromUtf8(line.Key().View()));
        return;
    case RegistryLineKind::Value: {
        RegistryActionRules rules = RulesOfRegistryAction(line.action);
        String key = FromUtf8(line.Key().View()), name = FromUtf8(line.Name().View());
        if (rules.deleteAtInstall) DeleteValues(key, name);
        if (rules.writeAtInstall) WriteValues(key, name, line.type, rules.onlyWhenMissing, line.Data());
        return;
    }
    }
}

void RegistryInstaller::CreateKeys(const String& keyPath) {
    RegistryKeyPath path;
    uint32_t error = ParseRegistryKeyPath(keyPath, path) ? CreateEach(TargetsOf(path)) : kErrorBadPathName;
    if (error) LogKeyFailure(keyPath, error);
}

void RegistryInstaller::LogKeyFailure(const String& keyPath, uint32_t error) {
    system_.Log(
        Format(u"Failed to create registry key: %s\r\n%s\r\n", keyPath, system_.SystemErrorText(error)));
}

void RegistryInstaller::DeleteValues(const String& keyPath, const String& name) {
    RegistryKeyPath path;
    uint32_t error =
        ParseRegistryKeyPath(keyPath, path) ? DeleteEach(TargetsOf(path), name) : kErrorBadPathName;
    if (error)
        system_.Log(
            Format(u"Failed to delete registry value \"%s\": %s\r\n", name, system_.SystemErrorText(error)));
}

// A key or value that is not there has nothing to delete; the first other failure's error.
uint32_t RegistryInstaller::DeleteEach(const Array<Target>& targets, const String& name) {
    uint32_t first = 0;
    for (const Target& target : targets) {
        uint32_t error = system_.DeleteValue(target.hive, target.subkey, name);
        if (error && error != kErrorFileNotFound && !first) first = error;
    }
    return first;
}

void RegistryInstaller::WriteValues(const String& keyPath, const String& name, uint32_t type,
                                    bool onlyWhenMissing, const String8& dataText) {
    RegistryData data =
        ConvertRegistryData(type, dataText, [this](String& text) { system_.ExpandVariables(text); });
    if (!data.valid) {
        system_.Log(Format(u"Failed to create registry value \"%s\": \"%s\" is not a number\r\n", name,
                           FromUtf8(dataText.View())));
        return;
    }
    RegistryKeyPath path;
    if (!ParseRegistryKeyPath(keyPath, path)) {
        LogKeyFailure(keyPath, kErrorBadPathName);
        return;
    }
    uint32_t keyError = 0, valueError = 0;
    for (const Target& target : TargetsOf(path)) {
        bool existed = false;
        uint32_t error = system_.CreateKey(target.hive, target.subkey, existed);
        if (error) {
            if (!keyError) keyError = error;
            continue;
        }
        if (onlyWhenMissing && system_.ValueExists(target.hive, target.subkey, name)) continue;
        error = system_.SetValue(target.hive, target.subkey, name, type, data.bytes);
        if (error && !valueError) valueError = error;
    }
    if (keyError) LogKeyFailure(keyPath, keyError);
    if (valueError)
        system_.Log(Format(u"Failed to create registry value \"%s\": %s\r\n", name,
                           system_.SystemErrorText(valueError)));
}

void RegistryInstaller::MergeFile() {
    if (run_.mergeText.IsEmpty()) return;
    String path;
    uint32_t error = system_.WriteMergeFile(run_.mergeText, path);
    if (error) {
        system_.AddFailure(
            Format(u"Failed to create the registry merge file: %s\r\n", system_.SystemErrorText(error)));
        return;
    }
    system_.Log(u"Merging registry file...");
    error = system_.RunAndWait(Format(u"regedit /s \"%s\"", path));
    // The registry editor's silent import reports nothing, not even a file it could not read:
    // what it was to do is looked up afterwards.
    String reason = error ? system_.SystemErrorText(error) : MergeNotImported(run_.mergeText);
    if (!reason.IsEmpty()) {
        system_.Log(Format(u"FAILED!\r\n%s\r\n", reason));
        system_.AddFailure(Format(u"Failed to import the registry merge file: %s\r\n", reason));
    } else {
        system_.Log(u"OK\r\n");
    }
    system_.RemoveFile(path);
}

// Why the merge text was not imported, "" when every key its sections name is there (or, for
// a "[-KEY]" section, gone). "\\HKAU\\" is not a root the registry editor knows, so such a
// section counts as not imported.
String RegistryInstaller::MergeNotImported(const String8& text) {
    Array<MergeKey> keys = MergeFileKeys(text);
    if (keys.IsEmpty()) return u"the file names no registry key the registry editor can import";
    for (const MergeKey& key : keys) {
        bool exists =
            key.key.hive != RegistryHive::AllUsers && system_.ImportedKeyExists(key.key.hive, key.key.subkey);
        if (exists == key.removed)
            return Format(key.removed ? u"the key %s is still there" : u"the key %s was not imported",
                          key.path);
    }
    return String();
}

void RegistryInstaller::RegisterAppPath() {
    if (run_.mainExecutable.IsEmpty() || run_.removableDrive) return;
    system_.Log(u"Registering exe path...");
    String relative = run_.mainExecutable;
    system_.ExpandVariables(relative);
    String executable = IsAbsolutePath(relative) ? relative : JoinPath(run_.installDir, relative);
    if (!system_.IsFile(executable)) {
        system_.Log(Format(u"FAILED, \"%s\" does not exist.\r\n", executable));
        return;
    }
    String subkey = String(kAppPathsKey) + FileNameOf(executable);
    String key = String(u"\\HKLM\\") + subkey;
    bool existed = false;
    uint32_t error = system_.CreateKey(RegistryHive::LocalMachine, subkey, existed);
    if (error) {
        system_.Log(Format(u"FAILED to create \"%s\": %s\r\n", key, system_.SystemErrorText(error)));
        return;
    }
    if (existed) {
        system_.Log(u"a registration already exists\r\n");
        KeepOwnAppPath(key, subkey, executable);
        return;
    }
    uint32_t valueError = 0;
    bool written = SetAppPathValue(key, subkey, u"", executable, valueError);
    written = SetAppPathValue(key, subkey, u"Path", FolderOf(executable), valueError) && written;
    if (!written) {
        system_.Log(Format(u"FAILED to create value: %s\r\n", system_.SystemErrorText(valueError)));
        return;
    }
    system_.Log(u"OK\r\n");
    AppendRegistryLine(run_.list, {ToUtf8(key)});
}

// Writes one text value of the "App Paths" key; a written one joins the list, to be deleted
// by the uninstaller. error keeps the first failure.
bool RegistryInstaller::SetAppPathValue(const String& key, const String& subkey, const String& name,
                                        const String& text, uint32_t& error) {
    uint32_t result =
        system_.SetValue(RegistryHive::LocalMachine, subkey, name, kRegText, RegistryTextBytes(text));
    if (result) {
        if (!error) error = result;
        return false;
    }
    RecordAppPathValue(key, name);
    return true;
}

void RegistryInstaller::RecordAppPathValue(const String& key, const String& name) {
    AppendRegistryLine(run_.list, {ToUtf8(key), ToUtf8(name), String8(), String8(), String8("2")});
}

// A registration that names this very executable was written by an earlier installation of
// the product: it stays as it is, but is recorded again, so that the uninstaller still removes
// it once this installation's records replace the earlier ones. Another program's
// registration under the same file name is left alone and not recorded.
void RegistryInstaller::KeepOwnAppPath(const String& key, const String& subkey, const String& executable) {
    String registered;
    if (!system_.ReadText(RegistryHive::LocalMachine, subkey, String(), registered)) return;
    if (CompareNoCase(registered, executable) != 0) return;
    RecordAppPathValue(key, String());
    RecordAppPathValue(key, u"Path");
    AppendRegistryLine(run_.list, {ToUtf8(key)});
}

} // namespace cs
