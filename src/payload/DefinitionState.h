// The definition as the engine's reader leaves it: the fields with their defaults applied,
// and the values derived from them while they were read. The running engine's installer
// state is built on it; the builder's inspection reads into it alone.
#pragma once

#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>

namespace cs {

// What the command line gives the reader.
struct DefinitionInputs {
    bool automatic = false;    // /a or /silent
    bool silent = false;       // /silent: option words changed for a run without windows
    String productName;        // /n:"name" replaces the product name
    String8 batchAdditions[3]; // /b1: /b2: /b3: go to the end of the first three batches
};

struct DefinitionState {
    // Input: the payload header's flags (flag 0x400 is cleared while reading when it does
    // not apply to the running system).
    uint32_t payloadFlags = 0;

    // The definition, with the defaults of its fields applied as they were read.
    Definition definition;

    // Derived while reading.
    bool automatic = false;             // command line and the definition's automatic-mode byte
    bool derivedFlag = false;           // option word 2 bit 0x100
    String8 productVersion8;            // the product version in the system's ANSI code page
    bool monoColor = false;             // TopColor equals BottomColor
    String desktopFolderPath;           // the desktop joined with the desktop folder name
    String8 desktopFolderPath8;         // the same in the 8-bit path form
    String8 batchCommands[kBatchCount]; // code page 1252, with the /b1 /b2 /b3 additions
    bool redirectionFailed = false;     // switching off file-system redirection failed
    int currentLanguage = 0;            // starts as the default language

    // Language string `number` in the current language; empty when out of range.
    const String& LanguageString(int number) const;
};

} // namespace cs
