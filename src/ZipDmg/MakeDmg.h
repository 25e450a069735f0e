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
    // The image or archive could not be made. The error is none, or says that
    // the image stays because its volume could not be ejected.
    virtual void makeDmgFailWithError(const std::optional<std::string>& error) {}
    // The image is made and mounted; answer with doCopyFilesToDmgWithDmg.
    virtual void beginToCopyDmg() {}
    // A stopped job's image could not be ejected: it is kept, never removed
    // while its volume is attached. The text says so and names the image.
    virtual void stoppedImageKept(const std::string& text) {}
};

// Runs `command` through the shell with its standard output in the capture file
// "ejectExecCommandTemp.plist" of the temporary folder, and returns that file's
// path whether or not the command worked; nullopt for no command. The run is
// bounded by a time-out, and concurrent captures never share an output (see
// OVCaptureLimited).
std::optional<std::string> ejectExecCommand(const char* command);

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
    // Setting it stops the job that runs (as far as a flag can: the copy ends
    // before its next item, zip's reads are no longer reported); stopMakeDmg
    // ends the tools as well.
    void setIsCancelCopy(bool cancel);

    // Image route. Main thread; returns at once. false (and nothing reported)
    // when a job of this engine is still running: one job at a time.
    bool makeTmpDmgWithPath(const std::string& path, const std::string& withName, int64_t withSize);
    // Mounts the image this job made and then tells the delegate beginToCopyDmg.
    // Main thread; the tool runs off the main thread so the window stays live.
    void mountDmgWithDmgPath(const std::string& dmgPath);
    // Copies the given absolute paths into the volume this job mounted, on a
    // global queue; returns at once. The job ends with the eject: 100 when every
    // item was copied and the volume was ejected, a failure otherwise.
    void doCopyFilesToDmgWithDmg(const std::vector<std::string>& paths);
    // Stops whatever runs: the create or mount tool is terminated, the copy ends
    // before its next item, zip is terminated; what the job made is ejected and
    // removed, and nothing more is reported, but for an image that could not be
    // ejected: that one is kept (stoppedImageKept). Main thread.
    void stopMakeDmg();
    // Whether the last job still has work under way: a tool, the copy, the
    // eject or the removal of what a stopped or failed job made.
    bool isWorking() const;
    // The program is about to end and waits no longer: an eject still inside
    // its time-out is ended now, and its image kept as for any failed eject.
    // Any thread.
    void giveUpWaiting() { giveUp_.store(true); }
    // The disk tool's information on a volume (name, mount point, identifier);
    // nullopt when there is none, it does not parse or the tool timed out.
    std::optional<kit::Value> getDisjInfo(const char* volume);
    // Ejects the volume this job mounted (blocking); true when it is gone.
    bool unmountDmgWithFullPath();
    int resizeVolume(const std::string& dmgPath, const std::string& toSize);
    void doMakeUDRWdmg() {}

    // Zip route.
    void getAllFileCount(const std::vector<std::shared_ptr<FileNode>>& nodes);
    uint64_t getAllFileCountWithPath(const std::string& folder);
    // Main thread; returns at once; false when a job is still running. An
    // archive name that is taken is never written into: the archive gets the
    // first free name "<name> 1.zip", "<name> 2.zip" … (archivePath()).
    bool doZipWithPath(const std::string& zipPath, const std::vector<std::shared_ptr<FileNode>>& withZipArr);
    // The paths a zip job over these nodes hands to zip and the number of
    // entries it will report, collected as doZipWithPath collects them. Any
    // thread: it walks every chosen folder, so a caller on the main thread
    // does this elsewhere first and then calls doZipWithSelection.
    struct ZipSelection {
        std::vector<std::string> paths;
        uint64_t count = 0;
    };
    static ZipSelection collectZipSelection(const std::vector<std::shared_ptr<FileNode>>& nodes);
    // doZipWithPath with a selection collected beforehand. Main thread.
    bool doZipWithSelection(const std::string& zipPath, const ZipSelection& selection);
    // One chunk of zip's output (main thread).
    void dataReady(const std::string& data);
    // zip has exited (main thread).
    void zipTaskTerminated(kit::Process& process);
    // The archive the last zip job writes (main thread).
    std::string archivePath() const;

    // Read-only views for callers that show or check a job.
    std::string dmgNameStr() const;
    std::vector<std::string> allSelectFileArr() const;
    uint64_t allSelectFileCout() const { return allSelectFileCout_; }
    uint64_t proValue() const { return proValue_; }

private:
    enum class Phase { Creating, Mounting, Mounted, Copying, Ending };
    struct Job;
    struct ZipJob;

    bool busy() const;
    std::shared_ptr<Job> currentJob() const;
    void report(const std::string& text, float progress);      // main thread
    void reportFromWorker(const std::shared_ptr<Job>& job, const std::string& text, float progress);
    void failJob(const std::optional<std::string>& error = std::nullopt);  // main thread
    void createStep(std::shared_ptr<Job> job, std::string folder, std::string name, uint64_t bytes);
    void createFinished(const std::shared_ptr<Job>& job, int status, bool launched, bool ours);
    void mountStep(std::shared_ptr<Job> job, std::string imagePath);
    void mountFinished(const std::shared_ptr<Job>& job, int status, const std::string& output);
    void copyLoop(std::shared_ptr<Job> job, std::vector<std::string> paths, std::string mountPoint);
    void ejectInBackground(const std::shared_ptr<Job>& job);
    // Ends the job: its staging folder and (when asked) its image are removed,
    // then the end is reported on the main queue unless the job was stopped.
    // `kept` (non-empty) tells why the image stays: it could not be ejected.
    void endJob(const std::shared_ptr<Job>& job, bool success, bool removeImage, const std::string& kept = "");
    // The job's end once its volume has been ejected, or not: an image whose
    // volume is still attached is never removed.
    void endAfterEject(const std::shared_ptr<Job>& job, bool ejected, bool success);
    bool ejectVolume(const std::string& mountPoint);
    void zipEnded(const std::shared_ptr<ZipJob>& job, kit::Process& process);
    // Starts zip over allSelectFileArr_ (main thread).
    bool startZip(const std::string& zipPath);

    std::atomic<MakeDmgDelegate*> makeDmgDelegate_{nullptr};
    std::atomic<bool> isCancelCopy_{false};
    std::atomic<bool> giveUp_{false};

    mutable std::mutex mutex_;
    std::shared_ptr<Job> job_;     // the image job, running or last; guarded by mutex_
    std::string dmgNameStr_;       // guarded by mutex_

    // Zip route; main thread only.
    std::shared_ptr<ZipJob> zip_;
    std::vector<std::string> allSelectFileArr_;
    uint64_t allSelectFileCout_ = 0;
    uint64_t proValue_ = 0;
};
