#pragma once
// Sets (or removes) an environment variable for one scope and puts the old
// value back afterwards, so a test never leaks its setting into the next one.
#include <cstdlib>
#include <optional>
#include <string>

class EnvGuard {
public:
    // A null value removes the variable for the scope.
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    EnvGuard(const char* name, const std::optional<std::string>& value)
        : EnvGuard(name, value ? value->c_str() : nullptr) {}
    ~EnvGuard() { set(old_ ? old_->c_str() : nullptr); }
    void set(const char* value) {
        if (value) ::setenv(name_.c_str(), value, 1);
        else ::unsetenv(name_.c_str());
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};
