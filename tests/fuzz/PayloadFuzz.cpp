// Outside bytes through the payload reading steps: once as a mapped `.setup` section (header,
// XOR step or Blowfish, xz), once as a whole installer file (PE section table, mapped view,
// engine prefix and uninstaller copy). Every input ends in a result, never a crash; what is
// reported as read must lie inside the input. The definition reader runs over every decoded
// definition and over the raw input itself.
#include "payload/DefinitionReader.h"
#include "payload/PayloadCodes.h"
#include "payload/PayloadReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The definition reader in a neutral environment, silent mode and a product name override
// so that those paths run too; a definition that reads to its end must also print.
void ReadAsDefinition(const uint8_t* data, size_t size, uint32_t payloadFlags) {
    cs::DefinitionEnvironment env;
    env.windowsFolder = u"C:\\Windows";
    env.programFiles32 = u"C:\\Program Files (x86)";
    env.programFiles64 = u"C:\\Program Files";
    env.expandVariables = [](cs::String& text) { text += u"!"; };
    env.checksumTest = [] { return 0; };
    cs::DefinitionState state;
    state.payloadFlags = payloadFlags;
    env.commandLine.silent = size % 2 == 1;
    if (size % 3 == 0) env.commandLine.productName = u"Override";
    int code = cs::ReadDefinition(data, size, env, state);
    if (code == 0) {
        if (state.definition.languages.strings.size() !=
            size_t(state.definition.languages.stringCount) * state.definition.languages.LanguageCount())
            abort();
        cs::DefinitionToJson(state.definition, state.payloadFlags);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cs::ByteView bytes(data, size);
    ReadAsDefinition(data, size, 0x1F000000); // every optional colour field present

    cs::PayloadInfo info;
    int code = cs::ReadPayload(bytes, info);
    if (code == cs::kPayloadOk) {
        if (info.dataStreamOffset > size) abort();
        if (info.header.fileSizes.size() != static_cast<size_t>(info.header.fileCount)) abort();
        cs::DefinitionChecksumMatches(info, info.definition);
        ReadAsDefinition(info.definition.data(), info.definition.size(), info.header.flags);
    }

    cs::MemorySource file(bytes);
    cs::PayloadInfo fromFile;
    cs::Bytes mapped, prefix, copy;
    code = cs::ReadPayloadFile(file, fromFile, mapped);
    if (fromFile.section.index >= 0 && code != cs::kCodeSeek && code != cs::kCodeNoRawData) {
        if (fromFile.section.rawOffset > size) abort();
        if (cs::ReadEnginePrefix(file, fromFile, prefix) == cs::kPayloadOk) {
            cs::CheckEngineChecksum(prefix, fromFile);
            cs::MakeEngineCopy(file, prefix, fromFile, copy);
        }
    }
    return 0;
}
