// corvantis-sysinfo: prints the operating-system record, the system bit, the name in every
// flag combination and every special folder, one "Name=value" line each (UTF-8).
//
//   corvantis-sysinfo            everything
//   corvantis-sysinfo /tempfile [folder [extension]]
//                                makes one temporary file and prints "TempFile=path"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/OsInfo.h"
#include "core/TempFile.h"
#include "core/Text.h"

#include <windows.h>

namespace {

using cs::Format;
using cs::String;

void Print(const String& name, const String& value) {
    cs::String8 line = cs::ToUtf8(name + u"=" + value + u"\r\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.c_str(), static_cast<DWORD>(line.Length()), &written,
              nullptr);
}

String Hex(uint32_t value) {
    return Format(u"0x%X", value);
}
String Dec(uint64_t value) {
    return Format(u"%u", value);
}
String Bool(bool value) {
    return value ? String(u"1") : String(u"0");
}

void PrintOs() {
    const cs::OsRecord& os = cs::CurrentOsRecord();
    const cs::OsNameFacts& facts = cs::CurrentOsNameFacts();
    Print(u"OsMajor", Dec(os.major));
    Print(u"OsMinor", Dec(os.minor));
    Print(u"OsBuild", Dec(os.build));
    Print(u"OsPlatform", Dec(os.platform));
    Print(u"OsServicePack", os.servicePack);
    Print(u"OsServicePackMajor", Dec(os.servicePackMajor));
    Print(u"OsServicePackMinor", Dec(os.servicePackMinor));
    Print(u"OsSuiteMask", Hex(os.suiteMask));
    Print(u"OsProductType", Dec(os.productType));
    Print(u"OsEdition", Hex(os.edition));
    Print(u"OsProcessorArchitecture", Dec(os.native.processorArchitecture));
    Print(u"OsProcessors", Dec(os.native.numberOfProcessors));
    Print(u"OsPageSize", Dec(os.native.pageSize));
    Print(u"Os64BitWindows", Bool(os.is64BitWindows));
    Print(u"OsWine", Bool(os.underWine));
    Print(u"OsWineVersion", os.wineVersion);
    Print(u"OsReleaseId", facts.releaseId);
    Print(u"OsSystemBit", Hex(cs::CurrentSystemBit()));
    Print(u"OsIsServer", Bool(cs::CurrentIsServer()));
    Print(u"OsNewerThanServer2003", Bool(cs::CurrentIsNewerThanServer2003()));
    for (unsigned flags = 0; flags < 16; ++flags)
        Print(Format(u"OsName%u", flags), cs::CurrentOsName(flags));
}

void PrintFolders() {
    cs::FolderResolver& folders = cs::SystemFolders();
    for (int i = 0; i < static_cast<int>(cs::FolderId::Count); ++i) {
        auto id = static_cast<cs::FolderId>(i);
        Print(String(u"Folder") + cs::FolderIdName(id), folders.Resolve(id));
    }
    Print(u"FolderWindows", folders.Windows());
    String letter;
    letter += folders.BootDriveLetter();
    Print(u"BootDrive", letter);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    auto arg = [&](int i) {
        return i < argc ? String(reinterpret_cast<const char16_t*>(argv[i])) : String();
    };
    if (argc >= 2 && cs::EqualsNoCase(arg(1), u"/tempfile")) {
        String path = cs::MakeTempFileName(arg(2), arg(3));
        Print(u"TempFile", path);
        return path.IsEmpty() ? 1 : 0;
    }
    PrintOs();
    PrintFolders();
    return 0;
}
