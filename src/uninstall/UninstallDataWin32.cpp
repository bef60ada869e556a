#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "uninstall/UninstallData.h"

namespace cs {

bool SaveUninstallData(const String& path, const UninstallRecords& records, const LanguageTable& texts,
                       int language, const String& caption) {
    return WriteWholeFileDurably(path, WriteUninstallData(records, texts, language, caption).View());
}

bool LoadUninstallData(const String& path, UninstallFile& out) {
    String8 bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    ReadUninstallData(bytes.View(), out);
    return true;
}

String UninstallDataPath() {
    const InstallerState& state = Installer();
    return JoinPath(UninstallDataFolder(state.folders.installDir, state.definition.uninstallSubdir),
                    kUninstallDataFileName);
}

bool SaveRunUninstallData() {
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    UninstallRecords& records = RunUninstallRecords();
    records.autoClose = d.autoClose;
    records.deletions = d.deletions;
    return SaveUninstallData(UninstallDataPath(), records, d.languages, state.currentLanguage,
                             d.wizardCaption);
}

} // namespace cs
