#include "Disk/OVUSBControl.h"

#include <algorithm>

#include "Disk/OVTask.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace {
const char* const kBaseName = "PelorinSystem";
const uint64_t kPartitionBytes = 2500000000ULL;

std::string describe(const std::vector<USBDiskRecord>& list) {
    std::string out = "(";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? ", " : "") + list[i].getString("OVUSBBsdName").value_or("");
    return out + ")";
}
}  // namespace

OVUSBControl& OVUSBControl::OVShareInstance() {
    static OVUSBControl* instance = new OVUSBControl();  // lives for the whole process
    return *instance;
}

OVUSBControl::OVUSBControl() {
    usbAllObjs_.reserve(4);
    volumeName_.reserve(8);
}

void OVUSBControl::OVSetDelegateObj(OVUSBControlDelegate* delegate) {
    std::lock_guard<std::mutex> lock(mutex_);
    delegateObj_ = delegate;
}

void OVUSBControl::HlbCreateVolumeName() {
    const std::string volumes = kit::sysPath("/Volumes");
    std::string name = kBaseName;
    if (OVCheckFolderExist(kit::pathJoin(volumes, name))) {
        for (int n = 1;; ++n) {
            name = kit::format("%@%d", std::string(kBaseName), n);
            if (!OVCheckFolderExist(kit::pathJoin(volumes, name))) break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    volumeName_ = name;
}

std::string OVUSBControl::OVGetOrvaneVolumeName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return volumeName_;
}

std::string OVUSBControl::OVGetOrvaneVolumePath() const {
    return kit::pathJoin(kit::sysPath("/Volumes"), OVGetOrvaneVolumeName());
}

std::vector<USBDiskRecord> OVUSBControl::OVGetUSBList() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return usbAllObjs_;
}

void OVUSBControl::OVGetUSBThreadImp() {
    std::optional<kit::Value> diskList;
    {
        std::lock_guard<std::mutex> lock(OVCaptureLock("OVTemp.plist"));
        auto path = OVRunCapture("diskutil list -plist", "OVTemp.plist");
        if (!path) OVLog("diskutil list error");
        else diskList = kit::readPlistFile(*path);
    }
    if (diskList)
        if (const auto* wholeDisks = diskList->getArray("WholeDisks"))
            for (const kit::Value& entry : *wholeDisks)
                if (entry.isString()) OVAddDiskToUSBObj(kit::lastPathComponent(*entry.asString()).c_str());
    kit::dispatch::async(kit::dispatch::mainQueue(), [this] { OVCreateDiskCallBack(); });
}

void OVUSBControl::OVAddDiskToUSBObj(const char* bsdName) {
    if (!bsdName) return;
    const std::string name = bsdName;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& record : usbAllObjs_)
            if (record.getString("OVUSBBsdName") == name) return;
    }
    auto info = OVGetDiskInfo(bsdName);
    if (!info) return;
    if (!info->getBool("WholeDisk").value_or(false)) return;
    if (info->getString("BusProtocol").value_or("") != "USB") return;
    if (info->getBool("RAIDMaster").value_or(false)) return;
    if (info->getBool("CoreStorageEncrypted").value_or(false)) return;
    if (info->getString("Content").value_or("") == "Apple_HFSX") return;
    const uint64_t total = info->getUInt("TotalSize").value_or(0);
    if (total < kPartitionBytes) return;
    if (info->getString("VirtualOrPhysical").value_or("") == "Virtual") return;

    USBDiskRecord record = kit::Value::dict();
    record.set("OVUSBBsdName", name);
    record.set("OVUSBTotalSize", total);
    record.set("OVUSBMediaName", info->getString("MediaName").value_or("Unknown"));
    std::vector<USBDiskRecord> snapshot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& r : usbAllObjs_)
            if (r.getString("OVUSBBsdName") == name) return;
        usbAllObjs_.push_back(record);
        snapshot = usbAllObjs_;
    }
    kit::logf("Add %@", describe(snapshot));
}

void OVUSBControl::OVCreateDiskCallBack() {
    OVUSBControlDelegate* delegate;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate = delegateObj_;
    }
    if (delegate) delegate->OVEnumUSBFinishImp();
    // Disk arrival and departure callbacks have no source on this platform; the
    // list keeps what the scan found.
}

void OVUSBControl::OVDiskAppearImp(const char* bsdName) {
    if (!bsdName) return;
    std::string name = bsdName;
    kit::dispatch::async(kit::dispatch::globalQueue(), [this, name] { OVAddDiskToUSBObj(name.c_str()); });
}

void OVUSBControl::OVDiskDisappearImp(const char* bsdName) {
    if (!bsdName) return;
    const std::string name = bsdName;
    std::vector<USBDiskRecord> snapshot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        usbAllObjs_.erase(std::remove_if(usbAllObjs_.begin(), usbAllObjs_.end(),
                                         [&](const USBDiskRecord& r) { return r.getString("OVUSBBsdName") == name; }),
                          usbAllObjs_.end());
        snapshot = usbAllObjs_;
    }
    kit::logf("remove %@", describe(snapshot));
}

std::optional<kit::Value> OVUSBControl::OVGetDiskInfo(const char* bsdName) {
    if (!bsdName) return std::nullopt;
    std::lock_guard<std::mutex> lock(OVCaptureLock("OVTemp.plist"));
    auto path = OVRunCapture("diskutil info -plist " + kit::shellQuote(std::string("/dev/") + bsdName), "OVTemp.plist");
    if (!path) {
        OVLog("diskutil info %s error", bsdName);
        return std::nullopt;
    }
    auto info = kit::readPlistFile(*path);
    if (!info || !info->isDict()) return std::nullopt;
    return info;
}

bool OVUSBControl::OVCheckUSBObj(const USBDiskRecord& record) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(usbAllObjs_.begin(), usbAllObjs_.end(), record) != usbAllObjs_.end();
}

kit::Value OVUSBControl::OVGetErrObjs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dictErrObjs_;
}

void OVUSBControl::setErr(int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    dictErrObjs_.set("", code);
}

void OVUSBControl::OVCreateOrvanePartition(const USBDiskRecord& record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dictErrObjs_ = kit::Value::dict();
    }
    const std::string bsdName = record.getString("OVUSBBsdName").value_or("");
    const uint64_t diskSize = record.getUInt("OVUSBTotalSize").value_or(0);
    auto diskList = OVCaptureValue("diskutil list -plist", "OVTemp.plist");
    if (!diskList) return;
    const auto* disks = diskList->getArray("AllDisksAndPartitions");
    if (!disks) return;
    for (const kit::Value& disk : *disks) {
        if (disk.getString("DeviceIdentifier") != bsdName) continue;
        if (disk.getUInt("Size").value_or(0) != diskSize) continue;
        const auto* partitions = disk.getArray("Partitions");
        if (!partitions || partitions->empty()) {
            setErr(-12);
            return;
        }
        for (size_t i = partitions->size() - 1; i >= 1; --i) {
            OVUSBControlDelegate* delegate;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                delegate = delegateObj_;
            }
            if (delegate && delegate->OVUserIsCancel()) return;
            const kit::Value& part = (*partitions)[i];
            const std::string content = part.getString("Content").value_or("");
            if (content == "Apple_Boot" || content == "EFI") continue;
            if (content == "Apple_CoreStorage") {
                setErr(-10);
                return;
            }
            const std::string mountPoint = part.getString("MountPoint").value_or("");
            const uint64_t freeSpace = part.getUInt("FreeSpace").value_or(0);
            if (mountPoint.empty() && freeSpace == 0) {
                setErr(-11);
                return;
            }
            if (freeSpace < 2600000000ULL) {
                setErr(-12);
                return;
            }
            kit::runShell("killall mds_stores");
            const uint64_t total = part.getUInt("TotalSize").value_or(0);
            OVTask& task = OVTask::OVShareInstance();
            task.OVSetLaunchPath(kit::sysPath("/usr/sbin/diskutil"));
            task.OVSetArguments(std::vector<std::string>{
                "resizeVolume", part.getString("DeviceIdentifier").value_or(""),
                kit::format("%lluB", static_cast<unsigned long long>(total > kPartitionBytes ? total - kPartitionBytes : 0)),
                "JHFS+", OVGetOrvaneVolumeName(), kit::format("%lluB", static_cast<unsigned long long>(kPartitionBytes))});
            task.OVSetTimeoutCount(60.0);
            task.OVStartTask();
            kit::logf("partition folder %@: %d", OVGetOrvaneVolumePath(), OVCheckFolderExist(OVGetOrvaneVolumePath()) ? 1 : 0);
            return;
        }
        return;
    }
}
