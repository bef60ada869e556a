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

// Waits until every queued request has ended; the exit routine calls it.
void WaitForNotifications();

} // namespace cs
