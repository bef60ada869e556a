// Where the builder finds the engine stub when the command line names none.
#pragma once

#include "builder/Project.h"

#include <filesystem>
#include <string>
#include <vector>

namespace cs {

// The places to look, in order, for the stub of `engine`: beside the builder itself (an
// installed or copied pair), then the build tree's Windows folders next to the builder's
// own (build/win32/bin for the 32-bit engine, build/win64/bin for the 64-bit one), so that a
// fresh build finds both engines without options.
std::vector<std::filesystem::path> StubCandidates(const std::filesystem::path& builderFolder,
                                                  EngineKind engine);

// The stub to use: `given` (--stub) when not empty, else `fromEnvironment` ($CORVANTIS_STUB)
// when not empty, else the first candidate that exists. Empty when none exists; `tried` then
// lists the candidates for the error message.
std::string FindStub(const std::string& given, const std::string& fromEnvironment,
                     const std::filesystem::path& builderFolder, EngineKind engine, std::string& tried);

} // namespace cs
