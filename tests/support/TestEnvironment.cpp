// Settings every test program needs, made here rather than in CTest's
// environment so a test binary run by hand behaves the same way.
#include <cstdlib>

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
    }
};

const TestEnvironment environment;

}  // namespace
