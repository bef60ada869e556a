#include "core/OsInfo.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <vector>

using namespace cs;

namespace {

struct OsSpec {
    uint32_t platform;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint8_t productType = kProductWorkstation;
    uint16_t suite = 0;
    uint32_t edition = 0;
    bool is64 = false;
    const char16_t* servicePack = u"";
    const char16_t* wine = nullptr;
};

OsRecord MakeOs(const OsSpec& spec) {
    OsRecord os;
    os.platform = spec.platform;
    os.major = spec.major;
    os.minor = spec.minor;
    os.build = spec.build;
    os.productType = spec.productType;
    os.suiteMask = spec.suite;
    os.edition = spec.edition;
    os.is64BitWindows = spec.is64;
    os.servicePack = spec.servicePack;
    if (spec.wine) {
        os.underWine = true;
        os.wineVersion = spec.wine;
    }
    return os;
}

struct NameCase {
    const char* label;
    OsSpec os;
    OsNameFacts facts;
    uint32_t bit;
    const char16_t* full;  // flags 0
    const char16_t* brief; // flags 2
    const char16_t* bare;  // flags 4
};

OsNameFacts Facts(bool mediaCenter, bool starter, bool tabletPc, bool serverR2,
                  const char16_t* releaseId = u"") {
    OsNameFacts f;
    f.mediaCenter = mediaCenter;
    f.starter = starter;
    f.tabletPc = tabletPc;
    f.serverR2 = serverR2;
    f.releaseId = releaseId;
    return f;
}
const OsNameFacts kNoFacts;
const OsNameFacts kReleaseId2004 = Facts(false, false, false, false, u"2004");

constexpr uint8_t kWs = kProductWorkstation;
constexpr uint8_t kDc = kProductDomainController;
constexpr uint8_t kSrv = kProductServer;

// Every row of the release table, with its system bit and its three main forms.
const std::vector<NameCase>& NameCases() {
    static const std::vector<NameCase> cases = {
        {"Win32s", {0, 3, 10, 0}, kNoFacts, 2, u"Windows 3.10", u"Windows 3.10", u"3.10"},
        {"95", {1, 4, 0, 950}, kNoFacts, 4, u"Windows 95", u"Windows 95", u"95"},
        {"95 OSR2", {1, 4, 0, 1111}, kNoFacts, 4, u"Windows 95 OSR2", u"Windows 95", u"95"},
        {"95 minor 9", {1, 4, 9, 0}, kNoFacts, 4, u"Windows 95", u"Windows 95", u"95"},
        {"98", {1, 4, 10, 1998}, kNoFacts, 8, u"Windows 98", u"Windows 98", u"98"},
        {"98 SE", {1, 4, 10, 2222}, kNoFacts, 8, u"Windows 98 SE", u"Windows 98", u"98"},
        {"98 minor 89", {1, 4, 89, 2222}, kNoFacts, 8, u"Windows 98 SE", u"Windows 98", u"98"},
        {"ME", {1, 4, 90, 3000}, kNoFacts, 16, u"Windows ME", u"Windows ME", u"ME"},
        {"9x of another major", {1, 5, 0, 0}, kNoFacts, 1, u"Windows 9x 5.0", u"Windows 9x 5.0", u"9x 5.0"},
        {"NT 3.51", {2, 3, 51, 1057}, kNoFacts, 32, u"Windows NT 3.51", u"Windows NT 3.51", u"NT 3.51"},
        {"NT 4.0 SP6",
         {2, 4, 0, 1381, kWs, 0, 0, false, u"Service Pack 6"},
         kNoFacts,
         64,
         u"Windows NT 4.0 Service Pack 6",
         u"Windows NT 4.0 Service Pack 6",
         u"NT 4.0"},
        {"2000 Professional",
         {2, 5, 0, 2195},
         kNoFacts,
         128,
         u"Windows 2000 Professional",
         u"Windows 2000",
         u"2000"},
        {"2000 Advanced Server",
         {2, 5, 0, 2195, kSrv, kSuiteEnterprise},
         kNoFacts,
         128,
         u"Windows 2000 Advanced Server",
         u"Windows 2000",
         u"2000"},
        {"2000 Datacenter Server",
         {2, 5, 0, 2195, kSrv, kSuiteDatacenter},
         kNoFacts,
         128,
         u"Windows 2000 Datacenter Server",
         u"Windows 2000",
         u"2000"},
        {"2000 Server (domain controller)",
         {2, 5, 0, 2195, kDc},
         kNoFacts,
         128,
         u"Windows 2000 Server",
         u"Windows 2000",
         u"2000"},
        {"XP Professional SP3",
         {2, 5, 1, 2600, kWs, 0, 0, false, u"Service Pack 3"},
         kNoFacts,
         256,
         u"Windows XP Professional Service Pack 3",
         u"Windows XP Service Pack 3",
         u"XP"},
        {"XP Home",
         {2, 5, 1, 2600, kWs, kSuitePersonal},
         kNoFacts,
         256,
         u"Windows XP Home",
         u"Windows XP",
         u"XP"},
        {"XP Embedded",
         {2, 5, 1, 2600, kWs, kSuiteEmbedded},
         kNoFacts,
         256,
         u"Windows XP Professional Embedded",
         u"Windows XP",
         u"XP"},
        {"XP Media Center Tablet PC",
         {2, 5, 1, 2600},
         Facts(true, false, true, false),
         256,
         u"Windows XP Professional Media Center Tablet PC",
         u"Windows XP",
         u"XP"},
        {"XP Home Starter",
         {2, 5, 1, 2600, kWs, kSuitePersonal},
         Facts(false, true, false, false),
         256,
         u"Windows XP Home Starter",
         u"Windows XP",
         u"XP"},
        {"Home Server",
         {2, 5, 2, 3790, kSrv, kSuiteHomeServer},
         kNoFacts,
         512,
         u"Windows Home Server",
         u"Windows Home Server",
         u"XP"},
        {"XP x64",
         {2, 5, 2, 3790, kWs, 0, 0, true},
         kNoFacts,
         256,
         u"Windows XP Professional x64",
         u"Windows XP",
         u"XP"},
        {"Server 2003",
         {2, 5, 2, 3790, kSrv},
         kNoFacts,
         512,
         u"Windows Server 2003",
         u"Windows Server 2003",
         u"2003"},
        {"Storage Server 2003",
         {2, 5, 2, 3790, kSrv, kSuiteStorageServer},
         kNoFacts,
         512,
         u"Windows Storage Server 2003",
         u"Windows Storage Server 2003",
         u"2003"},
        {"Server 2003 R2 Enterprise x64",
         {2, 5, 2, 3790, kSrv, kSuiteEnterprise, 0, true},
         Facts(false, false, false, true),
         512,
         u"Windows Server 2003 R2 Enterprise x64",
         u"Windows Server 2003 R2",
         u"2003 R2"},
        {"Server 2003 Web",
         {2, 5, 2, 3790, kDc, kSuiteWebEdition},
         kNoFacts,
         512,
         u"Windows Server 2003 Web",
         u"Windows Server 2003",
         u"2003"},
        {"Server 2003 Compute Cluster",
         {2, 5, 2, 3790, kSrv, kSuiteComputeCluster},
         kNoFacts,
         512,
         u"Windows Server 2003 Compute Cluster",
         u"Windows Server 2003",
         u"2003"},
        {"NT 5.3", {2, 5, 3, 0}, kNoFacts, 1, u"Windows NT 5.3", u"Windows NT 5.3", u"NT 5.3"},
        {"Vista Business",
         {2, 6, 0, 6002, kWs, 0, 6},
         kNoFacts,
         1024,
         u"Windows Vista Business",
         u"Windows Vista",
         u"Vista"},
        {"Vista Home (no edition)",
         {2, 6, 0, 6000, kWs, kSuitePersonal},
         kNoFacts,
         1024,
         u"Windows Vista Home",
         u"Windows Vista",
         u"Vista"},
        {"Vista Home Premium",
         {2, 6, 0, 6000, kWs, kSuitePersonal, 3},
         kNoFacts,
         1024,
         u"Windows Vista Home Premium",
         u"Windows Vista",
         u"Vista"},
        {"Server 2008 Enterprise (no edition)",
         {2, 6, 0, 6001, kSrv, kSuiteEnterprise},
         kNoFacts,
         2048,
         u"Windows Server 2008 Enterprise",
         u"Windows Server 2008",
         u"2008"},
        {"Server 2008 Standard",
         {2, 6, 0, 6001, kSrv, kSuiteEnterprise, 7},
         kNoFacts,
         2048,
         u"Windows Server 2008 Server Standard",
         u"Windows Server 2008",
         u"2008"},
        {"7 Professional x64 SP1",
         {2, 6, 1, 7601, kWs, 0, 48, true, u"Service Pack 1"},
         kNoFacts,
         4096,
         u"Windows 7 Professional x64 Service Pack 1",
         u"Windows 7 Service Pack 1",
         u"7"},
        {"Server 2008 R2",
         {2, 6, 1, 7601, kSrv},
         kNoFacts,
         2048,
         u"Windows Server 2008 R2",
         u"Windows Server 2008 R2",
         u"2008"},
        {"Server 2008 R2 Datacenter x64",
         {2, 6, 1, 7601, kSrv, kSuiteEnterprise, 8, true},
         kNoFacts,
         2048,
         u"Windows Server 2008 R2 Datacenter x64",
         u"Windows Server 2008 R2",
         u"2008"},
        {"Home Server 2011 by edition",
         {2, 6, 1, 7601, kSrv, 0, kEditionHomePremiumServer, true},
         kNoFacts,
         2048,
         u"Windows Home Server 2011 x64",
         u"Windows Home Server 2011",
         u"2008"},
        {"Home Server 2011 by suite",
         {2, 6, 1, 7601, kSrv, kSuiteHomeServer},
         kNoFacts,
         2048,
         u"Windows Home Server 2011",
         u"Windows Home Server 2011",
         u"2008"},
        {"8", {2, 6, 2, 9200, kWs, 0, 48}, kNoFacts, 8192, u"Windows 8 Professional", u"Windows 8", u"8"},
        {"Server 2012",
         {2, 6, 2, 9200, kSrv, 0, 8},
         kNoFacts,
         0x4000,
         u"Windows Server 2012 Datacenter",
         u"Windows Server 2012",
         u"2012"},
        {"8.1", {2, 6, 3, 9600}, kNoFacts, 8192, u"Windows 8.1", u"Windows 8.1", u"8"},
        {"Server 2012 R2",
         {2, 6, 3, 9600, kDc},
         kNoFacts,
         0x4000,
         u"Windows Server 2012 R2",
         u"Windows Server 2012 R2",
         u"2012"},
        {"10 alpha", {2, 6, 4, 9841}, kNoFacts, 0x8000, u"Windows 10 alpha", u"Windows 10 alpha", u"10"},
        {"NT 6.5", {2, 6, 5, 0}, kNoFacts, 1, u"Windows NT 6.5", u"Windows NT 6.5", u"NT6"},
        {"10 Professional x64 with ReleaseId",
         {2, 10, 0, 19041, kWs, 0, 48, true},
         kReleaseId2004,
         0x8000,
         u"Windows 10 Professional x64 2004",
         u"Windows 10 2004",
         u"10"},
        {"10 at build 21326", {2, 10, 0, 21326}, kNoFacts, 0x8000, u"Windows 10", u"Windows 10", u"10"},
        {"11 at build 21327",
         {2, 10, 0, 21327, kWs, 0, 48, true},
         kReleaseId2004,
         0x100000,
         u"Windows 11 Professional x64 2004",
         u"Windows 11 2004",
         u"11"},
        {"Server 2016",
         {2, 10, 0, 14393, kSrv, 0, 7},
         kReleaseId2004,
         0x10000,
         u"Windows Server 2016 Server Standard",
         u"Windows Server 2016",
         u"2016"},
        {"Server 2016 at 17599",
         {2, 10, 0, 17599, kSrv},
         kNoFacts,
         0x10000,
         u"Windows Server 2016",
         u"Windows Server 2016",
         u"2016"},
        {"Server 2019 at 17600",
         {2, 10, 0, 17600, kSrv},
         kNoFacts,
         0x20000,
         u"Windows Server 2019",
         u"Windows Server 2019",
         u"2019"},
        {"Server 2019 at 19503",
         {2, 10, 0, 19503, kDc},
         kNoFacts,
         0x20000,
         u"Windows Server 2019",
         u"Windows Server 2019",
         u"2019"},
        {"Server 2022 at 19504",
         {2, 10, 0, 19504, kSrv},
         kNoFacts,
         0x40000,
         u"Windows Server 2022",
         u"Windows Server 2022",
         u"2022"},
        {"Server 2022 at 25920",
         {2, 10, 0, 25920, kSrv},
         kNoFacts,
         0x40000,
         u"Windows Server 2022",
         u"Windows Server 2022",
         u"2022"},
        {"Server 2025 at 25921",
         {2, 10, 0, 26100, kSrv, 0, 8, true},
         kNoFacts,
         0x200000,
         u"Windows Server 2025 Datacenter x64",
         u"Windows Server 2025",
         u"2025"},
        {"NT 10.1", {2, 10, 1, 0}, kNoFacts, 1, u"Windows NT 10.1", u"Windows NT 10.1", u"NT 10.1"},
        {"NT 12.0",
         {2, 12, 0, 0, kWs, 0, 48},
         kNoFacts,
         1,
         u"Windows NT 12.0 Professional",
         u"Windows NT 12.0",
         u"NT 12.0"},
        {"WINE reporting 10",
         {2, 10, 0, 18362, kWs, 0, 0x1C, true, u"", u"8.0"},
         kNoFacts,
         0x88000,
         u"WINE 8.0 reporting as Windows 10 Ultimate N x64",
         u"WINE 8.0 reporting as Windows 10",
         u"10"},
        {"WINE reporting XP SP3",
         {2, 5, 1, 2600, kWs, 0, 0, false, u"Service Pack 3", u"8.0"},
         kNoFacts,
         0x80100,
         u"WINE 8.0 reporting as Windows XP Professional Service Pack 3",
         u"WINE 8.0 reporting as Windows XP Service Pack 3",
         u"XP"},
    };
    return cases;
}

} // namespace

TEST(OsNames, EveryReleaseWithItsSystemBitAndForms) {
    for (const NameCase& c : NameCases()) {
        SCOPED_TRACE(c.label);
        OsRecord os = MakeOs(c.os);
        EXPECT_EQ(OsSystemBitOf(os), c.bit);
        EXPECT_EQ(OsNameOf(os, c.facts, 0), String(c.full));
        EXPECT_EQ(OsNameOf(os, c.facts, kOsNameShort), String(c.brief));
        EXPECT_EQ(OsNameOf(os, c.facts, kOsNameBare), String(c.bare));
    }
}

TEST(OsNames, FlagCombinations) {
    // Windows 10 x64 with an edition, a service-pack text and a release identifier.
    OsRecord os = MakeOs({2, 10, 0, 19045, kWs, 0, 48, true, u"Service Pack 9"});
    struct {
        unsigned flags;
        const char16_t* name;
    } const cases[] = {
        {0, u"Windows 10 Professional x64 Service Pack 9 22H2"},
        {1, u"Windows 10 Professional x64 22H2"},
        {2, u"Windows 10 Service Pack 9 22H2"},
        {3, u"Windows 10 22H2"},
        {8, u"Windows 10 Professional x64 Service Pack 9"},
        {9, u"Windows 10 Professional x64"},
        {10, u"Windows 10 Service Pack 9"},
        {11, u"Windows 10"},
    };
    OsNameFacts facts;
    facts.releaseId = u"22H2";
    for (const auto& c : cases) {
        EXPECT_EQ(OsNameOf(os, facts, c.flags), String(c.name)) << "flags " << c.flags;
        EXPECT_EQ(OsNameOf(os, facts, c.flags | kOsNameBare), u"10") << "flags " << (c.flags | kOsNameBare);
    }
}

TEST(OsNames, ServicePackText) {
    OsRecord os = MakeOs({2, 5, 1, 2600});
    os.servicePack = u" Service Pack 2";
    EXPECT_EQ(OsNameOf(os, kNoFacts, 2), u"Windows XP Service Pack 2") << "a leading blank is not doubled";
    os.servicePack = u"SP\u4E2D";
    EXPECT_EQ(OsNameOf(os, kNoFacts, 2), u"Windows XP SP?") << "characters the ANSI code page lacks";
    os.servicePack = u"Service Pack 1  ";
    EXPECT_EQ(OsNameOf(os, kNoFacts, 2), u"Windows XP Service Pack 1  ");
    EXPECT_EQ(OsNameTrimmed(os, kNoFacts, 2), u"Windows XP Service Pack 1");
}

TEST(OsNames, ReleaseIdOnlyOnTen) {
    OsNameFacts facts;
    facts.releaseId = String(std::u16string(70, u'9').c_str());
    OsRecord ten = MakeOs({2, 10, 0, 19041});
    EXPECT_EQ(OsNameOf(ten, facts, 0), String(u"Windows 10 ") + String(std::u16string(64, u'9').c_str()))
        << "at most 64 characters";
    facts.releaseId = u"1909";
    EXPECT_EQ(OsNameOf(MakeOs({2, 6, 3, 9600}), facts, 0), u"Windows 8.1");
    EXPECT_EQ(OsNameOf(MakeOs({2, 10, 0, 17763, kSrv}), facts, 0), u"Windows Server 2019");
}

TEST(OsNames, EditionWordsOnlyAboveVersionFive) {
    EXPECT_EQ(OsNameOf(MakeOs({2, 5, 1, 2600, kWs, 0, 48}), kNoFacts, 0), u"Windows XP Professional");
    EXPECT_EQ(String(OsEditionWord(4)), String(OsEditionWord(10)));
    EXPECT_EQ(String(OsEditionWord(4)), u" Enterprise");
    EXPECT_EQ(String(OsEditionWord(64)), u" Cluster Server (without Hyper-V)");
    for (uint32_t unlisted : {0u, 19u, 34u, 50u, 55u, 58u, 65u, 0x1000u}) {
        EXPECT_EQ(String(OsEditionWord(unlisted)), u"") << unlisted;
    }
}

TEST(OsTests, IsServerAndNewerThanServer2003) {
    struct {
        const char* label;
        OsSpec os;
        bool server;
        bool newer;
    } const cases[] = {
        {"98", {1, 4, 10, 2222}, false, false},
        {"NT 4 server", {2, 4, 0, 1381, kSrv}, true, false},
        {"XP", {2, 5, 1, 2600}, false, false},
        {"XP x64 (5.2 workstation)", {2, 5, 2, 3790, kWs, 0, 0, true}, false, false},
        {"Server 2003", {2, 5, 2, 3790, kSrv}, true, true},
        {"Server 2003 domain controller", {2, 5, 2, 3790, kDc}, true, true},
        {"Vista", {2, 6, 0, 6002}, false, true},
        {"10", {2, 10, 0, 19041}, false, true},
        {"10 under WINE", {2, 10, 0, 19041, kWs, 0, 0, false, u"", u"8.0"}, false, false},
        {"Server 2022 under WINE", {2, 10, 0, 20348, kSrv, 0, 0, false, u"", u"8.0"}, true, false},
        {"unknown product type", {2, 10, 0, 19041, 0}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        OsRecord os = MakeOs(c.os);
        EXPECT_EQ(OsIsServer(os), c.server);
        EXPECT_EQ(OsIsNewerThanServer2003(os), c.newer);
    }
}

TEST(OsTests, HomeServer2011Recognition) {
    EXPECT_TRUE(OsIsHomeServer2011(MakeOs({2, 6, 1, 7601, kSrv, 0, kEditionHomePremiumServer})));
    EXPECT_TRUE(OsIsHomeServer2011(MakeOs({2, 6, 1, 7601, kSrv, kSuiteHomeServer})));
    EXPECT_FALSE(OsIsHomeServer2011(MakeOs({2, 6, 1, 7601, kSrv, 0, 7}))) << "Server 2008 R2 Standard";
    EXPECT_FALSE(OsIsHomeServer2011(MakeOs({2, 6, 1, 7601, kWs, kSuiteHomeServer}))) << "a workstation";
    EXPECT_FALSE(OsIsHomeServer2011(MakeOs({2, 5, 2, 3790, kSrv, kSuiteHomeServer}))) << "Home Server (2007)";
    EXPECT_FALSE(OsIsHomeServer2011(MakeOs({2, 6, 2, 9200, kSrv, 0, kEditionHomePremiumServer})));
}
