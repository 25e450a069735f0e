#pragma once
// One row of a pop-up menu (the copy-mode menu, the file-system type menu):
// blue under the pointer, reporting hover and clicks to its menu. Its tag is
// the integer value of its identifier ("0", "1", … in the layout file).
#include <memory>

#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class SortSelectBgView;

class SortSelectBgViewDelegate {
public:
    virtual ~SortSelectBgViewDelegate() = default;
    // The row was clicked.
    virtual void selectSortType(SortSelectBgView* row) = 0;
    // The pointer entered (true) or left (false) the row with this tag.
    virtual void mouseInView(bool inside, int tag) = 0;
};

class SortSelectBgView : public kit::View {
public:
    explicit SortSelectBgView(const kit::Rect& frame = kit::Rect());

    // Adds the row's one hover area (it follows the row's bounds).
    void awakeFromNib() override;
    void drawRect(const kit::Rect& dirty) override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void mouseDown(kit::Event& e) override;

    // The identifier's integer value (0 when it holds no number).
    int rowTag() const;
    bool isMouseIn() const { return isMouseIn_; }
    SortSelectBgViewDelegate* delegate() const { return delegate_; }
    void setDelegate(SortSelectBgViewDelegate* d) { delegate_ = d; }

private:
    bool isMouseIn_ = false;
    SortSelectBgViewDelegate* delegate_ = nullptr;   // the menu; it outlives its rows
    std::shared_ptr<kit::TrackingArea> area_;
};

KIT_REGISTER_VIEW(SortSelectBgView);
