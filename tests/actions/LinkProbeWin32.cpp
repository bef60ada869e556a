// Test tool: reads a shell link back through the shell's link object and prints, one per line
// in UTF-8, what it holds:
//   target=PATH
//   arguments=TEXT
//   working_folder=PATH
//   icon=PATH,INDEX
//   show=N            (1 normal, 3 maximised, 7 minimised)
// The show command comes from the link file's header (the 32-bit value at offset 60 of its
// 76-byte header): Wine's link object writes it but does not restore it when it loads a link.
// Exit code 0, or 1 for a wrong command line, 2 when the link cannot be read (with the code).
//   link-probe LINK
#include "core/HandleWin32.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

constexpr DWORD kHeaderSize = 76;
constexpr DWORD kShowCommandOffset = 60;

// The show command stored in the link's header; -1 when the file has no such header.
int StoredShowCommand(const wchar_t* path) {
    cs::UniqueHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    unsigned char header[kHeaderSize];
    DWORD got = 0;
    if (!file || !ReadFile(file.Get(), header, kHeaderSize, &got, nullptr) || got != kHeaderSize) return -1;
    auto value = [&](DWORD at) {
        return header[at] | header[at + 1] << 8 | header[at + 2] << 16 | header[at + 3] << 24;
    };
    return value(0) == static_cast<int>(kHeaderSize) ? value(kShowCommandOffset) : -1;
}

void Print(const char* name, const wchar_t* value) {
    std::printf("%s=%s\n", name, Utf8(value).c_str());
}

int Probe(const wchar_t* path) {
    cs::ComRef<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    cs::ComRef<IPersistFile> file;
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) result = file->Load(path, STGM_READ);
    if (FAILED(result)) {
        std::printf("error=0x%08lX\n", static_cast<unsigned long>(result));
        return 2;
    }
    wchar_t text[INFOTIPSIZE] = L"";
    link->GetPath(text, INFOTIPSIZE, nullptr, SLGP_RAWPATH);
    Print("target", text);
    text[0] = 0;
    link->GetArguments(text, INFOTIPSIZE);
    Print("arguments", text);
    text[0] = 0;
    link->GetWorkingDirectory(text, INFOTIPSIZE);
    Print("working_folder", text);
    text[0] = 0;
    int index = 0;
    link->GetIconLocation(text, INFOTIPSIZE, &index);
    std::printf("icon=%s,%d\n", Utf8(text).c_str(), index);
    std::printf("show=%d\n", StoredShowCommand(path));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: link-probe LINK\n");
        return 1;
    }
    CoInitialize(nullptr);
    int code = Probe(argv[1]);
    CoUninitialize();
    return code;
}
