#include "actions/Associations.h"

#include "actions/FileRules.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "uninstall/RegistryKeyPaths.h"

namespace cs {

namespace {

constexpr const char16_t kNoLabelLine[] = u"Association failed/no label:  \"%s\".\r\n\r\n";

String SubkeyOf(const String& key, const String& name) {
    return key + u"\\" + name;
}

bool KeyExists(ClassesRegistry& registry, const String& path) {
    size_t subkeys = 0, values = 0;
    return registry.Contents(path, subkeys, values);
}

void DeleteKeyIfEmpty(ClassesRegistry& registry, const String& path) {
    size_t subkeys = 0, values = 0;
    if (registry.Contents(path, subkeys, values) && subkeys == 0 && values == 0) registry.DeleteKey(path);
}

// Whether the key's default value is the text (case ignored).
bool DefaultIs(ClassesRegistry& registry, const String& key, const String& text) {
    String current;
    return registry.ReadText(key, String(), current) && CompareNoCase(current, text) == 0;
}

// Writes a kept value back as the key's default value and removes the backup value; true when
// something was written back. An empty backup value (never written by the installer) just goes.
bool WriteBack(ClassesRegistry& registry, const String& key, const String& backupName) {
    String kept;
    if (!registry.ReadText(key, backupName, kept)) return false;
    if (kept.IsEmpty()) {
        registry.DeleteValue(key, backupName);
        return false;
    }
    if (registry.SetText(key, String(), kept) != 0) return false; // the backup stays for a later run
    registry.DeleteValue(key, backupName);
    return true;
}

// The default value of a key the installation wrote: the kept value goes back; without one the
// default value is deleted when ours() says the installation wrote what is there. The key then
// goes when nothing is left in it.
template <class Ours>
void RestoreKey(ClassesRegistry& registry, const String& key, const String& backupName, Ours ours) {
    if (!KeyExists(registry, key)) return;
    if (!WriteBack(registry, key, backupName) && registry.ValueExists(key, String()) && ours())
        registry.DeleteValue(key, String());
    DeleteKeyIfEmpty(registry, key);
}

} // namespace

// ---- Rules ---------------------------------------------------------------------------------

String AssociationBackupName(const String& productName) {
    String name;
    for (char16_t c : productName + u" Backup")
        if (c != u'\\' && c != u'\r' && c != u'\n' && c != u'\t') name += c;
    return name;
}

Array<String> SplitVerbs(const String& verbs) {
    Array<String> names;
    size_t start = 0;
    while (start <= verbs.Length()) {
        size_t end = start;
        while (end < verbs.Length() && verbs[end] != u',')
            ++end;
        String name = verbs.Sub(start, end - start);
        Trim(name);
        if (!name.IsEmpty()) names.Append(std::move(name));
        start = end + 1;
    }
    return names;
}

String ExtensionKeyName(const String& extension) {
    if (!extension.IsEmpty() && extension[0] == u'.') return extension;
    return String(u".") + extension;
}

bool AssociationInLanguage(const String& associationLanguage, const String& chosenLanguage) {
    return associationLanguage.IsEmpty() || CompareNoCase(associationLanguage, chosenLanguage) == 0;
}

String AssociationIconPath(const String& expandedIcon, const String& installDir) {
    if (expandedIcon.IsEmpty() || IsAbsolutePath(expandedIcon)) return expandedIcon;
    return JoinPath(installDir, expandedIcon);
}

bool NeedsBackup(const String& oldValue, const String& newValue) {
    return !oldValue.IsEmpty() && CompareExact(oldValue, newValue) != 0;
}

bool UsesExistingType(const String& declaredType) {
    return declaredType.IsEmpty() || declaredType[0] == u'!';
}

TypeDecision DecideExistingType(const String& declaredType, const String& currentType) {
    TypeDecision decision;
    if (!currentType.IsEmpty()) {
        decision.outcome = ExistingType::kTaken;
        decision.type = currentType;
        decision.useExisting = true;
        return decision;
    }
    // "!" alone names no type: making a key without a name would write into the root.
    if (declaredType.Length() > 1 && declaredType[0] == u'!') {
        decision.outcome = ExistingType::kNamed;
        decision.type = declaredType.Sub(1);
    }
    return decision;
}

// ---- Installation --------------------------------------------------------------------------

void AssociationInstaller::Run() {
    if (run_.removableDrive && (run_.payloadFlags & kFlagNoAssociationsOnRemovable)) return;
    if (!run_.associations || run_.associations->IsEmpty()) return;
    bool completed = system_.Guarded([this] {
        for (const FileAssociation& association : *run_.associations)
            Install(association);
        system_.NotifyShell();
    });
    if (!completed) system_.Log(u"Crashed while installing associations.\r\n");
}

void AssociationInstaller::Install(const FileAssociation& association) {
    if (association.extension.IsEmpty() || !AssociationInLanguage(association.language, run_.language))
        return;
    Target target;
    target.command = association.command;
    system_.ExpandVariables(target.command);
    target.extension = ExtensionKeyName(association.extension);
    target.declaredType = FromCodePage(association.fileType.View(), kCodePage1252);
    target.description = association.description;
    target.label = FromCodePage(association.verbLabel.View(), kCodePage1252);
    String icon = association.icon;
    system_.ExpandVariables(icon);
    target.icon = AssociationIconPath(icon, run_.installDir);
    target.mode = association.mode;
    Array<String> verbs = SplitVerbs(FromCodePage(association.verbs.View(), kCodePage1252));
    for (int i = 0; i < verbs.Count(); ++i)
        InstallVerb(target, verbs[i], i == 0);
}

// Every verb starts again from the declared type: a type taken from the extension for one verb
// is not the product's own for the next one either.
void AssociationInstaller::InstallVerb(const Target& target, const String& verb, bool firstVerb) {
    const String& extension = target.extension;
    String type = target.declaredType;
    bool useExisting = UsesExistingType(type);
    int changes = 0;
    uint32_t error = type.IsEmpty() ? registry_.OpenKey(extension) : registry_.CreateKey(extension);
    // An extension without a key has no type to take: the same as one without a type.
    if (error == kErrorFileNotFound && type.IsEmpty()) {
        system_.Log(Format(kNoLabelLine, extension));
        return;
    }
    if (error != 0) {
        if (useExisting) {
            system_.Log(Format(u"Association failed/key inaccessible:  \"%s\".\r\n\r\n", extension));
            return;
        }
    } else {
        // An "Open With" association reads the extension's type the same way, but never
        // points the extension anywhere.
        if (useExisting) {
            String current;
            registry_.ReadText(extension, String(), current);
            TypeDecision decision = DecideExistingType(type, current);
            if (decision.outcome == ExistingType::kNoLabel) {
                system_.Log(Format(kNoLabelLine, extension));
                return;
            }
            type = decision.type;
            useExisting = decision.useExisting;
        }
        if (!useExisting && target.mode != kAssociationOpenWithOnly) {
            uint32_t written = SetDefault(extension, type);
            if (written == 0)
                ++changes;
            else
                error = written;
        }
        String openWith = SubkeyOf(extension, kOpenWithKey);
        if ((target.mode == kAssociationOpenWithOnly || CompareNoCase(verb, String(u"open")) == 0) &&
            registry_.CreateKey(openWith) == 0 && registry_.SetText(openWith, type, String()) == 0)
            system_.Log(extension + u" Open With " + target.command + u"\r\n");
    }

    uint32_t typeError = 0;
    bool made = WriteType(target, type, verb, firstVerb, useExisting, typeError);
    if (made)
        ++changes;
    else if (typeError != 0)
        error = typeError;

    if (run_.records) AppendAssociationRecord(*run_.records, extension, type, verb, target.icon);

    if (!made) {
        String line = String(u"Failed to associate file type:  \"") + extension + u"\".\r\n";
        if (error != 0) line += system_.SystemErrorText(error) + u"\r\n";
        system_.Log(line);
    } else if (changes >= 2) {
        system_.Log(Format(u"Associated %s with %s (verb=%s)\r\n", extension, target.command, verb));
    }
}

bool AssociationInstaller::WriteType(const Target& target, const String& type, const String& verb,
                                     bool firstVerb, bool useExisting, uint32_t& error) {
    error = registry_.CreateKey(type);
    if (error != 0) return false;
    if (!useExisting && !target.description.IsEmpty()) SetDefault(type, target.description);
    if (!target.icon.IsEmpty()) {
        String iconKey = SubkeyOf(type, u"DefaultIcon");
        if (registry_.CreateKey(iconKey) == 0) SetDefault(iconKey, target.icon);
    }
    String shell = SubkeyOf(type, u"shell");
    String verbKey = SubkeyOf(shell, verb);
    String commandKey = SubkeyOf(verbKey, u"command");
    if ((error = registry_.CreateKey(shell)) != 0) return false;
    if (target.mode == kAssociationDefaultVerb && firstVerb) SetDefault(shell, verb);
    if ((error = registry_.CreateKey(verbKey)) != 0) return false;
    SetDefault(verbKey, target.label);
    if ((error = registry_.CreateKey(commandKey)) != 0) return false;
    error = SetDefault(commandKey, target.command);
    return error == 0;
}

// A backup value already there is the value from before the product's first installation:
// an upgrade that writes a new command over its own old one keeps it.
uint32_t AssociationInstaller::SetDefault(const String& key, const String& text) {
    String old;
    if (registry_.ReadText(key, String(), old) && NeedsBackup(old, text) &&
        !registry_.ValueExists(key, backupName_))
        registry_.SetText(key, backupName_, old);
    return registry_.SetText(key, String(), text);
}

// ---- Uninstallation ------------------------------------------------------------------------

void RestoreAssociation(ClassesRegistry& registry, const UninstallAssociation& record,
                        const String& backupName, Array<String>& keptTypes) {
    const String& extension = record.extension;
    const String& type = record.typeKey;
    const String& verb = record.verb;

    bool extensionRestored = KeyExists(registry, extension) && WriteBack(registry, extension, backupName);

    if (KeyExists(registry, type)) {
        if (WriteBack(registry, type, backupName)) keptTypes.Append(type);
        String shell = SubkeyOf(type, u"shell");
        String verbKey = SubkeyOf(shell, verb);
        String commandKey = SubkeyOf(verbKey, u"command");
        // The command and the menu text: only the installation writes them without keeping the
        // ones before.
        RestoreKey(registry, commandKey, backupName, [] { return true; });
        RestoreKey(registry, verbKey, backupName, [] { return true; });
        // The default verb, when it names this verb and the verb is gone.
        RestoreKey(registry, shell, backupName,
                   [&] { return DefaultIs(registry, shell, verb) && !KeyExists(registry, verbKey); });
        if (!record.iconPath.IsEmpty()) {
            String iconKey = SubkeyOf(type, u"DefaultIcon");
            RestoreKey(registry, iconKey, backupName,
                       [&] { return DefaultIs(registry, iconKey, record.iconPath); });
        }
        size_t subkeys = 0, values = 0;
        bool kept = false;
        for (const String& earlier : keptTypes)
            kept = kept || CompareNoCase(earlier, type) == 0;
        if (!kept && registry.Contents(type, subkeys, values) && subkeys == 0) registry.DeleteKey(type);
    }
    bool typeGone = !KeyExists(registry, type);

    // A type that is gone leaves no entry in the "Open With" list behind, whatever the verb.
    String openWith = SubkeyOf(extension, kOpenWithKey);
    if ((CompareNoCase(verb, String(u"open")) == 0 || typeGone) && KeyExists(registry, openWith)) {
        registry.DeleteValue(openWith, type);
        DeleteKeyIfEmpty(registry, openWith);
    }

    // The extension is left alone when its old type came back, or when it still points to a type
    // that lives on; otherwise its pointer to the removed type goes, and the key when empty.
    if (!extensionRestored && typeGone && KeyExists(registry, extension)) {
        if (DefaultIs(registry, extension, type)) registry.DeleteValue(extension, String());
        DeleteKeyIfEmpty(registry, extension);
    }
}

} // namespace cs

namespace cs {

void RestoreAssociations(ClassesRegistry& registry, const Array<UninstallAssociation>& records,
                         const String& backupName) {
    Array<String> keptTypes;
    for (int i = 0; i < records.Count(); ++i) {
        const UninstallAssociation& record = records[i];
        bool repeated = false;
        for (int j = 0; j < i && !repeated; ++j) {
            const UninstallAssociation& earlier = records[j];
            repeated = CompareNoCase(earlier.extension, record.extension) == 0 &&
                       CompareNoCase(earlier.typeKey, record.typeKey) == 0 &&
                       CompareNoCase(earlier.verb, record.verb) == 0 &&
                       CompareNoCase(earlier.iconPath, record.iconPath) == 0;
        }
        if (!repeated) RestoreAssociation(registry, record, backupName, keptTypes);
    }
}

} // namespace cs
