#include "ZipDmg/MakeDmg.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "Disk/FileNode.h"
#include "Disk/OVTask.h"
#include "kit/Dispatch.h"
#include "kit/FileCopy.h"
#include "kit/Format.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

const char* const kStatusText = "Creating disk image…";
const char* const kVolumeName = "PelorinDmg";
const char* const kStagingPrefix = "org.pelorin.Pelorin.";
const char* const kCaptureName = "ejectExecCommandTemp.plist";
// Why an image stays after a stop or a failure: its volume is still attached.
const char* const kKeptFormat = "The disk image is still attached and was kept: %@";
// Room the file system of the image needs beyond the bytes of the items.
constexpr uint64_t kImageMargin = 50000000;

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void removeTree(const std::string& path) {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

// "/" as a destination means the running system's root, which under a system
// root is that root; trailing slashes do not make a different folder.
bool isSystemRoot(const std::string& folder) {
    auto trim = [](std::string s) {
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    };
    return folder == "/" || trim(folder) == trim(kit::sysPath("/"));
}

int openModes(const char* path, const struct stat* st, int type, struct FTW*) {
    // Links are left alone: changing one would change what it points to.
    if (type != FTW_SL && type != FTW_SLN) ::chmod(path, 0777);
    return 0;
}

// Every user may write the image folder of the system volume, as a folder that
// several users share must allow.
void openFolderToAll(const std::string& folder) {
    ::nftw(folder.c_str(), openModes, 32, FTW_PHYS);
}

// The text after the last "/": an item named by a path ending in "/" has none.
std::string nameOfPath(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Next candidate for an item whose own name is taken: "report 1.txt", "Notes 1".
std::string clashCandidate(const std::string& own, int counter) {
    auto dot = own.rfind('.');
    // A leading dot marks a hidden name, not an extension.
    if (dot != std::string::npos && dot > 0 && dot + 1 < own.size()) {
        std::string ext = own.substr(dot + 1);
        if (ext != " ") return kit::format("%@ %d.%@", own.substr(0, dot), counter, ext);
    }
    return kit::format("%@ %d", own, counter);
}

// Copies `from` into `folder` under its own name or the first free candidate.
// The candidate is taken by the copy itself, which never replaces anything, so a
// name that appears between the check and the copy only moves on to the next one.
kit::FileCopyResult copyKeepingBoth(const std::string& from, const std::string& folder, const std::string& own,
                                    const std::atomic<bool>* cancel) {
    int counter = 0;
    std::string name = own;
    for (;;) {
        std::string to = kit::pathJoin(folder, name);
        if (!exists(to)) {
            kit::FileCopyResult result = kit::copyItem(from, to, cancel);
            if (!result.destinationExists || counter > 100000) return result;
        }
        name = clashCandidate(own, ++counter);
    }
}

// The path itself when nothing is there, else the first free "<name> <n>.<ext>"
// beside it.
std::string freePathFor(const std::string& path) {
    if (!exists(path)) return path;
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    std::string own = nameOfPath(path);
    for (int counter = 1;; ++counter) {
        std::string candidate = kit::pathJoin(folder, clashCandidate(own, counter));
        if (!exists(candidate)) return candidate;
    }
}

bool isSpecial(mode_t mode) { return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode); }

// zip stores no FIFO, device or socket; it says so on its standard error, which
// nobody reads, so the engine names each one in the log as it counts them.
void logLeftOut(const std::string& path) { kit::logf("zip leaves out the special file %@", path); }

// Above this many bytes of names the list goes to zip on its standard input:
// a command line has a limit of its own (of about 2 MB with the environment).
constexpr size_t kZipArgumentBytes = 64 * 1024;

}  // namespace

std::optional<std::string> ejectExecCommand(const char* command) {
    if (!command) return std::nullopt;
    OVCapture capture = OVCaptureLimited(command, kCaptureName);
    if (capture.path.empty()) return std::nullopt;
    return capture.path;
}

std::string mountPointFromAttachOutput(const std::string& output) {
    std::string found;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        // Fields are tab-separated and padded with blanks; a mount point may hold
        // blanks of its own, so only the padding at the ends is dropped.
        std::vector<std::string> fields;
        size_t f = 0;
        while (f <= line.size()) {
            size_t t = line.find('\t', f);
            if (t == std::string::npos) t = line.size();
            std::string field = line.substr(f, t - f);
            while (!field.empty() && (field.back() == ' ' || field.back() == '\r')) field.pop_back();
            size_t lead = field.find_first_not_of(' ');
            field = lead == std::string::npos ? std::string() : field.substr(lead);
            if (!field.empty()) fields.push_back(field);
            f = t + 1;
        }
        // The first field is the device node; a mount point comes after it
        // (and may lie anywhere, /dev/shm included).
        if (fields.size() < 2) continue;
        const std::string& last = fields.back();
        if (last[0] == '/') found = last;
    }
    return found;
}

// ---- jobs ----

// One image job, from its start to its last report. Workers hold it, so a job
// that was stopped can finish its clean-up while the next one runs.
struct MakeDmg::Job {
    std::atomic<bool> cancelled{false};  // stopped: nothing more is reported
    std::atomic<bool> ended{false};      // its last report was made
    std::atomic<bool> settled{false};    // its tools have ended and its clean-up is done
    // Guarded by MakeDmg::mutex_.
    Phase phase = Phase::Creating;
    std::string staging;
    std::string imagePath;
    bool imageOurs = false;              // this job's tool made the file
    std::string mountPoint;
    bool ejectStarted = false;
    std::shared_ptr<kit::Process> tool;  // the disk-image tool while it runs
};

// One zip job; main thread only.
struct MakeDmg::ZipJob {
    std::shared_ptr<kit::Process> process;
    std::string path;
    bool cancelled = false;
    bool ended = false;
};

MakeDmg::MakeDmg() = default;
MakeDmg::~MakeDmg() = default;

std::string MakeDmg::dmgNameStr() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dmgNameStr_;
}

std::vector<std::string> MakeDmg::allSelectFileArr() const { return allSelectFileArr_; }

std::string MakeDmg::archivePath() const { return zip_ ? zip_->path : std::string(); }

std::shared_ptr<MakeDmg::Job> MakeDmg::currentJob() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return job_;
}

bool MakeDmg::isWorking() const {
    auto job = currentJob();
    if (job && !job->settled.load()) return true;
    return zip_ && !zip_->ended;
}

bool MakeDmg::busy() const {
    auto job = currentJob();
    if (job && !job->ended.load() && !job->cancelled.load()) return true;
    return zip_ && !zip_->ended && !zip_->cancelled;
}

void MakeDmg::setIsCancelCopy(bool cancel) {
    isCancelCopy_.store(cancel);
    if (!cancel) return;
    if (auto job = currentJob(); job && !job->ended.load()) job->cancelled.store(true);
    if (zip_ && !zip_->ended) zip_->cancelled = true;
}

void MakeDmg::report(const std::string& text, float progress) {
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->copyFileToDmgWithFileName(text, progress);
}

void MakeDmg::reportFromWorker(const std::shared_ptr<Job>& job, const std::string& text, float progress) {
    auto self = shared_from_this();
    kit::dispatch::sync(kit::dispatch::mainQueue(), [self, job, text, progress] {
        // A stop shown meanwhile stays the last word of this job.
        if (!job->cancelled.load()) self->report(text, progress);
    });
}

void MakeDmg::failJob(const std::optional<std::string>& error) {
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->makeDmgFailWithError(error);
}

void MakeDmg::endJob(const std::shared_ptr<Job>& job, bool success, bool removeImage, const std::string& kept) {
    std::string staging, image;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        staging.swap(job->staging);
        if (removeImage && job->imageOurs) image = job->imagePath;
        job->phase = Phase::Ending;
    }
    removeTree(staging);
    // An image that is not complete never stays under the job's name.
    if (!image.empty()) ::unlink(image.c_str());
    job->settled.store(true);
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, job, success, kept] {
        if (job->cancelled.load()) {
            // The stop has been shown; an image left behind is still told.
            if (MakeDmgDelegate* d = self->makeDmgDelegate_.load(); d && !kept.empty()) d->stoppedImageKept(kept);
            return;
        }
        job->ended.store(true);
        if (success) self->report(kStatusText, 100);
        else self->failJob(kept.empty() ? std::nullopt : std::optional<std::string>(kept));
    });
}

void MakeDmg::endAfterEject(const std::shared_ptr<Job>& job, bool ejected, bool success) {
    if (ejected) {
        // An image that is not complete never stays under the job's name.
        endJob(job, success, !success);
        return;
    }
    std::string image;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        image = job->imagePath;
    }
    kit::logf("dmg: the volume of %@ could not be ejected; the image is kept", image);
    endJob(job, false, false, kit::format(kKeptFormat, kit::lastPathComponent(image)));
}

// ---- image route ----

bool MakeDmg::makeTmpDmgWithPath(const std::string& path, const std::string& withName, int64_t withSize) {
    if (busy()) {
        kit::logf("dmg: a job is running; %@ is not started", withName);
        return false;
    }
    isCancelCopy_ = false;
    giveUp_ = false;
    auto job = std::make_shared<Job>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = job;
        dmgNameStr_ = withName;
    }
    report(kStatusText, 20);

    // The tool wants a source folder; an empty one gives an empty volume. It is
    // made private and unique so no other user or job can slip files into it.
    std::string pattern = kit::temporaryDirectory() + kStagingPrefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        kit::logf("dmg: no staging folder: %s", std::strerror(errno));
        endJob(job, false, false);
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job->staging = buffer.data();
    }
    uint64_t bytes = static_cast<uint64_t>(withSize > 0 ? withSize : 0) + kImageMargin;
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(),
                         [self, job, path, withName, bytes] { self->createStep(job, path, withName, bytes); });
    return true;
}

void MakeDmg::createStep(std::shared_ptr<Job> job, std::string path, std::string name, uint64_t bytes) {
    std::string folder = path;
    if (isSystemRoot(path)) {
        folder = kit::sysPath("/Pelorin_dmg");
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        openFolderToAll(folder);
    }
    std::string imagePath = kit::format("%@/%@.dmg", folder, name);
    std::string staging;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job->imagePath = imagePath;
        staging = job->staging;
    }
    auto process = kit::Process::create();
    process->setLaunchPath(kit::sysPath("/usr/bin/hdiutil"));
    process->setArguments({"create", imagePath, "-volname", kVolumeName, "-size",
                           kit::format("%llu", static_cast<unsigned long long>(bytes)), "-fs", "HFS+", "-format",
                           "UDRW", "-srcfolder", staging});
    // Nobody reads the tool's chatter; a pipe left unread could fill and stall it.
    process->setStandardOutputToNull(true);
    process->setStandardErrorToNull(true);
    // The tool takes the image's name exclusively: a file that was there before
    // is somebody else's and is never removed.
    bool preexisted = exists(imagePath);

    bool launched = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A stop that came first leaves nothing to start.
        if (!job->cancelled.load()) {
            std::string error;
            launched = process->launch(&error);
            if (launched) job->tool = process;
            else kit::logf("dmg: hdiutil: %s", error);
        }
    }
    int status = launched ? process->waitUntilExit() : -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job->tool == process) job->tool.reset();
    }
    bool ours = launched && !preexisted;
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, job, status, launched, ours] {
        self->createFinished(job, status, launched, ours);
    });
}

void MakeDmg::createFinished(const std::shared_ptr<Job>& job, int status, bool launched, bool ours) {
    std::string imagePath;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job->imageOurs = ours;
        imagePath = job->imagePath;
    }
    bool made = launched && status == 0 && ours && exists(imagePath);
    if (!made || job->cancelled.load()) {
        // A file the tool left after failing or being stopped is incomplete.
        endJob(job, false, true);
        return;
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, imagePath] { self->mountDmgWithDmgPath(imagePath); });
}

void MakeDmg::mountDmgWithDmgPath(const std::string& dmgPath) {
    auto job = currentJob();
    if (!job || job->ended.load()) return;
    std::string staging;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Only the image this job made, and only once.
        if (job->imagePath != dmgPath || job->phase != Phase::Creating) {
            kit::logf("dmg: %@ is not this job's image to mount", dmgPath);
            return;
        }
        job->phase = Phase::Mounting;
        staging.swap(job->staging);
    }
    removeTree(staging);
    if (job->cancelled.load()) {
        // Stopped before the mount: nothing was filled, so nothing is kept.
        endJob(job, false, true);
        return;
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, job, dmgPath] { self->mountStep(job, dmgPath); });
}

void MakeDmg::mountStep(std::shared_ptr<Job> job, std::string imagePath) {
    auto process = kit::Process::create();
    process->setLaunchPath(kit::sysPath("/usr/bin/hdiutil"));
    process->setArguments({"mount", imagePath});
    process->setPipeStandardOutput(true);
    process->setStandardErrorToNull(true);
    bool launched = false;
    {
        // Kept like the create step's tool, so a stop can end a mount that hangs.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!job->cancelled.load()) {
            std::string error;
            launched = process->launch(&error);
            if (launched) job->tool = process;
            else kit::logf("dmg: hdiutil: %s", error);
        }
    }
    std::string output;
    int status = -1;
    if (launched) {
        output = process->readAllOutput();
        status = process->waitUntilExit();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job->tool == process) job->tool.reset();
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::mainQueue(),
                         [self, job, status, output] { self->mountFinished(job, status, output); });
}

void MakeDmg::mountFinished(const std::shared_ptr<Job>& job, int status, const std::string& output) {
    std::string mountPoint = status == 0 ? mountPointFromAttachOutput(output) : std::string();
    bool mounted = !mountPoint.empty() && isFolder(mountPoint);
    std::string imagePath;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        imagePath = job->imagePath;
        if (mounted) job->mountPoint = mountPoint;
        job->phase = mounted ? Phase::Mounted : Phase::Ending;
    }
    if (job->cancelled.load()) {
        if (mounted) ejectInBackground(job);
        else endJob(job, false, true);
        return;
    }
    if (!mounted) {
        // Failed, or said something that names no volume: the job can't go on,
        // and an image nobody will fill is not left under its name.
        kit::logf("dmg: mount of %@ failed (%d)", imagePath, status);
        endJob(job, false, true);
        return;
    }
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->beginToCopyDmg();
}

void MakeDmg::doCopyFilesToDmgWithDmg(const std::vector<std::string>& paths) {
    auto job = currentJob();
    if (!job || job->ended.load() || job->cancelled.load()) return;
    std::string mountPoint;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job->phase == Phase::Mounted && !job->mountPoint.empty()) {
            mountPoint = job->mountPoint;
            if (!paths.empty()) job->phase = Phase::Copying;
        }
    }
    if (mountPoint.empty()) {
        // Only a volume this job mounted receives the items, and only once: a
        // second list would share the job's counters.
        kit::systemLog("dmg: no volume of this job waits for items");
        return;
    }
    if (paths.empty()) {
        // Nothing to copy: nothing is reported and the volume stays as it is;
        // the engine is free for the next job.
        job->ended.store(true);
        job->settled.store(true);
        return;
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(),
                         [self, job, paths, mountPoint] { self->copyLoop(job, paths, mountPoint); });
}

void MakeDmg::copyLoop(std::shared_ptr<Job> job, std::vector<std::string> paths, std::string mountPoint) {
    const uint64_t count = paths.size();
    uint64_t failures = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (job->cancelled.load()) break;
        const std::string& path = paths[i];
        std::string name = nameOfPath(path);
        uint64_t p = (i * 100 + 100) / count;
        // Nothing to copy under such a name; only the last item's end counts.
        if (name.empty() || name == " ") continue;
        if (i == 0) reportFromWorker(job, kStatusText, 20);
        kit::FileCopyResult result = copyKeepingBoth(path, mountPoint, name, &job->cancelled);
        if (result.cancelled) break;
        if (!result.ok()) {
            ++failures;
            for (const auto& issue : result.failures) kit::logf("error--------%@", issue.describe());
        }
        uint64_t shown = p <= 20 ? 20 : p;
        // The last item's report waits for the eject: the job is done only then.
        if (shown < 100) reportFromWorker(job, kStatusText, static_cast<float>(shown));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job->phase = Phase::Ending;
        job->ejectStarted = true;
    }
    bool ejected = ejectVolume(mountPoint);
    // Stopped, or some items are missing: the image is not what was asked for.
    endAfterEject(job, ejected, !job->cancelled.load() && failures == 0);
}

void MakeDmg::ejectInBackground(const std::shared_ptr<Job>& job) {
    std::string mountPoint;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job->mountPoint.empty() || job->ejectStarted) return;
        job->ejectStarted = true;
        mountPoint = job->mountPoint;
    }
    auto self = shared_from_this();
    std::thread([self, job, mountPoint] {
        bool ejected = self->ejectVolume(mountPoint);
        self->endAfterEject(job, ejected, false);
    }).detach();
}

bool MakeDmg::ejectVolume(const std::string& mountPoint) {
    // Nothing attached there any more: nothing to eject.
    if (!isFolder(mountPoint)) return true;
    // Bounded runs and no lock: a disk tool that hangs ends at its time-out and
    // holds back no other eject.
    const auto givenUp = [this] { return giveUp_.load(); };
    OVCapture info = OVCaptureLimited(kit::format("diskutil info -plist %s", kit::shellQuote(mountPoint)), kCaptureName,
                                      OVCaptureTimeout, givenUp);
    std::optional<kit::Value> value = info.ok() ? info.value() : std::nullopt;
    std::optional<std::string> uuid = value && value->isDict() ? value->getString("VolumeUUID") : std::nullopt;
    if (!uuid || uuid->empty()) {
        kit::logf("dmg: no volume at %@ to eject", mountPoint);
        return false;
    }
    OVCapture eject =
        OVCaptureLimited(kit::format("diskutil eject %s", kit::shellQuote(*uuid)), kCaptureName, OVCaptureTimeout, givenUp);
    kit::logf("%@", eject.path);
    if (!eject.ok()) {
        kit::logf("dmg: eject of %@ failed (%d%s)", mountPoint, eject.status, eject.timedOut ? ", timed out" : "");
        return false;
    }
    // Judged by its effect too: an ejected volume's folder is gone.
    return !isFolder(mountPoint);
}

bool MakeDmg::unmountDmgWithFullPath() {
    std::string mountPoint;
    if (auto job = currentJob()) {
        std::lock_guard<std::mutex> lock(mutex_);
        mountPoint = job->mountPoint;
    }
    return !mountPoint.empty() && ejectVolume(mountPoint);
}

std::optional<kit::Value> MakeDmg::getDisjInfo(const char* volume) {
    if (!volume) return std::nullopt;
    OVCapture info = OVCaptureLimited(kit::format("diskutil info -plist %s", kit::shellQuote(volume)), kCaptureName);
    if (!info.ran || info.timedOut) return std::nullopt;
    auto value = info.value();
    if (!value || !value->isDict()) return std::nullopt;
    return value;
}

void MakeDmg::stopMakeDmg() {
    isCancelCopy_.store(true);
    if (auto job = currentJob(); job && !job->ended.load()) {
        job->cancelled.store(true);
        Phase phase;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (job->tool) job->tool->terminate();
            phase = job->phase;
        }
        // A volume waiting for its items is ejected now; the other phases clean
        // up where they are: the create and mount steps when their tool returns,
        // the copy after the item in hand.
        if (phase == Phase::Mounted) ejectInBackground(job);
    }
    if (zip_ && !zip_->ended) {
        zip_->cancelled = true;
        if (zip_->process) zip_->process->terminate();
    }
}

int MakeDmg::resizeVolume(const std::string& dmgPath, const std::string& toSize) {
    auto process = kit::Process::create();
    process->setLaunchPath(kit::sysPath("/usr/bin/hdiutil"));
    process->setArguments({"resize", "-size", toSize, dmgPath});
    std::string error;
    if (!process->launch(&error)) {
        kit::logf("dmg: hdiutil: %s", error);
        return -1;
    }
    return process->waitUntilExit();
}

// ---- zip route ----

void MakeDmg::getAllFileCount(const std::vector<std::shared_ptr<FileNode>>& nodes) {
    for (const auto& node : nodes) {
        if (!node) continue;
        if (node->state() == 1) {
            allSelectFileArr_.push_back(node->path());
            if (node->isDirectory()) {
                allSelectFileCout_ += getAllFileCountWithPath(node->path());
            } else {
                struct stat st;
                if (::lstat(node->path().c_str(), &st) == 0 && isSpecial(st.st_mode)) logLeftOut(node->path());
                allSelectFileCout_ += 1;
            }
        } else if (node->state() == 2) {
            getAllFileCount(node->children());
        }
    }
}

uint64_t MakeDmg::getAllFileCountWithPath(const std::string& folder) {
    // Every file and folder at any depth, the folder itself not counted; links are
    // counted, never followed, and unreadable folders count as empty.
    uint64_t count = 0;
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        std::string dir = std::move(pending.back());
        pending.pop_back();
        DIR* d = ::opendir(dir.c_str());
        if (!d) continue;
        int fd = ::dirfd(d);
        while (struct dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0))) continue;
            ++count;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    if (S_ISDIR(st.st_mode)) type = DT_DIR;
                    else if (isSpecial(st.st_mode)) type = DT_FIFO;
                }
            }
            if (type == DT_DIR) pending.push_back(dir + "/" + e->d_name);
            else if (type == DT_FIFO || type == DT_CHR || type == DT_BLK || type == DT_SOCK)
                logLeftOut(dir + "/" + e->d_name);
        }
        ::closedir(d);
    }
    return count;
}

bool MakeDmg::doZipWithPath(const std::string& zipPath, const std::vector<std::shared_ptr<FileNode>>& withZipArr) {
    if (busy()) {
        kit::logf("dmg: a job is running; %@ is not started", zipPath);
        return false;
    }
    allSelectFileCout_ = 0;
    proValue_ = 0;
    allSelectFileArr_.clear();
    getAllFileCount(withZipArr);
    return startZip(zipPath);
}

MakeDmg::ZipSelection MakeDmg::collectZipSelection(const std::vector<std::shared_ptr<FileNode>>& nodes) {
    // A scratch engine: the walk fills only its own lists.
    MakeDmg scratch;
    scratch.getAllFileCount(nodes);
    return ZipSelection{std::move(scratch.allSelectFileArr_), scratch.allSelectFileCout_};
}

bool MakeDmg::doZipWithSelection(const std::string& zipPath, const ZipSelection& selection) {
    if (busy()) {
        kit::logf("dmg: a job is running; %@ is not started", zipPath);
        return false;
    }
    proValue_ = 0;
    allSelectFileArr_ = selection.paths;
    allSelectFileCout_ = selection.count;
    return startZip(zipPath);
}

bool MakeDmg::startZip(const std::string& zipPath) {
    isCancelCopy_ = false;
    auto job = std::make_shared<ZipJob>();
    zip_ = job;
    // zip adds to an archive that is there; a taken name gets a fresh one instead.
    job->path = freePathFor(zipPath);
    if (job->path != zipPath) kit::logf("dmg: %@ exists; the archive is %@", zipPath, job->path);

    size_t nameBytes = 0;
    bool lineBreak = false;
    for (const auto& path : allSelectFileArr_) {
        nameBytes += path.size() + 1;
        lineBreak |= path.find('\n') != std::string::npos;
    }
    const bool namesOnInput = nameBytes > kZipArgumentBytes;
    if (namesOnInput && lineBreak) {
        // zip reads one name per line; such a name would reach it as two.
        kit::systemLog("dmg: zip: a name with a line break in a selection too long for the command line");
        job->ended = true;
        failJob();
        return true;
    }

    auto process = kit::Process::create();
    process->setLaunchPath(kit::sysPath("/usr/bin/zip"));
    // "-y" stores a symbolic link as a link: followed, a link could pull in
    // folders outside the selection (the whole machine for a link to "/") and a
    // loop would be stored again and again.
    std::vector<std::string> args{"-r", "-y", job->path};
    if (namesOnInput) args.push_back("-@");
    else args.insert(args.end(), allSelectFileArr_.begin(), allSelectFileArr_.end());
    process->setArguments(args);
    process->setPipeStandardOutput(true);
    // zip writes a line per entry: read in blocks, not a wake-up per line.
    process->setOutputBatchInterval(0.02);
    process->setPipeStandardInput(namesOnInput);
    job->process = process;

    std::weak_ptr<MakeDmg> weak = weak_from_this();
    std::weak_ptr<ZipJob> weakJob = job;
    // The output is read to its end whatever the progress says, so zip never
    // stalls on a full pipe; reads of a job that is not the current one are dropped.
    process->setOutputHandler([weak, weakJob](const std::string& chunk) {
        auto self = weak.lock();
        auto job = weakJob.lock();
        if (!self || !job || chunk.empty()) return;
        if (self->zip_ == job) self->dataReady(chunk);
    });
    process->setTerminationHandler([weak, job](kit::Process& p) {
        if (auto self = weak.lock()) self->zipEnded(job, p);
    });

    std::string error;
    if (!process->launch(&error)) {
        kit::logf("dmg: zip: %s", error);
        job->ended = true;
        job->process.reset();
        failJob();
        return true;
    }
    if (namesOnInput) {
        std::string names;
        names.reserve(nameBytes);
        for (const auto& path : allSelectFileArr_) names += path + "\n";
        kit::dispatch::async(kit::dispatch::globalQueue(), [process, names = std::move(names)] {
            process->writeInput(names);
            process->closeInput();
        });
    }
    return true;
}

void MakeDmg::dataReady(const std::string& data) {
    if (data.empty() || !zip_ || zip_->ended) return;
    // A read holds the lines zip wrote since the last one, one per entry: each
    // finished line is a step (a line cut by the pipe counts once it ends).
    const auto lines = static_cast<uint64_t>(std::count(data.begin(), data.end(), '\n'));
    proValue_ += lines;
    if (zip_->cancelled) return;
    // Only zip's exit says the archive is complete, so the reads stay below 100.
    uint64_t percent = allSelectFileCout_ ? proValue_ * 100 / allSelectFileCout_ : 0;
    if (percent > 99) percent = 99;
    // What one line per read showed: the last finished line and what follows it.
    std::string::size_type from = 0;
    const std::string::size_type lastEnd = data.rfind('\n');
    if (lastEnd != std::string::npos && lastEnd > 0) {
        const std::string::size_type before = data.rfind('\n', lastEnd - 1);
        if (before != std::string::npos) from = before + 1;
    }
    report(data.substr(from), static_cast<float>(percent));
}

void MakeDmg::zipTaskTerminated(kit::Process& process) {
    if (zip_ && zip_->process.get() == &process) zipEnded(zip_, process);
}

void MakeDmg::zipEnded(const std::shared_ptr<ZipJob>& job, kit::Process& process) {
    if (job->ended) return;
    job->ended = true;
    auto keep = job->process;
    job->process.reset();
    kit::logf("--end---");
    bool ok = process.exitedCleanly();
    // The name was free when the job began, so what is there now is zip's.
    if (job->cancelled || !ok) ::unlink(job->path.c_str());
    if (job->cancelled) return;
    if (ok) {
        report("", 100);
    } else {
        kit::logf("dmg: zip ended with %d", process.terminationStatus());
        failJob();
    }
}
