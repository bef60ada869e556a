// The shortcut step: the uninstaller's and the log's entries join the shortcut list; every
// entry, in list order, becomes its links on the desktop (or in the desktop folder), in the
// Start Menu, in the Startup folder and in its own folder; then the root shortcut of a
// removable drive or the taskbar pin. Every link the uninstaller must remove, and the folders
// made for them, go to the uninstall records. The step is portable; what touches the system
// comes through ShortcutSystem (ShortcutsWin32.cpp on Windows, a fake in the tests).
#pragma once

#include "actions/ShortcutRules.h"
#include "core/Array.h"
#include "core/String.h"
#include "payload/Definition.h"
#include "uninstall/UninstallData.h"

#include <functional>

namespace cs {

class ShortcutSystem {
  public:
    virtual ~ShortcutSystem() = default;
    virtual String LanguageText(int number) = 0;
    virtual void ExpandVariables(String& text) = 0;
    virtual void ShowStatus(const String& text) = 0;
    virtual void Log(const String& text) = 0;
    virtual bool FolderExists(const String& path) = 0;
    virtual bool FileExists(const String& path) = 0;
    // Makes the folder with every missing level; on failure the reason (the system's text).
    virtual bool MakeFolder(const String& folder, String& reason) = 0;
    // Makes the link (guarded); a failure is logged by the system: language text 31, the
    // link's path, and the code with its text.
    virtual bool CreateLink(const Link& link) = 0;
    // Writes the file whole, replacing it.
    virtual bool SaveFile(const String& path, const String8& bytes) = 0;
    virtual void WriteIniText(const String& path, const char16_t* section, const char16_t* key,
                              const String& value) = 0;
    virtual void AddAttributes(const String& path, uint32_t attributes) = 0;
    virtual void RemoveFile(const String& path) = 0;
    // The shell's "taskbarpin" verb on the link; on failure the system's text.
    virtual bool PinToTaskbar(const String& linkPath, String& failure) = 0;
    // Runs the step so that a crash inside ends the step alone; false when it crashed.
    virtual bool Guarded(const std::function<void()>& step) = 0;
};

// The folders the links go to.
struct ShortcutFolders {
    String installDir, uninstallDataFolder;
    String desktop;       // the all-users desktop (ShortcutMode 1) or the user's
    String desktopFolder; // the definition's desktop folder, full path; "" when it names none
    String startMenu;     // the product's Start Menu folder, all users (ShortcutMode 1) or the user's
    String userStartMenu; // the product's Start Menu folder in the user's Start Menu
    String startup;       // the all-users Startup folder (ShortcutMode 1) or the user's
    String temp;          // where the pin's link is made
    String appData;       // the user's application data folder
};

// What the step reads of the run.
struct ShortcutRun {
    const Definition* definition = nullptr;
    uint32_t payloadFlags = 0;
    bool removableDrive = false;
    OsRecord os; // the running Windows: the pin and the Start Menu's double depend on it
    ShortcutFolders folders;
    String uninstallerPath;
    String logPath;
    UninstallRecords* records = nullptr;
};

class ShortcutInstaller {
  public:
    ShortcutInstaller(ShortcutSystem& system, const ShortcutRun& run) : system_(system), run_(run) {}

    // The whole step over the definition's list, which gains the uninstaller's entries.
    void Run(Array<Shortcut>& list);

  private:
    void AddUninstallerEntries(Array<Shortcut>& list);
    void Install(const Shortcut& entry);
    void OnDesktop(const Shortcut& entry, const LinkEntry& link);
    void InStartMenu(const Shortcut& entry, const LinkEntry& link);
    void InStartup(const Shortcut& entry, const LinkEntry& link);
    void InCustomFolder(const Shortcut& entry, const LinkEntry& link);
    void PrepareDesktopFolder();
    void SetFolderIcon(const String& folder, const String& icon);
    void RootShortcut();
    void PinToTaskbar();

    bool Make(const Link& link);
    bool MakeEntryLink(const LinkEntry& link, const String& path, uint32_t flags);
    void LogMade(const char16_t* format, const String& name, const String& path);
    void Record(const String& path, UninstallKind kind);
    void RecordLink(const String& path, const String& name);
    const Definition& Def() const { return *run_.definition; }

    ShortcutSystem& system_;
    const ShortcutRun& run_;
    bool desktopFolderPrepared_ = false;
};

} // namespace cs
