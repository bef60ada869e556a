#include "runtime/CommandLine.h"

#include "core/Format.h"
#include "core/Text.h"

namespace cs {

namespace {

bool IsBlankChar(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// True when text begins with prefix, ignoring case.
bool BeginsWith(const String& text, const char16_t* prefix) {
    int n = static_cast<int>(String::TextLength(prefix));
    return static_cast<int>(text.Length()) >= n && CompareNoCase(text.c_str(), prefix, n) == 0;
}

// Removes one pair of enclosing double quotes, when both are present.
String WithoutQuotes(const String& value) {
    if (value.Length() >= 2 && value[0] == u'"' && value.Last() == u'"')
        return value.Sub(1, value.Length() - 2);
    return value;
}

template <class S> void RemoveTrailing(S& text, typename S::Char c) {
    if (!text.IsEmpty() && text.Last() == c) text.Truncate(text.Length() - 1);
}

template <class S>
S ReplaceAll(const S& text, std::basic_string_view<typename S::Char> from,
             std::basic_string_view<typename S::Char> to) {
    S out;
    auto view = text.View();
    size_t at = 0;
    for (size_t hit; (hit = view.find(from, at)) != view.npos; at = hit + from.size()) {
        out.Append(view.data() + at, hit - at);
        out.Append(to.data(), to.size());
    }
    out.Append(view.data() + at, view.size() - at);
    return out;
}

String8 BatchAddition(const String& value) {
    String8 text = ToCodePage(value, kCodePageAnsi);
    RemoveTrailing(text, '"');
    text = ReplaceAll<String8>(text, "`", "\"");
    return ReplaceAll<String8>(text, "~~", "\r\n");
}

const char16_t kUnexpected[] = u"Unexpected command-line parameter:\r\n";
const char16_t kIllegal[] = u"Illegal command-line atom:\r\n";
const char16_t kUninstallNeedsName[] = u"/u requires Product Name";

// Applies one switch (the atom without its "/" or "-"); false when no test takes it.
bool ApplySwitch(const String& rest, CommandLine& out) {
    if (CompareNoCase(rest.c_str(), u"A") == 0) {
        out.automatic = true;
    } else if (BeginsWith(rest, u"D:")) {
        out.installDir = WithoutQuotes(rest.Sub(2));
        RemoveTrailing(out.installDir, u'\\');
        out.installDir8 = ToPathForm(out.installDir);
    } else if (BeginsWith(rest, u"N:")) {
        out.productName = WithoutQuotes(rest.Sub(2));
    } else if (BeginsWith(rest, u"U")) {
        out.uninstall = true;
        String value = rest.Sub(1);
        if (!value.IsEmpty() && value[0] == u':') out.uninstallProduct = WithoutQuotes(value.Sub(1));
    } else if (BeginsWith(rest, u"R:\"")) {
        String value = rest.Sub(3);
        RemoveTrailing(value, u'"');
        out.runProgram = ReplaceAll<String>(value, u"`", u"\"");
    } else if (BeginsWith(rest, u"B1:\"") || BeginsWith(rest, u"B2:\"") || BeginsWith(rest, u"B3:\"")) {
        out.batchAdditions[rest[1] - u'1'] = BatchAddition(rest.Sub(4));
    } else if (CompareNoCase(rest.c_str(), u"Silent") == 0) {
        out.automatic = true;
        out.silent = true;
    } else if (CompareNoCase(rest.c_str(), u"MIN") == 0) {
        out.minimized = true;
    } else {
        return false;
    }
    return true;
}

} // namespace

Array<String> SplitAtoms(const String& line, int maxAtoms) {
    Array<String> atoms;
    const char16_t* p = line.c_str();
    while (atoms.Count() < maxAtoms) {
        while (IsBlankChar(*p))
            ++p;
        if (!*p) break;
        String atom;
        while (*p && !IsBlankChar(*p)) {
            if (*p != u'"') {
                atom.Append(*p++);
                continue;
            }
            atom.Append(u'"');
            for (++p; *p; ++p) {
                if (*p == u'"' && p[1] == u'"') {
                    atom.Append(u'"');
                    ++p;
                } else if (*p == u'"') {
                    break;
                } else {
                    atom.Append(*p);
                }
            }
            atom.Append(u'"');
            if (*p) ++p; // the closing quote
        }
        if (*p) ++p; // the blank that ends the atom
        atoms.Append(std::move(atom));
    }
    return atoms;
}

bool ParseCommandLine(const String& line, CommandLine& out, String& reason) {
    out = CommandLine();
    Array<String> atoms = SplitAtoms(line);
    for (int i = 1; i < atoms.Count(); ++i) {
        const String& atom = atoms[i];
        if (atom.IsEmpty()) break;
        if (atom[0] != u'/' && atom[0] != u'-') {
            reason = String(kUnexpected) + atom;
            return false;
        }
        String rest = atom.Sub(1);
        if (rest.IsEmpty()) continue;
        if (!ApplySwitch(rest, out)) {
            reason = String(kIllegal) + rest;
            return false;
        }
    }
    if (out.uninstall && out.uninstallProduct.IsEmpty()) {
        reason = kUninstallNeedsName;
        return false;
    }
    return true;
}

String UsageText(const String& reason, const String& programName) {
    return Format(
        u"%s\r\n\r\nUsage:\r\n%s [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] "
        u"[/n:\"name\"] [/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
        u"/a                  \tAutomatic mode.\r\n"
        u"/d:\"dir\"        \tOverride installation path.\r\n"
        u"/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
        u"/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
        u"/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
        u"/n:\"name\"\tOverride product name.\r\n"
        u"/u:\"name\"\tUninstall product by name.\r\n"
        u"/r:\"program\"\tRun the specified program after a successful installation.\r\n"
        u"/silent\tDisplay no user interface.",
        reason, programName);
}

} // namespace cs
