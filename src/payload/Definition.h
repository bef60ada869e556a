// The installation definition: every field of the record stream, in stream order, and the
// named bits of the option words and payload flags that steer reading.
//
// The stream has no tags; DefinitionFields.h walks it once for the reader, the writer and
// the JSON printer, so the layout below is defined in one place.
#pragma once

#include "core/Array.h"
#include "core/String.h"

#include <cstdint>
#include <vector>

namespace cs {

// Codes of the corrupt-installer error raised while reading the definition.
enum DefinitionCode : int {
    kDefinitionOk = 0,
    kCodeStatusTime = 19,          // minimum status display time of 10000 or more
    kCodeLicenceCount = 24,        // licence count outside 0..20
    kCodeChecksum = 25,            // plain definition does not match its checksum
    kCodeReadmeCount = 26,         // readme count outside 0..20
    kCodeLanguageCount = 30,       // language count outside 1..200
    kCodeStringCount = 31,         // string count outside 1..10000
    kCodeEndMark = 32,             // end mark missing (also: the definition ends early)
    kCodeAssociationCount = 36,    // association count outside 0..1000
    kCodeUninstallValueCount = 37, // extra uninstall value count outside 0..1000
    kCodeDeletionCount = 38,       // more than 1001 deletion list entries
    kCodeBitmapSize = 39,          // bitmap size outside 0..100
    kCodeAutoCloseCount = 41,      // more than 1000 auto-close entries
    kCodeShortcutCount = 48,       // shortcut count outside 0..1000
};

constexpr int kMaxLicences = 20;
constexpr int kMaxReadmes = 20;
constexpr int kMaxLanguages = 200;
constexpr int kMaxStrings = 10000;
constexpr int kMaxListEntries = 1000; // associations, shortcuts, extra values, auto-close
constexpr int kMaxDeletions = 1001;
constexpr int kMaxBitmapSize = 100;
constexpr int kMaxStatusTime = 9999;
constexpr uint32_t kDefinitionEndMark = 0xD3E82B97;
constexpr uint32_t kMaxTextLength = 0x40000000;
constexpr const char kDeletionListEnd[] = "~~THE END~~";
constexpr const char16_t kAutoCloseListEnd[] = u"~~THE~END~~";

// Option word 1.
constexpr uint32_t kOpt1UninstallOldFirst = 0x1;
constexpr uint32_t kOpt1StartMenuUninstaller = 0x2;
constexpr uint32_t kOpt1RegisterUninstaller = 0x4;
constexpr uint32_t kOpt1DialogColors = 0x10;
constexpr uint32_t kOpt1CompressedData = 0x20;
constexpr uint32_t kOpt1KeepInstallLog = 0x40;
constexpr uint32_t kOpt1FolderPage = 0x80;
constexpr uint32_t kOpt1SingleInstance = 0x100;
constexpr uint32_t kOpt1AutomaticUninstall = 0x200;
constexpr uint32_t kOpt1DeleteInstallFolder = 0x400;
constexpr uint32_t kOpt1ReplaceInUse = 0x800;
constexpr uint32_t kOpt1AddToPath = 0x1000;
constexpr uint32_t kOpt1RebootRequired = 0x4000;
constexpr uint32_t kOpt1BackgroundPicture = 0x8000;
constexpr uint32_t kOpt1AddOn = 0x10000;
constexpr uint32_t kOpt1ClearAttributesOnRetry = 0x80000;
constexpr uint32_t kOpt1LogEveryFile = 0x100000;
constexpr uint32_t kOpt1NoCompletionMessage = 0x400000;
constexpr uint32_t kOpt1HidePreInstallBatch = 0x800000;
constexpr uint32_t kOpt1HidePostInstallBatch = 0x1000000;
constexpr uint32_t kOpt1HideExitBatch = 0x2000000;
constexpr uint32_t kOpt1HideUninstallBatch1 = 0x4000000;
constexpr uint32_t kOpt1HideUninstallBatch2 = 0x8000000;
constexpr uint32_t kOpt1NoUpgradeQuestion = 0x10000000;
constexpr uint32_t kOpt1NoBackgroundWindow = 0x20000000;
constexpr uint32_t kOpt1ConfirmFolder = 0x80000000;

// Option word 2.
constexpr uint32_t kOpt2Product64Bit = 0x1;
constexpr uint32_t kOpt2DesktopUninstaller = 0x2;
constexpr uint32_t kOpt2StartMenuPage = 0x4;
constexpr uint32_t kOpt2ErrorsWhenAutomatic = 0x8;
constexpr uint32_t kOpt2CompareVersions = 0x10;
constexpr uint32_t kOpt2NoNetworkFolder = 0x20;
constexpr uint32_t kOpt2UninstallerInDataFolder = 0x40;
constexpr uint32_t kOpt2DerivedFlag = 0x100;
constexpr uint32_t kOpt2AskBeforeRestart = 0x200;
constexpr uint32_t kOpt2NoGreeting = 0x800;
constexpr uint32_t kOpt2AskBeforeUpgrade = 0x1000;
constexpr uint32_t kOpt2RestartAfterUninstall = 0x2000;
constexpr uint32_t kOpt2SaveReadmes = 0x4000;
constexpr uint32_t kOpt2SaveLicences = 0x8000;
constexpr uint32_t kOpt2HideFileNames = 0x20000;
constexpr uint32_t kOpt2LoosenSecurity = 0x40000;
constexpr uint32_t kOpt2ProgressPage = 0x80000;
constexpr uint32_t kOpt2RebootMarker = 0x200000;
constexpr uint32_t kOpt2KeepLogOnUninstall = 0x400000;
constexpr uint32_t kOpt2DesktopFolderByName = 0x4000000;
constexpr uint32_t kOpt2LogShortcut = 0x8000000;
constexpr uint32_t kOpt2HideUpgradeBatch = 0x10000000;
constexpr uint32_t kOpt2HideReinstallBatch = 0x20000000;
constexpr uint32_t kOpt2LoosenSharedFolder = 0x40000000;

// Silent mode rewrites the two option words right after they are read.
constexpr uint32_t kSilentKeep1 = 0x7FFFFF7F, kSilentSet1 = 0x30600000;
constexpr uint32_t kSilentKeep2 = 0xFFF7EDE3, kSilentSet2 = 0x800;

// Payload flags (header); those that decide which definition fields are present.
constexpr uint32_t kFlagNewerSystemsOnly = 0x400; // cleared unless newer than Server 2003
constexpr uint32_t kFlagLaunchDirectly = 0x100000;  // the product starts without the desktop shell
constexpr uint32_t kFlagEditColors = 0x1000000;
constexpr uint32_t kFlagButtonColors = 0x2000000;
constexpr uint32_t kFlagListColors = 0x4000000;
constexpr uint32_t kFlagDocumentColors = 0x8000000;
constexpr uint32_t kFlagWizardColors = 0x10000000;

// A date of the stream: month 0 means no date, an hour below 0 means no time.
struct DateValue {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const DateValue&) const = default;
};

// The installer's build date, packed into one 32-bit value (16-bit year, 8-bit month and day).
struct BuildDate {
    int32_t year = 0, month = 0, day = 0;
    bool operator==(const BuildDate&) const = default;
};

struct Shortcut {
    String target, name, icon, arguments, workingFolder;
    uint8_t desktop = 0, startMenu = 0, startup = 0;
    String customFolder;
    uint8_t showState = 0, keep = 0;
    bool fromDefinition = false; // set on reading: the target gets its variables expanded
    // Set on entries the engine adds itself, never stored.
    bool uninstallerEntry = false; // made for the uninstaller
    bool always = false;           // made even where shortcuts are restricted (a removable drive)
};

struct FileAssociation {
    int32_t mode = 0;
    String extension; // stored without its leading "."
    String8 fileType;
    String description;
    String8 verbs, verbLabel;
    String command;
    String language; // empty: every language
    String icon;
};

// A value written into the product's uninstall key: kind 1 text, 2 expandable text, 4 number.
struct UninstallValue {
    String name;
    uint8_t kind = 1;
    String value;
};

// A file the installation or the uninstaller deletes under a condition.
struct FileDeletion {
    String8 pattern;
    uint8_t condition = 0;
    String8 value;
    uint8_t flags = 0;
};

// A program whose windows are closed before files are installed or removed.
struct AutoCloseEntry {
    String windowClass, windowTitle, displayName;
    uint8_t mode = 0;     // 0 WM_CLOSE, 1 WM_QUIT, 2 ask the user, 3 terminate
    uint8_t passMask = 0; // 0x1 during installation, 0x2 kept for the uninstaller
};

// Page styles pick the dialog template of a page: 0 "...2", 1 plain, 2 "...3", 3 "...4".
struct PageRecord {
    uint64_t extraDiskSpace = 0;
    int32_t integrityMode = 0; // 0 none, 1 engine checksum, 2 and 3 digital signature
    int32_t reserved1 = 0, reserved2 = 0;
    int32_t greetingStyle = 0, languageStyle = 0, licenceStyle = 0, readmeStyle = 0;
    int32_t folderStyle = 0, startMenuStyle = 0, progressStyle = 0, summaryStyle = 0;
    bool operator==(const PageRecord&) const = default;
};

// The seven batches, in stream order.
enum BatchIndex {
    kBatchPreInstall,
    kBatchPostInstall,
    kBatchInstallExit,
    kBatchUninstall1,
    kBatchUninstall2,
    kBatchUpgrade,
    kBatchReinstall,
    kBatchCount
};

// The fourteen addresses and commands of field 64, in stream order.
enum LinkIndex {
    kLinkLaunchOnExit,
    kLinkDocument1,
    kLinkDocument2,
    kLinkInstallUrl,
    kLinkPrepareUrl,
    kLinkNewInstallUrl,
    kLinkUpgradeUrl,
    kLinkDowngradeUrl,
    kLinkReinstallUrl,
    kLinkNotifyUrl,
    kLinkLinkClickUrl,
    kLinkCancelUrl,
    kLinkFailureUrl,
    kLinkFeedbackUrl,
    kLinkCount
};

// String-major language table: entry (s, l) is string number s in language l.
struct LanguageTable {
    Array<String> names;
    int32_t stringCount = 0;
    std::vector<String> strings; // stringCount x names.Count() entries
    int defaultLanguage = 0;     // the last language named "English", else 0

    int LanguageCount() const { return names.Count(); }
    // Empty when the number or the language is out of range.
    const String& Get(int number, int language) const;
    String& At(int number, int language) { return strings[size_t(number) * names.Count() + language]; }
};

struct Definition {
    uint32_t optionWord1 = 0, optionWord2 = 0;         // 1
    uint8_t automaticMode = 0;                         // 2: 1 on, 2 off unless silent
    String taskbarText;                                // 3
    String displayTitle;                               // 4
    double titleSize = 1.0;                            // 5
    int32_t progressPlacement = 27;                    // 6
    uint16_t minStatusTime = 0;                        // 7, milliseconds
    uint8_t shortcutMode = 0;                          // 8: 1 all users
    DateValue uninstallerDate;                         // 9
    String publisher;                                  // 10
    String productName;                                // 11
    String productTitle;                               // 12
    uint8_t bitness = 0;                               // 13: 0 any, 1 64-bit, 2 32-bit only
    uint8_t sharedFolderBase = 0;                      // 14
    String sharedPath;                                 // 15
    String sharedSubfolder;                            // 16
    String startMenuFolder;                            // 17
    String productVersion;                             // 18
    String defaultFolder;                              // 19
    String productRegistry;                            // 20
    String8 registryEntries;                           // 21, lines of registry entries
    String8 registryMergeFile;                         // 22, the file's bytes as they are
    String appPath;                                    // 23
    int32_t bitmapSize = 0;                            // 24
    int32_t stretchMode = 0;                           // 25
    int32_t uninstallFonts = 0;                        // 26
    int32_t uninstallShared = 0;                       // 27
    String productUrl;                                 // 28
    Array<String8> licences;                           // 29, 30
    Array<String8> readmes;                            // 31, 32
    String uninstallSubdir;                            // 33
    String uninstallerFileName;                        // 34
    String uninstallKeyName;                           // 35
    String locationReference;                          // 36
    String dialogFont;                                 // 37
    int32_t dialogZoom = 100;                          // 38
    String wizardCaption;                              // 39
    uint32_t bannerFG = 0;                             // 40
    uint8_t pictureBorder = 3;                         // 41
    uint32_t titleColor = 0xFFFEF7;                    // 42
    uint8_t titleShadow = 1;                           // 43
    uint8_t titlePosition = 0;                         // 44
    String titleFont;                                  // 45
    uint32_t topColor = 0, bottomColor = 0;            // 46, 47
    String8 backgroundPicture;                         // 48, 48a
    int32_t bitmapTpi = -1;                            // 48b
    uint8_t copyrightPos = 0;                          // 49
    uint32_t copyrightColor = 0xFEFCEC;                // 49a
    double copyrightSize = 1.0;                        // 49b
    String copyrightText, copyrightFont;               // 49c, 49d
    uint32_t dialogBG = 0xEBE9E5, dialogFG = 0x25211B; // 50
    uint32_t spnmBG = 0xFFFFFF, spnmFG = 0x000000;     // 51
    uint32_t buttonBG = 0xE3DFD9, buttonFG = 0x221F1A, buttonBorder = 0x221F1A; // 52
    uint32_t editColors[2] = {0x80000005, 0x80000008};                          // 53: background, text
    uint32_t listColors[4] = {0x80000005, 0x80000008, 0x8000000D, 0x8000000E};  // 54
    uint32_t documentColors[2] = {0xFFFFFF, 0x000000};                          // 55: background, text
    String masterKeyName, masterDisplayName, masterMinVersion;                  // 56
    String startSound;                                                          // 57
    String desktopFolder;                                                       // 58
    String8 desktopFolderIcon;                                                  // 59
    String batches[kBatchCount];                                                // 60
    String8 reserved;                                                           // 61, 20 bytes
    int32_t excludedSystems = 0;                                                // 62
    uint8_t externalData = 0;                                                   // 63
    String links[kLinkCount];                                                   // 64
    String8 upgradeWithoutAskingFrom;                                           // 65
    String noDowngradeBelow;                                                    // 66
    BuildDate buildDate;                                                        // 67
    int32_t buildValue = 0;                                                     // 67, second value
    String password;                                                            // 68
    String reinstallInPlaceFrom;                                                // 69
    String registryKeyList;                                                     // 69, ";"-separated
    String addToPathSubfolder;                                                  // 69
    PageRecord pages;                                                           // 70
    String8 uninstallerIcon;                                                    // 71
    Array<FileDeletion> deletions;                                              // 72
    Array<FileAssociation> associations;                                        // 73, 74
    Array<Shortcut> shortcuts;                                                  // 75, 76
    String rootShortcutCommand, rootShortcutName;                               // 77
    String pinTarget, pinName;                                                  // 78
    Array<UninstallValue> uninstallValues;                                      // 79, 80
    String supportOffer;                                                        // 81
    String8 productIcon;                                                        // 82
    Array<AutoCloseEntry> autoClose;                                            // 83
    LanguageTable languages;                                                    // 84 to 87
    // 89, stored just before the end mark (88): the firewall exception lines, UTF-8, each
    // "port or program;rule name;protocols;options" (docs/firewall.md).
    String8 firewallExceptions;
};

} // namespace cs
