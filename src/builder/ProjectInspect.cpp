// The decoded definition for "inspect": the engine's own reader over the plain definition.
#include "builder/Inspect.h"
#include "builder/Json.h"
#include "builder/Project.h"
#include "builder/ProjectOptions.h"
#include "payload/DefinitionReader.h"

namespace cs {

std::string DecodedDefinitionJson(const InspectReport& report, int& code) {
    code = 0;
    if (report.code != 0) return "null";
    DefinitionEnvironment env; // a neutral system: 32-bit folders of a default Windows
    env.newerThanServer2003 = true;
    env.windowsFolder = u"C:\\Windows";
    env.programFiles32 = u"C:\\Program Files (x86)";
    env.programFiles64 = u"C:\\Program Files";
    env.desktopAllUsers = u"C:\\Users\\Public\\Desktop";
    env.desktopUser = u"C:\\Users\\User\\Desktop";
    InstallerState state;
    state.payloadFlags = report.info.header.flags;
    const Bytes& plain = report.info.definition;
    code = ReadDefinition(plain.data(), plain.size(), env, state);
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

} // namespace cs
