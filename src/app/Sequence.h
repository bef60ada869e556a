// The phases of an installation, in the order wWinMain runs them. Each phase reads and fills
// the installer state; those that can end the run say how.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "payload/Definition.h"

namespace cs {

// The definition's language (the language page comes later: until then the default one), its
// name as the run's language and its wizard caption.
void ChooseLanguage();

// Exit code 5 (bitness, excluded system), 7 (main product missing or too old) or 8 (another
// installer holds the mutex); otherwise nothing.
void RunRefusalsOrExit();

// The product's uninstall entry: the installed copy's folder (from "InstallLocation", else
// the definition's alternative reference), version, Start Menu folder and shared files.
void FindExistingInstallation();

// Unless automatic, the definition's start sound (variables expanded) starts playing; the run
// does not wait for it.
void PlayStartSound();

// Unless automatic or switched off: the greeting, in its message-box form until the wizard
// exists (OK goes on, Cancel cancels).
void ShowGreetingOrCancel();

// The password page belongs to the wizard; until it exists an installer with a password ends
// as cancelled (12) rather than installing without asking for it.
void CheckPasswordOrCancel();

// Programs named by the definition's closing list are closed (or the user is asked to).
void RunClosingPass();

// The uninstaller's closing pass over the entries kept for it (pass mask bit 0x2), with the
// question texts of mode 2. False when the user cancelled that question.
bool CloseProgramWindows(const Array<AutoCloseEntry>& entries, int question, int title);

// With an existing installation: the old version's uninstaller started (exit code 10), a
// refusal to go on without uninstalling (9) or to downgrade (11), the upgrade questions
// (a refusal cancels: 12); then the install type and the installed folder become the run's.
void SettleExistingInstallationOrExit();

// The installation folder when nothing chose it yet: /d:, else the default folder; a
// registry reference is read, and a missing or absent folder ends the run with 7.
void ChooseInstallFolderOrExit();

// The folders, security, restore point and batches before the files are extracted.
void PrepareInstallation();

// The installation actions after extraction, in their fixed order.
void RunInstallationActions();

// The progress status: a language string and a position from 0 to 100.
void SetStatus(int stringNumber, int progress);

// The user cancelled: the cancellation URL, the message (unless silent), exit code 12.
[[noreturn]] void CancelInstallation();

// Finishes the log and ends the process with the code.
[[noreturn]] void EndInstallation(int code, bool interactive = false);

} // namespace cs
