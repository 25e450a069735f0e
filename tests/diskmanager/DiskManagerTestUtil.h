#pragma once
// The "Disk Manager" tab on a simulated machine, as a test drives it: the real
// main window with its page, the shared volume provider looking at the demo
// machine (rebuilt for each test), clicks on the table's rows and buttons,
// typing in the name fields, and the panels laid over the window.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLineEdit>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Comm/ErrorWindowController.h"
#include "Comm/OVProgressView.h"
#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "Comm/TextImageButton.h"
#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "DiskTool/DiskToolActions.h"
#include "DiskTool/FormatEndViewController.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "DiskTool/RepairDiskTableCellView.h"
#include "DiskTool/RepairDiskViewController.h"
#include "MainWindowController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/QtBridge.h"
#include "sim/Scenario.h"
#include "support/ScreenTestUtil.h"

namespace diskmanager {

using namespace screentest;

// Small delays: the busy panel 0.01 s after Continue, the end panel 0.1 s
// after the format, a reformat 0.2 s.
inline const bool kTimeScaled = [] { return ::setenv("PELORIN_TIME_SCALE", "0.1", 1) == 0; }();

// The first subview of `root` (one level down) with this identifier, of class T.
template <class T>
T* subview(kit::View& root, const std::string& identifier) {
    for (const auto& s : root.subviews())
        if (s->identifier() == identifier)
            if (auto* t = dynamic_cast<T*>(s.get())) return t;
    return nullptr;
}

template <class T>
T* firstOfClass(kit::View& root) {
    for (const auto& s : root.subviews())
        if (auto* t = dynamic_cast<T*>(s.get())) return t;
    return nullptr;
}

// Replaces what an editable field holds as the user would (select all, type).
inline void typeInto(kit::TextField& field, const std::string& text) {
    auto* editor = kit::widgetOf(field)->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "the field is not editable";
    editor->selectAll();
    editor->insert(QString::fromStdString(text));
}

class DiskManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        kit::ensureUiApp();
        // One root for the suite, rebuilt for each test: the shared provider
        // keeps looking at the same place.
        sim_ = std::make_unique<sim::SimRoot>("demo");
        ASSERT_TRUE(sim_->ok()) << sim_->error();
        GetVolumes::Instance();
    }
    static void TearDownTestSuite() {
        settle();
        sim_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(kTimeScaled);
        kit::Application::shared().setActive(true);
        settle();
        std::string error;
        ASSERT_TRUE(sim::createRoot("demo", sim_->root(), sim::SimRoot::toolDir(), &error)) << error;
    }
    void TearDown() override {
        for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
        main.reset();
        page = nullptr;
        settle();
    }

    // Nothing of the last test still runs.
    static void settle() {
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes() && !DiskToolActions::isFormatting(); },
                      30);
        kit::runFor(0.05);
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes(); }, 30);
    }

    // A fresh scan of the mounted volumes, waited for.
    static void rescan() {
        GetVolumes& gv = GetVolumes::Instance();
        ASSERT_TRUE(kit::runUntil([&] { return !gv.isScanningVolumes(); }, 60));
        gv.getDiskAndVolumes();
        ASSERT_TRUE(kit::runUntil([&] { return !gv.isScanningVolumes(); }, 60));
    }

    // The main window on its "Disk Manager" tab, with its page in the tab's host view.
    void openTab() {
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        main->window()->makeKeyAndOrderFront();
        main->TopDiskToolButtonAction(nullptr);
        ASSERT_NE(main->diskTool(), nullptr);
        page = main->repairDiskVC();
        ASSERT_NE(page, nullptr);
        ASSERT_FALSE(main->diskTool()->subviews().empty());
        EXPECT_EQ(main->diskTool()->subviews().front().get(), page->view());
        EXPECT_FALSE(main->diskTool()->isHidden());
    }
    // The tab once the page shows the list of the demo machine's latest scan.
    void openTabOnTheDemoMachine() {
        rescan();
        openTab();
        ASSERT_TRUE(kit::runUntil([&] { return page->isShown(); }, 30));
        kit::runFor(0.05);
    }

    sim::SimRoot& sim() { return *sim_; }

    // The disk tool lines, whole, that name a volume by its mount point or disk
    // UUID (the provider's scans name neither).
    std::vector<std::vector<std::string>> diskutilLinesAbout(const std::string& mountPoint, const std::string& uuid) {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : sim().journalFor("diskutil"))
            for (const auto& arg : e.args)
                if (arg == mountPoint || arg == uuid) {
                    out.push_back(e.args);
                    break;
                }
        return out;
    }
    // The disk tool runs that change something: all but the reads a volume
    // scan makes (a mount or unmount may set one off at any time).
    std::vector<std::vector<std::string>> changingDiskutilRuns() {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : sim().journalFor("diskutil"))
            if (e.args.empty() || (e.args[0] != "list" && e.args[0] != "info" && e.args[0] != "appleRAID"))
                out.push_back(e.args);
        return out;
    }
    std::vector<std::vector<std::string>> diskutilArgs(const std::string& command) {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : sim().journalFor("diskutil"))
            if (!e.args.empty() && e.args[0] == command) out.push_back(e.args);
        return out;
    }

    // ---- the table ----
    std::vector<std::string> rowNames() {
        std::vector<std::string> out;
        for (const auto& v : page->rows()) out.push_back(v->volumeName());
        return out;
    }
    long rowOf(const std::string& name) {
        for (size_t i = 0; i < page->rows().size(); ++i)
            if (page->rows()[i]->volumeName() == name) return long(i);
        return -1;
    }
    RepairDiskTableCellView* cell(long row) {
        RepairDiskTableCellView* c = page->cellAtRow(row);
        EXPECT_NE(c, nullptr) << "row " << row;
        return c;
    }
    TextImageButton* button(long row, const std::string& id) {
        RepairDiskTableCellView* c = cell(row);
        return c ? subview<TextImageButton>(*c, id) : nullptr;
    }
    // The buttons shown on a row, in the row's order.
    std::vector<std::string> shownButtons(long row) {
        std::vector<std::string> out;
        RepairDiskTableCellView* c = cell(row);
        if (!c) return out;
        for (const char* id : {"save", "rename", "format", "eject"})
            if (auto* b = subview<TextImageButton>(*c, id); b && !b->isHidden()) out.push_back(id);
        return out;
    }
    std::string text(long row, const std::string& id) {
        RepairDiskTableCellView* c = cell(row);
        auto* f = c ? subview<kit::TextField>(*c, id) : nullptr;
        return f ? f->stringValue() : "?";
    }
    kit::TextField* renameField(long row) {
        RepairDiskTableCellView* c = cell(row);
        kit::View* holder = c ? subview<kit::View>(*c, "editname") : nullptr;
        return holder && !holder->isHidden() ? firstOfClass<kit::TextField>(*holder) : nullptr;
    }

    void clickRow(long row) {
        kit::TableView* table = page->parTableView();
        const kit::Rect r = table->rectOfRow(row);
        const kit::Point p = table->convertPointToView(kit::Point{40, r.midY()}, nullptr);
        uitest::send(*table->window(), kit::EventType::LeftMouseDown, p);
        uitest::send(*table->window(), kit::EventType::LeftMouseUp, p);
        kit::runFor(0.02);
    }

    // ---- panels ----
    std::vector<kit::Window*> statusWindows() { return screentest::statusWindows(*main); }
    std::shared_ptr<MakeSureFormatViewController> confirmation() { return ifOnScreen(page->makeSureFormatVC()); }
    std::shared_ptr<FormatEndViewController> endPanel() { return ifOnScreen(page->formatEndVC()); }
    bool busyPanelShown() { return onScreen(page->formatingVC()); }
    std::string message() {
        auto e = page->errorWC();
        return onScreen(e) ? e->errorLabel()->stringValue() : "";
    }

    // Format on a row (selected first), up to the confirmation.
    std::shared_ptr<MakeSureFormatViewController> openConfirmation(long row) {
        if (page->selectIndex() != row) clickRow(row);
        click(button(row, "format"));
        EXPECT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 5));
        auto c = confirmation();
        // The name field opens for typing on a later turn.
        if (c) {
            EXPECT_TRUE(kit::runUntil([&] { return c->nameTextFiled()->isEditable(); }, 5));
        }
        return c;
    }

    static std::unique_ptr<sim::SimRoot> sim_;
    std::shared_ptr<MainWindowController> main;
    RepairDiskViewController* page = nullptr;
};

inline std::unique_ptr<sim::SimRoot> DiskManagerTest::sim_;

}  // namespace diskmanager
