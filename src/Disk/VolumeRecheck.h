#pragma once
// Whether a volume chosen earlier is still the one mounted where it was.
//
// A record (VolumeObj) tells of a volume as the latest scan found it; by the
// time the user acts on it the drive may have been ejected, or another one,
// even of the same name, mounted at the same place. Before anything is written
// the disk tool is asked again ("diskutil info -plist <operand>") and its
// record is compared with the chosen one: the same mount point and the same
// disk UUID (the same device node for a record without one).
//
// Each reading is one run of the disk tool, bounded by a time-out: a tool that
// hangs counts as no answer. They block the caller: call them off the main
// thread.
#include <cstdint>
#include <optional>
#include <string>

#include "Disk/OVTask.h"
#include "kit/Plist.h"

class VolumeObj;

// What the disk tool says of an operand (a mount point, a device node, a UUID) now.
struct DiskToolReading {
    bool answered = false;              // the tool ran to its own end
    int status = -1;                    // its exit status
    std::optional<kit::Value> record;   // its record, when it ended well with one that parses
};
DiskToolReading readDiskToolRecord(const std::string& operand, double timeoutSeconds = OVCaptureTimeout);

// Whether a record of the tool is the chosen volume, mounted where it was.
bool recordIsVolume(const kit::Value& record, const VolumeObj& chosen);

// The chosen volume's record as the tool gives it at its mount point now;
// nullopt when it has gone, another volume is mounted there, or the tool
// gives no answer.
std::optional<kit::Value> currentRecordOfVolume(const VolumeObj& chosen);

// The free bytes a volume's record reports: the container's for an APFS volume.
int64_t recordFreeBytes(const kit::Value& record);
