#include "uninstall/PathJudgement.h"

#include "core/CanonicalPath.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "uninstall/UninstallerRules.h"

namespace cs {

namespace {

DeletionVerdict Refused(const String& path, const char16_t* reason, bool isProtected = false) {
    DeletionVerdict verdict;
    verdict.path = path;
    verdict.reason = reason;
    verdict.isProtected = isProtected;
    return verdict;
}

bool BelowAny(const String& path, const Array<String>& folders) {
    for (const String& folder : folders)
        if (IsPathBelow(path, folder)) return true;
    return false;
}

} // namespace

String JudgedPath(const String& path, LongNames& names) {
    String canonical = CanonicalPath(path);
    if (canonical.IsEmpty()) return {};
    return CanonicalPath(names.Expand(canonical));
}

bool IsProtectedPath(const String& canonical, const Array<String>& protectedFolders) {
    if (canonical.IsEmpty() || IsPathRoot(canonical)) return true;
    for (const String& folder : protectedFolders)
        if (IsSamePath(folder, canonical) || IsPathBelow(folder, canonical)) return true;
    return false;
}

DeletionVerdict JudgeDeletion(const String& path, DeletionObject object, const DeletionScope& scope,
                              LongNames& names) {
    String judged = JudgedPath(path, names);
    if (judged.IsEmpty()) return Refused(path, u"not a full path");
    bool pattern = object == DeletionObject::kPattern;
    if (HasWildcard(FolderOf(judged)) || (!pattern && HasWildcard(judged)))
        return Refused(judged, u"a wildcard in a folder name");
    if (IsProtectedPath(judged, scope.protectedFolders))
        return Refused(judged, u"it is or holds a system or user folder", true);

    // An installation folder that is itself protected (a tampered "InstallLocation" naming
    // Documents) holds nothing of the product's.
    const String& installDir = scope.installDir;
    bool ownFolder = !installDir.IsEmpty() && !IsProtectedPath(installDir, scope.protectedFolders);
    bool wholeFolder = object == DeletionObject::kFolder || object == DeletionObject::kTree;
    if (ownFolder && (IsPathBelow(judged, installDir) || (wholeFolder && IsSamePath(judged, installDir)))) {
        DeletionVerdict verdict;
        verdict.allowed = true;
        verdict.path = judged;
        return verdict;
    }
    if (object == DeletionObject::kTree)
        return Refused(judged, u"only the installation folder is deleted whole");
    if (HasWildcard(judged)) return Refused(judged, u"a wildcard outside the installation folder");
    if (!BelowAny(judged, scope.roots))
        return Refused(judged, u"outside the installation folder and the folders an installation uses");
    DeletionVerdict verdict;
    verdict.allowed = true;
    verdict.path = judged;
    return verdict;
}

String RefusalText(const String& path, const DeletionVerdict& verdict) {
    return Format(u"Refused to delete \"%s\": %s.\r\n", path, verdict.reason ? verdict.reason : u"refused");
}

Array<String> FoldersToRemove(const String& folder, const String& stopAt, const Array<String>& recorded,
                              const DeletionScope& scope, LongNames& names, int maxFolders) {
    Array<String> folders;
    String start = JudgedPath(folder, names);
    String stop = JudgedPath(stopAt, names);
    if (start.IsEmpty()) return folders;
    Array<String> own;
    for (const String& r : recorded)
        own.Append(JudgedPath(r, names));
    // Below a stop folder other than the installation folder (the Programs folder of the
    // Start menu) every level is the product's; elsewhere outside the installation folder only
    // the folders the installation recorded.
    bool stopOwnsParents = !stop.IsEmpty() && !IsSamePath(stop, scope.installDir);
    Array<String> chain = FolderAndParents(start, stop.IsEmpty() ? start : stop);
    for (int i = 0; i < chain.Count() && folders.Count() < maxFolders; ++i) {
        DeletionVerdict verdict = JudgeDeletion(chain[i], DeletionObject::kFolder, scope, names);
        if (!verdict.allowed) break;
        bool inside = !scope.installDir.IsEmpty() && IsPathBelow(verdict.path, scope.installDir);
        if (i > 0 && !inside) {
            bool listed = false;
            for (const String& r : own)
                listed = listed || IsSamePath(r, verdict.path);
            if (!listed && !(stopOwnsParents && IsPathBelow(verdict.path, stop))) break;
        }
        folders.Append(verdict.path);
    }
    return folders;
}

// ---- Registry records -------------------------------------------------------------------

namespace {

Array<String> KeyComponents(const String& subkey) {
    Array<String> parts;
    size_t at = 0;
    while (at <= subkey.Length()) {
        size_t next = subkey.View().find(u'\\', at);
        if (next == std::u16string_view::npos) next = subkey.Length();
        if (next > at) parts.Append(subkey.Sub(at, next - at));
        at = next + 1;
    }
    return parts;
}

bool IsHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A class identifier as an applet's class key names it: "{8-4-4-4-12}" hexadecimal digits, the
// braces optional (the definition carries the text as the project wrote it).
bool IsGuidText(const String& text) {
    bool braced = text.Length() == 38 && text[0] == u'{' && text[37] == u'}';
    if (!braced && text.Length() != 36) return false;
    size_t first = braced ? 1 : 0;
    for (size_t i = 0; i < 36; ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[first + i] != u'-' : !IsHex(text[first + i])) return false;
    }
    return true;
}

bool ComponentsStartWith(const Array<String>& parts, const Array<String>& prefix) {
    if (parts.Count() < prefix.Count()) return false;
    for (int i = 0; i < prefix.Count(); ++i)
        if (CompareNoCase(parts[i], prefix[i]) != 0) return false;
    return true;
}

// A "{GUID}" key right below one of the two keys the control panel applets are registered in.
bool IsAppletKey(RegistryHive hive, const Array<String>& parts, int extra) {
    if (hive != RegistryHive::LocalMachine) return false;
    static const char16_t* const kAppletParents[] = {
        u"Software\\Classes\\CLSID",
        u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace"};
    for (const char16_t* parent : kAppletParents) {
        Array<String> prefix = KeyComponents(parent);
        if (ComponentsStartWith(parts, prefix) && parts.Count() >= prefix.Count() + 1 &&
            parts.Count() <= prefix.Count() + 1 + extra && IsGuidText(parts[prefix.Count()]))
            return true;
    }
    return false;
}

} // namespace

const char16_t* RegistryRecordRefusal(UninstallKind kind, const RegistryKeyPath& key,
                                      const String& productRegistry) {
    Array<String> parts = KeyComponents(key.subkey);
    for (const String& part : parts)
        if (part == String(u".") || part == String(u"..")) return u"not a key path";
    // Below HKEY_USERS the first level is the user's hive itself.
    if (key.hive == RegistryHive::Users) {
        if (parts.IsEmpty()) return u"a hive's first or second level";
        parts.RemoveAt(0);
    }
    bool value = kind == UninstallKind::kRegistryValue;
    if (!value && parts.Count() < 3) return u"a hive's first or second level";
    if (IsAppletKey(key.hive, parts, value ? 2 : 0)) return nullptr;
    bool userOrMachine = key.hive == RegistryHive::LocalMachine || key.hive == RegistryHive::CurrentUser ||
                         key.hive == RegistryHive::AllUsers || key.hive == RegistryHive::Users;
    Array<String> product = KeyComponents(JoinPath(u"Software", productRegistry));
    if (userOrMachine && product.Count() >= 2 && ComponentsStartWith(parts, product) &&
        (parts.Count() > product.Count() || value))
        return nullptr;
    return u"a key the product did not create";
}

} // namespace cs
