#pragma once
// An outline view that is its own data source: the rows are the elements of
// an array, and an element that is itself an array has its elements as
// children. Nothing in the system uses it.
#include <cstdint>
#include <memory>
#include <vector>

#include "kit/Plist.h"
#include "kit/RunLoop.h"
#include "kit/ui/Layout.h"
#include "kit/ui/OutlineView.h"

// No messages are sent through it.
class CommOutlineViewDelegate {
public:
    virtual ~CommOutlineViewDelegate() = default;
};

class CommOutlineView : public kit::OutlineView, public kit::OutlineViewDataSource, public kit::OutlineViewDelegate {
public:
    explicit CommOutlineView(const kit::Rect& frame = kit::Rect());

    // Keeps a copy of the array (the caller may change its own afterwards)
    // and the type, and reloads.
    void loadDataFormDetail(const kit::Value::Array& detail, long dataType);
    long dataType() const { return dataType_; }
    long selectedRow() const { return selectedRow_; }
    uint64_t viewLoadCnt() const { return viewLoadCnt_; }
    void setRefreshTimer(std::shared_ptr<kit::Timer> t) { refreshTimer_ = std::move(t); }
    kit::Timer* refreshTimer() const { return refreshTimer_.get(); }
    void setViewLoadCnt(uint64_t n) { viewLoadCnt_ = n; }
    void setMDelegate(std::weak_ptr<CommOutlineViewDelegate> d) { mDelegate_ = std::move(d); }

    // The element an item stands for.
    static const kit::Value& valueOfItem(const kit::OutlineItem& item);

    // As its own data source.
    long numberOfChildrenOfItem(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    kit::OutlineItem child(kit::OutlineView& ov, long index, const kit::OutlineItem& item) override;
    bool isItemExpandable(kit::OutlineView& ov, const kit::OutlineItem& item) override { return false; }
    kit::Value objectValueForTableColumn(kit::OutlineView& ov, kit::TableColumn* column,
                                         const kit::OutlineItem& item) override {
        return kit::Value();
    }
    // As its own delegate.
    bool shouldSelectItem(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    void selectionDidChange(kit::OutlineView& ov) override { selectedRow_ = -1; }
    bool shouldEditTableColumn(kit::TableColumn* column, const kit::OutlineItem& item) const {
        return currentKeyCode_ < 0;
    }
    void selectRootItem() {}
    void clickButtonAction(kit::Object* sender) {}

    void keyDown(kit::Event& e) override;

private:
    struct Node {
        kit::Value value;
        std::vector<std::shared_ptr<Node>> children;
    };
    static std::shared_ptr<Node> snapshot(const kit::Value& v);
    std::vector<std::shared_ptr<Node>> dataArr_;
    long dataType_ = 0;
    long selectedRow_ = -1;
    std::shared_ptr<kit::Timer> refreshTimer_;
    uint64_t viewLoadCnt_ = 0;
    std::weak_ptr<CommOutlineViewDelegate> mDelegate_;
    int currentKeyCode_ = -1;   // the key being handled, -1 outside a key-down
};

KIT_REGISTER_VIEW(CommOutlineView);
