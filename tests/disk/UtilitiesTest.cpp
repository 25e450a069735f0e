// The volume record, size texts, version integers and the disk-list text file.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Disk/OVPublicUtilities.h"
#include "Disk/PublicObj.h"
#include "Disk/VolumeObj.h"
#include "DiskTestRoot.h"

// The screens read an empty record as "nothing known": no name, no mount
// point, no sizes, not ejectable.
TEST(VolumeRecord, AFreshRecordIsEmptyAndKeepsCopiesOfItsTexts) {
    VolumeObj v;
    for (const std::string& text : {v.volumeType(), v.volumeName(), v.volumePath(), v.volumeMountPoint(),
                                    v.volumeTotalSize(), v.volumeFreeSize(), v.diskType(), v.diskId(), v.diskUUID(),
                                    v.volRootDir()})
        EXPECT_EQ(text, "");
    EXPECT_EQ(v.volumeTotalSizeNum(), 0);
    EXPECT_EQ(v.volumeFreeSizeNum(), 0);
    EXPECT_EQ(v.volumeNum(), 0);
    EXPECT_EQ(v.chrCount(), 0);
    EXPECT_FALSE(v.bCanEject());
    EXPECT_FALSE(v.isWritable() || v.isInter() || v.isSolidState() || v.isDisk() || v.isOeners());

    std::string name = "USB";
    v.setVolumeName(name);
    name += " changed";
    EXPECT_EQ(v.volumeName(), "USB");
}

TEST(SizeText, UnitBoundariesAreInclusive) {
    const std::pair<int64_t, const char*> cases[] = {
        {-1, "-1 byte"},
        {0, "0 byte"},
        {999, "999 byte"},
        {1000, "1.00 KB"},
        {999999, "1000.00 KB"},
        {1000000, "1.00 MB"},
        {999999999, "1000.00 MB"},
        {1000000000, "1.00 GB"},
        {999999999999LL, "1000.00 GB"},
        {1000000000000LL, "1.00 TB"},
        {123456789, "123.46 MB"},
    };
    for (const auto& [size, text] : cases) {
        EXPECT_EQ(OVPublicUtilities::longlongDiskSize(size), text) << size;
        EXPECT_EQ(OVPublicUtilities::longlongConvertVolSpace(size), text) << size;
    }
}

TEST(SizeText, QuotientIsRoundedToSinglePrecisionFirst) {
    // 1.065 in double precision prints as 1.06; its single-precision neighbour as 1.07.
    EXPECT_EQ(OVPublicUtilities::longlongDiskSize(1065), "1.07 KB");
    EXPECT_EQ(OVPublicUtilities::longlongConvertVolSpace(1005000002), "1.00 GB");
    EXPECT_EQ(OVPublicUtilities::convertVolSpace(1065), "1.07 KB");
}

TEST(SizeText, FileSizesStopAtGigabytes) {
    EXPECT_EQ(OVPublicUtilities::convertVolSpace(2000000000000ULL), "2000.00 GB");
    EXPECT_EQ(OVPublicUtilities::convertVolSpace(999), "999 byte");
    EXPECT_EQ(OVPublicUtilities::convertVolSpace(1000), "1.00 KB");
}

TEST(SizeText, ReadingASizeTextBack) {
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("1.50 GB"), 1500000000ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("2.00 KB"), 2000ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("3 MB"), 3000000ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("1.00 TB"), 999999995904ULL);  // single-precision product
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("12 byte"), 0ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("1.5 XB"), 0ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString(""), 0ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("-4 GB"), 0ULL);
    EXPECT_EQ(OVPublicUtilities::volSpaceFromString("GB"), 0ULL);
}

TEST(SizeText, MoreThan2GBAndFileSystemNames) {
    EXPECT_FALSE(OVPublicUtilities::isMoreThan2GB(2049LL * 1000000 - 1));
    EXPECT_TRUE(OVPublicUtilities::isMoreThan2GB(2049LL * 1000000));
    EXPECT_FALSE(OVPublicUtilities::isMoreThan2GB(-5000000000LL));
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(0, false, false), "FAT12");
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(9, false, true), "APFS");
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(10, false, false), "Unknown");
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(11, false, false), "Disk");
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(-1, false, false), "Disk");
    EXPECT_EQ(OVPublicUtilities::fileSystemTypeForInt(3, true, false), "Disk Image");
}

TEST(SystemVersion, MajorAndTwoDigitMinor) {
    disktest::ScopedRoot root;
    const std::pair<const char*, int> cases[] = {
        {"10.15.7", 1015}, {"11.7", 1107}, {"10.9.5", 1009}, {"10.10", 1010}, {"13.4", 1304}, {"11.0", 1100}, {"14", 1400},
    };
    for (const auto& [text, value] : cases) {
        root.setVersion(text);
        EXPECT_EQ(OVPublicUtilities::getSystemVersion(), value) << text;
        EXPECT_EQ(PublicObj::getSystemVersion(), value) << text;
    }
    root.setVersion("10.15.7");
    unsigned major = 0, bugFix = 0;
    OVPublicUtilities::getSystemVersionMajor(&major, nullptr, &bugFix);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(bugFix, 7u);
}

TEST(SystemVersion, UnreadableVersionIsTenZero) {
    disktest::ScopedRoot root;
    root.setVersion("");
    EXPECT_EQ(OVPublicUtilities::getSystemVersion(), 1000);
    unsigned major = 0, minor = 9, bugFix = 9;
    PublicObj::getSystemVersionMajor(&major, &minor, &bugFix);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(bugFix, 0u);
}

TEST(DiskListFile, CreatedWithTheFirstTextThenAppendedWithoutSeparators) {
    disktest::ScopedRoot root;
    const std::string path = OVPublicUtilities::diskListFilePath();
    EXPECT_EQ(path, root.path() + "/Users/tester/Desktop/PelorinDiskList.txt");
    OVPublicUtilities::writeFileWithTab("PCI-Express");
    EXPECT_EQ(disktest::readFile(path), "PCI-Express");
    OVPublicUtilities::writeFileWithTab("\n");
    OVPublicUtilities::writeFileWithTab("NO");
    EXPECT_EQ(disktest::readFile(path), "PCI-Express\nNO");
}

TEST(DiskListFile, ConcurrentAppendsAreWholeAndNoneIsLost) {
    disktest::ScopedRoot root;
    const std::string entry(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([t, &entry] {
            for (int i = 0; i < 50; ++i) OVPublicUtilities::writeFileWithTab("<" + std::to_string(t) + entry + ">\n");
        });
    for (auto& th : threads) th.join();
    const std::string text = disktest::readFile(OVPublicUtilities::diskListFilePath());
    size_t lines = 0, pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(pos, end - pos);
        ASSERT_EQ(line.size(), entry.size() + 3) << "torn entry";
        EXPECT_EQ(line.front(), '<');
        EXPECT_EQ(line.back(), '>');
        ++lines;
        pos = end + 1;
    }
    EXPECT_EQ(lines, 300u);
}

TEST(DiskListFile, MissingDesktopLosesTheTextQuietly) {
    disktest::ScopedRoot root("13.4.1", "nobody-home");
    std::filesystem::remove_all(root.path() + "/Users/nobody-home");
    OVPublicUtilities::writeFileWithTab("lost");
    EXPECT_FALSE(std::filesystem::exists(OVPublicUtilities::diskListFilePath()));
}
