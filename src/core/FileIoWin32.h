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

} // namespace cs
