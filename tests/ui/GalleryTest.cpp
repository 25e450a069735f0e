// The gallery: every image button in each state, every drawn background and
// the two title-bar windows, rendered to PNG files under the build folder
// (ui-render/). With PELORIN_SCREENSHOT_DIR set and a real display, the
// windows are shown on screen and the screen is grabbed instead (see
// scripts/screenshot.sh).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <functional>

#include "Comm/AboutVersionBgView.h"
#include "Comm/ActiveView.h"
#include "Comm/AllCustemButton.h"
#include "Comm/BGMView.h"
#include "Comm/BGWView.h"
#include "Comm/CancelTextImageButton.h"
#include "Comm/EndViewTipBgView.h"
#include "Comm/LeftBgView.h"
#include "Comm/LeftButton.h"
#include "Comm/OVHandButton.h"
#include "Comm/PopBgView.h"
#include "Comm/PopInView.h"
#include "Comm/PopNoHeaderV.h"
#include "Comm/PopWBgView.h"
#include "Comm/PopWTopBgView.h"
#include "Comm/RepaorTableBGView.h"
#include "Comm/TCImageButton.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextFiledBgView.h"
#include "Comm/TextImageButton.h"
#include "Comm/TopBgView.h"
#include "Comm/TopImageView.h"
#include "Comm/WbgView.h"
#include "Comm/getColor.h"
#include "MainLikeWindow.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Rect;
using uitest::caption;
using uitest::UiTest;

enum class State { Normal, Hover, Pressed, Disabled };

// Puts a button into a state the way the user would, through events. The
// pointer can hover over one button only, so the hover flag of the others is
// set directly afterwards (see makeGallery).
void putInState(kit::Window& w, ImageStateButton& b, State s) {
    if (s == State::Hover) uitest::send(w, kit::EventType::MouseMoved, uitest::centreInWindow(b));
    if (s == State::Pressed) {
        kit::Event e = uitest::mouseEvent(w, kit::EventType::LeftMouseDown, uitest::centreInWindow(b));
        b.mouseDown(e);   // held down: no release follows
    }
    if (s == State::Disabled) b.setButtonEnabled(false);
}

struct Gallery {
    std::shared_ptr<kit::Window> window;
    std::vector<std::shared_ptr<kit::View>> keep;
};

Gallery makeGallery() {
    Gallery g;
    g.window = std::make_shared<kit::Window>(Rect(20, 20, 1560, 960), kit::BorderlessWindowMask);
    g.window->setBackgroundColor(kit::Color::rgb255(205, 211, 222));
    kit::View* root = g.window->contentView();
    const State states[] = {State::Normal, State::Hover, State::Pressed, State::Disabled};
    double y = 960 - 40;
    root->addSubview(caption("Image buttons: normal, hover, pressed, disabled", Rect(20, y, 600, 16)));

    struct Later { std::shared_ptr<ImageStateButton> b; State s; };
    std::vector<Later> later;
    auto row = [&](const std::string& title, double height, double width,
                   const std::function<std::shared_ptr<ImageStateButton>(Rect)>& make) {
        y -= height + 14;
        root->addSubview(caption(title, Rect(20, y + height / 2 - 8, 220, 16)));
        for (int i = 0; i < 4; ++i) {
            auto b = make(Rect(250 + i * (width + 30), y, width, height));
            root->addSubview(b);
            later.push_back({b, states[i]});
        }
    };
    auto textButton = [](std::string base, std::string text, std::string disable = "") {
        return [=](Rect f) {
            auto b = std::make_shared<TextImageButton>(f);
            b->setImageFromFileNormalName(base, base + "_press", base + "_hover", disable.empty() ? base + "_disable" : disable);
            b->setTextWithName(text);
            return std::static_pointer_cast<ImageStateButton>(b);
        };
    };
    row("TextImageButton btn_main", 44, 180, textButton("btn_main", "Copy Now"));
    row("TextImageButton btn_pri", 32, 120, textButton("btn_pri", "Confirm"));
    row("TextImageButton btn_sec", 32, 120, textButton("btn_sec", "Done"));
    row("TextImageButton btn_tool", 24, 72, textButton("btn_tool", "Eject", "btn_tool"));
    row("TextImageButton btn_cancel", 32, 120, textButton("btn_cancel", "Cancel"));
    row("TextImageButton btn_l_pril", 40, 160, textButton("btn_l_pril", "Install"));
    row("CancelTextImageButton btn_sec", 32, 120, [](Rect f) {
        auto b = std::make_shared<CancelTextImageButton>(f);
        b->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        b->setTextWithName("Cancel");
        return std::static_pointer_cast<ImageStateButton>(b);
    });
    row("TCImageButton ic_close", 16, 16, [](Rect f) {
        auto b = std::make_shared<TCImageButton>(f);
        b->setImageFromFileNormalName("ic_close", "ic_close_press", "ic_close_hover", "ic_close");
        return std::static_pointer_cast<ImageStateButton>(b);
    });
    row("TCImageButton ic_open", 12, 12, [](Rect f) {
        auto b = std::make_shared<TCImageButton>(f);
        b->setImageFromFileNormalName("ic_open", "ic_open_press", "ic_open_hover", "ic_open_disable");
        return std::static_pointer_cast<ImageStateButton>(b);
    });
    // Tabs: unselected and selected, each also hovered.
    y -= 52 + 14;
    root->addSubview(caption("LeftButton: off, off hover, on, on hover", Rect(20, y + 18, 220, 16)));
    const char* icons[] = {"ic_disk_icon", "ic_os_main", "ic_dmg", "ic_tool"};
    const char* names[] = {"Disk Copy", "OS Clone", "Disk Image Create", "Disk Manager"};
    std::vector<std::pair<std::shared_ptr<LeftButton>, bool>> tabs;
    for (int i = 0; i < 4; ++i) {
        auto bg = std::make_shared<LeftBgView>(Rect(0, 0, 164, 52));
        auto holder = std::make_shared<kit::View>(Rect(250 + i * 190, y, 164, 52));
        holder->addSubview(bg);
        auto t = std::make_shared<LeftButton>(Rect(0, 0, 164, 52));
        t->setBordered(false);
        t->setImageFromFileNormalName(icons[i], icons[i]);
        t->setTextWithName(names[i]);
        t->setButtonAction(i >= 2);
        holder->addSubview(t);
        root->addSubview(holder);
        tabs.push_back({t, i % 2 == 1});
    }
    // Standard buttons of the family.
    y -= 30 + 14;
    root->addSubview(caption("OVHandButton, AllCustemButton", Rect(20, y + 7, 220, 16)));
    auto hand = std::make_shared<OVHandButton>(Rect(250, y, 140, 30));
    hand->setTitle("Open Folder");
    auto custom = std::make_shared<AllCustemButton>(Rect(420, y, 140, 30));
    custom->setTitle("White Title");
    custom->setBordered(false);
    custom->setFont(kit::Font::boldSystemFont(13));
    std::shared_ptr<kit::View> customBg = std::make_shared<PopWTopBgView>(Rect(0, 0, 160, 38));
    auto customHolder = std::make_shared<kit::View>(Rect(410, y - 4, 160, 38));
    customHolder->addSubview(customBg);
    customBg = customHolder;
    root->addSubview(customBg);
    root->addSubview(hand);
    root->addSubview(custom);
    g.keep.push_back(customBg);

    // Backgrounds: each in a holder so that it sits at its superview's origin.
    y -= 40;
    root->addSubview(caption("Drawn backgrounds", Rect(20, y, 600, 16)));
    struct Bg { const char* name; std::shared_ptr<kit::View> view; };
    const Rect cell(0, 0, 160, 80);
    std::vector<Bg> bgs = {
        {"PopWBgView", std::make_shared<PopWBgView>(cell)},
        {"BGMView", std::make_shared<BGMView>(cell)},
        {"PopNoHeaderV", std::make_shared<PopNoHeaderV>(cell)},
        {"PopWTopBgView", std::make_shared<PopWTopBgView>(Rect(0, 0, 160, 38))},
        {"RepaorTableBGView", std::make_shared<RepaorTableBGView>(cell)},
        {"EndViewTipBgView", std::make_shared<EndViewTipBgView>(cell)},
        {"PopBgView", std::make_shared<PopBgView>(cell)},
        {"WbgView", std::make_shared<WbgView>(cell)},
        {"PopInView", std::make_shared<PopInView>(cell)},
        {"TextFiledBgView", std::make_shared<TextFiledBgView>(Rect(0, 0, 160, 28))},
        {"ActiveView", std::make_shared<ActiveView>(Rect(0, 0, 160, 40))},
        {"LeftBgView", std::make_shared<LeftBgView>(cell)},
        {"AboutVersionBgView", std::make_shared<AboutVersionBgView>(Rect(0, 0, 160, 24))},
        {"TopImageView", std::make_shared<TopImageView>(Rect(0, 0, 160, 25))},
    };
    static_cast<TopImageView*>(bgs.back().view.get())->setImageNamed("top");
    static_cast<TopImageView*>(bgs.back().view.get())->setImageScaling(kit::ImageScaling::AxesIndependently);
    for (size_t i = 0; i < bgs.size(); ++i) {
        const double x = 20 + (i % 7) * 215, top = y - 10 - (i / 7) * 112;
        auto holder = std::make_shared<kit::View>(Rect(x, top - 80, 160, 80));
        holder->addSubview(bgs[i].view);
        root->addSubview(holder);
        root->addSubview(caption(bgs[i].name, Rect(x, top - 97, 180, 16)));
    }
    y -= 10 + 2 * 112;
    auto topBg = std::make_shared<TopBgView>(Rect(0, 0, 888, 110));
    auto topHolder = std::make_shared<kit::View>(Rect(20, y - 115, 888, 110));
    topHolder->addSubview(topBg);
    root->addSubview(topHolder);
    root->addSubview(caption("TopBgView", Rect(920, y - 60, 120, 16)));

    g.window->orderFront();
    for (auto& l : later) putInState(*g.window, *l.b, l.s);
    for (auto& [t, hovered] : tabs)
        if (hovered) uitest::send(*g.window, kit::EventType::MouseMoved, uitest::centreInWindow(*t));
    uitest::send(*g.window, kit::EventType::MouseMoved, {1500, 10});
    for (auto& l : later)
        if (l.s == State::Hover) l.b->setIsFocus(true);
    for (auto& [t, hovered] : tabs) t->setIsFocus(hovered);
    g.window->display();
    return g;
}

// A window like the main window: 25-point bar, buttons 16 from the left, 3 down.
std::shared_ptr<TCImageWindow> makeMainLike() {
    auto w = uitest::mainLikeWindow(Rect(700, 20, 888, 536), 960, true);
    w->contentView()->addSubview(uitest::startButton(Rect(444, 40, 180, 44)));
    return w;
}

// A window like the About and file-choice windows: 38-point bar, buttons 15 from the left.
std::shared_ptr<TCImageWindow> makeOtherLike() {
    auto w = std::make_shared<TCImageWindow>(Rect(880, 600, 480, 300),
                                             kit::TitledWindowMask | kit::ClosableWindowMask | kit::MiniaturizableWindowMask);
    w->setTitleBarHeight(38);
    w->setTrafficLightButtonsLeftMargin(15);
    w->setTopButtonMoveUp(0);
    auto band = std::make_shared<PopWTopBgView>(Rect(0, 0, 480, 38));
    w->titleBarView()->addSubview(band);
    auto title = kit::TextField::label("About", Rect(0, 10, 480, 18));
    title->setAlignment(kit::TextAlignment::Center);
    title->setFont(kit::Font::boldSystemFont(13));
    w->titleBarView()->addSubview(title);
    auto body = std::make_shared<PopNoHeaderV>(Rect(0, 0, 480, w->contentView()->frame().height()));
    w->contentView()->addSubview(body);
    auto version = std::make_shared<AboutVersionBgView>(Rect(170, 200, 140, 24));
    w->contentView()->addSubview(version);
    auto ok = std::make_shared<TextImageButton>(Rect(180, 30, 120, 32));
    ok->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    ok->setTextWithName("OK");
    w->contentView()->addSubview(ok);
    return w;
}

TEST_F(UiTest, GalleryRendersToPng) {
    if (std::getenv("PELORIN_SCREENSHOT_DIR")) GTEST_SKIP() << "screenshot run";
    Gallery g = makeGallery();
    const std::string dir = uitest::renderDir();
    kit::Bitmap gallery = kit::renderWindow(*g.window);
    EXPECT_EQ(gallery.width(), 1560);
    EXPECT_TRUE(gallery.savePNG(dir + "/gallery.png"));

    auto main = makeMainLike();
    main->makeKeyAndOrderFront();   // the second layout applies the 3-point move
    EXPECT_TRUE(kit::renderWindow(*main).savePNG(dir + "/titlebar-main.png"));
    auto other = makeOtherLike();
    other->makeKeyAndOrderFront();
    EXPECT_TRUE(kit::renderWindow(*other).savePNG(dir + "/titlebar-other.png"));
    auto full = std::make_shared<BGWView>(Rect(0, 0, 888, 558));
    EXPECT_TRUE(kit::renderView(*full).savePNG(dir + "/BGWView.png"));
}

// Shows the gallery, then the title-bar windows, on the real display and
// grabs the screen each time.
TEST_F(UiTest, ScreenshotOnARealDisplay) {
    const char* dir = std::getenv("PELORIN_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "set PELORIN_SCREENSHOT_DIR (scripts/screenshot.sh)";
    auto grab = [&](const std::string& name) {
        kit::runFor(1.0);
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        EXPECT_TRUE(shot.save(QString::fromStdString(std::string(dir) + "/" + name), "PNG"));
    };
    {
        Gallery g = makeGallery();
        g.window->makeKeyAndOrderFront();
        grab("screen-gallery.png");
        g.window->orderOut();
    }
    auto main = makeMainLike();
    auto other = makeOtherLike();
    main->makeKeyAndOrderFront();
    other->makeKeyAndOrderFront();
    grab("screen-titlebars.png");
}

}  // namespace
