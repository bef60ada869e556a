// The decoded definition for "inspect": the engine's own reader over the plain definition.
#include "builder/Inspect.h"
#include "builder/Json.h"
#include "builder/Project.h"
#include "builder/ProjectOptions.h"
#include "core/Text.h"
#include "payload/DataStream.h"
#include "payload/DefinitionReader.h"
#include "payload/PayloadCodes.h"

namespace cs {

std::string DecodedDefinitionJson(const InspectReport& report, int& code, Definition* decoded) {
    code = 0;
    if (report.code != 0) return "null";
    DefinitionEnvironment env; // a neutral system: 32-bit folders of a default Windows
    env.newerThanServer2003 = true;
    env.windowsFolder = u"C:\\Windows";
    env.programFiles32 = u"C:\\Program Files (x86)";
    env.programFiles64 = u"C:\\Program Files";
    env.desktopAllUsers = u"C:\\Users\\Public\\Desktop";
    env.desktopUser = u"C:\\Users\\User\\Desktop";
    DefinitionState state;
    state.payloadFlags = report.info.header.flags;
    const Bytes& plain = report.info.definition;
    code = ReadDefinition(plain.data(), plain.size(), env, state);
    if (decoded) *decoded = state.definition;
    // Laid out for its place as a member of inspect's top-level object.
    std::string fields = DefinitionToJson(state.definition, state.payloadFlags, 4);
    while (!fields.empty() && fields.back() == '\n')
        fields.pop_back();
    std::string json = "{\n    \"result\": ";
    json += code == 0 ? std::string("\"ok\"") : std::to_string(code);
    json += ",\n    \"problem\": " + JsonWriter::Quote(code == 0 ? "" : DefinitionCodeText(code));
    // The named options whose bits are set, as the project file names them.
    json += ",\n    \"options\": [";
    const uint32_t words[3] = {state.definition.optionWord1, state.definition.optionWord2,
                               state.payloadFlags};
    bool first = true;
    for (const NamedOption* o = kNamedOptions; o->name; ++o) {
        if (!(words[int(o->word)] & o->bit)) continue;
        json += std::string(first ? "" : ", ") + "\"" + o->name + "\"";
        first = false;
    }
    json += "]";
    json += ",\n    \"fields\": " + fields + "\n  }";
    return json;
}

int CheckInstallerStream(ByteView file, const InspectReport& report, const Definition& definition,
                         DataStreamCheck& check) {
    MemorySource source(file);
    Bytes mapped;
    ReadMappedSection(source, report.info.section, mapped);
    return CheckDataStream(source, report.info, mapped, definition.optionWord1, definition.externalData == 1,
                           check);
}

std::string DataStreamJson(ByteView file, const InspectReport& report, const Definition& definition,
                           int& code) {
    DataStreamCheck check;
    code = CheckInstallerStream(file, report, definition, check);
    JsonWriter j;
    j.BeginObject();
    j.Key("result");
    if (code == 0)
        j.String("ok");
    else
        j.Int(code);
    const char* problem = DataStreamCodeText(code);
    j.Member("problem", code == 0 ? "" : problem ? problem : PayloadCodeText(code));
    j.Member("external", check.placement.external);
    j.Member("offset", check.placement.offset);
    j.Member("length", check.placement.length);
    j.Member("compressed", (definition.optionWord1 & kOpt1CompressedData) != 0);
    j.Member("encrypted", (report.info.header.flags & kFlagBlowfish) != 0);
    j.Member("chunks", check.stats.chunks);
    j.Member("decodedSize", check.stats.decodedBytes);
    j.Member("largestChunk", check.stats.largestDecodedChunk);
    j.Key("files").BeginArray();
    for (const FileRecord& f : check.files) {
        j.BeginObject();
        String8 name = ToUtf8(f.name), destination = ToUtf8(f.destination);
        j.Member("name", std::string(name.c_str(), name.Length()));
        j.Member("destination", std::string(destination.c_str(), destination.Length()));
        j.Member("size", f.size);
        j.Member("kind", f.kind);
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    return j.Text();
}

} // namespace cs
