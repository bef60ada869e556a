// The publisher's subcommands of corvantis-build: `sign` (Authenticode through osslsigncode)
// and `manifest` (the Windows Package Manager's manifest files of an installer).
#pragma once

#include "builder/Sign.h"
#include "builder/WingetManifest.h"

#include <CLI/CLI.hpp>

namespace cs {

struct PublishCommands {
    CLI::App* sign = nullptr;
    SignOptions signOptions;
    CLI::App* manifest = nullptr;
    std::string manifestInstaller, manifestOut = ".";
    ManifestOptions manifestOptions;
};

void AddPublishCommands(CLI::App& app, PublishCommands& commands);

// The chosen subcommand's exit code (0 done, 1 failed), or -1 when neither was chosen.
int RunPublishCommands(PublishCommands& commands);

} // namespace cs
