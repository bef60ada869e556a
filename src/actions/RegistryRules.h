// The rules of the registry entries that do not touch the system: the lines of the registry
// list and their fields, the roots of key paths, the user hives that "\HKAU\" paths reach,
// the integer syntax of number data, the data of a value by its type, what each action does,
// and the list as the uninstaller's "[Registry2]" records. docs/registry-entries.md
// describes them.
#pragma once

#include "core/Array.h"
#include "core/Folders.h"
#include "core/String.h"
#include "payload/Bytes.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace cs {

// System error codes the registry step gives or tells apart.
constexpr uint32_t kErrorFileNotFound = 2;  // a key or value that is not there
constexpr uint32_t kErrorBadPathName = 161; // a key path without a known root

// Value types whose data are converted; every other type is written with empty data.
constexpr uint32_t kRegText = 1;           // REG_SZ
constexpr uint32_t kRegExpandableText = 2; // REG_EXPAND_SZ
constexpr uint32_t kRegBinary = 3;         // REG_BINARY
constexpr uint32_t kRegNumber = 4;         // REG_DWORD
constexpr uint32_t kRegNumber64 = 11;      // REG_QWORD

// ---- Registry list lines -----------------------------------------------------------------

// The lines of a list: split at line feeds, a carriage return before a line feed dropped.
Array<std::string_view> RegistryListLines(std::string_view list);

// The fields of one line (without its line end): separated by commas; spaces at the start of
// a field are skipped; a field that starts with a double quote runs to the closing quote, two
// double quotes inside it stand for one, and text after the closing quote up to the next
// comma belongs to the field; a quote that is never closed runs to the end of the line.
Array<String8> SplitRegistryLine(std::string_view line);

enum class RegistryLineKind {
    Blank,   // nothing but blanks: skipped
    Key,     // one field: a key to create
    Value,   // five fields: key path, value name, type, data, action
    Illegal, // any other field count, or a type or action that is not a number
};

struct RegistryLine {
    RegistryLineKind kind = RegistryLineKind::Blank;
    Array<String8> fields; // UTF-8 as in the list; a key line's one field trimmed
    uint32_t type = 0;     // value lines: the type and action fields' numbers
    uint32_t action = 0;
    const String8& Key() const { return fields[0]; }
    const String8& Name() const { return fields[1]; }
    const String8& Data() const { return fields[3]; }
};

RegistryLine ParseRegistryLine(std::string_view line);

// ---- Numbers -----------------------------------------------------------------------------

// The integer syntax of REG_DWORD and REG_QWORD data and of the type and action fields, for a
// number of `bits` (32 or 64): blanks (spaces, tabs) around it are ignored; an empty text is
// 0; an optional "+" or "-", then decimal digits, or "0x" / "0X" and hexadecimal digits. A
// negative number wraps to its two's complement ("-1" is 0xFFFFFFFF in 32 bits). The value
// must fit: decimal from -2^(bits-1) to 2^bits - 1, hexadecimal up to 2^bits - 1 (a negated
// one down to -2^(bits-1)). False for anything else, with value left as it was.
bool ParseRegistryInteger(std::string_view text, int bits, uint64_t& value);

// ---- Key paths ---------------------------------------------------------------------------

enum class RegistryHive { LocalMachine, CurrentUser, ClassesRoot, Users, CurrentConfig, DynData, AllUsers };

struct RegistryKeyPath {
    RegistryHive hive = RegistryHive::LocalMachine;
    String subkey; // below the root ("" for the root itself)
};

// The root of a key path, without regard to case and with or without one leading "\": the
// full name ("HKEY_LOCAL_MACHINE"), the short one ("HKLM"; HKEY_USERS has none) or the
// bracketed one ("\HKLM\", "\HKU\"), each followed by "\" or the end of the path (the
// bracketed spelling only by "\"); "\HKAU\" (all users) stands for every user hive. False for
// any other path: the system error 161.
bool ParseRegistryKeyPath(const String& path, RegistryKeyPath& out);

// Whether a hive loaded under HKEY_USERS is a user's: every hive except ".DEFAULT" and the
// service accounts' hives (S-1-5-18, S-1-5-19, S-1-5-20), and except the "..._Classes" hives
// that hold a user's file classes (case ignored).
bool IsUserHive(const String& name);

// The view of the product's registry work: the 64-bit one for a 64-bit product (option
// word 2 bit 0x1), else the 32-bit one.
RegistryView ProductRegistryView(uint32_t optionWord2);

// ---- Data --------------------------------------------------------------------------------

// A value's data as stored: UTF-16LE with its terminating NUL.
Bytes RegistryTextBytes(const String& text);

// Hexadecimal text as bytes: spaces removed, then each pair of digits one byte. False for an
// odd number of digits or a character that is not one.
bool HexToBytes(std::string_view text, Bytes& bytes);

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

// ---- Actions -----------------------------------------------------------------------------

// What an action (the line's fifth field) does at installation and at uninstallation:
// 1 write, 2 delete at uninstallation only, 3 write and delete at uninstallation, 4 delete,
// 5 delete at both, 6 write when missing, 7 write when missing and delete at uninstallation;
// any other number does nothing.
struct RegistryActionRules {
    bool deleteAtInstall = false;
    bool writeAtInstall = false;
    bool onlyWhenMissing = false; // an existing value is left as it is
    bool deleteAtUninstall = false;
};
RegistryActionRules RulesOfRegistryAction(uint32_t action);

// ---- The list for the uninstaller --------------------------------------------------------

// Appends one line of fields in the CSV form, with "\r\n".
void AppendRegistryLine(String8& list, const Array<String8>& fields);

// The list as "[Registry2]" records: every key and value line as one CSV record of its
// fields, ended by "\r\n"; blank and illegal lines are left out.
String8 RegistryUndoRecords(std::string_view list);

} // namespace cs
