#include "actions/SystemRegistrations.h"

#include "actions/FileRules.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "log/Log.h"

#include <algorithm>

namespace cs {

namespace {

constexpr int kTextRegisteringFile = 77;
constexpr const char16_t kInfNoSignatureText[] = u"The INF does not contain digital signature information.";

void ShowRegistering(RegistrationSystem& system, const String& path) {
    system.ShowProgress(RegisteringText(system.LanguageText(kTextRegisteringFile), path));
}

void RegisterComServer(RegistrationSystem& system, const String& path) {
    system.Log(Format(u"Registering COM File \"%s\"...", path));
    ShowRegistering(system, path);
    bool crashed = !system.Guarded([&] {
        uint32_t code = 0;
        bool started = system.RunRegsvr32(path, code);
        // A server regsvr32 cannot register (it could not start, or the server's own call
        // failed there) gets one direct call; reaching its entry point is what counts.
        bool ok = started && code == 0;
        if (!ok && system.CallDllRegisterServer(path)) ok = true;
        system.Log(ok ? String(u"OK\r\n") : Format(u"FAILED, code %d\r\n", static_cast<int32_t>(code)));
    });
    if (crashed) {
        system.Log(u"CRASHED!\r\n");
        system.AddFailure(Format(u"Crashed while registering COM file %s\r\n", path));
    }
}

void RegisterTypeLibraryFile(RegistrationSystem& system, const String& path) {
    system.Log(Format(u"Registering Type Library \"%s\"...", path));
    ShowRegistering(system, path);
    bool crashed = !system.Guarded([&] {
        uint32_t error = 0;
        if (system.RegisterTypeLibrary(path, error))
            system.Log(u"OK\r\n");
        else
            system.Log(Format(u"FAILED\r\n%s\r\n", system.SystemErrorText(error)));
    });
    if (crashed) {
        system.Log(u"CRASHED!\r\n");
        system.AddFailure(Format(u"Crashed while registering TLB file %s\r\n", path));
    }
}

void InstallDriver(RegistrationSystem& system, const String& inf, UninstallRecords& records) {
    ShowRegistering(system, inf);
    system.Log(Format(u"Installing driver \"%s\"...", inf));
    bool crashed = !system.Guarded([&] {
        String finalName;
        uint32_t error = 0;
        if (!system.CopyOemInf(inf, finalName, error)) {
            String text = system.SystemErrorText(error);
            if (text.IsEmpty() && error == kErrorInfNoSignature) text = kInfNoSignatureText;
            system.Log(Format(u"FAILED!  Code %s: %s\r\n", ErrorCodeText(static_cast<int32_t>(error)), text));
        } else if (finalName.IsEmpty()) {
            system.Log(u"OK, but resulting filepath is unknown\r\n");
        } else {
            system.Log(Format(u"OK\r\nFinal driver location: %s\r\n", finalName));
            records.inf += ToPathForm(finalName);
            records.inf += "\r\n";
        }
    });
    if (crashed) system.Log(u"CRASHED!\r\n");
}

// Only decimal digits (at least one): their value, saturated at 0xFFFFFFFF.
bool DigitsValue(const String& text, uint32_t& value) {
    if (text.IsEmpty()) return false;
    uint64_t sum = 0;
    for (char16_t c : text.View()) {
        if (c < u'0' || c > u'9') return false;
        sum = std::min<uint64_t>(sum * 10 + static_cast<uint64_t>(c - u'0'), 0xFFFFFFFFu);
    }
    value = static_cast<uint32_t>(sum);
    return true;
}

bool ParseLine(std::string_view line, FirewallLine& out) {
    std::string_view fields[4];
    size_t count = 0, start = 0;
    for (;;) {
        size_t at = line.find(';', start);
        if (count == 4) return false;
        fields[count++] =
            line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    if (count != 4) return false;
    out.line = String8(line.data(), line.size());
    out.target = FromPathForm(fields[0]);
    out.isPort = FirewallPortOf(out.target, out.port);
    out.name = FromUtf8(fields[1]);
    uint32_t protocols = 0;
    out.protocols = DigitsValue(FromUtf8(fields[2]), protocols) ? protocols : 0;
    out.keep = fields[3].find('1') != std::string_view::npos;
    return true;
}

void AddPort(RegistrationSystem& system, const FirewallLine& line, const String& name, bool& added) {
    struct Protocol {
        uint32_t bit;
        int number;
        const char16_t* label;
    };
    for (Protocol p : {Protocol{1, kProtocolTcp, u"TCP"}, Protocol{2, kProtocolUdp, u"UDP"}}) {
        if (!(line.protocols & p.bit)) continue;
        long result = system.OpenFirewallPort(line.port, p.number, name);
        if (result < 0) {
            system.Log(Format(u"Failed to open firewall port %d, code %d\r\n", line.port,
                              static_cast<int32_t>(result)));
            added = false;
        } else {
            system.Log(Format(u"Added firewall exception: %s port %d\r\n", p.label, line.port));
        }
    }
}

void AddProgram(RegistrationSystem& system, const FirewallLine& line, const String& installDir,
                const String& name, bool& added) {
    String path = line.target;
    system.ExpandVariables(path);
    path = FirewallProgramPath(path, installDir);
    if (!system.FileExists(path)) {
        system.Log(Format(u"Failed to add firewall exception for \"%s\": file does not exist\r\n", path));
        added = false;
        return;
    }
    long result = system.AuthorizeProgram(path, name);
    if (result < 0) {
        system.Log(Format(u"Failed to add firewall exception for \"%s\", code %d\r\n", path,
                          static_cast<int32_t>(result)));
        added = false;
    } else {
        system.Log(Format(u"Added firewall exception: %s\r\n", path));
    }
}

} // namespace

String RegisteringText(const String& text, const String& subject) {
    constexpr char16_t kMark[] = u"<file>";
    size_t at = Find(text, kMark);
    if (at == String::npos) return subject;
    return String(text.c_str(), at) + subject +
           String(text.c_str() + at + (sizeof kMark / sizeof kMark[0] - 1));
}

bool ParseFirewallText(std::string_view text, Array<FirewallLine>& lines) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
        if (line.empty()) continue;
        FirewallLine parsed;
        if (!ParseLine(line, parsed)) return false;
        lines.Append(std::move(parsed));
    }
    return true;
}

bool FirewallPortOf(const String& target, uint32_t& port) {
    return DigitsValue(target, port);
}

String FirewallProgramPath(const String& expanded, const String& installDir) {
    if (IsAbsolutePath(expanded)) return expanded;
    return JoinPath(installDir, expanded);
}

void RegisterComAndTypeLibraries(RegistrationSystem& system, const Array<String>& comServers,
                                 const Array<String>& typeLibraries) {
    for (const String& path : comServers)
        RegisterComServer(system, path);
    for (const String& path : typeLibraries)
        RegisterTypeLibraryFile(system, path);
    // Servers and libraries may show windows of their own or take the focus away.
    if (!comServers.IsEmpty() || !typeLibraries.IsEmpty()) system.ReturnToInstallerWindow();
}

void InstallDrivers(RegistrationSystem& system, const Array<String>& drivers, UninstallRecords& records) {
    if (drivers.IsEmpty()) return;
    switch (system.OpenSetupApi()) {
    case SetupApiState::kNoLibrary:
        system.Log(u"Cannot install INF files...unable to open Setupapi.dll\r\n");
        return;
    case SetupApiState::kNoCopyEntry:
        system.Log(u"Cannot install INF files...unable to link to SetupCopyOEMInf()\r\n");
        return;
    case SetupApiState::kReady:
        break;
    }
    for (const String& inf : drivers)
        InstallDriver(system, inf, records);
}

void AddFirewallExceptions(RegistrationSystem& system, const FirewallRun& run, UninstallRecords& records) {
    if (run.text.IsEmpty()) return;
    Array<FirewallLine> lines;
    if (!ParseFirewallText(run.text.View(), lines)) system.Corrupt(kCodeFirewallLine);
    if (run.skip || lines.IsEmpty()) return;
    bool crashed = !system.Guarded([&] {
        long connected = system.ConnectFirewall();
        if (connected < 0) {
            system.Log(Format(u"Failed to connect to the firewall service: code %d\r\n",
                              static_cast<int32_t>(connected)));
            return;
        }
        for (const FirewallLine& line : lines) {
            String name = line.name.IsEmpty() ? run.productName : line.name;
            bool added = true;
            if (line.isPort)
                AddPort(system, line, name, added);
            else
                AddProgram(system, line, run.installDir, name, added);
            if (added && !line.keep) {
                records.firewall += line.line;
                records.firewall += "\r\n";
            }
        }
    });
    if (crashed) system.Log(u"CRASHED!\r\n");
}

} // namespace cs
