// The installer's command line: splitting into atoms and reading the switches.
#pragma once

#include "core/Array.h"
#include "core/String.h"

namespace cs {

constexpr int kMaxCommandLineAtoms = 19;
constexpr int kExitCodeUsage = 15;

struct CommandLine {
    bool automatic = false;    // /a or /silent: no questions
    bool silent = false;       // /silent: no user interface at all
    bool minimized = false;    // /MIN: background window starts minimized
    bool uninstall = false;    // any switch that begins with "u"
    String uninstallProduct;   // /u:"name"
    String installDir;         // /d:"dir", without enclosing quotes and one trailing backslash
    String8 installDir8;       // the same in the 8-bit path form
    String productName;        // /n:"name"
    String runProgram;         // /r:"program", grave accents turned into double quotes
    String8 batchAdditions[3]; // /b1: /b2: /b3:, in the ANSI code page, "~~" turned into line ends
};

// Splits a command line into atoms; quotes that open and close a quoted section stay in the
// atom, and "" inside a section stands for one double quote. The program's own path is the
// first atom. At most maxAtoms atoms are split (the rest of the text is never examined).
Array<String> SplitAtoms(const String& line, int maxAtoms = 1 + kMaxCommandLineAtoms);

// Reads the switches of a whole command line (program path first). Returns false with the
// rejection reason (the first line of the usage message) when the line is not valid; the
// switches read before the rejection are already in `out` (so silent mode is known).
bool ParseCommandLine(const String& line, CommandLine& out, String& reason);

// The usage message for a rejection reason and the program's file name.
String UsageText(const String& reason, const String& programName);

} // namespace cs
