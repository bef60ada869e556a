// The system registrations after the file loop: COM servers, type libraries and driver
// packages from the lists the loop filled, and later (after the associations) the firewall
// exceptions of the definition. The steps, their log lines, failure summary entries and
// uninstall records are portable; what touches the system comes through
// RegistrationSystem (SystemRegistrationsWin32.cpp on Windows, a fake in the tests).
// docs/system-registrations.md and docs/firewall.md describe them.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "uninstall/UninstallData.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace cs {

// A firewall text whose line has other than 4 fields: the corrupt-installer error.
constexpr int kCodeFirewallLine = 90;
// Payload flag: no firewall exceptions when installing to a removable drive.
constexpr uint32_t kFlagNoFirewallOnRemovable = 0x80000;
// The setup API's error for an INF without a signature, which some systems have no text for.
constexpr uint32_t kErrorInfNoSignature = 0xE000022F;
constexpr int kProtocolTcp = 6, kProtocolUdp = 17;

// The language text shown while a file is registered (77) with "<file>" replaced by the
// subject; the subject alone when the text has no "<file>".
String RegisteringText(const String& text, const String& subject);

// ---- Firewall lines ------------------------------------------------------------------------

// One exception line of the definition's firewall text.
struct FirewallLine {
    String8 line;           // as the definition has it (for "[Firewall]")
    bool isPort = false;    // field 1 holds only decimal digits
    uint32_t port = 0;      // its value (saturated at 0xFFFFFFFF; the firewall refuses what it cannot open)
    String target;          // field 1 decoded from the path form (a program path)
    String name;            // field 2, UTF-8
    uint32_t protocols = 0; // field 3: bit 0 TCP, bit 1 UDP; not a decimal number: 0
    bool keep = false;      // field 4 contains "1": kept at uninstallation
};

// Splits the text into lines (a carriage return, a line feed or the two together end a line;
// an empty line holds no exception) and each line into its fields at ";", nothing trimmed.
// False at the first line with other than 4 fields.
bool ParseFirewallText(std::string_view text, Array<FirewallLine>& lines);

// Field 1 names a port when it holds only decimal digits (nothing trimmed); the port's value
// saturates at 0xFFFFFFFF (the firewall refuses what it cannot open).
bool FirewallPortOf(const String& target, uint32_t& port);

// A program line's path: variables already expanded; joined onto the installation folder
// unless it is absolute ("X:..." or "\...").
String FirewallProgramPath(const String& expanded, const String& installDir);

// ---- The system ----------------------------------------------------------------------------

enum class SetupApiState { kReady, kNoLibrary, kNoCopyEntry };

class RegistrationSystem {
  public:
    virtual ~RegistrationSystem() = default;
    virtual String LanguageText(int number) = 0;
    virtual void ShowProgress(const String& text) = 0;
    virtual void Log(const String& text) = 0;
    virtual void AddFailure(const String& text) = 0;
    virtual String SystemErrorText(uint32_t code) = 0; // "" when the system has none
    // Runs the body inside the guard around foreign code; false when it crashed.
    virtual bool Guarded(const std::function<void()>& body) = 0;

    // "regsvr32 /s" on the file: its exit code, or false with the system error code when it
    // could not start.
    virtual bool RunRegsvr32(const String& path, uint32_t& exitCode) = 0;
    // Loads the file and calls its DllRegisterServer: false when it has none (or cannot load).
    virtual bool CallDllRegisterServer(const String& path) = 0;
    // Loads and registers the type library; false with the system error code.
    virtual bool RegisterTypeLibrary(const String& path, uint32_t& error) = 0;
    // Processes pending window messages and makes the installer's window active again.
    virtual void ReturnToInstallerWindow() = 0;

    virtual SetupApiState OpenSetupApi() = 0;
    // Copies the INF into the system's driver store: false with the error code; the final
    // name (possibly empty) otherwise.
    virtual bool CopyOemInf(const String& inf, String& finalName, uint32_t& error) = 0;

    // The firewall: the local policy's current profile. Each call returns an HRESULT.
    virtual long ConnectFirewall() = 0;
    virtual long OpenFirewallPort(uint32_t port, int protocol, const String& name) = 0;
    virtual long AuthorizeProgram(const String& path, const String& name) = 0;
    virtual bool FileExists(const String& path) = 0;
    virtual void ExpandVariables(String& text) = 0;
    [[noreturn]] virtual void Corrupt(int code) = 0;
};

// COM servers, then type libraries, then the return to the installer's window (only when
// either list has entries).
void RegisterComAndTypeLibraries(RegistrationSystem& system, const Array<String>& comServers,
                                 const Array<String>& typeLibraries);

// The driver packages; each final name goes to the "[INF]" records.
void InstallDrivers(RegistrationSystem& system, const Array<String>& drivers, UninstallRecords& records);

struct FirewallRun {
    String8 text; // the definition's firewall text
    String installDir;
    String productName; // the rule name of lines with an empty field 2
    bool skip = false;  // removable drive with payload flag 0x80000
};

// The firewall exceptions: the text is parsed first (a bad line ends the run as a corrupt
// installer before anything is added); added lines not kept go to "[Firewall]".
void AddFirewallExceptions(RegistrationSystem& system, const FirewallRun& run, UninstallRecords& records);

} // namespace cs
