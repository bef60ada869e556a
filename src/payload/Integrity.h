// Integrity modes 2 and 3: the outcome of the platform's trust verification mapped to a
// result number, and the result number to a corrupt-installer code.
//
// Result numbers:
//   0  signature valid and trusted
//   1  no signature (or a file form that cannot carry one)
//   2  signer explicitly distrusted          3  root certificate not trusted
//   4  certificate expired                   5  validity periods not nested
//   6  revocation check failed               7  no revocation check possible
//   8  revocation server offline             9  certificate not valid for this use
//  10  certificate name mismatch            11  certificate purpose mismatch
//  12  file changed since signing (bad digest)
//  13  chain not built to a trusted root    14  certificate revoked
//  15  certificate signature not valid      16  subject not trusted
//  17  verification not available (unknown provider or action)
//  18  the file could not be verified at all (cannot be opened, any other outcome)
#pragma once

#include <cstdint>

namespace cs {

constexpr uint32_t kTrustUntrustedRootChain = 0x800B010A;

// The result number of a verification outcome (an HRESULT; 0 is success).
int TrustResultNumber(uint32_t outcome);

// Mode 2: 0 when the number passes, else 1000 + number; a failing number still passes when
// the outcome is a chain that ends in an untrusted root. Mode 3: 1100 for 18, 1101 for 1,
// 1102 for 12, else 0. Other modes: 0.
int TrustIntegrityCode(int mode, int resultNumber, uint32_t outcome);

} // namespace cs
