#include "runtime/Extraction.h"

#include "core/Fatal.h"
#include "core/HandleWin32.h"
#include "core/WinText.h"
#include "payload/PayloadCodes.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/HandleSourceWin32.h"
#include "runtime/RunTempFiles.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace cs {

namespace {

struct ExtractionState {
    String path;
    UniqueHandle file;
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
    explicit FileSink(const UniqueHandle& file) : file_(file) {}
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD want = size > 0x1000000 ? 0x1000000 : static_cast<DWORD>(size), done = 0;
            if (!WriteFile(file_.Get(), data, want, &done, nullptr)) return false;
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
    const UniqueHandle& file_;
};

// The extraction file read back record by record, through the same handle reader.
class FileSource final : public ExtractionSource {
  public:
    explicit FileSource(HANDLE file) : handle_(file), file_(file) {}
    uint64_t Size() override { return file_.Size(); }
    // Moves the handle too: after "Next file" the caller reads the contents through it.
    bool Seek(uint64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position);
        if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return false;
        position_ = position;
        return true;
    }
    bool Read(void* buffer, size_t size) override {
        if (!file_.ReadAt(position_, buffer, size)) return false;
        position_ += size;
        return true;
    }

  private:
    HANDLE handle_;
    HandleSource file_;
    uint64_t position_ = 0;
};

// Chunks decode side by side on the processors the process may run on, up to a few: each
// costs the memory of a chunk held and of an xz decoder.
constexpr unsigned kMostDecodeThreads = 4;

unsigned DecodeThreadCount() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
    unsigned count = 0;
    for (; process != 0; process &= process - 1)
        ++count;
    return std::clamp(count, 1u, kMostDecodeThreads);
}

String SystemText(DWORD error) {
    return DefaultCorruptInstallerPlatform().systemErrorText(error);
}

bool CreateExtractionFile(ExtractionState& state, const ExtractionSteps& steps) {
    // Held open until it is deleted: a run killed meanwhile leaves it for the next run to find
    // (RemoveLeftoverRunTempFiles).
    state.file.Reset(static_cast<HANDLE>(CreateRunTempFile(u"extract", state.path)));
    if (!state.file) return false;
    // Removed at the next restart even when the run does not reach its end.
    DWORD error = GetLastError();
    if (steps.deleteAtRestart)
        steps.deleteAtRestart(state.path);
    else
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
    // The file offset of the stream: a mapped stream lies in the section's raw data.
    uint64_t offset = externalData ? where.offset : info.section.rawOffset + where.offset;
    // The stream is read from the installer's own file piece by piece (the same bytes as the
    // mapped section, or the rest of the file with external data): one chunk at a time.
    HandleSource source(static_cast<HANDLE>(payload.file));

    ExtractionState& state = State();
    ExtractionSteps run = steps;
    run.createTarget = [&state, &steps] { return CreateExtractionFile(state, steps); };
    run.decodeThreads = DecodeThreadCount();
    FileSink sink(state.file);
    state.stats = DecodeStats();
    ReadFailure failure;
    code = ExtractDataStream(source, offset, static_cast<uint64_t>(where.length), info.header, optionWord1,
                             info.cipher, sink, run, &state.stats, &failure);
    if (code != kPayloadOk) {
        // A partly written extraction file is of no use: it goes now, not at the next restart.
        DWORD error = GetLastError();
        DeleteExtractionFile();
        SetLastError(error);
    }
    if (code == kExtractionReadFailed)
        FatalError(u"Error code 2: failed to read archive data\r\nsize=%d pos=%d",
                   static_cast<int>(failure.size), static_cast<int>(failure.offset));
    if (code == kExtractionCreateFailed)
        FatalError(u"Failed to create the temporary extraction file, code %d",
                   static_cast<int>(GetLastError()));
    if (code == kExtractionWriteFailed)
        FatalError(u"Failed to write to the extraction file.\r\n\r\n%s", SystemText(GetLastError()));
    if (code != kPayloadOk) CorruptInstaller(code);
    state.source = std::make_unique<FileSource>(state.file.Get());
    state.records = std::make_unique<FileRecordReader>(*state.source, info.header.fileSizes);
}

void NextFileOrExit(EnginePayload& payload, size_t index, FileRecord& record,
                    const std::function<void(int)>& setProgress) {
    (void)payload;
    ExtractionState& state = State();
    CS_CHECK(state.records != nullptr);
    int code = state.records->Next(index, record, setProgress);
    if (code != kPayloadOk) {
        DeleteExtractionFile();
        CorruptInstaller(code);
    }
    // The file installation reads from the handle's position.
    state.source->Seek(state.records->ContentsOffset());
}

void* ExtractionFileHandle() {
    const UniqueHandle& file = State().file;
    return file ? file.Get() : nullptr;
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
    state.file.Reset();
    if (!state.path.IsEmpty()) DeleteFileW(W(state.path));
}

} // namespace cs
