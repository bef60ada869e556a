#include "vars/Batch.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"

#include <string>

namespace cs {

namespace {

struct SetLine {
    const char16_t* name; // the variable's name without percent signs
    bool quoted;          // SET "Name=value" rather than SET Name=value
};

// The SET lines in their order; "Existing" is the one the uninstaller leaves out.
constexpr SetLine kSetLines[] = {
    {u"Automatic", false},
    {u"InstallDir", true},
    {u"Bits", true},
    {u"UninstallDir", true},
    {u"SharedDir", true},
    {u"InstallerFilepath", true},
    {u"InstallerDir", true},
    {u"InstallerFilename", true},
    {u"InstallerDrive", true},
    {u"SystemDir", true},
    {u"DeviceDir", true},
    {u"MediaDir", true},
    {u"FavoritesDir", true},
    {u"FavoritesAllDir", true},
    {u"FontDir", true},
    {u"DesktopDir", true},
    {u"DesktopAllDir", true},
    {u"DesktopShortcuts", true},
    {u"DocumentDir", true},
    {u"DocumentAllDir", true},
    {u"ProductName", true},
    {u"CompanyName", true},
    {u"ProgramsDir", true},
    {u"ProgramsDir32", true},
    {u"ProgramsDir64", true},
    {u"StartMenuAllDir", true},
    {u"StartMenuChosen", true},
    {u"StartMenuDir", true},
    {u"SMProgramsDir", true},
    {u"SMProgramsAllDir", true},
    {u"StartupDir", true},
    {u"StartupAllDir", true},
    {u"CommonDir", true},
    {u"CommonDir32", true},
    {u"CommonDir64", true},
    {u"Inetpub", true},
    {u"AppDataDir", true},
    {u"AppDataAllDir", true},
    {u"InstallDrive", false},
    {u"BootDrive", false},
    {u"Version", false},
    {u"VersionMajor", false},
    {u"VersionMinor", false},
    {u"VersionRevision", false},
    {u"OldVersion", false},
    {u"OldVersionMajor", false},
    {u"OldVersionMinor", false},
    {u"Portable", false},
    {u"Existing", false},
    {u"NetworkInstall", false},
    {u"Language", false},
    {u"LogFilepath", false},
    {u"UninstallerFilepath", true},
    {u"OS", false},
    {u"OSMajor", false},
    {u"OSMinor", false},
    {u"OSName", false},
    {u"OSDescription", false},
    {u"OSServer", false},
};
static_assert(sizeof kSetLines / sizeof kSetLines[0] == 59);

const String& ValueOf(const Array<Variable>& table, const char16_t* name) {
    String wanted = String(u"%") + name + u"%";
    for (const Variable& v : table)
        if (CompareExact(v.name, wanted.c_str()) == 0) return v.value;
    static const String none;
    return none;
}

// cmd.exe reads "%" in a batch line as the start of a reference and drops a lone one; doubled,
// it reaches the variable as one "%", so the batch sees the value ExpandVariables gives.
String EscapePercent(const String& value) {
    if (value.View().find(u'%') == std::u16string_view::npos) return value;
    String escaped;
    for (char16_t c : value) {
        escaped += c;
        if (c == u'%') escaped += c;
    }
    return escaped;
}

bool IsLineBlank(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

bool EqualsNoCaseAscii(std::string_view a, const char* b) {
    size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != b[i]) return false;
    }
    return true;
}

} // namespace

String BatchVariableLines(const VariableInputs& in, bool uninstaller) {
    Array<Variable> table = VariableTable(in);
    String text = u"@echo off\r\n";
    for (const SetLine& line : kSetLines) {
        if (uninstaller && CompareExact(line.name, u"Existing") == 0) continue;
        text += line.quoted ? u"SET \"" : u"SET ";
        text += line.name;
        text += u"=";
        text += EscapePercent(ValueOf(table, line.name));
        text += line.quoted ? u"\"\r\n" : u"\r\n";
    }
    return text;
}

String8 WithoutPauseLines(const String8& commands) {
    String8 out;
    std::string_view text = commands.View();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // the line break's own CR
        start = next;

        std::string_view core = line;
        while (!core.empty() && IsLineBlank(core.front()))
            core.remove_prefix(1);
        while (!core.empty() && IsLineBlank(core.back()))
            core.remove_suffix(1);
        if (!core.empty() && core.front() == '@') {
            core.remove_prefix(1);
            while (!core.empty() && IsLineBlank(core.front()))
                core.remove_prefix(1);
        }
        if (EqualsNoCaseAscii(core, "PAUSE")) continue;
        out.Append(line.data(), line.size());
        out.Append("\r\n");
    }
    return out;
}

bool BatchMayBeUtf8(const OsRecord& os) {
    return os.platform == kPlatformNt && (os.major > 6 || (os.major == 6 && os.minor >= 1));
}

String8 NormalizeLineEnds(const String8& text) {
    String8 out;
    std::string_view in = text.View();
    size_t runStart = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        bool crlf = in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n';
        bool lfcr = in[i] == '\n' && i + 1 < in.size() && in[i + 1] == '\r';
        if (!crlf && !lfcr && in[i] != '\n') continue;
        out.Append(in.data() + runStart, i - runStart);
        out.Append("\r\n");
        if (crlf || lfcr) ++i;
        runStart = i + 1;
    }
    out.Append(in.data() + runStart, in.size() - runStart);
    if (!out.View().ends_with("\r\n")) out.Append("\r\n");
    return out;
}

String8 EncodeBatchText(const String& text, const OsRecord& os) {
    bool wide = false;
    for (char16_t c : text)
        if (c >= 128) wide = true;
    String8 encoded;
    if (wide && BatchMayBeUtf8(os)) {
        encoded = "@chcp 65001 >nul\r\n";
        encoded += ToCodePage(text, kCodePageUtf8);
    } else {
        encoded = "@chcp 1252 >nul\r\n";
        encoded += ToCodePage(text, kCodePage1252);
    }
    return NormalizeLineEnds(encoded);
}

String8 BatchText(const VariableInputs& in, const String8& commands, const BatchTextOptions& options) {
    String text = BatchVariableLines(in, options.uninstaller);
    text +=
        FromCodePage((options.filterPause ? WithoutPauseLines(commands) : commands).View(), kCodePage1252);
    return EncodeBatchText(text, options.os);
}

String CommandInterpreterPath(const String& expandedComspec, const OsRecord& os, const String& windowsDir,
                              const String& systemDir32, const String& systemDir) {
    if (!expandedComspec.IsEmpty() && !EqualsNoCase(expandedComspec, u"%comspec%")) return expandedComspec;
    if (os.platform == kPlatformWin9x && os.major == 4) return JoinPath(windowsDir, u"command.com");
    return JoinPath(systemDir32.IsEmpty() ? systemDir : systemDir32, u"cmd.exe");
}

BatchInterpreter ChooseBatchInterpreter(const String& interpreter, const String& systemFolder,
                                        const String& systemFolder32, bool interpreter32Usable) {
    BatchInterpreter choice;
    choice.path = interpreter;
    if (systemFolder32.IsEmpty()) return choice;
    String path32 = RedirectedPath(interpreter, systemFolder, systemFolder32);
    if (interpreter32Usable && !EqualsNoCase(path32, interpreter.c_str())) {
        choice.path = path32;
        choice.logLine = Format(u"Batch runs in the 32-bit command interpreter %s\r\n", path32);
    } else {
        choice.environment32 = true;
        choice.logLine = Format(
            u"No 32-bit command interpreter: batch runs in %s with a 32-bit environment\r\n", interpreter);
    }
    return choice;
}

namespace {

// The entry's value when its name is the given one (case ignored), else nullptr.
const char16_t* ValueOf(const String& entry, const char16_t* name) {
    size_t n = std::char_traits<char16_t>::length(name);
    if (entry.Length() <= n || entry[n] != u'=' ||
        CompareNoCase(entry.c_str(), name, static_cast<int>(n)) != 0)
        return nullptr;
    return entry.c_str() + n + 1;
}

const char16_t* Lookup(const Array<String>& environment, const char16_t* name) {
    for (const String& entry : environment)
        if (const char16_t* value = ValueOf(entry, name)) return value;
    return nullptr;
}

} // namespace

Array<String> Environment32(const Array<String>& environment) {
    const char16_t* programFiles = Lookup(environment, u"ProgramFiles(x86)");
    const char16_t* commonFiles = Lookup(environment, u"CommonProgramFiles(x86)");
    bool hasArchitew = Lookup(environment, u"PROCESSOR_ARCHITEW6432") != nullptr;
    Array<String> out;
    for (const String& entry : environment) {
        if (const char16_t* machine = ValueOf(entry, u"PROCESSOR_ARCHITECTURE")) {
            out.Append(u"PROCESSOR_ARCHITECTURE=x86");
            if (!hasArchitew) out.Append(String(u"PROCESSOR_ARCHITEW6432=") + machine);
        } else if (ValueOf(entry, u"ProgramFiles") && programFiles) {
            out.Append(String(u"ProgramFiles=") + programFiles);
        } else if (ValueOf(entry, u"CommonProgramFiles") && commonFiles) {
            out.Append(String(u"CommonProgramFiles=") + commonFiles);
        } else {
            out.Append(entry);
        }
    }
    return out;
}

String BatchProcessCommandLine(const String& interpreter, const String& batchPath,
                               const String& capturePath) {
    String command = batchPath;
    if (!capturePath.IsEmpty()) command += String(u" > ") + capturePath;
    if (command.View().find(u' ') != std::u16string_view::npos) command = String(u"\"") + command + u"\"";
    return String(u"\"") + interpreter + u"\" /c " + command;
}

String8 CapturedOutputForLog(const String8& captured) {
    std::string_view text = captured.View();
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty()) return {};
    String8 out(text.data(), text.size());
    out.Append("\r\n\r\n");
    return out;
}

} // namespace cs
