#pragma once
// The Disk Manager's changes to a volume — rename, format, eject — as the page
// runs them, without the page. Right before each change the volume's record is
// read again from the disk tool at its mount point: a volume that has gone, or
// another one now in its place, is refused and nothing runs. Each tool run is
// bounded, and each change is judged by its exit status and by reading the
// volume back: the new name after a rename, the new file system and name after
// a format, the volume gone after an eject. The page calls the asynchronous
// forms from the main thread: the work runs on a global queue and the
// completion comes back on the main queue.
//
// Every name and identifier reaches the tool literally: each is one quoted word
// of the shell line, so quotes, ";", "$(…)", backquotes or a line break in a
// name can neither run anything nor point an erase at another device; and a
// name beginning with "-", which the tool would take for an option, is refused.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Disk/VolumeList.h"
#include "Disk/VolumeObj.h"
#include "DiskTool/DiskToolCommands.h"

struct RenameResult {
    bool ok = false;           // the tool renamed the volume (read back under the new name)
    bool skipped = false;      // nothing to send (empty, blank or unchanged name); ok stays false
    bool refused = false;      // the volume has gone or changed: nothing ran
    bool badName = false;      // the name looks like an option: nothing ran
    std::string sentName;      // the name given to the tool
    std::string name;          // read back: the volume's name now
    std::string mountPoint;    // read back: its mount point now
    bool readBack = false;     // name and mountPoint came from the tool's record
    int status = -1;           // the rename's exit status
};

enum class FormatRoute {
    Reformat,  // an APFS volume: renamed (when the name changes) and reformatted in place
    Erase,     // any other volume: erased as the chosen type
};

struct FormatResult {
    bool ok = false;           // the tool's run ended well and the volume reads back as asked, with its name
    FormatRoute route = FormatRoute::Erase;
    bool refused = false;      // the volume has gone or changed: nothing ran
    bool badName = false;      // the name looks like an option: nothing ran
    bool timedOut = false;     // a run was ended at its time-out
    std::string name;          // the name the volume was given
    std::string diskUUID;      // read back: the formatted volume's disk UUID (a new volume may have a new one)
    int renameStatus = -1;     // Reformat route: the rename's status (-1 when none was needed)
    int status = -1;           // the erase's or the reformat's exit status
    // Reformat route, after a failure that came after the rename: the volume
    // reads back under its new name (the rename stays), and keepsItsFiles when
    // it still holds the file system it had (the reformat changed nothing).
    bool renamed = false;
    bool keepsItsFiles = false;
};

// How long the disk tool may take: a rename, an eject or a query, and an erase
// or a reformat, which writes a whole new file system.
struct DiskToolBounds {
    double tool = kDiskToolTimeout;
    double format = kFormatTimeout;
};

struct EjectResult {
    bool ok = false;           // the tool's run ended well and the volume is gone
    bool refused = false;      // the volume has gone or changed: nothing ran
    int status = -1;           // -1 when nothing ran (no disk UUID)
};

class DiskToolActions {
public:
    // The route a format of this volume takes: Reformat when its type text,
    // lower-cased, holds "apfs".
    static FormatRoute formatRouteFor(const VolumeObj& volume);

    // "diskutil info -plist <mount point>" (the identity check), "diskutil
    // rename <disk UUID> <name>" for the name typed in rename mode (see
    // renameNameFor), then the record read back with "diskutil info -plist
    // <disk UUID>". The volume's record is not touched.
    static RenameResult renameVolume(const VolumeObj& volume, const std::string& typedName);
    // Writes a rename that worked into the record (name, and the mount point when
    // it was read back) and into the shared list (GetVolumes::changVoluemValue).
    // A failed or skipped rename leaves the record as it was.
    static void applyRename(const std::shared_ptr<VolumeObj>& volume, const RenameResult& result);

    // A format with the name and type text from the confirmation, after the
    // identity check. Reformat route: "diskutil rename <disk UUID> <name>" (only
    // when the name is not empty, a single blank or the current name), then
    // "diskutil reformat <device node>" waited for; a rename that fails, or
    // that the volume does not read back with, stops before the reformat.
    // Erase route: "diskutil eraseVolume <type> <name> <device node>" with the
    // name from eraseNameFor. Then "diskutil info -plist <device node>": the
    // volume must hold a new file system of the type, with the name.
    static FormatResult formatVolume(const VolumeObj& volume, const std::string& name, const std::string& type,
                                     const DiskToolBounds& bounds = {});

    // After the identity check, "diskutil eject <disk UUID>", which ejects the
    // whole disk holding the volume; then "diskutil info -plist <mount point>"
    // must find it gone. Nothing runs for a volume without a disk UUID.
    static EjectResult ejectVolume(const VolumeObj& volume);

    // The list's record of the same volume (same disk UUID) as the row's record:
    // the action must act on the volume as it is now. nullptr when it is gone.
    static std::shared_ptr<VolumeObj> currentRecord(const VolumeList& list, const VolumeObj& row);

    // Asynchronous forms (call on the main thread). The completion runs on the
    // main queue and must guard its own receiver.
    // renameVolumeAsync applies a rename that worked (applyRename) before done.
    static void renameVolumeAsync(std::shared_ptr<VolumeObj> volume, std::string typedName,
                                  std::function<void(const RenameResult&)> done);
    // NO (and nothing runs) while another format started here has not ended.
    // The shared provider's flag (GetVolumes::setGetVoumes) is YES while the
    // format runs; at its end it is cleared and a scan of the mounted volumes is
    // started (GetVolumes::getDiskAndVolumes) before done.
    static bool formatVolumeAsync(std::shared_ptr<VolumeObj> volume, std::string name, std::string type,
                                  std::function<void(const FormatResult&)> done);
    static bool isFormatting();
    static void ejectVolumeAsync(std::shared_ptr<VolumeObj> volume, std::function<void(const EjectResult&)> done);
};
