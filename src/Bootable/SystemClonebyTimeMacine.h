#pragma once
// The backup-tool clone route: starts a backup with "/usr/bin/tmutil", polls
// its status once a second and reports a percentage to its delegate.
//
// The start and the poll run on a worker; reports reach the delegate on the
// main queue. A failed start never reports 100; the poll ends at once when the
// backup is finishing (100 is reported exactly once) and when the route is
// cancelled, after which nothing reaches the delegate.
#include <map>
#include <memory>
#include <string>

#include "Bootable/SystemClonebyTimeMacineDelegate.h"

namespace kit {
class Process;
}

// YES when the backup tool's status says no backup is running ("Running = 0");
// the name reads the other way round. Runs the tool and blocks: call it off the
// main thread.
bool isTimeMachineBackupRunning();

class SystemClonebyTimeMacine {
public:
    static std::shared_ptr<SystemClonebyTimeMacine> create();
    // Ends the poll of a run still under way; nothing reaches the delegate after.
    ~SystemClonebyTimeMacine();
    SystemClonebyTimeMacine(const SystemClonebyTimeMacine&) = delete;
    SystemClonebyTimeMacine& operator=(const SystemClonebyTimeMacine&) = delete;

    // Blocking runs of the tool ("enable", "disable", "setdestination <path>"):
    // the exit status, -1 when it could not be run. Call them off the main thread.
    int zhidongButAction();
    int stopzhidongButAction();
    int setBackupDestination(const std::string& path);

    // Starts a backup and its poll on a worker and returns at once. NO when a
    // run of this route is under way already.
    bool startBackup();

    // One status run, read to its end; what it says about the backup.
    struct Poll {
        enum class Kind {
            NoData,      // the tool gave nothing
            NotSized,    // running, but no sizes yet (starting)
            Progress,    // running with a percentage
            Finishing,   // the backup is finishing: percent is 100
            NotRunning,  // no backup is running
        };
        Kind kind = Kind::NoData;
        float percent = 0;
        std::map<std::string, std::string> status;
    };
    static Poll getBackupProgress();

    // Stops the route: from this moment nothing reaches the delegate; the poll
    // ends, and "stopbackup" runs on a worker, after which the start run is
    // terminated if it still runs.
    void cancelBackup();

    // Whether a start or its poll is under way.
    bool isRunning() const;

    std::shared_ptr<kit::Process> backupTask() const;
    void setBackupTask(std::shared_ptr<kit::Process> task);
    // Not retained: cleared by its owner (on the main thread) before it goes.
    SystemClonebyTimeMacineDelegate* delegate() const;
    void setDelegate(SystemClonebyTimeMacineDelegate* delegate);

    // The status text as a dictionary of texts: the part between the first "{"
    // and the last "}", pieces split at ";", each "key = value" pair kept with
    // blanks trimmed from both and double quotes from the value.
    static std::map<std::string, std::string> parseBackupStatus(const std::string& text);
    // "_raw_Percent" times 100, kept to three decimals.
    static float percentOf(const std::map<std::string, std::string>& status);

    // What the clone screen shows for a reported percentage.
    struct Display {
        std::string label;    // "Finding Changes..." below 0.1, else "Cloning Files %.2f%%"
        int step = 0;         // 3 (the copy step) once copying, 0 to leave the step bar
        std::string picture;  // "copy" once copying, "" to leave the picture
        float value = 0;      // for the progress bar (the screen's progress value)
    };
    static Display displayForPercent(float percent);

    // What a run and the route share; the run's worker holds it, never the
    // route itself, so the route may go while a poll waits.
    struct State;

private:
    SystemClonebyTimeMacine();
    std::shared_ptr<State> state_;
};
