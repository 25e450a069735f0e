#include "kit/Dispatch.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "kit/MainQueue.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace kit::detail {

namespace {

struct MainState {
    std::mutex mutex;
    std::deque<std::function<void()>> pending;  // blocks waiting for the application object
    bool handedOver = false;
};

MainState& mainState() {
    static MainState* s = new MainState;  // never destroyed: threads may post during exit
    return *s;
}

}  // namespace

// Qt may destroy a queued functor on the posting thread once the main thread
// has run it. What a block captured (often the last reference to an interface
// object) must die on the main thread, so the block is moved out and dropped
// there.
std::function<void()> runAndReleaseOnMain(std::function<void()> fn) {
    return [f = std::move(fn)]() mutable {
        std::function<void()> local;
        local.swap(f);
        local();
    };
}

void postToMain(std::function<void()> fn) {
    fn = runAndReleaseOnMain(std::move(fn));
    MainState& s = mainState();
    std::lock_guard<std::mutex> lock(s.mutex);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        s.pending.push_back(std::move(fn));
        return;
    }
    if (!s.handedOver) {
        // Earlier blocks go first.
        while (!s.pending.empty()) {
            QMetaObject::invokeMethod(app, std::move(s.pending.front()), Qt::QueuedConnection);
            s.pending.pop_front();
        }
        s.handedOver = true;
    }
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

void flushMainQueue() {
    MainState& s = mainState();
    std::lock_guard<std::mutex> lock(s.mutex);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    while (!s.pending.empty()) {
        QMetaObject::invokeMethod(app, std::move(s.pending.front()), Qt::QueuedConnection);
        s.pending.pop_front();
    }
    s.handedOver = true;
}

}  // namespace kit::detail

namespace kit::dispatch {

namespace {

// The global concurrent queue. A block that waits for a long time (a tool run,
// a mount) must not hold back the others, so a thread is added whenever no
// idle one can take a new block; threads idle for a while go away.
class Pool {
public:
    void submit(std::function<void()> fn) {
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(std::move(fn));
        if (static_cast<size_t>(idle_) < queue_.size()) {
            try {
                std::thread([this] { work(); }).detach();
                ++threads_;
            } catch (const std::system_error&) {
                // The blocks still run on the threads we have.
                if (threads_ == 0) {
                    auto block = std::move(queue_.back());
                    queue_.pop_back();
                    lock.unlock();
                    systemLog("no thread for a queued block; running it inline");
                    block();
                    return;
                }
            }
        }
        cv_.notify_one();
    }

private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (queue_.empty()) {
                ++idle_;
                const bool got = cv_.wait_for(lock, kIdleExit, [this] { return !queue_.empty(); });
                --idle_;
                if (!got) {
                    --threads_;
                    return;
                }
            }
            auto block = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            block();
            block = nullptr;  // captured state dies outside the lock
            lock.lock();
        }
    }

    static constexpr std::chrono::seconds kIdleExit{10};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    int idle_ = 0;
    int threads_ = 0;
};

Pool& pool() {
    static Pool* p = new Pool;  // never destroyed: detached workers outlive static destruction
    return *p;
}

// Delayed blocks wait on one scheduler thread and are then queued normally.
class Scheduler {
public:
    void add(std::chrono::steady_clock::time_point when, Queue q, std::function<void()> fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) {
            std::thread([this] { run(); }).detach();
            started_ = true;
        }
        items_.emplace(when, Item{q, std::move(fn)});
        cv_.notify_one();
    }

private:
    struct Item { Queue q; std::function<void()> fn; };

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (items_.empty()) {
                cv_.wait(lock);
                continue;
            }
            auto first = items_.begin();
            if (std::chrono::steady_clock::now() < first->first) {
                cv_.wait_until(lock, first->first);
                continue;
            }
            Item item = std::move(first->second);
            items_.erase(first);
            lock.unlock();
            async(item.q, std::move(item.fn));
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::multimap<std::chrono::steady_clock::time_point, Item> items_;  // equal times keep their order
    bool started_ = false;
};

Scheduler& scheduler() {
    static Scheduler* s = new Scheduler;
    return *s;
}

}  // namespace

void async(Queue q, std::function<void()> fn) {
    if (!fn) return;
    if (q == Queue::Main) detail::postToMain(std::move(fn));
    else pool().submit(std::move(fn));
}

void sync(Queue q, std::function<void()> fn) {
    if (!fn) return;
    // A synchronous block on a concurrent queue may run on the caller's
    // thread; on the main queue from the main thread it must, or it would wait
    // for itself.
    if (q == Queue::Global || isMainThread()) {
        fn();
        return;
    }
    std::packaged_task<void()> task(std::move(fn));
    std::future<void> done = task.get_future();
    detail::postToMain([&task] { task(); });
    done.get();  // rethrows what the block threw
}

void after(double seconds, Queue q, std::function<void()> fn) {
    if (!fn) return;
    double delay = scaled(seconds);
    if (!(delay > 0)) delay = 0;
    if (delay > 1e9) delay = 1e9;
    const auto when = std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(delay));
    scheduler().add(when, q, std::move(fn));
}

bool isMainThread() {
    if (QCoreApplication* app = QCoreApplication::instance()) return QThread::currentThread() == app->thread();
    // Before the application object exists, the main thread is the process's first one.
    return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid();
}

void sleepFor(double seconds) {
    const double s = scaled(seconds);
    if (!(s > 0)) return;
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(s, 1e9)));
}

}  // namespace kit::dispatch
