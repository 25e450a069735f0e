#include "Bootable/SystemClonebyTimeMacine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/Process.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

namespace dispatch = kit::dispatch;

std::shared_ptr<kit::Process> toolProcess(const std::vector<std::string>& args) {
    auto p = kit::Process::create();
    p->setLaunchPath(kit::sysPath("/usr/bin/tmutil"));
    p->setArguments(args);
    return p;
}

// Runs the tool to its end: its exit status, -1 when it could not be started.
int runTool(const std::vector<std::string>& args) {
    auto p = toolProcess(args);
    std::string error;
    if (!p->launch(&error)) {
        kit::logf("tmutil could not start: %@", error);
        return -1;
    }
    return p->waitUntilExit();
}

// The tool's status text, read to its end; "" when it could not be run.
std::string statusText() {
    auto p = toolProcess({"status"});
    p->setPipeStandardOutput(true);
    std::string error;
    if (!p->launch(&error)) {
        kit::logf("tmutil could not start: %@", error);
        return "";
    }
    std::string text = p->readAllOutput();
    p->waitUntilExit();
    return text;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& s, bool (*strip)(char)) {
    size_t a = 0, b = s.size();
    while (a < b && strip(s[a])) ++a;
    while (b > a && strip(s[b - 1])) --b;
    return s.substr(a, b - a);
}

void removeAll(std::string& s, const std::string& what) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at)) s.erase(at, what.size());
}

std::string valueOf(const std::map<std::string, std::string>& status, const char* key) {
    auto it = status.find(key);
    return it == status.end() ? std::string() : it->second;
}

// Up to this many polls may find no backup running yet right after the start.
constexpr int kPollsBeforeItRuns = 5;

}  // namespace

bool isTimeMachineBackupRunning() {
    const std::string text = statusText();
    kit::logf("状态：%@", text);
    return text.find("Running = 0") != std::string::npos;
}

struct SystemClonebyTimeMacine::State {
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<kit::Process> backupTask;
    std::atomic<SystemClonebyTimeMacineDelegate*> delegate{nullptr};
    std::atomic<unsigned> generation{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> running{false};

    bool current(unsigned g) const { return !cancelled.load() && generation.load() == g; }
    void setTask(std::shared_ptr<kit::Process> task) {
        std::lock_guard<std::mutex> lock(mutex);
        backupTask = std::move(task);
    }
    std::shared_ptr<kit::Process> task() const {
        std::lock_guard<std::mutex> lock(mutex);
        return backupTask;
    }
    void cancel() {
        std::lock_guard<std::mutex> lock(mutex);
        cancelled.store(true);
        wake.notify_all();
    }
};

SystemClonebyTimeMacine::SystemClonebyTimeMacine() : state_(std::make_shared<State>()) {}

std::shared_ptr<SystemClonebyTimeMacine> SystemClonebyTimeMacine::create() {
    return std::shared_ptr<SystemClonebyTimeMacine>(new SystemClonebyTimeMacine());
}

SystemClonebyTimeMacine::~SystemClonebyTimeMacine() {
    state_->delegate.store(nullptr);
    state_->cancel();
}

int SystemClonebyTimeMacine::zhidongButAction() { return runTool({"enable"}); }
int SystemClonebyTimeMacine::stopzhidongButAction() { return runTool({"disable"}); }
int SystemClonebyTimeMacine::setBackupDestination(const std::string& path) {
    return runTool({"setdestination", path});
}

std::shared_ptr<kit::Process> SystemClonebyTimeMacine::backupTask() const { return state_->task(); }
void SystemClonebyTimeMacine::setBackupTask(std::shared_ptr<kit::Process> task) { state_->setTask(std::move(task)); }
SystemClonebyTimeMacineDelegate* SystemClonebyTimeMacine::delegate() const { return state_->delegate.load(); }
void SystemClonebyTimeMacine::setDelegate(SystemClonebyTimeMacineDelegate* d) { state_->delegate.store(d); }
bool SystemClonebyTimeMacine::isRunning() const { return state_->running.load(); }

// ---- the status text ---------------------------------------------------------

std::map<std::string, std::string> SystemClonebyTimeMacine::parseBackupStatus(const std::string& textIn) {
    std::map<std::string, std::string> out;
    std::string text = textIn;
    removeAll(text, "Backup session status:");
    const size_t open = text.find('{');
    const size_t close = text.rfind('}');
    if (open == std::string::npos || close == std::string::npos || close <= open) return out;
    text = text.substr(open + 1, close - open - 1);
    removeAll(text, "\n");
    size_t start = 0;
    while (start <= text.size()) {
        const size_t semi = text.find(';', start);
        const std::string piece = text.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        const size_t eq = piece.find('=');
        if (eq != std::string::npos && piece.find('=', eq + 1) == std::string::npos) {
            const std::string key = trimmed(piece.substr(0, eq), isBlank);
            std::string value = trimmed(piece.substr(eq + 1), isBlank);
            value = trimmed(value, [](char c) { return c == '"'; });
            out[key] = value;
        }
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    return out;
}

float SystemClonebyTimeMacine::percentOf(const std::map<std::string, std::string>& status) {
    const std::string raw = valueOf(status, "\"_raw_Percent\"");
    const float share = raw.empty() ? 0.0f : std::strtof(raw.c_str(), nullptr);
    const std::string text = kit::format("%.3f", static_cast<double>(share * 100.0f));
    return std::strtof(text.c_str(), nullptr);
}

SystemClonebyTimeMacine::Display SystemClonebyTimeMacine::displayForPercent(float percent) {
    Display d;
    d.value = percent;
    if (percent < 0.1f) {
        d.label = "Finding Changes...";
        return d;
    }
    d.step = 3;
    d.picture = "copy";
    d.label = kit::format("Cloning Files %.2f%%", static_cast<double>(percent));
    return d;
}

SystemClonebyTimeMacine::Poll SystemClonebyTimeMacine::getBackupProgress() {
    Poll poll;
    const std::string text = statusText();
    if (text.empty()) return poll;
    poll.status = parseBackupStatus(text);
    const std::string phase = valueOf(poll.status, "BackupPhase");
    const bool finishing = phase.find("Finishing") != std::string::npos;
    if (!finishing && text.find("Running = 0") != std::string::npos) {
        poll.kind = Poll::Kind::NotRunning;
        return poll;
    }
    if (valueOf(poll.status, "totalBytes").empty() && !finishing) {
        poll.kind = Poll::Kind::NotSized;
        return poll;
    }
    kit::logf("totalBytes : %@, bytes : %@, totalFiles : %@, files : %@, BackupPhase : %@",
              valueOf(poll.status, "totalBytes"), valueOf(poll.status, "bytes"), valueOf(poll.status, "totalFiles"),
              valueOf(poll.status, "files"), phase);
    poll.percent = percentOf(poll.status);
    if (finishing) {
        poll.kind = Poll::Kind::Finishing;
        poll.percent = 100;
        return poll;
    }
    poll.kind = Poll::Kind::Progress;
    return poll;
}

// ---- the run -------------------------------------------------------------------

namespace {

using State = SystemClonebyTimeMacine::State;
using Poll = SystemClonebyTimeMacine::Poll;

// Queues a report for the delegate unless the run has been cancelled by then.
void report(const std::shared_ptr<State>& state, unsigned generation, float percent) {
    dispatch::async(dispatch::mainQueue(), [state, generation, percent] {
        if (!state->current(generation)) return;
        if (auto* d = state->delegate.load()) d->returnProForClone(percent);
    });
}

void reportFailure(const std::shared_ptr<State>& state, unsigned generation, int status) {
    dispatch::async(dispatch::mainQueue(), [state, generation, status] {
        if (!state->current(generation)) return;
        if (auto* d = state->delegate.load()) d->backupDidFail(status);
    });
}

// Waits one poll interval; false when the run was cancelled meanwhile.
bool waitForNextPoll(State& state, unsigned generation) {
    std::unique_lock<std::mutex> lock(state.mutex);
    const auto interval = std::chrono::duration<double>(kit::scaled(1.0));
    state.wake.wait_for(lock, interval, [&] { return !state.current(generation); });
    return state.current(generation);
}

void runBackup(const std::shared_ptr<State>& state, unsigned generation) {
    struct EndOfRun {
        std::atomic<bool>& running;
        ~EndOfRun() { running.store(false); }
    } endOfRun{state->running};

    if (!isTimeMachineBackupRunning()) {
        kit::systemLog("Time Machine 备份正在进行中，请稍后再试。");
        reportFailure(state, generation, -1);
        return;
    }
    if (!state->current(generation)) return;

    auto task = toolProcess({"startbackup"});
    state->setTask(task);
    std::string error;
    int status = -1;
    if (task->launch(&error)) status = task->waitUntilExit();
    else kit::logf("tmutil could not start: %@", error);
    kit::logf("备份任务已完成，退出状态：%d", status);
    if (status != 0) {
        // The backup never began: a failure, never a finished clone.
        reportFailure(state, generation, status);
        return;
    }

    bool seenRunning = false;
    int pollsWithoutBackup = 0;
    while (state->current(generation)) {
        kit::systemLog("定时器触发");
        const Poll poll = SystemClonebyTimeMacine::getBackupProgress();
        if (!state->current(generation)) return;
        switch (poll.kind) {
        case Poll::Kind::NoData:
            break;
        case Poll::Kind::NotSized:
            seenRunning = true;
            break;
        case Poll::Kind::Progress:
            seenRunning = true;
            report(state, generation, poll.percent);
            break;
        case Poll::Kind::Finishing:
            if (auto t = state->task(); t && t->isRunning()) t->terminate();
            report(state, generation, 100);
            return;  // the poll ends here: 100 is the last report
        case Poll::Kind::NotRunning:
            // Gone without finishing (stopped elsewhere, or its destination
            // went away); a start may take a few polls to show up.
            if (seenRunning || ++pollsWithoutBackup >= kPollsBeforeItRuns) {
                kit::systemLog("the backup ended before it finished");
                reportFailure(state, generation, 0);
                return;
            }
            break;
        }
        if (!waitForNextPoll(*state, generation)) return;
    }
}

}  // namespace

bool SystemClonebyTimeMacine::startBackup() {
    bool idle = false;
    if (!state_->running.compare_exchange_strong(idle, true)) return false;
    state_->cancelled.store(false);
    const unsigned generation = ++state_->generation;
    dispatch::async(dispatch::globalQueue(), [state = state_, generation] { runBackup(state, generation); });
    return true;
}

void SystemClonebyTimeMacine::cancelBackup() {
    state_->cancel();
    auto task = state_->task();
    dispatch::async(dispatch::globalQueue(), [task] {
        runTool({"stopbackup"});
        if (task && task->isRunning()) task->terminate();
    });
}
