// Native build: the portable rules stand in for the platform's comparison and conversion.
#include "core/TextPlatform.h"

namespace cs {

int PlatformCompareNoCase(const char16_t* a, int lengthA, const char16_t* b, int lengthB) {
    return PortableCompareNoCase(a, lengthA, b, lengthB);
}
bool PlatformToWide(std::string_view bytes, int codePage, String& out) {
    return PortableToWide(bytes, codePage, out);
}
bool PlatformToNarrow(const String& text, int codePage, String8& out) {
    return PortableToNarrow(text, codePage, out);
}

} // namespace cs
