// End-to-end test support: run Windows programs under the test run's Wine prefix, find and
// drive their windows under Xvfb, and locate the build's binaries. The environment
// (WINEPREFIX, DISPLAY, WINEDEBUG, ...) comes from scripts/wine-start.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cs::e2e {

struct RunResult {
    int exitCode = -1; // 0..255 as the shell sees it; -1 when the program did not exit
    bool timedOut = false;
    std::string output; // stdout and stderr together
};

// A program started in the background (`wine args...`), so a test can act on its windows.
class Process {
  public:
    explicit Process(const std::vector<std::string>& args, const std::string& workDir = "");
    ~Process(); // kills the process group if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Waits at most timeoutSeconds; on time-out the process group is killed.
    RunResult Wait(int timeoutSeconds);

  private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string output_;
};

// A Wine prefix of a test program's own, made fresh and deleted again, for runs that act on
// the whole prefix, such as a restart (Wine's restart ends the session of every program of
// the prefix and carries out its pending file operations). While the object lives, every
// Wine program of the test program runs in it and DriveC() names its drive.
class IsolatedPrefix {
  public:
    explicit IsolatedPrefix(const std::string& name);
    ~IsolatedPrefix(); // ends its server, deletes it and goes back to the shared prefix
    IsolatedPrefix(const IsolatedPrefix&) = delete;
    IsolatedPrefix& operator=(const IsolatedPrefix&) = delete;
    bool Ready() const { return ready_; } // false when Wine could not make it

  private:
    std::string path_, previous_;
    bool ready_ = false;
};

// Runs `wine args...` to its end (or the time-out) and returns what it did.
RunResult RunWine(const std::vector<std::string>& args, int timeoutSeconds = 60);
// Runs a Linux command (argv form) the same way.
RunResult RunNative(const std::vector<std::string>& args, int timeoutSeconds = 60);

// The engine under test: CORVANTIS_ENGINE=x64 selects the 64-bit build (build/win64/bin) and
// its engine corvantis-setup-x64.exe; otherwise the 32-bit build (build/win32/bin) and
// corvantis-setup.exe. CORVANTIS_WIN_BIN overrides the folder.
bool EngineIsX64();
std::string Engine();                                    // the engine (stub) under test
std::string EngineOfBitness(bool x64);                   // either engine, from its build folder
std::string WinBin(const std::string& name);             // file in the Windows bin folder
std::string HostBin(const std::string& name);            // file in the host bin folder
std::string DriveC();                                    // $WINEPREFIX/drive_c
std::string TempDir();                                   // a fresh folder under the build tree
std::string ToWindowsPath(const std::string& linuxPath); // "Z:\..." form
// The Linux path of a path on the prefix's drive C: ("C:\x\y" is $WINEPREFIX/drive_c/x/y).
std::string DriveCPath(const std::string& windowsPath);
// A special folder as the engine resolves it, by the name corvantis-sysinfo prints after
// "Folder" ("Programs", "CommonDesktop", "Startup", ...); asked once per test program.
std::string SpecialFolder(const std::string& name);

// Waits for a window whose name matches the regular expression; returns its id.
std::optional<std::string> WaitForWindow(const std::string& nameRegex, int timeoutSeconds);
std::string WindowName(const std::string& id);
// Answers a box with a key that closes it (Return, Escape, a button's letter): the key is sent
// again while the box is still shown. The text of the static controls in a window is not
// visible to X; a screenshot is.
void PressKey(const std::string& id, const std::string& key);
// Saves the whole screen as PNG at path; returns the path ("" on failure).
std::string Screenshot(const std::string& path);

bool ReadFile(const std::string& path, std::string& out);
// The file's bytes, "" when it cannot be read.
std::string FileText(const std::string& path);
bool TextContains(const std::string& text, const std::string& part);
bool WriteFile(const std::string& path, const std::string& data);

// The "name=value" lines of a program's output (line ends CRLF or LF) by name.
std::map<std::string, std::string> KeyValueLines(const std::string& output);
// The text without blanks and line ends at its end (a program's one-line answer).
std::string TrimmedEnd(std::string text);

} // namespace cs::e2e
