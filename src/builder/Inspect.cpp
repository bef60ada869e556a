#include "builder/Inspect.h"

#include "builder/Json.h"
#include "builder/Project.h"
#include "core/Text.h"
#include "payload/Crc32.h"
#include "payload/PayloadCodes.h"

#include <initializer_list>

namespace cs {

namespace {

std::string HexBytes(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// Fields of the header that were read before the first failed rule are shown; the rest
// are shown as read, which for a failed header means their defaults.
void WriteHeader(JsonWriter& j, const InspectReport& r) {
    const PayloadHeader& h = r.info.header;
    j.Key("header").BeginObject();
    j.Member("magic", Hex32(h.magic));
    // 8-bit text of code page 1252, shown as UTF-8 (the report is UTF-8 JSON).
    String8 version = ToUtf8(FromCodePage(h.version.View(), kCodePage1252));
    j.Member("version", std::string(version.c_str(), version.Length()));
    j.Member("flags", Hex32(h.flags));
    j.Member("definitionSize", h.definitionSize);
    j.Member("definitionChecksum", Hex32(h.definitionChecksum));
    j.Member("engineChecksum", Hex32(h.engineChecksum));
    j.Member("dataStreamEnd", h.dataStreamEnd);
    j.Member("fileCount", h.fileCount);
    j.Member("dataStreamSize", h.dataStreamSize);
    j.Member("dataStreamChecksum", Hex32(h.dataStreamChecksum));
    j.Key("fileSizes").BeginArray();
    for (int32_t size : h.fileSizes)
        j.Int(size);
    j.EndArray();
    j.Key("cipherKey");
    if (h.HasCipherKey())
        j.String(HexBytes(h.cipherKey.data(), h.cipherKey.size()));
    else
        j.Null();
    j.Member("headerLength", r.info.headerLength);
    j.Member("dataStreamOffset", r.info.dataStreamOffset);
    j.EndObject();
}

// The result of one check as the report shows it: "ok", the code, or the name of an
// outcome that has its own message.
void WriteResult(JsonWriter& j, int code) {
    if (code == kPayloadOk)
        j.String("ok");
    else if (code == kNoSetupSection)
        j.String("no installation data");
    else if (code == kVersionMismatch)
        j.String("version mismatch");
    else
        j.Int(code);
}

// Another writer's top-level object laid out as a member of the report's object.
std::string AsMember(const std::string& json) {
    std::string out;
    for (char c : std::string_view(json).substr(0, json.find_last_not_of('\n') + 1)) {
        out += c;
        if (c == '\n') out += "  ";
    }
    return out;
}

int FirstFailure(std::initializer_list<int> codes) {
    for (int code : codes)
        if (code != kPayloadOk) return code;
    return kPayloadOk;
}

} // namespace

InspectReport InspectInstaller(ByteView file) {
    InspectReport r;
    MemorySource source(file);
    Bytes mapped;
    r.code = ReadPayloadFile(source, r.info, mapped);
    bool located = r.info.section.index >= 0 && r.code != kCodeNoRawData && r.code != kCodeSeek;
    bool headerRead = located && r.code != kCodeMagic && r.info.headerLength > 0;
    Bytes prefix;
    if (located && ReadEnginePrefix(source, r.info, prefix) == kPayloadOk && headerRead)
        r.engineChecksumMatches = CheckEngineChecksum(prefix, r.info) == kPayloadOk;

    // The engine reads the definition next ("null" when the container failed), then checks
    // its engine part as the definition asks, then the data stream.
    Definition definition;
    std::string decoded = DecodedDefinitionJson(r, r.definitionCode, &definition);
    bool definitionRead = r.code == kPayloadOk && r.definitionCode == kPayloadOk;
    int integrityMode = definition.pages.integrityMode;
    if (definitionRead) {
        Bytes checkedPrefix, copy;
        r.engineCode = CheckEnginePart(source, r.info, integrityMode, definition.externalData == 1, {},
                                       checkedPrefix, copy)
                           .code;
    }
    std::string stream =
        definitionRead ? AsMember(DataStreamJson(file, r, definition, r.streamCode)) : "null";
    r.verdict = FirstFailure({r.code, r.definitionCode, r.engineCode, r.streamCode});

    JsonWriter j;
    j.BeginObject();
    j.Key("verdict");
    WriteResult(j, r.verdict);
    j.Key("result");
    WriteResult(j, r.code);
    j.Member("problem", r.code == kPayloadOk ? "" : PayloadCodeText(r.code));
    j.Key("file").BeginObject();
    j.Member("size", r.info.fileSize);
    j.Member("peHeaderOffset", r.info.section.peOffset);
    j.Member("sectionCount", r.info.section.sectionCount);
    // PE32: the 32-bit engine; PE32+: the 64-bit engine.
    j.Member("image", PeImageFormat(source, r.info.section.peOffset));
    j.EndObject();
    j.Key("section");
    if (r.info.section.index >= 0) {
        const SetupSection& s = r.info.section;
        j.BeginObject();
        j.Member("name", kSetupSectionName);
        j.Member("index", s.index);
        j.Member("virtualAddress", Hex32(s.virtualAddress));
        j.Member("virtualSize", s.virtualSize);
        j.Member("rawOffset", s.rawOffset);
        j.Member("rawSize", s.rawSize);
        j.EndObject();
    } else {
        j.Null();
    }
    if (located) {
        WriteHeader(j, r);
        j.Key("definition");
        if (r.code == kPayloadOk || r.code == kCodeDefinitionChecksum) {
            j.BeginObject();
            j.Member("plainSize", r.info.definition.size());
            j.Member("plainChecksum", Hex32(Crc32(r.info.definition)));
            j.EndObject();
        } else {
            j.Null();
        }
    }
    j.Key("decodedDefinition").Raw(decoded);
    if (located) {
        // The engine part's facts always; its result once the definition gave the mode.
        j.Key("engine").BeginObject();
        j.Key("result");
        if (definitionRead)
            WriteResult(j, r.engineCode);
        else
            j.Null();
        j.Member("problem", r.engineCode == kPayloadOk ? "" : PayloadCodeText(r.engineCode));
        j.Key("integrityMode");
        if (definitionRead)
            j.Int(integrityMode);
        else
            j.Null();
        j.Key("signature");
        if (definitionRead && (integrityMode == 2 || integrityMode == 3))
            j.String("not verified (the platform's check)");
        else
            j.Null();
        j.Member("prefixLength", r.info.section.rawOffset);
        j.Member("checksum", Hex32(EngineChecksum(prefix, r.info.section.peOffset)));
        j.Member("checksumMatches", r.engineChecksumMatches);
        j.EndObject();
    }
    j.Key("dataStream").Raw(stream);
    j.EndObject();
    r.json = j.Text();
    return r;
}

} // namespace cs
