// Where the program's diagnostics go: the system log while one takes messages
// at its socket, else standard error; the tests keep them on standard error.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "kit/System.h"
#include "support/EnvGuard.h"

namespace {

namespace fs = std::filesystem;

// A local socket of the given kind bound at `path` (listening when a stream).
int boundSocket(const std::string& path, int type) {
    const int fd = ::socket(AF_UNIX, type, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0) << std::strerror(errno);
    if (type == SOCK_STREAM) EXPECT_EQ(::listen(fd, 1), 0);
    return fd;
}

}  // namespace

TEST(SystemLog, ALogIsSeenOnlyWhileSomethingTakesMessagesAtItsSocket) {
    std::string tmpl = (fs::temp_directory_path() / "pelorin-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string dir = tmpl, path = dir + "/log";
    EXPECT_FALSE(kit::systemLogListening(path)) << "nothing there";

    int fd = boundSocket(path, SOCK_DGRAM);
    EXPECT_TRUE(kit::systemLogListening(path));
    ::close(fd);
    EXPECT_FALSE(kit::systemLogListening(path)) << "a socket file that nobody reads";
    fs::remove(path);

    fd = boundSocket(path, SOCK_STREAM);
    EXPECT_TRUE(kit::systemLogListening(path)) << "a log daemon on a stream socket";
    ::close(fd);
    fs::remove(path);

    std::ofstream(path) << "not a socket";
    EXPECT_FALSE(kit::systemLogListening(path));
    EXPECT_FALSE(kit::systemLogListening(""));
    EXPECT_FALSE(kit::systemLogListening(dir + "/" + std::string(200, 'x')));
    fs::remove_all(dir);
}

TEST(SystemLog, TheSystemLogIsUsedWhereItListensUnlessTheEnvironmentSaysStandardError) {
    {
        EnvGuard env("PELORIN_LOG", "stderr");
        EXPECT_EQ(kit::systemLogRoute(), kit::LogRoute::StandardError);
    }
    EnvGuard env("PELORIN_LOG", nullptr);
    EXPECT_EQ(kit::systemLogRoute(),
              kit::systemLogListening(_PATH_LOG) ? kit::LogRoute::SystemLog : kit::LogRoute::StandardError);
}

TEST(SystemLog, TheTestsReadTheLinesOnStandardErrorWithTheProgramsNameAndProcess) {
    testing::internal::CaptureStderr();
    kit::systemLog("first line\nsecond line");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Pelorin[" + std::to_string(::getpid()) + "]: first line\nsecond line\n");
}
