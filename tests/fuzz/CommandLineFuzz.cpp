// Any UTF-16 command line either parses or is rejected with a reason; never a crash.
#include "runtime/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cs::String line(reinterpret_cast<const char16_t*>(data), size / 2);
    cs::CommandLine parsed;
    cs::String reason;
    bool ok = cs::ParseCommandLine(line, parsed, reason);
    if (!ok && reason.IsEmpty()) abort(); // a rejection always carries its reason
    return 0;
}
