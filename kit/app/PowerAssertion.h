#pragma once
// The display-sleep power assertion. On the desktop it is the session's
// screensaver inhibition (org.freedesktop.ScreenSaver.Inhibit over the session
// bus), held for as long as the assertion lives; the connection that carries it
// stays open until the assertion is released.
#include <cstdint>
#include <string>

namespace kit {

using PowerAssertionID = uint32_t;
inline constexpr int kPowerAssertionLevelOn = 255;
inline constexpr int kPowerAssertionSuccess = 0;
inline constexpr int kPowerAssertionError = -1;

// Creates an assertion of the given type ("PreventUserIdleDisplaySleep") at the
// given level (255 on, 0 off) with a name shown to the desktop. Returns 0 and
// stores a non-zero identifier in *id on success; an error code otherwise (no
// session bus, no screensaver service, a refused request), leaving *id as it was.
int createPowerAssertion(const std::string& type, int level, const std::string& name, PowerAssertionID* id);
// Releases an assertion made above; 0 when it was held.
int releasePowerAssertion(PowerAssertionID id);

// The session-bus address used: DBUS_SESSION_BUS_ADDRESS ("unix:path=..." or
// "unix:abstract=..."); empty when there is no session bus.
std::string sessionBusAddress();

}  // namespace kit
