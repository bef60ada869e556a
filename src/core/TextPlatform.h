// What the text rules need of the platform: the Windows build calls CompareStringW,
// MultiByteToWideChar and WideCharToMultiByte; the native build has portable equivalents.
#pragma once

#include "core/String.h"

#include <string_view>

namespace cs {

int PlatformCompareNoCase(const char16_t* a, int lengthA, const char16_t* b, int lengthB);
bool PlatformToWide(std::string_view bytes, int codePage, String& out);
bool PlatformToNarrow(const String& text, int codePage, String8& out);

// Portable codecs, used by the native build and by tests that compare with the platform.
bool PortableToWide(std::string_view bytes, int codePage, String& out);
bool PortableToNarrow(const String& text, int codePage, String8& out);
int PortableCompareNoCase(const char16_t* a, int lengthA, const char16_t* b, int lengthB);

} // namespace cs
