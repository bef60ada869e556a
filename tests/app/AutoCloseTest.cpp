#include "app/AutoClose.h"

#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

AutoCloseEntry Entry(const char16_t* cls, const char16_t* title, uint8_t passMask = 0x1) {
    AutoCloseEntry e;
    e.windowClass = cls;
    e.windowTitle = title;
    e.passMask = passMask;
    return e;
}

} // namespace

TEST(AutoClose, TextPatterns) {
    struct Case {
        const char16_t *pattern, *text;
        bool match;
    } cases[] = {
        {u"Notepad", u"Notepad", true},        {u"notepad", u"NOTEPAD", true},
        {u"Notepad", u"Notepad2", false},      {u"*pad", u"Notepad", true},
        {u"*Untitled", u"Untitled - Notepad", true}, {u"*xyz", u"Untitled - Notepad", false},
        {u"*", u"anything", true},             {u"Untitled", u"Untitled - Notepad", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowTextMatches(c.pattern, c.text), c.match)
            << ToUtf8(String(c.pattern)).c_str() << " / " << ToUtf8(String(c.text)).c_str();
}

TEST(AutoClose, EveryNamedPartMustMatch) {
    EXPECT_TRUE(WindowMatches(Entry(u"Notepad", u""), u"Notepad", u"Untitled - Notepad"));
    EXPECT_TRUE(WindowMatches(Entry(u"", u"*Notepad"), u"Other", u"Untitled - Notepad"));
    EXPECT_TRUE(WindowMatches(Entry(u"Notepad", u"*Untitled"), u"Notepad", u"Untitled - Notepad"));
    EXPECT_FALSE(WindowMatches(Entry(u"Notepad", u"*Report"), u"Notepad", u"Untitled - Notepad"));
    EXPECT_FALSE(WindowMatches(Entry(u"", u""), u"", u"")) << "an entry naming nothing matches nothing";
    // Class names are compared in their first 255 characters.
    String longClass = String(std::u16string(255, u'c'));
    EXPECT_TRUE(WindowMatches(Entry(longClass.c_str(), u""), longClass + u"tail", u""));
}

TEST(AutoClose, FirstEntryOfThePassWins) {
    Array<AutoCloseEntry> entries;
    entries.Append(Entry(u"Notepad", u"", 0x2)); // the uninstaller's only
    entries.Append(Entry(u"", u"*Notepad", 0x1));
    entries.Append(Entry(u"Notepad", u"", 0x3));
    EXPECT_EQ(FirstMatchingEntry(entries, kAutoCloseWhenInstalling, u"Notepad", u"Untitled - Notepad"), 1);
    EXPECT_EQ(FirstMatchingEntry(entries, kAutoCloseWhenUninstalling, u"Notepad", u"x"), 0);
    EXPECT_EQ(FirstMatchingEntry(entries, kAutoCloseWhenInstalling, u"Other", u"Other"), -1);
    KeepUninstallEntries(entries);
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_EQ(entries[0].passMask, 0x2);
    EXPECT_EQ(entries[1].passMask, 0x3);
}
