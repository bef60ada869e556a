// The engine's own payload: its file opened, the `.setup` section found, the header read and
// the definition block decoded; later the engine prefix checks and the uninstaller copy.
// Every step ends the process through the corrupt-installer error (or the fatal path for
// the outcomes that have their own message) when its rule is violated.
#pragma once

#include "core/String.h"
#include "payload/PayloadReader.h"

namespace cs {

struct EnginePayload {
    String path;          // full path of the running module
    void* file = nullptr; // the open file (HANDLE), kept for the data stream and the copy
    PayloadInfo info;
    ByteView mapped;    // the `.setup` section as the loader mapped it (the part read)
    Bytes enginePrefix; // file offset 0 up to the `.setup` raw data
    Bytes engineCopy;   // the uninstaller's executable when payload flag 0x20 is set
};

// The process-wide payload record.
EnginePayload& ThePayload();

// Inputs: the running module. Outputs: payload.path, payload.file, info.fileSize.
// Failure: fatal "Error code 1: The installer could not open itself."
void OpenOwnFileOrExit(EnginePayload& payload);

// Inputs: payload.file. Outputs: info.section. Failure: codes 43, 44, 9, 10 or the
// no-installation-data message.
void LocatePayloadOrExit(EnginePayload& payload);

// Inputs: info.section and the mapped image. Outputs: info.header, info.cipher,
// info.definition, info.dataStreamOffset. Failure: the header codes, the version message, 47.
void ReadDefinitionBlockOrExit(EnginePayload& payload);

// The definition checksum test, for the definition reader after its first fields.
// Failure: code 25.
void CheckDefinitionChecksumOrExit(const EnginePayload& payload, ByteView plainDefinition);

// Inputs: the integrity mode and the external-data byte of the definition. Outputs:
// payload.enginePrefix, and payload.engineCopy when flag 0x20 is set.
// Failure: 35, 40, 1000 + n, 1100 to 1102, 42.
void CheckEngineOrExit(EnginePayload& payload, int integrityMode, bool externalData);

// The platform's trust verification of a file (generic verification action, no user
// interface, no revocation check): 0 when the signature is valid, else the HRESULT.
uint32_t VerifyFileTrust(const String& path);

// The first three steps, in order.
EnginePayload& ReadPayloadOrExit();

} // namespace cs
