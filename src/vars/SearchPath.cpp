#include "vars/SearchPath.h"

#include "core/Folders.h"
#include "core/Text.h"

namespace cs {

namespace {

bool IsAbsolute(const String& path) {
    if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    return path.Length() >= 2 && path[1] == u':' &&
           ((path[0] >= u'a' && path[0] <= u'z') || (path[0] >= u'A' && path[0] <= u'Z'));
}

bool EndsWithEntry(const String& path, const String& folder) {
    if (folder.IsEmpty() || path.Length() < folder.Length()) return false;
    size_t at = path.Length() - folder.Length();
    if (at > 0 && path[at - 1] != u';') return false;
    return CompareNoCase(path.c_str() + at, folder.c_str()) == 0;
}

// The first "folder;" that starts an entry (at the start of the text or after a ";").
size_t FindEntry(const String& path, const String& folder) {
    String wanted = folder + u";";
    for (size_t at = FindNoCase(path, wanted); at != String::npos; at = FindNoCase(path, wanted, at + 1))
        if (at == 0 || path[at - 1] == u';') return at;
    return String::npos;
}

} // namespace

String SearchPathFolder(const String& argument, const String& installDir) {
    if (argument.IsEmpty()) return installDir;
    if (IsAbsolute(argument)) return argument;
    return JoinPath(installDir, argument);
}

bool EditSearchPath(String& path, const String& folder, bool add) {
    if (folder.IsEmpty()) return false;
    size_t at = FindEntry(path, folder);
    if (at != String::npos) {
        if (add) return false;
        path.Erase(at, folder.Length() + 1);
        return true;
    }
    bool endsWithFolder = EndsWithEntry(path, folder);
    if (add) {
        if (endsWithFolder) return false;
        if (!path.IsEmpty() && path.Last() != u';') path += u";";
        path += folder;
        return true;
    }
    if (!endsWithFolder) return false;
    path.Truncate(path.Length() - folder.Length());
    if (!path.IsEmpty() && path.Last() == u';') path.Truncate(path.Length() - 1);
    return true;
}

} // namespace cs
