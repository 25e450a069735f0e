#pragma once
// Child processes: a launch path and arguments, optional pipes on standard input
// and output, output chunks delivered on the main thread, terminate = SIGTERM.
// A child is always reaped; a launch failure is an error, never a crash; writing
// to a child that already exited fails quietly (SIGPIPE is ignored process-wide).
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class Process : public std::enable_shared_from_this<Process> {
public:
    static std::shared_ptr<Process> create();
    ~Process();

    void setLaunchPath(const std::string& path);        // a host path (use sysPath for system tools)
    void setArguments(const std::vector<std::string>& args);
    void setCurrentDirectory(const std::string& dir);
    void setPipeStandardInput(bool on);                  // default off: inherits ours
    void setPipeStandardOutput(bool on);                 // default off: inherits ours
    void setStandardOutputToNull(bool on);               // default off
    void setStandardErrorToNull(bool on);                // default off: inherits ours
    // Default on: a child still running when this process dies (killed,
    // crashed) is sent SIGTERM, so no tool works on with nobody watching it.
    // Off for work that must never be cut halfway (an erase).
    void setEndsWithParent(bool on);

    // Called on the main thread for every chunk read from standard output, in
    // order; an empty chunk marks the end of the stream (called once).
    void setOutputHandler(std::function<void(const std::string& chunk)> handler);
    // For a child that writes its output a line at a time: standard output is
    // read at most once every `seconds`, so each chunk holds all that came
    // meanwhile (one wake-up for many lines, not one per line); the pipe is made
    // large enough that the child does not wait for the pause. 0 (the default):
    // read as soon as anything comes.
    void setOutputBatchInterval(double seconds);
    // Called on the main thread once the child has exited and, when an output
    // handler is set, after the end of its output has been delivered.
    void setTerminationHandler(std::function<void(Process&)> handler);

    // Starts the child. false (with a message in *error) when it can't be started.
    bool launch(std::string* error = nullptr);

    // Writes to the child's standard input; false when the pipe is closed or the
    // child is gone. closeInput() sends end-of-file.
    bool writeInput(const std::string& bytes);
    void closeInput();

    // Without an output handler: reads standard output to its end (blocking).
    std::string readAllOutput();

    void terminate();                                    // SIGTERM if still running
    void interrupt();                                    // SIGINT
    bool isRunning() const;
    pid_t processIdentifier() const;
    // Blocks until the child has exited and returns terminationStatus().
    int waitUntilExit();
    // Exit code, or the signal number when it died by a signal.
    int terminationStatus() const;
    bool terminatedBySignal() const;
    bool exitedCleanly() const { return !isRunning() && !terminatedBySignal() && terminationStatus() == 0; }

private:
    Process();
    void readLoop(int fd);
    void deliverOutput(const std::string& chunk);
    void reapLoop();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A shell line with a bound: "/bin/sh -c line" in a process group of its own,
// so that the line's whole family (the tool it starts, a pipeline) can be ended
// together when the time is up or the caller stops it. Blocks the calling thread;
// call it off the main thread.
struct ShellRunLimits {
    // Scaled by the time scale, but a scale below 1 never takes it under the
    // smaller of itself and 5 s: a slow tool on a busy machine is not a hung
    // one. 0 or less: no time-out.
    double timeoutSeconds = 0;
    std::function<bool()> stop;    // polled while the line runs; true ends it
    bool captureOutput = false;    // standard output into ShellRunResult::output (else inherited)
};

struct ShellRunResult {
    bool started = false;   // the line was accepted and the shell started
    bool timedOut = false;  // ended by us because the time was up
    bool stopped = false;   // ended by us because stop() answered true
    int status = -1;        // as runShell: exit code, 128 + signal; -1 when not started
    std::string output;     // captured standard output (also what came before an end)
    // The line ran to its own end (whatever its status).
    bool finished() const { return started && !timedOut && !stopped; }
    bool succeeded() const { return finished() && status == 0; }
};

ShellRunResult runShellLimited(const std::string& line, const ShellRunLimits& limits = {});

}  // namespace kit
