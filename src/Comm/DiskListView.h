#pragma once
// A drive tile's root view: a light blue rounded highlight while the pointer
// is over it; reports entering, leaving and a press to its tile.
#include <memory>

#include "kit/ui/DelegateRef.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class DiskListViewDelegate {
public:
    virtual ~DiskListViewDelegate() = default;
    virtual void doSelectDisk() = 0;
    virtual void mouseInView() = 0;
    virtual void mouseOutView() = 0;
};

class DiskListView : public kit::View {
public:
    explicit DiskListView(const kit::Rect& frame = kit::Rect());

    bool mouseIn() const { return mouseIn_; }
    // Not kept: the tile owns this view.
    DiskListViewDelegate* diskViewDelegate() const { return delegate_.get(); }
    void setDiskViewDelegate(DiskListViewDelegate* d) { delegate_ = d; }

    void drawRect(const kit::Rect& dirty) override;
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void mouseDown(kit::Event& e) override;

private:
    bool mouseIn_ = false;
    kit::DelegateRef<DiskListViewDelegate> delegate_;
    std::shared_ptr<kit::TrackingArea> hoverArea_;
};

KIT_REGISTER_VIEW(DiskListView);
