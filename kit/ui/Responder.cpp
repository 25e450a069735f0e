#include "kit/ui/Responder.h"

#include <QCoreApplication>
#include <QTimer>

#include "kit/SysPath.h"
#include "kit/ui/Application.h"

namespace kit {

Object::Object() : token_(std::make_shared<int>(0)), performGeneration_(std::make_shared<int>(0)) {}
Object::~Object() = default;

void Object::performAfterDelay(double seconds, std::function<void()> fn) {
    ensureUiApp();
    std::weak_ptr<void> alive = token_;
    std::weak_ptr<int> gen = performGeneration_;
    int scheduledAt = *performGeneration_;
    int ms = int(std::max(0.0, scaled(seconds)) * 1000.0 + 0.5);
    QTimer::singleShot(ms, QCoreApplication::instance(), [alive, gen, scheduledAt, fn = std::move(fn)]() {
        auto g = gen.lock();
        if (alive.expired() || !g || *g != scheduledAt) return;
        fn();
    });
}

void Object::cancelPreviousPerformRequests() { ++*performGeneration_; }

#define KIT_FORWARD(name)                                   \
    void Responder::name(Event& e) {                        \
        if (auto* n = nextResponder()) n->name(e);          \
    }
KIT_FORWARD(mouseDown)
KIT_FORWARD(mouseUp)
KIT_FORWARD(mouseDragged)
KIT_FORWARD(mouseMoved)
KIT_FORWARD(rightMouseDown)
KIT_FORWARD(rightMouseUp)
KIT_FORWARD(scrollWheel)
KIT_FORWARD(keyDown)
KIT_FORWARD(keyUp)
#undef KIT_FORWARD

// Entered and exited events belong to a tracking area's owner; they do not
// travel up the chain.
void Responder::mouseEntered(Event&) {}
void Responder::mouseExited(Event&) {}

bool Responder::performAction(const std::string& name, Object* sender) {
    auto it = actions_.find(name);
    if (it == actions_.end()) return false;
    Action fn = it->second;   // the action may unregister itself or destroy us
    fn(sender);
    return true;
}

bool Responder::tryToPerform(const std::string& name, Object* sender) {
    for (Responder* r = this; r; r = r->nextResponder())
        if (r->respondsToAction(name)) return r->performAction(name, sender);
    return false;
}

}  // namespace kit
