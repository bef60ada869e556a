#include "payload/Integrity.h"

namespace cs {

int TrustResultNumber(uint32_t outcome) {
    switch (outcome) {
    case 0:
        return 0;
    case 0x800B0100: // TRUST_E_NOSIGNATURE
    case 0x800B0003: // TRUST_E_SUBJECT_FORM_UNKNOWN
        return 1;
    case 0x800B0111:
        return 2; // TRUST_E_EXPLICIT_DISTRUST
    case 0x800B0109:
        return 3; // CERT_E_UNTRUSTEDROOT
    case 0x800B0101:
        return 4; // CERT_E_EXPIRED
    case 0x800B0102:
        return 5; // CERT_E_VALIDITYPERIODNESTING
    case 0x800B010E:
        return 6; // CERT_E_REVOCATION_FAILURE
    case 0x80092012:
        return 7; // CRYPT_E_NO_REVOCATION_CHECK
    case 0x80092013:
        return 8; // CRYPT_E_REVOCATION_OFFLINE
    case 0x800B0110:
        return 9; // CERT_E_WRONG_USAGE
    case 0x800B010F:
        return 10; // CERT_E_CN_NO_MATCH
    case 0x800B0106:
        return 11; // CERT_E_PURPOSE
    case 0x80096010:
        return 12; // TRUST_E_BAD_DIGEST
    case 0x800B010A:
        return 13; // CERT_E_CHAINING
    case 0x800B010C:
        return 14; // CERT_E_REVOKED
    case 0x80096004:
        return 15; // TRUST_E_CERT_SIGNATURE
    case 0x800B0004:
        return 16;   // TRUST_E_SUBJECT_NOT_TRUSTED
    case 0x800B0001: // TRUST_E_PROVIDER_UNKNOWN
    case 0x800B0002: // TRUST_E_ACTION_UNKNOWN
        return 17;
    default:
        return 18;
    }
}

int TrustIntegrityCode(int mode, int n, uint32_t outcome) {
    if (mode == 2) {
        bool passes = n == 0 || (n >= 4 && n <= 11) || n == 13 || n == 17;
        if (passes || outcome == kTrustUntrustedRootChain) return 0;
        return 1000 + n;
    }
    if (mode == 3) {
        if (n == 18) return 1100;
        if (n == 1) return 1101;
        if (n == 12) return 1102;
    }
    return 0;
}

} // namespace cs
