// The test programs' own settings hold whatever the calling shell has set.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "kit/Process.h"
#include "kit/Shell.h"

TEST(TestEnvironment, TheTestsScreenConfigurationIsUsed) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    ASSERT_NE(platform, nullptr);
    EXPECT_NE(std::string(platform).find("configfile="), std::string::npos) << platform;
    EXPECT_NE(std::string(platform).find("screens.json"), std::string::npos) << platform;
}

TEST(TestEnvironment, AnInheritedPlatformSettingIsReplaced) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    // The same program, started the way a developer with a plain offscreen
    // platform in the shell would start it, runs the check above.
    const std::string line = "QT_QPA_PLATFORM=offscreen " + kit::shellQuote(self) +
                             " --gtest_filter=TestEnvironment.TheTestsScreenConfigurationIsUsed > /dev/null 2>&1";
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 60;
    EXPECT_TRUE(kit::runShellLimited(line, limits).succeeded());
}
