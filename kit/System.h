#pragma once
// System facts, from the simulated machine when a root is set, else from the host.
#include <optional>
#include <string>

#include "kit/Plist.h"

namespace kit {

// The simulated machine's state, read fresh from machineStatePath(); nullopt
// when no root is set or the file is missing or unreadable.
std::optional<Value> machineState();

struct SystemVersion { unsigned major = 10, minor = 0, bugFix = 0; bool ok = false; };
// Machine "SystemVersion" ("13.4.1"); on the host, os-release's VERSION_ID, else
// not ok.
SystemVersion systemVersion();
// Machine "ProcessorBrand"; on the host, /proc/cpuinfo's "model name".
std::string processorBrand();

// Diagnostics, "Pelorin[pid]: message": to the system log (syslog) when one
// listens at its socket, else as one line on standard error, written whole.
// The environment's PELORIN_LOG=stderr keeps them on standard error (the
// tests read them there). The way is chosen at the first line.
void systemLog(const std::string& message);
enum class LogRoute { SystemLog, StandardError };
// Where diagnostics go here, looked at afresh.
LogRoute systemLogRoute();
// Whether a system log takes messages at `socketPath` (a local socket).
bool systemLogListening(const std::string& socketPath);

template <class... A> std::string format(const char* fmt, const A&... args);
// kit::logf("Add %@", text) — formats like kit::format and writes to the system log.
template <class... A>
void logf(const char* fmt, const A&... args) { systemLog(format(fmt, args...)); }

}  // namespace kit
#include "kit/Format.h"
