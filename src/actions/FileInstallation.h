// The file loop: every entry of the payload, in order, goes to its destination as its kind,
// flags and overwrite mode say; the uninstaller's records, the run's lists and the log are
// filled on the way, and after the last entry the pending renames and the shared-file
// reference counts are settled. The loop is portable; what touches the system comes through
// FileInstallSystem (FileInstallationWin32.cpp on Windows, a fake in the tests).
#pragma once

#include "actions/FileRules.h"
#include "core/Array.h"
#include "core/HashTable.h"
#include "core/String.h"
#include "payload/DataStream.h"
#include "payload/Definition.h"
#include "uninstall/UninstallData.h"

namespace cs {

// Language texts of the loop.
constexpr int kTextCannotCreateFolder = 25;
constexpr int kTextFailureWord = 31;
constexpr int kTextFilesInstalled = 54;
constexpr int kTextRegistering = 77;

// The shared-file reference counts, under HKEY_LOCAL_MACHINE.
constexpr const char16_t kSharedCountsKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// What writing one file gave.
struct WriteOutcome {
    bool written = false;  // the file is in place now
    bool deferred = false; // it replaces the destination at the next restart instead
    bool diskFull = false; // the last failure was a full disk
    String failure;        // for the failure summary
    String logText;        // for the log (the replacement's success text)
};

struct FontFile {
    String path, face;
    bool keep = false; // not listed for removal at uninstallation
};

struct MsiFile {
    String path;
    uint32_t value = 0; // the entry's MSI value
    bool removeAtUninstall = false;
};

// What the loop leaves for the steps after it (system registrations, the uninstall entry).
struct FileRunLists {
    Array<String8> sharedFiles; // path form, then the marker (' ', '^', 0xA9 or none)
    Array<String> comServers, typeLibraries, drivers;
    Array<FontFile> fonts;       // written font files, for their registration
    Array<FontFile> listedFonts; // every font entry, before its overwrite test ("ProductFonts")
    Array<MsiFile> msiPackages;  // every package run, whatever its result
    Array<String> installed;     // every file written directly (not waiting for the restart)
    bool fontRegistered = false; // a font was registered: the font change is broadcast
};

class FileInstallSystem {
  public:
    virtual ~FileInstallSystem() = default;
    virtual String LanguageText(int number) = 0;
    virtual void ExpandVariables(String& text) = 0;
    virtual void ShowProgress(int position, const String& text) = 0;
    virtual void Log(const String& text) = 0;
    virtual void AddFailure(const String& text) = 0;
    [[noreturn]] virtual void Corrupt(int code) = 0;

    // The destination as it is before the write (the version only when asked for).
    virtual ExistingFile Inspect(const String& path, bool withVersion) = 0;
    // Makes the folder with all missing levels; on failure the reason for the summary.
    virtual bool MakeFolder(const String& folder, String& reason) = 0;
    // Writes the entry's contents (the data source is the system's business).
    virtual WriteOutcome Write(const String& destination, const FileRecord& entry, bool existedBefore) = 0;
    // The control panel applet's keys; the log line's ending ("OK\r\n" or the failure).
    virtual String RegisterApplet(const String& classId, const String& name, const String& destination,
                                  const String& arguments, UninstallRecords& records) = 0;

    // A font's registration: the value named by the face with the file name as data; false
    // with the system's error code (0 when there is none).
    virtual bool WriteFontValue(const String& face, const String& fileName, uint32_t& error) = 0;
    // Makes the font file's faces available now; false with the system's error code.
    virtual bool LoadFontResource(const String& path, uint32_t& error) = 0;
    // Runs the Windows installer on the package at the user-interface level; its result
    // (120 when the installer cannot be loaded), crashed when the call ended in an exception.
    virtual uint32_t InstallMsiPackage(const String& path, uint32_t uiLevel, bool& crashed) = 0;

    // After the loop.
    virtual void BroadcastFontChange() = 0;
    // Drops the system's pending restart operations that would undo an installed file.
    virtual void CancelPendingOperations(const Array<String>& installed) = 0;
    // The shared-file reference counts; false with the system's error code.
    virtual bool OpenSharedCounts(uint32_t& error) = 0;
    virtual bool IncrementSharedCount(const String& path, uint32_t& error) = 0;
    virtual String SystemErrorText(uint32_t code) = 0;
};

// What the loop reads of the run and changes in it.
struct FileRun {
    DestinationFolders folders;
    uint32_t optionWord1 = 0; // gains 0x4000 when a file waits for the restart
    uint32_t optionWord2 = 0;
    Array<Shortcut>* shortcuts = nullptr; // the definition's list, gains the generated ones
    UninstallRecords* records = nullptr;
    String8 storedSharedFiles; // quoted entries joined by ";", gains this run's
    bool diskFull = false;
};

class FileInstaller {
  public:
    FileInstaller(FileInstallSystem& system, FileRun& run) : system_(system), run_(run) {}

    // One entry (index from 0 of count).
    void Install(const FileRecord& entry, int index, int count);
    // The steps after the last entry.
    void Finish();

    FileRunLists& Lists() { return lists_; }

  private:
    bool MakeParentFolder(const FileRecord& entry, const String& destination);
    void Record(const FileRecord& entry, const String& path, UninstallKind kind);
    void AddToLists(const FileRecord& entry, const String& recorded, const String& destination);
    void AddGeneratedShortcut(const FileRecord& entry, const String& destination);
    void FollowUp(const FileRecord& entry, const String& destination);
    void RegisterApplet(const FileRecord& entry, const String& destination);
    void RegisterFont(const FileRecord& entry, const String& destination);
    void InstallMsiPackage(const FileRecord& entry, const String& destination);
    void RaiseSharedCounts();

    bool RefusedNames(const FileRecord& entry);
    void Refuse(const FileRecord& entry, const char* field, const String& text, const String& why);

    FileInstallSystem& system_;
    FileRun& run_;
    FileRunLists lists_;
    HashTable<String, bool> placed_;     // the destinations of the run so far, in PathCompareKey form
    int position_ = kProgressFilesStart; // of the entry being installed
};

} // namespace cs
