// The special-folder chains: each folder is tried source by source and the first non-empty
// path wins; every chain ends in a fixed fallback.
#include "core/Folders.h"

#include "core/Format.h"
#include "core/Text.h"

namespace cs {

const FolderGuid kKnownFolderProgramFiles = {
    0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
const FolderGuid kKnownFolderProgramFilesX64 = {
    0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}};
const FolderGuid kKnownFolderCommonFiles = {
    0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};
const FolderGuid kKnownFolderCommonFilesX64 = {
    0x6365D5A7, 0x0F0D, 0x45E5, {0x87, 0xF6, 0x0D, 0xA5, 0x6B, 0x6A, 0x4F, 0x7D}};
const FolderGuid kKnownFolderProgramFilesX86 = {
    0x7C5A40EF, 0xA0FB, 0x4BFC, {0x87, 0x4A, 0xC0, 0xF2, 0xE0, 0xB9, 0xFA, 0x8E}};
const FolderGuid kKnownFolderCommonFilesX86 = {
    0xDE974D24, 0xD9C6, 0x4D3E, {0xBF, 0x91, 0xF4, 0x45, 0x51, 0x20, 0xB9, 0x17}};
const FolderGuid kKnownFolderDownloads = {
    0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};

namespace {

constexpr const char16_t* kShellFoldersKey =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char16_t* kCurrentVersionKey = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char16_t* kSetupKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char16_t* kInetStpKey = u"SOFTWARE\\Microsoft\\INetStp";

// CSIDL numbers of the shell's special-folder lookup.
enum Csidl {
    kCsidlPrograms = 2,
    kCsidlPersonal = 5,
    kCsidlFavorites = 6,
    kCsidlStartup = 7,
    kCsidlStartMenu = 11,
    kCsidlDesktopDirectory = 16,
    kCsidlFonts = 20,
    kCsidlCommonStartMenu = 22,
    kCsidlCommonPrograms = 23,
    kCsidlCommonStartup = 24,
    kCsidlCommonDesktopDirectory = 25,
    kCsidlAppData = 26,
    kCsidlCommonFavorites = 31,
    kCsidlCommonAppData = 35,
    kCsidlProgramFiles = 38,
    kCsidlProfile = 40,
    kCsidlSystemX86 = 41,
    kCsidlProgramFilesX86 = 42,
    kCsidlProgramFilesCommon = 43,
    kCsidlProgramFilesCommonX86 = 44,
    kCsidlCommonDocuments = 46,
};

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The first non-empty of the candidates, each produced only when the ones before failed.
template <class... Steps> String FirstOf(Steps&&... steps) {
    String result;
    ((result.IsEmpty() ? (void)(result = steps()) : (void)0), ...);
    return result;
}

} // namespace

const char16_t* FolderIdName(FolderId id) {
    switch (id) {
    case FolderId::ProgramFiles:
        return u"ProgramFiles";
    case FolderId::ProgramFiles64:
        return u"ProgramFiles64";
    case FolderId::CommonFiles:
        return u"CommonFiles";
    case FolderId::CommonFiles64:
        return u"CommonFiles64";
    case FolderId::CommonAppData:
        return u"CommonAppData";
    case FolderId::AppData:
        return u"AppData";
    case FolderId::CommonDesktop:
        return u"CommonDesktop";
    case FolderId::Desktop:
        return u"Desktop";
    case FolderId::CommonDocuments:
        return u"CommonDocuments";
    case FolderId::Documents:
        return u"Documents";
    case FolderId::CommonFavorites:
        return u"CommonFavorites";
    case FolderId::Favorites:
        return u"Favorites";
    case FolderId::Fonts:
        return u"Fonts";
    case FolderId::CommonStartMenu:
        return u"CommonStartMenu";
    case FolderId::StartMenu:
        return u"StartMenu";
    case FolderId::CommonPrograms:
        return u"CommonPrograms";
    case FolderId::Programs:
        return u"Programs";
    case FolderId::CommonStartup:
        return u"CommonStartup";
    case FolderId::Startup:
        return u"Startup";
    case FolderId::System:
        return u"System";
    case FolderId::System32:
        return u"System32";
    case FolderId::Profile:
        return u"Profile";
    case FolderId::Temp:
        return u"Temp";
    case FolderId::WebRoot:
        return u"WebRoot";
    case FolderId::WebServer:
        return u"WebServer";
    case FolderId::DriverSearchPath:
        return u"DriverSearchPath";
    case FolderId::Media:
        return u"Media";
    case FolderId::Count:
        break;
    }
    return u"";
}

String FormatGuid(const FolderGuid& id) {
    return Format(u"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2, id.data3,
                  id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6],
                  id.data4[7]);
}

String NormalizeFolderPath(String path) {
    while (path.Length() > 3 && path.Last() == u'\\')
        path.Truncate(path.Length() - 1);
    return path;
}

namespace {

size_t LastSeparator(const String& path) {
    size_t at = path.View().find_last_of(u"\\/");
    return at == std::u16string_view::npos ? String::npos : at;
}

} // namespace

String FolderOf(const String& path) {
    size_t at = LastSeparator(path);
    return at == String::npos ? String() : path.Sub(0, at);
}

String FileNameOf(const String& path) {
    size_t at = LastSeparator(path);
    return at == String::npos ? path : path.Sub(at + 1);
}

bool IsAbsolutePath(const String& path) {
    if (path.Length() >= 2 && path[1] == u':') return true;
    return !path.IsEmpty() && path[0] == u'\\';
}

bool IsFullPath(const String& path) {
    if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    char16_t drive = path.Length() >= 2 ? path[0] : 0;
    bool letter = (drive >= u'a' && drive <= u'z') || (drive >= u'A' && drive <= u'Z');
    return letter && path[1] == u':';
}

String JoinPath(const String& folder, const String& name) {
    if (folder.IsEmpty()) return name;
    String joined = folder;
    size_t skip = 0;
    while (skip < name.Length() && name[skip] == u'\\')
        ++skip;
    if (skip == name.Length()) return folder;
    if (joined.Last() != u'\\') joined += u'\\';
    joined.Append(name.c_str() + skip, name.Length() - skip);
    return joined;
}

String RedirectedPath(const String& path, const String& systemFolder, const String& systemFolder32) {
    String system = NormalizeFolderPath(systemFolder);
    if (system.IsEmpty() || systemFolder32.IsEmpty() || system.Length() <= 3) return path;
    size_t n = system.Length();
    if (path.Length() < n || CompareNoCase(path.c_str(), system.c_str(), static_cast<int>(n)) != 0)
        return path;
    if (path.Length() > n && path[n] != u'\\' && path[n] != u'/') return path;
    String rest(path.c_str() + n, path.Length() - n);
    static const char16_t* const kShared[] = {u"\\catroot",      u"\\catroot2", u"\\DriverStore",
                                              u"\\drivers\\etc", u"\\LogFiles", u"\\spool"};
    String lookup = rest;
    for (size_t i = 0; i < lookup.Length(); ++i)
        if (lookup[i] == u'/') lookup[i] = u'\\';
    for (const char16_t* shared : kShared) {
        String folder(shared);
        if (EqualsNoCase(lookup, shared) || StartsWithNoCase(lookup, (folder + u"\\").c_str())) return path;
    }
    return NormalizeFolderPath(systemFolder32) + rest;
}

String RemoveLastComponents(const String& path, int count) {
    String result = NormalizeFolderPath(path);
    for (int i = 0; i < count; ++i) {
        // A bare drive ("C:" or "C:\") has no component left to remove.
        if (result.Length() <= 3 && result.Length() >= 2 && result[1] == u':') return {};
        size_t cut = result.Length();
        while (cut > 0 && result[cut - 1] != u'\\')
            --cut;
        if (cut == 0) return {};
        result.Truncate(cut - 1);
        if (result.Length() == 2 && result[1] == u':') result += u'\\';
    }
    return result;
}

String FolderResolver::RegistryValue(RegistryRoot root, const String& key, const String& name,
                                     size_t maxChars, RegistryView view) {
    RegistryText value = sources_.ReadRegistry(root, key, name, view);
    if (!value.found) return {};
    String text = value.text;
    while (!text.IsEmpty() && text.Last() == 0)
        text.Truncate(text.Length() - 1);
    if (text.Length() > maxChars) return {};
    if (value.expandable && !text.IsEmpty()) text = sources_.ExpandEnvironment(text);
    return text;
}

String FolderResolver::ShellFolder(RegistryRoot root, const char16_t* name) {
    return NormalizeFolderPath(RegistryValue(root, kShellFoldersKey, name));
}

String FolderResolver::CurrentVersionValue(const char16_t* name, RegistryView view) {
    return NormalizeFolderPath(
        RegistryValue(RegistryRoot::LocalMachine, kCurrentVersionKey, name, kRegistryTextMaxChars, view));
}

String FolderResolver::Special(int csidl) {
    return NormalizeFolderPath(sources_.SpecialFolder(csidl));
}

String FolderResolver::Known(const FolderGuid& id) {
    return NormalizeFolderPath(sources_.KnownFolder(id));
}

String FolderResolver::FromEnvironment(const char16_t* name) {
    return NormalizeFolderPath(sources_.Environment(name));
}

String FolderResolver::WithoutX86(const String& path) {
    String result = path;
    static const String kX86(u" (x86)");
    size_t at = FindNoCase(result, kX86);
    if (at != String::npos) result.Erase(at, kX86.Length());
    return NormalizeFolderPath(result);
}

String FolderResolver::Windows() {
    return NormalizeFolderPath(sources_.WindowsDirectory());
}

String FolderResolver::ProgramFiles(FolderView view) {
    if (view == FolderView::Bits64 && sources_.Is64BitWindows()) {
        return FirstOf([&] { return Known(kKnownFolderProgramFilesX64); },
                       [&] { return FromEnvironment(u"ProgramW6432"); },
                       [&] { return WithoutX86(ProgramFiles(FolderView::Default)); });
    }
    if (sources_.Is64BitProcess() && sources_.Is64BitWindows()) {
        // The 32-bit engine gets the x86 folder from these lookups through the system's
        // 32-bit layer; the 64-bit engine asks for it by name.
        return FirstOf([&] { return Special(kCsidlProgramFilesX86); },
                       [&] { return Known(kKnownFolderProgramFilesX86); },
                       [&] { return CurrentVersionValue(u"ProgramFilesDir", RegistryView::Bits32); },
                       [&] { return String(u"c:\\Program Files (x86)"); });
    }
    return FirstOf([&] { return Special(kCsidlProgramFiles); },
                   [&] { return Known(kKnownFolderProgramFiles); },
                   [&] { return CurrentVersionValue(u"ProgramFilesDir"); },
                   [&] { return String(u"c:\\Program Files"); });
}

String FolderResolver::CommonFiles(FolderView view) {
    if (view == FolderView::Bits64 && sources_.Is64BitWindows()) {
        return FirstOf([&] { return Known(kKnownFolderCommonFilesX64); },
                       [&] { return FromEnvironment(u"CommonProgramW6432"); },
                       [&] { return WithoutX86(CommonFiles(FolderView::Default)); });
    }
    if (sources_.Is64BitProcess() && sources_.Is64BitWindows()) {
        return FirstOf([&] { return Special(kCsidlProgramFilesCommonX86); },
                       [&] { return Known(kKnownFolderCommonFilesX86); },
                       [&] { return CurrentVersionValue(u"CommonFilesDir", RegistryView::Bits32); },
                       [&] { return JoinPath(ProgramFiles(), u"Common Files"); });
    }
    return FirstOf([&] { return Special(kCsidlProgramFilesCommon); },
                   [&] { return Known(kKnownFolderCommonFiles); },
                   [&] { return CurrentVersionValue(u"CommonFilesDir"); },
                   [&] { return JoinPath(ProgramFiles(), u"Common Files"); });
}

String FolderResolver::Temp() {
    if (!tempResolved_) {
        String path = NormalizeFolderPath(sources_.TempPath());
        if (path.IsEmpty() || !sources_.FolderExists(path)) path = JoinPath(Windows(), u"temp");
        temp_ = path;
        tempResolved_ = true;
    }
    return temp_;
}

String FolderResolver::WebRoot() {
    String8 raw = sources_.ReadRegistryAnsi(RegistryRoot::LocalMachine, kInetStpKey, u"PathWWWRoot");
    while (!raw.IsEmpty() && raw.Last() == 0)
        raw.Truncate(raw.Length() - 1);
    String path;
    if (!raw.IsEmpty() && raw.Length() <= kRegistryShortTextMaxChars) {
        path = FromCodePage(raw.View(), kCodePageAnsi);
        if (!path.IsEmpty()) path = NormalizeFolderPath(sources_.ExpandEnvironment(path));
    }
    return path.IsEmpty() ? String(u"c:\\Inetpub\\wwwroot") : path;
}

String FolderResolver::DriverSearchPath() {
    // Read without expansion: only the first "%SystemRoot%" is replaced, as the value is written.
    RegistryText value = sources_.ReadRegistry(RegistryRoot::LocalMachine, kCurrentVersionKey, u"DevicePath",
                                               RegistryView::Default);
    String path;
    if (value.found && value.text.Length() <= kRegistryTextMaxChars) {
        path = value.text;
        for (size_t i = 0; i < path.Length(); ++i) {
            if (path[i] == u';' || path[i] == 0) {
                path.Truncate(i);
                break;
            }
        }
        static const String kSystemRoot(u"%SystemRoot%");
        size_t at = FindNoCase(path, kSystemRoot);
        if (at != String::npos) {
            String root = NormalizeFolderPath(sources_.Environment(u"SystemRoot"));
            if (root.IsEmpty()) root = Windows();
            path.Erase(at, kSystemRoot.Length());
            path.Insert(at, root);
        }
        path = NormalizeFolderPath(path);
    }
    return path.IsEmpty() ? JoinPath(Windows(), u"INF") : path;
}

char16_t FolderResolver::BootDriveLetter() {
    String text =
        RegistryValue(RegistryRoot::LocalMachine, kSetupKey, u"BootDir", kRegistryShortTextMaxChars);
    if (text.Length() >= 2 && IsAsciiLetter(text[0]) && text[1] == u':') return ToUpperChar(text[0]);
    return u'C';
}

String FolderResolver::Resolve(FolderId id) {
    const auto machine = RegistryRoot::LocalMachine;
    const auto user = RegistryRoot::CurrentUser;
    switch (id) {
    case FolderId::ProgramFiles:
        return ProgramFiles();
    case FolderId::ProgramFiles64:
        return ProgramFiles(FolderView::Bits64);
    case FolderId::CommonFiles:
        return CommonFiles();
    case FolderId::CommonFiles64:
        return CommonFiles(FolderView::Bits64);
    case FolderId::CommonAppData:
        return FirstOf([&] { return Special(kCsidlCommonAppData); },
                       [&] { return ShellFolder(machine, u"Common AppData"); },
                       [&] { return CommonFiles(); });
    case FolderId::AppData:
        return FirstOf([&] { return Special(kCsidlAppData); }, [&] { return ShellFolder(user, u"AppData"); },
                       [&] { return CommonFiles(); });
    case FolderId::CommonDesktop:
        return FirstOf([&] { return Special(kCsidlCommonDesktopDirectory); },
                       [&] { return ShellFolder(machine, u"Common Desktop"); },
                       [&] { return Resolve(FolderId::Desktop); });
    case FolderId::Desktop:
        return FirstOf([&] { return Special(kCsidlDesktopDirectory); },
                       [&] { return ShellFolder(user, u"Desktop"); },
                       [&] { return JoinPath(Windows(), u"Desktop"); });
    case FolderId::CommonDocuments:
        return FirstOf([&] { return Special(kCsidlCommonDocuments); },
                       [&] { return ShellFolder(machine, u"Common Documents"); },
                       [&] { return Resolve(FolderId::Documents); });
    case FolderId::Documents:
        return FirstOf([&] { return Special(kCsidlPersonal); },
                       [&] { return ShellFolder(user, u"Personal"); },
                       [&] { return String(u"c:\\My Documents"); });
    case FolderId::CommonFavorites:
        return FirstOf([&] { return Special(kCsidlCommonFavorites); },
                       [&] { return ShellFolder(machine, u"Common Favorites"); },
                       [&] { return Resolve(FolderId::Favorites); });
    case FolderId::Favorites:
        return FirstOf([&] { return Special(kCsidlFavorites); },
                       [&] { return ShellFolder(user, u"Favorites"); },
                       [&] { return JoinPath(Windows(), u"Favorites"); });
    case FolderId::Fonts:
        return FirstOf([&] { return Special(kCsidlFonts); }, [&] { return ShellFolder(user, u"Fonts"); },
                       [&] { return JoinPath(Windows(), u"Fonts"); });
    case FolderId::CommonStartMenu:
        return FirstOf([&] { return Special(kCsidlCommonStartMenu); },
                       [&] { return ShellFolder(machine, u"Common Start Menu"); },
                       [&] { return RemoveLastComponents(ShellFolder(machine, u"Common Startup"), 2); },
                       [&] { return Resolve(FolderId::StartMenu); });
    case FolderId::StartMenu:
        return FirstOf([&] { return Special(kCsidlStartMenu); },
                       [&] { return ShellFolder(user, u"Start Menu"); },
                       [&] { return JoinPath(Windows(), u"Start Menu"); });
    case FolderId::CommonPrograms:
        return FirstOf([&] { return Special(kCsidlCommonPrograms); },
                       [&] { return ShellFolder(machine, u"Common Programs"); },
                       [&] { return RemoveLastComponents(ShellFolder(machine, u"Common Startup"), 1); },
                       [&] { return Resolve(FolderId::Programs); });
    case FolderId::Programs:
        return FirstOf([&] { return Special(kCsidlPrograms); },
                       [&] { return ShellFolder(user, u"Programs"); },
                       [&] { return JoinPath(Resolve(FolderId::StartMenu), u"Programs"); });
    case FolderId::CommonStartup:
        return FirstOf([&] { return Special(kCsidlCommonStartup); },
                       [&] { return ShellFolder(machine, u"Common Startup"); },
                       [&] { return Resolve(FolderId::Startup); });
    case FolderId::Startup:
        return FirstOf([&] { return Special(kCsidlStartup); }, [&] { return ShellFolder(user, u"Startup"); },
                       [&] { return JoinPath(Resolve(FolderId::Programs), u"StartUp"); });
    case FolderId::System:
        return FirstOf(
            [&] { return NormalizeFolderPath(sources_.SystemDirectory()); },
            [&] { return JoinPath(Windows(), sources_.IsNtPlatform() ? u"System32" : u"System"); });
    case FolderId::System32:
        return FirstOf([&] { return Special(kCsidlSystemX86); }, [&] { return Resolve(FolderId::System); });
    case FolderId::Profile:
        return FirstOf([&] { return Special(kCsidlProfile); },
                       [&] { return JoinPath(JoinPath(Windows(), u"Profiles"), sources_.UserName()); });
    case FolderId::Temp:
        return Temp();
    case FolderId::WebRoot:
        return WebRoot();
    case FolderId::WebServer:
        return RemoveLastComponents(WebRoot(), 1);
    case FolderId::DriverSearchPath:
        return DriverSearchPath();
    case FolderId::Media:
        return FirstOf([&] { return CurrentVersionValue(u"MediaPath"); },
                       [&] { return JoinPath(Windows(), u"Media"); });
    case FolderId::Count:
        break;
    }
    return {};
}

} // namespace cs
