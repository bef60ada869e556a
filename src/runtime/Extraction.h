// The engine's extraction: the file data stream located (in the mapped section, or read
// from the file for external data), checked, and decoded chunk by chunk into the extraction
// file; then the file records read back in payload order for the file installation.
// Every damaged part ends the process through the corrupt-installer error (exit code 2).
#pragma once

#include "payload/DataStream.h"
#include "runtime/Payload.h"

namespace cs {

// Inputs: the payload (mapped section, header, key schedule, open file), option word 1
// (bit 0x20: xz per chunk) and the definition's external-data byte. Outputs: the
// extraction file, written and ready to be read from its start, registered for deletion
// at the next restart. The chunks decode on as many threads as the process has processors
// (at most 4). Failure: codes 46, 55, 60 to 63; the fatal messages for an unreadable
// external stream, an extraction file that cannot be made or written.
void ExtractOrExit(EnginePayload& payload, uint32_t optionWord1, bool externalData,
                   const ExtractionSteps& steps = {});

// Inputs: the file index (0 to file count - 1) after ExtractOrExit. Outputs: the record,
// and the extraction file (ExtractionFileHandle) at the first byte of its contents.
// Failure: codes 101, 70, 71, 72, 73.
void NextFileOrExit(EnginePayload& payload, size_t index, FileRecord& record,
                    const std::function<void(int)>& setProgress = {});

void* ExtractionFileHandle(); // HANDLE; nullptr before the extraction
String ExtractionFilePath();
DecodeStats LastExtractionStats();

// Closes and deletes the extraction file (the run's end; the restart registration stays
// for the case that the deletion fails).
void DeleteExtractionFile();

} // namespace cs
