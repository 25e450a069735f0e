#pragma once
// printf-style formatting that keeps the system's format texts as written:
// "%@" takes a string, std::string arguments are passed as C strings.
#include <string>
#include <type_traits>

namespace kit {

namespace detail {
std::string vformat(const char* fmt, ...);
inline const char* fmtArg(const std::string& s) { return s.c_str(); }
template <class T>
inline T fmtArg(T v) { static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T>, "format takes numbers, C strings and std::string"); return v; }
}  // namespace detail

// kit::format("Pelorin(%@)", stamp), kit::format("%0.2f GB", x), kit::format("%@%d", base, n)
template <class... A>
std::string format(const char* fmt, const A&... args) {
    return detail::vformat(fmt, detail::fmtArg(args)...);
}

}  // namespace kit
