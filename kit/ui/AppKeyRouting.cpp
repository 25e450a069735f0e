#include "kit/ui/AppKeyRouting.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "kit/ui/Application.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {

// Stands as the event's window while the application object decides: the
// application's own dispatch hands the event to its window, so reaching this
// one means "passed on".
class PassOnProbe : public Window {
public:
    PassOnProbe() : Window(Rect(0, 0, 1, 1), BorderlessWindowMask) {}
    void sendEvent(Event&) override { passedOn = true; }
    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    bool passedOn = false;
};

PassOnProbe& probe() {
    static std::shared_ptr<PassOnProbe> p = std::make_shared<PassOnProbe>();
    return *p;
}

void answerEditActions(View* field, QLineEdit* editor) {
    if (field->respondsToAction("copy:")) return;
    QPointer<QLineEdit> e(editor);
    field->registerAction("cut:", [e](Object*) { if (e) e->cut(); });
    field->registerAction("copy:", [e](Object*) { if (e) e->copy(); });
    field->registerAction("paste:", [e](Object*) { if (e) e->paste(); });
    field->registerAction("undo:", [e](Object*) { if (e) e->undo(); });
    field->registerAction("redo:", [e](Object*) { if (e) e->redo(); });
    field->registerAction("selectAll:", [e](Object*) { if (e) e->selectAll(); });
}

class EditorKeyFilter : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || inDispatch_) return false;
        auto* editor = qobject_cast<QLineEdit*>(watched);
        if (!editor) return false;
        auto* holder = dynamic_cast<ViewWidget*>(editor->parentWidget());
        View* field = holder ? holder->view() : nullptr;
        if (!field) return false;
        answerEditActions(field, editor);
        if (Window* w = field->window(); w && w->firstResponder() != field) w->makeFirstResponder(field);

        auto* key = static_cast<QKeyEvent*>(event);
        Event ev;
        ev.type = EventType::KeyDown;
        ev.modifierFlags = modifierFlagsFromToolkit(key->modifiers(), key->nativeModifiers());
        ev.characters = key->text().toStdString();
        QString plain = (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
                            ? QString(QChar('a' + (key->key() - Qt::Key_A)))
                            : key->text();
        if (key->modifiers() & Qt::ShiftModifier) plain = plain.toUpper();
        ev.charactersIgnoringModifiers = plain.toStdString();
        PassOnProbe& p = probe();
        ev.window = &p;
        p.passedOn = false;
        inDispatch_ = true;
        Application::shared().sendEvent(ev);
        inDispatch_ = false;
        return !p.passedOn;
    }

private:
    bool inDispatch_ = false;
};

}  // namespace

uint64_t modifierFlagsFromToolkit(unsigned toolkitModifiers, unsigned nativeModifiers) {
    uint64_t f = 0;
    if (toolkitModifiers & Qt::ShiftModifier) f |= ShiftKeyMask;
    if (toolkitModifiers & Qt::ControlModifier) f |= CommandKeyMask;
    if (toolkitModifiers & Qt::MetaModifier) f |= ControlKeyMask;
    if (toolkitModifiers & Qt::AltModifier) f |= AlternateKeyMask;
    // X11's lock mask is bit 1 of the native state.
    if ((nativeModifiers & 0x2) && QGuiApplication::platformName() == QLatin1String("xcb")) f |= AlphaShiftKeyMask;
    return f;
}

void installAppKeyRouting() {
    ensureUiApp();
    static EditorKeyFilter* filter = nullptr;
    if (filter) return;
    filter = new EditorKeyFilter;
    qApp->installEventFilter(filter);
}

}  // namespace kit
