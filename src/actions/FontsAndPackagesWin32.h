// The system calls that registering a font and running an MSI package need, shared by the
// installer's file loop and the uninstaller.
#pragma once

#include "core/String.h"

#include <cstdint>

#include <windows.h>

namespace cs {

// ---- Fonts --------------------------------------------------------------------------------

// The font's registration: a value named by the face, the file name as REG_SZ data, under
// HKEY_LOCAL_MACHINE's font key of the running system's family, in the view the system
// itself reads (the 64-bit one on 64-bit Windows, whichever engine runs). False with the
// system's error code.
bool WriteFontRegistration(const String& face, const String& fileName, uint32_t& error);
// Deletes the value; a missing value or key counts as deleted.
bool DeleteFontRegistration(const String& face);
// Tells every top-level window that the fonts changed (WM_FONTCHANGE; a hung window is not
// waited for).
void NotifyFontChange();

// ---- MSI packages -------------------------------------------------------------------------

// What one run of the Windows installer gave.
struct MsiResult {
    uint32_t code = 0;    // the installer's result; 120 when MSI.DLL or its entries are missing
    bool crashed = false; // the call ended with an exception (code is then 1603)
};

// Runs the Windows installer on the package with the command line (installing with
// "REBOOT=R", removing with "REBOOT=R REMOVE=ALL") at that user-interface level, owned by the
// active window of the thread. MSI.DLL is loaded from the system folder at the first call and
// kept with its two entry points for the whole process. The call is guarded: a crash inside
// the installer becomes a result.
MsiResult RunWindowsInstaller(const String& package, const String& commandLine, int uiLevel);

} // namespace cs
