#pragma once
// Shell lines. Every variable piece of a line (device identifier, volume name,
// path) goes through shellQuote(); lines run through "/bin/sh -c" with PATH
// starting at the system root's usr/sbin, usr/bin and bin.
#include <optional>
#include <string>
#include <vector>

namespace kit {

// Quotes one word for /bin/sh so it reaches the program literally.
std::string shellQuote(const std::string& word);

// Longest line that runShell accepts; a longer one is refused, never cut. The
// line is one argument of /bin/sh, and the kernel takes at most 128 KiB per
// argument, its terminating NUL included.
constexpr size_t kMaxShellLine = 128 * 1024 - 1;

// Runs the line like the C library's system(): blocks, returns the wait status
// decoded as an exit code (0..255), 128+signal for a death by signal, -1 when the
// line was refused or the shell could not start.
int runShell(const std::string& line);

// Runs "/bin/sh -c line" with its standard output on a pipe read to the end;
// standard error is inherited. nullopt when the shell could not be started.
std::optional<std::string> runShellCapture(const std::string& line);

// The environment (as "K=V" entries) every child gets: the current one with PATH
// led by the root's tool folders when a root is set.
std::vector<std::string> childEnvironment();

}  // namespace kit
