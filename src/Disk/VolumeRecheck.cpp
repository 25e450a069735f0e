#include "Disk/VolumeRecheck.h"

#include <algorithm>
#include <cctype>

#include "Disk/VolumeObj.h"
#include "kit/Format.h"
#include "kit/Process.h"
#include "kit/Shell.h"
#include "kit/System.h"

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

}  // namespace

DiskToolReading readDiskToolRecord(const std::string& operand, double timeoutSeconds) {
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = timeoutSeconds;
    limits.captureOutput = true;
    const kit::ShellRunResult run = kit::runShellLimited("diskutil info -plist " + kit::shellQuote(operand), limits);
    DiskToolReading r;
    r.answered = run.finished();
    r.status = run.status;
    if (r.answered && run.status == 0)
        if (auto v = kit::parsePlist(run.output); v && v->isDict()) r.record = std::move(v);
    if (run.timedOut) kit::logf("no answer about %@", operand);
    return r;
}

bool recordIsVolume(const kit::Value& record, const VolumeObj& chosen) {
    if (record.getString("MountPoint").value_or("") != chosen.volumeMountPoint()) return false;
    const std::string uuid = chosen.diskUUID();
    return uuid.empty() ? record.getString("DeviceNode").value_or("") == chosen.volRootDir()
                        : lower(record.getString("DiskUUID").value_or("")) == lower(uuid);
}

std::optional<kit::Value> currentRecordOfVolume(const VolumeObj& chosen) {
    const std::string mountPoint = chosen.volumeMountPoint();
    if (mountPoint.empty()) return std::nullopt;
    DiskToolReading now = readDiskToolRecord(mountPoint);
    if (!now.record || !recordIsVolume(*now.record, chosen)) {
        kit::logf("the volume at %@ is not the one chosen", mountPoint);
        return std::nullopt;
    }
    return now.record;
}

int64_t recordFreeBytes(const kit::Value& record) {
    const bool apfs = lower(record.getString("FilesystemName").value_or("")) == "apfs";
    return record.getInt(apfs ? "APFSContainerFree" : "FreeSpace").value_or(0);
}
