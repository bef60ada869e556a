// The registry step on Windows: the registry step over the real registry, run once after the
// shortcuts.
#pragma once

#include "actions/RegistryInstallation.h"

#include <memory>
#include <windows.h>

namespace cs {

// Creates the product's key, applies the definition's registry list, imports the merge
// file and registers the main executable under "App Paths", in the product's registry view
// (64-bit for a 64-bit product). Inputs: the installer state (definition, folders, payload
// flags). Outputs: the registry, the log, the failure summary, the definition's registry
// list with the lines appended for the uninstaller, and the run's "[Registry2]" records.
void ApplyRegistryEntries();

// The registry step's system over the real registry in a view, for other steps that write
// values by key path (the uninstall entry's values that name another key).
std::unique_ptr<RegistrySystem> WindowsRegistry(RegistryView view);

// The predefined key of a hive; HKEY_USERS for AllUsers, whose paths arrive one per user hive.
HKEY RegistryHiveKey(RegistryHive hive);

} // namespace cs
