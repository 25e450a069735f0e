#pragma once
// The repair that follows a clone on the newer processors and from system
// version 13 on: the clone's APFS container gets a Preboot volume from the
// restore, but not the system's cryptexes. The repair finds that Preboot volume
// through the disk tool, mounts it, and copies the running system's
// "/System/Volumes/Preboot/Cryptexes" folder into it.
//
// The cryptexes go only to the mount point that the clone's own Preboot volume
// reports once mounted, never to a fixed "/Volumes/Preboot" (which may be
// another disk's Preboot, or a folder that a copy would create on the system
// volume). The mount is judged by the tool's exit status and the mount point it
// then reports, the copy by its exit status. Every run is bounded: a disk tool
// or a copy that hangs is ended at its time-out, and that is a failure, as is
// an answer of the disk tool that can't be read (or lacks the keys that describe
// the disk). Only a readable answer that shows no container, or a container
// without a Preboot volume on a machine whose own system container has none
// either, means there is nothing to repair: where the running system has a
// Preboot volume, a clone container without one would not start.
#include <functional>
#include <string>

struct PrebootRepairOutcome {
    enum class Result {
        Copied,           // the cryptexes are on the clone's Preboot volume
        NothingToRepair,  // no target, no container, or no Preboot volume where the system has none
        Failed,           // the disk could not be read, its Preboot is missing, or could not be mounted or filled
    };
    Result result = Result::NothingToRepair;
    std::string prebootIdentifier;  // the clone's Preboot volume ("disk3s2"), when found
    std::string mountPoint;         // where it was mounted (a host path), when it was
    std::string reason;             // what failed, for the log

    // The clone may be shown as a success.
    bool succeeded() const { return result != Result::Failed; }
};

class PrebootRepair {
public:
    // The source of the copy: the running system's cryptex folder.
    static std::string cryptexFolder();

    // The whole repair for the clone target's whole disk (its device identifier,
    // "disk4", as the target record's volumePath holds it). Blocks while the
    // disk tool and the copy run: call it off the main thread. An empty
    // identifier runs nothing and gives NothingToRepair.
    static PrebootRepairOutcome run(const std::string& targetDeviceIdentifier);

    // Runs the repair on a global queue and hands the outcome to done on the
    // main queue. done must guard its own receiver (a weak reference), since the
    // screen may be gone by then.
    static void start(const std::string& targetDeviceIdentifier,
                      std::function<void(const PrebootRepairOutcome&)> done);
};
