// Outcomes of reading the payload: 0 for success, the corrupt-installer codes, and the two
// outcomes that are reported by their own messages instead of a code.
#pragma once

namespace cs {

constexpr int kPayloadOk = 0;
constexpr int kNoSetupSection = -1;  // "There is no installation data present." (fatal)
constexpr int kVersionMismatch = -2; // format version other than "51.0" (fatal)

constexpr int kCodeNoRawData = 9;           // `.setup` raw offset 0
constexpr int kCodeSeek = 10;               // raw offset beyond the end of the file
constexpr int kCodeMagic = 20;              // bad magic, or a header that does not fit
constexpr int kCodeDefinitionSize = 22;     // definition block size, or a block past the section
constexpr int kCodeDefinitionChecksum = 25; // plain definition's CRC-32 differs from field 5
constexpr int kCodeFileCount = 27;          // negative file count, or a table past the section
constexpr int kCodeFileSize = 28;           // file size table entry outside 0 to 0x73333333
constexpr int kCodeDataStreamSize = 29;     // negative data stream size
constexpr int kCodeEnginePrefix = 35;       // reading the engine prefix fails
constexpr int kCodeEngineChecksum = 40;     // integrity mode 1 mismatch
constexpr int kCodeEngineTail = 42;         // reading the data after `.setup` fails
constexpr int kCodePeOffset = 43;           // PE header offset outside 64 to 4096
constexpr int kCodeSectionCount = 44;       // section count outside 4 to 99
constexpr int kCodeDataStreamEnd = 45;      // negative data stream end
constexpr int kCodeDecompress = 47;         // definition block does not decompress

// A short description of an outcome for reports ("bad payload magic", ...).
const char* PayloadCodeText(int code);

} // namespace cs
