// File associations under Wine, read back with Wine's "reg" below HKEY_CLASSES_ROOT (in the
// engine's own view): a new extension in default-verb mode gets its extension, type, icon, verb
// and command keys; an empty type for an unknown extension fails with "no label" and changes
// nothing; "!" adds the verb to the extension's existing type or makes the named one; two verbs
// are two "[Associations]" records. Installed over other programs' associations, the old
// default values are kept in the product's backup values, and the uninstaller writes them back
// and deletes what the installation made.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

// The 64-bit engine keeps associations in the 64-bit view, the one the shell of a 64-bit
// system reads; the 32-bit engine in the 32-bit one.
std::string View() {
    return EngineIsX64() ? "/reg:64" : "/reg:32";
}

const std::string kClasses = "HKEY_CLASSES_ROOT\\";

// A key below HKEY_CLASSES_ROOT with everything below it; empty when it does not exist.
RegExport Tree(const std::string& key) {
    return ExportedTree("HKCR\\" + key, View());
}

// A text value of a key below HKEY_CLASSES_ROOT ("@" the default value); "<none>" when the key
// or the value is missing.
std::string Value(const std::string& key, const std::string& name = "@") {
    RegExport tree = Tree(key);
    auto k = tree.find(kClasses + key);
    if (k == tree.end()) return "<none>";
    auto v = k->second.find(name);
    return v == k->second.end() ? "<none>" : v->second.data;
}

bool KeyExists(const std::string& key) {
    return RunWine({"reg", "query", "HKCR\\" + key, View()}, 60).exitCode == 0;
}

void SetValue(const std::string& key, const std::string& name, const std::string& data) {
    std::vector<std::string> args{"reg", "add", "HKCR\\" + key};
    if (name == "@")
        args.push_back("/ve");
    else
        args.insert(args.end(), {"/v", name});
    args.insert(args.end(), {"/d", data, "/f", View()});
    RunResult r = RunWine(args, 60);
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

void DeleteKey(const std::string& key) {
    RunWine({"reg", "delete", "HKCR\\" + key, "/f", View()}, 60);
}

// The "[Associations]" lines of "Uninstall.dat".
std::vector<std::string> AssociationRecords(const std::string& uninstallData) {
    const std::string header = "\r\n\r\n[Associations]\r\n";
    std::vector<std::string> lines;
    size_t at = uninstallData.find(header);
    if (at == std::string::npos) return lines;
    at += header.size();
    for (size_t end; (end = uninstallData.find("\r\n", at)) != std::string::npos && end > at; at = end + 2)
        lines.push_back(uninstallData.substr(at, end - at));
    return lines;
}

// One "[[association]]" table (TOML literal strings; empty keys left out).
std::string Association(const std::string& extension, const std::string& type, const std::string& verbs,
                        const std::string& mode = "") {
    std::string table = "[[association]]\nextension = '" + extension + "'\nverbs = '" + verbs +
                        "'\ndescription = 'Corvantis E2E document'\nverb_label = '&Open in E2E'\n"
                        "command = '\"%InstallDir%\\tool.exe\" \"%1\"'\nicon = 'doc.ico'\n";
    if (!type.empty()) table += "file_type = '" + type + "'\n";
    if (!mode.empty()) table += "mode = '" + mode + "'\n";
    return table;
}

class AssociationsUnderWine : public testing::Test {
  protected:
    std::string Build(const std::string& name, const std::string& folder, const std::string& project) {
        return BuildInstaller(name, "[product]\nname = \"" + name +
                                        "\"\nversion = \"1.0\"\n[install]\nfolder = '" + folder +
                                        "'\n[uninstall]\nkey_name = '" + name + "'\n" + project);
    }
    void Install(const std::string& setup) {
        RunResult r = RunWine({setup, "/silent", "/a"}, 180);
        EXPECT_FALSE(r.timedOut) << r.output;
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
};

const std::string kUninstallEntry = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

} // namespace

// Default-verb mode on new extensions: every key read back, the log lines, one record per verb;
// an empty type for an unknown extension fails and makes nothing; "!" without an existing type
// makes the named type.
TEST_F(AssociationsUnderWine, NewExtensionsGetTheirKeys) {
    const std::string root = DriveC() + "/cs_e2e_assoc";
    const std::string command = "\"C:\\cs_e2e_assoc\\tool.exe\" \"%1\"";
    const std::string icon = "C:\\cs_e2e_assoc\\doc.ico";
    fs::remove_all(root);
    for (const char* key : {".cse2enew", ".cse2enone", ".cse2ebang", "CsE2E.New", "CsE2E.Bang"})
        DeleteKey(key);
    RegDeleteKey(kUninstallEntry + "Assoc New E2E");

    std::string setup =
        Build("Assoc New E2E", "C:\\cs_e2e_assoc",
              Association("cse2enew", "CsE2E.New", "open, print", "default-verb") +
                  Association("cse2enone", "", "open") + Association(".cse2ebang", "!CsE2E.Bang", "open"));
    ASSERT_FALSE(setup.empty());
    Install(setup);

    EXPECT_EQ(Value(".cse2enew"), "CsE2E.New");
    EXPECT_EQ(Value(".cse2enew\\OpenWithProgids", "CsE2E.New"), "");
    EXPECT_EQ(Value("CsE2E.New"), "Corvantis E2E document");
    EXPECT_EQ(Value("CsE2E.New\\DefaultIcon"), icon);
    EXPECT_EQ(Value("CsE2E.New\\shell"), "open");
    EXPECT_EQ(Value("CsE2E.New\\shell\\open"), "&Open in E2E");
    EXPECT_EQ(Value("CsE2E.New\\shell\\open\\command"), command);
    EXPECT_EQ(Value("CsE2E.New\\shell\\print\\command"), command);
    EXPECT_EQ(Value("CsE2E.New", "Assoc New E2E Backup"), "<none>") << "nothing was overwritten";

    EXPECT_FALSE(KeyExists(".cse2enone")) << "an empty type for an unknown extension changes nothing";

    EXPECT_EQ(Value(".cse2ebang"), "CsE2E.Bang");
    EXPECT_EQ(Value("CsE2E.Bang\\shell\\open\\command"), command);

    std::string log = FileText(root + "/Install.log");
    for (const std::string& line : {"Associated .cse2enew with " + command + " (verb=open)\r\n",
                                    "Associated .cse2enew with " + command + " (verb=print)\r\n",
                                    std::string("Association failed/no label:  \".cse2enone\".\r\n\r\n"),
                                    ".cse2ebang Open With " + command + "\r\n",
                                    "Associated .cse2ebang with " + command + " (verb=open)\r\n"})
        EXPECT_TRUE(TextContains(log, line)) << line << "\n" << log;
    EXPECT_EQ(AssociationRecords(FileText(root + "/Uninstall.dat")),
              (std::vector<std::string>{".cse2enew~!~CsE2E.New~!~open~!~" + icon,
                                        ".cse2enew~!~CsE2E.New~!~print~!~" + icon,
                                        ".cse2ebang~!~CsE2E.Bang~!~open~!~" + icon}));

    RunResult removed = RunUninstaller("C:\\cs_e2e_assoc\\uninstall.exe", "Assoc New E2E", "/silent");
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    for (const char* key : {".cse2enew", "CsE2E.New", ".cse2ebang", "CsE2E.Bang"})
        EXPECT_FALSE(KeyExists(key)) << key << ": made by the installation, deleted by the uninstaller";
    fs::remove_all(root);
}

// Over other programs' associations: the product's own type over an extension with another
// type, and a verb added through "!" to the type an extension already has. The old default
// values wait in the backup values; the uninstaller writes them back and removes the rest, so
// both trees are as they were.
TEST_F(AssociationsUnderWine, OldValuesAreKeptAndComeBackAtUninstallation) {
    const std::string root = DriveC() + "/cs_e2e_assoc_over";
    const std::string backup = "Assoc Over E2E Backup";
    fs::remove_all(root);
    const char* keys[] = {".cse2eover", ".cse2eadd", "CsE2E.Other", "CsE2E.Mine", "CsE2E.Unused"};
    for (const char* key : keys)
        DeleteKey(key);
    RegDeleteKey(kUninstallEntry + "Assoc Over E2E");
    SetValue(".cse2eover", "@", "CsE2E.Other");
    SetValue(".cse2eover", "Content Type", "text/x-e2e");
    SetValue(".cse2eadd", "@", "CsE2E.Other");
    SetValue("CsE2E.Other", "@", "Other document");
    SetValue("CsE2E.Other\\DefaultIcon", "@", "C:\\other\\other.ico,1");
    SetValue("CsE2E.Other\\shell", "@", "edit");
    SetValue("CsE2E.Other\\shell\\open", "@", "Open in Other");
    SetValue("CsE2E.Other\\shell\\open\\command", "@", "C:\\other\\other.exe \"%1\"");
    SetValue("CsE2E.Other\\shell\\edit\\command", "@", "C:\\other\\edit.exe \"%1\"");
    RegExport before[] = {Tree(".cse2eover"), Tree(".cse2eadd"), Tree("CsE2E.Other")};
    ASSERT_FALSE(before[2].empty());

    std::string setup = Build("Assoc Over E2E", "C:\\cs_e2e_assoc_over",
                              Association("cse2eover", "CsE2E.Mine", "open", "default-verb") +
                                  Association("cse2eadd", "!CsE2E.Unused", "open, view", "default-verb"));
    ASSERT_FALSE(setup.empty());
    Install(setup);

    const std::string command = "\"C:\\cs_e2e_assoc_over\\tool.exe\" \"%1\"";
    EXPECT_EQ(Value(".cse2eover"), "CsE2E.Mine");
    EXPECT_EQ(Value(".cse2eover", backup), "CsE2E.Other");
    EXPECT_EQ(Value("CsE2E.Mine\\shell\\open\\command"), command);
    // "!" found a type: the verbs go into it, every old value in its backup.
    EXPECT_EQ(Value(".cse2eadd"), "CsE2E.Other");
    EXPECT_FALSE(KeyExists("CsE2E.Unused"));
    EXPECT_EQ(Value("CsE2E.Other"), "Other document") << "a type taken keeps its description";
    EXPECT_EQ(Value("CsE2E.Other\\DefaultIcon", backup), "C:\\other\\other.ico,1");
    EXPECT_EQ(Value("CsE2E.Other\\shell"), "open");
    EXPECT_EQ(Value("CsE2E.Other\\shell", backup), "edit");
    EXPECT_EQ(Value("CsE2E.Other\\shell\\open", backup), "Open in Other");
    EXPECT_EQ(Value("CsE2E.Other\\shell\\open\\command"), command);
    EXPECT_EQ(Value("CsE2E.Other\\shell\\open\\command", backup), "C:\\other\\other.exe \"%1\"");
    EXPECT_EQ(Value("CsE2E.Other\\shell\\view\\command"), command);

    RunResult removed = RunUninstaller("C:\\cs_e2e_assoc_over\\uninstall.exe", "Assoc Over E2E", "/silent");
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_FALSE(KeyExists("CsE2E.Mine"));
    EXPECT_EQ(Tree(".cse2eover"), before[0]);
    EXPECT_EQ(Tree(".cse2eadd"), before[1]);
    EXPECT_EQ(Tree("CsE2E.Other"), before[2]);

    for (const char* key : keys)
        DeleteKey(key);
    fs::remove_all(root);
}
