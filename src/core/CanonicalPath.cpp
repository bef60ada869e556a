#include "core/CanonicalPath.h"

#include "core/Array.h"
#include "core/Text.h"

namespace cs {

namespace {

bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool StartsWithText(const String& text, const char16_t* prefix) {
    return StartsWithNoCase(text, prefix);
}

// The namespace prefixes that turn off Windows' own path processing. What follows must be a
// drive or a share; every other name under them is a device.
bool StripNamespace(String& path) {
    if (!(StartsWithText(path, u"\\\\?\\") || StartsWithText(path, u"\\\\.\\") ||
          StartsWithText(path, u"\\??\\")))
        return true;
    String rest = path.Sub(4);
    if (StartsWithText(rest, u"UNC\\")) {
        path = String(u"\\\\") + rest.Sub(4);
        return true;
    }
    if (rest.Length() >= 2 && IsLetter(rest[0]) && rest[1] == u':' &&
        (rest.Length() == 2 || rest[2] == u'\\')) {
        path = rest.Length() == 2 ? rest + u"\\" : rest;
        return true;
    }
    return false;
}

// A component as Windows opens it: trailing dots and blanks dropped. False when nothing is
// left of it or it names a stream.
bool CleanComponent(String& component) {
    size_t end = component.Length();
    while (end > 0 && (component[end - 1] == u'.' || component[end - 1] == u' '))
        --end;
    if (end == 0) return false;
    component.Truncate(end);
    return component.View().find(u':') == std::u16string_view::npos;
}

} // namespace

String CanonicalPath(const String& path) {
    String text = path;
    for (size_t i = 0; i < text.Length(); ++i) {
        if (text[i] < 0x20) return {};
        if (text[i] == u'/') text[i] = u'\\';
    }
    if (!StripNamespace(text)) return {};

    String root;
    size_t at = 0;
    if (text.Length() >= 3 && IsLetter(text[0]) && text[1] == u':' && text[2] == u'\\') {
        root = text.Sub(0, 2);
        root[0] = static_cast<char16_t>(root[0] >= u'a' ? root[0] - (u'a' - u'A') : root[0]);
        at = 3;
    } else if (text.Length() > 2 && text[0] == u'\\' && text[1] == u'\\' && text[2] != u'\\') {
        // The server and the share are the root: ".." never leaves them.
        size_t server = text.View().find(u'\\', 2);
        if (server == std::u16string_view::npos) return {};
        size_t share = text.View().find(u'\\', server + 1);
        if (share == std::u16string_view::npos) share = text.Length();
        String serverName = text.Sub(2, server - 2), shareName = text.Sub(server + 1, share - server - 1);
        if (!CleanComponent(serverName) || !CleanComponent(shareName) || HasWildcard(serverName) ||
            HasWildcard(shareName) || serverName == String(u"?") || serverName == String(u"."))
            return {};
        root = String(u"\\\\") + serverName + u"\\" + shareName;
        at = share;
    } else {
        return {};
    }

    Array<String> parts;
    while (at < text.Length()) {
        size_t next = text.View().find(u'\\', at);
        if (next == std::u16string_view::npos) next = text.Length();
        String component = text.Sub(at, next - at);
        at = next + 1;
        if (component.IsEmpty() || component == String(u".")) continue;
        if (component == String(u"..")) {
            if (!parts.IsEmpty()) parts.RemoveAt(parts.Count() - 1);
            continue;
        }
        if (!CleanComponent(component)) return {};
        parts.Append(component);
    }
    String canonical = root;
    bool drive = root.Length() == 2;
    if (drive) canonical += u"\\";
    for (int i = 0; i < parts.Count(); ++i) {
        if (i > 0 || !drive) canonical += u"\\";
        canonical += parts[i];
    }
    return canonical;
}

bool IsPathRoot(const String& canonical) {
    if (canonical.Length() == 3 && canonical[1] == u':') return true;
    if (canonical.Length() < 3 || canonical[0] != u'\\' || canonical[1] != u'\\') return false;
    size_t server = canonical.View().find(u'\\', 2);
    return server != std::u16string_view::npos &&
           canonical.View().find(u'\\', server + 1) == std::u16string_view::npos;
}

bool IsSamePath(const String& a, const String& b) {
    return !a.IsEmpty() && CompareNoCase(a, b) == 0;
}

bool IsPathBelow(const String& inner, const String& folder) {
    if (folder.IsEmpty() || inner.Length() <= folder.Length()) return false;
    if (CompareNoCase(inner.c_str(), folder.c_str(), static_cast<int>(folder.Length())) != 0) return false;
    return folder.Last() == u'\\' || inner[folder.Length()] == u'\\';
}

bool HasWildcard(const String& text) {
    return text.View().find_first_of(u"*?") != std::u16string_view::npos;
}

} // namespace cs
