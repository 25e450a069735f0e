#pragma once
// The engine behind "Disk Image Create". Two routes:
//  - image: the disk-image tool makes an empty read-write image, the image is
//    mounted, the chosen items are copied into the mounted volume, and the volume
//    is ejected through the disk tool;
//  - zip: "/usr/bin/zip -r" over the chosen items, its output turned into progress.
//
// One engine serves one job at a time. Hold it in a std::shared_ptr: its
// background work keeps it alive until that work is over.
//
// Every report reaches the delegate on the main thread. A job ends in exactly one
// of: a report of 100 (done), makeDmgFailWithError (failed), or nothing after a
// stop (the screen shows its own stop pane).
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"

class FileNode;
namespace kit { class Process; }

class MakeDmgDelegate {
public:
    virtual ~MakeDmgDelegate() = default;
    // A status text and the progress (0..100); 100 means the job is done.
    virtual void copyFileToDmgWithFileName(const std::string& fileName, float Withprogress) {}
    // The image or archive could not be made. The error is always none.
    virtual void makeDmgFailWithError(const std::optional<std::string>& error) {}
    // The image is made and mounted; answer with doCopyFilesToDmgWithDmg.
    virtual void beginToCopyDmg() {}
};

// Runs `command` through the shell with its standard output in the capture file
// "ejectExecCommandTemp.plist" of the temporary folder, and returns that file's
// path whether or not the command worked; nullopt for no command. Callers that
// read the file afterwards hold ejectCaptureMutex() across the run and the read,
// so two captures never read each other's output.
std::optional<std::string> ejectExecCommand(const char* command);
std::recursive_mutex& ejectCaptureMutex();

// The mount point a disk-image tool "mount"/"attach" printed: the last
// tab-separated field of a line that names a folder (not a device node).
std::string mountPointFromAttachOutput(const std::string& output);

class MakeDmg : public std::enable_shared_from_this<MakeDmg> {
public:
    MakeDmg();
    ~MakeDmg();
    MakeDmg(const MakeDmg&) = delete;
    MakeDmg& operator=(const MakeDmg&) = delete;

    // The delegate is not owned. Set and clear it on the main thread; every report
    // is delivered there, so clearing it there means no report reaches it later.
    MakeDmgDelegate* makeDmgDelegate() const { return makeDmgDelegate_.load(); }
    void setMakeDmgDelegate(MakeDmgDelegate* delegate) { makeDmgDelegate_.store(delegate); }
    bool isCancelCopy() const { return isCancelCopy_.load(); }
    void setIsCancelCopy(bool cancel) { isCancelCopy_.store(cancel); }

    // Image route. Main thread; returns at once.
    void makeTmpDmgWithPath(const std::string& path, const std::string& withName, int64_t withSize);
    // Mounts the image this job made and then tells the delegate beginToCopyDmg.
    // Main thread; the tool runs off the main thread so the window stays live.
    void mountDmgWithDmgPath(const std::string& dmgPath);
    // Copies the given absolute paths into the volume this job mounted, on a
    // global queue; returns at once.
    void doCopyFilesToDmgWithDmg(const std::vector<std::string>& paths);
    // Stops whatever runs: the create step, the copy (after the item in hand) or
    // zip; the volume this job mounted is ejected once. Main thread.
    void stopMakeDmg();
    // The disk tool's information on a volume (name, mount point, identifier);
    // nullopt when there is none or it does not parse.
    std::optional<kit::Value> getDisjInfo(const char* volume);
    // Ejects the volume this job mounted (blocking); nothing when there is none.
    void unmountDmgWithFullPath();
    int resizeVolume(const std::string& dmgPath, const std::string& toSize);
    void doMakeUDRWdmg() {}

    // Zip route.
    void getAllFileCount(const std::vector<std::shared_ptr<FileNode>>& nodes);
    uint64_t getAllFileCountWithPath(const std::string& folder);
    // Main thread; returns at once.
    void doZipWithPath(const std::string& zipPath, const std::vector<std::shared_ptr<FileNode>>& withZipArr);
    // One chunk of zip's output (main thread).
    void dataReady(const std::string& data);
    // zip has exited (main thread).
    void zipTaskTerminated(kit::Process& process);

    // Read-only views for callers that show or check a job.
    std::string dmgNameStr() const;
    std::vector<std::string> allSelectFileArr() const;
    uint64_t allSelectFileCout() const { return allSelectFileCout_; }
    uint64_t proValue() const { return proValue_; }

private:
    enum class Phase { Idle, Creating, Mounting, Mounted, Copying, Done };

    void report(const std::string& text, float progress);      // main thread
    void reportFromWorker(const std::string& text, float progress);
    void failJob();                                             // main thread
    void failFromWorker();
    void createFinished(uint64_t job, int status, bool launched, const std::string& imagePath, bool preexisted);
    void mountFinished(uint64_t job, int status, const std::string& output, const std::string& imagePath);
    void copyLoop(uint64_t job, std::vector<std::string> paths, std::string mountPoint);
    void startEject(uint64_t job, bool removeImageAfter);
    void ejectVolume(const std::string& mountPoint);
    void removeStaging();

    std::atomic<MakeDmgDelegate*> makeDmgDelegate_{nullptr};
    std::atomic<bool> isCancelCopy_{false};

    mutable std::mutex mutex_;
    // Image route; guarded by mutex_.
    uint64_t job_ = 0;
    Phase phase_ = Phase::Idle;
    std::string dmgNameStr_;
    std::string stagingFolder_;
    std::string imagePath_;
    bool imagePreexisted_ = true;
    std::string mountPoint_;
    bool ejectStarted_ = false;
    std::shared_ptr<kit::Process> pCEraser_;

    // Zip route; main thread only.
    std::shared_ptr<kit::Process> task_;
    std::vector<std::string> allSelectFileArr_;
    uint64_t allSelectFileCout_ = 0;
    uint64_t proValue_ = 0;
    std::string zipPath_;
    bool zipPreexisted_ = true;
};
