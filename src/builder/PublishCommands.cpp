#include "builder/PublishCommands.h"

#include "builder/SourceTree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace cs {

namespace fs = std::filesystem;

void AddPublishCommands(CLI::App& app, PublishCommands& c) {
    SignOptions& s = c.signOptions;
    c.sign = app.add_subcommand("sign", "Sign an installer with Authenticode through osslsigncode");
    c.sign->add_option("installer", s.installer, "The installer to sign")->required();
    c.sign->add_option("-o,--output", s.output, "The signed installer (default: replace the input)");
    c.sign->add_option("--cert", s.certificate, "Certificate chain, PEM or DER (with --key)");
    c.sign->add_option("--key", s.key, "Private key, PEM or DER (with --cert)");
    c.sign->add_option("--pkcs12", s.pkcs12,
                       "PKCS#12 file with key and certificates (instead of --cert/--key)");
    c.sign->add_option("--password-file", s.passwordFile, "File whose first line is the key's password");
    c.sign->add_option("--timestamp", s.timestampUrl, "RFC 3161 time-stamp server address (default: none)");
    c.sign->add_option("--description", s.description, "Description shown by Windows' consent prompt");
    c.sign->add_option("--url", s.url, "The publisher's web address, shown beside the description");
    c.sign->add_option("--osslsigncode", s.tool, "The signing program (default: osslsigncode on PATH)");

    ManifestOptions& m = c.manifestOptions;
    c.manifest = app.add_subcommand(
        "manifest",
        "Write the Windows Package Manager manifests (version, default locale, installer; schema 1.10)");
    c.manifest->add_option("installer", c.manifestInstaller, "The installer (signed, if it is to be signed)")
        ->required();
    c.manifest->add_option("--url", m.installerUrl, "Where the installer will be downloaded (http or https)");
    c.manifest->add_option("--out", c.manifestOut, "The folder to write the three files into (default: .)");
    c.manifest->add_option("--id", m.identifier, "PackageIdentifier (default: Publisher.Product)");
    c.manifest->add_option("--license", m.license,
                           "License text of the locale manifest (default: Proprietary)");
    c.manifest->add_option("--locale", m.locale, "Locale of the package's texts (default: en-US)");
}

namespace {

int Failed(const std::string& message) {
    std::fprintf(stderr, "corvantis-build: %s\n", message.c_str());
    return 1;
}

int RunManifest(PublishCommands& c) {
    std::ifstream in(PathFromUtf8(c.manifestInstaller), std::ios::binary);
    if (!in) return Failed("cannot read " + c.manifestInstaller);
    Bytes installer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    c.manifestOptions.fileName = GenericUtf8(PathFromUtf8(c.manifestInstaller).filename());
    std::vector<ManifestFile> files;
    std::string error;
    if (!WriteWingetManifests(installer, c.manifestOptions, files, error)) return Failed(error);
    fs::path folder = PathFromUtf8(c.manifestOut);
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (const ManifestFile& f : files) {
        fs::path path = folder / PathFromUtf8(f.name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << f.text;
        out.close();
        if (!out) return Failed("cannot write " + GenericUtf8(path));
        std::printf("%s\n", GenericUtf8(path).c_str());
    }
    if (c.manifestOptions.installerUrl.empty())
        std::fprintf(stderr, "corvantis-build: no --url given: InstallerUrl is a placeholder to replace\n");
    return 0;
}

} // namespace

int RunPublishCommands(PublishCommands& c) {
    if (c.sign && *c.sign) {
        std::string error;
        return SignInstaller(c.signOptions, error) ? 0 : Failed(error);
    }
    if (c.manifest && *c.manifest) return RunManifest(c);
    return -1;
}

} // namespace cs
