// File associations over a registry in memory: the rules (backup name, verbs, extension,
// language, icon, backups, the existing-type decision), the installation step with its log
// lines and records, and the undoing, checked as a round trip: installed over a given
// machine and undone from the records read back, every case leaves the machine as it was.
#include "actions/Associations.h"

#include "core/Format.h"
#include "core/Text.h"
#include "uninstall/RegistryKeyPaths.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::string Utf8(const String& text) {
    return std::string(ToUtf8(text).View());
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

// Keys and value names compare ignoring case, as the system's do; what is shown keeps the case
// of the first writer.
class MemoryClasses : public ClassesRegistry {
  public:
    struct Key {
        std::string name;
        std::map<std::string, std::pair<std::string, std::string>> values; // lower name -> (name, text)
    };
    std::map<std::string, Key> keys;             // lower path -> key
    std::map<std::string, uint32_t> failingKeys; // lower path -> error of Open and Create
    std::string throwOn;                         // a path whose creation throws

    void Put(const std::string& path, const std::string& name, const std::string& text) {
        MakeKey(path);
        keys[Lower(path)].values[Lower(name)] = {name, text};
    }
    // "path|name=text" for every value and "path|" for every key, in order.
    std::string Dump() const {
        std::string out;
        for (const auto& [lower, key] : keys) {
            out += key.name + "|\n";
            for (const auto& [n, value] : key.values)
                out += key.name + "|" + (value.first.empty() ? "@" : value.first) + "=" + value.second + "\n";
        }
        return out;
    }
    std::string Value(const std::string& path, const std::string& name) const {
        auto k = keys.find(Lower(path));
        if (k == keys.end()) return "<no key>";
        auto v = k->second.values.find(Lower(name));
        return v == k->second.values.end() ? "<none>" : v->second.second;
    }
    bool Has(const std::string& path) const { return keys.count(Lower(path)) != 0; }

    uint32_t OpenKey(const String& path) override {
        std::string p = Lower(Utf8(path));
        if (failingKeys.count(p)) return failingKeys[p];
        return keys.count(p) ? 0 : kErrorFileNotFound;
    }
    uint32_t CreateKey(const String& path) override {
        std::string p = Lower(Utf8(path));
        if (!throwOn.empty() && p == Lower(throwOn)) throw std::runtime_error("foreign code");
        if (failingKeys.count(p)) return failingKeys[p];
        MakeKey(Utf8(path));
        return 0;
    }
    bool ReadText(const String& path, const String& name, String& text) override {
        std::string v = Value(Utf8(path), Utf8(name));
        if (v == "<no key>" || v == "<none>") return false;
        text = FromUtf8(v);
        return true;
    }
    bool ValueExists(const String& path, const String& name) override {
        String ignored;
        return ReadText(path, name, ignored);
    }
    uint32_t SetText(const String& path, const String& name, const String& text) override {
        auto k = keys.find(Lower(Utf8(path)));
        if (k == keys.end()) return kErrorFileNotFound;
        auto& slot = k->second.values[Lower(Utf8(name))];
        if (slot.first.empty()) slot.first = Utf8(name);
        slot.second = Utf8(text);
        return 0;
    }
    uint32_t DeleteValue(const String& path, const String& name) override {
        auto k = keys.find(Lower(Utf8(path)));
        if (k == keys.end() || !k->second.values.erase(Lower(Utf8(name)))) return kErrorFileNotFound;
        return 0;
    }
    bool Contents(const String& path, size_t& subkeys, size_t& values) override {
        std::string p = Lower(Utf8(path));
        auto k = keys.find(p);
        if (k == keys.end()) return false;
        values = k->second.values.size();
        subkeys = 0;
        for (const auto& [other, key] : keys)
            if (other.size() > p.size() + 1 && other.compare(0, p.size() + 1, p + "\\") == 0 &&
                other.find('\\', p.size() + 1) == std::string::npos)
                ++subkeys;
        return true;
    }
    uint32_t DeleteKey(const String& path) override {
        std::string p = Lower(Utf8(path));
        if (!keys.count(p)) return kErrorFileNotFound;
        for (auto it = keys.begin(); it != keys.end();)
            it = it->first == p || it->first.rfind(p + "\\", 0) == 0 ? keys.erase(it) : std::next(it);
        return 0;
    }

  private:
    void MakeKey(const std::string& path) {
        for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
            MakeOne(path.substr(0, at));
        MakeOne(path);
    }
    void MakeOne(const std::string& path) {
        Key& key = keys[Lower(path)];
        if (key.name.empty()) key.name = path;
    }
};

class MemorySystem : public AssociationSystem {
  public:
    std::string log;
    int notified = 0;
    void ExpandVariables(String& text) override {
        size_t at = Find(text, u"%InstallDir%");
        if (at != String::npos) text = text.Sub(0, at) + u"C:\\App" + text.Sub(at + 12);
    }
    void Log(const String& text) override { log += Utf8(text); }
    String SystemErrorText(uint32_t code) override { return Format(u"error %u", code); }
    void NotifyShell() override { ++notified; }
    bool Guarded(const std::function<void()>& step) override {
        try {
            step();
            return true;
        } catch (...) {
            return false;
        }
    }
};

FileAssociation Association(const char* extension, const char* type, const char* verbs, int mode = 0) {
    FileAssociation a;
    a.mode = mode;
    a.extension = FromUtf8(extension);
    a.fileType = type;
    a.description = u"Corvantis Text";
    a.verbs = verbs;
    a.verbLabel = "&Open with Tool";
    a.command = u"\"%InstallDir%\\tool.exe\" \"%1\"";
    a.icon = u"icons\\doc.ico";
    return a;
}

// The records as the uninstaller reads them back.
Array<UninstallAssociation> ReadBack(const UninstallRecords& records) {
    UninstallFile file;
    std::string bytes = "\r\n\r\n[Associations]\r\n" + std::string(records.associations.View());
    ReadUninstallData(bytes, file);
    return file.associations;
}

class AssociationStep : public testing::Test {
  protected:
    AssociationStep() {
        run.associations = &associations;
        run.productName = u"Corvantis\\Tool\t2";
        run.language = u"English";
        run.installDir = u"C:\\App";
        run.records = &records;
    }
    void Install() { AssociationInstaller(classes, system, run).Run(); }
    void Uninstall() {
        RestoreAssociations(classes, ReadBack(records), AssociationBackupName(run.productName));
    }
    std::string Records() const { return std::string(records.associations.View()); }

    MemoryClasses classes;
    MemorySystem system;
    Array<FileAssociation> associations;
    UninstallRecords records;
    AssociationRun run;
};

const char kBackup[] = "CorvantisTool2 Backup";
const char kCommand[] = "\"C:\\App\\tool.exe\" \"%1\"";
const char kIcon[] = "C:\\App\\icons\\doc.ico";

// An association of another program that the product takes over.
void OtherProgram(MemoryClasses& c) {
    c.Put(".cst", "", "Other.File");
    c.Put(".cst", "Content Type", "text/plain");
    c.Put("Other.File", "", "Other document");
    c.Put("Other.File\\DefaultIcon", "", "C:\\Other\\other.ico,1");
    c.Put("Other.File\\shell", "", "edit");
    c.Put("Other.File\\shell\\open", "", "Open in Other");
    c.Put("Other.File\\shell\\open\\command", "", "C:\\Other\\other.exe \"%1\"");
    c.Put("Other.File\\shell\\edit\\command", "", "C:\\Other\\edit.exe \"%1\"");
}

} // namespace

// ---- Rules ---------------------------------------------------------------------------------

TEST(AssociationRules, BackupNameDropsBackslashesAndLineBreaks) {
    const struct {
        const char16_t *product, *name;
    } cases[] = {
        {u"Tool", u"Tool Backup"},
        {u"Acme\\Tool\r\n\t2", u"AcmeTool2 Backup"},
        {u"", u" Backup"},
        {u"Tool  ", u"Tool   Backup"}, // blanks are kept
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(AssociationBackupName(c.product)), Utf8(c.name)) << Utf8(c.product);
}

TEST(AssociationRules, VerbsAreTrimmedAndEmptyOnesDropped) {
    const struct {
        const char16_t* list;
        std::vector<std::string> verbs;
    } cases[] = {
        {u"open", {"open"}},
        {u" open ,\tedit\r\n", {"open", "edit"}},
        {u"open,,print,", {"open", "print"}},
        {u", \t\r\n,", {}},
        {u"", {}},
        {u"Open With Tool", {"Open With Tool"}}, // blanks inside stay
    };
    for (const auto& c : cases) {
        Array<String> verbs = SplitVerbs(c.list);
        std::vector<std::string> got;
        for (const String& v : verbs)
            got.push_back(Utf8(v));
        EXPECT_EQ(got, c.verbs) << Utf8(c.list);
    }
}

TEST(AssociationRules, ExtensionLanguageIconAndBackupDecisions) {
    EXPECT_EQ(Utf8(ExtensionKeyName(u"txt")), ".txt");
    EXPECT_EQ(Utf8(ExtensionKeyName(u".txt")), ".txt");

    EXPECT_TRUE(AssociationInLanguage(u"", u"Deutsch"));
    EXPECT_TRUE(AssociationInLanguage(u"english", u"English"));
    EXPECT_FALSE(AssociationInLanguage(u"English", u"Deutsch"));
    EXPECT_FALSE(AssociationInLanguage(u"English", u""));

    const struct {
        const char16_t *icon, *path;
    } icons[] = {
        {u"", u""},
        {u"doc.ico", u"C:\\App\\doc.ico"},
        {u"bin\\tool.exe,2", u"C:\\App\\bin\\tool.exe,2"},
        {u"D:\\Icons\\doc.ico", u"D:\\Icons\\doc.ico"},
        {u"\\\\server\\icons\\doc.ico", u"\\\\server\\icons\\doc.ico"},
    };
    for (const auto& c : icons)
        EXPECT_EQ(Utf8(AssociationIconPath(c.icon, u"C:\\App")), Utf8(c.path)) << Utf8(c.icon);

    EXPECT_TRUE(NeedsBackup(u"Old.File", u"New.File"));
    EXPECT_TRUE(NeedsBackup(u"new.file", u"New.File")) << "the text is kept as it was, case and all";
    EXPECT_FALSE(NeedsBackup(u"New.File", u"New.File"));
    EXPECT_FALSE(NeedsBackup(u"", u"New.File"));
}

TEST(AssociationRules, ExistingTypeDecision) {
    const struct {
        const char16_t *declared, *current;
        ExistingType outcome;
        const char16_t* type;
        bool useExisting;
    } cases[] = {
        {u"", u"Other.File", ExistingType::kTaken, u"Other.File", true},
        {u"!Tool.File", u"Other.File", ExistingType::kTaken, u"Other.File", true},
        {u"!Tool.File", u"", ExistingType::kNamed, u"Tool.File", false},
        {u"", u"", ExistingType::kNoLabel, u"", false},
        {u"!", u"", ExistingType::kNoLabel, u"", false}, // no name: nothing to make
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.declared) + " / " + Utf8(c.current));
        EXPECT_TRUE(UsesExistingType(c.declared));
        TypeDecision d = DecideExistingType(c.declared, c.current);
        EXPECT_EQ(d.outcome, c.outcome);
        EXPECT_EQ(Utf8(d.type), Utf8(c.type));
        EXPECT_EQ(d.useExisting, c.useExisting);
    }
    EXPECT_FALSE(UsesExistingType(u"Tool.File"));
}

// ---- Installation --------------------------------------------------------------------------

// Mode 1 on a new extension: extension, type, icon, default verb, verb and command; the "Open
// With" entry; the log lines; one record; the shell told once.
TEST_F(AssociationStep, DefaultVerbOnANewExtension) {
    associations.Append(Association("cst", "Tool.File", "open", kAssociationDefaultVerb));
    Install();

    EXPECT_EQ(classes.Dump(), ".cst|\n"
                              ".cst|@=Tool.File\n"
                              ".cst\\OpenWithProgids|\n"
                              ".cst\\OpenWithProgids|Tool.File=\n"
                              "Tool.File|\n"
                              "Tool.File|@=Corvantis Text\n"
                              "Tool.File\\DefaultIcon|\n"
                              "Tool.File\\DefaultIcon|@=C:\\App\\icons\\doc.ico\n"
                              "Tool.File\\shell|\n"
                              "Tool.File\\shell|@=open\n"
                              "Tool.File\\shell\\open|\n"
                              "Tool.File\\shell\\open|@=&Open with Tool\n"
                              "Tool.File\\shell\\open\\command|\n"
                              "Tool.File\\shell\\open\\command|@=\"C:\\App\\tool.exe\" \"%1\"\n");
    EXPECT_EQ(system.log, std::string(".cst Open With ") + kCommand + "\r\nAssociated .cst with " + kCommand +
                              " (verb=open)\r\n");
    EXPECT_EQ(Records(), std::string(".cst~!~Tool.File~!~open~!~") + kIcon + "\r\n");
    EXPECT_EQ(system.notified, 1);
}

// Over another program's association every default value written is kept first in the
// product's backup value of the same key; values equal to the new ones are not.
TEST_F(AssociationStep, OverAnExistingAssociationTheOldValuesAreKept) {
    OtherProgram(classes);
    classes.Put("Tool.File\\shell\\open\\command", "", kCommand); // already ours: no backup
    associations.Append(Association("cst", "Tool.File", "open", kAssociationDefaultVerb));
    associations.Append(Association("cst", "Other.File", "open", kAssociationDefaultVerb));
    Install();

    EXPECT_EQ(classes.Value(".cst", ""), "Other.File") << "the second association points it back";
    EXPECT_EQ(classes.Value(".cst", kBackup), "Other.File") << "the first backup stays";
    EXPECT_EQ(classes.Value("Other.File", kBackup), "Other document");
    EXPECT_EQ(classes.Value("Other.File\\DefaultIcon", kBackup), "C:\\Other\\other.ico,1");
    EXPECT_EQ(classes.Value("Other.File\\shell", kBackup), "edit");
    EXPECT_EQ(classes.Value("Other.File\\shell\\open", kBackup), "Open in Other");
    EXPECT_EQ(classes.Value("Other.File\\shell\\open\\command", kBackup), "C:\\Other\\other.exe \"%1\"");
    EXPECT_EQ(classes.Value("Other.File\\shell\\open\\command", ""), kCommand);
    EXPECT_EQ(classes.Value("Tool.File\\shell\\open\\command", kBackup), "<none>");
    EXPECT_EQ(classes.Value(".cst", "Content Type"), "text/plain");
}

// Without a type for the extension to take, nothing changes and nothing is recorded.
TEST_F(AssociationStep, EmptyTypeWithoutAnExistingTypeFails) {
    classes.Put(".bare", "Content Type", "text/plain"); // a key, but no type
    associations.Append(Association("new", "", "open"));
    associations.Append(Association("bare", "", "open"));
    associations.Append(Association("bang", "!", "open"));
    std::string before = classes.Dump();
    Install();

    EXPECT_EQ(classes.Dump(), ".bang|\n" + before) << "only \"!\" made a key";
    EXPECT_EQ(system.log, "Association failed/no label:  \".new\".\r\n\r\n"
                          "Association failed/no label:  \".bare\".\r\n\r\n"
                          "Association failed/no label:  \".bang\".\r\n\r\n");
    EXPECT_EQ(Records(), "");
}

// "!": an extension with a type gains the verb in that type (no description, the extension
// left alone); one without gets the named type.
TEST_F(AssociationStep, BangTakesTheExistingTypeOrMakesTheNamedOne) {
    OtherProgram(classes);
    associations.Append(Association("cst", "!Tool.File", "view"));
    associations.Append(Association("cs2", "!Tool.File", "view"));
    Install();

    EXPECT_EQ(classes.Value(".cst", ""), "Other.File");
    EXPECT_EQ(classes.Value(".cst", kBackup), "<none>");
    EXPECT_EQ(classes.Value("Other.File", ""), "Other document");
    EXPECT_EQ(classes.Value("Other.File\\shell\\view\\command", ""), kCommand);
    EXPECT_EQ(classes.Value("Other.File\\shell", ""), "edit") << "not mode 1";

    EXPECT_EQ(classes.Value(".cs2", ""), "Tool.File");
    EXPECT_EQ(classes.Value("Tool.File", ""), "Corvantis Text");
    EXPECT_EQ(classes.Value("Tool.File\\shell\\view\\command", ""), kCommand);
    EXPECT_EQ(Records(), std::string(".cst~!~Other.File~!~view~!~") + kIcon +
                             "\r\n.cs2~!~Tool.File~!~view~!~" + kIcon + "\r\n");
    // Taking a type changes only the command: made, but not logged as a new association.
    EXPECT_EQ(system.log, std::string("Associated .cs2 with ") + kCommand + " (verb=view)\r\n");
}

// Two verbs are two records; in mode 1 the first is the default verb; only "open" enters the
// "Open With" list.
TEST_F(AssociationStep, TwoVerbsGiveTwoRecords) {
    associations.Append(Association("cst", "Tool.File", "open, print", kAssociationDefaultVerb));
    Install();

    EXPECT_EQ(Records(), std::string(".cst~!~Tool.File~!~open~!~") + kIcon +
                             "\r\n.cst~!~Tool.File~!~print~!~" + kIcon + "\r\n");
    EXPECT_EQ(classes.Value("Tool.File\\shell", ""), "open");
    EXPECT_EQ(classes.Value("Tool.File\\shell\\print\\command", ""), kCommand);
    EXPECT_EQ(system.log, std::string(".cst Open With ") + kCommand + "\r\nAssociated .cst with " + kCommand +
                              " (verb=open)\r\nAssociated .cst with " + kCommand + " (verb=print)\r\n");
}

// Mode 2 leaves the extension's default alone and lists the type under "Open With" whatever
// the verb.
TEST_F(AssociationStep, OpenWithOnlyLeavesTheExtensionAlone) {
    OtherProgram(classes);
    associations.Append(Association("cst", "Tool.File", "view", kAssociationOpenWithOnly));
    Install();
    EXPECT_EQ(classes.Value(".cst", ""), "Other.File");
    EXPECT_EQ(classes.Value(".cst\\OpenWithProgids", "Tool.File"), "");
    EXPECT_EQ(classes.Value("Tool.File\\shell\\view\\command", ""), kCommand);
    EXPECT_EQ(system.log, std::string(".cst Open With ") + kCommand + "\r\n");
}

// Not made: another language, no extension, a removable drive with the flag. Made: the
// removable drive without the flag, the association's language chosen.
TEST_F(AssociationStep, LanguageExtensionAndRemovableDriveFilters) {
    FileAssociation german = Association("de1", "De.File", "open");
    german.language = u"Deutsch";
    FileAssociation english = Association("en1", "En.File", "open");
    english.language = u"ENGLISH";
    associations.Append(german);
    associations.Append(english);
    associations.Append(Association("", "None.File", "open"));

    run.removableDrive = true;
    run.payloadFlags = kFlagNoAssociationsOnRemovable;
    Install();
    EXPECT_EQ(classes.Dump(), "");
    EXPECT_EQ(system.notified, 0);

    run.payloadFlags = 0;
    Install();
    EXPECT_FALSE(classes.Has(".de1"));
    EXPECT_TRUE(classes.Has("En.File\\shell\\open\\command"));
    EXPECT_FALSE(classes.Has("None.File"));
    EXPECT_EQ(system.notified, 1);
}

// Keys that cannot be opened or made: the lines of each failure; the record is still written
// when the association went as far as its type, and earlier keys stay.
TEST_F(AssociationStep, KeysThatFail) {
    classes.failingKeys[".locked"] = 5;
    classes.failingKeys["bad.file\\shell"] = 5;
    associations.Append(Association("locked", "", "open"));
    associations.Append(Association("locked", "Tool.File", "edit"));
    associations.Append(Association("bad", "Bad.File", "edit"));
    Install();

    EXPECT_EQ(system.log, "Association failed/key inaccessible:  \".locked\".\r\n\r\n"
                          "Failed to associate file type:  \".bad\".\r\nerror 5\r\n");
    // A type the extension could not be pointed to still gets its command: made, with one
    // change of two, so neither "Associated" nor a failure is logged.
    EXPECT_EQ(classes.Value("Tool.File\\shell\\edit\\command", ""), kCommand);
    EXPECT_EQ(Records(), std::string(".locked~!~Tool.File~!~edit~!~") + kIcon +
                             "\r\n.bad~!~Bad.File~!~edit~!~" + kIcon + "\r\n");
    EXPECT_EQ(classes.Value(".bad", ""), "Bad.File");
    EXPECT_EQ(classes.Value("Bad.File\\DefaultIcon", ""), kIcon);
}

// A crash inside the step is logged with the step's line; the shell is not told.
TEST_F(AssociationStep, CrashIsLoggedAndTheRunGoesOn) {
    classes.throwOn = "Crash.File";
    associations.Append(Association("crash", "Crash.File", "open"));
    associations.Append(Association("after", "After.File", "open"));
    Install();
    EXPECT_EQ(system.log,
              std::string(".crash Open With ") + kCommand + "\r\nCrashed while installing associations.\r\n");
    EXPECT_FALSE(classes.Has("After.File"));
    EXPECT_EQ(system.notified, 0);
}

// ---- Uninstallation ------------------------------------------------------------------------

// Installed over a machine and undone from the records: the machine as it was.
TEST_F(AssociationStep, UninstallingRestoresTheMachine) {
    const struct {
        const char* name;
        void (*machine)(MemoryClasses&);
        std::vector<FileAssociation> associations;
    } cases[] = {
        {"new extension, two verbs",
         [](MemoryClasses&) {},
         {Association("cst", "Tool.File", "open,print", kAssociationDefaultVerb)}},
        {"taken over from another program",
         OtherProgram,
         {Association("cst", "Tool.File", "open,edit", kAssociationDefaultVerb)}},
        {"verb added to the existing type", OtherProgram, {Association("cst", "", "open,view")}},
        {"the existing type taken by \"!\"",
         OtherProgram,
         {Association("cst", "!Tool.File", "edit", kAssociationDefaultVerb)}},
        {"\"!\" without a type", [](MemoryClasses&) {}, {Association("cst", "!Tool.File", "open")}},
        {"open with only, other entries kept",
         [](MemoryClasses& c) {
             OtherProgram(c);
             c.Put(".cst\\OpenWithProgids", "Third.File", "");
         },
         {Association("cst", "Tool.File", "view", kAssociationOpenWithOnly)}},
        {"two extensions of one type",
         [](MemoryClasses& c) { c.Put(".cs2", "Content Type", "text/x"); },
         {Association("cst", "Tool.File", "open"), Association("cs2", "Tool.File", "open")}},
        {"mode 1 where the default verb was already ours",
         [](MemoryClasses& c) {
             OtherProgram(c);
             c.Put("Other.File\\shell", "", "open");
         },
         {Association("cst", "", "open", kAssociationDefaultVerb)}},
        {"the same association twice",
         OtherProgram,
         {Association("cst", "Other.File", "open"), Association("cst", "Other.File", "open")}},
        {"two verbs over a type that had only its description",
         [](MemoryClasses& c) {
             c.Put(".cst", "", "Bare.File");
             c.Put("Bare.File", "", "Another program's document");
         },
         {Association("cst", "Bare.File", "open,print")}},
        {"an empty menu text over another's", OtherProgram, {[] {
             FileAssociation a = Association("cst", "", "open");
             a.verbLabel = "";
             return a;
         }()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        classes = MemoryClasses();
        records.associations.Clear();
        associations.Clear();
        c.machine(classes);
        for (const FileAssociation& a : c.associations)
            associations.Append(a);
        std::string before = classes.Dump();
        Install();
        ASSERT_NE(classes.Dump(), before);
        Uninstall();
        EXPECT_EQ(classes.Dump(), before);
    }
}

// What others changed after the installation stays: an icon set by another program, a verb of
// their own below the product's type keeps the type and the extension.
TEST_F(AssociationStep, UninstallingLeavesLaterChangesOfOthers) {
    associations.Append(Association("cst", "Tool.File", "open", kAssociationDefaultVerb));
    Install();
    classes.Put("Tool.File\\DefaultIcon", "", "C:\\Later\\later.ico");
    classes.Put("Tool.File\\shell\\later\\command", "", "later.exe");
    Uninstall();

    EXPECT_EQ(classes.Dump(), ".cst|\n"
                              ".cst|@=Tool.File\n"
                              "Tool.File|\n"
                              "Tool.File|@=Corvantis Text\n"
                              "Tool.File\\DefaultIcon|\n"
                              "Tool.File\\DefaultIcon|@=C:\\Later\\later.ico\n"
                              "Tool.File\\shell|\n"
                              "Tool.File\\shell\\later|\n"
                              "Tool.File\\shell\\later\\command|\n"
                              "Tool.File\\shell\\later\\command|@=later.exe\n");
}

// An upgrade writes a new command over its own old one: the value from before the first
// installation is the one that comes back.
TEST_F(AssociationStep, UpgradeKeepsTheFirstBackup) {
    OtherProgram(classes);
    std::string before = classes.Dump();
    associations.Append(Association("cst", "Other.File", "open"));
    Install();
    associations[0].command = u"\"%InstallDir%\\tool2.exe\" \"%1\"";
    records.associations.Clear(); // the second run writes its own uninstall data
    Install();
    EXPECT_EQ(classes.Value("Other.File\\shell\\open\\command", kBackup), "C:\\Other\\other.exe \"%1\"");
    Uninstall();
    EXPECT_EQ(classes.Dump(), before);
}
