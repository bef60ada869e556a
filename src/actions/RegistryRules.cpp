#include "actions/RegistryRules.h"

#include "core/Text.h"
#include "payload/Definition.h"
#include "uninstall/UninstallData.h"

namespace cs {

RegistryView ProductRegistryView(uint32_t optionWord2) {
    return (optionWord2 & kOpt2Product64Bit) ? RegistryView::Bits64 : RegistryView::Bits32;
}

// ---- Data --------------------------------------------------------------------------------

Bytes RegistryTextBytes(const String& text) {
    Bytes bytes;
    bytes.reserve((text.Length() + 1) * 2);
    for (size_t i = 0; i <= text.Length(); ++i) { // the NUL too
        char16_t c = i < text.Length() ? text[i] : u'\0';
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

namespace {

Bytes LittleEndian(uint64_t value, int size) {
    Bytes bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

} // namespace

RegistryData ConvertRegistryData(uint32_t type, const String8& data,
                                 const std::function<void(String&)>& expand) {
    RegistryData out;
    switch (type) {
    case kRegText: {
        String text = FromUtf8(data.View());
        expand(text);
        out.bytes = RegistryTextBytes(text);
        break;
    }
    case kRegExpandableText:
        out.bytes = RegistryTextBytes(FromUtf8(data.View()));
        break;
    case kRegBinary:
        if (!HexToBytes(data.View(), out.bytes)) out.bytes.assign(data.begin(), data.end());
        break;
    case kRegNumber:
    case kRegNumber64: {
        int bits = type == kRegNumber ? 32 : 64;
        uint64_t number = 0;
        out.valid = ParseRegistryInteger(data.View(), bits, number);
        if (out.valid) out.bytes = LittleEndian(number, bits / 8);
        break;
    }
    default:
        break;
    }
    return out;
}

// ---- The merge file ----------------------------------------------------------------------

namespace {

bool StartsWithUtf16Mark(std::string_view bytes) {
    return bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE;
}

// UTF-16LE text of a registry file starts with an ASCII letter or bracket: its high byte is 0.
bool LooksLikeUtf16WithoutMark(std::string_view bytes) {
    return bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[0] != 0 && bytes[1] == 0;
}

String MergeText(std::string_view bytes) {
    if (StartsWithUtf16Mark(bytes))
        bytes.remove_prefix(2);
    else if (!LooksLikeUtf16WithoutMark(bytes))
        return FromCodePage(bytes, 1252);
    String text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    return text;
}

} // namespace

String8 MergeFileBytes(const String8& text) {
    if (!LooksLikeUtf16WithoutMark(text.View())) return text;
    String8 bytes("\xFF\xFE");
    bytes += text;
    return bytes;
}

Array<MergeKey> MergeFileKeys(const String8& bytes) {
    Array<MergeKey> keys;
    String text = MergeText(bytes.View());
    size_t start = 0;
    while (start < text.Length()) {
        size_t end = text.View().find(u'\n', start);
        if (end == std::u16string_view::npos) end = text.Length();
        String line = text.Sub(start, end - start);
        Trim(line);
        start = end + 1;
        if (line.Length() < 3 || line[0] != u'[' || line.Last() != u']') continue;
        MergeKey key;
        key.removed = line[1] == u'-';
        key.path = line.Sub(key.removed ? 2 : 1, line.Length() - (key.removed ? 3 : 2));
        if (ParseRegistryKeyPath(key.path, key.key)) keys.Append(key);
    }
    return keys;
}

// ---- The list for the uninstaller --------------------------------------------------------

void AppendRegistryLine(String8& list, const Array<String8>& fields) {
    list += CsvRecord(fields);
    list += "\r\n";
}

String8 RegistryUndoRecords(std::string_view list) {
    String8 records;
    for (std::string_view text : RegistryListLines(list)) {
        RegistryLine line = ParseRegistryLine(text);
        if (line.kind == RegistryLineKind::Key || line.kind == RegistryLineKind::Value)
            AppendRegistryLine(records, line.fields);
    }
    return records;
}

} // namespace cs
