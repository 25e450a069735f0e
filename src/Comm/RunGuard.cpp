#include "Comm/RunGuard.h"

namespace screen {

RunGuard::Token RunGuard::start() {
    const Token t = ticket_.next();
    running_.store(true);
    return t;
}

void RunGuard::end() {
    running_.store(false);
    ticket_.cancel();
}

}  // namespace screen
