#pragma once
// The simulated machine: disks, partitions, APFS containers and their volumes,
// RAID sets, sizes, what is mounted where, the system facts kit reads, and the
// failure knobs of the stand-in tools.
//
// The whole state is one XML property list at <root>/.pelorin/machine.plist.
// A mounted volume is a real folder (its mount point, a host path under the
// root); while a volume is unmounted its files wait in its store folder, so an
// unmount followed by a mount gives the same files back. The running system's
// root volume is the root folder itself and never moves.
//
// Every change goes through Machine::update(): lock, load, change, save
// atomically. The stand-in tools (diskutil, asr, hdiutil) share this model.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"

namespace sim {

// Partition and container types the stand-ins write.
inline constexpr const char* kGuidScheme = "GUID_partition_scheme";
inline constexpr const char* kApfsContainerContent = "EF57347C-0000-11AA-AA11-00306543ECAC";
inline constexpr const char* kApfsVolumeContent = "41504653-0000-11AA-AA11-00306543ECAC";
inline constexpr int64_t kEfiPartitionSize = 209715200;

// One slice of a disk: a partition of a partitioned disk, a volume of an APFS
// container, or the single volume of a disk without a partition map (then its
// identifier is the disk's own).
struct Volume {
    std::string identifier;        // "disk4s2"
    std::string content;           // "EFI", "Apple_HFS", "Apple_APFS", "Apple_Boot", "Apple_RAID",
                                   // "Apple_CoreStorage", "Microsoft Basic Data", kApfsVolumeContent…
    std::string name;              // VolumeName; "" when it has none
    std::string filesystem;        // FilesystemName: "APFS", "Journaled HFS+", "HFS+", "ExFAT",
                                   // "MS-DOS FAT32"; "" when the slice holds no file system
    std::string volumeUUID;        // "" when none
    std::string diskUUID;          // "" when none
    int64_t size = 0;              // "Size": partition bytes; an APFS volume's bytes in use
    int64_t totalSize = 0;         // TotalSize (APFS volumes take the container's instead)
    int64_t freeSpace = 0;         // FreeSpace (APFS volumes take the container's instead)
    std::string mountPoint;        // host path; "" while unmounted
    std::string fixedMountPoint;   // root-relative place it always mounts at ("/System/Volumes/Data");
                                   // "" mounts at /Volumes/<name>
    std::string storePath;         // host folder holding its files while unmounted; "" = the default
                                   // store <root>/.pelorin/store/<volumeUUID or identifier>
    bool osInternal = false;       // "OSInternal"
    std::string role;              // APFS role: "System", "Data", "Preboot", "Recovery", "VM", "Update", ""
    std::string snapshotMountPoint;// host path where a snapshot of it is mounted (the sealed system at
                                   // the root); "" when none
    std::string apfsContainer;     // an "Apple_APFS" partition: the container disk it holds ("disk3")
    kit::Value extra;              // more keys, merged into "diskutil info" output as they stand

    bool isMounted() const { return !mountPoint.empty(); }
    bool isApfsVolume() const { return content == kApfsVolumeContent; }
    // The identifier of the mounted snapshot ("disk3s1s1"); "" without one.
    std::string snapshotIdentifier() const { return snapshotMountPoint.empty() ? "" : identifier + "s1"; }
};

struct Disk {
    std::string identifier;        // "disk4"
    std::string registryName;      // "IORegistryEntryName"; "" leaves the key out
    std::string mediaName;         // "MediaName"; "" leaves the key out
    std::string busProtocol;       // "USB", "SATA", "PCI-Express", "Apple Fabric", "Disk Image"; "" = absent
    bool ejectable = false;
    bool internal = false;
    bool removable = false;
    bool isVirtual = false;        // "VirtualOrPhysical": "Virtual" / "Physical"
    bool raidMaster = false;       // a RAID set
    bool coreStorageEncrypted = false;
    std::string content;           // kGuidScheme, "Apple_HFS", "Apple_HFSX", kApfsContainerContent…
    int64_t size = 0;
    bool partitionless = false;    // no partition map: volumes[0] is the disk itself
    bool apfsContainer = false;    // a synthesized APFS container; volumes are its APFS volumes
    std::string physicalStore;     // a container: the "Apple_APFS" partition holding it ("disk0s2")
    int64_t containerFree = 0;     // a container: bytes free (every volume of it reports these)
    std::string raidSetName;       // a RAID set: its name, level and member partitions
    std::string raidLevel;
    std::vector<std::string> raidMembers;
    std::string imagePath;         // an attached disk image: its image file (host path)
    std::vector<Volume> volumes;   // partitions in order, or the container's volumes
    kit::Value extra;              // more keys, merged into "diskutil info" output of the whole disk

    int number() const;            // 4 for "disk4"; -1 when malformed
};

// What an operand of a disk tool command names.
struct Target {
    Disk* disk = nullptr;          // always set: the whole disk (for a volume, the disk holding it)
    Volume* volume = nullptr;      // set when a slice (or a partitionless disk's volume) is named
    bool snapshot = false;         // the mounted snapshot of volume was named (the system root)
};

class Machine {
public:
    std::string root;              // host path of the system root, no trailing slash
    std::string scenario;
    std::string systemVersion;     // "13.4.1"
    std::string processorBrand;
    std::string consoleUser;
    std::vector<Disk> disks;       // in the order the disk tool lists them (by disk number)
    kit::Value knobs;              // dict: "diskutil eraseDisk" -> "fail" …
    // Privacy: folders (root-relative) whose contents the system shows a process
    // only when the user granted it Full Disk Access; kit's file manager refuses a
    // listing inside them while fullDiskAccess is false.
    bool fullDiskAccess = true;
    std::vector<std::string> protectedPaths;

    // --- storage ------------------------------------------------------------
    static std::string statePath(const std::string& root);   // <root>/.pelorin/machine.plist
    static std::string lockPath(const std::string& root);    // <root>/.pelorin/lock
    static std::string journalPath(const std::string& root); // <root>/.pelorin/journal
    static std::string storeFolder(const std::string& root); // <root>/.pelorin/store

    // Reads the state without locking (a consistent snapshot: saves are atomic).
    static std::optional<Machine> load(const std::string& root, std::string* error = nullptr);
    // Writes the state atomically, with the "Volumes" summary kit reads rebuilt.
    bool save(std::string* error = nullptr) const;
    // Locks the machine, loads it, runs change and saves when change returns true.
    // false (with *error) when the state can't be read or saved, or change failed.
    static bool update(const std::string& root,
                       const std::function<bool(Machine&, std::string* error)>& change,
                       std::string* error = nullptr);
    kit::Value toValue() const;
    static std::optional<Machine> fromValue(const kit::Value& value, std::string* error = nullptr);

    // --- paths ----------------------------------------------------------------
    std::string hostPath(const std::string& rootRelative) const;   // "/Volumes" -> <root>/Volumes
    // True when path, with symbolic links resolved as far as it exists, lies in the root.
    bool isInside(const std::string& path) const;

    // --- lookups (nullptr when nothing matches) ------------------------------
    Disk* findDisk(const std::string& identifier);
    Volume* findVolume(const std::string& identifier);          // also a snapshot's "disk3s1s1"
    Volume* findByMountPoint(const std::string& hostPath);      // a volume or a mounted snapshot
    Volume* findByName(const std::string& volumeName);          // first mounted volume of that name
    Volume* findByUUID(const std::string& uuid);                // VolumeUUID or DiskUUID, any case
    Disk* diskOf(const std::string& volumeIdentifier);          // the disk whose volumes hold it
    Disk* containerOf(const Volume& applePartition);            // the container an Apple_APFS slice holds
    Disk* physicalDiskOf(Disk& disk);                           // a container's physical disk, else disk
    Volume* rootVolume();                                       // the volume (or snapshot) at the root
    // The disks an operation on this whole disk covers: itself and, for a physical
    // disk, the containers its partitions hold.
    std::vector<Disk*> family(Disk& disk);
    // Volumes the running system can't give up: the root, its snapshot and the
    // volumes mounted inside the root's own folders (Data, Preboot, VM…).
    bool inUseBySystem(const Volume& volume) const;
    bool familyInUse(Disk& disk);

    // Resolves a command operand: "disk4", "/dev/disk4s2", "/dev/rdisk4", a mount
    // point (host path or root-relative; "/" is the system root volume), a volume
    // UUID or disk UUID, or a mounted volume's name. nullopt with *error when nothing
    // matches or a path lies outside the root.
    std::optional<Target> resolve(const std::string& operand, std::string* error = nullptr);

    // Sizes a volume reports: an APFS volume its container's size and free bytes.
    int64_t volumeTotalSize(const Volume& volume);
    int64_t volumeFreeSpace(const Volume& volume);

    // --- changes (callers hold the lock through update()) --------------------
    std::string nextDiskIdentifier() const;                     // the lowest unused "diskN"
    static std::string newUUID();
    // Adds a disk: an empty identifier gets the next free one, empty volume
    // identifiers get <disk>s1, s2…, volumes with a file system and no UUIDs get
    // new ones. Mounted volumes' folders and unmounted ones' stores are created.
    Disk& addDisk(Disk disk);
    // Removes a disk and the containers it holds; mounted volumes are unmounted
    // first (their files go to their stores). false when one can't be unmounted.
    bool removeDisk(const std::string& identifier, std::string* error = nullptr);
    // Appends a volume to an APFS container (identifier and UUIDs filled as above).
    Volume* addVolume(const std::string& containerIdentifier, Volume volume, std::string* error = nullptr);
    // Removes a volume; deleteFiles also deletes its folder or store.
    bool removeVolume(const std::string& identifier, bool deleteFiles, std::string* error = nullptr);

    // Mounts at its fixed place or at /Volumes/<name> ("<name> 1", "<name> 2"… when
    // taken), moving its store into place. Returns the mount point; "" on failure.
    std::string mount(Volume& volume, std::string* error = nullptr);
    // Moves its folder back to its store. Refused for volumes in use by the system.
    bool unmount(Volume& volume, std::string* error = nullptr);
    // Gives a volume a new name; one mounted under /Volumes moves to the folder of
    // the new name (with a number when taken).
    bool renameVolume(Volume& volume, const std::string& newName, std::string* error = nullptr);
    // Deletes a volume's files, mounted or stored (an erase).
    bool wipeFiles(Volume& volume, std::string* error = nullptr);
    std::string storeOf(const Volume& volume) const;

    // --- knobs ----------------------------------------------------------------
    // The knob for a command given as words, most specific first: for
    // {"diskutil", "info", "disk4s2"} it tries "diskutil info disk4s2", then
    // "diskutil info", then "diskutil". "" when none is set.
    std::string knob(const std::vector<std::string>& words) const;
    void setKnob(const std::string& key, const std::string& value);  // "" or "ok" removes it
};

// The short type of a file system by its name: "apfs", "hfs", "exfat",
// "msdos", "ntfs"; "" for one without a file system or of another kind.
std::string filesystemType(const std::string& filesystemName);

// Folder name a volume mounts under: "/" becomes ":", an empty name or "." / ".."
// becomes "Untitled", so a name can never lead outside /Volumes.
std::string mountFolderName(const std::string& volumeName);

// Behaviours every knob value shares, for any tool and command:
//   ""/"ok"   run normally
//   "fail"    message on standard error, exit 1
//   "hang"    sleep until killed
//   "garbage" print text that is no property list, exit 0
//   "slow"    sleep a second, then run normally ("slow:<seconds>" for another delay)
// Returns the exit code when the tool must stop now; nullopt to go on (the tool
// then acts on its own values, such as eraseDisk's "unmounted").
std::optional<int> applyCommonKnob(const std::string& value, const std::string& tool);

// The knob for words from the machine at the root of this process
// (PELORIN_SYSROOT); "" when there is no machine or no knob.
std::string currentKnob(const std::vector<std::string>& words);

// Process-wide helpers for the stand-in tools.
// The root from PELORIN_SYSROOT; prints why and returns nullopt when it is unset,
// not absolute or holds no machine.
std::optional<std::string> toolRoot(const std::string& tool);

// Moves a folder (rename, or copy and delete across file systems).
bool moveFolder(const std::string& from, const std::string& to, std::string* error = nullptr);
// Deletes a tree without following symbolic links; refuses anything outside root.
bool removeTree(const std::string& root, const std::string& path, std::string* error = nullptr);

}  // namespace sim
