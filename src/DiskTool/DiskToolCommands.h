#pragma once
// The Disk Manager's disk-tool captures and text rules.
//
// Each capture runs a shell line with its standard output redirected into its
// own fixed-name property list in the temporary folder, and reports the line's
// exit status with the file's path; the caller judges the tool by that status
// and by reading the volume back, never by whether the file exists. Every run
// is bounded: a tool that hangs is ended at the time-out, and no lock is held
// while it runs, so one hung tool holds back no other. The variable pieces of a
// command (names, identifiers, device nodes) are quoted by kit::shellQuote before
// they are put into it.
#include <cstdint>
#include <optional>
#include <string>

#include "Disk/OVTask.h"

// How long a rename, an eject or a query may take, and how long an erase or a
// reformat (which writes a new file system), before the tool is ended.
constexpr double kDiskToolTimeout = OVCaptureTimeout;
constexpr double kFormatTimeout = 600.0;

struct DiskToolRun {
    std::optional<std::string> capturePath;  // nullopt when no command was given (or it was too long)
    int status = -1;                         // exit status; -1 when the line did not run
    bool timedOut = false;                   // ended at the time-out
    bool ok() const { return capturePath.has_value() && !timedOut && status == 0; }
};

// "eraserVolumeTemp.plist", "WexmireRepairTemp.plist", "WexmireChangeNameTemp.plist".
DiskToolRun eraserExecCommand(const char* command, double timeoutSeconds = kFormatTimeout);
DiskToolRun aepairExecCommand(const char* command, double timeoutSeconds = kDiskToolTimeout);
DiskToolRun changeNameExecCommand(const char* command, double timeoutSeconds = kDiskToolTimeout);

// A name the tool would take for an option: one beginning with "-". Such a
// name is refused, never sent.
bool looksLikeAnOption(const std::string& name);

// YES when a UTF-16 unit of the text lies in U+4E01..U+9FFE.
bool containsChinese(const std::string& text);

// Decimal size texts: "%.0f byte", then "%.2f KB", "MB", "GB", "TB".
std::string byteToSizeWithByte(uint64_t bytes);

// The text upper-cased and cut to its first `units` UTF-16 units (a character
// outside the basic plane is never split).
std::string upperCasedPrefix(const std::string& text, size_t units);

// The name a rename sends for the name typed in rename mode: on a FAT32 volume
// (type text holding "fat32", any case) upper case, 11 characters, and "NEW"
// when the typed name holds a character of U+4E01..U+9FFE. nullopt when nothing
// is to be sent: an empty or single-blank name, or the volume's current name.
std::optional<std::string> renameNameFor(const std::string& typed, const std::string& volumeType,
                                         const std::string& currentName);

// The name an erase gives the volume: the given one, or "NEW" when it is empty
// or a single blank; for the type "MS-DOS FAT32" upper case, 11 characters, and
// "NEW" when the given name holds a character of U+4E01..U+9FFE.
std::string eraseNameFor(const std::string& given, const std::string& typeText);

// The used share of a volume in percent (100 − free / total × 100); 0 for a
// volume of no size.
double usedPercent(int64_t totalBytes, int64_t freeBytes);
