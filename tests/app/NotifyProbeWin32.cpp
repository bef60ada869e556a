// Drives the engine's notification worker as the main sequence does, against a server on
// 127.0.0.1 at the port given as the only argument:
//   1. an empty address (nothing is sent);
//   2. an address nobody listens on (the failure changes nothing for what follows);
//   3. "/install?v=%version%&s=%Session%&os=%OSMajor%" with version "1.0 beta", session 4242;
//   4. the failure address "/fail?s=%Session%" asked for twice (sent once);
//   5. an already expanded "/raw path" queued directly.
// Then it waits for the worker and prints the firewall registration's result.
// Without an argument it only waits (nothing was queued) and prints the same line.
#include "app/Notification.h"
#include "core/Text.h"
#include "runtime/InstallerState.h"

#include <windows.h>

#include <ole2.h>

#include <cstdio>

using namespace cs;

int wmain(int argc, wchar_t** argv) {
    OleInitialize(nullptr);
    LoadNetworkingLibraries();
    if (argc > 1) {
        String base = String(u"http://127.0.0.1:") + String(reinterpret_cast<const char16_t*>(argv[1]));
        InstallerState& state = Installer();
        state.productVersion8 = "1.0 beta";
        state.session = 4242;
        state.definition.links[kLinkFailureUrl] = base + u"/fail?s=%Session%";
        RequestNotification(u"");
        RequestNotification(u"  http://127.0.0.1:1/refused  ");
        RequestNotification(base + u"/install?v=%version%&s=%Session%&os=%OSMajor%");
        RequestFailureNotification();
        RequestFailureNotification();
        QueueExpandedNotification(ToUtf8(base + u"/raw path"));
    }
    WaitForNotifications();
    std::printf("firewall 0x%08lX\n", static_cast<unsigned long>(FirewallRegistrationResult()));
    std::fflush(stdout);
    OleUninitialize();
    return 0;
}
