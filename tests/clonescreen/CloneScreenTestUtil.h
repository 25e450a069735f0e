#pragma once
// The "OS Clone" tab on a simulated machine, as a test drives it: the real
// main window with its screen, the clone engine and the stand-in tools, the
// external disks as the volume provider records them, and the panels laid
// over the window.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Bootable/SelectDrivceViewController.h"
#include "Bootable/boot/OVBootable.h"
#include "kit/Shell.h"
#include "support/ScreenTestUtil.h"

namespace clonescreen {

using namespace screentest;

// The clone's 2 s + 2 s waits and the tools' pauses, shortened; the disk
// tool's minute of time-out stays long enough (12 s) for a busy machine.
inline void shortenTime(const char* scale = "0.2") { ::setenv("PELORIN_TIME_SCALE", scale, 1); }

class CloneScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        shortenTime();
        kit::ensureUiApp();
        kit::Application::shared().setActive(true);
        ASSERT_TRUE(sim.ok()) << sim.error();
        // An earlier test's clone has ended before this one starts.
        ASSERT_TRUE(kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, 60));
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        screen = main->bootableVC();
        ASSERT_NE(screen, nullptr);
        main->BootableButtonAction(nullptr);
        // The system's used size comes from the disk tool off the main thread.
        ASSERT_TRUE(kit::runUntil([&] { return !screen->isMeasuringUsedSize(); }, 60));
        kit::runFor(0.05);
    }
    void TearDown() override {
        OVBootable::OVShareInstance().OVStop();
        kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, 60);
        orderOutAllWindows();
        shortenTime();
    }

    // The external disk as a scan of the machine records it.
    std::shared_ptr<VolumeObj> externalDisk(const std::string& identifier = "disk2") {
        auto provider = GetVolumes::create();
        auto list = provider->getExVolumes();
        kit::runUntil([&] { return !list->empty() && !provider->isScanningExVolumes(); }, 30);
        for (const auto& v : list->snapshot())
            if (v->volumePath() == identifier) return v;
        ADD_FAILURE() << "no external disk " << identifier;
        return nullptr;
    }

    // A click on the target card followed by the picker's hand-back.
    void chooseTarget(const std::shared_ptr<VolumeObj>& v) {
        screen->selectDiskButton(2, screen->selectToVC()->selectDiskBut());
        screen->doSelectDiskWithVolume(v);
        kit::runUntil([&] { return !screen->popoverController() || !screen->popoverController()->popoverIsVisible(); }, 5);
        // "Clone Now" waits for the disk's partitions to be listed.
        kit::runUntil([&] { return !screen->isListingTarget(); }, 60);
        kit::runFor(0.02);
    }

    // The stick disk2 ejected outside the program and another of the same
    // model and size put in its place: same identifier, registry name and
    // size, partitions of its own, a volume "Family" with a file.
    void putTwinStickInPlace() {
        sim.update([](sim::Machine& m) { ASSERT_TRUE(sim::putTwinInPlace(m, "disk2", "Family")); });
        std::ofstream(sim.path("/Volumes/Family/photos.txt")) << "birthdays";
    }

    // The stick ejected, so the machine has no external disk, and the target's
    // picker opened on a fresh scan of the process's external list.
    bool openPickerWithoutExternalDisks() {
        if (kit::runShell("diskutil eject disk2 >/dev/null 2>&1") != 0) return false;
        GetVolumes& provider = GetVolumes::Instance();
        if (!kit::runUntil([&] { return !provider.isScanningExVolumes(); }, 60)) return false;
        provider.getExVolumes()->removeAllObjects();
        screen->selectDiskButton(2, screen->selectToVC()->selectDiskBut());
        // The picker's own scan ends without a disk; its spinner turns on.
        return screen->selectDiskVC() && kit::runUntil([&] { return !provider.isScanningExVolumes(); }, 60);
    }

    std::vector<kit::Window*> statusWindows() { return screentest::statusWindows(*main); }
    std::shared_ptr<MakeSureToCloneSystemVC> confirmation() { return ifOnScreen(screen->makeSureWC()); }
    std::shared_ptr<MakeSureCancelCloneSystemVC> stopConfirmation() { return ifOnScreen(screen->makeSureCancelWC()); }
    // The latest message panel's text while it is open, else "".
    std::string message() {
        auto e = ifOnScreen(screen->errorWC());
        return e ? e->errorLabel()->stringValue() : "";
    }
    void closeMessages() {
        if (auto e = ifOnScreen(screen->errorWC())) e->okButtonAction(nullptr);
        kit::runFor(0.05);
    }

    // "Clone Now" on the page, then on its confirmation.
    bool startClone() {
        click(screen->cloneButton());
        if (!kit::runUntil([&] { return confirmation() != nullptr; }, 10)) return false;
        click(confirmation()->doneButton());
        return screen->isRunning() || !screen->endView()->isHidden();
    }
    bool waitForEndView(double seconds = 120) {
        return kit::runUntil([&] { return !screen->endView()->isHidden(); }, seconds);
    }
    // A clone to the disk with this one knob of the stand-in tools set, up to its end view.
    bool cloneWithKnob(const std::shared_ptr<VolumeObj>& disk, const std::string& knob, const std::string& value) {
        sim.clearKnobs();
        sim.setKnob(knob, value);
        chooseTarget(disk);
        return startClone() && waitForEndView();
    }
    bool successShown() {
        return !screen->endView()->isHidden() && !screen->sussView()->isHidden() && screen->failView()->isHidden();
    }
    bool failureShown() {
        return !screen->endView()->isHidden() && !screen->failView()->isHidden() && screen->sussView()->isHidden();
    }
    std::string failureText() { return screen->errorLable()->stringValue(); }
    // The failure view with this text, and the tabs free again.
    void expectFailureEnd(const std::string& text) {
        EXPECT_TRUE(failureShown());
        EXPECT_EQ(failureText(), text);
        EXPECT_TRUE(main->isTabChangeAllowed());
    }
    bool engineIdle() {
        return kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, 60);
    }

    // The journal as "tool first-arg [last-arg]" lines (the disk tool's last word names the disk).
    std::vector<std::string> journalLines() {
        std::vector<std::string> order;
        for (const auto& e : sim.journal()) {
            std::string line = e.tool + (e.args.empty() ? "" : " " + e.args.at(0));
            if (e.tool == "diskutil" && e.args.size() > 1) line += " " + e.args.back();
            order.push_back(line);
        }
        return order;
    }
    // Whether the lines starting with these texts come in this order (other
    // runs, such as the volume provider's scans, may come in between).
    bool journalInOrder(const std::vector<std::string>& prefixes, std::string* got = nullptr) {
        const auto lines = journalLines();
        size_t next = 0;
        for (const auto& l : lines)
            if (next < prefixes.size() && l.rfind(prefixes[next], 0) == 0) ++next;
        if (got)
            for (const auto& l : lines) *got += l + "\n";
        return next == prefixes.size();
    }
    bool journalHasLine(const std::string& prefix) {
        for (const auto& l : journalLines())
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }
    bool journalHas(const std::string& tool) { return !sim.journalFor(tool).empty(); }

    sim::SimRoot sim{"clone"};
    std::shared_ptr<MainWindowController> main;
    SelectDrivceViewController* screen = nullptr;
};

}  // namespace clonescreen
