#pragma once
// What the backup-tool clone route tells its screen, on the main thread. Both
// operations are optional; the default bodies do nothing.

class SystemClonebyTimeMacineDelegate {
public:
    virtual ~SystemClonebyTimeMacineDelegate() = default;

    // The backup's progress in percent, 0 to 100; 100 comes once, at its end.
    virtual void returnProForClone(float percent) {}
    // The backup did not run to its end: it could not start (status is the
    // backup tool's exit status, -1 when the tool could not be run or a backup
    // was running already), or it stopped before finishing (status 0). Nothing
    // follows it.
    virtual void backupDidFail(int status) {}
};
