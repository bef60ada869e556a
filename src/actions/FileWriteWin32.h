// Writing one installed file on Windows: three attempts, then, for a file in use, the
// replacement at the next restart through a temporary file beside it; the attributes and
// the date the entry asks for; and the version resource of an existing file.
#pragma once

#include "actions/FileInstallation.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>

namespace cs {

// What one write needs. The data come from `source` (a file handle at the first byte to
// copy; its position is remembered and restored for every attempt, and on return it stands
// after the file's bytes whatever the outcome) or, when `memory` is set, from that block.
struct FileWrite {
    String destination;
    int64_t size = 0; // the caller raises the corrupt-installer error (code 5) for a size below 0
    void* source = nullptr;
    const uint8_t* memory = nullptr;
    DateValue date;             // month 0: no date; hour below 0: no time
    uint32_t attributes = ~0u;  // ~0u (-1): leave them as created
    bool existedBefore = false; // the destination existed before this write
    uint32_t optionWord1 = 0;   // 0x800 replace in use, 0x80000 clear attributes on retry
    bool flush = false;         // on the disk before the rename (the uninstaller's own files)
};

// The three-attempt write and its fall-backs (FileWrite.h holds their rules). Each attempt
// fills the destination's partial name and renames it over the destination, so a full disk
// or a killed installer never leaves a cut file under the real name (a file in use refuses
// the rename as it refused the overwrite). Pumps window
// messages during long copies. On success the entry's date is set (creation and last-write
// time, taken as UTC) before its attributes, so a read-only entry still gets its date. A size
// below 0 is refused without an attempt (ERROR_INVALID_DATA). The system's error code is
// left set: the last failure's, ERROR_BUSY for a replacement at the next restart.
WriteOutcome WriteInstalledFile(const FileWrite& write, const String& failureWord);

// The existing file's version ("1.2.3.4", the resource's file version text with "," as
// ".", 8-bit; the fixed version numbers when the resource has no text), "" when it has none.
String8 FileVersionOf(const String& path);

// The existing file's last-write time in UTC as a date value; false when it cannot be read.
bool FileTimeOf(const String& path, DateValue& out);

} // namespace cs
