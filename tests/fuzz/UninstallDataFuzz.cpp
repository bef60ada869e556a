// Outside bytes through the "Uninstall.dat" reader. Every input is read without a crash, what
// the reader returns keeps its promises, and the file written from what was read is stable:
// reading it and writing it again gives the same bytes. The uninstaller's own readings of the
// same bytes (the "[Registry2]" undo steps, the "SharedFiles" list) keep theirs too.
#include "core/Text.h"
#include "uninstall/UninstallData.h"
#include "uninstall/UninstallerRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Everything a read file holds, collected again as the installer would, and written.
cs::String8 WriteAgain(const cs::UninstallFile& file) {
    cs::UninstallRecords records;
    for (const cs::UninstallBodyRecord& record : file.body) {
        std::string_view text = record.line.View();
        if (record.kind != cs::UninstallKind::kFile) text.remove_prefix(1);
        cs::RecordUninstallLine(records, text, record.kind);
    }
    cs::LoadForRewrite(file, records);
    for (const cs::UninstallAssociation& a : file.associations)
        cs::AppendAssociationRecord(records, a.extension, a.typeKey, a.verb, a.iconPath);
    for (const cs::UninstallFirewallRule& rule : file.firewall)
        records.firewall += rule.line + "\r\n";
    for (const cs::String& inf : file.inf)
        records.inf += cs::ToPathForm(inf) + "\r\n";
    for (const cs::UninstallMsiPackage& package : file.msi)
        records.msi += package.line + "\r\n";
    return cs::WriteUninstallData(records, file.texts, 0, file.caption);
}

void Check(const cs::UninstallFile& file) {
    for (const cs::UninstallBodyRecord& record : file.body) {
        std::string_view line = record.line.View();
        if (line.size() < cs::kUninstallMinLine || line.find('\n') != std::string_view::npos) abort();
    }
    for (const cs::AutoCloseEntry& entry : file.autoClose)
        if (entry.mode > 3) abort();
    for (const cs::UninstallAssociation& a : file.associations)
        if (a.extension.IsEmpty() || a.typeKey.IsEmpty() || a.verb.IsEmpty()) abort();
    if (file.texts.LanguageCount() != 1 || file.texts.Get(1001, 0).Length() != 0) abort();
    // Value deletions come first, then the keys; a step always has a key path with a root.
    bool keys = false;
    for (const cs::RegistryUndoStep& step : cs::RegistryUndoSteps(file.registry2.View())) {
        if (step.keyText.IsEmpty() || (step.deleteValue && keys)) abort();
        keys = keys || !step.deleteValue;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    cs::UninstallFile first;
    cs::ReadUninstallData(bytes, first);
    Check(first);
    for (const cs::SharedFileEntry& entry : cs::ParseSharedFiles(bytes))
        if (entry.path.IsEmpty()) abort();
    cs::String8 written = WriteAgain(first);

    cs::UninstallFile second;
    cs::ReadUninstallData(written.View(), second);
    Check(second);
    if (second.body.Count() > first.body.Count()) abort();
    cs::String8 again = WriteAgain(second);
    if (again.View() != written.View()) abort();
    return 0;
}
