// What the phases of the installation share on Windows: refusals and message-pumping waits
// (and, through the variables, the language texts).
#pragma once

#include "core/String.h"
#include "vars/VariablesWin32.h"

namespace cs {

// Logs the message, shows it (unless silent, or when show is false) and ends the run.
[[noreturn]] void Refuse(int code, const String& message, unsigned icon, bool show = true);

// Waits the time, processing window messages in short steps.
void WaitProcessingMessages(unsigned milliseconds);

} // namespace cs
