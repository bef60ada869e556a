#include "app/Refusals.h"

#include "core/Fatal.h"
#include "payload/Definition.h"

namespace cs {

BitnessVerdict CheckBitness(uint8_t bitness, bool windows64) {
    if (bitness == kBitness64 && !windows64) return BitnessVerdict::Needs64BitWindows;
    if (bitness == kBitness32Only && windows64) return BitnessVerdict::Needs32BitWindows;
    return BitnessVerdict::Fits;
}

bool IsExcludedSystem(int32_t excludedMask, uint32_t systemBit) {
    return (static_cast<uint32_t>(excludedMask) & systemBit) != 0;
}

namespace {

// The number starting at text[at]; at moves past it and past the text up to the next ".".
uint64_t NextVersionNumber(const String& text, size_t& at) {
    uint64_t n = 0;
    while (at < text.Length() && text[at] >= u'0' && text[at] <= u'9' && n < 100000000000ull)
        n = n * 10 + (text[at++] - u'0');
    while (at < text.Length() && text[at] != u'.')
        ++at;
    if (at < text.Length()) ++at;
    return n;
}

} // namespace

int CompareVersions(const String& a, const String& b) {
    size_t i = 0, j = 0;
    while (i < a.Length() || j < b.Length()) {
        uint64_t x = NextVersionNumber(a, i), y = NextVersionNumber(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

MasterVerdict CheckMaster(const MasterProduct& master, bool defaultFolderIsMaster, const String& minVersion) {
    if (!master.installed || (defaultFolderIsMaster && master.location.IsEmpty()))
        return MasterVerdict::Missing;
    if (!minVersion.IsEmpty() && CompareVersions(master.version, minVersion) < 0)
        return MasterVerdict::TooOld;
    return MasterVerdict::Fits;
}

String UninstallFirstCommand(const String& uninstallString, const String& ownCommandLine, bool silent,
                             bool automatic) {
    String command = uninstallString + u" /r:\"";
    for (char16_t c : ownCommandLine)
        command.Append(c == u'"' ? u'`' : c);
    command.Append(u'"');
    if (silent) command += u" /silent";
    if (automatic) command += u" /a";
    return command;
}

int FinalExitCode(uint32_t optionWord1, bool diskFull, bool fileNotWritten) {
    if (fileNotWritten) return diskFull ? kExitDiskFull : kFatalExitCode;
    if (optionWord1 & kOpt1RebootRequired) return kExitRebootNeeded;
    if (diskFull) return kExitDiskFull;
    return kExitSuccess;
}

} // namespace cs
