#pragma once
// The drive slot's drop target: a transparent view that takes image data and
// lists of file paths and hands the paths of a drop to its delegate. It draws
// nothing and takes no clicks of its own, so a click on it reaches the card.
#include <string>
#include <vector>

#include "kit/ui/DelegateRef.h"
#include "kit/ui/DragDrop.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class DragViewDelegate {
public:
    virtual ~DragViewDelegate() = default;
    // The absolute paths of a drop, in the order they came.
    virtual void viewDragAction(const std::vector<std::string>& paths) = 0;
    virtual void selectFileButtonAction(kit::Object* sender) = 0;
};

class DragView : public kit::View, public kit::DraggingDestination {
public:
    explicit DragView(const kit::Rect& frame = kit::Rect());

    // Not kept: the slot owns this view.
    DragViewDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(DragViewDelegate* d) { delegate_ = d; }

    unsigned draggingEntered(kit::DraggingInfo& info) override;
    bool prepareForDragOperation(kit::DraggingInfo& info) override { return true; }
    // Image data that reads as an image, or a list with at least one absolute
    // path (only those are handed on), is taken; anything else is refused.
    bool performDragOperation(kit::DraggingInfo& info) override;
    void concludeDragOperation(kit::DraggingInfo* info) override { setNeedsDisplay(true); }

    void drawRect(const kit::Rect& dirty) override {}
    void mouseUp(kit::Event& e) override {}
    void viewDragAction(const std::vector<std::string>& paths);

private:
    kit::DelegateRef<DragViewDelegate> delegate_;
};

KIT_REGISTER_VIEW(DragView);
