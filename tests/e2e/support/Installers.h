// End-to-end test support: installers built from project text (and damaged on purpose), and
// registry values of the test prefix.
#pragma once

#include "support/Wine.h"

#include <map>
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

// The uninstaller started with /u:"name" through cmd.exe and a batch file of one line: Wine's
// loader escapes the quotes of /u:"a b" when a program is started directly from Linux.
// UninstallBatch writes the batch and returns its Windows path; RunUninstaller runs it (a
// time-out fails the test).
std::string UninstallBatch(const std::string& program, const std::string& name, const std::string& switches);
RunResult RunUninstaller(const std::string& program, const std::string& name, const std::string& switches,
                         int timeout = 180);

// Sets a text value under a registry key of the prefix ("HKLM\..." or "HKCU\..."), in the
// 32-bit view: the one both engines use for the product's keys.
void RegAdd(const std::string& key, const std::string& name, const std::string& value);
// Deletes the key with everything below it; a missing key is no failure.
void RegDeleteKey(const std::string& key);

// A registry value as `reg export` writes it, decoded: its type name ("REG_SZ",
// "REG_EXPAND_SZ", "REG_DWORD", "REG_QWORD", "REG_BINARY", "REG_MULTI_SZ") and its data as
// text: the text itself, a number in decimal, binary data as lowercase hex digits.
struct ExportedValue {
    std::string type, data;
    bool operator==(const ExportedValue& other) const { return type == other.type && data == other.data; }
};
// The values of one key (not its subkeys) in a view ("/reg:32" or "/reg:64"), read through
// `reg export`, by name ("@" is the default value). Empty when the key does not exist.
std::map<std::string, ExportedValue> ExportedValues(const std::string& key,
                                                    const std::string& view = "/reg:32");
// A key with all its subkeys and values, read through `reg export` in a view; empty when the
// key does not exist.
std::map<std::string, std::map<std::string, ExportedValue>> ExportedTree(const std::string& key,
                                                                         const std::string& view = "/reg:32");
// The keys of a .reg file (UTF-16 or 8-bit text) with their values, by the key names as the
// file writes them ("HKEY_LOCAL_MACHINE\\Software\\...").
using RegExport = std::map<std::string, std::map<std::string, ExportedValue>>;
RegExport ParseRegExport(const std::string& fileBytes);

} // namespace cs::e2e
