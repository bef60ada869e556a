// `corvantis-build manifest`: the three manifest files (version, default locale, installer)
// that describe an installer to the Windows Package Manager, schema 1.10. Everything is
// read from the installer itself (the definition through the engine's own reader, the
// engine's bitness from its PE header, the file's SHA-256), so the manifest cannot disagree
// with the file it names.
#pragma once

#include "payload/Bytes.h"

#include <string>
#include <vector>

namespace cs {

struct ManifestOptions {
    std::string installerUrl; // where the installer will be downloaded; empty: a placeholder
    std::string fileName;     // the installer's file name (for the placeholder address)
    std::string identifier;   // PackageIdentifier; empty: Publisher.Product
    std::string license = "Proprietary";
    std::string locale = "en-US";
};

struct ManifestFile {
    std::string name; // file name, e.g. "Publisher.Product.installer.yaml"
    std::string text; // YAML, UTF-8, LF line ends
};

// The engine's exit codes that winget should know, with the response it shows for each.
struct ExitCodeResponse {
    int code;
    const char* response; // a ReturnResponse value of the installer schema
};
extern const ExitCodeResponse kManifestExitCodes[12];

// A PackageIdentifier from a publisher and a product name: each made one segment (the
// characters the schema forbids removed, at most 32 characters), joined with ".".
std::string DefaultPackageIdentifier(const std::string& publisher, const std::string& product);

// The manifests of `installer`. False with a reason when the installer fails the engine's
// checks or lacks what a manifest needs (a product version).
bool WriteWingetManifests(ByteView installer, const ManifestOptions& options,
                          std::vector<ManifestFile>& files, std::string& error);

} // namespace cs
