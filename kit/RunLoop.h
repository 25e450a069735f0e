#pragma once
// The main run loop (the Qt event loop of the main thread) and its timers.
#include <functional>
#include <memory>

namespace kit {

namespace detail { class TimerHost; }

// Makes sure the process has its application object (a core one when no
// interface is wanted) and that the calling thread is the main thread. Called by
// kit entry points and by tests; idempotent.
void ensureMainThreadApp();

// Runs the main loop until quitMainLoop() (the application loop).
int runMainLoop();
void quitMainLoop(int code = 0);

// Processes events until cond() holds or `seconds` (not scaled) have passed.
// Returns whether cond() held. For tests and for waits on the main thread that
// must keep the main queue running.
bool runUntil(const std::function<bool()>& cond, double seconds);
// Processes events for `seconds` (scaled).
void runFor(double seconds);

// A timer on the main run loop; intervals are scaled. It fires only while the
// main loop runs. May be created on any thread (it is armed on the main thread).
class Timer : public std::enable_shared_from_this<Timer> {
public:
    static std::shared_ptr<Timer> scheduled(double seconds, bool repeats, std::function<void(Timer&)> fn);
    ~Timer();
    void invalidate();
    bool isValid() const;
    // The owner's lifetime: a timer created with an owner never fires after the
    // owner is gone.
    static std::shared_ptr<Timer> scheduled(double seconds, bool repeats, std::weak_ptr<void> owner,
                                            std::function<void(Timer&)> fn);
private:
    friend class detail::TimerHost;
    Timer();
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace kit
