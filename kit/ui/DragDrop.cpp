#include "kit/ui/DragDrop.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/Window.h"

namespace kit {

// ---- pasteboard ----

Pasteboard Pasteboard::withFilenames(const std::vector<std::string>& paths) {
    Value::Array a;
    for (const auto& p : paths) a.push_back(Value(p));
    Pasteboard pb;
    pb.setPropertyList(Value(std::move(a)), FilenamesPboardType);
    return pb;
}

Pasteboard Pasteboard::withTIFF(std::string bytes) {
    Pasteboard pb;
    pb.setData(std::move(bytes), PasteboardTypeTIFF);
    return pb;
}

std::vector<std::string> Pasteboard::types() const {
    std::vector<std::string> out;
    for (const auto& [t, v] : items_) out.push_back(t);
    return out;
}

bool Pasteboard::hasType(const std::string& type) const {
    for (const auto& [t, v] : items_)
        if (t == type) return true;
    return false;
}

std::optional<std::string> Pasteboard::availableTypeFromArray(const std::vector<std::string>& types) const {
    for (const auto& t : types)
        if (hasType(t)) return t;
    return std::nullopt;
}

void Pasteboard::setPropertyList(Value plist, const std::string& type) {
    for (auto& [t, v] : items_)
        if (t == type) {
            v = std::move(plist);
            return;
        }
    items_.emplace_back(type, std::move(plist));
}

std::optional<Value> Pasteboard::propertyListForType(const std::string& type) const {
    for (const auto& [t, v] : items_)
        if (t == type) return v;
    return std::nullopt;
}

void Pasteboard::setData(std::string bytes, const std::string& type) { setPropertyList(Value::data(std::move(bytes)), type); }

std::optional<std::string> Pasteboard::dataForType(const std::string& type) const {
    auto v = propertyListForType(type);
    if (!v || v->type() != Value::Type::Data) return std::nullopt;
    return v->asString();
}

// ---- the drag session ----

namespace {

struct Session {
    Weak<View> destination;
    unsigned operation = DragOperationNone;
};

Session& session() {
    static Session s;
    return s;
}

DraggingDestination* destinationOf(View* v) { return v ? dynamic_cast<DraggingDestination*>(v) : nullptr; }

bool takesAny(const DraggingDestination& d, const Pasteboard& pb) {
    for (const auto& t : d.registeredDraggedTypes())
        if (pb.hasType(t)) return true;
    return false;
}

// Walks the tree in drawing order, so the last match is the frontmost view.
// `p` is in the superview's coordinates, as View::hitTest takes it.
void findFrontmost(View* v, Point p, const Pasteboard& pb, View*& best) {
    if (!v || v->isHidden()) return;
    const Rect f = v->frame();
    if (!pointInRect(p, f)) return;
    const Rect b = v->bounds();
    Point local{p.x - f.x() + b.x(), p.y - f.y()};
    if (v->superview() && v->superview()->isFlipped() != v->isFlipped()) local.y = f.height() - local.y;
    local.y += b.y();
    if (auto* d = destinationOf(v); d && takesAny(*d, pb)) best = v;
    for (const auto& s : std::vector<std::shared_ptr<View>>(v->subviews())) findFrontmost(s.get(), local, pb, best);
}

void resetCursor() {
    if (Cursor::current().kind() == Cursor::Kind::DragCopy) Cursor::arrow().set();
}

void endSession(const Pasteboard& pb, unsigned mask, Point p, Window* w, bool tellExited) {
    Session& s = session();
    View* old = s.destination.get();
    s.destination = Weak<View>();
    s.operation = DragOperationNone;
    if (tellExited && old) {
        DraggingInfo info(pb, mask, p, w);
        if (auto* d = destinationOf(old)) d->draggingExited(&info);
    }
    resetCursor();
}

// The pointer entered or moved: the destination under it hears entered (a new
// one) or updated (the same one); the one it left hears exited.
unsigned enterOrUpdate(Window& w, Point p, const Pasteboard& pb, unsigned mask) {
    Session& s = session();
    View* v = draggingDestinationAt(w, p, pb);
    View* old = s.destination.get();
    if (old && old != v) {
        s.destination = Weak<View>();
        DraggingInfo info(pb, mask, p, &w);
        if (auto* d = destinationOf(old)) d->draggingExited(&info);
        old = nullptr;
    }
    if (!v) {
        s.destination = Weak<View>();
        s.operation = DragOperationNone;
        return DragOperationNone;
    }
    Weak<View> alive(v);
    DraggingInfo info(pb, mask, p, &w);
    DraggingDestination* d = destinationOf(v);
    unsigned op;
    if (old == v) {
        op = d->draggingUpdated(info);
    } else {
        op = d->draggingEntered(info);
        if (alive) d->enteredOperation_ = op;
    }
    s.destination = alive;
    s.operation = alive ? op : DragOperationNone;
    return s.operation;
}

// The release: prepare, perform and, after a performed drop, conclude.
bool dropOnDestination(Window& w, Point p, const Pasteboard& pb, unsigned mask) {
    Session& s = session();
    View* v = s.destination.get();
    const unsigned op = s.operation;
    if (!v || op == DragOperationNone) {
        endSession(pb, mask, p, &w, true);
        return false;
    }
    s.destination = Weak<View>();
    s.operation = DragOperationNone;
    Weak<View> alive(v);
    DraggingDestination* d = destinationOf(v);
    DraggingInfo info(pb, mask, p, &w);
    bool performed = d->prepareForDragOperation(info) && alive && d->performDragOperation(info);
    if (performed && alive) d->concludeDragOperation(&info);
    resetCursor();
    return performed;
}

// Qt's offer as the platform's mask: file drags from other programs offer
// copy or move, which the platform's sources also offer as "generic".
unsigned maskFromQt(Qt::DropActions a) {
    unsigned m = DragOperationNone;
    if (a & Qt::CopyAction) m |= DragOperationCopy | DragOperationGeneric;
    if (a & Qt::MoveAction) m |= DragOperationMove | DragOperationGeneric;
    if (a & Qt::LinkAction) m |= DragOperationLink;
    return m;
}

Qt::DropAction actionForQt(unsigned op, Qt::DropActions possible) {
    if ((op & DragOperationCopy) && (possible & Qt::CopyAction)) return Qt::CopyAction;
    if ((op & DragOperationMove) && (possible & Qt::MoveAction)) return Qt::MoveAction;
    if ((op & DragOperationLink) && (possible & Qt::LinkAction)) return Qt::LinkAction;
    // Generic: the destination takes the data; nothing is moved away from the source.
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::MoveAction) return Qt::MoveAction;
    return Qt::LinkAction;
}

// Turns Qt's drag events into the session. The window system hands drags to
// the Qt window; the kit, not Qt's widgets, decides which view takes them, so
// the filter sits on the application and takes the events of every kit window.
class DragEventFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        const auto t = e->type();
        if (t != QEvent::DragEnter && t != QEvent::DragMove && t != QEvent::DragLeave && t != QEvent::Drop)
            return false;
        auto* qwin = qobject_cast<QWindow*>(obj);
        if (!qwin) return false;
        Window* w = nullptr;
        for (Window* x : Application::shared().windows())
            if (widgetOf(*x) && widgetOf(*x)->windowHandle() == qwin) w = x;
        if (!w) return false;
        // A handler may destroy its own view: widgets are then deleted later.
        ++ViewWidget::dispatchDepth;
        handle(*w, e);
        --ViewWidget::dispatchDepth;
        return true;
    }

private:
    void handle(Window& w, QEvent* e) {
        if (e->type() == QEvent::DragLeave) {
            endSession(lastPasteboard_, lastMask_, lastPoint_, &w, true);
            return;
        }
        auto* de = static_cast<QDropEvent*>(e);
        const Pasteboard pb = de->mimeData() ? pasteboardFromMimeData(*de->mimeData()) : Pasteboard();
        const unsigned mask = maskFromQt(de->possibleActions());
        const Point p{de->position().x(), w.frame().height() - de->position().y()};
        lastPasteboard_ = pb;
        lastMask_ = mask;
        lastPoint_ = p;
        if (e->type() == QEvent::Drop) {
            if (!session().destination) enterOrUpdate(w, p, pb, mask);
            const unsigned op = session().operation;
            if (dropOnDestination(w, p, pb, mask)) {
                de->setDropAction(actionForQt(op, de->possibleActions()));
                de->accept();
            } else {
                de->ignore();
            }
            return;
        }
        const unsigned op = enterOrUpdate(w, p, pb, mask);
        if (op != DragOperationNone) {
            de->setDropAction(actionForQt(op, de->possibleActions()));
            de->accept();
        } else {
            de->ignore();
        }
    }

    Pasteboard lastPasteboard_;
    unsigned lastMask_ = DragOperationNone;
    Point lastPoint_;
};

void installDragFilter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    ensureUiApp();
    QCoreApplication::instance()->installEventFilter(new DragEventFilter(QCoreApplication::instance()));
}

}  // namespace

// ---- destinations ----

DraggingDestination::~DraggingDestination() = default;

void DraggingDestination::registerForDraggedTypes(const std::vector<std::string>& types) {
    for (const auto& t : types)
        if (std::find(types_.begin(), types_.end(), t) == types_.end()) types_.push_back(t);
    installDragFilter();
}

void DraggingDestination::unregisterDraggedTypes() {
    types_.clear();
}

View* draggingDestinationAt(Window& window, Point inWindow, const Pasteboard& pasteboard) {
    View* best = nullptr;
    findFrontmost(window.frameView(), inWindow, pasteboard, best);
    return best;
}

bool simulateDrop(Window& window, Point inWindow, const Pasteboard& pasteboard, unsigned sourceMask) {
    endSession(pasteboard, sourceMask, inWindow, &window, true);
    Weak<Window> alive(&window);
    if (enterOrUpdate(window, inWindow, pasteboard, sourceMask) == DragOperationNone) {
        endSession(pasteboard, sourceMask, inWindow, alive.get(), true);
        return false;
    }
    if (!alive) {
        endSession(pasteboard, sourceMask, inWindow, nullptr, true);
        return false;
    }
    return dropOnDestination(window, inWindow, pasteboard, sourceMask);
}

Pasteboard pasteboardFromMimeData(const QMimeData& data) {
    Pasteboard pb;
    // Image data first: a destination that takes both asks for the image first.
    QByteArray imageBytes;
    for (const QString& f : data.formats())
        if (f.startsWith("image/")) {
            imageBytes = data.data(f);
            if (!imageBytes.isEmpty()) break;
        }
    if (imageBytes.isEmpty() && data.hasImage()) {
        QImage img = qvariant_cast<QImage>(data.imageData());
        if (!img.isNull()) {
            QBuffer buf(&imageBytes);
            buf.open(QIODevice::WriteOnly);
            img.save(&buf, "PNG");
        }
    }
    if (!imageBytes.isEmpty()) pb.setData(imageBytes.toStdString(), PasteboardTypeTIFF);
    if (data.hasUrls()) {
        Value::Array paths;
        for (const QUrl& url : data.urls()) {
            if (!url.isLocalFile()) continue;
            const QString p = url.toLocalFile();
            if (p.isEmpty() || !QDir::isAbsolutePath(p)) continue;
            paths.push_back(Value(p.toStdString()));
        }
        if (!paths.empty()) pb.setPropertyList(Value(std::move(paths)), FilenamesPboardType);
    }
    return pb;
}

}  // namespace kit
