// The selection count: what is measured, what is taken from the nodes, the
// disk-usage tool's texts, and that the total comes once.
#include <gtest/gtest.h>

#include <mutex>

#include "DiskList/GetFilesSize.h"
#include "DiskListTestSupport.h"

using namespace disklisttest;

namespace {

constexpr int64_t Off = FileNodeSelectStateOff, On = FileNodeSelectStateOn, Partly = FileNodeSelectStateMixed;

struct Totals : GetFilesSizeDelegate {
    std::mutex mutex;
    std::vector<int64_t> reports;
    std::atomic<bool> onMain{false};
    void allCopyFilesSize(int64_t size) override {
        onMain.store(kit::dispatch::isMainThread());
        std::lock_guard<std::mutex> lock(mutex);
        reports.push_back(size);
    }
    std::size_t count() {
        std::lock_guard<std::mutex> lock(mutex);
        return reports.size();
    }
};

class Size : public ::testing::Test {
protected:
    void SetUp() override { kit::ensureMainThreadApp(); }
    // Counts arr and waits for the report (and a little longer for a second).
    std::vector<int64_t> count(const FileNodeList& arr) {
        Totals totals;
        {
            GetFilesSize counter;
            counter.setDelegate(&totals);
            counter.getAllFilesSizeWithArr(arr);
        }  // the count outlives its object
        EXPECT_TRUE(waitFor([&] { return totals.count() >= 1; }));
        kit::runUntil(nullptr, 0.2);
        EXPECT_FALSE(totals.onMain.load());
        return totals.reports;
    }
    ScriptedDuRoot root;
};

FileNode::Ptr folderAt(const ScriptedDuRoot& root, const std::string& name, int64_t state) {
    FileNode::Ptr n = FileNode::initWithPath(root.dir().dir("vol/" + name), name, true, nullptr);
    n->setState(state);
    return n;
}

TEST_F(Size, EverythingSelectedIsTheWholeVolumeAndMeasuresNothing) {
    root.setOutput("A", "1.5M");
    EXPECT_EQ(count({folderAt(root, "A", On), node("b", false, On, 300)}), std::vector<int64_t>{0});
    EXPECT_EQ(count({}), std::vector<int64_t>{0});
    EXPECT_TRUE(root.calls().empty());
}

TEST_F(Size, WholeFoldersAreMeasuredAndFilesTakeTheirStoredSize) {
    root.setOutput("A", "1.5M");
    testing::internal::CaptureStderr();
    EXPECT_EQ(count({folderAt(root, "A", On), node("b", false, On, 300), node("c", false, Off, 999)}),
              std::vector<int64_t>{1500300});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("---1500300 | 1.50 MB"), std::string::npos) << log;
    EXPECT_EQ(root.calls(), std::vector<std::string>{"-sh " + root.path() + "/vol/A"});
}

TEST_F(Size, APartlySelectedFolderAddsItsSelectedContentsOnce) {
    root.setOutput("sub", "4.0K");
    root.setOutput("skipped", "9M");
    FileNode::Ptr folder = folderAt(root, "F", Partly);
    adopt(folder, node("ten", false, On, 10));
    adopt(folder, node("unselected", false, Off, 77));
    FileNode::Ptr sub = adopt(folder, node("sub", true, On));
    sub->setPath(root.dir().dir("vol/F/sub"));
    FileNode::Ptr skipped = adopt(folder, node("skipped", true, Off));
    FileNode::Ptr deeper = adopt(folder, node("deeper", true, Partly));
    adopt(deeper, node("five", false, On, 5));
    EXPECT_EQ(count({folder, node("other", false, Off, 1)}), std::vector<int64_t>{4015});
    EXPECT_EQ(root.calls().size(), 1u);
}

TEST_F(Size, AFolderTheToolCannotMeasureIsLogged) {
    // No output for "silent"; the folder "A" measures normally.
    root.setOutput("A", "12K");
    testing::internal::CaptureStderr();
    EXPECT_EQ(count({folderAt(root, "silent", On), folderAt(root, "A", On), node("x", false, Off)}),
              std::vector<int64_t>{12000});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("---du could not measure " + root.path() + "/vol/silent"), std::string::npos) << log;
    EXPECT_EQ(log.find("could not measure " + root.path() + "/vol/A"), std::string::npos);

    bool measured = true;
    EXPECT_EQ(getFolderSizeUsingCommand(root.path() + "/vol/silent", &measured), 0u);
    EXPECT_FALSE(measured);
    EXPECT_EQ(getFolderSizeUsingCommand(root.path() + "/vol/A", &measured), 12000u);
    EXPECT_TRUE(measured);

    // No tool at all.
    fs::remove(root.path() + "/usr/bin/du");
    testing::internal::CaptureStderr();
    EXPECT_EQ(getFolderSizeUsingCommand(root.path() + "/vol/A", &measured), 0u);
    EXPECT_FALSE(measured);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("could not measure"), std::string::npos);
}

TEST_F(Size, SizeTextsScaleByThousands) {
    EXPECT_EQ(duSizeTextValue("0B"), 0u);
    EXPECT_EQ(duSizeTextValue("0"), 0u);
    EXPECT_EQ(duSizeTextValue("12K"), 12000u);
    EXPECT_EQ(duSizeTextValue("4.0K"), 4000u);
    EXPECT_EQ(duSizeTextValue("1.5M"), 1500000u);
    EXPECT_EQ(duSizeTextValue("2.5G"), 2500000000u);
    EXPECT_EQ(duSizeTextValue("1.2T"), 1200000000000u);
    EXPECT_EQ(duSizeTextValue("1,5M"), 1500000u);  // a comma where the language has one
    EXPECT_EQ(duSizeTextValue("  512"), 512u);
    EXPECT_EQ(duSizeTextValue("7P"), 7u);           // other units are not scaled
    EXPECT_EQ(duSizeTextValue(""), std::nullopt);
    EXPECT_EQ(duSizeTextValue("du: cannot"), std::nullopt);
}

TEST(SizeWithTheRealTool, AFolderIsMeasuredByTheSystemTool) {
    TempDir t;
    t.file("data/blob", 1500 * 1024);
    // No root: the host's own du.
    EnvGuard noRoot("PELORIN_SYSROOT", static_cast<const char*>(nullptr));
    bool measured = false;
    const uint64_t size = getFolderSizeUsingCommand(t / "data", &measured);
    EXPECT_TRUE(measured);
    // du -sh prints 1.5M (or 1.6M with the folder's own block): scaled by 1000.
    EXPECT_GE(size, 1500000u);
    EXPECT_LE(size, 1600000u);
    // A name that would mean something to a shell is only a path.
    t.file("it's; $(touch pwned)/f", 10);
    EXPECT_GT(getFolderSizeUsingCommand(t / "it's; $(touch pwned)", &measured), 0u);
    EXPECT_FALSE(fs::exists("pwned"));
}

}  // namespace
