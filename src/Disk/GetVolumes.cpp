#include "Disk/GetVolumes.h"

#include <algorithm>
#include <cctype>

#include "Disk/OVPublicUtilities.h"
#include "Disk/OVTask.h"
#include "Disk/VolumeRecheck.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace {

const char* const kCaptureFile = "PelorinTemp.plist";

std::string str(const kit::Value& v, const std::string& key) { return v.getString(key).value_or(""); }

// Tool output names the running system's paths as host paths; compare them
// with our own literals taken through the system root, ignoring a final slash.
bool samePath(const std::string& reported, const std::string& literal) {
    auto trim = [](std::string p) {
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        return p;
    };
    return trim(reported) == trim(kit::sysPath(literal));
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// A one-line rendering of a property list for the system log.
std::string describe(const kit::Value& v) {
    if (auto s = v.asString(); s && v.isString()) return *s;
    if (v.isBool()) return *v.asBool() ? "1" : "0";
    if (v.isInteger()) return std::to_string(*v.asInt());
    if (v.isReal()) return kit::format("%g", *v.asReal());
    if (const auto* d = v.asDict()) {
        std::string out = "{";
        for (const auto& [key, value] : *d) out += key + " = " + describe(value) + "; ";
        return out + "}";
    }
    if (const auto* a = v.asArray()) {
        std::string out = "(";
        for (size_t i = 0; i < a->size(); ++i) out += (i ? ", " : "") + describe((*a)[i]);
        return out + ")";
    }
    return "<null>";
}

std::string describe(const std::vector<std::shared_ptr<VolumeObj>>& list) {
    std::string out = "(";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? ", " : "") + list[i]->volumePath() + " " + list[i]->volumeName();
    return out + ")";
}

std::shared_ptr<VolumeObj> mountedRecord(const kit::Value& info) {
    auto vol = std::make_shared<VolumeObj>();
    const int64_t total = info.getInt("TotalSize").value_or(0);
    const int64_t free = recordFreeBytes(info);
    vol->setVolumeName(str(info, "VolumeName"));
    vol->setVolumeTotalSize(OVPublicUtilities::longlongConvertVolSpace(total));
    vol->setBCanEject(info.getBool("Ejectable").value_or(false));
    vol->setVolumeFreeSize(OVPublicUtilities::longlongConvertVolSpace(free));
    vol->setVolumePath(str(info, "MountPoint"));
    vol->setVolumeMountPoint(str(info, "MountPoint"));
    vol->setVolumeType(str(info, "FilesystemName"));
    vol->setDiskType(str(info, "FilesystemName"));
    vol->setDiskId(str(info, "DeviceIdentifier"));
    vol->setDiskUUID(str(info, "DiskUUID"));
    vol->setVolRootDir(str(info, "DeviceNode"));
    vol->setVolumeTotalSizeNum(total);
    vol->setVolumeFreeSizeNum(free);
    return vol;
}

// "AllDisks" is a flat list in the tool's order: each whole disk followed by its
// partitions. A partition is named after its disk plus "s<n>", so disk10 is not
// taken for a partition of disk1.
kit::Value::Array disksFromFlatList(const kit::Value::Array& flat) {
    kit::Value::Array disks;
    std::string current;
    kit::Value::Array partitions;
    auto close = [&] {
        if (current.empty()) return;
        kit::Value disk = kit::Value::dict();
        disk.set("DeviceIdentifier", current);
        disk.set("Partitions", partitions);
        disks.push_back(disk);
        partitions.clear();
    };
    for (const kit::Value& entry : flat) {
        auto id = entry.asString();
        if (!id || !entry.isString()) continue;
        if (!current.empty() && id->rfind(current + "s", 0) == 0) {
            kit::Value part = kit::Value::dict();
            part.set("DeviceIdentifier", *id);
            partitions.push_back(part);
        } else {
            close();
            current = *id;
        }
    }
    close();
    return disks;
}

// Set on a scan's thread when a disk-tool run had to be ended at its time-out.
// A tool that hangs once will hang for the next item too, so the scan gives up
// rather than wait a time-out per item.
thread_local bool tToolHung = false;

// Clears a busy flag on every path by which a scan ends.
struct ClearOnExit {
    std::atomic<bool>& flag;
    ~ClearOnExit() { flag.store(false); }
};

}  // namespace

// ---- the provider ----

GetVolumes& GetVolumes::Instance() {
    // Kept for the whole process (never destroyed at exit, when the centres it
    // observes may already be gone).
    static std::shared_ptr<GetVolumes>* shared = [] {
        auto* p = new std::shared_ptr<GetVolumes>(create());
        (*p)->getDiskCallBack();
        return p;
    }();
    return **shared;
}

std::shared_ptr<GetVolumes> GetVolumes::create() { return std::shared_ptr<GetVolumes>(new GetVolumes()); }

GetVolumes::GetVolumes() = default;

GetVolumes::~GetVolumes() {
    for (auto token : tokens_) kit::NotificationCenter::defaultCenter().removeObserver(token);
}

void GetVolumes::getDiskCallBack() {
    if (watchMu_) return;
    watchMu_ = std::make_unique<WatchMountUnmount>();
    std::weak_ptr<GetVolumes> weak = weak_from_this();
    auto rescan = [weak](const kit::Notification&) {
        if (auto self = weak.lock()) self->getDiskAndVolumes();
    };
    auto& center = kit::NotificationCenter::defaultCenter();
    tokens_.push_back(center.addObserver(MCVolumeMountNotification, nullptr, rescan));
    tokens_.push_back(center.addObserver(MCVolumeUnmountNotification, nullptr, rescan));
}

std::shared_ptr<VolumeList> GetVolumes::getVolumes() {
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        if (!allVolumeArr_) allVolumeArr_ = std::make_shared<VolumeList>();
        list = allVolumeArr_;
    }
    if (list->empty()) getDiskAndVolumes();
    return list;
}

std::shared_ptr<VolumeList> GetVolumes::getExVolumes() {
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        if (!allExVolumeArr_) allExVolumeArr_ = std::make_shared<VolumeList>();
        list = allExVolumeArr_;
    }
    if (list->empty()) OVGetUSBThreadImp();
    return list;
}

void GetVolumes::getDiskAndVolumes() {
    // Test and set in one step: two requests at once start one scan.
    if (getVoumesBusy_.exchange(true)) return;
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        if (!allVolumeArr_) allVolumeArr_ = std::make_shared<VolumeList>();
        list = allVolumeArr_;
    }
    list->removeAllObjects();
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(), [self] {
        bool ok;
        {
            // The flag is down before the end is announced, so an observer
            // may ask for a rescan at once.
            ClearOnExit done{self->getVoumesBusy_};
            ok = self->scanVolumes();
        }
        self->postScanEnd("Volumes", !ok);
    });
}

void GetVolumes::postScanEnd(const char* listName, bool failed) {
    auto self = shared_from_this();
    const std::string name = listName;
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, name, failed] {
        kit::Value info = kit::Value::dict();
        info.set(GetVolumesScanListKey, name);
        info.set(GetVolumesScanFailedKey, failed);
        kit::NotificationCenter::defaultCenter().post(GetVolumesScanDidEndNotification, self.get(), info);
    });
}

void GetVolumes::changVoluemValue(const std::shared_ptr<VolumeObj>& volume) {
    if (!volume) return;
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        list = allVolumeArr_;
    }
    if (!list) return;
    for (const auto& entry : list->snapshot()) {
        if (entry != volume) continue;
        entry->setVolumeMountPoint(volume->volumeMountPoint());
        entry->setVolumeName(volume->volumeName());
    }
}

bool GetVolumes::scanVolumes() {
    tToolHung = false;
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        list = allVolumeArr_;
    }

    const std::vector<std::string> raidSets = GetRaidDisks();
    if (tToolHung) return false;

    auto diskList = DoCommand("diskutil list -plist");
    if (!diskList) return false;
    kit::Value::Array disks;
    if (const auto* all = diskList->getArray("AllDisksAndPartitions")) disks = *all;
    else if (const auto* flat = diskList->getArray("AllDisks")) disks = disksFromFlatList(*flat);
    else return false;

    static const char* const kSkippedContent[] = {"EFI", "Apple_Boot", "Apple_RAID", "Apple_APFS_ISC",
                                                   "Apple_APFS_Recovery"};
    for (const kit::Value& disk : disks) {
        auto diskId = disk.getString("DeviceIdentifier");
        if (!diskId) continue;
        const std::string diskContent = str(disk, "Content");
        const kit::Value::Array* partitions = disk.getArray("Partitions");
        const auto raidCount = std::count(raidSets.begin(), raidSets.end(), *diskId);

        if (!partitions && (diskContent == "Apple_HFS" || diskContent == "Apple_HFSX") && raidCount == 0) continue;

        const kit::Value::Array* apfsVolumes = disk.getArray("APFSVolumes");
        const bool apfsMode = apfsVolumes && (!partitions || partitions->empty());
        static const kit::Value::Array kNone;
        const kit::Value::Array& items = apfsMode ? *apfsVolumes : (partitions ? *partitions : kNone);

        bool containerLooked = false;
        std::string recoveryId, booterId;
        std::map<std::string, std::string> coreStorage;  // disk -> partition; kept for diagnosis

        for (const kit::Value& item : items) {
            auto itemId = item.getString("DeviceIdentifier");
            if (!itemId) continue;
            const std::string content = str(item, "Content");
            const std::string mountPoint = str(item, "MountPoint");
            const auto volumeName = item.getString("VolumeName");

            if (item.getBool("OSInternal").value_or(false) && !samePath(mountPoint, "/System/Volumes/Data")) continue;
            bool snapshotAtRoot = false;
            if (const auto* snapshots = item.getArray("MountedSnapshots"))
                for (const kit::Value& snap : *snapshots)
                    if (auto smp = snap.getString("SnapshotMountPoint"); smp && samePath(*smp, "/")) snapshotAtRoot = true;
            if (snapshotAtRoot) continue;
            if (std::find(std::begin(kSkippedContent), std::end(kSkippedContent), content) != std::end(kSkippedContent))
                continue;

            if (apfsMode) {
                const std::string name = volumeName.value_or("");
                const bool special = name == "Preboot" || name == "Recovery" || name == "VM";
                if (name.empty() && item.getInt("Size").value_or(0) == 0) continue;
                if (special && mountPoint.empty()) continue;
                if (special && !containerLooked) {
                    containerLooked = true;
                    if (auto info = DoCommand("diskutil info -plist " + kit::shellQuote(*itemId))) {
                        recoveryId = str(*info, "RecoveryDeviceIdentifier");
                        booterId = str(*info, "BooterDeviceIdentifier");
                    }
                    if (tToolHung) return false;
                }
                if (name == "Recovery" && *itemId == recoveryId) continue;
                if (name == "Preboot" && *itemId == booterId) continue;
                if (!mountPoint.empty() && samePath(mountPoint, "/private/var/vm")) continue;
                if (name == "VM") continue;
            }

            if (content == "Apple_CoreStorage") {
                coreStorage[*diskId] = *itemId;
                continue;
            }

            auto info = OVGetDiskInfo(itemId->c_str());
            if (tToolHung) return false;
            if (!info) continue;
            auto infoMount = info->getString("MountPoint");
            if (!infoMount || infoMount->empty() || samePath(*infoMount, "/")) continue;
            list->addObject(mountedRecord(*info));
        }
    }
    return true;
}

// ---- the external disks ----

void GetVolumes::OVGetUSBThreadImp() {
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        if (!allExVolumeArr_) allExVolumeArr_ = std::make_shared<VolumeList>();
        list = allExVolumeArr_;
    }
    list->removeAllObjects();
    exScans_.fetch_add(1);
    auto self = shared_from_this();
    kit::dispatch::async(kit::dispatch::globalQueue(), [self] {
        const bool ok = self->scanExVolumes();
        self->exScans_.fetch_sub(1);
        self->postScanEnd("ExVolumes", !ok);
    });
}

bool GetVolumes::scanExVolumes() {
    tToolHung = false;
    const OVCapture capture = OVCaptureLimited("diskutil list -plist", kCaptureFile);
    if (!capture.ran) {
        kit::systemLog("diskutil list error");
        return false;
    }
    if (capture.timedOut) return false;
    auto diskList = capture.value();
    if (!diskList) return false;
    const auto* wholeDisks = diskList->getArray("WholeDisks");
    if (!wholeDisks) return false;
    for (const kit::Value& entry : *wholeDisks) {
        if (!entry.isString()) continue;
        OVAddDiskToUSBObj(kit::lastPathComponent(*entry.asString()), &*diskList);
        if (tToolHung) return false;
    }
    return true;
}

std::optional<std::vector<VolumeObj::Slice>> GetVolumes::diskSlicesIn(const kit::Value& diskList,
                                                                       const std::string& identifier) {
    const auto* disks = diskList.getArray("AllDisksAndPartitions");
    if (!disks) return std::nullopt;
    auto upper = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
        return s;
    };
    for (const auto& disk : *disks) {
        if (str(disk, "DeviceIdentifier") != identifier) continue;
        std::vector<VolumeObj::Slice> slices;
        auto add = [&](const kit::Value& item) {
            slices.push_back({str(item, "DeviceIdentifier"), upper(str(item, "DiskUUID")),
                              upper(str(item, "VolumeUUID")), str(item, "VolumeName"), item.getInt("Size").value_or(0)});
        };
        // A disk without a partition map may hold a file system itself.
        if (disk.get("VolumeUUID") || disk.get("VolumeName")) add(disk);
        if (const auto* partitions = disk.getArray("Partitions"))
            for (const auto& p : *partitions) add(p);
        return slices;
    }
    return std::nullopt;
}

void GetVolumes::OVAddDiskToUSBObj(const std::string& deviceIdentifier, const kit::Value* diskList) {
    std::shared_ptr<VolumeList> list;
    {
        std::lock_guard<std::mutex> lock(listsMutex_);
        if (!allExVolumeArr_) allExVolumeArr_ = std::make_shared<VolumeList>();
        list = allExVolumeArr_;
    }
    for (const auto& vol : list->snapshot())
        if (vol->volumeName() == deviceIdentifier || vol->volumePath() == deviceIdentifier) return;

    auto info = OVGetDiskInfo(deviceIdentifier.c_str());
    if (!info) return;

    const std::string bus = str(*info, "BusProtocol");
    const bool ejectable = info->getBool("Ejectable").value_or(false);
    if (bus != "USB") {
        if (bus == "PCI-Express" && !ejectable) {
            OVPublicUtilities::writeFileWithTab(bus);
            OVPublicUtilities::writeFileWithTab("\n");
            OVPublicUtilities::writeFileWithTab(ejectable ? "YES" : "NO");
            OVPublicUtilities::writeFileWithTab("\n Begin 3 \n");
            return;
        }
        if (bus == "Apple Fabric") return;
    }
    if (info->getBool("RAIDMaster").value_or(false)) {
        OVPublicUtilities::writeFileWithTab("YES");
        OVPublicUtilities::writeFileWithTab("\n Begin 4 \n");
        return;
    }
    if (info->getBool("CoreStorageEncrypted").value_or(false)) {
        OVPublicUtilities::writeFileWithTab("YES");
        OVPublicUtilities::writeFileWithTab("\n Begin 5 \n");
        return;
    }
    const std::string content = str(*info, "Content");
    if (content == "Apple_HFSX") {
        OVPublicUtilities::writeFileWithTab(content);
        OVPublicUtilities::writeFileWithTab("\n Begin 6 \n");
        return;
    }
    const std::string virtualOrPhysical = str(*info, "VirtualOrPhysical");
    if (virtualOrPhysical == "Virtual") {
        OVPublicUtilities::writeFileWithTab(virtualOrPhysical);
        OVPublicUtilities::writeFileWithTab("\n Begin 7 \n");
        return;
    }

    kit::logf("EX-----: %@", describe(*info));
    auto vol = std::make_shared<VolumeObj>();
    const int64_t total = info->getInt("TotalSize").value_or(0);
    const int64_t free = recordFreeBytes(*info);
    vol->setVolumeName(info->getString("IORegistryEntryName").value_or("Unknown"));
    vol->setVolumeTotalSize(OVPublicUtilities::longlongConvertVolSpace(total));
    vol->setBCanEject(true);
    vol->setVolumeFreeSize(OVPublicUtilities::longlongConvertVolSpace(free));
    vol->setVolumePath(str(*info, "DeviceIdentifier"));
    vol->setVolumeType(" ");
    vol->setVolumeMountPoint(str(*info, "MountPoint"));
    vol->setDiskUUID(str(*info, "DiskUUID"));
    vol->setVolumeTotalSizeNum(total);
    vol->setVolumeFreeSizeNum(free);
    if (diskList) vol->setDiskSlices(diskSlicesIn(*diskList, vol->volumePath()));
    // Two scans may fill the list at once (a second request found it empty):
    // a disk is listed once.
    const std::string path = vol->volumePath();
    if (list->addObjectUnless(vol, [&path](const VolumeObj& other) { return other.volumePath() == path; }))
        kit::logf("Add %@", describe(list->snapshot()));
}

// ---- disk tool queries ----

std::optional<kit::Value> GetVolumes::OVGetDiskInfo(const char* deviceIdentifier) {
    if (!deviceIdentifier) return std::nullopt;
    const OVCapture capture =
        OVCaptureLimited("diskutil info -plist " + kit::shellQuote(std::string("/dev/") + deviceIdentifier), kCaptureFile);
    // Only a capture that could not run is worth a log line; output that
    // doesn't parse (a disk that went away) is left out quietly.
    if (!capture.ran) {
        kit::logf("diskutil info %s error", std::string(deviceIdentifier));
        return std::nullopt;
    }
    if (capture.timedOut) {
        tToolHung = true;
        return std::nullopt;
    }
    auto info = capture.value();
    if (!info || !info->isDict()) return std::nullopt;
    return info;
}

std::optional<kit::Value> GetVolumes::getDisjInfo(const char* devicePath) {
    if (!devicePath) return std::nullopt;
    auto info = OVCaptureValue("diskutil info -plist " + kit::shellQuote(devicePath), kCaptureFile);
    if (!info || !info->isDict()) return std::nullopt;
    return info;
}

std::vector<std::string> GetVolumes::GetRaidDisks() {
    std::vector<std::string> names;
    auto raid = DoCommand("diskutil appleRAID list -plist");
    if (!raid) return names;
    if (const auto* sets = raid->getArray("AppleRAIDSets"))
        for (const kit::Value& set : *sets)
            if (auto name = set.getString("BSD Name")) names.push_back(*name);
    return names;
}

void GetVolumes::getVolumeAllObjWithVolumeName(const std::string& volumeName) {
    auto list = getVolumes();
    for (const auto& vol : list->snapshot())
        if (vol->volumeName() == volumeName) return;
    if (isHTFSVolumes(volumeName)) return;
    auto info = getDisjInfo(volumeName.c_str());
    if (!info) return;
    auto mountPoint = info->getString("MountPoint");
    if (!mountPoint || mountPoint->empty()) return;
    list->addObject(mountedRecord(*info));
}

bool GetVolumes::isHTFSVolumes(const std::string& deviceIdentifier) {
    auto size = kit::Workspace::shared().fileSystemSize(kit::sysPath("/dev/") + deviceIdentifier);
    if (!size) {
        kit::logf("isHTFSVolumes %@: no file-system information", deviceIdentifier);
        return true;
    }
    kit::logf("isHTFSVolumes %@: size %lld", deviceIdentifier, static_cast<long long>(size->total));
    return size->total == 0;
}

std::map<std::string, std::string> GetVolumes::GetAllVolumesFromDisk(const std::string& deviceIdentifier) {
    std::map<std::string, std::string> out;
    auto plist = DoCommand("diskutil list -plist " + kit::shellQuote(deviceIdentifier));
    if (!plist) return out;
    const auto* disks = plist->getArray("AllDisksAndPartitions");
    if (!disks) return out;
    for (const kit::Value& disk : *disks) {
        const auto* partitions = disk.getArray("Partitions");
        if (!partitions) continue;
        for (const kit::Value& part : *partitions) {
            auto id = part.getString("DeviceIdentifier");
            if (!id) continue;
            if (auto uuid = part.getString("DiskUUID")) out[lower(*id)] = lower(*uuid);
            else if (auto vuuid = part.getString("VolumeUUID")) out[lower(*id)] = lower(*vuuid);
            else out[lower(*id)] = kit::format("%lld", static_cast<long long>(part.getInt("Size").value_or(0)));
        }
    }
    return out;
}

// ---- captures ----

std::optional<std::string> execGetzieCommand(const char* command) {
    if (!command) return std::nullopt;
    std::lock_guard<std::mutex> lock(OVCaptureLock(kCaptureFile));
    return OVRunCapture(command, kCaptureFile);
}

std::optional<kit::Value> DoCommand(const std::string& command, double timeoutSeconds) {
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = timeoutSeconds;
    limits.captureOutput = true;
    const kit::ShellRunResult run = kit::runShellLimited(command, limits);
    if (run.timedOut) {
        kit::logf("timed out: %@", command);
        tToolHung = true;
    }
    if (!run.finished()) return std::nullopt;
    return kit::parsePlist(run.output);
}
