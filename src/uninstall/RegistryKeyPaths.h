// The registry rules that both the installation and the uninstaller read: the lines of the
// registry list (and of the "[Registry2]" records) and their fields, the integer syntax of
// number data, the roots of key paths, the user hives that "\HKAU\" paths reach, and what
// each action does at installation and at uninstallation. Portable; docs/registry-entries.md
// describes them.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "payload/Bytes.h"

#include <cstdint>
#include <string_view>

namespace cs {

// System error codes the registry step gives or tells apart.
constexpr uint32_t kErrorFileNotFound = 2;  // a key or value that is not there
constexpr uint32_t kErrorBadPathName = 161; // a key path without a known root

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

// Hexadecimal text as bytes: spaces removed, then each pair of digits one byte. False for an
// odd number of digits or a character that is not one.
bool HexToBytes(std::string_view text, Bytes& bytes);

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

} // namespace cs
