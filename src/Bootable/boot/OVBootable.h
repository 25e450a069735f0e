#pragma once
// The clone engine: erases an external disk with the disk tool, runs the
// volume-restore tool from the running system onto the fresh volume, answers
// its prompt and turns its output into steps, tags and labels for the delegate.
// One process-wide instance; it lives until the process ends.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Bootable/boot/OVBootableDelegate.h"
#include "Bootable/boot/OVCloneProgress.h"
#include "Bootable/boot/OVRestoreOutputParser.h"
#include "Disk/OVUSBControl.h"
#include "Disk/VolumeList.h"
#include "Disk/VolumeObj.h"
#include "kit/Plist.h"

namespace kit {
class Process;
}

class OVBootable : public OVUSBControlDelegate {
public:
    static OVBootable& OVShareInstance();

    // Opens the clone text log and becomes the USB control's delegate.
    void OVInit();
    void OVUninit();

    // Not retained. The delegate must be cleared (OVSetDelegate(nullptr)) on the
    // main thread before it is destroyed; every send happens on the main thread
    // and reads the current delegate at that moment.
    void OVSetDelegate(OVBootableDelegate* delegate);
    OVBootableDelegate* delegateObj() const { return delegateObj_.load(); }
    void setDelegateObj(OVBootableDelegate* delegate) { OVSetDelegate(delegate); }

    // Starts a clone of the running system onto the target whole disk (its
    // volumePath is the device identifier). Call on the main thread. 0 when the
    // clone runs, -2 without a target, -1 while another clone is under way.
    int OVStart(const std::shared_ptr<VolumeObj>& target);
    // Stops the clone: the disk tool or the restore tool is terminated, and a
    // restore that has not started yet never starts. Returns 0.
    int OVStop();
    bool OVUserIsCancel() override { return bUserCancel_.load(); }
    // Whether a clone is under way (from OVStart until its last report is queued).
    bool isRunning() const { return running_.load(); }

    std::vector<USBDiskRecord> OVGetUSBList();
    void OVEnumUSBFinishImp() override;

    // Queues a progress record to the delegate on the main queue.
    void OVUpdateProgress(int progress, int iErrCode, int iStepCode);
    void OVUpdateProgressImp(int progress, int iErrCode, int iStepCode);
    // Queues a copy-phase tag to the delegate on the main queue.
    void changeProTimeWithTag(int tag, int withStep);

    // Main queue: waits 2 s, then launches the restore from "/" onto the path.
    void beginToBootable(const std::string& targetMountPath);
    // Main thread: launches the restore tool. 0 when launched (or when a stop
    // came first and nothing was launched), -1 for a missing path, -7 when the
    // tool can't be started.
    int OVCreateBootableSystem(const std::optional<std::string>& source,
                               const std::optional<std::string>& strTargetVolume);

    // The restore tool's observers (main thread): one chunk of its standard
    // output (empty at the end of the stream), and its end.
    void OVReceivedData(const std::string& chunk);
    void OVTerminated(kit::Process& task);

    // 8 gives 100; any other step s gives min(100, trunc(float(s * 0.125) * 100)).
    static int OVGetPrecentWithStepCode(int stepCode);
    // The file system the erase gives the clone volume on a system version.
    static std::string OVFileSystemForVersion(int systemVersion);

    // The mounted-volume list taken by the last remount fallback.
    std::shared_ptr<VolumeList> allVoumesArr() const;

    // Whether a fresh record of the disk tool (`record`, "diskutil info -plist"
    // of the chosen identifier) still describes the disk the user chose: the
    // same identifier, registry name and total size, and the same disk UUID
    // where the chosen record has one. An identifier is handed on to the next
    // disk that appears, so it alone names nothing. *why says what differs.
    static bool OVIsSameDisk(const VolumeObj& chosen, const std::optional<kit::Value>& record,
                             std::string* why = nullptr);
    // Whether the disk tool's list of that identifier now (`listing`, "diskutil
    // list -plist") shows the very slices recorded for the chosen disk: the same
    // partitions with their UUIDs, names and sizes. Two sticks of one model and
    // size differ only there. A disk without partitions is known by the fields
    // above alone; a record that was never listed has no slices to compare.
    static bool OVHasSameSlices(const VolumeObj& chosen, const std::optional<kit::Value>& listing,
                                std::string* why = nullptr);

private:
    OVBootable() = default;
    void cloneBlock(std::shared_ptr<VolumeObj> target);
    void remountTarget(const VolumeObj& target);
    // Reads the target's record afresh; false (logged) when it is gone or changed.
    bool targetIsStillChosen(const VolumeObj& target);
    void endRun() { running_.store(false); }

    std::shared_ptr<kit::Process> taskCreate_;   // main thread only
    bool handleWriteOpen_ = false;               // main thread only: the tool's input is still open
    std::atomic<bool> bUserCancel_{false};
    std::atomic<bool> running_{false};
    std::atomic<OVBootableDelegate*> delegateObj_{nullptr};
    OVRestoreOutputParser parser_;               // main thread only

    mutable std::mutex volumesMutex_;
    std::shared_ptr<VolumeList> allVoumesArr_;
};

// Shell captures into "eraserDiskTemp.plist" and "AQuilbyTemp.plist" of the
// temporary folder: the file's path whether or not the command worked; nullopt
// for a null command or a line too long to run whole.
std::optional<std::string> eraserDiskCommand(const char* command);
std::optional<std::string> AexecCommand(const char* command);
