#pragma once
// A volume record as the volume provider fills it, for the drive picker's tests.
#include <cstdint>
#include <memory>
#include <string>

#include "Disk/OVPublicUtilities.h"
#include "Disk/VolumeObj.h"

namespace uitest {

inline std::shared_ptr<VolumeObj> volumeRecord(const std::string& name, const std::string& mountPoint, int64_t total,
                                               int64_t free, bool eject) {
    auto v = std::make_shared<VolumeObj>();
    v->setVolumeName(name);
    v->setVolumePath(mountPoint);
    v->setVolumeMountPoint(mountPoint);
    v->setVolumeTotalSizeNum(total);
    v->setVolumeFreeSizeNum(free);
    v->setVolumeTotalSize(OVPublicUtilities::longlongConvertVolSpace(total));
    v->setVolumeFreeSize(OVPublicUtilities::longlongConvertVolSpace(free));
    v->setBCanEject(eject);
    return v;
}

}  // namespace uitest
