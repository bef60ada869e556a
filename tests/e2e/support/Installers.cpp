#include "support/Installers.h"

#include "support/Wine.h"

#include <gtest/gtest.h>

namespace cs::e2e {

std::string BuildInstaller(const std::string& name, const std::string& projectText) {
    std::string dir = TempDir();
    std::string project = dir + "/" + name + ".toml";
    std::string out = dir + "/" + name + "-setup.exe";
    if (!WriteFile(project, projectText)) return "";
    RunResult built = RunNative(
        {HostBin("corvantis-build"), "build", project, "-o", out, "--stub", WinBin("corvantis-setup.exe")}, 120);
    EXPECT_EQ(built.exitCode, 0) << built.output;
    return built.exitCode == 0 ? out : "";
}

void RegAdd(const std::string& key, const std::string& name, const std::string& value) {
    RunResult r = RunWine({"reg", "add", key, "/v", name, "/d", value, "/f"}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

void RegDeleteKey(const std::string& key) {
    RunWine({"reg", "delete", key, "/f"}, 60);
}

} // namespace cs::e2e
