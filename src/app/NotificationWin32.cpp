// The notification requests on Windows: the address expanded from the installer state, the
// firewall registration before the first one, and WinInet requests on the worker thread.
#include "app/Notification.h"

#include "actions/FirewallWin32.h"
#include "app/NotificationQueue.h"
#include "core/HandleWin32.h"
#include "core/ModulePathWin32.h"
#include "core/OsInfo.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "runtime/Exit.h"
#include "runtime/InstallerState.h"
#include "runtime/ProcessWin32.h"
#include "vars/Variables.h"

#include <windows.h>

#include <ole2.h>
#include <wininet.h>

#include <atomic>

namespace cs {

namespace {

constexpr wchar_t kUserAgent[] = L"Corvantis Setup";
// Connect, send and receive each give up after this long, so the wait at exit stays short
// even when the server does not answer.
constexpr DWORD kTimeoutMs = 10000;
constexpr char kHeaders[] = "Cache-Control: no-cache\r\n";
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                             INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;

std::atomic<long> g_firewallResult{1};
std::atomic<bool> g_failureRequested{false};

// The networking libraries, loaded once and kept until the process ends.
struct NetworkLibraries {
    HMODULE rasapi = nullptr;
    HMODULE wininet = nullptr;
};
const NetworkLibraries& Libraries() {
    static const NetworkLibraries libraries{LoadSystemLibrary(L"RASAPI32.DLL"),
                                            LoadSystemLibrary(L"WinInet.DLL")};
    return libraries;
}

// The WinInet entry points the worker uses, taken by name from the kept library.
struct WinInetApi {
    decltype(&InternetOpenW) open = nullptr;
    decltype(&InternetSetOptionW) setOption = nullptr;
    decltype(&InternetOpenUrlA) openUrl = nullptr;
    decltype(&InternetReadFile) read = nullptr;
    decltype(&InternetCloseHandle) close = nullptr;
    bool Complete() const { return open && setOption && openUrl && read && close; }
};
const WinInetApi& Api() {
    static const WinInetApi api = [] {
        WinInetApi a;
        HMODULE m = Libraries().wininet;
        a.open = LibraryEntry<decltype(a.open)>(m, "InternetOpenW");
        a.setOption = LibraryEntry<decltype(a.setOption)>(m, "InternetSetOptionW");
        a.openUrl = LibraryEntry<decltype(a.openUrl)>(m, "InternetOpenUrlA");
        a.read = LibraryEntry<decltype(a.read)>(m, "InternetReadFile");
        a.close = LibraryEntry<decltype(a.close)>(m, "InternetCloseHandle");
        return a;
    }();
    return api;
}

// WinInet's handles, closed through the library's own entry point (taken only once the
// library is known to have it).
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { Api().close(handle); }
};
using UniqueInternet = UniqueOwner<InternetHandleTraits>;

// Worker thread: one GET of the address; the answer is read to its end and dropped. Every
// failure simply ends the request.
void RequestOverHttp(const String8& url) {
    const WinInetApi& api = Api();
    if (!api.Complete()) return;
    UniqueInternet session(api.open(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return;
    DWORD timeout = kTimeoutMs;
    api.setOption(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    api.setOption(session.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    api.setOption(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    DWORD retries = 1;
    api.setOption(session.Get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    String8 target = UrlForRequest(url);
    UniqueInternet request(api.openUrl(session.Get(), target.c_str(), kHeaders, DWORD(-1), kOpenFlags, 0));
    if (!request) return;
    char buffer[4096];
    DWORD got = 0;
    while (api.read(request.Get(), buffer, sizeof buffer, &got) && got > 0) {
    }
}

// Adds the running program to the firewall's authorized applications; returns the HRESULT of
// the step that failed, or S_OK. Needs COM on the calling thread (the main sequence's OLE).
HRESULT AuthorizeProgram() {
    FirewallProfile firewall;
    HRESULT hr = firewall.Connect();
    return FAILED(hr) ? hr
                      : firewall.AuthorizeProgram(ModuleFullPath(), String(u"Corvantis Setup Installer"));
}

// Before the first request. A failure, or a crash inside the firewall's code, only leaves
// its result for FirewallRegistrationResult.
void RegisterWithFirewall() {
    try {
        g_firewallResult = AuthorizeProgram();
    } catch (...) {
        g_firewallResult = E_UNEXPECTED;
    }
}

NotificationQueue& Queue() {
    // Never destroyed: the process ends through ExitProcess while the worker sleeps.
    static NotificationQueue* queue = new NotificationQueue(RequestOverHttp, RegisterWithFirewall);
    return *queue;
}

NotificationInputs CurrentNotificationInputs() {
    NotificationInputs in;
    in.session = Installer().session;
    in.os = CurrentOsRecord();
    in.osFacts = CurrentOsNameFacts();
    return in;
}

} // namespace

void LoadNetworkingLibraries() {
    Libraries();
}

void QueueExpandedNotification(const String8& url) {
    Queue().Add(url);
}

void RequestNotification(const String& url) {
    if (IsBlank(url)) return;
    String8 expanded = ToUtf8(url);
    // The expansion trims the address; the queue drops one that is empty or not a web address.
    ExpandNotificationUrl(expanded, Installer().productVersion8, CurrentNotificationInputs());
    QueueExpandedNotification(expanded);
}

void RequestFailureNotification() {
    // A damaged installer asks for it, and the log's closing step asks again on the way out.
    if (g_failureRequested.exchange(true)) return;
    RequestNotification(Installer().definition.links[kLinkFailureUrl]);
}

// Each request is bounded by its time-outs, but a name lookup is not: the exit waits at most
// this long, so a run never hangs on an unreachable server.
constexpr std::chrono::seconds kExitWaitLimit{60};
// An idle worker leaves its loop at once; this only bounds the unexpected.
constexpr std::chrono::seconds kStopLimit{5};

void WaitForNotifications() {
    bool idle = Queue().WaitIdleFor(kExitWaitLimit);
    // The worker ends before the process does. A thread cut off by the process's end inside
    // the network library can hold a lock that the library's own clean-up then waits for
    // without end; a worker still inside a request is left to the exit without clean-up.
    if (!Queue().Stop(idle ? std::chrono::milliseconds(kStopLimit) : std::chrono::milliseconds(0)))
        AbandonRunningThread();
}

long FirewallRegistrationResult() {
    return g_firewallResult;
}

} // namespace cs
