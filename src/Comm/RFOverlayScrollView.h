#pragma once
// A scroll view whose vertical scroller (an RFOverlayScroller) floats over
// the content instead of taking width from it, kept below a table's header.
// Made by layout files:
//   { "class": "RFOverlayScrollView", "frame": [...], "hasVerticalScroller": true,
//     "subviews": [ { "class": "CustomTableView", ... }, { "class": "RFOverlayScroller" } ] }
#include "kit/ui/Layout.h"
#include "kit/ui/ScrollView.h"

class RFOverlayScrollView : public kit::ScrollView {
public:
    explicit RFOverlayScrollView(const kit::Rect& frame = kit::Rect());
    void awakeFromNib() override;

    // The header height of the first table in the first clip view that holds
    // one (cut to an integer); 0 without such a table or header.
    long tableHeaderOffsetFromSuperview() const;
    // The content takes the whole width; the scroller lies over its right
    // edge below the header offset, above every sibling.
    void tile() override;

    long headerOffset() const { return headerOffset_; }
    void setHeaderOffset(long h) { headerOffset_ = h; }

private:
    long headerOffset_ = 0;
};

KIT_REGISTER_VIEW(RFOverlayScrollView);
