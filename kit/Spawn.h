#pragma once
// Starting and reaping children, shared by the shell helpers and Process.
// Internal to kit.
#include <sys/types.h>

#include <string>
#include <vector>

namespace kit::detail {

struct SpawnRequest {
    std::string path;                 // program to run (absolute)
    std::vector<std::string> argv;    // argv[0] included
    std::string cwd;                  // "" keeps ours
    int stdinFd = -1;                 // dup'ed onto 0 when >= 0
    int stdoutFd = -1;                // dup'ed onto 1 when >= 0
    bool stdoutNull = false;
    bool stderrNull = false;
    bool newProcessGroup = false;     // the child leads a process group of its own
    // The child is sent SIGTERM when this process dies (killed, crashed),
    // whichever thread asked for it.
    bool endWithParent = false;
};

// Starts the child with childEnvironment(), default signal dispositions and an
// empty signal mask. Returns its pid, or -1 with *err set to the errno.
pid_t spawn(const SpawnRequest& request, int* err);

// waitpid that retries on EINTR; returns the raw wait status, -1 on error.
int waitForChild(pid_t pid);

// Decodes a wait status the way the shell does: exit code, or 128 + signal.
int decodeWaitStatus(int status);

// Writing to a child that went away must fail with EPIPE, not kill us.
void ignoreSigpipe();

}  // namespace kit::detail
