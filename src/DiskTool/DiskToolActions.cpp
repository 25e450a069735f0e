#include "DiskTool/DiskToolActions.h"

#include <atomic>
#include <cctype>

#include "Disk/GetVolumes.h"
#include "DiskTool/DiskToolCommands.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
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

// "diskutil rename <uuid> <name>", every piece one quoted word.
std::string renameLine(const std::string& uuid, const std::string& name) {
    return kit::format("diskutil rename %s %s", kit::shellQuote(uuid), kit::shellQuote(name));
}

// Runs "/usr/sbin/diskutil reformat <device node>" and waits for it: its exit
// status, -1 when it could not start.
int reformat(const std::string& deviceNode) {
    auto task = kit::Process::create();
    task->setLaunchPath(kit::sysPath("/usr/sbin/diskutil"));
    task->setArguments({"reformat", deviceNode});
    std::string error;
    if (!task->launch(&error)) {
        kit::logf("reformat could not start: %@", error);
        return -1;
    }
    return task->waitUntilExit();
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
    const std::string uuid = volume.diskUUID();
    if (uuid.empty()) return r;
    const DiskToolRun run = aepairExecCommand(renameLine(uuid, *name).c_str());
    kit::logf(" rename : %@ ", run.capturePath.value_or(""));
    r.status = run.status;
    if (!run.ok()) return r;
    r.ok = true;
    r.name = *name;
    // The tool decides where the renamed volume is mounted (a free folder name);
    // its record says so.
    if (auto info = DoCommand("diskutil info -plist " + kit::shellQuote(uuid)); info && info->isDict()) {
        if (auto n = info->getString("VolumeName")) r.name = *n;
        r.mountPoint = info->getString("MountPoint").value_or("");
        r.readBack = true;
    } else {
        kit::logf("rename: no record of %@ after the rename", uuid);
    }
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

    if (r.route == FormatRoute::Reformat) {
        r.name = volume.volumeName();
        const bool rename = !(name.empty() || name == " " || name == volume.volumeName());
        if (rename) {
            const std::string uuid = volume.diskUUID();
            if (uuid.empty()) return r;
            const DiskToolRun run = changeNameExecCommand(renameLine(uuid, name).c_str());
            kit::logf(" rename : %@ ", run.capturePath.value_or(""));
            r.renameStatus = run.status;
            // The volume keeps its files when the new name was refused.
            if (!run.ok()) return r;
            r.name = name;
        }
        r.status = reformat(node);
        r.ok = r.status == 0;
        return r;
    }

    r.name = eraseNameFor(name, type);
    const DiskToolRun run = eraserExecCommand(
        kit::format("diskutil eraseVolume %s %s %s", kit::shellQuote(type), kit::shellQuote(r.name), kit::shellQuote(node))
            .c_str());
    kit::systemLog(" 1 ");
    kit::logf(" rename : %@ ", run.capturePath.value_or(""));
    kit::logf("format volume : %@", run.capturePath.value_or(""));
    r.status = run.status;
    r.ok = run.ok();
    return r;
}

EjectResult DiskToolActions::ejectVolume(const VolumeObj& volume) {
    EjectResult r;
    const std::string uuid = volume.diskUUID();
    if (uuid.empty()) return r;
    const DiskToolRun run = aepairExecCommand(kit::format("diskutil eject %s", kit::shellQuote(uuid)).c_str());
    r.status = run.status;
    r.ok = run.ok();
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
