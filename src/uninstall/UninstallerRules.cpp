#include "uninstall/UninstallerRules.h"

#include "core/Folders.h"
#include "core/Text.h"
#include "uninstall/UninstallData.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace cs {

namespace {

// A whole decimal text, optionally negative, as the 64-bit pattern it stands for.
bool DecimalText(const String& text, uint64_t& number) {
    String8 digits = ToUtf8(text);
    Trim(digits);
    std::string_view v = digits.View();
    bool negative = !v.empty() && v.front() == '-';
    if (negative) v.remove_prefix(1);
    if (v.empty() || v.size() > 20) return false;
    uint64_t value = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    number = negative ? ~value + 1 : value;
    return true;
}

class ValueReader {
  public:
    explicit ValueReader(UninstallEntryReader& reader) : reader_(reader) {}

    String Text(const char16_t* name) {
        String text;
        reader_.Text(name, text);
        return text;
    }
    uint64_t Number(const char16_t* name, uint64_t fallback) {
        uint64_t number = 0;
        if (reader_.Number(name, number)) return number;
        String text;
        if (reader_.Text(name, text) && DecimalText(text, number)) return number;
        return fallback;
    }
    uint32_t Number32(const char16_t* name, uint32_t fallback) {
        return static_cast<uint32_t>(Number(name, fallback));
    }
    double Size(const char16_t* name, double fallback) {
        String text;
        if (!reader_.Text(name, text) || IsBlank(text)) return fallback;
        String8 bytes = ToUtf8(text);
        char* end = nullptr;
        double value = std::strtod(bytes.c_str(), &end);
        return end != bytes.c_str() ? value : fallback;
    }
    uint32_t Color(const char16_t* name, uint32_t fallback) {
        uint64_t number = 0;
        if (reader_.Number(name, number)) return static_cast<uint32_t>(number);
        String text;
        uint32_t color = 0;
        return reader_.Text(name, text) && ParseColorText(text, color) ? color : fallback;
    }

  private:
    UninstallEntryReader& reader_;
};

uint32_t ClampZoom(uint32_t zoom) {
    int32_t value = static_cast<int32_t>(zoom);
    if (value < 1) return 100;
    if (value < 50) return 50;
    return value > 150 ? 150 : static_cast<uint32_t>(value);
}

UninstallStyling ReadStyling(ValueReader& r, uint32_t windowTextColor, uint32_t windowColor) {
    UninstallStyling s;
    s.dialogFont = r.Text(u"DialogFont");
    s.displayTitle = r.Text(u"DisplayTitle");
    s.titleSize = r.Size(u"TitleSize", 1.0);
    s.titleColor = r.Color(u"TitleColor", windowTextColor);
    s.titleShadow = r.Number32(u"TitleShadow", 1);
    s.topColor = r.Color(u"TopColor", windowColor);
    s.bottomColor = r.Color(u"BottomColor", s.topColor);
    s.monoColor = r.Number32(u"MonoColor", 1);
    s.titlePosition = r.Number32(u"TitlePosition", 0);
    s.titleFont = r.Text(u"TitleFont");
    s.taskbarText = r.Text(u"TaskbarText");
    if (s.taskbarText.IsEmpty()) s.taskbarText = u"Setup";
    s.copyrightText = r.Text(u"CopyrightText");
    s.copyrightFont = r.Text(u"CopyrightFont");
    s.copyrightSize = r.Size(u"CopyrightSize", 1.0);
    s.copyrightColor = r.Color(u"CopyrightColor", 0);
    s.copyrightPos = r.Number32(u"CopyrightPos", 0);
    s.progressStyle = r.Number32(u"ProgressStyle", 2);
    s.dialogBG = r.Color(u"DialogBG", 0);
    s.dialogFG = r.Color(u"DialogFG", 0);
    s.spnmBG = r.Color(u"SPNMBG", 0);
    s.spnmFG = r.Color(u"SPNMFG", 0);
    s.buttonBG = r.Color(u"ButtonBG", 0);
    s.buttonFG = r.Color(u"ButtonFG", 0);
    s.buttonBorder = r.Color(u"ButtonBorder", 0);
    s.bannerFG = r.Color(u"BannerFG", 0);
    s.dialogZoom = ClampZoom(r.Number32(u"DialogZoom", 100));
    s.bitmapTpi = r.Number32(u"BitmapTPI", 0);
    s.stretchMode = r.Number32(u"StretchMode", 0);
    s.bitmapSize = r.Number32(u"BitmapSize", 0);
    return s;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool SameFolder(const String& a, const String& b) {
    String x = a, y = b;
    while (x.Length() > 3 && x.Last() == u'\\')
        x.Truncate(x.Length() - 1);
    while (y.Length() > 3 && y.Last() == u'\\')
        y.Truncate(y.Length() - 1);
    return CompareNoCase(x, y) == 0;
}

} // namespace

bool ParseColorText(const String& text, uint32_t& color) {
    String t = text;
    Trim(t);
    if (!t.IsEmpty() && t[0] == u'#') t.Erase(0, 1);
    if (t.Length() != 6) return false;
    uint32_t rgb[3] = {};
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(t[size_t(2 * i)]), low = HexDigit(t[size_t(2 * i + 1)]);
        if (high < 0 || low < 0) return false;
        rgb[i] = static_cast<uint32_t>(high * 16 + low);
    }
    color = rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
    return true;
}

UninstallEntryValues ReadUninstallEntryValues(UninstallEntryReader& reader, uint32_t windowTextColor,
                                              uint32_t windowColor) {
    ValueReader r(reader);
    UninstallEntryValues v;
    v.feedbackUrl = r.Text(u"FeedbackURL");
    v.displayName = r.Text(u"DisplayName");
    v.installLocation = r.Text(u"InstallLocation");
    uint64_t flags = r.Number(u"ProductFlags", 0);
    v.optionWord1 = static_cast<uint32_t>(flags);
    v.optionWord2 = static_cast<uint32_t>(flags >> 32);
    v.payloadFlags = r.Number32(u"ProductFlags2", 0);
    v.bitness = r.Number32(u"Bitness", 0);
    v.styling = ReadStyling(r, windowTextColor, windowColor);
    v.displayVersion = r.Text(u"DisplayVersion");
    v.uninstallSubdir = r.Text(u"UninstallSubdir");
    v.addToPathSubfolder = r.Text(u"AddToPathSubfolder");
    v.productFonts = r.Text(u"ProductFonts");
    v.uninstallFonts = r.Number32(u"UninstallFonts", 2);
    v.uninstallShared = r.Number32(u"UninstallShared", 2);
    v.shortcutMode = r.Number32(u"ShortcutMode", 0);
    v.desktopFolder = r.Text(u"DesktopFolder");
    v.notifyUrl = r.Text(u"NotifyURL");
    v.language = r.Text(u"Language");
    v.session = r.Number(u"Session", 0);
    v.supportOffer = r.Text(u"SupportOffer");
    v.sharedPath = r.Text(u"SharedPath");
    v.productStartMenu = r.Text(u"ProductStartMenu");
    v.uninstallBatch1 = r.Text(u"UninstallBatch1");
    v.uninstallBatch2 = r.Text(u"UninstallBatch2");
    v.sharedFiles = r.Text(u"SharedFiles");
    v.productRegistry = r.Text(u"ProductRegistry");
    return v;
}

// ---- Shared files -------------------------------------------------------------------------

Array<SharedFileEntry> ParseSharedFiles(std::string_view list) {
    Array<SharedFileEntry> entries;
    while (!list.empty()) {
        size_t end = list.find(';');
        std::string_view item = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        if (item.size() >= 2 && item.front() == '"' && item.back() == '"')
            item = item.substr(1, item.size() - 2);
        SharedFileEntry entry;
        if (!item.empty()) {
            switch (static_cast<unsigned char>(item.back())) {
            case '^':
                entry.kind = SharedFileKind::ComServer;
                break;
            case 0xA9:
                entry.kind = SharedFileKind::TypeLibrary;
                break;
            case ' ':
                entry.kind = SharedFileKind::CountOnly;
                break;
            default:
                break;
            }
            if (entry.kind != SharedFileKind::Plain) item.remove_suffix(1);
        }
        if (item.empty()) continue;
        entry.path = FromPathForm(item);
        if (!entry.path.IsEmpty()) entries.Append(std::move(entry));
    }
    return entries;
}

// ---- Folders ------------------------------------------------------------------------------

Array<String> FoldersLongestFirst(const Array<String>& folders) {
    std::vector<String> sorted;
    for (const String& folder : folders)
        sorted.push_back(folder);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const String& a, const String& b) { return a.Length() > b.Length(); });
    Array<String> out;
    for (String& folder : sorted)
        out.Append(std::move(folder));
    return out;
}

Array<String> FolderAndParents(const String& folder, const String& installDir) {
    Array<String> chain;
    String current = folder;
    while (current.Length() > 1 && current.Last() == u'\\')
        current.Truncate(current.Length() - 1);
    for (int level = 0; level < kMaxFolderLevels; ++level) {
        if (current.Length() <= 3 || SameFolder(current, installDir)) break;
        if (current.View().find_last_of(u"\\/") == std::u16string_view::npos) break;
        chain.Append(current);
        current = FolderOf(current);
    }
    return chain;
}

Array<String> ParentKeys(const String& keyPath, int maxLevels) {
    Array<String> parents;
    String current = keyPath;
    while (parents.Count() < maxLevels) {
        size_t cut = current.View().find_last_of(u'\\');
        if (cut == std::u16string_view::npos || cut == 0) break;
        current = current.Sub(0, cut);
        parents.Append(current);
    }
    return parents;
}

Array<String> UserHiveParentKeys(const String& keyPath, int maxLevels) {
    Array<String> parents;
    for (const String& parent : ParentKeys(keyPath, maxLevels)) {
        if (parent.Length() < 10 || parent.View().find(u'\\') == std::u16string_view::npos) break;
        parents.Append(parent);
    }
    return parents;
}

// ---- Registry undo -----------------------------------------------------------------------

Array<RegistryUndoStep> RegistryUndoSteps(std::string_view block) {
    Array<RegistryUndoStep> values, keys;
    for (const Array<String8>& record : ParseCsv(block)) {
        RegistryUndoStep step;
        step.keyText = FromUtf8(record[0].View());
        Trim(step.keyText);
        if (!ParseRegistryKeyPath(step.keyText, step.key)) continue;
        if (record.Count() == 1) {
            keys.Insert(0, std::move(step));
            continue;
        }
        uint64_t action = 0;
        if (record.Count() != 5 || !ParseRegistryInteger(record[4].View(), 32, action) ||
            !RulesOfRegistryAction(static_cast<uint32_t>(action)).deleteAtUninstall)
            continue;
        step.deleteValue = true;
        step.valueName = FromUtf8(record[1].View());
        values.Append(std::move(step));
    }
    for (RegistryUndoStep& key : keys)
        values.Append(std::move(key));
    return values;
}

bool SplitValueRecord(const String& record, RegistryKeyPath& key, String& valueName) {
    size_t cut = record.View().find_last_of(u'\\');
    if (cut == std::u16string_view::npos) return false;
    valueName = record.Sub(cut + 1);
    return ParseRegistryKeyPath(record.Sub(0, cut), key);
}

// ---- Messages ------------------------------------------------------------------------------

String8 FeedbackAddress(const String& url) {
    String8 bytes = ToUtf8(url);
    std::string_view v = bytes.View();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!v.empty() && blank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && blank(v.back()))
        v.remove_suffix(1);
    static const char kHex[] = "0123456789ABCDEF";
    String8 out;
    for (char c : v) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x21 && b <= 0x7E) {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

} // namespace cs
