#include "Comm/TopImageView.h"

TopImageView::TopImageView(const kit::Rect& frame) : kit::ImageView(frame) {}
