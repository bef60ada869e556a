// The steps from the bytes of an installer to its plain definition, shared by the engine
// (reading its mapped section and its own file) and the builder's inspection (reading a
// file into memory). Each step returns kPayloadOk or the outcome the engine reports.
#pragma once

#include "payload/Blowfish.h"
#include "payload/ByteSource.h"
#include "payload/PayloadHeader.h"
#include "payload/PeImage.h"

#include <functional>

namespace cs {

// What the payload steps hand on to the definition reader, the data stream and the
// uninstaller copy.
struct PayloadInfo {
    uint64_t fileSize = 0;
    SetupSection section;
    PayloadHeader header;
    size_t headerLength = 0;     // offset of the definition block from the payload start
    size_t dataStreamOffset = 0; // header length + definition block size
    Blowfish cipher;             // key schedule of the cipher key (flag 0x1000)
    Bytes definition;            // the plain definition
};

// Inputs: the mapped section. Outputs: header, key schedule, plain definition.
// Returns kPayloadOk or the first failed rule (header codes, kCodeDecompress). The
// definition checksum is not tested here: the definition reader tests it after its first
// fields through DefinitionChecksumMatches.
int ReadPayload(ByteView payload, PayloadInfo& info);

// The stored definition block to the plain definition: XOR step with the definition
// checksum (or Blowfish with its length trailer when flag 0x1000 is set), then xz.
// kPayloadOk or kCodeDecompress.
int DecodeDefinitionBlock(ByteView stored, const PayloadHeader& header, const Blowfish& cipher, Bytes& plain);

// The definition checksum test: CRC-32 of the whole plain definition against header field 5.
// A false result is the corrupt-installer code kCodeDefinitionChecksum.
bool DefinitionChecksumMatches(const PayloadInfo& info, ByteView plainDefinition);

// Everything above from the file's bytes, for the builder's inspection and the tests: the
// section located as the engine does, its mapped view read from the file, the header and
// block decoded, and the checksum of the whole plain definition tested (the engine does
// that inside the definition reader). `mapped` receives the section view.
int ReadPayloadFile(const ByteSource& file, PayloadInfo& info, Bytes& mapped);

// The engine prefix (offset 0 to the `.setup` raw data); kCodeEnginePrefix when unreadable.
int ReadEnginePrefix(const ByteSource& file, const PayloadInfo& info, Bytes& prefix);
// Integrity mode 1: kPayloadOk or kCodeEngineChecksum.
int CheckEngineChecksum(ByteView enginePrefix, const PayloadInfo& info);

// The outcome of the engine part's checks: kPayloadOk or the code, and whether the system's
// last error belongs to the report (it does for the reads and a mode 2 signature).
struct EngineCheck {
    int code = 0;
    bool withSystemError = false;
};

// Verifies the installer's digital signature for integrity mode 2 or 3 (the mode is passed);
// returns 0 or the mode's code. Only the platform can verify a signature.
using SignatureCheck = std::function<int(int mode)>;

// The checks of the engine part once the definition gives its integrity mode and
// external-data byte, in the engine's order: the engine prefix read (kCodeEnginePrefix); in
// integrity mode 1 the engine checksum (kCodeEngineChecksum); in modes 2 and 3 the signature
// through `verifySignature` (skipped when it is empty); with payload flag 0x20 the engine
// copy (kCodeEngineTail). The engine and the builder's inspection both run it, so that they
// pass and fail the same installers. Outputs: the prefix, and the copy for flag 0x20.
EngineCheck CheckEnginePart(const ByteSource& file, const PayloadInfo& info, int integrityMode,
                            bool externalData, const SignatureCheck& verifySignature, Bytes& prefix,
                            Bytes& copy);

// The uninstaller's executable for payload flag 0x20: the engine prefix with the bytes that
// follow the section's raw data, the section removed. With external data those bytes are
// the rest of the file data stream and stay out of the copy. kPayloadOk or kCodeEngineTail.
int MakeEngineCopy(const ByteSource& file, ByteView enginePrefix, const PayloadInfo& info, Bytes& copy,
                   bool externalData = false);

} // namespace cs
