#pragma once
// The main queue's plumbing, shared by Dispatch and RunLoop. Internal to kit.
#include <functional>

namespace kit::detail {

// Queues fn on the main thread's event loop, in order. Blocks queued before the
// application object exists are kept and handed over, still in order, when it
// appears.
void postToMain(std::function<void()> fn);

// Hands the kept blocks to the application object; called when it exists.
void flushMainQueue();

}  // namespace kit::detail
