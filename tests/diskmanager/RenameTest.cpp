// Renames from the "Disk Manager" page on the demo machine: the name typed in
// the row's field goes to the disk tool as one literal word, the record is
// read back from the tool, a failure leaves it as it was and says so, and a
// name that would change nothing sends nothing.
#include <unistd.h>

#include "DiskManagerTestUtil.h"
#include "support/WorkingFolderGuard.h"

using namespace diskmanager;

TEST_F(DiskManagerTest, RenameOfTheUsbVolume) {
    openTabOnTheDemoMachine();
    const long row = rowOf("USB");
    clickRow(row);
    std::shared_ptr<VolumeObj> usb = page->selectVolume();
    const std::string uuid = usb->diskUUID();

    click(button(row, "rename"));
    EXPECT_TRUE(page->isRenameEdit());
    EXPECT_EQ(shownButtons(row), std::vector<std::string>{"save"});
    kit::TextField* field = renameField(row);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->stringValue(), "USB");
    EXPECT_TRUE(subview<kit::TextField>(*cell(row), "name")->isHidden());

    typeInto(*field, "Stick");
    EXPECT_EQ(page->editStr(), "Stick");
    sim().clearJournal();
    click(button(row, "save"));
    EXPECT_FALSE(page->isRenameEdit());
    EXPECT_EQ(shownButtons(row), (std::vector<std::string>{"rename", "format", "eject"}));

    ASSERT_TRUE(kit::runUntil([&] { return usb->volumeName() == "Stick"; }, 30));
    EXPECT_EQ(diskutilArgs("rename"), (std::vector<std::vector<std::string>>{{"rename", uuid, "Stick"}}));
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/USB")));
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Stick/readme.txt")));
    // The record as the tool reports it, not a guess.
    EXPECT_EQ(usb->volumeMountPoint(), sim().path("/Volumes/Stick"));
    EXPECT_EQ(message(), "");

    // After the rescan the table shows the new name on the same, still selected, volume.
    ASSERT_TRUE(kit::runUntil(
        [&] { return !GetVolumes::Instance().isScanningVolumes() && rowOf("Stick") >= 0 && text(rowOf("Stick"), "name") == "Stick"; },
        30));
    EXPECT_EQ(page->selectVolume()->diskUUID(), uuid);
    EXPECT_EQ(page->selectVolume()->volumeMountPoint(), sim().path("/Volumes/Stick"));
}

TEST_F(DiskManagerTest, AFailedRenameLeavesTheRecordAndSaysSo) {
    openTabOnTheDemoMachine();
    // A tool that fails, and one that says it worked but leaves the name as it was.
    for (const char* knob : {"fail", "garbage"}) {
        const long row = rowOf("USB");
        clickRow(row);
        std::shared_ptr<VolumeObj> usb = page->rows()[size_t(row)];
        sim().setKnob("diskutil rename", knob);
        sim().clearJournal();
        click(button(row, "rename"));
        typeInto(*renameField(row), "Stick");
        click(button(row, "save"));
        ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 30)) << knob;
        EXPECT_EQ(message(), RepairDiskViewController::kRenameFailedText) << knob;
        EXPECT_EQ(diskutilArgs("rename").size(), 1u);
        EXPECT_EQ(usb->volumeName(), "USB");
        EXPECT_EQ(usb->volumeMountPoint(), sim().path("/Volumes/USB"));
        EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
        EXPECT_EQ(text(row, "name"), "USB");
        click(page->errorWC()->okButton());
        ASSERT_TRUE(kit::runUntil([&] { return !GetVolumes::Instance().isScanningVolumes(); }, 30));
    }
}

TEST_F(DiskManagerTest, ATypedNameReachesTheToolLiterally) {
    WorkingFolderGuard cwd;
    ASSERT_TRUE(cwd.ok());
    openTabOnTheDemoMachine();
    const long row = rowOf("USB");
    clickRow(row);
    std::shared_ptr<VolumeObj> usb = page->rows()[size_t(row)];
    const std::string name = "a\"; touch x; \"";
    click(button(row, "rename"));
    typeInto(*renameField(row), name);
    sim().clearJournal();
    click(button(row, "save"));
    ASSERT_TRUE(kit::runUntil([&] { return !diskutilArgs("rename").empty() && usb->volumeName() == name; }, 30));
    EXPECT_EQ(diskutilArgs("rename")[0], (std::vector<std::string>{"rename", usb->diskUUID(), name}));
    for (const std::string& where : {cwd.path(), sim().root(), sim().path("/Volumes"), sim().path("/tmp")})
        EXPECT_FALSE(fs::exists(where + "/x")) << where;
    EXPECT_TRUE(fs::exists(usb->volumeMountPoint() + "/readme.txt"));
}

TEST_F(DiskManagerTest, ANameBeginningWithADashIsRefused) {
    openTabOnTheDemoMachine();
    const long row = rowOf("USB");
    clickRow(row);
    sim().clearJournal();
    click(button(row, "rename"));
    typeInto(*renameField(row), "-plist");
    click(button(row, "save"));
    ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 10));
    EXPECT_EQ(message(), RepairDiskViewController::kNameOptionText);
    click(page->errorWC()->okButton());

    // The format's name as well.
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);
    typeInto(*c->nameTextFiled(), "-plist");
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 10));
    EXPECT_EQ(message(), RepairDiskViewController::kNameOptionText);
    kit::runFor(0.3);
    EXPECT_FALSE(page->isFormatRunning());
    EXPECT_EQ(endPanel(), nullptr);
    for (const char* command : {"rename", "eraseVolume"}) EXPECT_TRUE(diskutilArgs(command).empty()) << command;
    EXPECT_EQ(text(row, "name"), "USB");
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
}

TEST_F(DiskManagerTest, NamesThatChangeNothingSendNothing) {
    openTabOnTheDemoMachine();
    const long row = rowOf("Photos");
    clickRow(row);
    sim().clearJournal();
    // Save without typing, with a blank, with the current name.
    click(button(row, "rename"));
    click(button(row, "save"));
    for (const char* typed : {" ", "Photos", ""}) {
        click(button(row, "rename"));
        typeInto(*renameField(row), typed);
        click(button(row, "save"));
        EXPECT_FALSE(page->isRenameEdit());
    }
    kit::runFor(0.3);
    EXPECT_TRUE(diskutilArgs("rename").empty());
    EXPECT_EQ(message(), "");
    EXPECT_EQ(text(row, "name"), "Photos");
}

TEST_F(DiskManagerTest, TypingSurvivesAReloadAndAnotherRowEndsTheRename) {
    openTabOnTheDemoMachine();
    const long row = rowOf("USB");
    clickRow(row);
    click(button(row, "rename"));
    typeInto(*renameField(row), "Half typed");
    // A scan ends while the user types: the row is made anew with the typing kept.
    rescan();
    kit::runFor(0.05);
    ASSERT_TRUE(page->isRenameEdit());
    ASSERT_NE(renameField(row), nullptr);
    EXPECT_EQ(renameField(row)->stringValue(), "Half typed");
    // Another row ends the rename without sending anything.
    sim().clearJournal();
    clickRow(rowOf("Photos"));
    EXPECT_FALSE(page->isRenameEdit());
    EXPECT_EQ(renameField(row), nullptr);
    kit::runFor(0.2);
    EXPECT_TRUE(diskutilArgs("rename").empty());
}

// The field's delegate hears the user's edits only.
TEST_F(DiskManagerTest, TextFieldDelegateHearsTypingNotCode) {
    struct Listener : kit::TextFieldDelegate {
        std::vector<std::string> heard;
        void controlTextDidChange(kit::TextField& f) override { heard.push_back(f.stringValue()); }
    } listener;
    auto w = std::make_shared<kit::Window>(kit::Rect(100, 100, 300, 100), kit::TitledWindowMask);
    auto field = std::make_shared<kit::TextField>(kit::Rect(10, 10, 200, 22));
    w->contentView()->addSubview(field);
    field->setEditable(true);
    field->setDelegate(&listener);
    field->setStringValue("set by code");
    EXPECT_TRUE(listener.heard.empty());
    typeInto(*field, "typed");
    EXPECT_EQ(listener.heard, std::vector<std::string>{"typed"});
    field->setDelegate(nullptr);
    typeInto(*field, "again");
    EXPECT_EQ(listener.heard.size(), 1u);
    w->orderOut();
}
