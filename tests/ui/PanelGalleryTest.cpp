// Gallery pictures of the panels and their parts, rendered to PNG files under
// the build folder (ui-render/): the progress bars, the step indicator, the
// attached-window bubbles on each side of a point, a message panel over the
// main window, and the copy-mode chooser.
#include <cstdlib>
#include <functional>

#include "Comm/BGWView.h"
#include "Comm/DiskSizeProgress.h"
#include "Comm/ErrorWindowController.h"
#include "Comm/ITProgressBar.h"
#include "Comm/LComboBox.h"
#include "Comm/LeftBgView.h"
#include "Comm/LeftButton.h"
#include "Comm/OVProgressView.h"
#include "Comm/PopWindow/MAAttachedWindow.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/ProgressView.h"
#include "Comm/SelectAllFilePopVC.h"
#include "Comm/SetpViewController.h"
#include "Comm/SizeView.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "Comm/WipeDiskProView.h"
#include "MainLikeWindow.h"
#include "UiTest.h"
#include "kit/Format.h"
#include "kit/RunLoop.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "support/SimRoot.h"

namespace {

using kit::Rect;
using uitest::caption;
using uitest::UiTest;

std::shared_ptr<kit::Window> canvas(Rect frame, kit::Color background) {
    auto w = std::make_shared<kit::Window>(frame, kit::BorderlessWindowMask);
    w->setBackgroundColor(background);
    w->orderFront();
    return w;
}

bool save(kit::Window& w, const std::string& name) {
    w.display();
    return kit::renderWindow(w).savePNG(uitest::renderDir() + "/" + name);
}

TEST_F(UiTest, GalleryProgressBars) {
    auto w = canvas(Rect(20, 20, 940, 470), kit::Color::rgb255(242, 247, 255));
    kit::View* root = w->contentView();
    double y = 470 - 34;
    root->addSubview(caption("ITProgressBar at 0, 0.35 and 1", Rect(20, y, 400, 16), 12));
    for (double v : {0.0, 0.35, 1.0}) {
        y -= 32;
        root->addSubview(caption(kit::format("%.2f", v), Rect(20, y, 60, 16)));
        auto bar = std::make_shared<ITProgressBar>(Rect(90, y, 520, 16));
        bar->setFloatValue(v);
        root->addSubview(bar);
    }
    y -= 44;
    root->addSubview(caption("Flat bars at 0, 50 and 100", Rect(20, y, 400, 16), 12));
    for (int i = 0; i < 3; ++i)
        root->addSubview(caption(std::to_string(i * 50) + " %", Rect(150 + i * 260, y - 20, 60, 16)));
    y -= 24;
    struct Flat { const char* name; double height; std::function<std::shared_ptr<kit::View>(Rect, float)> make; };
    const std::vector<Flat> flats = {
        {"DiskSizeProgress", 4, [](Rect f, float p) { auto b = std::make_shared<DiskSizeProgress>(f); b->changeProgressValue(p); return std::static_pointer_cast<kit::View>(b); }},
        {"ProgressView", 6, [](Rect f, float p) { auto b = std::make_shared<ProgressView>(f); b->changeProgressValue(p); return std::static_pointer_cast<kit::View>(b); }},
        {"WipeDiskProView", 4, [](Rect f, float p) { auto b = std::make_shared<WipeDiskProView>(f); b->changeProgressValue(p); return std::static_pointer_cast<kit::View>(b); }},
        {"SizeView", 6, [](Rect f, float p) { auto b = std::make_shared<SizeView>(f); b->setSizeFloat(p); return std::static_pointer_cast<kit::View>(b); }},
    };
    for (const Flat& f : flats) {
        y -= 30;
        root->addSubview(caption(f.name, Rect(20, y - 5, 120, 16)));
        for (int i = 0; i < 3; ++i) {
            // Each in a holder, so the bar sits at its superview's origin as in the screens.
            auto holder = std::make_shared<kit::View>(Rect(150 + i * 260, y, 240, f.height));
            holder->addSubview(f.make(Rect(0, 0, 240, f.height), float(i * 50)));
            root->addSubview(holder);
        }
    }
    y -= 22;
    root->addSubview(caption("OVProgressView", Rect(20, y - 4, 120, 16)));
    for (int i = 0; i < 3; ++i) {
        y -= i == 0 ? 0 : 32;
        auto holder = std::make_shared<kit::View>(Rect(150, y - 10, 436, 22));
        auto bar = std::make_shared<OVProgressView>(Rect(0, 0, 436, 22));
        bar->changeProgressValue(float(i * 50));
        holder->addSubview(bar);
        root->addSubview(holder);
        root->addSubview(caption(std::to_string(i * 50) + " %", Rect(600, y - 7, 60, 16)));
    }
    EXPECT_TRUE(save(*w, "progress-bars.png"));
}

TEST_F(UiTest, GalleryStepIndicator) {
    auto w = canvas(Rect(20, 20, 680, 260), kit::Color::white());
    std::vector<std::shared_ptr<SetpViewController>> keep;
    for (int step = 1; step <= 3; ++step) {
        auto s = std::make_shared<SetpViewController>();
        s->view()->setFrameOrigin({40, 260 - 80.0 * step});
        w->contentView()->addSubview(s->viewPtr());
        s->setSetpIn(step);
        keep.push_back(s);
    }
    EXPECT_TRUE(save(*w, "step-indicator.png"));
}

TEST_F(UiTest, GalleryBubblesOnEverySide) {
    // One cell per side, each with its marked point and the bubble attached to it.
    const double cw = 300, ch = 190;
    auto w = canvas(Rect(20, 20, 4 * cw, 3 * ch), kit::Color::rgb255(225, 231, 239));
    std::vector<std::shared_ptr<kit::Window>> bubbles;
    const char* names[] = {"left",           "below",           "right",           "above",
                           "left, upward",   "left, downward",  "right, upward",   "right, downward",
                           "above, leftward", "above, rightward", "below, leftward", "below, rightward"};
    for (int side = 0; side < 12; ++side) {
        const double x0 = (side % 4) * cw, y0 = (2 - side / 4) * ch;
        const kit::Point p{x0 + cw / 2, y0 + ch / 2};
        auto mark = std::make_shared<kit::View>(Rect(p.x - 3, p.y - 3, 6, 6));
        auto dot = kit::TextField::label("", Rect(0, 0, 6, 6));
        dot->setDrawsBackground(true);
        dot->setBackgroundColor(kit::Color::rgb255(230, 40, 60));
        mark->addSubview(dot);
        w->contentView()->addSubview(mark);
        w->contentView()->addSubview(caption("side " + std::to_string(side), Rect(x0 + 8, y0 + ch - 20, cw - 16, 16)));

        auto content = std::make_shared<kit::View>(Rect(0, 0, 124, 36));
        auto label = caption(names[side], Rect(4, 10, 116, 16), 12);
        label->setAlignment(kit::TextAlignment::Center);
        content->addSubview(label);
        auto bubble = MAAttachedWindow::initWithView(content, p, w.get(), side, 4);
        bubble->setBorderColor(kit::Color::rgb255(120, 140, 180));
        bubble->setBorderWidth(1);
        bubble->setArrowBaseWidth(20);
        bubble->setArrowHeight(12);
        w->addChildWindow(bubble, kit::WindowOrderingMode::Above);
        bubbles.push_back(bubble);
    }
    EXPECT_TRUE(save(*w, "bubbles.png"));
}

// A window like the main window (its layout's 888 x 561), with its 25-point bar.
std::shared_ptr<TCImageWindow> mainWindow() {
    auto w = uitest::mainLikeWindow(Rect(300, 200, 888, 561), 888, false);
    w->contentView()->addSubview(uitest::startButton(Rect(444, 40, 180, 44)));
    w->makeKeyAndOrderFront();
    return w;
}

TEST_F(UiTest, GalleryMessagePanelOverTheMainWindow) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    root.setSystemVersion("13.4");
    auto main = mainWindow();
    auto panel = std::make_shared<ErrorWindowController>();
    auto window = showStatusPanel(panel, *main);
    panel->changeErrorLabelStr("Insufficient disk space on this destination drive, please select another drive.");
    ASSERT_NE(window, nullptr);
    window->display();
    EXPECT_TRUE(save(*main, "panel-message.png"));
}

TEST_F(UiTest, GalleryCopyModeChooser) {
    auto w = canvas(Rect(20, 20, 760, 230), kit::Color::rgb255(242, 247, 255));
    struct Box { std::shared_ptr<LComboBox> box; const char* title; };
    std::vector<Box> boxes;
    const char* titles[] = {"closed", "enabled, some files", "open, row 2 under the pointer"};
    for (int i = 0; i < 3; ++i) {
        auto box = std::make_shared<LComboBox>();
        box->view()->setFrameOrigin({20 + 250.0 * i, 44});
        w->contentView()->addSubview(box->viewPtr());
        w->contentView()->addSubview(caption(titles[i], Rect(24 + 250.0 * i, 16, 230, 16)));
        box->setStrLabelValue("Copy All Files");
        boxes.push_back({box, titles[i]});
    }
    boxes[1].box->setlComboBoxEnde(true);
    boxes[1].box->changeSelectType(CopyModeSomeFiles);
    boxes[2].box->setlComboBoxEnde(true);

    // The menu above the third box, as the screens show it.
    auto menu = std::make_shared<SelectAllFilePopVC>();
    kit::View* box3 = boxes[2].box->view();
    const kit::Point anchor{box3->frame().maxX() - 110, box3->frame().maxY() + 4};
    auto menuWindow = RMAAttachedWindow::initWithView(menu->viewPtr(), anchor, w.get(), 3, 0, 0.8f);
    w->addChildWindow(menuWindow, kit::WindowOrderingMode::Above);
    uitest::send(*menuWindow, kit::EventType::MouseMoved, uitest::centreInWindow(*menu->view_2()));
    EXPECT_EQ(menu->label_2()->textColor(), kit::Color::white());
    EXPECT_TRUE(save(*w, "chooser.png"));
}

}  // namespace
