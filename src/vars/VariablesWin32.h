// The variables on Windows: their inputs taken from the installer state and the system.
#pragma once

#include "vars/Variables.h"

namespace cs {

// Inputs of the variables: the installer state, the running program and the system.
VariableInputs CurrentVariableInputs();
// ExpandEnvironmentStringsW with a 31,999-character buffer.
bool ExpandEnvironment(const String& text, String& out);
// ExpandVariables over the current inputs and the system's environment.
void ExpandInstallerVariables(String& text);
// The values of the wizard placeholders: the product, the Windows folder, the build date.
PlaceholderInputs CurrentPlaceholderInputs();
void ExpandInstallerPlaceholders(String& text);
// Language string `number` of the current language, its placeholders filled.
String Text(int number);
// The same with %s filled (a text without a placeholder stays as it is).
String TextWith(int number, const String& value);
// 8 bytes from the system random source (the core generator when it is unavailable).
uint64_t DrawSessionNumber();
// The date in the user's default short date format.
String FormatUserDate(const BuildDate& date);

} // namespace cs
