// What differs between the 32-bit and the 64-bit build of the engine. An installation must
// come out the same whichever engine runs it: what the 32-bit engine gets from the system's
// 32-bit layer on 64-bit Windows (the 32-bit registry view, the x86 program folders, file
// system redirection), the 64-bit engine asks for explicitly.
#pragma once

#include <windows.h>

namespace cs {

// This build of the engine is a 64-bit program.
constexpr bool kEngineIs64Bit = sizeof(void*) == 8;

// The access flag that gives the registry view the 32-bit engine sees by default: nothing for
// the 32-bit engine (the system picks its view, also on Windows versions that know no view
// flags), the 32-bit view for the 64-bit engine.
constexpr REGSAM kEngineRegistryView = kEngineIs64Bit ? KEY_WOW64_32KEY : 0;

} // namespace cs
