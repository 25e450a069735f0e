#pragma once
// The file tree of the file-choice window: white rounded rows, the row the
// window names (rowNum) in light blue, headers of the system's look in a
// 30-point header.
#include <cstdint>
#include <memory>

#include "kit/ui/Layout.h"
#include "kit/ui/OutlineView.h"

// Optional; nothing in the system adopts it.
class NewOutlineViewDelegate {
public:
    virtual ~NewOutlineViewDelegate() = default;
    virtual void listRightMouseDown(kit::Event& e) {}
};

class NewOutlineView : public kit::OutlineView {
public:
    explicit NewOutlineView(const kit::Rect& frame = kit::Rect());
    void awakeFromNib() override;
    void _setupHeaderCell();
    static constexpr kit::Size kHeaderSize{1000, 30};

    int64_t rowNum() const { return rowNum_; }
    // Stores the highlighted row and asks for a redraw when it changed.
    // Drawing never asks for another one.
    void setRowNum(int64_t row);

    // Not owned: a delegate that goes away is simply not called.
    void setADelegate(std::weak_ptr<NewOutlineViewDelegate> d) { aDelegate_ = std::move(d); }
    std::shared_ptr<NewOutlineViewDelegate> aDelegate() const { return aDelegate_.lock(); }

    void drawRow(long row, const kit::Rect& clip) override;
    // Goes to the delegate only; without one the click does nothing.
    void rightMouseUp(kit::Event& e) override;

    static kit::Color rowColor();
    static kit::Color highlightColor();

private:
    int64_t rowNum_ = 0;
    std::weak_ptr<NewOutlineViewDelegate> aDelegate_;
};

KIT_REGISTER_VIEW(NewOutlineView);
