#pragma once
// The update window: checks our update list on a worker, compares version
// numbers with the installed "VersionCheck" and lists the new version's
// features. Run modally by the application delegate.
#include <memory>
#include <optional>
#include <string>

#include "kit/Plist.h"
#include "kit/ui/Font.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

class TCImageWindow;
class TextImageButton;

class OVCheckUpdateWindowController : public kit::WindowController {
public:
    explicit OVCheckUpdateWindowController(const std::string& layoutName = "UpdateVersionXib");
    ~OVCheckUpdateWindowController() override;

    void awakeFromNib() override;
    void windowDidLoad() override;

    // Starts the check on a worker: the reachability test, then the update
    // list; the outcome is shown on the main queue while `alive` lasts.
    static void getVersionChange(OVCheckUpdateWindowController* target, std::weak_ptr<void> alive);
    // The update list at the "IniURL" address; nullopt when it can't be read
    // or is not a dictionary.
    static std::optional<kit::Value> fetchVersionList();
    void showNoNetwork();
    // How long the list's fetch may take (the platform's read has no shorter limit).
    static constexpr double kFetchTimeout = 60.0;
    // Main thread: shows the outcome for the fetched list (nullopt when it
    // could not be fetched or is not a dictionary).
    void whatIsNewVersionDiff(std::optional<kit::Value> remote);
    static double heightForStringDrawing(const std::string& text, const kit::Font& font, double width);

    void closeWindow(kit::Object* sender);
    void closeWindowAction(kit::Object* sender);
    bool windowShouldClose();
    void animationDidStop(bool finished);
    // true: terminate now; false: fading out first, terminate cancelled.
    bool applicationShouldTerminate();
    void updateClickHereAction(kit::Object* sender);

    // The integer value of a text as the list holds it ("21" -> 21; leading
    // digits count, anything else 0); integers are taken as they are.
    static long long integerValue(const kit::Value* v);

    TCImageWindow* aWindow() const { return aWindow_; }
    kit::View* titleBarView() const { return titleBarView_; }
    kit::View* checkProgressView() const { return checkProgressView_.get(); }
    kit::View* noNetworkView() const { return noNetworkView_.get(); }
    kit::View* noUpdateView() const { return noUpdateView_.get(); }
    kit::View* haveUpdateView() const { return haveUpdateView_.get(); }
    kit::TextField* versionLabel() const { return versionLabel_.get(); }
    kit::ScrollView* changeValueScrollView() const { return changeValueScrollView_.get(); }
    kit::View* showVersionScrollView() const { return showVersionScrollView_.get(); }
    kit::ProgressIndicator* progressBar() const { return progressBar_.get(); }
    TextImageButton* installButton() const { return installButton_.get(); }
    bool shuttingDown() const { return shuttingDown_; }

private:
    void fadeTo(double alpha);

    TCImageWindow* aWindow_ = nullptr;
    kit::View* titleBarView_ = nullptr;
    std::shared_ptr<kit::Window> window_;
    std::shared_ptr<kit::TextField> titleLabel_, versionLabel_, titleLable_;
    std::shared_ptr<kit::View> checkProgressView_, noNetworkView_, noUpdateView_, haveUpdateView_;
    std::shared_ptr<kit::ScrollView> changeValueScrollView_;
    std::shared_ptr<kit::View> showVersionScrollView_;
    std::shared_ptr<kit::ProgressIndicator> progressBar_;
    std::shared_ptr<TextImageButton> installButton_;
    bool shuttingDown_ = false;
    kit::Object* delegate_ = nullptr;  // nothing sets it
};
