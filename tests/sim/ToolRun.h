#pragma once
// Runs a stand-in tool of the current root the way the system does: a shell
// line with every piece quoted, PATH led by the root's tool folders.
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/Shell.h"

namespace simtest {

struct Run {
    int status = -1;      // exit code
    std::string out;      // standard output
    std::string err;      // standard error
    std::optional<kit::Value> plist() const { return kit::parsePlist(out); }
};

inline std::string quoted(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& w : words) line += (line.empty() ? "" : " ") + kit::shellQuote(w);
    return line;
}

// tool args… through /bin/sh; standard error is captured through a file so the
// three results stay apart.
Run run(const std::vector<std::string>& words);

}  // namespace simtest
