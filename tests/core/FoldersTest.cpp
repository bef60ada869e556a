#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::u16string Key(const String& s) {
    return std::u16string(s.View());
}

// Sources that answer only what a test put in; everything else fails the step.
class FakeSources : public FolderSources {
  public:
    std::map<int, String> csidl;
    std::map<std::u16string, String> known;          // by FormatGuid
    std::map<std::u16string, RegistryText> registry; // "M|key|name" or "U|key|name"
    std::map<std::u16string, String8> ansi;
    std::map<std::u16string, String> environment;
    String windows = u"C:\\WINDOWS";
    String system;
    String tempPath;
    String userName = u"alice";
    std::set<std::u16string> folders;
    bool nt = true;
    bool is64 = false;
    bool process64 = false;
    std::set<std::u16string> views32; // "M|key|name" entries that only the 32-bit view has
    int tempPathCalls = 0;

    static std::u16string RegKey(RegistryRoot root, const String& key, const String& name) {
        return (root == RegistryRoot::LocalMachine ? u"M|" : u"U|") + Key(key) + u"|" + Key(name);
    }
    void SetRegistry(RegistryRoot root, const char16_t* key, const char16_t* name, const String& text,
                     bool expandable = false) {
        RegistryText value;
        value.found = true;
        value.expandable = expandable;
        value.text = text;
        registry[RegKey(root, key, name)] = value;
    }

    String SpecialFolder(int id) override {
        auto it = csidl.find(id);
        return it == csidl.end() ? String() : it->second;
    }
    String KnownFolder(const FolderGuid& id) override {
        auto it = known.find(Key(FormatGuid(id)));
        return it == known.end() ? String() : it->second;
    }
    RegistryText ReadRegistry(RegistryRoot root, const String& key, const String& name,
                              RegistryView view) override {
        std::u16string k = RegKey(root, key, name);
        if (views32.count(k) && view != RegistryView::Bits32 &&
            !(view == RegistryView::Default && !process64))
            return {};
        auto it = registry.find(k);
        return it == registry.end() ? RegistryText() : it->second;
    }
    String8 ReadRegistryAnsi(RegistryRoot root, const String& key, const String& name) override {
        auto it = ansi.find(RegKey(root, key, name));
        return it == ansi.end() ? String8() : it->second;
    }
    String Environment(const String& name) override {
        auto it = environment.find(Key(name));
        return it == environment.end() ? String() : it->second;
    }
    // Expands %Name% references from the fake environment; unknown ones stay as written.
    String ExpandEnvironment(const String& text) override {
        std::u16string in(text.View()), out;
        size_t i = 0;
        while (i < in.size()) {
            size_t end = in[i] == u'%' ? in.find(u'%', i + 1) : std::u16string::npos;
            if (end != std::u16string::npos) {
                auto it = environment.find(in.substr(i + 1, end - i - 1));
                if (it != environment.end()) {
                    out += Key(it->second);
                    i = end + 1;
                    continue;
                }
            }
            out += in[i++];
        }
        return String(out.c_str());
    }
    String WindowsDirectory() override { return windows; }
    String SystemDirectory() override { return system; }
    String TempPath() override {
        ++tempPathCalls;
        return tempPath;
    }
    String UserName() override { return userName; }
    bool FolderExists(const String& path) override { return folders.count(Key(path)) != 0; }
    bool IsNtPlatform() override { return nt; }
    bool Is64BitWindows() override { return is64; }
    bool Is64BitProcess() override { return process64; }
};

constexpr const char16_t* kShellFolders =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char16_t* kCurrentVersion = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr auto kMachine = RegistryRoot::LocalMachine;
constexpr auto kUser = RegistryRoot::CurrentUser;

// One source of a chain, set to a value of its own.
struct Step {
    enum Kind { Csidl, Known, ShellMachine, ShellUser, CurrentVersion, Env, SystemDir } kind;
    int csidl = 0;
    const FolderGuid* guid = nullptr;
    const char16_t* name = nullptr;

    void Apply(FakeSources& s, const String& value) const {
        switch (kind) {
        case Csidl:
            s.csidl[csidl] = value;
            break;
        case Known:
            s.known[Key(FormatGuid(*guid))] = value;
            break;
        case ShellMachine:
            s.SetRegistry(kMachine, kShellFolders, name, value);
            break;
        case ShellUser:
            s.SetRegistry(kUser, kShellFolders, name, value);
            break;
        case CurrentVersion:
            s.SetRegistry(kMachine, kCurrentVersion, name, value);
            break;
        case Env:
            s.environment[name] = value;
            break;
        case SystemDir:
            s.system = value;
            break;
        }
    }
};
Step Csidl(int n) {
    return {Step::Csidl, n};
}
Step Known(const FolderGuid& g) {
    return {Step::Known, 0, &g};
}
Step ShellM(const char16_t* n) {
    return {Step::ShellMachine, 0, nullptr, n};
}
Step ShellU(const char16_t* n) {
    return {Step::ShellUser, 0, nullptr, n};
}
Step CurVer(const char16_t* n) {
    return {Step::CurrentVersion, 0, nullptr, n};
}
Step Env(const char16_t* n) {
    return {Step::Env, 0, nullptr, n};
}
Step SysDir() {
    return {Step::SystemDir};
}

struct ChainCase {
    FolderId id;
    bool is64;
    std::vector<Step> steps;
    const char16_t* fallback; // with no source answering, Windows folder "C:\WINDOWS"
};

const std::vector<ChainCase>& ChainCases() {
    static const std::vector<ChainCase> cases = {
        {FolderId::ProgramFiles,
         false,
         {Csidl(38), Known(kKnownFolderProgramFiles), CurVer(u"ProgramFilesDir")},
         u"c:\\Program Files"},
        {FolderId::ProgramFiles64,
         true,
         {Known(kKnownFolderProgramFilesX64), Env(u"ProgramW6432"), Csidl(38)},
         u"c:\\Program Files"},
        {FolderId::CommonFiles,
         false,
         {Csidl(43), Known(kKnownFolderCommonFiles), CurVer(u"CommonFilesDir")},
         u"c:\\Program Files\\Common Files"},
        {FolderId::CommonFiles64,
         true,
         {Known(kKnownFolderCommonFilesX64), Env(u"CommonProgramW6432"), Csidl(43)},
         u"c:\\Program Files\\Common Files"},
        {FolderId::CommonAppData,
         false,
         {Csidl(35), ShellM(u"Common AppData"), Csidl(43)},
         u"c:\\Program Files\\Common Files"},
        {FolderId::AppData,
         false,
         {Csidl(26), ShellU(u"AppData"), Csidl(43)},
         u"c:\\Program Files\\Common Files"},
        {FolderId::CommonDesktop,
         false,
         {Csidl(25), ShellM(u"Common Desktop"), Csidl(16), ShellU(u"Desktop")},
         u"C:\\WINDOWS\\Desktop"},
        {FolderId::Desktop, false, {Csidl(16), ShellU(u"Desktop")}, u"C:\\WINDOWS\\Desktop"},
        {FolderId::CommonDocuments,
         false,
         {Csidl(46), ShellM(u"Common Documents"), Csidl(5), ShellU(u"Personal")},
         u"c:\\My Documents"},
        {FolderId::Documents, false, {Csidl(5), ShellU(u"Personal")}, u"c:\\My Documents"},
        {FolderId::CommonFavorites,
         false,
         {Csidl(31), ShellM(u"Common Favorites"), Csidl(6), ShellU(u"Favorites")},
         u"C:\\WINDOWS\\Favorites"},
        {FolderId::Favorites, false, {Csidl(6), ShellU(u"Favorites")}, u"C:\\WINDOWS\\Favorites"},
        {FolderId::Fonts, false, {Csidl(20), ShellU(u"Fonts")}, u"C:\\WINDOWS\\Fonts"},
        {FolderId::CommonStartMenu,
         false,
         {Csidl(22), ShellM(u"Common Start Menu"), Csidl(11)},
         u"C:\\WINDOWS\\Start Menu"},
        {FolderId::StartMenu, false, {Csidl(11), ShellU(u"Start Menu")}, u"C:\\WINDOWS\\Start Menu"},
        {FolderId::CommonPrograms,
         false,
         {Csidl(23), ShellM(u"Common Programs"), Csidl(2)},
         u"C:\\WINDOWS\\Start Menu\\Programs"},
        {FolderId::Programs, false, {Csidl(2), ShellU(u"Programs")}, u"C:\\WINDOWS\\Start Menu\\Programs"},
        {FolderId::CommonStartup,
         false,
         {Csidl(24), ShellM(u"Common Startup"), Csidl(7)},
         u"C:\\WINDOWS\\Start Menu\\Programs\\StartUp"},
        {FolderId::Startup,
         false,
         {Csidl(7), ShellU(u"Startup")},
         u"C:\\WINDOWS\\Start Menu\\Programs\\StartUp"},
        {FolderId::System, false, {SysDir()}, u"C:\\WINDOWS\\System32"},
        {FolderId::System32, false, {Csidl(41), SysDir()}, u"C:\\WINDOWS\\System32"},
        {FolderId::Profile, false, {Csidl(40)}, u"C:\\WINDOWS\\Profiles\\alice"},
        {FolderId::Media, false, {CurVer(u"MediaPath")}, u"C:\\WINDOWS\\Media"},
    };
    return cases;
}

} // namespace

TEST(FolderChains, EachSourceInOrderThenTheFixedFallback) {
    for (const ChainCase& c : ChainCases()) {
        SCOPED_TRACE(ToUtf8(FolderIdName(c.id)).c_str());
        // Every source answers, each with its own value; then they fail one by one from the front.
        for (size_t failing = 0; failing <= c.steps.size(); ++failing) {
            FakeSources sources;
            sources.is64 = c.is64;
            for (size_t i = failing; i < c.steps.size(); ++i)
                c.steps[i].Apply(sources, Format(u"D:\\Step%d\\", static_cast<int>(i)));
            FolderResolver resolver(sources);
            String expected = failing < c.steps.size() ? Format(u"D:\\Step%d", static_cast<int>(failing))
                                                       : String(c.fallback);
            EXPECT_EQ(resolver.Resolve(c.id), expected) << "with the first " << failing << " sources failing";
        }
    }
}

TEST(FolderChains, WithoutAWindowsFolderTheFallbacksAreRelative) {
    FakeSources sources;
    sources.windows = u"";
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.Resolve(FolderId::Desktop), u"Desktop");
    EXPECT_EQ(resolver.Resolve(FolderId::DriverSearchPath), u"INF");
    EXPECT_EQ(resolver.Resolve(FolderId::Media), u"Media");
    EXPECT_EQ(resolver.Resolve(FolderId::Fonts), u"Fonts");
    EXPECT_EQ(resolver.Resolve(FolderId::ProgramFiles), u"c:\\Program Files") << "fixed, not Windows-based";
}

TEST(FolderChains, SystemFolderOfThe9xFamily) {
    FakeSources sources;
    sources.nt = false;
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.Resolve(FolderId::System), u"C:\\WINDOWS\\System");
    EXPECT_EQ(resolver.Resolve(FolderId::System32), u"C:\\WINDOWS\\System");
}

TEST(FolderChains, SixtyFourBitViews) {
    FakeSources sources;
    sources.is64 = true;
    sources.csidl[38] = u"C:\\Program Files (x86)";
    sources.csidl[43] = u"C:\\Program Files (x86)\\Common Files";
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.ProgramFiles(FolderView::Bits64), u"C:\\Program Files");
    EXPECT_EQ(resolver.CommonFiles(FolderView::Bits64), u"C:\\Program Files\\Common Files");
    EXPECT_EQ(resolver.ProgramFiles(), u"C:\\Program Files (x86)");

    sources.csidl[38] = u"D:\\Apps (X86) (x86)\\";
    EXPECT_EQ(resolver.ProgramFiles(FolderView::Bits64), u"D:\\Apps (x86)") << "only the first one goes";

    // On 32-bit Windows the 64-bit view is the default one, whatever the environment says.
    sources.is64 = false;
    sources.environment[u"ProgramW6432"] = u"E:\\Elsewhere";
    sources.csidl[38] = u"C:\\Program Files";
    EXPECT_EQ(resolver.ProgramFiles(FolderView::Bits64), u"C:\\Program Files");
}

// The 64-bit engine must find the folders the 32-bit engine finds through the system's
// 32-bit layer: the x86 program folders, by their own lookups, source by source.
TEST(FolderChains, SixtyFourBitEngineAsksForTheX86Folders) {
    FakeSources full;
    full.is64 = true;
    full.process64 = true;
    // What a 64-bit program sees on 64-bit Windows without asking for x86.
    full.csidl[38] = u"C:\\Program Files";
    full.csidl[43] = u"C:\\Program Files\\Common Files";
    full.known[Key(FormatGuid(kKnownFolderProgramFiles))] = u"C:\\Program Files";
    full.csidl[42] = u"C:\\PF-csidl (x86)";
    full.csidl[44] = u"C:\\CF-csidl (x86)";
    full.known[Key(FormatGuid(kKnownFolderProgramFilesX86))] = u"C:\\PF-known (x86)";
    full.known[Key(FormatGuid(kKnownFolderCommonFilesX86))] = u"C:\\CF-known (x86)";
    // The 32-bit view of CurrentVersion names the x86 folders under the plain value names.
    full.SetRegistry(kMachine, kCurrentVersion, u"ProgramFilesDir", u"C:\\PF-registry (x86)");
    full.SetRegistry(kMachine, kCurrentVersion, u"CommonFilesDir", u"C:\\CF-registry (x86)");
    full.views32.insert(FakeSources::RegKey(kMachine, kCurrentVersion, u"ProgramFilesDir"));
    full.views32.insert(FakeSources::RegKey(kMachine, kCurrentVersion, u"CommonFilesDir"));

    FakeSources s = full;
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"C:\\PF-csidl (x86)");
    EXPECT_EQ(FolderResolver(s).CommonFiles(), u"C:\\CF-csidl (x86)");
    s.csidl.erase(42);
    s.csidl.erase(44);
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"C:\\PF-known (x86)");
    EXPECT_EQ(FolderResolver(s).CommonFiles(), u"C:\\CF-known (x86)");
    s.known.clear();
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"C:\\PF-registry (x86)");
    EXPECT_EQ(FolderResolver(s).CommonFiles(), u"C:\\CF-registry (x86)");
    s.registry.clear();
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"c:\\Program Files (x86)");
    EXPECT_EQ(FolderResolver(s).CommonFiles(), u"c:\\Program Files (x86)\\Common Files");

    // The 64-bit views stay what they are.
    s = full;
    s.environment[u"ProgramW6432"] = u"C:\\Program Files";
    EXPECT_EQ(FolderResolver(s).ProgramFiles(FolderView::Bits64), u"C:\\Program Files");
    s.environment.clear();
    EXPECT_EQ(FolderResolver(s).ProgramFiles(FolderView::Bits64), u"C:\\PF-csidl") << "the x86 folder, cut";

    // The 32-bit engine keeps its own chain, and the registry's default view there is the
    // 32-bit one.
    s = full;
    s.process64 = false;
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"C:\\Program Files");
    s.csidl.erase(38);
    s.known.clear();
    EXPECT_EQ(FolderResolver(s).ProgramFiles(), u"C:\\PF-registry (x86)");
}

TEST(FolderChains, DriveRootKeepsItsBackslash) {
    struct {
        const char16_t* value;
        const char16_t* expected;
    } const cases[] = {
        {u"D:\\", u"D:\\"},
        {u"D:\\Docs\\", u"D:\\Docs"},
        {u"D:\\Docs\\\\", u"D:\\Docs"},
        {u"D:\\Docs", u"D:\\Docs"},
        {u"D:", u"D:"},
        {u"\\\\server\\share\\", u"\\\\server\\share"},
    };
    for (const auto& c : cases) {
        FakeSources sources;
        sources.SetRegistry(kUser, kShellFolders, u"Personal", c.value);
        FolderResolver resolver(sources);
        EXPECT_EQ(resolver.Resolve(FolderId::Documents), String(c.expected));
        sources.csidl[5] = c.value;
        EXPECT_EQ(resolver.Resolve(FolderId::Documents), String(c.expected)) << "from the shell too";
    }
}

TEST(FolderChains, StartMenuFromCommonStartup) {
    FakeSources sources;
    sources.SetRegistry(kMachine, kShellFolders, u"Common Startup",
                        u"C:\\ProgramData\\Start Menu\\Programs\\StartUp\\");
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.Resolve(FolderId::CommonStartMenu), u"C:\\ProgramData\\Start Menu");
    EXPECT_EQ(resolver.Resolve(FolderId::CommonPrograms), u"C:\\ProgramData\\Start Menu\\Programs");
    EXPECT_EQ(resolver.Resolve(FolderId::CommonStartup), u"C:\\ProgramData\\Start Menu\\Programs\\StartUp");

    // Too short to lose two components: the chain goes on to the user's Start menu.
    sources.SetRegistry(kMachine, kShellFolders, u"Common Startup", u"C:\\StartUp");
    EXPECT_EQ(resolver.Resolve(FolderId::CommonStartMenu), u"C:\\WINDOWS\\Start Menu");
    EXPECT_EQ(resolver.Resolve(FolderId::CommonPrograms), u"C:\\");
}

TEST(FolderChains, DevicePath) {
    struct {
        const char16_t* value;
        const char16_t* systemRoot;
        const char16_t* expected;
    } const cases[] = {
        {u"%SystemRoot%\\inf;C:\\Drivers;D:\\More", u"C:\\Windows", u"C:\\Windows\\inf"},
        {u"%systemroot%\\INF", u"C:\\Windows", u"C:\\Windows\\INF"},
        {u"C:\\Drivers\\;%SystemRoot%\\inf", u"C:\\Windows", u"C:\\Drivers"},
        {u"%SystemRoot%\\inf", nullptr, u"C:\\WINDOWS\\inf"},
        {u"%SystemRoot%\\a\\%SystemRoot%", u"E:\\W", u"E:\\W\\a\\%SystemRoot%"},
        {u";C:\\Drivers", u"C:\\Windows", u"C:\\WINDOWS\\INF"},
        {u"", u"C:\\Windows", u"C:\\WINDOWS\\INF"},
    };
    for (const auto& c : cases) {
        FakeSources sources;
        sources.SetRegistry(kMachine, kCurrentVersion, u"DevicePath", c.value, true);
        if (c.systemRoot) sources.environment[u"SystemRoot"] = c.systemRoot;
        FolderResolver resolver(sources);
        EXPECT_EQ(resolver.Resolve(FolderId::DriverSearchPath), String(c.expected))
            << ToUtf8(c.value).c_str();
    }
}

TEST(FolderChains, BootDriveLetter) {
    struct {
        const char16_t* value;
        char16_t letter;
    } const cases[] = {
        {u"e:\\", u'E'}, {u"D:", u'D'},   {u"z:\\boot", u'Z'}, {u"", u'C'},
        {u"e", u'C'},    {u"1:\\", u'C'}, {u"ee:\\", u'C'},    {u":\\", u'C'},
    };
    for (const auto& c : cases) {
        FakeSources sources;
        sources.SetRegistry(kMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Setup", u"BootDir",
                            c.value);
        EXPECT_EQ(FolderResolver(sources).BootDriveLetter(), c.letter) << ToUtf8(c.value).c_str();
    }
    FakeSources missing;
    EXPECT_EQ(FolderResolver(missing).BootDriveLetter(), u'C');
    FakeSources tooLong;
    tooLong.SetRegistry(kMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Setup", u"BootDir",
                        String(u"e:\\") + String(std::u16string(62, u'x').c_str()));
    EXPECT_EQ(FolderResolver(tooLong).BootDriveLetter(), u'C') << "a value over 64 characters is not read";
}

TEST(FolderChains, RegistryReadLimitsAndExpansion) {
    FakeSources sources;
    FolderResolver resolver(sources);
    String atLimit = String(u"D:\\") + String(std::u16string(kRegistryTextMaxChars - 3, u'a').c_str());
    sources.SetRegistry(kUser, kShellFolders, u"Favorites", atLimit);
    EXPECT_EQ(resolver.Resolve(FolderId::Favorites), atLimit);
    sources.SetRegistry(kUser, kShellFolders, u"Favorites", atLimit + u"b");
    EXPECT_EQ(resolver.Resolve(FolderId::Favorites), u"C:\\WINDOWS\\Favorites")
        << "too long counts as missing";

    sources.environment[u"USERPROFILE"] = u"C:\\Users\\alice";
    sources.SetRegistry(kUser, kShellFolders, u"Favorites", u"%USERPROFILE%\\Favorites\\", true);
    EXPECT_EQ(resolver.Resolve(FolderId::Favorites), u"C:\\Users\\alice\\Favorites");
    sources.SetRegistry(kUser, kShellFolders, u"Favorites", u"%USERPROFILE%\\Favorites", false);
    EXPECT_EQ(resolver.Resolve(FolderId::Favorites), u"%USERPROFILE%\\Favorites")
        << "plain text stays as written";
}

TEST(FolderChains, TemporaryFolderOncePerResolver) {
    FakeSources sources;
    sources.tempPath = u"C:\\Users\\alice\\Temp\\";
    sources.folders.insert(u"C:\\Users\\alice\\Temp");
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.Resolve(FolderId::Temp), u"C:\\Users\\alice\\Temp");
    sources.tempPath = u"C:\\Other\\";
    EXPECT_EQ(resolver.Temp(), u"C:\\Users\\alice\\Temp");
    EXPECT_EQ(sources.tempPathCalls, 1);

    FakeSources gone;
    gone.tempPath = u"C:\\Missing\\";
    EXPECT_EQ(FolderResolver(gone).Temp(), u"C:\\WINDOWS\\temp");
    FakeSources none;
    EXPECT_EQ(FolderResolver(none).Temp(), u"C:\\WINDOWS\\temp");
}

TEST(FolderChains, WebRootAndServerFolder) {
    const std::u16string key = u"M|SOFTWARE\\Microsoft\\INetStp|PathWWWRoot";
    FakeSources sources;
    FolderResolver resolver(sources);
    EXPECT_EQ(resolver.Resolve(FolderId::WebRoot), u"c:\\Inetpub\\wwwroot");
    EXPECT_EQ(resolver.Resolve(FolderId::WebServer), u"c:\\Inetpub");

    sources.environment[u"SystemDrive"] = u"D:";
    sources.ansi[key] = String8("%SystemDrive%\\inetpub\\caf\xE9\\wwwroot\\");
    EXPECT_EQ(resolver.Resolve(FolderId::WebRoot), u"D:\\inetpub\\caf\u00E9\\wwwroot");
    EXPECT_EQ(resolver.Resolve(FolderId::WebServer), u"D:\\inetpub\\caf\u00E9");

    sources.ansi[key] = String8((std::string("E:\\") + std::string(62, 'w')).c_str());
    EXPECT_EQ(resolver.Resolve(FolderId::WebRoot), u"c:\\Inetpub\\wwwroot") << "over 64 characters";
}

TEST(PathRules, FolderAndFileNameOfAPath) {
    struct {
        const char16_t* path;
        const char16_t* folder;
        const char16_t* name;
    } const cases[] = {
        {u"C:\\Apps\\setup.exe", u"C:\\Apps", u"setup.exe"},
        {u"Z:/tmp/setup.exe", u"Z:/tmp", u"setup.exe"},
        {u"C:\\a/b\\c.dll", u"C:\\a/b", u"c.dll"},
        {u"setup.exe", u"", u"setup.exe"},
        {u"C:\\Apps\\", u"C:\\Apps", u""},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder);
        EXPECT_EQ(FileNameOf(c.path), c.name);
    }
}

TEST(PathRules, JoinNormalizeAndRemoveComponents) {
    EXPECT_EQ(JoinPath(u"C:\\", u"Fonts"), u"C:\\Fonts");
    EXPECT_EQ(JoinPath(u"C:\\Windows", u"Fonts"), u"C:\\Windows\\Fonts");
    EXPECT_EQ(JoinPath(u"C:\\Windows\\", u"\\Fonts"), u"C:\\Windows\\Fonts");
    EXPECT_EQ(JoinPath(u"", u"Fonts"), u"Fonts");
    EXPECT_EQ(JoinPath(u"C:\\Windows", u""), u"C:\\Windows");

    EXPECT_EQ(NormalizeFolderPath(u"C:\\"), u"C:\\");
    EXPECT_EQ(NormalizeFolderPath(u"C:\\a\\"), u"C:\\a");
    EXPECT_EQ(NormalizeFolderPath(u"a\\"), u"a\\") << "three characters or fewer keep it";

    EXPECT_EQ(RemoveLastComponents(u"C:\\a\\b\\c", 1), u"C:\\a\\b");
    EXPECT_EQ(RemoveLastComponents(u"C:\\a\\b\\c\\", 2), u"C:\\a");
    EXPECT_EQ(RemoveLastComponents(u"C:\\a", 1), u"C:\\");
    EXPECT_EQ(RemoveLastComponents(u"C:\\a", 2), u"");
    EXPECT_EQ(RemoveLastComponents(u"C:\\", 1), u"");
    EXPECT_EQ(RemoveLastComponents(u"nothing", 1), u"");
}

TEST(PathRules, AbsoluteAndFullPaths) {
    struct Case {
        const char16_t* path;
        bool absolute, full;
    } cases[] = {
        {u"C:\\App", true, true},
        {u"c:", true, true},
        {u"\\\\server\\share", true, true},
        {u"\\App", true, false}, // from the current drive's root
        {u"1:\\App", true, false},
        {u"App\\a.exe", false, false},
        {u"[Strings]", false, false},
        {u"C", false, false},
        {u"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << ToUtf8(String(c.path)).c_str();
        EXPECT_EQ(IsFullPath(c.path), c.full) << ToUtf8(String(c.path)).c_str();
    }
}

TEST(PathRules, KnownFolderIdentifiers) {
    EXPECT_EQ(FormatGuid(kKnownFolderProgramFiles), u"{905E63B6-C1BF-494E-B29C-65B732D3D21A}");
    EXPECT_EQ(FormatGuid(kKnownFolderProgramFilesX64), u"{6D809377-6AF0-444B-8957-A3773F02200E}");
    EXPECT_EQ(FormatGuid(kKnownFolderCommonFiles), u"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}");
    EXPECT_EQ(FormatGuid(kKnownFolderCommonFilesX64), u"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}");
}

TEST(PathRules, EveryFolderHasAName) {
    std::set<std::u16string> names;
    for (int i = 0; i < static_cast<int>(FolderId::Count); ++i) {
        std::u16string name = FolderIdName(static_cast<FolderId>(i));
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name at " << i;
    }
}

// What a 32-bit program reaches when it names a path: the system folder's files live in the
// 32-bit system folder, apart from the folders both kinds of program share.
TEST(PathRules, RedirectedPathFollowsTheSystemFolderRedirection) {
    const String system = u"C:\\windows\\system32", system32 = u"C:\\windows\\syswow64";
    struct Case {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\windows\\system32\\X.dll", u"C:\\windows\\syswow64\\X.dll"},
        {u"C:\\WINDOWS\\SYSTEM32\\sub\\X.dll", u"C:\\windows\\syswow64\\sub\\X.dll"},
        {u"C:\\windows\\system32", u"C:\\windows\\syswow64"},
        {u"C:\\windows\\system32\\", u"C:\\windows\\syswow64\\"},
        {u"C:\\windows\\system32/cmd.exe", u"C:\\windows\\syswow64/cmd.exe"},
        {u"C:\\windows\\system32\\drivers\\X.sys", u"C:\\windows\\syswow64\\drivers\\X.sys"},
        // Shared by both kinds of program.
        {u"C:\\windows\\system32\\drivers\\etc\\hosts", u"C:\\windows\\system32\\drivers\\etc\\hosts"},
        {u"C:\\windows\\system32\\drivers\\etc", u"C:\\windows\\system32\\drivers\\etc"},
        {u"C:\\windows\\system32\\catroot\\a.cat", u"C:\\windows\\system32\\catroot\\a.cat"},
        {u"C:\\windows\\system32\\CatRoot2", u"C:\\windows\\system32\\CatRoot2"},
        {u"C:\\windows\\system32\\driverstore\\x", u"C:\\windows\\system32\\driverstore\\x"},
        {u"C:\\windows\\system32\\LogFiles\\x.log", u"C:\\windows\\system32\\LogFiles\\x.log"},
        {u"C:\\windows\\system32\\spool/drivers", u"C:\\windows\\system32\\spool/drivers"},
        // Names that only begin like a shared folder are redirected.
        {u"C:\\windows\\system32\\catroot3\\x", u"C:\\windows\\syswow64\\catroot3\\x"},
        {u"C:\\windows\\system32\\spooler.dll", u"C:\\windows\\syswow64\\spooler.dll"},
        // Elsewhere: unchanged, also for a folder that only begins like the system folder.
        {u"C:\\windows\\system32x\\X.dll", u"C:\\windows\\system32x\\X.dll"},
        {u"C:\\windows\\X.dll", u"C:\\windows\\X.dll"},
        {u"D:\\windows\\system32\\X.dll", u"D:\\windows\\system32\\X.dll"},
        {u"C:\\windows\\syswow64\\X.dll", u"C:\\windows\\syswow64\\X.dll"},
        {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RedirectedPath(c.path, system, system32), String(c.expected))
            << ToUtf8(String(c.path)).c_str();
    // A trailing backslash on either folder changes nothing.
    EXPECT_EQ(RedirectedPath(u"C:\\windows\\system32\\X.dll", u"C:\\windows\\system32\\",
                             u"C:\\windows\\syswow64\\"),
              String(u"C:\\windows\\syswow64\\X.dll"));
    // Without both folders, or with a drive root for a system folder, nothing is redirected.
    EXPECT_EQ(RedirectedPath(u"C:\\windows\\system32\\X.dll", system, u""),
              String(u"C:\\windows\\system32\\X.dll"));
    EXPECT_EQ(RedirectedPath(u"C:\\windows\\system32\\X.dll", u"", system32),
              String(u"C:\\windows\\system32\\X.dll"));
    EXPECT_EQ(RedirectedPath(u"C:\\X.dll", u"C:\\", system32), String(u"C:\\X.dll"));
}
