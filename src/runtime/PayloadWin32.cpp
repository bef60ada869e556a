#include "core/WinText.h"
#include "runtime/HandleSourceWin32.h"
#include "runtime/Payload.h"

#include "core/Fatal.h"
#include "core/ModulePathWin32.h"
#include "core/SystemLibraryWin32.h"
#include "payload/Integrity.h"
#include "payload/PayloadCodes.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/InstallerState.h"

#include <windows.h>

#include <algorithm>

#include <softpub.h>
#include <wintrust.h>

namespace cs {

namespace {

void ExitOnCode(int code, bool withSystemError = false) {
    if (code == kPayloadOk) return;
    if (code == kNoSetupSection)
        FatalError(
            u"This program performs installations and uninstallations.\r\nThere is no installation data "
            u"present.\r\nNo uninstallation parameters were specified.\r\n\r\nYou should not delete this "
            u"program or execute it directly.");
    CorruptInstaller(code, withSystemError);
}

// The trust library is no known system library: loaded from the system folder at run time
// (see core/SystemLibraryWin32.h), never linked. Without it the file counts as unverifiable.
LONG VerifyTrust(GUID* action, WINTRUST_DATA* data) {
    using WinVerifyTrustFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);
    static const auto entry = SystemEntry<WinVerifyTrustFn>(L"wintrust.dll", "WinVerifyTrust");
    if (!entry) return static_cast<LONG>(TRUST_E_PROVIDER_UNKNOWN);
    return entry(static_cast<HWND>(INVALID_HANDLE_VALUE), action, data);
}

} // namespace

uint32_t VerifyFileTrust(const String& path) {
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = W(path);
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG outcome = VerifyTrust(&action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    VerifyTrust(&action, &data);
    return static_cast<uint32_t>(outcome);
}

EnginePayload& ThePayload() {
    static EnginePayload payload;
    return payload;
}

void OpenOwnFileOrExit(EnginePayload& payload) {
    payload.path = ModuleFullPath();
    HANDLE file =
        CreateFileW(W(payload.path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        FatalError(u"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s",
                   payload.path, error, DefaultCorruptInstallerPlatform().systemErrorText(error));
    }
    payload.file = file;
    payload.info.fileSize = HandleSource(file).Size();
}

void LocatePayloadOrExit(EnginePayload& payload) {
    HandleSource source(static_cast<HANDLE>(payload.file));
    int code = LocateSetupSection(source, payload.info.section);
    ExitOnCode(code, code == kCodeSeek);
}

void ReadDefinitionBlockOrExit(EnginePayload& payload) {
    const auto* image = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    // The view stays inside the loaded image: the section table read from the file (through
    // the 16-bit header offset) need not be the one the loader used.
    uint64_t imageSize = LoadLE32(image + LoadLE32(image + kPeOffsetField) + kPeSizeOfImage);
    uint64_t start = std::min<uint64_t>(payload.info.section.virtualAddress, imageSize);
    uint64_t length = std::min<uint64_t>(MappedSectionLength(payload.info.section, payload.info.fileSize),
                                         imageSize - start);
    ByteView mapped(image + start, static_cast<size_t>(length));
    payload.mapped = mapped;
    int code = ReadPayload(mapped, payload.info);
    if (code == kVersionMismatch)
        FatalError(
            u"The installer version (51.0) does not match the version of %s (%s).  Close all applications "
            u"and reinstall %s.",
            kProgramTitle, payload.info.header.version, kProgramTitle);
    ExitOnCode(code);
}

void CheckDefinitionChecksumOrExit(const EnginePayload& payload, ByteView plainDefinition) {
    if (!DefinitionChecksumMatches(payload.info, plainDefinition)) CorruptInstaller(kCodeDefinitionChecksum);
}

void CheckEngineOrExit(EnginePayload& payload, int integrityMode, bool externalData) {
    HandleSource source(static_cast<HANDLE>(payload.file));
    auto verifySignature = [&payload](int mode) {
        uint32_t outcome = VerifyFileTrust(payload.path);
        int code = TrustIntegrityCode(mode, TrustResultNumber(outcome), outcome);
        SetLastError(outcome); // the report of a mode 2 failure carries the outcome's text
        return code;
    };
    EngineCheck check = CheckEnginePart(source, payload.info, integrityMode, externalData, verifySignature,
                                        payload.enginePrefix, payload.engineCopy);
    ExitOnCode(check.code, check.withSystemError);
}

EnginePayload& ReadPayloadOrExit() {
    EnginePayload& payload = ThePayload();
    OpenOwnFileOrExit(payload);
    LocatePayloadOrExit(payload);
    ReadDefinitionBlockOrExit(payload);
    return payload;
}

} // namespace cs
