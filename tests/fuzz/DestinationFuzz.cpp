// Outside bytes as a file record's kind, flags, name and destination, through the name rule
// and the engine's destination resolution with a few variables (one of them climbing). A
// record the rule takes ends at a path below the folder its base names, with a sound rest;
// nothing else reaches a path.
#include "actions/FileRules.h"
#include "core/Text.h"
#include "payload/FileNames.h"
#include "vars/Variables.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

const char16_t* const kBases[] = {u"C:\\App",
                                  u"C:\\Common",
                                  u"C:\\App\\Uninstall",
                                  u"C:\\Windows\\Fonts",
                                  u"C:\\Windows\\System32",
                                  u"E:\\App\\Shared",
                                  u"C:\\Users\\u\\Desktop"};

void Expand(cs::String& text) {
    cs::ReplaceAll(text, u"%Desktop%", u"C:\\Users\\u\\Desktop", true);
    cs::ReplaceAll(text, u"%Up%", u"..", true);
    cs::ReplaceAll(text, u"%Deep%", u"a\\..\\..\\b", true);
}

bool StartsWithBase(std::u16string_view path, std::u16string_view base, std::u16string_view& rest) {
    if (path.size() <= base.size() || path.substr(0, base.size()) != base || path[base.size()] != u'\\')
        return false;
    rest = path.substr(base.size() + 1);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    cs::FileRecord record;
    record.kind = data[0] % 13;
    record.flags = (data[1] & 1) ? 0x40 : 0;
    bool removable = (data[1] & 2) != 0;
    std::u16string_view text(reinterpret_cast<const char16_t*>(data + 2), (size - 2) / 2);
    size_t cut = text.find(u'\0');
    record.name = cs::String(text.substr(0, cut));
    if (cut != std::u16string_view::npos) record.destination = cs::String(text.substr(cut + 1));
    if (!cs::IsFileKind(record.kind) || record.name.IsEmpty()) return 0;

    cs::RecordNameProblem problem;
    if (!cs::CheckRecordNames(record, problem)) return 0; // the engine skips such a record
    cs::DestinationFolders folders;
    folders.installDir = kBases[0];
    folders.sharedDir = kBases[1];
    folders.uninstallDataFolder = kBases[2];
    folders.fontsFolder = kBases[3];
    folders.systemFolder = kBases[4];
    folders.removableDrive = removable;
    if (removable) folders.sharedOverride = kBases[5];
    cs::Destination d = cs::ResolveDestination(record, folders, Expand);
    if (d.problem) {
        if (!d.path.IsEmpty()) abort();
        return 0;
    }
    std::u16string_view path = d.path.View(), rest;
    bool placed = false;
    for (const char16_t* base : kBases)
        placed = placed || StartsWithBase(path, base, rest);
    if (!placed) { // only a full path written into the destination itself may stand elsewhere
        cs::DestinationParts parts;
        const char* why = nullptr;
        if (!cs::SplitDestination(record.destination.View(), parts, why)) abort();
        if (parts.base != cs::DestinationParts::Base::Drive &&
            parts.base != cs::DestinationParts::Base::Share)
            abort();
        if (!StartsWithBase(path, parts.baseText, rest)) abort();
    }
    if (cs::RelativeNameProblem(rest)) abort(); // no "..", ".", device or reserved name below the base
    return 0;
}
