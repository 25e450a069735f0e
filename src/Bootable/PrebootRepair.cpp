#include "Bootable/PrebootRepair.h"

#include "Bootable/CloneCommands.h"
#include "kit/Dispatch.h"
#include "kit/FileManager.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

constexpr const char* kListCapture = "rootFerlDataTemp.plist";
constexpr const char* kContainerCapture = "FerlDataTemp.plist";
constexpr const char* kMountCapture = "diskMountTemp.plist";

// "/dev/<identifier>" as one quoted word: identifiers come from the tool's own
// output and are never pasted into a line as they stand.
std::string deviceWord(const std::string& identifier) { return kit::shellQuote("/dev/" + identifier); }

std::optional<kit::Value> diskInfo(const std::string& identifier, int* status = nullptr) {
    return ZZCaptureValue("diskutil info -plist " + deviceWord(identifier), kListCapture, status);
}

// The first slice of the target that holds an APFS container: the container.
std::optional<std::string> containerOf(const std::string& target) {
    auto list = ZZCaptureValue("diskutil list -plist " + deviceWord(target), kListCapture);
    if (!list || !list->isDict()) {
        kit::systemLog("");
        return std::nullopt;
    }
    const auto* all = list->getArray("AllDisks");
    if (!all) return std::nullopt;
    for (const auto& entry : *all) {
        auto id = entry.asString();
        if (!id || id->empty()) continue;
        auto info = diskInfo(*id);
        if (!info) continue;
        if (auto ref = info->getString("APFSContainerReference"); ref && !ref->empty()) return ref;
    }
    return std::nullopt;
}

// The last volume of the container named "Preboot".
std::optional<std::string> prebootOf(const std::string& container) {
    auto list = ZZCaptureValue("diskutil list -plist " + deviceWord(container), kContainerCapture);
    if (!list || !list->isDict()) {
        kit::systemLog("");
        return std::nullopt;
    }
    const auto* disks = list->getArray("AllDisksAndPartitions");
    if (!disks || disks->empty()) return std::nullopt;
    const auto* volumes = (*disks)[0].getArray("APFSVolumes");
    if (!volumes) return std::nullopt;
    std::optional<std::string> found;
    for (const auto& v : *volumes) {
        if (v.getString("VolumeName") != "Preboot") continue;
        if (auto id = v.getString("DeviceIdentifier"); id && !id->empty()) found = id;
    }
    return found;
}

}  // namespace

std::string PrebootRepair::cryptexFolder() { return kit::sysPath("/System/Volumes/Preboot/Cryptexes"); }

PrebootRepairOutcome PrebootRepair::run(const std::string& target) {
    PrebootRepairOutcome out;
    if (target.empty()) return out;

    auto container = containerOf(target);
    if (!container) return out;
    auto preboot = prebootOf(*container);
    if (!preboot) return out;
    out.prebootIdentifier = *preboot;

    auto failed = [&](const std::string& why) {
        out.result = PrebootRepairOutcome::Result::Failed;
        out.reason = why;
        kit::logf("Preboot repair failed: %@", why);
        return out;
    };

    int status = -1;
    ZZCaptureValue("diskutil mountDisk " + deviceWord(*preboot), kMountCapture, &status);
    if (status != 0) return failed(kit::format("mounting %s ended with status %d", *preboot, status));

    // Where this very volume is mounted now: the tool picks a free name when
    // another disk's Preboot holds "/Volumes/Preboot".
    auto info = diskInfo(*preboot, &status);
    const std::string mountPoint = info ? info->getString("MountPoint").value_or("") : "";
    bool isFolder = false;
    if (status != 0 || mountPoint.empty() || !kit::fileExists(mountPoint, &isFolder) || !isFolder)
        return failed(kit::format("%s reports no mount point after mounting", *preboot));
    out.mountPoint = mountPoint;

    auto copy = kit::Process::create();
    copy->setLaunchPath(kit::sysPath("/bin/cp"));
    copy->setArguments({"-av", cryptexFolder(), mountPoint});
    copy->setPipeStandardOutput(true);
    std::string error;
    if (!copy->launch(&error)) return failed("cp could not start: " + error);
    const std::string output = copy->readAllOutput();
    kit::logf("Output: %@", output);
    const int copyStatus = copy->waitUntilExit();
    kit::logf("Exit status: %d", copyStatus);
    if (!copy->exitedCleanly()) return failed(kit::format("cp ended with status %d", copyStatus));

    out.result = PrebootRepairOutcome::Result::Copied;
    return out;
}

void PrebootRepair::start(const std::string& target, std::function<void(const PrebootRepairOutcome&)> done) {
    kit::dispatch::async(kit::dispatch::globalQueue(), [target, done = std::move(done)]() mutable {
        PrebootRepairOutcome outcome = run(target);
        kit::dispatch::async(kit::dispatch::mainQueue(), [outcome, done = std::move(done)] {
            if (done) done(outcome);
        });
    });
}
