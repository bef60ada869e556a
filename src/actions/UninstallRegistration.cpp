#include "actions/UninstallRegistration.h"

#include "actions/RegistryRules.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "runtime/InstallFolders.h"

#include <algorithm>
#include <cstdio>

namespace cs {

namespace {

// Appends the values in order; each helper is one row form of the tables.
class ValueList {
  public:
    explicit ValueList(const std::function<uint32_t(uint32_t)>& systemColor) : systemColor_(systemColor) {}
    void Text(const char16_t* name, const String& text) { Add(name, UninstallValueKind::Text, text); }
    void Ansi(const char16_t* name, const String& text) { Add(name, UninstallValueKind::AnsiText, text); }
    void TextOrDelete(const char16_t* name, const String& text) {
        text.IsEmpty() ? Delete(name) : Text(name, text);
    }
    void AnsiOrDelete(const char16_t* name, const String& text) {
        text.IsEmpty() ? Delete(name) : Ansi(name, text);
    }
    void Dword(const char16_t* name, uint32_t number) {
        UninstallKeyValue& v = Add(name, UninstallValueKind::Dword, {});
        v.number = number;
    }
    void DwordOrDelete(const char16_t* name, bool write, uint32_t number) {
        write ? Dword(name, number) : Delete(name);
    }
    void Qword(const char16_t* name, uint64_t number) {
        UninstallKeyValue& v = Add(name, UninstallValueKind::Qword, {});
        v.number = number;
    }
    void Delete(const char16_t* name) { Add(name, UninstallValueKind::Delete, {}); }
    // A system colour is written as its current value: the text form has no room for the index.
    void Color(const char16_t* name, uint32_t color) {
        if (color > 0xFFFFFF && systemColor_) color = systemColor_(color & 0xFF);
        Ansi(name, ColorText(color));
    }
    void Append(UninstallKeyValue value) { values_.Append(std::move(value)); }

    Array<UninstallKeyValue> Take() { return std::move(values_); }

  private:
    UninstallKeyValue& Add(const char16_t* name, UninstallValueKind kind, const String& text) {
        UninstallKeyValue& v = values_.Append();
        v.name = name;
        v.kind = kind;
        v.text = text;
        return v;
    }
    Array<UninstallKeyValue> values_;
    std::function<uint32_t(uint32_t)> systemColor_;
};

// The leading decimal digits after leading blanks; 0 when there are none, at most 2^32 - 1.
uint32_t LeadingNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    uint64_t number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        number = std::min<uint64_t>(number * 10 + (text[i] - u'0'), 0xFFFFFFFFu);
    return static_cast<uint32_t>(number);
}

bool HasBackgroundBitmap(const InstallerState& state) {
    return (state.definition.optionWord1 & kOpt1BackgroundPicture) &&
           !state.definition.backgroundPicture.IsEmpty();
}

void AddProductValues(ValueList& list, const InstallerState& state, const UninstallKeyRun& run) {
    const Definition& d = state.definition;
    String dataFolder = UninstallDataFolder(state.folders.installDir, d.uninstallSubdir);
    list.Text(u"UninstallString", UninstallCommand(state.folders.uninstallerPath, d.uninstallKeyName));
    list.Text(u"QuietUninstallString",
              Format(u"\"%s\" /a %s", state.folders.uninstallerPath, UninstallArguments(d.uninstallKeyName)));
    list.Text(u"DisplayName", d.productName);
    list.Text(u"InstallSource", run.installerPath);
    list.TextOrDelete(u"Publisher", d.publisher);
    list.Dword(u"Bitness", d.bitness);
    list.AnsiOrDelete(u"DisplayVersion", d.productVersion);
    list.AnsiOrDelete(u"NoDowngradeBelow", d.noDowngradeBelow);
    if (run.productIconWritten) list.Text(u"DisplayIcon", JoinPath(dataFolder, u"product.ico"));
    uint32_t major = 0, minor = 0;
    if (VersionNumbers(d.productVersion, major, minor)) {
        list.Dword(u"VersionMajor", major);
        list.Dword(u"VersionMinor", minor);
    }
    list.TextOrDelete(u"ProductRegistry", d.productRegistry);
    list.TextOrDelete(u"ProductStartMenu", state.choices.startMenuFolder);
    list.TextOrDelete(u"SharedPath", state.folders.sharedDir);
    list.AnsiOrDelete(u"ProductFonts", FontListText(run.fonts));
    int64_t flags = static_cast<int64_t>((uint64_t(d.optionWord2) << 32) | d.optionWord1);
    list.Ansi(u"ProductFlags", Format(u"%lld", flags));
    list.Ansi(u"ProductFlags2", Format(u"%u", state.payloadFlags));
}

void AddUninstallerValues(ValueList& list, const InstallerState& state, const UninstallKeyRun& run) {
    const Definition& d = state.definition;
    list.AnsiOrDelete(u"UninstallBatch1",
                      FromCodePage(state.batchCommands[kBatchUninstall1].View(), kCodePage1252));
    list.AnsiOrDelete(u"UninstallBatch2",
                      FromCodePage(state.batchCommands[kBatchUninstall2].View(), kCodePage1252));
    list.AnsiOrDelete(u"SharedFiles", state.existing.sharedFiles);
    list.TextOrDelete(u"UninstallSubdir", d.uninstallSubdir);
    list.TextOrDelete(u"AddToPathSubfolder", d.addToPathSubfolder);
    list.DwordOrDelete(u"ShortcutMode", state.choices.allUsers, 1);
    list.AnsiOrDelete(u"NotifyURL", d.links[kLinkNotifyUrl]);
    list.AnsiOrDelete(u"SupportOffer", d.supportOffer);
    list.TextOrDelete(u"DesktopFolder", d.desktopFolder);
    list.Dword(u"UninstallFonts", static_cast<uint32_t>(d.uninstallFonts));
    list.Dword(u"UninstallShared", static_cast<uint32_t>(d.uninstallShared));
    list.Qword(u"Session", state.session);
    list.TextOrDelete(u"Language", state.choices.language);
    list.Dword(u"ProgressStyle", static_cast<uint32_t>(d.pages.progressStyle));
    list.TextOrDelete(u"FeedbackURL", d.links[kLinkFeedbackUrl]);
    uint32_t kb = 0;
    bool fits = EstimatedSizeKb(run.totalSize, kb); // before kb is read as an argument
    list.DwordOrDelete(u"EstimatedSize", fits, kb);
}

void AddColorValues(ValueList& list, const InstallerState& state) {
    const Definition& d = state.definition;
    list.Text(u"TaskbarText", d.taskbarText);
    list.Text(u"DialogFont", d.dialogFont);
    list.Color(u"BannerFG", d.bannerFG);
    if (d.optionWord1 & kOpt1DialogColors) {
        list.Color(u"DialogFG", d.dialogFG);
        list.Color(u"DialogBG", d.dialogBG);
    }
    if (state.payloadFlags & kFlagSidePanelColors) {
        list.Color(u"SPNMFG", d.spnmFG);
        list.Color(u"SPNMBG", d.spnmBG);
    }
    if (state.payloadFlags & kFlagButtonColors) {
        list.Color(u"ButtonBG", d.buttonBG);
        list.Color(u"ButtonFG", d.buttonFG);
        list.Color(u"ButtonBorder", d.buttonBorder);
    }
    list.Dword(u"DialogZoom", static_cast<uint32_t>(d.dialogZoom));
}

void AddBackgroundValues(ValueList& list, const InstallerState& state) {
    const Definition& d = state.definition;
    if (d.optionWord1 & kOpt1NoBackgroundWindow) return;
    list.Text(u"DisplayTitle", d.displayTitle);
    list.Dword(u"TitleColor", d.titleColor);
    list.Ansi(u"TitleSize", SizeText(d.titleSize));
    list.Dword(u"TopColor", d.topColor);
    list.DwordOrDelete(u"BottomColor", !state.monoColor, d.bottomColor);
    list.Dword(u"MonoColor", state.monoColor ? 1 : 0);
    list.Dword(u"TitleShadow", d.titleShadow);
    list.Dword(u"TitlePosition", d.titlePosition);
    list.Text(u"TitleFont", d.titleFont);
    list.Text(u"CopyrightText", d.copyrightText);
    list.Text(u"CopyrightFont", d.copyrightFont);
    list.Ansi(u"CopyrightSize", SizeText(d.copyrightSize));
    list.Color(u"CopyrightColor", d.copyrightColor);
    list.Dword(u"CopyrightPos", d.copyrightPos);
    bool bitmap = HasBackgroundBitmap(state);
    list.DwordOrDelete(u"BitmapSize", bitmap, static_cast<uint32_t>(d.bitmapSize));
    list.DwordOrDelete(u"BitmapTPI", bitmap, static_cast<uint32_t>(d.bitmapTpi));
    list.DwordOrDelete(u"StretchMode", bitmap, static_cast<uint32_t>(d.stretchMode));
}

} // namespace

String UninstallArguments(const String& uninstallName) {
    return Format(u"/u:\"%s\"", uninstallName);
}

String UninstallCommand(const String& uninstallerPath, const String& uninstallName) {
    return Format(u"\"%s\" %s", uninstallerPath, UninstallArguments(uninstallName));
}

String ColorText(uint32_t color) {
    return Format(u"%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

String SizeText(double size) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", 6, size);
    std::string_view text(buffer);
    if (text.find('.') != std::string_view::npos) {
        while (text.back() == '0')
            text.remove_suffix(1);
        if (text.back() == '.') text.remove_suffix(1);
    }
    return FromCodePage(text, kCodePage1252);
}

String DateText(int year, int month, int day) {
    return Format(u"%04d%02d%02d", year, month, day);
}

bool VersionNumbers(const String& version, uint32_t& major, uint32_t& minor) {
    size_t dot = version.View().find(u'.');
    if (dot == std::u16string_view::npos) return false;
    major = LeadingNumber(version.View().substr(0, dot));
    minor = LeadingNumber(version.View().substr(dot + 1));
    return true;
}

bool EstimatedSizeKb(uint64_t totalBytes, uint32_t& kb) {
    uint64_t size = totalBytes / 1024;
    if (size == 0 || size > 0xFFFFFFFFu) return false;
    kb = static_cast<uint32_t>(size);
    return true;
}

String FontListText(const Array<FontFile>& fonts) {
    String text;
    for (const FontFile& font : fonts)
        if (!font.keep) text += Format(u"\"%s\" \"%s\" ", font.face, FileNameOf(font.path));
    return text;
}

Array<ListedFont> ParseFontList(const String& list) {
    Array<String> texts;
    std::u16string_view rest = list.View();
    for (;;) {
        size_t open = rest.find(u'"');
        if (open == std::u16string_view::npos) break;
        size_t close = rest.find(u'"', open + 1);
        if (close == std::u16string_view::npos) break;
        texts.Append(String(rest.substr(open + 1, close - open - 1)));
        rest = rest.substr(close + 1);
    }
    Array<ListedFont> fonts;
    for (int i = 0; i + 1 < texts.Count(); i += 2) fonts.Append({texts[i], texts[i + 1]});
    return fonts;
}

UninstallKeyValue DefinitionKeyValue(const UninstallValue& value,
                                     const std::function<void(String&)>& expand) {
    UninstallKeyValue v;
    size_t slash = value.name.View().find_last_of(u'\\');
    if (slash == std::u16string_view::npos) {
        v.name = value.name;
    } else {
        v.key = value.name.Sub(0, slash);
        v.name = value.name.Sub(slash + 1);
    }
    v.text = value.value;
    if (expand) expand(v.text);
    switch (value.kind) {
    case kRegText:
        v.kind = UninstallValueKind::Text;
        break;
    case kRegExpandableText:
        v.kind = UninstallValueKind::ExpandableText;
        break;
    case kRegNumber:
        v.kind = UninstallValueKind::Dword;
        if (!ParseRegistryInteger(ToUtf8(v.text).View(), 32, v.number)) v.number = 0;
        v.text.Clear();
        break;
    default:
        v.kind = UninstallValueKind::InvalidKind;
        break;
    }
    return v;
}

Array<UninstallKeyValue> UninstallKeyValues(const InstallerState& state, const UninstallKeyRun& run) {
    ValueList list(run.systemColor);
    AddProductValues(list, state, run);
    AddUninstallerValues(list, state, run);
    AddColorValues(list, state);
    AddBackgroundValues(list, state);
    for (const UninstallValue& value : state.definition.uninstallValues)
        list.Append(DefinitionKeyValue(value, run.expand));
    list.Text(u"InstallLocation", state.folders.installDir);
    list.Ansi(u"InstallDate", DateText(run.year, run.month, run.day));
    return list.Take();
}

namespace {

// A definition value in another key; the system error, 0 on success.
uint32_t WriteElsewhere(UninstallKeySystem& system, const UninstallKeyValue& v,
                        const UninstallKeyTarget& target) {
    RegistryKeyPath path;
    if (!ParseRegistryKeyPath(v.key, path) || path.hive == RegistryHive::AllUsers) return kErrorBadPathName;
    uint32_t error = system.WriteElsewhere(path, v);
    if (error) return error;
    String8 line;
    AppendRegistryLine(line, Array<String8>{ToUtf8(v.key), ToUtf8(v.name), "0", "", "2"});
    if (target.registryList) *target.registryList += line;
    if (target.records) target.records->registry2 += RegistryUndoRecords(line.View());
    return 0;
}

void WriteDefinitionValue(UninstallKeySystem& system, bool opened, const UninstallKeyValue& v,
                          const UninstallKeyTarget& target) {
    if (v.kind == UninstallValueKind::InvalidKind) system.Corrupt(kCodeBadUninstallValueKind);
    uint32_t error = !v.key.IsEmpty() ? WriteElsewhere(system, v, target)
                     : opened         ? system.Write(v)
                                      : kErrorInvalidHandle;
    if (!error) return;
    String name = v.key.IsEmpty() ? v.name : v.key + u"\\" + v.name;
    String message =
        Format(u"Failed to save data in registry key \"%s\": %s\r\n", name, system.SystemErrorText(error));
    system.Log(message);
    system.AddFailure(message);
}

} // namespace

String UninstallNotSavedWarning(const String& systemText) {
    String text;
    if (!systemText.IsEmpty()) text = Format(u"System error: %s\r\n\r\n", systemText);
    text += u"Unable to save the uninstall information to the registry.  Uninstall will not work "
            u"properly.\r\n\r\n";
    return text;
}

void WriteUninstallKey(UninstallKeySystem& system, const Array<UninstallKeyValue>& values,
                       const UninstallKeyTarget& target) {
    // The definition's values sit between the tables and the last two values.
    int definitionEnd = values.Count() - 2, definitionStart = definitionEnd - target.definitionValues;
    uint32_t error = system.OpenKey();
    bool opened = error == 0;
    for (int i = 0; i < values.Count(); ++i) {
        const UninstallKeyValue& v = values[i];
        if (i >= definitionStart && i < definitionEnd) {
            WriteDefinitionValue(system, opened, v, target);
        } else if (opened) {
            uint32_t failed = system.Write(v);
            if (failed)
                system.Log(Format(u"Failed to write the uninstall value \"%s\": %s\r\n", v.name,
                                  system.SystemErrorText(failed)));
        }
    }
    String stored;
    if (opened && system.ReadUninstallString(stored, error) && stored == values[0].text) return;
    String warning = UninstallNotSavedWarning(error ? system.SystemErrorText(error) : String());
    system.Log(warning);
    system.AddFailure(warning);
}

} // namespace cs
