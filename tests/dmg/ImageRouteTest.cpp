// The image route end to end: the engine drives the stand-in disk-image tool and
// disk tool of a simulated machine, and the image's contents are checked after
// the eject put them back into the image.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>

#include "DmgTestSupport.h"
#include "support/SimRoot.h"
#include "kit/SysPath.h"
#include "sim/DiskImage.h"
#include "sim/Journal.h"
#include "sim/Machine.h"
#include "sim/Scenario.h"

using namespace dmgtest;

namespace {

const char* const kJob = "Pelorin(2024-05-06 07:08:09)";

// The volume UUID of the image mounted at a mount point, from the machine.
std::string uuidAt(const std::string& rootPath, const std::string& mountPoint) {
    if (auto m = sim::Machine::load(rootPath))
        for (const auto& d : m->disks)
            for (const auto& v : d.volumes)
                if (v.mountPoint == mountPoint) return v.volumeUUID;
    return "";
}

class ImageRoute : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureMainThreadApp();
        std::string error;
        ASSERT_TRUE(sim::createRoot("demo", root.path(), PELORIN_SIM_DIR, &error)) << error;
        src = kit::sysPath("/Volumes/USB/dmgsrc");
        dest = kit::sysPath("/Volumes/Photos");
        engine->setMakeDmgDelegate(&recorder);
        recorder.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
    }
    void TearDown() override { engine->setMakeDmgDelegate(nullptr); }

    void knob(const std::string& key, const std::string& value) {
        ASSERT_TRUE(sim::Machine::update(root.path(), [&](sim::Machine& m, std::string*) {
            m.setKnob(key, value);
            return true;
        }));
    }
    std::vector<sim::JournalEntry> runs(const std::string& tool, const std::string& verb = "") {
        std::vector<sim::JournalEntry> out;
        for (auto& e : sim::readJournal(root.path()))
            if (e.tool == tool && (verb.empty() || (!e.args.empty() && e.args[0] == verb))) out.push_back(e);
        return out;
    }
    std::string image() const { return dest + "/" + kJob + ".dmg"; }
    // Attached images and their mount points.
    std::vector<std::string> attached() {
        std::vector<std::string> out;
        if (auto m = sim::Machine::load(root.path()))
            for (const auto& d : m->disks)
                if (!d.imagePath.empty())
                    for (const auto& v : d.volumes) out.push_back(v.mountPoint);
        return out;
    }
    bool settled() { return recorder.ended() && attached().size() == attachedBefore; }
    std::vector<std::string> stagingLeft() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(kit::temporaryDirectory()))
            if (e.path().filename().string().rfind("org.pelorin.Pelorin.", 0) == 0) out.push_back(e.path());
        return out;
    }
    void start(int64_t size = 1234) { engine->makeTmpDmgWithPath(dest, kJob, size); }

    TempDir root;
    EnvGuard env{"PELORIN_SYSROOT", root.path()};
    std::string src, dest;
    std::vector<std::string> items;
    size_t attachedBefore = 0;
    std::shared_ptr<MakeDmg> engine = std::make_shared<MakeDmg>();
    Recorder recorder;
    // Goes first: a tool left hanging by a failed test is ended.
    sim::ToolsEndedGuard tools{root.path()};
};

TEST_F(ImageRoute, FourItemsEndInAnImageHoldingExactlyTheSelection) {
    writeFile(src + "/report.txt", "quarterly numbers");
    writeFile(src + "/Nested/a/b/deep.txt", "deep");
    writeFile(src + "/Nested/.hidden", "hidden");
    fs::create_symlink("a/b/deep.txt", src + "/Nested/link");
    fs::create_directories(src + "/Empty");
    fs::create_symlink("report.txt", src + "/top-link");
    items = {src + "/report.txt", src + "/Nested", src + "/Empty", src + "/top-link"};
    std::string mountPoint, uuid;
    recorder.onBegin = [&] {
        mountPoint = attached().back();
        uuid = uuidAt(root.path(), mountPoint);
        engine->doCopyFilesToDmgWithDmg(items);
    };

    start(1234);
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));

    EXPECT_EQ(recorder.progress(), (std::vector<float>{20, 20, 25, 50, 75, 100}));
    EXPECT_FALSE(recorder.failed());
    EXPECT_EQ(recorder.count(Event::Begin), 1);
    EXPECT_TRUE(recorder.allOnMain());

    auto creates = runs("hdiutil", "create");
    ASSERT_EQ(creates.size(), 1u);
    const auto& args = creates[0].args;
    ASSERT_EQ(args.size(), 12u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 11),
              (std::vector<std::string>{"create", image(), "-volname", "PelorinDmg", "-size", "50001234", "-fs", "HFS+",
                                        "-format", "UDRW", "-srcfolder"}));
    EXPECT_EQ(args[11].rfind(kit::temporaryDirectory(), 0), 0u) << "staging folder not private: " << args[11];
    EXPECT_FALSE(fs::exists(args[11])) << "staging folder left behind";
    ASSERT_EQ(runs("hdiutil", "mount").size(), 1u);
    EXPECT_EQ(runs("hdiutil", "mount")[0].args, (std::vector<std::string>{"mount", image()}));
    // The eject asks for the volume at the mount point, then ejects it by its UUID.
    ASSERT_FALSE(uuid.empty());
    std::vector<std::vector<std::string>> diskutil;
    for (const auto& e : runs("diskutil")) diskutil.push_back(e.args);
    EXPECT_EQ(diskutil, (std::vector<std::vector<std::string>>{{"info", "-plist", mountPoint}, {"eject", uuid}}));

    std::string contents = sim::diskImageContents(root.path(), image());
    ASSERT_FALSE(contents.empty());
    EXPECT_EQ(contents.rfind(root.path() + "/.pelorin/", 0), 0u) << "image still mounted at " << contents;
    EXPECT_EQ(treeEntries(contents), treeEntries(src));
    EXPECT_EQ(readFile(contents + "/Nested/a/b/deep.txt"), "deep");
    EXPECT_EQ(readFile(contents + "/Nested/.hidden"), "hidden");
    EXPECT_EQ(fs::read_symlink(contents + "/Nested/link"), "a/b/deep.txt");
    EXPECT_EQ(fs::read_symlink(contents + "/top-link"), "report.txt");
    EXPECT_TRUE(attached().empty());
}

TEST_F(ImageRoute, TenItemsWithClashingNamesAreAllKeptAndAZeroSizeGetsTheMarginAlone) {
    for (int i = 0; i < 8; ++i) {
        writeFile(src + "/f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
        items.push_back(src + "/f" + std::to_string(i) + ".txt");
    }
    writeFile(src + "/one/same.txt", "first");
    writeFile(src + "/two/same.txt", "second");
    items.push_back(src + "/one/same.txt");
    items.push_back(src + "/two/same.txt");

    start(0);
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20, 20, 20, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    ASSERT_EQ(runs("hdiutil", "create").size(), 1u);
    EXPECT_EQ(runs("hdiutil", "create")[0].args[5], "50000000");

    std::string contents = sim::diskImageContents(root.path(), image());
    EXPECT_EQ(readFile(contents + "/same.txt"), "first");
    EXPECT_EQ(readFile(contents + "/same 1.txt"), "second");
    EXPECT_EQ(treeEntries(contents).size(), 10u);
}

TEST_F(ImageRoute, ItemsWithoutANameAreSkippedAndASkippedLastItemStillEndsTheJob) {
    writeFile(src + "/a.txt", "a");
    writeFile(src + "/dir/inside.txt", "not copied: named by a path ending in a slash");
    writeFile(src + "/ ", "not copied: a name of one blank");
    items = {src + "/a.txt", src + "/dir/", src + "/ "};
    start();
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20, 20, 33, 100}));
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    EXPECT_EQ(treeEntries(sim::diskImageContents(root.path(), image())), (std::set<std::string>{"a.txt"}));
}

TEST_F(ImageRoute, SystemVolumeDestinationGoesIntoAFolderOpenToAllUsers) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    dest = kit::sysPath("/");
    start();
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_TRUE(recorder.done());
    std::string folder = kit::sysPath("/Pelorin_dmg");
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u);
    ASSERT_EQ(runs("hdiutil", "create").size(), 1u);
    EXPECT_EQ(runs("hdiutil", "create")[0].args[1], folder + "/" + kJob + ".dmg");
    EXPECT_EQ(readFile(sim::diskImageContents(root.path(), folder + "/" + kJob + ".dmg") + "/a.txt"), "a");
}

TEST_F(ImageRoute, CreateAndMountFailuresAreReportedAndLeaveNothingBehind) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};

    // The tool fails.
    knob("hdiutil create", "fail");
    start();
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    EXPECT_EQ(recorder.count(Event::Fail), 1);
    EXPECT_FALSE(recorder.done());
    EXPECT_FALSE(fs::exists(image()));
    EXPECT_TRUE(runs("hdiutil", "mount").empty());
    EXPECT_TRUE(stagingLeft().empty());

    // An image of the same name is there already: it is not taken for ours.
    knob("hdiutil create", "ok");
    writeFile(image(), "someone else's image");
    Recorder second;
    engine->setMakeDmgDelegate(&second);
    start();
    ASSERT_TRUE(waitFor([&] { return second.ended(); }));
    EXPECT_TRUE(second.failed());
    EXPECT_EQ(readFile(image()), "someone else's image");
    EXPECT_TRUE(runs("hdiutil", "mount").empty());
    fs::remove(image());

    // Made, but the mount fails: no copy, no success.
    knob("hdiutil mount", "fail");
    Recorder third;
    engine->setMakeDmgDelegate(&third);
    third.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
    start();
    ASSERT_TRUE(waitFor([&] { return third.ended(); }));
    EXPECT_TRUE(third.failed());
    EXPECT_FALSE(third.done());
    EXPECT_EQ(third.count(Event::Begin), 0);
    EXPECT_EQ(runs("hdiutil", "mount").size(), 1u);
    EXPECT_FALSE(fs::exists(image())) << "an image that could not be used was left";
    EXPECT_TRUE(attached().empty());
    EXPECT_TRUE(stagingLeft().empty());
}

TEST_F(ImageRoute, AnUnreadableItemFailsTheJobAndLeavesNoPartialImage) {
    writeFile(src + "/a.txt", "a");
    writeFile(src + "/c.txt", "c");
    items = {src + "/a.txt", src + "/vanished.txt", src + "/c.txt"};
    start();
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_TRUE(recorder.failed());
    EXPECT_FALSE(recorder.done());
    EXPECT_EQ(recorder.count(Event::Fail), 1);
    // Ejected first, then judged: an image without every item is not kept under the job's name.
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    EXPECT_TRUE(attached().empty());
    EXPECT_FALSE(fs::exists(image()));
}

TEST_F(ImageRoute, AnOlderImageOfTheSameVolumeNameIsNeitherFilledNorEjected) {
    // Somebody's image, mounted at Volumes/PelorinDmg before the job.
    std::string older = kit::sysPath("/Volumes/USB/older.dmg");
    std::string line = "hdiutil create " + older + " -volname PelorinDmg -size 1m -srcfolder " + src +
                       " >/dev/null && hdiutil mount " + older + " >/dev/null";
    fs::create_directories(src);
    ASSERT_EQ(std::system(("PATH=" + root.path() + "/usr/bin:$PATH; " + line).c_str()), 0);
    ASSERT_TRUE(fs::is_directory(kit::sysPath("/Volumes/PelorinDmg")));
    writeFile(kit::sysPath("/Volumes/PelorinDmg/theirs.txt"), "theirs");
    attachedBefore = 1;

    writeFile(src + "/mine.txt", "mine");
    items = {src + "/mine.txt"};
    start();
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(treeEntries(kit::sysPath("/Volumes/PelorinDmg")), (std::set<std::string>{"theirs.txt"}));
    EXPECT_EQ(attached(), (std::vector<std::string>{kit::sysPath("/Volumes/PelorinDmg")}));
    EXPECT_EQ(treeEntries(sim::diskImageContents(root.path(), image())), (std::set<std::string>{"mine.txt"}));
}

TEST_F(ImageRoute, StopDuringTheCreateLeavesNoImageNoMountAndNoReport) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    knob("hdiutil create", "slow:5");
    start();
    // The tool has taken the image's name and is busy.
    ASSERT_TRUE(waitFor([&] { return fs::exists(image()); }));
    auto stopped = std::chrono::steady_clock::now();
    engine->setIsCancelCopy(true);
    engine->stopMakeDmg();
    kit::runUntil([] { return false; }, 1.5);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(4));
    EXPECT_FALSE(fs::exists(image())) << "the partial image was left";
    EXPECT_TRUE(runs("hdiutil", "mount").empty());
    EXPECT_TRUE(runs("diskutil", "eject").empty());
    EXPECT_TRUE(attached().empty());
    EXPECT_TRUE(stagingLeft().empty());
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20}));
    EXPECT_FALSE(recorder.failed());
}

TEST_F(ImageRoute, StopDuringTheCopyEjectsOnceAndRemovesTheImage) {
    writeFile(src + "/first.bin", std::string(3 << 20, 'x'));
    writeFile(src + "/second.txt", "2");
    writeFile(src + "/third.txt", "3");
    items = {src + "/first.bin", src + "/second.txt", src + "/third.txt"};
    // The stop lands as the first item is about to be copied.
    struct StopAtCopyStart : Recorder {
        MakeDmg* engine = nullptr;
        int seen = 0;
        void copyFileToDmgWithFileName(const std::string& text, float progress) override {
            Recorder::copyFileToDmgWithFileName(text, progress);
            if (++seen == 2) {
                engine->setIsCancelCopy(true);
                engine->stopMakeDmg();
            }
        }
    } delegate;
    delegate.engine = engine.get();
    delegate.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
    engine->setMakeDmgDelegate(&delegate);
    start();
    ASSERT_TRUE(waitFor([&] { return !runs("diskutil", "eject").empty() && attached().empty(); }, 30));
    ASSERT_TRUE(waitFor([&] { return !fs::exists(image()); }, 10)) << "the stopped job's image was kept";
    kit::runUntil([] { return false; }, 0.5);
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    EXPECT_EQ(delegate.progress(), (std::vector<float>{20, 20}));
    EXPECT_FALSE(delegate.failed());
    EXPECT_TRUE(stagingLeft().empty());
}

TEST_F(ImageRoute, StopDuringAHungMountEndsTheToolAndRemovesTheImage) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    knob("hdiutil mount", "hang");
    start();
    ASSERT_TRUE(waitFor([&] { return !runs("hdiutil", "mount").empty(); }));
    // The main queue keeps running while the mount is waited for.
    bool ticked = false;
    kit::dispatch::async(kit::dispatch::mainQueue(), [&] { ticked = true; });
    EXPECT_TRUE(waitFor([&] { return ticked; }, 1.0));
    const auto stopped = std::chrono::steady_clock::now();
    engine->setIsCancelCopy(true);
    engine->stopMakeDmg();
    ASSERT_TRUE(waitFor([&] { return !fs::exists(image()); }, 10)) << "the image of a stopped mount was kept";
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
    kit::runUntil([] { return false; }, 0.5);
    const pid_t mountTool = runs("hdiutil", "mount")[0].pid;
    ASSERT_GT(mountTool, 0);
    EXPECT_TRUE(waitFor([&] { return ::kill(mountTool, 0) != 0; }, 5)) << "the hung mount tool was left running";
    EXPECT_EQ(recorder.count(Event::Begin), 0);
    EXPECT_TRUE(attached().empty());
    EXPECT_TRUE(stagingLeft().empty());
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20}));
    EXPECT_FALSE(recorder.failed());

    // The engine takes the next job at once.
    knob("hdiutil mount", "ok");
    Recorder next;
    next.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
    engine->setMakeDmgDelegate(&next);
    start();
    ASSERT_TRUE(waitFor([&] { return next.ended() && attached().empty(); }, 30));
    EXPECT_TRUE(next.done());
}

TEST_F(ImageRoute, StopWhileTheVolumeWaitsForItsItemsEjectsAndRemovesIt) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    recorder.onBegin = [this] {
        engine->setIsCancelCopy(true);
        engine->stopMakeDmg();
        engine->doCopyFilesToDmgWithDmg(items);  // too late: the job was stopped
    };
    start();
    ASSERT_TRUE(waitFor([&] { return !runs("diskutil", "eject").empty() && attached().empty(); }, 30));
    ASSERT_TRUE(waitFor([&] { return !fs::exists(image()); }, 10));
    kit::runUntil([] { return false; }, 0.3);
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20}));
    EXPECT_FALSE(recorder.failed());
}

// ---- eject before the end, and jobs one at a time ----

TEST_F(ImageRoute, SuccessIsReportedOnlyOnceTheVolumeIsEjected) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    struct Checking : Recorder {
        std::function<size_t()> attachedNow;
        size_t attachedAtDone = 99;
        void copyFileToDmgWithFileName(const std::string& text, float progress) override {
            Recorder::copyFileToDmgWithFileName(text, progress);
            if (progress >= 100) attachedAtDone = attachedNow();
        }
    } delegate;
    delegate.attachedNow = [this] { return attached().size(); };
    delegate.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
    engine->setMakeDmgDelegate(&delegate);
    start();
    ASSERT_TRUE(waitFor([&] { return delegate.ended(); }, 30));
    EXPECT_TRUE(delegate.done());
    EXPECT_EQ(delegate.attachedAtDone, 0u) << "100 was reported while the image was still attached";
}

TEST_F(ImageRoute, AFailedEjectIsAFailureAndTheCompleteImageIsKept) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    for (const char* k : {"diskutil eject", "diskutil info"})
        for (const char* value : {"fail", "garbage"}) {
            SCOPED_TRACE(std::string(k) + " " + value);
            Recorder r;
            r.onBegin = [this] { engine->doCopyFilesToDmgWithDmg(items); };
            engine->setMakeDmgDelegate(&r);
            knob(k, value);
            start();
            ASSERT_TRUE(waitFor([&] { return r.ended(); }, 30));
            EXPECT_TRUE(r.failed());
            EXPECT_FALSE(r.done());
            EXPECT_EQ(attached().size(), 1u);
            EXPECT_TRUE(fs::exists(image())) << "the items are all there; the user can eject it";
            EXPECT_NE(r.lastText(Event::Fail).find(std::string(kJob) + ".dmg"), std::string::npos)
                << "the failure does not say which image was kept";
            // Clean up for the next round: eject by hand, drop the image.
            knob(k, "ok");
            engine->unmountDmgWithFullPath();
            ASSERT_TRUE(attached().empty());
            fs::remove(image());
        }
}

TEST_F(ImageRoute, AHungEjectEndsAtItsTimeOutAndHoldsBackNoOtherJobsEject) {
    EnvGuard scale("PELORIN_TIME_SCALE", "0.3");  // the disk tool's minute becomes 18 s
    writeFile(src + "/a.txt", "a");
    writeFile(src + "/b.txt", "b");
    items = {src + "/a.txt"};
    // Only this job's volume hangs on eject.
    recorder.onBegin = [this] {
        std::string mp = attached().back();
        knob("diskutil eject " + uuidAt(root.path(), mp), "hang");
        engine->doCopyFilesToDmgWithDmg(items);
    };
    const auto started = std::chrono::steady_clock::now();
    start();
    ASSERT_TRUE(waitFor([&] { return !runs("diskutil", "eject").empty(); }, 30));

    // A second engine's job meanwhile runs to its end.
    auto other = std::make_shared<MakeDmg>();
    Recorder otherRecorder;
    std::vector<std::string> otherItems{src + "/b.txt"};
    otherRecorder.onBegin = [&] { other->doCopyFilesToDmgWithDmg(otherItems); };
    other->setMakeDmgDelegate(&otherRecorder);
    other->makeTmpDmgWithPath(dest, "Other", 1000);
    ASSERT_TRUE(waitFor([&] { return otherRecorder.ended(); }, 30));
    EXPECT_TRUE(otherRecorder.done());
    EXPECT_FALSE(recorder.ended()) << "the hung eject was not waited for at all";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(16));

    // The hung eject ends at its time-out, as a failure.
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }, 30));
    EXPECT_TRUE(recorder.failed());
    EXPECT_FALSE(recorder.done());
    other->setMakeDmgDelegate(nullptr);
}

TEST_F(ImageRoute, StopDuringAHungEjectKeepsTheAttachedImageAndSaysSo) {
    EnvGuard scale("PELORIN_TIME_SCALE", "0.1");  // the disk tool's minute becomes 6 s
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    knob("diskutil eject", "hang");
    start();
    ASSERT_TRUE(waitFor([&] { return !runs("diskutil", "eject").empty(); }, 30));
    engine->setIsCancelCopy(true);
    engine->stopMakeDmg();
    EXPECT_TRUE(engine->isWorking()) << "the eject still runs";
    // The eject ends at its time-out; the volume is still attached, so the
    // image stays, and the stopped job says so.
    ASSERT_TRUE(waitFor([&] { return recorder.count(Event::Kept) > 0; }, 30));
    EXPECT_TRUE(fs::exists(image())) << "an image whose volume is attached was removed";
    EXPECT_EQ(attached().size(), 1u);
    EXPECT_NE(recorder.lastText(Event::Kept).find(std::string(kJob) + ".dmg"), std::string::npos);
    EXPECT_FALSE(engine->isWorking());
    EXPECT_FALSE(recorder.ended()) << "a stopped job reported its end";
    const pid_t eject = runs("diskutil", "eject")[0].pid;
    EXPECT_TRUE(waitFor([&] { return ::kill(eject, 0) != 0; }, 5)) << "the hung eject was left running";
}

TEST_F(ImageRoute, ASecondStartWhileAJobRunsIsRefused) {
    writeFile(src + "/a.txt", "a");
    items = {src + "/a.txt"};
    knob("hdiutil create", "slow:1");
    EXPECT_TRUE(engine->makeTmpDmgWithPath(dest, kJob, 1000));
    EXPECT_FALSE(engine->makeTmpDmgWithPath(dest, "Second", 1000));
    EXPECT_FALSE(engine->doZipWithPath(dest + "/x.zip", {}));
    EXPECT_EQ(engine->dmgNameStr(), kJob);
    ASSERT_TRUE(waitFor([&] { return settled(); }, 30));
    EXPECT_TRUE(recorder.done());
    EXPECT_EQ(recorder.count(Event::Begin), 1);
    EXPECT_EQ(recorder.progress(), (std::vector<float>{20, 20, 100}));
    EXPECT_EQ(runs("hdiutil", "create").size(), 1u);
    EXPECT_FALSE(fs::exists(dest + "/Second.dmg"));
    EXPECT_TRUE(stagingLeft().empty());

    // A second list for the same volume starts no second copy.
    Recorder twice;
    twice.onBegin = [this] {
        engine->doCopyFilesToDmgWithDmg(items);
        engine->doCopyFilesToDmgWithDmg(items);
    };
    engine->setMakeDmgDelegate(&twice);
    fs::remove(image());
    EXPECT_TRUE(engine->makeTmpDmgWithPath(dest, kJob, 1000));
    ASSERT_TRUE(waitFor([&] { return twice.ended() && attached().empty(); }, 30));
    EXPECT_EQ(twice.progress(), (std::vector<float>{20, 20, 100}));
    EXPECT_EQ(treeEntries(sim::diskImageContents(root.path(), image())), (std::set<std::string>{"a.txt"}));
}

}  // namespace
