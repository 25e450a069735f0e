#pragma once
// Tokens that keep late work from acting after the screen has moved on.
//
// A Ticket numbers requests (a count, a listing, a delayed start): taking a new
// one, or cancelling, makes every earlier number stale, so a result that comes
// back with a stale number is dropped.
//
// A RunGuard is the ticket of a screen's run: from start() to the end view the
// screen takes the engine's reports; after end() (success, failure or stop) it
// ignores them, and any timer or count of that run, until the next start().
// Both may be read from any thread; the screens act on them on the main thread.
#include <atomic>
#include <cstdint>

namespace screen {

class Ticket {
public:
    using Number = uint64_t;
    // A new request; every earlier number becomes stale.
    Number next() { return ++current_; }
    // No request is current any more.
    void cancel() { ++current_; }
    bool isCurrent(Number n) const { return n != 0 && n == current_.load(); }
    Number current() const { return current_.load(); }

private:
    std::atomic<Number> current_{0};
};

class RunGuard {
public:
    using Token = Ticket::Number;
    // A run begins: its reports are taken until end().
    Token start();
    // The run's end view is shown (or the run was stopped): its reports, timers
    // and counts are ignored from now on.
    void end();
    bool isRunning() const { return running_.load(); }
    // Whether a report or timer of the run with this token may act.
    bool accepts(Token t) const { return running_.load() && ticket_.isCurrent(t); }
    // The current run's token (stale once the run has ended).
    Token current() const { return ticket_.current(); }

private:
    Ticket ticket_;
    std::atomic<bool> running_{false};
};

}  // namespace screen
