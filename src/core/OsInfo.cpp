// The system bit and the names of an operating-system record.
#include "core/OsInfo.h"

#include "core/Format.h"
#include "core/Text.h"

namespace cs {

namespace {

bool Is(const OsRecord& os, uint32_t major, uint32_t minor) {
    return os.major == major && os.minor == minor;
}

bool IsWorkstation(const OsRecord& os) {
    return os.productType == kProductWorkstation;
}

// Windows 10 and 11 share version 10.0; the build tells them (and the servers) apart.
constexpr uint32_t kFirstBuild11 = 21327;
constexpr uint32_t kFirstBuildServer2019 = 17600;
constexpr uint32_t kFirstBuildServer2022 = 19504;
constexpr uint32_t kFirstBuildServer2025 = 25921;

uint32_t NtSystemBit(const OsRecord& os) {
    if (os.major <= 3) return kSystemNt3;
    if (os.major == 4) return kSystemNt4;
    if (Is(os, 5, 0)) return kSystem2000;
    if (Is(os, 5, 1)) return kSystemXp;
    if (Is(os, 5, 2)) return IsWorkstation(os) ? kSystemXp : kSystemServer2003;
    if (Is(os, 6, 0)) return IsWorkstation(os) ? kSystemVista : kSystemServer2008;
    if (Is(os, 6, 1)) return IsWorkstation(os) ? kSystem7 : kSystemServer2008;
    if (Is(os, 6, 2) || Is(os, 6, 3)) return IsWorkstation(os) ? kSystem8 : kSystemServer2012;
    if (Is(os, 6, 4)) return kSystem10;
    if (Is(os, 10, 0)) {
        if (IsWorkstation(os)) return os.build < kFirstBuild11 ? kSystem10 : kSystem11;
        if (os.build < kFirstBuildServer2019) return kSystemServer2016;
        if (os.build < kFirstBuildServer2022) return kSystemServer2019;
        if (os.build < kFirstBuildServer2025) return kSystemServer2022;
        return kSystemServer2025;
    }
    return kSystemOther;
}

uint32_t BaseSystemBit(const OsRecord& os) {
    switch (os.platform) {
    case kPlatformWin32s:
        return kSystemWin32s;
    case kPlatformWin9x:
        if (os.major != 4) return kSystemOther;
        if (os.minor < 10) return kSystem95;
        if (os.minor < 90) return kSystem98;
        return kSystemMe;
    case kPlatformNt:
        return NtSystemBit(os);
    default:
        return kSystemOther;
    }
}

// Appends the release name (and the edition words that belong to it) of step 2.
void AppendRelease(String& name, const OsRecord& os, const OsNameFacts& facts, bool isShort, bool bare) {
    const uint16_t suite = os.suiteMask;
    if (os.platform == kPlatformWin9x) {
        if (os.major != 4) {
            name += Format(u"9x %d.%d", os.major, os.minor);
        } else if (os.minor < 10) {
            name += u"95";
            if (!isShort && os.build == 1111) name += u" OSR2";
        } else if (os.minor < 90) {
            name += u"98";
            if (!isShort && os.build == 2222) name += u" SE";
        } else {
            name += u"ME";
        }
        return;
    }
    if (os.platform != kPlatformNt) {
        name += Format(u"%d.%d", os.major, os.minor);
        return;
    }
    if (os.major == 5) {
        if (os.minor == 0) {
            name += u"2000";
            if (isShort) return;
            if (IsWorkstation(os))
                name += u" Professional";
            else if (suite & kSuiteEnterprise)
                name += u" Advanced Server";
            else if (suite & kSuiteDatacenter)
                name += u" Datacenter Server";
            else
                name += u" Server";
        } else if (os.minor == 1) {
            name += u"XP";
            if (isShort) return;
            name += (suite & kSuitePersonal) ? u" Home" : u" Professional";
            if (suite & kSuiteEmbedded) name += u" Embedded";
            if (facts.mediaCenter) name += u" Media Center";
            if (facts.starter) name += u" Starter";
            if (facts.tabletPc) name += u" Tablet PC";
        } else if (os.minor == 2) {
            if (suite & kSuiteHomeServer) {
                name += bare ? u"XP" : u"Home Server";
            } else if (IsWorkstation(os) && os.is64BitWindows) {
                name += isShort ? u"XP" : u"XP Professional";
            } else {
                if (bare)
                    name += u"2003";
                else
                    name += (suite & kSuiteStorageServer) ? u"Storage Server 2003" : u"Server 2003";
                if (facts.serverR2) name += u" R2";
                if (isShort) return;
                if (suite & kSuiteEnterprise) name += u" Enterprise";
                if (suite & kSuiteWebEdition) name += u" Web";
                if (suite & kSuiteComputeCluster) name += u" Compute Cluster";
            }
        } else {
            name += Format(u"NT 5.%d", os.minor);
        }
        return;
    }
    if (os.major == 6) {
        switch (os.minor) {
        case 0:
            if (IsWorkstation(os)) {
                name += u"Vista";
                if (!isShort && os.edition == 0 && (suite & kSuitePersonal)) name += u" Home";
            } else {
                name += bare ? u"2008" : u"Server 2008";
                if (!isShort && os.edition == 0 && (suite & kSuiteEnterprise)) name += u" Enterprise";
            }
            return;
        case 1:
            if (IsWorkstation(os)) {
                name += u"7";
            } else if (OsIsHomeServer2011(os)) {
                name += bare ? u"2008" : u"Home Server 2011";
            } else {
                name += bare ? u"2008" : u"Server 2008 R2";
                if (!isShort && os.edition == 0 && (suite & kSuiteEnterprise)) name += u" Enterprise";
            }
            return;
        case 2:
            if (IsWorkstation(os))
                name += u"8";
            else
                name += bare ? u"2012" : u"Server 2012";
            return;
        case 3:
            if (IsWorkstation(os))
                name += bare ? u"8" : u"8.1";
            else
                name += bare ? u"2012" : u"Server 2012 R2";
            return;
        case 4:
            name += bare ? u"10" : u"10 alpha";
            return;
        default:
            if (bare)
                name += u"NT6";
            else
                name += Format(u"NT 6.%d", os.minor);
            return;
        }
    }
    if (Is(os, 10, 0)) {
        if (IsWorkstation(os)) {
            name += os.build < kFirstBuild11 ? u"10" : u"11";
            return;
        }
        if (!bare) name += u"Server ";
        if (os.build < kFirstBuildServer2019)
            name += u"2016";
        else if (os.build < kFirstBuildServer2022)
            name += u"2019";
        else if (os.build < kFirstBuildServer2025)
            name += u"2022";
        else
            name += u"2025";
        return;
    }
    name += Format(u"NT %d.%d", os.major, os.minor);
}

} // namespace

uint32_t OsSystemBitOf(const OsRecord& os) {
    uint32_t bit = BaseSystemBit(os);
    if (os.underWine) bit |= kSystemWine;
    return bit;
}

const char16_t* OsEditionWord(uint32_t edition) {
    switch (edition) {
    case 1:
        return u" Ultimate";
    case 2:
        return u" Home Basic";
    case 3:
        return u" Home Premium";
    case 4:
        return u" Enterprise";
    case 5:
        return u" Home Basic N";
    case 6:
        return u" Business";
    case 7:
        return u" Server Standard";
    case 8:
        return u" Datacenter";
    case 9:
        return u" Small Business Server";
    case 10:
        return u" Enterprise";
    case 11:
        return u" Starter";
    case 12:
        return u" Datacenter (core)";
    case 13:
        return u" Server Standard (core)";
    case 14:
        return u" Enterprise (core)";
    case 15:
        return u" Enterprise for Itanium";
    case 16:
        return u" Business N";
    case 17:
        return u" Web Server";
    case 18:
        return u" Cluster Server";
    case 20:
        return u" Storage Server Express";
    case 21:
        return u" Storage Server Standard";
    case 22:
        return u" Storage Server Workgroup";
    case 23:
        return u" Storage Server Enterprise";
    case 24:
        return u" for Windows Essential Server Solutions";
    case 25:
        return u" Small Business Server Premium";
    case 26:
        return u" Home Premium N";
    case 27:
        return u" Enterprise N";
    case 28:
        return u" Ultimate N";
    case 29:
        return u" Web Server (core)";
    case 30:
        return u" Essential Business Server Management Server";
    case 31:
        return u" Essential Business Server Security Server";
    case 32:
        return u" Essential Business Server Messaging Server";
    case 33:
        return u" Server Foundation";
    case 35:
        return u" for Windows Essential Server Solutions (without Hyper-V)";
    case 36:
        return u" Server Standard (without Hyper-V)";
    case 37:
        return u" Server Datacenter (without Hyper-V)";
    case 38:
        return u" Server Enterprise (without Hyper-V)";
    case 39:
        return u" Server Datacenter (without Hyper-V) (core)";
    case 40:
        return u" Server Standard (without Hyper-V) (core)";
    case 41:
        return u" Server Enterprise (without Hyper-V) (core)";
    case 42:
        return u" Hyper-V Server";
    case 43:
        return u" Storage Server Express (core)";
    case 44:
        return u" Storage Server Standard (core)";
    case 45:
        return u" Storage Server Workgroup (core)";
    case 46:
        return u" Storage Server Enterprise (core)";
    case 47:
        return u" Starter N";
    case 48:
        return u" Professional";
    case 49:
        return u" Professional N";
    case 56:
        return u" MultiPoint Server";
    case 57:
        return u" MultiPoint Server (core)";
    case 63:
        return u" Small Business Server Premium (core)";
    case 64:
        return u" Cluster Server (without Hyper-V)";
    default:
        return u"";
    }
}

String OsNameOf(const OsRecord& os, const OsNameFacts& facts, unsigned flags) {
    const bool bare = (flags & kOsNameBare) != 0;
    const bool isShort = bare || (flags & kOsNameShort) != 0;
    String name;
    if (!bare) {
        if (os.underWine) name += Format(u"WINE %s reporting as ", os.wineVersion);
        name += u"Windows ";
    }
    AppendRelease(name, os, facts, isShort, bare);
    if (!isShort) {
        if (os.major > 5) name += OsEditionWord(os.edition);
        if (os.is64BitWindows) name += u" x64";
    }
    if (!bare && !(flags & kOsNameNoServicePack) && !os.servicePack.IsEmpty()) {
        // Shown as the ANSI code page shows it: characters it lacks become "?".
        String servicePack = FromCodePage(ToCodePage(os.servicePack, kCodePageAnsi).View(), kCodePageAnsi);
        if (!servicePack.IsEmpty()) {
            if (servicePack[0] != u' ') name += u' ';
            name += servicePack;
        }
    }
    if (!bare && !(flags & kOsNameNoReleaseId) && Is(os, 10, 0) && IsWorkstation(os) &&
        os.platform == kPlatformNt && !facts.releaseId.IsEmpty()) {
        name += u' ';
        name += facts.releaseId.Sub(0, kReleaseIdMaxChars);
    }
    return name;
}

String OsNameTrimmed(const OsRecord& os, const OsNameFacts& facts, unsigned flags) {
    String name = OsNameOf(os, facts, flags);
    Trim(name);
    return name;
}

bool OsIsServer(const OsRecord& os) {
    return os.productType == kProductDomainController || os.productType == kProductServer;
}

bool OsIsHomeServer2011(const OsRecord& os) {
    return os.platform == kPlatformNt && Is(os, 6, 1) && !IsWorkstation(os) &&
           ((os.suiteMask & kSuiteHomeServer) || os.edition == kEditionHomePremiumServer);
}

bool OsIsNewerThanServer2003(const OsRecord& os) {
    if (os.underWine || os.platform != kPlatformNt) return false;
    if (os.major < 5 || (os.major == 5 && os.minor < 2)) return false;
    return !(Is(os, 5, 2) && IsWorkstation(os));
}

} // namespace cs
