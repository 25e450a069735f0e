// The Full Disk Access probes against the simulated machine, whose console
// user's "Library/Safari" and ".Trash" are privacy-guarded folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Bootable/FullDiskAccess.h"
#include "kit/FileManager.h"
#include "kit/SysPath.h"
#include "kit/app/Launch.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;

namespace {

class FullDiskAccessTest : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    void SetUp() override { ASSERT_TRUE(sim.ok()) << sim.error(); }
    void grant(bool granted) {
        sim.update([&](sim::Machine& m) { m.fullDiskAccess = granted; });
    }
    std::string openedURLs() const {
        std::ifstream in(kit::openedURLsPath());
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(FullDiskAccessTest, StatusFollowsTheGuardedFolder) {
    EXPECT_EQ(getAuthorizationStatus(), 2);  // granted
    grant(false);
    EXPECT_EQ(getAuthorizationStatus(), 1);  // there, but not to be listed
    fs::remove_all(sim.path("/Users/alex/Library/Safari"));
    EXPECT_EQ(getAuthorizationStatus(), 0);  // nothing to judge by
    grant(true);
    EXPECT_EQ(getAuthorizationStatus(), 0);
}

TEST_F(FullDiskAccessTest, ASandboxedProcessProbesTheUsersOwnHome) {
    EnvGuard sandbox("APP_SANDBOX_CONTAINER_ID", "org.pelorin.app");
    EnvGuard home("HOME", "/nonexistent/container");
    EXPECT_EQ(getAuthorizationStatus(), 2);
    grant(false);
    EXPECT_EQ(getAuthorizationStatus(), 1);
}

TEST_F(FullDiskAccessTest, TheFileManagerHonoursTheGuard) {
    const std::string safari = sim.path("/Users/alex/Library/Safari");
    ASSERT_TRUE(kit::contentsOfDirectory(safari));
    EXPECT_EQ(*kit::contentsOfDirectory(safari), std::vector<std::string>{"History.db"});
    grant(false);
    std::string why;
    EXPECT_FALSE(kit::contentsOfDirectory(safari, &why));
    EXPECT_NE(why.find("not permitted"), std::string::npos) << why;
    EXPECT_FALSE(kit::isReadableFile(safari + "/History.db"));
    EXPECT_FALSE(kit::contentsOfDirectory(safari + "/../Safari"));  // another spelling of it
    EXPECT_TRUE(kit::fileExists(safari));                          // its presence is no secret
    // Next to it nothing is guarded.
    EXPECT_TRUE(kit::contentsOfDirectory(sim.path("/Users/alex/Documents")));
    EXPECT_FALSE(kit::isPrivacyProtected(sim.path("/Users/alex/Library/SafariExtras")));
    EXPECT_EQ(kit::homeDirectory(), sim.path("/Users/alex"));
}

TEST_F(FullDiskAccessTest, OfferedProbes) {
    const std::string volume = sim.path("/");
    EXPECT_FALSE(ZZCheckNeedFullDiskAccess(volume));  // .Trash listed
    EXPECT_FALSE(ZZCheckNeedFullDiskAccess(std::nullopt));
    EXPECT_TRUE(ZZCheckNeedFullDiskAccess(sim.path("/Volumes/USB")));  // no such user folder there
    EXPECT_EQ(ZZGetCurrentUserName(), "alex");
    EXPECT_TRUE(checkFullDiskAccess());
    EXPECT_TRUE(isDiskAccessible(volume));
    EXPECT_FALSE(ZZCheckNeedFullDiskAccessForM1ExternDev(volume));
    EXPECT_FALSE(ZZCheckNeedFullDiskAccessForM1ExternDev(std::nullopt));

    grant(false);
    EXPECT_TRUE(ZZCheckNeedFullDiskAccess(volume));
    EXPECT_TRUE(ZZCheckNeedFullDiskAccessForM1ExternDev(sim.path("/Users/alex/.Trash")));
    EXPECT_TRUE(ZZCheckNeedFullDiskAccessForM1ExternDev(sim.path("/Volumes/Missing")));
    fs::remove_all(sim.path("/Users/alex/Documents"));
    EXPECT_FALSE(checkFullDiskAccess());
}

TEST_F(FullDiskAccessTest, SettingsPaneOpensFrom1014) {
    EXPECT_TRUE(openFullDiskAccessSettings());
    EXPECT_EQ(openedURLs(), std::string(kFullDiskAccessSettingsURL) + "\n");
    EXPECT_NE(std::string(kFullDiskAccessSettingsURL).find("Privacy_AllFiles"), std::string::npos);
    sim.setSystemVersion("10.13.6");
    EXPECT_FALSE(openFullDiskAccessSettings());
    EXPECT_EQ(openedURLs(), std::string(kFullDiskAccessSettingsURL) + "\n");
}

}  // namespace
