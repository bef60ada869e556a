#include "vars/Variables.h"

#include "core/Format.h"
#include "core/Text.h"
#include "runtime/InstallFolders.h"

namespace cs {

namespace {

String Flag(bool on) {
    return on ? u"1" : u"0";
}
String Number(long long n) {
    return Format(u"%d", n);
}

// "X:" for a path that begins with a letter and a colon, else "".
String DriveOf(const String& path) {
    if (path.Length() >= 2 && path[1] == u':' &&
        ((path[0] >= u'a' && path[0] <= u'z') || (path[0] >= u'A' && path[0] <= u'Z'))) {
        String drive(path.c_str(), 2);
        drive[0] = ToUpperChar(drive[0]);
        return drive;
    }
    return {};
}

String WithoutTrailingBackslash(String path) {
    if (path.Length() > 3 && path.Last() == u'\\') path.Truncate(path.Length() - 1);
    return path;
}

bool IsNetworkPath(const VariableInputs& in) {
    return (in.installDir.Length() >= 2 && in.installDir[0] == u'\\' && in.installDir[1] == u'\\') ||
           in.installDirOnRemoteDrive;
}

} // namespace

int VersionNumber(const String8& version, int index) {
    const char* p = version.c_str();
    for (int dots = 0; dots < index; ++dots) {
        const char* dot = std::strchr(p, '.');
        if (!dot) return 0;
        p = dot + 1;
    }
    while (*p == '\t' || *p == '\n' || *p == '\r' || *p == ' ')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = static_cast<int>(static_cast<unsigned>(value) * 10u + (*p - '0'));
    return negative ? -value : value;
}

Array<String> VersionPieces(const String& version) {
    Array<String> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= version.Length(); ++i) {
        if (i == version.Length() || version[i] == u'.') {
            if (i > start) pieces.Append(version.Sub(start, i - start));
            start = i + 1;
        }
    }
    return pieces;
}

int OsCode(const OsRecord& os, const OsNameFacts& facts) {
    if (os.platform != kPlatformNt) return 0;
    bool workstation = os.productType == kProductWorkstation;
    uint32_t v = os.major * 100 + os.minor;
    switch (v) {
    case 501:
        return 20;
    case 502:
        if (os.suiteMask & kSuiteHomeServer) return 28;
        if (workstation) return os.is64BitWindows ? 24 : 20;
        return facts.serverR2 ? 26 : 22;
    case 600:
        return workstation ? 30 : 32;
    case 601:
        if (OsIsHomeServer2011(os)) return 38;
        return workstation ? 36 : 34;
    case 602:
        return workstation ? 40 : 42;
    case 603:
        return workstation ? 44 : 46;
    case 604:
        return 48;
    case 1000:
        if (workstation) return os.build < 21327 ? 48 : 56;
        if (os.build < 17600) return 50;
        if (os.build <= 19503) return 52;
        if (os.build <= 25920) return 60;
        return 64;
    default:
        return 0;
    }
}

Array<Variable> VariableTable(const VariableInputs& in) {
    auto folder = [&](FolderId id) { return in.folder ? in.folder(id) : String(); };
    Array<String> oldPieces = VersionPieces(in.oldVersion);
    String bootDrive;
    bootDrive.Append(ToUpperChar(in.bootDriveLetter));
    bootDrive.Append(u':');
    bool server = in.os.productType == kProductDomainController || in.os.productType == kProductServer;
    String systemDir = folder(FolderId::System);
    if (systemDir.IsEmpty())
        systemDir = JoinPath(in.windowsDir, in.os.platform == kPlatformNt ? u"System32" : u"System");
    return {
        {u"%AppDataAllDir%", false, folder(FolderId::CommonAppData)},
        {u"%AppDataDir%", false, folder(FolderId::AppData)},
        {u"%Automatic%", false, Flag(in.automatic)},
        {u"%Bits%", false, in.os.is64BitWindows ? u"64" : u"32"},
        {u"%BootDrive%", false, bootDrive},
        {u"%CommonDir%", false, folder(in.package64 ? FolderId::CommonFiles64 : FolderId::CommonFiles)},
        {u"%CommonDir32%", false, folder(FolderId::CommonFiles)},
        {u"%CommonDir64%", false, folder(FolderId::CommonFiles64)},
        {u"%DesktopAllDir%", false, folder(FolderId::CommonDesktop)},
        {u"%DesktopDir%", false, folder(FolderId::Desktop)},
        {u"%DesktopShortcuts%", false,
         JoinPath(folder(in.allUsers ? FolderId::CommonDesktop : FolderId::Desktop), in.desktopSubfolder)},
        {u"%DeviceDir%", false, folder(FolderId::DriverSearchPath)},
        {u"%DocumentAllDir%", false, folder(FolderId::CommonDocuments)},
        {u"%DocumentDir%", false, folder(FolderId::Documents)},
        {u"%Existing%", false, Number(in.installType)},
        {u"%FavoritesAllDir%", false, folder(FolderId::CommonFavorites)},
        {u"%FavoritesDir%", false, folder(FolderId::Favorites)},
        {u"%FontDir%", false, folder(FolderId::Fonts)},
        {u"%Inetpub%", false, folder(FolderId::WebServer)},
        {u"%InstallDir%", false, in.installDir},
        {u"%InstallDrive%", false, DriveOf(in.installDir)},
        {u"%InstallerDir%", false, FolderOf(in.installerPath)},
        {u"%InstallerDrive%", false, DriveOf(in.installerPath)},
        {u"%InstallerFilename%", false, FileNameOf(in.installerPath)},
        {u"%InstallerFilepath%", false, in.installerPath},
        {u"%UninstallerFilepath%", false, in.uninstallerPath},
        {u"%Language%", false, in.language},
        {u"%LogFilepath%", false, LogPath(in.installDir, in.uninstallSubdir)},
        {u"%MediaDir%", false, folder(FolderId::Media)},
        {u"%NetworkInstall%", false, Flag(IsNetworkPath(in))},
        {u"%OldVersion%", false, in.oldVersion},
        {u"%OldVersionMajor%", true, oldPieces.Get(0)},
        {u"%OldVersionMinor%", true, oldPieces.Get(1)},
        {u"%Portable%", false, Flag(in.portable)},
        {u"%ProductName%", false, in.productName},
        {u"%CompanyName%", false, in.companyName},
        {u"%ProgramsDir%", false, folder(in.package64 ? FolderId::ProgramFiles64 : FolderId::ProgramFiles)},
        {u"%ProgramsDir32%", false, folder(FolderId::ProgramFiles)},
        {u"%ProgramsDir64%", false, folder(FolderId::ProgramFiles64)},
        {u"%SharedDir%", false, in.sharedDir},
        {u"%SMProgramsAllDir%", false, folder(FolderId::CommonPrograms)},
        {u"%SMProgramsDir%", false, folder(FolderId::Programs)},
        {u"%StartMenuAllDir%", false, folder(FolderId::CommonStartMenu)},
        {u"%StartMenuChosen%", false,
         JoinPath(folder(in.allUsers ? FolderId::CommonPrograms : FolderId::Programs), in.startMenuFolder)},
        {u"%StartMenuDir%", false, folder(FolderId::StartMenu)},
        {u"%StartupAllDir%", false, folder(FolderId::CommonStartup)},
        {u"%StartupDir%", false, folder(FolderId::Startup)},
        {u"%SystemDir%", false, systemDir},
        {u"%Temp%", false, WithoutTrailingBackslash(folder(FolderId::Temp))},
        {u"%UninstallDir%", false, UninstallDataFolder(in.installDir, in.uninstallSubdir)},
        {u"%WinDir%", false, in.windowsDir},
        {u"%Version%", false, in.productVersion},
        {u"%VersionMajor%", false, Number(VersionNumber(in.productVersion8, 0))},
        {u"%VersionMinor%", false, Number(VersionNumber(in.productVersion8, 1))},
        {u"%VersionRevision%", false, Number(VersionNumber(in.productVersion8, 2))},
        {u"%OS%", false, Number(OsCode(in.os, in.osFacts))},
        {u"%OSMajor%", false, Format(u"%u", in.os.major)},
        {u"%OSMinor%", false, Format(u"%u", in.os.minor)},
        {u"%OSName%", false, OsNameTrimmed(in.os, in.osFacts, kOsNameBare)},
        {u"%OSDescription%", false, OsNameOf(in.os, in.osFacts, 0)},
        {u"%OSServer%", false, Flag(server)},
    };
}

void ReplaceAll(String& text, const String& name, const String& value, bool caseSensitive) {
    size_t at = 0;
    for (;;) {
        at = caseSensitive ? Find(text, name, at) : FindNoCase(text, name, at);
        if (at == String::npos) return;
        text.Erase(at, name.Length());
        text.Insert(at, value);
        at += value.Length();
    }
}

void ExpandVariables(String& text, const VariableInputs& in, const EnvironmentExpander& environment) {
    if (text.IsEmpty()) return;
    if (text.View().find(u'%') != std::u16string_view::npos)
        for (const Variable& v : VariableTable(in))
            ReplaceAll(text, v.name, v.value, v.caseSensitive);
    String expanded;
    if (environment && environment(text, expanded)) {
        expanded.Truncate(kEnvironmentExpansionMaxChars);
        text = expanded;
    }
}

String8 PercentEncode(const String8& text) {
    static const char kReserved[] = "\"/%?&#<>()[];:@=+\\|~^'*!";
    static const char kHex[] = "0123456789ABCDEF";
    String8 out;
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x21 || b >= 0x7F || std::strchr(kReserved, c)) {
            char encoded[3] = {'%', kHex[b >> 4], kHex[b & 15]};
            out.Append(encoded, 3);
        } else {
            out.Append(c);
        }
    }
    return out;
}

void ExpandNotificationUrl(String8& url, const String8& productVersion8, const NotificationInputs& in) {
    Trim(url);
    // The 8-bit text is Latin-1 for the search; the replacements are already 8-bit.
    String wide = Widen(url.View());
    auto put = [&](const char16_t* name, const String8& value) {
        ReplaceAll(wide, name, Widen(value.View()), false);
    };
    auto osName = [&](unsigned flags) {
        return PercentEncode(ToUtf8(OsNameTrimmed(in.os, in.osFacts, flags)));
    };
    put(u"%version%", PercentEncode(productVersion8));
    put(u"%Session%", NarrowLatin1(Format(u"%u", in.session)));
    put(u"%OSMajor%", NarrowLatin1(Format(u"%u", in.os.major)));
    put(u"%OSMinor%", NarrowLatin1(Format(u"%u", in.os.minor)));
    put(u"%OSName%", osName(kOsNameBare));
    put(u"%OSDescription%", osName(0));
    put(u"%OSServer%",
        in.os.productType == kProductDomainController || in.os.productType == kProductServer ? "1" : "0");
    put(u"%OS%", NarrowLatin1(Format(u"%d", OsCode(in.os, in.osFacts))));
    url = NarrowLatin1(wide);
}

uint64_t SessionNumberFromBytes(const uint8_t bytes[8]) {
    uint64_t n = 0;
    for (int i = 7; i >= 0; --i)
        n = (n << 8) | bytes[i];
    return n & 0x7FFFFFFFFFFFFFFFull;
}

void ExpandWizardPlaceholders(String& text, const PlaceholderInputs& in) {
    if (text.View().find(u'<') == std::u16string_view::npos) return;
    ReplaceAll(text, u"<product>", in.productName, false);
    ReplaceAll(text, u"<description>", in.description, false);
    ReplaceAll(text, u"<os>", in.windowsDir, false);
    String date;
    if (in.buildDate.month != 0 && in.formatDate) date = in.formatDate(in.buildDate);
    ReplaceAll(text, u"<lbdate>", date, false);
}

} // namespace cs
