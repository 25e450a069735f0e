// Rules of the clone engine that need no machine: the erase's file system,
// the percent a step stands for, and what tells the chosen target disk apart.
#include <gtest/gtest.h>

#include "Bootable/boot/OVBootable.h"
#include "Disk/GetVolumes.h"

namespace {

TEST(CloneEngineRules, FileSystemByVersion) {
    struct { int version; const char* fs; } cases[] = {
        {1009, "HFS+"}, {1012, "HFS+"}, {1013, "APFS"}, {1014, "APFS"}, {1015, "JHFS+"},
        {1100, "JHFS+"}, {1299, "JHFS+"}, {1300, "APFS"}, {1304, "APFS"}, {1500, "APFS"},
    };
    for (const auto& c : cases) EXPECT_EQ(OVBootable::OVFileSystemForVersion(c.version), c.fs) << c.version;
}

TEST(CloneEngineRules, PercentByStep) {
    struct { int step; int percent; } cases[] = {
        {0, 0}, {1, 12}, {2, 25}, {3, 37}, {4, 50}, {5, 62}, {6, 75}, {7, 87}, {8, 100},
        // Steps are read unsigned: anything out of range saturates instead of going negative.
        {9, 100}, {-1, 100}, {-8, 100},
    };
    for (const auto& c : cases) EXPECT_EQ(OVBootable::OVGetPrecentWithStepCode(c.step), c.percent) << c.step;
}

// A disk the scan found without a registry name is recorded as "Unknown":
// the same disk read again still matches. Each identifying key that differs,
// or a record that is missing, refuses it.
TEST(CloneEngineRules, TheChosenDiskIsToldByNameSizeAndUUID) {
    VolumeObj chosen;
    chosen.setVolumePath("disk4");
    chosen.setVolumeName("Unknown");
    chosen.setVolumeTotalSizeNum(32000000000);
    kit::Value record = kit::Value::dict();
    record.set("DeviceIdentifier", kit::Value("disk4"));
    record.set("TotalSize", kit::Value(int64_t(32000000000)));
    record.set("DiskUUID", kit::Value("0A1B-CC"));
    EXPECT_TRUE(OVBootable::OVIsSameDisk(chosen, record));

    chosen.setDiskUUID("0a1b-cc");
    EXPECT_TRUE(OVBootable::OVIsSameDisk(chosen, record));
    chosen.setDiskUUID("0a1b-dd");
    std::string why;
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, record, &why));
    EXPECT_EQ(why, "another disk UUID");
    chosen.setDiskUUID("");

    kit::Value named = record;
    named.set("IORegistryEntryName", kit::Value("Family"));
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, named));
    kit::Value resized = record;
    resized.set("TotalSize", kit::Value(int64_t(32000000001)));
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, resized));
    kit::Value moved = record;
    moved.set("DeviceIdentifier", kit::Value("disk5"));
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, moved));
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, std::nullopt));
    EXPECT_FALSE(OVBootable::OVIsSameDisk(chosen, kit::Value("not a record")));
}

// Two disks of one model and size differ in their partitions: the disk listed
// now must show the recorded ones, UUIDs (in any case), names and sizes alike.
TEST(CloneEngineRules, TheChosenDiskIsToldByItsPartitions) {
    auto partition = [](const char* id, const char* uuid, const char* name, int64_t size) {
        kit::Value p = kit::Value::dict();
        p.set("DeviceIdentifier", kit::Value(id));
        p.set("DiskUUID", kit::Value(std::string("D-") + uuid));
        p.set("VolumeUUID", kit::Value(std::string("v-") + uuid));
        p.set("VolumeName", kit::Value(name));
        p.set("Size", kit::Value(size));
        return p;
    };
    // The list of disk4 with these partitions, or with a file system on the
    // whole disk (no partition map) when `ownVolumeUUID` is given.
    auto listing = [](std::vector<kit::Value> partitions, const char* ownVolumeUUID = nullptr) {
        kit::Value disk = kit::Value::dict();
        disk.set("DeviceIdentifier", kit::Value("disk4"));
        if (ownVolumeUUID) {
            disk.set("VolumeName", kit::Value("Stick"));
            disk.set("VolumeUUID", kit::Value(ownVolumeUUID));
        }
        kit::Value array = kit::Value::array();
        for (auto& p : partitions) array.push(p);
        if (!ownVolumeUUID) disk.set("Partitions", array);
        kit::Value all = kit::Value::array();
        all.push(disk);
        kit::Value list = kit::Value::dict();
        list.set("AllDisksAndPartitions", all);
        return list;
    };
    const kit::Value efi = partition("disk4s1", "a1", "EFI", 209715200);
    const kit::Value data = partition("disk4s2", "b2", "Stick", 31000000000);

    VolumeObj chosen;
    chosen.setVolumePath("disk4");
    // Never listed: nothing to compare.
    EXPECT_TRUE(OVBootable::OVHasSameSlices(chosen, listing({efi})));
    chosen.setDiskSlices(GetVolumes::diskSlicesIn(listing({efi, data}), "disk4"));
    ASSERT_EQ(chosen.diskSlices()->size(), 2u);
    EXPECT_EQ((*chosen.diskSlices())[1].volumeUUID, "V-B2");

    EXPECT_TRUE(OVBootable::OVHasSameSlices(chosen, listing({efi, data})));
    EXPECT_TRUE(OVBootable::OVHasSameSlices(chosen, listing({efi, partition("disk4s2", "B2", "Stick", 31000000000)})));
    std::string why;
    const std::vector<kit::Value> others[] = {
        {efi, partition("disk4s2", "c3", "Stick", 31000000000)},   // another volume, same name
        {efi, partition("disk4s2", "b2", "Family", 31000000000)},
        {efi, partition("disk4s2", "b2", "Stick", 30000000000)},
        {efi},
        {efi, data, partition("disk4s3", "d4", "More", 1000000)},
    };
    for (const auto& other : others) {
        EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, listing(other), &why));
        EXPECT_EQ(why, "other partitions");
    }
    EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, std::nullopt, &why));
    EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, kit::Value("not a list")));

    // A stick without partitions is known by its own fields alone; one that
    // has partitions now is another.
    chosen.setDiskSlices(std::vector<VolumeObj::Slice>{});
    EXPECT_TRUE(OVBootable::OVHasSameSlices(chosen, listing({})));
    EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, listing({data})));

    // A file system on the whole disk, without a partition map, is its slice.
    chosen.setDiskSlices(GetVolumes::diskSlicesIn(listing({}, "E5"), "disk4"));
    ASSERT_EQ(chosen.diskSlices()->size(), 1u);
    EXPECT_TRUE(OVBootable::OVHasSameSlices(chosen, listing({}, "e5")));
    EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, listing({}, "F6")));
    EXPECT_FALSE(OVBootable::OVHasSameSlices(chosen, listing({})));
}

}  // namespace
