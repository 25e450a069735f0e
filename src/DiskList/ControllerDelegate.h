#pragma once
// What a tree controller tells its owner. Every operation is optional.
#include <cstdint>
#include <string>

class ControllerDelegate {
public:
    virtual ~ControllerDelegate() = default;
    // Redraw the tree (main thread).
    virtual void reloadTreeList() {}
    // Recompute the select-all box from the top-level states (main thread).
    virtual void changeSelectAllButtonState() {}
    // A whole-volume listing has ended: for a copy, or for an image. Sent on
    // the listing's background thread; move to the main queue to act, and
    // don't wait for the main thread here.
    virtual void copyFileScanFiles() {}
    virtual void endScanFiles() {}
    // Progress of the delete walk (main thread).
    virtual void changeProgressWithPoint(int64_t point, const std::string& withPath) {}
};
