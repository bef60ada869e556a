// The checks that can refuse an installation before anything changes, and the rules that
// decide the process's exit code. Pure decisions; SequenceWin32 asks the system.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

constexpr int kExitSuccess = 0;
constexpr int kExitWrongSystem = 5;
constexpr int kExitMasterMissing = 7;
constexpr int kExitInstallPathMissing = 7; // the folder named in the registry is missing
constexpr int kExitAlreadyRunning = 8;
constexpr int kExitUninstallRefused = 9;
constexpr int kExitOldUninstallerStarted = 10;
constexpr int kExitDowngradeRefused = 11;
constexpr int kExitCancelled = 12;
constexpr int kExitRebootNeeded = 16;
constexpr int kExitDiskFull = 17;

constexpr int kStringWrongBitness = 81;
constexpr int kStringExcludedSystem = 61;
constexpr int kStringMasterMissing = 12;
constexpr int kStringMasterTooOld = 112;
constexpr int kStringAlreadyRunning = 91;

constexpr uint8_t kBitnessAny = 0;
constexpr uint8_t kBitness64 = 1;
constexpr uint8_t kBitness32Only = 2;

enum class BitnessVerdict { Fits, Needs64BitWindows, Needs32BitWindows };
BitnessVerdict CheckBitness(uint8_t bitness, bool windows64);

bool IsExcludedSystem(int32_t excludedMask, uint32_t systemBit);

// Dotted versions compared number by number ("1.10" is above "1.9"); a missing number
// counts as 0 and text after the digits of a number is ignored. -1, 0 or +1.
int CompareVersions(const String& a, const String& b);

struct MasterProduct {
    bool installed = false; // its uninstall entry exists
    String location;        // its "InstallLocation"
    String version;         // its "DisplayVersion"
};
enum class MasterVerdict { Fits, Missing, TooOld };
MasterVerdict CheckMaster(const MasterProduct& master, bool defaultFolderIsMaster, const String& minVersion);

// The command that runs the old version's uninstaller before this installation: the
// uninstall string, then " /r:\"" with this installer's own command line (double quotes as
// grave accents) and a closing quote, then " /silent" and " /a" as this run has them.
String UninstallFirstCommand(const String& uninstallString, const String& ownCommandLine, bool silent,
                             bool automatic);

// When a file the uninstallation or the user depends on could not be written
// (fileNotWritten) the run failed: 17 when a disk was full, else -1 (the fatal error's code),
// even when a reboot is needed. Otherwise 16 when a reboot is needed, else 17 when a disk was
// full, else 0.
int FinalExitCode(uint32_t optionWord1, bool diskFull, bool fileNotWritten);

} // namespace cs
