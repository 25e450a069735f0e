#include "ToolRun.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "kit/SysPath.h"

namespace simtest {

Run run(const std::vector<std::string>& words) {
    const std::string errFile = kit::temporaryDirectory() + "sim-test-stderr-" + std::to_string(::getpid());
    const std::string statusMark = "\n#status=";
    const std::string line =
        quoted(words) + " 2>" + kit::shellQuote(errFile) + "; printf '" + "\\n#status=%d" + "' $?";
    Run r;
    auto out = kit::runShellCapture(line);
    if (!out) return r;
    const size_t at = out->rfind(statusMark);
    if (at != std::string::npos) {
        r.status = std::atoi(out->c_str() + at + statusMark.size());
        r.out = out->substr(0, at);
    } else {
        r.out = *out;
    }
    std::ifstream in(errFile, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    std::remove(errFile.c_str());
    return r;
}

}  // namespace simtest
