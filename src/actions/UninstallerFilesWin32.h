// The uninstaller's files on Windows, each a step of the installation actions over the
// installer state: its icon, the background picture, the saved readme and licence texts,
// the uninstaller program itself and the restart marker. Every file made is recorded for
// removal (RunUninstallRecords), except the uninstaller program, which removes itself.
#pragma once

#include "runtime/Payload.h"

namespace cs {

// With the uninstaller (option word 1 bit 0x4) and icon data: "uninstall.ico" in the
// uninstall data folder, before the shortcuts that show it. A failure is logged.
void WriteUninstallerIcon();

// Language text 32, progress 98; with option word 1 bit 0x8000 and a picture:
// "Installer Background.bmp" in the uninstall data folder.
void SaveBackgroundBitmap();

// The readme texts (option word 2 bit 0x4000) and the licence texts (0x8000) into the
// installation folder: "readme.txt", "readme1.txt" ..., "eula.txt" ... (".rtf" for rich text).
void SaveReadmeAndLicenceTexts();

// With the uninstaller: the engine copy (payload flag 0x20) written like an installed file
// that exists (in use: replaced at the next restart, which sets the restart bit), its icon
// group replaced by the definition's uninstaller icon; otherwise a copy of the running
// installer, falling back to a temporary file that replaces it at the next restart.
void WriteUninstallerProgram(const EnginePayload& payload);

// With option word 2 bit 0x200000: an empty "reboot.dat" in the installation folder, deleted
// at the next restart.
void WriteRebootMarker();

} // namespace cs
