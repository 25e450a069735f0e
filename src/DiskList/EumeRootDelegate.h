#pragma once
// What a lister tells the tree controller.
class EumeRootDelegate {
public:
    virtual ~EumeRootDelegate() = default;
    // The top-level listing has ended: every entry is in the list. Sent on the
    // listing's background thread; a receiver that touches the interface moves
    // to the main queue itself, and must not wait for the main thread here.
    virtual void endScan() = 0;
    // A folder's children are all listed. Sent on the main thread.
    virtual void endEumeNode() = 0;
};
