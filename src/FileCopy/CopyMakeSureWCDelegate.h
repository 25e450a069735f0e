#pragma once
// The copy confirmation's one report: the user confirmed the copy.
class CopyMakeSureWCDelegate {
public:
    virtual ~CopyMakeSureWCDelegate() = default;
    virtual void beginToCopyFiles() = 0;
};
