#include "builder/StubSearch.h"

namespace cs {

namespace fs = std::filesystem;

std::vector<fs::path> StubCandidates(const fs::path& builderFolder, EngineKind engine) {
    const char* name = StubFileName(engine);
    // build/host/bin/corvantis-build -> build/
    const fs::path buildTree = builderFolder.parent_path().parent_path();
    const char* windowsFolder = engine == EngineKind::X64 ? "win64" : "win32";
    return {builderFolder / name, buildTree / windowsFolder / "bin" / name};
}

std::string FindStub(const std::string& given, const std::string& fromEnvironment,
                     const fs::path& builderFolder, EngineKind engine, std::string& tried) {
    tried.clear();
    if (!given.empty()) return given;
    if (!fromEnvironment.empty()) return fromEnvironment;
    for (const fs::path& candidate : StubCandidates(builderFolder, engine)) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
        tried += (tried.empty() ? "" : ", ") + candidate.lexically_normal().string();
    }
    return {};
}

} // namespace cs
