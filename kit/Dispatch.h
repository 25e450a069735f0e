#pragma once
// Queues: a global concurrent queue that never starves (a block waiting for long
// does not hold back the others), the main queue (the main thread's run loop),
// and delayed blocks. Delays are multiplied by the time scale.
#include <functional>

namespace kit::dispatch {

enum class Queue { Global, Main };
inline Queue globalQueue() { return Queue::Global; }
inline Queue mainQueue() { return Queue::Main; }

void async(Queue q, std::function<void()> fn);
// Runs fn on q and waits for it. sync(mainQueue(), fn) on the main thread runs fn inline.
void sync(Queue q, std::function<void()> fn);
void after(double seconds, Queue q, std::function<void()> fn);

bool isMainThread();
// Blocks the calling thread; scaled by the time scale.
void sleepFor(double seconds);

}  // namespace kit::dispatch
