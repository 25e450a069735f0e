// Layout files: classes from the registry, outlets and actions bound by name,
// and the errors that keep a broken file from loading half-way.
#include "Comm/LeftButton.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "Comm/WbgView.h"
#include "UiTest.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class Owner : public kit::LayoutOwner {
public:
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<TextImageButton> start;
    std::shared_ptr<kit::TextField> name;
    int started = 0;
    int awokeWithOutlets = 0;
    Owner() {
        declareOutlet("window", window);
        declareOutlet("start", start);
        declareOutlet("name", name);
        registerAction("startAction:", [this](kit::Object*) { ++started; });
    }
    void awakeFromNib() override { awokeWithOutlets += (window && start && name) ? 1 : 0; }
};

const char* kGood = R"({
  "window": { "class": "TCImageWindow", "contentRect": [100, 100, 400, 300],
              "styleMask": ["titled", "closable"], "title": "Test", "outlet": "window",
              "contentView": { "subviews": [
                 { "class": "WbgView", "frame": [0, 0, 400, 300], "autoresizing": ["width", "height"], "subviews": [
                    { "class": "TextImageButton", "frame": [140, 20, 120, 32], "outlet": "start", "action": "startAction:" },
                    { "class": "TextField", "frame": [20, 250, 200, 17], "text": "Disk Copy", "outlet": "name",
                      "font": {"size": 13, "bold": true}, "textColor": [38, 52, 76], "alignment": "center" },
                    { "class": "ImageView", "frame": [20, 200, 20, 20], "image": "ic_close", "scaling": "axesIndependently" }
                 ] } ] } } })";

TEST_F(UiTest, LayoutFileBuildsTheTreeAndBindsOutletsAndActions) {
    Owner o;
    kit::LayoutContents c = kit::loadLayoutFromJson(kGood, "Good", o);
    ASSERT_EQ(c.windows.size(), 1u);
    EXPECT_EQ(o.awokeWithOutlets, 1);
    auto* w = dynamic_cast<TCImageWindow*>(o.window.get());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->title(), "Test");
    EXPECT_EQ(o.name->stringValue(), "Disk Copy");
    EXPECT_EQ(o.name->font(), kit::Font::boldSystemFont(13));
    EXPECT_EQ(o.name->textColor(), kit::Color::rgb255(38, 52, 76));
    EXPECT_EQ(o.start->frame(), Rect(140, 20, 120, 32));
    EXPECT_NE(dynamic_cast<WbgView*>(o.start->superview()), nullptr);
    EXPECT_EQ(o.start->target(), &o);
    w->makeKeyAndOrderFront();
    uitest::clickView(*o.start);
    EXPECT_EQ(o.started, 1);
}

void expectLoadError(const std::string& json, const std::string& fragment) {
    Owner o;
    try {
        kit::loadLayoutFromJson(json, "Bad", o);
        ADD_FAILURE() << "loaded, expected an error about " << fragment;
    } catch (const kit::LayoutError& e) {
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

TEST_F(UiTest, BrokenLayoutFilesAreLoadErrors) {
    std::string good = kGood;
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    expectLoadError(replaced(R"("outlet": "name",)", ""), "outlet \"name\" is not connected");
    expectLoadError(replaced(R"("outlet": "name")", R"("outlet": "nmae")"), "no outlet \"nmae\"");
    expectLoadError(replaced(R"("outlet": "start")", R"("outlet": "name")"), "wrong class");
    expectLoadError(replaced("\"WbgView\"", "\"NoSuchView\""), "unknown view class \"NoSuchView\"");
    expectLoadError(replaced("startAction:", "stratAction:"), "does not answer the action \"stratAction:\"");
    expectLoadError(replaced("\"alignment\"", "\"alignmnet\""), "no property \"alignmnet\"");
    expectLoadError("{ not json", "not a JSON object");
    Owner o;
    EXPECT_THROW(kit::loadLayout("NoSuchLayoutFile", o), kit::LayoutError);
}

class TabsController : public kit::ViewController {
public:
    std::shared_ptr<LeftButton> tab;
    int didLoad = 0;
    int selected = 0;
    bool viewDuringAwake = false;
    TabsController() : kit::ViewController("Tabs") {
        declareOutlet("tab", tab);
        registerAction("tabAction:", [this](kit::Object*) { ++selected; });
    }
    void awakeFromNib() override { viewDuringAwake = isViewLoaded() && tab; }
    void viewDidLoad() override { ++didLoad; }
};

TEST_F(UiTest, ControllersLoadTheirViewOnFirstUseAndJoinTheResponderChain) {
    TabsController c;
    EXPECT_FALSE(c.isViewLoaded());
    // A view controller's layout names its view as the first top-level view.
    kit::loadLayoutFromJson(R"({ "view": { "frame": [0, 0, 200, 100], "subviews": [
        { "class": "LeftButton", "frame": [0, 40, 164, 52], "outlet": "tab", "action": "tabAction:" } ] } })",
                            "Tabs", c);
    EXPECT_TRUE(c.isViewLoaded());
    EXPECT_TRUE(c.viewDuringAwake);
    ASSERT_NE(c.view(), nullptr);
    EXPECT_EQ(c.didLoad, 0);   // loaded by hand here, so no viewDidLoad
    auto holder = std::make_shared<kit::View>(Rect(0, 0, 300, 300));
    holder->addSubview(c.viewPtr());
    EXPECT_EQ(c.view()->nextResponder(), &c);
    EXPECT_EQ(c.nextResponder(), holder.get());
    // Actions travel up from the view to its controller.
    EXPECT_TRUE(c.tab->tryToPerform("tabAction:", c.tab.get()));
    EXPECT_EQ(c.selected, 1);
}

}  // namespace
