#include "support/WindowsVersion.h"

#include "support/Wine.h"

#include <sstream>

namespace cs::e2e {

WindowsVersionSwitch::WindowsVersionSwitch() {
    original_ = TrimmedEnd(RunWine({"winecfg", "-v"}, 60).output);
    RunResult userValue = RunWine({"reg", "query", "HKCU\\Software\\Wine", "/v", "Version"}, 60);
    if (userValue.exitCode != 0) return;
    std::istringstream in(userValue.output);
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find("REG_SZ");
        if (at != std::string::npos)
            originalUser_ = TrimmedEnd(line.substr(line.find_first_not_of(" ", at + 6)));
    }
    hadUserValue_ = true;
}

WindowsVersionSwitch::~WindowsVersionSwitch() {
    SetUserVersion(hadUserValue_ ? originalUser_ : "");
    if (!original_.empty()) RunWine({"winecfg", "-v", original_}, 60);
}

bool WindowsVersionSwitch::Set(const std::string& version) {
    if (version == "winxp") {
        SetUserVersion(version);
        return true;
    }
    SetUserVersion("");
    return RunWine({"winecfg", "-v", version}, 60).exitCode == 0;
}

void WindowsVersionSwitch::SetUserVersion(const std::string& version) {
    if (version.empty())
        RunWine({"reg", "delete", "HKCU\\Software\\Wine", "/v", "Version", "/f"}, 60);
    else
        RunWine({"reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"}, 60);
}

} // namespace cs::e2e
