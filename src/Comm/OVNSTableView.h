#pragma once
// A table with an empty-list placeholder and a preview key: the space key
// and a force click post "SpacePreviewFile". Made by layout files.
#include <memory>

#include "kit/ui/ImageView.h"
#include "kit/ui/Layout.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TextField.h"

inline constexpr const char* SpacePreviewFileNotification = "SpacePreviewFile";

class OVNSTableView : public kit::TableView {
public:
    explicit OVNSTableView(const kit::Rect& frame = kit::Rect());
    void awakeFromNib() override;
    void _setupHeaderCell();
    static constexpr kit::Size kHeaderSize{1000, 20};

    // Space posts the preview notification and goes no further.
    void keyDown(kit::Event& e) override;
    // A force click (stage 2) posts it once until the next mouse-up, which
    // comes by itself 1 s later.
    void pressureChangeWithEvent(kit::Event& e) override;
    void mouseUp(kit::Event& e) override;
    bool isClicking() const { return isClicking_; }
    static constexpr double kClickResetDelay = 1.0;

    // YES removes the placeholder; NO shows it (once).
    void changeNoValue(bool hasValues);
    // 40 for the languages with long texts, else 25.
    static double getLableHight();
    void changeFrame();
    kit::View* noValueView() const { return noValueView_.get(); }
    kit::View* nodeView() const { return nodeView_.get(); }

private:
    std::shared_ptr<kit::View> noValueView_;
    std::shared_ptr<kit::View> nodeView_;
    bool isClicking_ = false;
};

KIT_REGISTER_VIEW(OVNSTableView);
