#include "actions/UninstallerFiles.h"

#include "core/Format.h"

#include <string_view>

namespace cs {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kRichTextStart = "{\\rtf";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

String DocumentName(const char16_t* base, int number, int count, bool richText) {
    String name = count == 1 ? String(base) : Format(u"%s%d", base, number);
    return name + (richText ? u".rtf" : u".txt");
}

} // namespace

bool IsRichText(const String8& text) {
    std::string_view view = text.View();
    if (view.substr(0, kUtf8Mark.size()) == kUtf8Mark) view.remove_prefix(kUtf8Mark.size());
    return view.substr(0, kRichTextStart.size()) == kRichTextStart;
}

Array<SavedDocument> SavedDocuments(const Array<String8>& texts, const char16_t* base) {
    int count = 0;
    for (const String8& text : texts)
        if (!text.IsEmpty()) ++count;
    Array<SavedDocument> documents;
    for (const String8& text : texts) {
        if (text.IsEmpty()) continue;
        bool rich = IsRichText(text);
        SavedDocument document;
        document.name = DocumentName(base, documents.Count() + 1, count, rich);
        document.bytes = rich ? text : String8(kUtf16Mark) + text;
        documents.Append(std::move(document));
    }
    return documents;
}

String TempFileNotOverwrittenText(const String& destination, const String& systemText) {
    return Format(u"Failed to register '%s' for replacement because the temporary file could not be "
                  u"overwritten.\r\n%s\r\n\r\n",
                  destination, systemText);
}

namespace {

constexpr size_t kIconHeader = 6;      // reserved, type, count
constexpr size_t kIconFileEntry = 16;  // width, height, colours, reserved, planes, bits, size, offset
constexpr size_t kIconGroupEntry = 14; // the same with the resource number instead of the offset

uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
    return value;
}

void AppendLittleEndian(String8& out, uint32_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
        out += char(value >> (8 * i));
}

} // namespace

bool ReadIconGroup(const String8& iconFile, IconGroup& out) {
    std::string_view bytes = iconFile.View();
    if (bytes.size() < kIconHeader || LittleEndian(bytes, 2, 2) != 1) return false;
    size_t count = LittleEndian(bytes, 4, 2);
    if (count == 0 || bytes.size() < kIconHeader + count * kIconFileEntry) return false;
    IconGroup group;
    group.group = String8(bytes.substr(0, kIconHeader));
    for (size_t i = 0; i < count; ++i) {
        size_t entry = kIconHeader + i * kIconFileEntry;
        uint32_t size = LittleEndian(bytes, entry + 8, 4), offset = LittleEndian(bytes, entry + 12, 4);
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) return false;
        group.group += String8(bytes.substr(entry, 12));
        AppendLittleEndian(group.group, uint32_t(i + 1), 2);
        group.images.Append(String8(bytes.substr(offset, size)));
    }
    static_assert(kIconGroupEntry == 12 + 2);
    out = std::move(group);
    return true;
}

} // namespace cs
