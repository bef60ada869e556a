// The rules of the registry entries that do not touch the system and that only the
// installation needs: the view of the product's registry work, the data of a value by its
// type, and the list as the uninstaller's "[Registry2]" records. The lines, key paths,
// numbers and actions, which the uninstaller reads too, are in uninstall/RegistryKeyPaths.h.
// docs/registry-entries.md describes them.
#pragma once

#include "core/Array.h"
#include "core/Folders.h"
#include "core/String.h"
#include "payload/Bytes.h"
#include "uninstall/RegistryKeyPaths.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace cs {

// Value types whose data are converted; every other type is written with empty data.
constexpr uint32_t kRegText = 1;           // REG_SZ
constexpr uint32_t kRegExpandableText = 2; // REG_EXPAND_SZ
constexpr uint32_t kRegBinary = 3;         // REG_BINARY
constexpr uint32_t kRegNumber = 4;         // REG_DWORD
constexpr uint32_t kRegNumber64 = 11;      // REG_QWORD

// The view of the product's registry work: the 64-bit one for a 64-bit product (option
// word 2 bit 0x1), else the 32-bit one.
RegistryView ProductRegistryView(uint32_t optionWord2);

// ---- Data --------------------------------------------------------------------------------

// A value's data as stored: UTF-16LE with its terminating NUL.
Bytes RegistryTextBytes(const String& text);

struct RegistryData {
    bool valid = true; // false: number data that is not a number (nothing is written)
    Bytes bytes;
};

// The data field (UTF-8) as the type stores it: REG_SZ the text with installer variables
// replaced by `expand`, REG_EXPAND_SZ the text as typed (both UTF-16LE with a NUL), REG_BINARY
// the hexadecimal digits' bytes or, when they are not pairs of hexadecimal digits, the text's
// own bytes as typed, REG_DWORD and REG_QWORD the number in 4 or 8 bytes (little-endian),
// every other type no bytes.
RegistryData ConvertRegistryData(uint32_t type, const String8& data,
                                 const std::function<void(String&)>& expand);

// ---- The merge file ----------------------------------------------------------------------

// The bytes of the temporary ".reg" file for a merge text: the text as stored, with the UTF-16
// byte-order mark put in front of UTF-16 text that has none (the registry editor takes UTF-16
// only behind its mark, and imports nothing from the same text without it). 8-bit text
// ("REGEDIT4") and text that has its mark are left as they are.
String8 MergeFileBytes(const String8& text);

// A key that a merge text's section names: "[KEY]" is written, "[-KEY]" removed.
struct MergeKey {
    String path;
    RegistryKeyPath key;
    bool removed = false;
};
// The keys of the merge text's sections, in order; a section whose root is unknown is left
// out. 8-bit text is read as code page 1252, as the registry editor reads it.
Array<MergeKey> MergeFileKeys(const String8& text);

// ---- The list for the uninstaller --------------------------------------------------------

// Appends one line of fields in the CSV form, with "\r\n".
void AppendRegistryLine(String8& list, const Array<String8>& fields);

// The list as "[Registry2]" records: every key and value line as one CSV record of its
// fields, ended by "\r\n"; blank and illegal lines are left out.
String8 RegistryUndoRecords(std::string_view list);

} // namespace cs
