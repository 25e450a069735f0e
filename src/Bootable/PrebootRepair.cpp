#include "Bootable/PrebootRepair.h"

#include "Bootable/CloneCommands.h"
#include "kit/Dispatch.h"
#include "kit/FileManager.h"
#include "kit/Format.h"
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

// How long the copy of the cryptexes may take (scaled); the disk tool's runs
// have the capture's own bound.
constexpr double kCopyTimeout = 600.0;

// One run of the disk tool whose answer the repair needs: nullopt (with *why)
// when the tool failed, was ended at its time-out, or answered something that
// is no property-list dictionary. A repair that cannot read the disk can't
// say that there is nothing to repair.
std::optional<kit::Value> ask(const std::string& command, const std::string& fileName, std::string* why) {
    const OVCapture capture = ZZCapture(command, fileName);
    if (capture.timedOut) {
        *why = command + " timed out";
        return std::nullopt;
    }
    if (!capture.ok()) {
        *why = kit::format("%s ended with status %d", command, capture.status);
        return std::nullopt;
    }
    auto value = capture.value();
    if (!value || !value->isDict()) {
        *why = command + " gave an answer that can't be read";
        return std::nullopt;
    }
    return value;
}

std::optional<kit::Value> diskInfo(const std::string& identifier, std::string* why) {
    return ask("diskutil info -plist " + deviceWord(identifier), kListCapture, why);
}

// The APFS volumes of a container, from "diskutil list -plist /dev/<container>".
// A list without the keys that describe the container is no answer.
std::optional<kit::Value::Array> containerVolumes(const std::string& container, std::string* why) {
    auto list = ask("diskutil list -plist " + deviceWord(container), kContainerCapture, why);
    if (!list) return std::nullopt;
    const auto* disks = list->getArray("AllDisksAndPartitions");
    const auto* volumes = disks && !disks->empty() ? (*disks)[0].getArray("APFSVolumes") : nullptr;
    if (!volumes) {
        *why = "the list of " + container + " names no volumes";
        return std::nullopt;
    }
    return *volumes;
}

// The last of the volumes named "Preboot".
std::optional<std::string> lastPreboot(const kit::Value::Array& volumes) {
    std::optional<std::string> found;
    for (const auto& v : volumes) {
        if (v.getString("VolumeName") != "Preboot") continue;
        if (auto id = v.getString("DeviceIdentifier"); id && !id->empty()) found = id;
    }
    return found;
}

// Whether the running system's own container holds a Preboot volume: where it
// does, a clone can't start without one. nullopt (with *why) when the disk
// tool's answers can't be read.
std::optional<bool> systemHasPreboot(std::string* why) {
    auto root = ask("diskutil info -plist " + kit::shellQuote(kit::sysPath("/")), kListCapture, why);
    if (!root) return std::nullopt;
    const std::string container = root->getString("APFSContainerReference").value_or("");
    if (container.empty()) return false;
    auto volumes = containerVolumes(container, why);
    if (!volumes) return std::nullopt;
    return lastPreboot(*volumes).has_value();
}

}  // namespace

std::string PrebootRepair::cryptexFolder() { return kit::sysPath("/System/Volumes/Preboot/Cryptexes"); }

PrebootRepairOutcome PrebootRepair::run(const std::string& target) {
    PrebootRepairOutcome out;
    if (target.empty()) return out;

    auto failed = [&](const std::string& why) {
        out.result = PrebootRepairOutcome::Result::Failed;
        out.reason = why;
        kit::logf("Preboot repair failed: %@", why);
        return out;
    };
    std::string why;

    // The first slice of the target that holds an APFS container: the container.
    auto list = ask("diskutil list -plist " + deviceWord(target), kListCapture, &why);
    if (!list) return failed(why);
    // A list of a disk names at least the disk itself.
    const auto* all = list->getArray("AllDisks");
    if (!all || all->empty()) return failed("the list of " + target + " names no disks");
    std::optional<std::string> container;
    for (const auto& entry : *all) {
        auto id = entry.asString();
        if (!id || id->empty()) continue;
        auto info = diskInfo(*id, &why);
        if (!info) return failed(why);
        if (auto ref = info->getString("APFSContainerReference"); ref && !ref->empty()) {
            container = ref;
            break;
        }
    }
    if (!container) return out;

    auto volumes = containerVolumes(*container, &why);
    if (!volumes) return failed(why);
    auto preboot = lastPreboot(*volumes);
    if (!preboot) {
        const auto needed = systemHasPreboot(&why);
        if (!needed) return failed(why);
        if (*needed) return failed("the clone's container " + *container + " has no Preboot volume");
        return out;
    }
    out.prebootIdentifier = *preboot;

    const OVCapture mount = ZZCapture("diskutil mountDisk " + deviceWord(*preboot), kMountCapture);
    if (mount.timedOut) return failed("mounting " + *preboot + " timed out");
    if (!mount.ok()) return failed(kit::format("mounting %s ended with status %d", *preboot, mount.status));

    // Where this very volume is mounted now: the tool picks a free name when
    // another disk's Preboot holds "/Volumes/Preboot".
    auto info = diskInfo(*preboot, &why);
    if (!info) return failed(why);
    const std::string mountPoint = info->getString("MountPoint").value_or("");
    bool isFolder = false;
    if (mountPoint.empty() || !kit::fileExists(mountPoint, &isFolder) || !isFolder)
        return failed(kit::format("%s reports no mount point after mounting", *preboot));
    out.mountPoint = mountPoint;

    kit::ShellRunLimits limits;
    limits.timeoutSeconds = kCopyTimeout;
    limits.captureOutput = true;
    const std::string copyLine = kit::format("%s -av %s %s", kit::shellQuote(kit::sysPath("/bin/cp")),
                                             kit::shellQuote(cryptexFolder()), kit::shellQuote(mountPoint));
    const kit::ShellRunResult copy = kit::runShellLimited(copyLine, limits);
    kit::logf("Output: %@", copy.output);
    kit::logf("Exit status: %d", copy.status);
    if (copy.timedOut) return failed("cp timed out");
    if (!copy.succeeded()) return failed(kit::format("cp ended with status %d", copy.status));

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
