#pragma once
// The ways to make an attached window of class W whose constructor takes
// (view, point, parent window, side, distance). Each returns nullptr for a
// null view. `inWindow` null: the point is in screen coordinates; else in
// that window's base coordinates. Omitted: no parent, the side chosen
// automatically, distance 0.
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowGeometry.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

template <class W>
class AttachedWindowFactory {
public:
    static std::shared_ptr<W> initWithView(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow,
                                           int32_t onSide, float atDistance) {
        if (!view) return nullptr;
        return std::make_shared<W>(std::move(view), point, inWindow, onSide, atDistance);
    }
    static std::shared_ptr<W> initWithView_attachedToPoint_inWindow_atDistance(std::shared_ptr<kit::View> view,
                                                                               kit::Point point, kit::Window* inWindow,
                                                                               float atDistance) {
        return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, atDistance);
    }
    static std::shared_ptr<W> initWithView_attachedToPoint_onSide_atDistance(std::shared_ptr<kit::View> view,
                                                                             kit::Point point, int32_t onSide,
                                                                             float atDistance) {
        return initWithView(std::move(view), point, nullptr, onSide, atDistance);
    }
    static std::shared_ptr<W> initWithView_attachedToPoint_atDistance(std::shared_ptr<kit::View> view,
                                                                      kit::Point point, float atDistance) {
        return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, atDistance);
    }
    static std::shared_ptr<W> initWithView_attachedToPoint_inWindow(std::shared_ptr<kit::View> view, kit::Point point,
                                                                    kit::Window* inWindow) {
        return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, 0);
    }
    static std::shared_ptr<W> initWithView_attachedToPoint_onSide(std::shared_ptr<kit::View> view, kit::Point point,
                                                                  int32_t onSide) {
        return initWithView(std::move(view), point, nullptr, onSide, 0);
    }
    static std::shared_ptr<W> initWithView(std::shared_ptr<kit::View> view, kit::Point point) {
        return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, 0);
    }
};
