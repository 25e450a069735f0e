#pragma once
// What the format confirmation tells the Disk Manager page.
#include <string>

class MakeSureFormatVCDelegate {
public:
    virtual ~MakeSureFormatVCDelegate() = default;
    // "Continue": the name in the name field and the chosen type text.
    virtual void makeSureToFormatSelectVolumeWithName(const std::string& name, const std::string& withType) = 0;
    // "Cancel".
    virtual void cancelFormatVoluem() = 0;
};
