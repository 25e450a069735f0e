#pragma once
// Tool runs and machine facts the clone screen shares: the shell capture into a
// named file of the temporary folder, and whether the machine has the newer
// processors whose clones need their Preboot volume filled in.
#include <optional>
#include <string>
#include <vector>

#include "Disk/OVTask.h"
#include "Disk/VolumeObj.h"
#include "kit/Plist.h"

// Runs "<command> > <outputPath>" through the shell after removing an old file
// at outputPath; the path is quoted, so any folder name is safe. The command's
// variable pieces must be quoted by the caller (kit::shellQuote). Returns the
// exit status (0 = success), -1 when either argument is empty or the line could
// not be run. No length limit cuts the line.
int ZZDoCommand(const std::string& command, const std::string& outputPath);

// The capture as the clone screen uses it: the file fileName in the temporary
// folder, through the bounded capture of the tool runner, so a disk tool that
// hangs is ended at its time-out (OVCaptureTimeout, scaled) and never holds
// its caller. Call it off the main thread.
OVCapture ZZCapture(const std::string& command, const std::string& fileName);
// The same, read as a property list: nullopt when the output doesn't parse.
// *status (when given) receives the exit status, -1 when the line did not run
// to its end (refused, timed out).
std::optional<kit::Value> ZZCaptureValue(const std::string& command, const std::string& fileName,
                                         int* status = nullptr);

// The slices of the whole disk `identifier` as the disk tool lists them now;
// nullopt when the run failed or its answer doesn't describe that disk. Blocks
// while the tool runs: off the main thread.
std::optional<std::vector<VolumeObj::Slice>> readDiskSlices(const std::string& identifier);

// YES when the processor brand names the platform's own processors ("Apple").
// The real machine's answer is worked out once and kept.
bool has_m1_chip();

// Whether a finished clone gets its Preboot volume repaired: on the newer
// processors, or from system version 13 (1300) on.
bool cloneNeedsPrebootRepair();
