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
// copy; its position is remembered and restored for every attempt) or, when `memory` is
// set, from that block.
struct FileWrite {
    String destination;
    int64_t size = 0; // below 0: the corrupt-installer error, code 5
    void* source = nullptr;
    const uint8_t* memory = nullptr;
    DateValue date;              // month 0: no date; hour below 0: no time
    uint32_t attributes = ~0u;   // ~0u (-1): leave them as created
    bool existedBefore = false;  // the destination existed before this write
    uint32_t optionWord1 = 0;    // 0x800 replace in use, 0x80000 clear attributes on retry
};


// The three-attempt write and its fall-backs. Pumps window messages during long copies.
WriteOutcome WriteInstalledFile(const FileWrite& write, const String& failureWord);

// The existing file's version ("1.2.3.4", the resource's file version text with "," as
// ".", 8-bit), "" when it has none.
String8 FileVersionOf(const String& path);

// The existing file's last-write time in UTC as a date value; false when it cannot be read.
bool FileTimeOf(const String& path, DateValue& out);

} // namespace cs
