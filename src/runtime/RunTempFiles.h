// The temporary files that live as long as one run (the extraction file, the log spool): a
// name pattern of their own in the temporary folder, and the handle held open by the run from
// creation to deletion without sharing deletion. A run that is killed leaves its file behind;
// the next run finds it by the pattern and deletes what no running installer holds open (a
// live run's file refuses the deletion, since its owner holds it without delete sharing).
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

// "~cs-run-<kind>-<process id, hex>-<number, hex>.tmp".
String RunTempFileName(const String& kind, uint32_t processId, uint32_t number);
// True for a name RunTempFileName makes (any kind, letter case ignored).
bool IsRunTempFileName(const String& name);
// The pattern that finds them in a folder listing.
constexpr const char16_t kRunTempFilePattern[] = u"~cs-run-*.tmp";

#ifdef _WIN32
// Creates a new file of the kind in the temporary folder (never opening one that exists),
// open for reading and writing, shared for reading only; path gets its name. The handle
// (HANDLE), or nullptr with the system error set.
void* CreateRunTempFile(const String& kind, String& path);

// Deletes the run files of earlier runs that no running process holds open; returns how
// many went.
int RemoveLeftoverRunTempFiles();
#endif

} // namespace cs
