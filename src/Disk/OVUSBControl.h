#pragma once
// Chooses the name of the clone volume; also carries a USB-disk list, its scan
// and a partitioning routine, which nothing starts.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"

// Told when the USB scan has ended, and asked whether the user cancelled.
class OVUSBControlDelegate {
public:
    virtual ~OVUSBControlDelegate() = default;
    virtual void OVEnumUSBFinishImp() {}
    virtual bool OVUserIsCancel() { return false; }
};

// A USB whole disk: {"OVUSBBsdName", "OVUSBTotalSize", "OVUSBMediaName"}.
using USBDiskRecord = kit::Value;

class OVUSBControl {
public:
    static OVUSBControl& OVShareInstance();
    OVUSBControl();

    // Not retained: the delegate outlives its use here.
    void OVSetDelegateObj(OVUSBControlDelegate* delegate);
    // "PelorinSystem", or the base name with the first number whose folder under
    // "/Volumes" is free.
    void HlbCreateVolumeName();
    std::string OVGetOrvaneVolumeName() const;
    std::string OVGetOrvaneVolumePath() const;
    std::vector<USBDiskRecord> OVGetUSBList() const;

    void OVGetUSBThreadImp();
    void OVAddDiskToUSBObj(const char* bsdName);
    void OVCreateDiskCallBack();
    void OVDiskAppearImp(const char* bsdName);
    void OVDiskDisappearImp(const char* bsdName);
    std::optional<kit::Value> OVGetDiskInfo(const char* bsdName);
    bool OVCheckUSBObj(const USBDiskRecord& record) const;
    kit::Value OVGetErrObjs() const;
    void OVCreateOrvanePartition(const USBDiskRecord& record);

private:
    void setErr(int code);
    mutable std::mutex mutex_;
    std::vector<USBDiskRecord> usbAllObjs_;
    std::string volumeName_;
    kit::Value dictErrObjs_ = kit::Value::dict();
    OVUSBControlDelegate* delegateObj_ = nullptr;
};
