// The Disk Manager's rename, format and eject on the demo machine, with the
// records of the shared volume provider, as the page runs them: on a worker,
// with the completion on the main queue.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Disk/GetVolumes.h"
#include "DiskTool/DiskToolActions.h"
#include "DiskTool/DiskToolCommands.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "sim/Scenario.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"
#include "support/WorkingFolderGuard.h"

namespace fs = std::filesystem;

namespace {

const bool kTimeScaled = [] { return ::setenv("PELORIN_TIME_SCALE", "0.05", 1) == 0; }();

class DiskToolE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        kit::ensureMainThreadApp();
        // One root for the suite, rebuilt for each test: the shared provider
        // keeps looking at the same place.
        sim_ = std::make_unique<sim::SimRoot>("demo");
        ASSERT_TRUE(sim_->ok()) << sim_->error();
        GetVolumes::Instance();
    }
    static void TearDownTestSuite() {
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes(); }, 30);
        sim_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(kTimeScaled);
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes() && !DiskToolActions::isFormatting(); },
                      30);
        std::string error;
        ASSERT_TRUE(sim::createRoot("demo", sim_->root(), sim::SimRoot::toolDir(), &error)) << error;
        rescan();
    }

    sim::SimRoot& sim() { return *sim_; }
    static std::shared_ptr<VolumeList> list() { return GetVolumes::Instance().getVolumes(); }

    // A fresh scan of the mounted volumes, waited for.
    static void rescan() {
        GetVolumes& gv = GetVolumes::Instance();
        ASSERT_TRUE(kit::runUntil([&] { return !gv.isScanningVolumes(); }, 60));
        gv.getDiskAndVolumes();
        ASSERT_TRUE(kit::runUntil([&] { return !gv.isScanningVolumes(); }, 60));
    }
    static std::shared_ptr<VolumeObj> recordNow(const std::string& name) {
        for (const auto& v : list()->snapshot())
            if (v->volumeName() == name) return v;
        return nullptr;
    }
    // The provider's record of the volume; a scan that mount watching started
    // meanwhile is waited for.
    static std::shared_ptr<VolumeObj> record(const std::string& name) {
        GetVolumes& gv = GetVolumes::Instance();
        std::shared_ptr<VolumeObj> found;
        kit::runUntil([&] { return !gv.isScanningVolumes() && (found = recordNow(name)) != nullptr; }, 30);
        return found;
    }

    // The disk tool lines, whole, that name the volume by its mount point or
    // disk UUID (the provider's scans, which mount watching may start, name
    // none of them).
    std::vector<std::vector<std::string>> diskutilLinesAbout(const VolumeObj& v) {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : sim().journalFor("diskutil"))
            for (const auto& arg : e.args)
                if (arg == v.volumeMountPoint() || arg == v.diskUUID()) {
                    out.push_back(e.args);
                    break;
                }
        return out;
    }
    std::vector<std::vector<std::string>> diskutilArgs(const std::string& command) {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : sim().journalFor("diskutil"))
            if (!e.args.empty() && e.args[0] == command) out.push_back(e.args);
        return out;
    }

    template <class R>
    static R await(const std::function<void(std::function<void(const R&)>)>& start) {
        std::optional<R> got;
        bool onMain = false;
        start([&](const R& r) {
            got = r;
            onMain = kit::dispatch::isMainThread();
        });
        EXPECT_TRUE(kit::runUntil([&] { return got.has_value(); }, 60));
        EXPECT_TRUE(onMain);
        return got.value_or(R{});
    }

    RenameResult rename(const std::shared_ptr<VolumeObj>& v, const std::string& name) {
        return await<RenameResult>([&](auto done) { DiskToolActions::renameVolumeAsync(v, name, done); });
    }
    FormatResult format(const std::shared_ptr<VolumeObj>& v, const std::string& name, const std::string& type) {
        return await<FormatResult>(
            [&](auto done) { ASSERT_TRUE(DiskToolActions::formatVolumeAsync(v, name, type, done)); });
    }
    EjectResult eject(const std::shared_ptr<VolumeObj>& v) {
        return await<EjectResult>([&](auto done) { DiskToolActions::ejectVolumeAsync(v, done); });
    }

    static std::unique_ptr<sim::SimRoot> sim_;
};

std::unique_ptr<sim::SimRoot> DiskToolE2E::sim_;

// ---- rename ----------------------------------------------------------------------

TEST_F(DiskToolE2E, RenameReadsTheRecordBackFromTheTool) {
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    const std::string uuid = usb->diskUUID();
    sim().clearJournal();

    RenameResult r = rename(usb, "Stick");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(diskutilArgs("rename"), (std::vector<std::vector<std::string>>{{"rename", uuid, "Stick"}}));
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/USB")));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Stick/readme.txt")));
    EXPECT_EQ(usb->volumeName(), "Stick");
    EXPECT_EQ(usb->volumeMountPoint(), sim().path("/Volumes/Stick"));

    // Where the tool puts it is its own choice: "Photos" is taken, so the
    // folder gets a number, and the record says so.
    r = rename(usb, "Photos");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.readBack);
    EXPECT_EQ(usb->volumeName(), "Photos");
    EXPECT_EQ(usb->volumeMountPoint(), sim().path("/Volumes/Photos 1"));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Photos 1/readme.txt")));
}

TEST_F(DiskToolE2E, AFailedRenameLeavesTheRecordAsItWas) {
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    sim().setKnob("diskutil rename", "fail");
    const RenameResult r = rename(usb, "Stick");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(usb->volumeName(), "USB");
    EXPECT_EQ(usb->volumeMountPoint(), sim().path("/Volumes/USB"));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
}

TEST_F(DiskToolE2E, EmptyBlankOrUnchangedNamesSendNothing) {
    auto usb = record("USB");
    sim().clearJournal();
    for (const char* name : {"", " ", "USB"}) {
        const RenameResult r = rename(usb, name);
        EXPECT_TRUE(r.skipped) << name;
        EXPECT_FALSE(r.ok);
    }
    EXPECT_TRUE(diskutilArgs("rename").empty());
    EXPECT_EQ(usb->volumeName(), "USB");
}

TEST_F(DiskToolE2E, NamesReachTheToolLiterally) {
    WorkingFolderGuard cwd;
    ASSERT_TRUE(cwd.ok());
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    const std::string marker = sim().path("/tmp/ran");
    const std::vector<std::string> names = {
        "a\"; touch x; \"",
        "b'$(touch " + marker + ")'`touch " + marker + "`",
        "c\nd; touch " + marker,
        "e -plist; touch x",
    };
    for (const auto& name : names) {
        sim().clearJournal();
        const RenameResult r = rename(usb, name);
        EXPECT_TRUE(r.ok) << name;
        ASSERT_EQ(diskutilArgs("rename").size(), 1u);
        EXPECT_EQ(diskutilArgs("rename")[0].at(2), name);
        EXPECT_EQ(usb->volumeName(), name);
    }
    EXPECT_FALSE(fs::exists(cwd.path() + "/x"));
    EXPECT_FALSE(fs::exists(sim().path("/x")));
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(fs::exists(usb->volumeMountPoint() + "/readme.txt"));
}

TEST_F(DiskToolE2E, ANameThatLooksLikeAnOptionIsRefused) {
    auto usb = record("USB");
    auto backup = record("Backup");
    ASSERT_TRUE(usb && backup);
    sim().clearJournal();
    const RenameResult renamed = rename(usb, "-plist");
    EXPECT_TRUE(renamed.badName);
    EXPECT_FALSE(renamed.ok);
    const FormatResult erased = format(usb, "-plist", "ExFAT");
    EXPECT_TRUE(erased.badName);
    EXPECT_FALSE(erased.ok);
    const FormatResult reformatted = format(backup, "-x", "APFS");
    EXPECT_TRUE(reformatted.badName);
    EXPECT_TRUE(sim().journalFor("diskutil").empty());
    EXPECT_EQ(usb->volumeName(), "USB");
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Backup/Projects")));
    // A "-" further in is an ordinary character.
    EXPECT_TRUE(rename(usb, "my-stick").ok);
}

// The volume the user chose is read again right before each change: another
// volume now at its mount point, or none, is refused and nothing else runs.
TEST_F(DiskToolE2E, AVolumeThatHasGoneOrChangedIsRefused) {
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    const std::string mountPoint = usb->volumeMountPoint();
    // Another stick of the same name in its place: same folder, another UUID.
    ASSERT_TRUE(sim().update([](sim::Machine& m) { m.findVolume("disk4s2")->diskUUID = sim::Machine::newUUID(); }));
    sim().clearJournal();
    EXPECT_TRUE(rename(usb, "Stick").refused);
    EXPECT_TRUE(format(usb, "Blank", "ExFAT").refused);
    EXPECT_TRUE(eject(usb).refused);
    const std::vector<std::string> check = {"info", "-plist", mountPoint};
    EXPECT_EQ(diskutilLinesAbout(*usb), (std::vector<std::vector<std::string>>{check, check, check}));
    for (const char* command : {"rename", "eraseVolume", "eject"}) EXPECT_TRUE(diskutilArgs(command).empty()) << command;
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    EXPECT_TRUE(sim().machine().findDisk("disk4"));

    // Gone: nothing is mounted there any more.
    ASSERT_TRUE(sim().update([](sim::Machine& m) { m.removeDisk("disk4"); }));
    sim().clearJournal();
    const FormatResult r = format(usb, "Blank", "ExFAT");
    EXPECT_TRUE(r.refused);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(diskutilLinesAbout(*usb), (std::vector<std::vector<std::string>>{check}));
}

// A tool that exits 0 but changes nothing is a failure: each change is read back.
TEST_F(DiskToolE2E, ToolsThatChangeNothingAreFailures) {
    auto usb = record("USB");
    auto backup = record("Backup");
    ASSERT_TRUE(usb && backup);
    for (const char* command : {"rename", "eraseVolume", "eject", "reformat"})
        sim().setKnob(std::string("diskutil ") + command, "garbage");
    const RenameResult renamed = rename(usb, "Stick");
    EXPECT_FALSE(renamed.ok);
    EXPECT_EQ(renamed.status, 0);
    EXPECT_EQ(usb->volumeName(), "USB");
    // The same type and name as before: only a new file system tells.
    const FormatResult erased = format(usb, "USB", "ExFAT");
    EXPECT_FALSE(erased.ok);
    EXPECT_EQ(erased.status, 0);
    EXPECT_FALSE(format(backup, "", "APFS").ok);
    const EjectResult ejected = eject(usb);
    EXPECT_FALSE(ejected.ok);
    EXPECT_EQ(ejected.status, 0);
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Backup/Projects")));
}

// A hung tool holds back no other change, and ends at its time-out.
TEST_F(DiskToolE2E, AHungRenameHoldsBackNoEjectAndEndsAtItsTimeOut) {
    auto usb = record("USB");
    auto photos = record("Photos");
    ASSERT_TRUE(usb && photos);
    sim().setKnob("diskutil rename", "hang");
    std::optional<RenameResult> renamed;
    DiskToolActions::renameVolumeAsync(usb, "Stick", [&](const RenameResult& r) { renamed = r; });
    ASSERT_TRUE(kit::runUntil([&] { return !diskutilArgs("rename").empty(); }, 30));
    const EjectResult ejected = eject(photos);
    EXPECT_TRUE(ejected.ok);
    EXPECT_FALSE(renamed.has_value());
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/Photos")));
    // The rename's time-out (60 s, scaled, never under 5 s) ends it as a failure.
    ASSERT_TRUE(kit::runUntil([&] { return renamed.has_value(); }, 60));
    EXPECT_FALSE(renamed->ok);
    EXPECT_EQ(usb->volumeName(), "USB");
}

// ---- format ----------------------------------------------------------------------

TEST_F(DiskToolE2E, Fat32EraseUsesTheUpperCasedShortNameAndEmptiesTheVolume) {
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    sim().clearJournal();
    const FormatResult r = format(usb, "backup disk 2024", "MS-DOS FAT32");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.route, FormatRoute::Erase);
    EXPECT_EQ(r.name, "BACKUP DISK");
    EXPECT_EQ(diskutilArgs("eraseVolume"), (std::vector<std::vector<std::string>>{
                                               {"eraseVolume", "MS-DOS FAT32", "BACKUP DISK", "/dev/disk4s2"}}));
    ASSERT_TRUE(fs::is_directory(sim().path("/Volumes/BACKUP DISK")));
    EXPECT_TRUE(fs::is_empty(sim().path("/Volumes/BACKUP DISK")));
    // The provider's rescan, started at the end, brings the new volume in.
    rescan();
    auto erased = record("BACKUP DISK");
    ASSERT_TRUE(erased);
    EXPECT_EQ(erased->diskType(), "MS-DOS FAT32");
    EXPECT_FALSE(GetVolumes::Instance().getVoumes());
}

TEST_F(DiskToolE2E, AFailedEraseSaysSoAndKeepsTheFiles) {
    auto photos = record("Photos");
    sim().setKnob("diskutil eraseVolume", "fail");
    const FormatResult r = format(photos, "", "ExFAT");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.name, "NEW");
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Photos/Albums/summer.txt")));
}

TEST_F(DiskToolE2E, ApfsIsRenamedAndReformattedAndTheEndWaitsForTheReformat) {
    EnvGuard slower("PELORIN_TIME_SCALE", "0.3");  // the reformat takes 0.6 s
    auto backup = record("Backup");
    ASSERT_TRUE(backup);
    EXPECT_EQ(DiskToolActions::formatRouteFor(*backup), FormatRoute::Reformat);
    const std::string uuid = backup->diskUUID();
    sim().clearJournal();

    const auto start = std::chrono::steady_clock::now();
    std::optional<FormatResult> got;
    bool filesGoneAtTheEnd = false;
    ASSERT_TRUE(DiskToolActions::formatVolumeAsync(backup, "Archive", "APFS", [&](const FormatResult& r) {
        got = r;
        filesGoneAtTheEnd = !fs::exists(sim().path("/Volumes/Archive/Projects"));
    }));
    EXPECT_FALSE(DiskToolActions::formatVolumeAsync(backup, "Again", "APFS", nullptr));  // one at a time
    ASSERT_TRUE(kit::runUntil([&] { return got.has_value(); }, 60));
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.55);

    EXPECT_TRUE(got->ok);
    EXPECT_EQ(got->name, "Archive");
    EXPECT_EQ(got->renameStatus, 0);
    EXPECT_TRUE(filesGoneAtTheEnd);
    EXPECT_EQ(diskutilArgs("rename"), (std::vector<std::vector<std::string>>{{"rename", uuid, "Archive"}}));
    EXPECT_EQ(diskutilArgs("reformat"), (std::vector<std::vector<std::string>>{{"reformat", "/dev/disk7s1"}}));
    EXPECT_TRUE(diskutilArgs("eraseVolume").empty());
    // APFS it stays.
    auto v = kit::runShellCapture("diskutil info -plist /dev/disk7s1");
    ASSERT_TRUE(v);
    EXPECT_EQ(kit::parsePlist(*v)->getString("FilesystemName"), "APFS");
}

TEST_F(DiskToolE2E, ApfsKeepsItsFilesWhenTheNewNameIsRefused) {
    auto backup = record("Backup");
    sim().setKnob("diskutil rename", "fail");
    sim().clearJournal();
    const FormatResult r = format(backup, "Archive", "APFS");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.renameStatus, 1);
    EXPECT_TRUE(diskutilArgs("reformat").empty());
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Backup/Projects/site/index.html")));

    // With its own name, or none, there is nothing to rename: only the reformat.
    sim().clearKnobs();
    sim().clearJournal();
    EXPECT_TRUE(format(backup, "", "APFS").ok);
    EXPECT_TRUE(diskutilArgs("rename").empty());
    EXPECT_EQ(diskutilArgs("reformat").size(), 1u);
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/Backup/Projects")));
}

// A format is judged by the name too: a volume that comes back under another
// name than the one asked for was not formatted as asked.
TEST_F(DiskToolE2E, AVolumeThatComesBackUnderAnotherNameIsAFailure) {
    auto usb = record("USB");
    auto backup = record("Backup");
    ASSERT_TRUE(usb && backup);
    // A rename before the reformat that says it worked and did not take stops
    // it: the volume keeps its name and its files.
    sim().setKnob("diskutil rename", "othername");
    sim().clearJournal();
    const FormatResult r = format(backup, "Archive", "APFS");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.renameStatus, 0);
    EXPECT_FALSE(r.renamed);
    EXPECT_TRUE(diskutilArgs("reformat").empty());
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Backup/Projects/site/index.html")));

    // Formats that end well under another name.
    sim().clearKnobs();
    for (const char* command : {"eraseVolume", "reformat"}) sim().setKnob(std::string("diskutil ") + command, "othername");
    const FormatResult erased = format(usb, "Stick", "ExFAT");
    EXPECT_FALSE(erased.ok);
    EXPECT_EQ(erased.status, 0);
    EXPECT_TRUE(fs::is_directory(sim().path("/Volumes/Untitled")));
    const FormatResult reformatted = format(backup, "", "APFS");
    EXPECT_FALSE(reformatted.ok);
    EXPECT_EQ(reformatted.status, 0);
}

// Renamed, then the reformat fails: the result says the new name stays and
// the files were not touched.
TEST_F(DiskToolE2E, ARenameThatStaysAfterAFailedReformatIsSaid) {
    auto backup = record("Backup");
    ASSERT_TRUE(backup);
    sim().setKnob("diskutil reformat", "fail");
    const FormatResult r = format(backup, "Archive", "APFS");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.renameStatus, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.renamed);
    EXPECT_TRUE(r.keepsItsFiles);
    EXPECT_EQ(r.name, "Archive");
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Archive/Projects/site/index.html")));
}

// A reformat writes a whole file system: it may take longer than a query or a
// rename may, and is bounded by the format's own time-out.
TEST_F(DiskToolE2E, AReformatLongerThanTheToolsBoundEndsWell) {
    auto backup = record("Backup");
    ASSERT_TRUE(backup);
    // Scaled: queries and renames 3 s, formats 10 s; the reformat takes 4 s.
    const DiskToolBounds bounds{3.0, 200.0};
    sim().setKnob("diskutil reformat", "slow:4");
    const FormatResult r = DiskToolActions::formatVolume(*backup, "", "APFS", bounds);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/Backup/Projects")));
}

TEST_F(DiskToolE2E, EraseAsApfsConvertsAnotherFileSystem) {
    auto photos = record("Photos");
    const FormatResult r = format(photos, "Pictures", "APFS");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.route, FormatRoute::Erase);
    rescan();
    auto converted = record("Pictures");
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->diskType(), "APFS");
    // Read back from the new container: the new volume's own disk UUID.
    EXPECT_EQ(r.diskUUID, converted->diskUUID());
    EXPECT_NE(r.diskUUID, photos->diskUUID());
}

// ---- eject -------------------------------------------------------------------------

TEST_F(DiskToolE2E, EjectByDiskUuidTakesTheWholeDiskAway) {
    auto usb = record("USB");
    ASSERT_TRUE(usb);
    const std::string uuid = usb->diskUUID();
    const std::string mountPoint = usb->volumeMountPoint();
    sim().clearJournal();
    EXPECT_TRUE(eject(usb).ok);
    // The check that it is still the chosen volume, the eject, and the read-back.
    EXPECT_EQ(diskutilLinesAbout(*usb), (std::vector<std::vector<std::string>>{
                                            {"info", "-plist", mountPoint}, {"eject", uuid}, {"info", "-plist", mountPoint}}));
    EXPECT_FALSE(sim().machine().findDisk("disk4"));

    // After the rescan the row's volume is gone: an action on it is refused.
    rescan();
    EXPECT_FALSE(recordNow("USB"));
    EXPECT_EQ(DiskToolActions::currentRecord(*list(), *usb), nullptr);
    auto photos = record("Photos");
    EXPECT_EQ(DiskToolActions::currentRecord(*list(), *photos), photos);

    // Without a disk UUID nothing runs.
    VolumeObj nameless;
    sim().clearJournal();
    EXPECT_FALSE(DiskToolActions::ejectVolume(nameless).ok);
    EXPECT_TRUE(sim().journalFor("diskutil").empty());
}

TEST_F(DiskToolE2E, CapturesAreJudgedByExitStatus) {
    const DiskToolRun bad = aepairExecCommand("diskutil eject disk99");
    EXPECT_NE(bad.status, 0);
    ASSERT_TRUE(bad.capturePath);
    EXPECT_TRUE(fs::exists(*bad.capturePath));  // the file is there all the same
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(fs::path(*bad.capturePath).filename(), "WexmireRepairTemp.plist");
    EXPECT_EQ(fs::path(*eraserExecCommand("true").capturePath).filename(), "eraserVolumeTemp.plist");
    EXPECT_EQ(fs::path(*changeNameExecCommand("true").capturePath).filename(), "WexmireChangeNameTemp.plist");
    EXPECT_TRUE(changeNameExecCommand("true").ok());
    EXPECT_FALSE(changeNameExecCommand(nullptr).capturePath);
}

}  // namespace
