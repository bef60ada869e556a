// Outside bytes as a registry list: every line is read without a crash, the fields keep
// their promises, each key path and data field goes through the root parser and every type's
// conversion, and the records handed to the uninstaller read back, through its CSV reader,
// as the very fields the registry step read; written again they stay the same.
#include "actions/RegistryRules.h"
#include "core/Text.h"
#include "uninstall/UninstallData.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool SameFields(const cs::Array<cs::String8>& a, const cs::Array<cs::String8>& b) {
    if (a.Count() != b.Count()) return false;
    for (int i = 0; i < a.Count(); ++i)
        if (a[i].View() != b[i].View()) return false;
    return true;
}

void CheckData(const cs::String8& data) {
    auto keep = [](cs::String&) {};
    for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 7u, 11u}) {
        cs::RegistryData converted = cs::ConvertRegistryData(type, data, keep);
        size_t size = converted.bytes.size();
        if (converted.valid && type == 4 && size != 4) abort();
        if (converted.valid && type == 11 && size != 8) abort();
        if (!converted.valid && (type != 4 && type != 11)) abort();
        if ((type == 1 || type == 2) && (size < 2 || size % 2)) abort();
    }
    uint64_t value = 0;
    if (cs::ParseRegistryInteger(data.View(), 32, value) && value > 0xFFFFFFFFu) abort();
}

void CheckLine(std::string_view text, cs::Array<cs::Array<cs::String8>>& kept) {
    cs::RegistryLine line = cs::ParseRegistryLine(text);
    for (const cs::String8& field : line.fields)
        if (field.View().find('\n') != std::string_view::npos) abort();
    switch (line.kind) {
    case cs::RegistryLineKind::Blank:
        if (line.fields.Count() != 1 || !line.fields[0].IsEmpty()) abort();
        return;
    case cs::RegistryLineKind::Key:
        if (line.fields.Count() != 1 || cs::IsBlank(line.fields[0])) abort();
        break;
    case cs::RegistryLineKind::Value:
        if (line.fields.Count() != 5) abort();
        CheckData(line.Data());
        break;
    case cs::RegistryLineKind::Illegal:
        return;
    }
    cs::String path = cs::FromUtf8(line.Key().View());
    cs::RegistryKeyPath parsed;
    if (cs::ParseRegistryKeyPath(path, parsed) && parsed.subkey.Length() >= path.Length()) abort();
    kept.Append(line.fields);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view list(reinterpret_cast<const char*>(data), size);
    cs::Array<cs::Array<cs::String8>> kept;
    for (std::string_view line : cs::RegistryListLines(list))
        CheckLine(line, kept);

    cs::String8 records = cs::RegistryUndoRecords(list);
    cs::Array<cs::Array<cs::String8>> read = cs::ParseCsv(records.View());
    if (read.Count() != kept.Count()) abort();
    for (int i = 0; i < read.Count(); ++i)
        if (!SameFields(read[i], kept[i])) abort();
    if (cs::RegistryUndoRecords(records.View()).View() != records.View()) abort();
    return 0;
}
