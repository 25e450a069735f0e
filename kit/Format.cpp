#include "kit/Format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kit::detail {

// "%@" is the system's object placeholder; every object we format is a string.
static std::string translate(const char* fmt) {
    std::string out;
    for (const char* p = fmt; *p; ++p) {
        out += *p;
        if (*p == '%') {
            if (p[1] == '%') { out += '%'; ++p; }
            else if (p[1] == '@') { out += 's'; ++p; }
        }
    }
    return out;
}

std::string vformat(const char* fmt, ...) {
    if (!fmt) return {};
    const std::string f = translate(fmt);
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, f.c_str(), copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), f.c_str(), ap);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap);
    return out;
}

}  // namespace kit::detail
