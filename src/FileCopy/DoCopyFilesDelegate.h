#pragma once
// What the copy engine tells its screen. Every operation is delivered on the
// main queue, in the order the engine made them, a few hundredths of a second
// apart at most and several at once when the copy is quicker than that: the
// worker does not wait for them (a volume of thousands of top-level files costs
// no round trip per file), except for copyFileError, which it waits for so that
// a stop given there is seen before the next item. The path of an item inside a
// partly checked top-level folder not yet shown when the next one comes is
// replaced by it. Nothing is delivered once the run's stop flag is set.
#include <string>

class DoCopyFilesDelegate {
public:
    virtual ~DoCopyFilesDelegate() = default;

    // Percent done, 5 to 100: 5 before the first top-level item, then after each
    // one. 100 means every item was copied; a run with failed items never sends
    // it (it ends with topCopyFinished instead).
    virtual void topCopyProgress(float percent) {}
    // The source path of the item about to be copied.
    virtual void topCopyFilePath(const std::string& path) {}
    // The destination folder was missing when an item was to be copied.
    virtual void copyFileError() {}
    // The run went through every top-level item without being stopped.
    // failedCount is the number of item copies that failed (0 after a report of
    // 100); when it is not 0 the copy is incomplete and must not be shown as a
    // success.
    virtual void topCopyFinished(int failedCount) {}
};
