// Stand-in backup tool.
//
//   tmutil enable | disable
//   tmutil setdestination <mount point>
//   tmutil startbackup | stopbackup
//   tmutil status
//
// A started backup runs by itself, in time: "status" works out where it is from
// the moment it started, so every run of the tool sees the same backup moving
// on. Its phases, in seconds before the time scale (PELORIN_TIME_SCALE):
//   0 … 1   Starting        no progress block
//   1 … 3   FindingChanges  progress at 0, no sizes yet
//   3 … 8   Copying         progress rising from 0 to 1 with bytes and files
//   8 … 11  Finishing, and on until a status run has shown it: a poller
//           slowed down by a busy machine never misses the end
//   then    no backup running
// "status" prints the old-style property list text of a backup session:
//   Backup session status:
//   {
//       BackupPhase = Copying;
//       …
//       Progress =     {
//           TimeRemaining = 96;
//           "_raw_Percent" = "0.412";
//           bytes = 4944000000;
//           …
//       };
//       Running = 1;
//   }
//
// The backup's state lives in <root>/.pelorin/tmutil.plist. The knob
// "tmutil backup" changes the backup itself:
//   running   a backup started elsewhere is already copying before any start,
//             and runs until stopped
//   stuck     a started backup stops moving at 40 % of its copy
//   stop      a started backup ends by itself half-way through its copy,
//             without finishing (its destination went away)
// and every command takes the shared knobs ("tmutil startbackup" = "fail" makes
// the start fail, "hang", "slow", "garbage").
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/SysPath.h"
#include "sim/Journal.h"
#include "sim/Machine.h"

namespace {

constexpr const char* kTool = "tmutil";

// Phase ends, in seconds from the start before the time scale.
constexpr double kStartingEnds = 1.0;
constexpr double kFindingEnds = 3.0;
constexpr double kCopyingEnds = 8.0;
constexpr double kFinishingEnds = 11.0;
constexpr double kStuckAt = 0.4;      // share of the copy where a stuck backup stays
constexpr double kStoppedAt = 0.5;    // share of the copy where a stopping backup ends
constexpr int64_t kTotalBytes = 12000000000;
constexpr int64_t kTotalFiles = 250000;

int fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

// Wall-clock milliseconds: the start is shared between runs of the tool.
int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string statePath(const std::string& root) { return root + "/.pelorin/tmutil.plist"; }

kit::Value loadState(const std::string& root) {
    auto v = kit::readPlistFile(statePath(root));
    return v && v->isDict() ? *v : kit::Value::dict();
}

// Changes the backup's state under the machine's lock, so two runs never lose
// each other's change.
bool changeState(const std::string& root, const std::function<void(kit::Value&)>& change) {
    const int fd = ::open(sim::Machine::lockPath(root).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) {
            ::close(fd);
            return false;
        }
    kit::Value state = loadState(root);
    change(state);
    const bool ok = kit::writePlistFile(statePath(root), state, true);
    ::close(fd);
    return ok;
}

// Where the backup is at this moment.
struct Moment {
    bool running = false;
    std::string phase;        // "Starting", "FindingChanges", "Copying", "Finishing"
    bool sized = false;       // the progress block carries sizes
    double share = 0;         // of the copy, 0 … 1
};

Moment momentOf(const kit::Value& state, const std::string& knob) {
    Moment m;
    if (knob == "running" && !state.getBool("Stopped").value_or(false)) {
        // Somebody else's backup, copying for a while already.
        m.running = true;
        m.phase = "Copying";
        m.sized = true;
        m.share = 0.25;
        return m;
    }
    const auto started = state.getInt("StartedAtMs");
    if (!started || state.getBool("Stopped").value_or(false) || state.getBool("Ended").value_or(false)) return m;
    const double scale = kit::timeScale() > 0 ? kit::timeScale() : 1.0;
    const double t = static_cast<double>(nowMs() - *started) / 1000.0 / scale;
    if (t < 0) return m;
    double copyShare = std::clamp((t - kFindingEnds) / (kCopyingEnds - kFindingEnds), 0.0, 1.0);
    if (knob == "stuck") copyShare = std::min(copyShare, kStuckAt);
    if (knob == "stop" && copyShare >= kStoppedAt) return m;  // ended without finishing
    m.running = true;
    if (knob == "stuck" && t >= kFindingEnds) {
        m.phase = "Copying";
        m.sized = true;
        m.share = copyShare;
    } else if (t < kStartingEnds) {
        m.phase = "Starting";
    } else if (t < kFindingEnds) {
        m.phase = "FindingChanges";
    } else if (t < kCopyingEnds) {
        m.phase = "Copying";
        m.sized = true;
        m.share = copyShare;
    } else if (t < kFinishingEnds || !state.getBool("FinishingShown").value_or(false)) {
        m.phase = "Finishing";
    } else {
        m.running = false;
        m.phase.clear();
    }
    return m;
}

std::string statusText(const kit::Value& state, const Moment& m) {
    std::string out = "Backup session status:\n{\n";
    if (!m.running) {
        out += "    Percent = 1;\n";
        out += "    Running = 0;\n";
        out += "}\n";
        return out;
    }
    char buf[512];
    out += "    BackupPhase = " + m.phase + ";\n";
    if (auto dest = state.getString("Destination")) {
        out += "    DestinationMountPoint = \"" + *dest + "\";\n";
    }
    if (m.phase == "FindingChanges") {
        out += "    Percent = 0;\n";
        out += "    Progress =     {\n";
        out += "        TimeRemaining = 0;\n";
        out += "        \"_raw_Percent\" = 0;\n";
        out += "        bytes = 0;\n";
        out += "        files = 0;\n";
        out += "        totalBytes = 0;\n";
        out += "        totalFiles = 0;\n";
        out += "    };\n";
    } else if (m.sized) {
        const auto bytes = static_cast<long long>(std::llround(m.share * static_cast<double>(kTotalBytes)));
        const auto files = static_cast<long long>(std::llround(m.share * static_cast<double>(kTotalFiles)));
        std::snprintf(buf, sizeof buf, "    Percent = \"%.4f\";\n", m.share);
        out += buf;
        out += "    Progress =     {\n";
        std::snprintf(buf, sizeof buf, "        TimeRemaining = %d;\n",
                      static_cast<int>((1.0 - m.share) * (kCopyingEnds - kFindingEnds)));
        out += buf;
        std::snprintf(buf, sizeof buf, "        \"_raw_Percent\" = \"%.4f\";\n", m.share);
        out += buf;
        std::snprintf(buf, sizeof buf, "        bytes = %lld;\n", bytes);
        out += buf;
        std::snprintf(buf, sizeof buf, "        files = %lld;\n", files);
        out += buf;
        std::snprintf(buf, sizeof buf, "        totalBytes = %lld;\n", static_cast<long long>(kTotalBytes));
        out += buf;
        std::snprintf(buf, sizeof buf, "        totalFiles = %lld;\n", static_cast<long long>(kTotalFiles));
        out += buf;
        out += "    };\n";
    } else {
        out += "    Percent = \"-1\";\n";
    }
    out += "    Running = 1;\n";
    out += "}\n";
    return out;
}

int usage() {
    std::fputs(
        "usage: tmutil enable | disable\n"
        "       tmutil setdestination <mount point>\n"
        "       tmutil startbackup | stopbackup\n"
        "       tmutil status\n",
        stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::journalRun(kTool, args);
    const auto rootOpt = sim::toolRoot(kTool);
    if (!rootOpt) return 2;
    const std::string root = *rootOpt;
    if (args.empty()) return usage();
    const std::string& command = args[0];

    std::vector<std::string> words{kTool};
    words.insert(words.end(), args.begin(), args.end());
    if (auto code = sim::applyCommonKnob(sim::currentKnob(words), kTool)) return *code;
    const std::string backupKnob = sim::currentKnob({kTool, "backup"});

    if (command == "enable" || command == "disable") {
        if (args.size() != 1) return usage();
        const bool on = command == "enable";
        if (!changeState(root, [&](kit::Value& s) { s.set("Enabled", kit::Value(on)); }))
            return fail("tmutil: can't record the setting");
        return 0;
    }
    if (command == "setdestination") {
        if (args.size() != 2) return usage();
        const std::string& dest = args[1];
        sim::Machine probe;
        probe.root = root;
        std::error_code ec;
        if (dest.empty() || !probe.isInside(dest) || !std::filesystem::is_directory(dest, ec))
            return fail("tmutil: " + dest + " is not a folder of the simulated machine");
        if (!changeState(root, [&](kit::Value& s) { s.set("Destination", kit::Value(dest)); }))
            return fail("tmutil: can't record the destination");
        return 0;
    }
    if (command == "startbackup") {
        if (args.size() != 1) return usage();
        if (momentOf(loadState(root), backupKnob).running) return fail("tmutil: a backup is already running");
        if (!changeState(root, [&](kit::Value& s) {
                s.set("StartedAtMs", kit::Value(nowMs()));
                s.set("Stopped", kit::Value(false));
                s.set("FinishingShown", kit::Value(false));
                s.set("Ended", kit::Value(false));
            }))
            return fail("tmutil: can't start the backup");
        return 0;
    }
    if (command == "stopbackup") {
        if (args.size() != 1) return usage();
        changeState(root, [&](kit::Value& s) { s.set("Stopped", kit::Value(true)); });
        return 0;
    }
    if (command == "status") {
        if (args.size() != 1) return usage();
        const kit::Value state = loadState(root);
        const Moment moment = momentOf(state, backupKnob);
        // What a status run has shown stays shown: the finishing phase, and the
        // end of a backup, whatever the knobs say later.
        if (moment.phase == "Finishing" && !state.getBool("FinishingShown").value_or(false))
            changeState(root, [](kit::Value& s) { s.set("FinishingShown", kit::Value(true)); });
        if (!moment.running && state.getInt("StartedAtMs") && !state.getBool("Ended").value_or(false))
            changeState(root, [](kit::Value& s) { s.set("Ended", kit::Value(true)); });
        const std::string text = statusText(state, moment);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return 0;
    }
    return usage();
}
