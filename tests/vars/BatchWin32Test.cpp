// The batch runner, the search path and the folder security against the real system: Wine's
// cmd.exe runs the batch files, the prefix's registry holds the Path.
#include "vars/BatchWin32.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/Random.h"
#include "core/TempFile.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"
#include "vars/SearchPath.h"
#include "vars/VariablesWin32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

using namespace cs;
using namespace cs::test;

namespace {

String LongPath(const String& path) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD n = GetLongPathNameW(W(path), buffer, MAX_PATH * 2);
    return n ? FromW(buffer, n) : path;
}

// A fresh installer state around an installation folder below the temporary folder, in
// automatic mode (no error boxes), with the log spooling.
class BatchTest : public testing::Test {
  protected:
    void SetUp() override {
        static bool logStarted = StartLog();
        ASSERT_TRUE(logStarted);
        root_ = JoinPath(TempFolder(), u"cs-batch-test");
        RemoveTree(root_);
        CreateDirectoryW(W(root_), nullptr);
        InstallerState& s = Installer();
        s.folders.installDir = JoinPath(root_, u"Inst");
        CreateDirectoryW(W(s.folders.installDir), nullptr);
        s.folders.sharedDir = JoinPath(root_, u"Shared");
        s.definition.productName = u"Batch 100% Demo";
        s.definition.publisher = u"Corvantis Samples";
        s.definition.productVersion = u"3.1.4";
        s.productVersion8 = "3.1.4";
        s.definition.uninstallSubdir = u"Uninstall";
        s.folders.uninstallerPath = JoinPath(s.folders.installDir, u"Uninstall\\unins.exe");
        s.existing.oldVersion = u"3.0";
        s.choices.language = u"English";
        s.choices.startMenuFolder = u"Batch Demo";
        s.existing.installType = 2;
        s.automatic = true;
        s.commandLine = CommandLine();
        mark_ = WindowsLogSystem().ReadSpool().Length();
    }
    void TearDown() override { RemoveTree(root_); }

    std::string NewLog() {
        String8 spool = WindowsLogSystem().ReadSpool();
        return std::string(spool.c_str() + mark_, spool.Length() - mark_);
    }

    String root_;
    size_t mark_ = 0;
};

// "Name=value" lines (as "set" prints them) by upper-case name.
std::map<std::string, std::string> ParseSet(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        std::string name = line.substr(0, eq);
        for (char& c : name)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        values[name] = line.substr(eq + 1);
    }
    return values;
}

} // namespace

TEST_F(BatchTest, SetValuesAreTheVariablesValues) {
    String out = JoinPath(root_, u"set.txt");
    String8 commands = ToCodePage(Format(u"set > \"%s\"\r\n", out), kCodePage1252);
    ASSERT_TRUE(RunBatch(commands, true));
    std::map<std::string, std::string> set = ParseSet(ReadBytes(out));
    ASSERT_FALSE(set.empty()) << ReadBytes(out);
    const char16_t* names[] = {u"Automatic",
                               u"InstallDir",
                               u"Bits",
                               u"UninstallDir",
                               u"SharedDir",
                               u"InstallerFilepath",
                               u"InstallerDir",
                               u"InstallerFilename",
                               u"InstallerDrive",
                               u"SystemDir",
                               u"DeviceDir",
                               u"MediaDir",
                               u"FavoritesDir",
                               u"FavoritesAllDir",
                               u"FontDir",
                               u"DesktopDir",
                               u"DesktopAllDir",
                               u"DesktopShortcuts",
                               u"DocumentDir",
                               u"DocumentAllDir",
                               u"ProductName",
                               u"CompanyName",
                               u"ProgramsDir",
                               u"ProgramsDir32",
                               u"ProgramsDir64",
                               u"StartMenuAllDir",
                               u"StartMenuChosen",
                               u"StartMenuDir",
                               u"SMProgramsDir",
                               u"SMProgramsAllDir",
                               u"StartupDir",
                               u"StartupAllDir",
                               u"CommonDir",
                               u"CommonDir32",
                               u"CommonDir64",
                               u"Inetpub",
                               u"AppDataDir",
                               u"AppDataAllDir",
                               u"InstallDrive",
                               u"BootDrive",
                               u"Version",
                               u"VersionMajor",
                               u"VersionMinor",
                               u"VersionRevision",
                               u"OldVersion",
                               u"OldVersionMajor",
                               u"OldVersionMinor",
                               u"Portable",
                               u"Existing",
                               u"NetworkInstall",
                               u"Language",
                               u"LogFilepath",
                               u"UninstallerFilepath",
                               u"OS",
                               u"OSMajor",
                               u"OSMinor",
                               u"OSName",
                               u"OSDescription",
                               u"OSServer"};
    for (const char16_t* name : names) {
        String expected = String(u"%") + name + u"%";
        ExpandInstallerVariables(expected);
        std::string key = Narrow(name);
        for (char& c : key)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        ASSERT_EQ(set.count(key), 1u) << key;
        EXPECT_EQ(set[key], Narrow(expected)) << key;
    }
    EXPECT_EQ(set["EXISTING"], "2");
    EXPECT_EQ(set["PRODUCTNAME"], "Batch 100% Demo");
    EXPECT_FALSE(Exists(JoinPath(Installer().folders.installDir, kBatchFileName)));
    EXPECT_EQ(NewLog(), "") << "without a label only failures are logged";
}

TEST_F(BatchTest, UninstallerHasNoExisting) {
    Installer().commandLine.uninstall = true;
    String out = JoinPath(root_, u"set.txt");
    ASSERT_TRUE(RunBatch(ToCodePage(Format(u"set > \"%s\"\r\n", out), kCodePage1252), true));
    std::map<std::string, std::string> set = ParseSet(ReadBytes(out));
    EXPECT_EQ(set.count("EXISTING"), 0u);
    EXPECT_EQ(set.count("NETWORKINSTALL"), 1u);
}

TEST_F(BatchTest, CapturedOutputLandsInTheLogAndBothFilesGo) {
    ASSERT_TRUE(RunBatch("echo captured line one\r\necho second \r\nexit /b 7", true, u"Demo batch"));
    // On 64-bit Windows a 32-bit product's logged batch names the 32-bit interpreter it runs in.
    bool windows64 = !EqualsNoCase(GetFolder(FolderId::System32), GetFolder(FolderId::System).c_str());
    std::string interpreter = windows64 ? "Batch runs in the 32-bit command interpreter " +
                                              Narrow(GetFolder(FolderId::System32)) + "\\cmd.exe\r\n"
                                        : "";
    EXPECT_EQ(NewLog(),
              "\r\nRunning Demo batch...\r\n" + interpreter + "captured line one\r\nsecond\r\n\r\n");
    EXPECT_FALSE(Exists(JoinPath(Installer().folders.installDir, kBatchFileName)));
    EXPECT_FALSE(Exists(JoinPath(Installer().folders.installDir, kBatchCaptureFileName)));
}

// Where a batch ran, as it wrote it: its own folder (%~dp0), its working folder, and whether
// the capture file stood beside it.
struct BatchPlaces {
    String batchFolder, workingFolder;
    std::string capture;
};

BatchPlaces RunWhereBatch(const String& out) {
    String commands = Format(u"echo %%~dp0>\"%s\"\r\n"
                             u"cd>>\"%s\"\r\n"
                             u"if exist \"%%~dp0cs_batch.log\" echo capture beside the batch>>\"%s\"\r\n",
                             out, out, out);
    EXPECT_TRUE(RunBatch(ToCodePage(commands, kCodePage1252), true, u"Early"));
    std::istringstream lines(ReadBytes(out));
    std::string batchFolder, workingFolder, capture;
    std::getline(lines, batchFolder);
    std::getline(lines, workingFolder);
    std::getline(lines, capture);
    for (std::string* s : {&batchFolder, &workingFolder, &capture})
        while (!s->empty() && (s->back() == '\r' || s->back() == ' ' || s->back() == '\\'))
            s->pop_back();
    return {LongPath(FromUtf8(batchFolder)), LongPath(FromUtf8(workingFolder)), capture};
}

// The batch's own folder is a private one ("cs-*.tmp") right in the temporary folder, gone
// after the run.
void ExpectPrivateFolderGone(const String& batchFolder) {
    // The batch saw its folder by its short name, which no longer resolves once it is gone.
    String temp = LongPath(TempFolder());
    size_t cut = batchFolder.View().find_last_of(u'\\');
    ASSERT_NE(cut, std::u16string_view::npos) << Narrow(batchFolder);
    EXPECT_EQ(CompareNoCase(LongPath(batchFolder.Sub(0, cut)), temp), 0) << Narrow(batchFolder);
    String name = batchFolder.Sub(cut + 1);
    EXPECT_EQ(CompareNoCase(name.Sub(0, 3), u"cs-"), 0) << Narrow(name);
    EXPECT_EQ(CompareNoCase(name.Sub(name.Length() - 4), u".tmp"), 0) << Narrow(name);
    EXPECT_FALSE(Exists(batchFolder)) << "removed with its files";
}

// A user's file at a name a batch file once had, and its bytes.
const char kDocument[] = "a user's document";
String PlantDocument(const String& path) {
    // An earlier run in the same prefix may have left an empty private folder at the name.
    DeleteFileW(W(path));
    RemoveDirectoryW(W(path));
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD wrote = 0;
    WriteFile(file, kDocument, sizeof kDocument - 1, &wrote, nullptr);
    CloseHandle(file);
    return path;
}

TEST_F(BatchTest, WithoutTheInstallationFolderTheBatchRunsInTheTemporaryFolder) {
    Installer().folders.installDir = JoinPath(root_, u"NotYet");
    std::vector<String> planted = {PlantDocument(JoinPath(TempFolder(), kBatchFileName)),
                                   PlantDocument(JoinPath(TempFolder(), kBatchCaptureFileName))};
    BatchPlaces places = RunWhereBatch(JoinPath(root_, u"where.txt"));
    ExpectPrivateFolderGone(places.batchFolder);
    EXPECT_EQ(CompareNoCase(places.workingFolder, LongPath(TempFolder())), 0) << Narrow(places.workingFolder);
    EXPECT_EQ(places.capture, "capture beside the batch");
    for (const String& path : planted) {
        EXPECT_EQ(ReadBytes(path), kDocument) << Narrow(path) << ": files at the old names are not ours";
        DeleteFileW(W(path));
    }
    EXPECT_FALSE(Exists(Installer().folders.installDir));
}

TEST_F(BatchTest, WithTheInstallationFolderTheBatchRunsThereFromAPrivateFolder) {
    String install = Installer().folders.installDir;
    std::vector<String> planted = {PlantDocument(JoinPath(install, kBatchFileName)),
                                   PlantDocument(JoinPath(install, kBatchCaptureFileName))};
    BatchPlaces places = RunWhereBatch(JoinPath(root_, u"where.txt"));
    ExpectPrivateFolderGone(places.batchFolder);
    EXPECT_EQ(CompareNoCase(places.workingFolder, LongPath(install)), 0) << Narrow(places.workingFolder);
    EXPECT_EQ(places.capture, "capture beside the batch");
    for (const String& path : planted)
        EXPECT_EQ(ReadBytes(path), kDocument) << Narrow(path) << ": files at the old names are not ours";
}

TEST_F(BatchTest, EmptyCommandsRunNothing) {
    EXPECT_TRUE(RunBatch("", false, u"Nothing"));
    EXPECT_EQ(NewLog(), "");
}

TEST_F(BatchTest, BatchFileThatCannotBeWrittenIsReported) {
    // Every name the generator can give next for a private folder is taken already: each pair
    // of successive numbers, whatever else draws numbers before.
    SeedCoreRandom(777);
    uint32_t state = 777;
    std::vector<String> taken;
    uint16_t previous = NextRandom16(state);
    for (int i = 0; i < 3 * kPrivateTempFolderAttempts; ++i) {
        uint16_t next = NextRandom16(state);
        taken.push_back(PlantDocument(JoinPath(TempFolder(), PrivateTempFolderName(previous, next))));
        previous = next;
    }
    EXPECT_FALSE(RunBatch("echo never", true, u"Blocked"));
    for (const String& path : taken)
        DeleteFileW(W(path));
    std::string log = NewLog();
    std::string expected = "\r\nRunning Blocked...\r\nUnable to create batch file \"" +
                           Narrow(JoinPath(GetFolder(FolderId::Temp), kBatchFileName)) + "\".\r\n\r\n";
    EXPECT_EQ(log.substr(0, expected.size()), expected) << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_GT(log.size(), expected.size() + 4) << "the system's error text follows";
}

TEST_F(BatchTest, MissingInterpreterIsLoggedOnly) {
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"COMSPEC", saved, MAX_PATH);
    SetEnvironmentVariableW(L"COMSPEC", L"C:\\nowhere\\cmd.exe");
    bool ran = RunBatch("echo x", true);
    SetEnvironmentVariableW(L"COMSPEC", saved);
    EXPECT_FALSE(ran);
    EXPECT_EQ(NewLog(), "The CLI C:\\nowhere\\cmd.exe does not exist!\r\n");
    EXPECT_FALSE(Exists(JoinPath(Installer().folders.installDir, kBatchFileName)));
}

namespace {

const wchar_t kEnvironment[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// The machine Path as it was, put back however the test ends.
class SavedPath {
  public:
    SavedPath() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironment, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (RegQueryValueExW(key, L"Path", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            found_ = RegQueryValueExW(key, L"Path", nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    ~SavedPath() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironment, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (found_)
            RegSetValueExW(key, L"Path", 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        else
            RegDeleteValueW(key, L"Path");
        RegCloseKey(key);
    }
    bool Found() const { return found_; }

  private:
    bool found_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

void SetPath(DWORD type, const void* data, DWORD bytes) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironment, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, L"Path", 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetPathText(const String& text) {
    SetPath(REG_EXPAND_SZ, text.c_str(), static_cast<DWORD>((text.Length() + 1) * 2));
}

// The raw value: its type and bytes.
std::pair<DWORD, std::string> RawPath() {
    HKEY key;
    std::pair<DWORD, std::string> raw{0, ""};
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironment, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    RegQueryValueExW(key, L"Path", nullptr, &raw.first, nullptr, &size);
    raw.second.resize(size);
    RegQueryValueExW(key, L"Path", nullptr, &raw.first, reinterpret_cast<BYTE*>(raw.second.data()), &size);
    raw.second.resize(size);
    RegCloseKey(key);
    return raw;
}

String PathText() {
    std::pair<DWORD, std::string> raw = RawPath();
    String text(reinterpret_cast<const char16_t*>(raw.second.data()), raw.second.size() / 2);
    while (!text.IsEmpty() && text.Last() == 0)
        text.Truncate(text.Length() - 1);
    return text;
}

} // namespace

TEST_F(BatchTest, SearchPathOfTenThousandCharactersIsKeptWhole) {
    SavedPath saved;
    ASSERT_TRUE(saved.Found());
    String longPath = u"C:\\windows\\system32;C:\\windows";
    for (int i = 0; longPath.Length() < 10000; ++i)
        longPath += Format(u";C:\\Tools\\Package%05d\\bin", i);
    longPath.Truncate(10000);
    ASSERT_EQ(longPath.Length(), 10000u);
    SetPathText(longPath);

    String folder = JoinPath(Installer().folders.installDir, u"bin");
    CreateDirectoryW(W(folder), nullptr);
    EXPECT_TRUE(UpdateSearchPath(true, u"bin"));
    EXPECT_EQ(PathText(), longPath + u";" + folder);
    EXPECT_EQ(RawPath().first, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_TRUE(UpdateSearchPath(true, folder)) << "a second add changes nothing";
    EXPECT_EQ(PathText(), longPath + u";" + folder);
    EXPECT_TRUE(UpdateSearchPath(false, u"bin"));
    EXPECT_EQ(PathText(), longPath);
}

TEST_F(BatchTest, SearchPathThatCannotBeReadIsLeftAlone) {
    SavedPath saved;
    DWORD notText = 0x12345678;
    SetPath(REG_DWORD, &notText, sizeof notText);
    std::pair<DWORD, std::string> before = RawPath();
    EXPECT_FALSE(UpdateSearchPath(true, u""));
    EXPECT_EQ(RawPath(), before);
    std::string log = NewLog();
    EXPECT_EQ(log.rfind("Couldn't change the PATH because its value could not be read whole: code 13: ", 0),
              0u)
        << log;
}

TEST_F(BatchTest, SearchPathAddsOnlyFoldersThatExist) {
    SavedPath saved;
    SetPathText(u"C:\\windows");
    String missing = JoinPath(Installer().folders.installDir, u"nothing");
    EXPECT_FALSE(UpdateSearchPath(true, u"nothing"));
    EXPECT_EQ(NewLog(),
              "Couldn't add \"" + Narrow(missing) + "\" to the PATH because it does not exist.\r\n");
    EXPECT_EQ(PathText(), u"C:\\windows");
    EXPECT_TRUE(UpdateSearchPath(false, u"nothing")) << "removing a folder that is not there";
    EXPECT_EQ(PathText(), u"C:\\windows");
}

namespace {

PSID Sid(const wchar_t* text) {
    PSID sid = nullptr;
    ConvertStringSidToSidW(text, &sid);
    return sid;
}

struct AclFacts {
    bool anyDenied = false;
    bool everyoneFull = false; // read, write and execute for Everyone, inherited by the content
};

AclFacts Facts(const String& path) {
    AclFacts facts;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(W(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &sd) != ERROR_SUCCESS)
        return facts;
    PSID everyone = Sid(L"S-1-1-0");
    ACL_SIZE_INFORMATION info{};
    if (dacl) GetAclInformation(dacl, &info, sizeof info, AclSizeInformation);
    for (DWORD i = 0; i < info.AceCount; ++i) {
        ACE_HEADER* ace;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        if (ace->AceType == ACCESS_DENIED_ACE_TYPE) facts.anyDenied = true;
        if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
            // Windows keeps the grant as it is; Wine shows it through the folder's Unix mode.
            const DWORD readWriteExecute = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE;
            bool full =
                (allowed->Mask & GENERIC_ALL) || (allowed->Mask & readWriteExecute) == readWriteExecute;
            bool inherited = (ace->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
                             (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            if (EqualSid(&allowed->SidStart, everyone) && full && inherited) facts.everyoneFull = true;
        }
    }
    LocalFree(everyone);
    LocalFree(sd);
    return facts;
}

} // namespace

TEST_F(BatchTest, LoosenFolderSecurity) {
    Installer().definition.optionWord2 = kOpt2LoosenSecurity;
    String folder = JoinPath(root_, u"Locked");
    ASSERT_TRUE(CreateDirectoryW(W(folder), nullptr));
    SetFileAttributesW(W(folder), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // A deny entry for the Guests group in front of the folder's access list.
    PSID guests = Sid(L"S-1-5-32-546");
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = GENERIC_WRITE;
    deny.grfAccessMode = DENY_ACCESS;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.ptstrName = reinterpret_cast<wchar_t*>(guests);
    PACL denied = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &deny, nullptr, &denied), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(W(folder)), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, denied, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(denied);
    LocalFree(guests);
    // Wine keeps a folder's access list only where the file system stores extended
    // attributes; without them the deny entry never arrives and only the grant can be seen.
    bool denyStored = Facts(folder).anyDenied;
    if (!denyStored) std::printf("note: this file system keeps no deny entries\n");
    ASSERT_FALSE(Facts(folder).everyoneFull);

    EXPECT_TRUE(LoosenFolderSecurity(folder));
    EXPECT_EQ(NewLog(), "Loosening security on directory \"" + Narrow(folder) + "\"...OK\r\n");
    DWORD attributes = GetFileAttributesW(W(folder));
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    AclFacts facts = Facts(folder);
    EXPECT_FALSE(facts.anyDenied);
    EXPECT_TRUE(facts.everyoneFull);
}

TEST_F(BatchTest, LoosenFolderSecurityFailures) {
    Installer().definition.optionWord2 = kOpt2LoosenSecurity;
    struct Case {
        String path;
        DWORD code;
    } cases[] = {{u"", ERROR_BAD_PATHNAME},
                 {u"Start Menu Folder", ERROR_BAD_PATHNAME},
                 {JoinPath(root_, u"missing"), ERROR_PATH_NOT_FOUND}};
    for (const Case& c : cases) {
        mark_ = WindowsLogSystem().ReadSpool().Length();
        EXPECT_FALSE(LoosenFolderSecurity(c.path));
        EXPECT_EQ(GetLastError(), c.code);
        std::string prefix = "Loosening security on directory \"" + Narrow(c.path) + "\"...FAILED code " +
                             std::to_string(c.code) + ": ";
        std::string log = NewLog();
        EXPECT_EQ(log.rfind(prefix, 0), 0u) << log;
        EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
    }
    Installer().definition.optionWord2 = 0;
    mark_ = WindowsLogSystem().ReadSpool().Length();
    EXPECT_TRUE(LoosenFolderSecurity(u""));
    EXPECT_EQ(NewLog(), "") << "without the option nothing happens";
}
