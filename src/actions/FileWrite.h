// The rules of writing one installed file that do not touch the system: what follows the
// last failed attempt, the texts of the failure summary and the log, the attributes an entry
// sets, its date as the file's time, when a long copy lets window messages through, and the
// version text of a version resource. FileWriteWin32.cpp applies them to the system.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>

namespace cs {

// How a write is tried: attempts, the pause between them, the copy's block and how long it
// may run before window messages are let through again.
constexpr int kWriteAttempts = 3;
constexpr uint32_t kWriteRetryPauseMs = 50;
constexpr uint32_t kWriteBlockBytes = 16384;
constexpr uint32_t kWriteMessageIntervalMs = 200;

// The system's error codes the rules look at (their Windows values).
constexpr uint32_t kWriteErrorPathNotFound = 3;
constexpr uint32_t kWriteErrorDiskFull = 112;
constexpr uint32_t kWriteErrorInvalidName = 123;

// The attributes an entry decides (read-only, hidden, system, archive, temporary, offline);
// the file keeps its others, the folder bit among them.
constexpr uint32_t kEntryAttributeMask = 0x1127;

// ---- After the last failed attempt -------------------------------------------------------

enum class WriteFallback {
    Fail,             // the failure text goes to the summary
    DriveMissing,     // the destination's drive is not there
    ReplaceAtRestart, // a temporary file beside it replaces it at the next restart
};

// A missing drive fails; otherwise a file that existed before, or any file when option word
// 1 asks to replace files in use (0x800), is replaced at the next restart, unless the name
// is invalid (123) or the disk is full (112).
WriteFallback ChooseWriteFallback(uint32_t error, bool driveMissing, bool existedBefore,
                                  uint32_t optionWord1);

// The drive letter of a path that begins with one ("X:..."), else 0.
char16_t DriveLetterOf(const String& path);

// ---- Texts -------------------------------------------------------------------------------

// "<failure word> <destination>\r\n<system text>".
String WriteFailureText(const String& failureWord, const String& destination, const String& systemText);
String DriveMissingText(char16_t letter);
String NoTempFileText(const String& destination, const String& systemText);
String ReplacementRegisteredText(const String& destination, const String& tempFile);
String ReplacementFailedText(const String& destination, const String& tempFile, const String& systemText);

// ---- Attributes and dates ----------------------------------------------------------------

// The file's attributes with those of kEntryAttributeMask taken from the entry's.
uint32_t AttributesWanted(uint32_t current, uint32_t entry);

// The date a file is given: the entry's, at 00:00:00 when it has no time (hour below 0).
DateValue StampOf(const DateValue& date);

// A file time (100-nanosecond intervals since 1601-01-01, UTC) as a date with its time.
DateValue DateValueOfFileTime(uint64_t fileTime);

// ---- Copying -----------------------------------------------------------------------------

// When a copy lets window messages through: after its first block, then after any block that
// ends more than kWriteMessageIntervalMs after the last time. Ticks are milliseconds and may
// wrap around.
class MessagePacer {
  public:
    // Called after each block with the current tick count; true when messages are due.
    bool Due(uint32_t now);

  private:
    bool started_ = false;
    uint32_t last_ = 0;
};

// ---- Version resources -------------------------------------------------------------------

// The queries of the "FileVersion" text, in the order they are tried: the block of the first
// translation (language and code page, when the resource has one), then the common English
// blocks 040904B0 and 040904E4.
Array<String> FileVersionQueries(const uint16_t* firstTranslation);

// The version text as the file comparison reads it: 8-bit, every "," replaced by ".".
String8 VersionText(const String& text);

// The fixed version numbers (the high and low double words) as "a.b.c.d".
String8 FixedVersionText(uint32_t mostSignificant, uint32_t leastSignificant);

} // namespace cs
