#include "ZipDmg/MakeDmg.h"

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
kit::FileCopyResult copyKeepingBoth(const std::string& from, const std::string& folder, const std::string& own) {
    int counter = 0;
    std::string name = own;
    for (;;) {
        std::string to = kit::pathJoin(folder, name);
        if (!exists(to)) {
            kit::FileCopyResult result = kit::copyItem(from, to);
            bool taken = false;
            for (const auto& issue : result.failures)
                if (issue.error == EEXIST && issue.path == from) taken = true;
            if (!taken || counter > 100000) return result;
        }
        name = clashCandidate(own, ++counter);
    }
}

}  // namespace

std::recursive_mutex& ejectCaptureMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::optional<std::string> ejectExecCommand(const char* command) {
    if (!command) return std::nullopt;
    std::string path = kit::temporaryDirectory() + kCaptureName;
    std::lock_guard<std::recursive_mutex> lock(ejectCaptureMutex());
    ::unlink(path.c_str());
    kit::runShell(kit::format("%s > %s", command, kit::shellQuote(path)));
    return path;
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
        if (fields.size() < 2) continue;
        const std::string& last = fields.back();
        if (last[0] == '/' && last.rfind("/dev/", 0) != 0) found = last;
    }
    return found;
}

MakeDmg::MakeDmg() = default;
MakeDmg::~MakeDmg() = default;

std::string MakeDmg::dmgNameStr() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dmgNameStr_;
}

std::vector<std::string> MakeDmg::allSelectFileArr() const { return allSelectFileArr_; }

void MakeDmg::report(const std::string& text, float progress) {
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->copyFileToDmgWithFileName(text, progress);
}

void MakeDmg::reportFromWorker(const std::string& text, float progress) {
    auto self = shared_from_this();
    kit::dispatch::sync(kit::dispatch::mainQueue(), [self, text, progress] {
        // A stop shown meanwhile stays the last word of this job.
        if (!self->isCancelCopy_.load()) self->report(text, progress);
    });
}

void MakeDmg::failJob() {
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->makeDmgFailWithError(std::nullopt);
}

void MakeDmg::failFromWorker() {
    auto self = shared_from_this();
    kit::dispatch::sync(kit::dispatch::mainQueue(), [self] {
        if (!self->isCancelCopy_.load()) self->failJob();
    });
}

void MakeDmg::removeStaging() {
    std::string staging;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        staging.swap(stagingFolder_);
    }
    removeTree(staging);
}

// ---- image route ----

void MakeDmg::makeTmpDmgWithPath(const std::string& path, const std::string& withName, int64_t withSize) {
    isCancelCopy_ = false;
    report(kStatusText, 20);

    // The tool wants a source folder; an empty one gives an empty volume. It is
    // made private and unique so no other user or job can slip files into it.
    std::string pattern = kit::temporaryDirectory() + kStagingPrefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    bool staged = ::mkdtemp(buffer.data()) != nullptr;

    uint64_t job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = ++job_;
        phase_ = Phase::Creating;
        dmgNameStr_ = withName;
        stagingFolder_ = staged ? std::string(buffer.data()) : std::string();
        imagePath_.clear();
        imagePreexisted_ = true;
        mountPoint_.clear();
        ejectStarted_ = false;
    }
    if (!staged) {
        kit::logf("dmg: no staging folder: %s", std::strerror(errno));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            phase_ = Phase::Idle;
        }
        failJob();
        return;
    }
    std::string staging = buffer.data();
    uint64_t bytes = static_cast<uint64_t>(withSize > 0 ? withSize : 0) + kImageMargin;

    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, job, path, withName, bytes, staging] {
        auto process = kit::Process::create();
        process->setLaunchPath(kit::sysPath("/usr/bin/hdiutil"));

        std::string folder = path;
        if (isSystemRoot(path)) {
            folder = kit::sysPath("/Pelorin_dmg");
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            openFolderToAll(folder);
        }
        std::string imagePath = kit::format("%@/%@.dmg", folder, withName);
        process->setArguments({"create", imagePath, "-volname", kVolumeName, "-size",
                               kit::format("%llu", static_cast<unsigned long long>(bytes)), "-fs", "HFS+",
                               "-format", "UDRW", "-srcfolder", staging});
        // Nobody reads the tool's chatter; a pipe left unread could fill and stall it.
        process->setStandardOutputToNull(true);
        process->setStandardErrorToNull(true);
        bool preexisted = exists(imagePath);

        bool launched = false;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->imagePath_ = imagePath;
            self->imagePreexisted_ = preexisted;
            // A stop that came first leaves nothing to start.
            if (!self->isCancelCopy_.load() && self->job_ == job) {
                std::string error;
                launched = process->launch(&error);
                if (launched) self->pCEraser_ = process;
                else kit::logf("dmg: hdiutil: %s", error);
            }
        }
        int status = launched ? process->waitUntilExit() : -1;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            if (self->pCEraser_ == process) self->pCEraser_.reset();
        }
        kit::dispatch::sync(kit::dispatch::mainQueue(), [self, job, status, launched, imagePath, preexisted] {
            self->createFinished(job, status, launched, imagePath, preexisted);
        });
    });
}

void MakeDmg::createFinished(uint64_t job, int status, bool launched, const std::string& imagePath, bool preexisted) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job != job_) return;
    }
    bool made = launched && status == 0 && !preexisted && exists(imagePath);
    if (!made || isCancelCopy_.load()) {
        // A file the tool left after failing or being stopped is incomplete; a
        // file that was there before the job is somebody else's.
        if (launched && !preexisted) ::unlink(imagePath.c_str());
        removeStaging();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            phase_ = Phase::Idle;
        }
        if (!isCancelCopy_.load()) failJob();
        return;
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, imagePath] { self->mountDmgWithDmgPath(imagePath); });
}

void MakeDmg::mountDmgWithDmgPath(const std::string& dmgPath) {
    removeStaging();
    uint64_t job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = job_;
        phase_ = Phase::Mounting;
    }
    if (isCancelCopy_.load()) {
        // Stopped before the mount: nothing was filled, so nothing is kept.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!imagePreexisted_ && imagePath_ == dmgPath) ::unlink(dmgPath.c_str());
        phase_ = Phase::Idle;
        return;
    }
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, job, dmgPath] {
        auto process = kit::Process::create();
        process->setLaunchPath(kit::sysPath("/usr/bin/hdiutil"));
        process->setArguments({"mount", dmgPath});
        process->setPipeStandardOutput(true);
        process->setStandardErrorToNull(true);
        std::string error, output;
        int status = -1;
        if (process->launch(&error)) {
            output = process->readAllOutput();
            status = process->waitUntilExit();
        } else {
            kit::logf("dmg: hdiutil: %s", error);
        }
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, job, status, output, dmgPath] {
            self->mountFinished(job, status, output, dmgPath);
        });
    });
}

void MakeDmg::mountFinished(uint64_t job, int status, const std::string& output, const std::string& imagePath) {
    std::string mountPoint = status == 0 ? mountPointFromAttachOutput(output) : std::string();
    bool mounted = !mountPoint.empty() && isFolder(mountPoint);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job != job_) return;
        if (mounted) mountPoint_ = mountPoint;
        phase_ = mounted ? Phase::Mounted : Phase::Idle;
    }
    if (isCancelCopy_.load()) {
        if (mounted) startEject(job, true);
        else if (status != 0) ::unlink(imagePath.c_str());
        return;
    }
    if (!mounted) {
        kit::logf("dmg: mount of %@ failed (%d)", imagePath, status);
        // The tool said it failed, so the image is not in use and is of no use.
        if (status != 0) ::unlink(imagePath.c_str());
        failJob();
        return;
    }
    if (MakeDmgDelegate* d = makeDmgDelegate_.load()) d->beginToCopyDmg();
}

void MakeDmg::doCopyFilesToDmgWithDmg(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    uint64_t job;
    std::string mountPoint;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = job_;
        mountPoint = mountPoint_;
        if (!mountPoint.empty() && phase_ == Phase::Mounted) phase_ = Phase::Copying;
        else mountPoint.clear();
    }
    auto self = shared_from_this();
    if (mountPoint.empty()) {
        // Only a volume this job mounted receives the items.
        kit::dispatch::async(kit::dispatch::globalQueue(), [self] { self->failFromWorker(); });
        return;
    }
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, job, paths, mountPoint] {
        self->copyLoop(job, paths, mountPoint);
    });
}

void MakeDmg::copyLoop(uint64_t job, std::vector<std::string> paths, std::string mountPoint) {
    const uint64_t count = paths.size();
    uint64_t failures = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (isCancelCopy_.load()) break;
        const std::string& path = paths[i];
        std::string name = nameOfPath(path);
        uint64_t p = (i * 100 + 100) / count;
        if (name.empty() || name == " ") {
            // Nothing to copy under such a name; only the last item's end counts.
            if (p < 100) continue;
            if (failures) failFromWorker();
            else reportFromWorker(kStatusText, static_cast<float>(p));
            break;
        }
        if (i == 0) reportFromWorker(kStatusText, 20);
        kit::FileCopyResult result = copyKeepingBoth(path, mountPoint, name);
        if (!result.ok()) {
            ++failures;
            for (const auto& issue : result.failures) kit::logf("error--------%@", issue.describe());
        }
        uint64_t shown = p <= 20 ? 20 : p;
        if (shown < 100) {
            reportFromWorker(kStatusText, static_cast<float>(shown));
            continue;
        }
        // The last item: the job ends here, in success only when every item made it.
        if (failures) failFromWorker();
        else reportFromWorker(kStatusText, static_cast<float>(shown));
        break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job == job_) phase_ = Phase::Done;
    }
    startEject(job, false);
}

void MakeDmg::startEject(uint64_t job, bool removeImageAfter) {
    std::string mountPoint, imagePath;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (job != job_ || mountPoint_.empty() || ejectStarted_) return;
        ejectStarted_ = true;
        mountPoint = mountPoint_;
        if (removeImageAfter && !imagePreexisted_) imagePath = imagePath_;
    }
    auto self = shared_from_this();
    std::thread([self, mountPoint, imagePath] {
        self->ejectVolume(mountPoint);
        // A job stopped before anything was copied leaves no image behind.
        if (!imagePath.empty()) ::unlink(imagePath.c_str());
    }).detach();
}

void MakeDmg::ejectVolume(const std::string& mountPoint) {
    std::lock_guard<std::recursive_mutex> lock(ejectCaptureMutex());
    auto info = getDisjInfo(mountPoint.c_str());
    std::optional<std::string> uuid = info ? info->getString("VolumeUUID") : std::nullopt;
    if (!uuid || uuid->empty()) {
        kit::logf("dmg: no volume at %@ to eject", mountPoint);
        return;
    }
    auto path = ejectExecCommand(kit::format("diskutil eject %s", kit::shellQuote(*uuid)).c_str());
    kit::logf("%@", path.value_or(""));
}

void MakeDmg::unmountDmgWithFullPath() {
    std::string mountPoint;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mountPoint = mountPoint_;
    }
    if (!mountPoint.empty()) ejectVolume(mountPoint);
}

std::optional<kit::Value> MakeDmg::getDisjInfo(const char* volume) {
    if (!volume) return std::nullopt;
    std::lock_guard<std::recursive_mutex> lock(ejectCaptureMutex());
    auto path = ejectExecCommand(kit::format("diskutil info -plist %s", kit::shellQuote(volume)).c_str());
    if (!path) return std::nullopt;
    auto value = kit::readPlistFile(*path);
    if (!value || !value->isDict()) return std::nullopt;
    return value;
}

void MakeDmg::stopMakeDmg() {
    uint64_t job;
    Phase phase;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pCEraser_) {
            pCEraser_->terminate();
            pCEraser_.reset();
        }
        job = job_;
        phase = phase_;
    }
    if (task_) task_->terminate();
    // A volume waiting for its items is ejected now; during the copy the loop
    // ejects once the item in hand is done, and a mount still running ejects what
    // it mounted when it returns.
    if (phase == Phase::Mounted) startEject(job, true);
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
            allSelectFileCout_ += node->isDirectory() ? getAllFileCountWithPath(node->path()) : 1;
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
            bool sub = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st;
                sub = ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
            }
            if (sub) pending.push_back(dir + "/" + e->d_name);
        }
        ::closedir(d);
    }
    return count;
}

void MakeDmg::doZipWithPath(const std::string& zipPath, const std::vector<std::shared_ptr<FileNode>>& withZipArr) {
    allSelectFileCout_ = 0;
    proValue_ = 0;
    allSelectFileArr_.clear();
    getAllFileCount(withZipArr);

    isCancelCopy_ = false;
    task_.reset();
    zipPath_ = zipPath;
    zipPreexisted_ = exists(zipPath);

    auto process = kit::Process::create();
    process->setLaunchPath(kit::sysPath("/usr/bin/zip"));
    std::vector<std::string> args{"-r", zipPath};
    args.insert(args.end(), allSelectFileArr_.begin(), allSelectFileArr_.end());
    process->setArguments(args);
    process->setPipeStandardOutput(true);

    std::weak_ptr<MakeDmg> weak = weak_from_this();
    std::weak_ptr<kit::Process> weakProcess = process;
    // The output is read to its end whatever the progress says, so zip never
    // stalls on a full pipe; reads of a process that is no longer this engine's
    // job are dropped.
    process->setOutputHandler([weak, weakProcess](const std::string& chunk) {
        auto self = weak.lock();
        if (!self || chunk.empty()) return;
        if (self->task_ && self->task_ == weakProcess.lock()) self->dataReady(chunk);
    });
    process->setTerminationHandler([weak](kit::Process& p) {
        if (auto self = weak.lock()) self->zipTaskTerminated(p);
    });

    std::string error;
    task_ = process;
    if (!process->launch(&error)) {
        kit::logf("dmg: zip: %s", error);
        task_.reset();
        failJob();
    }
}

void MakeDmg::dataReady(const std::string& data) {
    if (data.empty()) return;
    ++proValue_;
    if (isCancelCopy_.load()) return;
    // Only zip's exit says the archive is complete, so the reads stay below 100.
    uint64_t percent = allSelectFileCout_ ? proValue_ * 100 / allSelectFileCout_ : 0;
    if (percent > 99) percent = 99;
    report(data, static_cast<float>(percent));
}

void MakeDmg::zipTaskTerminated(kit::Process& process) {
    if (!task_ || task_.get() != &process) return;
    auto keep = task_;
    task_.reset();
    kit::logf("--end---");
    bool cancelled = isCancelCopy_.load();
    bool ok = process.exitedCleanly();
    if ((cancelled || !ok) && !zipPreexisted_) ::unlink(zipPath_.c_str());
    if (cancelled) return;
    if (ok) {
        report("", 100);
    } else {
        kit::logf("dmg: zip ended with %d", process.terminationStatus());
        failJob();
    }
}
