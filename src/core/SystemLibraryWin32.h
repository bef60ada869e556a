// System libraries loaded at run time: from the system folder only (never from the search
// path, where a planted copy could stand), and their entry points taken by name.
//
// The engine's import table names only libraries the system maps from its own list of known
// libraries; every other system library is loaded here, after RestrictLibrarySearch has taken
// the program's folder and the working folder out of the search.
#pragma once

#include "core/String.h"

#include <windows.h>

namespace cs {

// Limits every later library search of the process to the system folder (the system's
// default-directories call, looked up at run time, since systems before it lack it); where the
// system lacks that call, at least the working folder leaves the search. The first step of the
// entry point, before anything can load a library. False when only the fallback applied.
bool RestrictLibrarySearch();

// The library of that name in the system folder; null when it cannot be loaded there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A library of the product's own, by full path, whose dependencies are found beside it and in
// the system folder (never in the program's or the working folder); null when it cannot be
// loaded.
HMODULE LoadLibraryFromItsFolder(const String& path);

// The entry point of that name as the given function type; null when the module is null or
// lacks it.
template <class Fn> Fn LibraryEntry(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The entry point of a system library, the library loaded once by LoadSystemLibrary; null
// when either is missing.
template <class Fn> Fn SystemEntry(const wchar_t* library, const char* name) {
    return LibraryEntry<Fn>(LoadSystemLibrary(library), name);
}

} // namespace cs
