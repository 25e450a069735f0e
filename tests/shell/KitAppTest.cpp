// The application stand-ins of the kit: the single-instance registry, launching
// a bundle, opening web addresses and the display-sleep assertion.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <barrier>
#include <filesystem>
#include <thread>
#include <vector>

#include "ShellTestUtil.h"
#include "kit/Plist.h"
#include "kit/RunLoop.h"
#include "kit/app/Launch.h"
#include "kit/app/PowerAssertion.h"
#include "kit/app/RunningApplication.h"

using namespace shelltest;

namespace {

// A bundle whose executable is a script that records its arguments and the
// bundle it was told it is.
std::string makeScriptBundle(const std::string& bundle, const std::string& identifier, const std::string& record) {
    std::filesystem::create_directories(bundle + "/Contents/MacOS");
    kit::Value info = kit::Value::dict();
    info.set("CFBundleExecutable", "Launcher");
    info.set("CFBundleIdentifier", identifier);
    kit::writePlistFile(bundle + "/Contents/Info.plist", info);
    std::string exe = bundle + "/Contents/MacOS/Launcher";
    writeFile(exe, "#!/bin/sh\necho \"$@|$PELORIN_BUNDLE\" > '" + record + ".part' && mv '" + record + ".part' '" +
                       record + "'\n");
    std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
    return exe;
}

}  // namespace

TEST(ApplicationRegistry, OnlyOneCopyHoldsTheIdentifierAndOthersSeeIt) {
    kit::ensureMainThreadApp();
    TempDir dir;
    kit::ApplicationRegistry first(dir.path()), second(dir.path());
    EXPECT_TRUE(first.registerApplication("org.test.App", "/apps/First.app"));
    EXPECT_FALSE(second.registerApplication("org.test.App", "/apps/Second.app"));
    EXPECT_TRUE(first.holds("org.test.App"));
    EXPECT_FALSE(second.holds("org.test.App"));

    auto seenByFirst = first.runningApplications("org.test.App");
    ASSERT_EQ(seenByFirst.size(), 1u);
    EXPECT_EQ(seenByFirst[0].bundlePath, "/apps/First.app");

    auto seenBySecond = second.runningApplications("org.test.App");
    ASSERT_EQ(seenBySecond.size(), 2u);
    EXPECT_EQ(seenBySecond[0].bundlePath, "/apps/First.app");
    EXPECT_EQ(seenBySecond[0].processIdentifier, getpid());
    EXPECT_EQ(seenBySecond[1].bundlePath, "/apps/Second.app");

    // Another identifier is a place of its own.
    EXPECT_TRUE(second.registerApplication("org.test.Other", "/apps/Other.app"));

    // Once the holder leaves, nobody else is listed and a new copy can claim.
    first.unregisterApplication("org.test.App");
    auto afterLeave = second.runningApplications("org.test.App");
    ASSERT_EQ(afterLeave.size(), 1u);
    EXPECT_EQ(afterLeave[0].bundlePath, "/apps/Second.app");
    kit::ApplicationRegistry third(dir.path());
    EXPECT_TRUE(third.registerApplication("org.test.App", "/apps/Third.app"));
}

TEST(ApplicationRegistry, CopiesStartedTogetherElectExactlyOneHolder) {
    kit::ensureMainThreadApp();
    TempDir dir;
    constexpr int kCopies = 8;
    std::atomic<int> holders{0};
    std::barrier start(kCopies), done(kCopies);
    std::vector<std::thread> threads;
    for (int i = 0; i < kCopies; ++i) {
        threads.emplace_back([&, i] {
            kit::ApplicationRegistry registry(dir.path());
            start.arrive_and_wait();
            if (registry.registerApplication("org.test.Race", "/apps/" + std::to_string(i) + ".app")) ++holders;
            // Everyone has tried before anyone lets go.
            done.arrive_and_wait();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(holders.load(), 1);
}

TEST(ApplicationRegistry, ActivationReachesTheHolderAndDeadCopiesAreNotListed) {
    kit::ensureMainThreadApp();
    TempDir dir;
    kit::ApplicationRegistry holder(dir.path()), other(dir.path());
    int activations = 0;
    holder.setActivationHandler([&] { ++activations; });
    ASSERT_TRUE(holder.registerApplication("org.test.Front", "/apps/Front.app"));
    EXPECT_FALSE(holder.activate("org.test.Front"));  // no one else to ask
    EXPECT_TRUE(other.activate("org.test.Front"));
    EXPECT_TRUE(kit::runUntil([&] { return activations == 1; }, 5.0));

    holder.unregisterApplication("org.test.Front");
    EXPECT_FALSE(other.activate("org.test.Front"));

    // An information file left by a copy that died names nobody.
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    kit::Value stale = kit::Value::dict();
    stale.set("ProcessIdentifier", kit::Value(static_cast<int64_t>(child)));
    stale.set("BundlePath", "/apps/Dead.app");
    kit::writePlistFile(dir / "org.test.Dead.plist", stale);
    writeFile(dir / "org.test.Dead.lock", "");
    EXPECT_TRUE(other.runningApplications("org.test.Dead").empty());
}

TEST(LaunchApplication, StartsTheBundleExecutableOrAnswersNo) {
    kit::ensureMainThreadApp();
    TempDir dir;
    EnvGuard root("PELORIN_SYSROOT", dir / "root");
    EXPECT_FALSE(kit::launchApplication(""));
    EXPECT_FALSE(kit::launchApplication(dir / "Missing.app"));
    std::filesystem::create_directories(dir / "NoExe.app/Contents");
    kit::Value info = kit::Value::dict();
    info.set("CFBundleExecutable", "Gone");
    kit::writePlistFile(dir / "NoExe.app/Contents/Info.plist", info);
    EXPECT_FALSE(kit::launchApplication(dir / "NoExe.app"));

    std::string record = dir / "launched.txt";
    makeScriptBundle(dir / "Launcher.app", "org.test.Launcher", record);
    ASSERT_TRUE(kit::launchApplication(dir / "Launcher.app"));
    ASSERT_TRUE(kit::runUntil([&] { return std::filesystem::exists(record); }, 10.0));
    EXPECT_EQ(readFile(record), std::string(kit::kLaunchedArgument) + "|" + (dir / "Launcher.app") + "\n");
}

TEST(LaunchApplication, ARunningCopyIsBroughtForwardInsteadOfStartedAgain) {
    kit::ensureMainThreadApp();
    TempDir dir;
    EnvGuard root("PELORIN_SYSROOT", dir / "root");
    std::string record = dir / "launched.txt";
    makeScriptBundle(dir / "Self.app", "org.test.SelfApp", record);
    kit::ApplicationRegistry& registry = kit::ApplicationRegistry::shared();
    EXPECT_EQ(registry.directory(), dir / "root/.pelorin/apps");
    int activations = 0;
    registry.setActivationHandler([&] { ++activations; });
    ASSERT_TRUE(registry.registerApplication("org.test.SelfApp", dir / "Self.app"));
    EXPECT_TRUE(kit::launchApplication(dir / "Self.app"));
    EXPECT_EQ(activations, 1);

    // A copy held by another registry (another process, as far as the
    // registry can tell) is asked to come forward over its socket.
    registry.unregisterApplication("org.test.SelfApp");
    kit::ApplicationRegistry elsewhere(registry.directory());
    int remote = 0;
    elsewhere.setActivationHandler([&] { ++remote; });
    ASSERT_TRUE(elsewhere.registerApplication("org.test.SelfApp", dir / "Self.app"));
    EXPECT_TRUE(kit::launchApplication(dir / "Self.app"));
    EXPECT_TRUE(kit::runUntil([&] { return remote == 1; }, 5.0));
    kit::runFor(0.2);
    EXPECT_FALSE(std::filesystem::exists(record));
    registry.setActivationHandler(nullptr);
}

TEST(OpenURL, RecordsUnderTheRootOneLineEach) {
    TempDir dir;
    EnvGuard root("PELORIN_SYSROOT", dir.path());
    EXPECT_FALSE(kit::openURL(""));
    EXPECT_FALSE(kit::openURL("http://a.example/\nrm -rf /"));
    EXPECT_TRUE(kit::openURL("https://www.pelorin.org/help?a=1&b='2'"));
    EXPECT_TRUE(kit::openURL("https://www.pelorin.org/support"));
    EXPECT_EQ(kit::openedURLsPath(), dir / ".pelorin/opened-urls.txt");
    EXPECT_EQ(readFile(kit::openedURLsPath()),
              "https://www.pelorin.org/help?a=1&b='2'\nhttps://www.pelorin.org/support\n");
}

TEST(PowerAssertion, FailsQuietlyWithoutAUsableSessionBus) {
    kit::PowerAssertionID id = 77;
    {
        EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
        EXPECT_NE(kit::createPowerAssertion("PreventUserIdleDisplaySleep", 255, "PreventUserIdleDisplaySleep", &id), 0);
    }
    {
        TempDir dir;
        EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir / "no-bus"));
        EXPECT_NE(kit::createPowerAssertion("PreventUserIdleDisplaySleep", 255, "PreventUserIdleDisplaySleep", &id), 0);
    }
    EXPECT_EQ(id, 77u);
    EXPECT_NE(kit::releasePowerAssertion(12345), 0);
}

// Against a private session bus with a stand-in screensaver service, when the
// machine has the bus daemon and the scripting bindings to write the service.
TEST(PowerAssertion, InhibitsTheScreensaverUntilReleased) {
    if (system("command -v dbus-daemon >/dev/null 2>&1") != 0 ||
        system("/usr/bin/python3 -c 'import dbus, gi' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no session bus daemon or no bindings for the stand-in service";
    TempDir dir;
    std::string bus = dir / "bus";
    writeFile(dir / "bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
              "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:path=" + bus + "</listen>"
              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    writeFile(dir / "service.py", R"(import dbus, dbus.service, sys
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
class S(dbus.service.Object):
    @dbus.service.method("org.freedesktop.ScreenSaver", in_signature="ss", out_signature="u")
    def Inhibit(self, app, reason):
        print("Inhibit", app, reason, flush=True)
        return 4242
    @dbus.service.method("org.freedesktop.ScreenSaver", in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        print("UnInhibit", cookie, flush=True)
S(bus, "/org/freedesktop/ScreenSaver")
name = dbus.service.BusName("org.freedesktop.ScreenSaver", bus)
GLib.timeout_add_seconds(30, lambda: sys.exit(0))
GLib.MainLoop().run()
)");
    Child daemon("/usr/bin/env", {"dbus-daemon", "--config-file=" + (dir / "bus.conf"), "--nofork"}, {},
                 dir / "daemon.log");
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(bus); }, 10.0));
    EnvGuard address("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus);

    // No service yet: an error answer, promptly.
    kit::PowerAssertionID id = 0;
    auto before = std::chrono::steady_clock::now();
    EXPECT_NE(kit::createPowerAssertion("PreventUserIdleDisplaySleep", 255, "PreventUserIdleDisplaySleep", &id), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));

    Child service("/usr/bin/python3", {dir / "service.py", "unix:path=" + bus}, {}, dir / "service.log");
    int result = -1;
    waitFor([&] {
        result = kit::createPowerAssertion("PreventUserIdleDisplaySleep", 255, "PreventUserIdleDisplaySleep", &id);
        return result == 0;
    }, 15.0);
    ASSERT_EQ(result, 0) << readFile(dir / "service.log") << readFile(dir / "daemon.log");
    EXPECT_NE(id, 0u);
    EXPECT_EQ(kit::releasePowerAssertion(id), 0);
    EXPECT_NE(kit::releasePowerAssertion(id), 0);  // once only
    EXPECT_TRUE(waitFor([&] { return readFile(dir / "service.log").find("UnInhibit 4242") != std::string::npos; }, 10.0));
    EXPECT_NE(readFile(dir / "service.log").find("Inhibit Pelorin PreventUserIdleDisplaySleep"), std::string::npos);
}
