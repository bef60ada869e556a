// The files an installation leaves for its uninstaller besides "Uninstall.dat", and the
// readme and licence texts saved into the installation folder: their names and bytes. The
// rules are portable; UninstallerFilesWin32.h writes the files.
#pragma once

#include "core/Array.h"
#include "core/String.h"

namespace cs {

constexpr const char16_t kBackgroundBitmapName[] = u"Installer Background.bmp";
constexpr const char16_t kRebootMarkerName[] = u"reboot.dat";

// Language text of the step that saves the uninstaller's files.
constexpr int kTextSavingUninstallerFiles = 32;

// A text of the definition is rich text when it begins with "{\rtf", after a UTF-8
// byte-order mark or not; any other text is plain UTF-16 (little-endian, no mark).
bool IsRichText(const String8& text);

// One text saved as a file: its name in the installation folder and its bytes (a plain text
// with the UTF-16 little-endian byte-order mark in front, a rich text as it is).
struct SavedDocument {
    String name;
    String8 bytes;
};

// The files of the non-empty texts, in order: "<base>.txt" when there is only one, else
// "<base>1.txt", "<base>2.txt" ... numbered among the non-empty texts; ".rtf" for rich text.
Array<SavedDocument> SavedDocuments(const Array<String8>& texts, const char16_t* base);

// The failure of the uninstaller's replacement at restart when its temporary file could not
// be filled with the running installer's copy.
String TempFileNotOverwrittenText(const String& destination, const String& systemText);

} // namespace cs

namespace cs {

// An icon file (".ico") as the resources of a program hold it: the group resource that lists
// the images by resource number (1, 2, ... in file order) and the images themselves.
struct IconGroup {
    String8 group;         // the icon group resource (RT_GROUP_ICON)
    Array<String8> images; // the image resources (RT_ICON), numbered from 1
};

// False for bytes that are no icon file: shorter than their header, type other than 1, no
// images, or an image outside the file.
bool ReadIconGroup(const String8& iconFile, IconGroup& out);

} // namespace cs
