// What makes a build reproducible: the same project, sources and stub give the same
// installer bytes on every run and machine. The cipher key is derived from the inputs instead
// of drawn, and file dates taken from the build machine are clamped to SOURCE_DATE_EPOCH.
#pragma once

#include "builder/InstallerWriter.h"
#include "payload/Definition.h"
#include "payload/Sha256.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cs {

struct Project;

// A 56-byte key from a digest: SHA-256(seed, 0) followed by the first 24 bytes of
// SHA-256(seed, 1). The key is stored in the installer's header, so it hides nothing that
// the file does not show anyway; what matters is that it depends on the inputs alone.
CipherKey CipherKeyFromSeed(const Sha256Digest& seed);

// The key of a project's installer: from the digest of the plain definition and of every
// file's contents in payload order (files are read again, in pieces).
bool ProjectCipherKey(const Project& project, ByteView definition, CipherKey& key, std::string& error);

// SOURCE_DATE_EPOCH: a whole number of seconds since 1970-01-01 UTC. Returns false for a
// text that is not one (so a typing error does not pass unnoticed); an empty or absent text
// is no epoch.
bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>& epoch);
// The epoch of this process's environment (nothing when unset or invalid; the builder's
// command line reports an invalid one before it reads any project).
std::optional<int64_t> SourceDateEpoch();

// A file's last-modified time (seconds since 1970, UTC) as the file record's date, clamped
// to `epoch` when given: a file changed after the release's epoch takes the epoch's date,
// so a fresh checkout dates its files like any other.
DateValue ClampedFileDate(int64_t modified, std::optional<int64_t> epoch);

} // namespace cs
