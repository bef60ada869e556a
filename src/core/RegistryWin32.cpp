#include "core/RegistryWin32.h"

#include "core/BitnessWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"

#include <cstring>
#include <utility>

namespace cs {

namespace {

// A value that keeps growing between the size query and the read is asked for this often
// before the read gives up with ERROR_MORE_DATA.
constexpr int kQueryAttempts = 16;
// Name buffers of the listings grow up to this many characters (value names are limited to
// 16,383, key names to 255).
constexpr size_t kNameMaxChars = 65536;

// Calls that systems before Vista lack: looked up by name, so that the engine still starts there.
using RegDeleteTreeWFn = decltype(&RegDeleteTreeW);
using RegDeleteKeyExWFn = decltype(&RegDeleteKeyExW);

template <class Fn> Fn Advapi32Entry(const char* name) {
    return LibraryEntry<Fn>(GetModuleHandleW(L"advapi32.dll"), name);
}

bool Done(LONG result) {
    SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// The characters of a UTF-16 value: up to the first NUL, or all of them without the
// terminating NULs.
String CharactersOf(const std::vector<uint8_t>& data, bool toFirstNul) {
    size_t count = data.size() / sizeof(char16_t);
    const char16_t* chars = reinterpret_cast<const char16_t*>(data.data());
    size_t length = 0;
    if (toFirstNul) {
        while (length < count && chars[length] != 0)
            ++length;
    } else {
        length = count;
        while (length && chars[length - 1] == 0)
            --length;
    }
    return String(chars, length);
}

// %Name% references replaced by the environment's values, in a buffer that grows with the
// result.
bool ExpandEnvironment(const String& text, String& expanded) {
    std::vector<wchar_t> buffer(text.Length() + 64);
    for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD needed = ExpandEnvironmentStringsW(W(text), buffer.data(), size);
        if (needed == 0) return false;
        if (needed <= size) {
            expanded = FromW(buffer.data());
            return true;
        }
        buffer.assign(needed + 1, L'\0');
    }
    SetLastError(ERROR_MORE_DATA);
    return false;
}

LONG DeleteKeyOnly(HKEY root, const String& path, REGSAM view) {
    if (auto deleteKeyEx = Advapi32Entry<RegDeleteKeyExWFn>("RegDeleteKeyExW"))
        return deleteKeyEx(root, W(path), view, 0);
    return RegDeleteKeyW(root, W(path)); // systems with one view
}

// An empty path would name the root itself.
bool IsKeyPath(const String& path) {
    for (char16_t c : path)
        if (c != u'\\') return true;
    return false;
}

template <class Enumerate> LONG ListNames(DWORD longest, Enumerate enumerate, Array<String>& names) {
    size_t chars = static_cast<size_t>(longest) + 1;
    std::vector<wchar_t> buffer(chars < 256 ? 256 : chars);
    Array<String> found;
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LONG r = enumerate(index, buffer.data(), &length);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r == ERROR_MORE_DATA && buffer.size() < kNameMaxChars) {
            buffer.resize(buffer.size() * 2); // a longer name added meanwhile
            continue;
        }
        if (r != ERROR_SUCCESS) return r;
        found.Append(FromW(buffer.data(), length));
        ++index;
    }
    names = std::move(found);
    return ERROR_SUCCESS;
}

LONG SubkeyNamesOf(HKEY key, Array<String>& names) {
    DWORD longest = 0;
    LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) return r;
    return ListNames(
        longest,
        [key](DWORD index, wchar_t* name, DWORD* length) {
            return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
        },
        names);
}

LONG DeleteWalking(HKEY parent, const String& path, REGSAM view) {
    UniqueKey key;
    LONG r = RegOpenKeyExW(parent, W(path), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | view,
                           key.Put());
    if (r != ERROR_SUCCESS) {
        key.Release();
        return r;
    }
    Array<String> subkeys;
    r = SubkeyNamesOf(key.Get(), subkeys);
    if (r != ERROR_SUCCESS) return r;
    for (const String& subkey : subkeys) {
        r = DeleteWalking(key.Get(), subkey, view);
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return r; // one gone meanwhile is fine
    }
    key.Reset();
    return DeleteKeyOnly(parent, path, view);
}

} // namespace

HKEY RegistryRootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM RegistryViewFlag(RegistryView view) {
    switch (view) {
    case RegistryView::Bits32:
        return KEY_WOW64_32KEY;
    case RegistryView::Bits64:
        return KEY_WOW64_64KEY;
    default:
        return kEngineRegistryView;
    }
}

LONG QueryWholeValue(const RegistryQuery& query, RegistryValue& value) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG r = query(&type, nullptr, &size);
    for (int attempt = 0; r == ERROR_SUCCESS && attempt < kQueryAttempts; ++attempt) {
        // Room for a little growth; a value that grew more is asked for again at its new size.
        DWORD room = size <= MAXDWORD - 2 * sizeof(wchar_t) ? size + 2 * sizeof(wchar_t) : size;
        std::vector<uint8_t> data(room);
        DWORD got = room;
        r = query(&type, data.data(), &got);
        if (r == ERROR_SUCCESS) {
            data.resize(got < room ? got : room);
            value.type = type;
            value.data = std::move(data);
            return ERROR_SUCCESS;
        }
        if (r != ERROR_MORE_DATA) return r;
        // The size the failed read reported, or more room when it gave none.
        size = got > room ? got : room <= MAXDWORD / 2 ? room * 2 : MAXDWORD;
        r = ERROR_SUCCESS;
    }
    return r == ERROR_SUCCESS ? ERROR_MORE_DATA : r;
}

Array<String> SplitMultiString(const std::vector<uint8_t>& data) {
    Array<String> strings;
    size_t count = data.size() / sizeof(char16_t);
    const char16_t* chars = reinterpret_cast<const char16_t*>(data.data());
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
        if (i < count && chars[i] != 0) continue;
        if (i == count && start == count) break; // the data ended with a NUL
        strings.Append(String(chars + start, i - start));
        start = i + 1;
    }
    // The empty string after the last one ends the list.
    if (!strings.IsEmpty() && strings[strings.Count() - 1].IsEmpty() && count && chars[count - 1] == 0)
        strings.RemoveAt(strings.Count() - 1);
    return strings;
}

bool RegistryValueText(const RegistryValue& value, unsigned options, String& text) {
    if (!IsText(value.type)) return Done(ERROR_UNSUPPORTED_TYPE);
    String stored = CharactersOf(value.data, (options & kRegistryTextFirstNul) != 0);
    if ((options & kRegistryTextExpand) && value.type == REG_EXPAND_SZ) {
        String expanded;
        if (!ExpandEnvironment(stored, expanded)) return false;
        stored = std::move(expanded);
    }
    text = std::move(stored);
    return Done(ERROR_SUCCESS);
}

bool RegistryKey::Open(HKEY root, const String& path, RegistryView view, REGSAM access) {
    key_.Reset();
    LONG r = RegOpenKeyExW(root, W(path), 0, access | RegistryViewFlag(view), key_.Put());
    if (r != ERROR_SUCCESS) key_.Release(); // whatever the call left there is no key
    return Done(r);
}

bool RegistryKey::Create(HKEY root, const String& path, RegistryView view, REGSAM access, bool* created) {
    key_.Reset();
    DWORD disposition = 0;
    LONG r = RegCreateKeyExW(root, W(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             access | RegistryViewFlag(view), nullptr, key_.Put(), &disposition);
    if (r != ERROR_SUCCESS) key_.Release();
    if (r == ERROR_SUCCESS && created) *created = disposition == REG_CREATED_NEW_KEY;
    return Done(r);
}

bool RegistryKey::Read(const String& name, RegistryValue& value) const {
    HKEY key = key_.Get();
    RegistryValue read;
    LONG r = QueryWholeValue(
        [key, &name](DWORD* type, BYTE* data, DWORD* size) {
            return RegQueryValueExW(key, W(name), nullptr, type, data, size);
        },
        read);
    if (r == ERROR_SUCCESS) value = std::move(read);
    return Done(r);
}

bool RegistryKey::ReadText(const String& name, String& text, unsigned options, DWORD* type) const {
    RegistryValue value;
    if (!Read(name, value) || !RegistryValueText(value, options, text)) return false;
    if (type) *type = value.type;
    return true;
}

bool RegistryKey::ReadAnsiText(const String& name, String8& text) const {
    HKEY key = key_.Get();
    String8 narrowName = ToCodePage(name, kCodePageAnsi);
    RegistryValue value;
    LONG r = QueryWholeValue(
        [key, &narrowName](DWORD* type, BYTE* data, DWORD* size) {
            return RegQueryValueExA(key, narrowName.c_str(), nullptr, type, data, size);
        },
        value);
    if (r != ERROR_SUCCESS) return Done(r);
    if (!IsText(value.type)) return Done(ERROR_UNSUPPORTED_TYPE);
    size_t length = value.data.size();
    while (length && value.data[length - 1] == 0)
        --length;
    text.Assign(reinterpret_cast<const char*>(value.data.data()), length);
    return Done(ERROR_SUCCESS);
}

bool RegistryKey::ReadDword(const String& name, uint32_t& number) const {
    RegistryValue value;
    if (!Read(name, value)) return false;
    if (value.type != REG_DWORD) return Done(ERROR_UNSUPPORTED_TYPE);
    if (value.data.size() != sizeof number) return Done(ERROR_INVALID_DATA);
    std::memcpy(&number, value.data.data(), sizeof number);
    return Done(ERROR_SUCCESS);
}

bool RegistryKey::ReadQword(const String& name, uint64_t& number) const {
    RegistryValue value;
    if (!Read(name, value)) return false;
    if (value.type != REG_QWORD) return Done(ERROR_UNSUPPORTED_TYPE);
    if (value.data.size() != sizeof number) return Done(ERROR_INVALID_DATA);
    std::memcpy(&number, value.data.data(), sizeof number);
    return Done(ERROR_SUCCESS);
}

bool RegistryKey::ReadMultiString(const String& name, Array<String>& strings) const {
    RegistryValue value;
    if (!Read(name, value)) return false;
    if (value.type != REG_MULTI_SZ) return Done(ERROR_UNSUPPORTED_TYPE);
    strings = SplitMultiString(value.data);
    return Done(ERROR_SUCCESS);
}

bool RegistryKey::SetBytes(const String& name, const void* data, size_t size, DWORD type) const {
    if (size > MAXDWORD) return Done(ERROR_INVALID_PARAMETER);
    return Done(RegSetValueExW(key_.Get(), W(name), 0, type, static_cast<const BYTE*>(data),
                               static_cast<DWORD>(size)));
}

bool RegistryKey::SetText(const String& name, const String& text) const {
    return SetBytes(name, text.c_str(), (text.Length() + 1) * sizeof(char16_t), REG_SZ);
}

bool RegistryKey::SetExpandableText(const String& name, const String& text) const {
    return SetBytes(name, text.c_str(), (text.Length() + 1) * sizeof(char16_t), REG_EXPAND_SZ);
}

bool RegistryKey::SetAnsiText(const String& name, const String& text) const {
    String8 narrowName = ToCodePage(name, kCodePageAnsi), narrowText = ToCodePage(text, kCodePageAnsi);
    return Done(RegSetValueExA(key_.Get(), narrowName.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(narrowText.c_str()),
                               static_cast<DWORD>(narrowText.Length() + 1)));
}

bool RegistryKey::SetDword(const String& name, uint32_t number) const {
    return SetBytes(name, &number, sizeof number, REG_DWORD);
}

bool RegistryKey::SetQword(const String& name, uint64_t number) const {
    return SetBytes(name, &number, sizeof number, REG_QWORD);
}

bool RegistryKey::SetMultiString(const String& name, const Array<String>& strings) const {
    std::vector<char16_t> data;
    for (const String& s : strings) {
        data.insert(data.end(), s.begin(), s.end());
        data.push_back(0);
    }
    data.push_back(0);
    return SetBytes(name, data.data(), data.size() * sizeof(char16_t), REG_MULTI_SZ);
}

bool RegistryKey::DeleteValue(const String& name) const {
    return Done(RegDeleteValueW(key_.Get(), W(name)));
}

bool RegistryKey::SubkeyNames(Array<String>& names) const {
    return Done(SubkeyNamesOf(key_.Get(), names));
}

bool RegistryKey::ValueNames(Array<String>& names) const {
    HKEY key = key_.Get();
    DWORD longest = 0;
    LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                              nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) return Done(r);
    return Done(ListNames(
        longest,
        [key](DWORD index, wchar_t* name, DWORD* length) {
            return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
        },
        names));
}

bool DeleteRegistryTree(HKEY root, const String& path, RegistryView view) {
    if (!IsKeyPath(path)) return Done(ERROR_INVALID_PARAMETER);
    auto deleteTree = Advapi32Entry<RegDeleteTreeWFn>("RegDeleteTreeW");
    if (!deleteTree) return DeleteRegistryTreeWalking(root, path, view);
    REGSAM flag = RegistryViewFlag(view);
    UniqueKey key;
    LONG r =
        RegOpenKeyExW(root, W(path), 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | DELETE | flag, key.Put());
    if (r != ERROR_SUCCESS) {
        key.Release();
        return Done(r);
    }
    // The tree call keeps to the view of the key it is given; the key itself goes last.
    r = deleteTree(key.Get(), nullptr);
    key.Reset();
    if (r == ERROR_SUCCESS) r = DeleteKeyOnly(root, path, flag);
    return Done(r);
}

bool DeleteRegistryTreeWalking(HKEY root, const String& path, RegistryView view) {
    if (!IsKeyPath(path)) return Done(ERROR_INVALID_PARAMETER);
    return Done(DeleteWalking(root, path, RegistryViewFlag(view)));
}

} // namespace cs
