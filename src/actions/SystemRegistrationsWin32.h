// The system registrations on Windows, as installation actions over the run's state.
#pragma once

namespace cs {

// COM servers, type libraries and driver packages of the file loop's lists, in that order.
// Run right after the file loop.
void RegisterInstalledSystemFiles();

// The definition's firewall exceptions (after the associations). A line with other than 4
// fields ends the process as a corrupt installer (code 90).
void AddFirewallExceptionsOfDefinition();

} // namespace cs
