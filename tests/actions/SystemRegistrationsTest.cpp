// The system registrations over a system in memory: the firewall text's lines and fields
// (code 90 for a line without 4 fields), and what each step logs, adds to the failure summary
// and records for the uninstaller.
#include "actions/SystemRegistrations.h"

#include "core/Format.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace cs;

namespace {

struct Crash {};
struct CorruptEnd {
    int code;
};

std::string U8(const String& text) {
    return std::string(ToUtf8(text).View());
}

// Every call answers what the test set; the log is one text.
class FakeSystem final : public RegistrationSystem {
  public:
    std::string log, failures, progress;
    // COM: regsvr32's result per path (missing: could not start, error 2), servers with
    // DllRegisterServer, paths whose registration crashes.
    std::map<std::string, uint32_t> regsvr32;
    std::set<std::string> withEntry, crashing;
    std::map<std::string, uint32_t> typeLibraryErrors; // missing: registers
    std::map<uint32_t, std::string> errorTexts;
    int windowReturns = 0;
    SetupApiState setupApi = SetupApiState::kReady;
    std::map<std::string, std::string> infNames; // INF to final name
    std::map<std::string, uint32_t> infErrors;   // INF to error
    long connect = 0;
    std::map<int, long> portResults;          // protocol to result
    std::vector<std::string> ports, programs; // what was added
    std::set<std::string> files;
    std::vector<std::string> directCalls;

    String LanguageText(int number) override { return number == 77 ? u"Registering <file>..." : u""; }
    void ShowProgress(const String& text) override { progress = U8(text); }
    void Log(const String& text) override { log += U8(text); }
    void AddFailure(const String& text) override { failures += U8(text); }
    String SystemErrorText(uint32_t code) override {
        auto found = errorTexts.find(code);
        return found == errorTexts.end() ? String() : FromUtf8(found->second);
    }
    bool Guarded(const std::function<void()>& body) override {
        try {
            body();
            return true;
        } catch (const Crash&) {
            return false;
        }
    }
    bool RunRegsvr32(const String& path, uint32_t& exitCode) override {
        if (crashing.count(U8(path))) throw Crash();
        auto found = regsvr32.find(U8(path));
        if (found == regsvr32.end()) {
            exitCode = 2;
            return false;
        }
        exitCode = found->second;
        return true;
    }
    bool CallDllRegisterServer(const String& path) override {
        directCalls.push_back(U8(path));
        return withEntry.count(U8(path)) != 0;
    }
    bool RegisterTypeLibrary(const String& path, uint32_t& error) override {
        if (crashing.count(U8(path))) throw Crash();
        auto found = typeLibraryErrors.find(U8(path));
        if (found == typeLibraryErrors.end()) return true;
        error = found->second;
        return false;
    }
    void ReturnToInstallerWindow() override { ++windowReturns; }
    SetupApiState OpenSetupApi() override { return setupApi; }
    bool CopyOemInf(const String& inf, String& finalName, uint32_t& error) override {
        if (crashing.count(U8(inf))) throw Crash();
        auto failed = infErrors.find(U8(inf));
        if (failed != infErrors.end()) {
            error = failed->second;
            return false;
        }
        finalName = FromUtf8(infNames[U8(inf)]);
        return true;
    }
    long ConnectFirewall() override { return connect; }
    long OpenFirewallPort(uint32_t port, int protocol, const String& name) override {
        if (port == 666) throw Crash();
        ports.push_back(std::to_string(port) + "/" + std::to_string(protocol) + "/" + U8(name));
        auto found = portResults.find(protocol);
        return found == portResults.end() ? 0 : found->second;
    }
    long AuthorizeProgram(const String& path, const String& name) override {
        programs.push_back(U8(path) + "/" + U8(name));
        return U8(path).find("refused") != std::string::npos ? -2147024891 : 0;
    }
    bool FileExists(const String& path) override { return files.count(U8(path)) != 0; }
    void ExpandVariables(String& text) override {
        std::string t = U8(text);
        size_t at = t.find("%App%");
        if (at != std::string::npos) t.replace(at, 5, "C:\\Apps");
        text = FromUtf8(t);
    }
    void Corrupt(int code) override { throw CorruptEnd{code}; }
};

Array<String> Paths(std::initializer_list<const char16_t*> paths) {
    Array<String> out;
    for (const char16_t* p : paths)
        out.Append(String(p));
    return out;
}

std::string Records(const String8& section) {
    return std::string(section.View());
}

} // namespace

// ---- Firewall lines -----------------------------------------------------------------------

TEST(FirewallText, LinesEndAtAnyLineEndAndHoldExactlyFourUntrimmedFields) {
    struct Case {
        const char* text;
        bool ok;
        std::vector<std::string> targets; // field 1 as read, "#n" for a port n
        std::vector<uint32_t> protocols;
        std::vector<bool> keep;
    } cases[] = {
        {"", true, {}, {}, {}},
        {"8080;Web;1;", true, {"#8080"}, {1}, {false}},
        // Carriage return, line feed, both, and a blank line between, which holds nothing.
        {"21;a;3;1\rbin\\a.exe;b;0;\n443;c;2;x1y\r\n\r\n53;;1;0",
         true,
         {"#21", "bin\\a.exe", "#443", "#53"},
         {3, 0, 2, 1},
         {true, false, true, false}},
        // Nothing is trimmed: a blank makes a port a program path; a protocol that is not a
        // decimal number opens nothing.
        {" 80;a; 1;", true, {" 80"}, {0}, {false}},
        {"|C:\\\xc3\xa9t\xc3\xa9.exe;n;0;", true, {"C:\\\xc3\xa9t\xc3\xa9.exe"}, {0}, {false}},
        {"99999999999;n;1;", true, {"#4294967295"}, {1}, {false}},
        // Other field counts: code 90, also after good lines and for a line of blanks.
        {"80;Web;1", false, {}, {}, {}},
        {"80;Web;1;;", false, {}, {}, {}},
        {"80;a;1;\r\n80", false, {}, {}, {}},
        {"80;a;1;\n \n", false, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Array<FirewallLine> lines;
        ASSERT_EQ(ParseFirewallText(c.text, lines), c.ok);
        if (!c.ok) continue;
        ASSERT_EQ(lines.Count(), c.targets.size());
        for (size_t i = 0; i < c.targets.size(); ++i) {
            const FirewallLine& l = lines[i];
            std::string target = l.isPort ? "#" + std::to_string(l.port) : U8(l.target);
            EXPECT_EQ(target, c.targets[i]);
            EXPECT_EQ(l.protocols, c.protocols[i]);
            EXPECT_EQ(l.keep, c.keep[i]);
        }
    }
    // The line is kept byte for byte for the uninstaller's "[Firewall]" section.
    Array<FirewallLine> lines;
    ASSERT_TRUE(ParseFirewallText("21;R\xc3\xa8gle;3;1\r\n", lines));
    EXPECT_EQ(std::string(lines[0].line.View()), "21;R\xc3\xa8gle;3;1");
    EXPECT_EQ(U8(lines[0].name), "R\xc3\xa8gle");
}

TEST(FirewallText, ProgramPathsAreJoinedOntoTheInstallationFolderUnlessAbsolute) {
    EXPECT_EQ(U8(FirewallProgramPath(u"bin\\app.exe", u"C:\\Product")), "C:\\Product\\bin\\app.exe");
    EXPECT_EQ(U8(FirewallProgramPath(u"D:\\x.exe", u"C:\\Product")), "D:\\x.exe");
    EXPECT_EQ(U8(FirewallProgramPath(u"\\\\server\\x.exe", u"C:\\Product")), "\\\\server\\x.exe");
}

// ---- Firewall step ------------------------------------------------------------------------

TEST(FirewallStep, PortsByMaskProgramsByPathAndOnlyAddedLinesNotKeptAreRecorded) {
    FakeSystem system;
    system.files = {"C:\\Product\\bin\\srv.exe", "C:\\Apps\\tool.exe"};
    FirewallRun run;
    run.text = "8080;Web;3;\r\n"         // two ports, recorded
               "9000;;0;\r\n"            // no port, still recorded
               "7000;Kept;1;1\r\n"       // opened, kept at uninstallation
               "bin\\srv.exe;Srv;0;\r\n" // relative: the installation folder
               "%App%\\tool.exe;;0;\r\n" // variables expanded
               "missing.exe;M;0;\r\n";   // not there: logged, not recorded
    run.installDir = u"C:\\Product";
    run.productName = u"Product";
    UninstallRecords records;
    AddFirewallExceptions(system, run, records);

    EXPECT_EQ(system.log,
              "Added firewall exception: TCP port 8080\r\n"
              "Added firewall exception: UDP port 8080\r\n"
              "Added firewall exception: TCP port 7000\r\n"
              "Added firewall exception: C:\\Product\\bin\\srv.exe\r\n"
              "Added firewall exception: C:\\Apps\\tool.exe\r\n"
              "Failed to add firewall exception for \"C:\\Product\\missing.exe\": file does not exist\r\n");
    EXPECT_EQ(system.ports, (std::vector<std::string>{"8080/6/Web", "8080/17/Web", "7000/6/Kept"}));
    EXPECT_EQ(system.programs,
              (std::vector<std::string>{"C:\\Product\\bin\\srv.exe/Srv", "C:\\Apps\\tool.exe/Product"}));
    EXPECT_EQ(Records(records.firewall),
              "8080;Web;3;\r\n9000;;0;\r\nbin\\srv.exe;Srv;0;\r\n%App%\\tool.exe;;0;\r\n");
}

TEST(FirewallStep, FailuresAreLoggedAndTheirLinesNotRecorded) {
    struct Case {
        const char* name;
        long connect;
        long udpResult;
        const char* text;
        const char* log;
        const char* recorded;
    } cases[] = {
        {"no firewall service", -2147221164, 0, "80;a;1;\r\n",
         "Failed to connect to the firewall service: code -2147221164\r\n", ""},
        {"one protocol refused", 0, -2147024809, "80;a;3;\r\n81;b;1;\r\n",
         "Added firewall exception: TCP port 80\r\nFailed to open firewall port 80, code -2147024809\r\n"
         "Added firewall exception: TCP port 81\r\n",
         "81;b;1;\r\n"},
        {"program refused", 0, 0, "C:\\refused.exe;a;0;\r\n",
         "Failed to add firewall exception for \"C:\\refused.exe\", code -2147024891\r\n", ""},
        {"crash inside the firewall", 0, 0, "80;a;1;\r\n666;b;1;\r\n81;c;1;\r\n",
         "Added firewall exception: TCP port 80\r\nCRASHED!\r\n", "80;a;1;\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.connect = c.connect;
        system.portResults[17] = c.udpResult;
        system.files = {"C:\\refused.exe"};
        FirewallRun run;
        run.text = c.text;
        run.installDir = u"C:\\P";
        UninstallRecords records;
        AddFirewallExceptions(system, run, records);
        EXPECT_EQ(system.log, c.log);
        EXPECT_EQ(Records(records.firewall), c.recorded);
    }
}

TEST(FirewallStep, ABadLineEndsTheRunWithCode90BeforeAnythingIsAddedEvenWhenSkipped) {
    for (bool skip : {false, true}) {
        FakeSystem system;
        FirewallRun run;
        run.text = "80;a;1;\r\n81;b;1\r\n";
        run.skip = skip;
        UninstallRecords records;
        try {
            AddFirewallExceptions(system, run, records);
            ADD_FAILURE() << "no corrupt-installer end";
        } catch (const CorruptEnd& end) {
            EXPECT_EQ(end.code, 90);
        }
        EXPECT_TRUE(system.ports.empty());
    }
    // A skipped run (removable drive) with good lines adds and records nothing.
    FakeSystem system;
    FirewallRun run;
    run.text = "80;a;1;\r\n";
    run.skip = true;
    UninstallRecords records;
    AddFirewallExceptions(system, run, records);
    EXPECT_TRUE(system.ports.empty());
    EXPECT_EQ(system.log, "");
    EXPECT_EQ(Records(records.firewall), "");
}

// ---- COM servers and type libraries -------------------------------------------------------

TEST(ComAndTypeLibraries, Regsvr32FirstThenTheServersOwnEntryPointAndACrashGoesOn) {
    FakeSystem system;
    system.regsvr32 = {{"C:\\a.dll", 0}, {"C:\\b.dll", 3}, {"C:\\c.dll", 4}};
    system.withEntry = {"C:\\b.dll", "C:\\d.dll"};
    system.crashing = {"C:\\x.dll", "C:\\x.tlb"};
    system.typeLibraryErrors = {{"C:\\bad.tlb", 0x80029C4A}};
    system.errorTexts = {{0x80029C4A, "Error loading type library/DLL."}};
    RegisterComAndTypeLibraries(
        system, Paths({u"C:\\a.dll", u"C:\\b.dll", u"C:\\c.dll", u"C:\\d.dll", u"C:\\x.dll", u"C:\\e.dll"}),
        Paths({u"C:\\good.tlb", u"C:\\bad.tlb", u"C:\\x.tlb"}));
    EXPECT_EQ(system.log,
              "Registering COM File \"C:\\a.dll\"...OK\r\n"
              // regsvr32 failed, the server's own DllRegisterServer was reached.
              "Registering COM File \"C:\\b.dll\"...OK\r\n"
              // regsvr32 failed and the server has no entry point: regsvr32's code.
              "Registering COM File \"C:\\c.dll\"...FAILED, code 4\r\n"
              // regsvr32 could not start, the entry point was reached.
              "Registering COM File \"C:\\d.dll\"...OK\r\n"
              "Registering COM File \"C:\\x.dll\"...CRASHED!\r\n"
              // could not start (error 2) and no entry point.
              "Registering COM File \"C:\\e.dll\"...FAILED, code 2\r\n"
              "Registering Type Library \"C:\\good.tlb\"...OK\r\n"
              "Registering Type Library \"C:\\bad.tlb\"...FAILED\r\nError loading type library/DLL.\r\n"
              "Registering Type Library \"C:\\x.tlb\"...CRASHED!\r\n");
    EXPECT_EQ(system.directCalls,
              (std::vector<std::string>{"C:\\b.dll", "C:\\c.dll", "C:\\d.dll", "C:\\e.dll"}));
    EXPECT_EQ(system.failures, "Crashed while registering COM file C:\\x.dll\r\n"
                               "Crashed while registering TLB file C:\\x.tlb\r\n");
    EXPECT_EQ(system.windowReturns, 1);
    EXPECT_EQ(system.progress, "Registering C:\\x.tlb...");
}

TEST(ComAndTypeLibraries, NothingToRegisterLeavesTheWindowAlone) {
    FakeSystem system;
    RegisterComAndTypeLibraries(system, {}, {});
    EXPECT_EQ(system.windowReturns, 0);
    EXPECT_EQ(system.log, "");
}

TEST(RegisteringText, TheFileTakesThePlaceOfItsMark) {
    EXPECT_EQ(U8(RegisteringText(u"Registering <file>...", u"C:\\a.dll")), "Registering C:\\a.dll...");
    EXPECT_EQ(U8(RegisteringText(u"Registering", u"C:\\a.dll")), "C:\\a.dll");
}

// ---- Drivers ------------------------------------------------------------------------------

TEST(Drivers, FinalNamesAreLoggedAndRecordedFailuresExplained) {
    FakeSystem system;
    system.infNames = {{"C:\\P\\a.inf", "C:\\windows\\inf\\oem3.inf"},
                       {"C:\\P\\b.inf", ""},
                       {"C:\\P\\\xc3\xa9.inf", "C:\\windows\\inf\\\xc3\xa9.inf"}};
    system.infErrors = {{"C:\\P\\unsigned.inf", kErrorInfNoSignature}, {"C:\\P\\gone.inf", 2}};
    system.errorTexts = {{2, "The system cannot find the file specified."}};
    system.crashing = {"C:\\P\\x.inf"};
    UninstallRecords records;
    InstallDrivers(system,
                   Paths({u"C:\\P\\a.inf", u"C:\\P\\b.inf", u"C:\\P\\unsigned.inf", u"C:\\P\\gone.inf",
                          u"C:\\P\\x.inf", u"C:\\P\\\u00e9.inf"}),
                   records);
    EXPECT_EQ(
        system.log,
        "Installing driver \"C:\\P\\a.inf\"...OK\r\nFinal driver location: C:\\windows\\inf\\oem3.inf\r\n"
        "Installing driver \"C:\\P\\b.inf\"...OK, but resulting filepath is unknown\r\n"
        "Installing driver \"C:\\P\\unsigned.inf\"...FAILED!  Code 0xE000022F: "
        "The INF does not contain digital signature information.\r\n"
        "Installing driver \"C:\\P\\gone.inf\"...FAILED!  Code 2: The system cannot find the file "
        "specified.\r\n"
        "Installing driver \"C:\\P\\x.inf\"...CRASHED!\r\n"
        "Installing driver \"C:\\P\\\xc3\xa9.inf\"...OK\r\nFinal driver location: "
        "C:\\windows\\inf\\\xc3\xa9.inf\r\n");
    // The "[INF]" lines are in the path form.
    EXPECT_EQ(Records(records.inf), "C:\\windows\\inf\\oem3.inf\r\n|C:\\windows\\inf\\\xc3\xa9.inf\r\n");
    EXPECT_EQ(system.failures, "");
}

TEST(Drivers, WithoutTheSetupLibraryOrItsEntryNoDriverIsTried) {
    for (auto [state, line] :
         {std::pair{SetupApiState::kNoLibrary, "Cannot install INF files...unable to open Setupapi.dll\r\n"},
          std::pair{SetupApiState::kNoCopyEntry,
                    "Cannot install INF files...unable to link to SetupCopyOEMInf()\r\n"}}) {
        FakeSystem system;
        system.setupApi = state;
        system.infNames = {{"C:\\a.inf", "C:\\oem1.inf"}};
        UninstallRecords records;
        InstallDrivers(system, Paths({u"C:\\a.inf"}), records);
        EXPECT_EQ(system.log, line);
        EXPECT_EQ(Records(records.inf), "");
    }
    FakeSystem system;
    system.setupApi = SetupApiState::kNoLibrary;
    UninstallRecords records;
    InstallDrivers(system, {}, records); // no drivers: not even the library is looked for
    EXPECT_EQ(system.log, "");
}
