// Reading the plain definition into the installer state, writing it from a Definition,
// and printing it as JSON.
#pragma once

#include "core/String.h"
#include "payload/Definition.h"
#include "payload/DefinitionState.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace cs {

// What reading needs of the running system. The Windows engine fills it from the OS
// record and the folder lookups; native tests give it any values.
struct DefinitionEnvironment {
    DefinitionInputs commandLine;
    bool newerThanServer2003 = false; // payload flag 0x400 survives only when true
    String windowsFolder;             // replaces "<os>" in the default folder
    String programFiles32, programFiles64;
    String desktopAllUsers, desktopUser;

    // Installer variables in the default folder and the wizard caption; none: unchanged.
    std::function<void(String&)> expandVariables;
    // Called after field 6 unless option word 1 has bit 0x20000000.
    std::function<void()> createBackgroundWindow;
    // Called after field 13 when the bitness is 1; returns success.
    std::function<bool()> disableRedirection;
    // The definition checksum test after field 6: 0, or the code to raise (25).
    std::function<int()> checksumTest;
};

// Reads the whole definition into `state`, whose payload flags must be set already; the
// command line's part comes with the environment. Returns 0, or the corrupt-installer code of the first
// violated rule; the caller raises it. A definition that ends early gives code 32.
int ReadDefinition(const void* data, size_t size, const DefinitionEnvironment& env, DefinitionState& state);

// The plain definition bytes of `definition`. The payload flags decide which colour fields
// are present, as they do for the reader. Returns false with a message naming the field
// when a value does not fit the stream (a limit of the format, or a text too long for its
// length field). With checkLimits false the counts and values beyond the engine's limits
// are written as given (to make installers that the engine must refuse); the string table
// must still hold stringCount x languages entries.
bool WriteDefinition(const Definition& definition, uint32_t payloadFlags, std::string& out,
                     std::string& error, bool checkLimits = true);

// The definition as a JSON object (UTF-8): every field by name, the lists, the languages
// and their string table (string number = index). `indent` spaces go before every line
// but the first, for an object nested in another.
std::string DefinitionToJson(const Definition& definition, uint32_t payloadFlags, int indent = 0);

// What a definition code means, in a few words.
const char* DefinitionCodeText(int code);

// Line ends of a language string normalised to "\r\n": a CR LF pair stays, any other CR or
// LF becomes CR LF.
String NormalizeLineEnds(const String& text);

} // namespace cs
