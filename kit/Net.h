#pragma once
// A blocking HTTP GET that may be called from any thread, the main one included.
#include <optional>
#include <string>

namespace kit {

// The body of url, fetched without any cache. nullopt on a network error, a
// status outside 2xx, or when timeoutSeconds (not scaled) pass first.
std::optional<std::string> fetchUrlSync(const std::string& url, double timeoutSeconds);

}  // namespace kit
