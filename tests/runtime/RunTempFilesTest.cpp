#include "runtime/RunTempFiles.h"

#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(RunTempFiles, NamesCarryKindProcessAndNumber) {
    EXPECT_EQ(RunTempFileName(u"extract", 0x1a4, 0xbeef), String(u"~cs-run-extract-1a4-beef.tmp"));
    EXPECT_EQ(RunTempFileName(u"log", 7, 0), String(u"~cs-run-log-7-0.tmp"));
}

// The next run deletes by this test: only names the engine makes, nothing that merely starts
// the same way (a user's file, another program's temporary file).
TEST(RunTempFiles, OnlyTheEnginesOwnNamesAreRecognised) {
    struct Case {
        const char16_t* name;
        bool ours;
    } cases[] = {
        {u"~cs-run-extract-1a4-beef.tmp", true},
        {u"~CS-RUN-LOG-1A4-0.TMP", true},
        {u"~cs-run-log-7-0.tmp", true},
        {u"~cs-run--7-0.tmp", false},        // no kind
        {u"~cs-run-log-7.tmp", false},       // no number
        {u"~cs-run-log--0.tmp", false},      // no process id
        {u"~cs-run-log-7-0x.tmp", false},    // not hex
        {u"~cs-run-log-7-0.tmp.bak", false}, // another extension
        {u"~cs-run-l0g-7-0.tmp", false},     // a kind is letters
        {u"cs-run-log-7-0.tmp", false},      // no tilde
        {u"~cs-run-log-7-0-1.tmp", false},   // a dash too many
        {u"KWT1234.tmp", false},
        {u"~cs-run-.tmp", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRunTempFileName(c.name), c.ours) << ToUtf8(String(c.name)).c_str();
}
