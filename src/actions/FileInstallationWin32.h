// The file installation on Windows: the file loop over the real system, run once after the
// extraction.
#pragma once

#include "actions/FileInstallation.h"

namespace cs {

struct EnginePayload;

// Installs every file of the payload in payload order (the extraction file must be ready),
// then settles the pending restart operations and the shared-file reference counts. Fills
// the run's uninstall records, the definition's shortcut list, the log and the failure
// summary; a damaged entry ends the process through the corrupt-installer error.
void InstallFiles(EnginePayload& payload);

// What the file loop left for the system registrations and the uninstall entry.
FileRunLists& InstalledFileLists();

} // namespace cs
