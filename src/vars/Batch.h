// The batch file the batch runner writes: the code-page line, "@echo off", one SET line per
// installer value, then the commands. Building the text is a pure function of its inputs;
// BatchWin32.cpp writes, runs and deletes the file.
#pragma once

#include "core/Array.h"
#include "core/OsInfo.h"
#include "core/String.h"
#include "vars/Variables.h"

namespace cs {

constexpr const char16_t kBatchFileName[] = u"SETUPBAT.BAT";
constexpr const char16_t kBatchCaptureFileName[] = u"cs_batch.log";

struct BatchTextOptions {
    bool uninstaller = false; // leaves out "SET Existing=..."
    bool filterPause = false; // automatic mode or a hidden window: PAUSE lines are dropped
    OsRecord os;              // picks the encoding
};

// "@echo off\r\n" and the SET lines, wide, in their fixed order. A "%" in a value is
// written "%%", which cmd.exe reads back as one "%".
String BatchVariableLines(const VariableInputs& in, bool uninstaller);

// The commands (code page 1252) without the lines that are only "PAUSE" once blanks and one
// leading "@" are set aside; every other line is kept as it was and ends in "\r\n".
String8 WithoutPauseLines(const String8& commands);

// True on the NT family from version 6.1 on, where a batch file may be UTF-8.
bool BatchMayBeUtf8(const OsRecord& os);

// The code-page line and the text in that code page: UTF-8 with "@chcp 65001 >nul" when the
// system allows it and the text needs it, else code page 1252 with "@chcp 1252 >nul" ('?'
// for what 1252 lacks). Line ends are normalised.
String8 EncodeBatchText(const String& text, const OsRecord& os);

// Every lone line feed and every "\n\r" becomes "\r\n"; the text ends with "\r\n".
String8 NormalizeLineEnds(const String8& text);

// The whole batch file.
String8 BatchText(const VariableInputs& in, const String8& commands, const BatchTextOptions& options);

// The command interpreter: the expanded "%comspec%" when it names something (the expansion
// is not empty and not the text "%comspec%" itself); otherwise "command.com" in the Windows
// folder on the 9x family with version 4, and "cmd.exe" in the 32-bit system folder (the
// system folder when that is unknown) on every other system.
String CommandInterpreterPath(const String& expandedComspec, const OsRecord& os, const String& windowsDir,
                              const String& systemDir32, const String& systemDir);

// The interpreter a product's batch runs in. A 32-bit product under the 64-bit engine
// (systemFolder32 not "") gets what the 32-bit engine gets on 64-bit Windows: the interpreter
// where the path leads a 32-bit program (RedirectedPath, core/Folders.h) when that one is
// usable; else the given one, started with Environment32. Anything else: the given one as it
// is. The log line says which of the two a 32-bit product's batch got ("" otherwise).
struct BatchInterpreter {
    String path;
    bool environment32 = false;
    String logLine;
};
BatchInterpreter ChooseBatchInterpreter(const String& interpreter, const String& systemFolder,
                                        const String& systemFolder32, bool interpreter32Usable);

// The environment a 32-bit program gets on 64-bit Windows, made from a 64-bit program's
// ("Name=value" entries, names without case): "PROCESSOR_ARCHITECTURE" is "x86" with the
// real one moved to "PROCESSOR_ARCHITEW6432", and "ProgramFiles" and "CommonProgramFiles"
// take the values of "ProgramFiles(x86)" and "CommonProgramFiles(x86)" when those exist.
// Every other entry is kept as it is, in its place.
Array<String> Environment32(const Array<String>& environment);

// The interpreter's command line: "\"<interpreter>\" /c <batch>[ > <capture>]", the part
// after "/c " in double quotes when it holds a blank.
String BatchProcessCommandLine(const String& interpreter, const String& batchPath, const String& capturePath);

// Captured output as it goes into the log: trailing blanks, tabs and line breaks removed,
// then "\r\n\r\n"; empty when nothing is left.
String8 CapturedOutputForLog(const String8& captured);

} // namespace cs
