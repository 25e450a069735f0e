#include "Bootable/boot/OVBootable.h"

#include <strings.h>

#include <cstdint>

#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/OVTask.h"
#include "kit/Dispatch.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

namespace dispatch = kit::dispatch;

// Bounds of the clone's helper tool runs (scaled by the time scale). The erase
// has its own, through the runner.
constexpr double kKillallTimeout = 30.0;
constexpr double kRemountTimeout = OVCaptureTimeout;

std::optional<std::string> captureInto(const char* command, const char* fileName) {
    if (!command) return std::nullopt;
    std::lock_guard<std::mutex> lock(OVCaptureLock(fileName));
    return OVRunCapture(command, fileName, 2048);
}

}  // namespace

std::optional<std::string> eraserDiskCommand(const char* command) { return captureInto(command, "eraserDiskTemp.plist"); }

std::optional<std::string> AexecCommand(const char* command) { return captureInto(command, "AQuilbyTemp.plist"); }

OVBootable& OVBootable::OVShareInstance() {
    // Never destroyed: late queue blocks and child-process callbacks may still
    // reach it while the process exits.
    static OVBootable* shared = new OVBootable();
    return *shared;
}

void OVBootable::OVInit() {
    OVInitLog();
    taskCreate_.reset();
    handleWriteOpen_ = false;
    OVUSBControl::OVShareInstance().OVSetDelegateObj(this);
}

void OVBootable::OVUninit() { OVUninitLog(); }

void OVBootable::OVSetDelegate(OVBootableDelegate* delegate) { delegateObj_.store(delegate); }

std::vector<USBDiskRecord> OVBootable::OVGetUSBList() { return OVUSBControl::OVShareInstance().OVGetUSBList(); }

void OVBootable::OVEnumUSBFinishImp() {
    if (auto* d = delegateObj_.load()) d->OVEnumUSBFinish();
}

std::shared_ptr<VolumeList> OVBootable::allVoumesArr() const {
    std::lock_guard<std::mutex> lock(volumesMutex_);
    return allVoumesArr_;
}

int OVBootable::OVGetPrecentWithStepCode(int stepCode) {
    if (stepCode == 8) return 100;
    // The step is taken unsigned, so a negative one saturates at 100.
    const float fraction = static_cast<float>(static_cast<double>(static_cast<uint32_t>(stepCode)) * 0.125);
    const double percent = static_cast<double>(fraction) * 100.0;
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

std::string OVBootable::OVFileSystemForVersion(int v) {
    if (v < 1013) return "HFS+";
    if (v <= 1014) return "APFS";
    if (v <= 1299) return "JHFS+";
    return "APFS";
}

// ---- start and stop ------------------------------------------------------

int OVBootable::OVStart(const std::shared_ptr<VolumeObj>& target) {
    // A second clone would share the runner, the parser and the restore task
    // with the first; and clearing the cancel flag here would undo its stop.
    bool idle = false;
    if (!running_.compare_exchange_strong(idle, true)) return -1;

    bUserCancel_.store(false);
    if (!target) {
        endRun();
        return -2;
    }
    OVUSBControl::OVShareInstance().HlbCreateVolumeName();
    dispatch::async(dispatch::globalQueue(), [this, target] { cloneBlock(target); });
    return 0;
}

int OVBootable::OVStop() {
    bUserCancel_.store(true);
    OVTask::OVShareInstance().OVStopTask();
    auto terminateRestore = [this] {
        if (taskCreate_) taskCreate_->terminate();
    };
    if (dispatch::isMainThread())
        terminateRestore();
    else
        dispatch::async(dispatch::mainQueue(), terminateRestore);
    return 0;
}

// ---- reports ---------------------------------------------------------------

void OVBootable::OVUpdateProgress(int progress, int iErrCode, int iStepCode) {
    dispatch::async(dispatch::mainQueue(),
                    [this, progress, iErrCode, iStepCode] { OVUpdateProgressImp(progress, iErrCode, iStepCode); });
}

void OVBootable::OVUpdateProgressImp(int progress, int iErrCode, int iStepCode) {
    OVCloneProgress record;
    record.errorCode = iErrCode;
    record.stepCode = iStepCode;
    record.percent = progress + OVGetPrecentWithStepCode(iStepCode);
    if (auto* d = delegateObj_.load()) d->OVUINotify(&record);
}

void OVBootable::changeProTimeWithTag(int tag, int withStep) {
    dispatch::async(dispatch::mainQueue(), [this, tag, withStep] {
        if (auto* d = delegateObj_.load()) d->changeProTimeWithTag(tag, withStep);
    });
}

// ---- erase (worker queue) --------------------------------------------------

void OVBootable::cloneBlock(std::shared_ptr<VolumeObj> target) {
    OVUpdateProgress(0, 0, 0);
    OVUpdateProgress(0, 0, 1);
    if (bUserCancel_.load()) {
        OVUpdateProgress(0, -8, 1);
        endRun();
        return;
    }

    // Indexing would fight the erase and the restore for the disks. A killall
    // that hangs is ended at its time-out or by a stop, never waited for.
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = kKillallTimeout;
    limits.stop = [this] { return bUserCancel_.load(); };
    if (kit::runShellLimited("killall mds_stores", limits).timedOut) kit::systemLog("killall mds_stores timed out");

    OVUpdateProgress(0, 0, 2);
    const int version = OVPublicUtilities::getSystemVersion();
    kit::logf("%d", version);
    const std::string fileSystem = OVFileSystemForVersion(version);
    OVUSBControl& usb = OVUSBControl::OVShareInstance();

    // The runner forgets a stop sent before its run begins, so a stop that came
    // in by now must keep the erase from even being set up.
    if (bUserCancel_.load()) {
        OVUpdateProgress(0, -8, 2);
        endRun();
        return;
    }
    // The erase takes the identifier, and an identifier is given to whatever
    // disk appears next: the disk at it now must be the one the user chose.
    if (!targetIsStillChosen(*target)) {
        OVUpdateProgress(0, bUserCancel_.load() ? -8 : -3, 2);
        endRun();
        return;
    }
    OVTask& task = OVTask::OVShareInstance();
    task.OVSetLaunchPath(kit::sysPath("/usr/sbin/diskutil"));
    task.OVSetArguments(std::vector<std::string>{"eraseDisk", fileSystem, usb.OVGetOrvaneVolumeName(), target->volumePath()});
    task.OVSetTimeoutCount(600);

    // For the same reason, repeat the stop to the runner for as long as the
    // erase runs once the user has asked for it.
    auto eraseDone = std::make_shared<std::atomic<bool>>(false);
    dispatch::async(dispatch::globalQueue(), [this, eraseDone] {
        while (!eraseDone->load()) {
            if (bUserCancel_.load()) OVTask::OVShareInstance().OVStopTask();
            dispatch::sleepFor(0.1);
        }
    });
    task.OVStartTask();
    eraseDone->store(true);

    const std::string mountPath = usb.OVGetOrvaneVolumePath();
    bool found = OVCheckFolderExist(mountPath);
    // After a stop the disk is left as it is: no unmounting and remounting.
    if (!found && !bUserCancel_.load()) {
        remountTarget(*target);
        found = OVCheckFolderExist(mountPath);
    }

    if (bUserCancel_.load()) {
        OVUpdateProgress(0, -8, 2);
        endRun();
        return;
    }
    if (!found) {
        OVUpdateProgress(0, -4, 3);
        endRun();
        return;
    }

    OVUpdateProgress(0, 0, 3);
    dispatch::after(2.0, dispatch::mainQueue(), [this, mountPath] { beginToBootable(mountPath); });
}

bool OVBootable::OVIsSameDisk(const VolumeObj& chosen, const std::optional<kit::Value>& record, std::string* why) {
    auto differs = [why](const std::string& what) {
        if (why) *why = what;
        return false;
    };
    if (!record || !record->isDict()) return differs("no readable record");
    if (record->getString("DeviceIdentifier").value_or("") != chosen.volumePath())
        return differs("another identifier");
    // The scan names a disk without a registry name "Unknown".
    if (record->getString("IORegistryEntryName").value_or("Unknown") != chosen.volumeName())
        return differs("another name");
    if (record->getInt("TotalSize").value_or(-1) != chosen.volumeTotalSizeNum()) return differs("another size");
    const std::string uuid = chosen.diskUUID();
    if (!uuid.empty() && ::strcasecmp(record->getString("DiskUUID").value_or("").c_str(), uuid.c_str()) != 0)
        return differs("another disk UUID");
    return true;
}

bool OVBootable::OVHasSameSlices(const VolumeObj& chosen, const std::optional<kit::Value>& listing, std::string* why) {
    const auto recorded = chosen.diskSlices();
    if (!recorded) return true;
    const auto now = listing ? GetVolumes::diskSlicesIn(*listing, chosen.volumePath()) : std::nullopt;
    if (!now) {
        if (why) *why = "no readable list of its partitions";
        return false;
    }
    if (*now != *recorded) {
        if (why) *why = "other partitions";
        return false;
    }
    return true;
}

bool OVBootable::targetIsStillChosen(const VolumeObj& target) {
    // Only a run that ended by itself with success has answered.
    auto ask = [&](const std::string& command) -> std::optional<kit::Value> {
        const OVCapture capture =
            OVCaptureLimited(command + " " + kit::shellQuote("/dev/" + target.volumePath()), "eraserDiskTemp.plist",
                             kRemountTimeout, [this] { return bUserCancel_.load(); });
        return capture.ok() ? capture.value() : std::nullopt;
    };
    std::string why;
    if (OVIsSameDisk(target, ask("diskutil info -plist"), &why) &&
        (!target.diskSlices() || OVHasSameSlices(target, ask("diskutil list -plist"), &why)))
        return true;
    kit::logf("The clone target %@ is not the disk that was chosen (%@): nothing is erased", target.volumePath(), why);
    OVLog("target %@ refused: %@", target.volumePath(), why);
    return false;
}

void OVBootable::remountTarget(const VolumeObj& target) {
    GetVolumes& volumes = GetVolumes::Instance();
    volumes.getDiskAndVolumes();
    {
        auto list = volumes.getVolumes();
        std::lock_guard<std::mutex> lock(volumesMutex_);
        allVoumesArr_ = std::move(list);
    }
    // A whole disk's path is its device identifier: remount exactly the disk that was erased.
    const std::string path = target.volumePath();
    const std::string device = kit::shellQuote(path);
    // Each run is bounded and ends at a stop, so a hung disk tool can neither
    // hold the clone nor keep the next one from starting.
    auto stopped = [this] { return bUserCancel_.load(); };
    kit::logf("0---%@", path);
    OVCaptureLimited(kit::format("diskutil unmountDisk /dev/%s", device), "eraserDiskTemp.plist", kRemountTimeout,
                     stopped);
    if (stopped()) return;
    kit::logf("1---%@", path);
    OVCaptureLimited(kit::format("diskutil mountDisk /dev/%s", device), "eraserDiskTemp.plist", kRemountTimeout,
                     stopped);
}

// ---- restore (main thread) -------------------------------------------------

void OVBootable::beginToBootable(const std::string& targetMountPath) {
    // Queued, so the launch always happens on the main thread, after what is already waiting there.
    dispatch::async(dispatch::mainQueue(), [this, targetMountPath] {
        // Gives the fresh volume time to settle before the restore tool opens it.
        dispatch::sleepFor(2.0);
        kit::systemLog("begin boot");
        OVCreateBootableSystem(kit::sysPath("/"), targetMountPath);
    });
}

int OVBootable::OVCreateBootableSystem(const std::optional<std::string>& source,
                                       const std::optional<std::string>& strTargetVolume) {
    if (!source || !strTargetVolume) {
        OVUpdateProgress(0, 0, 3);
        endRun();
        return -1;
    }
    // A stop during the wait after the erase: it has been shown already.
    if (bUserCancel_.load()) {
        endRun();
        return 0;
    }

    dispatch::async(dispatch::mainQueue(), [this] {
        if (auto* d = delegateObj_.load()) d->changeProLabelValue("");
    });

    // Every launch counts afresh: a tool that never prompts must not inherit
    // the last run's finished phases.
    parser_.reset();

    auto task = kit::Process::create();
    task->setLaunchPath(kit::sysPath("/usr/sbin/asr"));
    task->setArguments({"restore", "--source", *source, "--target", *strTargetVolume, "--erase"});
    task->setPipeStandardOutput(true);
    task->setPipeStandardInput(true);
    task->setOutputHandler([this](const std::string& chunk) { OVReceivedData(chunk); });
    task->setTerminationHandler([this](kit::Process& p) { OVTerminated(p); });

    std::string error;
    if (!task->launch(&error)) {
        kit::logf("asr launch failed: %@", error);
        OVUpdateProgress(0, -7, 8);
        endRun();
        return -7;
    }
    taskCreate_ = std::move(task);
    handleWriteOpen_ = true;
    return 0;
}

void OVBootable::OVReceivedData(const std::string& chunk) {
    if (chunk.empty()) return;
    const bool takesLabels = delegateObj_.load() != nullptr;
    for (const auto& ev : parser_.parseChunk(chunk, takesLabels)) {
        using Kind = OVRestoreOutputEvent::Kind;
        switch (ev.kind) {
        case Kind::AnswerPrompt:
            // The tool may be gone already; the write then fails quietly.
            if (taskCreate_ && handleWriteOpen_) {
                taskCreate_->writeInput("y");
                taskCreate_->closeInput();
            }
            handleWriteOpen_ = false;
            break;
        case Kind::Log:
            kit::logf("========:  | %@ |", ev.text);
            break;
        case Kind::Step:
            OVUpdateProgress(0, 0, ev.value);
            break;
        case Kind::Label:
            dispatch::async(dispatch::mainQueue(), [this, text = ev.text] {
                if (auto* d = delegateObj_.load()) d->changeProLabelValue(text);
            });
            break;
        case Kind::Tag:
            changeProTimeWithTag(ev.value, ev.phase);
            break;
        }
    }
}

void OVBootable::OVTerminated(kit::Process& task) {
    // Judged only now that the whole output has been read and the tool has
    // exited: two finished phases are not a success when the tool failed.
    const bool cancelled = bUserCancel_.load();
    const bool cleanExit = task.exitedCleanly();
    const int finishedPhases = parser_.isTwoTime100();

    // The task object is still running this handler; let it go afterwards.
    if (taskCreate_) {
        dispatch::async(dispatch::mainQueue(), [done = std::move(taskCreate_)] {});
        taskCreate_.reset();
    }
    handleWriteOpen_ = false;

    dispatch::async(dispatch::globalQueue(), [cancelled] {
        OVLog("task terminated");
        if (cancelled) OVLog("User cancel");
    });

    int error = 0;
    if (cancelled)
        error = -8;
    else if (!cleanExit || finishedPhases < 2)
        error = -7;
    OVUpdateProgress(0, error, 8);
    endRun();
}
