// `corvantis-build inspect`: what an installer holds and what the engine's own checks say
// about it, as JSON. The checks are the engine's reading code, run over the file's bytes.
#pragma once

#include "payload/Bytes.h"
#include "payload/PayloadReader.h"

#include <string>

namespace cs {

struct InspectReport {
    int code = 0; // kPayloadOk, a corrupt-installer code, kNoSetupSection or kVersionMismatch
    PayloadInfo info;
    bool engineChecksumMatches = false;
    std::string json;
};

InspectReport InspectInstaller(ByteView file);

} // namespace cs
