#pragma once
// The drive slot's root view: reports the pointer entering and leaving it and
// a press on it to the slot. Its one hover area follows its bounds.
#include <memory>

#include "kit/ui/DelegateRef.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class SelectBgViewDelegate {
public:
    virtual ~SelectBgViewDelegate() = default;
    virtual void mouseInSelectBgView(bool inside) = 0;
    virtual void mouseDownAction() = 0;
};

class SelectBgView : public kit::View {
public:
    explicit SelectBgView(const kit::Rect& frame = kit::Rect());

    // Not kept: the slot owns this view.
    SelectBgViewDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(SelectBgViewDelegate* d) { delegate_ = d; }

    void drawRect(const kit::Rect& dirty) override {}
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    void mouseDown(kit::Event& e) override;

private:
    kit::DelegateRef<SelectBgViewDelegate> delegate_;
    std::shared_ptr<kit::TrackingArea> hoverArea_;
};

KIT_REGISTER_VIEW(SelectBgView);
