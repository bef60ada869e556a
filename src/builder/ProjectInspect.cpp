// The decoded definition for "inspect": the engine's own reader over the plain definition.
#include "builder/Inspect.h"
#include "builder/Json.h"
#include "builder/Project.h"
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
    JsonWriter j;
    j.BeginObject();
    j.Key("result");
    if (code == 0)
        j.String("ok");
    else
        j.Int(code);
    j.Member("problem", code == 0 ? "" : DefinitionCodeText(code));
    std::string fields = DefinitionToJson(state.definition, state.payloadFlags);
    while (!fields.empty() && fields.back() == '\n')
        fields.pop_back();
    j.Key("fields").Raw(fields);
    j.EndObject();
    return j.Text();
}

} // namespace cs
