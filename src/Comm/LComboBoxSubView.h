#pragma once
// The copy-mode box's root view: a click anywhere on it asks the box to open
// its menu.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class LComboBoxSubViewDelegate {
public:
    virtual ~LComboBoxSubViewDelegate() = default;
    virtual void doSelect() = 0;
};

class LComboBoxSubView : public kit::View {
public:
    explicit LComboBoxSubView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override { kit::View::drawRect(dirty); }
    void mouseDown(kit::Event& e) override;

    LComboBoxSubViewDelegate* delegate() const { return delegate_; }
    void setDelegate(LComboBoxSubViewDelegate* d) { delegate_ = d; }

private:
    LComboBoxSubViewDelegate* delegate_ = nullptr;   // the box; not owned
};

KIT_REGISTER_VIEW(LComboBoxSubView);
