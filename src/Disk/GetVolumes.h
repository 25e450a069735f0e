#pragma once
// The process-wide volume provider: the mounted-volume list and the external
// whole-disk list, filled from the disk tool's property lists on a worker queue.
// A request hands back the shared list object at once; when it is empty a scan
// starts and fills that same object. Mounts and unmounts rescan the mounted list.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Disk/VolumeList.h"
#include "Disk/OVTask.h"
#include "Disk/VolumeObj.h"
#include "Disk/WatchMountUnmount.h"
#include "kit/Notification.h"
#include "kit/Plist.h"

// Posted on the main queue, on the default notification centre, each time a scan
// of either list has ended: filled, empty or failed. The sender is the provider;
// the user information holds "List" ("Volumes" for the mounted-volume list,
// "ExVolumes" for the external-disk list) and "Failed" (true when the disk tool
// could not be run or its disk list was unusable). A screen opened on an empty
// list waits for it rather than polling.
inline constexpr const char* GetVolumesScanDidEndNotification = "GetVolumesScanDidEndNotification";
inline constexpr const char* GetVolumesScanListKey = "List";
inline constexpr const char* GetVolumesScanFailedKey = "Failed";

class GetVolumes : public std::enable_shared_from_this<GetVolumes> {
public:
    // The shared provider, created on first use with its mount watching.
    static GetVolumes& Instance();
    // A provider of its own (the shared one is made this way); it watches mounts
    // only after getDiskCallBack.
    static std::shared_ptr<GetVolumes> create();
    ~GetVolumes();

    void getDiskCallBack();

    std::shared_ptr<VolumeList> getVolumes();
    std::shared_ptr<VolumeList> getExVolumes();
    // Starts a scan of the mounted volumes unless one is running.
    void getDiskAndVolumes();
    // For every entry that is this very object, copies its mount point and name.
    void changVoluemValue(const std::shared_ptr<VolumeObj>& volume);

    // The Disk Manager's flag (nothing reads it here).
    bool getVoumes() const { return getVoumesProperty_.load(); }
    void setGetVoumes(bool value) { getVoumesProperty_.store(value); }
    // Whether a scan of the mounted volumes is running.
    bool isScanningVolumes() const { return getVoumesBusy_.load(); }
    // Whether an external-disk scan is running.
    bool isScanningExVolumes() const { return exScans_.load() > 0; }

    // "diskutil info -plist /dev/<id>", captured; nullopt for null or unparsable.
    std::optional<kit::Value> OVGetDiskInfo(const char* deviceIdentifier);
    std::optional<kit::Value> getDisjInfo(const char* devicePath);
    std::vector<std::string> GetRaidDisks();

    // The external scan and its per-disk step; diskList, the scan's
    // "diskutil list -plist" answer, gives the record its slices.
    void OVGetUSBThreadImp();
    void OVAddDiskToUSBObj(const std::string& deviceIdentifier, const kit::Value* diskList = nullptr);
    // The slices of the whole disk `identifier` in a "diskutil list -plist"
    // answer; nullopt when the answer has no entry for that disk.
    static std::optional<std::vector<VolumeObj::Slice>> diskSlicesIn(const kit::Value& diskList,
                                                                     const std::string& identifier);

    void doGetAllVolume_() {}
    void getVolumeAllObjWithVolumeName(const std::string& volumeName);
    bool isHTFSVolumes(const std::string& deviceIdentifier);
    std::map<std::string, std::string> GetAllVolumesFromDisk(const std::string& deviceIdentifier);

private:
    GetVolumes();
    // The scans, on the worker queue: false when the disk tool could not be
    // run or gave no usable disk list.
    bool scanVolumes();                 // the internal scan
    bool scanExVolumes();               // the external scan
    void postScanEnd(const char* list, bool failed);

    std::unique_ptr<WatchMountUnmount> watchMu_;
    std::vector<kit::NotificationCenter::Token> tokens_;
    std::mutex listsMutex_;
    std::shared_ptr<VolumeList> allVolumeArr_;
    std::shared_ptr<VolumeList> allExVolumeArr_;
    std::atomic<bool> getVoumesBusy_{false};
    std::atomic<bool> getVoumesProperty_{false};
    std::atomic<int> exScans_{0};
};

// Capture into "PelorinTemp.plist" of the temporary folder: the file's path, or
// nullopt for a null command or a line too long to run whole.
std::optional<std::string> execGetzieCommand(const char* command);
// Runs "/bin/sh -c command" and parses its standard output; nullopt on failure,
// and when the command had to be ended at the time-out (scaled).
std::optional<kit::Value> DoCommand(const std::string& command, double timeoutSeconds = OVCaptureTimeout);
