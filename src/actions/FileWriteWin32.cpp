#include "actions/FileWriteWin32.h"

#include "actions/FileRules.h"
#include "actions/FileWrite.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/HandleWin32.h"
#include "core/SecurityWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/TempFile.h"
#include "core/WinText.h"
#include "runtime/FileRemovalWin32.h"
#include "runtime/ProcessWin32.h"

#include <cwchar>
#include <vector>
#include <windows.h>

namespace cs {

namespace {

constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// ---- The data --------------------------------------------------------------------------

// Where the file's bytes come from: a file handle, read from the position it had when the
// write began, or a block of memory.
class DataSource {
  public:
    explicit DataSource(const FileWrite& write) : write_(write) {
        if (!write.memory) SetFilePointerEx(Handle(), LARGE_INTEGER{}, &start_, FILE_CURRENT);
    }

    // Puts the handle back to the file's first byte, for another attempt.
    bool Rewind() const { return write_.memory || SetFilePointerEx(Handle(), start_, nullptr, FILE_BEGIN); }

    // Leaves the handle after the file's bytes, whatever the attempts did.
    void SkipPast() const {
        if (write_.memory) return;
        LastErrorKept kept;
        LARGE_INTEGER end;
        end.QuadPart = start_.QuadPart + write_.size;
        SetFilePointerEx(Handle(), end, nullptr, FILE_BEGIN);
    }

    // The next block of the data (count bytes from offset): from memory as it is, from the
    // handle through the buffer.
    const void* Read(int64_t offset, DWORD count, std::vector<uint8_t>& buffer) const {
        if (write_.memory) return write_.memory + offset;
        DWORD got = 0;
        for (DWORD done = 0; done < count; done += got) {
            if (!ReadFile(Handle(), buffer.data() + done, count - done, &got, nullptr)) return nullptr;
            if (got == 0) {
                SetLastError(ERROR_HANDLE_EOF);
                return nullptr;
            }
        }
        return buffer.data();
    }

  private:
    HANDLE Handle() const { return static_cast<HANDLE>(write_.source); }

    const FileWrite& write_;
    LARGE_INTEGER start_{};
};

// Copies the data into the open file in blocks, letting window messages through now and
// then. A write that takes only part of a block (a disk filling up) is followed by one for the
// rest, which then fails with the system's own reason (a full disk, 112).
bool CopyBlocks(HANDLE to, const DataSource& source, int64_t size) {
    std::vector<uint8_t> buffer(kWriteBlockBytes);
    MessagePacer pacer;
    for (int64_t offset = 0; offset < size;) {
        DWORD count = static_cast<DWORD>(size - offset < kWriteBlockBytes ? size - offset : kWriteBlockBytes);
        const void* block = source.Read(offset, count, buffer);
        if (!block || !WriteAll(to, std::string_view(static_cast<const char*>(block), count))) return false;
        offset += count;
        if (pacer.Due(GetTickCount())) ProcessPendingMessages();
    }
    return true;
}

// Creates or truncates the file and fills it with the data (flushed to the disk on request).
bool WriteData(const String& path, const DataSource& source, int64_t size, bool flush = false) {
    if (!source.Rewind()) return false;
    UniqueHandle file(CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && CopyBlocks(file.Get(), source, size) && (!flush || FlushFileBuffers(file.Get()));
}

// An existing destination is first opened as an overwrite would open it: a file in use, or
// one its attributes protect, fails the attempt with the reason an overwrite gets (a sharing
// violation, access denied) before any data are written, and a missing folder with "path not
// found", so that the retries and fall-backs see what they always saw.
bool DestinationReplaceable(const String& path) {
    UniqueHandle file(CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// One attempt: the data under the partial name (kept from an earlier attempt when it was
// filled whole), renamed over the destination.
bool WriteWhole(const FileWrite& write, const DataSource& source, const String& partial, bool& filled) {
    if (!DestinationReplaceable(write.destination)) return false;
    if (!filled) filled = WriteData(partial, source, write.size, write.flush);
    return filled && MoveIntoPlace(partial, write.destination, write.flush);
}

// ---- Attributes and dates ----------------------------------------------------------------

void ClearAttributes(const String& path, DWORD unwanted) {
    LastErrorKept kept;
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & unwanted))
        SetFileAttributesW(W(path), attributes & ~unwanted);
}

void ApplyAttributes(const String& path, uint32_t entryAttributes) {
    DWORD current = GetFileAttributesW(W(path));
    if (current == INVALID_FILE_ATTRIBUTES) return;
    DWORD wanted = AttributesWanted(current, entryAttributes);
    if (wanted != current) SetFileAttributesW(W(path), wanted);
}

// The entry's date, taken as UTC, as the file's creation and last-write times. The data were
// written through a handle closed before this one, and this one writes nothing, so no write
// is pending that could move the last-write time afterwards: the times are set without
// flushing the file first (a flush is a disk sync, once per file, which made the installation
// of many small files several times slower).
void StampDate(const String& path, const DateValue& date) {
    DateValue stamp = StampOf(date);
    SYSTEMTIME system{};
    system.wYear = static_cast<WORD>(stamp.year);
    system.wMonth = static_cast<WORD>(stamp.month);
    system.wDay = static_cast<WORD>(stamp.day);
    system.wHour = static_cast<WORD>(stamp.hour);
    system.wMinute = static_cast<WORD>(stamp.minute);
    system.wSecond = static_cast<WORD>(stamp.second);
    FILETIME time;
    if (!SystemTimeToFileTime(&system, &time)) return;
    UniqueHandle file(CreateFileW(W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    SetFileTime(file.Get(), &time, nullptr, &time);
}

// The date goes first: once the entry's attributes make the file read-only, it can no
// longer be opened for writing its times.
void FinishFile(const String& path, const FileWrite& write) {
    LastErrorKept kept;
    if (HasDate(write.date)) StampDate(path, write.date);
    if (write.attributes != ~0u) ApplyAttributes(path, write.attributes);
}

// ---- Attempts ----------------------------------------------------------------------------

// What a failed attempt changes before the next one: the missing parent folders, and the
// attributes that keep an existing file from being replaced when the option asks so.
void PrepareRetry(const FileWrite& write, DWORD error) {
    LastErrorKept kept;
    if (error == kWriteErrorPathNotFound) MakeFolderPath(FolderOf(write.destination));
    if (write.optionWord1 & kOpt1ClearAttributesOnRetry)
        ClearAttributes(write.destination, kProtectingAttributes);
    Sleep(kWriteRetryPauseMs);
}

// Up to kWriteAttempts writes; the error of the last failure, or ERROR_SUCCESS. What is left
// of the partial file after the last failure goes: it is of no use, and on a full disk it
// holds the space the rest of the run needs.
DWORD WriteWithRetries(const FileWrite& write, const DataSource& source) {
    String partial = PartialFileName(write.destination);
    bool filled = false;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        if (WriteWhole(write, source, partial, filled)) return ERROR_SUCCESS;
        error = GetLastError();
        if (attempt < kWriteAttempts) PrepareRetry(write, error);
    }
    DeleteFileW(W(partial));
    return error;
}

bool IsDriveMissing(const String& path) {
    char16_t letter = DriveLetterOf(path);
    if (!letter) return false;
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

// ---- Replacement at the next restart -----------------------------------------------------

// The temporary file as the destination will be: plain attributes, open to everyone (a
// moved file keeps its own access list instead of taking the folder's) and the entry's date.
void PrepareReplacement(const String& temp, const DateValue& date) {
    LastErrorKept kept;
    ClearAttributes(temp, kProtectingAttributes);
    OpenAccessListTakingOwnership(temp, true);
    if (HasDate(date)) StampDate(temp, date);
}

// A temporary file beside the destination holds the data until the restart moves it there.
WriteOutcome ReplaceAtNextRestart(const FileWrite& write, const DataSource& source) {
    WriteOutcome result;
    String temp;
    if (!SystemTempFileSystem().SystemUniqueName(FolderOf(write.destination), temp)) {
        result.failure = NoTempFileText(write.destination, WindowsSystemErrorText(GetLastError()));
        return result;
    }
    bool written = WriteData(temp, source, write.size);
    if (written) PrepareReplacement(temp, write.date);
    if (written && ReplaceAtRestart(write.destination, temp)) {
        result.deferred = true;
        result.logText = ReplacementRegisteredText(write.destination, temp);
        return result;
    }
    DWORD error = GetLastError();
    result.failure = ReplacementFailedText(write.destination, temp, WindowsSystemErrorText(error));
    DeleteFileW(W(temp));
    SetLastError(error);
    return result;
}

// After the last failed attempt: the failure, or the replacement at the next restart.
WriteOutcome FallBack(const FileWrite& write, const DataSource& source, DWORD error,
                      const String& failureWord) {
    WriteOutcome result;
    result.diskFull = error == kWriteErrorDiskFull;
    switch (ChooseWriteFallback(error, IsDriveMissing(write.destination), write.existedBefore,
                                write.optionWord1)) {
    case WriteFallback::DriveMissing:
        result.failure = DriveMissingText(DriveLetterOf(write.destination));
        break;
    case WriteFallback::ReplaceAtRestart:
        return ReplaceAtNextRestart(write, source);
    case WriteFallback::Fail:
        result.failure = WriteFailureText(failureWord, write.destination, WindowsSystemErrorText(error));
        break;
    }
    SetLastError(error);
    return result;
}

// ---- Version resources -------------------------------------------------------------------

// The version library is no known system library: loaded from the system folder at run time
// (see core/SystemLibraryWin32.h), never linked.
using VerQueryValueFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
using GetVersionInfoSizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetVersionInfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);

BOOL VerQueryValueW(LPCVOID block, LPCWSTR query, LPVOID* value, PUINT length) {
    static const auto entry = SystemEntry<VerQueryValueFn>(L"version.dll", "VerQueryValueW");
    return entry ? entry(block, query, value, length) : FALSE;
}

DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
    static const auto entry = SystemEntry<GetVersionInfoSizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
    return entry ? entry(path, handle) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID block) {
    static const auto entry = SystemEntry<GetVersionInfoFn>(L"version.dll", "GetFileVersionInfoW");
    return entry ? entry(path, handle, size, block) : FALSE;
}

// The text at a query of the version block, "" when it has none.
String VersionValue(const std::vector<uint8_t>& block, const String& query) {
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), W(query), reinterpret_cast<void**>(&text), &length) || !text) return {};
    return FromW(text, wcsnlen(text, length));
}

const uint16_t* FirstTranslation(const std::vector<uint8_t>& block) {
    uint16_t* pair = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair),
                        &length) ||
        length < 2 * sizeof(uint16_t))
        return nullptr;
    return pair;
}

String8 FixedVersionOf(const std::vector<uint8_t>& block) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
        return {};
    return FixedVersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

} // namespace

WriteOutcome WriteInstalledFile(const FileWrite& write, const String& failureWord) {
    DataSource source(write);
    if (write.size < 0) {
        WriteOutcome refused;
        refused.failure =
            WriteFailureText(failureWord, write.destination, WindowsSystemErrorText(ERROR_INVALID_DATA));
        SetLastError(ERROR_INVALID_DATA);
        return refused;
    }
    DWORD error = WriteWithRetries(write, source);
    WriteOutcome result;
    if (error == ERROR_SUCCESS) {
        result.written = true;
        FinishFile(write.destination, write);
    } else {
        result = FallBack(write, source, error, failureWord);
    }
    source.SkipPast();
    return result;
}

String8 FileVersionOf(const String& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(W(path), &ignored);
    if (size == 0) return {};
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(W(path), 0, size, block.data())) return {};
    for (const String& query : FileVersionQueries(FirstTranslation(block))) {
        String text = VersionValue(block, query);
        if (!text.IsEmpty()) return VersionText(text);
    }
    return FixedVersionOf(block);
}

bool FileTimeOf(const String& path, DateValue& out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
    uint64_t time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
    out = DateValueOfFileTime(time);
    return true;
}

} // namespace cs
