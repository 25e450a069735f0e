// The Disk Manager's text rules: the Han range test, the size texts, and the
// names a rename and an erase send to the disk tool.
#include <gtest/gtest.h>

#include "DiskTool/DiskToolCommands.h"

namespace {

TEST(NameRules, HanRangeIsU4E01ToU9FFE) {
    EXPECT_FALSE(containsChinese("backup disk"));
    EXPECT_FALSE(containsChinese(""));
    EXPECT_FALSE(containsChinese("\xE4\xB8\x80"));      // U+4E00, just below
    EXPECT_TRUE(containsChinese("a\xE4\xB8\x81"));      // U+4E01
    EXPECT_TRUE(containsChinese("\xE9\xBF\xBE"));       // U+9FFE
    EXPECT_FALSE(containsChinese("\xE9\xBF\xBF"));      // U+9FFF, just above
    EXPECT_FALSE(containsChinese("\xF0\x9F\x98\x80"));  // outside the basic plane: surrogates
    EXPECT_FALSE(containsChinese("\xE4\xB8"));          // a cut sequence is not a character
}

TEST(NameRules, SizeTexts) {
    EXPECT_EQ(byteToSizeWithByte(0), "0 byte");
    EXPECT_EQ(byteToSizeWithByte(999), "999 byte");
    EXPECT_EQ(byteToSizeWithByte(1000), "1.00 KB");
    EXPECT_EQ(byteToSizeWithByte(999999), "1000.00 KB");
    EXPECT_EQ(byteToSizeWithByte(1000000), "1.00 MB");
    EXPECT_EQ(byteToSizeWithByte(123456789), "123.46 MB");
    EXPECT_EQ(byteToSizeWithByte(999999999999ULL), "1000.00 GB");
    EXPECT_EQ(byteToSizeWithByte(1000000000000ULL), "1.00 TB");
    EXPECT_EQ(byteToSizeWithByte(UINT64_MAX), "18446744.07 TB");
}

TEST(NameRules, RenameOfAFat32VolumeIsUpperCaseAndElevenCharacters) {
    // 16 lower-case letters and blanks: the first 11, upper-cased.
    EXPECT_EQ(renameNameFor("my backup drive!", "MS-DOS FAT32", "USB"), "MY BACKUP D");
    EXPECT_EQ(renameNameFor("short", "ms-dos fat32", "USB"), "SHORT");
    EXPECT_EQ(renameNameFor("caf\xC3\xA9 \xC3\xBC\xC3\xB1", "MS-DOS FAT32", "X"), "CAF\xC3\x89 \xC3\x9C\xC3\x91");
    EXPECT_EQ(renameNameFor("\xD0\xB4\xD0\xB8\xD1\x81\xD0\xBA", "MS-DOS FAT32", "X"), "\xD0\x94\xD0\x98\xD0\xA1\xD0\x9A");
    // A Han character anywhere: "NEW".
    EXPECT_EQ(renameNameFor("disk \xE5\xA4\x87\xE4\xBB\xBD", "MS-DOS FAT32", "USB"), "NEW");
    EXPECT_EQ(renameNameFor("\xE4\xB8\x80", "MS-DOS FAT32", "USB"), "\xE4\xB8\x80");  // U+4E00 is outside
    // Other file systems keep the name as typed.
    EXPECT_EQ(renameNameFor("my backup drive!", "ExFAT", "USB"), "my backup drive!");
    EXPECT_EQ(renameNameFor("disk \xE5\xA4\x87", "APFS", "USB"), "disk \xE5\xA4\x87");
}

TEST(NameRules, NothingToSendForEmptyBlankOrUnchangedNames) {
    EXPECT_FALSE(renameNameFor("", "ExFAT", "USB"));
    EXPECT_FALSE(renameNameFor(" ", "ExFAT", "USB"));
    EXPECT_FALSE(renameNameFor("USB", "ExFAT", "USB"));
    EXPECT_FALSE(renameNameFor("usb", "MS-DOS FAT32", "USB"));  // the same once upper-cased
    EXPECT_TRUE(renameNameFor("  ", "ExFAT", "USB"));           // two blanks are a name
}

TEST(NameRules, EraseNames) {
    EXPECT_EQ(eraseNameFor("backup disk 2024", "MS-DOS FAT32"), "BACKUP DISK");
    EXPECT_EQ(eraseNameFor("", "MS-DOS FAT32"), "NEW");
    EXPECT_EQ(eraseNameFor(" ", "ExFAT"), "NEW");
    EXPECT_EQ(eraseNameFor("backup disk 2024", "ExFAT"), "backup disk 2024");
    EXPECT_EQ(eraseNameFor("\xE5\xA4\x87\xE4\xBB\xBD", "MS-DOS FAT32"), "NEW");
    EXPECT_EQ(eraseNameFor("\xE5\xA4\x87\xE4\xBB\xBD", "Journaled HFS+"), "\xE5\xA4\x87\xE4\xBB\xBD");
    // Only the exact type text gets the FAT32 rule here.
    EXPECT_EQ(eraseNameFor("lower", "ms-dos fat32"), "lower");
}

TEST(NameRules, UpperCasedPrefixNeverSplitsACharacter) {
    // Ten letters and a character outside the basic plane (two UTF-16 units).
    EXPECT_EQ(upperCasedPrefix("abcdefghij\xF0\x9F\x98\x80", 11), "ABCDEFGHIJ");
    EXPECT_EQ(upperCasedPrefix("abcdefghi\xF0\x9F\x98\x80z", 11), "ABCDEFGHI\xF0\x9F\x98\x80");
    EXPECT_EQ(upperCasedPrefix("\xC3\xA9\xC3\xA9", 1), "\xC3\x89");
}

TEST(NameRules, UsedShareOfAnEmptyVolumeIsZero) {
    EXPECT_EQ(usedPercent(0, 0), 0);
    EXPECT_EQ(usedPercent(0, 100), 0);
    EXPECT_DOUBLE_EQ(usedPercent(200, 50), 75);
}

}  // namespace
