#include "Comm/CommOutlineView.h"

namespace {
constexpr int kKeyDownArrow = 125, kKeyUpArrow = 126;
}

CommOutlineView::CommOutlineView(const kit::Rect& frame) : kit::OutlineView(frame) {
    kit::OutlineView::setDataSource(this);
    kit::OutlineView::setDelegate(this);
}

std::shared_ptr<CommOutlineView::Node> CommOutlineView::snapshot(const kit::Value& v) {
    auto node = std::make_shared<Node>();
    node->value = v;
    if (const kit::Value::Array* a = v.asArray())
        for (const kit::Value& e : *a) node->children.push_back(snapshot(e));
    return node;
}

void CommOutlineView::loadDataFormDetail(const kit::Value::Array& detail, long dataType) {
    std::vector<std::shared_ptr<Node>> items;
    for (const kit::Value& v : detail) items.push_back(snapshot(v));
    dataArr_ = std::move(items);
    dataType_ = dataType;
    reloadData();
}

const kit::Value& CommOutlineView::valueOfItem(const kit::OutlineItem& item) {
    static const kit::Value none;
    return item ? static_cast<const Node*>(item.get())->value : none;
}

long CommOutlineView::numberOfChildrenOfItem(kit::OutlineView&, const kit::OutlineItem& item) {
    if (!item) return static_cast<long>(dataArr_.size());
    return static_cast<long>(static_cast<const Node*>(item.get())->children.size());
}

kit::OutlineItem CommOutlineView::child(kit::OutlineView&, long index, const kit::OutlineItem& item) {
    const auto& list = item ? static_cast<const Node*>(item.get())->children : dataArr_;
    if (index < 0 || index >= static_cast<long>(list.size())) return nullptr;
    return list[static_cast<size_t>(index)];
}

bool CommOutlineView::shouldSelectItem(kit::OutlineView&, const kit::OutlineItem&) {
    if (currentKeyCode_ >= 0 && currentKeyCode_ != kKeyUpArrow && currentKeyCode_ != kKeyDownArrow) return false;
    if (refreshTimer_ && refreshTimer_->isValid()) {
        refreshTimer_->invalidate();
        refreshTimer_.reset();
        viewLoadCnt_ = 0;
    }
    return true;
}

void CommOutlineView::keyDown(kit::Event& e) {
    int previous = currentKeyCode_;
    currentKeyCode_ = e.keyCode;
    kit::OutlineView::keyDown(e);
    currentKeyCode_ = previous;
}
