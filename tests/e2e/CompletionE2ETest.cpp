// The end of an installation under Wine, over three runs of one product: a new installation,
// an upgrade and a reinstallation. Each runs its post-installation batch before its final
// batch (both append to one file), requests the end-of-run address of its kind at an HTTP
// server on the Linux side, and leaves exactly one uninstall entry holding its own values.
#include "support/HttpRecorder.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace cs::e2e;
using cs::test::HttpRecorder;

namespace {

namespace fs = std::filesystem;

const std::string kUninstallRoot = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kProduct = "CsE2E Completion";

std::string Project(const HttpRecorder& recorder, const std::string& version, const std::string& publisher) {
    const std::string base = "http://127.0.0.1:" + std::to_string(recorder.Port());
    return "[product]\nname = '" + kProduct + "'\nversion = '" + version + "'\npublisher = '" + publisher +
           "'\n[install]\nfolder = 'C:\\cs_e2e_completion'\n"
           "[batches]\npost_install = 'echo post " + version + ">>\"%InstallDir%\\order.txt\"'\n"
           "install_exit = 'echo exit " + version + ">>\"%InstallDir%\\order.txt\"'\n"
           "[links]\nnew_install_url = '" + base + "/new'\nupgrade_url = '" + base + "/upgrade'\n"
           "downgrade_url = '" + base + "/downgrade'\nreinstall_url = '" + base + "/reinstall'\n"
           "[[file]]\nsource = 'a.txt'\n";
}

// The entries under the Uninstall key whose names begin with the product's name.
std::vector<std::string> ProductEntries() {
    RunResult r = RunWine({"reg", "query", kUninstallRoot, "/reg:32"}, 60);
    std::vector<std::string> entries;
    size_t at = 0;
    const std::string prefix = kUninstallRoot.substr(4) + "\\" + kProduct;
    while ((at = r.output.find(prefix, at)) != std::string::npos) {
        size_t end = r.output.find_first_of("\r\n", at);
        entries.push_back(r.output.substr(at, end - at));
        at = end;
    }
    return entries;
}

void Clean() {
    RegDeleteKey(kUninstallRoot + "\\" + kProduct);
    fs::remove_all(DriveC() + "/cs_e2e_completion");
}

} // namespace

TEST(CompletionUnderWine, NewInstallationUpgradeAndReinstallation) {
    Clean();
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    const struct {
        const char* version;
        const char* publisher;
        const char* request;
    } runs[] = {
        {"1.0", "Old Publisher", "GET /new"},
        {"2.0", "New Publisher", "GET /upgrade"},
        {"2.0", "Same Publisher", "GET /reinstall"},
    };
    const std::string folder = DriveC() + "/cs_e2e_completion";
    std::string order;
    std::vector<std::string> requests;
    int n = 0;
    for (const auto& run : runs) {
        SCOPED_TRACE(run.request);
        std::string dir = TempDir();
        WriteFile(dir + "/a.txt", "a");
        WriteFile(dir + "/project.toml", Project(recorder, run.version, run.publisher));
        std::string setup = dir + "/setup.exe";
        RunResult built = RunBuilder({"build", dir + "/project.toml", "-o", setup, "--stub", Engine()});
        ASSERT_EQ(built.exitCode, 0) << built.output;
        // Automatic, not silent: silent mode clears the version comparison, and every run over
        // an installed copy would count as a reinstallation.
        RunResult ran = RunWine({setup, "/a"}, 180);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 0) << ran.output;

        order += std::string("post ") + run.version + "\r\nexit " + run.version + "\r\n";
        EXPECT_EQ(FileText(folder + "/order.txt"), order) << "the post-installation batch runs first";
        requests.push_back(run.request);
        // The request is sent in the background; the run waits for it before it ends.
        EXPECT_EQ(recorder.Requests(), requests);

        EXPECT_EQ(ProductEntries(), std::vector<std::string>{kUninstallRoot.substr(4) + "\\" + kProduct})
            << "one entry after run " << ++n;
        std::map<std::string, ExportedValue> values = ExportedValues(kUninstallRoot + "\\" + kProduct);
        EXPECT_EQ(values["DisplayVersion"].data, run.version);
        EXPECT_EQ(values["Publisher"].data, run.publisher);
        EXPECT_EQ(values["VersionMajor"].data, std::string(1, run.version[0]));
        EXPECT_EQ(values["InstallLocation"].data, "C:\\cs_e2e_completion");
    }
    Clean();
}
