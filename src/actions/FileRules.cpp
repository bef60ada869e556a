#include "actions/FileRules.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "payload/FileNames.h"

#include <algorithm>
#include <cstdlib>

namespace cs {

// ---- Kinds -------------------------------------------------------------------------------

bool IsFileKind(int32_t kind) {
    return kind >= kAppFile && kind <= kControlPanelApplet && kind != 2 && kind != 3;
}

KindRules RulesOfKind(int32_t kind) {
    switch (kind) {
    case kSharedFile: return {BaseFolder::Shared, ExistingTest::Date, false};
    case kFontFile: return {BaseFolder::Fonts, ExistingTest::Date, false};
    case kSystemFile:
    case kComServerFile:
    case kTypeLibraryFile: return {BaseFolder::System, ExistingTest::VersionThenDate, false};
    case kVersionedFile: return {BaseFolder::Install, ExistingTest::VersionThenDate, true};
    default: return {BaseFolder::Install, ExistingTest::None, true};
    }
}

bool IsRecordable(int32_t kind, bool removableDrive) {
    return RulesOfKind(kind).recordable || (kind == kSharedFile && removableDrive);
}

// ---- Dates -------------------------------------------------------------------------------

int CompareFileDates(const DateValue& a, const DateValue& b) {
    if (HasDate(a) != HasDate(b)) return HasDate(a) ? -1 : 1;
    if (HasDate(a)) {
        if (a.year != b.year) return a.year < b.year ? -1 : 1;
        if (a.month != b.month) return a.month < b.month ? -1 : 1;
        if (a.day != b.day) return a.day < b.day ? -1 : 1;
    }
    bool timeA = a.hour >= 0, timeB = b.hour >= 0;
    if (timeA != timeB) return timeA ? -1 : 1;
    if (!timeA) return 0;
    int seconds = ((a.hour - b.hour) * 60 + a.minute - b.minute) * 60 + a.second - b.second;
    return std::abs(seconds) < 2 ? 0 : seconds;
}

String FormatFileDate(const DateValue& d) {
    return Format(u"%d/%02d/%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
}

// ---- Versions ----------------------------------------------------------------------------

namespace {

struct ParsedVersion {
    Array<uint64_t> numbers;
    unsigned char suffix = 0;
};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

ParsedVersion ParseVersion(std::string_view text) {
    ParsedVersion v;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            uint64_t n = 0;
            for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
                n = n < (UINT64_MAX - 9) / 10 ? n * 10 + static_cast<uint64_t>(text[i] - '0') : UINT64_MAX;
            v.numbers.Append(n);
            continue;
        }
        if (IsAsciiLetter(c))
            v.suffix = static_cast<unsigned char>(c);
        else if (c == '.' && v.numbers.Count() == 0)
            v.numbers.Append(0);
        ++i;
    }
    return v;
}

} // namespace

int CompareFileVersions(std::string_view a, std::string_view b) {
    ParsedVersion va = ParseVersion(a), vb = ParseVersion(b);
    int common = std::min(va.numbers.Count(), vb.numbers.Count());
    for (int i = 0; i < common; ++i)
        if (va.numbers[i] != vb.numbers[i]) return va.numbers[i] < vb.numbers[i] ? -1 : 1;
    if (va.numbers.Count() != vb.numbers.Count()) return va.numbers.Count() < vb.numbers.Count() ? -1 : 1;
    return static_cast<int>(va.suffix) - static_cast<int>(vb.suffix);
}

// ---- Destination -------------------------------------------------------------------------

namespace {

bool HasBackslash(const String& text) {
    return text.View().find(u'\\') != std::u16string_view::npos;
}

String BaseFolderOf(int32_t kind, const DestinationFolders& folders) {
    switch (RulesOfKind(kind).base) {
    case BaseFolder::Shared: return folders.sharedDir;
    case BaseFolder::Fonts: return folders.fontsFolder;
    case BaseFolder::System: return folders.systemFolder;
    case BaseFolder::Install: break;
    }
    return folders.installDir;
}

// A variable at the start names the base folder and may take any full path the system gives;
// what follows stays a relative name after its own expansion, so that neither "..\" in the
// definition nor a value expanded into the rest climbs out of the base.
String ExpandWithinBase(const String& destination, const std::function<void(String&)>& expand,
                        const char*& problem) {
    DestinationParts parts;
    if (!SplitDestination(destination.View(), parts, problem)) return {};
    String base(parts.baseText), rest(parts.rest);
    if (expand && parts.base == DestinationParts::Base::Variable) expand(base);
    if (expand) expand(rest);
    // A value that is no full path (a product name, a version) is joined onto the kind's
    // folder below, so it must be a sound name too.
    if (parts.base == DestinationParts::Base::Variable && !IsFullPath(base))
        problem = RelativeNameProblem(base.View());
    if (!problem) problem = RelativeNameProblem(rest.View(), true);
    if (problem) return {};
    return base.IsEmpty() ? rest : base + u"\\" + rest;
}

} // namespace

Destination ResolveDestination(const FileRecord& entry, const DestinationFolders& folders,
                               const std::function<void(String&)>& expand) {
    String name = entry.name;
    String destination = entry.destination;
    if (!destination.IsEmpty() && !HasBackslash(destination)) {
        name = destination; // a new name in the kind's folder
        destination = String();
    }
    bool sharedOnRemovable = entry.kind == kSharedFile && folders.removableDrive && !folders.sharedOverride.IsEmpty();
    if (sharedOnRemovable && HasBackslash(destination)) {
        bool pointsElsewhere = IsAbsolutePath(destination) || destination.View().find(u'%') != std::u16string_view::npos;
        destination = pointsElsewhere ? String() : JoinPath(folders.sharedOverride, destination);
    }
    Destination out;
    out.name = name;
    if (!destination.IsEmpty()) {
        destination = ExpandWithinBase(destination, expand, out.problem);
        if (out.problem) return out;
        if (!IsAbsolutePath(destination))
            destination = JoinPath(entry.kind == kSharedFile ? folders.sharedDir : folders.installDir, destination);
        if (destination.Last() == u'\\') destination += FileNameOf(name);
        out.path = destination;
        out.createFolder = true;
    } else if (entry.flags & kFileIntoUninstallFolder) {
        out.path = JoinPath(folders.uninstallDataFolder, name);
    } else {
        out.path = JoinPath(BaseFolderOf(entry.kind, folders), name);
        out.createFolder = RulesOfKind(entry.kind).base == BaseFolder::Install;
    }
    return out;
}

namespace {

String WithoutTrailingBackslashes(String path) {
    while (path.Length() && path.Last() == u'\\')
        path.Truncate(path.Length() - 1);
    return path;
}

} // namespace

String FolderToCreate(const String& destination, const String& installDir) {
    String folder = FolderOf(destination);
    if (CompareNoCase(WithoutTrailingBackslashes(folder), WithoutTrailingBackslashes(installDir)) == 0) return {};
    return folder;
}

// ---- Replacing an existing file ----------------------------------------------------------

namespace {

FileVerdict Skip(const String& destination, const char16_t* why, bool record) {
    return {false, record, destination + why};
}

String VersionText(const String8& version) {
    return FromCodePage(version.View(), kCodePage1252);
}

} // namespace

FileVerdict DecideOverwrite(int mode, const String& destination, const ExistingFile& existing,
                            const DateValue& entryDate) {
    switch (mode) {
    case 1:
    case 5: return {false, false, {}};
    case 2:
        if (!existing.exists)
            return Skip(destination, u" was not installed because it does not already exist.\r\n", false);
        break;
    case 3:
        if (existing.exists) return Skip(destination, u" was not installed because it already exists.\r\n", true);
        break;
    case 4:
        if (existing.exists && existing.timeKnown && HasDate(existing.time) && HasDate(entryDate) &&
            CompareFileDates(existing.time, entryDate) > 0)
            return Skip(destination, u" was not installed because the existing file is newer.\r\n", true);
        break;
    default: break;
    }
    return {};
}

namespace {

FileVerdict TestDate(const FileRecord& entry, const String& destination, const ExistingFile& existing,
                     bool removableDrive) {
    bool outOfDate = !HasDate(entry.date) || !existing.timeKnown || CompareFileDates(existing.time, entry.date) < 0;
    if (outOfDate) return {true, false, destination + u" is out of date and will be replaced.\r\n"};
    bool record = entry.kind == kSharedFile && removableDrive;
    return Skip(destination, u" is up to date.\r\n", record);
}

FileVerdict TestVersionThenDate(const FileRecord& entry, const String& destination, const ExistingFile& existing) {
    bool record = entry.kind == kVersionedFile;
    String8 version = ToCodePage(entry.title, kCodePage1252);
    String reason;
    if (!version.IsEmpty() && !existing.version.IsEmpty()) {
        String mine = VersionText(version), theirs = VersionText(existing.version);
        if (CompareFileVersions(version.View(), existing.version.View()) <= 0)
            return {false, record,
                    destination + Format(u" was not installed because its version (%s) is not newer than %s\r\n",
                                         mine, theirs)};
        reason = Format(u"its version (%s) is newer than %s", mine, theirs);
    }
    if (existing.timeKnown) {
        String mine = FormatFileDate(entry.date), theirs = FormatFileDate(existing.time);
        if (CompareFileDates(entry.date, existing.time) <= 0)
            return {false, record,
                    destination + Format(u" was not installed because its date (%s) is not newer than %s.\r\n",
                                         mine, theirs)};
        if (!reason.IsEmpty()) reason += u" and ";
        reason += Format(u"its date (%s) is newer than %s", mine, theirs);
    }
    if (reason.IsEmpty()) return {true, false, destination + u" is out of date and will be replaced.\r\n"};
    return {true, false, destination + u" needs replacement because " + reason + u"\r\n"};
}

} // namespace

FileVerdict TestExistingFile(const FileRecord& entry, const String& destination, const ExistingFile& existing,
                             bool removableDrive) {
    if (!existing.exists) return {};
    switch (RulesOfKind(entry.kind).test) {
    case ExistingTest::Date: return TestDate(entry, destination, existing, removableDrive);
    case ExistingTest::VersionThenDate: return TestVersionThenDate(entry, destination, existing);
    case ExistingTest::None: break;
    }
    return {};
}

// ---- Lists of the run --------------------------------------------------------------------

int SharedFileMarker(int32_t kind, uint32_t flags, bool removableDrive) {
    bool keep = (flags & kFileKeep) != 0;
    switch (kind) {
    case kSharedFile:
        if (removableDrive) return -1;
        return keep ? ' ' : 0;
    case kSystemFile: return ' ';
    case kComServerFile: return keep ? ' ' : '^';
    case kTypeLibraryFile: return keep ? ' ' : 0xA9;
    default: return -1;
    }
}

bool HidesFileName(const String& name, bool hideOption) {
    return hideOption || name.View() == u"b/0@+";
}

String AppletName(const FileRecord& entry, const String& destination) {
    if (!entry.title.IsEmpty()) return entry.title;
    String name = FileNameOf(destination);
    size_t dot = name.View().find_last_of(u'.');
    if (dot != std::u16string_view::npos) name.Truncate(dot);
    return name;
}

// ---- After the loop ----------------------------------------------------------------------

namespace {

String8 Quoted(const String8& entry) {
    return String8("\"") + entry + "\"";
}

bool ListHolds(const String8& list, const String8& quoted) {
    return list.View().find(quoted.View()) != std::string_view::npos;
}

String8 WithoutMarker(String8 path) {
    for (char marker : {'^', ' ', static_cast<char>(0xA9)})
        if (path.Length() && path.Last() == marker) path.Truncate(path.Length() - 1);
    return path;
}

} // namespace

SharedCountPlan PlanSharedCounts(const Array<String8>& sharedFiles, const String8& storedList) {
    SharedCountPlan plan{{}, storedList};
    for (const String8& entry : sharedFiles) {
        String8 quoted = Quoted(entry);
        if (ListHolds(plan.storedList, quoted)) continue;
        plan.paths.Append(WithoutMarker(entry));
        if (!plan.storedList.IsEmpty()) plan.storedList += ";";
        plan.storedList += quoted;
    }
    return plan;
}

} // namespace cs
