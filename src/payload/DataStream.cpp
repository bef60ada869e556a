#include "payload/DataStream.h"

#include "core/Fatal.h"
#include "payload/ChunkDecoding.h"
#include "payload/ChunkEncoding.h"
#include "payload/Crc32.h"
#include "payload/DefinitionStream.h"
#include "payload/PayloadCodes.h"
#include "payload/PayloadReader.h"
#include "payload/Xz.h"

#include <algorithm>
#include <cstring>

namespace cs {

const char* DataStreamCodeText(int code) {
    switch (code) {
    case kCodeStreamLength:
        return "the file data stream has not the announced size";
    case kCodeStreamChecksum:
        return "file data stream checksum mismatch";
    case kCodeChunkDecompress:
        return "a data chunk does not decode";
    case kCodeChunkLength:
        return "a data chunk's stored length is below 1";
    case kCodeChunkChecksum:
        return "a data chunk's checksum differs";
    case kCodeChunkOverrun:
        return "a data chunk's stored length exceeds the rest of the stream";
    case kCodeRecordName:
        return "a file record without a name";
    case kCodeSizeNegative:
        return "a file size table entry is negative";
    case kCodeSizeTooLarge:
        return "a file size table entry is above 0x73333333";
    case kCodeSizeMismatch:
        return "a file size table entry differs from its record";
    case kCodeRecordMagic:
        return "a file record without its magic, or cut off";
    default:
        return nullptr;
    }
}

// ---- Writing ----

bool AppendFileRecord(Bytes& out, const FileRecord& r) {
    ByteWriter w;
    w.U32(kFileRecordMagic);
    w.I32(r.kind);
    w.U32(r.flags);
    w.U32(r.attributes);
    w.I32(r.size);
    w.Date(r.date);
    w.U32(r.msiValue);
    for (const String* text : {&r.name, &r.title, &r.destination, &r.icon, &r.arguments, &r.extra})
        if (!w.Text(*text)) return false;
    const std::string& bytes = w.Data();
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

bool AppendChunk(Bytes& stream, ByteView decoded, const ChunkOptions& options, std::string& error,
                 XzEncoder* xz) {
    Bytes packed;
    ByteView stored = decoded;
    if (options.compress) {
        if (!(xz ? xz->Encode(decoded, packed) : XzEncode(decoded, packed, options.xzPreset))) {
            error = "xz compression of the file data failed";
            return false;
        }
        stored = packed;
    }
    Bytes sealed;
    if (options.cipher) {
        sealed = BlowfishSeal(*options.cipher, stored);
        stored = sealed;
    }
    if (stored.empty() || stored.size() > 0x7FFFFFFF) {
        error = "a data chunk must hold 1 to 0x7FFFFFFF stored bytes";
        return false;
    }
    AppendLE32(stream, static_cast<uint32_t>(stored.size()));
    AppendLE32(stream, Crc32(stored));
    Append(stream, stored);
    return true;
}

ChunkWriter::ChunkWriter(Bytes& stream, const ChunkOptions& options)
    : options_(options), encoder_(std::make_unique<ChunkEncoder>(stream, options)) {
    if (options_.chunkSize == 0) options_.chunkSize = kDefaultChunkSize;
}

ChunkWriter::~ChunkWriter() = default;

bool ChunkWriter::Emit(ByteView decoded, std::string& error) {
    ++chunks_;
    return encoder_->Submit(decoded, error);
}

bool ChunkWriter::Add(ByteView decoded, std::string& error) {
    const size_t chunk = options_.chunkSize;
    // Fill the pending chunk first; whole chunks of the input then go out without a copy.
    if (!pending_.empty()) {
        size_t take = std::min(chunk - pending_.size(), decoded.size());
        pending_.insert(pending_.end(), decoded.begin(), decoded.begin() + static_cast<ptrdiff_t>(take));
        decoded = decoded.subspan(take);
        if (pending_.size() < chunk) return true;
        if (!Emit(pending_, error)) return false;
        pending_.clear();
    }
    while (decoded.size() >= chunk) {
        if (!Emit(decoded.first(chunk), error)) return false;
        decoded = decoded.subspan(chunk);
    }
    pending_.assign(decoded.begin(), decoded.end());
    return true;
}

bool ChunkWriter::Finish(std::string& error) {
    bool ok = pending_.empty() || Emit(pending_, error);
    pending_.clear();
    return ok && encoder_->Drain(error);
}

// ---- Reading ----

int PlaceDataStream(uint64_t dataStreamOffset, const PayloadHeader& header, uint64_t mappedLength,
                    bool external, uint32_t sectionRawOffset, uint64_t fileSize, StreamPlacement& out) {
    out = StreamPlacement();
    out.external = external;
    if (external) {
        out.offset = uint64_t{sectionRawOffset} + dataStreamOffset;
        out.length = static_cast<int64_t>(fileSize) - static_cast<int64_t>(out.offset);
    } else {
        out.offset = dataStreamOffset;
        out.length = int64_t{header.dataStreamEnd} - static_cast<int64_t>(dataStreamOffset);
        // The mapped stream is read in place: one that would run past the section is not
        // the stream the header announces.
        if (out.length > 0 && static_cast<uint64_t>(header.dataStreamEnd) > mappedLength)
            return kCodeStreamLength;
    }
    return out.length == header.dataStreamSize ? kPayloadOk : kCodeStreamLength;
}

int DecodeProgress(uint64_t consumed, int64_t total) {
    if (total <= 0) return kProgressDecodeStart + kProgressDecodeSpan;
    return kProgressDecodeStart +
           static_cast<int>(static_cast<int64_t>(consumed) * kProgressDecodeSpan / total);
}

namespace {

constexpr size_t kChecksumPiece = 1 << 20;

} // namespace

int ExtractDataStream(const ByteSource& source, uint64_t offset, uint64_t length, const PayloadHeader& header,
                      uint32_t optionWord1, const Blowfish& cipher, ExtractionSink& sink,
                      const ExtractionSteps& steps, DecodeStats* stats, ReadFailure* readFailure) {
    auto status = [&](int number) {
        if (steps.showStatus) steps.showStatus(number);
    };
    auto progress = [&](int figure) {
        if (steps.setProgress) steps.setProgress(figure);
    };
    auto wait = [&] {
        if (steps.waitStatusTime) steps.waitStatusTime();
    };
    wait();
    status(kStatusCheckingData);
    progress(kProgressLengthChecked);
    // One checksum pass over the whole stream, in pieces, before anything is decoded.
    uint32_t crc = 0;
    {
        Bytes piece(static_cast<size_t>(std::min<uint64_t>(length, kChecksumPiece)));
        for (uint64_t at = 0; at < length; at += piece.size()) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(length - at, piece.size()));
            if (!ReadStreamPiece(source, offset + at, piece.data(), n, readFailure))
                return kExtractionReadFailed;
            crc = Crc32Update(crc, piece.data(), n);
        }
    }
    if (crc != header.dataStreamChecksum) return kCodeStreamChecksum;
    wait();
    progress(kProgressChecksumChecked);
    if (steps.runDeletionList) steps.runDeletionList();
    progress(kProgressDeletionsDone);
    status(kStatusDeletingFiles);
    if (steps.createTarget && !steps.createTarget()) return kExtractionCreateFailed;
    int code = DecodeChunks(source, offset, length, (header.flags & kFlagBlowfish) != 0,
                            (optionWord1 & kOpt1CompressedData) != 0, cipher, sink, header.dataStreamSize,
                            steps.setProgress, stats, readFailure, steps.decodeThreads);
    if (code != kPayloadOk) return code;
    status(kStatusExtracted);
    return kPayloadOk;
}

int ExtractDataStream(ByteView stream, const PayloadHeader& header, uint32_t optionWord1,
                      const Blowfish& cipher, ExtractionSink& sink, const ExtractionSteps& steps,
                      DecodeStats* stats) {
    MemorySource source(stream);
    return ExtractDataStream(source, 0, stream.size(), header, optionWord1, cipher, sink, steps, stats);
}

bool MemoryExtractionSource::Seek(uint64_t position) {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
}

bool MemoryExtractionSource::Read(void* buffer, size_t size) {
    if (size > bytes_.size() - position_) return false;
    if (size) std::memcpy(buffer, bytes_.data() + position_, size);
    position_ += size;
    return true;
}

namespace {

// One variable-length text read from the source; false when it is cut off or longer than
// the text type allows. `position` follows the reads.
bool ReadText(ExtractionSource& source, uint64_t& position, uint64_t end, String& text) {
    uint8_t first = 0;
    if (!source.Read(&first, 1)) return false;
    position += 1;
    uint64_t length = first;
    if (first == 0xFF) {
        uint8_t b[4];
        if (!source.Read(b, 2)) return false;
        position += 2;
        if (b[0] == 0xFF) {
            // 0xFF 0xFF and a 32-bit length: the second 0xFF is b[0], the length starts at b[1].
            if (!source.Read(b + 2, 2)) return false;
            uint8_t last = 0;
            if (!source.Read(&last, 1)) return false;
            position += 3;
            length = uint32_t(b[1]) | uint32_t(b[2]) << 8 | uint32_t(b[3]) << 16 | uint32_t(last) << 24;
        } else {
            length = LoadLE16(b);
        }
    }
    if (length > kMaxTextLength || length > end - std::min(end, position)) return false;
    std::u16string chars(static_cast<size_t>(length / 2), u'\0');
    if (length && !source.Read(chars.data(), chars.size() * 2)) return false;
    if (length % 2) {
        uint8_t odd;
        if (!source.Read(&odd, 1)) return false;
    }
    position += length;
    text = String(chars.data(), chars.size());
    return true;
}

} // namespace

int FileRecordReader::Next(size_t index, FileRecord& record, const std::function<void(int)>& setProgress) {
    CS_CHECK(index < sizes_.size());
    if (setProgress)
        setProgress(kProgressFilesStart +
                    static_cast<int>(static_cast<uint64_t>(index) * kProgressFilesSpan / sizes_.size()));
    record = FileRecord();
    uint64_t end = source_.Size();
    uint8_t fixed[kFileRecordFixedBytes];
    if (!source_.Seek(next_) || !source_.Read(fixed, sizeof fixed)) return kCodeRecordMagic;
    if (LoadLE32(fixed) != kFileRecordMagic) return kCodeRecordMagic;
    record.kind = static_cast<int32_t>(LoadLE32(fixed + 4));
    record.flags = LoadLE32(fixed + 8);
    record.attributes = LoadLE32(fixed + 12);
    record.size = static_cast<int32_t>(LoadLE32(fixed + 16));
    int32_t* date[] = {&record.date.year, &record.date.month,  &record.date.day,
                       &record.date.hour, &record.date.minute, &record.date.second};
    for (size_t i = 0; i < 6; ++i)
        *date[i] = static_cast<int32_t>(LoadLE32(fixed + 20 + 4 * i));
    record.msiValue = LoadLE32(fixed + 44);
    uint64_t position = next_ + kFileRecordFixedBytes;
    for (String* text :
         {&record.name, &record.title, &record.destination, &record.icon, &record.arguments, &record.extra})
        if (!ReadText(source_, position, end, *text)) return kCodeRecordMagic;
    if (record.name.IsEmpty()) return kCodeRecordName;
    int32_t tableSize = sizes_[index];
    if (tableSize < 0) return kCodeSizeNegative;
    if (tableSize > kMaxFileSize) return kCodeSizeTooLarge;
    if (tableSize != record.size) return kCodeSizeMismatch;
    // Contents that run past the decoded stream would install a cut-off file.
    if (uint64_t(tableSize) > end - position) return kCodeRecordMagic;
    contents_ = position;
    next_ = position + uint64_t(tableSize);
    return kPayloadOk;
}

int CheckDataStream(const ByteSource& file, const PayloadInfo& info, ByteView mapped, uint32_t optionWord1,
                    bool external, DataStreamCheck& out) {
    out = DataStreamCheck();
    int code = PlaceDataStream(info.dataStreamOffset, info.header, mapped.size(), external,
                               info.section.rawOffset, info.fileSize, out.placement);
    if (code != kPayloadOk) return code;
    Bytes read;
    ByteView stream;
    if (external) {
        read.resize(static_cast<size_t>(out.placement.length));
        if (!file.ReadAt(out.placement.offset, read.data(), read.size())) return kCodeStreamLength;
        stream = read;
    } else {
        stream = mapped.subspan(static_cast<size_t>(out.placement.offset),
                                static_cast<size_t>(out.placement.length));
    }
    MemorySink decoded;
    code = ExtractDataStream(stream, info.header, optionWord1, info.cipher, decoded, {}, &out.stats);
    if (code != kPayloadOk) return code;
    MemoryExtractionSource source(decoded.bytes);
    FileRecordReader records(source, info.header.fileSizes);
    for (size_t i = 0; i < info.header.fileSizes.size(); ++i) {
        FileRecord record;
        code = records.Next(i, record);
        if (code != kPayloadOk) return code;
        out.files.push_back(std::move(record));
        out.contents.push_back(records.ContentsOffset());
    }
    out.decoded = std::move(decoded.bytes);
    return kPayloadOk;
}

} // namespace cs
