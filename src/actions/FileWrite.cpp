#include "actions/FileWrite.h"

#include "core/DateTime.h"
#include "core/Format.h"
#include "core/Text.h"

namespace cs {

// ---- After the last failed attempt -------------------------------------------------------

WriteFallback ChooseWriteFallback(uint32_t error, bool driveMissing, bool existedBefore,
                                  uint32_t optionWord1) {
    if (driveMissing) return WriteFallback::DriveMissing;
    bool replaceable = existedBefore || (optionWord1 & kOpt1ReplaceInUse);
    bool hopeless = error == kWriteErrorInvalidName || error == kWriteErrorDiskFull;
    return replaceable && !hopeless ? WriteFallback::ReplaceAtRestart : WriteFallback::Fail;
}

char16_t DriveLetterOf(const String& path) {
    if (path.Length() < 2 || path[1] != u':') return 0;
    char16_t letter = ToUpperChar(path[0]);
    return letter >= u'A' && letter <= u'Z' ? letter : 0;
}

// ---- Texts -------------------------------------------------------------------------------

String WriteFailureText(const String& failureWord, const String& destination, const String& systemText) {
    return Format(u"%s %s\r\n%s", failureWord, destination, systemText);
}

String DriveMissingText(char16_t letter) {
    return Format(u"Drive %c: is not present.\r\n", letter);
}

String NoTempFileText(const String& destination, const String& systemText) {
    return Format(u"Failed to register '%s' for replacement because no temporary file could be created.\r\n"
                  u"%s\r\n\r\n",
                  destination, systemText);
}

String ReplacementRegisteredText(const String& destination, const String& tempFile) {
    return Format(u"\"%s\" was successfully registered for replacement.\r\nTemporary file is \"%s\"\r\n"
                  u"Reboot will be required.\r\n\r\n",
                  destination, tempFile);
}

String ReplacementFailedText(const String& destination, const String& tempFile, const String& systemText) {
    return Format(u"Failed to register '%s' for replacement with temporary file '%s'\r\n%s\r\n\r\n",
                  destination, tempFile, systemText);
}

// ---- Attributes and dates ----------------------------------------------------------------

uint32_t AttributesWanted(uint32_t current, uint32_t entry) {
    return (current & ~kEntryAttributeMask) | (entry & kEntryAttributeMask);
}

DateValue StampOf(const DateValue& date) {
    DateValue stamp = date;
    if (stamp.hour < 0) stamp.hour = stamp.minute = stamp.second = 0;
    return stamp;
}

DateValue DateValueOfFileTime(uint64_t fileTime) {
    DateTime t = DateTime::FromFileTime(fileTime);
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// ---- Copying -----------------------------------------------------------------------------

bool MessagePacer::Due(uint32_t now) {
    if (started_ && now - last_ <= kWriteMessageIntervalMs) return false;
    started_ = true;
    last_ = now;
    return true;
}

// ---- Version resources -------------------------------------------------------------------

Array<String> FileVersionQueries(const uint16_t* firstTranslation) {
    Array<String> blocks;
    if (firstTranslation) blocks.Append(Format(u"%04X%04X", firstTranslation[0], firstTranslation[1]));
    for (const char16_t* common : {u"040904B0", u"040904E4"})
        if (blocks.IndexOf([&](const String& b) { return EqualsNoCase(b, common); }) < 0)
            blocks.Append(common);
    Array<String> queries;
    for (const String& block : blocks)
        queries.Append(Format(u"\\StringFileInfo\\%s\\FileVersion", block));
    return queries;
}

String8 VersionText(const String& text) {
    String8 version = NarrowLatin1(text);
    for (size_t i = 0; i < version.Length(); ++i)
        if (version[i] == ',') version[i] = '.';
    return version;
}

String8 FixedVersionText(uint32_t mostSignificant, uint32_t leastSignificant) {
    return NarrowLatin1(Format(u"%u.%u.%u.%u", mostSignificant >> 16, mostSignificant & 0xFFFF,
                               leastSignificant >> 16, leastSignificant & 0xFFFF));
}

} // namespace cs
