#include "kit/System.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "kit/SysPath.h"

namespace kit {

std::optional<Value> machineState() {
    if (sysRoot().empty()) return std::nullopt;
    auto state = readPlistFile(machineStatePath());
    if (!state || !state->isDict()) return std::nullopt;
    return state;
}

namespace {

// "13.4.1" -> 13, 4, 1; at least a major number is needed.
SystemVersion parseVersion(const std::string& text) {
    SystemVersion v;
    unsigned parts[3] = {0, 0, 0};
    size_t i = 0;
    int count = 0;
    while (count < 3 && i < text.size()) {
        if (text[i] < '0' || text[i] > '9') break;
        unsigned long n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            n = n * 10 + static_cast<unsigned long>(text[i] - '0');
            if (n > 0xFFFFFFFFul) return SystemVersion{};
            ++i;
        }
        parts[count++] = static_cast<unsigned>(n);
        if (i < text.size() && text[i] == '.') ++i;
        else break;
    }
    if (count == 0) return SystemVersion{};
    v.major = parts[0];
    v.minor = parts[1];
    v.bugFix = parts[2];
    v.ok = true;
    return v;
}

std::string unquote(std::string s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) s = s.substr(1, s.size() - 2);
    return s;
}

}  // namespace

SystemVersion systemVersion() {
    if (!sysRoot().empty()) {
        auto state = machineState();
        if (!state) return SystemVersion{};
        auto text = state->getString("SystemVersion");
        return text ? parseVersion(*text) : SystemVersion{};
    }
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VERSION_ID=", 0) == 0) return parseVersion(unquote(line.substr(11)));
    }
    return SystemVersion{};
}

std::string processorBrand() {
    if (!sysRoot().empty()) {
        auto state = machineState();
        if (!state) return {};
        return state->getString("ProcessorBrand").value_or("");
    }
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            size_t start = line.find_first_not_of(" \t", colon + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    }
    return {};
}

bool systemLogListening(const std::string& socketPath) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    // A system log listens on a datagram socket, some on a stream one.
    for (int type : {SOCK_DGRAM, SOCK_STREAM}) {
        const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (connected) return true;
    }
    return false;
}

LogRoute systemLogRoute() {
    const char* forced = std::getenv("PELORIN_LOG");
    if (forced && std::string(forced) == "stderr") return LogRoute::StandardError;
    return systemLogListening(_PATH_LOG) ? LogRoute::SystemLog : LogRoute::StandardError;
}

void systemLog(const std::string& message) {
    static const bool toSystemLog = [] {
        if (systemLogRoute() != LogRoute::SystemLog) return false;
        ::openlog("Pelorin", LOG_PID, LOG_USER);
        return true;
    }();
    if (toSystemLog) {
        ::syslog(LOG_NOTICE, "%s", message.c_str());
        return;
    }
    // One write() per line, so lines from several threads never interleave.
    std::string line = "Pelorin[" + std::to_string(::getpid()) + "]: " + message;
    if (line.empty() || line.back() != '\n') line += '\n';
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace kit
