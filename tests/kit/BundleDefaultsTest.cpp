#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/EnvGuard.h"
#include "kit/Bundle.h"
#include "kit/Defaults.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace fs = std::filesystem;

namespace {

std::string makeBundle() {
    const std::string b = kit::temporaryDirectory() + "Test.app";
    fs::create_directories(b + "/Contents/MacOS");
    fs::create_directories(b + "/Contents/Resources/images");
    fs::create_directories(b + "/Contents/Resources/layouts");
    kit::Value info = kit::Value::dict();
    info["CFBundleIdentifier"] = "org.example.Test";
    info["CFBundleExecutable"] = "TestExe";
    EXPECT_TRUE(kit::writePlistFile(b + "/Contents/Info.plist", info));
    std::ofstream(b + "/Contents/Resources/PrivateData.plist") << "x";
    std::ofstream(b + "/Contents/Resources/images/btn_pri.svg") << "x";
    std::ofstream(b + "/Contents/Resources/layouts/MainWindowController.json") << "{}";
    return b;
}

}  // namespace

TEST(Bundle, PathsAndResourcesInTheSubfolders) {
    const std::string b = makeBundle();
    kit::Bundle bundle(b);
    EXPECT_EQ(bundle.bundleIdentifier(), "org.example.Test");
    EXPECT_EQ(bundle.executablePath(), b + "/Contents/MacOS/TestExe");
    EXPECT_EQ(bundle.resourcePath(), b + "/Contents/Resources");
    EXPECT_EQ(bundle.pathForResource("PrivateData", "plist"), b + "/Contents/Resources/PrivateData.plist");
    EXPECT_EQ(bundle.pathForResource("btn_pri", "svg"), b + "/Contents/Resources/images/btn_pri.svg");
    EXPECT_EQ(bundle.pathForResource("MainWindowController", "json"),
              b + "/Contents/Resources/layouts/MainWindowController.json");
    EXPECT_FALSE(bundle.pathForResource("btn_pri", "png"));
    EXPECT_FALSE(bundle.pathForResource("images", ""));  // a folder is no resource

    kit::Bundle none("");
    EXPECT_EQ(none.resourcePath(), "");
    EXPECT_FALSE(none.pathForResource("PrivateData", "plist"));
    EXPECT_EQ(none.bundleIdentifier(), "");
}

TEST(Defaults, UnderARootTheMachinesFileIsReadFresh) {
    const std::string root = kit::temporaryDirectory() + "defaults-root";
    fs::create_directories(root + "/.pelorin");
    EnvGuard env("PELORIN_SYSROOT", root.c_str());
    auto& d = kit::UserDefaults::standard();
    EXPECT_TRUE(d.objectForKey("AppleLanguages").isNull());
    EXPECT_TRUE(d.stringArrayForKey("AppleLanguages").empty());

    kit::Value file = kit::Value::dict();
    kit::Value langs = kit::Value::array();
    langs.push("pt-BR");
    langs.push("en");
    file["AppleLanguages"] = langs;
    file["Flag"] = true;
    ASSERT_TRUE(kit::writePlistFile(root + "/.pelorin/defaults.plist", file));
    EXPECT_EQ(d.stringArrayForKey("AppleLanguages"), (std::vector<std::string>{"pt-BR", "en"}));
    EXPECT_TRUE(d.boolForKey("Flag"));
    EXPECT_FALSE(d.boolForKey("Missing"));

    // A value set in this process wins, and goes away when set to nothing.
    d.setObject("Flag", false);
    EXPECT_FALSE(d.boolForKey("Flag"));
    d.setObject("Flag", kit::Value());
    EXPECT_TRUE(d.boolForKey("Flag"));
}

TEST(Defaults, OnTheHostLanguagesComeFromTheLocale) {
    EnvGuard root("PELORIN_SYSROOT", nullptr);
    EnvGuard language("LANGUAGE", "fr_FR:de");
    EnvGuard lcall("LC_ALL", nullptr);
    EnvGuard lang("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(kit::UserDefaults::standard().stringArrayForKey("AppleLanguages"),
              (std::vector<std::string>{"fr-FR", "de", "en"}));
    language.set(nullptr);
    lang.set("C.UTF-8");
    EXPECT_EQ(kit::UserDefaults::standard().stringArrayForKey("AppleLanguages"), (std::vector<std::string>{"en"}));
}

TEST(System, FactsComeFromTheMachineUnderARoot) {
    const std::string root = kit::temporaryDirectory() + "system-root";
    fs::create_directories(root + "/.pelorin");
    EnvGuard env("PELORIN_SYSROOT", root.c_str());
    EXPECT_FALSE(kit::systemVersion().ok);  // no machine file
    kit::Value state = kit::Value::dict();
    state["SystemVersion"] = "13.4.1";
    state["ProcessorBrand"] = "Example(R) CPU";
    ASSERT_TRUE(kit::writePlistFile(kit::machineStatePath(), state));
    const kit::SystemVersion v = kit::systemVersion();
    EXPECT_TRUE(v.ok);
    EXPECT_EQ(v.major, 13u);
    EXPECT_EQ(v.minor, 4u);
    EXPECT_EQ(v.bugFix, 1u);
    EXPECT_EQ(kit::processorBrand(), "Example(R) CPU");

    state["SystemVersion"] = "10.15";
    ASSERT_TRUE(kit::writePlistFile(kit::machineStatePath(), state));
    EXPECT_EQ(kit::systemVersion().minor, 15u);
    EXPECT_EQ(kit::systemVersion().bugFix, 0u);
    state["SystemVersion"] = "garbage";
    ASSERT_TRUE(kit::writePlistFile(kit::machineStatePath(), state));
    EXPECT_FALSE(kit::systemVersion().ok);
}
