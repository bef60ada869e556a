#include "log/Log.h"

#include "core/Format.h"
#include "core/Text.h"
#include "runtime/InstallerState.h"

namespace cs {

namespace {

LogSystem* g_system = nullptr;

const char kByteOrderMark[] = "\xEF\xBB\xBF";
const char kSeparator[] = "\r\n\r\n**********************************************\r\n";

void Spool(const String8& utf8) {
    if (g_system && !utf8.IsEmpty()) g_system->AppendToSpool(utf8.c_str(), utf8.Length());
}

// A text of the language table as the log uses it: its wizard placeholders expanded.
String Text(int number) {
    if (!g_system) return {};
    String text = g_system->LanguageText(number);
    g_system->ExpandText(text);
    return text;
}

bool HasByteOrderMark(const String8& text) {
    return text.View().substr(0, 3) == kByteOrderMark;
}

const char16_t* InstallTypeWord(int type) {
    switch (type) {
    case 1:
        return u"Reinstall";
    case 2:
        return u"Upgrade";
    case 3:
        return u"Downgrade";
    default:
        return u"New";
    }
}

} // namespace

void SetLogSystem(LogSystem* system) {
    g_system = system;
}

void LogText8(const String8& text) {
    Spool(ToUtf8(FromCodePage(text.View(), kCodePage1252)));
}
void LogTextWide(const String& text) {
    Spool(ToUtf8(text));
}

void LogPieces8(std::initializer_list<const char*> pieces) {
    String8 joined;
    for (const char* piece : pieces) {
        if (!piece) break;
        joined.Append(piece);
    }
    LogText8(joined);
}

void LogPiecesWide(std::initializer_list<const char16_t*> pieces) {
    String joined;
    for (const char16_t* piece : pieces) {
        if (!piece) break;
        joined.Append(piece);
    }
    LogTextWide(joined);
}

void LogRaw(const String8& bytes) {
    Spool(bytes);
}

String ErrorCodeText(int64_t code) {
    if (code >= 0) return Format(u"%d", code);
    return Format(u"0x%X", static_cast<uint32_t>(code));
}

String FailureLines(const String& subject, int64_t code) {
    String word = Text(kLangFailureWord);
    String lines = Format(u"%s %s\r\n", word, subject);
    if (code != 0) {
        String text = g_system ? g_system->SystemErrorText(static_cast<uint32_t>(code)) : String();
        lines += Format(u"Code %s: %s\r\n\r\n", ErrorCodeText(code), text);
    }
    return lines;
}

void LogFailure(const String& subject, int64_t code) {
    LogTextWide(FailureLines(subject, code));
}

void RecordFailure(const String& path) {
    uint32_t code = g_system ? g_system->LastError() : 0;
    Installer().outcome.failureSummary += FailureLines(path, static_cast<int32_t>(code));
    if (code == kErrorDiskFull) {
        Installer().outcome.diskFull = true;
        if (g_system) g_system->RemoveFile(path);
    }
}

void RecordUnwrittenFile(uint32_t error) {
    RunOutcome& outcome = Installer().outcome;
    if (error == kErrorDiskFull || error == kErrorHandleDiskFull) outcome.diskFull = true;
    outcome.fileNotWritten = true;
}

String& FailureSummary() {
    return Installer().outcome.failureSummary;
}
bool DiskFull() {
    return Installer().outcome.diskFull;
}

void ResetLogState() {
    Installer().outcome.failureSummary.Clear();
    Installer().outcome.diskFull = false;
    Installer().outcome.fileNotWritten = false;
}

String HeaderText(const LogHeader& h) {
    String text;
    text += Format(u"Installation log for: %s\r\n", h.productName);
    text += Format(u"Install date: %s\r\n", h.installDate);
    if (h.withInstallType) text += Format(u"Install type: %s\r\n", InstallTypeWord(h.installType));
    text += Format(u"Install location: %s\r\n", h.installLocation);
    text += u"Installer version: 51.0\r\n";
    if (h.built.month != 0)
        text += Format(u"Installer built: %04d/%02d/%02d\r\n", h.built.year, h.built.month, h.built.day);
    if (!h.productVersion.IsEmpty()) text += Format(u"Product version: %s\r\n", h.productVersion);
    if (!h.oldVersion.IsEmpty()) text += Format(u"Overwriting version: %s\r\n", h.oldVersion);
    text += Format(u"Operating system: %s\r\n", h.osDescription);
    if (h.signatureResult >= 0)
        text += Format(u"Signature: code %d: %s\r\n", h.signatureResult, h.signatureText);
    text += u"\r\n";
    return text;
}

String8 AppendLogBlock(const String8& existing, const LogHeader& header, const String8& spool,
                       const String& failureSummary, const String& completionText) {
    String8 out;
    if (existing.IsEmpty()) {
        out.Append(kByteOrderMark);
    } else {
        if (HasByteOrderMark(existing))
            out = existing;
        else
            out = String8(kByteOrderMark) + ToUtf8(FromCodePage(existing.View(), kCodePage1252));
        out.Append(kSeparator);
    }
    out += ToUtf8(HeaderText(header));
    out += spool;
    out.Append("\r\n");
    if (!failureSummary.IsEmpty()) {
        out.Append("*** FAILURE SUMMARY ***\r\n");
        out += ToUtf8(failureSummary);
    } else {
        out += ToUtf8(completionText);
        out.Append("\r\n");
    }
    return out;
}

bool FinishLog(const FinishOptions& o) {
    if (!g_system) return false;
    LogSystem& sys = *g_system;
    bool failed = !Installer().outcome.failureSummary.IsEmpty();
    if (failed) sys.NotifyFailure();
    String completionText = Text(kLangCompletionText);
    bool view = false;
    if (o.interactive && !o.automatic) {
        if (!failed && !(o.optionWord1 & kOpt1NoCompletionMessage)) sys.ShowCompletion(completionText);
        if (failed)
            view =
                sys.AskYesNo(Format(Text(kLangViewLogQuestion).c_str(), o.logPath), Text(kLangViewLogTitle));
    }
    bool written = false;
    if ((o.optionWord1 & kOpt1KeepInstallLog) || failed) {
        String8 existing;
        if (sys.ReadLog(o.logPath, existing)) {
            LogHeader header = o.header;
            if (header.installDate.IsEmpty()) header.installDate = sys.Now();
            String8 contents = AppendLogBlock(existing, header, sys.ReadSpool(),
                                              Installer().outcome.failureSummary, completionText);
            written = sys.WriteLog(o.logPath, contents);
            if (written) sys.LoosenAccess(o.logPath);
        }
        if (!written) RecordUnwrittenFile(sys.LastError());
    }
    if (view && written && !o.silent) sys.OpenForViewing(o.logPath);
    sys.DeleteSpool();
    return written;
}

} // namespace cs
