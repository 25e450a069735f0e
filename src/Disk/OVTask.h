#pragma once
// The blocking tool runner, the shell captures into fixed-name property lists of
// the temporary folder, the folder test and the clone text log.
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kit/Format.h"
#include "kit/Plist.h"

// Runs one program with a time-out and waits for it. One shared instance; the
// settings persist from one run to the next.
class OVTask {
public:
    static OVTask& OVShareInstance();
    OVTask();

    void OVSetLaunchPath(const std::optional<std::string>& path);            // nullopt keeps the old path
    void OVSetArguments(const std::optional<std::vector<std::string>>& args); // nullopt keeps the old list
    void OVSetTimeoutCount(double seconds);

    // Blocks until the child ends, the time-out passes (never less than 60 s) or
    // OVStopTask is sent. Call it off the main thread.
    void OVStartTask();
    void OVStopTask();
    // The time-out: sets the flag.
    void OVTimerImp();

    std::string launchPath() const;
    std::vector<std::string> arguments() const;
    double timeoutCount() const;
    bool timedOutOrStopped() const { return bTimerOut_.load(); }

private:
    mutable std::mutex mutex_;
    std::string strLaunchPath_;
    std::vector<std::string> arrArguments_;
    std::atomic<bool> bTimerOut_{false};
    double dTimeoutCount_ = 60.0;
};

// Capture of a command's standard output into "OVTemp.plist" of the temporary
// folder; the file's path whether or not the command worked, nullopt for a null
// command or a line too long for the 2048-byte limit (refused, never cut).
std::optional<std::string> OVExecCommand(const char* command);

// True only for an existing directory.
bool OVCheckFolderExist(const std::optional<std::string>& path);

// How long a capture may take before its tool is ended (scaled by the time
// scale). The disk tool answers a query in seconds; one that hangs on a dead
// device must not hold its caller, or a lock, for ever.
constexpr double OVCaptureTimeout = 60.0;

// One bounded capture. The line keeps the shape "<command> > <file>", but the
// file is a private one beside "<temporary folder>/<fileName>", moved onto that
// name once the run is over: concurrent captures of one name never read each
// other's output, and no lock is held while a tool runs.
struct OVCapture {
    bool ran = false;        // the line was accepted and the shell started
    bool timedOut = false;   // the tool was ended at the time-out
    bool stopped = false;    // the tool was ended because stop() answered true
    int status = -1;         // the line's exit status; -1 when it did not run
    std::string path;        // "<temporary folder>/<fileName>" (empty when refused)
    std::string output;      // what the line wrote
    // Ran to its own end with exit status 0.
    bool ok() const { return ran && !timedOut && !stopped && status == 0; }
    // The output as a property list; nullopt when it doesn't parse.
    std::optional<kit::Value> value() const;
};
// Runs the capture. A line that, written with the fixed file's path, would not fit
// bufferSize with its terminating zero is refused (ran stays false).
OVCapture OVCaptureLimited(const std::string& command, const std::string& fileName,
                           double timeoutSeconds = OVCaptureTimeout, const std::function<bool()>& stop = {},
                           size_t bufferSize = 2048);

// The older shape of a capture: callers that read the file themselves hold the
// name's lock from the run until the file has been read, so no later capture
// replaces it meanwhile. The run itself is bounded by OVCaptureTimeout.
std::mutex& OVCaptureLock(const std::string& fileName);
// Runs the capture (the caller holds the lock). The path, or nullopt when the
// line with its terminating zero would not fit bufferSize.
std::optional<std::string> OVRunCapture(const std::string& command, const std::string& fileName,
                                        size_t bufferSize = 2048);
// Runs and parses, without a lock: the parsed property list, nullopt when the
// line was refused, timed out or its output doesn't parse.
std::optional<kit::Value> OVCaptureValue(const std::string& command, const std::string& fileName,
                                         size_t bufferSize = 2048);

// The clone text log "/tmp/OrvaneBootableDataRecovery.txt": one line per entry,
// "%Y-%m-%d %H:%M:%S  " then the message. Appends are whole and never interleave.
int OVInitLog();
int OVUninitLog();
int OVLogLine(const std::string& message);
std::string OVLogPath();
// printf-style ("%@" takes a string): 0 when written, -1 for a null format or a
// log that can't be opened.
template <class... A>
int OVLog(const char* fmt, const A&... args) {
    if (!fmt) return -1;
    return OVLogLine(kit::format(fmt, args...));
}
