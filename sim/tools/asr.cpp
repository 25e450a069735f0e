// Stand-in volume-restore tool.
//
//   asr restore --source <folder> --target <mount point> [--erase]
//
// Replicates the source tree into the target volume's folder, talking the way
// the clone engine expects: separate, flushed output chunks ("Validating
// target...", "done", the "[ny]" prompt, a "Replicating" and a "Verifying"
// phase each counting "10" … "90" and a chunk that is exactly "100"), one byte
// read back as the answer. When the source is the system root, the simulated
// system is copied without the machine's own folders (Volumes, .pelorin, device
// and volatile folders, the mount points under System/Volumes).
//
// The knob "asr restore" (or "asr") drives the failure branches; several flags
// may be joined with commas ("noprompt,onephase"):
//   fail            the target does not validate: exit 1 before the prompt
//   noprompt        replicate without asking (nothing is read on stdin)
//   abort-at-prompt print the prompt and exit 1 without reading the answer
//   onephase        end after the "Replicating" phase, exit 0
//   fail-after-100  exit 1 right after the first "100"
//   hang            stop in the copy until terminated
//   hang-at:<p>:<n> stop right after the mark n (10 … 90) of phase p (1 the copy,
//                   2 the verify) until terminated
//   exit-fail       run both phases, then exit 1
//   nopreboot       leave the clone's container without a Preboot volume
//   garbage, slow   as for every stand-in tool
// A restore onto a volume of an APFS container gives that container a Preboot
// volume (role "Preboot"), unmounted, as the platform's restore of a system does;
// it appears once the copy is complete.
// A SIGTERM at any time is journaled before the tool exits.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/Journal.h"
#include "sim/Machine.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTool = "asr";
// The pause after a chunk when the output is no pipe (a file, a terminal).
constexpr useconds_t kChunkPause = 40 * 1000;

// Waits until the reader has taken everything written so far, so that the next
// chunk comes in a read of its own however late the reader is scheduled: the
// engine judges whole chunks ("100" alone). Without a pipe, a short pause.
void waitUntilRead() {
    int pending = 0;
    if (::ioctl(STDOUT_FILENO, FIONREAD, &pending) != 0) {
        ::usleep(kChunkPause);
        return;
    }
    while (pending > 0) {
        pollfd out{STDOUT_FILENO, 0, 0};
        // A pipe with no reader any more reports an error: nobody will take it.
        if (::poll(&out, 1, 1) > 0 && (out.revents & (POLLERR | POLLHUP))) std::_Exit(1);
        if (::ioctl(STDOUT_FILENO, FIONREAD, &pending) != 0) return;
    }
}

void chunk(const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(STDOUT_FILENO, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::_Exit(1);  // nobody is listening any more
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    waitUntilRead();
}

[[noreturn]] void fail(const std::string& message, int code = 1) {
    std::fprintf(stderr, "asr: %s\n", message.c_str());
    std::exit(code);
}

// SIGTERM is taken by a thread of its own, so it is journaled wherever the
// main thread is; then the tool ends as a terminated tool does.
void watchTermination() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int sig = 0;
        if (sigwait(&set, &sig) == 0) {
            sim::journalEvent(kTool, "SIGTERM");
            std::fprintf(stderr, "asr: terminated\n");
            std::_Exit(128 + SIGTERM);
        }
    }).detach();
}

std::set<std::string> flagsOf(const std::string& knob) {
    std::set<std::string> flags;
    size_t start = 0;
    while (start <= knob.size()) {
        size_t comma = knob.find(',', start);
        std::string word = knob.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!word.empty()) flags.insert(word);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return flags;
}

std::string realPath(const std::string& path) {
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf)) return "";
    return buf;
}

bool isWithin(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    std::string prefix = folder == "/" ? "/" : folder + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

// Paths (relative to the system root) that a replication of the running system leaves out.
const std::vector<std::string>& systemExclusions() {
    static const std::vector<std::string> list = {
        "Volumes", ".pelorin", "dev", "proc", "sys", "tmp", "System/Volumes", "private/tmp", "private/var/vm",
    };
    return list;
}

struct Entry {
    fs::path relative;
    fs::file_type type;
};

std::vector<Entry> listTree(const fs::path& source, bool systemRoot, const fs::path& target) {
    std::vector<Entry> entries;
    std::error_code ec;
    fs::recursive_directory_iterator it(source, fs::directory_options::none, ec);
    if (ec) fail("could not read the source: " + ec.message());
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) fail("could not read the source: " + ec.message());
        const fs::path rel = it->path().lexically_relative(source);
        bool skip = false;
        if (systemRoot)
            for (const auto& ex : systemExclusions())
                if (rel == fs::path(ex)) skip = true;
        // Never copy the target into itself.
        if (it->path() == target) skip = true;
        if (skip) {
            it.disable_recursion_pending();
            continue;
        }
        entries.push_back({rel, it->symlink_status(ec).type()});
    }
    return entries;
}

// Prints the tens reached by done/total that were not printed yet.
[[noreturn]] void hangUntilTerminated();

// The mark of this phase after which the tool stops ("hang-at:<phase>:<mark>"); 0 for none.
int hangMark(const std::set<std::string>& flags, int phase) {
    const std::string prefix = "hang-at:" + std::to_string(phase) + ":";
    for (const auto& f : flags)
        if (f.rfind(prefix, 0) == 0) return std::atoi(f.c_str() + prefix.size());
    return 0;
}

void printMark(int& printed, int hangAt) {
    printed += 10;
    chunk(std::to_string(printed));
    if (hangAt > 0 && printed >= hangAt) hangUntilTerminated();
}

void countTo(int& printed, size_t done, size_t total, int hangAt) {
    const int reached = total == 0 ? 90 : static_cast<int>((done * 100) / total);
    while (printed + 10 <= 90 && printed + 10 <= reached) printMark(printed, hangAt);
}

void finishCount(int& printed, int hangAt) {
    while (printed < 90) printMark(printed, hangAt);
    chunk("100");
}

void eraseFolder(const std::string& root, const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string why;
        if (!sim::removeTree(root, it->path().string(), &why)) fail("could not erase the target: " + why);
    }
    if (ec) fail("could not erase the target: " + ec.message());
}

void copyEntry(const fs::path& from, const fs::path& to, fs::file_type type, std::vector<fs::path>& dirs) {
    std::error_code ec;
    switch (type) {
    case fs::file_type::directory:
        fs::create_directory(to, ec);
        // Modes go on at the end, so a read-only folder can still be filled.
        dirs.push_back(to);
        break;
    case fs::file_type::symlink: {
        fs::path link = fs::read_symlink(from, ec);
        if (!ec) {
            fs::remove(to, ec);
            fs::create_symlink(link, to, ec);
        }
        break;
    }
    case fs::file_type::regular:
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::permissions(to, fs::status(from).permissions(), ec);
        break;
    default:
        return;  // sockets, pipes and devices are not replicated
    }
    if (ec) fail("could not copy " + from.string() + ": " + ec.message());
}

bool sameContents(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    char ba[65536], bb[65536];
    while (true) {
        fa.read(ba, sizeof ba);
        fb.read(bb, sizeof bb);
        if (fa.gcount() != fb.gcount()) return false;
        if (std::memcmp(ba, bb, static_cast<size_t>(fa.gcount())) != 0) return false;
        if (!fa || !fb) return !fa && !fb;
    }
}

// Adds an unmounted Preboot volume to the container holding the target volume,
// unless it is not in a container or the container has one already.
void addPreboot(const std::string& root, const std::string& targetMount) {
    std::string why;
    sim::Machine::update(
        root,
        [&](sim::Machine& m, std::string*) {
            sim::Volume* target = m.findByMountPoint(targetMount);
            sim::Disk* container = target ? m.diskOf(target->identifier) : nullptr;
            if (!container || !container->apfsContainer) return false;
            for (const auto& v : container->volumes)
                if (v.role == "Preboot") return false;
            sim::Volume preboot;
            preboot.name = "Preboot";
            preboot.role = "Preboot";
            preboot.size = 52428800;
            return m.addVolume(container->identifier, preboot, nullptr) != nullptr;
        },
        &why);
}

[[noreturn]] void hangUntilTerminated() {
    for (;;) ::pause();
}

int usage() {
    std::fprintf(stderr, "Usage: asr restore --source <source> --target <target> [--erase]\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    watchTermination();
    std::vector<std::string> args(argv + 1, argv + argc);
    auto rootOpt = sim::toolRoot(kTool);
    if (!rootOpt) return 1;
    const std::string root = realPath(*rootOpt);
    sim::journalRun(kTool, args);

    if (args.empty() || args[0] != "restore") return usage();
    std::string sourceArg, targetArg;
    bool erase = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--source" && i + 1 < args.size())
            sourceArg = args[++i];
        else if (args[i] == "--target" && i + 1 < args.size())
            targetArg = args[++i];
        else if (args[i] == "--erase")
            erase = true;
        else
            return usage();
    }
    if (sourceArg.empty() || targetArg.empty()) return usage();

    const std::string knob = sim::currentKnob({kTool, "restore"});
    std::set<std::string> flags = flagsOf(knob);
    for (const char* common : {"garbage", "slow"})
        for (const auto& f : flags)
            if (f.rfind(common, 0) == 0)
                if (auto code = sim::applyCommonKnob(f, kTool)) return *code;

    // Validate both ends before anything is written: both lie in the root, the
    // target is a mounted volume the system does not run from, and neither holds the other.
    chunk("\tValidating target...");
    if (flags.count("fail")) fail("could not validate target");
    auto machine = sim::Machine::load(root);
    if (!machine) fail("no machine at the system root");
    const std::string target = realPath(targetArg);
    if (target.empty() || !isWithin(target, root) || target == root) fail("invalid target " + targetArg);
    sim::Volume* volume = machine->findByMountPoint(target);
    if (!volume || !volume->isMounted() || machine->inUseBySystem(*volume))
        fail("target " + targetArg + " is not a volume that can be restored to");
    const std::string volumeName = volume->name;
    chunk("done\n");

    chunk("\tValidating source...");
    const std::string source = realPath(sourceArg);
    if (source.empty() || !isWithin(source, root) || !fs::is_directory(source)) fail("invalid source " + sourceArg);
    if (isWithin(source, target)) fail("the source lies inside the target");
    const bool systemRoot = source == root;
    chunk("done\n");

    if (flags.count("abort-at-prompt")) {
        chunk("Erase contents of " + targetArg + " (" + volumeName + ")? [ny]: ");
        fail("no answer");
    }
    if (!flags.count("noprompt")) {
        chunk("Erase contents of " + targetArg + " (" + volumeName + ")? [ny]: ");
        char answer = 0;
        ssize_t n;
        do n = ::read(STDIN_FILENO, &answer, 1);
        while (n < 0 && errno == EINTR);
        sim::journalStdin(kTool, n == 1 ? std::string(1, answer) : std::string());
        if (n != 1 || answer != 'y') fail("restore aborted");
    }

    chunk("\tRepartitioning target device...\n");
    if (erase) eraseFolder(root, target);

    // Phase one: the copy.
    const std::vector<Entry> entries = listTree(source, systemRoot, target);
    chunk("\tReplicating ....");
    int printed = 0;
    std::vector<fs::path> dirs;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (flags.count("hang") && printed >= 10) hangUntilTerminated();
        copyEntry(fs::path(source) / entries[i].relative, fs::path(target) / entries[i].relative, entries[i].type, dirs);
        countTo(printed, i + 1, entries.size(), hangMark(flags, 1));
    }
    if (flags.count("hang")) {
        if (printed < 10) chunk(std::to_string(printed = 10));
        hangUntilTerminated();
    }
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) {
        std::error_code ec;
        const fs::path from = fs::path(source) / it->lexically_relative(target);
        fs::permissions(*it, fs::status(from).permissions(), ec);
    }
    finishCount(printed, hangMark(flags, 1));
    if (flags.count("fail-after-100")) fail("restore failed");
    if (flags.count("onephase")) {
        if (!flags.count("nopreboot")) addPreboot(root, target);
        chunk("\nRestore completed successfully.\n");
        return 0;
    }

    // Phase two: every copied file is read back and compared.
    chunk("\n\tVerifying ....");
    printed = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].type == fs::file_type::regular &&
            !sameContents(fs::path(source) / entries[i].relative, fs::path(target) / entries[i].relative))
            fail("verify failed for " + entries[i].relative.string());
        countTo(printed, i + 1, entries.size(), hangMark(flags, 2));
    }
    finishCount(printed, hangMark(flags, 2));
    if (!flags.count("nopreboot")) addPreboot(root, target);
    chunk("\nRestore completed successfully.\n");
    return flags.count("exit-fail") ? 1 : 0;
}
