#pragma once
// The clone confirmation's "Clone Now".
class MakeSureToCloneSystemVCDelegate {
public:
    virtual ~MakeSureToCloneSystemVCDelegate() = default;
    virtual void beginToCopySystem() {}
};
