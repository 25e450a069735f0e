#pragma once
// The stop confirmation's "Cancel" (stop the clone).
class MakeSureCancelCloneSystemVCDelegate {
public:
    virtual ~MakeSureCancelCloneSystemVCDelegate() = default;
    virtual void cancelToCopySystem() {}
};
