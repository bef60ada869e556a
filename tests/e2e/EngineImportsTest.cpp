// The import tables of both engines (read with the cross toolchain's objdump, no Wine): every
// library the system loader maps before the entry point runs must be one the system keeps in
// its list of known libraries, which it maps from the system folder whatever the search path
// holds. Anything else (a version, sound or trust library, the common controls) would be
// looked for beside the program first, where a planted copy could stand.
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

using namespace cs::e2e;

namespace {

// Known libraries on every system the engine supports (the list of Windows 7 and of Windows
// 10 have these in common), and the system's own core library, which every process has.
const std::set<std::string> kKnownLibraries = {
    "advapi32.dll", "clbcatq.dll",  "comdlg32.dll", "difxapi.dll", "gdi32.dll",    "imagehlp.dll",
    "imm32.dll",    "kernel32.dll", "msctf.dll",    "msvcrt.dll",  "normaliz.dll", "nsi.dll",
    "ntdll.dll",    "ole32.dll",    "oleaut32.dll", "psapi.dll",   "rpcrt4.dll",   "sechost.dll",
    "setupapi.dll", "shell32.dll",  "shlwapi.dll",  "user32.dll",  "wldap32.dll",  "ws2_32.dll"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The "DLL Name:" lines of objdump's private headers, lowercased.
std::set<std::string> ImportedLibraries(const std::string& objdump, const std::string& program) {
    RunResult dump = RunNative({objdump, "-p", program}, 60);
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    std::set<std::string> names;
    std::istringstream lines(dump.output);
    std::string line;
    const std::string marker = "DLL Name: ";
    while (std::getline(lines, line)) {
        size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        std::string name = line.substr(at + marker.size());
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        names.insert(Lower(name));
    }
    return names;
}

} // namespace

TEST(EngineImports, BothEnginesImportOnlyKnownSystemLibraries) {
    struct Engine {
        bool x64;
        const char* objdump;
    } engines[] = {{false, "i686-w64-mingw32-objdump"}, {true, "x86_64-w64-mingw32-objdump"}};
    int checked = 0;
    for (const Engine& engine : engines) {
        const std::string program = EngineOfBitness(engine.x64);
        if (!std::filesystem::exists(program)) continue;
        SCOPED_TRACE(program);
        ++checked;
        std::set<std::string> imports = ImportedLibraries(engine.objdump, program);
        EXPECT_TRUE(imports.count("kernel32.dll")) << "the table was read";
        for (const std::string& name : imports)
            EXPECT_TRUE(kKnownLibraries.count(name)) << name << " is no known system library";
    }
    EXPECT_GT(checked, 0) << "no engine built";
}
