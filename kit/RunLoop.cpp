#include "kit/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QTimerEvent>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

#include "kit/Dispatch.h"
#include "kit/MainQueue.h"
#include "kit/SysPath.h"

namespace kit {

void ensureMainThreadApp() {
    if (!QCoreApplication::instance()) {
        // A window-less process gets a core application; the interface kit
        // makes its own full one before calling us, and that one is kept.
        static int argc = 1;
        static char arg0[] = "Pelorin";
        static char* argv[] = {arg0, nullptr};
        new QCoreApplication(argc, argv);  // lives as long as the process
    }
    detail::flushMainQueue();
}

int runMainLoop() {
    ensureMainThreadApp();
    return QCoreApplication::exec();
}

void quitMainLoop(int code) {
    if (dispatch::isMainThread()) {
        QCoreApplication::exit(code);
        return;
    }
    dispatch::async(dispatch::mainQueue(), [code] { QCoreApplication::exit(code); });
}

bool runUntil(const std::function<bool()>& cond, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                                  std::chrono::duration<double>(std::max(0.0, std::min(seconds, 1e9))));
    if (!QCoreApplication::instance() && dispatch::isMainThread()) ensureMainThreadApp();
    if (!QCoreApplication::instance() || !dispatch::isMainThread()) {
        // Off the main thread there are no events to run: just poll.
        while (!(cond && cond())) {
            if (std::chrono::steady_clock::now() >= deadline) return cond && cond();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // The waker keeps the wait for events short, so a condition set by another
    // thread is seen promptly.
    QTimer waker;
    waker.start(5);
    while (!(cond && cond())) {
        if (std::chrono::steady_clock::now() >= deadline) return cond && cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runFor(double seconds) { runUntil(nullptr, scaled(seconds)); }

// ---------------------------------------------------------------------------
// Timers

struct Timer::Impl {
    mutable std::mutex mutex;
    bool valid = true;
    bool repeats = false;
    int intervalMs = 0;
    bool hasOwner = false;
    std::weak_ptr<void> owner;
    std::function<void(Timer&)> fn;
    int timerId = 0;  // main thread only
};

namespace detail {

// One object on the main thread carries every kit timer: a scheduled timer is
// held here (as the run loop holds it) until it is invalidated or, for a
// one-shot timer, has fired.
class TimerHost : public QObject {
public:
    static TimerHost& shared() {
        static TimerHost* host = new TimerHost;  // main thread; lives as long as the process
        return *host;
    }

    void arm(const std::shared_ptr<Timer>& timer, const std::shared_ptr<Timer::Impl>& impl) {
        std::lock_guard<std::mutex> lock(impl->mutex);
        if (!impl->valid || impl->timerId) return;
        const int id = startTimer(impl->intervalMs, Qt::PreciseTimer);
        if (!id) { impl->valid = false; return; }
        impl->timerId = id;
        timers_[id] = {timer, impl};
    }

    void disarm(const std::shared_ptr<Timer::Impl>& impl) {
        int id;
        {
            std::lock_guard<std::mutex> lock(impl->mutex);
            id = impl->timerId;
            impl->timerId = 0;
        }
        if (!id) return;
        killTimer(id);
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        auto keep = std::move(it->second);  // released after the map no longer holds it
        timers_.erase(it);
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        auto it = timers_.find(event->timerId());
        if (it == timers_.end()) { killTimer(event->timerId()); return; }
        const std::shared_ptr<Timer> timer = it->second.timer;
        const std::shared_ptr<Timer::Impl> impl = it->second.impl;
        std::function<void(Timer&)> fn;
        std::shared_ptr<void> owner;
        bool fire = false;
        {
            std::lock_guard<std::mutex> lock(impl->mutex);
            if (impl->valid) {
                owner = impl->owner.lock();
                // An owned timer never outlives its owner.
                if (!impl->hasOwner || owner) fire = true;
                else impl->valid = false;
            }
            fn = impl->fn;
        }
        if (fire && fn) fn(*timer);  // the owner is held for the length of the call
        bool stop = false;
        {
            std::lock_guard<std::mutex> lock(impl->mutex);
            if (!impl->repeats) impl->valid = false;
            stop = !impl->valid;
            if (stop) impl->fn = nullptr;  // drop what the block captured
        }
        if (stop) disarm(impl);
    }

private:
    struct Held { std::shared_ptr<Timer> timer; std::shared_ptr<Timer::Impl> impl; };
    std::map<int, Held> timers_;
};

}  // namespace detail

namespace {

int toIntervalMs(double seconds, bool repeats) {
    double ms = std::ceil(scaled(seconds) * 1000.0);
    if (!(ms > 0)) ms = 0;
    // A repeating timer of zero would spin the loop.
    if (repeats && ms < 1) ms = 1;
    if (ms > std::numeric_limits<int>::max()) ms = std::numeric_limits<int>::max();
    return static_cast<int>(ms);
}

}  // namespace

Timer::Timer() : impl_(std::make_shared<Impl>()) {}

Timer::~Timer() {
    // Only reached once the host no longer holds the timer.
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->valid = false;
}

std::shared_ptr<Timer> Timer::scheduled(double seconds, bool repeats, std::function<void(Timer&)> fn) {
    std::shared_ptr<Timer> timer(new Timer());
    timer->impl_->repeats = repeats;
    timer->impl_->intervalMs = toIntervalMs(seconds, repeats);
    timer->impl_->fn = std::move(fn);
    std::shared_ptr<Impl> impl = timer->impl_;
    dispatch::async(dispatch::mainQueue(), [timer, impl] { detail::TimerHost::shared().arm(timer, impl); });
    return timer;
}

std::shared_ptr<Timer> Timer::scheduled(double seconds, bool repeats, std::weak_ptr<void> owner,
                                        std::function<void(Timer&)> fn) {
    std::shared_ptr<Timer> timer(new Timer());
    timer->impl_->repeats = repeats;
    timer->impl_->intervalMs = toIntervalMs(seconds, repeats);
    timer->impl_->hasOwner = true;
    timer->impl_->owner = std::move(owner);
    timer->impl_->fn = std::move(fn);
    std::shared_ptr<Impl> impl = timer->impl_;
    dispatch::async(dispatch::mainQueue(), [timer, impl] { detail::TimerHost::shared().arm(timer, impl); });
    return timer;
}

void Timer::invalidate() {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        if (!impl_->valid) return;
        impl_->valid = false;
    }
    std::shared_ptr<Impl> impl = impl_;
    if (dispatch::isMainThread() && QCoreApplication::instance()) {
        detail::TimerHost::shared().disarm(impl);
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->fn = nullptr;
    } else {
        dispatch::async(dispatch::mainQueue(), [impl] {
            detail::TimerHost::shared().disarm(impl);
            std::lock_guard<std::mutex> lock(impl->mutex);
            impl->fn = nullptr;
        });
    }
}

bool Timer::isValid() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->valid;
}

}  // namespace kit
