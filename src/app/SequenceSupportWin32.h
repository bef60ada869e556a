// What the phases of the installation share on Windows: language texts, refusals and
// message-pumping waits.
#pragma once

#include "core/String.h"

namespace cs {

// Language string `number` of the current language.
String Text(int number);
// The same with %s filled (a text without a placeholder stays as it is).
String TextWith(int number, const String& value);

// Logs the message, shows it (unless silent, or when show is false) and ends the run.
[[noreturn]] void Refuse(int code, const String& message, unsigned icon, bool show = true);

// Waits the time, processing window messages in short steps.
void WaitProcessingMessages(unsigned milliseconds);

} // namespace cs
