#pragma once
// One mounted volume or one external whole disk. The volume provider creates and
// fills every record; the screens that hold a volume share the same object, so a
// later write by one holder (sizes refreshed by the drive picker, a rename by the
// Disk Manager) is seen by all. Fields are guarded, since the scan fills records
// on a worker queue while screens read them on the main thread.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class VolumeObj {
public:
    // One partition of an external whole disk (or the file system of a disk
    // without a partition map) as the disk tool lists it. Disks of one model and
    // size differ here: their partitions and volumes carry UUIDs of their own.
    struct Slice {
        std::string identifier, diskUUID, volumeUUID, volumeName;  // UUIDs in upper case
        int64_t size = 0;
        bool operator==(const Slice&) const = default;
    };

    VolumeObj() = default;
    VolumeObj(const VolumeObj&) = delete;
    VolumeObj& operator=(const VolumeObj&) = delete;

    // Mounted volume: the file-system name; external whole disk: " ".
    std::string volumeType() const { return get(volumeType_); }
    void setVolumeType(const std::string& v) { set(volumeType_, v); }
    // Mounted volume: its name; external whole disk: its registry name or "Unknown".
    std::string volumeName() const { return get(volumeName_); }
    void setVolumeName(const std::string& v) { set(volumeName_, v); }
    // Mounted volume: its mount point; external whole disk: its device identifier.
    std::string volumePath() const { return get(volumePath_); }
    void setVolumePath(const std::string& v) { set(volumePath_, v); }
    std::string volumeMountPoint() const { return get(volumeMountPoint_); }
    void setVolumeMountPoint(const std::string& v) { set(volumeMountPoint_, v); }
    std::string volumeTotalSize() const { return get(volumeTotalSize_); }
    void setVolumeTotalSize(const std::string& v) { set(volumeTotalSize_, v); }
    std::string volumeFreeSize() const { return get(volumeFreeSize_); }
    void setVolumeFreeSize(const std::string& v) { set(volumeFreeSize_, v); }
    int64_t volumeTotalSizeNum() const { return get(volumeTotalSizeNum_); }
    void setVolumeTotalSizeNum(int64_t v) { set(volumeTotalSizeNum_, v); }
    int64_t volumeFreeSizeNum() const { return get(volumeFreeSizeNum_); }
    void setVolumeFreeSizeNum(int64_t v) { set(volumeFreeSizeNum_, v); }
    std::string BusProtocol() const { return get(BusProtocol_); }
    void setBusProtocol(const std::string& v) { set(BusProtocol_, v); }
    std::string diskType() const { return get(diskType_); }
    void setDiskType(const std::string& v) { set(diskType_, v); }
    std::string diskId() const { return get(diskId_); }
    void setDiskId(const std::string& v) { set(diskId_, v); }
    std::string diskMediaName() const { return get(diskMediaName_); }
    void setDiskMediaName(const std::string& v) { set(diskMediaName_, v); }
    std::string diskSMARTStatus() const { return get(diskSMARTStatus_); }
    void setDiskSMARTStatus(const std::string& v) { set(diskSMARTStatus_, v); }
    std::string diskContent() const { return get(diskContent_); }
    void setDiskContent(const std::string& v) { set(diskContent_, v); }
    std::string diskEx() const { return get(diskEx_); }
    void setDiskEx(const std::string& v) { set(diskEx_, v); }
    std::string vORpStr() const { return get(vORpStr_); }
    void setVORpStr(const std::string& v) { set(vORpStr_, v); }
    std::string diskUUID() const { return get(diskUUID_); }
    void setDiskUUID(const std::string& v) { set(diskUUID_, v); }
    // Mounted volume: its device node (/dev/disk1s1).
    std::string volRootDir() const { return get(volRootDir_); }
    void setVolRootDir(const std::string& v) { set(volRootDir_, v); }
    int16_t volumeNum() const { return get(volumeNum_); }
    void setVolumeNum(int16_t v) { set(volumeNum_, v); }
    std::string parentWholeDisk() const { return get(parentWholeDisk_); }
    void setParentWholeDisk(const std::string& v) { set(parentWholeDisk_, v); }
    bool isInter() const { return get(isInter_); }
    void setIsInter(bool v) { set(isInter_, v); }
    bool isSolidState() const { return get(isSolidState_); }
    void setIsSolidState(bool v) { set(isSolidState_, v); }
    bool isWritable() const { return get(isWritable_); }
    void setIsWritable(bool v) { set(isWritable_, v); }
    bool isDisk() const { return get(isDisk_); }
    void setIsDisk(bool v) { set(isDisk_, v); }
    bool isOeners() const { return get(isOeners_); }
    void setIsOeners(bool v) { set(isOeners_, v); }
    int32_t chrCount() const { return get(chrCount_); }
    void setChrCount(int32_t v) { set(chrCount_, v); }
    bool bCanEject() const { return get(bCanEject_); }
    void setBCanEject(bool v) { set(bCanEject_, v); }
    // External whole disk: its slices as last listed; nullopt when never listed.
    std::optional<std::vector<Slice>> diskSlices() const { return get(diskSlices_); }
    void setDiskSlices(const std::optional<std::vector<Slice>>& v) { set(diskSlices_, v); }

private:
    template <class T>
    T get(const T& field) const { std::lock_guard<std::mutex> lock(mutex_); return field; }
    template <class T>
    void set(T& field, const T& value) { std::lock_guard<std::mutex> lock(mutex_); field = value; }

    mutable std::mutex mutex_;
    std::string volumeType_, volumeName_, volumePath_, volumeMountPoint_;
    std::string volumeTotalSize_, volumeFreeSize_;
    int64_t volumeTotalSizeNum_ = 0, volumeFreeSizeNum_ = 0;
    std::string BusProtocol_, diskType_, diskId_;
    std::string diskMediaName_, diskSMARTStatus_, diskContent_, diskEx_, vORpStr_;
    std::string diskUUID_, volRootDir_;
    int16_t volumeNum_ = 0;
    std::string parentWholeDisk_;
    bool isInter_ = false, isSolidState_ = false, isWritable_ = false, isDisk_ = false, isOeners_ = false;
    int32_t chrCount_ = 0;
    bool bCanEject_ = false;
    std::optional<std::vector<Slice>> diskSlices_;
};
