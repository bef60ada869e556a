// The end of an installation run, as pure decisions: whether the machine restarts (asked or
// not), whether the launch-on-exit command runs, where the summary page's documents are, and
// the texts a failed launch appends to the finished log. RunEndWin32.h acts on them.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

constexpr int kStringRestartTitle = 20;
constexpr int kStringRestartQuestion = 37;

enum class RestartDecision {
    None,    // no restart is needed
    Ask,     // the user answers with Yes or No
    Restart, // an unattended run restarts without asking
};

// With the restart bit (option word 1 0x4000): asked in an interactive run, or with option
// word 2 bit 0x200 in any run; an unattended run without that option restarts at once.
RestartDecision DecideRestart(uint32_t optionWord1, uint32_t optionWord2, bool automatic);

// The launch-on-exit command runs only when the machine does not restart, the command is
// set and the failure summary is empty.
bool LaunchesOnExit(bool restarting, const String& command, const String& failureSummary);

// What a command that could not be started appends to the finished log.
String LaunchFailureText(const String& command, const String& systemText);

// What the summary page's product launch appends to the finished log when it fails.
String AppLaunchFailureText(const String& command, const String& systemText);

// A document or program of the summary page: a relative path is joined onto the installation
// folder, a full path stays as it is.
String InInstallFolder(const String& path, const String& installDir);

} // namespace cs
