// The registry module against the running system's registry: every value type through set,
// read and delete in each view, long and unterminated texts, expansion, listings, tree
// removal and the error codes left behind. Each test program works under a key of its own,
// HKCU (and, where it may write there, HKLM) "Software\Corvantis Tests\<program>-<process>",
// removed at the end, so programs running at once in one prefix never meet.
#include "core/RegistryWin32.h"
#include "core/Format.h"
#include "core/ModulePathWin32.h"
#include "core/OsInfo.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

using namespace cs;
using namespace std::string_literals;

namespace {

constexpr wchar_t kTestsKey[] = L"Software\\Corvantis Tests";

const String& OwnKeyPath() {
    static const String path = [] {
        String program = ModuleFullPath();
        String name = program.Sub(program.View().find_last_of(u'\\') + 1);
        if (name.Length() > 4) name.Truncate(name.Length() - 4); // ".exe"
        return Format(u"%s\\%s-%u", FromW(kTestsKey), name, GetCurrentProcessId());
    }();
    return path;
}

// Removal with the system's own calls, so it does not depend on what is tested here.
void RemoveOwnKey(HKEY root, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExW(root, W(OwnKeyPath()), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(root, W(OwnKeyPath()), view, 0);
    }
    // The shared parent goes only once no other program's key is in it.
    RegDeleteKeyExW(root, kTestsKey, view, 0);
}

class OwnKeysRemoved : public testing::Environment {
  public:
    void TearDown() override {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                RemoveOwnKey(root, view);
    }
};
[[maybe_unused]] const testing::Environment* const kOwnKeysRemoved =
    testing::AddGlobalTestEnvironment(new OwnKeysRemoved);

constexpr RegistryView kViews[] = {RegistryView::Default, RegistryView::Bits32, RegistryView::Bits64};

const char* ViewName(RegistryView view) {
    return view == RegistryView::Default ? "default" : view == RegistryView::Bits32 ? "32-bit" : "64-bit";
}

const char* RootName(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU";
}

// Whether a value written in one view is seen in the other. HKCU\Software is one key for
// both views; under HKLM\Software a 64-bit Windows keeps two, and the default view is the
// one a 32-bit program sees.
bool SameStore(HKEY root, RegistryView a, RegistryView b) {
    if (root == HKEY_CURRENT_USER || !CurrentOsRecord().is64BitWindows) return true;
    auto bits = [](RegistryView view) { return view == RegistryView::Bits64 ? 64 : 32; };
    return bits(a) == bits(b);
}

std::vector<uint8_t> BytesOf(std::u16string_view text) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return std::vector<uint8_t>(bytes, bytes + text.size() * sizeof(char16_t));
}

std::vector<uint8_t> LittleEndian(uint64_t number, int size) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(number >> (8 * i)));
    return bytes;
}

std::u16string Std(const String& s) {
    return std::u16string(s.View());
}

std::vector<std::u16string> Strings(const Array<String>& array) {
    std::vector<std::u16string> strings;
    for (const String& s : array)
        strings.push_back(Std(s));
    return strings;
}

Array<String> ArrayOf(const std::vector<std::u16string>& strings) {
    Array<String> array;
    for (const std::u16string& s : strings)
        array.Append(String(s.data(), s.size()));
    return array;
}

std::set<std::u16string> Sorted(const Array<String>& array) {
    std::set<std::u16string> set;
    for (const String& s : array)
        set.insert(Std(s));
    return set;
}

DWORD Error() {
    return GetLastError();
}

// A key of the test's own under this program's key.
class RegistryOnSystem : public testing::Test {
  protected:
    void SetUp() override {
        path_ = OwnKeyPath() + u"\\" + Widen(testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // The test's key (or a subkey of it) under root in the view, made when missing.
    RegistryKey Make(HKEY root, RegistryView view, const String& sub = u"") {
        RegistryKey key;
        EXPECT_TRUE(key.Create(root, Sub(sub), view, KEY_ALL_ACCESS)) << Error();
        return key;
    }
    RegistryKey Make(const String& sub = u"") { return Make(HKEY_CURRENT_USER, RegistryView::Default, sub); }
    String Sub(const String& sub) const { return sub.IsEmpty() ? path_ : path_ + u"\\" + sub; }

    // HKCU, and HKLM where this program may write there.
    std::vector<HKEY> WritableRoots() {
        std::vector<HKEY> roots{HKEY_CURRENT_USER};
        RegistryKey probe;
        if (probe.Create(HKEY_LOCAL_MACHINE, path_, RegistryView::Default, KEY_ALL_ACCESS))
            roots.push_back(HKEY_LOCAL_MACHINE);
        else
            std::printf("HKLM is not writable here (error %lu): checked under HKCU only\n", Error());
        return roots;
    }

    bool Finds(HKEY root, RegistryView view, const String& name) {
        RegistryKey key;
        RegistryValue value;
        return key.Open(root, path_, view, KEY_QUERY_VALUE) && key.Read(name, value);
    }

    String path_;
};

// One value type: how it is written, the type and bytes the system then holds, and the typed
// read that must give it back.
struct ValueCase {
    const char* what;
    std::function<bool(const RegistryKey&, const String&)> set;
    DWORD type;
    std::vector<uint8_t> stored;
    std::function<void(const RegistryKey&, const String&)> readBack;
};

std::vector<ValueCase> ValueCases() {
    static const String text = u"Gr\u00fc\u00dfe aus Corvantis \u20ac";
    static const String expandable = u"%SystemRoot%\\Corvantis";
    static const std::vector<std::u16string> list{u"one", u"", u"three"};
    static const std::vector<uint8_t> bytes{0x00, 0x01, 0x7f, 0x80, 0xff, 0x00};
    auto checkText = [](const String& expected, DWORD expectedType) {
        return [expected, expectedType](const RegistryKey& key, const String& name) {
            String read = u"untouched";
            DWORD type = REG_NONE;
            EXPECT_TRUE(key.ReadText(name, read, kRegistryTextAsStored, &type)) << Error();
            EXPECT_EQ(read, expected);
            EXPECT_EQ(type, expectedType);
        };
    };
    return {
        {"text", [](const RegistryKey& k, const String& n) { return k.SetText(n, text); }, REG_SZ,
         BytesOf(Std(text) + u'\0'), checkText(text, REG_SZ)},
        {"empty text", [](const RegistryKey& k, const String& n) { return k.SetText(n, u""); }, REG_SZ,
         BytesOf(u"\0"s), checkText(u"", REG_SZ)},
        {"expandable text",
         [](const RegistryKey& k, const String& n) { return k.SetExpandableText(n, expandable); },
         REG_EXPAND_SZ, BytesOf(Std(expandable) + u'\0'), checkText(expandable, REG_EXPAND_SZ)},
        {"dword", [](const RegistryKey& k, const String& n) { return k.SetDword(n, 0xDEADBEEFu); }, REG_DWORD,
         LittleEndian(0xDEADBEEFu, 4),
         [](const RegistryKey& k, const String& n) {
             uint32_t number = 0;
             EXPECT_TRUE(k.ReadDword(n, number)) << Error();
             EXPECT_EQ(number, 0xDEADBEEFu);
         }},
        {"qword", [](const RegistryKey& k, const String& n) { return k.SetQword(n, 0x0123456789ABCDEFull); },
         REG_QWORD, LittleEndian(0x0123456789ABCDEFull, 8),
         [](const RegistryKey& k, const String& n) {
             uint64_t number = 0;
             EXPECT_TRUE(k.ReadQword(n, number)) << Error();
             EXPECT_EQ(number, 0x0123456789ABCDEFull);
         }},
        {"multi-string",
         [](const RegistryKey& k, const String& n) { return k.SetMultiString(n, ArrayOf(list)); },
         REG_MULTI_SZ, BytesOf(u"one\0\0three\0\0"s),
         [](const RegistryKey& k, const String& n) {
             Array<String> read;
             EXPECT_TRUE(k.ReadMultiString(n, read)) << Error();
             EXPECT_EQ(Strings(read), list);
         }},
        {"empty multi-string", [](const RegistryKey& k, const String& n) { return k.SetMultiString(n, {}); },
         REG_MULTI_SZ, BytesOf(u"\0"s),
         [](const RegistryKey& k, const String& n) {
             Array<String> read{u"stale"};
             EXPECT_TRUE(k.ReadMultiString(n, read)) << Error();
             EXPECT_TRUE(read.IsEmpty());
         }},
        {"bytes",
         [](const RegistryKey& k, const String& n) { return k.SetBytes(n, bytes.data(), bytes.size()); },
         REG_BINARY, bytes, [](const RegistryKey&, const String&) {}},
        {"no bytes",
         [](const RegistryKey& k, const String& n) { return k.SetBytes(n, nullptr, 0); },
         REG_BINARY,
         {},
         [](const RegistryKey&, const String&) {}},
        {"bytes of a type of their own",
         [](const RegistryKey& k, const String& n) { return k.SetBytes(n, bytes.data(), 3, 0x4321); }, 0x4321,
         std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3), [](const RegistryKey&, const String&) {}},
    };
}

} // namespace

TEST_F(RegistryOnSystem, EveryTypeRoundTripsInEveryView) {
    for (HKEY root : WritableRoots()) {
        for (RegistryView view : kViews) {
            RegistryKey writer = Make(root, view);
            for (const ValueCase& c : ValueCases()) {
                SCOPED_TRACE(std::string(RootName(root)) + ", " + ViewName(view) + " view, " + c.what);
                String name = Widen(c.what) + u" (" + Widen(ViewName(view)) + u")";
                SetLastError(ERROR_GEN_FAILURE);
                ASSERT_TRUE(c.set(writer, name)) << Error();
                EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SUCCESS));

                RegistryKey reader;
                ASSERT_TRUE(reader.Open(root, path_, view, KEY_QUERY_VALUE)) << Error();
                RegistryValue value;
                SetLastError(ERROR_GEN_FAILURE);
                ASSERT_TRUE(reader.Read(name, value)) << Error();
                EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SUCCESS));
                EXPECT_EQ(value.type, c.type);
                EXPECT_EQ(value.data, c.stored);
                c.readBack(reader, name);
                for (RegistryView other : kViews)
                    EXPECT_EQ(Finds(root, other, name), SameStore(root, view, other))
                        << "seen in the " << ViewName(other) << " view";

                ASSERT_TRUE(writer.DeleteValue(name)) << Error();
                EXPECT_FALSE(reader.Read(name, value));
                EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            }
        }
    }
}

TEST_F(RegistryOnSystem, DefaultViewIsTheOneA32BitProgramSees) {
    if (!CurrentOsRecord().is64BitWindows) GTEST_SKIP() << "one view only on 32-bit Windows";
    RegistryKey probe;
    if (!probe.Create(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits64, KEY_ALL_ACCESS))
        GTEST_SKIP() << "HKLM is not writable here: " << Error();
    ASSERT_TRUE(probe.SetText(u"Where", u"64-bit"));
    RegistryKey byDefault = Make(HKEY_LOCAL_MACHINE, RegistryView::Default);
    ASSERT_TRUE(byDefault.SetText(u"Where", u"default"));

    String where;
    RegistryKey view32;
    ASSERT_TRUE(view32.Open(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits32, KEY_QUERY_VALUE));
    EXPECT_TRUE(view32.ReadText(u"Where", where));
    EXPECT_EQ(where, u"default");
    EXPECT_TRUE(probe.ReadText(u"Where", where));
    EXPECT_EQ(where, u"64-bit");

    // A tree removed in one view leaves the other view's tree alone.
    ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits64)) << Error();
    RegistryKey check;
    EXPECT_FALSE(check.Open(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits64, KEY_QUERY_VALUE));
    ASSERT_TRUE(check.Open(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits32, KEY_QUERY_VALUE));
    EXPECT_TRUE(check.ReadText(u"Where", where));
    EXPECT_EQ(where, u"default");
    ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, path_, RegistryView::Default)) << Error();
    EXPECT_FALSE(check.Open(HKEY_LOCAL_MACHINE, path_, RegistryView::Bits32, KEY_QUERY_VALUE));
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryOnSystem, LongTextIsReadWhole) {
    RegistryKey key = Make();
    for (size_t length : {size_t(4097), size_t(70000)}) {
        SCOPED_TRACE(length);
        String text;
        for (size_t i = 0; text.Length() < length; ++i)
            text += static_cast<char16_t>(u'a' + i % 26);
        ASSERT_TRUE(key.SetText(u"Long", text));
        String read;
        ASSERT_TRUE(key.ReadText(u"Long", read)) << Error();
        EXPECT_EQ(read.Length(), length);
        EXPECT_EQ(read, text);
        String8 ansi;
        ASSERT_TRUE(key.ReadAnsiText(u"Long", ansi)) << Error();
        EXPECT_EQ(ansi, NarrowLatin1(text));
        RegistryValue value;
        ASSERT_TRUE(key.Read(u"Long", value));
        EXPECT_EQ(value.data.size(), (length + 1) * sizeof(char16_t));
    }
}

namespace {

// A stored text value and what ReadText makes of it.
struct TextCase {
    const char* what;
    DWORD type;
    std::u16string stored;
    unsigned options;
    std::u16string expected;
};

const std::u16string kShortVariable = u"C:\\From the environment";

std::u16string LongVariable() {
    std::u16string value = u"C:\\";
    while (value.size() < 6000)
        value += u"folder\\";
    return value;
}

} // namespace

TEST_F(RegistryOnSystem, TextWithOrWithoutNulsAndExpansion) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"CS_REGISTRY_TEST",
                                        reinterpret_cast<const wchar_t*>(kShortVariable.c_str())));
    const std::u16string longValue = LongVariable();
    ASSERT_TRUE(SetEnvironmentVariableW(L"CS_REGISTRY_TEST_LONG",
                                        reinterpret_cast<const wchar_t*>(longValue.c_str())));
    const unsigned expand = kRegistryTextExpand, firstNul = kRegistryTextFirstNul;
    const TextCase cases[] = {
        {"terminated", REG_SZ, u"abc\0"s, 0, u"abc"},
        {"no terminator", REG_SZ, u"abc", 0, u"abc"},
        {"no terminator, to the first NUL", REG_SZ, u"abc", firstNul, u"abc"},
        {"several terminators", REG_SZ, u"abc\0\0\0"s, 0, u"abc"},
        {"inner NUL kept", REG_SZ, u"ab\0cd\0"s, 0, u"ab\0cd"s},
        {"inner NUL ends the text", REG_SZ, u"ab\0cd\0"s, firstNul, u"ab"},
        {"no characters", REG_SZ, u"", 0, u""},
        {"expandable as stored", REG_EXPAND_SZ, u"%CS_REGISTRY_TEST%\\x\0"s, 0, u"%CS_REGISTRY_TEST%\\x"},
        {"expandable expanded", REG_EXPAND_SZ, u"%CS_REGISTRY_TEST%\\x\0"s, expand, kShortVariable + u"\\x"},
        {"expandable without terminator", REG_EXPAND_SZ, u"<%CS_REGISTRY_TEST%>", expand,
         u"<" + kShortVariable + u">"},
        {"expandable, long result", REG_EXPAND_SZ, u"%CS_REGISTRY_TEST_LONG%|%CS_REGISTRY_TEST%\0"s, expand,
         longValue + u"|" + kShortVariable},
        {"unknown variable stays", REG_EXPAND_SZ, u"%CS_REGISTRY_NO_SUCH_VARIABLE%\0"s, expand,
         u"%CS_REGISTRY_NO_SUCH_VARIABLE%"},
        {"plain text is never expanded", REG_SZ, u"%CS_REGISTRY_TEST%\0"s, expand, u"%CS_REGISTRY_TEST%"},
    };
    RegistryKey key = Make();
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key.SetBytes(u"Text", c.stored.data(), c.stored.size() * sizeof(char16_t), c.type));
        String read = u"untouched";
        DWORD type = REG_NONE;
        ASSERT_TRUE(key.ReadText(u"Text", read, c.options, &type)) << Error();
        EXPECT_EQ(Std(read), c.expected);
        EXPECT_EQ(type, c.type);
    }
    SetEnvironmentVariableW(L"CS_REGISTRY_TEST", nullptr);
    SetEnvironmentVariableW(L"CS_REGISTRY_TEST_LONG", nullptr);
}

TEST_F(RegistryOnSystem, AnsiTextGoesThroughTheAnsiCodePage) {
    const struct {
        const char* what;
        DWORD type;
        std::u16string stored;
        std::u16string expected; // before the conversion to the ANSI code page
    } cases[] = {
        {"terminated", REG_SZ, u"abc\0"s, u"abc"},
        {"no terminator", REG_SZ, u"abc", u"abc"},
        {"expandable, as stored", REG_EXPAND_SZ, u"%SystemRoot%\\x\0"s, u"%SystemRoot%\\x"},
        {"beyond ASCII", REG_SZ, u"Gr\u00fc\u00dfe \u00e9t\u00e9\0"s, u"Gr\u00fc\u00dfe \u00e9t\u00e9"},
    };
    RegistryKey key = Make();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key.SetBytes(u"Ansi", c.stored.data(), c.stored.size() * sizeof(char16_t), c.type));
        String8 read;
        ASSERT_TRUE(key.ReadAnsiText(u"Ansi", read)) << Error();
        EXPECT_EQ(read, ToCodePage(String(c.expected.data(), c.expected.size()), kCodePageAnsi));
    }
}

// Written through the 8-bit interface, a text is stored as the ANSI code page gives it back
// in UTF-16: characters the code page has arrive as they are, others as "?".
TEST_F(RegistryOnSystem, AnsiTextIsWrittenThroughTheAnsiCodePage) {
    RegistryKey key = Make();
    for (const String& text : {String(u"5.12.1"), String(u"Gr\u00fc\u00dfe"), String(u"\u4e2d")}) {
        ASSERT_TRUE(key.SetAnsiText(u"Written \u00e9", text)) << Error();
        RegistryValue value;
        ASSERT_TRUE(key.Read(u"Written \u00e9", value)) << Error();
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        String read;
        ASSERT_TRUE(key.ReadText(u"Written \u00e9", read));
        EXPECT_EQ(read, FromCodePage(ToCodePage(text, kCodePageAnsi).View(), kCodePageAnsi));
    }
}

TEST(RegistryMultiString, StoredFormsSplit) {
    const struct {
        const char* what;
        std::u16string stored;
        std::vector<std::u16string> expected;
    } cases[] = {
        {"closed list", u"a\0b\0\0"s, {u"a", u"b"}},
        {"last string terminated, list not closed", u"a\0b\0"s, {u"a", u"b"}},
        {"no terminators", u"a\0b"s, {u"a", u"b"}},
        {"empty strings inside", u"a\0\0b\0\0"s, {u"a", u"", u"b"}},
        {"empty string last", u"a\0\0\0"s, {u"a", u""}},
        {"empty list", u"\0"s, {}},
        {"no data", u"", {}},
        {"one empty string", u"\0\0"s, {u""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Strings(SplitMultiString(BytesOf(c.stored))), c.expected);
    }
}

TEST_F(RegistryOnSystem, MultiStringsRoundTripAndForeignFormsRead) {
    RegistryKey key = Make();
    const std::vector<std::vector<std::u16string>> lists{
        {}, {u""}, {u"single"}, {u"a", u"", u"b"}, {u"a", u"b", u""}, {u"", u""}};
    for (const auto& list : lists) {
        ASSERT_TRUE(key.SetMultiString(u"List", ArrayOf(list)));
        Array<String> read;
        ASSERT_TRUE(key.ReadMultiString(u"List", read)) << Error();
        EXPECT_EQ(Strings(read), list);
    }
    const std::u16string unterminated = u"first\0second"s;
    ASSERT_TRUE(key.SetBytes(u"List", unterminated.data(), unterminated.size() * 2, REG_MULTI_SZ));
    Array<String> read;
    ASSERT_TRUE(key.ReadMultiString(u"List", read)) << Error();
    EXPECT_EQ(Strings(read), (std::vector<std::u16string>{u"first", u"second"}));
}

namespace {

// A value in memory that the query serves the way the registry does; grow() runs after the
// given call, between the size query and a read.
struct FakeValue {
    std::vector<uint8_t> data;
    int calls = 0;
    int growAfter = 0; // 0: never
    size_t growBy = 0;
    int growTimes = 1;

    RegistryQuery Query() {
        return [this](DWORD* type, BYTE* out, DWORD* size) -> LONG {
            ++calls;
            *type = REG_BINARY;
            LONG r = ERROR_SUCCESS;
            if (!out) {
                *size = static_cast<DWORD>(data.size());
            } else if (*size < data.size()) {
                *size = static_cast<DWORD>(data.size());
                r = ERROR_MORE_DATA;
            } else {
                std::memcpy(out, data.data(), data.size());
                *size = static_cast<DWORD>(data.size());
            }
            if (growAfter && calls >= growAfter && growTimes-- > 0)
                for (size_t i = 0; i < growBy; ++i)
                    data.push_back(static_cast<uint8_t>(data.size()));
            return r;
        };
    }
};

} // namespace

TEST(RegistryWholeRead, ValueThatGrowsBetweenSizeAndReadIsReadAgain) {
    FakeValue fake;
    fake.data.assign(10, 0x11);
    fake.growAfter = 1; // grows right after the size query
    fake.growBy = 300;
    RegistryValue value;
    ASSERT_EQ(QueryWholeValue(fake.Query(), value), ERROR_SUCCESS);
    EXPECT_EQ(value.data, fake.data);
    EXPECT_EQ(value.data.size(), 310u);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_GE(fake.calls, 3);

    FakeValue endless;
    endless.data.assign(4, 0x22);
    endless.growAfter = 1;
    endless.growBy = 100000;
    endless.growTimes = 1000;
    RegistryValue kept;
    kept.data = {1, 2, 3};
    EXPECT_EQ(QueryWholeValue(endless.Query(), kept), ERROR_MORE_DATA);
    EXPECT_EQ(kept.data, (std::vector<uint8_t>{1, 2, 3})) << "a failed read leaves the value alone";

    RegistryValue missing;
    EXPECT_EQ(QueryWholeValue([](DWORD*, BYTE*, DWORD*) -> LONG { return ERROR_FILE_NOT_FOUND; }, missing),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryOnSystem, SubkeysAndValuesAreListed) {
    RegistryKey key = Make();
    Array<String> names{u"stale"};
    ASSERT_TRUE(key.SubkeyNames(names)) << Error();
    EXPECT_TRUE(names.IsEmpty());
    names = {u"stale"};
    ASSERT_TRUE(key.ValueNames(names)) << Error();
    EXPECT_TRUE(names.IsEmpty());

    const String longKey(std::u16string(200, u'k').c_str());
    const String longValue(std::u16string(1000, u'v').c_str());
    const std::set<std::u16string> subkeys{u"Alpha", u"Beta \u00e9", Std(longKey)};
    const std::set<std::u16string> values{u"", u"One", u"Zwei \u00fc", Std(longValue)};
    for (const std::u16string& s : subkeys)
        Make(String(s.c_str()));
    Make(u"Alpha\\Nested"); // below a subkey: not listed here
    for (const std::u16string& v : values)
        ASSERT_TRUE(key.SetDword(String(v.c_str()), 1));

    ASSERT_TRUE(key.SubkeyNames(names)) << Error();
    EXPECT_EQ(names.Count(), 3);
    EXPECT_EQ(Sorted(names), subkeys);
    ASSERT_TRUE(key.ValueNames(names)) << Error();
    EXPECT_EQ(names.Count(), 4);
    EXPECT_EQ(Sorted(names), values);
}

namespace {
using TreeDeletion = bool (*)(HKEY, const String&, RegistryView);
const struct {
    const char* what;
    TreeDeletion remove;
} kTreeDeletions[] = {{"RegDeleteTreeW", DeleteRegistryTree}, {"walking", DeleteRegistryTreeWalking}};
} // namespace

TEST_F(RegistryOnSystem, TreeIsRemovedWithEverythingBelow) {
    for (const auto& d : kTreeDeletions) {
        SCOPED_TRACE(d.what);
        for (const char16_t* sub : {u"Tree\\a\\b\\c", u"Tree\\a\\d", u"Tree\\e", u"Sibling"}) {
            RegistryKey key = Make(sub);
            ASSERT_TRUE(key.SetText(u"Value", sub));
            ASSERT_TRUE(key.SetText(u"", u"default"));
        }
        ASSERT_TRUE(Make(u"Tree").SetDword(u"Top", 1));

        SetLastError(ERROR_GEN_FAILURE);
        ASSERT_TRUE(d.remove(HKEY_CURRENT_USER, Sub(u"Tree"), RegistryView::Default)) << Error();
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_SUCCESS));
        RegistryKey check;
        EXPECT_FALSE(check.Open(HKEY_CURRENT_USER, Sub(u"Tree"), RegistryView::Default, KEY_QUERY_VALUE));
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        ASSERT_TRUE(check.Open(HKEY_CURRENT_USER, Sub(u"Sibling"), RegistryView::Default, KEY_QUERY_VALUE));
        String text;
        EXPECT_TRUE(check.ReadText(u"Value", text));
        EXPECT_EQ(text, u"Sibling");

        // A key path that names nothing below the root is refused, never the root emptied.
        RegistryKey own = Make();
        EXPECT_FALSE(d.remove(own.Handle(), u"", RegistryView::Default));
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_FALSE(d.remove(own.Handle(), u"\\", RegistryView::Default));
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_TRUE(check.Open(HKEY_CURRENT_USER, Sub(u"Sibling"), RegistryView::Default, KEY_QUERY_VALUE));

        EXPECT_FALSE(d.remove(HKEY_CURRENT_USER, Sub(u"Tree"), RegistryView::Default));
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(RegistryOnSystem, FailuresLeaveTheSystemErrorCode) {
    RegistryKey key = Make();
    ASSERT_TRUE(key.SetText(u"Text", u"text"));
    ASSERT_TRUE(key.SetDword(u"Dword", 5));
    const uint16_t shortNumber = 5;
    ASSERT_TRUE(key.SetBytes(u"Short dword", &shortNumber, sizeof shortNumber, REG_DWORD));
    ASSERT_TRUE(key.SetBytes(u"Short qword", &shortNumber, sizeof shortNumber, REG_QWORD));
    const RegistryKey closed;

    String text = u"untouched";
    String8 ansi = "untouched";
    uint32_t dword = 77;
    uint64_t qword = 77;
    Array<String> strings{u"untouched"};
    RegistryValue value;
    value.type = 0x77;
    const struct {
        const char* what;
        std::function<bool()> call;
        DWORD error;
    } cases[] = {
        {"open a missing key",
         [&] {
             RegistryKey k;
             return k.Open(HKEY_CURRENT_USER, Sub(u"Missing"), RegistryView::Default, KEY_READ);
         },
         ERROR_FILE_NOT_FOUND},
        {"open below a missing key in the 64-bit view",
         [&] {
             RegistryKey k;
             return k.Open(HKEY_CURRENT_USER, Sub(u"Missing\\Deeper"), RegistryView::Bits64, KEY_READ);
         },
         ERROR_FILE_NOT_FOUND},
        {"read a missing value", [&] { return key.Read(u"Missing", value); }, ERROR_FILE_NOT_FOUND},
        {"text of a missing value", [&] { return key.ReadText(u"Missing", text); }, ERROR_FILE_NOT_FOUND},
        {"ANSI text of a missing value", [&] { return key.ReadAnsiText(u"Missing", ansi); },
         ERROR_FILE_NOT_FOUND},
        {"text of a number", [&] { return key.ReadText(u"Dword", text); }, ERROR_UNSUPPORTED_TYPE},
        {"ANSI text of a number", [&] { return key.ReadAnsiText(u"Dword", ansi); }, ERROR_UNSUPPORTED_TYPE},
        {"dword of a text", [&] { return key.ReadDword(u"Text", dword); }, ERROR_UNSUPPORTED_TYPE},
        {"dword of two bytes", [&] { return key.ReadDword(u"Short dword", dword); }, ERROR_INVALID_DATA},
        {"qword of a dword", [&] { return key.ReadQword(u"Dword", qword); }, ERROR_UNSUPPORTED_TYPE},
        {"qword of two bytes", [&] { return key.ReadQword(u"Short qword", qword); }, ERROR_INVALID_DATA},
        {"strings of a text", [&] { return key.ReadMultiString(u"Text", strings); }, ERROR_UNSUPPORTED_TYPE},
        {"delete a missing value", [&] { return key.DeleteValue(u"Missing"); }, ERROR_FILE_NOT_FOUND},
        {"write through a closed key", [&] { return closed.SetText(u"x", u"y"); }, ERROR_INVALID_HANDLE},
        {"read through a closed key", [&] { return closed.Read(u"x", value); }, ERROR_INVALID_HANDLE},
        {"list through a closed key", [&] { return closed.SubkeyNames(strings); }, ERROR_INVALID_HANDLE},
        {"list values through a closed key", [&] { return closed.ValueNames(strings); },
         ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_GEN_FAILURE);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(Error(), c.error);
    }
    EXPECT_EQ(text, u"untouched");
    EXPECT_EQ(ansi, "untouched");
    EXPECT_EQ(dword, 77u);
    EXPECT_EQ(qword, 77u);
    EXPECT_EQ(Strings(strings), std::vector<std::u16string>{u"untouched"});
    EXPECT_EQ(value.type, 0x77u);

    RegistryKey failed = Make();
    EXPECT_FALSE(failed.Open(HKEY_CURRENT_USER, Sub(u"Missing"), RegistryView::Default, KEY_READ));
    EXPECT_FALSE(failed.IsOpen()) << "a failed open leaves the key closed";
}

TEST_F(RegistryOnSystem, CreateTellsWhetherTheKeyIsNew) {
    RegistryKey key;
    bool created = false;
    ASSERT_TRUE(
        key.Create(HKEY_CURRENT_USER, Sub(u"New\\Deeper"), RegistryView::Default, KEY_ALL_ACCESS, &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(
        key.Create(HKEY_CURRENT_USER, Sub(u"New\\Deeper"), RegistryView::Default, KEY_ALL_ACCESS, &created));
    EXPECT_FALSE(created);
    EXPECT_TRUE(key.IsOpen());
    key.Close();
    EXPECT_FALSE(key.IsOpen());
}
