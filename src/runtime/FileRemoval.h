// Removing a file now or at the next restart, and replacing one at the next restart: the
// primitives that the batch runner, the extraction, the file installation and the
// uninstaller share. The restart mechanisms are the system's delayed move and, where that
// is missing, the "wininit.ini" rename list. This header holds the rules;
// FileRemovalWin32.h applies them to the system.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

// Options of DeleteFileEx.
constexpr uint32_t kDeleteKeepReadOnly = 0x1;       // do not clear the read-only attribute first
constexpr uint32_t kDeleteAtRestart = 0x2;          // schedule for the next restart instead
constexpr uint32_t kDeleteRestartOnFailure = 0x10;  // failing for another reason than not-found: schedule
constexpr uint32_t kDeleteToRecycleBin = 0x80;      // move to the Recycle Bin instead
constexpr uint32_t kDeleteOnlyEmpty = 0x100;        // only a file of size 0
constexpr uint32_t kDeleteMissingIsDeleted = 0x800; // a missing file or path counts as deleted

// The rename list ("wininit.ini").
constexpr const char16_t kRenameListFile[] = u"wininit.ini";

// The file's new text with the entry "name=path" first after "[rename]" (header found
// ignoring case; added at the end when missing). False for a name that is empty once
// leading blanks, tabs and line breaks are skipped.
bool AddRenameEntry(const String8& iniText, const String8& name, const String8& path, String8& out);

} // namespace cs
