// System libraries loaded at run time: from the system folder only (never from the search
// path, where a planted copy could stand), and their entry points taken by name.
#pragma once

#include <windows.h>

namespace cs {

// The library of that name in the system folder; null when it cannot be loaded there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The entry point of that name as the given function type; null when the module is null or
// lacks it.
template <class Fn> Fn LibraryEntry(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

} // namespace cs
