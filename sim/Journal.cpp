#include "sim/Journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "kit/SysPath.h"
#include "sim/Machine.h"

namespace sim {

std::string journalEncode(const std::string& field) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(field.size());
    for (unsigned char c : field) {
        if (c == '%' || c < 0x20 || c == 0x7f) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string journalDecode(const std::string& field) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size() && digit(field[i + 1]) >= 0 && digit(field[i + 2]) >= 0) {
            out += static_cast<char>(digit(field[i + 1]) * 16 + digit(field[i + 2]));
            i += 2;
        } else {
            out += field[i];
        }
    }
    return out;
}

void journalRecord(const std::string& root, const std::string& kind, const std::string& tool,
                   const std::vector<std::string>& fields) {
    if (root.empty()) return;
    std::string line = kind + "\t" + std::to_string(::getpid()) + "\t" + journalEncode(tool);
    for (const auto& f : fields) line += "\t" + journalEncode(f);
    line += "\n";
    const int fd = ::open(Machine::journalPath(root).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // One write per record: O_APPEND keeps concurrent records whole.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

void journalRun(const std::string& tool, const std::vector<std::string>& args) {
    journalRecord(kit::sysRoot(), "run", tool, args);
}

void journalStdin(const std::string& tool, const std::string& data) {
    journalRecord(kit::sysRoot(), "stdin", tool, {data});
}

void journalEvent(const std::string& tool, const std::string& event) {
    journalRecord(kit::sysRoot(), "event", tool, {event});
}

std::vector<JournalEntry> readJournal(const std::string& root) {
    std::vector<JournalEntry> entries;
    std::ifstream in(Machine::journalPath(root), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (fields.size() < 3) continue;
        const std::string& kind = fields[0];
        pid_t pid = 0;
        try {
            pid = static_cast<pid_t>(std::stol(fields[1]));
        } catch (...) {
            continue;
        }
        const std::string tool = journalDecode(fields[2]);
        if (kind == "run") {
            JournalEntry e;
            e.tool = tool;
            e.pid = pid;
            for (size_t i = 3; i < fields.size(); ++i) e.args.push_back(journalDecode(fields[i]));
            entries.push_back(std::move(e));
            continue;
        }
        // stdin and events belong to the latest run of that process and tool.
        JournalEntry* owner = nullptr;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            if (it->pid == pid && it->tool == tool) {
                owner = &*it;
                break;
            }
        if (!owner || fields.size() < 4) continue;
        const std::string data = journalDecode(fields[3]);
        if (kind == "stdin") owner->stdinData += data;
        else if (kind == "event") owner->events.push_back(data);
    }
    return entries;
}

}  // namespace sim
