#include "builder/WingetManifest.h"

#include "builder/Inspect.h"
#include "builder/Project.h"
#include "core/Text.h"
#include "payload/ByteSource.h"
#include "payload/Definition.h"
#include "payload/PayloadCodes.h"
#include "payload/PeImage.h"
#include "payload/Sha256.h"

#include <cctype>
#include <cstdio>

namespace cs {

// 9: an installed older version had to be uninstalled first and was not, so the user meets
// it installed; 10: its uninstaller was started and will start this installer again when
// it is done, so the installation goes on in another process. 2 (a damaged download) has no
// response of its own; contactSupport is the one that tells the user it is not their doing.
const ExitCodeResponse kManifestExitCodes[12] = {
    {2, "contactSupport"},    {5, "systemNotSupported"},
    {7, "missingDependency"}, {8, "installInProgress"},
    {9, "alreadyInstalled"},  {10, "installInProgress"},
    {11, "downgrade"},        {12, "cancelledByUser"},
    {15, "invalidParameter"}, {16, "rebootRequiredToFinish"},
    {17, "diskFull"},         {0, nullptr},
};

namespace {

constexpr char kManifestVersion[] = "1.10.0";

std::string Utf8(const String& text) {
    String8 u = ToUtf8(text);
    return std::string(u.c_str(), u.Length());
}

// One segment of a PackageIdentifier: no dots, blanks, control characters or any of
// \ / : * ? " < > |, 1 to 32 characters (UTF-8 sequences are kept whole).
std::string IdentifierSegment(const std::string& text) {
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < text.size() && characters < 32;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (length == 1 && (c <= 0x20 || c == 0x7F || std::strchr(".\\/:*?\"<>|", c))) {
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
        ++characters;
    }
    return out;
}

// A YAML scalar in single quotes: nothing inside is special but the quote itself, doubled.
// Line breaks (which no value here should hold) become blanks.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "''";
        else if (c == '\r' || c == '\n' || c == '\t')
            out += ' ';
        else
            out += c;
    }
    return out + "'";
}

std::string Header(const char* kind, const char* schema) {
    return std::string("# Written by corvantis-build from the installer itself.\n") +
           "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + schema + "." +
           kManifestVersion + ".schema.json\n\n" + "ManifestType: " + kind + "\n" +
           "ManifestVersion: " + kManifestVersion + "\n";
}

bool IsWebAddress(const std::string& url) {
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string l = lower(url.substr(0, 8));
    return (l.rfind("http://", 0) == 0 && url.size() > 7) || (l.rfind("https://", 0) == 0 && url.size() > 8);
}

} // namespace

std::string DefaultPackageIdentifier(const std::string& publisher, const std::string& product) {
    std::string first = IdentifierSegment(publisher), second = IdentifierSegment(product);
    if (second.empty()) second = "Product";
    if (first.empty()) first = second;
    return first + "." + second;
}

bool WriteWingetManifests(ByteView installer, const ManifestOptions& options,
                          std::vector<ManifestFile>& files, std::string& error) {
    files.clear();
    InspectReport report = InspectInstaller(installer);
    if (report.verdict != 0) {
        error = "the installer fails the engine's checks (code " + std::to_string(report.verdict) +
                "); run corvantis-build inspect on it";
        return false;
    }
    int code = 0;
    Definition d;
    DecodedDefinitionJson(report, code, &d);
    if (code != 0) {
        error = "the installer's definition does not read (code " + std::to_string(code) + ")";
        return false;
    }
    std::string name = Utf8(d.productName), version = Utf8(d.productVersion), publisher = Utf8(d.publisher);
    if (version.empty()) {
        error = "the installer has no product version ([product] version), which a manifest needs";
        return false;
    }
    if (name.size() < 2) {
        error = "the product name must have at least 2 characters for a manifest";
        return false;
    }
    std::string id =
        options.identifier.empty() ? DefaultPackageIdentifier(publisher, name) : options.identifier;

    // The engine's bitness: the 64-bit engine, or a product for 64-bit Windows only, is
    // x64; everything else runs on both and is x86.
    MemorySource source(installer);
    bool engine64 = std::string(PeImageFormat(source, report.info.section.peOffset)) == "PE32+";
    const char* architecture = engine64 || d.bitness == 1 ? "x64" : "x86";

    std::string url = options.installerUrl;
    if (url.empty())
        url = "https://example.invalid/" + (options.fileName.empty() ? "setup.exe" : options.fileName);
    if (!IsWebAddress(url)) {
        error = "--url must be an http:// or https:// address";
        return false;
    }

    std::string common = "PackageIdentifier: " + id + "\nPackageVersion: " + Quoted(version) + "\n";

    std::string versionText =
        Header("version", "version") + common + "DefaultLocale: " + options.locale + "\n";

    std::string title = Utf8(d.productTitle).empty() ? name : Utf8(d.productTitle);
    std::string description = title.size() >= 3 ? title : name + " installer";
    std::string locale = Header("defaultLocale", "defaultLocale") + common +
                         "PackageLocale: " + options.locale + "\n" +
                         "Publisher: " + Quoted(publisher.size() >= 2 ? publisher : name) + "\n" +
                         "PackageName: " + Quoted(name) + "\n" + "License: " + Quoted(options.license) +
                         "\n" + "ShortDescription: " + Quoted(description) + "\n";
    std::string productUrl = Utf8(d.productUrl);
    if (IsWebAddress(productUrl)) locale += "PackageUrl: " + Quoted(productUrl) + "\n";

    Sha256 sha;
    sha.Update(installer);
    Sha256Digest digest = sha.Finish();
    std::string sha256 = HexText(digest);
    for (char& c : sha256)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    std::string in = Header("installer", "installer") + common;
    in += "InstallerType: exe\n";
    // The uninstall entry is written under HKLM for every user of the machine.
    in += "Scope: machine\n";
    in += "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n";
    in += "InstallerSwitches:\n";
    in += "  Silent: /silent\n";
    in += "  SilentWithProgress: /a\n";
    in += "  InstallLocation: " + Quoted("/d:\"<INSTALLPATH>\"") + "\n";
    // The product name the entry is known by, given again: an /n: a caller adds cannot then
    // rename the entry that AppsAndFeaturesEntries names. A name with a double quote cannot
    // be given on the command line and is left out.
    if (name.find('"') == std::string::npos) in += "  Custom: " + Quoted("/n:\"" + name + "\"") + "\n";
    in += "ExpectedReturnCodes:\n";
    for (const ExitCodeResponse* e = kManifestExitCodes; e->response; ++e)
        in +=
            "- InstallerReturnCode: " + std::to_string(e->code) + "\n  ReturnResponse: " + e->response + "\n";
    if (d.optionWord1 & kOpt1RegisterUninstaller) {
        std::string key = Utf8(d.uninstallKeyName).empty() ? name : Utf8(d.uninstallKeyName);
        in += "ProductCode: " + Quoted(key) + "\n";
        in += "AppsAndFeaturesEntries:\n";
        in += "- DisplayName: " + Quoted(name) + "\n";
        if (!publisher.empty()) in += "  Publisher: " + Quoted(publisher) + "\n";
        in += "  DisplayVersion: " + Quoted(version) + "\n";
        in += "  ProductCode: " + Quoted(key) + "\n";
        in += "  InstallerType: exe\n";
    }
    // A product for 32-bit Windows only refuses 64-bit Windows (exit code 5).
    if (d.bitness == 2) in += "UnsupportedOSArchitectures:\n- x64\n- arm64\n";
    if (d.buildDate.month != 0) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.buildDate.year, d.buildDate.month,
                      d.buildDate.day);
        in += std::string("ReleaseDate: '") + date + "'\n";
    }
    in += "Installers:\n";
    in += std::string("- Architecture: ") + architecture + "\n";
    in += "  InstallerUrl: " + Quoted(url) + "\n";
    in += "  InstallerSha256: " + sha256 + "\n";

    files.push_back({id + ".yaml", versionText});
    files.push_back({id + ".locale." + options.locale + ".yaml", locale});
    files.push_back({id + ".installer.yaml", in});
    return true;
}

} // namespace cs
