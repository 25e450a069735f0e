// The stand-in disk tool against the "filters" machine: the keys the system
// reads, the changes it makes to folders, its refusals and its knobs.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <thread>

#include "ToolRun.h"
#include "support/EnvGuard.h"
#include "kit/Process.h"
#include "kit/SysPath.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;
using simtest::run;

namespace {

class Diskutil : public ::testing::Test {
protected:
    sim::SimRoot sim{"filters"};
    void SetUp() override { ASSERT_TRUE(sim.ok()) << sim.error(); }

    kit::Value info(const std::string& operand) {
        auto r = run({"diskutil", "info", "-plist", operand});
        EXPECT_EQ(r.status, 0) << operand << ": " << r.err;
        auto v = r.plist();
        EXPECT_TRUE(v && v->isDict()) << operand;
        return v ? *v : kit::Value();
    }
    kit::Value list(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> words{"diskutil", "list", "-plist"};
        words.insert(words.end(), extra.begin(), extra.end());
        auto r = run(words);
        EXPECT_EQ(r.status, 0) << r.err;
        auto v = r.plist();
        EXPECT_TRUE(v && v->isDict());
        return v ? *v : kit::Value();
    }
    static const kit::Value* entryOf(const kit::Value& listOut, const std::string& id) {
        for (const auto& e : *listOut.getArray("AllDisksAndPartitions"))
            if (e.getString("DeviceIdentifier") == id) return &e;
        return nullptr;
    }
    std::set<std::string> volumeFolders() {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(sim.path("/Volumes"))) names.insert(e.path().filename().string());
        return names;
    }
};

TEST_F(Diskutil, ListGivesEveryDiskWithTheShapeOfItsKind) {
    const kit::Value out = list();
    ASSERT_NE(out.getArray("AllDisksAndPartitions"), nullptr);
    ASSERT_NE(out.getArray("WholeDisks"), nullptr);
    EXPECT_EQ(out.getArray("WholeDisks")->size(), 18u);  // disk0 … disk17

    // AllDisks: each whole disk followed by its slices, in the tool's order.
    const auto& all = *out.getArray("AllDisks");
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all[0].asString(), "disk0");
    EXPECT_EQ(all[1].asString(), "disk0s1");

    // A container: empty Partitions, its volumes under APFSVolumes.
    const kit::Value* c = entryOf(out, "disk3");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->getArray("Partitions")->size(), 0u);
    const auto& vols = *c->getArray("APFSVolumes");
    const kit::Value* system = nullptr;
    const kit::Value* data = nullptr;
    const kit::Value* nameless = nullptr;
    for (const auto& v : vols) {
        if (v.getString("VolumeName") == "System HD") system = &v;
        if (v.getString("VolumeName") == "System HD - Data") data = &v;
        if (!v.getString("VolumeName")) nameless = &v;
    }
    ASSERT_TRUE(system && data && nameless);
    // The sealed system: no mount point of its own, its snapshot at the root.
    EXPECT_FALSE(system->getString("MountPoint"));
    ASSERT_NE(system->getArray("MountedSnapshots"), nullptr);
    EXPECT_EQ((*system->getArray("MountedSnapshots"))[0].getString("SnapshotMountPoint"), sim.root());
    EXPECT_EQ(data->getBool("OSInternal"), true);
    EXPECT_EQ(data->getString("MountPoint"), sim.path("/System/Volumes/Data"));
    EXPECT_EQ(nameless->getInt("Size"), 0);

    // A partitioned disk: Partitions with Content; mounted slices carry MountPoint.
    const kit::Value* usb = entryOf(out, "disk4");
    ASSERT_NE(usb, nullptr);
    const auto& parts = *usb->getArray("Partitions");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].getString("Content"), "EFI");
    EXPECT_FALSE(parts[0].getString("MountPoint"));
    EXPECT_EQ(parts[1].getString("MountPoint"), sim.path("/Volumes/USB"));
    EXPECT_FALSE(usb->getArray("APFSVolumes"));

    // Whole disks without a partition map: no Partitions at all.
    for (const char* id : {"disk12", "disk13", "disk14", "disk16"}) {
        const kit::Value* e = entryOf(out, id);
        ASSERT_NE(e, nullptr) << id;
        EXPECT_FALSE(e->getArray("Partitions")) << id;
    }
    EXPECT_EQ(entryOf(out, "disk14")->getString("Content"), "Apple_HFSX");

    // Contents the filters skip are all there to be skipped.
    std::set<std::string> contents;
    for (const auto& e : *out.getArray("AllDisksAndPartitions"))
        if (const auto* p = e.getArray("Partitions"))
            for (const auto& slice : *p) contents.insert(slice.getString("Content").value_or(""));
    for (const char* want : {"EFI", "Apple_Boot", "Apple_RAID", "Apple_APFS_ISC", "Apple_APFS_Recovery",
                             "Apple_CoreStorage", "Apple_APFS", "Apple_HFS", "Microsoft Basic Data"})
        EXPECT_TRUE(contents.count(want)) << want;
}

TEST_F(Diskutil, ListOfOneDiskAndItsKnobs) {
    const kit::Value one = list({"/dev/disk7"});
    EXPECT_EQ(one.getArray("AllDisksAndPartitions")->size(), 1u);
    EXPECT_EQ(*one.getArray("AllDisks"), (kit::Value::Array{kit::Value("disk7"), kit::Value("disk7s1"), kit::Value("disk7s2")}));
    const kit::Value container = list({"disk8"});
    EXPECT_EQ(entryOf(container, "disk8")->getArray("APFSVolumes")->size(), 3u);

    sim.setKnob("diskutil list", "noAllDisksAndPartitions");
    kit::Value fallback = list();
    EXPECT_FALSE(fallback.get("AllDisksAndPartitions"));
    EXPECT_TRUE(fallback.getArray("AllDisks"));
    EXPECT_TRUE(fallback.getArray("WholeDisks"));
    sim.setKnob("diskutil list", "noAllDisks");
    kit::Value none = list();
    EXPECT_FALSE(none.get("AllDisksAndPartitions"));
    EXPECT_FALSE(none.get("AllDisks"));
}

TEST_F(Diskutil, InfoFindsAVolumeByEveryFormOfOperand) {
    const kit::Value byId = info("disk4s2");
    const std::string volumeUUID = byId.getString("VolumeUUID").value_or("");
    const std::string diskUUID = byId.getString("DiskUUID").value_or("");
    ASSERT_FALSE(volumeUUID.empty());
    ASSERT_FALSE(diskUUID.empty());
    std::string lowerUUID = volumeUUID;
    for (char& ch : lowerUUID) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const std::string& operand : {std::string("/dev/disk4s2"), std::string("/dev/rdisk4s2"),
                                       sim.path("/Volumes/USB"), sim.path("/Volumes/USB/"),
                                       std::string("/Volumes/USB"), std::string("USB"), volumeUUID, diskUUID,
                                       lowerUUID}) {
        EXPECT_EQ(info(operand).getString("DeviceIdentifier"), "disk4s2") << operand;
    }
    // Every key the system reads of a mounted volume.
    EXPECT_EQ(byId.getString("MountPoint"), sim.path("/Volumes/USB"));
    EXPECT_EQ(byId.getString("VolumeName"), "USB");
    EXPECT_EQ(byId.getString("FilesystemName"), "ExFAT");
    EXPECT_EQ(byId.getString("DeviceNode"), "/dev/disk4s2");
    EXPECT_EQ(byId.getString("BusProtocol"), "USB");
    EXPECT_EQ(byId.getBool("Ejectable"), true);
    EXPECT_EQ(byId.getBool("WholeDisk"), false);
    EXPECT_GT(byId.getInt("TotalSize").value_or(0), byId.getInt("FreeSpace").value_or(0));
    EXPECT_FALSE(byId.get("APFSContainerFree"));

    auto missing = run({"diskutil", "info", "-plist", "disk99"});
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("disk99"), std::string::npos);
}

TEST_F(Diskutil, InfoOfTheRootIsTheMountedSnapshot) {
    for (const std::string& operand : {std::string("/"), sim.root()}) {
        const kit::Value root = info(operand);
        EXPECT_EQ(root.getString("DeviceIdentifier"), "disk3s1s1") << operand;
        EXPECT_EQ(root.getString("MountPoint"), sim.root());
        EXPECT_EQ(root.getString("FilesystemName"), "APFS");
        const int64_t total = root.getInt("TotalSize").value_or(0);
        const int64_t free = root.getInt("APFSContainerFree").value_or(-1);
        EXPECT_GT(total, 0);
        EXPECT_GT(free, 0);
        EXPECT_LT(free, total);
        EXPECT_EQ(root.getInt("FreeSpace"), free);
    }
    // The Data volume is reported where it is mounted.
    EXPECT_EQ(info(sim.path("/System/Volumes/Data")).getString("DeviceIdentifier"), "disk3s5");
}

TEST_F(Diskutil, InfoOfWholeDisksCarriesTheExternalFilterKeys) {
    struct Case {
        const char* id;
        const char* bus;       // nullptr: key absent
        bool ejectable;
        const char* physical;  // VirtualOrPhysical
        bool raidMaster, coreStorage;
        const char* content;
        bool hasRegistryName;
    };
    const Case cases[] = {
        {"disk0", "Apple Fabric", false, "Physical", false, false, "GUID_partition_scheme", true},
        {"disk3", "Apple Fabric", false, "Virtual", false, false, sim::kApfsContainerContent, true},
        {"disk4", "USB", true, "Physical", false, false, "GUID_partition_scheme", true},
        {"disk5", "USB", true, "Physical", false, false, "GUID_partition_scheme", false},
        {"disk6", "SATA", false, "Physical", false, false, "GUID_partition_scheme", true},
        {"disk7", "PCI-Express", true, "Physical", false, false, "GUID_partition_scheme", true},
        {"disk9", "PCI-Express", false, "Physical", false, false, "GUID_partition_scheme", true},
        {"disk12", nullptr, false, "Physical", true, false, "Apple_HFS", true},
        {"disk14", "USB", true, "Physical", false, false, "Apple_HFSX", true},
        {"disk15", "USB", true, "Physical", false, true, "GUID_partition_scheme", true},
        {"disk16", "USB", true, "Virtual", false, false, "Apple_HFS", true},
        {"disk17", "Disk Image", true, "Virtual", false, false, "GUID_partition_scheme", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const kit::Value d = info(std::string("/dev/") + c.id);
        EXPECT_EQ(d.getString("DeviceIdentifier"), c.id);
        EXPECT_EQ(d.getBool("WholeDisk"), true);
        if (c.bus) EXPECT_EQ(d.getString("BusProtocol"), c.bus);
        else EXPECT_FALSE(d.get("BusProtocol"));
        EXPECT_EQ(d.getBool("Ejectable"), c.ejectable);
        EXPECT_EQ(d.getString("VirtualOrPhysical"), c.physical);
        EXPECT_EQ(d.getBool("RAIDMaster"), c.raidMaster);
        EXPECT_EQ(d.getBool("CoreStorageEncrypted"), c.coreStorage);
        EXPECT_EQ(d.getString("Content"), c.content);
        EXPECT_EQ(d.getString("IORegistryEntryName").has_value(), c.hasRegistryName);
        EXPECT_TRUE(d.getInt("TotalSize").has_value());
    }
}

TEST_F(Diskutil, InfoLinksContainersToTheirStoresAndSpecialVolumes) {
    // The walk from a physical disk to its container's Preboot volume.
    EXPECT_FALSE(info("disk7s1").get("APFSContainerReference"));
    EXPECT_EQ(info("disk7s2").getString("APFSContainerReference"), "disk8");
    const kit::Value thunder = info("disk8s1");
    EXPECT_EQ(thunder.getString("APFSContainerReference"), "disk8");
    EXPECT_EQ(thunder.getString("BooterDeviceIdentifier"), "disk8s2");
    EXPECT_EQ(thunder.getString("RecoveryDeviceIdentifier"), "disk8s3");
    EXPECT_TRUE(thunder.getInt("APFSContainerFree").has_value());
    EXPECT_EQ(info("disk3s2").getString("BooterDeviceIdentifier"), "disk3s2");
    // An unmounted volume reports an empty mount point, not a missing one.
    EXPECT_EQ(info("disk3s3").getString("MountPoint"), "");
    EXPECT_EQ(info("disk6s3").getString("Content"), "Apple_Boot");

    auto raid = run({"diskutil", "appleRAID", "list", "-plist"});
    ASSERT_EQ(raid.status, 0) << raid.err;
    const auto raidList = raid.plist();
    ASSERT_TRUE(raidList);
    auto sets = raidList->getArray("AppleRAIDSets");
    ASSERT_TRUE(sets);
    ASSERT_EQ(sets->size(), 1u);
    EXPECT_EQ((*sets)[0].getString("BSD Name"), "disk12");
    EXPECT_EQ((*sets)[0].getArray("Members")->size(), 2u);
}

TEST_F(Diskutil, EraseDiskMakesOneFreshMountedVolume) {
    ASSERT_TRUE(fs::exists(sim.path("/Volumes/Thunder")));
    std::ofstream(sim.path("/Volumes/Thunder/keep.txt")) << "old";
    auto r = run({"diskutil", "eraseDisk", "APFS", "PelorinSystem", "disk7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("disk7"), std::string::npos);

    // The old container's volumes are gone with their files; the new one is mounted, empty.
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Thunder")));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot")));
    ASSERT_TRUE(fs::is_directory(sim.path("/Volumes/PelorinSystem")));
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/PelorinSystem")));
    const kit::Value fresh = info(sim.path("/Volumes/PelorinSystem"));
    EXPECT_EQ(fresh.getString("FilesystemName"), "APFS");
    EXPECT_EQ(fresh.getString("VolumeName"), "PelorinSystem");
    const std::string container = fresh.getString("APFSContainerReference").value_or("");
    EXPECT_EQ(info("disk7s2").getString("APFSContainerReference"), container);

    // The summary kit reads follows the change.
    auto state = kit::readPlistFile(sim::Machine::statePath(sim.root()));
    ASSERT_TRUE(state);
    std::set<std::string> mounts;
    for (const auto& v : *state->getArray("Volumes")) mounts.insert(v.getString("MountPoint").value_or(""));
    EXPECT_TRUE(mounts.count(sim.path("/Volumes/PelorinSystem")));
    EXPECT_FALSE(mounts.count(sim.path("/Volumes/Thunder")));

    // Other file systems keep a plain partition.
    auto hfs = run({"diskutil", "eraseDisk", "JHFS+", "Plain", "/dev/disk4"});
    ASSERT_EQ(hfs.status, 0) << hfs.err;
    const kit::Value plain = info("Plain");
    EXPECT_EQ(plain.getString("DeviceIdentifier"), "disk4s2");
    EXPECT_EQ(plain.getString("FilesystemName"), "Journaled HFS+");
    EXPECT_EQ(plain.getString("Content"), "Apple_HFS");
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
}

TEST_F(Diskutil, EraseDiskRefusesWhatItMustNotErase) {
    const auto before = volumeFolders();
    for (const std::vector<std::string>& words : {
             std::vector<std::string>{"diskutil", "eraseDisk", "APFS", "X", "disk0"},        // the running system
             std::vector<std::string>{"diskutil", "eraseDisk", "APFS", "X", "disk3"},        // its container
             std::vector<std::string>{"diskutil", "eraseDisk", "APFS", "X", "disk4s2"},      // a slice
             std::vector<std::string>{"diskutil", "eraseDisk", "NTFS", "X", "disk4"},        // unknown format
             std::vector<std::string>{"diskutil", "eraseDisk", "APFS", "X", "disk42"},       // no such disk
             std::vector<std::string>{"diskutil", "eraseDisk", "APFS", "disk4"},             // too few words
         }) {
        auto r = run(words);
        EXPECT_NE(r.status, 0) << simtest::quoted(words);
        EXPECT_FALSE(r.err.empty()) << simtest::quoted(words);
    }
    EXPECT_EQ(volumeFolders(), before);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/USB/readme.txt")));
}

TEST_F(Diskutil, UnmountedEraseIsMountedByUnmountAndMountDisk) {
    sim.setKnob("diskutil eraseDisk", "unmounted");
    auto r = run({"diskutil", "eraseDisk", "JHFS+", "PelorinSystem", "disk4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/PelorinSystem")));
    EXPECT_EQ(info("disk4s2").getString("MountPoint"), "");

    ASSERT_EQ(run({"diskutil", "unmountDisk", "/dev/disk4"}).status, 0);
    auto m = run({"diskutil", "mountDisk", "/dev/disk4"});
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_TRUE(fs::is_directory(sim.path("/Volumes/PelorinSystem")));
    EXPECT_EQ(info("disk4s2").getString("MountPoint"), sim.path("/Volumes/PelorinSystem"));
    // The EFI slice is never mounted.
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/EFI")));
}

TEST_F(Diskutil, UnmountAndMountKeepTheFiles) {
    const std::string song = sim.path("/Volumes/USB/Music/track01.mp3");
    const auto size = fs::file_size(song);
    ASSERT_EQ(run({"diskutil", "unmountDisk", "/dev/disk4"}).status, 0);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    ASSERT_EQ(run({"diskutil", "mountDisk", "/dev/disk4"}).status, 0);
    ASSERT_TRUE(fs::exists(song));
    EXPECT_EQ(fs::file_size(song), size);
    EXPECT_TRUE(fs::is_symlink(sim.path("/Volumes/USB/Docs link")));

    // A container mounted through its physical disk: its Preboot lands under /Volumes.
    ASSERT_EQ(run({"diskutil", "unmountDisk", "disk7"}).status, 0);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot")));
    ASSERT_EQ(run({"diskutil", "mountDisk", "/dev/disk8s2"}).status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Preboot")));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Thunder")));

    // The running system's disks can't be unmounted.
    auto busy = run({"diskutil", "unmountDisk", "/dev/disk3"});
    EXPECT_NE(busy.status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Data")));
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Preboot/Cryptexes")));
}

TEST_F(Diskutil, EjectRemovesTheWholeDiskWhateverNamesIt) {
    // By a volume's disk UUID, as the Disk Manager does.
    const std::string uuid = info("disk4s2").getString("DiskUUID").value_or("");
    auto r = run({"diskutil", "eject", uuid});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    EXPECT_EQ(run({"diskutil", "info", "-plist", "disk4"}).status, 1);

    // By an APFS volume's UUID: the physical disk goes with its container.
    const std::string thunder = info("Thunder").getString("VolumeUUID").value_or("");
    ASSERT_EQ(run({"diskutil", "eject", thunder}).status, 0);
    for (const char* gone : {"/Volumes/Thunder", "/Volumes/Preboot", "/Volumes/Recovery"})
        EXPECT_FALSE(fs::exists(sim.path(gone))) << gone;
    const kit::Value after = list();
    EXPECT_EQ(entryOf(after, "disk7"), nullptr);
    EXPECT_EQ(entryOf(after, "disk8"), nullptr);

    // By mount point; a fixed internal disk only loses its mounts.
    ASSERT_EQ(run({"diskutil", "eject", sim.path("/Volumes/Scratch")}).status, 0);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Scratch")));
    EXPECT_NE(entryOf(list(), "disk9"), nullptr);

    // Never the running system.
    for (const std::string& operand : {std::string("/"), sim.path("/System/Volumes/Data"), std::string("disk0")})
        EXPECT_NE(run({"diskutil", "eject", operand}).status, 0) << operand;
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Data")));
}

TEST_F(Diskutil, RenameMovesTheMountFolderAndTakesAnyNameLiterally) {
    const std::string sentinel = sim.path("/tmp/pwned");
    const std::string nasty = "Name \"quoted\" $(touch " + sentinel + ") `touch " + sentinel + "` 'single'";
    const std::string uuid = info("disk4s2").getString("DiskUUID").value_or("");
    auto r = run({"diskutil", "rename", uuid, nasty});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(sentinel));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    const auto runs = sim.journalFor("diskutil");
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back().args, (std::vector<std::string>{"rename", uuid, nasty}));
    // The slashes of the name can't make folders: they show as colons.
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/" + sim::mountFolderName(nasty) + "/readme.txt")));
    EXPECT_EQ(info("disk4s2").getString("VolumeName"), nasty);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Name \"quoted\" $(touch ")));

    // Names can't lead out of /Volumes.
    ASSERT_EQ(run({"diskutil", "rename", "disk5s2", "../../escape"}).status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/..:..:escape/file.txt")));
    ASSERT_EQ(run({"diskutil", "rename", "disk5s2", ".."}).status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Untitled/file.txt")));
    EXPECT_FALSE(fs::exists(sim.path("/escape")));

    // A taken name gets a number; an empty one is refused.
    ASSERT_EQ(run({"diskutil", "rename", "disk13", "Archive"}).status, 0);
    EXPECT_EQ(info("disk13").getString("MountPoint"), sim.path("/Volumes/Archive 1"));
    EXPECT_NE(run({"diskutil", "rename", "disk13", ""}).status, 0);
}

TEST_F(Diskutil, EraseVolumeAndReformatWipeOneVolume) {
    auto r = run({"diskutil", "eraseVolume", "MS-DOS FAT32", "STICK", "/dev/disk4s2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    ASSERT_TRUE(fs::is_directory(sim.path("/Volumes/STICK")));
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/STICK")));
    const kit::Value stick = info("STICK");
    EXPECT_EQ(stick.getString("FilesystemName"), "MS-DOS FAT32");
    EXPECT_EQ(stick.getString("DeviceIdentifier"), "disk4s2");
    EXPECT_NE(run({"diskutil", "eraseVolume", "MS-DOS FAT32", "TWELVECHARSX", "disk4s2"}).status, 0);

    // reformat keeps the name and the file system, with a new volume identity.
    std::ofstream(sim.path("/Volumes/Thunder/data.bin")) << "payload";
    const std::string before = info("disk8s1").getString("VolumeUUID").value_or("");
    ASSERT_EQ(run({"diskutil", "reformat", "/dev/disk8s1"}).status, 0);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Thunder/data.bin")));
    const kit::Value thunder = info("disk8s1");
    EXPECT_EQ(thunder.getString("VolumeName"), "Thunder");
    EXPECT_EQ(thunder.getString("MountPoint"), sim.path("/Volumes/Thunder"));
    EXPECT_NE(thunder.getString("VolumeUUID"), before);

    // The running system's volumes are never erased.
    EXPECT_NE(run({"diskutil", "eraseVolume", "APFS", "X", "/dev/disk3s5"}).status, 0);
    EXPECT_NE(run({"diskutil", "reformat", "/"}).status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Data/Library/Caches/cache.db")));
}

TEST_F(Diskutil, ResizeVolumeAndKillallOnlyLeaveAJournalRecord) {
    std::ifstream in(sim::Machine::statePath(sim.root()), std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    sim.clearJournal();
    EXPECT_EQ(run({"diskutil", "resizeVolume", "disk4s2", "1000B", "JHFS+", "PelorinSystem", "2500000000B"}).status, 0);
    EXPECT_EQ(run({"killall", "mds_stores"}).status, 0);
    std::ifstream again(sim::Machine::statePath(sim.root()), std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    EXPECT_EQ(before, after);
    const auto runs = sim.journal();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].args[0], "resizeVolume");
    EXPECT_EQ(runs[1].tool, "killall");
    EXPECT_EQ(runs[1].args, std::vector<std::string>{"mds_stores"});
}

TEST_F(Diskutil, KnobsDriveEveryFailureKind) {
    const auto before = volumeFolders();

    sim.setKnob("diskutil eraseDisk", "fail");
    auto failed = run({"diskutil", "eraseDisk", "APFS", "PelorinSystem", "disk4"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(failed.err.empty());
    EXPECT_EQ(volumeFolders(), before);

    sim.setKnob("diskutil list", "garbage");
    auto garbage = run({"diskutil", "list", "-plist"});
    EXPECT_EQ(garbage.status, 0);
    EXPECT_FALSE(garbage.out.empty());
    EXPECT_FALSE(garbage.plist());

    // A knob on one operand leaves the others alone.
    sim.setKnob("diskutil info disk4s2", "fail");
    EXPECT_NE(run({"diskutil", "info", "-plist", "disk4s2"}).status, 0);
    EXPECT_EQ(run({"diskutil", "info", "-plist", "disk5s2"}).status, 0);

    sim.setKnob("diskutil info", "slow");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(run({"diskutil", "info", "-plist", "disk5s2"}).status, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));

    // hang: still running until terminated, without holding the machine's lock.
    sim.setKnob("diskutil mountDisk", "hang");
    auto p = kit::Process::create();
    p->setLaunchPath(sim.path("/usr/sbin/diskutil"));
    p->setArguments({"mountDisk", "disk4"});
    p->setStandardOutputToNull(true);
    ASSERT_TRUE(p->launch());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(p->isRunning());
    EXPECT_EQ(run({"diskutil", "unmountDisk", "disk5"}).status, 0);
    p->terminate();
    p->waitUntilExit();
    EXPECT_TRUE(p->terminatedBySignal());
    EXPECT_EQ(p->terminationStatus(), SIGTERM);

    sim.clearKnobs();
    EXPECT_EQ(run({"diskutil", "info", "-plist", "disk4s2"}).status, 0);
}

// "othername": a format or a rename that says it worked and leaves the volume
// under another name than the one asked for.
TEST_F(Diskutil, OtherNameKnobLeavesTheVolumeUnderAnotherName) {
    sim.setKnob("diskutil rename", "othername");
    EXPECT_EQ(run({"diskutil", "rename", "disk4s2", "Stick"}).status, 0);
    EXPECT_EQ(info("disk4s2").getString("VolumeName"), "USB");
    sim.setKnob("diskutil eraseVolume", "othername");
    EXPECT_EQ(run({"diskutil", "eraseVolume", "ExFAT", "Stick", "disk4s2"}).status, 0);
    EXPECT_EQ(info("disk4s2").getString("VolumeName"), "Untitled");
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/Untitled")));
}

// Under /dev the tool knows its device nodes only: a name there that is none
// is no disk, even one that leads to a volume's folder.
TEST_F(Diskutil, ANameUnderDevThatIsNoDeviceNodeIsNoDisk) {
    for (const std::string& operand : {std::string("/dev/../Volumes/USB"), std::string("/dev/fd/../../Volumes/USB"),
                                       std::string("/dev/USB"), std::string("/dev/disk4s2/"), std::string("/dev/disk"),
                                       std::string("/dev/disk4s"), std::string("/dev/rUSB")}) {
        for (const std::vector<std::string>& words :
             {std::vector<std::string>{"diskutil", "info", "-plist", operand},
              std::vector<std::string>{"diskutil", "eraseVolume", "ExFAT", "X", operand},
              std::vector<std::string>{"diskutil", "eject", operand}}) {
            const auto r = run(words);
            EXPECT_NE(r.status, 0) << simtest::quoted(words);
            EXPECT_NE(r.err.find("Could not find disk: " + operand), std::string::npos) << r.err;
        }
    }
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/USB")));
    EXPECT_EQ(info("/dev/rdisk4s2").getString("DeviceIdentifier"), "disk4s2");
}

TEST_F(Diskutil, RefusesToActOutsideItsMachine) {
    // A folder outside the root, reachable through a link planted inside it.
    const std::string outside = sim.root() + "-outside";
    fs::create_directories(outside);
    std::ofstream(outside + "/precious.txt") << "keep me";
    fs::create_directory_symlink(outside, sim.path("/Volumes/Evil"));

    for (const std::vector<std::string>& words : {
             std::vector<std::string>{"diskutil", "info", "-plist", sim.path("/Volumes/Evil")},
             std::vector<std::string>{"diskutil", "info", "-plist", outside},
             std::vector<std::string>{"diskutil", "info", "-plist", "/../../../../etc"},
             std::vector<std::string>{"diskutil", "eraseVolume", "ExFAT", "X", sim.path("/Volumes/Evil")},
             std::vector<std::string>{"diskutil", "eject", outside},
             std::vector<std::string>{"diskutil", "rename", outside, "X"},
         }) {
        EXPECT_NE(run(words).status, 0) << simtest::quoted(words);
    }
    EXPECT_TRUE(fs::exists(outside + "/precious.txt"));

    // A volume mounted next to a planted link never moves into it.
    ASSERT_EQ(run({"diskutil", "rename", "disk4s2", "Evil"}).status, 0);
    EXPECT_EQ(info("disk4s2").getString("MountPoint"), sim.path("/Volumes/Evil 1"));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
    fs::remove_all(outside);

    // Without a simulated machine the tool does nothing at all.
    const std::string line = "env -u PELORIN_SYSROOT " + kit::shellQuote(sim.path("/usr/sbin/diskutil")) +
                             " eraseDisk APFS X disk4 2>&1; echo \"rc=$?\"";
    auto out = kit::runShellCapture(line);
    ASSERT_TRUE(out);
    EXPECT_NE(out->find("PELORIN_SYSROOT"), std::string::npos);
    EXPECT_NE(out->find("rc=2"), std::string::npos);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Evil 1/readme.txt")));
}

// A machine whose root lies under /dev (a folder in RAM): its mount points are
// paths there, not device nodes.
TEST(DiskutilRootUnderDev, MountPointsThereArePathsNotDeviceNodes) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm here";
    std::optional<sim::SimRoot> sim;
    {
        EnvGuard tmp("TMPDIR", "/dev/shm");
        sim.emplace("filters");
    }
    ASSERT_TRUE(sim->ok()) << sim->error();
    ASSERT_EQ(sim->root().rfind("/dev/shm/", 0), 0u);
    auto r = run({"diskutil", "info", "-plist", sim->path("/Volumes/USB")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto v = r.plist();
    ASSERT_TRUE(v && v->isDict());
    EXPECT_EQ(v->getString("DeviceIdentifier"), "disk4s2");
    EXPECT_NE(run({"diskutil", "info", "-plist", "/dev/null"}).status, 0);
    EXPECT_NE(run({"diskutil", "info", "-plist", "/dev/disk99"}).status, 0);
}

}  // namespace
