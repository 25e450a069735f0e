#pragma once
// kit internal: conversions between the kit's values and Qt's, and access to
// the Qt objects behind views and windows (for the kit itself and its tests;
// the system's code never includes this).
#include <QColor>
#include <QMenuBar>
#include <QFont>
#include <QRect>
#include <QWidget>

#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"

namespace kit {
class View;
class Window;

inline QColor toQColor(const Color& c) {
    return QColor::fromRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
                            float(std::clamp(c.blue, 0.0, 1.0)), float(std::clamp(c.alpha, 0.0, 1.0)));
}
inline Color fromQColor(const QColor& q) { return Color(q.redF(), q.greenF(), q.blueF(), q.alphaF()); }
QFont toQFont(const Font& f);

// The widget that shows a view, and a window's top-level widget.
QWidget* widgetOf(const View& v);
QWidget* widgetOf(const Window& w);
// A view's geometry in its parent widget, in Qt's pixels (y down).
inline QRect qtGeometry(const View& v) { return widgetOf(v)->geometry(); }
// The main menu's bar as shown (see attachMainMenu), or nullptr.
QMenuBar* mainMenuBar();

namespace detail {
// What the kit's own view classes do to other views' Qt side.
struct ViewAccess {
    // Places the view's widget again (after its superview's flippedness
    // changed, for instance).
    static void applyQtGeometry(View& v);
};
}  // namespace detail

}  // namespace kit
