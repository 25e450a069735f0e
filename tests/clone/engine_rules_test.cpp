// Rules of the clone engine that need no machine: the erase's file system and
// the percent a step stands for.
#include <gtest/gtest.h>

#include "Bootable/boot/OVBootable.h"

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

}  // namespace
