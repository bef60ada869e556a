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
// 8 bytes from the system random source (the core generator when it is unavailable).
uint64_t DrawSessionNumber();
// The date in the user's default short date format.
String FormatUserDate(const BuildDate& date);

} // namespace cs
