// The file loop over a system in memory: what is written, skipped, recorded, listed and
// logged for each kind of entry, and the steps after the loop.
#include "actions/FileInstallation.h"

#include "core/Format.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace cs;

namespace {

struct CorruptStop {
    int code;
};

std::u16string Key(const String& s) {
    return std::u16string(s.View());
}

class MemorySystem : public FileInstallSystem {
  public:
    std::map<std::u16string, ExistingFile> files;
    std::vector<std::u16string> folders, failingFolders, written, deferring, applets;
    std::map<std::u16string, uint32_t> counts;
    bool countsOpen = true;
    std::vector<std::u16string> cancelledFor;
    std::u16string log, failures;
    std::vector<int> positions;
    std::vector<std::u16string> progressTexts;
    // Fonts: the values written (face=file), the resources loaded, and how each step fails.
    std::vector<std::u16string> fontValues, fontResources;
    bool fontValueFails = false, fontResourceFails = false;
    uint32_t fontValueError = 0, fontResourceError = 0;
    int fontBroadcasts = 0;
    // MSI packages: "path|level" per run, and what the installer gives.
    std::vector<std::u16string> msiRuns;
    uint32_t msiResult = 0;
    bool msiCrashes = false;

    String LanguageText(int number) override {
        return number == kTextRegistering ? String(u"Registering <file>...") : Format(u"[text %d]", number);
    }
    void ExpandVariables(String& text) override {
        if (Find(text, u"%Desktop%") == 0) text = String(u"C:\\Desktop") + String(text.c_str() + 9);
        size_t up = Find(text, u"%Up%"); // a value that climbs
        if (up != String::npos) text = String(text.c_str(), up) + u".." + String(text.c_str() + up + 4);
    }
    void ShowProgress(int position, const String& text) override {
        positions.push_back(position);
        progressTexts.push_back(Key(text));
    }
    void Log(const String& text) override { log += text.View(); }
    void AddFailure(const String& text) override { failures += text.View(); }
    void Corrupt(int code) override { throw CorruptStop{code}; }
    ExistingFile Inspect(const String& path, bool withVersion) override {
        auto it = files.find(Key(path));
        if (it == files.end()) return {};
        ExistingFile f = it->second;
        if (!withVersion) f.version = String8();
        return f;
    }
    bool MakeFolder(const String& folder, String& reason) override {
        for (const auto& failing : failingFolders)
            if (failing == folder.View()) {
                reason = u"Cannot create folder because there is a file with the same name.";
                return false;
            }
        folders.push_back(Key(folder));
        return true;
    }
    WriteOutcome Write(const String& destination, const FileRecord& entry, bool) override {
        WriteOutcome out;
        for (const auto& d : deferring)
            if (d == destination.View()) {
                out.deferred = true;
                out.logText = u"deferred\r\n";
                return out;
            }
        written.push_back(Key(destination));
        files[Key(destination)] = {true, true, entry.date, {}};
        out.written = true;
        return out;
    }
    String RegisterApplet(const String& classId, const String& name, const String&, const String&,
                          UninstallRecords& records) override {
        applets.push_back(Key(classId + u"=" + name));
        RecordUninstallPath(records, String(u"\\HKLM\\Software\\Classes\\CLSID\\") + classId, UninstallKind::kRegistryKey64);
        return u"OK\r\n";
    }
    bool WriteFontValue(const String& face, const String& fileName, uint32_t& error) override {
        error = fontValueError;
        if (!fontValueFails) fontValues.push_back(Key(face + u"=" + fileName));
        return !fontValueFails;
    }
    bool LoadFontResource(const String& path, uint32_t& error) override {
        error = fontResourceError;
        if (!fontResourceFails) fontResources.push_back(Key(path));
        return !fontResourceFails;
    }
    uint32_t InstallMsiPackage(const String& path, uint32_t uiLevel, bool& crashed) override {
        msiRuns.push_back(Key(path + Format(u"|%u", uiLevel)));
        crashed = msiCrashes;
        return msiResult;
    }
    void BroadcastFontChange() override { ++fontBroadcasts; }
    void CancelPendingOperations(const Array<String>& installed) override {
        for (const String& path : installed) cancelledFor.push_back(Key(path));
    }
    bool OpenSharedCounts(uint32_t& error) override {
        error = 5;
        return countsOpen;
    }
    bool IncrementSharedCount(const String& path, uint32_t&) override {
        ++counts[Key(path)];
        return true;
    }
    String SystemErrorText(uint32_t code) override { return Format(u"error %u", code); }
};

FileRecord Entry(int32_t kind, const char16_t* name, uint32_t flags = 0) {
    FileRecord r;
    r.kind = kind;
    r.name = name;
    r.flags = flags;
    r.size = 10;
    r.date = {2024, 5, 17, 10, 0, 0};
    return r;
}

class FileLoop : public testing::Test {
  protected:
    FileLoop() {
        run.folders.installDir = u"C:\\App";
        run.folders.sharedDir = u"C:\\Common";
        run.folders.uninstallDataFolder = u"C:\\App";
        run.folders.systemFolder = u"C:\\Windows\\System32";
        run.folders.fontsFolder = u"C:\\Windows\\Fonts";
        run.optionWord1 = kOpt1LogEveryFile | kOpt1RegisterUninstaller;
        run.shortcuts = &shortcuts;
        run.records = &records;
    }
    void InstallAll(const std::vector<FileRecord>& entries) {
        for (size_t i = 0; i < entries.size(); ++i)
            installer.Install(entries[i], static_cast<int>(i), static_cast<int>(entries.size()));
        installer.Finish();
    }
    std::string Body() const { return std::string(records.body.View()); }

    MemorySystem system;
    Array<Shortcut> shortcuts;
    UninstallRecords records;
    FileRun run;
    FileInstaller installer{system, run};
};

} // namespace

// The log line names the file as it is installed: a destination without a folder renames it.
TEST_F(FileLoop, LogLineNamesTheInstalledFile) {
    struct Case {
        const char16_t* name;
        const char16_t* destination;
        const char16_t* line;
    } cases[] = {
        {u"renamed-src.txt", u"renamed.txt", u"renamed.txt >>> C:\\App\\renamed.txt\r\n"},
        {u"docs\\a.txt", u"notes\\", u"a.txt >>> C:\\App\\notes\\a.txt\r\n"},
        {u"docs\\b.txt", u"notes\\c.txt", u"b.txt >>> C:\\App\\notes\\c.txt\r\n"},
        {u"plain.txt", u"", u"plain.txt >>> C:\\App\\plain.txt\r\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        system.log.clear();
        FileRecord entry = Entry(kAppFile, cases[i].name);
        entry.destination = cases[i].destination;
        installer.Install(entry, 0, 1);
        EXPECT_EQ(system.log, std::u16string(cases[i].line)) << "case " << i;
    }
}

TEST_F(FileLoop, WritesRecordsAndLogsInPayloadOrder) {
    FileRecord app = Entry(kAppFile, u"bin\\app.exe", kFileStartMenuShortcut | kFileDesktopShortcut);
    app.title = u"My App";
    app.extra = u"C:\\Work";
    FileRecord startup = Entry(kStartupFile, u"tray.exe");
    FileRecord kept = Entry(kAppFile, u"data\\keep.dat", kFileKeep);
    FileRecord shared = Entry(kSharedFile, u"s.dll");
    InstallAll({app, startup, kept, shared});

    EXPECT_EQ(system.written, (std::vector<std::u16string>{u"C:\\App\\bin\\app.exe", u"C:\\App\\tray.exe",
                                                           u"C:\\App\\data\\keep.dat", u"C:\\Common\\s.dll"}));
    // The kept file's folder is made but not recorded; the shared file's folder is not made.
    EXPECT_EQ(system.folders, (std::vector<std::u16string>{u"C:\\App\\bin", u"C:\\App\\data"}));
    EXPECT_EQ(Body(), "~C:\\App\\bin\r\nC:\\App\\bin\\app.exe\r\nC:\\App\\tray.exe\r\n");
    EXPECT_EQ(system.log, u"app.exe >>> C:\\App\\bin\\app.exe\r\ntray.exe >>> C:\\App\\tray.exe\r\n"
                          u"keep.dat >>> C:\\App\\data\\keep.dat\r\ns.dll >>> C:\\Common\\s.dll\r\n");
    EXPECT_EQ(system.positions, (std::vector<int>{59, 66, 74, 82, 90}));

    ASSERT_EQ(shortcuts.Count(), 2);
    EXPECT_EQ(shortcuts[0].target, String(u"C:\\App\\bin\\app.exe"));
    EXPECT_EQ(shortcuts[0].name, String(u"My App"));
    EXPECT_EQ(shortcuts[0].workingFolder, String(u"C:\\Work"));
    EXPECT_TRUE(shortcuts[0].desktop && shortcuts[0].startMenu && !shortcuts[0].startup);
    EXPECT_TRUE(shortcuts[1].startup && !shortcuts[1].desktop);

    // The shared file's count rises and it joins the stored list.
    EXPECT_EQ(system.counts[u"C:\\Common\\s.dll"], 1u);
    EXPECT_EQ(run.storedSharedFiles, String8("\"C:\\Common\\s.dll\""));
}

TEST_F(FileLoop, ExistingFilesThatStayAreStillRecorded) {
    system.files[u"C:\\App\\v.dll"] = {true, false, {}, "2.0"};
    system.files[u"C:\\App\\only-missing.txt"] = {true, true, {2020, 1, 1, 0, 0, 0}, {}};
    FileRecord versioned = Entry(kVersionedFile, u"v.dll");
    versioned.title = u"1.5";
    FileRecord onlyMissing = Entry(kAppFile, u"only-missing.txt", 3 << 2);
    FileRecord never = Entry(kAppFile, u"never.txt", 1 << 2);
    InstallAll({versioned, onlyMissing, never});

    EXPECT_TRUE(system.written.empty());
    EXPECT_EQ(Body(), "C:\\App\\v.dll\r\nC:\\App\\only-missing.txt\r\n");
    EXPECT_EQ(system.log, u"C:\\App\\v.dll was not installed because its version (1.5) is not newer than 2.0\r\n"
                          u"C:\\App\\only-missing.txt was not installed because it already exists.\r\n");
}

TEST_F(FileLoop, ListsForTheRegistrationsAreFilledBeforeAnyTest) {
    system.files[u"C:\\Windows\\System32\\c.dll"] = {true, false, {}, "9.0"};
    FileRecord com = Entry(kComServerFile, u"c.dll");
    com.title = u"1.0";
    FileRecord tlb = Entry(kTypeLibraryFile, u"t.tlb");
    FileRecord font = Entry(kFontFile, u"f.ttf");
    font.title = u"Face";
    FileRecord driver = Entry(kDriverPackage, u"d.inf");
    FileRecord msi = Entry(kMsiPackage, u"p.msi", kFileRemoveMsi);
    msi.msiValue = 3;
    InstallAll({com, tlb, font, driver, msi});

    FileRunLists& lists = installer.Lists();
    ASSERT_EQ(lists.comServers.Count(), 1); // the newer file stays, but is registered
    EXPECT_EQ(lists.comServers[0], String(u"C:\\Windows\\System32\\c.dll"));
    ASSERT_EQ(lists.typeLibraries.Count(), 1);
    ASSERT_EQ(lists.sharedFiles.Count(), 2);
    EXPECT_EQ(lists.sharedFiles[0], String8("C:\\Windows\\System32\\c.dll^"));
    EXPECT_EQ(lists.sharedFiles[1], String8("C:\\Windows\\System32\\t.tlb") + "\xA9");
    ASSERT_EQ(lists.fonts.Count(), 1);
    EXPECT_EQ(lists.fonts[0].face, String(u"Face"));
    ASSERT_EQ(lists.drivers.Count(), 1);
    ASSERT_EQ(lists.msiPackages.Count(), 1);
    EXPECT_EQ(lists.msiPackages[0].value, 3u);
    EXPECT_TRUE(lists.msiPackages[0].removeAtUninstall);
    EXPECT_EQ(Body(), "C:\\App\\d.inf\r\nC:\\App\\p.msi\r\n"); // fonts and system files are not recorded
}

// A 32-bit product under the 64-bit engine: its system files are written, tested and made
// where a 32-bit program's system folder leads, but logged, listed and counted under the
// system folder's own name, as the 32-bit engine does; so are folders below it.
TEST_F(FileLoop, SystemFilesAreNamedAsTheSystemFolderButWrittenWhereItLeads) {
    run.folders.systemFolder32 = u"C:\\Windows\\SysWOW64";
    system.files[u"C:\\Windows\\SysWOW64\\old.dll"] = {true, false, {}, "9.0"};
    FileRecord sys = Entry(kSystemFile, u"x.dll");
    FileRecord sub = Entry(kSystemFile, u"y.dll");
    sub.destination = u"C:\\Windows\\System32\\sub\\";
    FileRecord old = Entry(kSystemFile, u"old.dll");
    old.title = u"1.0";
    FileRecord com = Entry(kComServerFile, u"c.dll");
    InstallAll({sys, sub, old, com});

    EXPECT_EQ(system.written, (std::vector<std::u16string>{u"C:\\Windows\\SysWOW64\\x.dll",
                                                           u"C:\\Windows\\SysWOW64\\sub\\y.dll",
                                                           u"C:\\Windows\\SysWOW64\\c.dll"}));
    EXPECT_EQ(system.folders, (std::vector<std::u16string>{u"C:\\Windows\\SysWOW64\\sub"}));
    EXPECT_EQ(system.log,
              u"x.dll >>> C:\\Windows\\System32\\x.dll\r\n"
              u"y.dll >>> C:\\Windows\\System32\\sub\\y.dll\r\n"
              u"C:\\Windows\\System32\\old.dll was not installed because its version (1.0) is not "
              u"newer than 9.0\r\n"
              u"c.dll >>> C:\\Windows\\System32\\c.dll\r\n");
    FileRunLists& lists = installer.Lists();
    ASSERT_EQ(lists.sharedFiles.Count(), 4);
    EXPECT_EQ(lists.sharedFiles[0], String8("C:\\Windows\\System32\\x.dll "));
    EXPECT_EQ(lists.sharedFiles[1], String8("C:\\Windows\\System32\\sub\\y.dll "));
    EXPECT_EQ(lists.sharedFiles[3], String8("C:\\Windows\\System32\\c.dll^"));
    // The registration's log line names it as recorded too; the pending renames are on disk.
    ASSERT_EQ(lists.comServers.Count(), 1);
    EXPECT_EQ(lists.comServers[0], String(u"C:\\Windows\\System32\\c.dll"));
    EXPECT_EQ(system.cancelledFor, (std::vector<std::u16string>{u"C:\\Windows\\SysWOW64\\x.dll",
                                                                u"C:\\Windows\\SysWOW64\\sub\\y.dll",
                                                                u"C:\\Windows\\SysWOW64\\c.dll"}));
    EXPECT_EQ(system.counts, (std::map<std::u16string, uint32_t>{{u"C:\\Windows\\System32\\c.dll", 1},
                                                                 {u"C:\\Windows\\System32\\old.dll", 1},
                                                                 {u"C:\\Windows\\System32\\sub\\y.dll", 1},
                                                                 {u"C:\\Windows\\System32\\x.dll", 1}}));
    EXPECT_EQ(std::string(run.storedSharedFiles.View()).find("SysWOW64"), std::string::npos);
    EXPECT_NE(std::string(run.storedSharedFiles.View()).find("\"C:\\Windows\\System32\\x.dll "),
              std::string::npos)
        << run.storedSharedFiles.c_str();
}

// Every font entry is listed for the uninstall entry when it is reached, whether or not its
// file is then written; only written fonts go to the registration.
TEST_F(FileLoop, FontEntriesAreListedBeforeTheOverwriteTest) {
    system.files[u"C:\\Windows\\Fonts\\old.ttf"] = {true, true, {2020, 1, 1, 0, 0, 0}, {}};
    FileRecord stays = Entry(kFontFile, u"old.ttf", 3 << 2); // only when missing: it exists
    stays.title = u"Old Face";
    FileRecord fresh = Entry(kFontFile, u"new.ttf", kFileKeep);
    fresh.title = u"New Face";
    InstallAll({stays, fresh});

    FileRunLists& lists = installer.Lists();
    ASSERT_EQ(lists.listedFonts.Count(), 2);
    EXPECT_EQ(lists.listedFonts[0].path, String(u"C:\\Windows\\Fonts\\old.ttf"));
    EXPECT_EQ(lists.listedFonts[0].face, String(u"Old Face"));
    EXPECT_FALSE(lists.listedFonts[0].keep);
    EXPECT_TRUE(lists.listedFonts[1].keep);
    ASSERT_EQ(lists.fonts.Count(), 1);
    EXPECT_EQ(lists.fonts[0].face, String(u"New Face"));
}

TEST_F(FileLoop, AFolderThatCannotBeMadeSkipsTheFile) {
    system.failingFolders.push_back(u"C:\\App\\bin");
    InstallAll({Entry(kAppFile, u"bin\\a.exe"), Entry(kAppFile, u"b.exe")});
    EXPECT_EQ(system.written, std::vector<std::u16string>{u"C:\\App\\b.exe"});
    EXPECT_EQ(system.failures, u"[text 25] C:\\App\\bin\r\nCannot create folder because there is a file with the same "
                               u"name.\r\n\r\nNot installed: C:\\App\\bin\\a.exe\r\n\r\n");
    EXPECT_EQ(Body(), "C:\\App\\b.exe\r\n");
}

TEST_F(FileLoop, ADeferredFileAsksForARestartAndKeepsItsPendingRename) {
    system.files[u"C:\\App\\busy.exe"] = {true, true, {2020, 1, 1, 0, 0, 0}, {}};
    system.deferring.push_back(u"C:\\App\\busy.exe");
    InstallAll({Entry(kAppFile, u"busy.exe"), Entry(kAppFile, u"free.exe")});

    EXPECT_TRUE(run.optionWord1 & kOpt1RebootRequired);
    EXPECT_NE(system.log.find(u"deferred\r\n"), std::u16string::npos);
    // Only the file written now may cancel pending operations; the deferred one's own
    // replacement must stay.
    EXPECT_EQ(system.cancelledFor, std::vector<std::u16string>{u"C:\\App\\free.exe"});
    EXPECT_EQ(Body(), "C:\\App\\busy.exe\r\nC:\\App\\free.exe\r\n");
}

TEST_F(FileLoop, AnAppletGetsItsKeysAndTheirRecords) {
    FileRecord applet = Entry(kControlPanelApplet, u"tools.cpl");
    applet.extra = u"{12345678-1234-1234-1234-123456789012}";
    InstallAll({applet});
    EXPECT_EQ(system.applets, std::vector<std::u16string>{u"{12345678-1234-1234-1234-123456789012}=tools"});
    EXPECT_NE(system.log.find(u"Registering control panel applet \"tools\"...OK\r\n"), std::u16string::npos);
    EXPECT_EQ(Body(), "C:\\App\\tools.cpl\r\n*\\HKLM\\Software\\Classes\\CLSID\\{12345678-1234-1234-1234-"
                      "123456789012}\r\n");
}

TEST_F(FileLoop, DamagedEntriesEndInTheCorruptInstallerError) {
    FileRecord noClass = Entry(kControlPanelApplet, u"x.cpl");
    FileRecord negative = Entry(kAppFile, u"a.exe");
    negative.size = -1;
    struct Case {
        FileRecord entry;
        int code;
    } cases[] = {{Entry(2, u"a"), 110}, {Entry(3, u"a"), 110}, {Entry(13, u"a"), 110}, {negative, 5}, {noClass, 79}};
    for (const Case& c : cases) {
        try {
            installer.Install(c.entry, 0, 1);
            ADD_FAILURE() << "no error for code " << c.code;
        } catch (const CorruptStop& stop) {
            EXPECT_EQ(stop.code, c.code);
        }
    }
}

TEST_F(FileLoop, SharedCountsFailureGoesToTheSummary) {
    system.countsOpen = false;
    InstallAll({Entry(kSharedFile, u"s.dll")});
    EXPECT_EQ(system.failures, u"Registry error: unable to increment shared file reference counts.\r\n"
                               u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\r\n"
                               u"Code 5: error 5\r\n\r\n");
    EXPECT_TRUE(system.counts.empty());
}

// A font's registration: the value (face named, file name as data), then the resource from the
// installed path; each failure has its own log lines and the next step still runs; the font
// stays listed for removal; the font change is broadcast once after the loop.
TEST_F(FileLoop, FontsAreRegisteredWithTheirFailureLines) {
    struct Case {
        const char* name;
        bool valueFails;
        uint32_t valueError;
        bool resourceFails;
        uint32_t resourceError;
        const char16_t* log;
    } cases[] = {
        {"both succeed", false, 0, false, 0, u""},
        {"value fails with a code", true, 5, false, 0, u"Failed to register font \"Face\"\r\nCode 5: error 5\r\n\r\n"},
        {"value fails without a code", true, 0, false, 0, u"Failed to register font \"Face\"\r\n"},
        {"resource fails without a code", false, 0, true, 0, u"[text 31] font \"Face\"\r\n"},
        {"resource fails with a code", false, 0, true, 2, u"[text 31] font \"Face\"\r\nCode 2: error 2\r\n\r\n"},
        {"both fail", true, 5, true, 0, u"Failed to register font \"Face\"\r\nCode 5: error 5\r\n\r\n"
                                        u"[text 31] font \"Face\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySystem fonts;
        fonts.fontValueFails = c.valueFails;
        fonts.fontValueError = c.valueError;
        fonts.fontResourceFails = c.resourceFails;
        fonts.fontResourceError = c.resourceError;
        UninstallRecords fontRecords;
        FileRun fontRun = run;
        fontRun.optionWord1 = kOpt1RegisterUninstaller; // no per-file line
        fontRun.records = &fontRecords;
        FileInstaller loop(fonts, fontRun);
        FileRecord first = Entry(kFontFile, u"f.ttf");
        first.title = u"Face";
        loop.Install(first, 0, 2);
        EXPECT_EQ(fonts.log, c.log);
        FileRecord second = Entry(kFontFile, u"g.otf");
        second.title = u"Other";
        loop.Install(second, 1, 2);
        loop.Finish();

        EXPECT_EQ(fonts.fontValues.empty(), c.valueFails);
        EXPECT_EQ(fonts.fontResources.empty(), c.resourceFails);
        if (!c.valueFails) {
            EXPECT_EQ(fonts.fontValues.front(), u"Face=f.ttf");
        }
        if (!c.resourceFails) {
            EXPECT_EQ(fonts.fontResources.front(), u"C:\\Windows\\Fonts\\f.ttf");
        }
        EXPECT_EQ(fonts.progressTexts[1], u"Registering f.ttf...");
        EXPECT_EQ(fonts.fontBroadcasts, 1);
        EXPECT_TRUE(fonts.failures.empty()) << "font failures are only logged";
        ASSERT_EQ(loop.Lists().listedFonts.Count(), 2);
        EXPECT_EQ(loop.Lists().listedFonts[0].face, String(u"Face"));
        EXPECT_EQ(fontRecords.body, String8()) << "font files are not recorded as files";
    }
}

TEST_F(FileLoop, NoFontNoBroadcast) {
    InstallAll({Entry(kAppFile, u"a.exe")});
    EXPECT_EQ(system.fontBroadcasts, 0);
}

// An MSI package runs right after its file is written, at its entry's level: its log line ends
// with the result, a failure or a crash also reaches the failure summary, and only a package
// that succeeded and asks for it is listed for the uninstaller.
TEST_F(FileLoop, MsiPackagesRunAndAreListedByResultAndFlag) {
    const char16_t* start = u"Installing MSI package \"C:\\App\\p.msi\"...";
    struct Case {
        const char* name;
        uint32_t flags;
        uint32_t result;
        bool crashes;
        const char16_t* end;
        bool failure;
        const char* msiSection;
    } cases[] = {
        {"listed", kFileRemoveMsi, 0, false, u"OK\r\n", false, "\"C:\\App\\p.msi\",3\r\n"},
        {"not marked for removal", 0, 0, false, u"OK\r\n", false, ""},
        {"failed", kFileRemoveMsi, 1603, false, u"FAILED code 1603: error 1603\r\n", true, ""},
        {"no installer", kFileRemoveMsi, 120, false, u"FAILED code 120: error 120\r\n", true, ""},
        {"crashed", kFileRemoveMsi, 1603, true, u"CRASHED!\r\n", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySystem msi;
        msi.msiResult = c.result;
        msi.msiCrashes = c.crashes;
        UninstallRecords msiRecords;
        FileRun msiRun = run;
        msiRun.optionWord1 = kOpt1RegisterUninstaller;
        msiRun.records = &msiRecords;
        FileInstaller loop(msi, msiRun);
        FileRecord package = Entry(kMsiPackage, u"p.msi", c.flags);
        package.msiValue = 3;
        loop.Install(package, 0, 1);

        std::u16string line = std::u16string(start) + c.end;
        EXPECT_EQ(msi.msiRuns, std::vector<std::u16string>{u"C:\\App\\p.msi|3"});
        EXPECT_EQ(msi.progressTexts.back(), u"Registering C:\\App\\p.msi...");
        EXPECT_EQ(msi.log, line);
        EXPECT_EQ(msi.failures, c.failure ? line : std::u16string());
        EXPECT_EQ(std::string(msiRecords.msi.View()), c.msiSection);
        EXPECT_EQ(std::string(msiRecords.body.View()), "C:\\App\\p.msi\r\n") << "the package file is recorded";
    }
}

// A package that waits for the restart, or is skipped by its overwrite mode, is not run.
TEST_F(FileLoop, MsiPackagesNotWrittenAreNotRun) {
    system.files[u"C:\\App\\busy.msi"] = {true, true, {2020, 1, 1, 0, 0, 0}, {}};
    system.deferring.push_back(u"C:\\App\\busy.msi");
    InstallAll({Entry(kMsiPackage, u"busy.msi", kFileRemoveMsi), Entry(kMsiPackage, u"never.msi", 1 << 2)});
    EXPECT_TRUE(system.msiRuns.empty());
    EXPECT_EQ(records.msi, String8());
}

// A payload made without the builder's checks: every entry whose name or destination would
// leave its folder, open a device or that Windows cannot hold is skipped with a failure
// line, nothing of it is written, recorded or made, and the sound entries around it install.
TEST_F(FileLoop, HostileNamesAndDestinationsAreSkippedWithAFailureLine) {
    auto with = [](const char16_t* name, const char16_t* destination) {
        FileRecord r = Entry(kAppFile, name);
        r.destination = destination;
        return r;
    };
    std::vector<FileRecord> hostile = {
        with(u"..\\..\\escape.txt", u""),
        with(u"../escape.txt", u""),
        with(u"a.txt", u"..\\escape.txt"),
        with(u"a.txt", u"%InstallDir%\\..\\escape.txt"),
        with(u"a.txt", u"%Desktop%\\..\\..\\escape.txt"),
        with(u"a.txt", u"sub\\..\\..\\escape.txt"),
        with(u"a.txt", u"%..%\\x"),
        with(u"a.txt", u"\\\\?\\C:\\escape.txt"),
        with(u"a.txt", u"\\\\.\\C:\\escape.txt"),
        with(u"a.txt", u"\\escape.txt"),
        with(u"CON", u""),
        with(u"nul.txt", u""),
        with(u"bin\\COM1", u""),
        with(u"a.txt", u"LPT1"),
        with(u"a.txt", u"sub\\AUX\\"),
        with(u"a<b.txt", u""),
        with(u"a.txt", u"x:stream"),
        with(u"trailing.", u""),
    };
    std::vector<FileRecord> entries = {Entry(kAppFile, u"first.txt")};
    entries.insert(entries.end(), hostile.begin(), hostile.end());
    entries.push_back(Entry(kAppFile, u"last.txt"));
    InstallAll(entries);

    EXPECT_EQ(system.written, (std::vector<std::u16string>{u"C:\\App\\first.txt", u"C:\\App\\last.txt"}));
    EXPECT_TRUE(system.folders.empty());
    EXPECT_EQ(Body(), "C:\\App\\first.txt\r\nC:\\App\\last.txt\r\n");
    for (const FileRecord& r : hostile) {
        std::u16string line = u"File \"" + std::u16string(r.name.View()) + u"\" was not installed: its ";
        EXPECT_NE(system.failures.find(line), std::u16string::npos) << ToUtf8(r.name).c_str();
        EXPECT_NE(system.log.find(line), std::u16string::npos) << ToUtf8(r.name).c_str();
    }
    EXPECT_NE(
        system.failures.find(u"its destination \"%InstallDir%\\..\\escape.txt\" has a \".\" or \"..\" part"),
        std::u16string::npos);
    EXPECT_NE(system.failures.find(u"its name \"CON\" names a device"), std::u16string::npos);
}

// A variable is a base folder: its value may be any full path, but what the rest expands to
// must stay below it.
TEST_F(FileLoop, ARestThatExpandsOutOfItsBaseIsRefused) {
    FileRecord sound = Entry(kAppFile, u"a.txt");
    sound.destination = u"%Desktop%\\Corp\\";
    FileRecord climbing = Entry(kAppFile, u"b.txt");
    climbing.destination = u"%Desktop%\\%Up%\\b.txt"; // the rest expands to "..\b.txt"
    FileRecord relativeBase = Entry(kAppFile, u"c.txt");
    relativeBase.destination = u"%Up%\\c.txt"; // a base that is no full path: "..\c.txt"
    FileRecord unknown = Entry(kAppFile, u"d.txt");
    unknown.destination = u"%Unknown%\\"; // left as written: a folder of that name
    InstallAll({sound, climbing, relativeBase, unknown});
    EXPECT_EQ(system.written, (std::vector<std::u16string>{u"C:\\Desktop\\Corp\\a.txt",
                                                           u"C:\\App\\%Unknown%\\d.txt"}));
    EXPECT_NE(system.failures.find(u"File \"c.txt\" was not installed: its destination \"%Up%\\c.txt\""),
              std::u16string::npos);
    EXPECT_NE(
        system.failures.find(u"File \"b.txt\" was not installed: its destination \"%Desktop%\\%Up%\\b.txt\""),
        std::u16string::npos)
        << ToUtf8(String(system.failures)).c_str();
}

// Two entries that Windows takes for one file: the second no longer replaces the first.
TEST_F(FileLoop, ASecondFileForTheSamePlaceIsRefused) {
    FileRecord renamed = Entry(kAppFile, u"other.txt");
    renamed.destination = u"BIN\\Read.ME";
    InstallAll({Entry(kAppFile, u"bin\\read.me"), Entry(kAppFile, u"Bin\\READ.me"), renamed,
                Entry(kAppFile, u"bin\\read.me2")});
    EXPECT_EQ(system.written,
              (std::vector<std::u16string>{u"C:\\App\\bin\\read.me", u"C:\\App\\bin\\read.me2"}));
    EXPECT_NE(system.failures.find(
                  u"File \"Bin\\READ.me\" was not installed: its destination \"C:\\App\\Bin\\READ.me\" "
                  u"is the destination of an earlier file of this installation."),
              std::u16string::npos);
    EXPECT_NE(system.failures.find(u"File \"other.txt\" was not installed"), std::u16string::npos);
}
