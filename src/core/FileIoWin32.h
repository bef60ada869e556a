// Whole-file reads and writes, for the engine's small files (the log, batch files, the
// rename list, the uninstall data).
#pragma once

#include "core/String.h"

#include <string_view>

#include <windows.h>

namespace cs {

// Reads from the file's current position to its end. False on a read error.
bool ReadToEnd(HANDLE file, String8& out);
// Writes every byte at the current position, in pieces of at most 64 KiB. False with the
// system error set (ERROR_WRITE_FAULT when the system gives none).
bool WriteAll(HANDLE file, std::string_view bytes);

// The whole file, opened for reading while others may read, write or delete it.
bool ReadWholeFile(const String& path, String8& out);
// Replaces the file (created when missing) with the bytes.
bool WriteWholeFile(const String& path, std::string_view bytes);
// Creates the file with the bytes; fails (ERROR_FILE_EXISTS) when anything, a link included,
// stands at the name, so it never writes through a planted link.
bool WriteNewFile(const String& path, std::string_view bytes);

// ---- Files put in place whole -----------------------------------------------------------
// A file that must never be seen cut short (an installed file, the uninstaller, "Uninstall.dat",
// "Install.log") is filled under its partial name beside it and then renamed over the real
// name: a full disk or a killed process leaves the old file (or none) under the real name and
// at most a partial file, which the next write of the same file takes over. The same folder
// keeps the rename on one drive, where it replaces the file in one step.

// The partial name of a file: its path with kPartialSuffix.
constexpr const char16_t kPartialSuffix[] = u".cs-partial";
String PartialFileName(const String& path);

// Renames from over to (which may exist); with writeThrough the rename is on the disk before
// this returns. False with the system error set.
bool MoveIntoPlace(const String& from, const String& to, bool writeThrough);

// Flushes a file written through another handle to the disk. False with the system error set.
bool FlushFileToDisk(const String& path);

// Replaces the file with the bytes through its partial name, flushed to the disk before the
// rename. On failure the file is as it was, the partial file is gone and the system error is
// set.
bool WriteWholeFileDurably(const String& path, std::string_view bytes);

} // namespace cs
