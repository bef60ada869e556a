// The definition stream, field by field, in stream order. One walk serves every use: the
// engine's reader, the builder's writer and the JSON printer of "inspect" each pass their
// own Io, so the order, the types, the conditions and the limits exist only here.
//
// An Io offers one call per field type (taking the field's name, for printing), Count()
// for list counts with their limits, Check() for other limits, Step() for the defaults and
// derived values that the reader applies right after a field, and the list brackets. A
// call returning a non-zero code ends the walk with that code.
#pragma once

#include "payload/Definition.h"

namespace cs {

// Points in the stream where the reader completes what it has just read.
enum class DefinitionStep {
    OptionWords,     // silent mode rewrites them; payload flag 0x400 checked
    AutomaticMode,   // the automatic-mode byte against the command line
    PlacementRead,   // background window, then the definition checksum test
    ProductName,     // the command-line override wins
    ProductTitle,    // empty: the product name
    Bitness,         // 1: file-system redirection off
    SharedPath,      // empty: publisher when not blank, else the product name
    StartMenuFolder, // empty: the product name
    ProductVersion,  // 8-bit copy
    DefaultFolder,   // "<os>", variables, Program Files
    UninstallKeyName,
    BackgroundColors, // MonoColor
    MasterProduct,    // blank names take the product name
    DesktopFolder,    // default name and full path
    Batches,          // 8-bit copies with the command-line additions
    Associations,     // leading "." dropped from extensions
    Shortcuts,        // marked as coming from the definition
    TaskbarPin,       // empty name: the product name
    LanguageTable,    // default language, line ends
    End,              // wizard caption expanded
};

namespace detail {

template <class Io, class T, class F>
int CountedList(Io& io, const char* name, Array<T>& list, int max, int code, F&& fields) {
    int32_t count = list.Count();
    if (int c = io.Count(name, count, 0, max, code)) return c;
    if constexpr (Io::kReading) list.SetCount(count);
    io.BeginList(name);
    for (T& item : list)
        fields(item);
    io.EndList();
    return 0;
}

template <class Io> void ShortcutFields(Io& io, Shortcut& s) {
    io.BeginItem();
    io.Text("target", s.target);
    io.Text("name", s.name);
    io.Text("icon", s.icon);
    io.Text("arguments", s.arguments);
    io.Text("working_folder", s.workingFolder);
    io.U8("desktop", s.desktop);
    io.U8("start_menu", s.startMenu);
    io.U8("startup", s.startup);
    io.Text("custom_folder", s.customFolder);
    io.U8("show", s.showState);
    io.U8("keep", s.keep);
    io.EndItem();
}

template <class Io> void AssociationFields(Io& io, FileAssociation& a) {
    io.BeginItem();
    io.I32("mode", a.mode);
    io.Text("extension", a.extension);
    io.ZText8("file_type", a.fileType);
    io.Text("description", a.description);
    io.ZText8("verbs", a.verbs);
    io.ZText8("verb_label", a.verbLabel);
    io.Text("command", a.command);
    io.ZText16("language", a.language);
    io.Text("icon", a.icon);
    io.EndItem();
}

template <class Io> void DeletionFieldsAfterPattern(Io& io, FileDeletion& e) {
    io.U8("condition", e.condition);
    io.ZText8("value", e.value);
    io.U8("flags", e.flags);
}

template <class Io> void AutoCloseFieldsAfterClass(Io& io, AutoCloseEntry& e) {
    io.Text2("window_title", e.windowTitle);
    io.Text2("display_name", e.displayName);
    io.U8("mode", e.mode);
    io.U8("pass_mask", e.passMask);
}

// Field 72: entries until the 8-bit end mark; at most 1001 entries.
template <class Io> int DeletionList(Io& io, Array<FileDeletion>& list) {
    if constexpr (Io::kReading) {
        for (;;) {
            String8 pattern;
            io.ZText8(nullptr, pattern);
            if (io.AtEnd() || pattern == kDeletionListEnd) return 0;
            if (list.Count() == kMaxDeletions) return io.Fail(kCodeDeletionCount);
            FileDeletion& e = list.Append();
            e.pattern = std::move(pattern);
            DeletionFieldsAfterPattern(io, e);
        }
    } else {
        if (int c = io.Check(list.Count() <= kMaxDeletions, kCodeDeletionCount)) return c;
        io.BeginList("deletions");
        for (FileDeletion& e : list) {
            if (int c = io.Check(!(e.pattern == kDeletionListEnd), kCodeDeletionCount)) return c;
            io.BeginItem();
            io.ZText8("pattern", e.pattern);
            DeletionFieldsAfterPattern(io, e);
            io.EndItem();
        }
        io.EndList();
        String8 end(kDeletionListEnd);
        io.ZText8(nullptr, end);
        return 0;
    }
}

// Field 83: entries until a window class equal to the 16-bit end mark; at most 1000.
template <class Io> int AutoCloseList(Io& io, Array<AutoCloseEntry>& list) {
    if constexpr (Io::kReading) {
        for (;;) {
            String windowClass;
            io.Text2(nullptr, windowClass);
            if (io.AtEnd() || windowClass == kAutoCloseListEnd) return 0;
            if (list.Count() == kMaxListEntries) return io.Fail(kCodeAutoCloseCount);
            AutoCloseEntry& e = list.Append();
            e.windowClass = std::move(windowClass);
            AutoCloseFieldsAfterClass(io, e);
        }
    } else {
        if (int c = io.Check(list.Count() <= kMaxListEntries, kCodeAutoCloseCount)) return c;
        io.BeginList("auto_close");
        for (AutoCloseEntry& e : list) {
            if (int c = io.Check(!(e.windowClass == kAutoCloseListEnd), kCodeAutoCloseCount)) return c;
            io.BeginItem();
            io.Text2("window_class", e.windowClass);
            AutoCloseFieldsAfterClass(io, e);
            io.EndItem();
        }
        io.EndList();
        String end(kAutoCloseListEnd);
        io.Text2(nullptr, end);
        return 0;
    }
}

// Fields 84 to 87.
template <class Io> int LanguageFields(Io& io, LanguageTable& t) {
    uint8_t languageCount = static_cast<uint8_t>(t.names.Count());
    if constexpr (!Io::kReading)
        if (int c = io.Check(t.names.Count() >= 1 && t.names.Count() <= kMaxLanguages, kCodeLanguageCount))
            return c;
    io.U8(nullptr, languageCount);
    if (int c = io.Check(languageCount >= 1 && languageCount <= kMaxLanguages, kCodeLanguageCount)) return c;
    int32_t stringCount = t.stringCount;
    if (int c = io.Count(nullptr, stringCount, 1, kMaxStrings, kCodeStringCount)) return c;
    if constexpr (Io::kReading) {
        t.names.SetCount(languageCount);
        t.stringCount = stringCount;
    }
    io.BeginList("languages");
    for (String& name : t.names)
        io.ZText16(nullptr, name);
    io.EndList();
    io.BeginList("strings");
    for (int s = 0; s < stringCount; ++s) {
        if constexpr (Io::kReading) {
            if (io.AtEnd()) break; // a short definition: the end mark test reports it
            for (int l = 0; l < languageCount; ++l)
                io.ZText16(nullptr, t.strings.emplace_back());
        } else {
            io.BeginList(nullptr);
            for (int l = 0; l < languageCount; ++l)
                io.ZText16(nullptr, t.At(s, l));
            io.EndList();
        }
    }
    io.EndList();
    return 0;
}

} // namespace detail

template <class Io> int DefinitionFields(Io& io, Definition& d) {
    using namespace detail;
    io.OptionWords(d.optionWord1, d.optionWord2); // 1
    if (int c = io.Step(DefinitionStep::OptionWords)) return c;
    io.U8("automatic_mode", d.automaticMode); // 2
    if (int c = io.Step(DefinitionStep::AutomaticMode)) return c;
    io.Text("taskbar_text", d.taskbarText);            // 3
    io.Text("display_title", d.displayTitle);          // 4
    io.F64("title_size", d.titleSize);                 // 5
    io.I32("progress_placement", d.progressPlacement); // 6
    if (int c = io.Step(DefinitionStep::PlacementRead)) return c;
    io.U16("min_status_time", d.minStatusTime); // 7
    if (int c = io.Check(d.minStatusTime <= kMaxStatusTime, kCodeStatusTime)) return c;
    io.U8("shortcut_mode", d.shortcutMode);         // 8
    io.Date("uninstaller_date", d.uninstallerDate); // 9
    io.Text("publisher", d.publisher);              // 10
    io.Text("product_name", d.productName);         // 11
    if (int c = io.Step(DefinitionStep::ProductName)) return c;
    io.Text("product_title", d.productTitle); // 12
    if (int c = io.Step(DefinitionStep::ProductTitle)) return c;
    io.U8("bitness", d.bitness); // 13
    if (int c = io.Step(DefinitionStep::Bitness)) return c;
    io.U8("shared_folder_base", d.sharedFolderBase); // 14
    io.Text("shared_path", d.sharedPath);            // 15
    if (int c = io.Step(DefinitionStep::SharedPath)) return c;
    io.Text("shared_subfolder", d.sharedSubfolder);  // 16
    io.Text("start_menu_folder", d.startMenuFolder); // 17
    if (int c = io.Step(DefinitionStep::StartMenuFolder)) return c;
    io.Text("product_version", d.productVersion); // 18
    if (int c = io.Step(DefinitionStep::ProductVersion)) return c;
    io.Text("default_folder", d.defaultFolder); // 19
    if (int c = io.Step(DefinitionStep::DefaultFolder)) return c;
    io.Text("product_registry", d.productRegistry);           // 20
    io.TextBlob4("registry_entries", d.registryEntries);      // 21
    io.TextBytes("registry_merge_file", d.registryMergeFile); // 22
    io.Text("app_path", d.appPath);                           // 23
    io.I32("bitmap_size", d.bitmapSize);                      // 24
    if (int c = io.Check(d.bitmapSize >= 0 && d.bitmapSize <= kMaxBitmapSize, kCodeBitmapSize)) return c;
    io.I32("stretch_mode", d.stretchMode);                                               // 25
    io.I32("uninstall_fonts", d.uninstallFonts);                                         // 26
    io.I32("uninstall_shared", d.uninstallShared);                                       // 27
    io.Text2("product_url", d.productUrl);                                               // 28
    if (int c = CountedList(io, "licences", d.licences, kMaxLicences, kCodeLicenceCount, // 29, 30
                            [&](String8& text) { io.Blob4(nullptr, text); }))
        return c;
    if (int c = CountedList(io, "readmes", d.readmes, kMaxReadmes, kCodeReadmeCount, // 31, 32
                            [&](String8& text) { io.Blob4(nullptr, text); }))
        return c;
    io.Text("uninstall_subdir", d.uninstallSubdir);           // 33
    io.Text1("uninstaller_file_name", d.uninstallerFileName); // 34
    io.Text("uninstall_key_name", d.uninstallKeyName);        // 35
    if (int c = io.Step(DefinitionStep::UninstallKeyName)) return c;
    io.Text2("location_reference", d.locationReference); // 36
    io.Text2("dialog_font", d.dialogFont);               // 37
    io.I32("dialog_zoom", d.dialogZoom);                 // 38
    io.Text("wizard_caption", d.wizardCaption);          // 39
    io.Color("banner_fg", d.bannerFG);                   // 40
    io.U8("picture_border", d.pictureBorder);            // 41
    io.Color("title_color", d.titleColor);               // 42
    io.U8("title_shadow", d.titleShadow);                // 43
    io.U8("title_position", d.titlePosition);            // 44
    io.Text2("title_font", d.titleFont);                 // 45
    io.Color("top_color", d.topColor);                   // 46
    io.Color("bottom_color", d.bottomColor);             // 47
    if (int c = io.Step(DefinitionStep::BackgroundColors)) return c;
    int32_t pictureSize = static_cast<int32_t>(d.backgroundPicture.ByteLength()); // 48
    io.I32(nullptr, pictureSize);
    if (pictureSize >= 1) {
        io.Bytes("background_picture", d.backgroundPicture, static_cast<size_t>(pictureSize)); // 48a
        io.I32("bitmap_tpi", d.bitmapTpi);                                                     // 48b
    }
    io.U8("copyright_pos", d.copyrightPos); // 49
    if (d.copyrightPos != 0) {
        io.Color("copyright_color", d.copyrightColor); // 49a
        io.F64("copyright_size", d.copyrightSize);     // 49b
        io.Text("copyright_text", d.copyrightText);    // 49c
        io.Text("copyright_font", d.copyrightFont);    // 49d
    }
    if (d.optionWord1 & kOpt1DialogColors) { // 50
        io.Color("dialog_bg", d.dialogBG);
        io.Color("dialog_fg", d.dialogFG);
    }
    uint32_t flags = io.PayloadFlags();
    if (flags & kFlagWizardColors) { // 51
        io.Color("spnm_bg", d.spnmBG);
        io.Color("spnm_fg", d.spnmFG);
    }
    if (flags & kFlagButtonColors) { // 52
        io.Color("button_bg", d.buttonBG);
        io.Color("button_fg", d.buttonFG);
        io.Color("button_border", d.buttonBorder);
    }
    if (flags & kFlagEditColors) { // 53
        io.Color("edit_bg", d.editColors[0]);
        io.Color("edit_fg", d.editColors[1]);
    }
    if (flags & kFlagListColors) { // 54
        io.Color("list_bg", d.listColors[0]);
        io.Color("list_fg", d.listColors[1]);
        io.Color("list_selected_bg", d.listColors[2]);
        io.Color("list_selected_fg", d.listColors[3]);
    }
    if (flags & kFlagDocumentColors) { // 55
        io.Color("document_bg", d.documentColors[0]);
        io.Color("document_fg", d.documentColors[1]);
    }
    if (d.optionWord1 & kOpt1AddOn) { // 56
        io.Text("master_key_name", d.masterKeyName);
        io.Text("master_display_name", d.masterDisplayName);
        io.Text("master_min_version", d.masterMinVersion);
        if (int c = io.Step(DefinitionStep::MasterProduct)) return c;
    }
    io.Text("start_sound", d.startSound);       // 57
    io.Text("desktop_folder", d.desktopFolder); // 58
    if (int c = io.Step(DefinitionStep::DesktopFolder)) return c;
    io.Blob4("desktop_folder_icon", d.desktopFolderIcon); // 59
    static const char* const kBatchNames[kBatchCount] = {
        "pre_install_batch", "post_install_batch", "install_exit_batch", "uninstall_batch1",
        "uninstall_batch2",  "upgrade_batch",      "reinstall_batch"};
    for (int i = 0; i < kBatchCount; ++i)
        io.Text(kBatchNames[i], d.batches[i]); // 60
    if (int c = io.Step(DefinitionStep::Batches)) return c;
    io.Bytes(nullptr, d.reserved, 20);             // 61
    io.I32("excluded_systems", d.excludedSystems); // 62
    io.U8("external_data", d.externalData);        // 63
    static const char* const kLinkNames[kLinkCount] = {
        "launch_on_exit",  "document1",   "document2",     "install_url",   "prepare_url",
        "new_install_url", "upgrade_url", "downgrade_url", "reinstall_url", "notify_url",
        "link_click_url",  "cancel_url",  "failure_url",   "feedback_url"};
    for (int i = 0; i < kLinkCount; ++i)
        io.Text(kLinkNames[i], d.links[i]);                               // 64
    io.ZText8("upgrade_without_asking_from", d.upgradeWithoutAskingFrom); // 65
    io.Text1("no_downgrade_below", d.noDowngradeBelow);                   // 66
    io.BuildDateValue("build_date", d.buildDate);                         // 67
    io.I32("build_value", d.buildValue);
    io.Text("password", d.password);                            // 68
    io.Text("reinstall_in_place_from", d.reinstallInPlaceFrom); // 69
    io.Text("registry_key_list", d.registryKeyList);
    io.Text("add_to_path_subfolder", d.addToPathSubfolder);
    PageRecord& p = d.pages; // 70
    io.U64("extra_disk_space", p.extraDiskSpace);
    io.I32("integrity_mode", p.integrityMode);
    io.I32(nullptr, p.reserved1);
    io.I32(nullptr, p.reserved2);
    io.I32("greeting_style", p.greetingStyle);
    io.I32("language_style", p.languageStyle);
    io.I32("licence_style", p.licenceStyle);
    io.I32("readme_style", p.readmeStyle);
    io.I32("folder_style", p.folderStyle);
    io.I32("start_menu_style", p.startMenuStyle);
    io.I32("progress_style", p.progressStyle);
    io.I32("summary_style", p.summaryStyle);
    if (d.optionWord1 & kOpt1RegisterUninstaller) io.Blob4("uninstaller_icon", d.uninstallerIcon); // 71
    if (int c = DeletionList(io, d.deletions)) return c;                                           // 72
    if (int c = CountedList(io, "associations", d.associations, kMaxListEntries,                   // 73, 74
                            kCodeAssociationCount, [&](FileAssociation& a) { AssociationFields(io, a); }))
        return c;
    if (int c = io.Step(DefinitionStep::Associations)) return c;
    if (int c = CountedList(io, "shortcuts", d.shortcuts, kMaxListEntries, kCodeShortcutCount, // 75, 76
                            [&](Shortcut& s) { ShortcutFields(io, s); }))
        return c;
    if (int c = io.Step(DefinitionStep::Shortcuts)) return c;
    io.Text("root_shortcut_command", d.rootShortcutCommand); // 77
    io.Text("root_shortcut_name", d.rootShortcutName);
    io.ZText16("pin_target", d.pinTarget); // 78
    io.ZText16("pin_name", d.pinName);
    if (int c = io.Step(DefinitionStep::TaskbarPin)) return c;
    if (int c = CountedList(io, "uninstall_values", d.uninstallValues, kMaxListEntries, // 79, 80
                            kCodeUninstallValueCount, [&](UninstallValue& v) {
                                io.BeginItem();
                                io.Text1("name", v.name);
                                io.U8("kind", v.kind);
                                io.Text("value", v.value);
                                io.EndItem();
                            }))
        return c;
    io.Text2("support_offer", d.supportOffer);             // 81
    io.Blob4("product_icon", d.productIcon);               // 82
    if (int c = AutoCloseList(io, d.autoClose)) return c;  // 83
    if (int c = LanguageFields(io, d.languages)) return c; // 84 to 87
    if (int c = io.Step(DefinitionStep::LanguageTable)) return c;
    // 89: a field of our own, after every numbered one and before the end mark, so the fields
    // before it keep their places. It is optional: a definition that ends with the end mark
    // right after the language table (any other writer's, or one older than the field) has no
    // firewall lines. The end mark read as a length would be negative, so no blob starts with it.
    if (!io.EndMarkNext()) io.TextBlob4("firewall_exceptions", d.firewallExceptions);
    uint32_t endMark = kDefinitionEndMark; // 88
    io.U32(nullptr, endMark);
    if (int c = io.Check(endMark == kDefinitionEndMark, kCodeEndMark)) return c;
    return io.Step(DefinitionStep::End);
}

} // namespace cs
