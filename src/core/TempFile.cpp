#include "core/TempFile.h"

#include "core/Folders.h"
#include "core/Format.h"

namespace cs {

namespace {

// The error code after which a run of failed creations gives up early.
constexpr uint32_t kErrorInvalidAccess = 12;

// Tries names from the core generator until one can be created. The search after a failed
// system name (fallback) skips names that exist and gives up early on a run of error 12.
String SearchNames(TempFileSystem& system, String folder, const char16_t* pattern, const String& extension,
                   bool fallback) {
    int consecutiveError12 = 0;
    for (int attempt = 0; attempt < kTempFileMaxAttempts; ++attempt) {
        if (attempt == kTempFileSwitchToTempFolder) {
            folder = system.TempFolder();
        } else if (attempt == kTempFileSwitchToCTemp) {
            const String cTemp(u"c:\\temp");
            if (system.FolderExists(cTemp)) folder = cTemp;
        }
        String path = JoinPath(folder, Format(pattern, system.Random16(), extension));
        if (fallback && system.Exists(path)) continue;
        uint32_t error = 0;
        if (system.CreateNewFile(path, error)) return path;
        if (error == kErrorInvalidAccess) {
            if (fallback && ++consecutiveError12 > kTempFileMaxConsecutiveError12) return {};
        } else {
            consecutiveError12 = 0;
        }
    }
    return {};
}

} // namespace

String MakeTempFileNameWith(TempFileSystem& system, const String& folder, const String& extension) {
    String where = folder.IsEmpty() ? system.TempFolder() : NormalizeFolderPath(folder);
    if (where.IsEmpty() || !system.MakeFolder(where)) return {};

    String ext = extension;
    if (!ext.IsEmpty() && ext[0] == u'.') ext.Erase(0, 1);
    if (ext.IsEmpty()) {
        String path;
        if (system.SystemUniqueName(where, path) && !path.IsEmpty()) return path;
        return SearchNames(system, where, u"KWT%04X.%s", String(u"tmp"), true);
    }
    return SearchNames(system, where, u"KWT%4X.%s", ext, false);
}

String PrivateTempFolderName(uint16_t high, uint16_t low) {
    return Format(u"cs-%04x%04x.tmp", high, low);
}

bool IsPrivateTempFolderName(const String& name) {
    if (name.Length() != 15) return false;
    String lower = name;
    for (size_t i = 0; i < lower.Length(); ++i)
        if (lower[i] >= u'A' && lower[i] <= u'Z') lower[i] = static_cast<char16_t>(lower[i] - u'A' + u'a');
    if (lower.Sub(0, 3) != u"cs-" || lower.Sub(11) != u".tmp") return false;
    for (size_t i = 3; i < 11; ++i) {
        char16_t c = lower[i];
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    }
    return true;
}

} // namespace cs
