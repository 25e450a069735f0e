#pragma once
// The root of the kit's objects and the responder chain.
//
// Object gives every kit object a lifetime token: anything scheduled on an
// object's behalf (delayed performs, animation completions, timers, late
// results) holds the token weakly and is dropped once the object is gone.
//
// Responder adds the responder chain: mouse and key events that a responder
// does not handle go to its next responder (a view's superview, a view
// controller's view's superview, ... the window). Actions are named like the
// platform's selectors ("copy:", "closeWindow:"); a responder answers the
// actions it has registered, and tryToPerform() walks the chain.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "kit/ui/Event.h"

namespace kit {

class Object {
public:
    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Weakly held by everything that must not outlive this object.
    std::weak_ptr<void> lifetime() const { return token_; }

    // Runs fn on the main run loop after `seconds` (scaled by the time scale),
    // unless this object is destroyed first or the request is cancelled.
    void performAfterDelay(double seconds, std::function<void()> fn);
    void cancelPreviousPerformRequests();

private:
    std::shared_ptr<int> token_;
    std::shared_ptr<int> performGeneration_;
};

// A pointer that reads as nullptr once its object is destroyed.
template <class T>
class Weak {
public:
    Weak() = default;
    Weak(T* p) : p_(p), token_(p ? p->lifetime() : std::weak_ptr<void>()) {}
    T* get() const { return token_.expired() ? nullptr : p_; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool operator==(const T* other) const { return get() == other; }
private:
    T* p_ = nullptr;
    std::weak_ptr<void> token_;
};

class Responder : public Object {
public:
    using Action = std::function<void(Object* sender)>;

    Responder* nextResponder() const { return next_.get(); }
    void setNextResponder(Responder* r) { next_ = Weak<Responder>(r); }

    virtual bool acceptsFirstResponder() { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // Default bodies pass the event to the next responder.
    virtual void mouseDown(Event& e);
    virtual void mouseUp(Event& e);
    virtual void mouseDragged(Event& e);
    virtual void mouseMoved(Event& e);
    virtual void mouseEntered(Event& e);
    virtual void mouseExited(Event& e);
    virtual void rightMouseDown(Event& e);
    virtual void rightMouseUp(Event& e);
    virtual void scrollWheel(Event& e);
    virtual void keyDown(Event& e);
    virtual void keyUp(Event& e);
    virtual void cursorUpdate(Event& e) {}

    // Called on every object of a layout file, and on its owner, once the
    // file's objects are made and bound.
    virtual void awakeFromNib() {}

    // Named actions.
    void registerAction(const std::string& name, Action fn) { actions_[name] = std::move(fn); }
    void unregisterAction(const std::string& name) { actions_.erase(name); }
    virtual bool respondsToAction(const std::string& name) const { return actions_.count(name) != 0; }
    // Runs the action when this responder answers it; false otherwise.
    virtual bool performAction(const std::string& name, Object* sender);
    // This responder, then the chain; true when some responder performed it.
    bool tryToPerform(const std::string& name, Object* sender);

private:
    Weak<Responder> next_;
    std::map<std::string, Action> actions_;
};

}  // namespace kit
