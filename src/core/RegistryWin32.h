// The registry as the engine uses it: keys opened in a chosen view, values read whole at any
// length and of any type, values written, deleted and listed, and key trees removed.
//
// Every operation returns true on success and leaves the registry's result as the thread's
// last error (ERROR_SUCCESS included), so callers can log why a step failed. Reads that find
// a value of another type than they expect fail with ERROR_UNSUPPORTED_TYPE; a number stored
// with the wrong size fails with ERROR_INVALID_DATA.
#pragma once

#include "core/Array.h"
#include "core/BitnessWin32.h"
#include "core/Folders.h"
#include "core/HandleWin32.h"
#include "core/String.h"

#include <cstdint>
#include <functional>
#include <vector>

#include <windows.h>

namespace cs {

// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
HKEY RegistryRootKey(RegistryRoot root);

// The access flag of a view: Default is the view the 32-bit engine sees (kEngineRegistryView:
// the system's choice for the 32-bit engine, the 32-bit view for the 64-bit engine); Bits32
// and Bits64 ask for that view by name.
REGSAM RegistryViewFlag(RegistryView view);

// The view a call without a view flag gets: the process's own (the 64-bit engine's is the
// 64-bit view, which it names). For the keys the system shares between the views (the
// machine's "Environment", "Session Manager"), which both engines open as a plain call does.
constexpr RegistryView kOwnRegistryView = kEngineIs64Bit ? RegistryView::Bits64 : RegistryView::Default;

// A value as stored: its type (REG_SZ, REG_DWORD, ...) and its bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// How a text value (REG_SZ or REG_EXPAND_SZ) becomes text. By default the text is the stored
// characters with the terminating NULs removed (a value stored without one reads the same),
// and a REG_EXPAND_SZ value is left as stored.
enum RegistryTextOption : unsigned {
    kRegistryTextAsStored = 0,
    kRegistryTextExpand = 1u << 0,   // REG_EXPAND_SZ: %Name% references expanded
    kRegistryTextFirstNul = 1u << 1, // the text ends at its first NUL, as a C string would
};

// The text of a REG_SZ or REG_EXPAND_SZ value as read (RegistryTextOption flags); fails with
// ERROR_UNSUPPORTED_TYPE for other types, leaving text as it was.
bool RegistryValueText(const RegistryValue& value, unsigned options, String& text);

class RegistryKey {
  public:
    RegistryKey() = default;

    // Opens an existing key under root (a predefined key or an open one) in the view with
    // the access asked for (KEY_QUERY_VALUE, KEY_SET_VALUE, KEY_READ, ...).
    bool Open(HKEY root, const String& path, RegistryView view, REGSAM access);
    // Opens the key, making it and its missing parents first; created (when given) tells
    // whether the key is new.
    bool Create(HKEY root, const String& path, RegistryView view, REGSAM access, bool* created = nullptr);
    void Close() { key_.Reset(); }

    bool IsOpen() const { return key_.IsValid(); }
    HKEY Handle() const { return key_.Get(); }

    // The value's type and bytes, whole: a value that grows between the size query and the
    // read is asked for again. The empty name is the key's default value.
    bool Read(const String& name, RegistryValue& value) const;
    // A REG_SZ or REG_EXPAND_SZ value as text (RegistryTextOption flags); type, when given,
    // receives which of the two it is.
    bool ReadText(const String& name, String& text, unsigned options = kRegistryTextAsStored,
                  DWORD* type = nullptr) const;
    // A REG_SZ or REG_EXPAND_SZ value through the system's 8-bit interface: the system
    // converts it to the ANSI code page, the name is converted to it first. Terminating NULs
    // are removed; no expansion.
    bool ReadAnsiText(const String& name, String8& text) const;
    bool ReadDword(const String& name, uint32_t& number) const;
    bool ReadQword(const String& name, uint64_t& number) const;
    // A REG_MULTI_SZ value's strings, empty strings inside the list included; the empty
    // string that ends the list is not one of them.
    bool ReadMultiString(const String& name, Array<String>& strings) const;

    // Text values are written with their terminating NUL.
    bool SetText(const String& name, const String& text) const;
    bool SetExpandableText(const String& name, const String& text) const;
    // A REG_SZ value through the system's 8-bit interface: name and text are converted to the
    // ANSI code page (a character it lacks becomes "?") and the system stores the result.
    bool SetAnsiText(const String& name, const String& text) const;
    bool SetDword(const String& name, uint32_t number) const;
    bool SetQword(const String& name, uint64_t number) const;
    // Each string with its NUL, then the NUL that ends the list: an empty list is one NUL.
    bool SetMultiString(const String& name, const Array<String>& strings) const;
    // The bytes exactly as given, under any type.
    bool SetBytes(const String& name, const void* data, size_t size, DWORD type = REG_BINARY) const;

    bool DeleteValue(const String& name) const;

    // Names of the key's subkeys and of its values (the default value, when set, as ""), in
    // the order the system lists them.
    bool SubkeyNames(Array<String>& names) const;
    bool ValueNames(Array<String>& names) const;

  private:
    UniqueKey key_;
};

// Removes the key at path under root with all its subkeys and values, in the view asked for
// (RegDeleteTreeW on the key opened in that view, then the key itself).
bool DeleteRegistryTree(HKEY root, const String& path, RegistryView view);
// The same without RegDeleteTreeW, subkey by subkey: what DeleteRegistryTree does on systems
// that lack that call.
bool DeleteRegistryTreeWalking(HKEY root, const String& path, RegistryView view);

// One query of a value: its type and data into a buffer of *size bytes, or only its size when
// data is null; the registry's result (RegQueryValueExW and RegQueryValueExA have this form).
using RegistryQuery = std::function<LONG(DWORD* type, BYTE* data, DWORD* size)>;
// Reads a value whole through the query: the size first, then the data, asking again as long
// as the value has grown in between. The registry's result.
LONG QueryWholeValue(const RegistryQuery& query, RegistryValue& value);

// A REG_MULTI_SZ value's bytes as strings (see ReadMultiString); data without the closing
// NULs reads the same.
Array<String> SplitMultiString(const std::vector<uint8_t>& data);

} // namespace cs
