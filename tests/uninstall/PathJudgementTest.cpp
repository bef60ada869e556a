#include "uninstall/PathJudgement.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>

using namespace cs;

namespace {

std::string Narrow(const String& s) {
    return std::string(ToUtf8(s).View());
}

// The file system's 8.3 names: the hashed short names Wine gives, and the classic ones.
class TableLongNames : public LongNames {
  public:
    String Expand(const String& canonical) override {
        static const std::map<std::u16string, std::u16string> kNames = {
            {u"C:\\USERS\\ANN\\DOCU~1", u"C:\\Users\\ann\\Documents"},
            {u"C:\\PROG~FBU", u"C:\\Program Files"},
            {u"C:\\PROGRA~1\\DEMO", u"C:\\Program Files\\Demo"},
            {u"C:\\WINDOWS\\SYSTEM~1", u"C:\\Windows\\system32"},
        };
        // The longest known prefix (case ignored) is replaced, as GetLongPathNameW does for
        // the longest existing part.
        std::u16string text(canonical.View()), upper;
        for (char16_t c : text)
            upper += (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
        for (const auto& [shortName, longName] : kNames)
            if (upper.rfind(shortName, 0) == 0 &&
                (upper.size() == shortName.size() || upper[shortName.size()] == u'\\'))
                return String((longName + text.substr(shortName.size())).c_str());
        return canonical;
    }
};

DeletionScope Scope() {
    DeletionScope scope;
    scope.installDir = u"C:\\Program Files\\Demo";
    scope.protectedFolders = {u"C:\\Windows",
                              u"C:\\Windows\\system32",
                              u"C:\\Program Files",
                              u"C:\\Program Files\\Common Files",
                              u"C:\\Users\\ann",
                              u"C:\\Users\\ann\\Documents",
                              u"C:\\Users\\ann\\Desktop",
                              u"C:\\Users\\ann\\AppData\\Roaming",
                              u"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
                              u"C:\\ProgramData"};
    scope.roots = {u"C:\\Program Files",
                   u"C:\\Program Files\\Common Files",
                   u"C:\\Users\\ann\\Documents",
                   u"C:\\Users\\ann\\Desktop",
                   u"C:\\Users\\ann\\AppData\\Roaming",
                   u"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
                   u"C:\\ProgramData"};
    return scope;
}

struct Case {
    const char16_t* path;
    DeletionObject object;
    bool allowed;
    const char16_t* acted; // the path acted on when allowed
};

void Check(const DeletionScope& scope, const Case* cases, size_t count) {
    TableLongNames names;
    for (size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        DeletionVerdict verdict = JudgeDeletion(c.path, c.object, scope, names);
        EXPECT_EQ(verdict.allowed, c.allowed)
            << Narrow(c.path) << ": " << (verdict.reason ? Narrow(verdict.reason) : "");
        if (c.allowed && verdict.allowed) {
            EXPECT_EQ(Narrow(verdict.path), Narrow(c.acted)) << Narrow(c.path);
        }
        if (!verdict.allowed) {
            EXPECT_NE(verdict.reason, nullptr) << Narrow(c.path);
        }
    }
}

constexpr DeletionObject kFile = DeletionObject::kFile, kFolder = DeletionObject::kFolder,
                         kTree = DeletionObject::kTree, kPattern = DeletionObject::kPattern;

TEST(PathJudgement, WholeTreesOnlyOfTheInstallationFolderWhateverTheSpelling) {
    const Case cases[] = {
        {u"C:\\Program Files\\Demo", kTree, true, u"C:\\Program Files\\Demo"},
        {u"\\\\?\\C:\\PROGRA~1\\Demo\\", kTree, true, u"C:\\Program Files\\Demo"},
        {u"C:\\Program Files\\Demo\\data", kTree, true, u"C:\\Program Files\\Demo\\data"},
        // The guard bypasses: namespace prefixes, short names, dots, slashes.
        {u"\\\\?\\C:\\Users\\ann\\Documents", kTree, false, nullptr},
        {u"\\\\.\\C:\\Users\\ann\\Documents", kTree, false, nullptr},
        {u"C:\\USERS\\ANN\\DOCU~1", kTree, false, nullptr},
        {u"C:\\Users\\ann\\DOCU~1\\", kTree, false, nullptr},
        {u"\\\\?\\C:\\", kTree, false, nullptr},
        {u"\\\\.\\C:", kTree, false, nullptr},
        {u"C:\\PROG~FBU", kTree, false, nullptr},
        {u"C:/Users/ann/Documents/", kTree, false, nullptr},
        {u"C:\\Users\\ann\\Documents.", kTree, false, nullptr},
        {u"C:\\Users\\ann\\x\\..\\Documents", kTree, false, nullptr},
        {u"C:\\Users\\ann\\Documents::$INDEX_ALLOCATION", kTree, false, nullptr},
        {u"C:\\Users", kTree, false, nullptr},
        {u"\\\\?\\UNC\\server\\share", kTree, false, nullptr},
        {u"C:\\Other\\Tree", kTree, false, nullptr},
        {u"Demo", kTree, false, nullptr},
    };
    Check(Scope(), cases, std::size(cases));
}

TEST(PathJudgement, RecordedFilesAndFoldersInsideOrExactBelowARoot) {
    const Case cases[] = {
        {u"C:\\Program Files\\Demo\\app.exe", kFile, true, u"C:\\Program Files\\Demo\\app.exe"},
        {u"C:\\PROGRA~1\\DEMO\\bin\\app.exe", kFile, true, u"C:\\Program Files\\Demo\\bin\\app.exe"},
        {u"C:\\Program Files\\Demo\\bin", kFolder, true, u"C:\\Program Files\\Demo\\bin"},
        {u"C:\\Users\\ann\\Desktop\\Demo.lnk", kFile, true, u"C:\\Users\\ann\\Desktop\\Demo.lnk"},
        {u"C:\\Users\\ann\\Documents\\Sub\\y.txt", kFile, true, u"C:\\Users\\ann\\Documents\\Sub\\y.txt"},
        {u"C:\\Users\\ann\\Documents\\Sub", kFolder, true, u"C:\\Users\\ann\\Documents\\Sub"},
        {u"C:\\ProgramData\\Demo\\cfg.ini", kFile, true, u"C:\\ProgramData\\Demo\\cfg.ini"},
        // Tampered records: the system's files, relative lines, protected folders, elsewhere.
        {u"C:\\Windows\\win.ini", kFile, false, nullptr},
        {u"C:\\windows\\system32\\kernel32.dll", kFile, false, nullptr},
        {u"C:\\WINDOWS\\SYSTEM~1\\kernel32.dll", kFile, false, nullptr},
        {u"\\\\?\\C:\\Windows\\win.ini", kFile, false, nullptr},
        {u"system32\\kernel32.dll", kFile, false, nullptr},
        {u"garbage line", kFile, false, nullptr},
        {u"..\\..\\x", kFile, false, nullptr},
        {u"\\boot.ini", kFile, false, nullptr},
        {u"C:\\Program Files\\Demo\\..\\..\\Windows\\win.ini", kFile, false, nullptr},
        {u"C:\\Users\\ann\\Desktop", kFolder, false, nullptr},
        {u"C:\\Users\\ann\\Documents", kFolder, false, nullptr},
        {u"C:\\Users\\ann\\DOCU~1", kFolder, false, nullptr},
        {u"C:\\Users\\ann\\Documents\\*.txt", kFile, false, nullptr},
        {u"C:\\Other\\file.txt", kFile, false, nullptr},
        {u"C:\\Program Files\\Demo\\*\\x.txt", kFile, false, nullptr},
    };
    Check(Scope(), cases, std::size(cases));
}

TEST(PathJudgement, PatternsWithWildcardsOnlyInsideTheInstallationFolder) {
    const Case cases[] = {
        {u"C:\\Program Files\\Demo\\*.log", kPattern, true, u"C:\\Program Files\\Demo\\*.log"},
        {u"C:\\Program Files\\Demo\\old.dat", kPattern, true, u"C:\\Program Files\\Demo\\old.dat"},
        {u"C:\\Users\\ann\\Documents\\Demo\\old.txt", kPattern, true,
         u"C:\\Users\\ann\\Documents\\Demo\\old.txt"},
        {u"C:\\Users\\ann\\Documents\\*.txt", kPattern, false, nullptr},
        {u"C:\\Users\\ann\\Documents\\Demo\\*.txt", kPattern, false, nullptr},
        {u"C:\\Program Files\\Demo\\..\\..\\Users\\ann\\Documents\\*.txt", kPattern, false, nullptr},
        {u"C:\\Program Files\\Demo\\*\\*.txt", kPattern, false, nullptr},
        {u"C:\\*", kPattern, false, nullptr},
    };
    Check(Scope(), cases, std::size(cases));
}

// A tampered "InstallLocation" that names a protected folder holds nothing of the product's:
// not its tree, not a pattern in it.
TEST(PathJudgement, AProtectedInstallationFolderHoldsNothing) {
    for (const char16_t* location : {u"C:\\Users\\ann\\Documents", u"C:\\", u"C:\\Users"}) {
        DeletionScope scope = Scope();
        scope.installDir = location;
        const Case cases[] = {
            {u"C:\\Users\\ann\\Documents", kTree, false, nullptr},
            {u"C:\\Users\\ann\\Documents\\*.txt", kPattern, false, nullptr},
            {u"C:\\Users\\ann\\Documents\\Letters", kTree, false, nullptr},
            {u"C:\\Users\\ann\\Documents\\Letters\\*", kPattern, false, nullptr},
        };
        Check(scope, cases, std::size(cases));
    }
}

TEST(PathJudgement, ProtectedPaths) {
    DeletionScope scope = Scope();
    EXPECT_TRUE(IsProtectedPath(u"C:\\", scope.protectedFolders));
    EXPECT_TRUE(IsProtectedPath(u"\\\\server\\share", scope.protectedFolders));
    EXPECT_TRUE(IsProtectedPath(u"C:\\Users", scope.protectedFolders)) << "holds a profile";
    EXPECT_TRUE(IsProtectedPath(u"c:\\users\\ANN\\documents", scope.protectedFolders));
    EXPECT_FALSE(IsProtectedPath(u"C:\\Users\\ann\\Documents\\Sub", scope.protectedFolders));
    EXPECT_FALSE(IsProtectedPath(u"C:\\Users\\bob", scope.protectedFolders));
    EXPECT_TRUE(IsProtectedPath(u"", scope.protectedFolders));
}

TEST(PathJudgement, RefusalLine) {
    TableLongNames names;
    DeletionVerdict verdict = JudgeDeletion(u"C:\\Windows\\win.ini", kFile, Scope(), names);
    EXPECT_EQ(
        Narrow(RefusalText(u"C:\\Windows\\win.ini", verdict)),
        "Refused to delete \"C:\\Windows\\win.ini\": outside the installation folder and the folders an "
        "installation uses.\r\n");
}

std::string Joined(const Array<String>& folders) {
    std::string text;
    for (const String& f : folders)
        text += Narrow(f) + "|";
    return text;
}

// Folder removal: inside the installation folder the parents up to it; outside only the
// recorded folders, never a protected one (the Desktop and Documents of an installation that
// put files there), and below the Start menu's Programs folder every level up to it.
TEST(PathJudgement, FoldersToRemoveStopAtProtectedAndUnrecordedFolders) {
    DeletionScope scope = Scope();
    TableLongNames names;
    const String install = u"C:\\Program Files\\Demo";
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Program Files\\Demo\\a\\b", install, {}, scope, names, 50)),
              "C:\\Program Files\\Demo\\a\\b|C:\\Program Files\\Demo\\a|");
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Users\\ann\\Desktop", install, {}, scope, names, 50)), "");
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Users\\ann\\Documents\\Sub", install, {}, scope, names, 50)),
              "C:\\Users\\ann\\Documents\\Sub|");
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Users\\ann\\DOCU~1\\Sub", install, {}, scope, names, 50)),
              "C:\\Users\\ann\\Documents\\Sub|");
    // A parent the installation did not record is the user's.
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Users\\ann\\Documents\\Mine\\Sub", install, {}, scope, names, 50)),
              "C:\\Users\\ann\\Documents\\Mine\\Sub|");
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Users\\ann\\Documents\\Mine\\Sub", install,
                                     {u"C:\\Users\\ann\\Documents\\Mine"}, scope, names, 50)),
              "C:\\Users\\ann\\Documents\\Mine\\Sub|C:\\Users\\ann\\Documents\\Mine|");
    const String programs = u"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    EXPECT_EQ(Joined(FoldersToRemove(programs + u"\\Company\\Demo", programs, {}, scope, names, 20)),
              Narrow(programs) + "\\Company\\Demo|" + Narrow(programs) + "\\Company|");
    EXPECT_EQ(Joined(FoldersToRemove(u"C:\\Windows\\Temp\\x", programs, {}, scope, names, 20)), "");
    EXPECT_EQ(Joined(FoldersToRemove(u"relative\\x", install, {}, scope, names, 20)), "");
    EXPECT_EQ(FoldersToRemove(u"C:\\Program Files\\Demo\\a\\b\\c", install, {}, scope, names, 2).Count(), 2);
}

TEST(PathJudgement, RegistryRecords) {
    struct RegCase {
        UninstallKind kind;
        const char16_t* path;
        bool allowed;
    } cases[] = {
        {UninstallKind::kRegistryKey64,
         u"\\HKLM\\Software\\Classes\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", true},
        {UninstallKind::kRegistryKey64,
         u"\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\"
         u"{01234567-89AB-CDEF-0123-456789ABCDEF}",
         true},
        {UninstallKind::kRegistryKey, u"HKEY_CURRENT_USER\\Software\\Corvantis\\Demo\\Settings", true},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Corvantis\\Demo\\Settings", true},
        {UninstallKind::kRegistryKey, u"\\HKAU\\Software\\Corvantis\\Demo\\Settings", true},
        {UninstallKind::kRegistryValue, u"HKCU\\Software\\Corvantis\\Demo\\Greeting", true},
        // Hive levels, keys of the system's, keys the product never made.
        {UninstallKind::kRegistryKey, u"HKEY_CURRENT_USER\\Software", false},
        {UninstallKind::kRegistryKey, u"HKEY_CURRENT_USER", false},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Microsoft", false},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Microsoft\\Windows", false},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Corvantis\\Demo", false},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Corvantis\\Demo\\..\\..\\Microsoft", false},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Classes\\CLSID", false},
        {UninstallKind::kRegistryKey64, u"\\HKLM\\Software\\Classes\\CLSID\\NotAGuid", false},
        {UninstallKind::kRegistryKey64,
         u"\\HKLM\\Software\\Classes\\CLSID\\01234567-89AB-CDEF-0123-456789ABCDEF", true},
        {UninstallKind::kRegistryKey64,
         u"\\HKLM\\Software\\Classes\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDE}", false},
        {UninstallKind::kRegistryKey64,
         u"\\HKLM\\Software\\Classes\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}\\Shell", false},
        {UninstallKind::kRegistryKey,
         u"HKCU\\Software\\Classes\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", false},
        {UninstallKind::kRegistryKey, u"HKEY_USERS\\S-1-5-21-1\\Software", false},
        {UninstallKind::kRegistryKey, u"HKEY_USERS\\S-1-5-21-1\\Software\\Corvantis", false},
        {UninstallKind::kRegistryKey, u"HKEY_USERS\\S-1-5-21-1\\Software\\Corvantis\\Demo\\Settings", true},
        {UninstallKind::kRegistryKey, u"HKCR\\txtfile\\shell\\open", false},
        {UninstallKind::kRegistryValue, u"HKCU\\Environment\\Path", false},
        {UninstallKind::kRegistryValue, u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\x",
         false},
    };
    for (const RegCase& c : cases) {
        RegistryKeyPath key;
        String path = c.path;
        if (c.kind == UninstallKind::kRegistryValue) {
            size_t cut = path.View().find_last_of(u'\\');
            path = path.Sub(0, cut);
        }
        ASSERT_TRUE(ParseRegistryKeyPath(path, key)) << Narrow(c.path);
        EXPECT_EQ(RegistryRecordRefusal(c.kind, key, u"Corvantis\\Demo") == nullptr, c.allowed)
            << Narrow(c.path);
    }
    RegistryKeyPath key;
    ASSERT_TRUE(ParseRegistryKeyPath(u"HKLM\\Software\\Corvantis\\Demo\\Settings", key));
    EXPECT_NE(RegistryRecordRefusal(UninstallKind::kRegistryKey, key, u""), nullptr)
        << "no product key recorded";
}

} // namespace
