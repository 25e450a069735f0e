#include "Comm/TimedMenuClose.h"

#include "kit/Dispatch.h"

// Lives on the main thread; the delayed block holds it weakly.
struct TimedMenuClose::State {
    uint64_t token = 0;
    bool open = false;
    bool armed = false;
    std::function<void()> closeMenu;

    void closeNow() {
        if (!open) return;
        open = false;
        armed = false;
        // A new token: whatever an earlier timer holds no longer matches.
        ++token;
        auto fn = std::move(closeMenu);
        closeMenu = nullptr;
        if (fn) fn();
    }
};

TimedMenuClose::TimedMenuClose() : state_(std::make_shared<State>()) {}
TimedMenuClose::~TimedMenuClose() = default;

bool TimedMenuClose::open(std::function<void()> closeMenu) {
    State& s = *state_;
    if (s.open && s.armed) return false;
    // An entered menu that is still open gives way to the new one.
    s.closeNow();
    s.open = true;
    s.armed = true;
    s.closeMenu = std::move(closeMenu);
    const uint64_t token = ++s.token;
    std::weak_ptr<State> weak = state_;
    kit::dispatch::after(kCloseDelay, kit::dispatch::globalQueue(), [weak, token] {
        kit::dispatch::async(kit::dispatch::mainQueue(), [weak, token] {
            std::shared_ptr<State> st = weak.lock();
            if (!st || st->token != token || !st->armed) return;
            st->closeNow();
        });
    });
    return true;
}

void TimedMenuClose::pointerEntered() { state_->armed = false; }

void TimedMenuClose::pointerLeft() { state_->closeNow(); }

void TimedMenuClose::close() { state_->closeNow(); }

bool TimedMenuClose::isOpen() const { return state_->open; }
bool TimedMenuClose::isArmed() const { return state_->open && state_->armed; }
uint64_t TimedMenuClose::token() const { return state_->token; }
