// Which Windows the engine runs on: the operating-system record (filled once per process on
// Windows), the one-bit system code matched against a definition's excluded systems, the
// readable names in their several forms, and the server and newer-than-Server-2003 tests.
//
// Everything here except the Current* functions is a pure function of a record and of the
// few system facts the names need (OsNameFacts), so that any system can be described in a
// native test.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

enum OsPlatform : uint32_t {
    kPlatformWin32s = 0,
    kPlatformWin9x = 1,
    kPlatformNt = 2,
};

enum OsProductType : uint8_t {
    kProductWorkstation = 1,
    kProductDomainController = 2,
    kProductServer = 3,
};

// Suite mask bits the names look at.
enum OsSuite : uint16_t {
    kSuiteEnterprise = 0x2,
    kSuiteEmbedded = 0x40,
    kSuiteDatacenter = 0x80,
    kSuitePersonal = 0x200,
    kSuiteWebEdition = 0x400,
    kSuiteStorageServer = 0x2000,
    kSuiteComputeCluster = 0x4000,
    kSuiteHomeServer = 0x8000,
};

// Processor architectures of the native system information that make a 64-bit Windows.
constexpr uint16_t kArchitectureItanium = 6;
constexpr uint16_t kArchitectureAmd64 = 9;

// Edition number of Windows Home Server 2011 in the GetProductInfo list.
constexpr uint32_t kEditionHomePremiumServer = 0x22;

// The native system information (GetNativeSystemInfo), as far as the engine reports it.
struct NativeSystemInfo {
    uint16_t processorArchitecture = 0;
    uint32_t pageSize = 0;
    uint32_t numberOfProcessors = 0;
    uint32_t processorType = 0;
    uint32_t allocationGranularity = 0;
    uint16_t processorLevel = 0;
    uint16_t processorRevision = 0;
};

constexpr size_t kServicePackMaxChars = 128;
constexpr size_t kReleaseIdMaxChars = 64;

struct OsRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platform = 0;
    String servicePack; // at most kServicePackMaxChars characters; may be empty
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint16_t suiteMask = 0;
    uint8_t productType = 0;
    uint32_t edition = 0; // GetProductInfo; 0 when not queried
    NativeSystemInfo native;
    bool is64BitWindows = false;
    bool underWine = false;
    String wineVersion; // the compatibility layer's version text when underWine
};

// The system answers the names need besides the record: four system metrics and the
// "ReleaseId" value of Windows 10.
struct OsNameFacts {
    bool mediaCenter = false; // SM_MEDIACENTER
    bool starter = false;     // SM_STARTER
    bool tabletPc = false;    // SM_TABLETPC
    bool serverR2 = false;    // SM_SERVERR2
    String releaseId;         // HKLM "Software\Microsoft\Windows NT\CurrentVersion" "ReleaseId"
};

// System bits (the definition's excluded-systems mask uses the same values).
enum OsSystemBit : uint32_t {
    kSystemOther = 1,
    kSystemWin32s = 2,
    kSystem95 = 4,
    kSystem98 = 8,
    kSystemMe = 16,
    kSystemNt3 = 32,
    kSystemNt4 = 64,
    kSystem2000 = 128,
    kSystemXp = 256,
    kSystemServer2003 = 512,
    kSystemVista = 1024,
    kSystemServer2008 = 2048,
    kSystem7 = 4096,
    kSystem8 = 8192,
    kSystemServer2012 = 0x4000,
    kSystem10 = 0x8000,
    kSystemServer2016 = 0x10000,
    kSystemServer2019 = 0x20000,
    kSystemServer2022 = 0x40000,
    kSystemWine = 0x80000,
    kSystem11 = 0x100000,
    kSystemServer2025 = 0x200000,
};

uint32_t OsSystemBitOf(const OsRecord& os);

// Name flags.
enum OsNameFlag : unsigned {
    kOsNameNoServicePack = 0x1,
    kOsNameShort = 0x2, // no edition words
    kOsNameBare = 0x4,  // release name only, in its short form
    kOsNameNoReleaseId = 0x8,
};

// The readable name, e.g. "Windows 10 Professional x64 2004" (flags 0) or "10" (flags 4).
String OsNameOf(const OsRecord& os, const OsNameFacts& facts, unsigned flags);
// The name with surrounding white space removed, as the variables and the log take it.
String OsNameTrimmed(const OsRecord& os, const OsNameFacts& facts, unsigned flags);

// The edition word for a GetProductInfo number (with its leading blank), or "" for a number
// without one.
const char16_t* OsEditionWord(uint32_t edition);

bool OsIsServer(const OsRecord& os);
// Version 6.1 server with the Home Server suite bit or edition 0x22.
bool OsIsHomeServer2011(const OsRecord& os);
// True on the NT family from 5.2 on (5.2 workstations excepted); false under the
// compatibility layer.
bool OsIsNewerThanServer2003(const OsRecord& os);

// The running system (Windows build only): the record is filled on first use and kept.
const OsRecord& CurrentOsRecord();
const OsNameFacts& CurrentOsNameFacts();
uint32_t CurrentSystemBit();
String CurrentOsName(unsigned flags);
bool CurrentIsServer();
bool CurrentIsNewerThanServer2003();

} // namespace cs
