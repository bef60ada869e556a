// The closing pass: programs named by the definition are closed before files are installed.
// Which entry a window matches is decided here; AutoCloseWin32 walks the windows and acts.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "payload/Definition.h"

namespace cs {

constexpr uint8_t kAutoCloseWhenInstalling = 0x1;
constexpr uint8_t kAutoCloseWhenUninstalling = 0x2;
constexpr int kStringCloseProgram = 99;
constexpr int kStringCloseProgramTitle = 65;
constexpr size_t kMaxWindowClassChars = 255;

// A pattern that begins with "*" matches a text that holds the rest anywhere; any other
// pattern must equal the text. Letter case is ignored (window classes ignore it too).
bool WindowTextMatches(const String& pattern, const String& text);

// A window matches an entry when the entry names a class or a title (or both) and every one
// it names matches.
bool WindowMatches(const AutoCloseEntry& entry, const String& windowClass, const String& windowTitle);

// The first entry with the pass bit that the window matches; -1 when none.
int FirstMatchingEntry(const Array<AutoCloseEntry>& entries, uint8_t passBit, const String& windowClass,
                       const String& windowTitle);

// Keeps only the entries that the uninstaller uses too.
void KeepUninstallEntries(Array<AutoCloseEntry>& entries);

} // namespace cs
