// Temporary files: every temporary file of the engine (the extraction file, the log spool,
// the registry merge file, files written for replacement at the next restart) is a new,
// empty file named here.
//
// The naming rules are pure logic over TempFileSystem; the Windows build supplies the real
// file system (TempFileWin32.cpp) and tests supply their own.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

class TempFileSystem {
  public:
    virtual ~TempFileSystem() = default;
    // Makes the folder (and its parents) when missing; true when it exists afterwards.
    virtual bool MakeFolder(const String& path) = 0;
    // The system's own unique name with the prefix "KWT" (GetTempFileNameW), which also
    // creates the file; false when the system cannot give one.
    virtual bool SystemUniqueName(const String& folder, String& path) = 0;
    virtual bool Exists(const String& path) = 0;
    virtual bool FolderExists(const String& path) = 0;
    // Creates a new empty file, failing when it exists; on failure error is the system's code.
    virtual bool CreateNewFile(const String& path, uint32_t& error) = 0;
    virtual String TempFolder() = 0;
    virtual uint16_t Random16() = 0;
};

// Limits of the name search.
constexpr int kTempFileMaxAttempts = 400;
constexpr int kTempFileSwitchToTempFolder = 200; // attempts in the given folder
constexpr int kTempFileSwitchToCTemp = 300;      // then "c:\temp", when it exists
constexpr int kTempFileMaxConsecutiveError12 = 20;

// The path of a newly created empty file in folder (empty: the temporary folder) with the
// extension (may be empty; one leading "." is dropped), or "" when none could be made.
String MakeTempFileNameWith(TempFileSystem& system, const String& folder, const String& extension);

// The name of a private temporary folder from two random numbers: "cs-" and eight hex digits,
// then ".tmp".
String PrivateTempFolderName(uint16_t high, uint16_t low);
constexpr int kPrivateTempFolderAttempts = 100;
// True for a name PrivateTempFolderName gives (hex digits of either case, as the system may
// report the name in either).
bool IsPrivateTempFolderName(const String& name);
// A private folder unchanged for longer than this that is empty is a leftover (the self-removal batch cannot
// remove its own folder): the next one made removes it.
constexpr int64_t kStalePrivateFolderSeconds = 3600;

#ifdef _WIN32
TempFileSystem& SystemTempFileSystem();
String MakeTempFileName(const String& folder = {}, const String& extension = {});
// A new folder of the process's own in the temporary folder, made fresh with a name never
// used before (a name that exists, a planted link included, is passed over) and an access list
// that lets only the current user and the administrators in: the place for files another
// program runs by name (batch files), which nobody else may plant, read or swap. "" with the
// system error set when none could be made. Empty private folders older than
// kStalePrivateFolderSeconds are removed first.
String MakePrivateTempFolder();
#endif

} // namespace cs
