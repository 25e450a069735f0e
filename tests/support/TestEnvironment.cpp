// Settings every test program needs, made here rather than in CTest's
// environment so a test binary run by hand behaves the same way.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kit/Net.h"

extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

struct TestEnvironment {
    TestEnvironment() {
        // Children (the stand-in tools, built with the same sanitizers) inherit these.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
        // Always the tests' own screen: an inherited plain "offscreen" (or a real
        // display) has other sizes and resolutions than the tests are written for.
        setenv("QT_QPA_PLATFORM", "offscreen:configfile=" PELORIN_SOURCE_DIR "/tests/support/screens.json", 1);
        setenv("PELORIN_BUNDLE", PELORIN_BUNDLE_DIR, 0);
        // The program's log lines where the tests (and the program run as a
        // child) can read them, whatever system log the machine has.
        setenv("PELORIN_LOG", "stderr", 0);
    }
};

const TestEnvironment environment;

// A test may end while a fetch it started (an update check) is still under
// way: it is stopped before the program's exit tears the libraries down.
class NetworkQuiet : public ::testing::Environment {
public:
    void TearDown() override { kit::stopFetchesBeforeExit(); }
};

[[maybe_unused]] ::testing::Environment* const networkQuiet = ::testing::AddGlobalTestEnvironment(new NetworkQuiet);

}  // namespace
