// The system registrations on Windows, as installation actions over the run's state.
#pragma once

#include "core/Array.h"
#include "core/String.h"

namespace cs {

// COM servers, type libraries and driver packages of the file loop's lists, in that order.
// Run right after the file loop.
void RegisterInstalledSystemFiles();

// The uninstallation's removal of the driver packages the installation copied (their final
// locations), from the system's store even when a device still uses them (flag 1). The store
// takes the INF's file name.
void RemoveDriverPackages(const Array<String>& infs);

// The definition's firewall exceptions (after the associations). A line with other than 4
// fields ends the process as a corrupt installer (code 90).
void AddFirewallExceptionsOfDefinition();

} // namespace cs
