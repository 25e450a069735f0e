#pragma once
// The journal of the stand-in tools: <root>/.pelorin/journal. Every run appends
// one record with its tool name and arguments; a tool adds what it read on
// standard input and notable events (a signal it received) as further records
// of the same run. Each record is one line appended with a single write, so runs
// in parallel never interleave inside a record.
//
// Line format: kind TAB pid TAB tool (TAB field)*, where kind is "run", "stdin"
// or "event" and every field is percent-encoded ('%', TAB, CR, LF and other
// control bytes as %XX), so arguments may hold any bytes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

struct JournalEntry {
    std::string tool;                 // "diskutil"
    std::vector<std::string> args;    // argv[1..]
    std::string stdinData;            // all that the run journaled as read on standard input
    std::vector<std::string> events;  // events in order ("SIGTERM")
    pid_t pid = 0;
};

// Appends the run record for this process (root from PELORIN_SYSROOT; does nothing without one).
void journalRun(const std::string& tool, const std::vector<std::string>& args);
void journalStdin(const std::string& tool, const std::string& data);
void journalEvent(const std::string& tool, const std::string& event);
// The same, for an explicit root.
void journalRecord(const std::string& root, const std::string& kind, const std::string& tool,
                   const std::vector<std::string>& fields);

// All runs in order, stdin and events merged into their run (by pid and tool).
std::vector<JournalEntry> readJournal(const std::string& root);

std::string journalEncode(const std::string& field);
std::string journalDecode(const std::string& field);

}  // namespace sim
