#include "DiskTool/DiskToolActions.h"

#include <atomic>
#include <cctype>

#include "Disk/GetVolumes.h"
#include "Disk/VolumeRecheck.h"
#include "DiskTool/DiskToolCommands.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/Plist.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {

namespace dispatch = kit::dispatch;

std::atomic<bool> formatting{false};

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool sameText(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

// "diskutil rename <uuid> <name>", every piece one quoted word.
std::string renameLine(const std::string& uuid, const std::string& name) {
    return kit::format("diskutil rename %s %s", kit::shellQuote(uuid), kit::shellQuote(name));
}

// Runs "/usr/sbin/diskutil reformat <device node>" and waits for it, within
// the format's time-out. The line's status; -1 when it could not start.
int reformat(const std::string& deviceNode, bool* timedOut) {
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = kFormatTimeout;
    const kit::ShellRunResult run = kit::runShellLimited(
        kit::format("%s reformat %s", kit::shellQuote(kit::sysPath("/usr/sbin/diskutil")), kit::shellQuote(deviceNode)),
        limits);
    *timedOut = run.timedOut;
    if (!run.started) kit::logf("reformat could not start: %@", deviceNode);
    return run.started ? run.status : -1;
}

// A format worked when the device node now holds a new file system (a volume
// UUID other than before) of the type, with the name. Erased as APFS, another
// file system's partition becomes the store of a new container: the volume of
// the name is then looked for in that container. The formatted volume's disk
// UUID goes into the result.
bool formatReadsBack(const std::string& node, const std::string& type, const std::string& name,
                     const std::string& uuidBefore, FormatResult& r) {
    const DiskToolReading now = readDiskToolRecord(node, kDiskToolTimeout);
    if (!now.record) return false;
    const kit::Value& v = *now.record;
    const std::string filesystem = v.getString("FilesystemName").value_or("");
    if (!filesystem.empty()) {
        const std::string uuid = v.getString("VolumeUUID").value_or("");
        if (!sameText(filesystem, type) || v.getString("VolumeName").value_or("") != name) return false;
        if (!uuidBefore.empty() && sameText(uuid, uuidBefore)) return false;
        r.diskUUID = v.getString("DiskUUID").value_or("");
        return true;
    }
    const std::string container = v.getString("APFSContainerReference").value_or("");
    if (container.empty() || !sameText(type, "APFS")) return false;
    const auto list = DoCommand("diskutil list -plist " + kit::shellQuote(container));
    const kit::Value* disks = list && list->isDict() ? list->get("AllDisksAndPartitions") : nullptr;
    if (!disks || !disks->asArray()) return false;
    for (const kit::Value& disk : *disks->asArray()) {
        const kit::Value* volumes = disk.isDict() ? disk.get("APFSVolumes") : nullptr;
        if (!volumes || !volumes->asArray()) continue;
        for (const kit::Value& volume : *volumes->asArray()) {
            if (!volume.isDict()) continue;
            if (volume.getString("VolumeName").value_or("") != name) continue;
            r.diskUUID = volume.getString("DiskUUID").value_or("");
            return true;
        }
    }
    return false;
}

}  // namespace

FormatRoute DiskToolActions::formatRouteFor(const VolumeObj& volume) {
    return lower(volume.diskType()).find("apfs") != std::string::npos ? FormatRoute::Reformat : FormatRoute::Erase;
}

RenameResult DiskToolActions::renameVolume(const VolumeObj& volume, const std::string& typedName) {
    RenameResult r;
    auto name = renameNameFor(typedName, volume.diskType(), volume.volumeName());
    if (!name) {
        r.skipped = true;
        return r;
    }
    r.sentName = *name;
    if (looksLikeAnOption(*name)) {
        r.badName = true;
        return r;
    }
    const std::string uuid = volume.diskUUID();
    if (uuid.empty()) return r;
    if (!currentRecordOfVolume(volume)) {
        r.refused = true;
        return r;
    }
    const DiskToolRun run = aepairExecCommand(renameLine(uuid, *name).c_str());
    kit::logf(" rename : %@ ", run.capturePath.value_or(""));
    r.status = run.status;
    if (!run.ok()) return r;
    // The tool decides where the renamed volume is mounted (a free folder name);
    // its record says so, and says whether the name took.
    const DiskToolReading now = readDiskToolRecord(uuid, kDiskToolTimeout);
    if (!now.record) {
        kit::logf("rename: no record of %@ after the rename", uuid);
        return r;
    }
    r.name = now.record->getString("VolumeName").value_or("");
    r.mountPoint = now.record->getString("MountPoint").value_or("");
    r.readBack = true;
    r.ok = r.name == *name;
    if (!r.ok) kit::logf("rename: the volume is still named %@", r.name);
    return r;
}

void DiskToolActions::applyRename(const std::shared_ptr<VolumeObj>& volume, const RenameResult& result) {
    if (!volume || !result.ok) return;
    volume->setVolumeName(result.name);
    if (result.readBack) volume->setVolumeMountPoint(result.mountPoint);
    GetVolumes::Instance().changVoluemValue(volume);
}

FormatResult DiskToolActions::formatVolume(const VolumeObj& volume, const std::string& name, const std::string& type) {
    FormatResult r;
    r.route = formatRouteFor(volume);
    kit::logf("-----:::::%@----::%@", type, volume.diskType());
    const std::string node = volume.volRootDir();
    if (node.empty()) return r;
    const bool erase = r.route == FormatRoute::Erase;
    r.name = erase ? eraseNameFor(name, type) : volume.volumeName();
    const bool rename = !erase && !(name.empty() || name == " " || name == volume.volumeName());
    // The name the tool is given, if any.
    if (looksLikeAnOption(erase ? r.name : rename ? name : "")) {
        r.badName = true;
        return r;
    }
    const std::optional<kit::Value> before = currentRecordOfVolume(volume);
    if (!before) {
        r.refused = true;
        return r;
    }
    const std::string uuidBefore = before->getString("VolumeUUID").value_or("");

    if (r.route == FormatRoute::Reformat) {
        if (rename) {
            const std::string uuid = volume.diskUUID();
            if (uuid.empty()) return r;
            const DiskToolRun run = changeNameExecCommand(renameLine(uuid, name).c_str());
            kit::logf(" rename : %@ ", run.capturePath.value_or(""));
            r.renameStatus = run.status;
            r.timedOut = run.timedOut;
            // The volume keeps its files when the new name was refused.
            if (!run.ok()) return r;
            r.name = name;
        }
        r.status = reformat(node, &r.timedOut);
    } else {
        const DiskToolRun run = eraserExecCommand(kit::format("diskutil eraseVolume %s %s %s", kit::shellQuote(type),
                                                              kit::shellQuote(r.name), kit::shellQuote(node))
                                                      .c_str());
        kit::systemLog(" 1 ");
        kit::logf(" rename : %@ ", run.capturePath.value_or(""));
        kit::logf("format volume : %@", run.capturePath.value_or(""));
        r.status = run.status;
        r.timedOut = run.timedOut;
    }
    if (r.timedOut || r.status != 0) return r;
    r.ok = formatReadsBack(node, type, r.name, uuidBefore, r);
    if (!r.ok) kit::logf("format: %@ does not hold a new %@ volume named %@", node, type, r.name);
    return r;
}

EjectResult DiskToolActions::ejectVolume(const VolumeObj& volume) {
    EjectResult r;
    const std::string uuid = volume.diskUUID();
    if (uuid.empty()) return r;
    if (!currentRecordOfVolume(volume)) {
        r.refused = true;
        return r;
    }
    const DiskToolRun run = aepairExecCommand(kit::format("diskutil eject %s", kit::shellQuote(uuid)).c_str());
    r.status = run.status;
    if (!run.ok()) return r;
    // Gone: the tool finds nothing at the mount point any more, or another volume.
    const DiskToolReading now = readDiskToolRecord(volume.volumeMountPoint(), kDiskToolTimeout);
    r.ok = now.answered && (now.status != 0 || (now.record && !recordIsVolume(*now.record, volume)));
    if (!r.ok) kit::logf("eject: %@ is still there", volume.volumeMountPoint());
    return r;
}

std::shared_ptr<VolumeObj> DiskToolActions::currentRecord(const VolumeList& list, const VolumeObj& row) {
    const std::string uuid = row.diskUUID();
    if (uuid.empty()) return nullptr;
    for (const auto& item : list.snapshot())
        if (item && item->diskUUID() == uuid) return item;
    return nullptr;
}

void DiskToolActions::renameVolumeAsync(std::shared_ptr<VolumeObj> volume, std::string typedName,
                                        std::function<void(const RenameResult&)> done) {
    dispatch::async(dispatch::globalQueue(), [volume, typedName = std::move(typedName), done = std::move(done)] {
        RenameResult r = volume ? renameVolume(*volume, typedName) : RenameResult{};
        dispatch::async(dispatch::mainQueue(), [volume, r, done] {
            applyRename(volume, r);
            if (done) done(r);
        });
    });
}

bool DiskToolActions::isFormatting() { return formatting.load(); }

bool DiskToolActions::formatVolumeAsync(std::shared_ptr<VolumeObj> volume, std::string name, std::string type,
                                        std::function<void(const FormatResult&)> done) {
    if (!volume) return false;
    bool idle = false;
    if (!formatting.compare_exchange_strong(idle, true)) return false;
    GetVolumes::Instance().setGetVoumes(true);
    dispatch::async(dispatch::globalQueue(), [volume, name = std::move(name), type = std::move(type),
                                              done = std::move(done)] {
        FormatResult r = formatVolume(*volume, name, type);
        dispatch::async(dispatch::mainQueue(), [r, done] {
            formatting.store(false);
            GetVolumes& provider = GetVolumes::Instance();
            provider.setGetVoumes(false);
            provider.getDiskAndVolumes();
            if (done) done(r);
        });
    });
    return true;
}

void DiskToolActions::ejectVolumeAsync(std::shared_ptr<VolumeObj> volume, std::function<void(const EjectResult&)> done) {
    dispatch::async(dispatch::globalQueue(), [volume, done = std::move(done)] {
        EjectResult r = volume ? ejectVolume(*volume) : EjectResult{};
        dispatch::async(dispatch::mainQueue(), [r, done] {
            if (done) done(r);
        });
    });
}
