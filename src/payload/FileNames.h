// The names a file record may carry: one rule for the builder (which refuses a project that
// breaks it), the engine (which refuses such a record in a payload) and `inspect --extract`
// (which writes records below a folder of the build machine). Portable.
//
// A relative name is a run of parts separated by "\" or "/" (Windows takes both). A part is
// refused when it is empty, "." or "..", a device name (CON, PRN, AUX, NUL, COM0 to COM9,
// LPT0 to LPT9, CONIN$, CONOUT$, also with an extension such as "nul.txt"), holds a
// character Windows does not allow in a name (< > : " | ? * and the control characters),
// or ends with a dot or a blank (Windows drops them, so "x." and "x" would be one file).
//
// A destination is empty, a new name for the file (no "\"), or a path: a base followed by a
// relative name. The base is a leading "%Variable%" (its name is itself a sound part, so
// "%..%" and "%C:%" are refused), a drive "X:\", a server share "\\server\share\", or nothing
// (the kind's folder). A rooted "\x", a drive-relative "X:x" and the "\\?\" and "\\.\"
// forms are refused. A path may end with "\": a folder that takes the name's file name.
#pragma once

#include "core/String.h"
#include "payload/DataStream.h"

#include <string_view>

namespace cs {

// Why one part of a name is refused, or nullptr when it is sound.
const char* NamePartProblem(std::u16string_view part);

// Why a relative name is refused, or nullptr when it is sound; `folder` allows one "\" at
// its end (a folder: the engine appends the file name after a "\" only), and an empty name.
const char* RelativeNameProblem(std::u16string_view name, bool folder = false);

// A destination cut into its base and the relative rest.
struct DestinationParts {
    enum class Base { None, Variable, Drive, Share };
    Base base = Base::None;
    std::u16string_view baseText; // "%SystemDir%", "C:", "\\server\share" (no "\" after it)
    std::u16string_view rest;     // after the base and its "\"; may end with "\"
    bool newName = false;         // no "\" at all: a new file name in the kind's folder
};

// Cuts a non-empty destination; false with the reason when it is refused.
bool SplitDestination(std::u16string_view destination, DestinationParts& parts, const char*& problem);

// Why a record's name or destination is refused: the field ("name" or "destination") and
// the reason; false when both are sound.
struct RecordNameProblem {
    const char* field = nullptr;
    const char* what = nullptr;
};
bool CheckRecordNames(const FileRecord& record, RecordNameProblem& problem);

// Where a record's file goes, whatever the machine: the base folder's variable name, then
// the parts of the rest, joined by `separator` ("InstallDir\docs\a.txt"). The base follows
// the engine: a new name or no destination takes the kind's folder (the uninstall data
// folder with flag 0x40), a relative path the installation folder (the shared folder for
// kind 1), a "%Variable%" path that variable, a drive or share path its own base text.
// False with the problem for a record that CheckRecordNames refuses.
bool PlacedPath(const FileRecord& record, char16_t separator, String& path, RecordNameProblem& problem);

// The form in which two paths that Windows takes for one file are equal: letters in upper
// case (the core's Latin-1 rule), "/" read as "\".
String PathCompareKey(const String& path);

} // namespace cs
