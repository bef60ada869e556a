#include "app/AutoClose.h"

#include "core/Text.h"

namespace cs {

bool WindowTextMatches(const String& pattern, const String& text) {
    if (!pattern.IsEmpty() && pattern[0] == u'*')
        return pattern.Length() == 1 || FindNoCase(text, pattern.Sub(1)) != String::npos;
    return CompareNoCase(pattern, text) == 0;
}

bool WindowMatches(const AutoCloseEntry& entry, const String& windowClass, const String& windowTitle) {
    if (entry.windowClass.IsEmpty() && entry.windowTitle.IsEmpty()) return false;
    String cls = windowClass.Length() > kMaxWindowClassChars ? windowClass.Sub(0, kMaxWindowClassChars) : windowClass;
    if (!entry.windowClass.IsEmpty() && !WindowTextMatches(entry.windowClass, cls)) return false;
    if (!entry.windowTitle.IsEmpty() && !WindowTextMatches(entry.windowTitle, windowTitle)) return false;
    return true;
}

int FirstMatchingEntry(const Array<AutoCloseEntry>& entries, uint8_t passBit, const String& windowClass,
                       const String& windowTitle) {
    for (int i = 0; i < entries.Count(); ++i)
        if ((entries[i].passMask & passBit) && WindowMatches(entries[i], windowClass, windowTitle)) return i;
    return -1;
}

void KeepUninstallEntries(Array<AutoCloseEntry>& entries) {
    Array<AutoCloseEntry> kept;
    for (const AutoCloseEntry& entry : entries)
        if (entry.passMask & kAutoCloseWhenUninstalling) kept.Append(entry);
    entries = std::move(kept);
}

} // namespace cs
