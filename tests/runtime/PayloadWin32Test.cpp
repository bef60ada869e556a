// The Windows side of the payload: the platform's trust verification and its codes.
#include "payload/Integrity.h"
#include "runtime/Payload.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace cs;

namespace {
String OwnPath() {
    wchar_t path[1024] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, 1023);
    return String(reinterpret_cast<const char16_t*>(path), n);
}
} // namespace

TEST(VerifyFileTrust, UnsignedFileHasNoSignature) {
    uint32_t outcome = VerifyFileTrust(OwnPath());
    EXPECT_EQ(outcome, 0x800B0100u);
    int n = TrustResultNumber(outcome);
    EXPECT_EQ(TrustIntegrityCode(2, n, outcome), 1001);
    EXPECT_EQ(TrustIntegrityCode(3, n, outcome), 1101);
}

TEST(VerifyFileTrust, MissingFileFailsBothModes) {
    uint32_t outcome = VerifyFileTrust(OwnPath() + u".missing");
    EXPECT_NE(outcome, 0u);
    int n = TrustResultNumber(outcome);
    EXPECT_NE(TrustIntegrityCode(2, n, outcome), 0) << std::hex << outcome;
    EXPECT_NE(TrustIntegrityCode(3, n, outcome), 0) << std::hex << outcome;
}
