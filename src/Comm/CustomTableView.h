#pragma once
// The volume table of the "Disk Manager" page: dark rounded rows, one of
// them highlighted by the page (setSelectNum), column headers of the
// system's look in a 25-point header.
#include <memory>

#include "kit/ui/Layout.h"
#include "kit/ui/TableView.h"

// Optional; nothing in the system adopts it.
class CustomTableViewDelegate {
public:
    virtual ~CustomTableViewDelegate() = default;
    virtual void listRightMouseDown(kit::Event& e) {}
};

class CustomTableView : public kit::TableView {
public:
    explicit CustomTableView(const kit::Rect& frame = kit::Rect());
    // After the layout file: the system's header cells and the header size.
    void awakeFromNib() override;
    // Every column gets a CustomHeaderCell made from its current header cell.
    void _setupHeaderCell();
    static constexpr kit::Size kHeaderSize{1000, 25};

    int rowNum() const { return rowNum_; }
    // Stores the highlighted row; the page redraws.
    void setRowNum(int row) { rowNum_ = row; }
    // Stores the highlighted row and redraws.
    void setSelectNum(int row);

    // Not owned: a delegate that goes away is simply not called.
    void setListDelegate(std::weak_ptr<CustomTableViewDelegate> d) { listDelegate_ = std::move(d); }
    std::shared_ptr<CustomTableViewDelegate> listDelegate() const { return listDelegate_.lock(); }

    void drawRow(long row, const kit::Rect& clip) override;
    // Goes to the list delegate only; without one the click does nothing.
    void rightMouseDown(kit::Event& e) override;

    static kit::Color rowColor();
    static kit::Color highlightColor();

private:
    int rowNum_ = 0;
    std::weak_ptr<CustomTableViewDelegate> listDelegate_;
};

KIT_REGISTER_VIEW(CustomTableView);
