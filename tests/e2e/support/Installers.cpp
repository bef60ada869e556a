#include "support/Installers.h"

#include "payload/Crc32.h"
#include "payload/DataStream.h"
#include "payload/PayloadHeader.h"
#include "payload/PayloadReader.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cs::e2e {

RunResult RunBuilder(const std::vector<std::string>& args) {
    std::vector<std::string> all{HostBin("corvantis-build")};
    all.insert(all.end(), args.begin(), args.end());
    return RunNative(all, 180);
}

std::string BuildInstaller(const std::string& name, const std::string& projectText) {
    std::string dir = TempDir();
    std::string project = dir + "/" + name + ".toml";
    std::string out = dir + "/" + name + "-setup.exe";
    if (!WriteFile(project, projectText)) return "";
    RunResult built = RunBuilder({"build", project, "-o", out, "--stub", Engine()});
    EXPECT_EQ(built.exitCode, 0) << built.output;
    return built.exitCode == 0 ? out : "";
}

void DamageLastChunk(const std::string& installer) {
    std::string bytes;
    ASSERT_TRUE(ReadFile(installer, bytes));
    Bytes file(bytes.begin(), bytes.end());
    PayloadInfo info;
    Bytes mapped;
    ASSERT_EQ(ReadPayloadFile(MemorySource(file), info, mapped), 0);
    size_t start = info.section.rawOffset + info.dataStreamOffset;
    size_t length = size_t(info.header.dataStreamSize), at = 0, last = 0;
    while (at < length) {
        last = at;
        at += kChunkHeaderBytes + LoadLE32(&file[start + at]);
    }
    ASSERT_GT(last, 0u) << "more than one chunk";
    file[start + last + kChunkHeaderBytes + 5] ^= 0x40;
    StoreLE32(&file[info.section.rawOffset + LayoutOf(info.header).dataStreamChecksum],
              Crc32(ByteView(file).subspan(start, length)));
    ASSERT_TRUE(WriteFile(installer, std::string(file.begin(), file.end())));
}

std::vector<std::string> UninstallBodyLines(const std::string& uninstallData) {
    std::vector<std::string> lines;
    std::istringstream in(uninstallData.substr(0, uninstallData.find("\r\n\r\n[Strings]")));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// In the 32-bit view, where the 32-bit engine reads and writes and where the 64-bit engine
// reads and writes too (reg.exe's own view differs by the loader that runs it).
void RegAdd(const std::string& key, const std::string& name, const std::string& value) {
    RunResult r = RunWine({"reg", "add", key, "/v", name, "/d", value, "/f", "/reg:32"}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

void RegDeleteKey(const std::string& key) {
    RunWine({"reg", "delete", key, "/f", "/reg:32"}, 60);
}

} // namespace cs::e2e
