#pragma once
// The "Disk Image Create" tab on a simulated machine, as a test drives it: the
// real main window with its screen, the real volume records of the machine,
// the drive picker's hand-back, the panels laid over the window, the stand-in
// tools' journal, and trees on disk.
#include <sys/stat.h>

#include "ZipDmg/DMGMakeSureWC.h"
#include "ZipDmg/DmgViewController.h"
#include "support/ScreenTestUtil.h"

namespace dmgscreen {

using namespace screentest;

class DmgScreenTest : public TwoSlotScreenTest<DmgViewController, DMGMakeSureWC> {
protected:
    DmgScreenTest() : TwoSlotScreenTest("0.1") {}

    DmgViewController* screenOf(MainWindowController& m) override { return m.dmgVC(); }
    void showTab() override {
        main->TopDmgButtonAction(nullptr);
        kit::runFor(0.05);
        ASSERT_FALSE(main->dmgView()->isHiddenOrHasHiddenAncestor());
    }

    // "Create Now" on the page, then "Create Image" on the confirmation once it shows.
    bool startRun() { return start(); }
    bool stopShown() { return failureShown() && screen->errorLable()->stringValue() == "You have stopped the process."; }

    // The top level of the USB volume as the file-choice window lists it.
    FileNodeArray listUsbTop() {
        FileNodeArray top = makeFileNodeArray();
        screen->controller()->eumeAllRootFileNodeWithRootArr(top, sim.path("/Volumes/USB"), false, false);
        EXPECT_TRUE(kit::runUntil([&] { return !screen->controller()->isListing(); }, 20));
        return top;
    }

    // zip replaced by a script of the test's own, the folder zipme of USB
    // dropped onto the source slot, Backup as the destination and the zip
    // archive as the output.
    void zipDroppedFolderWith(const std::string& zipScript) {
        fs::create_directories(sim.path("/usr/bin"));
        fs::remove(sim.path("/usr/bin/zip"));
        writeFile(sim.path("/usr/bin/zip"), zipScript);
        ::chmod(sim.path("/usr/bin/zip").c_str(), 0755);
        writeFile(sim.path("/Volumes/USB/zipme/a.txt"), "a");
        chooseUsbToBackup();
        screen->viewDragAction(screen->selectFromVC()->eumeArr({sim.path("/Volumes/USB/zipme")}));
        ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 20));
        click(screen->makeZipBut());
    }

    // The stand-in tools' runs of one tool (and verb).
    std::vector<sim::JournalEntry> runs(const std::string& tool, const std::string& verb = "") {
        std::vector<sim::JournalEntry> out;
        for (auto& e : sim.journal())
            if (e.tool == tool && (verb.empty() || (!e.args.empty() && e.args[0] == verb))) out.push_back(e);
        return out;
    }
};

}  // namespace dmgscreen
