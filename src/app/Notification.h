// Notification requests: addresses of the definition requested in the background, so the run
// never waits for the network until it ends.
#pragma once

#include "core/String.h"

namespace cs {

// Queues a request for the URL after expanding its variables (session, version, system). An
// empty URL does nothing. The first request registers the installer with the firewall (a
// failure is ignored) and starts the one worker thread.
void RequestNotification(const String& url);

// The definition's failure URL, requested at most once a run (a damaged installer and the
// log's closing step both ask for it).
void RequestFailureNotification();

// Waits until every queued request has ended; the exit routine calls it. Returns at once when
// nothing was ever requested.
void WaitForNotifications();

// Loads "RASAPI32.DLL" and "WinInet.DLL" from the system folder and keeps them for the rest
// of the run; the first phase of the main sequence calls it. Later calls do nothing. The
// worker loads them itself when this was not called.
void LoadNetworkingLibraries();

// Queues an address whose variables are already expanded (trimmed; empty or not http/https:
// nothing). RequestNotification ends here; a test program may call it directly.
void QueueExpandedNotification(const String8& url);

// The result of registering with the firewall before the first request: the HRESULT of the
// step that failed, 0 when every step succeeded, 1 while it was not tried.
long FirewallRegistrationResult();

} // namespace cs
