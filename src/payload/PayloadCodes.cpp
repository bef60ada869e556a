#include "payload/PayloadCodes.h"

namespace cs {

const char* PayloadCodeText(int code) {
    switch (code) {
    case kPayloadOk:
        return "ok";
    case kNoSetupSection:
        return "no installation data (no .setup section)";
    case kVersionMismatch:
        return "format version mismatch";
    case kCodeNoRawData:
        return "the .setup section has no raw data";
    case kCodeSeek:
        return "the .setup raw data lies beyond the end of the file";
    case kCodeMagic:
        return "bad payload magic or a header cut off";
    case kCodeDefinitionSize:
        return "definition block size out of range or past the section";
    case kCodeDefinitionChecksum:
        return "definition checksum mismatch";
    case kCodeFileCount:
        return "negative file count or a file size table past the section";
    case kCodeFileSize:
        return "file size table entry out of range";
    case kCodeDataStreamSize:
        return "negative data stream size";
    case kCodeEnginePrefix:
        return "the engine prefix cannot be read";
    case kCodeEngineChecksum:
        return "engine checksum mismatch";
    case kCodeEngineTail:
        return "the data after the .setup section cannot be read";
    case kCodePeOffset:
        return "PE header offset outside 64 to 4096";
    case kCodeSectionCount:
        return "section count outside 4 to 99";
    case kCodeDataStreamEnd:
        return "negative data stream end";
    case kCodeDecompress:
        return "the definition block does not decompress";
    default:
        return "corrupt installer";
    }
}

} // namespace cs
