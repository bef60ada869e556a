// `corvantis-build inspect`: what an installer holds and what the engine's own checks say
// about it, as JSON. The checks are the engine's reading code, run over the file's bytes in
// the engine's order: the container, the definition, the engine part, the file data stream.
#pragma once

#include "payload/Bytes.h"
#include "payload/PayloadReader.h"

#include <string>

namespace cs {

struct InspectReport {
    int code = 0; // the container: kPayloadOk, a corrupt-installer code, kNoSetupSection or kVersionMismatch
    PayloadInfo info;
    bool engineChecksumMatches = false;
    // The later checks, each kPayloadOk while it was not reached or passed.
    int definitionCode = 0; // the definition reader
    int engineCode = 0;     // the engine part: prefix, integrity mode 1 checksum, engine copy
    int streamCode = 0;     // the file data stream and its records
    // The engine's verdict: the first of the codes above that is not kPayloadOk, in the
    // engine's order, else kPayloadOk. (A digital signature, integrity modes 2 and 3, is the
    // platform's to verify: inspect does not.)
    int verdict = 0;
    std::string json;
};

InspectReport InspectInstaller(ByteView file);

} // namespace cs
