#pragma once
// kit internal: views and windows are the main thread's. A mutator called
// from another thread would race Qt's widgets and the kit's own lists, so it
// stops the program at once with the name of the call, instead of corrupting
// something that fails much later.
#include "kit/Dispatch.h"

namespace kit::detail {

[[noreturn]] void calledOffMainThread(const char* function);

inline void assertMainThread(const char* function) {
    if (!dispatch::isMainThread()) calledOffMainThread(function);
}

}  // namespace kit::detail

#define KIT_ASSERT_MAIN_THREAD() ::kit::detail::assertMainThread(__PRETTY_FUNCTION__)
