#pragma once
// Small helpers of the shell tests: a temporary folder that removes itself,
// file reading and writing, and child processes.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>
#include <vector>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/EnvGuard.h"

extern char** environ;

namespace shelltest {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelorin-shell-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        path_ = made ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

// A child process of a test: started with extra environment entries, its
// standard output and error going to one file. Still running at the end of the
// scope, it is asked to end (SIGTERM: the program quits through its loop and
// takes its temporary folder along) and killed if it has not after a while.
class Child {
public:
    Child(const std::string& exe, const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
          const std::string& outputFile) {
        std::map<std::string, std::string> all;
        for (char** e = environ; *e; ++e) {
            std::string kv = *e;
            auto eq = kv.find('=');
            if (eq != std::string::npos) all[kv.substr(0, eq)] = kv.substr(eq + 1);
        }
        for (auto& [k, v] : env) {
            if (v.empty()) all.erase(k);
            else all[k] = v;
        }
        std::vector<std::string> envStrings, argStrings{exe};
        for (auto& [k, v] : all) envStrings.push_back(k + "=" + v);
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (auto& a : argStrings) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        spawnError_ = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
        if (spawnError_ != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        terminate();
        if (pid_ > 0 && !waitExit(10.0)) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    // What became of it, for failure messages: not started (and why), still
    // running, or how it ended.
    std::string describe() {
        if (pid_ <= 0) return std::string("not started: ") + std::strerror(spawnError_);
        auto status = waitExit(0);
        if (!status) return "running as process " + std::to_string(pid_);
        if (signal_) return "ended by signal " + std::to_string(signal_) + " (" + strsignal(signal_) + ")";
        return "ended with status " + std::to_string(*status);
    }
    // The exit status once it has ended within the time; nullopt while it runs.
    // A death by a signal counts as 128 + the signal.
    std::optional<int> waitExit(double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!status_ && pid_ > 0) {
            int st = 0;
            pid_t r = waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                signal_ = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            else if (std::chrono::steady_clock::now() >= deadline) break;
            else std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_;
    }
    void terminate() {
        if (pid_ > 0 && !status_) ::kill(pid_, SIGTERM);
    }

private:
    pid_t pid_ = -1;
    int spawnError_ = 0, signal_ = 0;
    std::optional<int> status_;
};

// Waits (polling) until cond() holds or the time runs out.
template <class F>
bool waitFor(F cond, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace shelltest
