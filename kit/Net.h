#pragma once
// A blocking HTTP GET that may be called from any thread, the main one included.
#include <optional>
#include <string>

namespace kit {

// The body of url, fetched without any cache. nullopt on a network error, a
// status outside 2xx, or when timeoutSeconds (not scaled) pass first.
std::optional<std::string> fetchUrlSync(const std::string& url, double timeoutSeconds);

// Before the process ends: stops every fetch under way and waits (a few
// seconds at most) until no thread is inside the network code any more; their
// callers then wait for the end instead of returning. Later fetches return
// nothing at once. Runs by itself from an exit hook; call it directly where a
// program ends without running exit handlers in the usual order.
void stopFetchesBeforeExit();

}  // namespace kit
