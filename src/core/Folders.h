// Windows' special folders, each resolved through a fixed chain of sources so that every
// Windows version yields a usable path: the shell's CSIDL lookup, the known-folder lookup,
// registry values, environment variables and, last, a fixed fallback.
//
// The chains are pure logic over FolderSources; the Windows build supplies the real sources
// (FoldersWin32.cpp) and tests supply their own.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

enum class FolderId {
    ProgramFiles,
    ProgramFiles64,
    CommonFiles,
    CommonFiles64,
    CommonAppData,
    AppData,
    CommonDesktop,
    Desktop,
    CommonDocuments,
    Documents,
    CommonFavorites,
    Favorites,
    Fonts,
    CommonStartMenu,
    StartMenu,
    CommonPrograms,
    Programs,
    CommonStartup,
    Startup,
    System,
    System32,
    Profile,
    Temp,
    WebRoot,
    WebServer,
    DriverSearchPath,
    Media,
    Count
};

// The folder's name in diagnostics ("ProgramFiles", "CommonAppData", ...).
const char16_t* FolderIdName(FolderId id);

// Program-files lookups: the 64-bit view applies only on 64-bit Windows; the default view is
// the 32-bit one, whichever engine asks.
enum class FolderView { Default, Bits64 };

enum class RegistryRoot { LocalMachine, CurrentUser };
// Default is the view the 32-bit engine sees: on 64-bit Windows the 32-bit one, which the
// 64-bit engine asks for explicitly.
enum class RegistryView { Default, Bits32, Bits64 };

struct FolderGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// "{905E63B6-C1BF-494E-B29C-65B732D3D21A}" form.
String FormatGuid(const FolderGuid& id);

// Known folders used by the chains.
extern const FolderGuid kKnownFolderProgramFiles;
extern const FolderGuid kKnownFolderProgramFilesX64;
extern const FolderGuid kKnownFolderCommonFiles;
extern const FolderGuid kKnownFolderCommonFilesX64;
extern const FolderGuid kKnownFolderProgramFilesX86;
extern const FolderGuid kKnownFolderCommonFilesX86;
extern const FolderGuid kKnownFolderDownloads; // the user's downloads (guarded from deletion)

// Registry text as read, before the limits and clean-up of the chains.
struct RegistryText {
    bool found = false;
    bool expandable = false; // REG_EXPAND_SZ
    String text;
};

// What the chains ask of the system. Every lookup that fails returns an empty result.
class FolderSources {
  public:
    virtual ~FolderSources() = default;
    virtual String SpecialFolder(int csidl) = 0;          // SHGetSpecialFolderPathW, no creation
    virtual String KnownFolder(const FolderGuid& id) = 0; // SHGetKnownFolderPath
    virtual RegistryText ReadRegistry(RegistryRoot root, const String& key, const String& name,
                                      RegistryView view) = 0; // a string value, whole
    virtual String8 ReadRegistryAnsi(RegistryRoot root, const String& key, const String& name) = 0;
    virtual String Environment(const String& name) = 0;
    virtual String ExpandEnvironment(const String& text) = 0; // %Name% references
    virtual String WindowsDirectory() = 0;
    virtual String SystemDirectory() = 0;
    virtual String TempPath() = 0;
    virtual String UserName() = 0;
    virtual bool FolderExists(const String& path) = 0;
    virtual bool IsNtPlatform() = 0;
    virtual bool Is64BitWindows() = 0;
    // The engine itself runs as a 64-bit program: the folders a 32-bit program sees by
    // default (Program Files (x86)) must then be asked for by name.
    virtual bool Is64BitProcess() = 0;
};

// Registry reads of the chains: at most this many characters; a longer value counts as
// missing, so the chain goes on to its next source rather than use a cut path.
constexpr size_t kRegistryTextMaxChars = 4096;
constexpr size_t kRegistryShortTextMaxChars = 64; // "BootDir" and "PathWWWRoot"

// Path conventions: no trailing backslash except on a drive root such as "C:\" (a path of
// three characters or fewer keeps it).
String NormalizeFolderPath(String path);
// The path up to its last "\" or "/" ("" when it has none), and what follows it (the whole
// path when it has none).
String FolderOf(const String& path);
String FileNameOf(const String& path);
// "X:..." or "\..." : a drive path, a network path or a path from the current drive's root.
bool IsAbsolutePath(const String& path);
// "X:..." with a drive letter, or "\\server\...": a path that names its drive or server.
bool IsFullPath(const String& path);
// One backslash between folder and name; an empty folder gives the name alone.
String JoinPath(const String& folder, const String& name);
// The path without its last count components ("" when it has no more to remove); a drive
// that remains keeps its backslash.
String RemoveLastComponents(const String& path, int count);

// The file system redirection a 32-bit program meets on 64-bit Windows, for a 64-bit program
// that acts for a 32-bit product: a path that is the system folder or lies below it names the
// same place in the 32-bit system folder, except below the folders the system leaves shared
// by both ("catroot", "catroot2", "DriverStore", "drivers\etc", "LogFiles", "spool"). Case is
// ignored and the rest of the path is kept as written; any other path, or any path when
// either folder is empty, comes back unchanged. What is recorded, counted and logged keeps
// the system folder's name, as the 32-bit engine's does; only the file operations use this.
String RedirectedPath(const String& path, const String& systemFolder, const String& systemFolder32);

class FolderResolver {
  public:
    explicit FolderResolver(FolderSources& sources) : sources_(sources) {}

    String Resolve(FolderId id);
    String ProgramFiles(FolderView view = FolderView::Default);
    String CommonFiles(FolderView view = FolderView::Default);
    String Windows();
    // The temporary folder is computed once per resolver.
    String Temp();
    // "C" unless the setup's "BootDir" names a drive.
    char16_t BootDriveLetter();

    // A registry string value under the chains' limits; "" when missing, not text or too
    // long. REG_EXPAND_SZ values come back expanded.
    String RegistryValue(RegistryRoot root, const String& key, const String& name,
                         size_t maxChars = kRegistryTextMaxChars, RegistryView view = RegistryView::Default);

  private:
    String ShellFolder(RegistryRoot root, const char16_t* name);
    String CurrentVersionValue(const char16_t* name, RegistryView view = RegistryView::Default);
    String Special(int csidl);
    String Known(const FolderGuid& id);
    String FromEnvironment(const char16_t* name);
    String WithoutX86(const String& path);
    String WebRoot();
    String DriverSearchPath();

    FolderSources& sources_;
    bool tempResolved_ = false;
    String temp_;
};

#ifdef _WIN32
// The running system's sources and the process-wide resolver over them.
FolderSources& SystemFolderSources();
FolderResolver& SystemFolders();
inline String GetFolder(FolderId id) {
    return SystemFolders().Resolve(id);
}
// Whether the path names an existing folder.
bool IsExistingFolder(const String& path);
// Whether the path names an existing file (not a folder).
bool IsExistingFile(const String& path);
// Makes the folder and every missing parent, from the top down past the drive or the server
// and share; true when the folder exists afterwards (the system's error is left set).
bool MakeFolderPath(const String& path);
// Tells the shell that file associations changed (SHChangeNotify, event 0x8000000).
void NotifyAssociationsChanged();
#endif

} // namespace cs
