// The registry step over a registry in memory: the product key, every action of the list,
// "\HKAU\" paths in every user hive, the failures and where they are reported, the merge file
// and the "App Paths" entry, and the records the uninstaller gets.
#include "actions/RegistryInstallation.h"

#include "core/Format.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::string Utf8(const String& text) {
    return std::string(ToUtf8(text).View());
}

const char* HiveName(RegistryHive hive) {
    switch (hive) {
    case RegistryHive::LocalMachine:
        return "HKLM";
    case RegistryHive::CurrentUser:
        return "HKCU";
    case RegistryHive::ClassesRoot:
        return "HKCR";
    case RegistryHive::Users:
        return "HKU";
    case RegistryHive::CurrentConfig:
        return "HKCC";
    case RegistryHive::DynData:
        return "HKDD";
    default:
        return "HKAU?"; // never reaches the system
    }
}

struct Value {
    uint32_t type;
    std::vector<uint8_t> data;
    bool operator==(const Value&) const = default;
};

std::vector<uint8_t> TextData(const char16_t* text) {
    return RegistryTextBytes(text);
}

class MemoryRegistry : public RegistrySystem {
  public:
    std::map<std::string, std::map<std::string, Value>> keys; // "HKLM\Software\X" -> name -> value
    std::map<std::string, uint32_t> failingKeys, failingValues, failingDeletes;
    std::vector<std::string> hives{"S-1-5-21-7-1000", ".DEFAULT", "S-1-5-18", "S-1-5-21-7-1000_Classes",
                                   "cs-test"};
    uint32_t hivesError = 0;
    std::set<std::string> files;
    uint32_t mergeWriteError = 0, runError = 0;
    std::string mergeWritten, commandLine;
    std::vector<std::string> importedKeys; // what the registry editor makes when it runs
    std::vector<std::string> removed;
    std::string log, failures;
    int status = 0, position = 0, hiveListings = 0;

    static std::string KeyOf(RegistryHive hive, const String& subkey) {
        return subkey.IsEmpty() ? HiveName(hive) : std::string(HiveName(hive)) + "\\" + Utf8(subkey);
    }
    bool Has(const std::string& key, const std::string& name) const {
        auto k = keys.find(key);
        return k != keys.end() && k->second.count(name);
    }
    Value At(const std::string& key, const std::string& name) const { return keys.at(key).at(name); }

    void ShowStatus(int textNumber, int at) override {
        status = textNumber;
        position = at;
    }
    void ExpandVariables(String& text) override {
        size_t at = Find(text, u"%InstallDir%");
        if (at != String::npos) text = text.Sub(0, at) + u"C:\\App" + text.Sub(at + 12);
    }
    void Log(const String& text) override { log += Utf8(text); }
    void AddFailure(const String& text) override { failures += Utf8(text); }
    String SystemErrorText(uint32_t code) override { return Format(u"error %u", code); }

    uint32_t LoadedHives(Array<String>& names) override {
        ++hiveListings;
        for (const std::string& hive : hives)
            names.Append(FromUtf8(hive));
        return hivesError;
    }
    uint32_t CreateKey(RegistryHive hive, const String& subkey, bool& existed) override {
        std::string key = KeyOf(hive, subkey);
        if (failingKeys.count(key)) return failingKeys[key];
        existed = keys.count(key) != 0;
        keys[key];
        return 0;
    }
    bool ImportedKeyExists(RegistryHive hive, const String& subkey) override {
        return keys.count(KeyOf(hive, subkey)) != 0;
    }
    bool ValueExists(RegistryHive hive, const String& subkey, const String& name) override {
        return Has(KeyOf(hive, subkey), Utf8(name));
    }
    bool ReadText(RegistryHive hive, const String& subkey, const String& name, String& text) override {
        std::string key = KeyOf(hive, subkey);
        if (!Has(key, Utf8(name))) return false;
        const std::vector<uint8_t>& d = keys[key][Utf8(name)].data;
        text = String(reinterpret_cast<const char16_t*>(d.data()), d.size() / 2 - 1);
        return true;
    }
    uint32_t SetValue(RegistryHive hive, const String& subkey, const String& name, uint32_t type,
                      const Bytes& data) override {
        std::string key = KeyOf(hive, subkey);
        if (failingValues.count(key)) return failingValues[key];
        keys.at(key)[Utf8(name)] = {type, data};
        return 0;
    }
    uint32_t DeleteValue(RegistryHive hive, const String& subkey, const String& name) override {
        std::string key = KeyOf(hive, subkey);
        if (failingDeletes.count(key)) return failingDeletes[key];
        if (!Has(key, Utf8(name))) return kErrorFileNotFound;
        keys[key].erase(Utf8(name));
        return 0;
    }
    uint32_t WriteMergeFile(const String8& text, String& path) override {
        if (mergeWriteError) return mergeWriteError;
        mergeWritten = std::string(text.View());
        path = u"C:\\Temp\\KWT1A2B.reg";
        return 0;
    }
    uint32_t RunAndWait(const String& command) override {
        commandLine = Utf8(command);
        for (const std::string& key : importedKeys)
            keys[key];
        return runError;
    }
    void RemoveFile(const String& path) override { removed.push_back(Utf8(path)); }
    bool IsFile(const String& path) override { return files.count(Utf8(path)) != 0; }
};

const std::string kUser = "HKU\\S-1-5-21-7-1000";
const std::string kTestHive = "HKU\\cs-test";
const std::string kAppPaths = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe";

class RegistryStep : public testing::Test {
  protected:
    RegistryStep() {
        run.installDir = u"C:\\App";
        run.records = &records;
    }
    void Apply(const char* list) {
        run.list = list;
        RegistryInstaller(system, run).Apply();
    }
    std::string Records() const { return std::string(records.registry2.View()); }

    MemoryRegistry system;
    UninstallRecords records;
    RegistryRun run;
};

} // namespace

// The product key goes into HKLM and every user hive (not .DEFAULT, the service accounts or
// the classes hives); each action of the list does what it says; the list reaches the
// uninstaller's records.
TEST_F(RegistryStep, ProductKeyAndEveryActionOfTheList) {
    run.productKey = u"Acme\\Tool";
    const std::string k = "HKLM\\Software\\Acme";
    system.keys[k]["Deleted4"] = {kRegText, TextData(u"old")};
    system.keys[k]["Deleted5"] = {kRegText, TextData(u"old")};
    system.keys[k]["Kept6"] = {kRegNumber, {9, 0, 0, 0}};
    system.keys[k]["Kept2"] = {kRegText, TextData(u"old")};
    const char* list = "HKLM\\Software\\Acme\\Empty\r\n"
                       "HKLM\\Software\\Acme,Count,4,12,1\r\n"
                       "HKLM\\Software\\Acme,Sz,1,%InstallDir%\\bin,3\r\n"
                       "HKLM\\Software\\Acme,Expand,2,%InstallDir%\\bin,3\r\n"
                       "HKLM\\Software\\Acme,Kept2,1,new,2\r\n"
                       "HKLM\\Software\\Acme,Deleted4,1,new,4\r\n"
                       "HKLM\\Software\\Acme,Deleted5,1,new,5\r\n"
                       "HKLM\\Software\\Acme,Missing4,1,new,4\r\n"
                       "HKLM\\Software\\Acme,Kept6,4,1,6\r\n"
                       "HKLM\\Software\\Acme,New7,4,7,7\r\n"
                       "HKLM\\Software\\Acme,Bin,3,01 02,3\r\n"
                       "HKLM\\Software\\Acme,Big,11,-1,3\r\n"
                       "HKLM\\Software\\Acme,Other,0,x,8\r\n"
                       "\\HKAU\\Software\\Acme,User,1,u,3\r\n";
    Apply(list);

    EXPECT_EQ(system.status, kTextRegistryStatus);
    EXPECT_EQ(system.position, kProgressRegistry);
    for (const std::string& key :
         {std::string("HKLM\\Software\\Acme\\Tool"), kUser + "\\Software\\Acme\\Tool",
          kTestHive + "\\Software\\Acme\\Tool", std::string("HKLM\\Software\\Acme\\Empty")})
        EXPECT_TRUE(system.keys.count(key)) << key;
    for (const char* hive : {".DEFAULT", "S-1-5-18", "S-1-5-21-7-1000_Classes"})
        EXPECT_FALSE(system.keys.count(std::string("HKU\\") + hive + "\\Software\\Acme\\Tool")) << hive;

    EXPECT_EQ(system.At(k, "Count"), (Value{kRegNumber, {12, 0, 0, 0}}));
    EXPECT_EQ(system.At(k, "Sz"), (Value{kRegText, TextData(u"C:\\App\\bin")}));
    EXPECT_EQ(system.At(k, "Expand"), (Value{kRegExpandableText, TextData(u"%InstallDir%\\bin")}));
    EXPECT_EQ(system.At(k, "Kept2"), (Value{kRegText, TextData(u"old")}));
    EXPECT_FALSE(system.Has(k, "Deleted4"));
    EXPECT_FALSE(system.Has(k, "Deleted5"));
    EXPECT_FALSE(system.Has(k, "Missing4"));
    EXPECT_EQ(system.At(k, "Kept6"), (Value{kRegNumber, {9, 0, 0, 0}}));
    EXPECT_EQ(system.At(k, "New7"), (Value{kRegNumber, {7, 0, 0, 0}}));
    EXPECT_EQ(system.At(k, "Bin"), (Value{kRegBinary, {1, 2}}));
    EXPECT_EQ(system.At(k, "Big"), (Value{kRegNumber64, std::vector<uint8_t>(8, 0xFF)}));
    EXPECT_FALSE(system.Has(k, "Other"));
    EXPECT_EQ(system.At(kUser + "\\Software\\Acme", "User"), (Value{kRegText, TextData(u"u")}));
    EXPECT_EQ(system.At(kTestHive + "\\Software\\Acme", "User"), (Value{kRegText, TextData(u"u")}));
    EXPECT_EQ(system.hiveListings, 1); // listed once for the whole step

    EXPECT_EQ(system.log, "");
    EXPECT_EQ(system.failures, "");
    EXPECT_EQ(Records(), list);
}

// Failures: the product key's with the last failure's code into the summary, an illegal line
// into the summary, key and value failures, numbers that are not numbers and failed
// deletions into the log; the step goes on after each.
TEST_F(RegistryStep, FailuresAreLoggedOrSummarisedAndTheStepGoesOn) {
    run.productKey = u"Acme";
    system.failingKeys[kUser + "\\Software\\Acme"] = 5;
    system.failingKeys["HKLM\\Software\\Acme"] = 1021;
    system.failingKeys["HKLM\\Software\\Locked"] = 5;
    system.failingValues["HKLM\\Software\\ReadOnly"] = 1013;
    system.failingDeletes["HKLM\\Software\\Guarded"] = 5;
    Apply("HKLM\\Software\\Locked\r\n"
          "Software\\NoRoot\r\n"
          "HKLM\\Software\\X,a,1\r\n"
          "HKLM\\Software\\ReadOnly,V,1,x,1\r\n"
          "HKLM\\Software\\Locked,V,1,x,3\r\n"
          "Nowhere\\X,V,1,x,3\r\n"
          "HKLM\\Software\\Guarded,V,1,x,4\r\n"
          "HKLM\\Software\\Absent,V,1,x,5\r\n"
          "HKLM\\Software\\N,Count,4,12 apples,1\r\n"
          "HKLM\\Software\\Good,V,1,written,1\r\n");

    EXPECT_EQ(system.failures,
              "Error creating registry keys at \\Software\\Acme\r\nCode 1021: error 1021\r\n\r\n"
              "Illegal registry entry: HKLM\\Software\\X,a,1\r\n");
    EXPECT_EQ(system.log, "Failed to create registry key: HKLM\\Software\\Locked\r\nerror 5\r\n"
                          "Failed to create registry key: Software\\NoRoot\r\nerror 161\r\n"
                          "Failed to create registry value \"V\": error 1013\r\n"
                          "Failed to create registry key: HKLM\\Software\\Locked\r\nerror 5\r\n"
                          "Failed to create registry key: Nowhere\\X\r\nerror 161\r\n"
                          "Failed to delete registry value \"V\": error 5\r\n"
                          "Failed to create registry value \"Count\": \"12 apples\" is not a number\r\n");
    EXPECT_FALSE(system.keys.count("HKLM\\Software\\N"));
    EXPECT_EQ(system.At("HKLM\\Software\\Good", "V"), (Value{kRegText, TextData(u"written")}));
    // The product key in the other user hive is still made.
    EXPECT_TRUE(system.keys.count(kTestHive + "\\Software\\Acme"));
    // The illegal line is not handed to the uninstaller.
    EXPECT_EQ(Records().find("HKLM\\Software\\X,a,1"), std::string::npos);
}

// "\HKAU\" paths: a hive that fails does not stop the others, the first failure is the one
// reported; actions 6 and 7 look in each hive; a hive listing that fails is logged once.
TEST_F(RegistryStep, AllUsersPathsActInEachHive) {
    system.keys[kTestHive + "\\Software\\B"]["Once"] = {kRegText, TextData(u"old")};
    system.keys[kUser + "\\Software\\C"]["Gone"] = {kRegText, TextData(u"old")};
    system.keys[kTestHive + "\\Software\\C"]["Gone"] = {kRegText, TextData(u"old")};
    system.failingKeys[kUser + "\\Software\\A"] = 5;
    system.failingKeys[kTestHive + "\\Software\\A"] = 1021;
    Apply("\\HKAU\\Software\\A,V,1,x,1\r\n"
          "\\HKAU\\Software\\B,Once,1,new,6\r\n"
          "\\HKAU\\Software\\C,Gone,1,x,4\r\n");
    EXPECT_EQ(system.log, "Failed to create registry key: \\HKAU\\Software\\A\r\nerror 5\r\n");
    EXPECT_EQ(system.At(kUser + "\\Software\\B", "Once"), (Value{kRegText, TextData(u"new")}));
    EXPECT_EQ(system.At(kTestHive + "\\Software\\B", "Once"), (Value{kRegText, TextData(u"old")}));
    EXPECT_FALSE(system.Has(kUser + "\\Software\\C", "Gone"));
    EXPECT_FALSE(system.Has(kTestHive + "\\Software\\C", "Gone"));

    MemoryRegistry unlisted;
    unlisted.hivesError = 5;
    RegistryRun other;
    other.list = "\\HKAU\\Software\\C\r\n\\HKAU\\Software\\C,V,1,x,1\r\n";
    RegistryInstaller(unlisted, other).Apply();
    EXPECT_EQ(unlisted.log, "Failed to list the user hives: error 5\r\n");
    EXPECT_EQ(unlisted.hiveListings, 1);
    EXPECT_TRUE(unlisted.keys.empty());
}

TEST_F(RegistryStep, MergeFileIsImportedAndRemoved) {
    run.mergeText = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Merged]\r\n\"A\"=\"1\"\r\n";
    system.importedKeys = {"HKCU\\Software\\Merged"};
    Apply("");
    EXPECT_EQ(system.mergeWritten, std::string(run.mergeText.View()));
    EXPECT_EQ(system.commandLine, "regedit /s \"C:\\Temp\\KWT1A2B.reg\"");
    EXPECT_EQ(system.log, "Merging registry file...OK\r\n");
    EXPECT_EQ(system.failures, "");
    EXPECT_EQ(system.removed, std::vector<std::string>{"C:\\Temp\\KWT1A2B.reg"});
    EXPECT_EQ(Records(), ""); // what the file changes is not recorded
}

TEST_F(RegistryStep, MergeFileFailuresGoToTheSummary) {
    run.mergeText = "REGEDIT4\r\n";
    system.runError = 2;
    Apply("");
    EXPECT_EQ(system.log, "Merging registry file...FAILED!\r\nerror 2\r\n");
    EXPECT_EQ(system.failures, "Failed to import the registry merge file: error 2\r\n");
    EXPECT_EQ(system.removed, std::vector<std::string>{"C:\\Temp\\KWT1A2B.reg"});

    MemoryRegistry unwritable;
    unwritable.mergeWriteError = 112;
    RegistryRun other;
    other.mergeText = "REGEDIT4\r\n";
    RegistryInstaller(unwritable, other).Apply();
    EXPECT_EQ(unwritable.failures, "Failed to create the registry merge file: error 112\r\n");
    EXPECT_EQ(unwritable.log, "");
    EXPECT_EQ(unwritable.commandLine, "");
}

// The registry editor's silent import says nothing: a text it could not import, or a section
// whose key is not there afterwards, is a failure and never "OK".
TEST_F(RegistryStep, MergeFileThatImportedNothingIsAFailure) {
    struct Case {
        const char* text;
        std::vector<std::string> imported;
        const char* reason; // "" for success
    } cases[] = {
        {"not a registry file\r\n", {}, "the file names no registry key the registry editor can import"},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\M]\r\n",
         {},
         "the key HKEY_CURRENT_USER\\Software\\M was not imported"},
        {"REGEDIT4\r\n[HKCU\\Software\\M]\r\n[HKCU\\Software\\N]\r\n",
         {"HKCU\\Software\\M"},
         "the key HKCU\\Software\\N was not imported"},
        {"REGEDIT4\r\n[HKCU\\Software\\M]\r\n[-HKCU\\Software\\Old]\r\n",
         {"HKCU\\Software\\M", "HKCU\\Software\\Old"},
         "the key HKCU\\Software\\Old is still there"},
        {"REGEDIT4\r\n [HKCU\\Software\\M] \r\n[-HKCU\\Software\\Old]\r\n[NOROOT\\X]\r\n",
         {"HKCU\\Software\\M"},
         ""},
    };
    for (const Case& c : cases) {
        MemoryRegistry registry;
        registry.importedKeys = c.imported;
        RegistryRun merge;
        merge.mergeText = c.text;
        RegistryInstaller(registry, merge).Apply();
        std::string reason = c.reason;
        EXPECT_EQ(registry.log, reason.empty() ? "Merging registry file...OK\r\n"
                                               : "Merging registry file...FAILED!\r\n" + reason + "\r\n")
            << c.text;
        EXPECT_EQ(registry.failures,
                  reason.empty() ? "" : "Failed to import the registry merge file: " + reason + "\r\n")
            << c.text;
        EXPECT_EQ(registry.removed, std::vector<std::string>{"C:\\Temp\\KWT1A2B.reg"});
    }
}

// The file the registry editor is given: UTF-16 text gets the byte-order mark it needs; 8-bit
// text and text that has its mark stay as they are. Its sections read the same either way.
TEST(MergeFile, BytesAndKeysOfEachEncoding) {
    auto utf16 = [](const std::u16string& text) {
        std::string bytes;
        for (char16_t c : text) {
            bytes += char(c & 0xFF);
            bytes += char(c >> 8);
        }
        return bytes;
    };
    const std::u16string body =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\\u00c9t\u00e9]\r\n";
    const std::string mark = "\xFF\xFE";
    struct Case {
        std::string text, file;
    } cases[] = {
        {utf16(body), mark + utf16(body)},
        {mark + utf16(body), mark + utf16(body)},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\xC9t\xE9]\r\n",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\xC9t\xE9]\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(MergeFileBytes(String8(c.text)).View()), c.file);
        Array<MergeKey> keys = MergeFileKeys(String8(c.text));
        ASSERT_EQ(keys.Count(), 1);
        EXPECT_EQ(keys[0].key.hive, RegistryHive::CurrentUser);
        EXPECT_EQ(keys[0].key.subkey, String(u"Software\\\u00c9t\u00e9"));
        EXPECT_FALSE(keys[0].removed);
    }
}

// The main executable: registered once with its two values, both recorded for the
// uninstaller, and the key alone after them. A later installation finds the key and writes
// nothing; when the registration names this very executable it is recorded again (the new
// records replace the earlier installation's), another program's is not.
TEST_F(RegistryStep, AppPathsAreRegisteredOnceAndRecorded) {
    run.mainExecutable = u"bin\\app.exe";
    system.files.insert("C:\\App\\bin\\app.exe");
    Apply("HKCU\\Software\\A\r\n");
    EXPECT_EQ(system.log, "Registering exe path...OK\r\n");
    EXPECT_EQ(system.At(kAppPaths, ""), (Value{kRegText, TextData(u"C:\\App\\bin\\app.exe")}));
    EXPECT_EQ(system.At(kAppPaths, "Path"), (Value{kRegText, TextData(u"C:\\App\\bin")}));
    const std::string key = "\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe";
    const std::string appended = key + ",,,,2\r\n" + key + ",Path,,,2\r\n" + key + "\r\n";
    EXPECT_EQ(std::string(run.list.View()), "HKCU\\Software\\A\r\n" + appended);
    EXPECT_EQ(Records(), "HKCU\\Software\\A\r\n" + appended);

    struct Case {
        const char16_t* executable;
        const char* records;
    } cases[] = {
        {u"bin\\app.exe", appended.c_str()}, // the same file (paths compare without case)
        {u"other\\app.exe", ""},
    };
    const Value registered{kRegText, TextData(u"C:\\APP\\BIN\\APP.EXE")};
    system.keys[kAppPaths][""] = registered;
    for (const Case& c : cases) {
        system.log.clear();
        system.files.insert(Utf8(String(u"C:\\App\\") + c.executable));
        UninstallRecords later;
        RegistryRun again;
        again.installDir = u"C:\\App";
        again.mainExecutable = c.executable;
        again.records = &later;
        RegistryInstaller(system, again).Apply();
        EXPECT_EQ(system.log, "Registering exe path...a registration already exists\r\n");
        EXPECT_EQ(std::string(later.registry2.View()), c.records) << Utf8(c.executable);
        EXPECT_EQ(system.At(kAppPaths, ""), registered); // left as it was
    }
}

TEST_F(RegistryStep, AppPathsFailures) {
    run.mainExecutable = u"missing.exe";
    Apply("");
    EXPECT_EQ(system.log, "Registering exe path...FAILED, \"C:\\App\\missing.exe\" does not exist.\r\n");

    struct Case {
        std::map<std::string, uint32_t> MemoryRegistry::*failing;
        const char* log;
        const char* records;
    } cases[] = {
        {&MemoryRegistry::failingKeys,
         "Registering exe path...FAILED to create "
         "\"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
         "Paths\\app.exe\": error 5\r\n",
         ""},
        {&MemoryRegistry::failingValues, "Registering exe path...FAILED to create value: error 5\r\n", ""},
    };
    for (const Case& c : cases) {
        MemoryRegistry failing;
        failing.files.insert("C:\\App\\app.exe");
        (failing.*c.failing)[kAppPaths] = 5;
        RegistryRun other;
        other.installDir = u"C:\\App";
        other.mainExecutable = u"app.exe";
        RegistryInstaller(failing, other).Apply();
        EXPECT_EQ(failing.log, c.log);
        EXPECT_EQ(std::string(other.list.View()), c.records); // nothing written, nothing recorded
    }
}

// On a removable drive: with the payload flag the whole step is skipped; without it the
// step runs but registers no "App Paths".
TEST_F(RegistryStep, RemovableDrive) {
    run.removableDrive = true;
    run.mainExecutable = u"app.exe";
    run.productKey = u"Acme";
    system.files.insert("C:\\App\\app.exe");
    run.payloadFlags = kFlagNoRegistryOnRemovable;
    Apply("HKCU\\Software\\A\r\n");
    EXPECT_TRUE(system.keys.empty());
    EXPECT_EQ(system.status, 0);
    EXPECT_EQ(Records(), "");

    run.payloadFlags = 0;
    Apply("HKCU\\Software\\A\r\n");
    EXPECT_TRUE(system.keys.count("HKCU\\Software\\A"));
    EXPECT_TRUE(system.keys.count("HKLM\\Software\\Acme"));
    EXPECT_FALSE(system.keys.count(kAppPaths));
    EXPECT_EQ(system.log, "");
}
