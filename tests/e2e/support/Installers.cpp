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

namespace cs::e2e {

namespace {

// The .reg text as 8-bit characters: UTF-16 (with its mark) narrowed, others as they are.
std::string RegText(const std::string& bytes) {
    if (bytes.size() < 2 || uint8_t(bytes[0]) != 0xFF || uint8_t(bytes[1]) != 0xFE) return bytes;
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned unit = uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8;
        text += unit < 0x80 ? char(unit) : '?';
    }
    return text;
}

// The lines of the file with "\" continuations joined.
std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!current.empty()) line.erase(0, line.find_first_not_of(' '));
        current += line;
        if (!current.empty() && current.back() == '\\' && current.find("=hex") != std::string::npos) {
            current.pop_back();
            continue;
        }
        lines.push_back(current);
        current.clear();
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

// A quoted .reg string from position `at` (the opening quote); `at` ends after the closing one.
std::string QuotedText(const std::string& line, size_t& at) {
    std::string text;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size()) ++at;
        text += line[at];
    }
    ++at;
    return text;
}

std::string HexBytes(const std::string& list) {
    std::string bytes;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) bytes += char(std::stoul(item, nullptr, 16));
    return bytes;
}

uint64_t LittleEndian(const std::string& bytes) {
    uint64_t n = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        n = n << 8 | uint8_t(bytes[i]);
    return n;
}

std::string NarrowUtf16(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned unit = uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8;
        text += unit == 0 ? '\n' : unit < 0x80 ? char(unit) : '?';
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

ExportedValue DecodeValue(const std::string& form) {
    if (!form.empty() && form[0] == '"') {
        size_t at = 0;
        return {"REG_SZ", QuotedText(form, at)};
    }
    if (form.rfind("dword:", 0) == 0)
        return {"REG_DWORD", std::to_string(std::stoul(form.substr(6), nullptr, 16))};
    size_t colon = form.find(':');
    std::string kind = form.substr(0, colon);
    std::string bytes = HexBytes(colon == std::string::npos ? "" : form.substr(colon + 1));
    if (kind == "hex(b)") return {"REG_QWORD", std::to_string(LittleEndian(bytes))};
    if (kind == "hex(2)") return {"REG_EXPAND_SZ", NarrowUtf16(bytes)};
    if (kind == "hex(7)") return {"REG_MULTI_SZ", NarrowUtf16(bytes)};
    std::string digits;
    for (unsigned char c : bytes) {
        static const char hex[] = "0123456789abcdef";
        digits += hex[c >> 4];
        digits += hex[c & 15];
    }
    return {kind == "hex" ? "REG_BINARY" : "REG_" + kind, digits};
}

} // namespace

RegExport ParseRegExport(const std::string& fileBytes) {
    RegExport keys;
    std::map<std::string, ExportedValue>* values = nullptr;
    for (const std::string& line : LogicalLines(RegText(fileBytes))) {
        if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
            values = &keys[line.substr(1, line.size() - 2)];
            continue;
        }
        if (!values || line.empty() || (line[0] != '"' && line[0] != '@')) continue;
        size_t at = 0;
        std::string name = line[0] == '@' ? (at = 1, "@") : QuotedText(line, at);
        if (at < line.size() && line[at] == '=') (*values)[name] = DecodeValue(line.substr(at + 1));
    }
    return keys;
}

RegExport ExportedTree(const std::string& key, const std::string& view) {
    std::string file = TempDir() + "/export.reg";
    RunResult r = RunWine({"reg", "export", key, ToWindowsPath(file), "/y", view}, 60);
    if (r.exitCode != 0) return {};
    return ParseRegExport(FileText(file));
}

std::map<std::string, ExportedValue> ExportedValues(const std::string& key, const std::string& view) {
    RegExport keys = ExportedTree(key, view);
    return keys.empty() ? std::map<std::string, ExportedValue>{} : keys.begin()->second;
}

std::string UninstallBatch(const std::string& program, const std::string& name, const std::string& switches) {
    std::string batch = TempDir() + "/uninstall.bat";
    WriteFile(batch, "@\"" + program + "\" " + switches + " /u:\"" + name + "\"\r\n@exit %errorlevel%\r\n");
    return ToWindowsPath(batch);
}

RunResult RunUninstaller(const std::string& program, const std::string& name, const std::string& switches,
                         int timeout) {
    RunResult r = RunWine({"cmd", "/c", UninstallBatch(program, name, switches)}, timeout);
    EXPECT_FALSE(r.timedOut) << r.output;
    return r;
}

} // namespace cs::e2e
