#pragma once
// The "Disk Copy" tab on a simulated machine, as a test drives it: the real
// main window with its screen, the real volume records of the machine, the
// drive picker's hand-back, the panels laid over the window, and trees on disk.
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
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "MainWindowController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "support/SimRoot.h"
#include "ui/UiTest.h"

namespace copyscreen {

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

class CopyScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        ASSERT_TRUE(sim.ok()) << sim.error();
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        screen = main->diskCopyVC();
        ASSERT_NE(screen, nullptr);
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
    std::shared_ptr<CopyMakeSureWC> confirmation() {
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

    // "Copy Now" on the page, then on the confirmation once it shows.
    bool startCopy() {
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
    bool failureShown() { return !screen->endView()->isHidden() && !screen->failView()->isHidden() && screen->sussView()->isHidden(); }

    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    DiskCopyViewController* screen = nullptr;
    std::shared_ptr<GetVolumes> provider;
    std::shared_ptr<VolumeList> volumes;
};

}  // namespace copyscreen
