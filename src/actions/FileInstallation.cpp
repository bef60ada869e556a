#include "actions/FileInstallation.h"

#include "actions/SystemRegistrations.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "log/Log.h"
#include "payload/FileNames.h"

namespace cs {

namespace {

// The line that follows a failure with an error code: "Code <code>: <text>\r\n\r\n".
String CodeLine(FileInstallSystem& system, uint32_t error) {
    if (error == 0) return String();
    return Format(u"Code %s: %s\r\n\r\n", ErrorCodeText(error), system.SystemErrorText(error));
}

int ProgressOf(int index, int count) {
    return kProgressFilesStart + (count > 0 ? kProgressFilesSpan * index / count : 0);
}

} // namespace

void FileInstaller::Install(const FileRecord& entry, int index, int count) {
    if (!IsFileKind(entry.kind)) system_.Corrupt(kCodeFileKind);
    if (entry.size < 0) system_.Corrupt(kCodeFileSize);
    if (RefusedNames(entry)) return;
    bool removable = run_.folders.removableDrive;
    Destination destination =
        ResolveDestination(entry, run_.folders, [this](String& text) { system_.ExpandVariables(text); });
    if (destination.problem)
        return Refuse(entry, "destination", entry.destination, FromUtf8(destination.problem));
    // The name the log, the uninstaller's records and the shared-file counts know; the file
    // operations act where that name leads a 32-bit program.
    const String& path = destination.path;
    if (!placed_.Set(PathCompareKey(path), true))
        return Refuse(entry, "destination", path,
                      u"is the destination of an earlier file of this installation");
    String onDisk = RedirectedPath(path, run_.folders.systemFolder, run_.folders.systemFolder32);

    String line = Format(u"%s >>> %s", FileNameOf(destination.name), path);
    bool hide = HidesFileName(entry.name, (run_.optionWord2 & kOpt2HideFileNames) != 0);
    position_ = ProgressOf(index, count);
    system_.ShowProgress(position_, hide ? system_.LanguageText(kTextFilesInstalled) : path);
    AddToLists(entry, path, onDisk);

    ExistingFile existing =
        system_.Inspect(onDisk, RulesOfKind(entry.kind).test == ExistingTest::VersionThenDate);
    FileVerdict verdict = DecideOverwrite(OverwriteModeOf(entry.flags), path, existing, entry.date);
    if (verdict.install) verdict = TestExistingFile(entry, path, existing, removable);
    if (!verdict.logText.IsEmpty()) system_.Log(verdict.logText);
    if (!verdict.install) {
        if (verdict.record) Record(entry, path, UninstallKind::kFile);
        return;
    }

    AddGeneratedShortcut(entry, onDisk);
    if (destination.createFolder && !MakeParentFolder(entry, path)) return;
    Record(entry, path, UninstallKind::kFile);

    WriteOutcome write = system_.Write(onDisk, entry, existing.exists);
    if (write.written && (run_.optionWord1 & kOpt1LogEveryFile)) system_.Log(line + u"\r\n");
    if (!write.logText.IsEmpty()) system_.Log(write.logText);
    if (!write.failure.IsEmpty()) system_.AddFailure(write.failure);
    if (write.diskFull) run_.diskFull = true;
    if (write.deferred) run_.optionWord1 |= kOpt1RebootRequired;
    if (write.written || (write.deferred && entry.kind == kControlPanelApplet)) FollowUp(entry, onDisk);
    if (write.written) lists_.installed.Append(onDisk);
}

// A record whose name or destination would leave its folder, open a device or is no name
// Windows can hold is refused like a file that cannot be written: a failure line, the
// entry skipped, the run going on (docs/file-installation.md tells why).
bool FileInstaller::RefusedNames(const FileRecord& entry) {
    RecordNameProblem problem;
    if (CheckRecordNames(entry, problem)) return false;
    bool name = std::string_view(problem.field) == "name";
    Refuse(entry, problem.field, name ? entry.name : entry.destination, FromUtf8(problem.what));
    return true;
}

void FileInstaller::Refuse(const FileRecord& entry, const char* field, const String& text,
                           const String& why) {
    String line = Format(u"File \"%s\" was not installed: its %s \"%s\" %s.\r\n\r\n", entry.name,
                         FromUtf8(field), text, why);
    system_.Log(line);
    system_.AddFailure(line);
}

// Records a file or folder for the uninstaller, unless the entry is kept or its kind leaves
// the file in place (a shared file's folder is still recorded).
void FileInstaller::Record(const FileRecord& entry, const String& path, UninstallKind kind) {
    if (entry.flags & kFileKeep) return;
    bool removable = run_.folders.removableDrive;
    bool recordable = IsRecordable(entry.kind, removable) ||
                      (kind == UninstallKind::kFolder && entry.kind == kSharedFile);
    if (recordable && run_.records) RecordUninstallPath(*run_.records, path, kind);
}

bool FileInstaller::MakeParentFolder(const FileRecord& entry, const String& destination) {
    String folder = FolderToCreate(destination, run_.folders.installDir);
    if (folder.IsEmpty()) return true;
    String reason;
    if (!system_.MakeFolder(RedirectedPath(folder, run_.folders.systemFolder, run_.folders.systemFolder32),
                            reason)) {
        system_.AddFailure(Format(u"%s %s\r\n%s\r\n\r\nNot installed: %s\r\n\r\n",
                                  system_.LanguageText(kTextCannotCreateFolder), folder, reason, destination));
        return false;
    }
    Record(entry, folder, UninstallKind::kFolder);
    return true;
}

// The shared-file list and the registrations' lists (whose lines name the file) under the
// recorded name; the registrations act where it leads. A font goes by the path on disk.
void FileInstaller::AddToLists(const FileRecord& entry, const String& recorded, const String& destination) {
    int marker = SharedFileMarker(entry.kind, entry.flags, run_.folders.removableDrive);
    if (marker >= 0) {
        String8 item = ToPathForm(recorded);
        if (marker) item += static_cast<char>(marker);
        lists_.sharedFiles.Append(item);
    }
    if (entry.kind == kComServerFile) lists_.comServers.Append(recorded);
    if (entry.kind == kTypeLibraryFile) lists_.typeLibraries.Append(recorded);
    if (entry.kind == kFontFile) lists_.listedFonts.Append({destination, entry.title, (entry.flags & kFileKeep) != 0});
}

void FileInstaller::AddGeneratedShortcut(const FileRecord& entry, const String& destination) {
    bool desktop = entry.kind == kAppFile && (entry.flags & kFileDesktopShortcut);
    bool startMenu = entry.kind == kAppFile && (entry.flags & kFileStartMenuShortcut);
    bool startup = entry.kind == kStartupFile;
    if (!(desktop || startMenu || startup) || !run_.shortcuts) return;
    Shortcut& s = run_.shortcuts->Append();
    s.target = destination;
    s.name = entry.title;
    s.icon = entry.icon;
    s.arguments = entry.arguments;
    s.workingFolder = entry.extra;
    s.desktop = desktop;
    s.startMenu = startMenu;
    s.startup = startup;
    s.keep = (entry.flags & kFileKeep) != 0;
}

void FileInstaller::FollowUp(const FileRecord& entry, const String& destination) {
    switch (entry.kind) {
    case kFontFile: RegisterFont(entry, destination); break;
    case kDriverPackage: lists_.drivers.Append(destination); break;
    case kMsiPackage: InstallMsiPackage(entry, destination); break;
    case kControlPanelApplet: RegisterApplet(entry, destination); break;
    default: break;
    }
}

void FileInstaller::RegisterApplet(const FileRecord& entry, const String& destination) {
    String name = AppletName(entry, destination);
    if (name.IsEmpty()) system_.Corrupt(kCodeAppletName);
    if (entry.extra.IsEmpty()) system_.Corrupt(kCodeAppletClass);
    system_.ShowProgress(position_, RegisteringText(system_.LanguageText(kTextRegistering),
                                             String(u"Control Panel extension \"") + name + u"\""));
    system_.Log(Format(u"Registering control panel applet \"%s\"...", name));
    UninstallRecords scratch;
    system_.Log(system_.RegisterApplet(entry.extra, name, destination, entry.arguments,
                                       run_.records ? *run_.records : scratch));
}

// The registry value, then the font resource; each failure is logged and the next step still
// runs. The font stays listed for removal whatever failed ("ProductFonts" comes from
// listedFonts), so that the uninstaller clears what did get registered.
void FileInstaller::RegisterFont(const FileRecord& entry, const String& destination) {
    lists_.fonts.Append({destination, entry.title, (entry.flags & kFileKeep) != 0});
    String fileName = FileNameOf(destination);
    system_.ShowProgress(position_, RegisteringText(system_.LanguageText(kTextRegistering), fileName));
    uint32_t error = 0;
    if (!system_.WriteFontValue(entry.title, fileName, error))
        system_.Log(Format(u"Failed to register font \"%s\"\r\n", entry.title) + CodeLine(system_, error));
    error = 0;
    if (!system_.LoadFontResource(destination, error))
        system_.Log(Format(u"%s font \"%s\"\r\n", system_.LanguageText(kTextFailureWord), entry.title) +
                    CodeLine(system_, error));
    lists_.fontRegistered = true;
}

// One log line per package, completed by the result; a failed package also goes to the
// failure summary, a successful one marked for removal to the uninstaller's "[MSI]" list.
void FileInstaller::InstallMsiPackage(const FileRecord& entry, const String& destination) {
    bool remember = (entry.flags & kFileRemoveMsi) != 0;
    lists_.msiPackages.Append({destination, entry.msiValue, remember});
    system_.ShowProgress(position_, RegisteringText(system_.LanguageText(kTextRegistering), destination));
    String line = Format(u"Installing MSI package \"%s\"...", destination);
    bool crashed = false;
    uint32_t code = system_.InstallMsiPackage(destination, entry.msiValue, crashed);
    if (crashed) {
        line += u"CRASHED!\r\n";
        system_.AddFailure(line);
    } else if (code == 0) {
        line += u"OK\r\n";
        if (remember && run_.records) AppendMsiRecord(*run_.records, destination, static_cast<int>(entry.msiValue));
    } else {
        line += Format(u"FAILED code %s: %s\r\n", ErrorCodeText(code), system_.SystemErrorText(code));
        system_.AddFailure(line);
    }
    system_.Log(line);
}

void FileInstaller::Finish() {
    system_.ShowProgress(kProgressFilesStart + kProgressFilesSpan, system_.LanguageText(kTextFilesInstalled));
    if (lists_.fontRegistered) system_.BroadcastFontChange();
    system_.CancelPendingOperations(lists_.installed);
    if ((run_.optionWord1 & kOpt1RegisterUninstaller) && !run_.folders.removableDrive) RaiseSharedCounts();
}

void FileInstaller::RaiseSharedCounts() {
    if (lists_.sharedFiles.IsEmpty()) return;
    uint32_t error = 0;
    if (!system_.OpenSharedCounts(error)) {
        system_.AddFailure(Format(u"Registry error: unable to increment shared file reference counts.\r\nHKLM\\%s"
                                  u"\r\nCode %u: %s\r\n\r\n",
                                  kSharedCountsKey, error, system_.SystemErrorText(error)));
        return;
    }
    SharedCountPlan plan = PlanSharedCounts(lists_.sharedFiles, run_.storedSharedFiles);
    for (const String8& path8 : plan.paths) {
        String path = FromPathForm(path8.View());
        if (!system_.IncrementSharedCount(path, error))
            system_.Log(Format(u"Failed to increment reference count of shared file \"%s\" : %s\r\n", path,
                               system_.SystemErrorText(error)));
    }
    run_.storedSharedFiles = plan.storedList;
}

} // namespace cs
