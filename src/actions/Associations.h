// File associations: the installation's step that points file extensions at file types with
// their descriptions, icons and shell verbs, and the uninstaller's undoing of one recorded
// association. Every default value the step overwrites is first kept in the product's backup
// value of the same key, which the uninstaller writes back. The rules and both walks are
// portable; the keys below HKEY_CLASSES_ROOT come through ClassesRegistry
// (AssociationsWin32.cpp on Windows, a registry in memory in the tests).
// docs/associations.md tells the choices made where the walk could go several ways.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "payload/Definition.h"
#include "uninstall/UninstallData.h"

#include <functional>
#include <string_view>

namespace cs {

// Payload flag: no associations in an installation on a removable drive.
constexpr uint32_t kFlagNoAssociationsOnRemovable = 0x20000;

// Association modes of the definition.
constexpr int32_t kAssociationDefaultVerb = 1;  // the first verb becomes the type's default verb
constexpr int32_t kAssociationOpenWithOnly = 2; // the extension's own default is left alone

constexpr const char16_t kOpenWithKey[] = u"OpenWithProgids";

// ---- Rules ---------------------------------------------------------------------------------

// The name of the value that keeps an overwritten default value: the product name and
// " Backup", without backslashes, carriage returns, line feeds and tabs.
String AssociationBackupName(const String& productName);

// The verb names of a list separated by ",": each trimmed of spaces, tabs and line ends, empty
// names dropped.
Array<String> SplitVerbs(const String& verbs);

// The extension with its leading ".".
String ExtensionKeyName(const String& extension);

// Whether the association is made in the chosen language: its language is empty or names the
// chosen one (case ignored).
bool AssociationInLanguage(const String& associationLanguage, const String& chosenLanguage);

// The icon path written: "" for none; a path that is not absolute is taken in the
// installation folder. The icon arrives with its variables expanded.
String AssociationIconPath(const String& expandedIcon, const String& installDir);

// Whether a default value about to be overwritten is kept first: it holds something and
// differs from the new value.
bool NeedsBackup(const String& oldValue, const String& newValue);

// The file type of one verb when the association takes the extension's existing type (its
// declared type is empty or begins with "!").
enum class ExistingType {
    kTaken,   // the extension has a type: it is used and the extension is left alone
    kNamed,   // none, and the declared type begins with "!": the named type is made
    kNoLabel, // none, and nothing to make: the association fails
};
struct TypeDecision {
    ExistingType outcome = ExistingType::kNoLabel;
    String type;              // the type key to use ("" for kNoLabel)
    bool useExisting = false; // true: the type is not ours (no description, no extension default)
};
// Whether the declared type asks for the extension's existing type.
bool UsesExistingType(const String& declaredType);
TypeDecision DecideExistingType(const String& declaredType, const String& currentType);

// ---- The registry below HKEY_CLASSES_ROOT --------------------------------------------------

// Keys by their path below HKEY_CLASSES_ROOT ("\"-separated); the name "" is the key's
// default value. Calls that change something return 0 or the system's error code.
class ClassesRegistry {
  public:
    virtual ~ClassesRegistry() = default;
    // Opens an existing key (it must be there).
    virtual uint32_t OpenKey(const String& path) = 0;
    // Opens the key, making it and its missing parents first.
    virtual uint32_t CreateKey(const String& path) = 0;
    // A text value; false when the key or the value is missing or not text.
    virtual bool ReadText(const String& path, const String& name, String& text) = 0;
    virtual bool ValueExists(const String& path, const String& name) = 0;
    virtual uint32_t SetText(const String& path, const String& name, const String& text) = 0;
    virtual uint32_t DeleteValue(const String& path, const String& name) = 0;
    // How many subkeys and values the key holds; false when it is missing.
    virtual bool Contents(const String& path, size_t& subkeys, size_t& values) = 0;
    // Removes the key (with whatever is left below it).
    virtual uint32_t DeleteKey(const String& path) = 0;
};

// ---- Installation --------------------------------------------------------------------------

// What the installation step needs besides the registry.
class AssociationSystem {
  public:
    virtual ~AssociationSystem() = default;
    virtual void ExpandVariables(String& text) = 0;
    virtual void Log(const String& text) = 0;
    virtual String SystemErrorText(uint32_t code) = 0;
    // Tells the shell that associations changed.
    virtual void NotifyShell() = 0;
    // Runs the step; false when an exception ended it.
    virtual bool Guarded(const std::function<void()>& step) = 0;
};

struct AssociationRun {
    const Array<FileAssociation>* associations = nullptr;
    String productName;
    String language; // the chosen language's name
    String installDir;
    bool removableDrive = false;
    uint32_t payloadFlags = 0;
    UninstallRecords* records = nullptr; // gains the "[Associations]" lines
};

class AssociationInstaller {
  public:
    AssociationInstaller(ClassesRegistry& registry, AssociationSystem& system, const AssociationRun& run)
        : registry_(registry), system_(system), run_(run),
          backupName_(AssociationBackupName(run.productName)) {}

    // The whole step: every association in the chosen language, then the shell is told.
    void Run();

  private:
    struct Target {
        String extension, declaredType, description, label, command, icon;
        int32_t mode = 0;
    };
    void Install(const FileAssociation& association);
    void InstallVerb(const Target& target, const String& verb, bool firstVerb);
    // Keeps the old default value in the backup value when it must, then writes the new one.
    uint32_t SetDefault(const String& key, const String& text);
    // The type key's description, icon, verb and command; true when the command was written.
    bool WriteType(const Target& target, const String& type, const String& verb, bool firstVerb,
                   bool useExisting, uint32_t& error);

    ClassesRegistry& registry_;
    AssociationSystem& system_;
    const AssociationRun& run_;
    String backupName_;
};

// ---- Uninstallation ------------------------------------------------------------------------

// Undoes one recorded association: writes back the backup values (deleting them), deletes the
// default values the installation wrote where no backup was kept, takes the type out of the
// extension's "Open With" list, and deletes the keys that are left empty, the type key when it
// has no subkeys left and nothing was written back into it (by this record or, through
// keptTypes, an earlier one: a type another program had before stays with its description),
// and last the extension key when it is left empty.
void RestoreAssociation(ClassesRegistry& registry, const UninstallAssociation& record,
                        const String& backupName, Array<String>& keptTypes);
// Every record in order; a record equal to an earlier one (an association the definition
// lists twice) is skipped, since the first undoing already wrote its kept values back and the
// second would take them for the installation's own.
void RestoreAssociations(ClassesRegistry& registry, const Array<UninstallAssociation>& records,
                         const String& backupName);

} // namespace cs
