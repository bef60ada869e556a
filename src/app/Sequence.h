// Phases of the installation that run before anything changes on the machine.
#pragma once

namespace cs {

// Inputs: the installer state with its definition. Outputs: nothing, or the process ends
// with exit code 5 (bitness, excluded system), 7 (master product) or 8 (another installer).
void RunRefusalsOrExit();

// Inputs: the product's uninstall entry. Outputs: the installed version and folder in the
// installer state; or the old version's uninstaller started (exit code 10), or a refusal to
// go on without uninstalling (9) or to downgrade (11).
void HandleExistingInstallationOrExit();

// Finishes the log and ends the process with the code.
[[noreturn]] void EndInstallation(int code);

} // namespace cs
