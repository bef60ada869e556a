#include "payload/Extraction.h"

#include "core/Fatal.h"
#include "core/TempFile.h"
#include "payload/CorruptInstaller.h"
#include "payload/PayloadCodes.h"

#include <windows.h>

#include <memory>

namespace cs {

namespace {

const wchar_t* W(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

struct ExtractionState {
    String path;
    HANDLE file = INVALID_HANDLE_VALUE;
    DecodeStats stats;
    std::unique_ptr<ExtractionSource> source;
    std::unique_ptr<FileRecordReader> records;
};

ExtractionState& State() {
    static ExtractionState state;
    return state;
}

// Decoded chunks go straight to the file (opened by the extraction's creation step).
class FileSink final : public ExtractionSink {
  public:
    explicit FileSink(const HANDLE& file) : file_(file) {}
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD want = size > 0x1000000 ? 0x1000000 : static_cast<DWORD>(size), done = 0;
            if (!WriteFile(file_, data, want, &done, nullptr)) return false;
            if (done == 0) {
                SetLastError(ERROR_WRITE_FAULT);
                return false;
            }
            data += done;
            size -= done;
        }
        return true;
    }

  private:
    const HANDLE& file_;
};

class FileSource final : public ExtractionSource {
  public:
    explicit FileSource(HANDLE file) : file_(file) {}
    uint64_t Size() override {
        LARGE_INTEGER size;
        return GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    }
    bool Seek(uint64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position);
        return SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) != 0;
    }
    bool Read(void* buffer, size_t size) override {
        auto* out = static_cast<uint8_t*>(buffer);
        while (size > 0) {
            DWORD want = size > 0x1000000 ? 0x1000000 : static_cast<DWORD>(size), got = 0;
            if (!ReadFile(file_, out, want, &got, nullptr) || got == 0) return false;
            out += got;
            size -= got;
        }
        return true;
    }

  private:
    HANDLE file_;
};

String SystemText(DWORD error) {
    return DefaultCorruptInstallerPlatform().systemErrorText(error);
}

// External data: the stream is the rest of the installer's file, read with one read.
Bytes ReadExternalStream(const EnginePayload& payload, const StreamPlacement& where) {
    Bytes buffer(static_cast<size_t>(where.length));
    HANDLE file = static_cast<HANDLE>(payload.file);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(where.offset);
    DWORD got = 0;
    bool ok =
        SetFilePointerEx(file, to, nullptr, FILE_BEGIN) &&
        (buffer.empty() || ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) &&
        got == buffer.size();
    if (!ok)
        FatalError(u"Error code 2: failed to read archive data\r\nsize=%d pos=%d",
                   static_cast<int>(where.length), static_cast<int>(where.offset));
    return buffer;
}

bool CreateExtractionFile(ExtractionState& state) {
    state.path = MakeTempFileName();
    if (state.path.IsEmpty()) return false;
    state.file = CreateFileW(W(state.path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (state.file == INVALID_HANDLE_VALUE) return false;
    // Removed at the next restart even when the run does not reach its end.
    DWORD error = GetLastError();
    MoveFileExW(W(state.path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    SetLastError(error);
    return true;
}

} // namespace

void ExtractOrExit(EnginePayload& payload, uint32_t optionWord1, bool externalData,
                   const ExtractionSteps& steps) {
    const PayloadInfo& info = payload.info;
    StreamPlacement where;
    int code = PlaceDataStream(info.dataStreamOffset, info.header, payload.mapped.size(), externalData,
                               info.section.rawOffset, info.fileSize, where);
    if (code != kPayloadOk) CorruptInstaller(code);
    Bytes external;
    ByteView stream;
    if (externalData) {
        external = ReadExternalStream(payload, where);
        stream = external;
    } else {
        stream = payload.mapped.subspan(static_cast<size_t>(where.offset), static_cast<size_t>(where.length));
    }

    ExtractionState& state = State();
    ExtractionSteps run = steps;
    run.createTarget = [&state] { return CreateExtractionFile(state); };
    FileSink sink(state.file);
    state.stats = DecodeStats();
    code = ExtractDataStream(stream, info.header, optionWord1, info.cipher, sink, run, &state.stats);
    if (code == kExtractionCreateFailed)
        FatalError(u"Failed to create the temporary extraction file, code %d",
                   static_cast<int>(GetLastError()));
    if (code == kExtractionWriteFailed)
        FatalError(u"Failed to write to the extraction file.\r\n\r\n%s", SystemText(GetLastError()));
    if (code != kPayloadOk) CorruptInstaller(code);
    state.source = std::make_unique<FileSource>(state.file);
    state.records = std::make_unique<FileRecordReader>(*state.source, info.header.fileSizes);
}

void NextFileOrExit(EnginePayload& payload, size_t index, FileRecord& record,
                    const std::function<void(int)>& setProgress) {
    (void)payload;
    ExtractionState& state = State();
    CS_CHECK(state.records != nullptr);
    int code = state.records->Next(index, record, setProgress);
    if (code != kPayloadOk) CorruptInstaller(code);
    // The file installation reads from the handle's position.
    state.source->Seek(state.records->ContentsOffset());
}

void* ExtractionFileHandle() {
    return State().file == INVALID_HANDLE_VALUE ? nullptr : State().file;
}

String ExtractionFilePath() {
    return State().path;
}

DecodeStats LastExtractionStats() {
    return State().stats;
}

void DeleteExtractionFile() {
    ExtractionState& state = State();
    state.records.reset();
    state.source.reset();
    if (state.file != INVALID_HANDLE_VALUE) CloseHandle(state.file);
    state.file = INVALID_HANDLE_VALUE;
    if (!state.path.IsEmpty()) DeleteFileW(W(state.path));
}

} // namespace cs
