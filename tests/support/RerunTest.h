#pragma once
// Runs the current test again in a fresh run of this program, for what only a
// new process can have: another temporary folder, fewer rights. `prepare`
// runs in the child before the program starts again (its environment, its
// working folder, its limits); the test tells the two runs apart by what
// `prepare` set. True when the second run passed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

inline bool rerunThisTest(const std::function<void()>& prepare) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return false;
    self[n] = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    const pid_t pid = ::fork();
    if (pid == 0) {
        prepare();
        ::execl(self, self, filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
