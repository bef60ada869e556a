// End-to-end test support: the Windows version the test prefix reports, switched for a
// test's lifetime. It acts on the whole prefix, so a test that uses it runs alone (RUN_SERIAL).
#pragma once

#include <string>

namespace cs::e2e {

// Switches the prefix's reported Windows version and restores the setting it found: the
// global version (winecfg -v) and the user's "Version" override.
class WindowsVersionSwitch {
  public:
    WindowsVersionSwitch();
    ~WindowsVersionSwitch();
    WindowsVersionSwitch(const WindowsVersionSwitch&) = delete;
    WindowsVersionSwitch& operator=(const WindowsVersionSwitch&) = delete;

    // "win10", "win81", "win7", "vista": the prefix's version; "winxp": the user override
    // (a 64-bit prefix offers XP only that way). False when winecfg refused it.
    bool Set(const std::string& version);
    const std::string& Original() const { return original_; }

  private:
    static void SetUserVersion(const std::string& version);
    std::string original_;
    std::string originalUser_;
    bool hadUserValue_ = false;
};

} // namespace cs::e2e
