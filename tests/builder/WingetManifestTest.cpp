// The manifest writer's own rules: the package identifier made from the names, texts that
// YAML would misread kept whole, and what it refuses. (The schemas and the switches are
// checked end to end by tests/builder/publish/manifest.sh.)
#include "builder/WingetManifest.h"

#include "builder/Project.h"
#include "payload/FakePe.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

TEST(DefaultPackageIdentifier, KeepsOnlyWhatTheSchemaAllows) {
    struct Case {
        const char* publisher;
        const char* product;
        const char* expected;
    } cases[] = {
        {"Corvantis Examples", "Hello Corvantis", "CorvantisExamples.HelloCorvantis"},
        {"A.B: C/D", "x*y?\"z\"<>|", "ABCD.xyz"},
        {"", "Only Product", "OnlyProduct.OnlyProduct"},
        {"Pub", "", "Pub.Product"},
        {"Société Générale", "Café", "SociétéGénérale.Café"}, // UTF-8 kept whole
        {"P", "abcdefghijklmnopqrstuvwxyz0123456789", "P.abcdefghijklmnopqrstuvwxyz012345"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultPackageIdentifier(c.publisher, c.product), c.expected)
            << c.publisher << " / " << c.product;
}

// An installer of a small project on the fake stub.
Bytes Installer(const std::string& productLines) {
    Project project;
    std::string error;
    EXPECT_TRUE(LoadProjectText("[product]\n" + productLines, "/nonexistent/p.toml", project, error))
        << error;
    Bytes installer;
    EXPECT_TRUE(BuildInstaller(project, test::MakeFakeStub(), installer, error)) << error;
    return installer;
}

TEST(WingetManifests, TextsAreQuotedAndTheNamesComeFromTheInstaller) {
    Bytes installer = Installer("name = \"Bob's #1: Tool\"\nversion = \"1.0\"\npublisher = \"Bob\"\n");
    std::vector<ManifestFile> files;
    std::string error;
    ManifestOptions options;
    options.installerUrl = "https://example.com/x.exe";
    ASSERT_TRUE(WriteWingetManifests(installer, options, files, error)) << error;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "Bob.Bob's#1Tool.yaml");
    EXPECT_EQ(files[2].name, "Bob.Bob's#1Tool.installer.yaml");
    // Single quotes doubled; "1.0" stays a text, not a number.
    EXPECT_NE(files[1].text.find("PackageName: 'Bob''s #1: Tool'\n"), std::string::npos) << files[1].text;
    EXPECT_NE(files[2].text.find("PackageVersion: '1.0'\n"), std::string::npos);
    EXPECT_NE(files[2].text.find("  Custom: '/n:\"Bob''s #1: Tool\"'\n"), std::string::npos) << files[2].text;
    EXPECT_NE(files[2].text.find("- Architecture: x86\n"), std::string::npos);
    EXPECT_EQ(files[2].text.find("UnsupportedOSArchitectures"), std::string::npos);
}

TEST(WingetManifests, ArchitectureFollowsTheProductsBitness) {
    struct Case {
        const char* bitness;
        const char* architecture;
        bool unsupported64;
    } cases[] = {{"any", "x86", false}, {"64-bit", "x64", false}, {"32-bit", "x86", true}};
    for (const Case& c : cases) {
        Bytes installer = Installer(std::string("name = \"Arch\"\nversion = \"1\"\nbitness = \"") + c.bitness + "\"\n");
        std::vector<ManifestFile> files;
        std::string error;
        ASSERT_TRUE(WriteWingetManifests(installer, ManifestOptions(), files, error)) << error;
        const std::string& text = files[2].text;
        EXPECT_NE(text.find(std::string("- Architecture: ") + c.architecture + "\n"), std::string::npos) << c.bitness;
        EXPECT_EQ(text.find("UnsupportedOSArchitectures:\n- x64\n- arm64\n") != std::string::npos, c.unsupported64)
            << c.bitness;
    }
}

TEST(WingetManifests, RefusesWhatCannotMakeAManifest) {
    struct Case {
        const char* what;
        Bytes installer;
        std::string url;
        const char* error;
    } cases[] = {
        {"no version", Installer("name = \"NoVersion\"\n"), "", "no product version"},
        {"an address that is not http", Installer("name = \"Pq\"\nversion = \"1\"\n"), "ftp://x/y.exe",
         "--url"},
        {"not an installer", test::MakeFakeStub(), "", "engine's checks"},
    };
    for (const Case& c : cases) {
        std::vector<ManifestFile> files;
        std::string error;
        ManifestOptions options;
        options.installerUrl = c.url;
        EXPECT_FALSE(WriteWingetManifests(c.installer, options, files, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
}

} // namespace
