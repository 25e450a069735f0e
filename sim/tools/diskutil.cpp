// The stand-in disk tool. It answers the disk tool's command lines from the
// simulated machine and changes only that machine: folders inside the root and
// its state file. Errors go to standard error with a non-zero exit.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kit/Plist.h"
#include "kit/SysPath.h"
#include "sim/Journal.h"
#include "sim/Machine.h"

using sim::Disk;
using sim::Machine;
using sim::Target;
using sim::Volume;

namespace {

const char* kTool = "diskutil";
// How long a reformat takes, in seconds before the time scale.
constexpr double kReformatSeconds = 2.0;

int usage() {
    std::fputs(
        "usage: diskutil list -plist [disk]\n"
        "       diskutil info -plist <disk | mount point | volume name | UUID>\n"
        "       diskutil appleRAID list -plist\n"
        "       diskutil eraseDisk <format> <name> <disk>\n"
        "       diskutil eraseVolume <format> <name> <volume>\n"
        "       diskutil reformat <volume>\n"
        "       diskutil unmountDisk <disk> | mountDisk <disk>\n"
        "       diskutil eject <disk | volume> | rename <volume> <name>\n"
        "       diskutil resizeVolume <volume> <size> …\n",
        stderr);
    return 1;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void printPlist(const kit::Value& v) {
    const std::string xml = kit::toXmlPlist(v);
    std::fwrite(xml.data(), 1, xml.size(), stdout);
    std::fflush(stdout);
}

kit::Value str(const std::string& s) { return kit::Value(s); }
kit::Value num(int64_t n) { return kit::Value(n); }

std::string filesystemType(const std::string& filesystem) {
    if (filesystem == "APFS") return "apfs";
    if (filesystem.find("HFS") != std::string::npos) return "hfs";
    if (filesystem == "ExFAT") return "exfat";
    if (filesystem.find("FAT") != std::string::npos) return "msdos";
    return "";
}

// A format name of the command line: the file system it makes and the
// partition type that holds it.
struct Format {
    std::string filesystem;
    std::string content;
    bool apfs = false;
};

std::optional<Format> formatNamed(const std::string& name) {
    if (name == "APFS" || name == "apfs") return Format{"APFS", "Apple_APFS", true};
    if (name == "HFS+" || name == "hfs+") return Format{"HFS+", "Apple_HFS", false};
    if (name == "JHFS+" || name == "Journaled HFS+" || name == "jhfs+")
        return Format{"Journaled HFS+", "Apple_HFS", false};
    if (name == "ExFAT" || name == "exfat" || name == "EXFAT") return Format{"ExFAT", "Microsoft Basic Data", false};
    if (name == "MS-DOS FAT32" || name == "FAT32" || name == "MS-DOS" || name == "fat32")
        return Format{"MS-DOS FAT32", "Microsoft Basic Data", false};
    return std::nullopt;
}

std::string checkVolumeName(const Format& format, const std::string& name) {
    if (format.filesystem == "MS-DOS FAT32" && name.size() > 11)
        return "MS-DOS FAT32 volume names are limited to 11 characters: " + name;
    return "";
}

// --- list --------------------------------------------------------------------

kit::Value listSlice(Machine& m, const Volume& v, bool apfs) {
    kit::Value e = kit::Value::dict();
    if (apfs) {
        e.set("CapacityInUse", num(v.size));
        e.set("DeviceIdentifier", str(v.identifier));
        e.set("DiskUUID", str(v.diskUUID));
        if (v.isMounted()) e.set("MountPoint", str(v.mountPoint));
        if (!v.snapshotMountPoint.empty()) {
            kit::Value snap = kit::Value::dict();
            snap.set("Sealed", str("Yes"));
            snap.set("SnapshotBSD", str(v.snapshotIdentifier()));
            snap.set("SnapshotMountPoint", str(v.snapshotMountPoint));
            snap.set("SnapshotName", str("os.update-" + v.volumeUUID.substr(0, 8)));
            snap.set("SnapshotUUID", str(v.volumeUUID));
            kit::Value snaps = kit::Value::array();
            snaps.push(snap);
            e.set("MountedSnapshots", snaps);
        }
        e.set("OSInternal", kit::Value(v.osInternal));
        e.set("Size", num(v.size));
        if (!v.name.empty()) e.set("VolumeName", str(v.name));
        if (!v.volumeUUID.empty()) e.set("VolumeUUID", str(v.volumeUUID));
        return e;
    }
    e.set("Content", str(v.content));
    e.set("DeviceIdentifier", str(v.identifier));
    if (!v.diskUUID.empty()) e.set("DiskUUID", str(v.diskUUID));
    if (v.isMounted()) e.set("MountPoint", str(v.mountPoint));
    e.set("Size", num(v.size));
    if (!v.name.empty()) e.set("VolumeName", str(v.name));
    if (!v.volumeUUID.empty()) e.set("VolumeUUID", str(v.volumeUUID));
    return e;
}

kit::Value listDisk(Machine& m, const Disk& k) {
    kit::Value e = kit::Value::dict();
    e.set("Content", str(k.content));
    e.set("DeviceIdentifier", str(k.identifier));
    e.set("OSInternal", kit::Value(false));
    e.set("Size", num(k.size));
    if (k.apfsContainer) {
        kit::Value stores = kit::Value::array();
        kit::Value store = kit::Value::dict();
        store.set("DeviceIdentifier", str(k.physicalStore));
        stores.push(store);
        e.set("APFSPhysicalStores", stores);
        kit::Value vols = kit::Value::array();
        for (const auto& v : k.volumes) vols.push(listSlice(m, v, true));
        e.set("APFSVolumes", vols);
        e.set("Partitions", kit::Value::array());
    } else if (k.partitionless) {
        if (!k.volumes.empty()) {
            const Volume& v = k.volumes[0];
            if (v.isMounted()) e.set("MountPoint", str(v.mountPoint));
            if (!v.name.empty()) e.set("VolumeName", str(v.name));
            if (!v.volumeUUID.empty()) e.set("VolumeUUID", str(v.volumeUUID));
        }
    } else {
        kit::Value parts = kit::Value::array();
        for (const auto& v : k.volumes) parts.push(listSlice(m, v, false));
        e.set("Partitions", parts);
    }
    return e;
}

int cmdList(Machine& m, const std::vector<std::string>& operands, bool plist, const std::string& knob) {
    if (!plist) return fail("diskutil: only the -plist form of list is available here");
    std::vector<Disk*> chosen;
    if (operands.empty()) {
        for (auto& k : m.disks) chosen.push_back(&k);
    } else {
        std::string error;
        auto t = m.resolve(operands[0], &error);
        if (!t) return fail(error);
        chosen.push_back(t->disk);
    }
    kit::Value all = kit::Value::array(), entries = kit::Value::array(), whole = kit::Value::array(),
               names = kit::Value::array();
    for (Disk* k : chosen) {
        all.push(str(k->identifier));
        whole.push(str(k->identifier));
        entries.push(listDisk(m, *k));
        for (const auto& v : k->volumes) {
            if (!k->partitionless) {
                all.push(str(v.identifier));
                if (!v.snapshotMountPoint.empty()) all.push(str(v.snapshotIdentifier()));
            }
            if ((v.isMounted() || !v.snapshotMountPoint.empty()) && !v.name.empty()) names.push(str(v.name));
        }
    }
    kit::Value out = kit::Value::dict();
    if (knob != "noAllDisks") out.set("AllDisks", all);
    if (knob != "noAllDisksAndPartitions" && knob != "noAllDisks") out.set("AllDisksAndPartitions", entries);
    out.set("VolumesFromDisks", names);
    out.set("WholeDisks", whole);
    printPlist(out);
    return 0;
}

// --- info --------------------------------------------------------------------

void diskKeys(kit::Value& d, Machine& m, const Disk& k) {
    if (!k.busProtocol.empty()) d.set("BusProtocol", str(k.busProtocol));
    d.set("CoreStorageEncrypted", kit::Value(k.coreStorageEncrypted));
    d.set("Ejectable", kit::Value(k.ejectable));
    d.set("EjectableMediaAutomount", kit::Value(k.ejectable));
    d.set("Internal", kit::Value(k.internal));
    d.set("RAIDMaster", kit::Value(k.raidMaster));
    d.set("Removable", kit::Value(k.removable));
    d.set("RemovableMedia", kit::Value(k.removable));
    d.set("SolidState", kit::Value(k.busProtocol == "PCI-Express" || k.busProtocol == "Apple Fabric"));
    d.set("VirtualOrPhysical", str(k.isVirtual ? "Virtual" : "Physical"));
    d.set("DeviceBlockSize", num(512));
    d.set("Writable", kit::Value(true));
}

void volumeKeys(kit::Value& d, Machine& m, const Disk& k, const Volume& v, bool snapshot) {
    const std::string id = snapshot ? v.snapshotIdentifier() : v.identifier;
    d.set("Content", str(v.content));
    d.set("DeviceIdentifier", str(id));
    d.set("DeviceNode", str("/dev/" + id));
    if (!v.diskUUID.empty()) d.set("DiskUUID", str(v.diskUUID));
    if (!v.volumeUUID.empty()) d.set("VolumeUUID", str(v.volumeUUID));
    d.set("VolumeName", str(v.name));
    d.set("FilesystemName", str(v.filesystem));
    d.set("FilesystemType", str(filesystemType(v.filesystem)));
    d.set("FilesystemUserVisibleName", str(v.filesystem));
    d.set("MountPoint", str(snapshot ? v.snapshotMountPoint : v.mountPoint));
    const int64_t total = v.filesystem.empty() ? v.size : m.volumeTotalSize(v);
    d.set("TotalSize", num(total));
    d.set("FreeSpace", num(v.filesystem.empty() ? 0 : m.volumeFreeSpace(v)));
    d.set("Size", num(v.isApfsVolume() ? total : v.size));
    d.set("OSInternal", kit::Value(v.osInternal));
    d.set("ParentWholeDisk", str(k.identifier));
    d.set("RAIDSlice", kit::Value(v.content == "Apple_RAID"));
    if (!v.name.empty()) d.set("IORegistryEntryName", str(v.name));
    if (snapshot) {
        d.set("APFSSnapshot", kit::Value(true));
        d.set("Writable", kit::Value(false));
    }
    if (!v.apfsContainer.empty()) d.set("APFSContainerReference", str(v.apfsContainer));
    if (v.isApfsVolume() && k.apfsContainer) {
        d.set("APFSContainerReference", str(k.identifier));
        d.set("APFSContainerFree", num(k.containerFree));
        d.set("APFSContainerSize", num(k.size));
        kit::Value stores = kit::Value::array();
        kit::Value store = kit::Value::dict();
        store.set("APFSPhysicalStore", str(k.physicalStore));
        stores.push(store);
        d.set("APFSPhysicalStores", stores);
        if (!snapshot) d.set("APFSSnapshot", kit::Value(false));
        for (const auto& other : k.volumes) {
            if (other.role == "Preboot") d.set("BooterDeviceIdentifier", str(other.identifier));
            if (other.role == "Recovery") d.set("RecoveryDeviceIdentifier", str(other.identifier));
        }
    }
    if (const auto* extra = v.extra.asDict())
        for (const auto& [key, value] : *extra) d.set(key, value);
}

kit::Value infoOf(Machine& m, const Target& t) {
    Disk& k = *t.disk;
    kit::Value d = kit::Value::dict();
    diskKeys(d, m, k);
    if (t.volume) {
        volumeKeys(d, m, k, *t.volume, t.snapshot);
        const bool wholeVolume = k.partitionless && !t.snapshot;
        d.set("WholeDisk", kit::Value(wholeVolume));
        d.set("PartitionMapPartition", kit::Value(!wholeVolume && !t.volume->isApfsVolume()));
        if (wholeVolume) {
            d.set("Content", str(k.content));
            if (!k.registryName.empty()) d.set("IORegistryEntryName", str(k.registryName));
            if (!k.mediaName.empty()) d.set("MediaName", str(k.mediaName));
            if (const auto* extra = k.extra.asDict())
                for (const auto& [key, value] : *extra) d.set(key, value);
        } else {
            d.set("MediaName", str(""));
        }
        return d;
    }
    d.set("Content", str(k.content));
    d.set("DeviceIdentifier", str(k.identifier));
    d.set("DeviceNode", str("/dev/" + k.identifier));
    d.set("FilesystemName", str(""));
    d.set("FreeSpace", num(0));
    if (!k.registryName.empty()) d.set("IORegistryEntryName", str(k.registryName));
    if (!k.mediaName.empty()) d.set("MediaName", str(k.mediaName));
    d.set("MountPoint", str(""));
    d.set("OSInternal", kit::Value(false));
    d.set("ParentWholeDisk", str(k.identifier));
    d.set("PartitionMapPartition", kit::Value(false));
    d.set("RAIDSlice", kit::Value(false));
    d.set("Size", num(k.size));
    d.set("TotalSize", num(k.size));
    d.set("VolumeName", str(""));
    d.set("WholeDisk", kit::Value(true));
    if (k.apfsContainer) {
        kit::Value stores = kit::Value::array();
        kit::Value store = kit::Value::dict();
        store.set("APFSPhysicalStore", str(k.physicalStore));
        stores.push(store);
        d.set("APFSPhysicalStores", stores);
        d.set("APFSContainerFree", num(k.containerFree));
        d.set("APFSContainerSize", num(k.size));
    }
    if (const auto* extra = k.extra.asDict())
        for (const auto& [key, value] : *extra) d.set(key, value);
    return d;
}

int cmdInfo(Machine& m, const std::vector<std::string>& operands, bool plist) {
    if (!plist) return fail("diskutil: only the -plist form of info is available here");
    if (operands.size() != 1) return usage();
    std::string error;
    auto t = m.resolve(operands[0], &error);
    if (!t) return fail(error);
    printPlist(infoOf(m, *t));
    return 0;
}

int cmdAppleRaid(Machine& m, const std::vector<std::string>& operands, bool plist) {
    if (operands.empty() || operands[0] != "list") return fail("diskutil appleRAID: only \"list\" is available here");
    if (!plist) return fail("diskutil: only the -plist form of appleRAID list is available here");
    kit::Value sets = kit::Value::array();
    for (const auto& k : m.disks) {
        if (!k.raidMaster) continue;
        kit::Value set = kit::Value::dict();
        set.set("AppleRAIDSetUUID", str(k.volumes.empty() ? k.identifier : k.volumes[0].diskUUID));
        set.set("BSD Name", str(k.identifier));
        set.set("Level", str(k.raidLevel));
        set.set("Name", str(k.raidSetName));
        set.set("Size", num(k.size));
        set.set("Status", str("Online"));
        kit::Value members = kit::Value::array();
        for (const auto& id : k.raidMembers) {
            kit::Value member = kit::Value::dict();
            member.set("BSD Name", str(id));
            member.set("MemberStatus", str("Online"));
            members.push(member);
        }
        set.set("Members", members);
        sets.push(set);
    }
    kit::Value out = kit::Value::dict();
    out.set("AppleRAIDSets", sets);
    printPlist(out);
    return 0;
}

// --- changes -------------------------------------------------------------------

// Runs a change under the machine's lock. The change returns its exit code; the
// state is saved whatever it did (a partial change is still the machine's truth).
int change(const std::string& root, const std::function<int(Machine&)>& body) {
    int rc = 1;
    std::string error;
    const bool saved = Machine::update(
        root,
        [&](Machine& m, std::string*) {
            rc = body(m);
            return true;
        },
        &error);
    if (!saved) return fail("diskutil: " + error);
    return rc;
}

// The whole disk a disk-level command acts on.
Disk* wholeDiskOf(Machine& m, const std::string& operand, std::string* error) {
    auto t = m.resolve(operand, error);
    if (!t) return nullptr;
    return t->disk;
}

std::vector<Volume*> familyVolumes(Machine& m, Disk& disk) {
    std::vector<Volume*> out;
    for (Disk* k : m.family(disk))
        for (auto& v : k->volumes) out.push_back(&v);
    return out;
}

// Turns the partition (an "Apple_APFS" slice already) into the physical store
// of a new APFS container holding one fresh volume of the name; the volume is
// returned, unmounted. The machine's disk list grows, so pointers into it taken
// before are stale afterwards.
Volume* makeContainer(Machine& m, const std::string& diskId, const std::string& partitionId,
                      const std::string& name) {
    Disk* disk = m.findDisk(diskId);
    Volume* partition = m.findVolume(partitionId);
    const std::string cid = m.nextDiskIdentifier();
    partition->apfsContainer = cid;
    Disk c;
    c.identifier = cid;
    c.registryName = "AppleAPFSMedia";
    c.busProtocol = disk->busProtocol;
    c.ejectable = disk->ejectable;
    c.removable = disk->removable;
    c.internal = disk->internal;
    c.isVirtual = true;
    c.content = sim::kApfsContainerContent;
    c.apfsContainer = true;
    c.physicalStore = partitionId;
    c.size = partition->size;
    c.containerFree = std::max<int64_t>(0, partition->size - 1100000);
    Volume v;
    v.content = sim::kApfsVolumeContent;
    v.name = name;
    v.filesystem = "APFS";
    v.size = 1100000;
    c.volumes.push_back(v);
    say("Creating an APFS container " + cid + " on " + partitionId);
    Disk& added = m.addDisk(c);
    return &added.volumes[0];
}

int cmdEraseDisk(Machine& m, const std::vector<std::string>& operands, const std::string& knob) {
    if (operands.size() != 3) return usage();
    const auto format = formatNamed(operands[0]);
    if (!format) return fail("diskutil: " + operands[0] + " is not a file system format this disk tool knows");
    const std::string name = operands[1].empty() ? "Untitled" : operands[1];
    if (auto why = checkVolumeName(*format, name); !why.empty()) return fail("diskutil: " + why);
    std::string error;
    auto t = m.resolve(operands[2], &error);
    if (!t) return fail(error);
    if ((t->volume && !t->disk->partitionless) || t->disk->apfsContainer)
        return fail("diskutil: " + operands[2] + " is not a whole physical disk");
    Disk* disk = t->disk;
    const std::string id = disk->identifier;
    if (m.familyInUse(*disk)) return fail("diskutil: " + id + " holds the running system and can't be erased");

    say("Started erase on " + id);
    say("Unmounting disk");
    for (Volume* v : familyVolumes(m, *disk)) {
        if (!m.unmount(*v, &error)) return fail(error);
    }
    for (Volume* v : familyVolumes(m, *disk)) {
        if (!m.wipeFiles(*v, &error)) return fail(error);
    }
    std::vector<std::string> containers;
    for (Disk* k : m.family(*disk))
        if (k != disk) containers.push_back(k->identifier);
    for (const auto& c : containers) m.removeDisk(c, nullptr);
    disk = m.findDisk(id);

    say("Creating the partition map");
    disk->content = sim::kGuidScheme;
    disk->partitionless = false;
    disk->raidMaster = false;
    disk->coreStorageEncrypted = false;
    disk->volumes.clear();
    Volume efi;
    efi.identifier = id + "s1";
    efi.content = "EFI";
    efi.name = "EFI";
    efi.filesystem = "MS-DOS FAT32";
    efi.size = sim::kEfiPartitionSize;
    efi.totalSize = efi.size;
    efi.freeSpace = efi.size - 2000000;
    efi.volumeUUID = Machine::newUUID();
    efi.diskUUID = Machine::newUUID();
    Volume data;
    data.identifier = id + "s2";
    data.content = format->content;
    data.size = std::max<int64_t>(0, disk->size - sim::kEfiPartitionSize - 20480);
    data.diskUUID = Machine::newUUID();
    disk->volumes = {efi, data};

    Volume* created = nullptr;
    if (format->apfs) {
        created = makeContainer(m, id, id + "s2", name);
    } else {
        Volume& v = m.findDisk(id)->volumes[1];
        v.name = name;
        v.filesystem = format->filesystem;
        v.totalSize = v.size;
        v.freeSpace = std::max<int64_t>(0, v.size - 30000000);
        v.volumeUUID = Machine::newUUID();
        created = &v;
    }
    say("Formatting " + created->identifier + " as " + format->filesystem + " with name " + name);
    if (knob == "unmounted") {
        // The erase worked but the new volume stayed unmounted: its store waits.
        std::string store = m.storeOf(*created);
        sim::removeTree(m.root, store, nullptr);
        std::filesystem::create_directories(store);
        say("Finished erase on " + id + " (the new volume was not mounted)");
        return 0;
    }
    say("Mounting disk");
    if (m.mount(*created, &error).empty()) return fail("diskutil: " + error);
    say("Finished erase on " + id);
    return 0;
}

int cmdUnmountDisk(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 1) return usage();
    std::string error;
    Disk* disk = wholeDiskOf(m, operands[0], &error);
    if (!disk) return fail(error);
    if (m.familyInUse(*disk))
        return fail("Unmount of " + disk->identifier + " failed: at least one volume is in use by the system");
    for (Volume* v : familyVolumes(m, *disk))
        if (!m.unmount(*v, &error)) return fail("Unmount of " + disk->identifier + " failed: " + error);
    say("Unmount of all volumes on " + disk->identifier + " was successful");
    return 0;
}

bool mountable(const Volume& v) {
    return !v.filesystem.empty() && v.content != "EFI" && v.content != "Apple_Boot" && v.snapshotMountPoint.empty();
}

int cmdMountDisk(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 1) return usage();
    std::string error;
    Disk* disk = wholeDiskOf(m, operands[0], &error);
    if (!disk) return fail(error);
    int failures = 0;
    for (Volume* v : familyVolumes(m, *disk)) {
        if (!mountable(*v) || v->isMounted()) continue;
        if (m.mount(*v, &error).empty()) {
            std::fprintf(stderr, "Mount of %s failed: %s\n", v->identifier.c_str(), error.c_str());
            ++failures;
        }
    }
    if (failures) return 1;
    say("Volume(s) mounted successfully");
    return 0;
}

int cmdEject(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 1) return usage();
    std::string error;
    auto t = m.resolve(operands[0], &error);
    if (!t) return fail(error);
    Disk* disk = m.physicalDiskOf(*t->disk);
    const std::string id = disk->identifier;
    if (m.familyInUse(*disk)) return fail("Unmount of " + id + " failed: at least one volume is in use by the system");
    if (!disk->ejectable && disk->imagePath.empty()) {
        // A fixed disk can't leave the machine; its volumes are unmounted.
        for (Volume* v : familyVolumes(m, *disk))
            if (!m.unmount(*v, &error)) return fail(error);
        say("Disk " + id + " ejected");
        return 0;
    }
    if (!m.removeDisk(id, &error)) return fail(error);
    say("Disk " + id + " ejected");
    return 0;
}

int cmdRename(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 2) return usage();
    std::string error;
    auto t = m.resolve(operands[0], &error);
    if (!t) return fail(error);
    Volume* v = t->volume;
    if (!v || v->filesystem.empty()) return fail("diskutil: " + operands[0] + " holds no volume to rename");
    const std::string& name = operands[1];
    if (name.empty()) return fail("diskutil: a volume name can't be empty");
    if (auto format = formatNamed(v->filesystem))
        if (auto why = checkVolumeName(*format, name); !why.empty()) return fail("diskutil: " + why);
    if (!m.renameVolume(*v, name, &error)) return fail("diskutil: " + error);
    say("Volume on " + v->identifier + " renamed to " + name);
    return 0;
}

// Erases one volume into a fresh, empty file system and mounts it again.
int eraseOne(Machine& m, Volume& v, const Format& format, const std::string& name) {
    std::string error;
    if (m.inUseBySystem(v)) return fail("diskutil: " + v.identifier + " is in use by the system and can't be erased");
    if (v.isApfsVolume() != format.apfs)
        return fail("diskutil: " + v.identifier + " can't be erased as " + format.filesystem + " in place");
    if (auto why = checkVolumeName(format, name); !why.empty()) return fail("diskutil: " + why);
    say("Started erase on " + v.identifier + " " + v.name);
    say("Unmounting disk");
    if (!m.unmount(v, &error)) return fail(error);
    say("Erasing");
    if (!m.wipeFiles(v, &error)) return fail(error);
    v.name = name;
    v.filesystem = format.filesystem;
    if (!format.apfs) v.content = format.content;
    v.volumeUUID = Machine::newUUID();
    if (format.apfs) {
        v.size = 1100000;
    } else {
        v.totalSize = v.size;
        v.freeSpace = std::max<int64_t>(0, v.size - 30000000);
    }
    say("Initialized /dev/r" + v.identifier + " as a " + format.filesystem + " volume");
    say("Mounting disk");
    if (m.mount(v, &error).empty()) return fail("diskutil: " + error);
    say("Finished erase on " + v.identifier + " " + name);
    return 0;
}

// APFS onto a partition that holds another file system: the partition becomes
// the physical store of a new container with one volume of the name, mounted.
int convertToApfs(Machine& m, Disk& disk, Volume& v, const std::string& name) {
    std::string error;
    if (m.inUseBySystem(v)) return fail("diskutil: " + v.identifier + " is in use by the system and can't be erased");
    if (disk.partitionless || disk.apfsContainer || !v.apfsContainer.empty() || v.content == "EFI")
        return fail("diskutil: " + v.identifier + " can't be erased as APFS: it is not a data partition");
    const std::string diskId = disk.identifier, partitionId = v.identifier;
    say("Started erase on " + partitionId + (v.name.empty() ? "" : " " + v.name));
    say("Unmounting disk");
    if (!m.unmount(v, &error)) return fail(error);
    say("Erasing");
    if (!m.wipeFiles(v, &error)) return fail(error);
    sim::removeTree(m.root, m.storeOf(v), nullptr);
    v.content = "Apple_APFS";
    v.name.clear();
    v.filesystem.clear();
    v.volumeUUID.clear();
    v.totalSize = 0;
    v.freeSpace = 0;
    Volume* created = makeContainer(m, diskId, partitionId, name);
    say("Mounting disk");
    if (m.mount(*created, &error).empty()) return fail("diskutil: " + error);
    say("Finished erase on " + partitionId);
    return 0;
}

int cmdEraseVolume(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 3) return usage();
    const auto format = formatNamed(operands[0]);
    if (!format) return fail("diskutil: " + operands[0] + " is not a file system format this disk tool knows");
    std::string error;
    auto t = m.resolve(operands[2], &error);
    if (!t) return fail(error);
    if (!t->volume || t->snapshot) return fail("diskutil: " + operands[2] + " is not a volume");
    const std::string name = operands[1].empty() ? "Untitled" : operands[1];
    if (format->apfs && !t->volume->isApfsVolume()) return convertToApfs(m, *t->disk, *t->volume, name);
    return eraseOne(m, *t->volume, *format, name);
}

int cmdReformat(Machine& m, const std::vector<std::string>& operands) {
    if (operands.size() != 1) return usage();
    std::string error;
    auto t = m.resolve(operands[0], &error);
    if (!t) return fail(error);
    if (!t->volume || t->snapshot || t->volume->filesystem.empty())
        return fail("diskutil: " + operands[0] + " holds no volume to reformat");
    Volume& v = *t->volume;
    const auto format = formatNamed(v.filesystem == "Case-sensitive Journaled HFS+" ? "JHFS+" : v.filesystem);
    if (!format) return fail("diskutil: " + v.filesystem + " can't be reformatted");
    return eraseOne(m, v, *format, v.name);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::journalRun(kTool, args);
    const auto root = sim::toolRoot(kTool);
    if (!root) return 2;
    if (args.empty()) return usage();

    const std::string command = args[0];
    bool plist = false;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-plist") plist = true;
        else operands.push_back(args[i]);
    }

    std::string error;
    auto snapshot = Machine::load(*root, &error);
    if (!snapshot) return fail("diskutil: " + error);
    std::vector<std::string> words{kTool, command};
    words.insert(words.end(), operands.begin(), operands.end());
    const std::string knob = snapshot->knob(words);
    if (auto code = sim::applyCommonKnob(knob, kTool)) return *code;

    if (command == "list" || command == "info") {
        const int rc = command == "list" ? cmdList(*snapshot, operands, plist, knob) : cmdInfo(*snapshot, operands, plist);
        // A tool that prints its record and still fails: "answer-then-fail" exits 1
        // after it, "answer-then-hang" never exits.
        if (knob == "answer-then-fail") return fail("diskutil: failed after answering (simulated failure)");
        if (knob == "answer-then-hang") sim::applyCommonKnob("hang", kTool);
        return rc;
    }
    if (command == "appleRAID") return cmdAppleRaid(*snapshot, operands, plist);
    if (command == "resizeVolume") {
        // Recorded in the journal only: nothing in the machine changes.
        say("resizeVolume: recorded; the simulated machine does not resize volumes");
        return 0;
    }
    if (command == "eraseDisk") return change(*root, [&](Machine& m) { return cmdEraseDisk(m, operands, knob); });
    if (command == "eraseVolume") return change(*root, [&](Machine& m) { return cmdEraseVolume(m, operands); });
    if (command == "reformat") {
        // A reformat writes a whole new file system: it takes a while, and the
        // volume changes only at its end.
        std::this_thread::sleep_for(std::chrono::duration<double>(kit::scaled(kReformatSeconds)));
        return change(*root, [&](Machine& m) { return cmdReformat(m, operands); });
    }
    if (command == "unmountDisk") return change(*root, [&](Machine& m) { return cmdUnmountDisk(m, operands); });
    if (command == "mountDisk") return change(*root, [&](Machine& m) { return cmdMountDisk(m, operands); });
    if (command == "eject") return change(*root, [&](Machine& m) { return cmdEject(m, operands); });
    if (command == "rename") return change(*root, [&](Machine& m) { return cmdRename(m, operands); });
    return usage();
}
