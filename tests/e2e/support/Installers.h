// End-to-end test support: installers built from project text (and damaged on purpose), and
// registry values of the test prefix.
#pragma once

#include "support/Wine.h"

#include <string>
#include <vector>

namespace cs::e2e {

// Runs corvantis-build with the arguments (building a big payload may take minutes).
RunResult RunBuilder(const std::vector<std::string>& args);

// Builds an installer from project text with corvantis-build and the Windows engine; returns
// its path ("" on failure, with the builder's output reported as a test failure).
std::string BuildInstaller(const std::string& name, const std::string& projectText);

// Damages a byte inside the last chunk of the installer's file data and gives the header the
// checksum of the damaged stream, so that only the chunk's own checksum can tell (code 62).
// The data must span more than one chunk.
void DamageLastChunk(const std::string& installer);

// The record lines of "Uninstall.dat": everything before its "[Strings]" section, one entry a
// line, without line ends.
std::vector<std::string> UninstallBodyLines(const std::string& uninstallData);

// Sets a text value under a registry key of the prefix ("HKLM\..." or "HKCU\..."), in the
// 32-bit view: the one both engines use for the product's keys.
void RegAdd(const std::string& key, const std::string& name, const std::string& value);
// Deletes the key with everything below it; a missing key is no failure.
void RegDeleteKey(const std::string& key);

} // namespace cs::e2e
