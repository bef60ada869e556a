#include "runtime/RunTempFiles.h"

#include "core/Format.h"
#include "core/Text.h"

namespace cs {

namespace {

constexpr const char16_t kPrefix[] = u"~cs-run-";
constexpr const char16_t kSuffix[] = u".tmp";

bool IsHexDigits(std::u16string_view text) {
    if (text.empty()) return false;
    for (char16_t c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) return false;
    return true;
}

bool IsKind(std::u16string_view text) {
    if (text.empty()) return false;
    for (char16_t c : text)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    return true;
}

} // namespace

String RunTempFileName(const String& kind, uint32_t processId, uint32_t number) {
    return Format(u"%s%s-%x-%x%s", kPrefix, kind, processId, number, kSuffix);
}

bool IsRunTempFileName(const String& name) {
    std::u16string_view view = name.View();
    const size_t prefix = std::char_traits<char16_t>::length(kPrefix);
    const size_t suffix = std::char_traits<char16_t>::length(kSuffix);
    if (view.size() <= prefix + suffix) return false;
    if (!EqualsNoCase(String(view.substr(0, prefix)), kPrefix) ||
        !EqualsNoCase(String(view.substr(view.size() - suffix)), kSuffix))
        return false;
    std::u16string_view middle = view.substr(prefix, view.size() - prefix - suffix);
    size_t first = middle.find(u'-');
    if (first == std::u16string_view::npos) return false;
    size_t second = middle.find(u'-', first + 1);
    if (second == std::u16string_view::npos) return false;
    return IsKind(middle.substr(0, first)) && IsHexDigits(middle.substr(first + 1, second - first - 1)) &&
           IsHexDigits(middle.substr(second + 1));
}

} // namespace cs
