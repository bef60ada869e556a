#include "vars/BatchWin32.h"

#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/TempFile.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/FileRemovalWin32.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "runtime/ProcessWin32.h"
#include "vars/VariablesWin32.h"

#include <vector>
#include <windows.h>

namespace cs {

namespace {

// Shown in an error box unless automatic, and logged.
void ReportBatchFailure(const String& message) {
    if (!Installer().automatic) ShowMessage(message, u"Error", MB_ICONERROR | MB_OK);
    LogTextWide(message + u"\r\n");
}

// Starts the batch in the interpreter the product's batches run in (ChooseBatchInterpreter):
// for a 32-bit product on 64-bit Windows the 32-bit one, or, where none exists or starts
// (only under the 64-bit engine), the engine's own with the environment a 32-bit program sees. The choice is
// logged with a logged batch; the fallback, a batch not quite as the product expects, always. The command
// line used comes back for the failure message.
UniqueHandle StartBatchInterpreter(const String& interpreter, const String& batchPath,
                                   const String& capturePath, const String& folder, bool hidden, bool logged,
                                   String& commandLine) {
    // Both engines choose, so that both logs name the interpreter alike.
    String system = GetFolder(FolderId::System), system32 = Product32BitSystemFolder();
    String path32 = RedirectedPath(interpreter, system, system32);
    BatchInterpreter choice = ChooseBatchInterpreter(interpreter, system, system32, IsExistingFile(path32));
    commandLine = BatchProcessCommandLine(choice.path, batchPath, capturePath);
    UniqueHandle process;
    if (!choice.environment32) process = StartProcess(commandLine, folder, hidden, NORMAL_PRIORITY_CLASS);
    if (!process && !system32.IsEmpty() && !choice.environment32) // present, but no 32-bit code runs here
        choice = ChooseBatchInterpreter(interpreter, system, system32, false);
    if (choice.environment32) {
        Array<String> environment = Environment32(ProcessEnvironment());
        commandLine = BatchProcessCommandLine(choice.path, batchPath, capturePath);
        process = StartProcess(commandLine, folder, hidden, NORMAL_PRIORITY_CLASS, &environment);
    }
    if (!choice.logLine.IsEmpty() && (logged || choice.environment32)) LogTextWide(choice.logLine);
    return process;
}

} // namespace

String CommandInterpreter() {
    std::vector<wchar_t> buffer(32768);
    DWORD n = ExpandEnvironmentStringsW(L"%comspec%", buffer.data(), static_cast<DWORD>(buffer.size()));
    String comspec;
    if (n > 1 && n <= buffer.size()) comspec = FromW(buffer.data());
    return CommandInterpreterPath(comspec, CurrentOsRecord(), SystemFolders().Windows(),
                                  GetFolder(FolderId::System32), GetFolder(FolderId::System));
}

bool RunBatch(const String8& commands, bool hide, const String& label) {
    if (commands.IsEmpty()) return true;
    const InstallerState& state = Installer();
    bool hidden = hide || state.Silent();
    if (!label.IsEmpty()) LogPiecesWide({u"\r\nRunning ", label.c_str(), u"...\r\n"});

    String interpreter = CommandInterpreter();
    if (!IsExistingFile(interpreter)) {
        LogPiecesWide({u"The CLI ", interpreter.c_str(), u" does not exist!\r\n"});
        return false;
    }

    BatchTextOptions options;
    options.uninstaller = state.commandLine.uninstall;
    options.filterPause = state.automatic || hidden;
    options.os = CurrentOsRecord();
    String8 text = BatchText(CurrentVariableInputs(), commands, options);

    // The commands run in the installation folder when it exists; the files themselves live
    // in a fresh folder of our own that nobody else can write, created new, so no planted
    // file or link at their names is ever written through and nobody can swap the batch
    // between its writing and its run.
    String workFolder =
        IsExistingFolder(state.folders.installDir) ? state.folders.installDir : GetFolder(FolderId::Temp);
    String folder = MakePrivateTempFolder();
    String batchPath = JoinPath(folder.IsEmpty() ? GetFolder(FolderId::Temp) : folder, kBatchFileName);
    if (folder.IsEmpty() || !WriteNewFile(batchPath, text.View())) {
        String error = WindowsSystemErrorText(GetLastError());
        ReportBatchFailure(Format(u"Unable to create batch file \"%s\".\r\n\r\n%s", batchPath, error));
        if (!folder.IsEmpty()) RemoveDirectoryW(W(folder));
        return false;
    }

    String capturePath;
    if (!label.IsEmpty()) {
        capturePath = JoinPath(folder, kBatchCaptureFileName);
        // Made empty here (its short name needs the file); the batch's redirection writes into it.
        UniqueHandle capture(CreateFileW(W(capturePath), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!capture) {
            String error = WindowsSystemErrorText(GetLastError());
            LogPiecesWide({u"Failed to create batch output capture file.  ", error.c_str(), u"\r\n"});
            capturePath.Clear();
        }
    }
    auto removeFiles = [&] {
        if (!capturePath.IsEmpty()) DeleteFileEx(capturePath, kDeleteRestartOnFailure);
        DeleteFileEx(batchPath, kDeleteRestartOnFailure);
        RemoveDirectoryW(W(folder));
    };

    String commandLine;
    UniqueHandle batch = StartBatchInterpreter(interpreter, ShortPathOf(batchPath),
                                               capturePath.IsEmpty() ? String() : ShortPathOf(capturePath),
                                               workFolder, hidden, !label.IsEmpty(), commandLine);
    if (!batch) {
        String error = WindowsSystemErrorText(GetLastError());
        ReportBatchFailure(Format(u"Unable to launch batch file \"%s\".\r\n%s\r\nCommand-line: %s", batchPath,
                                  error, commandLine));
        // Nothing ran: the files are not left behind.
        removeFiles();
        return false;
    }
    WaitForProcessProcessingMessages(batch.Get());

    if (!capturePath.IsEmpty()) {
        String8 captured;
        ReadWholeFile(capturePath, captured);
        String8 output = CapturedOutputForLog(captured);
        if (!output.IsEmpty()) LogRaw(output);
    }
    removeFiles();
    return true;
}

} // namespace cs
