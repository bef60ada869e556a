// Reading the TOML project file into a Definition, the payload flags and the file list.
#include "builder/Project.h"

#include "builder/ProjectOptions.h"
#include "builder/ProjectSection.h"
#include "builder/TomlText.h"

#include <map>

namespace cs {

namespace {

// CSV field as the registry list and the uninstall data read it.
std::string CsvField(const std::string& text) {
    bool quote = text.empty() ? false : text.find_first_of(",\"\t\r\n;|") != std::string::npos;
    if (!text.empty() && (text[0] == ' ' || text[0] == '\'' || text[0] == '#' || text.back() == ' '))
        quote = true;
    if (!quote) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// Language texts: one table of numbered strings.
struct LanguageTexts {
    String name;
    std::map<int, String> strings;
};

bool ReadLanguage(std::string_view text, const std::string& file, LanguageTexts& out, std::string& error) {
    Problems problems(file);
    toml::table root;
    std::string safe, problem;
    size_t line = 0;
    if (!TomlParserText(text, safe, line, problem)) {
        error = file + ":" + std::to_string(line) + ": " + problem;
        return false;
    }
    try {
        root = toml::parse(safe, file);
    } catch (const toml::parse_error& e) {
        error = file + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
        return false;
    }
    Section top(problems, &root, "", fs::path(file).parent_path());
    if (!top.Text("language", out.name) && !problems.Failed())
        top.Fail("language", "missing: the language's name");
    Section strings = top.Table("strings");
    if (strings.Present()) {
        for (const auto& [key, node] : *root["strings"].as_table()) {
            std::string k(key.str());
            char* end = nullptr;
            long number = std::strtol(k.c_str(), &end, 10);
            if (k.empty() || *end || number < 0 || number >= kMaxStrings) {
                problems.Report(node.source(), "strings." + k, "expected a string number from 0 to 9999");
                break;
            }
            String value;
            if (strings.Text(k.c_str(), value)) out.strings[int(number)] = std::move(value);
        }
    }
    top.Finish();
    if (problems.Failed()) error = problems.Message();
    return !problems.Failed();
}

void ReadDeletionValue(Section& s, FileDeletion& e);

class ProjectReader {
  public:
    ProjectReader(const std::string& path, Project& project, KeyRecorder* recorder = nullptr)
        : problems_(path, recorder), project_(project), d_(project.definition),
          base_(fs::path(path).parent_path()) {}

    bool Read(std::string_view text, std::string& error);

  private:
    void ReadProduct(Section s);
    void ReadInstall(Section s);
    void ReadUninstall(Section s);
    void ReadWizard(Section s);
    void ReadPages(Section s);
    void ReadBatches(Section s);
    void ReadLinks(Section s);
    void ReadRegistry(Section s);
    void ReadOptions(Section s);
    void ReadLanguages(Section& top);
    void ReadLists(Section& top);
    void ReadFirewall(Section& top);
    void ReadDocuments(Section& s, const char* key, Array<String8>& out, int max);

    Problems problems_;
    Project& project_;
    Definition& d_;
    fs::path base_;
    uint32_t set1_ = 0, set2_ = 0, setFlags_ = 0;
};

bool ProjectReader::Read(std::string_view text, std::string& error) {
    toml::table root;
    std::string safe, problem;
    size_t line = 0;
    if (!TomlParserText(text, safe, line, problem)) {
        error = problems_.File() + ":" + std::to_string(line) + ": " + problem;
        return false;
    }
    try {
        root = toml::parse(safe, problems_.File());
    } catch (const toml::parse_error& e) {
        error = problems_.File() + ":" + std::to_string(e.source().begin.line) + ": " +
                std::string(e.description());
        return false;
    }
    project_.path = problems_.File();
    d_ = Definition();
    d_.uninstallerFileName = u"uninstall.exe";
    d_.uninstallFonts = 2;
    d_.uninstallShared = 2;
    d_.stretchMode = 2;
    d_.titlePosition = 1; // the product name at the top left of the background
    d_.topColor = 0x804000;
    d_.bottomColor = 0x000000;
    d_.pages = {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};

    Section top(problems_, &root, "", base_);
    ReadProduct(top.Table("product"));
    ReadInstall(top.Table("install"));
    ReadUninstall(top.Table("uninstall"));
    ReadWizard(top.Table("wizard"));
    ReadBatches(top.Table("batches"));
    ReadLinks(top.Table("links"));
    ReadRegistry(top.Table("registry"));
    ReadLists(top);
    ReadFileEntries(top, project_.files);
    ReadLanguages(top);
    ReadOptions(top.Table("options"));
    top.Finish();
    if (d_.productName.IsEmpty() && !problems_.Failed())
        problems_.Report(root.source(), "product.name", "missing: every installer needs a product name");
    if (problems_.Failed()) {
        error = problems_.Message();
        return false;
    }
    return true;
}

void ProjectReader::ReadProduct(Section s) {
    s.Text("name", d_.productName);
    s.Text("title", d_.productTitle);
    s.Text("version", d_.productVersion);
    s.Text("publisher", d_.publisher);
    if (s.Text("url", d_.productUrl) && d_.productUrl.ByteLength() > 0xFFFF) s.Fail("url", "too long");
    s.FileBytes("icon", d_.productIcon);
    s.Choice("bitness", d_.bitness, {"any", "64-bit", "32-bit"}, 2);
    s.Text("registry_key", d_.productRegistry);
    s.Text("main_executable", d_.appPath);
    if (s.Text("support_offer", d_.supportOffer) && d_.supportOffer.ByteLength() > 0xFFFF)
        s.Fail("support_offer", "too long");
    if (s.Text("no_downgrade_below", d_.noDowngradeBelow) && d_.noDowngradeBelow.ByteLength() > 0xFF)
        s.Fail("no_downgrade_below", "at most 127 characters");
    DateValue built;
    if (s.Date("build_date", built)) d_.buildDate = {built.year, built.month, built.day};
    s.Int("build_value", d_.buildValue, INT32_MIN, INT32_MAX);
    s.Finish();
}

void ProjectReader::ReadInstall(Section s) {
    s.Text("folder", d_.defaultFolder);
    s.Choice("shared_folder_base", d_.sharedFolderBase,
             {"auto", "system", "common-files-32", "common-files-64"});
    s.Text("shared_folder", d_.sharedPath);
    s.Text("shared_subfolder", d_.sharedSubfolder);
    s.Text("start_menu_folder", d_.startMenuFolder);
    s.Text("desktop_folder", d_.desktopFolder);
    s.FileBytes("desktop_folder_icon", d_.desktopFolderIcon);
    s.Choice("shortcuts_for", d_.shortcutMode, {"current-user", "all-users"}, 255);
    s.Choice("automatic", d_.automaticMode, {"command-line", "always", "never"});
    s.Int("excluded_systems", d_.excludedSystems, INT32_MIN, INT32_MAX);
    bool external = false;
    if (s.Bool("external_data", external)) d_.externalData = external ? 1 : 0;
    s.Int("extra_disk_space", d_.pages.extraDiskSpace, 0, INT64_MAX);
    s.Choice("integrity_check", d_.pages.integrityMode,
             {"none", "checksum", "signature", "signature-lenient"}, INT32_MAX);
    s.Text("password", d_.password);
    s.Int("min_status_time", d_.minStatusTime, 0, kMaxStatusTime);
    s.Int("progress_placement", d_.progressPlacement, INT32_MIN, INT32_MAX);
    if (s.Text("location_reference", d_.locationReference) && d_.locationReference.ByteLength() > 0xFFFF)
        s.Fail("location_reference", "too long");
    s.Text("start_sound", d_.startSound);
    s.Text("reinstall_in_place_from", d_.reinstallInPlaceFrom);
    s.Text8("upgrade_without_asking_from", d_.upgradeWithoutAskingFrom);
    s.Text("registry_key_list", d_.registryKeyList);
    s.Text("add_to_path_subfolder", d_.addToPathSubfolder);
    Section master = s.Table("master");
    if (master.Present()) {
        set1_ |= kOpt1AddOn;
        master.Text("key_name", d_.masterKeyName);
        master.Text("display_name", d_.masterDisplayName);
        master.Text("min_version", d_.masterMinVersion);
        master.Finish();
    }
    Section root = s.Table("root_shortcut");
    root.Text("command", d_.rootShortcutCommand);
    root.Text("name", d_.rootShortcutName);
    root.Finish();
    Section pin = s.Table("taskbar_pin");
    pin.Text("target", d_.pinTarget);
    pin.Text("name", d_.pinName);
    pin.Finish();
    s.Finish();
}

void ProjectReader::ReadUninstall(Section s) {
    s.Text("subfolder", d_.uninstallSubdir);
    if (s.Text("file_name", d_.uninstallerFileName) && d_.uninstallerFileName.ByteLength() > 0xFF)
        s.Fail("file_name", "at most 127 characters");
    s.Text("key_name", d_.uninstallKeyName);
    s.Date("program_date", d_.uninstallerDate);
    s.FileBytes("icon", d_.uninstallerIcon);
    s.Choice("fonts", d_.uninstallFonts, {"keep", "ask", "remove"}, INT32_MAX);
    s.Choice("shared_files", d_.uninstallShared, {"keep", "ask", "remove"}, INT32_MAX);
    s.Tables("values", [&](Section& v, int) {
        UninstallValue& value = d_.uninstallValues.Append();
        if (!v.Text("name", value.name) && !problems_.Failed()) v.Fail("name", "missing");
        if (value.name.ByteLength() > 0xFF) v.Fail("name", "at most 127 characters");
        if (v.Choice("kind", value.kind, {"", "text", "expandable-text", "", "number"}, 4) &&
            (value.kind == 0 || value.kind == 3))
            v.Fail("kind", "expected \"text\", \"expandable-text\" or \"number\" (1, 2 or 4)");
        v.Text("value", value.value);
    });
    if (d_.uninstallValues.Count() > kMaxListEntries) s.Fail("values", "at most 1000 values");
    s.Finish();
}

void ProjectReader::ReadDocuments(Section& s, const char* key, Array<String8>& out, int max) {
    std::vector<std::string> names;
    if (!s.Texts(key, names)) return;
    if (int(names.size()) > max) {
        s.Fail(key, "at most " + std::to_string(max) + " documents");
        return;
    }
    for (const std::string& name : names) {
        String8 bytes;
        if (!s.ReadFileAt(key, name, bytes)) return;
        std::string_view view = bytes.View();
        std::string_view body = view.substr(0, 3) == "\xEF\xBB\xBF" ? view.substr(3) : view;
        if (body.substr(0, 5) == "{\\rtf") {
            out.Append(bytes); // rich text goes as it is
        } else {
            String wide = FromUtf8(body); // plain text goes as UTF-16LE
            String8 utf16;
            for (char16_t c : wide) {
                utf16 += static_cast<char>(c & 0xFF);
                utf16 += static_cast<char>(c >> 8);
            }
            out.Append(utf16);
        }
    }
}

void ProjectReader::ReadWizard(Section s) {
    s.Text("caption", d_.wizardCaption);
    s.Text("taskbar_text", d_.taskbarText);
    s.Text("title", d_.displayTitle);
    s.Real("title_size", d_.titleSize);
    s.Color("title_color", d_.titleColor);
    s.Int("title_shadow", d_.titleShadow, 0, 255);
    s.Choice(
        "title_position", d_.titlePosition,
        {"hidden", "top-left", "top-centre", "top-right", "bottom-left", "bottom-centre", "bottom-right"});
    s.Text("title_font", d_.titleFont);
    s.Color("top_color", d_.topColor);
    s.Color("bottom_color", d_.bottomColor);
    s.Text("dialog_font", d_.dialogFont);
    s.Int("dialog_zoom", d_.dialogZoom, INT32_MIN, INT32_MAX);
    s.Color("banner_text_color", d_.bannerFG);
    s.Choice("picture_border", d_.pictureBorder, {"none", "sunken", "thin", "by-layout"});
    if (s.FileBytes("background_picture", d_.backgroundPicture) && d_.backgroundPicture.IsEmpty())
        s.Fail("background_picture", "the file is empty");
    s.Int("bitmap_size", d_.bitmapSize, 0, kMaxBitmapSize);
    s.Choice("stretch_mode", d_.stretchMode, {"stretch", "fit", "whole-factor", "tile"}, INT32_MAX);
    s.Int("bitmap_tpi", d_.bitmapTpi, INT32_MIN, INT32_MAX);
    Section c = s.Table("copyright");
    if (c.Present()) {
        c.Text("text", d_.copyrightText);
        c.Text("font", d_.copyrightFont);
        c.Real("size", d_.copyrightSize);
        c.Color("color", d_.copyrightColor);
        d_.copyrightPos = 5;
        c.Choice("position", d_.copyrightPos,
                 {"hidden", "top-left", "top-centre", "top-right", "bottom-left", "bottom-centre",
                  "bottom-right"});
        c.Finish();
    }
    auto colors = [&](std::initializer_list<std::pair<const char*, uint32_t*>> keys, uint32_t& word,
                      uint32_t bit) {
        for (const auto& [key, target] : keys)
            if (s.Color(key, *target)) word |= bit; // the fields are written when any is given
    };
    colors({{"dialog_background", &d_.dialogBG}, {"dialog_text", &d_.dialogFG}}, set1_, kOpt1DialogColors);
    colors({{"panel_background", &d_.spnmBG}, {"panel_text", &d_.spnmFG}}, setFlags_, kFlagWizardColors);
    colors(
        {{"button_face", &d_.buttonBG}, {"button_text", &d_.buttonFG}, {"button_border", &d_.buttonBorder}},
        setFlags_, kFlagButtonColors);
    colors({{"edit_background", &d_.editColors[0]}, {"edit_text", &d_.editColors[1]}}, setFlags_,
           kFlagEditColors);
    colors({{"list_background", &d_.listColors[0]},
            {"list_text", &d_.listColors[1]},
            {"list_selected_background", &d_.listColors[2]},
            {"list_selected_text", &d_.listColors[3]}},
           setFlags_, kFlagListColors);
    colors({{"document_background", &d_.documentColors[0]}, {"document_text", &d_.documentColors[1]}},
           setFlags_, kFlagDocumentColors);
    ReadDocuments(s, "licences", d_.licences, kMaxLicences);
    ReadDocuments(s, "readmes", d_.readmes, kMaxReadmes);
    ReadPages(s.Table("pages"));
    s.Finish();
}

void ProjectReader::ReadPages(Section s) {
    std::initializer_list<const char*> styles = {"plain", "picture", "banner", "side-panel"};
    PageRecord& p = d_.pages;
    s.Choice("greeting", p.greetingStyle, styles, INT32_MAX);
    s.Choice("language", p.languageStyle, styles, INT32_MAX);
    s.Choice("licence", p.licenceStyle, styles, INT32_MAX);
    s.Choice("readme", p.readmeStyle, styles, INT32_MAX);
    s.Choice("folder", p.folderStyle, styles, INT32_MAX);
    s.Choice("start_menu", p.startMenuStyle, styles, INT32_MAX);
    s.Choice("progress", p.progressStyle, styles, INT32_MAX);
    s.Choice("summary", p.summaryStyle, styles, INT32_MAX);
    s.Finish();
}

void ProjectReader::ReadBatches(Section s) {
    const char* keys[kBatchCount] = {"pre_install",     "post_install", "install_exit", "uninstall_before",
                                     "uninstall_after", "upgrade",      "reinstall"};
    for (int i = 0; i < kBatchCount; ++i)
        s.Text(keys[i], d_.batches[i]);
    s.Finish();
}

void ProjectReader::ReadLinks(Section s) {
    const char* keys[kLinkCount] = {"launch_on_exit", "document1",       "document2",      "install_url",
                                    "prepare_url",    "new_install_url", "upgrade_url",    "downgrade_url",
                                    "reinstall_url",  "uninstall_url",   "link_click_url", "cancel_url",
                                    "failure_url",    "feedback_url"};
    for (int i = 0; i < kLinkCount; ++i)
        s.Text(keys[i], d_.links[i]);
    s.Finish();
}

void ProjectReader::ReadRegistry(Section s) {
    std::string lines;
    s.Tables("entries", [&](Section& e, int) {
        String key, name, data;
        if (!e.Text("key", key) && !problems_.Failed()) e.Fail("key", "missing: the key path with its root");
        bool hasValue = e.Text("name", name);
        int32_t type = 1, action = 3;
        e.Choice("type", type,
                 {"", "text", "expandable-text", "binary", "number", "", "", "", "", "", "", "number64"},
                 INT32_MAX);
        hasValue |= e.Text("data", data);
        hasValue |=
            e.Choice("action", action,
                     {"", "write", "delete-at-uninstall", "write-and-delete-at-uninstall", "delete",
                      "delete-always", "write-if-missing", "write-if-missing-and-delete-at-uninstall"},
                     INT32_MAX);
        lines += CsvField(ToUtf8(key).c_str());
        if (hasValue) {
            lines += "," + CsvField(ToUtf8(name).c_str()) + "," + std::to_string(type) + "," +
                     CsvField(ToUtf8(data).c_str()) + "," + std::to_string(action);
        }
        lines += "\r\n";
    });
    d_.registryEntries = String8(lines.data(), lines.size());
    s.FileBytes("merge_file", d_.registryMergeFile);
    s.Finish();
}

void ProjectReader::ReadLists(Section& top) {
    top.Tables("shortcut", [&](Section& s, int) {
        Shortcut& sc = d_.shortcuts.Append();
        if (!s.Text("target", sc.target) && !problems_.Failed())
            s.Fail("target", "missing: what the shortcut opens");
        s.Text("name", sc.name);
        s.Text("icon", sc.icon);
        s.Text("arguments", sc.arguments);
        s.Text("working_folder", sc.workingFolder);
        bool flag = false;
        if (s.Bool("desktop", flag)) sc.desktop = flag;
        if (s.Bool("start_menu", flag))
            sc.startMenu = flag;
        else
            sc.startMenu = 1;
        if (s.Bool("startup", flag)) sc.startup = flag;
        s.Text("custom_folder", sc.customFolder);
        s.Choice("show", sc.showState, {"normal", "minimized", "maximized"});
        if (s.Bool("keep", flag)) sc.keep = flag;
    });
    if (d_.shortcuts.Count() > kMaxListEntries) top.Fail("shortcut", "at most 1000 shortcuts");
    top.Tables("association", [&](Section& s, int) {
        FileAssociation& a = d_.associations.Append();
        if (!s.Text("extension", a.extension) && !problems_.Failed()) s.Fail("extension", "missing");
        s.Choice("mode", a.mode, {"normal", "default-verb", "open-with-only"}, INT32_MAX);
        s.Text8("file_type", a.fileType);
        s.Text("description", a.description);
        a.verbs = "open";
        s.Text8("verbs", a.verbs);
        s.Text8("verb_label", a.verbLabel);
        s.Text("command", a.command);
        s.Text("language", a.language);
        s.Text("icon", a.icon);
    });
    if (d_.associations.Count() > kMaxListEntries) top.Fail("association", "at most 1000 associations");
    top.Tables("deletion", [&](Section& s, int) {
        FileDeletion& e = d_.deletions.Append();
        String pattern;
        if (!s.Text("pattern", pattern) && !problems_.Failed())
            s.Fail("pattern", "missing: the files to delete");
        e.pattern = ToPathForm(pattern);
        if (e.pattern == kDeletionListEnd) s.Fail("pattern", "this text is reserved");
        s.Choice("condition", e.condition,
                 {"always", "date-equal", "date-from", "date-until", "size-equal", "size-at-least",
                  "size-at-most"});
        ReadDeletionValue(s, e);
        bool install = true, uninstall = false, atRestart = false, restartOnFailure = true;
        s.Bool("during_install", install);
        s.Bool("during_uninstall", uninstall);
        s.Bool("at_restart", atRestart);
        s.Bool("at_restart_on_failure", restartOnFailure);
        e.flags = (atRestart ? 0x1 : 0) | (restartOnFailure ? 0x2 : 0) | (install ? 0x4 : 0) |
                  (uninstall ? 0x8 : 0);
    });
    if (d_.deletions.Count() > kMaxDeletions) top.Fail("deletion", "at most 1001 deletion entries");
    top.Tables("auto_close", [&](Section& s, int) {
        AutoCloseEntry& e = d_.autoClose.Append();
        s.Text("window_class", e.windowClass);
        s.Text("window_title", e.windowTitle);
        if (e.windowClass.IsEmpty() && e.windowTitle.IsEmpty() && !problems_.Failed())
            s.Fail("window_class", "give a window class or a window title (or both)");
        if (e.windowClass == kAutoCloseListEnd) s.Fail("window_class", "this text is reserved");
        s.Text("name", e.displayName);
        s.Choice("mode", e.mode, {"close", "quit", "ask", "terminate"});
        bool install = true, uninstall = true;
        s.Bool("during_install", install);
        s.Bool("during_uninstall", uninstall);
        e.passMask = (install ? 0x1 : 0) | (uninstall ? 0x2 : 0);
    });
    if (d_.autoClose.Count() > kMaxListEntries) top.Fail("auto_close", "at most 1000 auto-close entries");
    ReadFirewall(top);
}

// The firewall exceptions become the definition's exception lines, "target;name;protocols;
// options": a port or a program (path form), the rule name (UTF-8), the protocol mask and
// "1" for an exception kept at uninstallation. `line` gives a line as it is (the engine
// refuses one without 4 fields).
void ProjectReader::ReadFirewall(Section& top) {
    std::string text;
    top.Tables("firewall", [&](Section& s, int) {
        String raw;
        if (s.Text("line", raw)) {
            for (const char* key : {"port", "program", "name", "tcp", "udp", "keep"})
                if (s.Has(key)) s.Fail(key, "give `line` alone or the exception's keys, not both");
            text += ToUtf8(raw).View();
            text += "\r\n";
            return;
        }
        int32_t port = 0;
        String program, name;
        bool hasPort = s.Int("port", port, 0, 65535);
        bool hasProgram = s.Text("program", program);
        if (hasPort == hasProgram && !problems_.Failed())
            s.Fail("port", "give a port or a program (one of them)");
        s.Text("name", name);
        bool tcp = true, udp = false, keep = false;
        s.Bool("tcp", tcp);
        s.Bool("udp", udp);
        s.Bool("keep", keep);
        String8 target = hasPort ? String8(std::to_string(port).c_str()) : ToPathForm(program);
        auto plain = [](const String8& field) {
            return field.View().find_first_of(";\r\n") == std::string_view::npos;
        };
        if (!plain(target)) s.Fail("program", "must not contain \";\" or a line end");
        if (!plain(ToUtf8(name))) s.Fail("name", "must not contain \";\" or a line end");
        text += std::string(target.View()) + ";" + std::string(ToUtf8(name).View()) + ";" +
                std::to_string((tcp ? 1 : 0) | (udp ? 2 : 0)) + ";" + (keep ? "1" : "");
        text += "\r\n";
    });
    d_.firewallExceptions = String8(text.data(), text.size());
}

bool ValidDate(int year, int month, int day) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

// The value a deletion condition compares with: a date (a TOML date or date-time, or the
// text "YYYY/MM/DD[ HH:MM:SS]") for the date conditions, a byte count for the size ones.
// The engine stops an installation with an invalid date, so the builder refuses it here.
void ReadDeletionValue(Section& s, FileDeletion& e) {
    const toml::node* n =
        s.Take("value", "{\"anyOf\": [{\"type\": \"string\"}, " + SchemaOfInteger(0, INT64_MAX) + "]}");
    if (!n) {
        if (e.condition >= 1 && e.condition <= 6) s.Fail("pattern", "the condition needs a value");
        return;
    }
    char text[64];
    if (e.condition >= 1 && e.condition <= 3) {
        int y = 0, mo = 0, d = 0, h = -1, mi = 0, se = 0;
        if (auto date = n->value<toml::date>()) {
            y = date->year, mo = date->month, d = date->day;
        } else if (auto dt = n->value<toml::date_time>()) {
            y = dt->date.year, mo = dt->date.month, d = dt->date.day;
            h = dt->time.hour, mi = dt->time.minute, se = dt->time.second;
        } else if (auto str = n->value<std::string>()) {
            char tail;
            int fields = std::sscanf(str->c_str(), "%d/%d/%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &se, &tail);
            if (fields != 3 && fields != 6) y = mo = d = 0;
            if (fields == 3) h = -1;
        }
        if (!ValidDate(y, mo, d)) {
            s.Fail("value",
                   "expected a valid date (2024-05-17, 2024-05-17T13:45:00 or \"2024/05/17 13:45:00\")");
            return;
        }
        if (h < 0)
            std::snprintf(text, sizeof text, "%d/%02d/%02d", y, mo, d);
        else
            std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, se);
    } else if (e.condition >= 4 && e.condition <= 6) {
        auto size = n->value<int64_t>();
        if (!n->is_integer() || !size || *size < 0) {
            s.Fail("value", "expected a size in bytes");
            return;
        }
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(*size));
    } else {
        auto str = n->value<std::string>();
        if (!str) {
            s.Fail("value", "expected a text");
            return;
        }
        e.value = String8(str->data(), str->size());
        return;
    }
    e.value = text;
}

void ProjectReader::ReadLanguages(Section& top) {
    LanguageTexts english;
    std::string error;
    if (!ReadLanguage(EnglishTableText(), "english.toml", english, error)) {
        problems_.ReportAs("the built-in English table is damaged: " + error);
        return;
    }
    // [texts]: overrides of the English strings by number.
    Section texts = top.Table("texts", "{\"type\": \"object\", \"patternProperties\": {\"^[0-9]{1,4}$\": "
                                       "{\"type\": \"string\"}}, \"additionalProperties\": false}");
    if (texts.Present()) {
        for (int n = 0; n < kMaxStrings; ++n) {
            std::string key = std::to_string(n);
            if (texts.Has(key.c_str())) texts.Text(key.c_str(), english.strings[n]);
        }
        texts.Finish();
    }
    std::vector<LanguageTexts> languages{english};
    std::vector<std::string> files;
    top.Texts("languages", files);
    for (const std::string& name : files) {
        String8 bytes;
        std::string resolved;
        if (!top.ReadFileAt("languages", name, bytes, &resolved)) return;
        LanguageTexts language;
        if (!ReadLanguage(bytes.View(), resolved, language, error)) {
            problems_.ReportAs(error); // names the language file, its line and key
            return;
        }
        languages.push_back(std::move(language));
    }
    if (languages.size() > size_t(kMaxLanguages)) {
        top.Fail("languages", "at most 200 languages");
        return;
    }
    int count = 0;
    for (const LanguageTexts& l : languages)
        if (!l.strings.empty()) count = std::max(count, l.strings.rbegin()->first + 1);
    LanguageTable& t = d_.languages;
    t = LanguageTable();
    for (const LanguageTexts& l : languages)
        t.names.Append(l.name);
    t.stringCount = count;
    t.strings.resize(size_t(count) * languages.size());
    for (int s = 0; s < count; ++s)
        for (size_t l = 0; l < languages.size(); ++l) {
            auto own = languages[l].strings.find(s);
            const String& text = own != languages[l].strings.end() ? own->second : english.strings[s];
            t.At(s, int(l)) = text;
        }
}

void ProjectReader::ReadOptions(Section s) {
    uint32_t words[3] = {0, 0, 0};
    for (const NamedOption* o = kNamedOptions; o->name; ++o)
        if (o->byDefault) words[int(o->word)] |= o->bit;
    words[0] |= set1_;
    words[1] |= set2_;
    words[2] |= setFlags_;
    if (s.Present()) {
        for (const NamedOption* o = kNamedOptions; o->name; ++o) {
            bool on = false;
            if (!s.Bool(o->name, on)) continue;
            uint32_t& word = words[int(o->word)];
            word = on ? (word | o->bit) : (word & ~o->bit);
        }
        uint32_t raw = 0;
        if (s.Int("option_word1", raw, 0, 0xFFFFFFFFLL)) words[0] |= raw;
        raw = 0;
        if (s.Int("option_word2", raw, 0, 0xFFFFFFFFLL)) words[1] |= raw;
        raw = 0;
        if (s.Int("payload_flags", raw, 0, 0xFFFFFFFFLL)) words[2] |= raw;
        s.Int("chunk_size", project_.chunkSize, 4096, 0x10000000);
        s.Int("xz_preset", project_.xzPreset, 0, 9);
        String engine;
        if (s.Text("engine", engine, SchemaOfNames({"x86", "x64"}))) {
            if (engine == String(u"x86"))
                project_.engine = EngineKind::X86;
            else if (engine == String(u"x64"))
                project_.engine = EngineKind::X64;
            else
                s.Fail("engine", "expected \"x86\" (the 32-bit engine) or \"x64\" (the 64-bit engine)");
        }
        s.Finish();
    }
    // Fields whose presence follows a bit must be written when their values were given.
    words[0] |= set1_;
    words[2] |= setFlags_;
    if (!d_.uninstallerIcon.IsEmpty()) words[0] |= kOpt1RegisterUninstaller;
    d_.optionWord1 = words[0];
    d_.optionWord2 = words[1];
    project_.payloadFlags = words[2];
}

} // namespace

const char* StubFileName(EngineKind engine) {
    return engine == EngineKind::X64 ? "corvantis-setup-x64.exe" : "corvantis-setup.exe";
}

bool LoadProjectText(std::string_view text, const std::string& path, Project& project, std::string& error) {
    project = Project();
    ProjectReader reader(path, project);
    return reader.Read(text, error);
}

KeyRecorder ProjectKeys() {
    KeyRecorder keys;
    Project project;
    ProjectReader reader("", project, &keys);
    std::string ignored;
    reader.Read("", ignored);
    return keys;
}

bool LoadProject(const std::string& path, Project& project, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read the project file";
        return false;
    }
    std::stringstream data;
    data << in.rdbuf();
    return LoadProjectText(data.str(), path, project, error);
}

} // namespace cs
