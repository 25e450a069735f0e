#pragma once
// What the size reader's recursive walk asks of its lister.
class NodeTreeOperatorDelegate {
public:
    virtual ~NodeTreeOperatorDelegate() = default;
    // Re-sort the top-level list, largest first (on the main thread).
    virtual void doRootArrSort() = 0;
};
