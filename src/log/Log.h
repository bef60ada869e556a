// The installation log: lines spooled during the run, the failure summary, and the closing
// step that appends one block (header, spooled lines, summary or completion text) to
// "Install.log". The rules are portable; what touches the system comes through LogSystem.
#pragma once

#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace cs {

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr int kLangFailureWord = 31;
constexpr int kLangViewLogQuestion = 40;
constexpr int kLangViewLogTitle = 41;
constexpr int kLangCompletionText = 43;

// What the log needs of the system and of the run. The Windows build fills it with the
// temporary spool file, the real files, message boxes and the shell; tests fill it in memory.
class LogSystem {
  public:
    virtual ~LogSystem() = default;
    // The spool.
    virtual void AppendToSpool(const char* data, size_t size) = 0;
    virtual String8 ReadSpool() = 0;
    virtual void DeleteSpool() = 0;
    // Texts and errors. The log passes every language text through ExpandText: the wizard
    // placeholders ("<product>" ...) with the run's values.
    virtual String LanguageText(int number) = 0;
    virtual void ExpandText(String& text) = 0;
    virtual String SystemErrorText(uint32_t code) = 0; // user's language, then English if it differs
    virtual uint32_t LastError() = 0;
    virtual void RemoveFile(const String& path) = 0;
    // The log file: a missing one reads as empty; false when it cannot be read. WriteLog
    // replaces it whole or leaves it as it was (false).
    virtual bool ReadLog(const String& path, String8& contents) = 0;
    virtual bool WriteLog(const String& path, const String8& contents) = 0;
    virtual void LoosenAccess(const String& path) = 0;
    // Questions and messages of the closing step.
    virtual bool AskYesNo(const String& text, const String& title) = 0;
    virtual void ShowCompletion(const String& text) = 0; // the completion text, expanded
    virtual void OpenForViewing(const String& path) = 0;
    virtual void NotifyFailure() = 0; // the failure notification request
    virtual String Now() = 0;         // the current local date and time, as the header shows it
};

void SetLogSystem(LogSystem* system);

// Spool writers. 8-bit text is code page 1252; everything is stored as UTF-8 ('?' for what
// cannot be converted).
void LogText8(const String8& text);
void LogTextWide(const String& text);
void LogPieces8(std::initializer_list<const char*> pieces);
void LogPiecesWide(std::initializer_list<const char16_t*> pieces);
// Copies bytes unchanged (captured batch output).
void LogRaw(const String8& bytes);

// "<failure word> <subject>\r\n" and, for a non-zero code, "Code <code>: <text>\r\n\r\n".
String FailureLines(const String& subject, int64_t code);
void LogFailure(const String& subject, int64_t code);
// The same lines for the failure summary, with the thread's last error. A disk-full error
// sets the disk-full flag and deletes the partly written file.
void RecordFailure(const String& path);
// A file the uninstallation or the user depends on could not be put in place, with the
// system's error: the run fails (a full disk also sets the disk-full flag).
void RecordUnwrittenFile(uint32_t error);
String& FailureSummary();
bool DiskFull();
void ResetLogState();

// A code of 0 or more in decimal; a negative one as "0x" and upper-case hex.
String ErrorCodeText(int64_t code);

struct LogHeader {
    String productName;
    String installDate;
    bool withInstallType = false; // the product registers an uninstaller
    int installType = 0;
    String installLocation;
    BuildDate built;
    String productVersion;
    String oldVersion;
    String osDescription;
    int signatureResult = -1; // below 0: the signature was not checked
    String signatureText;
};
String HeaderText(const LogHeader& header);

// The file's new contents: an old log without byte-order mark converted from code page 1252,
// then the separator (or the byte-order mark for a new file), header, spooled lines, and the
// failure summary or the completion text.
String8 AppendLogBlock(const String8& existing, const LogHeader& header, const String8& spool,
                       const String& failureSummary, const String& completionText);

struct FinishOptions {
    String logPath;
    bool interactive = false;
    bool automatic = false;
    bool silent = false;
    uint32_t optionWord1 = 0;
    LogHeader header;
};
// The closing step: notification, questions, writing, viewing, and the spool's deletion.
// Returns true when the log file was written; a log that should have been written and was
// not fails the run (RecordUnwrittenFile).
bool FinishLog(const FinishOptions& options);

} // namespace cs
