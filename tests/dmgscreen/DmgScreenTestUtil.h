#pragma once
// The "Disk Image Create" tab on a simulated machine, as a test drives it: the
// real main window with its screen, the real volume records of the machine,
// the drive picker's hand-back, the panels laid over the window, the stand-in
// tools' journal, and trees on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "Disk/GetVolumes.h"
#include "Disk/VolumeObj.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "ZipDmg/DmgViewController.h"
#include "MainWindowController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"
#include "ui/UiTest.h"

namespace dmgscreen {

namespace fs = std::filesystem;

inline void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A tree as relative path -> "dir", "file:<bytes>" or "link:<target>".
inline std::map<std::string, std::string> treeOf(const std::string& root) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink()) out[rel] = "link:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory()) out[rel] = "dir";
        else out[rel] = "file:" + readFile(it->path().string());
    }
    return out;
}

class DmgScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        ASSERT_TRUE(sim.ok()) << sim.error();
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        screen = main->dmgVC();
        ASSERT_NE(screen, nullptr);
        main->TopDmgButtonAction(nullptr);
        kit::runFor(0.05);
        ASSERT_FALSE(main->dmgView()->isHiddenOrHasHiddenAncestor());
        provider = GetVolumes::create();
        volumes = provider->getVolumes();
        ASSERT_TRUE(kit::runUntil([&] { return !volumes->empty() && !provider->isScanningVolumes(); }, 30));
    }
    void TearDown() override {
        for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
        kit::runFor(0.05);
    }

    // A fresh record of a mounted volume, as a scan makes it.
    std::shared_ptr<VolumeObj> volume(const std::string& name) {
        for (const auto& v : volumes->snapshot())
            if (v->volumeName() == name) return v;
        ADD_FAILURE() << "no volume " << name;
        return nullptr;
    }

    // A slot click followed by the picker's hand-back.
    void choose(int slotId, const std::shared_ptr<VolumeObj>& v) {
        SelectValueView* slot = slotId == 1 ? screen->selectFromVC() : screen->selectToVC();
        screen->selectDiskButton(slotId, slot->selectDiskBut());
        screen->doSelectDiskWithVolume(v);
        // The popover fades out before the next slot can open it again.
        kit::runUntil([&] { return !screen->popoverController() || !screen->popoverController()->popoverIsVisible(); }, 5);
        kit::runFor(0.02);
    }

    // The status windows over the main window that are on screen.
    std::vector<kit::Window*> statusWindows() {
        std::vector<kit::Window*> out;
        for (const auto& w : main->window()->childWindows())
            if (dynamic_cast<StatusAttachedWindow*>(w.get()) && w->isVisible()) out.push_back(w.get());
        return out;
    }
    // The open confirmation, if any.
    std::shared_ptr<DMGMakeSureWC> confirmation() {
        auto c = screen->makeSureWC();
        return c && c->superDelegate() && c->superDelegate()->isVisible() ? c : nullptr;
    }
    // The texts of the open message panels ("?" for all but the latest).
    std::vector<std::string> messages() {
        size_t n = statusWindows().size() - (confirmation() ? 1 : 0);
        std::vector<std::string> out(n, "?");
        if (n && screen->errorWC()) out.back() = screen->errorWC()->errorLabel()->stringValue();
        return out;
    }
    void closeMessages() {
        for (kit::Window* w : statusWindows())
            if (!confirmation() || confirmation()->superDelegate().get() != w) w->close();
        kit::runFor(0.05);
    }

    // A click as the user makes it: nothing happens on a button that is not usable.
    void click(kit::View* v) {
        ASSERT_NE(v, nullptr);
        uitest::clickView(*v);
        kit::runFor(0.02);
    }

    // "Create Now" on the page, then "Create Image" on the confirmation once it shows.
    bool startRun() {
        click(screen->cloneButton());
        if (!kit::runUntil([&] { return confirmation() || !messages().empty(); }, 20)) return false;
        if (!confirmation() || statusWindows().size() != 1) return false;
        // No turn of the main loop after the click: the run has started and
        // nothing of it has been reported yet.
        uitest::clickView(*confirmation()->doneButton());
        return true;
    }
    bool waitForEndView(double seconds = 60) {
        return kit::runUntil([&] { return !screen->endView()->isHidden(); }, seconds);
    }
    bool successShown() { return !screen->endView()->isHidden() && !screen->sussView()->isHidden() && screen->failView()->isHidden(); }
    bool stopShown() { return failureShown() && screen->errorLable()->stringValue() == "You have stopped the process."; }
    bool failureShown() { return !screen->endView()->isHidden() && !screen->failView()->isHidden() && screen->sussView()->isHidden(); }

    // The stand-in tools' runs of one tool (and verb).
    std::vector<sim::JournalEntry> runs(const std::string& tool, const std::string& verb = "") {
        std::vector<sim::JournalEntry> out;
        for (auto& e : sim.journal())
            if (e.tool == tool && (verb.empty() || (!e.args.empty() && e.args[0] == verb))) out.push_back(e);
        return out;
    }
    // Files directly in a folder whose name ends with the suffix.
    static std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& suffix) {
        std::vector<std::string> out;
        std::error_code ec;
        for (auto& e : fs::directory_iterator(folder, ec)) {
            const std::string n = e.path().filename().string();
            if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
                out.push_back(e.path().string());
        }
        return out;
    }

    EnvGuard timeScale{"PELORIN_TIME_SCALE", "0.1"};
    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    DmgViewController* screen = nullptr;
    std::shared_ptr<GetVolumes> provider;
    std::shared_ptr<VolumeList> volumes;
};

}  // namespace dmgscreen
